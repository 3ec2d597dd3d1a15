#pragma once

#include <cairo.h>

#include <string>
#include <string_view>

#include "text_metrics.h"

namespace quillmark::labels {

// Millimetres on the printer's dot grid.
int Dots(double millimetres, int dotsPerMillimetre);

// ^FO: where the next field starts, in dots.
std::string FieldOrigin(int x, int y);

// Field data in hexadecimal escapes (^FH), so a line break inside a code's
// payload reaches the printer as a byte, never as a ZPL line end.
std::string HexField(std::string_view data);

// The title as a one-bit picture of whole dots, drawn by cairo in the
// label font: ^GFA with its bytes in hexadecimal.
std::string TitleGraphic(const std::string& title, double sizeMm, int dotsPerMillimetre,
                         cairo_font_face_t* face, const TextMetrics& metrics);

// ^A0 text whose cap height stands where the design's font puts it.
std::string TextField(const std::string& text, double sizeMm, double left, double baseline,
                      const TextMetrics& metrics, int dotsPerMillimetre);

}  // namespace quillmark::labels
