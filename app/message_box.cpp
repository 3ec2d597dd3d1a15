#include "message_box.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QStyle>
#include <algorithm>

#include "dialog_units.h"

namespace quillmark {
namespace {

// Half the main dialog's width, in dialog units: a box never looks like a
// scrap, whatever its caption and text.
constexpr int kMinimumWidth = 160;

// The window manager draws the caption; Qt only knows the title bar font
// the platform reports and the style's title bar height.
int WidthForTheCaption(const QMessageBox& box) {
  const int minimum = DialogSizeToPixels(BaseUnitsOf(box.font()), kMinimumWidth, 0).width();
  return MessageBoxWidthFor(box.windowTitle(), QApplication::font("QMdiSubWindowTitleBar"),
                            box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box),
                            minimum);
}

}  // namespace

QString ApplicationNameFor(const QString& executablePath) {
  return QFileInfo(executablePath).completeBaseName();
}

int MessageBoxWidthFor(const QString& caption, const QFont& titleFont, int titleBarHeight,
                       int minimum) {
  QFont bold = titleFont;
  bold.setBold(true);
  const int text = std::max(QFontMetrics(titleFont).horizontalAdvance(caption),
                            QFontMetrics(bold).horizontalAdvance(caption));
  return std::max(minimum, text + 5 * titleBarHeight);
}

void ShowMessage(QWidget* owner, const QString& text, MessageStyle style) {
  QMessageBox box(owner);
  box.setWindowTitle(QCoreApplication::applicationName());
  box.setTextFormat(Qt::PlainText);
  box.setText(text);
  box.setStandardButtons(QMessageBox::Ok);
  if (style == MessageStyle::Warning) {
    box.setIcon(QMessageBox::Warning);
    box.setWindowModality(Qt::ApplicationModal);
  } else {
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowModality(Qt::WindowModal);
  }
  // The box sizes itself to its layout, so the width goes in as a row of
  // its own; added last, since setting the icon rebuilds the layout.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(
        new QSpacerItem(WidthForTheCaption(box), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
        grid->rowCount(), 0, 1, grid->columnCount());
  }
  box.exec();
}

}  // namespace quillmark
