#include "about_dialog.h"

#include <QPushButton>

#include "app_icon.h"
#include "dialog_template.h"
#include "help.h"

namespace quillmark {
namespace {

using K = ControlKind;

constexpr TemplateControl kAboutControls[] = {
    {K::Icon, -1, "", 11, 17, 20, 20, "iconLabel"},
    {K::Label, -1, QT_TRANSLATE_NOOP("quillmark::CAboutDialog", "Quillmark 1.0 版"), 40, 10, 119, 8,
     "versionLabel"},
    {K::Label, -1, QT_TRANSLATE_NOOP("quillmark::CAboutDialog", "固件镜像由产线固件组提供"), 38, 25,
     149, 8, "creditLabel"},
    {K::DefaultButton, 1, QT_TRANSLATE_NOOP("quillmark::CAboutDialog", "确定"), 178, 7, 50, 14,
     "okButton"},
};

}  // namespace

CAboutDialog::CAboutDialog(QWidget* pParent) : QDialog(pParent) {
  setWindowIcon(ApplicationIcon());
  const DialogBaseUnits units = ApplyDialogTemplate(
      *this, QT_TRANSLATE_NOOP("quillmark::CAboutDialog", "关于 Quillmark"), 235, 55);
  QPushButton* ok = nullptr;
  for (const TemplateControl& control : kAboutControls) {
    QWidget* widget = AddTemplateControl(*this, units, control);
    if (control.id == 1)
      ok = qobject_cast<QPushButton*>(widget);
  }
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  ok->setFocus();
  InstallHelp(*this, kAboutDialogHelpTopic);
}

}  // namespace quillmark
