#include "generation_commands.h"

#include <cstdio>
#include <string>

#include "batch_writer.h"
#include "console_host.h"
#include "console_text.h"
#include "exit_codes.h"
#include "manifest.h"
#include "signals.h"
#include "space_check.h"
#include "write_ledger.h"

namespace quillmark::cli {
namespace {

void PrintError(const std::string& line) {
  WriteText(stderr, line + "\n");
}

int Refuse(const std::string& message) {
  PrintError(message);
  return kExitRejected;
}

// Acceptance exactly as the dialog's start button does it.
int AcceptJob(const WriteOptions& options, GenerationJob& job, PlatformFiles& files) {
  const JobVerdict verdict = AcceptJobRequest(job, AcceptanceTexts(options), files);
  return verdict.accepted ? kExitSuccess : Refuse(verdict.message);
}

// The manifest's path and folder, so a manifest that cannot be written
// stops the request before anything is written.
int CheckManifestPath(const WriteOptions& options, const GenerationJob& job, PlatformFiles& files) {
  if (!options.hasManifest)
    return kExitSuccess;
  if (const std::string refusal =
          ManifestPathRefusal(options.manifestPath, options.texts.imagePath, job, files);
      !refusal.empty()) {
    return Refuse(refusal);
  }
  if (!CanWriteManifest(options.manifestPath, files)) {
    return Refuse("清单文件无法写入！" + options.manifestPath);
  }
  return kExitSuccess;
}

// Room on the output volume for the batch's files.
int CheckSpace(const GenerationJob& job, PlatformFiles& files, bool& spaceChecked) {
  const SpaceVerdict space = CheckFreeSpace(job, files);
  if (!space.fits)
    return Refuse(space.message);
  spaceChecked = space.checked;
  return kExitSuccess;
}

bool SaveManifest(const WriteOptions& options, const std::string& text, PlatformFiles& files) {
  if (!options.hasManifest)
    return true;
  const ManifestWrite written = WriteManifest(options.manifestPath, text, options.durable, files);
  if (written == ManifestWrite::Written)
    return true;
  PrintError("清单文件写入出错！" + options.manifestPath);
  if (written == ManifestWrite::FailedOlderRemains)
    PrintError("旧清单文件无法删除！" + options.manifestPath);
  return false;
}

}  // namespace

int RunGeneration(const WriteOptions& options) {
  if (!InstallStopHandlers())
    PrintError(kNoStopHandlersText);
  SystemFiles files;
  GenerationJob job;
  WriteLedger ledger;
  if (const int refused = AcceptJob(options, job, files); refused != kExitSuccess)
    return refused;
  if (!ledger.Open(options) || !ledger.PlanNextFree(job))
    return kExitRejected;
  if (const int refused = CheckManifestPath(options, job, files); refused != kExitSuccess)
    return refused;
  // Held to the end: no other run writes into the folder meanwhile.
  const FolderClaim claim = ClaimOutputFolder(files, job.outputDirectory);
  if (!claim.folder)
    return Refuse(claim.refusal);
  bool spaceChecked = true;
  if (const int refused = CheckSpace(job, files, spaceChecked); refused != kExitSuccess)
    return refused;
  const MacAddress planned = job.startMac;
  if (!ledger.Reserve(job, options.quiet))
    return kExitRejected;
  // Another station took the planned range meanwhile: the range recorded
  // is judged anew, and recorded as unused when it is refused.
  if (!(job.startMac == planned)) {
    int refused = CheckManifestPath(options, job, files);
    if (refused == kExitSuccess)
      refused = CheckSpace(job, files, spaceChecked);
    if (refused != kExitSuccess) {
      ledger.RecordOutcome(BatchOutcome{});
      return refused;
    }
  }
  if (!spaceChecked)
    PrintError(kSpaceNotCheckedText);

  const ConsoleMode mode{options.quiet, !options.quiet && StandardOutputIsConsole()};
  ConsoleHost host(job.deviceCount, mode);
  const BatchOutcome outcome =
      GenerationWorker(job, host, *claim.folder, WriterOptions{options.durable});
  ledger.RecordOutcome(outcome);
  const bool manifestSaved =
      SaveManifest(options, ManifestText(host.WrittenDevices(), job.macsPerDevice), files);

  if (outcome.stopped) {
    PrintError("运行已停止：已写入" + std::to_string(outcome.devicesWritten) + "个设备文件（共" +
               std::to_string(job.deviceCount) + "个）");
    return kExitSignalBase + StopSignal();
  }
  return outcome.finished && manifestSaved ? kExitSuccess : kExitRunFailed;
}

int RunDryRun(const WriteOptions& options) {
  SystemFiles files;
  GenerationJob job;
  if (const int refused = AcceptJob(options, job, files); refused != kExitSuccess)
    return refused;
  // The ledger is asked, never changed.
  WriteLedger ledger;
  if (!ledger.Open(options) || !ledger.Check(job))
    return kExitRejected;
  const std::string plan = ManifestText(PlannedDevices(job), job.macsPerDevice);
  // A failed write is reported where every command's output is checked.
  return WriteText(stdout, plan) ? kExitSuccess : kExitRunFailed;
}

}  // namespace quillmark::cli
