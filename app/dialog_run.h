#pragma once

#include <QPointer>
#include <QWidget>
#include <string>

#include "batch_run.h"
#include "job_acceptance.h"
#include "platform_file.h"

namespace quillmark {

// A run as the dialog shows it: each refusal is one message box, the MAC
// ledger is the one QUILLMARK_LEDGER or the station configuration names
// (none when neither names one), with the configuration's station, pool
// and lot, and an outcome the ledger could not record is said once the
// worker is done.
// The order of the run is BatchRun's.
class DialogRun final : public RunFrontEnd {
 public:
  DialogRun(QWidget* owner, GenerationJob& job);

  // Everything before device 1, on the dialog's thread; false after a
  // refusal was shown.
  bool Prepare(const JobRequestTexts& texts);
  BatchRun& Run() { return m_run; }

  void ShowRefusal(const std::string& message, MessageStyle style) override;
  void ShowNote(RunNote note, const std::string& line) override;

  // The warning about files of another lot in the folder, for the end
  // status; empty when there are none.
  const std::string& OtherLotNote() const { return m_otherLotNote; }

 private:
  std::string m_otherLotNote;
  QPointer<QWidget> m_owner;
  SystemFiles m_files;
  BatchRun m_run;
};

}  // namespace quillmark
