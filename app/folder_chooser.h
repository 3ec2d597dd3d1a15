#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>

#include "folder_browser.h"

namespace quillmark {

// The output folder's chooser, titled "修改保存目录". It is not modal: the
// dialog that opened it stays usable while it is open. Each opening starts
// at the top of the folder tree. It closes when that dialog ends, and goes
// with it.
class FolderChooser : public QObject {
  Q_OBJECT

 public:
  explicit FolderChooser(QDialog& dialog);
  ~FolderChooser() override;

  // Opens the chooser, or brings the open one forward, and returns at
  // once. chosen gets the folder the user confirms; a cancel calls nothing.
  void Open(std::function<void(const QString&)> chosen);

  // The dialog's chooser, made on first use.
  static FolderChooser& Of(QDialog& dialog);

 private:
  void PlaceClearOfTheDialog();
  void OnFinished(int result);

  QDialog* m_dialog;
  QPointer<FolderBrowser> m_window;
  std::function<void(const QString&)> m_chosen;
};

}  // namespace quillmark
