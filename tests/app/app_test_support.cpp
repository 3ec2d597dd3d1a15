#include "app_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTest>
#include <algorithm>

#include "generator_app.h"

namespace quillmark::test {

int RunAppTest(QObject& test, int argc, char** argv) {
  CGeneratorApp app(argc, argv);
  return QTest::qExec(&test, argc, argv);
}

ModalWatcher::ModalWatcher(const QMetaObject& windowClass, std::function<void(QWidget*)> handle) {
  m_timer.setInterval(10);
  QObject::connect(&m_timer, &QTimer::timeout, [this, &windowClass, handle = std::move(handle)] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible() || windowClass.cast(modal) == nullptr)
      return;
    if (std::find(m_handled.begin(), m_handled.end(), modal) != m_handled.end())
      return;
    m_handled.push_back(modal);
    const QPointer<QWidget> window = modal;
    handle(modal);
    if (auto* dialog = qobject_cast<QDialog*>(window.data()); dialog && dialog->isVisible()) {
      dialog->reject();
    }
  });
  m_timer.start();
}

ModalWatcher::~ModalWatcher() {
  m_timer.stop();
}

DialogPickers ScriptedPickers::Get() {
  const auto next = [](std::vector<std::optional<QString>>& answers) {
    std::optional<QString> answer;
    if (!answers.empty()) {
      answer = answers.front();
      answers.erase(answers.begin());
    }
    return answer;
  };
  return DialogPickers{[this, next](QWidget*) {
                         ++imagesAsked;
                         return next(images);
                       },
                       [this, next](QDialog&, std::function<void(const QString&)> chosen) {
                         ++foldersAsked;
                         if (std::optional<QString> folder = next(directories))
                           chosen(*folder);
                       }};
}

MessageBoxCloser::MessageBoxCloser()
    : m_watcher(QMessageBox::staticMetaObject, [this](QWidget* window) {
        auto* box = static_cast<QMessageBox*>(window);
        seen.push_back(SeenMessage{box->windowTitle(), box->text(), box->icon(),
                                   box->windowModality(), box->parentWidget(),
                                   box->buttons().size()});
        box->button(QMessageBox::Ok)->click();
      }) {}

}  // namespace quillmark::test
