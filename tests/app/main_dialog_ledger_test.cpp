// The dialog with QUILLMARK_LEDGER in its environment: the batch is
// recorded once every other check passed, a refusal is one message box,
// and the run's outcome is recorded when it ends.
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

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

constexpr std::uint64_t kStart = 0x045755000000;

// A dialog ready to start: an image in a scratch folder chosen through the
// picker, the output folder beside it, and an SQLite ledger there, named by
// QUILLMARK_LEDGER for as long as the fixture lives.
struct Fixture {
  test::ScratchDir scratch;
  std::string imagePath = scratch / "image.img";
  std::string ledgerPath = scratch / "ledger.sqlite3";
  std::string out = scratch / "out";
  std::unique_ptr<ledger::Ledger> book;

  Fixture() {
    test::WriteFileBytes(imagePath, test::MakeValidImage(test::k4MiB));
    const ledger::LedgerLocation location{ledger::LedgerKind::SQLite, ledgerPath};
    if (ledger::InitLedger(location))
      book = std::move(ledger::OpenLedger(location).value());
    qputenv("QUILLMARK_LEDGER", QByteArray::fromStdString(ledgerPath));
  }
  ~Fixture() { qunsetenv("QUILLMARK_LEDGER"); }

  void Prepare(CMainDialog& dialog, const char* count) {
    const QString path = QString::fromStdString(imagePath);
    dialog.SetPickers(DialogPickers{[path](QWidget*) { return std::optional<QString>(path); },
                                    [](QDialog&, std::function<void(const QString&)>) {}});
    QTest::mouseClick(Control<QPushButton>(dialog, "chooseImageButton"), Qt::LeftButton);
    Control<QLineEdit>(dialog, "deviceCountEdit")->setText(QString::fromLatin1(count));
    Control<QLabel>(dialog, "outputDirectoryLabel")->setText(QString::fromStdString(out));
    dialog.show();
  }

  std::vector<ledger::BatchDetails> Batches() const {
    auto batches = book->Batches({});
    return batches ? batches.value() : std::vector<ledger::BatchDetails>{};
  }
  // The ending of the batch's last write, once recorded.
  ledger::Ending LastEnding() const {
    const auto batches = Batches();
    if (batches.empty() || batches.back().writes.empty())
      return ledger::Ending::None;
    return batches.back().writes.back().ending;
  }
};

QString Status(QWidget& dialog) {
  return Control<QLabel>(dialog, "statusLabel")->text();
}

// The failure count and its tooltip must say what the ledger recorded:
// failed and never reached together on the label, apart in the tooltip.
void ExpectCountAgrees(QWidget& dialog, const ledger::WriteRecord& write, int deviceCount) {
  const int notReached = deviceCount - write.devicesWritten - write.devicesFailed;
  const int withoutFile = write.devicesFailed + notReached;
  auto* failures = Control<QLabel>(dialog, "failureCountLabel");
  QCOMPARE(failures->text(), QStringLiteral("失败 %1 / %2").arg(withoutFile).arg(deviceCount));
  QCOMPARE(failures->toolTip(), QStringLiteral("%1 台设备中有 %2 台没有写成镜像文件（%3）")
                                    .arg(deviceCount)
                                    .arg(withoutFile)
                                    .arg(QString::fromStdString(RunEndCountText(
                                        write.devicesWritten, write.devicesFailed, notReached))));
}

}  // namespace

class MainDialogLedgerTest : public QObject {
  Q_OBJECT

 private slots:
  void aRunIsRecordedBeforeItsFirstDeviceAndItsOutcomeAtTheEnd() {
    Fixture fixture;
    QVERIFY(fixture.book);
    CMainDialog dialog;
    fixture.Prepare(dialog, "3");
    MessageBoxCloser closer;
    QTest::mouseClick(Control<QPushButton>(dialog, "startButton"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Status(dialog), QString::fromStdString(test::kFinishedLine), 60000);
    QTRY_COMPARE(fixture.LastEnding(), ledger::Ending::Finished);
    const auto batches = fixture.Batches();
    QCOMPARE(batches.size(), size_t{1});
    QCOMPARE(batches[0].batch.macs(), (ledger::MacRange{kStart, 3}));
    QCOMPARE(batches[0].batch.station, ledger::DefaultStationName());
    QCOMPARE(batches[0].writes[0].devicesWritten, 3);
    QCOMPARE(batches[0].writes[0].outputFolder, fixture.out);
    QCOMPARE(closer.seen.size(), size_t{0});
  }

  // The same text as the command line's line, under the tool's name; the
  // run does not start and nothing is written.
  void anOverlapIsOneMessageBoxAndNothingIsWritten() {
    Fixture fixture;
    QVERIFY(fixture.book);
    auto other =
        fixture.book->Reserve({kStart + 2, 8, 1, "", "line9", std::string(64, 'b'), "/srv/other"});
    QVERIFY(other);
    CMainDialog dialog;
    fixture.Prepare(dialog, "3");
    MessageBoxCloser closer;
    QTest::mouseClick(Control<QPushButton>(dialog, "startButton"), Qt::LeftButton);
    QTRY_COMPARE(closer.seen.size(), size_t{1});
    const auto refusal =
        fixture.book->Check({kStart, 3, 1, "", "here", std::string(64, 'c'), fixture.out});
    QVERIFY(!refusal);
    QCOMPARE(closer.seen[0].text, QString::fromStdString(refusal.error().message));
    QVERIFY(closer.seen[0].text.startsWith(QStringLiteral("MAC地址范围与账本中的批次重叠！批次 ")));
    QCOMPARE(closer.seen[0].title, QCoreApplication::applicationName());
    QCOMPARE(closer.seen[0].icon, QMessageBox::NoIcon);
    QVERIFY(Control<QPushButton>(dialog, "startButton")->isEnabled());
    QVERIFY(dialog.WorkerThread() == nullptr);
    // The folder the request created goes again.
    QVERIFY(!QDir(QString::fromStdString(fixture.out)).exists());
    QCOMPARE(fixture.Batches().size(), size_t{1});
  }

  // A ledger named but not there stops the run the same way.
  void aLedgerThatCannotBeOpenedRefusesTheRun() {
    Fixture fixture;
    qputenv("QUILLMARK_LEDGER", QByteArray::fromStdString(fixture.scratch / "typo.sqlite3"));
    CMainDialog dialog;
    fixture.Prepare(dialog, "2");
    MessageBoxCloser closer;
    QTest::mouseClick(Control<QPushButton>(dialog, "startButton"), Qt::LeftButton);
    QTRY_COMPARE(closer.seen.size(), size_t{1});
    QVERIFY(closer.seen[0].text.startsWith(QStringLiteral("账本不存在！")));
    QVERIFY(!QDir(QString::fromStdString(fixture.out)).exists());
  }

  // Closing during a run stops it; the ledger says so.
  void aStoppedRunIsRecordedAsStopped() {
    Fixture fixture;
    QVERIFY(fixture.book);
    auto* dialog = new CMainDialog;
    fixture.Prepare(*dialog, "255");
    QTest::mouseClick(Control<QPushButton>(*dialog, "startButton"), Qt::LeftButton);
    QTRY_VERIFY(Status(*dialog).startsWith(QStringLiteral("保存MAC固件")));
    dialog->reject();
    QTRY_VERIFY_WITH_TIMEOUT(dialog->isHidden(), 60000);
    QCOMPARE(fixture.LastEnding(), ledger::Ending::Stopped);
    const ledger::WriteRecord write = fixture.Batches().back().writes.back();
    QCOMPARE(static_cast<std::size_t>(write.devicesWritten), fixture.scratch.List("out").size());
    QVERIFY(write.devicesWritten < 255);
    QCOMPARE(write.devicesFailed, 0);
    ExpectCountAgrees(*dialog, write, 255);
    delete dialog;
  }

  // A directory standing at device 4's name ends an 8-device run there:
  // 3 written, 1 failed, 4 never reached, in the ledger and the dialog.
  void aCreationFailureIsCountedAsTheLedgerRecordsIt() {
    Fixture fixture;
    QVERIFY(fixture.book);
    QVERIFY(QDir().mkpath(QString::fromStdString(fixture.out + "/fw_045755_000003.img/keep")));
    CMainDialog dialog;
    fixture.Prepare(dialog, "8");
    QTest::mouseClick(Control<QPushButton>(dialog, "startButton"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(fixture.LastEnding(), ledger::Ending::Failed, 60000);
    QTRY_VERIFY(Control<QPushButton>(dialog, "startButton")->isEnabled());
    const ledger::WriteRecord write = fixture.Batches().back().writes.back();
    QCOMPARE(write.devicesWritten, 3);
    QCOMPARE(write.devicesFailed, 1);
    ExpectCountAgrees(dialog, write, 8);
    QCOMPARE(Control<QLabel>(dialog, "failureCountLabel")->text(), QStringLiteral("失败 5 / 8"));
  }
};

QUILLMARK_APP_TEST_MAIN(MainDialogLedgerTest)
#include "main_dialog_ledger_test.moc"
