#pragma once

#include <QDialog>

namespace quillmark {

// The about box: the icon, the name and version, where the firmware
// images come from, and an OK button.
class CAboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDialog(QWidget* pParent = nullptr);
};

}  // namespace quillmark
