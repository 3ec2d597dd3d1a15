#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "batch_verifier.h"
#include "batch_writer.h"
#include "job_acceptance.h"
#include "main_dialog_layout.h"
#include "pickers.h"
#include "run_progress.h"
#include "verify_message.h"

namespace quillmark {

class DialogRun;

// The tool's one working window: the job's fields, the start button and
// the status line. A run goes on a worker thread that reports back
// through the BatchHost calls; a check of the output folder goes the same
// way through the VerifyHost calls.
class CMainDialog : public QDialog, public BatchHost, public VerifyHost {
  Q_OBJECT

 public:
  explicit CMainDialog(QWidget* pParent = nullptr);
  ~CMainDialog() override;

  // The start command: checks the fields and the image, then starts a run.
  void OnOK();
  void OnChooseImage();
  void OnChooseOutputDirectory();
  // Opens the about box for the about command, checks the output folder
  // for the verify command, closes for Close.
  void OnSysCommand(unsigned nID, qintptr lParam = 0);
  // The verify command: checks the fields and the image as the start
  // command does, then reads back the batch they describe from the output
  // folder, which must exist, and ends with a message box.
  void OnVerifyOutputFolder();

  // The output folder of the job, as the start command claims it.
  std::string GetOutputDirectory();
  // BatchHost: called on the worker's thread, applied on the dialog's.
  void SetStatus(StatusKind kind, std::string text) override;
  void OnRunFinished(bool finished) override;
  void OnRunEnded(const BatchOutcome& outcome) override;
  bool StopRequested() override;  // for the writer and the verifier
  void OnDeviceDone(const MacAddress& firstAddress, bool written) override;
  // VerifyHost: called on the worker's thread.
  void OnDeviceChecked(const DeviceResult& result) override;
  void OnFolderScanned(const FolderScan& scan) override;

  void SetPickers(DialogPickers pickers) { m_pickers = std::move(pickers); }
  // The worker's stack in bytes, 0 for the platform's default. A size the
  // platform refuses makes the run fail to start.
  void SetWorkerStackSize(unsigned nBytes) { m_nWorkerStackSize = nBytes; }
  QThread* WorkerThread() const { return m_pWorkerThread; }

 public slots:
  // Esc, the caption's close button and the Close command. During a run
  // the worker is asked to stop and the dialog closes once it returned.
  void reject() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void OnInitDialog();
  void ShowSystemMenu(const QPoint& globalPosition);
  JobRequestTexts FieldTexts() const;
  bool StartWorker(int deviceCount, std::function<void()> work);
  void EndVerify();
  void EnableStart();
  void OnWorkerReturned(QThread* worker);
  void WaitForWorkersWhileServingThem();
  template <typename Apply>
  void OnDialogThread(Apply apply);
  // From either thread; returns once the status line shows text.
  void ShowStatus(const std::string& text);

  GenerationJob m_job;
  // The run from the start command to OnRunFinished; its worker holds it
  // until the ledger has the outcome.
  std::shared_ptr<DialogRun> m_pRun;
  // A check's batch and what it found, from the verify command until the
  // worker returned.
  std::unique_ptr<ExpectedBatch> m_pVerifyBatch;
  std::unique_ptr<VerifyMessage> m_pVerifyMessage;
  // The writer's count of the run that just ended, for the failure count.
  std::optional<BatchOutcome> m_endCount;
  VerifyOutcome m_verifyOutcome;
  QPointer<QThread> m_pWorkerThread;
  QIcon m_hIcon;
  MainDialogControls m_controls;
  RunProgress m_progress;
  DialogPickers m_pickers;
  unsigned m_nWorkerStackSize = 0;
  bool m_bImageChosen = false;   // the image label shows a path, not its placeholder
  bool m_bRunActive = false;     // from acceptance until OnRunFinished or EndVerify
  bool m_bClosePending = false;  // closing waits for the worker to return
  std::atomic<bool> m_bStopRequested{false};
};

}  // namespace quillmark
