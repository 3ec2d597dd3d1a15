#include "elided_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>
#include <QToolTip>
#include <algorithm>

namespace quillmark {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
}

// Where QLabel puts its text: inside the margin, and indented by half an
// "x" when the label has a frame and no indent of its own.
QRect ElidedLabel::TextArea() const {
  QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  int shift = indent();
  if (shift < 0 && frameWidth() > 0)
    shift = fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 - margin();
  if (shift > 0) {
    const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
    if (align & Qt::AlignLeft)
      area.setLeft(area.left() + shift);
    if (align & Qt::AlignRight)
      area.setRight(area.right() - shift);
  }
  return area;
}

QString ElidedLabel::ShownText() const {
  return fontMetrics().elidedText(text(), Qt::ElideMiddle, TextArea().width());
}

void ElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawFrame(&painter);
  // No mnemonic flag: an "&" in a path is drawn as it stands.
  style()->drawItemText(&painter, TextArea(),
                        QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                        isEnabled(), ShownText(), foregroundRole());
}

QStringList ElidedLabel::ToolTipLines() const {
  const QFontMetrics metrics(QToolTip::font());
  const int width = std::max(TextArea().width(), metrics.averageCharWidth());
  const QString whole = text();
  QStringList lines;
  QString line;
  for (qsizetype at = 0; at < whole.size();) {
    // A character outside the basic plane is never split in two.
    const qsizetype length = whole.at(at).isHighSurrogate() && at + 1 < whole.size() ? 2 : 1;
    const QString next = whole.mid(at, length);
    if (!line.isEmpty() && metrics.horizontalAdvance(line + next) > width) {
      lines << line;
      line.clear();
    }
    line += next;
    at += length;
  }
  if (!line.isEmpty())
    lines << line;
  return lines;
}

bool ElidedLabel::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip)
    return QLabel::event(event);
  if (IsElided()) {
    // Escaped, so a path that looks like markup shows as it stands, and
    // kept from wrapping again: the lines are already as wide as the label.
    QStringList lines;
    for (const QString& line : ToolTipLines())
      lines << line.toHtmlEscaped();
    const QString html =
        QStringLiteral("<p style='white-space:pre'>%1</p>").arg(lines.join(QStringLiteral("<br>")));
    QToolTip::showText(mapToGlobal(QPoint(0, height())), html, this, rect());
  } else {
    QToolTip::hideText();
  }
  return true;
}

}  // namespace quillmark
