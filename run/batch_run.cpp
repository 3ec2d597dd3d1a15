#include "batch_run.h"

#include "other_lot_files.h"
#include "space_check.h"

namespace quillmark {

void RunFrontEnd::ShowRefusalDetail(const std::string&) {}

std::string RunFrontEnd::CheckOwnOutputs(const GenerationJob&, PlatformFiles&) {
  return "";
}

BatchRun::BatchRun(GenerationJob& job, RunFrontEnd& frontEnd, PlatformFiles& files)
    : m_job(job), m_frontEnd(frontEnd), m_files(files) {}

BatchRun::~BatchRun() = default;

// The folder this request created goes while this run holds it, so a
// folder another run claimed meanwhile stays. Where a held folder cannot
// be removed (Windows keeps it open without sharing its removal), it is
// tried once more after the claim: another run holding it still prevents
// that there.
void BatchRun::RemoveCreatedFolder() {
  if (!m_folder)
    m_folder = ClaimOutputFolder(m_files, m_job.outputDirectory).folder;
  if (!m_folder)
    return;
  if (RemoveEmptyOutputDirectory(m_job.outputDirectory, m_files))
    return;
  m_folder.reset();
  RemoveEmptyOutputDirectory(m_job.outputDirectory, m_files);
}

// The folder is let go before the refusal is shown: a message box waits
// for its reader, and no run need wait for it meanwhile.
bool BatchRun::Refuse(const std::string& message, MessageStyle style) {
  if (m_createdFolder)
    RemoveCreatedFolder();
  m_folder.reset();
  m_createdFolder = false;
  m_frontEnd.ShowRefusal(message, style);
  return false;
}

// The ledger's detail line first: the refusal stays the last line.
bool BatchRun::Refuse(const LedgerAnswer& refusal) {
  if (!refusal.detail.empty())
    m_frontEnd.ShowRefusalDetail(refusal.detail);
  return Refuse(refusal.line);
}

// Acceptance, then the ledger opened. A start the ledger chooses later
// stands in acceptance as any valid start.
bool BatchRun::Accept(JobRequestTexts texts, const LedgerRequest& ledger,
                      OutputDirectoryRule rule) {
  if (ledger.use && ledger.nextFree)
    texts.startMac = "00:00:00:00:00:00";
  const JobVerdict verdict = AcceptJobRequest(m_job, texts, m_files, rule);
  if (!verdict.accepted) {
    if (!verdict.detail.empty())
      m_frontEnd.ShowRefusalDetail(verdict.detail);
    return Refuse(verdict.message, verdict.style);
  }
  m_createdFolder = verdict.createdOutputDirectory;
  if (const LedgerAnswer opened = m_ledger.Open(ledger); !opened.ok)
    return Refuse(opened.line);
  return true;
}

// Said, never refused: a rerun in place finds only its own files, and
// the dialog's rules allow a batch past its vendor prefix.
void BatchRun::NoteWarnings() {
  if (const std::string carry = PrefixCarryText(m_job); !carry.empty())
    m_frontEnd.ShowNote(RunNote::PrefixCarry, carry);
  if (const std::int32_t others = CountOtherLotFiles(m_job, m_files); others > 0)
    m_frontEnd.ShowNote(RunNote::OtherLotFiles, OtherLotFilesText(m_job.outputDirectory, others));
}

bool BatchRun::Prepare(const JobRequestTexts& texts, const LedgerRequest& ledger) {
  if (!Accept(texts, ledger, OutputDirectoryRule::CreateIfMissing))
    return false;
  if (const LedgerAnswer planned = m_ledger.PlanNextFree(m_job); !planned.ok)
    return Refuse(planned.line);
  if (const std::string refusal = m_frontEnd.CheckOwnOutputs(m_job, m_files); !refusal.empty())
    return Refuse(refusal);
  // Held to the end: no other run writes into the folder meanwhile.
  FolderClaim claim = ClaimOutputFolder(m_files, m_job.outputDirectory);
  if (!claim.folder)
    return Refuse(claim.refusal);
  m_folder = std::move(claim.folder);
  SpaceVerdict space = CheckFreeSpace(m_job, m_files);
  if (!space.fits)
    return Refuse(space.message);
  const MacAddress planned = m_job.startMac;
  // Last: a batch the ledger records is one the run is about to write.
  const LedgerAnswer reserved = m_ledger.Reserve(m_job);
  if (!reserved.ok)
    return Refuse(reserved);
  if (!reserved.line.empty())
    m_frontEnd.ShowNote(m_ledger.nextFree() ? RunNote::ChosenReservation : RunNote::Reservation,
                        reserved.line);
  // Another station took the planned range meanwhile: the range recorded
  // is judged anew, and recorded as unused when it is refused.
  if (!(m_job.startMac == planned)) {
    std::string refusal = m_frontEnd.CheckOwnOutputs(m_job, m_files);
    if (refusal.empty()) {
      space = CheckFreeSpace(m_job, m_files);
      refusal = space.message;
    }
    if (!refusal.empty()) {
      RecordOutcome(BatchOutcome{});
      return Refuse(refusal);
    }
  }
  if (!space.checked)
    m_frontEnd.ShowNote(RunNote::SpaceNotChecked, kSpaceNotCheckedText);
  NoteWarnings();
  return true;
}

bool BatchRun::Check(const JobRequestTexts& texts, const LedgerRequest& ledger) {
  if (!Accept(texts, ledger, OutputDirectoryRule::WouldCreate))
    return false;
  // The ledger is asked, never changed.
  const LedgerAnswer answer = m_ledger.Check(m_job);
  if (!answer.ok)
    return Refuse(answer);
  if (!answer.line.empty())
    m_frontEnd.ShowNote(RunNote::LedgerCheck, answer.line);
  NoteWarnings();
  return true;
}

BatchOutcome BatchRun::Write(BatchHost& host, WriterOptions options) {
  const BatchOutcome outcome = GenerationWorker(m_job, host, *m_folder, options);
  RecordOutcome(outcome);
  // A supervisor may void the batch while it is written; only the writer
  // can tell whoever holds its images.
  const BatchLedger::VoidAnswer voided = m_ledger.VoidedDuringWrite();
  m_batchVoided = voided.voided;
  if (!voided.line.empty())
    m_frontEnd.ShowNote(voided.voided ? RunNote::BatchVoided : RunNote::OutcomeNotRecorded,
                        voided.line);
  return outcome;
}

void BatchRun::Abandon() {
  RecordOutcome(BatchOutcome{});
  ReleaseFolder();
}

void BatchRun::ReleaseFolder() {
  m_folder.reset();
}

void BatchRun::RecordOutcome(const BatchOutcome& outcome) {
  if (const std::string failure = m_ledger.RecordOutcome(outcome); !failure.empty())
    m_frontEnd.ShowNote(RunNote::OutcomeNotRecorded, failure);
}

}  // namespace quillmark
