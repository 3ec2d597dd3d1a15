#include "dialog_model.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "dialog_texts.h"
#include "failure_count.h"
#include "station_run.h"
#include "status_texts.h"

namespace quillmark {

DialogModel::DialogModel(DialogView& view, InterfaceLanguage language)
    : m_view(view), m_language(language) {}

DialogModel::~DialogModel() = default;

void DialogModel::OnInit() {
  m_job.imageBytes.reset();
  const JobRequestTexts defaults = InitialFieldTexts();
  m_view.SetControlText(kImagePathControl, std::string(dialog_text::kNoImageChosen.In(m_language)));
  m_view.SetControlText(kOutputDirectoryControl, defaults.outputDirectory);
  m_view.SetControlText(kStartMacControl, defaults.startMac);
  m_view.SetControlText(kDeviceCountControl, defaults.deviceCount);
  m_view.SetControlText(kMacsPerDeviceControl, defaults.macsPerDevice);
  m_view.SetControlText(kStatusLineControl, "");
  m_view.ShowFailureCount("", "");
  m_view.ShowProgress(0, 0);
  m_view.FocusControl(kStartButton);
}

JobRequestTexts ReadFieldTexts(const std::function<std::string(int id)>& textOf, bool imageChosen) {
  JobRequestTexts texts;
  texts.startMac = textOf(kStartMacControl);
  texts.deviceCount = textOf(kDeviceCountControl);
  texts.macsPerDevice = textOf(kMacsPerDeviceControl);
  texts.imagePath = imageChosen ? textOf(kImagePathControl) : std::string();
  texts.outputDirectory = textOf(kOutputDirectoryControl);
  return texts;
}

std::string RunFinishedStatus(const std::string& otherLotNote, InterfaceLanguage language) {
  std::string status(kRunFinishedText.In(language));
  // Files of another lot in the folder stay said when the run is done.
  if (!otherLotNote.empty())
    status += std::string(dialog_text::kStatusJoiner.In(language)) + otherLotNote;
  return status;
}

JobRequestTexts DialogModel::FieldTexts() {
  return ReadFieldTexts([this](int id) { return m_view.ControlText(id); }, m_imageChosen);
}

void DialogModel::OnImagePicked(const std::string& path) {
  m_view.SetControlText(kImagePathControl, path);
  m_imageChosen = true;
  // A relative output directory is then found beside the chosen image.
  std::error_code error;
  std::filesystem::current_path(std::filesystem::u8path(path).parent_path(), error);
}

void DialogModel::OnFolderPicked(const std::string& path) {
  m_view.SetControlText(kOutputDirectoryControl, path);
}

void DialogModel::OnStartPressed() {
  // The job and its image belong to the running worker until it is done,
  // and a dialog that is closing starts nothing new.
  if (m_running || m_workerAlive || m_closePending)
    return;
  m_otherLotNote.clear();
  const JobRequestTexts texts = FieldTexts();
  const StationRunSetting setting = StationRunSettingNow();
  if (setting.refusal) {
    ShowRefusal(*setting.refusal, MessageStyle::Plain);
    return;
  }
  RunFrontEnd& frontEnd = *this;
  auto run = std::make_shared<BatchRun>(m_job, frontEnd, m_files);
  if (!run->Prepare(texts, setting.ledger))
    return;
  m_run = run;
  m_running = true;
  m_workerAlive = true;
  m_stopRequested = false;
  m_deviceCount = m_job.deviceCount;
  m_written = 0;
  m_failed = 0;
  m_view.EnableControl(kStartButton, false);
  m_view.ShowFailureCount("", "");
  m_view.ShowProgress(0, m_deviceCount);
  BatchHost& host = *this;
  if (!m_view.StartWorker([&host, run] { run->Write(host); })) {
    run->Abandon();
    m_workerAlive = false;
    EndRun(false, std::nullopt);
  }
}

void DialogModel::SetStatus(StatusKind, std::string text) {
  m_view.PostToUi(
      [this, text = std::move(text)] { m_view.SetControlText(kStatusLineControl, text); });
}

void DialogModel::OnRunEnded(const BatchOutcome& outcome) {
  // The writer no longer uses the folder; the ledger is told the outcome
  // after this, on this thread.
  if (m_run)
    m_run->ReleaseFolder();
  m_view.PostToUi([this, outcome] { EndRun(outcome.finished, outcome); });
}

void DialogModel::OnRunFinished(bool finished) {
  if (m_run)
    m_run->ReleaseFolder();
  m_view.PostToUi([this, finished] { EndRun(finished, std::nullopt); });
}

bool DialogModel::StopRequested() {
  return m_stopRequested;
}

void DialogModel::OnDeviceDone(const MacAddress&, bool written) {
  ++(written ? m_written : m_failed);
  // At most one update waits, however fast devices finish; it shows the
  // counts as they are when it runs, unless the run has ended by then.
  if (m_countQueued.exchange(true))
    return;
  m_view.PostToUi([this] {
    m_countQueued = false;
    if (m_running)
      ShowCounts();
  });
}

void DialogModel::ShowCounts() {
  const int written = m_written, failed = m_failed;
  m_view.ShowProgress(written + failed, m_deviceCount);
  const FailureCountShown shown =
      FailureCountFor(m_deviceCount, written, failed, std::nullopt, m_language);
  m_view.ShowFailureCount(shown.text, shown.tip);
}

// On the UI thread: the start button is back, with the focus and as the
// default button, so Enter starts the next batch as before the run.
void DialogModel::EndRun(bool finished, std::optional<BatchOutcome> count) {
  if (!m_running)
    return;
  m_running = false;
  if (finished)
    m_view.SetControlText(kStatusLineControl, RunFinishedStatus(m_otherLotNote, m_language));
  m_view.ShowProgress(0, 0);
  // A run cut short leaves the devices after its last one without a file
  // as well: the operator needs every device that has none.
  FailureCountShown shown;
  if (!finished) {
    const int written = count ? count->devicesWritten : int(m_written);
    const int failed = count ? count->devicesFailed : int(m_failed);
    const int notReached = count ? count->devicesNotReached : m_deviceCount - written - failed;
    shown = FailureCountFor(m_deviceCount, written, failed, notReached, m_language);
  }
  m_view.ShowFailureCount(shown.text, shown.tip);
  m_view.EnableControl(kStartButton, true);
  m_view.FocusControl(kStartButton);
}

void DialogModel::OnWorkerReturned() {
  m_workerAlive = false;
  m_run.reset();
  if (m_closePending) {
    m_closePending = false;
    m_view.EndDialog();
  }
}

bool DialogModel::OnClosing() {
  if (!m_workerAlive)
    return true;
  m_stopRequested = true;
  m_closePending = true;
  return false;
}

void DialogModel::ShowRefusal(const std::string& message, MessageStyle style) {
  m_view.ShowMessage(message, style);
}

void DialogModel::ShowNote(RunNote note, const std::string& line) {
  // The dialog shows the range through its status line only; a ledger
  // that did not record the outcome, or a batch voided while it was
  // written, is worth a message box, shown without holding the worker.
  if (note == RunNote::OtherLotFiles)
    m_otherLotNote = line;
  if (note != RunNote::OutcomeNotRecorded && note != RunNote::BatchVoided)
    return;
  m_view.PostToUi([this, line] { m_view.ShowMessage(line, MessageStyle::Plain); });
}

}  // namespace quillmark
