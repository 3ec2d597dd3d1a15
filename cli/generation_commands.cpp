#include "generation_commands.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "batch_run.h"
#include "console_host.h"
#include "console_text.h"
#include "exit_codes.h"
#include "interface_text.h"
#include "json_run.h"
#include "manifest.h"
#include "printable_text.h"
#include "request_options.h"
#include "signals.h"

namespace quillmark::cli {
namespace {

void PrintError(const std::string& line) {
  WriteText(stderr, line + "\n");
}

// A run's texts on the standard streams; its own output, the manifest,
// judged with the rest before device 1.
class ConsoleRun final : public RunFrontEnd {
 public:
  explicit ConsoleRun(const WriteOptions& options) : m_options(options) {}

  void ShowRefusal(const std::string& message, MessageStyle) override {
    // The detail of a refusal of the run's own outputs, said just before it.
    if (!m_ownOutputsDetail.empty())
      PrintError(std::exchange(m_ownOutputsDetail, {}));
    PrintError(message);
    m_refusal = message;
  }
  // Printed before the refusal, which stays the last line.
  void ShowRefusalDetail(const std::string& detail) override { PrintError(detail); }

  void ShowNote(RunNote note, const std::string& line) override {
    switch (note) {
      case RunNote::Reservation:
        if (!m_options.quiet && !m_options.json)
          WriteText(stdout, line + "\n");
        break;
      case RunNote::ChosenReservation:  // the range to label: always said
        if (!m_options.json)            // the summary says it
          WriteText(stdout, line + "\n");
        break;
      case RunNote::LedgerCheck:  // standard output holds the plan
      case RunNote::SpaceNotChecked:
      case RunNote::OtherLotFiles:
      case RunNote::PrefixCarry:
      case RunNote::OutcomeNotRecorded:
      case RunNote::BatchVoided:
        PrintError(line);
        break;
    }
  }

  // The manifest's path and folder, so a manifest that cannot be written
  // stops the request before anything is written.
  std::string CheckOwnOutputs(const GenerationJob& job, PlatformFiles& files) override {
    if (!m_options.hasManifest)
      return "";
    if (std::string refusal =
            ManifestPathRefusal(m_options.manifestPath, m_options.texts.imagePath, job, files);
        !refusal.empty()) {
      return refusal;
    }
    m_ownOutputsDetail = ManifestWriteProblem(m_options.manifestPath, files);
    if (!m_ownOutputsDetail.empty())
      return Fill({"清单文件无法写入！%1", "Cannot write the manifest: %1"},
                  {m_options.manifestPath});
    return "";
  }

  const std::string& Refusal() const { return m_refusal; }

 private:
  const WriteOptions& m_options;
  std::string m_ownOutputsDetail;
  std::string m_refusal;
};

LedgerRequest LedgerOf(const WriteOptions& options) {
  return {options.useLedger, options.ledgerLocation,  options.station,
          options.pool,      options.NextFreeStart(), options.rerunBatch,
          options.lot,       options.rerunReason,     options.series};
}

// The text is made only when a manifest is asked for: at the whole
// address range it is larger than the image.
bool SaveManifest(const WriteOptions& options, const std::vector<MacAddress>& devices,
                  std::int32_t macsPerDevice, PlatformFiles& files) {
  if (!options.hasManifest)
    return true;
  const ManifestWrite written = WriteManifest(
      options.manifestPath, ManifestText(devices, macsPerDevice), options.durable, files);
  if (written == ManifestWrite::Written)
    return true;
  PrintError(
      Fill({"清单文件写入出错！%1", "Writing the manifest failed: %1"}, {options.manifestPath}));
  if (written == ManifestWrite::FailedOlderRemains)
    PrintError(Fill({"旧清单文件无法删除！%1", "The old manifest cannot be removed: %1"},
                    {options.manifestPath}));
  return false;
}

// The same batch again into the same folder: a rerun in place, which
// rewrites every device and which the ledger accepts as another write of
// the batch. A PostgreSQL location is left out: it may hold a password.
std::string FinishingCommand(const WriteOptions& options, const GenerationJob& job) {
  std::string command = "quillmark-cli";
  const auto add = [&](const std::string& name, const std::string& value) {
    command += " " + ShellWord(name + "=" + value);
  };
  add("--image", options.texts.imagePath);
  add("--out", options.texts.outputDirectory);
  add("--start-mac", job.startMac.ToColonText());
  add("--count", std::to_string(job.deviceCount));
  add("--macs-per-device", std::to_string(job.macsPerDevice));
  if (options.hasManifest)
    add("--manifest", options.manifestPath);
  if (options.durable)
    command += " --durable";
  bool ledgerLeftOut = false;
  if (options.useLedger) {
    ledgerLeftOut = options.ledgerLocation.find('=') != std::string::npos ||
                    options.ledgerLocation.find("://") != std::string::npos;
    if (!ledgerLeftOut)
      add("--ledger", options.ledgerLocation);
    if (!options.station.empty())
      add("--station", options.station);
    if (!options.pool.empty())
      add("--pool", options.pool);
    if (!options.lot.empty())
      add("--lot", options.lot);
    if (!options.series.empty())
      add("--series", options.series);
    // A batch written again on purpose is finished the same way: with
    // another image or folder, a plain rerun would be refused.
    if (options.rerunBatch) {
      add("--rerun", std::to_string(*options.rerunBatch));
      add("--reason", options.rerunReason);
    }
  }
  if (ledgerLeftOut)
    return Fill({"完成本批（同一批次再次写入同一目录）：%1（账本位置同前）",
                 "To finish the batch (the same batch again into the same folder): %1 (with "
                 "the same ledger location as before)"},
                {command});
  return Fill({"完成本批（同一批次再次写入同一目录）：%1",
               "To finish the batch (the same batch again into the same folder): %1"},
              {command});
}

}  // namespace

static void PrintBentInput(const WriteOptions& options) {
  JobRequestTexts texts = options.texts;
  if (options.NextFreeStart())
    texts.startMac.clear();  // the ledger chooses it
  for (const std::string& line : BentInputLines(texts))
    PrintError(line);
}

// The summary --json ends with; the run's exit status is its last field.
static int EndJson(const WriteOptions& options, WriteSummary summary, const BatchRun& run) {
  summary.folder = options.texts.outputDirectory;
  if (options.hasManifest)
    summary.manifest = options.manifestPath;
  summary.ledger = options.useLedger;
  if (run.LedgerBatchId() > 0)
    summary.batchId = run.LedgerBatchId();
  if (!PrintJson(WriteSummaryEvent(summary)) && summary.exitStatus == kExitSuccess)
    return kExitRunFailed;
  return summary.exitStatus;
}

int RunGeneration(const WriteOptions& options) {
  if (!InstallStopHandlers())
    PrintError(std::string(kNoStopHandlersText));
  PrintBentInput(options);
  SystemFiles files;
  GenerationJob job;
  ConsoleRun console(options);
  BatchRun run(job, console, files);
  if (!run.Prepare(options.texts, LedgerOf(options))) {
    if (options.json)
      return EndJson(
          options, {.result = "refused", .message = console.Refusal(), .exitStatus = kExitRejected},
          run);
    return kExitRejected;
  }

  const ConsoleMode mode{options.quiet, !options.quiet && StandardOutputIsConsole()};
  ConsoleHost consoleHost(job.deviceCount, mode);
  JsonRunHost jsonHost(job.macsPerDevice);
  BatchHost& host = options.json ? static_cast<BatchHost&>(jsonHost) : consoleHost;
  const BatchOutcome outcome = run.Write(host, WriterOptions{options.durable});
  const std::vector<MacAddress>& written =
      options.json ? jsonHost.WrittenDevices() : consoleHost.WrittenDevices();
  const bool manifestSaved = SaveManifest(options, written, job.macsPerDevice, files);

  int status = outcome.finished && manifestSaved ? kExitSuccess : kExitRunFailed;
  if (outcome.stopped) {
    PrintError(Fill({"运行已停止：已写入%1个设备文件（共%2个）；%3",
                     "Run stopped: %1 of %2 {2:device file|device files} written; %3"},
                    {std::to_string(outcome.devicesWritten), std::to_string(job.deviceCount),
                     RunEndCountText(outcome.devicesWritten, outcome.devicesFailed,
                                     outcome.devicesNotReached)}));
    PrintError(FinishingCommand(options, job));
    status = kExitSignalBase + StopSignal();
  }
  // The images stay, but a batch voided while it was written is no good.
  if (!outcome.stopped && run.batchVoided())
    status = kExitRunFailed;
  if (!options.json)
    return status;
  const char* result = outcome.stopped          ? "stopped"
                       : status == kExitSuccess ? "finished"
                                                : "failed";  // a device, or the manifest
  return EndJson(options,
                 {.result = result,
                  .job = &job,
                  .outcome = outcome,
                  .manifestSaved = manifestSaved,
                  .exitStatus = status},
                 run);
}

int RunDryRun(const WriteOptions& options) {
  PrintBentInput(options);
  SystemFiles files;
  GenerationJob job;
  ConsoleRun console(options);
  BatchRun run(job, console, files);
  if (!run.Check(options.texts, LedgerOf(options))) {
    if (options.json)
      return EndJson(
          options, {.result = "refused", .message = console.Refusal(), .exitStatus = kExitRejected},
          run);
    return kExitRejected;
  }
  const std::vector<MacAddress> planned = PlannedDevices(job);
  if (options.json) {
    bool printed = true;
    for (std::size_t i = 0; i < planned.size(); ++i) {
      printed = PrintJson(DeviceEvent(static_cast<std::int32_t>(i + 1), planned[i],
                                      job.macsPerDevice, "planned")) &&
                printed;
    }
    return EndJson(
        options,
        {.result = "planned", .job = &job, .exitStatus = printed ? kExitSuccess : kExitRunFailed},
        run);
  }
  const std::string plan = ManifestText(planned, job.macsPerDevice);
  // A failed write is reported where every command's output is checked.
  return WriteText(stdout, plan) ? kExitSuccess : kExitRunFailed;
}

}  // namespace quillmark::cli
