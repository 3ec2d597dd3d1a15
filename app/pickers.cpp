#include "pickers.h"

#include "folder_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>

namespace quillmark {
namespace {

constexpr char kImageFilter[] = "Image File(*.img;*.bin)";

std::optional<QString> RunForOnePath(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted)
    return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty())
    return std::nullopt;
  return chosen.front();
}

}  // namespace

std::optional<QString> ChooseImageFile(QWidget* owner) {
  QFileDialog dialog(owner);
  // Qt's own dialog on every desktop, so the filter below behaves alike.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  // Where the last choice moved the current directory, never a folder
  // remembered elsewhere: the tool keeps no state.
  dialog.setDirectory(QDir::currentPath());
  dialog.setNameFilter(QString::fromUtf8(kImageFilter));
  // Qt separates the patterns of a filter with spaces and would read
  // "*.img;*.bin" as one pattern; the filter keeps its text and matches
  // both.
  if (auto* model = dialog.findChild<QFileSystemModel*>()) {
    model->setNameFilters({QStringLiteral("*.img"), QStringLiteral("*.bin")});
  }
  return RunForOnePath(dialog);
}

DialogPickers PlatformPickers() {
  return DialogPickers{ChooseImageFile,
                       [](QDialog& dialog, std::function<void(const QString&)> chosen) {
                         FolderChooser::Of(dialog).Open(std::move(chosen));
                       }};
}

}  // namespace quillmark
