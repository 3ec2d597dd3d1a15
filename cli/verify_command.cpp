#include "verify_command.h"

#include <array>
#include <cstdio>

#include "batch_manifest.h"
#include "command_line.h"
#include "console_text.h"
#include "exit_codes.h"
#include "exit_statuses.h"
#include "file_replacement.h"
#include "interface_text.h"
#include "json_run.h"
#include "manifest.h"
#include "option_table.h"
#include "output_path_guard.h"
#include "printable_text.h"
#include "request_options.h"
#include "signals.h"
#include "station_config.h"
#include "status_texts.h"
#include "verify_console.h"
#include "verify_json.h"
#include "verify_texts.h"

namespace quillmark::cli {
namespace {

constexpr std::string_view kVerifyHelp = "quillmark-cli verify --help";

struct VerifyOptions {
  JobRequestTexts texts = DialogDefaults();
  std::string manifestPath;
  std::string reportPath;
  bool fromDisk = false;
  bool quiet = false;
  bool allowOtherFiles = false;
  bool json = false;
  bool help = false;
  bool hasManifest = false;
  bool hasReport = false;
  bool lenient = false;
  // A write's own options, taken and passed over (WriteOnlyRows).
  std::array<std::string, 6> writeValues;
  bool writeFlags = false;
};

// The write's options that say nothing of a check: a write's command line
// is checked as it stands, these left aside. --manifest, --quiet and
// --json mean the same to both.
OptionTable WriteOnlyRows(VerifyOptions& o) {
  return {
      {.name = "--dry-run", .flag = &o.writeFlags},
      {.name = "--durable", .flag = &o.writeFlags},
      {.name = "--no-ledger", .flag = &o.writeFlags},
      {.name = "--ledger", .valueName = "LOCATION", .value = &o.writeValues[0]},
      {.name = "--station", .valueName = "NAME", .value = &o.writeValues[1]},
      {.name = "--pool", .valueName = "NAME", .value = &o.writeValues[2]},
      {.name = "--lot", .valueName = "TEXT", .value = &o.writeValues[3]},
      {.name = "--rerun", .valueName = "BATCH", .value = &o.writeValues[4]},
      {.name = "--reason", .valueName = "TEXT", .value = &o.writeValues[5]},
  };
}

OptionTable VerifyOptionTable(VerifyOptions& o) {
  OptionTable table = RequestOptionRows(o.texts, o.lenient);
  OptionTable own = {
      {.name = "--manifest",
       .valueName = "FILE",
       .help = Pick({"按写入时生成的清单校验（代替 --start-mac、--count、\n"
                     "--macs-per-device）",
                     "check by the manifest the run wrote (instead of\n"
                     "--start-mac, --count, --macs-per-device)"}),
       .value = &o.manifestPath},
      {.name = "--report",
       .valueName = "FILE",
       .help = Pick({"写入CSV校验报告：表头 file,result,detail",
                     "write a CSV report: the header file,result,detail"}),
       .value = &o.reportPath},
      {.name = "--from-disk",
       .help = Pick({"从磁盘读取，不用缓存中的数据\n（每个文件先写回磁盘并清除其缓存）",
                     "read from the disk, not the cached data (each\nfile is first written "
                     "back and its cache dropped)"}),
       .flag = &o.fromDisk},
      {.name = "--quiet",
       .help = Pick({"只打印失败信息、批次外文件和总结",
                     "print only failures, files not of the batch and\nthe summary"}),
       .flag = &o.quiet},
      {.name = "--allow-other-files",
       .help = Pick({"目录中有不属于本批的 fw_*.img 文件时仍可通过\n（照常列出并计数）",
                     "pass even when the folder holds fw_*.img files\nnot of this batch "
                     "(listed and counted as usual)"}),
       .flag = &o.allowOtherFiles},
      {.name = "--json",
       .help = Pick({"在标准输出上打印 JSON Lines 代替文字：每台设备一行，\n"
                     "每个批次外文件一行，最后一行是总结（含退出状态）",
                     "print JSON Lines on standard output instead of text:\n"
                     "a line for each device and each file not of the\n"
                     "batch, the last line the summary (with the exit\n"
                     "status)"}),
       .flag = &o.json},
      {.name = "--help", .help = Pick({"打印本帮助", "print this help"}), .flag = &o.help},
  };
  table.insert(table.end(), own.begin(), own.end());
  return table;
}

// Refusals quote manifest lines and paths: shown, never obeyed.
void PrintError(const std::string& line) {
  WriteText(stderr, EscapeControlCharacters(line) + "\n");
}

// A refusal before the first device: the detail line first, so the
// refusal stays the last line.
struct Refusal {
  std::string message;
  std::string detail = {};
};

int Refuse(const VerifyOptions& options, const Refusal& refusal) {
  if (!refusal.detail.empty())
    PrintError(refusal.detail);
  PrintError(refusal.message);
  if (options.json) {
    PrintJson(VerifySummaryEvent({.result = "refused",
                                  .folder = options.texts.outputDirectory,
                                  .otherFilesAllowed = options.allowOtherFiles,
                                  .message = refusal.message,
                                  .exitStatus = kExitRejected}));
  }
  return kExitRejected;
}

// The batch to expect, judged as a write judges its request (the image
// the same way), except that the output directory must already exist:
// a check creates nothing. Empty with the refusal when refused.
std::optional<ExpectedBatch> AcceptBatch(const VerifyOptions& options, GenerationJob& job,
                                         PlatformFiles& files, Refusal& refused) {
  if (!options.hasManifest) {
    const JobVerdict verdict =
        AcceptJobRequest(job, options.texts, files, OutputDirectoryRule::MustExist);
    refused = {verdict.message, verdict.detail};
    return verdict.accepted ? std::optional(BatchOfJob(job)) : std::nullopt;
  }
  const ManifestReading reading = ReadManifest(options.manifestPath, files);
  if (!reading.manifest) {
    refused = {reading.error};
    return std::nullopt;
  }
  if (reading.manifest->devices.empty()) {
    refused = {Fill({"清单文件中没有设备！%1", "The manifest lists no devices: %1"},
                    {options.manifestPath})};
    return std::nullopt;
  }
  job.outputDirectory = options.texts.outputDirectory;
  JobVerdict verdict = LoadJobImage(job, options.texts.imagePath, files);
  job.macsPerDevice = reading.manifest->macsPerDevice;
  if (verdict.accepted)
    verdict = LoadJobProfile(job, options.texts.profilePath, files);
  if (verdict.accepted && !DirectoryExists(job.outputDirectory, files))
    verdict = JobVerdict{false, std::string(kOutputDirectoryErrorText), MessageStyle::Plain,
                         Fill({"%1：不存在或不是目录（校验不创建目录）",
                               "%1: does not exist or is not a folder (a check creates no "
                               "folder)"},
                              {job.outputDirectory})};
  refused = {verdict.message, verdict.detail};
  return verdict.accepted ? std::optional(BatchOfManifest(job, *reading.manifest)) : std::nullopt;
}

// The report replaces none of what the check reads: the image, the
// manifest, a file or temporary name of the batch.
OutputPathGuard ReportGuard(const VerifyOptions& options, const ExpectedBatch& batch) {
  OutputPathGuard guard{std::string(Pick({"报告文件", "report file"})),
                        {{options.texts.imagePath, std::string(Pick({"输入映像", "input image"}))}},
                        std::nullopt};
  if (options.hasManifest)
    guard.inputs.push_back({options.manifestPath, std::string(Pick({"清单文件", "manifest"}))});
  guard.batch = GuardedBatch{batch.outputDirectory, batch.devices};
  return guard;
}

// The exit status: a folder is proven only when it holds the batch and
// nothing a station would flash with it.
int VerifyStatus(const VerifyOptions& options, const VerifyOutcome& outcome, bool reported) {
  if (outcome.stopped)
    return kExitSignalBase + StopSignal();
  const bool otherFilesFail = outcome.otherFiles > 0 && !options.allowOtherFiles;
  return outcome.Passed() && !otherFilesFail && reported ? kExitSuccess : kExitRunFailed;
}

// The summary's last word, so that a script's log says what the exit
// status does, and what lets files of another batch stand.
std::string VerdictText(const VerifyOptions& options, const VerifyOutcome& outcome, int status) {
  if (outcome.stopped)
    return {};
  if (status == kExitSuccess)
    return std::string(Pick({"：通过", ": passed"}));
  if (outcome.Passed() && outcome.otherFiles > 0 && !options.allowOtherFiles)
    return std::string(Pick({"：未通过（目录中有批次外文件；给出 --allow-other-files 可让其通过）",
                             ": failed (the folder holds files not in the batch; "
                             "--allow-other-files lets them pass)"}));
  return std::string(Pick({"：未通过", ": failed"}));
}

int RunVerify(const VerifyOptions& options, PlatformFiles& files) {
  if (!InstallStopHandlers())
    PrintError(std::string(kNoStopHandlersText));
  // Read leniently only when asked: bent values are refused before this.
  if (!options.hasManifest) {
    for (const std::string& line : BentInputLines(options.texts))
      PrintError(line);
  }
  GenerationJob job;
  Refusal refusal;
  const std::optional<ExpectedBatch> batch = AcceptBatch(options, job, files, refusal);
  if (!batch)
    return Refuse(options, refusal);
  if (options.hasReport) {
    if (std::string guarded =
            CheckOutputPath(options.reportPath, ReportGuard(options, *batch), files);
        !guarded.empty()) {
      return Refuse(options, {guarded});
    }
    if (const std::string problem = ManifestWriteProblem(options.reportPath, files);
        !problem.empty()) {
      PrintError(problem);
      return Refuse(options, {Fill({"报告文件无法写入！%1", "Cannot write the report: %1"},
                                   {options.reportPath})});
    }
  }

  const VerifyConsoleMode mode{options.quiet, !options.quiet && StandardOutputIsConsole()};
  VerifyConsoleHost consoleHost(*batch, mode);
  VerifyJsonHost jsonHost(*batch);
  VerifyHost& host = options.json ? static_cast<VerifyHost&>(jsonHost) : consoleHost;
  VerifierOptions verifierOptions;
  verifierOptions.read.fromDisk = options.fromDisk;
  const VerifyOutcome outcome = VerifyBatch(*batch, host, files, verifierOptions);
  if (options.json)
    jsonHost.Finish(outcome);
  else
    consoleHost.Finish(outcome);

  const VerifyReport& report = options.json ? jsonHost.Report() : consoleHost.Report();
  bool reported = true;
  // An older report stays as it was when this one cannot take its place.
  if (options.hasReport &&
      WriteOutputFile(files, options.reportPath, report.Text(), false) != OutputWrite::Written) {
    PrintError(
        Fill({"报告文件写入出错！%1", "Writing the report failed: %1"}, {options.reportPath}));
    reported = false;
  }
  const int status = VerifyStatus(options, outcome, reported);
  if (!options.json) {
    consoleHost.PrintSummary(SummaryText(outcome, batch->devices.size()) +
                             VerdictText(options, outcome, status));
    return status;
  }
  const char* result = outcome.stopped ? "stopped" : status == kExitSuccess ? "passed" : "failed";
  VerifySummary summary{.result = result,
                        .batch = &*batch,
                        .outcome = outcome,
                        .folder = options.texts.outputDirectory,
                        .otherFilesAllowed = options.allowOtherFiles,
                        .reportSaved = reported,
                        .exitStatus = status};
  if (options.hasReport)
    summary.report = options.reportPath;
  return PrintJson(VerifySummaryEvent(summary)) || status != kExitSuccess ? status : kExitRunFailed;
}

}  // namespace

std::string VerifyHelpText() {
  VerifyOptions options;
  const OptionTable table = VerifyOptionTable(options);
  return Synopsis("quillmark-cli verify", table) +
         std::string(
             Pick({"\n"
                   "读回输出目录中的一批镜像文件，逐台校验：文件存在且是普通文件，大小与\n"
                   "输入镜像相同，除MAC记录外与镜像逐字节一致，MAC记录正好是该设备的地址。\n"
                   "目录中残留的临时文件和不属于本批的 fw_*.img 文件各报告一行；其中含有\n"
                   "本批MAC地址的文件算作校验失败。不属于本批的 fw_*.img 文件（即使用\n"
                   "--quiet 也列出）计入总结，并使校验失败，除非给出 --allow-other-files。\n"
                   "最后一行是总结，以结论结尾：通过或未通过。\n"
                   "\n"
                   "选项:\n",
                   "\n"
                   "Reads a batch's image files in the output folder back and checks\n"
                   "each device: its file exists and is a regular file, has the input\n"
                   "image's size, matches the image byte for byte except the MAC\n"
                   "records, and its MAC records are exactly the device's addresses.\n"
                   "Leftover temporary files and fw_*.img files not of this batch in\n"
                   "the folder are reported one line each; one holding a MAC address\n"
                   "of the batch fails the check. The fw_*.img files not of this batch\n"
                   "(listed even with --quiet) count in the summary and fail the check\n"
                   "unless --allow-other-files is given. The last line is the summary,\n"
                   "ending in the verdict: passed or failed.\n"
                   "\n"
                   "Options:\n"})) +
         HelpRows(table) +
         std::string(Pick({"\n"
                           "写入命令的 --dry-run、--durable、--ledger、--no-ledger、--station、\n"
                           "--pool、--lot、--rerun、--reason 与校验无关，照收并略去，写入的\n"
                           "命令行可原样用于校验。\n",
                           "\n"
                           "The write's --dry-run, --durable, --ledger, --no-ledger, --station,\n"
                           "--pool, --lot, --rerun and --reason say nothing of a check: they\n"
                           "are accepted and left aside, so a write's command line can be\n"
                           "checked as it stands.\n"})) +
         "\n" + ExitStatusSection(ExitTable::Verify);
}

int RunVerifyCommand(const std::vector<std::string>& args) {
  SystemFiles files;
  return RunVerifyCommand(args, files);
}

int RunVerifyCommand(const std::vector<std::string>& args, PlatformFiles& files) {
  VerifyOptions options;
  // The batch a station writes by default is the one it checks by default.
  const StationConfigResult config = LoadStationConfig();
  ApplyRequestDefaults(config.config, options.texts);
  OptionTable table = VerifyOptionTable(options);
  const OptionTable writeOnly = WriteOnlyRows(options);
  table.insert(table.end(), writeOnly.begin(), writeOnly.end());
  const ParsedOptions parsed = ParseOptions(table, args, kVerifyHelp);
  if (!parsed.ok)
    return ReportUsageError(parsed.error);
  if (options.help) {
    WriteText(stdout, VerifyHelpText());
    return kExitSuccess;
  }
  if (!config.error.empty())
    return ReportUsageError(config.error);
  if (!parsed.Given("--image"))
    return ReportUsageError(
        WithHelpPointer(MissingOptionText("--image"), "quillmark-cli verify --help"));
  options.hasManifest = parsed.Given("--manifest");
  options.hasReport = parsed.Given("--report");
  if (options.hasManifest && (parsed.Given("--start-mac") || parsed.Given("--count") ||
                              parsed.Given("--macs-per-device"))) {
    return ReportUsageError(WithHelpPointer(
        std::string(Pick({"--manifest 不能与 --start-mac、--count、--macs-per-device 同时使用",
                          "--manifest cannot be given with --start-mac, --count or "
                          "--macs-per-device"})),
        "quillmark-cli verify --help"));
  }
  options.lenient = options.lenient || config.config.lenient.value_or(false);
  if (!options.hasManifest && !options.lenient) {
    if (const std::string bent = BentInputRefusal(options.texts); !bent.empty())
      return ReportUsageError(bent);
  }
  return RunVerify(options, files);
}

}  // namespace quillmark::cli
