// The platform's choosers, opened from the dialog once each.
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app_test_support.h"
#include "fixture_image.h"
#include "main_dialog.h"
#include "scratch_dir.h"

using namespace quillmark;
using quillmark::test::ModalWatcher;

class RealPickersTest : public QObject {
  Q_OBJECT

 private slots:
  void imagePickerOffersBothPatternsAndMovesTheCurrentDirectory() {
    test::ScratchDir scratch;
    for (const char* name : {"a.img", "b.bin", "c.txt"})
      test::WriteFileBytes(scratch / name, {1});
    const QString folder = QString::fromStdString(scratch.path());
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QDir::rootPath()));

    CMainDialog dialog;
    QStringList filters;
    QString acceptText;
    QStringList listed;
    ModalWatcher watcher(QFileDialog::staticMetaObject, [&](QWidget* window) {
      auto* picker = static_cast<QFileDialog*>(window);
      filters = picker->nameFilters();
      acceptText = picker->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->text();
      picker->setDirectory(folder);
      auto* model = picker->findChild<QFileSystemModel*>();
      const QModelIndex shown = model->index(folder);
      QTRY_VERIFY(model->rowCount(shown) >= 2);
      QTest::qWait(200);  // room for a file the filter should hide to arrive
      for (int row = 0; row < model->rowCount(shown); ++row) {
        listed << model->index(row, 0, shown).data().toString();
      }
      picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("b.bin");
      static_cast<QDialog*>(picker)->accept();  // as the Open button does
    });
    dialog.OnChooseImage();
    const QString current = QDir::currentPath();
    QDir::setCurrent(saved);

    QCOMPARE(filters, QStringList{QStringLiteral("Image File(*.img;*.bin)")});
    listed.sort();
    QCOMPARE(listed, (QStringList{"a.img", "b.bin"}));
    QVERIFY2(acceptText.contains(QStringLiteral("打开")), qPrintable(acceptText));
    QCOMPARE(dialog.findChild<QLabel*>("imagePathLabel")->text(), folder + "/b.bin");
    QCOMPARE(current, folder);
  }

  void folderPickerTakesATypedFolder() {
    test::ScratchDir scratch;
    const QString typed = QString::fromStdString(scratch / "line 3");
    QVERIFY(QDir().mkpath(typed));
    CMainDialog dialog;
    QString title;
    ModalWatcher watcher(QFileDialog::staticMetaObject, [&](QWidget* window) {
      auto* picker = static_cast<QFileDialog*>(window);
      title = picker->windowTitle();
      picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
      static_cast<QDialog*>(picker)->accept();  // as the OK button does
    });
    dialog.OnChooseOutputDirectory();
    QCOMPARE(title, QStringLiteral("修改保存目录"));
    QCOMPARE(dialog.findChild<QLabel*>("outputDirectoryLabel")->text(), typed);
  }
};

QUILLMARK_APP_TEST_MAIN(RealPickersTest)
#include "real_pickers_test.moc"
