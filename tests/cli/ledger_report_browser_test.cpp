// The ledger report opened in a real browser: headless Chromium renders
// the page of a sample ledger to a PNG and prints it to PDF without
// errors, the usage bar shows on the screenshot in its colours, the PDF
// is A4 with the bar in its colours, and tidy finds nothing wrong in the page.
#include <cairo.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "ledger_fixture.h"
#include "report_sample.h"

namespace quillmark::test {
namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;
using testing::Not;

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
