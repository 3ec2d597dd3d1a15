#include "label_painter.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "interface_text.h"
#include "text_metrics.h"

namespace quillmark::labels {
namespace {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

// One bit per module: the PDF gets a small one-bit stencil, drawn with
// hard module edges at any scale.
Surface ModuleMask(const ModuleGrid& grid) {
  Surface mask(cairo_image_surface_create(CAIRO_FORMAT_A1, grid.width, grid.height));
  cairo_surface_flush(mask.get());
  unsigned char* data = cairo_image_surface_get_data(mask.get());
  const int stride = cairo_image_surface_get_stride(mask.get());
  std::memset(data, 0, static_cast<std::size_t>(stride) * grid.height);
  for (int y = 0; y < grid.height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < grid.width; ++x) {
      // A1 pixels fill 32-bit words from their least significant bit on
      // little-endian machines, from the most significant on big-endian.
      if (grid.IsDark(x, y)) {
        const int bit = std::endian::native == std::endian::little ? x % 32 : 31 - x % 32;
        row[x / 32] |= std::uint32_t{1} << bit;
      }
    }
  }
  cairo_surface_mark_dirty(mask.get());
  return mask;
}

std::string Millimetres(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

}  // namespace

LabelPainter::LabelPainter(const LabelDesign& design, cairo_font_face_t* face, std::string title)
    : m_design(design), m_face(face), m_title(std::move(title)) {}

std::string LabelPainter::Paint(cairo_t* cr, double left, double top, const DeviceLabel& device,
                                const EncodedCode& code, const std::string& layoutName) const {
  if (!code.grid)
    return Fill({"无法生成%1：%2：%3", "Cannot make the %1: %2: %3"},
                {CodeKindName(m_design.kind), device.fileName, code.error});
  const std::optional<CodePlacement> place = PlaceCode(m_design, *code.grid);
  if (!place) {
    return Fill(
        {"条码太密，%1 标签放不下：%2 的 %3 在模块 %4 毫米时需要 %5 毫米宽，标签上只有 %6 毫米！",
         "The code is too dense for a %1 label: the %3 of %2 needs %5 mm at a module of "
         "%4 mm, and the label has %6 mm."},
        {layoutName, device.fileName, CodeKindName(m_design.kind), Millimetres(kMinModule),
         Millimetres(NeededWidth(*code.grid)), Millimetres(m_design.codeWidth)});
  }
  cairo_save(cr);
  cairo_translate(cr, left, top);
  cairo_set_source_rgb(cr, 0, 0, 0);
  PaintCode(cr, *code.grid, *place);
  PaintText(cr, device);
  cairo_restore(cr);
  return {};
}

void LabelPainter::PaintCode(cairo_t* cr, const ModuleGrid& grid,
                             const CodePlacement& place) const {
  const Surface mask = ModuleMask(grid);
  cairo_save(cr);
  cairo_translate(cr, place.left, place.top);
  cairo_scale(cr, place.module, place.height / grid.height);
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(mask.get());
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
  cairo_mask(cr, pattern);
  cairo_pattern_destroy(pattern);
  cairo_restore(cr);
}

void LabelPainter::PaintText(cairo_t* cr, const DeviceLabel& device) const {
  const LabelDesign& d = m_design;
  cairo_set_font_face(cr, m_face);
  ApplyUnhintedFontOptions(cr);
  for (std::size_t i = 0; i < device.addresses.size(); ++i) {
    const bool first = i == 0;
    const double size = first ? d.firstSize : d.otherSize;
    const double baseline =
        first ? d.firstBaseline : d.otherBaseline + static_cast<double>(i - 1) * d.otherStep;
    ShowLine(cr, device.addresses[i], size, d.textLeft, d.textWidth, baseline, d.centredText);
  }
  const std::string footer = FooterText(m_title, device.fileName);
  if (d.centredText)
    ShowLine(cr, footer, d.footerSize, kLabelPadding, d.labelWidth - 2 * kLabelPadding,
             d.footerBaseline, true);
  else
    ShowLine(cr, footer, d.footerSize, d.footerLeft, d.labelWidth - kLabelPadding - d.footerLeft,
             d.footerBaseline, false);
}

// A line longer than the design planned for (a file name of another form)
// is set smaller rather than run off the label.
void LabelPainter::ShowLine(cairo_t* cr, const std::string& text, double size, double left,
                            double width, double baseline, bool centred) const {
  cairo_set_font_size(cr, size);
  cairo_text_extents_t extents{};
  cairo_text_extents(cr, text.c_str(), &extents);
  if (extents.x_advance > width) {
    size *= width / extents.x_advance;
    cairo_set_font_size(cr, size);
    cairo_text_extents(cr, text.c_str(), &extents);
  }
  const double x = centred ? left + (width - extents.x_advance) / 2 : left;
  cairo_move_to(cr, x, baseline);
  cairo_show_text(cr, text.c_str());
}

}  // namespace quillmark::labels
