// Finds the running Quillmark dialog and reads or sets its controls by
// id, as a person's tools would see them; the dialog tests drive it with
// real input and check it with this program.
//   dialog_probe wait-dialog | wait-gone
//   dialog_probe get ID | set ID TEXT | enabled ID | focus
//   dialog_probe wait-text ID TEXT | wait-enabled ID | wait-dialog-enabled
//   dialog_probe boxes            the open message boxes' texts, one a line
//   dialog_probe wait-box         waits for a message box, prints its text
//   dialog_probe ok-box           presses OK in the open message box
//   dialog_probe about            chooses the system menu's about item,
//                                 prints the about box's two lines
// Every wait polls with a generous deadline; exit status 1 when it passes.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "win32_text.h"

namespace {

using quillmark::Utf8;
using quillmark::Wide;

std::string TextOf(HWND window) {
  wchar_t buffer[4096] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, 5000,
                      nullptr);
  return Utf8(buffer);
}

bool IsDialogClass(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return std::wstring(name) == L"#32770";
}

struct Found {
  HWND dialog = nullptr;
  std::vector<HWND> boxes;
};

// The main dialog has control 1002; a message box of the program is a
// dialog of the same process without it.
Found FindWindows() {
  Found found;
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* found = reinterpret_cast<Found*>(data);
        if (IsDialogClass(window) && IsWindowVisible(window) && GetDlgItem(window, 1002))
          found->dialog = window;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  if (found.dialog == nullptr)
    return found;
  DWORD process = 0;
  GetWindowThreadProcessId(found.dialog, &process);
  struct Search {
    Found* found;
    DWORD process;
  } search{&found, process};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* search = reinterpret_cast<Search*>(data);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == search->process && IsDialogClass(window) && IsWindowVisible(window) &&
            GetDlgItem(window, 1002) == nullptr && GetDlgItem(window, 0xFFFF) != nullptr)
          search->found->boxes.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return found;
}

template <typename Condition>
bool WaitFor(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

int Fail(const char* what) {
  std::fprintf(stderr, "dialog_probe: %s\n", what);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2)
    return Fail("no command");
  const std::string command = Utf8(argv[1]);
  const int id = argc > 2 ? _wtoi(argv[2]) : 0;
  const std::string text = argc > 3 ? Utf8(argv[3]) : std::string();
  if (command == "wait-dialog")
    return WaitFor([] { return FindWindows().dialog != nullptr; }) ? 0 : Fail("no dialog");
  if (command == "wait-gone")
    return WaitFor([] { return FindWindows().dialog == nullptr; }) ? 0 : Fail("dialog stays");
  const HWND dialog = FindWindows().dialog;
  if (dialog == nullptr)
    return Fail("no dialog");
  if (command == "get") {
    std::printf("%s\n", TextOf(GetDlgItem(dialog, id)).c_str());
  } else if (command == "set") {
    const std::wstring wide = Wide(text);
    SendMessageTimeoutW(GetDlgItem(dialog, id), WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(wide.c_str()), SMTO_NORMAL, 5000, nullptr);
  } else if (command == "enabled") {
    std::printf("%d\n", IsWindowEnabled(GetDlgItem(dialog, id)) ? 1 : 0);
  } else if (command == "focus") {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    std::printf("%d\n", info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0);
  } else if (command == "wait-text") {
    if (!WaitFor([&] { return TextOf(GetDlgItem(dialog, id)) == text; }))
      return Fail(("control shows: " + TextOf(GetDlgItem(dialog, id))).c_str());
  } else if (command == "wait-dialog-enabled") {
    if (!WaitFor([&] { return IsWindowEnabled(dialog) != FALSE; }))
      return Fail("the dialog stays disabled");
  } else if (command == "wait-enabled") {
    if (!WaitFor([&] { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }))
      return Fail("control stays disabled");
  } else if (command == "boxes") {
    for (HWND box : FindWindows().boxes)
      std::printf("%s\n", TextOf(GetDlgItem(box, 0xFFFF)).c_str());
  } else if (command == "wait-box") {
    if (!WaitFor([] { return !FindWindows().boxes.empty(); }))
      return Fail("no message box");
    std::printf("%s\n", TextOf(GetDlgItem(FindWindows().boxes.front(), 0xFFFF)).c_str());
  } else if (command == "ok-box") {
    const std::vector<HWND> boxes = FindWindows().boxes;
    if (boxes.empty())
      return Fail("no message box");
    PostMessageW(boxes.front(), WM_COMMAND, IDOK, 0);
    if (!WaitFor([] { return FindWindows().boxes.empty(); }))
      return Fail("message box stays");
  } else if (command == "about") {
    // The about item's command, as the system menu sends it.
    PostMessageW(dialog, WM_SYSCOMMAND, 0x0010, 0);
    HWND about = nullptr;
    if (!WaitFor([&] {
          about = nullptr;
          EnumWindows(
              [](HWND window, LPARAM data) -> BOOL {
                if (IsDialogClass(window) && IsWindowVisible(window) && GetDlgItem(window, 1201))
                  *reinterpret_cast<HWND*>(data) = window;
                return TRUE;
              },
              reinterpret_cast<LPARAM>(&about));
          return about != nullptr;
        }))
      return Fail("no about box");
    std::printf("%s\n%s\n", TextOf(GetDlgItem(about, 1201)).c_str(),
                TextOf(GetDlgItem(about, 1202)).c_str());
    std::printf("%d\n", IsWindowEnabled(dialog) ? 1 : 0);
  } else {
    return Fail("unknown command");
  }
  std::fflush(stdout);
  return 0;
}
