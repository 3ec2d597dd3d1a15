#include "report_html.h"

#include <cstdio>
#include <map>

#include "mac_number.h"
#include "printable_text.h"

namespace quillmark::ledger {
namespace {

// Fits on A4 in portrait; colours print as they show.
constexpr const char* kStyle = R"(
body{font-family:"Noto Sans CJK SC","WenQuanYi Micro Hei",sans-serif;font-size:10pt;
color:#222;margin:0 auto;max-width:190mm;padding:6mm;
-webkit-print-color-adjust:exact;print-color-adjust:exact}
h1{font-size:16pt;margin:0 0 4mm}h2{font-size:12pt;margin:5mm 0 2mm}
h3{font-size:10.5pt;margin:3mm 0 1mm}
svg.bar{width:100%;height:8mm;display:block;border:1px solid #999}
svg.chart{width:100%;height:45mm;display:block}
.axis{font-size:11px;fill:#555}
.legend{margin:1mm 0;padding:0;list-style:none}
.legend li{display:inline-block;margin-right:4mm}
.swatch{margin-right:1mm;font-size:12pt;line-height:1}
table{border-collapse:collapse;width:100%}
td,th{border:1px solid #bbb;padding:.5mm 1mm;text-align:left;vertical-align:top}
table.batches{font-size:7.5pt;table-layout:fixed}
table.batches td{word-break:break-all}
table.batches th{word-break:keep-all;overflow-wrap:normal;hyphens:manual}
table.batches th:nth-child(1){width:7%}table.batches th:nth-child(2){width:20%}
table.batches th:nth-child(7){width:12%}table.batches td:nth-child(2){word-break:normal}
table.numbers{width:auto}table.numbers th{font-weight:normal;color:#555}
section.pool{break-inside:avoid}thead{display:table-header-group}tr{break-inside:avoid}
footer{margin-top:5mm;font-size:8pt;color:#555;border-top:1px solid #999;padding-top:1mm}
footer p{margin:0 0 .5mm}
@page{size:A4;margin:12mm}@media print{body{padding:0;max-width:none}}
)";

std::string Number(std::uint64_t value) {
  return std::to_string(value);
}

std::string Percent(std::uint64_t part, std::uint64_t whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%",
                whole == 0 ? 0.0 : 100.0 * double(part) / double(whole));
  return text;
}

std::string Legend(const char* const* names, const std::vector<std::string>& colours) {
  std::string html = "<ul class=\"legend\">";
  for (std::size_t i = 0; i < colours.size(); ++i) {
    html += "<li><span class=\"swatch\" style=\"color:" + colours[i] + "\">■</span>" + names[i] +
            "</li>";
  }
  return html + "</ul>";
}

std::string NumberRow(const char* name, const char* cls, const std::string& value) {
  return "<tr><th>" + std::string(name) + "</th><td class=\"" + cls + "\">" + value + "</td></tr>";
}

std::string PoolSection(const PoolUsage& usage, const ReportTexts& texts) {
  const Pool& pool = usage.pool;
  std::string html = "<section class=\"pool\"><h3>" + Html(pool.name) + texts.gap +
                     MacText(pool.macs.first) + texts.to + MacText(pool.macs.last()) + texts.open +
                     Number(pool.macs.count) + texts.addresses + texts.close + "</h3>" +
                     PoolBarSvg(usage, texts);
  std::vector<std::string> colours;
  std::string names[kUsageKinds];
  const char* shown[kUsageKinds];
  for (int kind = 0; kind < kUsageKinds; ++kind) {
    colours.emplace_back(UsageColour(Usage(kind)));
    names[kind] = std::string(texts.usageNames[kind]) + " " + Number(usage.addresses[kind]);
    shown[kind] = names[kind].c_str();
  }
  html += Legend(shown, colours) + "<table class=\"numbers\">";
  html += NumberRow(texts.used, "used", Number(usage.used));
  html += NumberRow(texts.free, "free", Number(usage.addresses[int(Usage::Free)]));
  html += NumberRow(texts.percentUsed, "percent", Percent(usage.used, pool.macs.count));
  const MacRange& largest = usage.largestFree;
  html += NumberRow(texts.largestFree, "largest-free",
                    largest.count == 0
                        ? texts.none
                        : MacText(largest.first) + texts.to + MacText(largest.last()) + texts.open +
                              Number(largest.count) + texts.addresses + texts.close);
  html += NumberRow(texts.nextFree, "next-free",
                    usage.nextFree ? MacText(*usage.nextFree) : std::string(texts.none));
  return html + "</table></section>";
}

std::string DevicesSection(const LedgerReport& report, const ReportTexts& texts) {
  std::string html = "<h2>" + std::string(texts.devicesHeading) + texts.open + Html(report.since) +
                     texts.to + Html(report.until) + texts.close + "</h2>";
  if (report.devices.empty())
    return html + "<p>" + texts.noDevices + "</p>";
  std::map<std::string, std::int64_t> perStation;
  for (const auto& [key, devices] : report.devices)
    perStation[key.second] += devices;
  html += DailyDevicesSvg(report, texts) + "<ul class=\"legend\">";
  std::size_t index = 0;
  for (const auto& [station, devices] : perStation) {
    html += "<li><span class=\"swatch\" style=\"color:" + std::string(StationColour(index++)) +
            "\">■</span>" + Html(station) + " <span class=\"station-total\">" +
            std::to_string(devices) + "</span></li>";
  }
  return html + "</ul>";
}

std::string Cell(const std::string& text) {
  return "<td>" + text + "</td>";
}

// How often the batch was written again, and for each time it was on
// purpose (--rerun) who did it and why.
std::string RewritesCell(const BatchDetails& details, const ReportTexts& texts) {
  std::string cell = std::to_string(details.writes.empty() ? 0 : details.writes.size() - 1);
  for (const WriteRecord& write : details.writes) {
    if (!write.rerunReason.empty())
      cell += "<br><span class=\"rerun\">" + Html(write.writtenBy) + texts.colon +
              Html(write.rerunReason) + "</span>";
  }
  return Cell(cell);
}

std::string BatchRow(const BatchDetails& details, const ReportTexts& texts) {
  const BatchSummary& batch = details.batch;
  const WriteRecord* last = details.writes.empty() ? nullptr : &details.writes.back();
  std::string row = "<tr>" + Cell(std::to_string(batch.id)) +
                    Cell(MacText(batch.macs().first) + texts.to + MacText(batch.macs().last())) +
                    Cell(Html(batch.station)) + Cell(Html(batch.lot));
  row += Cell(last ? Html(last->imageSha256.substr(0, 12)) : "") +
         Cell(last ? Html(last->outputFolder) : "") + Cell(Html(batch.recordedAt)) +
         Cell(last ? texts.endings[int(last->ending)] : "") + RewritesCell(details, texts);
  row += Cell(batch.voided ? std::string(texts.voided) + texts.colon + Html(batch.voidReason) : "");
  return row + "</tr>";
}

std::string BatchesSection(const LedgerReport& report, const ReportTexts& texts) {
  std::string html = "<h2>" + std::string(texts.batchesHeading) + "</h2>";
  if (report.batches.empty())
    return html + "<p>" + texts.noBatches + "</p>";
  if (report.batches.size() < report.batchesInPeriod) {
    std::string note = texts.tableCut;
    note.replace(note.find("%1"), 2, std::to_string(report.batches.size()));
    note.replace(note.find("%2"), 2, std::to_string(report.batchesInPeriod));
    html += "<p class=\"cut\">" + note + "</p>";
  }
  html += "<table class=\"batches\"><thead><tr>";
  for (const char* column : texts.columns)
    html += "<th>" + std::string(column) + "</th>";
  html += "</tr></thead><tbody>";
  for (const BatchDetails& details : report.batches)
    html += BatchRow(details, texts);
  return html + "</tbody></table>";
}

}  // namespace

std::string Html(std::string_view text) {
  const std::string printable = EscapeControlCharacters(text);
  std::string html;
  html.reserve(printable.size());
  for (const char c : printable) {
    switch (c) {
      case '&':
        html += "&amp;";
        break;
      case '<':
        html += "&lt;";
        break;
      case '>':
        html += "&gt;";
        break;
      case '"':
        html += "&quot;";
        break;
      case '\'':
        html += "&#39;";
        break;
      default:
        html += c;
    }
  }
  return html;
}

std::string RenderReportHtml(const LedgerReport& report, const ReportFooter& footer,
                             const ReportTexts& texts) {
  std::string html = "<!DOCTYPE html>\n<html lang=\"" + std::string(texts.language) +
                     "\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + texts.title +
                     "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<h1>" +
                     texts.title + "</h1>\n<h2>" + texts.poolsHeading + "</h2>\n";
  if (report.pools.empty())
    html += std::string("<p>") + texts.noPools + "</p>\n";
  for (const PoolUsage& usage : report.pools)
    html += PoolSection(usage, texts) + "\n";
  html += DevicesSection(report, texts) + "\n" + BatchesSection(report, texts) + "\n";
  // One line each: spaces between inline items collapse to one.
  html += "<footer><p>" + std::string(texts.ledgerLocation) + texts.colon +
          "<span class=\"location\">" + Html(footer.location) + "</span></p><p>" +
          texts.reportTime + texts.colon + Html(footer.generatedAt) + "</p><p>" + texts.version +
          texts.colon + Html(footer.version) + "</p></footer>\n</body>\n</html>\n";
  return html;
}

}  // namespace quillmark::ledger
