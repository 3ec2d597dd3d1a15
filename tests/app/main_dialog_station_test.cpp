// The dialog on a station with a configuration: its fields open with the
// configured request, its runs use the configured ledger, station and lot, and
// a configuration in error refuses the start with one message box.
#include <sys/stat.h>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <fstream>

#include "app_test_support.h"
#include "fixture_image.h"
#include "ledger.h"
#include "main_dialog.h"
#include "scratch_dir.h"
#include "status_lines.h"

using namespace quillmark;
using quillmark::test::Control;
using quillmark::test::MessageBoxCloser;

namespace {

// The system's file and the user's in a scratch folder, for as long as the
// fixture lives; no ledger but the configured one.
struct Fixture {
  test::ScratchDir scratch;
  std::string systemFile = scratch / "system.toml";
  std::string userFile = scratch / "xdg/quillmark/quillmark.toml";
  std::string imagePath = scratch / "image.img";
  std::string out = scratch / "out";

  Fixture() {
    QDir().mkpath(QString::fromStdString(scratch / "xdg/quillmark"));
    // Whatever the umask: the configuration is refused when others could
    // change it.
    for (const std::string& folder : {scratch / "xdg", scratch / "xdg/quillmark"})
      ::chmod(folder.c_str(), 0755);
    test::WriteFileBytes(imagePath, test::MakeValidImage(test::k4MiB));
    qputenv("QUILLMARK_SYSTEM_CONFIG", QByteArray::fromStdString(systemFile));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(scratch / "xdg"));
    qunsetenv("QUILLMARK_LEDGER");
  }
  ~Fixture() {
    qunsetenv("QUILLMARK_SYSTEM_CONFIG");
    qunsetenv("XDG_CONFIG_HOME");
  }

  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    ::chmod(path.c_str(), 0644);
  }
  void ChooseImageAndFolder(CMainDialog& dialog) {
    const QString path = QString::fromStdString(imagePath);
    dialog.SetPickers(DialogPickers{[path](QWidget*) { return std::optional<QString>(path); },
                                    [](QDialog&, std::function<void(const QString&)>) {}});
    QTest::mouseClick(Control<QPushButton>(dialog, "chooseImageButton"), Qt::LeftButton);
    Control<QLabel>(dialog, "outputDirectoryLabel")->setText(QString::fromStdString(out));
    dialog.show();
  }
};

QString Text(QWidget& dialog, const char* name) {
  return Control<QLineEdit>(dialog, name)->text();
}

}  // namespace

class MainDialogStationTest : public QObject {
  Q_OBJECT

 private slots:
  void theFieldsOpenWithTheConfiguredRequest() {
    Fixture fixture;
    Fixture::Write(fixture.systemFile, "count = 40\nmacs_per_device = 4\n");
    Fixture::Write(fixture.userFile, "macs_per_device = 2\nstart_mac = \"04:57:55:00:1A:00\"\n");
    CMainDialog dialog;
    QCOMPARE(Text(dialog, "deviceCountEdit"), QStringLiteral("40"));
    QCOMPARE(Text(dialog, "macsPerDeviceEdit"), QStringLiteral("2"));
    QCOMPARE(Text(dialog, "startMacEdit"), QStringLiteral("04:57:55:00:1a:00"));
  }

  void aRunIsRecordedInTheConfiguredLedgerUnderTheConfiguredStationAndLot() {
    Fixture fixture;
    const std::string ledgerPath = fixture.scratch / "station.sqlite3";
    const ledger::LedgerLocation location{ledger::LedgerKind::SQLite, ledgerPath};
    QVERIFY(ledger::InitLedger(location));
    Fixture::Write(fixture.systemFile,
                   "ledger = \"" + ledgerPath + "\"\nstation = \"产线7\"\ncount = 2\n");
    Fixture::Write(fixture.userFile, "lot = \"WO-0412 批次\"\n");
    CMainDialog dialog;
    fixture.ChooseImageAndFolder(dialog);
    MessageBoxCloser closer;
    QTest::mouseClick(Control<QPushButton>(dialog, "startButton"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Control<QLabel>(dialog, "statusLabel")->text(),
                              QString::fromStdString(test::kFinishedLine), 60000);
    QCOMPARE(closer.seen.size(), size_t{0});
    const auto book = ledger::OpenLedger(location);
    QVERIFY(book);
    const auto batches = book.value()->Batches({});
    QVERIFY(batches);
    QCOMPARE(batches.value().size(), size_t{1});
    QCOMPARE(batches.value()[0].batch.station, std::string("产线7"));
    QCOMPARE(batches.value()[0].batch.lot, std::string("WO-0412 批次"));
    QCOMPARE(fixture.scratch.List("out").size(), size_t{2});
  }

  // The defaults fall back to the tool's own, and the start refuses: the
  // ledger the file names may be the one it would have gone without.
  void aConfigurationInErrorRefusesTheStartWithOneMessage() {
    Fixture fixture;
    Fixture::Write(fixture.systemFile, "count = 2\n");
    Fixture::Write(fixture.userFile, "count = 3\nledger = 7\n");
    CMainDialog dialog;
    QCOMPARE(Text(dialog, "deviceCountEdit"), QStringLiteral("255"));
    fixture.ChooseImageAndFolder(dialog);
    MessageBoxCloser closer;
    QTest::mouseClick(Control<QPushButton>(dialog, "startButton"), Qt::LeftButton);
    QTRY_COMPARE(closer.seen.size(), size_t{1});
    QCOMPARE(closer.seen[0].text,
             QString::fromStdString("配置文件错误！" + fixture.userFile +
                                    " 第2行：ledger 应是非空字符串，不含控制字符"));
    QVERIFY(Control<QPushButton>(dialog, "startButton")->isEnabled());
    QVERIFY(dialog.WorkerThread() == nullptr);
    QVERIFY(!QDir(QString::fromStdString(fixture.out)).exists());
  }

  // The dialog reads the files the tool reads, and refuses them alike: a
  // file another user could change names the fix in the one message.
  void aConfigurationOthersCouldChangeRefusesTheStart() {
    Fixture fixture;
    Fixture::Write(fixture.userFile, "count = 3\n");
    QCOMPARE(::chmod(fixture.userFile.c_str(), 0666), 0);
    CMainDialog dialog;
    fixture.ChooseImageAndFolder(dialog);
    MessageBoxCloser closer;
    QTest::mouseClick(Control<QPushButton>(dialog, "startButton"), Qt::LeftButton);
    QTRY_COMPARE(closer.seen.size(), size_t{1});
    QCOMPARE(closer.seen[0].text,
             QString::fromStdString("配置文件错误！" + fixture.userFile +
                                    "：其他用户可以修改它（请运行 chmod go-w " + fixture.userFile +
                                    "）"));
    QVERIFY(dialog.WorkerThread() == nullptr);
    QVERIFY(!QDir(QString::fromStdString(fixture.out)).exists());
  }
};

QUILLMARK_APP_TEST_MAIN(MainDialogStationTest)
#include "main_dialog_station_test.moc"
