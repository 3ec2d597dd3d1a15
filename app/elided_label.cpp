#include "elided_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>
#include <QToolTip>

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

bool ElidedLabel::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip)
    return QLabel::event(event);
  if (IsElided()) {
    // Escaped, so a path that looks like markup shows as it stands.
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(),
                       Qt::convertFromPlainText(text(), Qt::WhiteSpaceNoWrap), this);
  } else {
    QToolTip::hideText();
  }
  return true;
}

}  // namespace quillmark
