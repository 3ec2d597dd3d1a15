// The run as the dialog sees it: the start command, the worker thread,
// the worker's reports and closing while a run goes on.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <utility>

#include "dialog_language.h"
#include "dialog_model.h"
#include "dialog_run.h"
#include "main_dialog.h"
#include "message_box.h"

namespace quillmark {
namespace {

std::string TextOf(const QString& text) {
  return text.toStdString();
}

}  // namespace

void CMainDialog::OnOK() {
  // The job and its image belong to the running worker until it is done,
  // and a dialog that is closing starts nothing new.
  if (m_bRunActive || m_bClosePending)
    return;
  auto run = std::make_shared<DialogRun>(this, m_job);
  if (!run->Prepare(FieldTexts()))
    return;
  m_pRun = run;
  const bool started = StartWorker(m_job.deviceCount, [this, run] { run->Run().Write(*this); });
  if (!started) {
    run->Run().Abandon();
    OnRunFinished(false);
  }
}

JobRequestTexts CMainDialog::FieldTexts() const {
  const auto textOf = [this](int id) {
    switch (id) {
      case kStartMacControl:
        return TextOf(m_controls.startMacEdit->text());
      case kDeviceCountControl:
        return TextOf(m_controls.deviceCountEdit->text());
      case kMacsPerDeviceControl:
        return TextOf(m_controls.macsPerDeviceEdit->text());
      case kImagePathControl:
        return TextOf(m_controls.imagePathLabel->text());
      default:
        return TextOf(m_controls.outputDirectoryLabel->text());
    }
  };
  return ReadFieldTexts(textOf, m_bImageChosen);
}

// Runs work on a new worker thread with the dialog as during a run; false
// when the thread could not be started, and the caller ends the run.
bool CMainDialog::StartWorker(int deviceCount, std::function<void()> work) {
  m_controls.startButton->setEnabled(false);
  m_bRunActive = true;
  m_bStopRequested = false;
  m_progress.Begin(deviceCount);

  QThread* worker = QThread::create(std::move(work));
  worker->setParent(this);
  worker->setStackSize(m_nWorkerStackSize);
  connect(worker, &QThread::finished, this, [this, worker] { OnWorkerReturned(worker); });
  connect(worker, &QThread::finished, worker, &QObject::deleteLater);
  worker->start();
  if (!worker->isRunning() && !worker->isFinished()) {
    delete worker;
    m_pWorkerThread = nullptr;
    return false;
  }
  m_pWorkerThread = worker;
  return true;
}

template <typename Apply>
void CMainDialog::OnDialogThread(Apply apply) {
  if (QThread::currentThread() == thread()) {
    apply();
    return;
  }
  // The worker waits until the dialog's thread has applied the change, so
  // what it reports appears in its order; that thread never waits for it.
  QMetaObject::invokeMethod(this, std::move(apply), Qt::BlockingQueuedConnection);
}

std::string CMainDialog::GetOutputDirectory() {
  return m_job.outputDirectory;
}

void CMainDialog::SetStatus(StatusKind, std::string text) {
  ShowStatus(text);
}

void CMainDialog::ShowStatus(const std::string& text) {
  OnDialogThread(
      [this, status = QString::fromStdString(text)] { m_controls.statusLabel->setText(status); });
}

void CMainDialog::OnRunFinished(bool finished) {
  OnDialogThread([this, finished] {
    // The writer no longer uses the folder; the ledger is told the
    // outcome after this, on the worker's thread.
    std::string otherLotNote;
    if (m_pRun) {
      m_pRun->Run().ReleaseFolder();
      otherLotNote = m_pRun->OtherLotNote();
    }
    m_pRun.reset();
    EnableStart();
    if (finished)
      m_controls.statusLabel->setText(
          QString::fromStdString(RunFinishedStatus(otherLotNote, DialogLanguage())));
    m_progress.End(finished, std::exchange(m_endCount, std::nullopt));
    m_bRunActive = false;
  });
}

void CMainDialog::OnRunEnded(const BatchOutcome& outcome) {
  // Read on the dialog's thread once OnRunFinished has handed over.
  m_endCount = outcome;
  OnRunFinished(outcome.finished);
}

// Disabling the start button for the run moved the focus on to the next
// button; Enter must start the next batch again, as before the run.
void CMainDialog::EnableStart() {
  m_controls.startButton->setEnabled(true);
  m_controls.startButton->setDefault(true);
  m_controls.startButton->setFocus(Qt::OtherFocusReason);
}

bool CMainDialog::StopRequested() {
  return m_bStopRequested;
}

void CMainDialog::OnDeviceDone(const MacAddress&, bool written) {
  m_progress.DeviceDone(written);
}

void CMainDialog::reject() {
  if (m_pWorkerThread && !m_pWorkerThread->isFinished()) {
    m_bStopRequested = true;
    m_bClosePending = true;
    return;
  }
  QDialog::reject();
}

// A run's worker goes on after the run has ended, recording its outcome,
// and a check may start meanwhile: only the latest worker's return ends
// what the dialog is doing. An earlier one's return must not end that
// check, whose worker still reads its batch.
void CMainDialog::OnWorkerReturned(QThread* worker) {
  if (worker != m_pWorkerThread)
    return;
  if (m_pVerifyBatch)
    EndVerify();
  if (m_bClosePending) {
    m_bClosePending = false;
    QDialog::reject();
  }
}

// Closing waits for the worker, so one still runs here only when an owner
// deletes the dialog during a run. That worker may be waiting for this
// thread to apply a report, so events are served between short waits.
void CMainDialog::WaitForWorkersWhileServingThem() {
  m_bStopRequested = true;
  QList<QPointer<QThread>> workers;
  for (QThread* worker : findChildren<QThread*>(Qt::FindDirectChildrenOnly))
    workers.append(worker);
  for (const QPointer<QThread>& worker : workers) {
    while (worker && !worker->wait(QDeadlineTimer(20)))
      QCoreApplication::processEvents();
  }
}

CMainDialog::~CMainDialog() {
  WaitForWorkersWhileServingThem();
}

}  // namespace quillmark
