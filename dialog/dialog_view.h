#pragma once

#include <functional>
#include <string>

#include "job_acceptance.h"

namespace quillmark {

// The main dialog's controls, by the ids both dialogs give them.
enum DialogControl : int {
  kStartButton = 1,
  kChooseImageButton = 1000,
  kImagePathControl = 1001,
  kStartMacControl = 1002,
  kDeviceCountControl = 1003,
  kStatusLineControl = 1004,
  kOutputDirectoryControl = 1005,
  kChooseDirectoryButton = 1006,
  kMacsPerDeviceControl = 1007,
  kFailureCountControl = 1008,  // devices without a file, once one failed
};

// What the dialog model asks of a dialog: the drawing, the toolkit's
// calls and its thread. Every call but PostToUi comes on the UI thread.
class DialogView {
 public:
  virtual std::string ControlText(int id) = 0;
  virtual void SetControlText(int id, const std::string& text) = 0;
  virtual void EnableControl(int id, bool enabled) = 0;
  // Moves the keyboard focus to the control; a button becomes the
  // default one, pressed by Enter.
  virtual void FocusControl(int id) = 0;
  // One modal message box owned by the dialog, the program's name as its
  // caption, an OK button.
  virtual void ShowMessage(const std::string& text, MessageStyle style) = 0;
  // The failure count and its tooltip; empty hides it.
  virtual void ShowFailureCount(const std::string& text, const std::string& tip) = 0;
  // The devices done of the batch while a run goes on; total 0 hides it.
  virtual void ShowProgress(int done, int total) = 0;
  // Runs work on a new worker thread and, once it has returned, calls the
  // model's OnWorkerReturned on the UI thread; false when no thread could
  // be started.
  virtual bool StartWorker(std::function<void()> work) = 0;
  // From any thread: apply runs on the UI thread, after everything posted
  // before it. The UI thread never waits for the worker.
  virtual void PostToUi(std::function<void()> apply) = 0;
  // Ends the dialog as its cancel command does.
  virtual void EndDialog() = 0;

 protected:
  ~DialogView() = default;
};

}  // namespace quillmark
