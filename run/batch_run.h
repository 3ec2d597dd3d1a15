#pragma once

#include <memory>
#include <string>

#include "batch_ledger.h"
#include "batch_writer.h"
#include "job_acceptance.h"
#include "output_folder.h"
#include "platform_file.h"

namespace quillmark {

// What a run tells its front end besides refusals and the writer's
// status texts.
enum class RunNote {
  LedgerCheck,         // a dry run: what the ledger would record
  Reservation,         // the range the ledger recorded for the batch
  ChosenReservation,   // the same, for a range the ledger chose itself
  SpaceNotChecked,     // the volume gave no figures, so the space was not checked
  OutcomeNotRecorded,  // the ledger could not record how the run ended
  BatchVoided,         // the batch was voided while it was written
  OtherLotFiles,       // the folder holds "fw_*.img" files outside the batch
  PrefixCarry,         // the batch's addresses leave its start's vendor prefix
};

// What differs between the front ends: where a run's texts go and how a
// refusal is shown. Everything else about a run is BatchRun's.
class RunFrontEnd {
 public:
  // A refusal before device 1, one line; nothing of the batch was written.
  virtual void ShowRefusal(const std::string& message, MessageStyle style) = 0;
  // Just before a refusal: the line that says the value, the rule and the
  // path. A front end that shows the refusal alone ignores it.
  virtual void ShowRefusalDetail(const std::string& detail);
  virtual void ShowNote(RunNote note, const std::string& line) = 0;
  // The front end's own outputs of the run (the command line's manifest),
  // judged before the folder is claimed and again when the ledger moved
  // the range: "" to go ahead, else the refusal.
  virtual std::string CheckOwnOutputs(const GenerationJob& job, PlatformFiles& files);

 protected:
  ~RunFrontEnd() = default;
};

// One run of a batch in the one order both front ends keep: acceptance,
// the ledger's look-up, the front end's own outputs, the folder's claim,
// the free space, the ledger's reservation (everything judged again when
// the ledger chose another range), then the batch and its outcome.
class BatchRun {
 public:
  // The job is the caller's: it holds the image while the run goes on.
  BatchRun(GenerationJob& job, RunFrontEnd& frontEnd, PlatformFiles& files);
  ~BatchRun();
  BatchRun(const BatchRun&) = delete;
  BatchRun& operator=(const BatchRun&) = delete;

  // Everything before device 1. False after one refusal was shown: then
  // nothing is recorded, and a folder this request created and left empty
  // is removed again.
  bool Prepare(const JobRequestTexts& texts, const LedgerRequest& ledger);
  // A dry run: acceptance and the ledger's answer, nothing changed, no
  // folder created.
  bool Check(const JobRequestTexts& texts, const LedgerRequest& ledger);

  // The batch, on the caller's thread, after Prepare; the ledger is told
  // the outcome. The host may release the folder in OnRunFinished.
  BatchOutcome Write(BatchHost& host, WriterOptions options = {});
  // Ends a prepared run that never wrote (its thread could not start).
  void Abandon();
  // Lets go of the output folder once the writer no longer uses it.
  void ReleaseFolder();
  // After Write: the ledger's batch was voided while it was written. Its
  // images are there, but their addresses are not to be used; the front
  // end has been shown the warning.
  bool batchVoided() const { return m_batchVoided; }

  // The ledger's batch of this run (see BatchLedger::batchId); 0 for none.
  std::int64_t LedgerBatchId() const { return m_ledger.batchId(); }

 private:
  bool Accept(JobRequestTexts texts, const LedgerRequest& ledger, OutputDirectoryRule rule);
  void NoteWarnings();
  bool Refuse(const std::string& message, MessageStyle style = MessageStyle::Plain);
  bool Refuse(const LedgerAnswer& refusal);
  void RemoveCreatedFolder();
  void RecordOutcome(const BatchOutcome& outcome);

  GenerationJob& m_job;
  RunFrontEnd& m_frontEnd;
  PlatformFiles& m_files;
  BatchLedger m_ledger;
  std::unique_ptr<OutputFolder> m_folder;
  bool m_createdFolder = false;  // acceptance created the output folder
  bool m_spaceChecked = true;
  bool m_batchVoided = false;
};

}  // namespace quillmark
