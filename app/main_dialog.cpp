#include "main_dialog.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QShortcut>
#include <QStyle>

#include "about_dialog.h"
#include "app_icon.h"
#include "help.h"
#include "icon_placement.h"
#include "station_run.h"
#include "system_menu.h"
#include "window_placement.h"

namespace quillmark {

CMainDialog::CMainDialog(QWidget* pParent)
    : QDialog(pParent),
      m_hIcon(ApplicationIcon()),
      m_controls(BuildMainDialogTemplate(*this)),
      m_progress(m_controls.progressBar, m_controls.failureCountLabel),
      m_pickers(PlatformPickers()) {
  connect(m_controls.startButton, &QPushButton::clicked, this, &CMainDialog::OnOK);
  connect(m_controls.chooseImageButton, &QPushButton::clicked, this, &CMainDialog::OnChooseImage);
  connect(m_controls.chooseDirectoryButton, &QPushButton::clicked, this,
          &CMainDialog::OnChooseOutputDirectory);
  // Alt+Space may belong to the window manager, and the Menu key would
  // open an edit field's own menu: Shift+F10 and the Menu key open the
  // window's menu from every control, the edit fields' menus staying on
  // the right mouse button.
  for (const QKeySequence& key :
       {QKeySequence(Qt::ALT | Qt::Key_Space), QKeySequence(Qt::SHIFT | Qt::Key_F10),
        QKeySequence(Qt::Key_Menu)}) {
    auto* systemMenuKey = new QShortcut(key, this);
    connect(systemMenuKey, &QShortcut::activated, this,
            [this] { ShowSystemMenu(mapToGlobal(QPoint(0, 0))); });
  }
  InstallHelp(*this, kMainDialogHelpTopic);
  CentreOnScreenWhenShown(*this);
  OnInitDialog();
}

void CMainDialog::OnInitDialog() {
  setWindowIcon(m_hIcon);
  m_job.imageBytes.reset();
  const JobRequestTexts defaults = InitialFieldTexts();
  m_controls.outputDirectoryLabel->setText(QString::fromStdString(defaults.outputDirectory));
  m_controls.startMacEdit->setText(QString::fromStdString(defaults.startMac));
  m_controls.deviceCountEdit->setText(QString::fromStdString(defaults.deviceCount));
  m_controls.macsPerDeviceEdit->setText(QString::fromStdString(defaults.macsPerDevice));
  m_controls.startButton->setFocus();
}

void CMainDialog::OnSysCommand(unsigned nID, qintptr) {
  if (IsAboutCommand(nID)) {
    CAboutDialog about(this);
    about.exec();
  } else if (IsVerifyCommand(nID)) {
    OnVerifyOutputFolder();
  } else if (IsCloseCommand(nID)) {
    close();
  }
}

void CMainDialog::ShowSystemMenu(const QPoint& globalPosition) {
  std::unique_ptr<QMenu> menu = BuildSystemMenu(
      this, [this](unsigned command) { OnSysCommand(command); }, !m_bRunActive && !m_bClosePending);
  menu->exec(globalPosition);
}

void CMainDialog::contextMenuEvent(QContextMenuEvent* event) {
  ShowSystemMenu(event->globalPos());
}

void CMainDialog::paintEvent(QPaintEvent* event) {
  if (!isMinimized()) {
    QDialog::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const int side = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
  const QPoint at = MinimizedIconPosition(size(), QSize(side, side));
  m_hIcon.paint(&painter, QRect(at, QSize(side, side)));
}

void CMainDialog::OnChooseImage() {
  const std::optional<QString> path = m_pickers.chooseImage(this);
  if (!path)
    return;
  m_controls.imagePathLabel->setText(*path);
  m_bImageChosen = true;
  // A relative output directory is then found beside the chosen image.
  QDir::setCurrent(QFileInfo(*path).absolutePath());
}

void CMainDialog::OnChooseOutputDirectory() {
  m_pickers.chooseDirectory(
      *this, [this](const QString& path) { m_controls.outputDirectoryLabel->setText(path); });
}

}  // namespace quillmark
