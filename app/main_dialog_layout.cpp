#include "main_dialog_layout.h"

#include <algorithm>

#include "batch_limits.h"
#include "dialog_language.h"
#include "dialog_template.h"
#include "dialog_texts.h"
#include "run_progress.h"

namespace quillmark {
namespace {

using K = ControlKind;
namespace T = dialog_text;

// Template order is also the tab order.
constexpr TemplateControl kMainDialogControls[] = {
    {K::DefaultButton, 1, &T::kStart, 253, 53, 50, 35, "startButton"},
    {K::Label, -1, &T::kImageFileCaption, 16, 14, 41, 8, "imageFileCaption"},
    {K::SunkenLabel, 1001, &T::kNoImageChosen, 58, 13, 191, 12, "imagePathLabel"},
    {K::Button, 1000, &T::kChooseFile, 253, 12, 50, 14, "chooseImageButton"},
    {K::Edit, 1002, nullptr, 69, 54, 122, 14, "startMacEdit"},
    {K::Label, -1, &T::kStartMacCaption, 15, 57, 53, 8, "startMacCaption"},
    {K::Label, -1, &T::kDeviceCountCaption, 16, 77, 41, 8, "deviceCountCaption"},
    {K::Edit, 1003, nullptr, 69, 76, 40, 14, "deviceCountEdit"},
    {K::Label, -1, &T::kStatusCaption, 15, 96, 25, 8, "statusCaption"},
    {K::ElidedLabel, 1004, nullptr, 46, 96, 240, 8, "statusLabel"},
    {K::SunkenLabel, 1005, nullptr, 57, 31, 191, 12, "outputDirectoryLabel"},
    {K::Label, -1, &T::kOutputDirectoryCaption, 16, 33, 41, 8, "outputDirectoryCaption"},
    {K::Button, 1006, &T::kChooseFolder, 253, 30, 50, 14, "chooseDirectoryButton"},
    {K::Edit, 1007, nullptr, 185, 75, 40, 14, "macsPerDeviceEdit"},
    {K::Label, -1, &T::kMacsPerDeviceCaption, 122, 78, 61, 8, "macsPerDeviceCaption"},
};

// The English captions are longer: the caption column is wider, the
// fields start further right and end where the Chinese ones end.
constexpr TemplatePlacement kEnglishPlacements[] = {
    {"imageFileCaption", 16, 14, 55, 8},       {"imagePathLabel", 72, 13, 177, 12},
    {"outputDirectoryCaption", 16, 33, 55, 8}, {"outputDirectoryLabel", 72, 31, 177, 12},
    {"startMacCaption", 16, 57, 55, 8},        {"startMacEdit", 72, 54, 122, 14},
    {"deviceCountCaption", 16, 77, 55, 8},     {"deviceCountEdit", 72, 76, 40, 14},
    {"macsPerDeviceCaption", 118, 78, 65, 8},  {"statusCaption", 15, 96, 30, 8},
    {"statusLabel", 46, 96, 240, 8},
};

// The tool's own additions, in a row under the status line inside the
// template's height: a thin progress bar, and at its end, under the
// buttons' column, how many devices failed. The count keeps its right
// edge under the buttons and grows to the left, taking from the bar, as
// far as its widest text needs.
constexpr int kProgressX = 15, kProgressY = 107, kProgressWidth = 234, kProgressHeight = 4;
constexpr int kFailuresX = 253, kFailuresY = 105, kFailuresWidth = 50, kFailuresHeight = 8;
constexpr int kGap = 4;

QRect FailureCountRect(const DialogBaseUnits& units, const QLabel& label) {
  QRect rect = DialogRectToPixels(units, kFailuresX, kFailuresY, kFailuresWidth, kFailuresHeight);
  int widest = 0;
  for (const QString& text : WidestFailureCountTexts())
    widest = std::max(widest, label.fontMetrics().horizontalAdvance(text));
  const int needed = widest + 2 * label.margin() + 2 * label.frameWidth() + 2;
  if (needed > rect.width())
    rect.setLeft(rect.right() + 1 - needed);
  return rect;
}

template <typename Widget>
Widget* Find(QDialog& dialog, const char* name) {
  return dialog.findChild<Widget*>(QString::fromUtf8(name), Qt::FindDirectChildrenOnly);
}

}  // namespace

MainDialogControls BuildMainDialogTemplate(QDialog& dialog) {
  const DialogBaseUnits units = ApplyDialogTemplate(dialog, QStringLiteral("Quillmark"), 320, 119);
  for (const TemplateControl& control : kMainDialogControls) {
    AddTemplateControl(dialog, units, control);
  }
  if (DialogLanguage() == InterfaceLanguage::English)
    PlaceTemplateControls(dialog, units, kEnglishPlacements);
  MainDialogControls controls;
  controls.startButton = Find<QPushButton>(dialog, "startButton");
  controls.chooseImageButton = Find<QPushButton>(dialog, "chooseImageButton");
  controls.imagePathLabel = Find<QLabel>(dialog, "imagePathLabel");
  controls.startMacEdit = Find<QLineEdit>(dialog, "startMacEdit");
  controls.deviceCountEdit = Find<QLineEdit>(dialog, "deviceCountEdit");
  controls.statusLabel = Find<QLabel>(dialog, "statusLabel");
  controls.outputDirectoryLabel = Find<QLabel>(dialog, "outputDirectoryLabel");
  controls.chooseDirectoryButton = Find<QPushButton>(dialog, "chooseDirectoryButton");
  controls.macsPerDeviceEdit = Find<QLineEdit>(dialog, "macsPerDeviceEdit");

  controls.failureCountLabel = new QLabel(&dialog);
  controls.failureCountLabel->setObjectName(QStringLiteral("failureCountLabel"));
  controls.failureCountLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  const QRect failures = FailureCountRect(units, *controls.failureCountLabel);
  controls.failureCountLabel->setGeometry(failures);
  controls.failureCountLabel->hide();

  controls.progressBar = new QProgressBar(&dialog);
  controls.progressBar->setObjectName(QStringLiteral("progressBar"));
  controls.progressBar->setTextVisible(false);
  QRect bar = DialogRectToPixels(units, kProgressX, kProgressY, kProgressWidth, kProgressHeight);
  bar.setRight(
      std::min(bar.right(), failures.left() - DialogRectToPixels(units, 0, 0, kGap, 0).width()));
  controls.progressBar->setGeometry(bar);
  controls.progressBar->hide();
  return controls;
}

}  // namespace quillmark
