#pragma once

#include <string>

namespace quillmark::test {

// The label stock as its maker specifies it, in millimetres: what a
// printed sheet must line up with.
struct Stock {
  std::string layout;
  double pageWidth;
  double pageHeight;
  int columns;
  int rows;
  double labelWidth;
  double labelHeight;
  double leftMargin;
  double topMargin;
  double columnPitch;
  double rowPitch;

  int Cells() const { return columns * rows; }
  double Left(int cell) const { return leftMargin + (cell % columns) * columnPitch; }
  double Top(int cell) const { return topMargin + (cell / columns) * rowPitch; }
};

// A4, 24 labels of 70 × 37 mm edge to edge across, 0.5 mm top and bottom.
inline const Stock kA4 = {"a4-3x8", 210, 297, 3, 8, 70, 37, 0, 0.5, 70, 37};
// US Letter, 30 labels of 2-5/8 × 1 in: 3/16 in sides, 1/2 in top, 1/8 in gaps.
inline const Stock kLetter = {"letter-3x10", 215.9,  279.4, 3,     10,  66.675,
                              25.4,          4.7625, 12.7,  69.85, 25.4};
// One 50 × 25 mm label per page.
inline const Stock kRoll = {"roll-50x25", 50, 25, 1, 1, 50, 25, 0, 0, 50, 25};

}  // namespace quillmark::test
