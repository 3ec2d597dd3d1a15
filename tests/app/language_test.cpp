// The dialog speaks the locale's language: English under an English
// locale, today's Chinese texts byte for byte under a Chinese one, C or
// none. The test is run once per locale; QUILLMARK_TEST_LANGUAGE says
// which language that locale must give ("en" or "zh").
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "about_dialog.h"
#include "app_test_support.h"
#include "dialog_language.h"
#include "fixture_image.h"
#include "folder_browser.h"
#include "help.h"
#include "main_dialog.h"
#include "run_progress.h"
#include "scratch_dir.h"
#include "system_menu.h"

using namespace quillmark;
using quillmark::test::Control;
using quillmark::test::MessageBoxCloser;
using quillmark::test::ModalWatcher;

namespace {

bool ExpectEnglish() {
  return qgetenv("QUILLMARK_TEST_LANGUAGE") == "en";
}

// The text a control shows, by its kind.
QString ShownText(const QWidget& widget) {
  if (const auto* label = qobject_cast<const QLabel*>(&widget))
    return label->text();
  if (const auto* button = qobject_cast<const QAbstractButton*>(&widget))
    return button->text();
  return QString();
}

bool HoldsChinese(const QString& text) {
  static const QRegularExpression cjk(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
  return text.contains(cjk);
}

// Every text a window and its children show: the title, each label's and
// button's text, each tooltip.
QStringList TextsOf(const QWidget& window) {
  QStringList texts{window.windowTitle()};
  for (const QWidget* child : window.findChildren<QWidget*>()) {
    texts << ShownText(*child) << child->toolTip();
  }
  texts.removeAll(QString());
  return texts;
}

void VerifyNoChinese(const QStringList& texts) {
  for (const QString& text : texts)
    QVERIFY2(!HoldsChinese(text), qPrintable(text));
}

// A text the language gives: the English one or today's Chinese one.
QString Either(const char* english, const char* chinese) {
  return QString::fromUtf8(ExpectEnglish() ? english : chinese);
}

// Every fixed text must fit its control whole: a label or button whose
// size hint is wider than its place would cut its text off. The labels
// that elide a changing text are left out. (The template's labels are a
// pixel lower than a label's hint in either language; their text is
// drawn whole.)
void VerifyNothingClips(const QDialog& dialog) {
  for (const QWidget* control : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const bool fixedText =
        control->inherits("QPushButton") ||
        (control->inherits("QLabel") && !control->inherits("quillmark::ElidedLabel"));
    if (!fixedText || ShownText(*control).isEmpty())
      continue;
    const QSize hint = control->sizeHint();
    const QString what = QStringLiteral("%1 \"%2\": %3x%4 in %5x%6")
                             .arg(control->objectName(), ShownText(*control))
                             .arg(hint.width())
                             .arg(hint.height())
                             .arg(control->width())
                             .arg(control->height());
    QVERIFY2(hint.width() <= control->width(), qPrintable(what));
    QVERIFY2(dialog.rect().contains(control->geometry()), qPrintable(what));
  }
  // Nor does a control moved to give a text room cover another.
  const QList<QWidget*> controls = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (qsizetype i = 0; i < controls.size(); ++i) {
    for (qsizetype j = i + 1; j < controls.size(); ++j) {
      if (!controls[i]->isVisible() || !controls[j]->isVisible())
        continue;
      QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
               qPrintable(controls[i]->objectName() + " over " + controls[j]->objectName()));
    }
  }
}

}  // namespace

class LanguageTest : public QObject {
  Q_OBJECT

 private slots:
  void theLocaleChoosesTheLanguage() {
    QCOMPARE(DialogLanguage(),
             ExpectEnglish() ? InterfaceLanguage::English : InterfaceLanguage::Chinese);
  }

  void mainDialogSpeaksTheLanguage() {
    CMainDialog dialog;
    const std::pair<const char*, QString> texts[] = {
        {"startButton", Either("OK", "确定")},
        {"imageFileCaption", Either("Image file:", "镜像文件：")},
        {"imagePathLabel", Either("(none chosen)", "（请选择）")},
        {"chooseImageButton", Either("Choose File", "选择文件")},
        {"startMacCaption", Either("Start MAC:", "起始MAC地址：")},
        {"deviceCountCaption", Either("Devices:", "生成数量：")},
        {"statusCaption", Either("Status:", "状态：")},
        {"outputDirectoryLabel", QStringLiteral("out")},
        {"outputDirectoryCaption", Either("Output folder:", "输出目录：")},
        {"chooseDirectoryButton", Either("Choose Folder", "选择目录")},
        {"macsPerDeviceCaption", Either("MACs per device:", "每设备MAC数量：")},
    };
    for (const auto& [name, text] : texts)
      QCOMPARE(ShownText(*Control<QWidget>(dialog, name)), text);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Quillmark"));
    if (ExpectEnglish())
      VerifyNoChinese(TextsOf(dialog));
  }

  void aboutBoxSpeaksTheLanguage() {
    CAboutDialog about;
    QCOMPARE(about.windowTitle(), Either("About Quillmark", "关于 Quillmark"));
    QCOMPARE(ShownText(*Control<QWidget>(about, "versionLabel")),
             Either("Quillmark version 1.0", "Quillmark 1.0 版"));
    QCOMPARE(
        ShownText(*Control<QWidget>(about, "creditLabel")),
        Either("Firmware images come from the line's firmware group", "固件镜像由产线固件组提供"));
    QCOMPARE(ShownText(*Control<QWidget>(about, "okButton")), Either("OK", "确定"));
  }

  void controlsShowTheirWholeTexts() {
    CMainDialog dialog;
    CAboutDialog about;
    dialog.show();
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    VerifyNothingClips(dialog);
    VerifyNothingClips(about);
  }

  void systemMenuSpeaksTheLanguage() {
    CMainDialog dialog;
    const std::unique_ptr<QMenu> menu = BuildSystemMenu(&dialog, [](unsigned) {});
    QStringList items;
    for (const QAction* action : menu->actions())
      items << action->text();
    QCOMPARE(items,
             ExpectEnglish()
                 ? (QStringList{"&Close", "", "&Verify Output Folder", "&About Quillmark..."})
                 : (QStringList{QStringLiteral("关闭(&C)"), "", QString::fromUtf8(kVerifyMenuText),
                                QStringLiteral("关于 Quillmark(&A)...")}));
  }

  void failureCountSpeaksTheLanguage() {
    QLabel bar, count;
    QProgressBar progressBar;
    RunProgress progress(&progressBar, &count);
    progress.Begin(10);
    BatchOutcome outcome;
    outcome.devicesWritten = 7;
    outcome.devicesFailed = 1;
    outcome.devicesNotReached = 2;
    progress.End(false, outcome);
    QCOMPARE(count.text(), Either("Failed 3 / 10", "失败 3 / 10"));
    QVERIFY2(count.toolTip().startsWith(Either("3 of 10 devices have no image file (",
                                               "10 台设备中有 3 台没有写成镜像文件（")),
             qPrintable(count.toolTip()));
    QCOMPARE(WidestFailureCountTexts(), QStringList{FailureCountText(65535, 65535)});
  }

  // The folder chooser is the tool's own; Qt's standard buttons in it and
  // the image chooser come from Qt's catalogue for the language.
  void choosersAreTitledInTheLanguage() {
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    PlatformPickers().chooseDirectory(dialog, [](const QString&) {});
    auto* browser = dialog.findChild<FolderBrowser*>();
    QVERIFY(browser != nullptr);
    QCOMPARE(browser->windowTitle(), Either("Change Output Folder", "修改保存目录"));
    auto* buttons = browser->findChild<QDialogButtonBox*>();
    QCOMPARE(buttons->button(QDialogButtonBox::Ok)->text(), Either("OK", "确定"));
    QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), Either("Cancel", "取消"));
    browser->reject();

    QString title;
    QString accept;
    ModalWatcher watcher(QFileDialog::staticMetaObject, [&](QWidget* window) {
      title = window->windowTitle();
      accept = window->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->text();
    });
    ChooseImageFile(&dialog);
    QCOMPARE(title, Either("Open", "打开"));
    QCOMPARE(accept, Either("&Open", "打开(&O)"));
  }

  // A refusal of the start command and help that cannot start are said in
  // the language, in a box captioned with the program's name. The image
  // label's placeholder is never read as a file, even where a valid image
  // has that name.
  void messageBoxesSpeakTheLanguage() {
    test::ScratchDir scratch;
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QString::fromStdString(scratch.path())));
    CMainDialog dialog;
    const QString placeholder = Control<QLabel>(dialog, "imagePathLabel")->text();
    test::WriteFileBytes(scratch / placeholder.toStdString(), test::MakeValidImage(test::k4MiB));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    MessageBoxCloser closer;
    dialog.OnOK();  // no image chosen
    QDir::setCurrent(saved);
    QCOMPARE(scratch.List(), std::vector<std::string>{placeholder.toStdString()});
    // No guide stands beside this test.
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    OnHelp(&dialog);
    QCOMPARE(closer.seen.size(), size_t{2});
    QCOMPARE(closer.seen[0].title, QStringLiteral("quillmark_language_test"));
    QCOMPARE(closer.seen[1].title, QStringLiteral("quillmark_language_test"));
    if (ExpectEnglish())
      VerifyNoChinese({closer.seen[0].text});
    else
      QCOMPARE(closer.seen[0].text, QStringLiteral("读取文件错误！"));
    QCOMPARE(closer.seen[1].text, Either("Help could not be started.", "启动帮助失败。"));
  }

  // A run says its status in the language, joined to the note about
  // another lot's files as the language joins them; the files it writes
  // are the same in every language. The check that reads them back ends
  // with its message box in the language.
  void aRunSpeaksTheLanguageAndWritesTheSameFiles() {
    test::ScratchDir scratch;
    const std::vector<std::uint8_t> image = test::MakeValidImage(test::k4MiB);
    test::WriteFileBytes(scratch / "fw.img", image);
    QVERIFY(QDir().mkpath(QString::fromStdString(scratch / "out")));
    test::WriteFileBytes(scratch / "out/fw_other.img", {1});
    const QString saved = QDir::currentPath();
    CMainDialog dialog;
    const QString imagePath = QString::fromStdString(scratch / "fw.img");
    dialog.SetPickers(DialogPickers{[imagePath](QWidget*) { return std::optional(imagePath); },
                                    [](QDialog&, std::function<void(const QString&)>) {}});
    dialog.OnChooseImage();  // the relative output folder is now beside the image
    Control<QLineEdit>(dialog, "deviceCountEdit")->setText(QStringLiteral("2"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    MessageBoxCloser closer;
    dialog.OnOK();
    QTRY_VERIFY(Control<QPushButton>(dialog, "startButton")->isEnabled());
    QCOMPARE(closer.seen.size(), size_t{0});
    const QString status = Control<QLabel>(dialog, "statusLabel")->text();
    dialog.OnSysCommand(kVerifyCommand);
    QTRY_COMPARE(closer.seen.size(), size_t{1});
    QDir::setCurrent(saved);
    QVERIFY2(status.startsWith(Either("Run finished; ", "运行结束；")), qPrintable(status));
    QCOMPARE(closer.seen[0].icon, QMessageBox::NoIcon);  // every device passed
    if (ExpectEnglish())
      VerifyNoChinese({status, closer.seen[0].text});
    QCOMPARE(
        scratch.List("out"),
        (std::vector<std::string>{"fw_045755_000000.img", "fw_045755_000001.img", "fw_other.img"}));
    for (std::uint8_t octet : {0, 1}) {
      char name[32];
      std::snprintf(name, sizeof name, "out/fw_045755_0000%02x.img", octet);
      QVERIFY2(test::ReadFileBytes(scratch / name) ==
                   test::ExpectedDeviceImage(image, {0x04, 0x57, 0x55, 0, 0, octet}, 1),
               name);
    }
  }

  // F1 opens the guide of the language, and that guide calls the
  // controls and menu items what the dialog shows.
  void helpOpensTheGuideOfTheLanguage() {
    QCOMPARE(HelpPagePath(QStringLiteral("/opt/q/Quillmark"), DialogLanguage()),
             Either("/opt/q/Quillmark_en.html", "/opt/q/Quillmark.html"));
    QFile guide(QStringLiteral(QUILLMARK_RESOURCES "/") +
                Either("quillmark_help_en.html", "quillmark_help.html"));
    QVERIFY(guide.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(guide.readAll());
    CMainDialog dialog;
    QStringList names;
    for (const QWidget* control : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (control->inherits("QPushButton") || control->objectName().endsWith("Caption"))
        names << ShownText(*control);
    }
    const std::unique_ptr<QMenu> menu = BuildSystemMenu(&dialog, [](unsigned) {});
    for (const QAction* action : menu->actions())
      names << action->text();
    static const QRegularExpression decoration(QStringLiteral("\\(&.\\)|&|\\.\\.\\.|:|："));
    for (QString name : names) {
      name.remove(decoration);
      if (!name.isEmpty())
        QVERIFY2(html.contains(name, Qt::CaseInsensitive), qPrintable(name));
    }
  }
};

QUILLMARK_APP_TEST_MAIN(LanguageTest)
#include "language_test.moc"
