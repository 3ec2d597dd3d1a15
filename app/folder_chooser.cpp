#include "folder_chooser.h"

#include <QScreen>

#include "window_placement.h"

namespace quillmark {

FolderChooser::FolderChooser(QDialog& dialog) : QObject(&dialog), m_dialog(&dialog) {
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
    // Kept above the dialog, since window managers that prevent focus
    // stealing would open a window of its own behind the dialog, without
    // the focus. Not modal: shown, not run, so the dialog stays usable.
    m_window = new FolderBrowser(m_dialog);
    m_window->setWindowModality(Qt::NonModal);
    connect(m_window, &QDialog::finished, this, &FolderChooser::OnFinished);
    PlaceClearOfTheDialog();
    m_window->show();
  }
  m_window->raise();
  m_window->activateWindow();
}

// Beside the dialog where the screen has room, so the dialog's fields stay
// in view; its frame is taken to be like the dialog's.
void FolderChooser::PlaceClearOfTheDialog() {
  const QScreen* screen = m_dialog->screen();
  if (screen == nullptr)
    return;
  const QSize frame = m_window->size() + (m_dialog->frameSize() - m_dialog->size());
  if (std::optional<QPoint> at =
          ClearOfPosition(screen->availableGeometry(), m_dialog->frameGeometry(), frame))
    m_window->move(*at);
}

void FolderChooser::OnFinished(int result) {
  FolderBrowser* window = m_window;
  m_window = nullptr;
  window->deleteLater();
  if (result == QDialog::Accepted && m_chosen)
    m_chosen(window->ChosenFolder());
}

}  // namespace quillmark
