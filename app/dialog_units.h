#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace quillmark {

// A dialog font's base units: dialog units are quarters of the average
// character width across and eighths of the character height down.
struct DialogBaseUnits {
  int averageCharWidth = 0;
  int charHeight = 0;
};

// Measured the way the classic dialog manager does: the average width of
// the 52 Latin letters, rounded, and the font's full height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// The font every dialog of the tool asks for: 宋体 at 9 points, falling
// back to an installed CJK font so no glyph shows as a box.
QFont DialogFont();

// a × b / c rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c);

QRect DialogRectToPixels(const DialogBaseUnits& units, int x, int y, int width, int height);
QSize DialogSizeToPixels(const DialogBaseUnits& units, int width, int height);

}  // namespace quillmark
