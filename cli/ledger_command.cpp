#include "ledger_command.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "batch_ledger.h"
#include "command_line.h"
#include "exit_codes.h"
#include "exit_statuses.h"
#include "interface_text.h"
#include "job_acceptance.h"
#include "ledger.h"
#include "ledger_backup_command.h"
#include "ledger_csv.h"
#include "ledger_json.h"
#include "ledger_listing.h"
#include "ledger_report_command.h"
#include "ledger_rules.h"
#include "ledger_texts.h"
#include "ledger_words.h"
#include "mac_number.h"
#include "option_table.h"
#include "request_options.h"
#include "serial_series.h"
#include "station_config.h"
#include "usage_error.h"
#include "utf8_text.h"

namespace quillmark::cli {
namespace {

constexpr std::string_view kLedgerHelp = "quillmark-cli ledger --help";

using namespace ledger;

struct LedgerOptions {
  std::string location;
  std::string pool;
  std::string since;
  std::string reason;
  std::string startMac;
  std::string count = "1";
  std::string macsPerDevice = "1";
  std::string group;
  std::string templateText;
  std::string first;
  std::string series;
  std::string lot;
  bool allowPrefixCarry = false;
  bool lenient = false;
  bool json = false;
  bool help = false;
};

OptionTable LedgerOptionTable(LedgerOptions& o) {
  return {
      {.name = "--ledger",
       .valueName = "LOCATION",
       .help = Pick({"账本位置（默认取环境变量 QUILLMARK_LEDGER，\n再取工位配置）",
                     "the ledger's location (by default the environment\nvariable "
                     "QUILLMARK_LEDGER, then the station\nconfiguration)"}),
       .value = &o.location},
      {.name = "--pool",
       .valueName = "NAME",
       .help = Pick({"地址池", "the address pool"}),
       .value = &o.pool},
      {.name = "--since",
       .valueName = "DATE",
       .help = Pick({"list：此日期（UTC）以来", "list: since this date (UTC)"}),
       .value = &o.since},
      {.name = "--reason",
       .valueName = "TEXT",
       .help = Pick({"void：作废原因", "void: why the batch is void"}),
       .value = &o.reason},
      {.name = "--start-mac",
       .valueName = "TEXT",
       .help = Pick({"check：起始MAC地址", "check: the first MAC address"}),
       .value = &o.startMac},
      {.name = "--count",
       .valueName = "TEXT",
       .help = Pick({"check：设备数量", "check: the number of devices"}),
       .value = &o.count},
      {.name = "--macs-per-device",
       .valueName = "TEXT",
       .help = Pick({"check：每设备MAC数量", "check: MAC addresses per device"}),
       .value = &o.macsPerDevice},
      {.name = "--group",
       .valueName = "NAME",
       .help = Pick({"init：SQLite账本由此组的账户共用\n（目录 2770，文件 0660）",
                     "init: the accounts of this group share the SQLite\nledger (folder 2770, "
                     "file 0660)"}),
       .value = &o.group},
      {.name = "--template",
       .valueName = "TEXT",
       .help = Pick({"series add：序列号模板", "series add: the serial template"}),
       .value = &o.templateText},
      {.name = "--first",
       .valueName = "N",
       .help =
           Pick({"series add：首个序号（默认 1）", "series add: the first number (by default 1)"}),
       .value = &o.first},
      {.name = "--series",
       .valueName = "NAME",
       .help = Pick({"check：序列号系列", "check: the serial series"}),
       .value = &o.series},
      {.name = "--lot",
       .valueName = "TEXT",
       .help = Pick({"check：生产批号", "check: the production lot"}),
       .value = &o.lot},
      {.name = "--allow-prefix-carry",
       .help = Pick({"pool add：允许地址池越过前三个字节（厂商前缀）",
                     "pool add: let the pool run past its first three\nbytes (the vendor "
                     "prefix)"}),
       .flag = &o.allowPrefixCarry},
      LenientOptionRow(o.lenient),
      {.name = "--json",
       .help = Pick({"在标准输出上打印 JSON Lines 代替文字：每个地址池、\n"
                     "批次或导出行一行",
                     "print JSON Lines on standard output instead of text:\n"
                     "a line for each pool, batch or exported row"}),
       .flag = &o.json},
      {.name = "--help", .help = Pick({"打印本帮助", "print this help"}), .flag = &o.help},
  };
}

void Print(const std::string& text) {
  std::fputs(ToValidUtf8(text).c_str(), stdout);
}

int Refuse(const std::string& message) {
  std::fprintf(stderr, "%s\n", ToValidUtf8(message).c_str());
  return kExitRejected;
}

Result<LedgerLocation> Location(const std::string& text) {
  if (text.empty())
    return Fault(LedgerFault::InvalidRequest, std::string(NoLedgerNamedText()));
  return ParseLedgerLocation(text);
}

// Exactly as the ledger shows addresses: a range recorded from a misread
// address cannot be taken back.
std::optional<std::uint64_t> MacArgument(const std::string& text) {
  const std::optional<MacAddress> mac = MacAddress::ParseExact(text);
  if (!mac)
    return std::nullopt;
  return MacNumber(*mac);
}

// A batch's id: a positive decimal number, or 0 for anything else.
std::int64_t IdArgument(const std::string& text) {
  char* end = nullptr;
  const long long id = std::strtoll(text.c_str(), &end, 10);
  return text.empty() || *end != '\0' || id <= 0 ? 0 : id;
}

int Init(const LedgerOptions& o, const std::vector<std::string>& words) {
  Result<LedgerLocation> location = Location(words.size() > 1 ? words[1] : o.location);
  if (!location)
    return Refuse(location.error().message);
  Result<InitReport> report =
      o.group.empty() ? InitLedger(location.value()) : InitSharedLedger(location.value(), o.group);
  if (!report)
    return Refuse(report.error().message);
  Print(o.json ? InitJson(location->Display(), report.value())
               : InitText(location->Display(), report.value()));
  return kExitSuccess;
}

int Pools(Ledger& ledger, const LedgerOptions& o, const std::vector<std::string>& words,
          const LedgerWord& row) {
  if (words.size() == 2 && words[1] == "list") {
    Result<std::vector<Pool>> pools = ledger.Pools();
    if (!pools)
      return Refuse(pools.error().message);
    Print(o.json ? PoolsJson(pools.value()) : PoolListing(pools.value()));
    return kExitSuccess;
  }
  if (words.size() != 5 || words[1] != "add")
    return ReportUsageError(LedgerUsageLine(row));
  const std::optional<std::uint64_t> first = MacArgument(words[3]);
  const std::optional<std::uint64_t> last = MacArgument(words[4]);
  if (!first || !last || *last < *first)
    return Refuse(
        Fill({"地址池范围输入错误！%1 %2", "Invalid pool range: %1 %2"}, {words[3], words[4]}));
  // A pool is what keeps batches inside one vendor prefix.
  if ((*first >> 24) != (*last >> 24) && !o.allowPrefixCarry) {
    return Refuse(
        Fill({"地址池越过厂商前缀！%1 %2（前三个字节不同；确需如此请加 --allow-prefix-carry）",
              "The pool runs past the vendor prefix: %1 %2 (the first three bytes "
              "differ; add --allow-prefix-carry if that is meant)"},
             {words[3], words[4]}));
  }
  Result<Pool> pool = ledger.AddPool(words[2], MacRange{*first, *last - *first + 1});
  if (!pool)
    return Refuse(pool.error().message);
  Print(o.json ? PoolsJson({pool.value()}) : PoolListing({pool.value()}));
  return kExitSuccess;
}

int SeriesCommand(Ledger& ledger, const LedgerOptions& o, const std::vector<std::string>& words,
                  const LedgerWord& row) {
  if (words.size() == 2 && words[1] == "list") {
    Result<std::vector<Series>> series = ledger.SeriesList();
    if (!series)
      return Refuse(series.error().message);
    Print(o.json ? SeriesJson(series.value()) : SeriesListing(series.value()));
    return kExitSuccess;
  }
  if (words.size() != 3 || words[1] != "add" || o.templateText.empty())
    return ReportUsageError(LedgerUsageLine(row));
  std::optional<std::uint64_t> first;
  if (!o.first.empty()) {
    char* end = nullptr;
    const unsigned long long number = std::strtoull(o.first.c_str(), &end, 10);
    if (*end != '\0' || o.first.find_first_not_of("0123456789") != std::string::npos ||
        o.first.size() > 19)
      return Refuse(
          Fill({"首个序号须为非负整数，不是 %1", "The first number must be a whole number, not %1"},
               {o.first}));
    first = number;
  }
  Result<Series> added = ledger.AddSeries(words[2], o.templateText, first);
  if (!added)
    return Refuse(added.error().message);
  Print(o.json ? SeriesJson({added.value()}) : SeriesListing({added.value()}));
  return kExitSuccess;
}

// The range is judged by the write's own rules before the ledger is
// asked, so that what the check approves the write accepts too.
int Check(Ledger& ledger, const LedgerOptions& o) {
  const bool next = o.startMac == "next";
  // The numbers are read as the write reads them (a bent one was refused
  // or warned of by JudgeBentInput); the start is taken only exactly.
  GenerationJob job;
  const JobVerdict accepted = AcceptAddressing(
      job, JobRequestTexts{o.startMac, o.count, o.macsPerDevice, "", "", ""},
      next ? std::optional<MacAddress>(MacAddress{}) : MacAddress::ParseExact(o.startMac));
  if (!accepted.accepted) {
    if (!accepted.detail.empty())
      std::fprintf(stderr, "%s\n", ToValidUtf8(accepted.detail).c_str());
    return Refuse(accepted.message);
  }
  BatchRequest request;
  if (!next)
    request.firstMac = MacNumber(job.startMac);
  request.deviceCount = job.deviceCount;
  request.macsPerDevice = job.macsPerDevice;
  request.pool = o.pool;
  request.station = DefaultStationName();
  request.imageSha256 = std::string(64, '0');  // no image: the range alone is checked
  request.series = o.series;
  request.lot = o.lot;
  Result<Reservation> verdict = ledger.Check(request);
  if (!verdict)
    return Refuse(verdict.error().message);
  Print(o.json ? CheckJson(verdict.value()) : CheckText(verdict.value()));
  return kExitSuccess;
}

int Listing(Ledger& ledger, const LedgerOptions& o, bool list) {
  const BatchFilter filter{std::nullopt, o.pool, o.since};
  // A pool name with a typo would list nothing, as a pool without batches.
  if (!o.pool.empty()) {
    Result<std::vector<Pool>> pools = ledger.Pools();
    if (!pools)
      return Refuse(pools.error().message);
    if (std::none_of(pools->begin(), pools->end(),
                     [&](const Pool& pool) { return pool.name == o.pool; }))
      return Refuse(UnknownPoolError(o.pool).message);
  }
  Result<std::vector<BatchDetails>> batches = ledger.Batches(filter);
  if (!batches)
    return Refuse(batches.error().message);
  if (o.json)
    Print(list ? BatchesJson(batches.value(), false) : ExportJson(batches.value()));
  else
    Print(list ? BatchListing(batches.value()) : ExportCsv(batches.value()));
  return kExitSuccess;
}

// show ID and void ID.
int OneBatch(Ledger& ledger, const LedgerOptions& o, const std::vector<std::string>& words,
             bool voiding) {
  const std::string& command = words[0];
  const std::int64_t id = words.size() == 2 ? IdArgument(words[1]) : 0;
  if (id == 0) {
    const std::string needed =
        words.size() == 2
            ? Fill({"ledger %1 须跟一个批次号（正整数），不是 %2",
                    "ledger %1 takes a batch number (a positive whole number), not %2"},
                   {command, words[1]})
            : Fill({"ledger %1 须跟一个批次号（正整数）",
                    "ledger %1 takes a batch number (a positive whole number)"},
                   {command});
    return ReportUsageError(WithHelpPointer(needed, kLedgerHelp));
  }
  if (voiding) {
    if (o.reason.empty())
      return ReportUsageError(std::string(
          Pick({"作废须用 --reason 写明原因", "voiding a batch needs its reason in --reason"})));
    Result<BatchSummary> voided = ledger.Void(id, o.reason);
    if (!voided)
      return Refuse(voided.error().message);
  }
  Result<std::vector<BatchDetails>> batch = ledger.Batches(BatchFilter{id, "", ""});
  if (!batch)
    return Refuse(batch.error().message);
  if (batch->empty())
    return Refuse(NoSuchBatchError(id).message);
  Print(o.json ? BatchesJson({batch->front()}, true) : BatchDetailsText(batch->front()));
  return kExitSuccess;
}

int OnLedger(Ledger& ledger, const LedgerOptions& o, const std::vector<std::string>& words,
             const LedgerWord& row) {
  const LedgerAction action = row.action;
  switch (action) {
    case LedgerAction::Pool:
      return Pools(ledger, o, words, row);
    case LedgerAction::Series:
      return SeriesCommand(ledger, o, words, row);
    case LedgerAction::Check:
      return Check(ledger, o);
    case LedgerAction::List:
    case LedgerAction::Export:
      return Listing(ledger, o, action == LedgerAction::List);
    case LedgerAction::Show:
    case LedgerAction::Void:
      return OneBatch(ledger, o, words, action == LedgerAction::Void);
    case LedgerAction::Init:
    case LedgerAction::Backup:
    case LedgerAction::Report:
      break;  // they run without the ledger opened
  }
  return kExitRejected;
}

// The commands that need the ledger's location but not the ledger opened;
// none for the others.
std::optional<int> BeforeOpening(const LedgerOptions& o, const std::vector<std::string>& words,
                                 const LedgerWord& row, const LedgerLocation& location) {
  switch (row.action) {
    case LedgerAction::Backup:
      if (words.size() != 2)
        return ReportUsageError(LedgerUsageLine(row));
      return RunLedgerBackup(location, words[1]);
    case LedgerAction::Init:
      return Init(o, words);
    case LedgerAction::Report:  // taken with its own options before the ledger's
    case LedgerAction::Pool:
    case LedgerAction::Series:
    case LedgerAction::List:
    case LedgerAction::Show:
    case LedgerAction::Void:
    case LedgerAction::Export:
    case LedgerAction::Check:
      break;
  }
  return std::nullopt;
}

}  // namespace

std::string FillConfiguredLedger(std::string& location) {
  if (!location.empty())
    return "";
  const StationConfigResult config = LoadStationConfig();
  if (!config.error.empty())
    return config.error;
  location = ConfiguredLedgerLocation(config.config).value_or("");
  return "";
}

// check reads --count and --macs-per-device as a write does (its start,
// exactly): a value the rules would bend is refused unless asked for
// (--lenient, or the station configuration's lenient), and said then.
std::optional<int> JudgeBentInput(const LedgerOptions& o) {
  const JobRequestTexts texts{"", o.count, o.macsPerDevice, "", "", ""};
  if (!o.lenient && !LoadStationConfig().config.lenient.value_or(false)) {
    if (const std::string bent = BentInputRefusal(texts); !bent.empty())
      return ReportUsageError(bent);
    return std::nullopt;
  }
  for (const std::string& line : BentInputLines(texts))
    std::fprintf(stderr, "%s\n", ToValidUtf8(line).c_str());
  return std::nullopt;
}

int RunLedgerCommand(const std::vector<std::string>& args) {
  const LedgerWord* first = args.empty() ? nullptr : FindLedgerWord(args[0]);
  if (first != nullptr && first->action == LedgerAction::Report)
    return RunLedgerReportCommand({args.begin() + 1, args.end()});
  // The command's words come first, then the options.
  std::vector<std::string> words;
  std::size_t i = 0;
  for (; i < args.size() && args[i].rfind("--", 0) != 0; ++i)
    words.push_back(args[i]);
  LedgerOptions o;
  const ParsedOptions parsed =
      ParseOptions(LedgerOptionTable(o), std::vector<std::string>(args.begin() + i, args.end()));
  if (!parsed.ok)
    return ReportUsageError(parsed.error);
  if (o.help) {
    Print(LedgerHelpText());
    return kExitSuccess;
  }
  if (words.empty())
    return ReportUsageError(WithHelpPointer(
        std::string(Pick({"缺少账本命令", "the ledger command is missing"})), kLedgerHelp));
  // A word the ledger does not know is refused before any ledger is named
  // or opened.
  if (first == nullptr)
    return ReportUsageError(WithHelpPointer(
        Fill({"无法识别的账本命令：%1", "unknown ledger command: %1"}, {words[0]}), kLedgerHelp));
  // Judged before any ledger is opened, alike on both back ends.
  if (std::optional<LedgerError> invalid = ValidateFilter({std::nullopt, o.pool, o.since}))
    return Refuse(invalid->message);
  if (first->action == LedgerAction::Check) {
    if (const std::optional<int> refused = JudgeBentInput(o))
      return *refused;
  }
  if (first->action == LedgerAction::Init && words.size() > 1)
    return Init(o, words);
  if (const std::string error = FillConfiguredLedger(o.location); !error.empty())
    return ReportUsageError(error);
  Result<LedgerLocation> location = Location(o.location);
  if (!location)
    return Refuse(location.error().message);
  if (const std::optional<int> status = BeforeOpening(o, words, *first, location.value()))
    return *status;
  // What only reads opens the ledger for reading, so an account that may
  // only read it can list, show, export and check.
  const bool reads =
      first->action == LedgerAction::List || first->action == LedgerAction::Show ||
      first->action == LedgerAction::Export || first->action == LedgerAction::Check ||
      (first->action == LedgerAction::Pool && words.size() == 2 && words[1] == "list");
  Result<std::unique_ptr<Ledger>> ledger =
      OpenLedger(location.value(), reads ? LedgerAccess::ReadOnly : LedgerAccess::ReadWrite);
  if (!ledger)
    return Refuse(ledger.error().message);
  return OnLedger(*ledger.value(), o, words, *first);
}

std::string LedgerHelpText() {
  LedgerOptions o;
  return LedgerSynopsis() + "\n" +
         std::string(
#ifdef _WIN32
             Pick({"MAC账本：记录发出过的每一段MAC地址，同一地址不会发出两次。LOCATION 是\n"
                   "SQLite 文件路径，default（%LOCALAPPDATA%\\Quillmark\\ledger.sqlite3）\n"
                   "或 station（%ProgramData%\\Quillmark\\ledger.sqlite3，本机所有操作员共用）。\n"
                   "\n"
                   "选项:\n",
                   "The MAC ledger records every range of MAC addresses handed out, so no\n"
                   "address goes out twice. LOCATION is a SQLite file path, default\n"
                   "(%LOCALAPPDATA%\\Quillmark\\ledger.sqlite3) or station\n"
                   "(%ProgramData%\\Quillmark\\ledger.sqlite3, shared by the station's users).\n"
                   "\n"
                   "Options:\n"})) +
#else
             Pick({"MAC账本：记录发出过的每一段MAC地址，同一地址不会发出两次。LOCATION 是\n"
                   "SQLite 文件路径（default 即 $XDG_DATA_HOME/quillmark/ledger.sqlite3），或\n"
                   "PostgreSQL 连接字符串（postgresql://… 或 service=NAME）。\n"
                   "\n"
                   "选项:\n",
                   "The MAC ledger records every range of MAC addresses handed out, so no\n"
                   "address goes out twice. LOCATION is a SQLite file path (default is\n"
                   "$XDG_DATA_HOME/quillmark/ledger.sqlite3) or a PostgreSQL connection\n"
                   "string (postgresql://... or service=NAME).\n"
                   "\n"
                   "Options:\n"})) +
#endif
         HelpRows(LedgerOptionTable(o)) + "\n" + ExitStatusLine(ExitTable::Ledger);
}

}  // namespace quillmark::cli
