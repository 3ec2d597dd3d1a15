// Loaded with LD_PRELOAD into the installed dialog by the package test,
// which cannot reach into a running program otherwise. Once the dialog has
// the focus, the probe prints its title, presses F1 in it, prints the
// address the dialog asks the desktop to open and closes the dialog with
// Esc. The probe takes file: links itself, so no browser is started. When
// no address comes (a message box instead, or nothing), it says what is
// in front and ends the process with status 3.
#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kPollMilliseconds = 50;
constexpr int kPatienceMilliseconds = 20000;

void Print(const char* key, const QString& value) {
  std::printf("%s: %s\n", key, value.toUtf8().constData());
  std::fflush(stdout);
}

[[noreturn]] void GiveUp() {
  const QWidget* front = QApplication::activeWindow();
  Print("no help opened; in front", front != nullptr ? front->windowTitle() : QString("nothing"));
  if (const auto* box = qobject_cast<const QMessageBox*>(front))
    Print("message", box->text());
  std::_Exit(3);
}

class HelpProbe : public QObject {
  Q_OBJECT

 public:
  HelpProbe() : QObject(qApp) {
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open");
    connect(&m_poll, &QTimer::timeout, this, &HelpProbe::PressF1WhenReady);
    m_poll.start(kPollMilliseconds);
    QTimer::singleShot(kPatienceMilliseconds, this, [] { GiveUp(); });
  }
  ~HelpProbe() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

 public slots:
  void Open(const QUrl& url) {
    Print("help", url.toString());
    // Closed once F1's handler has returned, as a user would close it.
    QTimer::singleShot(0, this,
                       [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
  }

 private:
  void PressF1WhenReady() {
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr || QApplication::activeWindow() == nullptr)
      return;
    m_poll.stop();
    Print("window", QApplication::activeWindow()->windowTitle());
    QTest::keyClick(focus, Qt::Key_F1);
  }

  QTimer m_poll;
};

// Runs inside QApplication's constructor; the probe starts once the
// dialog's event loop runs.
void StartProbe() {
  QMetaObject::invokeMethod(
      qApp, [] { new HelpProbe; }, Qt::QueuedConnection);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartProbe)

#include "help_probe.moc"
