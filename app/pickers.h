#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

namespace quillmark {

// The two choosers the main dialog opens. Tests put their own in place.
struct DialogPickers {
  // Modal, owned by the dialog: the chosen path, or nothing on a cancel.
  std::function<std::optional<QString>(QWidget* owner)> chooseImage;
  // Without an owner: opens the chooser and returns at once; chosen gets
  // the folder the user confirms, and nothing is called on a cancel.
  std::function<void(QDialog& dialog, std::function<void(const QString&)> chosen)> chooseDirectory;
};

// An open-file dialog offering "Image File(*.img;*.bin)", with the
// platform's own title, opening in the current directory; the file need
// not exist.
std::optional<QString> ChooseImageFile(QWidget* owner);

DialogPickers PlatformPickers();

}  // namespace quillmark
