#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace quillmark {

// The controls of the main dialog that its code reads and writes.
struct MainDialogControls {
  QPushButton* startButton = nullptr;            // 1
  QPushButton* chooseImageButton = nullptr;      // 1000
  QLabel* imagePathLabel = nullptr;              // 1001
  QLineEdit* startMacEdit = nullptr;             // 1002
  QLineEdit* deviceCountEdit = nullptr;          // 1003
  QLabel* statusLabel = nullptr;                 // 1004
  QLabel* outputDirectoryLabel = nullptr;        // 1005
  QPushButton* chooseDirectoryButton = nullptr;  // 1006
  QLineEdit* macsPerDeviceEdit = nullptr;        // 1007
  QProgressBar* progressBar = nullptr;           // devices done while a run goes on
  QLabel* failureCountLabel = nullptr;           // devices without a file, once one failed
};

// Sizes the dialog and creates its controls as the main dialog's template
// places them, in its tab order.
MainDialogControls BuildMainDialogTemplate(QDialog& dialog);

}  // namespace quillmark
