#pragma once

#include <QLabel>
#include <QRect>
#include <QStringList>

namespace quillmark {

// A label for a text that may not fit, such as a path or the status line:
// what does not fit is left out in the middle, so the beginning and the
// end (a file's name) stay in view, and the whole text is the tooltip.
// text() is always the whole text, shown as it stands (no markup, no
// mnemonic).
class ElidedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ElidedLabel(QWidget* parent = nullptr);

  // The text as the label draws it in its current width.
  QString ShownText() const;
  bool IsElided() const { return ShownText() != text(); }
  // The whole text in lines as wide as the label at most, in the
  // tooltip's font: the tooltip opens under the label in these lines.
  QStringList ToolTipLines() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QRect TextArea() const;
};

}  // namespace quillmark
