// The small pieces of the dialog application that need no window, and the
// caption of a renamed executable.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QTest>
#include <cstdio>
#include <thread>

#include "app_test_support.h"
#include "dialog_units.h"
#include "generator_app.h"
#include "help.h"
#include "icon_placement.h"
#include "main_dialog.h"
#include "message_box.h"
#include "quillmark_version.h"
#include "run_progress.h"
#include "scratch_dir.h"
#include "system_menu.h"

using namespace quillmark;

namespace {

constexpr char kCaptionChildVariable[] = "QUILLMARK_CAPTION_CHILD";

// In the renamed copy: presses Enter on a fresh dialog and prints the
// caption of the message box that answers.
int PrintRejectionCaption(int argc, char** argv) {
  CGeneratorApp app(argc, argv);
  CMainDialog dialog;
  dialog.show();
  test::MessageBoxCloser closer;
  QTest::keyClick(&dialog, Qt::Key_Return);
  if (closer.seen.size() != 1)
    return 1;
  std::printf("caption=%s\n", closer.seen.front().title.toUtf8().constData());
  return 0;
}

}  // namespace

class AppPartsTest : public QObject {
  Q_OBJECT

 private slots:
  void mulDivRoundsHalvesAwayFromZero_data() {
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("expected");
    QTest::newRow("exact") << 320 << 6 << 4 << 480;
    QTest::newRow("half up") << 5 << 1 << 2 << 3;
    QTest::newRow("below half") << 119 << 13 << 8 << 193;  // 193.375
    QTest::newRow("above half") << 119 << 15 << 8 << 223;  // 223.125
    QTest::newRow("negative half") << -5 << 1 << 2 << -3;
    QTest::newRow("large product") << 40000 << 60000 << 100 << 24000000;
  }
  void mulDivRoundsHalvesAwayFromZero() {
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, expected);
    QCOMPARE(MulDiv(a, b, c), expected);
  }

  void dialogUnitsScaleByQuarterWidthAndEighthHeight() {
    const DialogBaseUnits simsun{6, 12};  // 宋体 9 pt at 96 dpi
    QCOMPARE(DialogSizeToPixels(simsun, 320, 119), QSize(480, 179));
    QCOMPARE(DialogRectToPixels(simsun, 253, 53, 50, 35), QRect(380, 80, 75, 53));
    const DialogBaseUnits wide{7, 14};
    QCOMPARE(DialogRectToPixels(wide, 58, 13, 191, 12), QRect(102, 23, 334, 21));
  }

  void minimizedIconIsCentredDroppingTheFractionTowardZero_data() {
    QTest::addColumn<int>("client");
    QTest::addColumn<int>("expected");
    QTest::newRow("36 wide") << 36 << 2;   // 2.5
    QTest::newRow("30 wide") << 30 << 0;   // -0.5, not -1
    QTest::newRow("29 wide") << 29 << -1;  // -1
    QTest::newRow("as wide") << 32 << 0;
    QTest::newRow("100 wide") << 100 << 34;  // 34.5
  }
  void minimizedIconIsCentredDroppingTheFractionTowardZero() {
    QFETCH(int, client);
    QFETCH(int, expected);
    QCOMPARE(CentredIconOffset(client, 32), expected);
    QCOMPARE(MinimizedIconPosition(QSize(client, 36), QSize(32, 32)), QPoint(expected, 2));
  }

  void systemCommandsMatchWithTheirLowBitsCleared() {
    for (unsigned command = 0x0010; command <= 0x001F; ++command) {
      QVERIFY2(IsAboutCommand(command), qPrintable(QString::number(command, 16)));
    }
    for (unsigned command : {0x0000u, 0x000Fu, 0x0020u, 0x0030u, 0xF060u}) {
      QVERIFY2(!IsAboutCommand(command), qPrintable(QString::number(command, 16)));
    }
    QVERIFY(IsCloseCommand(0xF061));
  }

  void systemMenuOffersCloseThenASeparatorThenVerifyAndAbout() {
    std::vector<unsigned> sent;
    std::unique_ptr<QMenu> menu =
        BuildSystemMenu(nullptr, [&sent](unsigned command) { sent.push_back(command); });
    const QList<QAction*> items = menu->actions();
    QCOMPARE(items.size(), 4);
    QVERIFY(items[1]->isSeparator());
    QCOMPARE(items[2]->text(), QStringLiteral("校验输出目录(&V)"));
    QVERIFY(items[2]->isEnabled());
    QCOMPARE(items[3]->text(), QStringLiteral("关于 Quillmark(&A)..."));
    items[3]->trigger();
    items[2]->trigger();
    items[0]->trigger();
    QCOMPARE(sent, (std::vector<unsigned>{kAboutCommand, kVerifyCommand, kCloseCommand}));
    QVERIFY(IsVerifyCommand(0x0021) && !IsVerifyCommand(kAboutCommand));

    std::unique_ptr<QMenu> busy = BuildSystemMenu(
        nullptr, [](unsigned) {}, false);
    QVERIFY(!busy->actions()[2]->isEnabled());
  }

  // The failure count as devices finish on another thread: the issue's
  // ten devices, five of them failing, then runs cut short and whole.
  void runProgressCountsDevicesWithoutAFile() {
    QWidget window;
    auto* bar = new QProgressBar(&window);
    auto* failures = new QLabel(&window);
    RunProgress progress(bar, failures);
    window.show();
    progress.Begin(10);
    QVERIFY(bar->isVisible());
    QVERIFY(failures->isHidden());
    std::thread worker([&progress] {
      for (int device = 0; device < 10; ++device)
        progress.DeviceDone(device < 5);
    });
    worker.join();
    QTRY_COMPARE(bar->value(), 10);
    QCOMPARE(failures->text(), QStringLiteral("失败 5 / 10"));
    QVERIFY(failures->isVisible());
    progress.End(false, std::nullopt);
    QVERIFY(bar->isHidden());
    QCOMPARE(failures->text(), QStringLiteral("失败 5 / 10"));
    QCOMPARE(failures->toolTip(),
             QStringLiteral("10 台设备中有 5 台没有写成镜像文件（已写入 5，失败 5，未处理 0）"));

    progress.Begin(3);
    QVERIFY(failures->isHidden());
    progress.DeviceDone(true);
    progress.End(false, std::nullopt);  // its worker ended after its first device
    QCOMPARE(failures->text(), QStringLiteral("失败 2 / 3"));
    // The writer's count, when there is one, is what the label says.
    progress.Begin(8);
    BatchOutcome creationFailed;
    creationFailed.devicesWritten = 3;
    creationFailed.devicesFailed = 1;
    creationFailed.devicesNotReached = 4;
    progress.End(false, creationFailed);
    QCOMPARE(failures->text(), QStringLiteral("失败 5 / 8"));
    QCOMPARE(failures->toolTip(),
             QStringLiteral("8 台设备中有 5 台没有写成镜像文件（已写入 3，失败 1，未处理 4）"));

    progress.Begin(2);
    progress.DeviceDone(true);
    progress.DeviceDone(true);
    progress.End(true, std::nullopt);
    QTest::qWait(20);  // the queued update changes nothing after the end
    QVERIFY(failures->isHidden());
    QCOMPARE(failures->text(), QString());
  }

  void namesComeFromTheExecutableWithoutItsExtension_data() {
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("helpPage");
    QTest::newRow("no extension") << "/opt/q/Quillmark"
                                  << "Quillmark"
                                  << "/opt/q/Quillmark.html";
    QTest::newRow("windows") << "/opt/q/Quillmark.EXE"
                             << "Quillmark"
                             << "/opt/q/Quillmark.html";
    QTest::newRow("dots in name") << "/opt/q.d/Line 3.v2.exe"
                                  << "Line 3.v2"
                                  << "/opt/q.d/Line 3.v2.html";
  }
  void namesComeFromTheExecutableWithoutItsExtension() {
    QFETCH(QString, executable);
    QFETCH(QString, name);
    QFETCH(QString, helpPage);
    QCOMPARE(ApplicationNameFor(executable), name);
    QCOMPARE(HelpPagePath(executable), helpPage);
  }

  void applicationCarriesVersionAndItsOwnName() {
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral(QUILLMARK_VERSION));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("quillmark_app_parts_test"));
    QVERIFY(!QApplication::windowIcon().isNull());
  }

  // Started with its standard descriptors closed, the tool opens them on
  // the null device before any file can take their numbers.
  // The largest batch's count fits its label whole, beside the bar and
  // under the buttons, not over them.
  void theFailureCountFitsTheLargestBatch() {
    CMainDialog dialog;
    auto* bar = dialog.findChild<QProgressBar*>(QStringLiteral("progressBar"));
    auto* failures = dialog.findChild<QLabel*>(QStringLiteral("failureCountLabel"));
    auto* start = dialog.findChild<QWidget*>(QStringLiteral("startButton"));
    RunProgress progress(bar, failures);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    progress.Begin(65535);
    BatchOutcome none;
    none.devicesNotReached = 65535;
    progress.End(false, none);
    QCOMPARE(failures->text(), QStringLiteral("失败 65535 / 65535"));
    for (const QString& text : WidestFailureCountTexts())
      QVERIFY2(failures->fontMetrics().horizontalAdvance(text) <= failures->contentsRect().width(),
               qPrintable(text));
    QVERIFY(failures->sizeHint().width() <= failures->width());
    QVERIFY(dialog.rect().contains(failures->geometry()));
    QCOMPARE(failures->geometry().right(), start->geometry().right());
    QVERIFY(!failures->geometry().intersects(bar->geometry()));
  }

  // An option is never taken for the sample's file name.
  void theSampleImageToolPrintsItsUsageForAnOption_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("--help") << QStringList{"--help"} << 0;
    QTest::newRow("-h") << QStringList{"-h"} << 0;
    QTest::newRow("--help after a name") << QStringList{"a.img", "--help"} << 0;
    QTest::newRow("unknown option") << QStringList{"--size=8"} << 2;
    QTest::newRow("a lone dash") << QStringList{"-"} << 2;
    QTest::newRow("a negative size") << QStringList{"a.img", "-8"} << 2;
  }
  void theSampleImageToolPrintsItsUsageForAnOption() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    test::ScratchDir scratch;
    QProcess tool;
    tool.setWorkingDirectory(QString::fromStdString(scratch.path()));
    tool.start(QStringLiteral(QUILLMARK_SAMPLE_EXECUTABLE), arguments);
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), exitCode);
    const QByteArray usage = "usage: quillmark-sample-image PATH [4|8|16]\n";
    QCOMPARE(exitCode == 0 ? tool.readAllStandardOutput() : tool.readAllStandardError(), usage);
    QCOMPARE(scratch.List(""), std::vector<std::string>{});
  }

  void closedStandardDescriptorsAreOpenedOnTheNullDevice() {
    QProcess shell;
    shell.start(QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("exec \"$0\" <&- >&- 2>&-"),
                 QStringLiteral(QUILLMARK_DIALOG_EXECUTABLE)});
    QVERIFY(shell.waitForStarted(10000));
    const QString fds = QStringLiteral("/proc/%1/fd/").arg(shell.processId());
    // Up once the dialog's window exists, by then fonts and more are open.
    QTRY_VERIFY_WITH_TIMEOUT(QDir(fds).entryList(QDir::Files | QDir::System).size() > 6, 30000);
    QStringList targets;
    for (int fd = 0; fd < 3; ++fd)
      targets << QFile::symLinkTarget(fds + QString::number(fd));
    shell.kill();
    QVERIFY(shell.waitForFinished(10000));
    QCOMPARE(targets, (QStringList{"/dev/null", "/dev/null", "/dev/null"}));
  }

  void captionFollowsARenamedExecutableAndArgumentsChangeNothing() {
    test::ScratchDir scratch;
    const QString copy = QString::fromStdString(scratch / "Line 3 Tool.bin");
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kCaptionChildVariable), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    // Arguments Qt would act on, had the tool handed them over: an unknown
    // platform plugin would end the child at once.
    child.start(copy, {QStringLiteral("-platform"), QStringLiteral("no-such-platform"),
                       QStringLiteral("-reverse")});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()).trimmed(),
             QStringLiteral("caption=Line 3 Tool"));
  }
};

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsSet(kCaptionChildVariable))
    return PrintRejectionCaption(argc, argv);
  AppPartsTest test;
  return test::RunAppTest(test, argc, argv);
}

#include "app_parts_test.moc"
