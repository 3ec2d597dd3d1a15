#include "folder_chooser.h"

namespace quillmark {

FolderChooser::FolderChooser(QDialog& dialog) : QObject(&dialog) {
  connect(&dialog, &QDialog::finished, this, [this] {
    if (m_window)
      m_window->reject();
  });
}

FolderChooser::~FolderChooser() {
  delete m_window;
}

FolderChooser& FolderChooser::Of(QDialog& dialog) {
  auto* chooser = dialog.findChild<FolderChooser*>(QString(), Qt::FindDirectChildrenOnly);
  return chooser != nullptr ? *chooser : *new FolderChooser(dialog);
}

void FolderChooser::Open(std::function<void(const QString&)> chosen) {
  m_chosen = std::move(chosen);
  if (!m_window) {
    m_window = new FolderBrowser;
    // Not modal: shown, not run, so no window of the tool is blocked.
    m_window->setWindowModality(Qt::NonModal);
    connect(m_window, &QDialog::finished, this, &FolderChooser::OnFinished);
    m_window->show();
  }
  m_window->raise();
  m_window->activateWindow();
}

void FolderChooser::OnFinished(int result) {
  FolderBrowser* window = m_window;
  m_window = nullptr;
  window->deleteLater();
  if (result == QDialog::Accepted && m_chosen)
    m_chosen(window->ChosenFolder());
}

}  // namespace quillmark
