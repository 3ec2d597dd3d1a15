#include "dialog_template.h"

#include "app_icon.h"
#include "dialog_language.h"
#include "elided_label.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quillmark {
namespace {

QWidget* CreateWidget(QDialog& dialog, const TemplateControl& control) {
  const QString text = TemplateText(control.text);
  switch (control.kind) {
    case ControlKind::DefaultButton:
    case ControlKind::Button: {
      auto* button = new QPushButton(text, &dialog);
      // A focused button takes the default role, so Enter presses the
      // button the user is on; elsewhere Enter presses the default one.
      button->setAutoDefault(true);
      button->setDefault(control.kind == ControlKind::DefaultButton);
      return button;
    }
    case ControlKind::Label: {
      auto* label = new QLabel(text, &dialog);
      label->setTextFormat(Qt::PlainText);
      return label;
    }
    case ControlKind::ElidedLabel:
    case ControlKind::SunkenLabel: {
      auto* label = new ElidedLabel(&dialog);
      label->setText(text);
      if (control.kind == ControlKind::SunkenLabel)
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      return label;
    }
    case ControlKind::Edit:
      return new QLineEdit(text, &dialog);
    case ControlKind::Icon: {
      auto* label = new QLabel(&dialog);
      label->setPixmap(ApplicationIcon().pixmap(32, 32));
      return label;
    }
  }
  return nullptr;
}

}  // namespace

QString TemplateText(const InterfaceText* text) {
  if (text == nullptr)
    return QString();
  return DialogText(*text);
}

DialogBaseUnits ApplyDialogTemplate(QDialog& dialog, const QString& title, int width, int height) {
  dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                        Qt::MSWindowsFixedSizeDialogHint);
  dialog.setWindowTitle(title);
  dialog.setFont(DialogFont());
  const DialogBaseUnits units = BaseUnitsOf(dialog.font());
  dialog.setFixedSize(DialogSizeToPixels(units, width, height));
  return units;
}

QWidget* AddTemplateControl(QDialog& dialog, const DialogBaseUnits& units,
                            const TemplateControl& control) {
  QWidget* widget = CreateWidget(dialog, control);
  if (widget == nullptr)
    return nullptr;
  widget->setObjectName(QString::fromUtf8(control.objectName));
  widget->setProperty("controlId", control.id);
  QRect area = DialogRectToPixels(units, control.x, control.y, control.width, control.height);
  if (control.kind == ControlKind::Icon)
    area.setSize(QSize(32, 32));  // an icon keeps its size
  widget->setGeometry(area);
  return widget;
}

void PlaceTemplateControls(QDialog& dialog, const DialogBaseUnits& units,
                           std::span<const TemplatePlacement> placements) {
  for (const TemplatePlacement& placement : placements) {
    auto* widget = dialog.findChild<QWidget*>(QString::fromUtf8(placement.objectName),
                                              Qt::FindDirectChildrenOnly);
    if (widget != nullptr)
      widget->setGeometry(
          DialogRectToPixels(units, placement.x, placement.y, placement.width, placement.height));
  }
}

}  // namespace quillmark
