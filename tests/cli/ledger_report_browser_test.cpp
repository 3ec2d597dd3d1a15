// The ledger report opened in a real browser: headless Chromium renders
// the page of a sample ledger to a PNG and prints it to PDF without
// errors, the usage bar shows on the screenshot in its colours, the PDF
// is A4 with the bar in its colours, and tidy finds nothing wrong in the page.
// The laid-out page is read back from the browser: its headers, figures,
// lots and footer as a reader sees them, against `ledger export`.
#include <cairo.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "ledger_fixture.h"
#include "report_sample.h"

namespace quillmark::test {
namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

struct Rgb {
  int r, g, b;
};

// How many pixels of the PNG have the colour (within a rounding's error);
// -1 when it cannot be read.
long CountPixels(const std::string& png, Rgb colour) {
  cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
  if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(image);
    return -1;
  }
  const int width = cairo_image_surface_get_width(image);
  const int height = cairo_image_surface_get_height(image);
  const int stride = cairo_image_surface_get_stride(image);
  const unsigned char* data = cairo_image_surface_get_data(image);
  long count = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t pixel =
          *reinterpret_cast<const std::uint32_t*>(data + y * stride + 4 * x);
      const int r = (pixel >> 16) & 0xff, g = (pixel >> 8) & 0xff, b = pixel & 0xff;
      count +=
          std::abs(r - colour.r) <= 3 && std::abs(g - colour.g) <= 3 && std::abs(b - colour.b) <= 3;
    }
  }
  cairo_surface_destroy(image);
  return count;
}

ChildResult Chromium(const ScratchDir& dir, const std::string& output) {
  return RunChild(CommandLine("chromium", {"--headless", "--no-sandbox", "--disable-gpu",
                                           "--user-data-dir=" + (dir / "profile"),
                                           "--window-size=1000,1400", "--no-pdf-header-footer",
                                           output, "file://" + (dir / "report.html")}),
                  {}, 180s);
}

// What Chromium says of a page it could not load or run.
void ExpectNoPageErrors(const ChildResult& run) {
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_FALSE(run.timedOut);
  EXPECT_THAT(run.err, Not(HasSubstr("net::ERR_")));
  EXPECT_THAT(run.err, Not(HasSubstr("CONSOLE")));
  EXPECT_THAT(run.err, Not(HasSubstr("Uncaught")));
}

// Appended to a copy of the page, after everything it shows: lines of
// what the laid-out page holds. A header word broken across lines has a
// box on each.
constexpr const char* kMeasure = R"(<script>
const lines = [];
for (const th of document.querySelectorAll('table.batches th')) {
  const node = th.firstChild;
  let at = 0;
  for (const word of node.textContent.split(' ')) {
    const range = document.createRange();
    range.setStart(node, at);
    range.setEnd(node, at + word.length);
    const tops = new Set([...range.getClientRects()].map(r => Math.round(r.top)));
    lines.push('header|' + word + '|' + tops.size + '|' + (th.scrollWidth <= th.clientWidth));
    at += word.length + 1;
  }
}
for (const total of document.querySelectorAll('.station-total'))
  lines.push('station|' + total.previousSibling.textContent.trim() + '|' + total.textContent);
for (const row of document.querySelectorAll('table.batches tbody tr'))
  lines.push('lot|' + row.cells[0].textContent + '|' + row.cells[3].textContent);
const tops = new Set([...document.querySelectorAll('footer p')].map(
    p => Math.round(p.getBoundingClientRect().top)));
lines.push('footer|' + tops.size + '|' +
    document.querySelector('footer').innerText.split('\n').filter(l => l.trim()).length);
const out = document.createElement('pre');
out.id = 'measured';
out.textContent = '\n' + lines.join('\n') + '\n';
document.body.appendChild(out);
</script>)";

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> fields(1);
  for (const char c : line) {
    if (c == separator)
      fields.emplace_back();
    else
      fields.back() += c;
  }
  return fields;
}

// The measured lines of the page as Chromium laid it out, split at '|'.
std::vector<std::vector<std::string>> MeasurePage(const ScratchDir& dir, const std::string& page) {
  std::string html = ReadText(dir / page);
  html.insert(html.rfind("</body>"), kMeasure);
  std::ofstream(dir / "measured.html") << html;
  const ChildResult run = RunChild(
      CommandLine("chromium", {"--headless", "--no-sandbox", "--disable-gpu",
                               "--user-data-dir=" + (dir / "profile"), "--window-size=1000,1400",
                               "--dump-dom", "file://" + (dir / "measured.html")}),
      {}, 180s);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::size_t start = run.out.find("<pre id=\"measured\">");
  const std::size_t end = run.out.find("</pre>", start);
  std::vector<std::vector<std::string>> measured;
  if (start == std::string::npos || end == std::string::npos)
    return measured;
  std::istringstream lines(run.out.substr(start, end - start));
  for (std::string line; std::getline(lines, line);) {
    if (line.find('|') != std::string::npos)
      measured.push_back(Split(line, '|'));
  }
  return measured;
}

// In each language: no header word breaks or spills out of its cell, each
// station's total is the devices it wrote first (a rewrite does not count
// them again), each row's lot is the batch's, and the footer's three items
// are three lines.
TEST(LedgerReportBrowser, ThePageAsLaidOutAgreesWithTheExport) {
  ScratchDir dir;
  FreshLedgerPlace place(Backend::SQLite);
  ASSERT_TRUE(ledger::InitLedger(place.location()));
  auto ledger = ledger::OpenLedger(place.location());
  ASSERT_TRUE(ledger);
  ASSERT_EQ(FillSampleLedger(*ledger.value()), "");
  const ChildResult exported =
      RunQuillmarkCli({"ledger", "export", "--ledger", place.location().target});
  ASSERT_EQ(exported.exitCode, 0) << exported.err;
  std::map<std::string, long long> reached;   // per batch: the most devices a write got to
  std::map<std::string, long long> stations;  // devices first written
  std::map<std::string, std::string> lots;
  const std::vector<std::string> csv = Split(exported.out, '\n');
  for (std::size_t i = 1; i < csv.size(); ++i) {
    if (csv[i].empty())
      continue;
    const std::vector<std::string> f = Split(csv[i], ',');
    ASSERT_EQ(f.size(), 27u) << csv[i];
    lots[f[0]] = f[22];
    const long long written = f[19].empty() ? 0 : std::stoll(f[19]);
    if (written > reached[f[0]]) {
      stations[f[13]] += written - reached[f[0]];
      reached[f[0]] = written;
    }
  }
  // The sample's line3-b stopped at 5 devices and was rerun to all 20.
  EXPECT_EQ(stations["line3-b"], 20);
  EXPECT_FALSE(lots["6"].empty());

  for (const char* language : {"zh_CN.UTF-8", "en_US.UTF-8"}) {
    SCOPED_TRACE(language);
    const std::string page = std::string("report-") + language + ".html";
    ChildOptions options;
    options.environment = {std::string("LANG=") + language, "LC_ALL", "LC_MESSAGES", "LANGUAGE",
                           "QUILLMARK_TEST_ENGLISH"};
    const ChildResult report = RunChild(
        CommandLine(QUILLMARK_CLI_PATH, {"ledger", "report", "--html", dir / page, "--since",
                                         "2000-01-01", "--ledger", place.location().target}),
        options);
    ASSERT_EQ(report.exitCode, 0) << report.err;
    std::map<std::string, long long> shownStations;
    std::map<std::string, std::string> shownLots;
    int headers = 0;
    bool footerSeen = false;
    for (const std::vector<std::string>& line : MeasurePage(dir, page)) {
      if (line[0] == "header" && line.size() == 4) {
        ++headers;
        EXPECT_EQ(line[2], "1") << line[1] << " is broken across lines";
        EXPECT_EQ(line[3], "true") << line[1] << " spills out of its cell";
      } else if (line[0] == "station" && line.size() == 3) {
        shownStations[line[1]] = std::stoll(line[2]);
      } else if (line[0] == "lot" && line.size() == 3) {
        shownLots[line[1]] = line[2];
      } else if (line[0] == "footer" && line.size() == 3) {
        footerSeen = true;
        EXPECT_EQ(line[1], "3");
        EXPECT_EQ(line[2], "3");
      }
    }
    EXPECT_GE(headers, 10);
    EXPECT_EQ(shownStations, stations);
    EXPECT_EQ(shownLots, lots);
    EXPECT_TRUE(footerSeen);
  }
}

TEST(LedgerReportBrowser, ChromiumRendersAndPrintsThePageAndTidyFindsNoErrors) {
  ScratchDir dir;
  FreshLedgerPlace place(Backend::SQLite);
  ASSERT_TRUE(ledger::InitLedger(place.location()));
  auto ledger = ledger::OpenLedger(place.location());
  ASSERT_TRUE(ledger);
  ASSERT_EQ(FillSampleLedger(*ledger.value()), "");
  const ChildResult report = RunQuillmarkCli(
      {"ledger", "report", "--html", dir / "report.html", "--ledger", place.location().target});
  ASSERT_EQ(report.exitCode, 0) << report.err;

  const ChildResult tidy = RunChild(CommandLine("tidy", {"-errors", "-q", dir / "report.html"}));
  EXPECT_EQ(tidy.exitCode, 0) << tidy.err;  // 1: warnings, 2: errors
  EXPECT_EQ(tidy.err, "");

  ExpectNoPageErrors(Chromium(dir, "--screenshot=" + (dir / "report.png")));
  // The bar's three used kinds and the page's text are on the screenshot.
  EXPECT_GT(CountPixels(dir / "report.png", {0x2e, 0x7d, 0x32}), 100);  // finished
  EXPECT_GT(CountPixels(dir / "report.png", {0xf9, 0xa8, 0x25}), 100);  // reserved
  EXPECT_GT(CountPixels(dir / "report.png", {0xc6, 0x28, 0x28}), 100);  // voided
  EXPECT_GT(CountPixels(dir / "report.png", {0x22, 0x22, 0x22}), 100);  // text

  ExpectNoPageErrors(Chromium(dir, "--print-to-pdf=" + (dir / "report.pdf")));
  const ChildResult info = RunChild(CommandLine("pdfinfo", {dir / "report.pdf"}));
  EXPECT_EQ(info.exitCode, 0) << info.err;
  EXPECT_THAT(info.out, HasSubstr("(A4)"));
  // Printed, the bar keeps its colours (browsers drop backgrounds when printing).
  const ChildResult page =
      RunChild(CommandLine("pdftoppm", {"-png", "-r", "72", "-f", "1", "-l", "1", "-singlefile",
                                        dir / "report.pdf", dir / "page"}));
  EXPECT_EQ(page.exitCode, 0) << page.err;
  EXPECT_GT(CountPixels(dir / "page.png", {0x2e, 0x7d, 0x32}), 50);
  EXPECT_GT(CountPixels(dir / "page.png", {0xc6, 0x28, 0x28}), 50);

  // QUILLMARK_REPORT_SAMPLE_DIR keeps the sample's page and screenshot,
  // for the documentation.
  if (const char* keep = std::getenv("QUILLMARK_REPORT_SAMPLE_DIR")) {
    for (const char* name : {"report.html", "report.png"}) {
      std::filesystem::copy_file(dir / name, std::string(keep) + "/" + name,
                                 std::filesystem::copy_options::overwrite_existing);
    }
  }
}

}  // namespace
}  // namespace quillmark::test
