// A check of the output folder as the dialog runs it: the verify command,
// the verifier's reports and the message box that ends it.
#include <QFileInfo>

#include "main_dialog.h"
#include "message_box.h"
#include "verify_texts.h"

namespace quillmark {
namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

void CMainDialog::OnVerifyOutputFolder() {
  if (m_bRunActive || m_bClosePending)
    return;
  // A check creates nothing, so the output folder must already exist.
  SystemFiles files;
  const JobVerdict verdict =
      AcceptJobRequest(m_job, FieldTexts(), files, OutputDirectoryRule::MustExist);
  if (!verdict.accepted) {
    ShowMessage(this, FromUtf8(verdict.message), verdict.style);
    return;
  }
  m_pVerifyBatch = std::make_unique<ExpectedBatch>(BatchOfJob(m_job));
  // The image chooser moves the current folder and stays usable during a
  // check, so a relative output folder is resolved once, here.
  m_pVerifyBatch->outputDirectory =
      QFileInfo(FromUtf8(m_job.outputDirectory)).absoluteFilePath().toStdString();
  m_pVerifyMessage = std::make_unique<VerifyMessage>(*m_pVerifyBatch);
  m_verifyOutcome = VerifyOutcome{};
  const bool started = StartWorker(m_job.deviceCount, [this] {
    SystemFiles workerFiles;
    m_verifyOutcome = VerifyBatch(*m_pVerifyBatch, *this, workerFiles);
  });
  // A worker that cannot start leaves the dialog idle, as for a run.
  if (!started) {
    m_bStopRequested = true;
    EndVerify();
  }
}

void CMainDialog::OnDeviceChecked(const DeviceResult& result) {
  m_pVerifyMessage->AddDevice(result);
  ShowStatus(CheckingText(result.first));
  // The bar counts the devices checked; what failed goes to the message
  // box, since the failure count means devices left without a file.
  m_progress.DeviceDone(true);
}

void CMainDialog::OnFolderScanned(const FolderScan& scan) {
  m_pVerifyMessage->AddFolderScan(scan);
}

// On the dialog's thread once the worker returned. A check that was asked
// to stop (the dialog closes) ends without a message box.
void CMainDialog::EndVerify() {
  const std::unique_ptr<ExpectedBatch> batch = std::move(m_pVerifyBatch);
  const std::unique_ptr<VerifyMessage> message = std::move(m_pVerifyMessage);
  EnableStart();
  m_progress.End(true, std::nullopt);
  m_bRunActive = false;
  if (m_bStopRequested)
    return;
  m_controls.statusLabel->setText(FromUtf8(SummaryText(m_verifyOutcome, batch->devices.size())));
  ShowMessage(this, FromUtf8(message->Text(m_verifyOutcome)),
              m_verifyOutcome.Passed() ? MessageStyle::Plain : MessageStyle::Warning);
}

}  // namespace quillmark
