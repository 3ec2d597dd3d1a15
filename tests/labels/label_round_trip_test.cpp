// Label sheets read back as a person and a scanner meet them: each page
// rendered by poppler at 300 dpi, each label cut out at the place the
// stock puts it and decoded by a real barcode reader.
#include <cmath>

#include "label_code.h"
#include "label_design.h"
#include "label_font.h"
#include "label_layout.h"
#include "label_sheet.h"
#include "labels_fixture.h"
#include "page_scan.h"
#include "stock_geometry.h"

namespace quillmark::test {
namespace {

using labels::CodeKind;

// The tests look fonts up as the tool does; what fontconfig and cairo keep
// for the process goes back at its end, so the leak checker of the
// sanitizer build sees only real leaks.
class FontCaches : public testing::Environment {
 public:
  void TearDown() override { labels::ReleaseFontCaches(); }
};
[[maybe_unused]] testing::Environment* const kFontCaches =
    testing::AddGlobalTestEnvironment(new FontCaches);

struct RoundTrip {
  const Stock* stock;
  CodeKind code;
  std::int32_t macsPerDevice;
  int devices;
  int firstCell;
  std::string start;
  std::string title;
};

void PrintTo(const RoundTrip& c, std::ostream* os) {
  *os << c.stock->layout << "_" << labels::CodeKindName(c.code) << "_" << c.macsPerDevice << "macs_"
      << c.devices << "devices_cell" << c.firstCell;
}

std::string CodeArgument(CodeKind code) {
  switch (code) {
    case CodeKind::Qr:
      return "qr";
    case CodeKind::Code128:
      return "code128";
    case CodeKind::DataMatrix:
      return "datamatrix";
  }
  return "";
}

// The first dark module of a symbol, quiet zone skipped, in modules.
struct FirstModule {
  int x = 0;
  int y = 0;
};

FirstModule FirstDarkModule(const labels::ModuleGrid& grid) {
  for (int y = 0; y < grid.height; ++y) {
    for (int x = 0; x < grid.width; ++x) {
      if (grid.IsDark(x, y))
        return {x, y};
    }
  }
  return {};
}

// Where the first dark pixel stands, walking from `from` along a row or a
// column of the page; -1 if none within `span` pixels.
int FirstDarkAlongRow(const GrayImage& page, int y, int from, int span) {
  for (int x = std::max(from, 0); x < std::min(from + span, page.width); ++x) {
    if (page.IsDark(x, y))
      return x;
  }
  return -1;
}

int FirstDarkAlongColumn(const GrayImage& page, int x, int from, int span) {
  for (int y = std::max(from, 0); y < std::min(from + span, page.height); ++y) {
    if (page.IsDark(x, y))
      return y;
  }
  return -1;
}

// Stock cell edges in pixels of a page.
struct CellBox {
  double left;
  double top;
  double width;
  double height;
};

CellBox CellOnPage(const Stock& stock, int cell, const GrayImage& page) {
  return {page.Pixels(stock.Left(cell)), page.Pixels(stock.Top(cell)),
          page.Pixels(stock.labelWidth), page.Pixels(stock.labelHeight)};
}

class LabelRoundTripTest : public LabelsTest, public testing::WithParamInterface<RoundTrip> {
 protected:
  void SetUp() override {
    const RoundTrip& c = GetParam();
    m_font = labels::FindLabelFont(labels::CharactersShown(c.title), labels::kDefaultLabelFont);
    ASSERT_TRUE(m_font.font);
    const labels::TextMetrics metrics(m_font.font->face.get());
    const labels::DesignResult design = labels::DesignLabel(
        *labels::FindLayout(c.stock->layout), c.code, c.macsPerDevice, c.title, metrics);
    ASSERT_TRUE(design.design) << design.error;
    m_design = *design.design;
  }

  // The symbol's top-left dark module must stand where the stock's cell
  // and the label design put it, to 0.1 mm.
  void ExpectCodeInPlace(const GrayImage& page, int cell, const ExpectedDevice& device) {
    const RoundTrip& c = GetParam();
    const labels::EncodedCode code =
        labels::EncodeCode(c.code, labels::CodePayload(c.code, device.addresses));
    ASSERT_TRUE(code.grid);
    const std::optional<labels::CodePlacement> place = labels::PlaceCode(m_design, *code.grid);
    ASSERT_TRUE(place);
    const FirstModule first = FirstDarkModule(*code.grid);
    const double rowHeight = place->height / code.grid->height;
    const CellBox box = CellOnPage(*c.stock, cell, page);
    const double x = box.left + page.Pixels(place->left + first.x * place->module);
    const double y = box.top + page.Pixels(place->top + first.y * rowHeight);
    const int reach = static_cast<int>(page.Pixels(1.0));
    const int alongRow = FirstDarkAlongRow(page, static_cast<int>(y + page.Pixels(rowHeight / 2)),
                                           static_cast<int>(x) - reach, 2 * reach);
    const int alongColumn =
        FirstDarkAlongColumn(page, static_cast<int>(x + page.Pixels(place->module / 2)),
                             static_cast<int>(y) - reach, 2 * reach);
    EXPECT_LE(std::abs(alongRow - x), page.Pixels(0.1))
        << "left edge of the code in cell " << cell + 1;
    EXPECT_LE(std::abs(alongColumn - y), page.Pixels(0.1))
        << "top edge of the code in cell " << cell + 1;
  }

  // Every dark pixel of the page lies in a used cell, at least the label
  // padding (less a pixel) inside its edges.
  void ExpectInkOnlyInUsedCells(const GrayImage& page, int firstUsed, int lastUsed) {
    const double inset = page.Pixels(labels::kLabelPadding) - 1;
    int stray = 0;
    for (int y = 0; y < page.height; ++y) {
      for (int x = 0; x < page.width; ++x) {
        if (!page.IsDark(x, y))
          continue;
        bool inside = false;
        for (int cell = firstUsed; cell <= lastUsed && !inside; ++cell) {
          const CellBox box = CellOnPage(*GetParam().stock, cell, page);
          inside = x >= box.left + inset && y >= box.top + inset &&
                   x < box.left + box.width - inset && y < box.top + box.height - inset;
        }
        stray += inside ? 0 : 1;
      }
    }
    EXPECT_EQ(stray, 0) << "dark pixels outside the used labels";
  }

  // What the scanner reads in each label, cut out of the page where the
  // stock has it.
  std::vector<std::string> ScanCells(const GrayImage& page, int firstUsed, int lastUsed) {
    std::vector<std::string> crops;
    for (int cell = firstUsed; cell <= lastUsed; ++cell) {
      const CellBox box = CellOnPage(*GetParam().stock, cell, page);
      crops.push_back(m_dir / ("cell" + std::to_string(cell) + ".pgm"));
      EXPECT_TRUE(WritePgm(crops.back(),
                           page.Crop(static_cast<int>(box.left), static_cast<int>(box.top),
                                     static_cast<int>(box.width), static_cast<int>(box.height))));
    }
    std::vector<std::vector<std::string>> found;
    if (GetParam().code == CodeKind::DataMatrix) {
      for (const std::string& crop : crops)
        found.push_back(ScanWithDmtx(crop));
    } else {
      found = ScanWithZbar(crops);
    }
    std::vector<std::string> texts;
    for (const std::vector<std::string>& symbols : found)
      texts.push_back(symbols.size() == 1 ? symbols.front()
                                          : "<" + std::to_string(symbols.size()) + " symbols>");
    return texts;
  }

  labels::FontChoice m_font;
  labels::LabelDesign m_design;
};

TEST_P(LabelRoundTripTest, EveryLabelScansBackInOrderWhereTheStockHasIt) {
  const RoundTrip& c = GetParam();
  std::vector<ExpectedDevice> devices;
  WriteText(m_dir / "lot.csv", ManifestText(c.start, c.devices, c.macsPerDevice, &devices));
  const ChildResult run = Labels({"--manifest", "lot.csv", "--pdf", "lot.pdf", "--layout",
                                  c.stock->layout, "--code", CodeArgument(c.code), "--title",
                                  c.title, "--first-cell", std::to_string(c.firstCell)});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"lot.csv", "lot.pdf"}));

  const int cells = c.stock->Cells();
  const int pages = (c.firstCell - 1 + c.devices + cells - 1) / cells;
  const std::vector<PageSize> sizes = PdfPageSizes(m_dir / "lot.pdf");
  ASSERT_EQ(static_cast<int>(sizes.size()), pages);
  for (const PageSize& size : sizes) {
    EXPECT_NEAR(size.width, c.stock->pageWidth * 72 / 25.4, 0.01);
    EXPECT_NEAR(size.height, c.stock->pageHeight * 72 / 25.4, 0.01);
  }

  int next = 0;  // the next device to find
  for (int p = 1; p <= pages; ++p) {
    SCOPED_TRACE("page " + std::to_string(p));
    const std::optional<GrayImage> page = RenderPage(m_dir / "lot.pdf", p, kScanDpi, m_dir.path());
    ASSERT_TRUE(page);
    EXPECT_NEAR(page->width, page->Pixels(c.stock->pageWidth), 1.0);
    EXPECT_NEAR(page->height, page->Pixels(c.stock->pageHeight), 1.0);
    const int firstUsed = p == 1 ? c.firstCell - 1 : 0;
    const int lastUsed = std::min(cells - 1, firstUsed + (c.devices - next) - 1);
    std::vector<std::string> expected;
    for (int cell = firstUsed; cell <= lastUsed; ++cell) {
      expected.push_back(labels::CodePayload(
          c.code, devices[static_cast<std::size_t>(next + cell - firstUsed)].addresses));
    }
    EXPECT_EQ(ScanCells(*page, firstUsed, lastUsed), expected);
    ExpectInkOnlyInUsedCells(*page, firstUsed, lastUsed);
    if (p == 1 || p == pages) {
      const std::optional<GrayImage> fine =
          RenderPage(m_dir / "lot.pdf", p, kMeasureDpi, m_dir.path());
      ASSERT_TRUE(fine);
      for (int cell = firstUsed; cell <= lastUsed; ++cell)
        ExpectCodeInPlace(*fine, cell, devices[static_cast<std::size_t>(next + cell - firstUsed)]);
    }
    next += lastUsed - firstUsed + 1;
  }
  EXPECT_EQ(next, c.devices);
}

const RoundTrip kRoundTrips[] = {
    // A full A4 sheet and a part of the next, four addresses in each QR.
    {&kA4, CodeKind::Qr, 4, 30, 1, "04:57:55:00:10:00", "产品A 批次0412"},
    // A partly used sheet: labels from cell 20 on, Code 128 of the first address.
    {&kA4, CodeKind::Code128, 1, 26, 20, "04:57:55:00:ff:f0", "lot 7"},
    {&kA4, CodeKind::DataMatrix, 3, 5, 23, "fc:ff:00:ab:cd:e0", ""},
    {&kLetter, CodeKind::Qr, 2, 32, 1, "00:00:00:00:00:00", "产品B"},
    {&kLetter, CodeKind::DataMatrix, 4, 4, 28, "04:57:55:12:34:56", "批次0412"},
    {&kLetter, CodeKind::Code128, 2, 3, 30, "08:00:27:00:00:01", ""},
    {&kRoll, CodeKind::Qr, 4, 3, 1, "04:57:55:00:10:00", "产品A 批次0412"},
    {&kRoll, CodeKind::Code128, 1, 2, 1, "04:57:55:00:10:00", "产品A"},
    {&kRoll, CodeKind::DataMatrix, 2, 2, 1, "04:57:55:00:10:00", ""},
};

INSTANTIATE_TEST_SUITE_P(Stocks, LabelRoundTripTest, testing::ValuesIn(kRoundTrips),
                         [](const testing::TestParamInfo<RoundTrip>& info) {
                           std::string name = testing::PrintToString(info.param);
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch)))
                               ch = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace quillmark::test
