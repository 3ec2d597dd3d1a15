#include "zpl_labels.h"

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <thread>

#include "code_ahead.h"
#include "label_design.h"
#include "label_font.h"
#include "label_sheet.h"
#include "label_texts.h"
#include "text_metrics.h"

namespace quillmark::labels {
namespace {

std::vector<std::string> ColonAddresses(const BatchManifest& manifest, std::size_t i) {
  std::vector<std::string> addresses;
  for (const MacAddress& a : DeviceAddresses(manifest.devices[i].first, manifest.macsPerDevice))
    addresses.push_back(a.ToColonText());
  return addresses;
}

// Field data in hexadecimal escapes (^FH), so a line break inside a code's
// payload reaches the printer as a byte, never as a ZPL line end.
std::string HexField(std::string_view data) {
  static constexpr char kHex[] = "0123456789ABCDEF";
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

// The title as a one-bit picture of whole dots, drawn by cairo in the
// label font: ^GFA with its bytes in hexadecimal.
std::string TitleGraphic(const std::string& title, double sizeMm, int dpmm, cairo_font_face_t* face,
                         const TextMetrics& metrics, int* widthDots) {
  const double size = sizeMm * dpmm;
  const int width = static_cast<int>(std::ceil(metrics.Advance(title) * size)) + 1;
  const int height = static_cast<int>(std::ceil(metrics.LineHeight() * size)) + 1;
  *widthDots = width;
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
  static constexpr char kHex[] = "0123456789ABCDEF";
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

int Dots(double millimetres, int dpmm) {
  return static_cast<int>(std::lround(millimetres * dpmm));
}

std::string At(int x, int y) {
  return "^FO" + std::to_string(x) + "," + std::to_string(y);
}

// ^A0 text whose cap height stands where the design's font puts it.
std::string Text(const std::string& text, double sizeMm, double left, double baseline,
                 const TextMetrics& metrics, int dpmm) {
  const int height = std::max(1, Dots(sizeMm, dpmm));
  return At(Dots(left, dpmm), Dots(baseline - metrics.Ascent() * sizeMm, dpmm)) + "^A0N," +
         std::to_string(height) + "," + std::to_string(height) + HexField(text) + "\n";
}

struct Placed {
  int module = 0;  // dots
  int left = 0;    // of the first dark module, dots
  int top = 0;
  int height = 0;  // Code 128 bars, dots
};

// The resolution as the printer is sold and the user gave it: 12 dots a
// millimetre is "300 dpi", not the 304.8 it comes to.
int NominalDpi(int dpmm) {
  switch (dpmm) {
    case 8:
      return 203;
    case 12:
      return 300;
    case 24:
      return 600;
    default:
      return dpmm * 254 / 10;
  }
}

std::string TooDense(const LabelDesign& d, const LabelLayout& layout, const ModuleGrid& grid,
                     const std::string& fileName, int dpmm, int minModule) {
  char text[256];
  std::snprintf(text, sizeof text, "%.2f", grid.width * static_cast<double>(minModule) / dpmm);
  char room[32];
  std::snprintf(room, sizeof room, "%.2f", d.codeWidth);
  return Fill(
      {"条码太密，%1 标签在 %2 dpi 下放不下：%3 的 %4 需要 %5 毫米宽，标签上只有 %6 毫米！",
       "The code is too dense for a %1 label at %2 dpi: the %4 of %3 needs %5 mm, and "
       "the label has %6 mm."},
      {layout.name, std::to_string(NominalDpi(dpmm)), fileName, CodeKindName(d.kind), text, room});
}

std::optional<Placed> PlaceInDots(const LabelDesign& d, const ModuleGrid& grid, int dpmm,
                                  int minModule) {
  const int boxLeft = Dots(d.codeLeft, dpmm);
  const int boxTop = Dots(d.codeTop, dpmm);
  const int boxWidth = static_cast<int>(std::floor(d.codeWidth * dpmm));
  const int boxHeight = static_cast<int>(std::floor(d.codeHeight * dpmm));
  Placed p;
  p.module = boxWidth / grid.width;
  if (IsSquareCode(d.kind))
    p.module = std::min(p.module, boxHeight / grid.height);
  p.height = boxHeight;
  if (p.module < minModule || (!IsSquareCode(d.kind) && p.height < kMinBarHeight * dpmm))
    return std::nullopt;
  int quietX = grid.width;
  int quietY = grid.height;
  for (int y = 0; y < grid.height; ++y)
    for (int x = 0; x < grid.width; ++x)
      if (grid.IsDark(x, y)) {
        quietX = std::min(quietX, x);
        quietY = std::min(quietY, y);
      }
  const int symbolHeight = IsSquareCode(d.kind) ? p.module * grid.height : p.height;
  p.left = boxLeft + (boxWidth - p.module * grid.width) / 2 + quietX * p.module;
  p.top = boxTop + (boxHeight - symbolHeight) / 2 + (IsSquareCode(d.kind) ? quietY * p.module : 0);
  return p;
}

std::string CodeField(const LabelDesign& d, const ModuleGrid& grid, const Placed& p,
                      const std::string& payload) {
  switch (d.kind) {
    case CodeKind::Qr:
      // Level M, automatic data mode.
      return At(p.left, p.top) + "^BQN,2," + std::to_string(p.module) + HexField("MA," + payload);
    case CodeKind::DataMatrix: {
      const std::string side = std::to_string(grid.width - 2);  // less one quiet module a side
      return At(p.left, p.top) + "^BXN," + std::to_string(p.module) + ",200," + side + "," + side +
             HexField(payload);
    }
    case CodeKind::Code128:
      return At(p.left, p.top) + "^BY" + std::to_string(p.module) + "^BCN," +
             std::to_string(p.height) + ",N,N,N,A" + HexField(payload);
  }
  return {};
}

unsigned Helpers() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 1 ? cores - 1 : 1;
}

}  // namespace

int DotsPerMillimetre(int dpi) {
  switch (dpi) {
    case 203:
      return 8;
    case 300:
      return 12;
    case 600:
      return 24;
    default:
      return 0;
  }
}

ZplOutcome MakeZplLabels(const ZplRequest& request, const BatchManifest& manifest) {
  ZplOutcome out;
  const LabelLayout& layout = *request.layout;
  const int dpmm = request.dotsPerMillimetre;
  FontChoice font = FindLabelFont(CharactersShown(request.title));
  if (!font.font) {
    out.error =
        font.invalidText ? std::string(InvalidLabelText()) : MissingCharactersText(font.missing);
    return out;
  }
  const TextMetrics metrics(font.font->face.get());
  const DesignResult design =
      DesignLabel(layout, request.code, manifest.macsPerDevice, request.title, metrics);
  if (!design.design) {
    out.error = design.error;
    return out;
  }
  const LabelDesign& d = *design.design;
  const int minModule = static_cast<int>(std::ceil(kMinModule * dpmm - 1e-9));
  std::string title;
  double fileLeft = d.footerLeft;
  if (!request.title.empty()) {
    int widthDots = 0;
    title = At(Dots(d.footerLeft, dpmm),
               Dots(d.footerBaseline - metrics.Ascent() * d.footerSize, dpmm)) +
            TitleGraphic(request.title, d.footerSize, dpmm, font.font->face.get(), metrics,
                         &widthDots) +
            "\n";
    fileLeft += metrics.Advance(request.title + "  ") * d.footerSize;
  }
  const std::string head = "^XA\n^CI0^PW" + std::to_string(Dots(layout.labelWidth, dpmm)) + "^LL" +
                           std::to_string(Dots(layout.labelHeight, dpmm)) + "^LH0,0\n";
  const std::size_t count = manifest.devices.size();
  CodeAhead codes(
      request.code, count,
      [&](std::size_t i) { return CodePayload(request.code, ColonAddresses(manifest, i)); },
      Helpers());
  for (std::size_t i = 0; i < count; ++i) {
    const std::vector<std::string> addresses = ColonAddresses(manifest, i);
    const std::string fileName = manifest.devices[i].first.ToFileName();
    const EncodedCode code = codes.Take(i);
    if (!code.grid) {
      out.error = Fill({"无法生成%1：%2：%3", "Cannot make the %1: %2: %3"},
                       {CodeKindName(d.kind), fileName, code.error});
      return out;
    }
    const std::optional<Placed> place = PlaceInDots(d, *code.grid, dpmm, minModule);
    if (!place) {
      out.error = TooDense(d, layout, *code.grid, fileName, dpmm, minModule);
      return out;
    }
    out.zpl += head;
    out.zpl += CodeField(d, *code.grid, *place, CodePayload(d.kind, addresses)) + "\n";
    for (std::size_t a = 0; a < addresses.size(); ++a) {
      const bool first = a == 0;
      const double size = first ? d.firstSize : d.otherSize;
      const double baseline =
          first ? d.firstBaseline : d.otherBaseline + static_cast<double>(a - 1) * d.otherStep;
      double left = d.textLeft;
      if (d.centredText)
        left += (d.textWidth - metrics.Advance(addresses[a]) * size) / 2;
      out.zpl += Text(addresses[a], size, left, baseline, metrics, dpmm);
    }
    out.zpl += title;
    out.zpl += Text(fileName, d.footerSize, fileLeft, d.footerBaseline, metrics, dpmm);
    out.zpl += "^PQ1\n^XZ\n";
  }
  out.made = true;
  return out;
}

}  // namespace quillmark::labels
