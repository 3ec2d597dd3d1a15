#include "about_dialog.h"

#include <QPushButton>

#include "app_icon.h"
#include "dialog_language.h"
#include "dialog_template.h"
#include "dialog_texts.h"
#include "help.h"

namespace quillmark {
namespace {

using K = ControlKind;
namespace T = dialog_text;

constexpr TemplateControl kAboutControls[] = {
    {K::Icon, -1, nullptr, 11, 17, 20, 20, "iconLabel"},
    {K::Label, -1, &T::kAboutVersion, 40, 10, 119, 8, "versionLabel"},
    {K::Label, -1, &T::kAboutCredit, 38, 25, 149, 8, "creditLabel"},
    {K::DefaultButton, 1, &T::kAboutOk, 178, 7, 50, 14, "okButton"},
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
  const DialogBaseUnits units = ApplyDialogTemplate(*this, DialogText(T::kAboutTitle),
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
