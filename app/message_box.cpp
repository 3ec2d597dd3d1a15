#include "message_box.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace quillmark {

QString ApplicationNameFor(const QString& executablePath) {
  return QFileInfo(executablePath).completeBaseName();
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
  box.exec();
}

}  // namespace quillmark
