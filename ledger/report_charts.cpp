// The report's two charts. Both stay small however large the ledger: the
// pool bar has a fixed number of columns, the daily chart one shape per day
// and station.
#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "report_html.h"

namespace quillmark::ledger {
namespace {

constexpr std::uint64_t kBarColumns = 1000;
constexpr int kChartWidth = 1000;
constexpr int kChartHeight = 160;
constexpr int kAxisHeight = 20;

std::string Rect(std::uint64_t x, int y, std::uint64_t width, int height, const char* fill) {
  return "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
         std::to_string(width) + "\" height=\"" + std::to_string(height) + "\" fill=\"" + fill +
         "\"";
}

}  // namespace

const char* UsageColour(Usage usage) {
  static const char* const colours[kUsageKinds] = {"#2e7d32", "#f9a825", "#c62828", "#e6e6e6"};
  return colours[int(usage)];
}

const char* StationColour(std::size_t index) {
  static const char* const colours[] = {"#1565c0", "#ef6c00", "#6a1b9a", "#00838f",
                                        "#9e9d24", "#ad1457", "#4e342e", "#37474f"};
  return colours[index % std::size(colours)];
}

std::string PoolBarSvg(const PoolUsage& usage, const ReportTexts& texts) {
  // One column per thousandth of the pool, coloured by the kind holding
  // most of its used addresses: a single batch in a huge pool still shows,
  // and neighbouring columns of one colour are one shape.
  const std::uint64_t first = usage.pool.macs.first;
  const std::uint64_t count = std::max<std::uint64_t>(usage.pool.macs.count, 1);
  const auto columnStart = [&](std::uint64_t c) { return first + c * count / kBarColumns; };
  std::vector<std::array<std::uint64_t, kUsageKinds>> columns(kBarColumns);
  for (const UsageSegment& segment : usage.segments) {
    if (segment.usage == Usage::Free)
      continue;
    const std::uint64_t from = (segment.macs.first - first) * kBarColumns / count;
    for (std::uint64_t c = from; c < kBarColumns && columnStart(c) < segment.macs.end(); ++c) {
      const std::uint64_t begin = std::max(columnStart(c), segment.macs.first);
      const std::uint64_t end = std::min(columnStart(c + 1), segment.macs.end());
      // A pool narrower than the bar leaves columns of no address; the
      // address they fall in colours them.
      columns[c][int(segment.usage)] += end > begin ? end - begin : 1;
    }
  }
  std::vector<Usage> colour(kBarColumns, Usage::Free);
  for (std::uint64_t c = 0; c < kBarColumns; ++c) {
    const auto& held = columns[c];
    const auto most = std::max_element(held.begin(), held.begin() + int(Usage::Free));
    if (*most > 0)
      colour[c] = Usage(most - held.begin());
  }
  std::string svg = "<svg class=\"bar\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                    std::to_string(kBarColumns) +
                    " 30\" preserveAspectRatio=\"none\" role=\"img\" aria-label=\"" +
                    Html(usage.pool.name) + "\">" +
                    Rect(0, 0, kBarColumns, 30, UsageColour(Usage::Free)) + "/>";
  for (std::uint64_t c = 0; c < kBarColumns;) {
    std::uint64_t end = c + 1;
    while (end < kBarColumns && colour[end] == colour[c])
      ++end;
    if (colour[c] != Usage::Free) {
      svg += Rect(c, 0, end - c, 30, UsageColour(colour[c])) + "><title>" +
             texts.usageNames[int(colour[c])] + "</title></rect>";
    }
    c = end;
  }
  return svg + "</svg>";
}

std::string DailyDevicesSvg(const LedgerReport& report, const ReportTexts& texts) {
  std::set<std::string> dayNames;
  std::map<std::string, std::int64_t> totals;
  std::map<std::string, std::size_t> stationIndex;
  for (const auto& [key, devices] : report.devices) {
    dayNames.insert(key.first);
    totals[key.first] += devices;
    stationIndex.emplace(key.second, 0);
  }
  std::size_t next = 0;
  for (auto& [station, index] : stationIndex)
    index = next++;
  // Every day of the period has its place, so gaps show as gaps.
  std::vector<std::string> days;
  for (std::string day = report.since; day <= report.until && days.size() < 3660;
       day = DaysBefore(day, -1))
    days.push_back(day);
  for (const std::string& day : dayNames) {
    if (std::find(days.begin(), days.end(), day) == days.end())
      days.push_back(day);
  }
  std::sort(days.begin(), days.end());
  std::int64_t top = 1;
  for (const auto& [day, total] : totals)
    top = std::max(top, total);
  const double step = double(kChartWidth) / double(std::max<std::size_t>(days.size(), 1));
  std::string svg = "<svg class=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                    std::to_string(kChartWidth) + " " + std::to_string(kChartHeight + kAxisHeight) +
                    "\" role=\"img\">";
  svg += "<text x=\"0\" y=\"12\" class=\"axis\">" + std::to_string(top) + " " + texts.devicesAxis +
         "</text>";
  std::map<std::string, std::int64_t> stacked;
  const std::size_t labelEvery = std::max<std::size_t>(1, (days.size() + 7) / 8);
  for (std::size_t i = 0; i < days.size(); ++i) {
    const double x = double(i) * step;
    if (i % labelEvery == 0 || i + 1 == days.size()) {
      svg += "<text x=\"" + std::to_string(int(x)) + "\" y=\"" +
             std::to_string(kChartHeight + kAxisHeight - 4) + "\" class=\"axis\">" +
             Html(days[i].substr(5)) + "</text>";
    }
    auto it = report.devices.lower_bound({days[i], ""});
    for (; it != report.devices.end() && it->first.first == days[i]; ++it) {
      const int height = int(double(it->second) * (kChartHeight - 16) / double(top) + 0.5);
      const int base = kChartHeight - int(stacked[days[i]]);
      stacked[days[i]] += height;
      const std::string title = Html(days[i] + " " + it->first.second) + texts.colon +
                                std::to_string(it->second) + " " + texts.devicesAxis;
      char geometry[96];
      std::snprintf(geometry, sizeof geometry,
                    "<rect x=\"%.2f\" y=\"%d\" width=\"%.2f\" height=\"%d\" fill=\"",
                    x + step * 0.1, base - height, std::max(step * 0.8, 2.0), height);
      svg += std::string(geometry) + StationColour(stationIndex[it->first.second]) + "\"><title>" +
             title + "</title></rect>";
    }
  }
  return svg + "</svg>";
}

}  // namespace quillmark::ledger
