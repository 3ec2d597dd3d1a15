#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "pickers.h"

namespace quillmark::test {

// Runs a QtTest object with the tool's own application object, so the
// tests see the caption, icon and translation the tool has.
int RunAppTest(QObject& test, int argc, char** argv);

#define QUILLMARK_APP_TEST_MAIN(TestClass)                \
  int main(int argc, char** argv) {                       \
    TestClass test;                                       \
    return quillmark::test::RunAppTest(test, argc, argv); \
  }

// Hands every modal window of the given class that opens while it lives
// to handle, once. It polls, since the window opens inside a call that
// blocks the test. A dialog the handler leaves open (a check in it
// failed) is rejected, so the test reports the failure instead of
// blocking.
class ModalWatcher {
 public:
  ModalWatcher(const QMetaObject& windowClass, std::function<void(QWidget*)> handle);
  ~ModalWatcher();
  ModalWatcher(const ModalWatcher&) = delete;
  ModalWatcher& operator=(const ModalWatcher&) = delete;

 private:
  QTimer m_timer;
  std::vector<QPointer<QWidget>> m_handled;  // a closed window drops out
};

// The dialog's control of that object name; a missing one ends the test.
template <typename Widget>
Widget* Control(QWidget& dialog, const char* name) {
  auto* widget = dialog.findChild<Widget*>(QString::fromLatin1(name));
  if (widget == nullptr)
    qFatal("no control %s", name);
  return widget;
}

// Pickers that answer from a list (nothing once it is used up) and count
// how often they were asked.
struct ScriptedPickers {
  std::vector<std::optional<QString>> images, directories;
  int imagesAsked = 0;
  int foldersAsked = 0;
  int asked() const { return imagesAsked + foldersAsked; }
  DialogPickers Get();
};

// What a message box showed.
struct SeenMessage {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  Qt::WindowModality modality = Qt::NonModal;
  QWidget* parent = nullptr;
  QList<QAbstractButton*>::size_type buttonCount = 0;
};

// Closes every message box that opens with its OK button and keeps what
// it showed.
class MessageBoxCloser {
 public:
  MessageBoxCloser();
  std::vector<SeenMessage> seen;

 private:
  ModalWatcher m_watcher;
};

}  // namespace quillmark::test
