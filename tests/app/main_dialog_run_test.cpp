// Runs started from the dialog: the whole batch, what stays usable while
// it goes, closing during it, and a worker that cannot start.
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTest>
#include <atomic>

#include "about_dialog.h"
#include "app_test_support.h"
#include "elided_label.h"
#include "fixture_image.h"
#include "main_dialog.h"
#include "other_lot_files.h"
#include "scratch_dir.h"
#include "status_lines.h"
#include "system_menu.h"

using namespace quillmark;
using quillmark::test::MessageBoxCloser;
using quillmark::test::ModalWatcher;

namespace {

// Holds the worker inside its first status report until the test opens
// it, so the test acts while a run is surely going on.
struct Gate {
  QSemaphore open;
  std::atomic<bool> armed{true};
};

class GatedDialog : public CMainDialog {
 public:
  explicit GatedDialog(Gate& gate) : m_gate(gate) {}
  // A test that failed before opening the gate must not leave the worker
  // waiting for it.
  ~GatedDialog() override { m_gate.open.release(); }
  void SetStatus(StatusKind kind, std::string text) override {
    CMainDialog::SetStatus(kind, std::move(text));
    if (m_gate.armed.exchange(false))
      m_gate.open.acquire();
  }

 private:
  Gate& m_gate;
};

// The test moves the process's current directory through the picker;
// the next test starts from where this one did.
class CurrentDirectoryRestorer {
 public:
  ~CurrentDirectoryRestorer() { QDir::setCurrent(m_saved); }

 private:
  QString m_saved = QDir::currentPath();
};

struct Fixture {
  test::ScratchDir scratch;
  // Characters a label could take for markup or a mnemonic, so the path
  // must be shown and read back exactly, and deep enough that a status
  // naming a device's file must be elided.
  std::string relative = "R&D <b>1</b>/production_line_3_firmware_release_2026_12_b";
  std::string folder = scratch / relative;
  std::string imagePath = folder + "/fw image.bin";
  std::vector<std::uint8_t> image = test::MakeValidImage(test::k4MiB);
  CurrentDirectoryRestorer restorer;

  Fixture() {
    QDir().mkpath(QString::fromStdString(folder));
    test::WriteFileBytes(imagePath, image);
  }

  // Chooses the image through the picker as a user would, then sets the
  // counts.
  void Prepare(CMainDialog& dialog, const char* count, const char* macsPerDevice) {
    const QString path = QString::fromStdString(imagePath);
    dialog.SetPickers(DialogPickers{[path](QWidget*) { return std::optional<QString>(path); },
                                    [](QDialog&, std::function<void(const QString&)>) {}});
    QTest::mouseClick(Control<QPushButton>(dialog, "chooseImageButton"), Qt::LeftButton);
    Control<QLineEdit>(dialog, "deviceCountEdit")->setText(QString::fromLatin1(count));
    Control<QLineEdit>(dialog, "macsPerDeviceEdit")->setText(QString::fromLatin1(macsPerDevice));
    dialog.show();
  }

  template <typename Widget>
  static Widget* Control(QWidget& dialog, const char* name) {
    return dialog.findChild<Widget*>(QString::fromLatin1(name));
  }
  static QString Status(QWidget& dialog) { return Control<QLabel>(dialog, "statusLabel")->text(); }
  static bool StartEnabled(QWidget& dialog) {
    return Control<QPushButton>(dialog, "startButton")->isEnabled();
  }
  static void PressStart(QWidget& dialog) {
    QTest::mouseClick(Control<QPushButton>(dialog, "startButton"), Qt::LeftButton);
  }

  // Every name in the output folder (hidden ones included) and each
  // device's file as it must be.
  void ExpectDevices(const std::vector<int>& firstLastOctets, int macsPerDevice) {
    std::vector<std::string> expectedNames;
    for (int octet : firstLastOctets) {
      char name[32];
      std::snprintf(name, sizeof name, "fw_045755_0000%02x.img", octet);
      expectedNames.push_back(name);
      const std::vector<std::uint8_t> first = {0x04, 0x57, 0x55,
                                               0,    0,    static_cast<std::uint8_t>(octet)};
      QVERIFY2(test::ReadFileBytes(folder + "/out/" + name) ==
                   test::ExpectedDeviceImage(image, first, macsPerDevice),
               name);
    }
    QCOMPARE(scratch.List(relative + "/out"), expectedNames);
  }
};

}  // namespace

class MainDialogRunTest : public QObject {
  Q_OBJECT

 private slots:
  void wholeRunWritesEveryDeviceBesideTheChosenImage() {
    Fixture fixture;
    Gate gate;
    GatedDialog dialog(gate);
    fixture.Prepare(dialog, "3", "2");
    QCOMPARE(Fixture::Control<QLabel>(dialog, "imagePathLabel")->text(),
             QString::fromStdString(fixture.imagePath));
    QCOMPARE(QDir::currentPath(), QString::fromStdString(fixture.folder));

    Fixture::PressStart(dialog);
    QVERIFY(!Fixture::StartEnabled(dialog));
    QTRY_COMPARE(Fixture::Status(dialog),
                 QString::fromStdString(test::Saving("04:57:55:00:00:00")));
    QVERIFY(Fixture::Control<QProgressBar>(dialog, "progressBar")->isVisible());

    // While the run goes on: Enter starts nothing, the about box opens,
    // and new field values or another image folder wait for the next run.
    MessageBoxCloser closer;
    QTest::keyClick(&dialog, Qt::Key_Return);
    int aboutBoxes = 0;
    {
      ModalWatcher watcher(CAboutDialog::staticMetaObject, [&](QWidget* window) {
        ++aboutBoxes;
        qobject_cast<QDialog*>(window)->accept();
      });
      dialog.OnSysCommand(kAboutCommand);
    }
    QCOMPARE(aboutBoxes, 1);
    Fixture::Control<QLineEdit>(dialog, "deviceCountEdit")->setText(QStringLiteral("1"));
    QVERIFY(QDir::setCurrent(QString::fromStdString(fixture.scratch.path())));
    QVERIFY(!Fixture::StartEnabled(dialog));

    gate.open.release();
    QTRY_COMPARE_WITH_TIMEOUT(Fixture::Status(dialog), QString::fromStdString(test::kFinishedLine),
                              60000);
    QVERIFY(Fixture::StartEnabled(dialog));
    QVERIFY(!Fixture::Control<QProgressBar>(dialog, "progressBar")->isVisible());
    QCOMPARE(closer.seen.size(), size_t{0});
    fixture.ExpectDevices({0x00, 0x02, 0x04}, 2);
    QVERIFY(!QDir(QString::fromStdString(fixture.scratch / "out")).exists());
  }

  // A directory standing at device 3's name stops the run there: the
  // status keeps the creation text whole, shows the file's name, and the
  // count says how many devices have no file, until the next run starts.
  void failedDevicesAreCountedUntilTheNextRunStarts() {
    Fixture fixture;
    const std::string out = fixture.folder + "/out";
    QVERIFY(QDir().mkpath(QString::fromStdString(out + "/fw_045755_000002.img/keep")));
    Gate gate;
    gate.armed = false;
    GatedDialog dialog(gate);
    fixture.Prepare(dialog, "5", "1");
    auto* failures = Fixture::Control<QLabel>(dialog, "failureCountLabel");
    Fixture::PressStart(dialog);
    const QString creationText =
        QString::fromStdString(CreationFailedText(out + "/fw_045755_000002.img"));
    QTRY_VERIFY_WITH_TIMEOUT(Fixture::StartEnabled(dialog), 60000);
    QCOMPARE(Fixture::Status(dialog), creationText);
    auto* status = Fixture::Control<ElidedLabel>(dialog, "statusLabel");
    QVERIFY(status->IsElided());
    QVERIFY(status->ShownText().endsWith(QStringLiteral("fw_045755_000002.img")));
    QVERIFY(failures->isVisible());
    QCOMPARE(failures->text(), QStringLiteral("失败 3 / 5"));
    QCOMPARE(failures->toolTip(),
             QStringLiteral("5 台设备中有 3 台没有写成镜像文件（已写入 2，失败 1，未处理 2）"));

    // The next run clears the count as it starts and, writing every
    // device, shows none.
    QVERIFY(QDir(QString::fromStdString(out + "/fw_045755_000002.img")).removeRecursively());
    gate.armed = true;
    Fixture::PressStart(dialog);
    QTRY_COMPARE(Fixture::Status(dialog),
                 QString::fromStdString(test::Saving("04:57:55:00:00:00")));
    QVERIFY(failures->isHidden());
    gate.open.release();
    QTRY_COMPARE_WITH_TIMEOUT(Fixture::Status(dialog), QString::fromStdString(test::kFinishedLine),
                              60000);
    QVERIFY(failures->isHidden());
    fixture.ExpectDevices({0, 1, 2, 3, 4}, 1);
  }

  void closingDuringARunStopsAfterTheCurrentDevice_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("Esc") << 0;
    QTest::newRow("close button") << 1;
    QTest::newRow("Close command") << 2;
  }
  void closingDuringARunStopsAfterTheCurrentDevice() {
    QFETCH(int, way);
    Fixture fixture;
    Gate gate;
    GatedDialog dialog(gate);
    fixture.Prepare(dialog, "5", "1");
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    Fixture::PressStart(dialog);
    QTRY_COMPARE(Fixture::Status(dialog),
                 QString::fromStdString(test::Saving("04:57:55:00:00:00")));

    if (way == 0)
      QTest::keyClick(&dialog, Qt::Key_Escape);
    if (way == 1)
      dialog.close();
    if (way == 2)
      dialog.OnSysCommand(kCloseCommand);
    QTest::qWait(50);
    QVERIFY(dialog.isVisible());  // stays, serving events, until the worker returned

    gate.open.release();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 60000);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.WorkerThread() || dialog.WorkerThread()->wait(10000));
    fixture.ExpectDevices({0x00}, 1);
  }

  void aWorkerThatCannotStartLeavesTheDialogIdle() {
    Fixture fixture;
    CMainDialog dialog;
    fixture.Prepare(dialog, "2", "1");
    dialog.SetWorkerStackSize(1);  // below any platform's minimum
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("QThread::start")));
    MessageBoxCloser closer;
    Fixture::PressStart(dialog);
    QVERIFY(Fixture::StartEnabled(dialog));
    QCOMPARE(Fixture::Status(dialog), QString());
    QVERIFY(dialog.WorkerThread() == nullptr);
    QTest::qWait(50);
    QCOMPARE(closer.seen.size(), size_t{0});
    fixture.ExpectDevices({}, 1);
  }

  void aFolderAnotherRunHoldsIsRefusedWithOneMessage() {
    Fixture fixture;
    CMainDialog dialog;
    fixture.Prepare(dialog, "2", "1");
    QVERIFY(QDir().mkpath(QString::fromStdString(fixture.folder + "/out")));
    const FolderClaim otherRun = ClaimOutputFolder(fixture.folder + "/out");
    QVERIFY(otherRun.folder);
    MessageBoxCloser closer;
    Fixture::PressStart(dialog);
    QTRY_COMPARE(closer.seen.size(), size_t{1});
    QCOMPARE(closer.seen[0].text, QString::fromStdString(FolderBusyText("out")));
    QVERIFY(Fixture::StartEnabled(dialog));
    QVERIFY(dialog.WorkerThread() == nullptr);
    fixture.ExpectDevices({}, 1);
  }

  // Files of another lot stay in the folder and would be flashed with
  // this one: the end status says how many, while a file of this batch
  // written again is none of them.
  void aFolderHoldingAnotherLotIsSaidInTheEndStatus() {
    Fixture fixture;
    const std::string out = fixture.folder + "/out";
    QVERIFY(QDir().mkpath(QString::fromStdString(out)));
    for (const char* name :
         {"fw_045755_009999.img", "fw_045755_00999a.img", "fw_045755_000001.img", "notes.txt"})
      test::WriteFileBytes(out + "/" + name, {1, 2, 3});
    CMainDialog dialog;
    fixture.Prepare(dialog, "2", "1");
    MessageBoxCloser closer;
    Fixture::PressStart(dialog);
    QTRY_VERIFY_WITH_TIMEOUT(Fixture::StartEnabled(dialog), 60000);
    QCOMPARE(Fixture::Status(dialog),
             QString::fromStdString(test::kFinishedLine + "；" + OtherLotFilesText("out", 2)));
    QCOMPARE(closer.seen.size(), size_t{0});
    QVERIFY(test::ReadFileBytes(out + "/fw_045755_000001.img") ==
            test::ExpectedDeviceImage(fixture.image, {0x04, 0x57, 0x55, 0, 0, 1}, 1));
    QCOMPARE(fixture.scratch.List(fixture.relative + "/out").size(), size_t{5});
  }

  void destroyingTheDialogDuringARunLeavesOnlyCompleteFiles() {
    Fixture fixture;
    auto* dialog = new CMainDialog;
    fixture.Prepare(*dialog, "255", "1");
    Fixture::PressStart(*dialog);
    QVERIFY(!Fixture::StartEnabled(*dialog));
    delete dialog;  // returns once the worker has stopped
    const std::vector<std::string> names = fixture.scratch.List(fixture.relative + "/out");
    QVERIFY(names.size() <= 1);
    if (!names.empty())
      fixture.ExpectDevices({0x00}, 1);
  }
};

QUILLMARK_APP_TEST_MAIN(MainDialogRunTest)
#include "main_dialog_run_test.moc"
