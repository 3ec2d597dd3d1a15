// The dialog's run on a small file system of its own: a batch that does
// not fit is refused before device 1 with the command line's text, as one
// message box, and a refused run takes away only the folder it created.
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app_test_support.h"
#include "fixture_image.h"
#include "main_dialog.h"
#include "scratch_dir.h"
#include "test_mount.h"

using namespace quillmark;
using quillmark::test::Control;
using quillmark::test::MessageBoxCloser;

namespace {

constexpr std::uint64_t kVolumeSize = 16 << 20;

// A 4 MiB image beside a 16 MiB volume mounted at "mnt": four devices and
// the temporary file being written need 20 MiB.
struct Fixture {
  test::ScratchDir scratch;
  std::string imagePath = scratch / "image.img";
  std::unique_ptr<test::TestMount> volume;

  Fixture() {
    test::WriteFileBytes(imagePath, test::MakeValidImage(test::k4MiB));
    volume = std::make_unique<test::TestMount>(scratch.path(), test::TestMount::Kind::Tmpfs,
                                               kVolumeSize);
  }

  void Prepare(CMainDialog& dialog, const std::string& out) {
    const QString path = QString::fromStdString(imagePath);
    dialog.SetPickers(DialogPickers{[path](QWidget*) { return std::optional<QString>(path); },
                                    [](QDialog&, std::function<void(const QString&)>) {}});
    QTest::mouseClick(Control<QPushButton>(dialog, "chooseImageButton"), Qt::LeftButton);
    Control<QLineEdit>(dialog, "deviceCountEdit")->setText(QStringLiteral("4"));
    Control<QLabel>(dialog, "outputDirectoryLabel")->setText(QString::fromStdString(out));
    dialog.show();
  }

  // Starts the run; seen is what message boxes it showed.
  void Start(const std::string& out, std::vector<test::SeenMessage>& seen) {
    CMainDialog dialog;
    Prepare(dialog, out);
    MessageBoxCloser closer;
    QTest::mouseClick(Control<QPushButton>(dialog, "startButton"), Qt::LeftButton);
    QTRY_COMPARE(closer.seen.size(), size_t{1});
    // Nothing started, and nothing more comes.
    QVERIFY(Control<QPushButton>(dialog, "startButton")->isEnabled());
    QVERIFY(dialog.WorkerThread() == nullptr);
    QTest::qWait(50);
    seen = closer.seen;
  }
};

}  // namespace

class MainDialogSpaceTest : public QObject {
  Q_OBJECT

 private slots:
  void aBatchThatDoesNotFitIsOneMessageAndLeavesNoFolder() {
    Fixture fixture;
    QVERIFY2(fixture.volume->mounted(), fixture.volume->failure().c_str());
    std::vector<test::SeenMessage> seen;
    fixture.Start(fixture.scratch / "mnt/new", seen);
    QCOMPARE(seen.size(), size_t{1});
    QCOMPARE(seen[0].text,
             QStringLiteral("输出目录空间不足！需要20971520字节（整批映像及一个正在写入的映像），"
                            "可用16777216字节（剩余空间及本批将替换的文件）"));
    QCOMPARE(seen[0].title, QCoreApplication::applicationName());
    QCOMPARE(seen[0].icon, QMessageBox::NoIcon);
    QCOMPARE(fixture.scratch.List("mnt"), std::vector<std::string>{});
  }

  void aFolderThatWasThereStaysAsItWas() {
    Fixture fixture;
    QVERIFY2(fixture.volume->mounted(), fixture.volume->failure().c_str());
    QVERIFY(QDir().mkpath(QString::fromStdString(fixture.scratch / "mnt/out/kept")));
    for (const char* folder : {"mnt/out", "mnt/out/kept"}) {
      std::vector<test::SeenMessage> seen;
      fixture.Start(fixture.scratch / folder, seen);
      QCOMPARE(seen.size(), size_t{1});
    }
    QCOMPARE(fixture.scratch.List("mnt"), std::vector<std::string>{"out"});
    QCOMPARE(fixture.scratch.List("mnt/out"), std::vector<std::string>{"kept"});
  }
};

QUILLMARK_APP_TEST_MAIN(MainDialogSpaceTest)
#include "main_dialog_space_test.moc"
