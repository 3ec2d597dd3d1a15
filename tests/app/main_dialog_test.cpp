// The main dialog and the about box as a user meets them, without a run.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "about_dialog.h"
#include "app_test_support.h"
#include "dialog_units.h"
#include "main_dialog.h"
#include "message_box.h"

using namespace quillmark;
using quillmark::test::MessageBoxCloser;
using quillmark::test::ModalWatcher;

namespace {

template <typename Widget>
Widget* Control(QWidget& dialog, const char* name) {
  auto* widget = dialog.findChild<Widget*>(QString::fromLatin1(name));
  if (widget == nullptr)
    qFatal("no control %s", name);
  return widget;
}

QString TextOf(QWidget& dialog, const char* name) {
  QWidget* widget = Control<QWidget>(dialog, name);
  if (auto* label = qobject_cast<QLabel*>(widget))
    return label->text();
  if (auto* edit = qobject_cast<QLineEdit*>(widget))
    return edit->text();
  return qobject_cast<QPushButton*>(widget)->text();
}

// Pickers that answer from a list and count how often they were asked.
struct ScriptedPickers {
  std::vector<std::optional<QString>> images, directories;
  int asked = 0;
  DialogPickers Get() {
    auto next = [this](std::vector<std::optional<QString>>& answers) {
      ++asked;
      std::optional<QString> answer;
      if (!answers.empty()) {
        answer = answers.front();
        answers.erase(answers.begin());
      }
      return answer;
    };
    return DialogPickers{[this, next](QWidget*) mutable { return next(images); },
                         [this, next](QWidget*) mutable { return next(directories); }};
  }
};

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

  void focusStartsOnTheStartButtonAndTabsInTemplateOrder() {
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), Control<QWidget>(dialog, "startButton"));
    QStringList order;
    for (int i = 0; i < 6; ++i) {
      order << QApplication::focusWidget()->objectName();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, (QStringList{"startButton", "chooseImageButton", "startMacEdit",
                                 "deviceCountEdit", "chooseDirectoryButton", "macsPerDeviceEdit"}));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("startButton"));
  }

  void enterWithTheDefaultsCannotOpenThePlaceholderPath() {
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    MessageBoxCloser closer;
    QTest::keyClick(&dialog, Qt::Key_Return);
    QCOMPARE(closer.seen.size(), size_t{1});
    const test::SeenMessage& box = closer.seen.front();
    QCOMPARE(box.text, QStringLiteral("读取文件错误！"));
    QCOMPARE(box.title, QStringLiteral("quillmark_main_dialog_test"));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.parent, &dialog);
    QCOMPARE(box.buttonCount, 1);
    QVERIFY(dialog.isVisible());  // the start command never ends the dialog
    QVERIFY(Control<QWidget>(dialog, "startButton")->isEnabled());
  }

  void enterOnAFocusedPickerButtonStartsRatherThanPicks() {
    CMainDialog dialog;
    ScriptedPickers pickers;
    dialog.SetPickers(pickers.Get());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    for (const char* name : {"chooseImageButton", "chooseDirectoryButton"}) {
      QWidget* button = Control<QWidget>(dialog, name);
      dialog.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&dialog));
      button->setFocus();
      QTRY_COMPARE(QApplication::focusWidget(), button);
      MessageBoxCloser closer;
      QTest::keyClick(button, Qt::Key_Return);
      QCOMPARE(closer.seen.size(), size_t{1});
      QCOMPARE(pickers.asked, 0);
    }
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
    QCOMPARE(pickers.asked, 5);
  }

  void aboutCommandsOpenTheAboutBox() {
    CMainDialog dialog;
    dialog.show();
    for (unsigned command = 0x0010; command <= 0x0020; ++command) {
      int opened = 0;
      ModalWatcher watcher(CAboutDialog::staticMetaObject, [&](QWidget* window) {
        auto* about = static_cast<CAboutDialog*>(window);
        ++opened;
        QCOMPARE(about->parentWidget(), &dialog);
        about->accept();
      });
      dialog.OnSysCommand(command);
      QCOMPARE(opened, command == 0x0020 ? 0 : 1);
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
