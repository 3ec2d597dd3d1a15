#include "dialog_units.h"

#include <QFontMetrics>
#include <QStringList>
#include <cstdint>

namespace quillmark {

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return DialogBaseUnits{(letters / 26 + 1) / 2, metrics.height()};
}

QFont DialogFont() {
  QFont font;
  font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                    QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                    QStringLiteral("Droid Sans Fallback")});
  font.setPointSize(9);
  return font;
}

int MulDiv(int a, int b, int c) {
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const std::int64_t half = (c < 0 ? -c : c) / 2;
  const std::int64_t rounded = (product < 0) == (c < 0) ? product + half : product - half;
  return static_cast<int>(rounded / c);
}

QRect DialogRectToPixels(const DialogBaseUnits& units, int x, int y, int width, int height) {
  return QRect(MulDiv(x, units.averageCharWidth, 4), MulDiv(y, units.charHeight, 8),
               MulDiv(width, units.averageCharWidth, 4), MulDiv(height, units.charHeight, 8));
}

QSize DialogSizeToPixels(const DialogBaseUnits& units, int width, int height) {
  return QSize(MulDiv(width, units.averageCharWidth, 4), MulDiv(height, units.charHeight, 8));
}

}  // namespace quillmark
