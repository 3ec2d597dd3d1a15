#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "dialog_model.h"
#include "dialog_view.h"

namespace quillmark {

// Template ids of Quillmark.exe's resources.
inline constexpr int kMainDialogTemplate = 100;
inline constexpr int kAboutDialogTemplate = 102;
inline constexpr int kIconResource = 128;
inline constexpr int kProgressControl = 1009;
// The system command of the about item; the platform keeps the four low
// bits of a system command for itself.
inline constexpr unsigned kAboutCommand = 0x0010;

// The main dialog on Windows: a modeless dialog of template 100 with its
// own message loop, a view of the dialog model. The worker reaches it
// only by posted messages.
class MainWindow final : public DialogView {
 public:
  explicit MainWindow(HINSTANCE instance);
  ~MainWindow();

  // Shows the dialog and serves it until it ends; the process's exit code.
  int Run();

  std::string ControlText(int id) override;
  void SetControlText(int id, const std::string& text) override;
  void EnableControl(int id, bool enabled) override;
  void FocusControl(int id) override;
  void ShowMessage(const std::string& text, MessageStyle style) override;
  void ShowFailureCount(const std::string& text, const std::string& tip) override;
  void ShowProgress(int done, int total) override;
  bool StartWorker(std::function<void()> work) override;
  void PostToUi(std::function<void()> apply) override;
  void EndDialog() override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnCommand(int id);
  void OnClose();
  void OnHelp();
  void ShowAbout();
  std::optional<std::string> PickImage();
  std::optional<std::string> PickFolder();

  HINSTANCE m_instance;
  HWND m_window = nullptr;
  HICON m_icon = nullptr;
  HICON m_smallIcon = nullptr;
  std::wstring m_caption;  // the program's name, every message box's caption
  DialogModel m_model;
  std::thread m_worker;
};

}  // namespace quillmark
