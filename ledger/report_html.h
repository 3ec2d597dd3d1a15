#pragma once

#include <string>
#include <string_view>

#include "ledger_report.h"
#include "report_texts.h"

namespace quillmark::ledger {

struct ReportFooter {
  std::string location;     // as shown: never with a password
  std::string generatedAt;  // "2024-05-31T10:00:00Z"
  std::string version;
};

// The report as one self-contained HTML page: styles inline, charts as
// inline SVG, no scripts, fonts or other files.
std::string RenderReportHtml(const LedgerReport& report, const ReportFooter& footer,
                             const ReportTexts& texts);

// Text from the ledger as HTML text or attribute value: control characters
// shown as escapes, the markup characters as entities.
std::string Html(std::string_view text);

// The charts, each one <svg> element.
std::string PoolBarSvg(const PoolUsage& usage, const ReportTexts& texts);
std::string DailyDevicesSvg(const LedgerReport& report, const ReportTexts& texts);

// Fill colours of the usages, and of the stations in the daily chart.
const char* UsageColour(Usage usage);
const char* StationColour(std::size_t index);

}  // namespace quillmark::ledger
