#include "zpl_fields.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "label_font.h"

namespace quillmark::labels {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

}  // namespace

int Dots(double millimetres, int dotsPerMillimetre) {
  return static_cast<int>(std::lround(millimetres * dotsPerMillimetre));
}

std::string FieldOrigin(int x, int y) {
  return "^FO" + std::to_string(x) + "," + std::to_string(y);
}

std::string HexField(std::string_view data) {
  std::string field = "^FH_^FD";
  for (const char c : data) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7f || c == '^' || c == '~' || c == '_') {
      field += '_';
      field += kHex[byte >> 4];
      field += kHex[byte & 15];
    } else {
      field += c;
    }
  }
  return field + "^FS";
}

std::string TitleGraphic(const std::string& title, double sizeMm, int dotsPerMillimetre,
                         cairo_font_face_t* face, const TextMetrics& metrics) {
  const double size = sizeMm * dotsPerMillimetre;
  const int width = static_cast<int>(std::ceil(metrics.Advance(title) * size)) + 1;
  const int height = static_cast<int>(std::ceil(metrics.LineHeight() * size)) + 1;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_set_font_face(cr, face);
  ApplyUnhintedFontOptions(cr);
  cairo_set_font_size(cr, size);
  cairo_move_to(cr, 0, metrics.Ascent() * size);
  cairo_show_text(cr, title.c_str());
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const int rowBytes = (width + 7) / 8;
  std::string hex;
  for (int y = 0; y < height; ++y) {
    for (int b = 0; b < rowBytes; ++b) {
      unsigned byte = 0;
      for (int bit = 0; bit < 8; ++bit) {
        const int x = b * 8 + bit;
        if (x < width && data[static_cast<std::ptrdiff_t>(y) * stride + x] >= 128)
          byte |= 0x80u >> bit;
      }
      hex += kHex[byte >> 4];
      hex += kHex[byte & 15];
    }
  }
  cairo_surface_destroy(surface);
  const int total = rowBytes * height;
  return "^GFA," + std::to_string(total) + "," + std::to_string(total) + "," +
         std::to_string(rowBytes) + "," + hex + "^FS";
}

std::string TextField(const std::string& text, double sizeMm, double left, double baseline,
                      const TextMetrics& metrics, int dotsPerMillimetre) {
  const int height = std::max(1, Dots(sizeMm, dotsPerMillimetre));
  return FieldOrigin(Dots(left, dotsPerMillimetre),
                     Dots(baseline - metrics.Ascent() * sizeMm, dotsPerMillimetre)) +
         "^A0N," + std::to_string(height) + "," + std::to_string(height) + HexField(text) + "\n";
}

}  // namespace quillmark::labels
