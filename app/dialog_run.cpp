#include "dialog_run.h"

#include "message_box.h"
#include "station_config.h"

namespace quillmark {

DialogRun::DialogRun(QWidget* owner, GenerationJob& job)
    : m_owner(owner), m_run(job, *this, m_files) {}

bool DialogRun::Prepare(const JobRequestTexts& texts) {
  // Read afresh at each start: a configuration in error would leave the run
  // without the ledger or the station the station meant it to have.
  const StationConfigResult config = LoadStationConfig();
  if (!config.error.empty()) {
    ShowRefusal(config.error, MessageStyle::Plain);
    return false;
  }
  LedgerRequest ledger;
  if (const std::optional<std::string> location = ConfiguredLedgerLocation(config.config)) {
    ledger.use = true;
    ledger.location = *location;
    ledger.station = config.config.station.value_or("");
    ledger.pool = config.config.pool.value_or("");
    ledger.lot = config.config.lot.value_or("");
    ledger.series = config.config.series.value_or("");
  }
  return m_run.Prepare(texts, ledger);
}

void DialogRun::ShowRefusal(const std::string& message, MessageStyle style) {
  ShowMessage(m_owner, QString::fromStdString(message), style);
}

void DialogRun::ShowNote(RunNote note, const std::string& line) {
  // The dialog shows the range through its status line only; a ledger
  // that did not record the outcome, or a batch voided while it was
  // written, is worth a message box.
  if (note == RunNote::OtherLotFiles)
    m_otherLotNote = line;
  if ((note != RunNote::OutcomeNotRecorded && note != RunNote::BatchVoided) || !m_owner)
    return;
  // Shown once the worker is done, without holding it.
  QMetaObject::invokeMethod(
      m_owner,
      [owner = m_owner, text = QString::fromStdString(line)] {
        ShowMessage(owner, text, MessageStyle::Plain);
      },
      Qt::QueuedConnection);
}

}  // namespace quillmark
