// Checks of the output folder started from the dialog's menu: a batch the
// dialog wrote, batches with real faults, refused requests, and the
// dialog while a check goes on.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>
#include <atomic>
#include <cstdio>

#include "app_test_support.h"
#include "fixture_image.h"
#include "main_dialog.h"
#include "scratch_dir.h"
#include "status_lines.h"
#include "system_menu.h"
#include "verify_texts.h"

using namespace quillmark;
using quillmark::test::Control;
using quillmark::test::MessageBoxCloser;

namespace {

// Holds the worker inside its first device's report until the test opens
// it, so the test acts while a check is surely going on.
class GatedDialog : public CMainDialog {
 public:
  ~GatedDialog() override { m_open.release(); }
  void OnDeviceChecked(const DeviceResult& result) override {
    CMainDialog::OnDeviceChecked(result);
    if (m_armed.exchange(false))
      m_open.acquire();
  }
  void Open() { m_open.release(); }

 private:
  QSemaphore m_open;
  std::atomic<bool> m_armed{true};
};

// Holds the run's worker after the dialog has shown the run's end, where
// it would record the outcome, and a check's worker inside its first
// device's report: a check started as soon as a run ended runs beside the
// run's worker.
class RunThenCheckDialog : public CMainDialog {
 public:
  ~RunThenCheckDialog() override {
    m_runWorker.release();
    m_checkWorker.release();
  }
  void OnRunEnded(const BatchOutcome& outcome) override {
    CMainDialog::OnRunEnded(outcome);
    m_runWorker.acquire();
  }
  void OnDeviceChecked(const DeviceResult& result) override {
    CMainDialog::OnDeviceChecked(result);
    if (m_checkArmed.exchange(false))
      m_checkWorker.acquire();
  }
  void ReleaseRunWorker() { m_runWorker.release(); }
  void ReleaseCheckWorker() { m_checkWorker.release(); }

 private:
  QSemaphore m_runWorker, m_checkWorker;
  std::atomic<bool> m_checkArmed{true};
};

class CurrentDirectoryRestorer {
 public:
  ~CurrentDirectoryRestorer() { QDir::setCurrent(m_saved); }

 private:
  QString m_saved = QDir::currentPath();
};

MacAddress Device(int lastOctet) {
  char text[32];
  std::snprintf(text, sizeof text, "04:57:55:00:00:%02x", lastOctet);
  return *MacAddress::Parse(text);
}

// An image chosen through the picker, so the default output folder "out"
// is found beside it, as an operator's would be.
struct Fixture {
  test::ScratchDir scratch;
  std::string out = scratch / "out";
  std::string imagePath = scratch / "fw.bin";
  std::vector<std::uint8_t> image = test::MakeValidImage(test::k4MiB);
  CurrentDirectoryRestorer restorer;

  Fixture() { test::WriteFileBytes(imagePath, image); }

  void Prepare(CMainDialog& dialog, int count, int macsPerDevice) {
    const QString path = QString::fromStdString(imagePath);
    dialog.SetPickers(DialogPickers{[path](QWidget*) { return std::optional<QString>(path); },
                                    [](QDialog&, std::function<void(const QString&)>) {}});
    QTest::mouseClick(Control<QPushButton>(dialog, "chooseImageButton"), Qt::LeftButton);
    Control<QLineEdit>(dialog, "deviceCountEdit")->setText(QString::number(count));
    Control<QLineEdit>(dialog, "macsPerDeviceEdit")->setText(QString::number(macsPerDevice));
    dialog.show();
  }

  // Each device's exact file, one address per device, built here and not
  // by the writer.
  void WriteBatch(int count) {
    QDir().mkpath(QString::fromStdString(out));
    for (int i = 0; i < count; ++i) {
      test::WriteFileBytes(
          out + "/" + Device(i).ToFileName(),
          test::ExpectedDeviceImage(image, {0x04, 0x57, 0x55, 0, 0, std::uint8_t(i)}, 1));
    }
  }
  std::string PathOf(int device) const { return out + "/" + Device(device).ToFileName(); }
};

QString Status(QWidget& dialog) {
  return Control<QLabel>(dialog, "statusLabel")->text();
}
bool StartEnabled(QWidget& dialog) {
  return Control<QPushButton>(dialog, "startButton")->isEnabled();
}

VerifyOutcome Outcome(int checked, int exact, int duplicates = 0) {
  VerifyOutcome outcome;
  outcome.devicesChecked = checked;
  outcome.devicesExact = exact;
  outcome.devicesFailed = checked - exact;
  outcome.duplicateFiles = duplicates;
  return outcome;
}

DeviceResult Fault(int device, DeviceFault fault) {
  DeviceResult result;
  result.index = static_cast<std::size_t>(device);
  result.first = Device(device);
  result.fault = fault;
  return result;
}

// The fault lines name a file by the output folder as the check resolved
// it, in the folder the image was chosen from.
ExpectedBatch DefaultOutputFolder() {
  ExpectedBatch batch;
  batch.outputDirectory = QDir::current().absoluteFilePath(QStringLiteral("out")).toStdString();
  return batch;
}

QString Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += (text.empty() ? "" : "\n") + line;
  return QString::fromStdString(text);
}

// Opens the menu with a right-click on the window; act gets the menu,
// from a timer, since the menu runs inside the click.
void WithMenu(CMainDialog& dialog, std::function<void(QMenu*)> act) {
  QTimer::singleShot(50, [act] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
      act(menu);
  });
  const QPoint inside =
      dialog.findChild<QWidget*>(QStringLiteral("statusLabel"))->geometry().center();
  QTest::mouseClick(dialog.windowHandle(), Qt::RightButton, Qt::NoModifier, inside);
}

}  // namespace

class MainDialogVerifyTest : public QObject {
  Q_OBJECT

 private slots:
  // The menu's verify item reads back what a run of the dialog wrote.
  void theMenuItemChecksTheBatchTheDialogWrote() {
    Fixture fixture;
    CMainDialog dialog;
    fixture.Prepare(dialog, 3, 2);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::mouseClick(Control<QPushButton>(dialog, "startButton"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Status(dialog), QString::fromStdString(test::kFinishedLine), 60000);
    const std::vector<std::string> written = fixture.scratch.List("out");
    QCOMPARE(written.size(), size_t{3});

    MessageBoxCloser closer;
    QStringList items;
    WithMenu(dialog, [&items](QMenu* menu) {
      for (QAction* action : menu->actions())
        items << action->text();
      QTest::keyClick(menu, Qt::Key_V);  // the item's mnemonic
    });
    QTRY_COMPARE_WITH_TIMEOUT(closer.seen.size(), size_t{1}, 60000);
    QVERIFY(items.contains(QString::fromUtf8(kVerifyMenuText)));
    const QString summary = QString::fromStdString(SummaryText(Outcome(3, 3), 3));
    QCOMPARE(closer.seen[0].text, summary);
    QCOMPARE(closer.seen[0].icon, QMessageBox::NoIcon);
    QCOMPARE(closer.seen[0].parent, &dialog);
    QCOMPARE(Status(dialog), summary);
    QVERIFY(StartEnabled(dialog));
    QVERIFY(!Control<QProgressBar>(dialog, "progressBar")->isVisible());
    QCOMPARE(fixture.scratch.List("out"), written);  // a check changes nothing
  }

  // The run's worker returning while a check goes on leaves the check
  // alone: it ends when its own worker returns, with its message box.
  void aCheckStartedAsARunEndsOutlivesTheRunsWorker() {
    Fixture fixture;
    RunThenCheckDialog dialog;
    fixture.Prepare(dialog, 3, 1);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::mouseClick(Control<QPushButton>(dialog, "startButton"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Status(dialog), QString::fromStdString(test::kFinishedLine), 60000);
    QThread* runWorker = dialog.WorkerThread();
    QVERIFY(runWorker != nullptr && !runWorker->isFinished());

    MessageBoxCloser closer;
    dialog.OnSysCommand(kVerifyCommand);
    QThread* checkWorker = dialog.WorkerThread();
    QVERIFY(checkWorker != runWorker);
    const QPointer<QThread> run = runWorker;
    dialog.ReleaseRunWorker();
    QTRY_VERIFY(run.isNull());  // returned and deleted, its return handled
    QCOMPARE(closer.seen.size(), size_t{0});
    QVERIFY(!StartEnabled(dialog));
    dialog.ReleaseCheckWorker();
    QTRY_COMPARE_WITH_TIMEOUT(closer.seen.size(), size_t{1}, 60000);
    QCOMPARE(closer.seen[0].text, QString::fromStdString(SummaryText(Outcome(3, 3), 3)));
    QCOMPARE(closer.seen[0].icon, QMessageBox::NoIcon);
    QVERIFY(StartEnabled(dialog));
  }

  // Faults made for real: the summary, then each failing file's line in
  // the verifier's order; a file that merely does not belong is no failure.
  void faultsFailTheCheckWithTheirLines() {
    Fixture fixture;
    fixture.WriteBatch(6);
    std::vector<std::uint8_t> flipped = test::ReadFileBytes(fixture.PathOf(1));
    flipped[0x1234] ^= 0x01;
    test::WriteFileBytes(fixture.PathOf(1), flipped);
    QVERIFY(QFile::remove(QString::fromStdString(fixture.PathOf(3))));
    QVERIFY(QFile::remove(QString::fromStdString(fixture.PathOf(4))));
    QVERIFY(QDir().mkpath(QString::fromStdString(fixture.PathOf(4))));
    // Device 2's file again under a name outside the batch: its address
    // would be on two devices.
    test::WriteFileBytes(fixture.out + "/" + Device(0x40).ToFileName(),
                         test::ReadFileBytes(fixture.PathOf(2)));
    test::WriteFileBytes(fixture.out + "/.fw_045755_000041.img.part", {1, 2, 3});

    CMainDialog dialog;
    fixture.Prepare(dialog, 6, 1);
    MessageBoxCloser closer;
    dialog.OnSysCommand(kVerifyCommand);
    QTRY_COMPARE_WITH_TIMEOUT(closer.seen.size(), size_t{1}, 60000);

    const ExpectedBatch batch = DefaultOutputFolder();
    DeviceResult differs = Fault(1, DeviceFault::Differs);
    differs.offset = 0x1234;
    FolderFinding duplicate{Device(0x40).ToFileName(), false, Device(2)};
    QCOMPARE(closer.seen[0].text,
             Lines({SummaryText(Outcome(6, 3, 1), 6), DeviceFaultText(batch, differs),
                    DeviceFaultText(batch, Fault(3, DeviceFault::Missing)),
                    DeviceFaultText(batch, Fault(4, DeviceFault::NotRegularFile)),
                    FindingText(batch, duplicate)}));
    QCOMPARE(closer.seen[0].icon, QMessageBox::Warning);
    QVERIFY(StartEnabled(dialog));
  }

  // A batch with more failures than a box should hold shows the first
  // ones and how many more there are.
  void manyFailuresShowTheFirstOnesAndACount() {
    Fixture fixture;
    QVERIFY(QDir().mkpath(QString::fromStdString(fixture.out)));
    const int count = static_cast<int>(VerifyMessage::kShownFailures) + 3;
    CMainDialog dialog;
    fixture.Prepare(dialog, count, 1);
    MessageBoxCloser closer;
    dialog.OnSysCommand(kVerifyCommand);
    QTRY_COMPARE_WITH_TIMEOUT(closer.seen.size(), size_t{1}, 60000);

    const ExpectedBatch batch = DefaultOutputFolder();
    std::vector<std::string> lines = {SummaryText(Outcome(count, 0), std::size_t(count))};
    for (int i = 0; i < static_cast<int>(VerifyMessage::kShownFailures); ++i)
      lines.push_back(DeviceFaultText(batch, Fault(i, DeviceFault::Missing)));
    lines.push_back(MoreFailuresText(3));
    QCOMPARE(closer.seen[0].text, Lines(lines));
  }

  // The request is judged as the start command judges it, except that
  // the output folder must already exist: a check creates nothing.
  void refusedRequestsShowTheMessageAndCheckNothing_data() {
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("message");
    QTest::newRow("no output folder") << "2" << QString::fromUtf8(kOutputDirectoryErrorText.data());
    QTest::newRow("count") << "0" << QStringLiteral("生成数量输入错误！");
  }
  void refusedRequestsShowTheMessageAndCheckNothing() {
    QFETCH(QString, count);
    QFETCH(QString, message);
    Fixture fixture;
    CMainDialog dialog;
    fixture.Prepare(dialog, 1, 1);
    Control<QLineEdit>(dialog, "deviceCountEdit")->setText(count);
    MessageBoxCloser closer;
    dialog.OnSysCommand(kVerifyCommand);
    QTRY_COMPARE(closer.seen.size(), size_t{1});
    QCOMPARE(closer.seen[0].text, message);
    QVERIFY(StartEnabled(dialog));
    QVERIFY(dialog.WorkerThread() == nullptr);
    QCOMPARE(fixture.scratch.List(), std::vector<std::string>{"fw.bin"});
  }

  // While a check goes on the start button and Enter start nothing, the
  // menu offers no second check, and the status line and bar show it.
  void duringACheckTheDialogBehavesAsDuringARun() {
    Fixture fixture;
    fixture.WriteBatch(3);
    // Found only by looking in the folder the check began with.
    test::WriteFileBytes(fixture.out + "/" + Device(0x40).ToFileName(),
                         test::ReadFileBytes(fixture.PathOf(2)));
    GatedDialog dialog;
    fixture.Prepare(dialog, 3, 1);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    MessageBoxCloser closer;
    dialog.OnSysCommand(kVerifyCommand);
    QTRY_COMPARE(Status(dialog), QString::fromStdString(CheckingText(Device(0))));
    QVERIFY(!StartEnabled(dialog));
    QVERIFY(Control<QProgressBar>(dialog, "progressBar")->isVisible());
    QTest::keyClick(&dialog, Qt::Key_Return);
    dialog.OnSysCommand(kVerifyCommand);
    bool verifyOffered = true;
    WithMenu(dialog, [&verifyOffered](QMenu* menu) {
      for (QAction* action : menu->actions()) {
        if (action->text() == QString::fromUtf8(kVerifyMenuText))
          verifyOffered = action->isEnabled();
      }
      menu->close();
    });
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    QVERIFY(!verifyOffered);
    // New field values and another image's folder wait for the next run.
    Control<QLineEdit>(dialog, "deviceCountEdit")->setText(QStringLiteral("1"));
    test::ScratchDir elsewhere;
    QVERIFY(QDir(QString::fromStdString(elsewhere.path())).mkdir(QStringLiteral("out")));
    QVERIFY(QDir::setCurrent(QString::fromStdString(elsewhere.path())));

    dialog.Open();
    QTRY_COMPARE_WITH_TIMEOUT(closer.seen.size(), size_t{1}, 60000);
    QVERIFY(closer.seen[0].text.startsWith(
        QString::fromStdString(SummaryText(Outcome(3, 3, 1), 3) + "\n")));
    QVERIFY(StartEnabled(dialog));
    QTest::qWait(50);
    QCOMPARE(closer.seen.size(), size_t{1});
    QCOMPARE(fixture.scratch.List("out").size(), size_t{4});
  }

  void closingDuringACheckClosesOnceItStoppedWithoutAMessage() {
    Fixture fixture;
    fixture.WriteBatch(3);
    GatedDialog dialog;
    fixture.Prepare(dialog, 3, 1);
    MessageBoxCloser closer;
    dialog.OnSysCommand(kVerifyCommand);
    QTRY_COMPARE(Status(dialog), QString::fromStdString(CheckingText(Device(0))));
    dialog.close();
    QTest::qWait(50);
    QVERIFY(dialog.isVisible());
    dialog.Open();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 60000);
    QTest::qWait(50);
    QCOMPARE(closer.seen.size(), size_t{0});
  }
};

QUILLMARK_APP_TEST_MAIN(MainDialogVerifyTest)
#include "main_dialog_verify_test.moc"
