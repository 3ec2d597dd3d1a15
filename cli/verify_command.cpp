#include "verify_command.h"

#include <cstdio>

#include "batch_manifest.h"
#include "command_line.h"
#include "console_text.h"
#include "exit_codes.h"
#include "exit_statuses.h"
#include "interface_text.h"
#include "manifest.h"
#include "option_table.h"
#include "output_path_guard.h"
#include "printable_text.h"
#include "request_options.h"
#include "signals.h"
#include "status_texts.h"
#include "verify_console.h"

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
  bool help = false;
  bool hasManifest = false;
  bool hasReport = false;
};

OptionTable VerifyOptionTable(VerifyOptions& o) {
  OptionTable table = RequestOptionRows(o.texts);
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
      {.name = "--help", .help = Pick({"打印本帮助", "print this help"}), .flag = &o.help},
  };
  table.insert(table.end(), own.begin(), own.end());
  return table;
}

// Refusals quote manifest lines and paths: shown, never obeyed.
void PrintError(const std::string& line) {
  WriteText(stderr, EscapeControlCharacters(line) + "\n");
}

int Refuse(const std::string& message) {
  PrintError(message);
  return kExitRejected;
}

// The detail line first: the refusal stays the last line.
int Refuse(const JobVerdict& verdict) {
  if (!verdict.detail.empty())
    PrintError(verdict.detail);
  return Refuse(verdict.message);
}

// The batch to expect, judged as a write judges its request (the image
// the same way), except that the output directory must already exist:
// a check creates nothing. Empty with the exit status when refused.
std::optional<ExpectedBatch> AcceptBatch(const VerifyOptions& options, GenerationJob& job,
                                         PlatformFiles& files, int& refused) {
  if (!options.hasManifest) {
    const JobVerdict verdict =
        AcceptJobRequest(job, options.texts, files, OutputDirectoryRule::MustExist);
    refused = verdict.accepted ? kExitSuccess : Refuse(verdict);
    return verdict.accepted ? std::optional(BatchOfJob(job)) : std::nullopt;
  }
  const ManifestReading reading = ReadManifest(options.manifestPath, files);
  if (!reading.manifest) {
    refused = Refuse(reading.error);
    return std::nullopt;
  }
  if (reading.manifest->devices.empty()) {
    refused = Refuse(Fill({"清单文件中没有设备！%1", "The manifest lists no devices: %1"},
                          {options.manifestPath}));
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
  refused = verdict.accepted ? kExitSuccess : Refuse(verdict);
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

int RunVerify(const VerifyOptions& options) {
  if (!InstallStopHandlers())
    PrintError(std::string(kNoStopHandlersText));
  if (!options.hasManifest) {
    for (const std::string& line : BentInputLines(options.texts))
      PrintError(line);
  }
  SystemFiles files;
  GenerationJob job;
  int refused = kExitSuccess;
  const std::optional<ExpectedBatch> batch = AcceptBatch(options, job, files, refused);
  if (!batch)
    return refused;
  if (options.hasReport) {
    if (const std::string refusal =
            CheckOutputPath(options.reportPath, ReportGuard(options, *batch), files);
        !refusal.empty()) {
      return Refuse(refusal);
    }
    if (!CanWriteManifest(options.reportPath, files))
      return Refuse(
          Fill({"报告文件无法写入！%1", "Cannot write the report: %1"}, {options.reportPath}));
  }

  const VerifyConsoleMode mode{options.quiet, !options.quiet && StandardOutputIsConsole()};
  VerifyConsoleHost host(*batch, mode);
  VerifierOptions verifierOptions;
  verifierOptions.read.fromDisk = options.fromDisk;
  const VerifyOutcome outcome = VerifyBatch(*batch, host, files, verifierOptions);
  host.Finish(outcome);

  bool reported = true;
  if (options.hasReport && WriteManifest(options.reportPath, host.Report().Text(), false, files) !=
                               ManifestWrite::Written) {
    PrintError(
        Fill({"报告文件写入出错！%1", "Writing the report failed: %1"}, {options.reportPath}));
    reported = false;
  }
  if (outcome.stopped)
    return kExitSignalBase + StopSignal();
  // A folder is proven only when it holds the batch and nothing a station
  // would flash with it.
  const bool otherFilesFail = outcome.otherFiles > 0 && !options.allowOtherFiles;
  return outcome.Passed() && !otherFilesFail && reported ? kExitSuccess : kExitRunFailed;
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
                   "最后一行是总结。\n"
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
                   "unless --allow-other-files is given. The last line is the summary.\n"
                   "\n"
                   "Options:\n"})) +
         HelpRows(table) + "\n" + ExitStatusSection(ExitTable::Verify);
}

int RunVerifyCommand(const std::vector<std::string>& args) {
  VerifyOptions options;
  const OptionTable table = VerifyOptionTable(options);
  const ParsedOptions parsed = ParseOptions(table, args, kVerifyHelp);
  if (!parsed.ok)
    return ReportUsageError(parsed.error);
  if (options.help) {
    WriteText(stdout, VerifyHelpText());
    return kExitSuccess;
  }
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
  return RunVerify(options);
}

}  // namespace quillmark::cli
