#pragma once

#include <cairo.h>

#include <string>
#include <string_view>
#include <vector>

#include "text_metrics.h"

namespace quillmark::labels {

// Millimetres on the printer's dot grid.
int Dots(double millimetres, int dotsPerMillimetre);

// ^FO: where the next field starts, in dots.
std::string FieldOrigin(int x, int y);

// Field data in hexadecimal escapes (^FH), so a line break inside a code's
// payload reaches the printer as a byte, never as a ZPL line end.
std::string HexField(std::string_view data);

// A one-bit picture of whole dots, rowBytes a row, dark dots set, the
// leftmost in each byte's top bit.
struct DotPicture {
  std::vector<unsigned char> bytes;
  int rowBytes = 1;
};

// The picture's bytes in ZPL's ASCII compression: hexadecimal digits with
// repeat counts, a row's trailing zeros cut short (','), a row like the one
// above it as ':'.
std::string CompressedGraphicData(const DotPicture& picture);

// The picture stored once in the printer's memory (~DG, compressed) under a
// name made from its dots, and recalled by that name on each label (^XG).
// A label sent without the store before it on the same power cycle of the
// printer prints without the picture, never with another one: a different
// picture gets a different name.
struct StoredGraphic {
  std::string store;   // ~DG, sent ahead of the first label
  std::string recall;  // ^XG … ^FS, on each label after its ^FO
};
StoredGraphic StoreGraphic(const DotPicture& picture);

// The title drawn by cairo in the label font on the printer's dot grid.
DotPicture TitlePicture(const std::string& title, double sizeMm, int dotsPerMillimetre,
                        cairo_font_face_t* face, const TextMetrics& metrics);

// ^A0 text whose cap height stands where the design's font puts it.
std::string TextField(const std::string& text, double sizeMm, double left, double baseline,
                      const TextMetrics& metrics, int dotsPerMillimetre);

}  // namespace quillmark::labels
