// The main dialog and the about box as a user meets them, without a run.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <vector>

#include "about_dialog.h"
#include "app_test_support.h"
#include "dialog_units.h"
#include "elided_label.h"
#include "main_dialog.h"
#include "message_box.h"
#include "status_lines.h"

using namespace quillmark;
using quillmark::test::Control;
using quillmark::test::MessageBoxCloser;
using quillmark::test::ModalWatcher;
using quillmark::test::ScriptedPickers;

namespace {

QString TextOf(QWidget& dialog, const char* name) {
  QWidget* widget = Control<QWidget>(dialog, name);
  if (auto* label = qobject_cast<QLabel*>(widget))
    return label->text();
  if (auto* edit = qobject_cast<QLineEdit*>(widget))
    return edit->text();
  return qobject_cast<QPushButton*>(widget)->text();
}

// The tooltip a hover over the label shows, as plain text; empty when
// none shows.
QString ToolTipShownFor(QWidget& widget) {
  QToolTip::hideText();  // goes after a short delay
  if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }))
    return QStringLiteral("(an earlier tooltip stays)");
  QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), widget.mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(&widget, &hover);
  if (!QToolTip::isVisible())
    return QString();
  QTextDocument document;
  document.setHtml(QToolTip::text());
  return document.toPlainText();
}

// How far right a label's text reaches when it shows text: the rightmost
// column inside its frame that differs from its background.
int InkRightEdge(QLabel& label, const QString& text) {
  const QString saved = label.text();
  label.setText(text);
  const QImage image = label.grab().toImage();
  label.setText(saved);
  const QRect inside = label.contentsRect().adjusted(1, 1, -1, -1);
  const QRgb background = image.pixel(inside.right(), inside.center().y());
  int right = -1;
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) {
      if (image.pixel(x, y) != background)
        right = std::max(right, x);
    }
  }
  return right;
}

}  // namespace

class MainDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void opensWithTheTemplateTextsAndDefaults() {
    CMainDialog dialog;
    const std::pair<const char*, int> ids[] = {
        {"startButton", 1},
        {"chooseImageButton", 1000},
        {"imagePathLabel", 1001},
        {"startMacEdit", 1002},
        {"deviceCountEdit", 1003},
        {"statusLabel", 1004},
        {"outputDirectoryLabel", 1005},
        {"chooseDirectoryButton", 1006},
        {"macsPerDeviceEdit", 1007},
    };
    for (const auto& [name, id] : ids) {
      QCOMPARE(Control<QWidget>(dialog, name)->property("controlId").toInt(), id);
    }
    QCOMPARE(TextOf(dialog, "startButton"), QStringLiteral("确定"));
    QCOMPARE(TextOf(dialog, "chooseImageButton"), QStringLiteral("选择文件"));
    QCOMPARE(TextOf(dialog, "chooseDirectoryButton"), QStringLiteral("选择目录"));
    QCOMPARE(TextOf(dialog, "imagePathLabel"), QStringLiteral("（请选择）"));
    QCOMPARE(TextOf(dialog, "outputDirectoryLabel"), QStringLiteral("out"));
    QCOMPARE(TextOf(dialog, "startMacEdit"), QStringLiteral("04:57:55:00:00:00"));
    QCOMPARE(TextOf(dialog, "deviceCountEdit"), QStringLiteral("255"));
    QCOMPARE(TextOf(dialog, "macsPerDeviceEdit"), QStringLiteral("1"));
    QCOMPARE(TextOf(dialog, "statusLabel"), QString());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Quillmark"));
    // The edits take any text; every check happens at start.
    QVERIFY(Control<QLineEdit>(dialog, "deviceCountEdit")->validator() == nullptr);
    QVERIFY(!Control<QLineEdit>(dialog, "deviceCountEdit")->isReadOnly());
  }

  void keepsTheTemplateProportionsAtAFixedSize() {
    CMainDialog dialog;
    const DialogBaseUnits units = BaseUnitsOf(dialog.font());
    QCOMPARE(dialog.minimumSize(), DialogSizeToPixels(units, 320, 119));
    QCOMPARE(dialog.maximumSize(), dialog.minimumSize());
    QVERIFY(
        !(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(Control<QWidget>(dialog, "startButton")->geometry(),
             DialogRectToPixels(units, 253, 53, 50, 35));
    QCOMPARE(Control<QWidget>(dialog, "macsPerDeviceEdit")->geometry(),
             DialogRectToPixels(units, 185, 75, 40, 14));
  }

  void warningMessagesBlockTheWholeApplication() {
    CMainDialog dialog;
    MessageBoxCloser closer;
    ShowMessage(&dialog, QStringLiteral("内存不足。"), MessageStyle::Warning);
    ShowMessage(&dialog, QStringLiteral("a & <b>b</b>"), MessageStyle::Plain);
    QCOMPARE(closer.seen.size(), size_t{2});
    QCOMPARE(closer.seen[0].icon, QMessageBox::Warning);
    QCOMPARE(closer.seen[0].modality, Qt::ApplicationModal);
    QCOMPARE(closer.seen[1].icon, QMessageBox::NoIcon);
    QCOMPARE(closer.seen[1].text, QStringLiteral("a & <b>b</b>"));
  }

  void pathsShowAsTheyStandAndCancelledPickersChangeNothing() {
    CMainDialog dialog;
    ScriptedPickers pickers;
    const QString image = QStringLiteral("/lab/R&D/<b>fw</b>.img");
    pickers.images = {image, std::nullopt};
    pickers.directories = {std::nullopt, QStringLiteral("/"), std::nullopt};
    dialog.SetPickers(pickers.Get());
    dialog.OnChooseImage();
    dialog.OnChooseImage();
    QCOMPARE(TextOf(dialog, "imagePathLabel"), image);
    QCOMPARE(Control<QLabel>(dialog, "imagePathLabel")->textFormat(), Qt::PlainText);
    dialog.OnChooseOutputDirectory();
    QCOMPARE(TextOf(dialog, "outputDirectoryLabel"), QStringLiteral("out"));
    dialog.OnChooseOutputDirectory();
    dialog.OnChooseOutputDirectory();
    QCOMPARE(TextOf(dialog, "outputDirectoryLabel"), QStringLiteral("/"));
    QCOMPARE(pickers.asked(), 5);
  }

  // A long status keeps its beginning and the file's name in view; the
  // whole text is in the tooltip, and the text itself is unchanged.
  void longStatusIsElidedInTheMiddleWithTheWholeTextAsTooltip() {
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* status = Control<ElidedLabel>(dialog, "statusLabel");
    const std::string path =
        "/srv/line3/R&D <b>deep</b>/production_line_3_firmware_release_2026_12_b/output/"
        "fw_045755_000009.img";
    const QString text = QString::fromStdString(CreationFailedText(path));
    dialog.SetStatus(StatusKind::CreationFailed, text.toStdString());
    QCOMPARE(status->text(), text);
    const QString shown = status->ShownText();
    QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
    QVERIFY2(shown.startsWith(QString::fromStdString(CreationFailedText("/srv/"))),
             qPrintable(shown));
    QVERIFY2(shown.endsWith(QStringLiteral("/fw_045755_000009.img")), qPrintable(shown));
    QVERIFY(status->fontMetrics().horizontalAdvance(shown) <= status->contentsRect().width());
    // The whole text, markup shown as it stands, in lines as wide as the
    // status line.
    QCOMPARE(ToolTipShownFor(*status), status->ToolTipLines().join(QLatin1Char('\n')));
    QCOMPARE(status->ToolTipLines().join(QString()), text);

    dialog.SetStatus(StatusKind::Saving, test::Saving("04:57:55:00:00:0a"));
    QVERIFY(!status->IsElided());
    QCOMPARE(ToolTipShownFor(*status), QString());
  }

  // "&" and markup in a path show as they stand, in every label that
  // shows a path, elided or not.
  void ampersandAndMarkupInPathsShowLiterally() {
    CMainDialog dialog;
    ScriptedPickers pickers;
    const QString image = QStringLiteral("/lab/R&D 产线/<b>fw</b>.img");
    pickers.images = {image};
    pickers.directories = {QStringLiteral("/lab/R&D 产线/out")};
    dialog.SetPickers(pickers.Get());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.OnChooseImage();
    dialog.OnChooseOutputDirectory();
    dialog.SetStatus(StatusKind::WriteFailed,
                     WriteFailedText("/lab/R&D 产线/out/fw_045755_000000.img"));
    for (const char* name : {"imagePathLabel", "outputDirectoryLabel", "statusLabel"}) {
      auto* label = Control<ElidedLabel>(dialog, name);
      QCOMPARE(label->textFormat(), Qt::PlainText);
      QVERIFY2(!label->IsElided(), name);
      QCOMPARE(label->ShownText(), label->text());
      QVERIFY2(label->text().contains(QStringLiteral("R&D 产线")), name);
      // Taken for a mnemonic, "&" would vanish and underline the "D".
      QVERIFY2(InkRightEdge(*label, "R&D") > InkRightEdge(*label, "RD"), name);
    }
    QCOMPARE(TextOf(dialog, "imagePathLabel"), image);
  }

  void aboutCommandsOpenTheAboutBox() {
    CMainDialog dialog;
    dialog.show();
    // The about command with any low bits; the commands on either side
    // (0x0020 is the verify command) open no about box.
    std::vector<unsigned> commands = {0x0000, 0x0030};
    for (unsigned command = 0x0010; command <= 0x001F; ++command)
      commands.push_back(command);
    for (unsigned command : commands) {
      int opened = 0;
      ModalWatcher watcher(CAboutDialog::staticMetaObject, [&](QWidget* window) {
        auto* about = static_cast<CAboutDialog*>(window);
        ++opened;
        QCOMPARE(about->parentWidget(), &dialog);
        about->accept();
      });
      dialog.OnSysCommand(command);
      QCOMPARE(opened, command >= 0x0010 && command <= 0x001F ? 1 : 0);
    }
  }

  void aboutBoxShowsNameVersionAndClosesEveryWay_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Space on OK") << int(Qt::Key_Space);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
  }
  void aboutBoxShowsNameVersionAndClosesEveryWay() {
    QFETCH(int, key);
    CMainDialog dialog;
    dialog.show();
    QStringList texts;
    QString focus;
    ModalWatcher watcher(CAboutDialog::staticMetaObject, [&](QWidget* window) {
      QTRY_VERIFY(window->isActiveWindow());
      texts << window->windowTitle();
      for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->text().isEmpty())
          texts << label->text();
      }
      focus = QApplication::focusWidget()->objectName();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    });
    dialog.OnSysCommand(0x0010);
    QCOMPARE(texts.mid(0, 3),
             (QStringList{QStringLiteral("关于 Quillmark"), QStringLiteral("Quillmark 1.0 版"),
                          QStringLiteral("固件镜像由产线固件组提供")}));
    QCOMPARE(focus, QStringLiteral("okButton"));
    QVERIFY(dialog.isVisible());
  }

  void escAndCloseEndTheIdleDialogAtOnce() {
    for (bool byKey : {true, false}) {
      CMainDialog dialog;
      dialog.show();
      QVERIFY(QTest::qWaitForWindowActive(&dialog));
      if (byKey) {
        QTest::keyClick(&dialog, Qt::Key_Escape);
      } else {
        dialog.close();
      }
      QVERIFY(!dialog.isVisible());
      QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
  }

  void helpKeyWithoutAGuideSaysHelpCouldNotStart() {
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    MessageBoxCloser closer;
    QTest::keyClick(&dialog, Qt::Key_F1, Qt::ShiftModifier);
    QTest::keyClick(&dialog, Qt::Key_F1, Qt::ControlModifier);
    QCOMPARE(closer.seen.size(), size_t{0});
    QTest::keyClick(&dialog, Qt::Key_F1);
    QCOMPARE(closer.seen.size(), size_t{1});
    QCOMPARE(closer.seen.front().text, QStringLiteral("启动帮助失败。"));
  }
};

QUILLMARK_APP_TEST_MAIN(MainDialogTest)
#include "main_dialog_test.moc"
