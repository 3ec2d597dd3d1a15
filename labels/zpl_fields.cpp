#include "zpl_fields.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "label_font.h"

namespace quillmark::labels {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// A run of one hexadecimal digit: the count in ZPL's letters (g–y for 20
// to 380 by twenties, G–Y for 1 to 19) before the digit. Runs are cut into
// pieces of at most 399, which every reader sums the same way, rather than
// counting on how a reader takes a repeated z.
void PutRun(std::string& out, char digit, std::size_t count) {
  constexpr std::size_t kLongest = 399;
  while (count > 0) {
    const std::size_t n = std::min(count, kLongest);
    if (n / 20 > 0)
      out += static_cast<char>('g' + n / 20 - 1);
    if (n % 20 > 0 && n > 1)
      out += static_cast<char>('G' + n % 20 - 1);
    out += digit;
    count -= n;
  }
}

// One row's hexadecimal digits, compressed; ',' ends a row that is only
// zeros from there on. The '!' that ends one with ones is not used: readers
// differ on whether it fills with black dots or with the digit 1.
void PutRow(std::string& out, std::string_view row) {
  const std::size_t last = row.find_last_not_of('0');
  const std::size_t end = last == std::string_view::npos ? 0 : last + 1;
  for (std::size_t at = 0; at < end;) {
    std::size_t next = at;
    while (next < end && row[next] == row[at])
      ++next;
    PutRun(out, row[at], next - at);
    at = next;
  }
  if (end < row.size())
    out += ',';
}

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

DotPicture TitlePicture(const std::string& title, double sizeMm, int dotsPerMillimetre,
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
  DotPicture picture;
  picture.rowBytes = (width + 7) / 8;
  picture.bytes.reserve(static_cast<std::size_t>(picture.rowBytes) *
                        static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    for (int b = 0; b < picture.rowBytes; ++b) {
      unsigned byte = 0;
      for (int bit = 0; bit < 8; ++bit) {
        const int x = b * 8 + bit;
        if (x < width && data[static_cast<std::ptrdiff_t>(y) * stride + x] >= 128)
          byte |= 0x80u >> bit;
      }
      picture.bytes.push_back(static_cast<unsigned char>(byte));
    }
  }
  cairo_surface_destroy(surface);
  return picture;
}

std::string CompressedGraphicData(const DotPicture& picture) {
  const auto width = static_cast<std::size_t>(std::max(picture.rowBytes, 1));
  const std::vector<unsigned char>& bytes = picture.bytes;
  std::string data;
  std::string row;
  std::string above;
  for (std::size_t start = 0; start < bytes.size(); start += width) {
    row.clear();
    for (std::size_t at = start; at < std::min(start + width, bytes.size()); ++at) {
      row += kHex[bytes[at] >> 4];
      row += kHex[bytes[at] & 15];
    }
    row.resize(2 * width, '0');  // a short last row is filled with white dots
    if (start > 0 && row == above)
      data += ':';
    else
      PutRow(data, row);
    above.swap(row);
  }
  return data;
}

StoredGraphic StoreGraphic(const DotPicture& picture) {
  const auto width = static_cast<std::size_t>(std::max(picture.rowBytes, 1));
  const std::size_t total = (picture.bytes.size() + width - 1) / width * width;
  const std::string data = CompressedGraphicData(picture);
  // FNV-1a over the row width and the dots; the name is a letter and seven
  // of its hexadecimal digits, within the eight characters a name may have.
  std::uint32_t hash = 2166136261u;
  const auto mix = [&hash](unsigned char byte) { hash = (hash ^ byte) * 16777619u; };
  for (const char c : std::to_string(width) + ",")
    mix(static_cast<unsigned char>(c));
  for (const unsigned char byte : picture.bytes)
    mix(byte);
  std::string name = "R:Q";
  for (int shift = 24; shift >= 0; shift -= 4)
    name += kHex[(hash >> shift) & 15];
  name += ".GRF";
  return {
      "~DG" + name + "," + std::to_string(total) + "," + std::to_string(width) + "," + data + "\n",
      "^XG" + name + ",1,1^FS"};
}

std::string TextField(const std::string& text, double sizeMm, double left, double baseline,
                      const TextMetrics& metrics, int dotsPerMillimetre) {
  const int height = std::max(1, Dots(sizeMm, dotsPerMillimetre));
  return FieldOrigin(Dots(left, dotsPerMillimetre),
                     Dots(baseline - metrics.Ascent() * sizeMm, dotsPerMillimetre)) +
         "^A0N," + std::to_string(height) + "," + std::to_string(height) + HexField(text) + "\n";
}

}  // namespace quillmark::labels
