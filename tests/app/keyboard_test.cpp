// The dialog from the keyboard: where the focus starts and goes, and what
// Enter presses.
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app_test_support.h"
#include "fixture_image.h"
#include "main_dialog.h"
#include "scratch_dir.h"
#include "status_lines.h"
#include "system_menu.h"

using namespace quillmark;
using quillmark::test::Control;
using quillmark::test::MessageBoxCloser;
using quillmark::test::ScriptedPickers;

namespace {

// Counts the runs that ended.
class CountingDialog : public CMainDialog {
 public:
  int runsEnded = 0;
  void OnRunFinished(bool finished) override {
    CMainDialog::OnRunFinished(finished);
    ++runsEnded;
  }
};

// The items of the menu that is open, as they read; "" for a separator.
QStringList OpenMenuItems() {
  QStringList items;
  if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
    for (QAction* action : menu->actions())
      items << action->text();
  }
  return items;
}

// Presses the key on the widget and returns the items of the menu it
// opened, which is then closed; the menu runs inside the key press.
QStringList MenuOpenedBy(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QStringList seen;
  QTimer::singleShot(0, [&seen] {
    seen = OpenMenuItems();
    if (QWidget* popup = QApplication::activePopupWidget())
      popup->close();
  });
  QTest::keyClick(widget, key, modifiers);
  if (!QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }))
    return {QStringLiteral("a menu stayed open")};
  return seen;
}

}  // namespace

class KeyboardTest : public QObject {
  Q_OBJECT

 private slots:
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
    QCOMPARE(box.title, QStringLiteral("quillmark_keyboard_test"));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.parent, &dialog);
    QCOMPARE(box.buttonCount, 1);
    QVERIFY(dialog.isVisible());  // the start command never ends the dialog
    QVERIFY(Control<QWidget>(dialog, "startButton")->isEnabled());
  }

  // Enter presses the button that has the focus; on an edit field it
  // presses the start button.
  void enterPressesTheFocusedButtonOrElseStarts_data() {
    QTest::addColumn<int>("tabs");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("pressed");
    const std::pair<int, const char*> fields[] = {{0, "start"}, {1, "image picker"},  {2, "start"},
                                                  {3, "start"}, {4, "folder picker"}, {5, "start"}};
    for (const auto& [tabs, pressed] : fields) {
      for (int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        const QByteArray name = QByteArray::number(tabs) + " tabs, " +
                                (key == Qt::Key_Return ? "Return" : "keypad Enter");
        QTest::newRow(name.constData()) << tabs << key << QString::fromLatin1(pressed);
      }
    }
  }
  void enterPressesTheFocusedButtonOrElseStarts() {
    QFETCH(int, tabs);
    QFETCH(int, key);
    QFETCH(QString, pressed);
    CMainDialog dialog;
    ScriptedPickers pickers;
    dialog.SetPickers(pickers.Get());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    for (int i = 0; i < tabs; ++i)
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    MessageBoxCloser closer;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    const int images = pickers.imagesAsked, folders = pickers.foldersAsked;
    const QString seen = closer.seen.size() == 1 && images == 0 && folders == 0 ? "start"
                         : closer.seen.empty() && images == 1 && folders == 0   ? "image picker"
                         : closer.seen.empty() && images == 0 && folders == 1   ? "folder picker"
                                                                                : "something else";
    QCOMPARE(seen, pressed);
  }

  // After choosing an image with the mouse the focus stays on its button,
  // so Enter opens the picker again rather than starting a run.
  void enterAfterAClickOnAButtonPressesThatButtonAgain() {
    CMainDialog dialog;
    ScriptedPickers pickers;
    pickers.images = {QStringLiteral("/lab/a.img"), std::nullopt};
    dialog.SetPickers(pickers.Get());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* chooseImage = Control<QPushButton>(dialog, "chooseImageButton");
    QTest::mouseClick(chooseImage, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), chooseImage);
    QVERIFY(chooseImage->isDefault());
    MessageBoxCloser closer;
    QTest::keyClick(chooseImage, Qt::Key_Return);
    QCOMPARE(pickers.asked(), 2);
    QCOMPARE(closer.seen.size(), size_t{0});
    // Back on an edit field, the start button is the default again.
    QTest::mouseClick(Control<QLineEdit>(dialog, "deviceCountEdit"), Qt::LeftButton);
    QVERIFY(Control<QPushButton>(dialog, "startButton")->isDefault());
    QVERIFY(!chooseImage->isDefault());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(closer.seen.size(), size_t{1});
    QCOMPARE(pickers.asked(), 2);
  }

  // A run started with the mouse disables the start button and so moves
  // the focus on; when the run ends, 确定 has the focus and the default
  // frame again, and Enter starts the next run, not the image picker. A
  // check ends the same way.
  void enterAfterARunOrACheckStartsTheNextRun() {
    test::ScratchDir scratch;
    const std::string image = scratch / "image.img";
    test::WriteFileBytes(image, test::MakeValidImage(test::k4MiB));
    CountingDialog dialog;
    ScriptedPickers pickers;
    pickers.images = {QString::fromStdString(image)};
    dialog.SetPickers(pickers.Get());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* start = Control<QPushButton>(dialog, "startButton");
    QTest::mouseClick(Control<QPushButton>(dialog, "chooseImageButton"), Qt::LeftButton);
    Control<QLineEdit>(dialog, "deviceCountEdit")->setText(QStringLiteral("2"));
    Control<QLabel>(dialog, "outputDirectoryLabel")
        ->setText(QString::fromStdString(scratch / "out"));

    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(dialog.runsEnded, 1, 60000);
    QCOMPARE(Control<QLabel>(dialog, "statusLabel")->text(),
             QString::fromStdString(test::kFinishedLine));
    QCOMPARE(QApplication::focusWidget(), start);
    QVERIFY(start->isDefault());
    QVERIFY(!Control<QPushButton>(dialog, "chooseImageButton")->isDefault());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(dialog.runsEnded, 2, 60000);
    QCOMPARE(pickers.imagesAsked, 1);
    QCOMPARE(QApplication::focusWidget(), start);

    MessageBoxCloser closer;
    dialog.OnSysCommand(kVerifyCommand);
    QTRY_COMPARE_WITH_TIMEOUT(closer.seen.size(), size_t{1}, 60000);
    // The message box had the focus; the dialog gets it back when it is
    // active again.
    QCOMPARE(dialog.focusWidget(), start);
    QVERIFY(start->isDefault());
    QCOMPARE(pickers.asked(), 1);
  }

  // Shift+F10 and the Menu key open the window's menu from every control,
  // the edit fields included; an edit field's own menu stays on the right
  // mouse button.
  void menuKeysOpenTheWindowMenuFromEveryControl_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    for (const char* control : {"startButton", "chooseImageButton", "startMacEdit",
                                "deviceCountEdit", "chooseDirectoryButton", "macsPerDeviceEdit"}) {
      QTest::newRow((QByteArray(control) + ", Shift+F10").constData())
          << QString::fromLatin1(control) << int(Qt::Key_F10) << int(Qt::ShiftModifier);
      QTest::newRow((QByteArray(control) + ", Menu").constData())
          << QString::fromLatin1(control) << int(Qt::Key_Menu) << int(Qt::NoModifier);
    }
  }
  void menuKeysOpenTheWindowMenuFromEveryControl() {
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* widget = Control<QWidget>(dialog, control.toLatin1().constData());
    widget->setFocus();
    QCOMPARE(QApplication::focusWidget(), widget);
    const QStringList windowMenu{QStringLiteral("关闭(&C)"), QString(),
                                 QString::fromUtf8(kVerifyMenuText),
                                 QStringLiteral("关于 Quillmark(&A)...")};
    QCOMPARE(MenuOpenedBy(widget, Qt::Key(key), Qt::KeyboardModifiers(modifiers)), windowMenu);
    QVERIFY(dialog.isVisible());
  }

  void anEditFieldKeepsItsOwnMenuOnTheRightButton() {
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* edit = Control<QLineEdit>(dialog, "startMacEdit");
    QStringList seen;
    QTimer::singleShot(50, [&seen] {
      seen = OpenMenuItems();
      if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    });
    const QPoint inside = edit->mapTo(&dialog, edit->rect().center());
    QTest::mouseClick(dialog.windowHandle(), Qt::RightButton, Qt::NoModifier, inside);
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    QVERIFY(!seen.isEmpty());
    QVERIFY(!seen.contains(QString::fromUtf8(kVerifyMenuText)));
  }
};

QUILLMARK_APP_TEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
