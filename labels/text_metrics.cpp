#include "text_metrics.h"

#include <string>

namespace quillmark::labels {
namespace {

// Measured at a size where rounding inside the font machinery is lost.
constexpr double kMeasureSize = 100.0;

}  // namespace

void ApplyUnhintedFontOptions(cairo_t* cr) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

TextMetrics::TextMetrics(cairo_font_face_t* face)
    : m_surface(cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1)), m_cr(cairo_create(m_surface)) {
  cairo_set_font_face(m_cr, face);
  cairo_set_font_size(m_cr, kMeasureSize);
  ApplyUnhintedFontOptions(m_cr);
  cairo_font_extents_t extents{};
  cairo_font_extents(m_cr, &extents);
  m_ascent = extents.ascent / kMeasureSize;
  m_descent = extents.descent / kMeasureSize;
}

TextMetrics::~TextMetrics() {
  cairo_destroy(m_cr);
  cairo_surface_destroy(m_surface);
}

double TextMetrics::Advance(std::string_view utf8) const {
  const std::string text(utf8);
  cairo_text_extents_t extents{};
  cairo_text_extents(m_cr, text.c_str(), &extents);
  return extents.x_advance / kMeasureSize;
}

}  // namespace quillmark::labels
