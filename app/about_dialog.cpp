#include "about_dialog.h"

#include <QPushButton>

#include "app_icon.h"
#include "dialog_language.h"
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

// The English credit line is longer: the box is wider, the OK button
// keeps its distance from the right edge.
constexpr int kWidth = 235, kEnglishWidth = 292, kHeight = 55;
constexpr TemplatePlacement kEnglishPlacements[] = {
    {"creditLabel", 38, 25, 190, 8},
    {"okButton", 235, 7, 50, 14},
};

}  // namespace

CAboutDialog::CAboutDialog(QWidget* pParent) : QDialog(pParent) {
  setWindowIcon(ApplicationIcon());
  const bool english = DialogLanguage() == InterfaceLanguage::English;
  const DialogBaseUnits units =
      ApplyDialogTemplate(*this, QT_TRANSLATE_NOOP("quillmark::CAboutDialog", "关于 Quillmark"),
                          english ? kEnglishWidth : kWidth, kHeight);
  QPushButton* ok = nullptr;
  for (const TemplateControl& control : kAboutControls) {
    QWidget* widget = AddTemplateControl(*this, units, control);
    if (control.id == 1)
      ok = qobject_cast<QPushButton*>(widget);
  }
  if (english)
    PlaceTemplateControls(*this, units, kEnglishPlacements);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  ok->setFocus();
  InstallHelp(*this, kAboutDialogHelpTopic);
}

}  // namespace quillmark
