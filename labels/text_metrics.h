#pragma once

#include <cairo.h>

#include <string_view>

namespace quillmark::labels {

// Sizes of text set in one font, for a font size of 1 (any unit): the
// label design scales them to the size it chooses.
class TextMetrics {
 public:
  explicit TextMetrics(cairo_font_face_t* face);
  ~TextMetrics();
  TextMetrics(const TextMetrics&) = delete;
  TextMetrics& operator=(const TextMetrics&) = delete;

  double Advance(std::string_view utf8) const;
  double Ascent() const { return m_ascent; }
  double LineHeight() const { return m_ascent + m_descent; }

 private:
  cairo_surface_t* m_surface;
  cairo_t* m_cr;
  double m_ascent = 0;
  double m_descent = 0;
};

// The same options wherever the font is used, so that what was measured
// is what is drawn: outlines at their true size, no snapping to pixels.
void ApplyUnhintedFontOptions(cairo_t* cr);

}  // namespace quillmark::labels
