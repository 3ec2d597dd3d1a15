#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillmark::test {

// A page as the printer would put it on paper: rendered by poppler at a
// given resolution, one byte of gray per pixel (0 black, 255 white).
struct GrayImage {
  int width = 0;
  int height = 0;
  int dpi = 0;
  std::vector<std::uint8_t> pixels;

  double Pixels(double millimetres) const { return millimetres * dpi / 25.4; }

  bool IsDark(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x] < 128; }
  GrayImage Crop(int left, int top, int cropWidth, int cropHeight) const;
};

// What labels are scanned at, as a label printer prints them.
inline constexpr int kScanDpi = 300;
// Where positions are measured: poppler puts an image's edges to within
// about 1.5 pixels, 0.06 mm at this resolution.
inline constexpr int kMeasureDpi = 600;

// Renders one page (from 1) of a PDF with pdftoppm; none if it failed.
std::optional<GrayImage> RenderPage(const std::string& pdf, int page, int dpi,
                                    const std::string& scratch);

bool WritePgm(const std::string& path, const GrayImage& image);

// What a scanner reads in each image file, in the order of the files:
// the texts of the symbols found in it, in no particular order. QR and
// Code 128 through zbarimg, all files at once.
std::vector<std::vector<std::string>> ScanWithZbar(const std::vector<std::string>& files);
// Data Matrix through dmtxread, one file.
std::vector<std::string> ScanWithDmtx(const std::string& file);

// Page sizes in points, one per page, from pdfinfo.
struct PageSize {
  double width = 0;
  double height = 0;
};
std::vector<PageSize> PdfPageSizes(const std::string& pdf);

// The fonts of a PDF as pdffonts lists them: name and whether embedded.
struct PdfFont {
  std::string name;
  bool embedded = false;
};
std::vector<PdfFont> PdfFonts(const std::string& pdf);

// The text of a PDF as pdftotext extracts it.
std::string PdfText(const std::string& pdf);

}  // namespace quillmark::test
