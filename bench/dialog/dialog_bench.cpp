// quillmark-dialog-bench --image PATH --out DIR --count N --macs-per-device N
//
// Opens the real main dialog (offscreen unless QT_QPA_PLATFORM says
// otherwise), fills its fields as a user would, presses the start button
// and waits for the run to end. Prints one key=value per line: the run's
// wall time, from the press to the start button coming back, and the
// lateness of a 10 ms timer on the dialog's thread during the run.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "generator_app.h"
#include "lateness_probe.h"
#include "main_dialog.h"

namespace {

struct BenchArguments {
  QString image, out, count, macsPerDevice = QStringLiteral("1");
};

std::optional<BenchArguments> ParseArguments(int argc, char** argv) {
  BenchArguments arguments;
  for (int i = 1; i + 1 < argc; i += 2) {
    const QString value = QString::fromLocal8Bit(argv[i + 1]);
    if (std::strcmp(argv[i], "--image") == 0) {
      arguments.image = value;
    } else if (std::strcmp(argv[i], "--out") == 0) {
      arguments.out = value;
    } else if (std::strcmp(argv[i], "--count") == 0) {
      arguments.count = value;
    } else if (std::strcmp(argv[i], "--macs-per-device") == 0) {
      arguments.macsPerDevice = value;
    } else {
      return std::nullopt;
    }
  }
  if (argc % 2 == 0 || arguments.image.isEmpty() || arguments.out.isEmpty() ||
      arguments.count.isEmpty()) {
    return std::nullopt;
  }
  return arguments;
}

// The dialog, with the moment its run ended taken on the worker's thread
// right after the dialog applied the end.
class TimedDialog : public quillmark::CMainDialog {
 public:
  explicit TimedDialog(const QElapsedTimer& clock) : m_clock(clock) {}
  void OnRunFinished(bool finished) override {
    CMainDialog::OnRunFinished(finished);
    endedNs = m_clock.nsecsElapsed();
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
  }
  std::atomic<qint64> endedNs{-1};

 private:
  const QElapsedTimer& m_clock;
};

void Fill(TimedDialog& dialog, const BenchArguments& arguments) {
  dialog.SetPickers(quillmark::DialogPickers{
      [&arguments](QWidget*) { return std::optional<QString>(arguments.image); },
      [&arguments](QDialog&, std::function<void(const QString&)> chosen) {
        chosen(arguments.out);
      }});
  dialog.findChild<QAbstractButton*>(QStringLiteral("chooseImageButton"))->click();
  dialog.findChild<QAbstractButton*>(QStringLiteral("chooseDirectoryButton"))->click();
  dialog.findChild<QLineEdit*>(QStringLiteral("deviceCountEdit"))->setText(arguments.count);
  dialog.findChild<QLineEdit*>(QStringLiteral("macsPerDeviceEdit"))
      ->setText(arguments.macsPerDevice);
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<BenchArguments> arguments = ParseArguments(argc, argv);
  if (!arguments) {
    std::fprintf(stderr, "usage: %s --image PATH --out DIR --count N [--macs-per-device N]\n",
                 argc > 0 ? argv[0] : "quillmark-dialog-bench");
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  quillmark::CGeneratorApp app(argc, argv);

  QElapsedTimer clock;
  TimedDialog dialog(clock);
  Fill(dialog, *arguments);
  dialog.show();

  // A rejected request shows a message box instead of starting a run.
  QString rejection;
  QTimer messageCloser;
  QObject::connect(&messageCloser, &QTimer::timeout, [&rejection] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      rejection = box->text();
      box->accept();
      QCoreApplication::quit();
    }
  });
  messageCloser.start(50);

  quillmark::bench::LatenessProbe probe;
  QTimer::singleShot(0, [&] {
    probe.Start();
    clock.start();
    dialog.findChild<QAbstractButton*>(QStringLiteral("startButton"))->click();
  });
  app.exec();
  probe.Stop();
  if (QThread* worker = dialog.WorkerThread())
    worker->wait();

  if (!rejection.isEmpty()) {
    std::printf("error=%s\n", rejection.toUtf8().constData());
    return 1;
  }
  const quillmark::bench::LatenessProbe::Summary lateness = probe.Summarize();
  const QString status = dialog.findChild<QLabel*>(QStringLiteral("statusLabel"))->text();
  std::printf("devices=%s\n", arguments->count.toUtf8().constData());
  std::printf("macs_per_device=%s\n", arguments->macsPerDevice.toUtf8().constData());
  std::printf("status=%s\n", status.toUtf8().constData());
  std::printf("wall_seconds=%.4f\n", static_cast<double>(dialog.endedNs) / 1e9);
  std::printf("timer_wakeups=%zu\n", lateness.wakeUps);
  std::printf("timer_lateness_p50_ms=%.3f\n", lateness.p50Ms);
  std::printf("timer_lateness_p99_ms=%.3f\n", lateness.p99Ms);
  std::printf("timer_lateness_max_ms=%.3f\n", lateness.maxMs);
  return status.toStdString() == quillmark::kRunFinishedText ? 0 : 1;
}
