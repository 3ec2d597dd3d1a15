#include "main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <filesystem>
#include <memory>

#include "dialog_texts.h"
#include "win32_text.h"

namespace quillmark {
namespace {

// Messages the worker posts: a change to apply on the UI thread (its
// closure in lParam), and the worker's return.
constexpr UINT kApplyMessage = WM_APP + 1;
constexpr UINT kWorkerReturnedMessage = WM_APP + 2;

struct TextOfControl {
  int id;
  const InterfaceText& text;
};

// Every fixed text of the main dialog, set in the interface's language.
const TextOfControl kMainDialogTexts[] = {
    {kStartButton, dialog_text::kStart},
    {1101, dialog_text::kImageFileCaption},
    {kChooseImageButton, dialog_text::kChooseFile},
    {1102, dialog_text::kStartMacCaption},
    {1103, dialog_text::kDeviceCountCaption},
    {1104, dialog_text::kStatusCaption},
    {1105, dialog_text::kOutputDirectoryCaption},
    {kChooseDirectoryButton, dialog_text::kChooseFolder},
    {1106, dialog_text::kMacsPerDeviceCaption},
};

std::wstring ModulePath() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
  return path;
}

std::wstring Shown(const InterfaceText& text) {
  return Wide(text.Shown());
}

template <typename Interface>
struct Released {
  void operator()(Interface* pointer) const { pointer->Release(); }
};
template <typename Interface>
using ComPointer = std::unique_ptr<Interface, Released<Interface>>;

// Shows the picker owned by owner; the chosen item's file-system path, or
// none when cancelled or failing.
std::optional<std::string> ShowPicker(HWND owner, bool folders) {
  IFileOpenDialog* raw = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&raw))))
    return std::nullopt;
  ComPointer<IFileOpenDialog> dialog(raw);
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  options |= FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR;
  if (folders) {
    dialog->SetOptions(options | FOS_PICKFOLDERS);
    dialog->SetTitle(Shown(dialog_text::kChangeOutputFolder).c_str());
  } else {
    dialog->SetOptions(options | FOS_FILEMUSTEXIST);
    dialog->SetTitle(Shown(dialog_text::kChooseImageTitle).c_str());
    const std::wstring name = Shown(dialog_text::kImageFilter) + L" (*.img;*.bin)";
    const COMDLG_FILTERSPEC filter[] = {{name.c_str(), L"*.img;*.bin"}};
    dialog->SetFileTypes(1, filter);
  }
  if (FAILED(dialog->Show(owner)))
    return std::nullopt;
  IShellItem* rawItem = nullptr;
  if (FAILED(dialog->GetResult(&rawItem)))
    return std::nullopt;
  ComPointer<IShellItem> item(rawItem);
  PWSTR path = nullptr;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)))
    return std::nullopt;
  std::string chosen = Utf8(path);
  CoTaskMemFree(path);
  return chosen;
}

INT_PTR CALLBACK AboutProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextW(window, Shown(dialog_text::kAboutTitle).c_str());
      SetDlgItemTextW(window, 1201, Shown(dialog_text::kAboutVersion).c_str());
      SetDlgItemTextW(window, 1202, Shown(dialog_text::kAboutCredit).c_str());
      SetDlgItemTextW(window, IDOK, Shown(dialog_text::kAboutOk).c_str());
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(window, LOWORD(wParam));
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance)
    : m_instance(instance), m_model(*this, CurrentInterfaceLanguage()) {
  m_caption = std::filesystem::path(ModulePath()).stem().wstring();
}

MainWindow::~MainWindow() {
  // Closing waits for the worker's return; one still running here would
  // only be finishing its own exit.
  if (m_worker.joinable())
    m_worker.join();
  if (m_icon)
    DestroyIcon(m_icon);
  if (m_smallIcon)
    DestroyIcon(m_smallIcon);
}

int MainWindow::Run() {
  m_window = CreateDialogParamW(m_instance, MAKEINTRESOURCEW(kMainDialogTemplate), nullptr,
                                &MainWindow::DialogProc, reinterpret_cast<LPARAM>(this));
  if (m_window == nullptr)
    return 1;
  ShowWindow(m_window, SW_SHOW);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // F1 without Shift, Ctrl or Alt, wherever the focus is in the dialog.
    if (message.message == WM_KEYDOWN && message.wParam == VK_F1 && GetKeyState(VK_SHIFT) >= 0 &&
        GetKeyState(VK_CONTROL) >= 0 &&
        (message.hwnd == m_window || IsChild(m_window, message.hwnd))) {
      OnHelp();
      continue;
    }
    if (IsWindow(m_window) && IsDialogMessageW(m_window, &message))
      continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

INT_PTR CALLBACK MainWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<MainWindow*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->m_window = window;
    self->OnInitDialog();
    return FALSE;  // the model has set the focus
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  return self ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return TRUE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == kAboutCommand) {
        ShowAbout();
        return TRUE;
      }
      return FALSE;
    case kApplyMessage: {
      std::unique_ptr<std::function<void()>> apply(
          reinterpret_cast<std::function<void()>*>(lParam));
      (*apply)();
      return TRUE;
    }
    case kWorkerReturnedMessage:
      if (m_worker.joinable())
        m_worker.join();  // it has returned: this ends its thread's exit
      m_model.OnWorkerReturned();
      return TRUE;
    case WM_DESTROY:
      PostQuitMessage(0);
      return TRUE;
  }
  return FALSE;
}

void MainWindow::OnInitDialog() {
  m_icon =
      static_cast<HICON>(LoadImageW(m_instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  m_smallIcon = static_cast<HICON>(LoadImageW(m_instance, MAKEINTRESOURCEW(kIconResource),
                                              IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), 0));
  SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
  SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));
  for (const TextOfControl& control : kMainDialogTexts)
    SetDlgItemTextW(m_window, control.id, Shown(control.text).c_str());
  if (HMENU menu = GetSystemMenu(m_window, FALSE)) {
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kAboutCommand, Shown(dialog_text::kAboutMenu).c_str());
  }
  m_model.OnInit();
}

void MainWindow::OnCommand(int id) {
  switch (id) {
    case kStartButton:
      m_model.OnStartPressed();
      break;
    case IDCANCEL:  // Esc
      OnClose();
      break;
    case kChooseImageButton:
      if (std::optional<std::string> path = ShowPicker(m_window, false))
        m_model.OnImagePicked(*path);
      break;
    case kChooseDirectoryButton:
      if (std::optional<std::string> path = ShowPicker(m_window, true))
        m_model.OnFolderPicked(*path);
      break;
  }
}

void MainWindow::OnClose() {
  if (m_model.OnClosing())
    EndDialog();
}

void MainWindow::EndDialog() {
  DestroyWindow(m_window);
}

void MainWindow::OnHelp() {
  const std::filesystem::path program(ModulePath());
  const std::filesystem::path guide =
      program.parent_path() /
      std::filesystem::u8path(HelpPageName("Quillmark", CurrentInterfaceLanguage()));
  std::error_code error;
  const bool opened = std::filesystem::is_regular_file(guide, error) &&
                      reinterpret_cast<INT_PTR>(ShellExecuteW(
                          m_window, L"open", guide.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
  if (!opened)
    ShowMessage(std::string(dialog_text::kHelpFailed.Shown()), MessageStyle::Plain);
}

void MainWindow::ShowAbout() {
  DialogBoxParamW(m_instance, MAKEINTRESOURCEW(kAboutDialogTemplate), m_window, AboutProc, 0);
}

std::string MainWindow::ControlText(int id) {
  HWND control = GetDlgItem(m_window, id);
  std::wstring text(std::size_t(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(std::size_t(GetWindowTextW(control, text.data(), int(text.size()))));
  return Utf8(text);
}

void MainWindow::SetControlText(int id, const std::string& text) {
  SetDlgItemTextW(m_window, id, Wide(text).c_str());
}

void MainWindow::EnableControl(int id, bool enabled) {
  HWND control = GetDlgItem(m_window, id);
  // A disabled control loses the focus, and a dialog without one hears
  // neither Esc nor Tab: the focus moves on to the next control first.
  if (!enabled && GetFocus() == control)
    SendMessageW(m_window, WM_NEXTDLGCTL, 0, FALSE);
  EnableWindow(control, enabled);
}

void MainWindow::FocusControl(int id) {
  HWND control = GetDlgItem(m_window, id);
  if (id == kStartButton)
    SendMessageW(m_window, DM_SETDEFID, WPARAM(id), 0);
  SendMessageW(m_window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

void MainWindow::ShowMessage(const std::string& text, MessageStyle style) {
  const UINT type =
      style == MessageStyle::Warning ? MB_OK | MB_ICONEXCLAMATION | MB_TASKMODAL : MB_OK;
  MessageBoxW(m_window, Wide(text).c_str(), m_caption.c_str(), type);
}

void MainWindow::ShowFailureCount(const std::string& text, const std::string&) {
  SetControlText(kFailureCountControl, text);
}

void MainWindow::ShowProgress(int done, int total) {
  HWND bar = GetDlgItem(m_window, kProgressControl);
  if (total <= 0) {
    ShowWindow(bar, SW_HIDE);
    return;
  }
  SendMessageW(bar, PBM_SETRANGE32, 0, total);
  SendMessageW(bar, PBM_SETPOS, WPARAM(done), 0);
  ShowWindow(bar, SW_SHOWNA);
}

bool MainWindow::StartWorker(std::function<void()> work) {
  if (m_worker.joinable())
    return false;
  HWND window = m_window;
  try {
    m_worker = std::thread([window, work = std::move(work)] {
      work();
      PostMessageW(window, kWorkerReturnedMessage, 0, 0);
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void MainWindow::PostToUi(std::function<void()> apply) {
  auto* posted = new std::function<void()>(std::move(apply));
  if (!PostMessageW(m_window, kApplyMessage, 0, reinterpret_cast<LPARAM>(posted)))
    delete posted;
}

}  // namespace quillmark
