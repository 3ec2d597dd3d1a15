// The dialog from the keyboard: where the focus starts and goes, and what
// Enter presses.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app_test_support.h"
#include "main_dialog.h"

using namespace quillmark;
using quillmark::test::Control;
using quillmark::test::MessageBoxCloser;
using quillmark::test::ScriptedPickers;

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
};

QUILLMARK_APP_TEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
