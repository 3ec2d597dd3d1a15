#include "write_command.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "batch_ledger.h"
#include "command_line.h"
#include "console_text.h"
#include "exit_codes.h"
#include "exit_statuses.h"
#include "generation_commands.h"
#include "interface_text.h"
#include "option_table.h"
#include "request_options.h"
#include "signals.h"

namespace quillmark::cli {
namespace {

struct WriteCommandLine {
  WriteOptions options;
  bool noLedger = false;
  bool help = false;
  bool version = false;
};

OptionTable WriteOptionTable(WriteCommandLine& line) {
  WriteOptions& o = line.options;
  OptionTable table = RequestOptionRows(o.texts, o.lenient);
  OptionTable own = {
      {.name = "--manifest",
       .valueName = "FILE",
       .help = Pick({"运行结束时写入CSV清单：表头 file,mac1,…,macN，\n"
                     "每个完整写入的文件一行（中途停止时也写入）",
                     "at the end, write a CSV manifest: the header\n"
                     "file,mac1,...,macN, then a line for each file\n"
                     "written whole (a stopped run writes it too)"}),
       .value = &o.manifestPath},
      {.name = "--dry-run",
       .help = Pick({"只检查请求，在标准输出打印整批的清单，不写镜像文件，\n"
                     "不创建任何东西（包括输出目录）；\n"
                     "不能与 --manifest 同用（清单只列出真正写入的文件）",
                     "only check the request and print the whole batch's\n"
                     "manifest on standard output; write no image and\n"
                     "create nothing (not even the output folder); not\n"
                     "with --manifest (a manifest lists only files\n"
                     "really written)"}),
       .flag = &o.dryRun},
      {.name = "--quiet",
       .help = Pick({"只打印错误信息和结束信息", "print only errors and the closing lines"}),
       .flag = &o.quiet},
      {.name = "--json",
       .help = Pick({"在标准输出上打印 JSON Lines 代替文字：每台设备一行，\n"
                     "最后一行是总结（含退出状态）；标准错误输出不变",
                     "print JSON Lines on standard output instead of text:\n"
                     "a line for each device, the last line the summary\n"
                     "(with the exit status); standard error is unchanged"}),
       .flag = &o.json},
      {.name = "--durable",
       .help = Pick({"每个文件先写入磁盘再改名，结束时同步输出目录",
                     "put each file on the disk before renaming it, and\n"
                     "sync the output folder at the end"}),
       .flag = &o.durable},
      {.name = "--ledger",
       .valueName = "LOCATION",
       .help = Pick({"先在MAC账本中记录本批次，与已发出的地址重叠则拒绝；\n"
                     "SQLite 文件路径、default 或 PostgreSQL 连接字符串\n"
                     "（默认取环境变量 QUILLMARK_LEDGER，再取工位配置）",
                     "record the batch in the MAC ledger first, refused\n"
                     "if it overlaps addresses already handed out; a\n"
                     "SQLite file path, default or a PostgreSQL\n"
                     "connection string (by default the environment\n"
                     "variable QUILLMARK_LEDGER, then the station\n"
                     "configuration)"}),
       .value = &o.ledgerLocation},
      {.name = "--no-ledger",
       .help = Pick({"不使用账本，即使设置了 QUILLMARK_LEDGER 或工位配置",
                     "use no ledger, even when QUILLMARK_LEDGER or the\n"
                     "station configuration names one"}),
       .flag = &line.noLedger},
      {.name = "--station",
       .valueName = "NAME",
       .help = Pick({"账本中记录的工位名称（默认取工位配置，再默认主机名）",
                     "the station name the ledger records (by default\n"
                     "the station configuration's, then the host name)"}),
       .value = &o.station},
      {.name = "--pool",
       .valueName = "NAME",
       .help = Pick({"批次须在此地址池内；与 --start-mac=next 同用时\n"
                     "取地址池中最低的一段空闲地址，并在第1台设备前打印",
                     "the batch must lie in this address pool; with\n"
                     "--start-mac=next, take the pool's lowest free\n"
                     "range and print it before the first device"}),
       .value = &o.pool},
      {.name = "--lot",
       .valueName = "TEXT",
       .help = Pick({"账本中随新批次记录的生产批号（默认取工位配置），\n"
                     "由 ledger list、show、export 列出；不能含控制字符",
                     "the production lot the ledger records with a new\n"
                     "batch (by default the station configuration's),\n"
                     "listed by ledger list, show and export; no control\n"
                     "characters"}),
       .value = &o.lot,
       .emptyMeansNone = true},
      {.name = "--series",
       .valueName = "NAME",
       .help = Pick({"新批次从账本的这个序列号系列取序列号，每台设备一个\n"
                     "（默认取工位配置）",
                     "the ledger's serial series a new batch takes its\n"
                     "serials from, one per device (by default the\n"
                     "station configuration's)"}),
       .value = &o.series},
      {.name = "--rerun",
       .valueName = "BATCH",
       .help = Pick({"有意重写账本中的该批次（换映像、换目录、换工位，\n"
                     "或其上次写入已中断）；不加时同一批次只能以原映像\n"
                     "写入原目录，且其它写入均已结束",
                     "write this ledger batch again on purpose (another\n"
                     "image, folder or station, or its last write was\n"
                     "cut off); without it a batch is written again\n"
                     "only with its image, into its folder, and once\n"
                     "its other writes have ended"}),
       .value = &o.rerunText},
      {.name = "--reason",
       .valueName = "TEXT",
       .help = Pick({"为何重写该批次（--rerun 必须同时给出），随本次写入\n"
                     "记录在账本中，由 ledger show 和 export 列出；\n"
                     "不超过200个字符，不能含控制字符",
                     "why the batch is written again (--rerun needs\n"
                     "it), recorded in the ledger with this write and\n"
                     "listed by ledger show and export; at most 200\n"
                     "characters, no control characters"}),
       .value = &o.rerunReason},
      {.name = "--version", .help = Pick({"打印版本", "print the version"}), .flag = &line.version},
      {.name = "--help", .help = Pick({"打印本帮助", "print this help"}), .flag = &line.help},
  };
  table.insert(table.end(), own.begin(), own.end());
  return table;
}

std::string SubcommandRows() {
  const std::vector<Subcommand> subcommands = Subcommands();
  if (subcommands.empty())
    return "";
  OptionTable rows;
  for (const Subcommand& subcommand : subcommands)
    rows.push_back({.name = subcommand.name, .help = subcommand.summary});
  return std::string(Pick({"\n子命令（quillmark-cli 子命令 --help 查看其用法）:\n",
                           "\nSubcommands (quillmark-cli SUBCOMMAND --help shows each one's "
                           "usage):\n"})) +
         HelpRows(rows);
}

// A batch id as listings show it: decimal digits only, at least 1.
std::optional<std::int64_t> BatchIdOf(const std::string& text) {
  if (text.empty() || text.size() > 18 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  const std::int64_t id = std::stoll(text);
  return id > 0 ? std::optional(id) : std::nullopt;
}

// Whether the run uses a ledger, and where: --ledger, else a non-empty
// QUILLMARK_LEDGER, else the configuration's, unless --no-ledger. Returns a
// usage error or "".
std::string ResolveLedger(WriteCommandLine& line, const ParsedOptions& parsed,
                          const StationConfig& config) {
  WriteOptions& o = line.options;
  if (line.noLedger && parsed.Given("--ledger"))
    return std::string(
        Pick({"--no-ledger 不能与 --ledger 同用", "--no-ledger cannot be given with --ledger"}));
  if (parsed.Given("--ledger")) {
    o.useLedger = true;
  } else if (const std::optional<std::string> configured = ConfiguredLedgerLocation(config);
             !line.noLedger && configured) {
    o.useLedger = true;
    o.ledgerLocation = *configured;
  }
  // The configuration's station and pool go with whichever ledger is used;
  // a run without one (--no-ledger) does without them.
  if (o.useLedger && !parsed.Given("--station"))
    o.station = config.station.value_or(o.station);
  if (o.useLedger && !parsed.Given("--pool"))
    o.pool = config.pool.value_or(o.pool);
  const bool next = o.texts.startMac == kNextFreeStart;
  if (!o.useLedger && (parsed.Given("--pool") || parsed.Given("--station") || next))
    return std::string(
        Pick({"--pool、--station 和 --start-mac=next 须与账本同用（--ledger 或环境变量 "
              "QUILLMARK_LEDGER）",
              "--pool, --station and --start-mac=next need a ledger (--ledger or "
              "the environment variable QUILLMARK_LEDGER)"}));
  if (!o.useLedger && parsed.Given("--lot"))
    return std::string(Pick({"--lot 须与账本同用（--ledger 或环境变量 QUILLMARK_LEDGER）",
                             "--lot needs a ledger (--ledger or the environment variable "
                             "QUILLMARK_LEDGER)"}));
  if (!o.useLedger && parsed.Given("--series"))
    return std::string(Pick({"--series 须与账本同用（--ledger 或环境变量 QUILLMARK_LEDGER）",
                             "--series needs a ledger (--ledger or the environment variable "
                             "QUILLMARK_LEDGER)"}));
  if (next && o.pool.empty())
    return std::string(
        Pick({"--start-mac=next 须与 --pool 同用", "--start-mac=next needs --pool"}));
  if (parsed.Given("--rerun")) {
    if (!o.useLedger)
      return std::string(Pick({"--rerun 须与账本同用（--ledger 或环境变量 QUILLMARK_LEDGER）",
                               "--rerun needs a ledger (--ledger or the environment variable "
                               "QUILLMARK_LEDGER)"}));
    if (next)
      return std::string(Pick({"--rerun 不能与 --start-mac=next 同用",
                               "--rerun cannot be given with --start-mac=next"}));
    o.rerunBatch = BatchIdOf(o.rerunText);
    if (!o.rerunBatch)
      return Fill({"--rerun 的值应为批次编号：%1", "--rerun takes a batch number: %1"},
                  {o.rerunText});
    // Whoever audits the batch later reads why it was written twice.
    if (!parsed.Given("--reason"))
      return std::string(Pick({"--rerun 须与 --reason 同用（写明为何重写该批次）",
                               "--rerun needs --reason (why the batch is written again)"}));
  } else if (parsed.Given("--reason")) {
    return std::string(
        Pick({"--reason 只能与 --rerun 同用", "--reason can only be given with --rerun"}));
  }
  return "";
}

}  // namespace

ParsedCommandLine ParseWriteCommandLine(const std::vector<std::string>& args,
                                        const StationConfig& config) {
  WriteCommandLine line;
  // The configuration's defaults first: the options given are read over them.
  ApplyRequestDefaults(config, line.options.texts);
  const OptionTable table = WriteOptionTable(line);
  const ParsedOptions parsed = ParseOptions(table, args);
  ParsedCommandLine result;
  if (!parsed.ok) {
    result.error = parsed.error;
    return result;
  }
  if (!parsed.Given("--lot"))
    line.options.lot = config.lot.value_or(line.options.lot);
  if (!parsed.Given("--series"))
    line.options.series = config.series.value_or(line.options.series);
  const std::string ledgerError = ResolveLedger(line, parsed, config);
  line.options.lenient = line.options.lenient || config.lenient.value_or(false);
  const std::string bent =
      line.options.lenient ? std::string() : BentInputRefusal(line.options.texts);
  result.options = line.options;
  result.options.hasManifest = parsed.Given("--manifest");
  if (line.help) {
    result.action = CommandLineAction::ShowHelp;
  } else if (line.version) {
    result.action = CommandLineAction::ShowVersion;
  } else if (!parsed.Given("--image")) {
    result.error = WithHelpPointer(MissingOptionText("--image"));
  } else if (!ledgerError.empty()) {
    result.error = WithHelpPointer(ledgerError);
  } else if (!bent.empty()) {
    result.error = bent;
  } else if (result.options.dryRun && result.options.hasManifest) {
    result.error = WithHelpPointer(
        std::string(Pick({"--dry-run 不能与 --manifest 同用：计划只打印在标准输出上",
                          "--dry-run cannot be given with --manifest: the plan is only printed "
                          "on standard output"})));
  } else {
    result.action = CommandLineAction::Run;
  }
  return result;
}

std::string WriteHelpText() {
  WriteCommandLine line;
  const OptionTable table = WriteOptionTable(line);
  return Synopsis("quillmark-cli", table) +
         std::string(Pick({"\n"
                           "为一批网络设备生成固件：每台设备一份输入镜像的副本，写入该设备连续的\n"
                           "MAC地址，文件以设备的第一个地址命名（fw_045755_000000.img）。\n"
                           "输出目录中已有不属于本批的 fw_*.img 文件时，在第1台设备前于标准错误\n"
                           "输出上警告一行（照常写入）。\n"
                           "\n"
                           "选项:\n",
                           "\n"
                           "Makes firmware for a batch of network devices: one copy of the input\n"
                           "image per device, holding that device's consecutive MAC addresses,\n"
                           "each file named after the device's first address\n"
                           "(fw_045755_000000.img). When the output folder already holds\n"
                           "fw_*.img files not of this batch, one warning line goes to standard\n"
                           "error before the first device (the batch is written as usual).\n"
                           "\n"
                           "Options:\n"})) +
         HelpRows(table) +
         std::string(
             Pick({"\n"
                   "值含空白或以“-”开头时，请写成 --count=VALUE 的形式；除 --lot 外\n"
                   "值不能为空。\n"
                   "对话框会变通读取的值（--count=12abc 按12台处理）在此被拒绝；给出\n"
                   "--lenient 时按对话框的规则读取，并在标准错误输出上警告一行\n"
                   "（--count 12abc：按 12 台处理）。\n"
                   "\n"
                   "工位配置 /etc/quillmark/quillmark.toml 和 ~/.config/quillmark/quillmark.toml\n"
                   "（用户的逐键优先）可给出账本、工位、地址池、批号和请求的默认值；\n"
                   "选项优先于两者。格式见手册页。\n"
                   "\n",
                   "\n"
                   "Write a value that holds blanks or starts with \"-\" as\n"
                   "--count=VALUE; no value but --lot's may be empty. A value the dialog\n"
                   "would bend (--count=12abc as 12 devices) is refused here; with\n"
                   "--lenient it is read as the dialog reads it, with one warning line on\n"
                   "standard error (--count 12abc: taken as 12 devices).\n"
                   "\n"
                   "The station configuration /etc/quillmark/quillmark.toml and\n"
                   "~/.config/quillmark/quillmark.toml (the user's wins key by key) can\n"
                   "give defaults for the ledger, station, pool, lot and request;\n"
                   "options win over both. The manual page describes the format.\n"
                   "\n"})) +
         ExitStatusSection(ExitTable::Write) + SubcommandRows();
}

int RunWriteCommand(const std::vector<std::string>& args) {
  const StationConfigResult config = LoadStationConfig();
  const ParsedCommandLine parsed = ParseWriteCommandLine(args, config.config);
  // A configuration in error stops the run before anything else is said of
  // it: its ledger, station or defaults may be what the options lack.
  if (!config.error.empty() && parsed.action != CommandLineAction::ShowHelp &&
      parsed.action != CommandLineAction::ShowVersion)
    return ReportUsageError(config.error);
  switch (parsed.action) {
    case CommandLineAction::ShowHelp:
      WriteText(stdout, WriteHelpText());
      return kExitSuccess;
    case CommandLineAction::ShowVersion:
      WriteText(stdout, VersionText());
      return kExitSuccess;
    case CommandLineAction::UsageError:
      return ReportUsageError(parsed.error);
    case CommandLineAction::Run:
      break;
  }
  return parsed.options.dryRun ? RunDryRun(parsed.options) : RunGeneration(parsed.options);
}

}  // namespace quillmark::cli
