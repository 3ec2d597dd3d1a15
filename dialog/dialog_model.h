#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "batch_run.h"
#include "batch_writer.h"
#include "dialog_view.h"
#include "interface_language.h"
#include "platform_file.h"

namespace quillmark {

// The five texts of a start request in the order they are read: 1002,
// 1003, 1007, 1001, 1005. Until an image is chosen the path shows a
// placeholder, never to be taken for a file of that name.
JobRequestTexts ReadFieldTexts(const std::function<std::string(int id)>& textOf, bool imageChosen);
// The status line once every device was written: "运行结束", and the
// note about another lot's files in the folder when there is one.
std::string RunFinishedStatus(const std::string& otherLotNote, InterfaceLanguage language);

// Everything the main dialog decides that is not drawing: the fields'
// defaults, the order the texts are read, the start command through
// BatchRun, the status line and the failure count, the end of a run and
// closing during one. A dialog hands its events in and shows what the
// model asks of its DialogView.
class DialogModel final : private BatchHost, private RunFrontEnd {
 public:
  DialogModel(DialogView& view, InterfaceLanguage language);
  ~DialogModel();
  DialogModel(const DialogModel&) = delete;
  DialogModel& operator=(const DialogModel&) = delete;

  // The dialog has its controls: defaults in place, focus on start.
  void OnInit();
  // The start button, or Enter while it is the default button.
  void OnStartPressed();
  // A picker's result; a cancelled picker hands in nothing.
  void OnImagePicked(const std::string& path);
  void OnFolderPicked(const std::string& path);
  // Esc, the close button, the system menu's Close: true when the dialog
  // may end now. During a run the writer is asked to stop, and the dialog
  // ends once its worker returned, leaving no partial image.
  bool OnClosing();
  // On the UI thread, once the worker's function returned.
  void OnWorkerReturned();

  JobRequestTexts FieldTexts();
  bool running() const { return m_running; }

 private:
  // BatchHost, on the worker's thread.
  void SetStatus(StatusKind kind, std::string text) override;
  void OnRunFinished(bool finished) override;
  void OnRunEnded(const BatchOutcome& outcome) override;
  bool StopRequested() override;
  void OnDeviceDone(const MacAddress& firstAddress, bool written) override;
  // RunFrontEnd: refusals on the UI thread, notes from either.
  void ShowRefusal(const std::string& message, MessageStyle style) override;
  void ShowNote(RunNote note, const std::string& line) override;

  void EndRun(bool finished, std::optional<BatchOutcome> count);
  void ShowCounts();

  DialogView& m_view;
  InterfaceLanguage m_language;
  GenerationJob m_job;
  SystemFiles m_files;
  // The run from the start command until its worker returned; the worker
  // holds it until the ledger has the outcome.
  std::shared_ptr<BatchRun> m_run;
  std::string m_otherLotNote;
  int m_deviceCount = 0;
  bool m_imageChosen = false;
  bool m_running = false;       // from acceptance until the run's end is shown
  bool m_workerAlive = false;   // until OnWorkerReturned
  bool m_closePending = false;  // closing waits for the worker to return
  std::atomic<bool> m_stopRequested{false};
  std::atomic<int> m_written{0};
  std::atomic<int> m_failed{0};
  std::atomic<bool> m_countQueued{false};
};

}  // namespace quillmark
