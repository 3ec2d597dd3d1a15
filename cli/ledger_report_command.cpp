#include "ledger_report_command.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "batch_ledger.h"
#include "command_line.h"
#include "exit_codes.h"
#include "file_replacement.h"
#include "interface_text.h"
#include "ledger.h"
#include "ledger_command.h"
#include "ledger_report.h"
#include "ledger_rules.h"
#include "ledger_texts.h"
#include "option_table.h"
#include "output_path_guard.h"
#include "platform_file.h"
#include "quillmark_version.h"
#include "report_html.h"
#include "utf8_text.h"

namespace quillmark::cli {
namespace {

using namespace ledger;

struct ReportOptions {
  std::string html;
  std::string location;
  std::string pool;
  std::string since;
  bool help = false;
};

OptionTable ReportOptionTable(ReportOptions& o) {
  return {
      {.name = "--html",
       .valueName = "FILE",
       .help = Pick({"报告文件（HTML）", "the report file (HTML)"}),
       .value = &o.html,
       .required = true},
      {.name = "--ledger",
       .valueName = "LOCATION",
       .help = Pick({"账本位置（默认取环境变量 QUILLMARK_LEDGER，\n再取工位配置）",
                     "the ledger's location (by default the environment\nvariable "
                     "QUILLMARK_LEDGER, then the station\nconfiguration)"}),
       .value = &o.location},
      {.name = "--pool",
       .valueName = "NAME",
       .help = Pick({"只报告此地址池", "report only this address pool"}),
       .value = &o.pool},
      {.name = "--since",
       .valueName = "DATE",
       .help = Pick({"报告此日期（UTC）以来的批次和写入（默认最近 30 天）",
                     "report the batches and writes since this date\n(UTC; by default the "
                     "last 30 days)"}),
       .value = &o.since},
      {.name = "--help", .help = Pick({"打印本帮助", "print this help"}), .flag = &o.help},
  };
}

int Refuse(const std::string& message) {
  std::fprintf(stderr, "%s\n", ToValidUtf8(message).c_str());
  return kExitRejected;
}

std::string UtcNow(const char* format) {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, format, &utc);
  return text;
}

// The page may only replace a regular file (or a link, which the rename
// replaces), and never the ledger it reports on.
std::string OutputRefusal(const std::string& path, const LedgerLocation& location,
                          PlatformFiles& files) {
  OutputPathGuard guard{std::string(Pick({"报告文件", "report file"})), {}, std::nullopt};
  // The ledger's own files by what they are, and their names whether or
  // not they are there now.
  for (const std::string& file : LedgerFiles(location)) {
    guard.inputs.push_back({file, std::string(Pick({"账本", "ledger"}))});
    guard.names.push_back(guard.inputs.back());
  }
  return CheckOutputPath(path, guard, files);
}

int WriteReport(const ReportOptions& o) {
  std::string text = o.location;
  if (const std::string error = FillConfiguredLedger(text); !error.empty())
    return ReportUsageError(error);
  if (text.empty())
    return Refuse(std::string(NoLedgerNamedText()));
  Result<LedgerLocation> location = ParseLedgerLocation(text);
  if (!location)
    return Refuse(location.error().message);
  // Judged before the ledger is opened, alike on both back ends.
  if (std::optional<LedgerError> invalid = ValidateFilter({std::nullopt, o.pool, o.since}))
    return Refuse(invalid->message);
  SystemFiles files;
  if (const std::string refusal = OutputRefusal(o.html, location.value(), files); !refusal.empty())
    return Refuse(refusal);
  Result<std::unique_ptr<Ledger>> ledger = OpenLedger(location.value(), LedgerAccess::ReadOnly);
  if (!ledger)
    return Refuse(ledger.error().message);

  const std::string today = UtcNow("%Y-%m-%d");
  // The last 30 days, today included.
  const ReportRequest request{o.pool, o.since.empty() ? DaysBefore(today, 29) : o.since, today};
  Result<LedgerReport> report = BuildReport(*ledger.value(), request);
  if (!report)
    return Refuse(report.error().message);
  const ReportFooter footer{location->Display(), UtcNow("%Y-%m-%dT%H:%M:%SZ"), QUILLMARK_VERSION};
  // Ledger text was escaped as it went in; bytes that are not UTF-8 cannot
  // form markup, so the whole page is made valid at once.
  const std::string page = ToValidUtf8(
      RenderReportHtml(report.value(), footer, ReportTextsFor(CurrentInterfaceLanguage())));

  // An older report stays as it was when this one cannot take its place.
  if (WriteOutputFile(files, o.html, page, /*durable=*/false) != OutputWrite::Written)
    return Refuse(Fill({"写入报告文件出错！%1", "Writing the report failed: %1"}, {o.html}));
  std::printf("%s\n",
              ToValidUtf8(Fill({"报告已写入：%1", "Report written: %1"}, {o.html})).c_str());
  return kExitSuccess;
}

}  // namespace

int RunLedgerReportCommand(const std::vector<std::string>& args) {
  ReportOptions o;
  const OptionTable table = ReportOptionTable(o);
  const ParsedOptions parsed = ParseOptions(table, args);
  if (!parsed.ok)
    return ReportUsageError(parsed.error);
  if (o.help) {
    const std::string page = Synopsis("quillmark-cli ledger report", table) +
                             std::string(Pick({"\n选项:\n", "\nOptions:\n"})) + HelpRows(table);
    std::fputs(page.c_str(), stdout);
    return kExitSuccess;
  }
  if (o.html.empty())
    return ReportUsageError(std::string(Pick(
        {"报告须用 --html FILE 指定输出文件", "a report needs its output file in --html FILE"})));
  return WriteReport(o);
}

}  // namespace quillmark::cli
