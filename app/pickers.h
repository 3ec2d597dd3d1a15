#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

namespace quillmark {

// The two choosers the main dialog opens. Each returns the chosen path,
// or nothing when the user cancelled. Tests put their own in place.
struct DialogPickers {
  std::function<std::optional<QString>(QWidget* owner)> chooseImage;
  std::function<std::optional<QString>(QWidget* owner)> chooseDirectory;
};

// An open-file dialog offering "Image File(*.img;*.bin)", with the
// platform's own title; the file need not exist.
std::optional<QString> ChooseImageFile(QWidget* owner);

// A directory chooser titled "修改保存目录" in which a folder may also be
// typed.
std::optional<QString> ChooseOutputDirectory(QWidget* owner);

DialogPickers PlatformPickers();

}  // namespace quillmark
