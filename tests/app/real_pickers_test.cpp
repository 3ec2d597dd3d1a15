// The platform's choosers, opened from the dialog: the image picker owned
// by the dialog and opening in the current directory, the folder chooser
// without an owner, and neither keeping nor reading any state.
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "app_test_support.h"
#include "fixture_image.h"
#include "folder_browser.h"
#include "generator_app.h"
#include "main_dialog.h"
#include "scratch_dir.h"

using namespace quillmark;
using quillmark::test::ModalWatcher;

namespace {

constexpr char kNoStateChildVariable[] = "QUILLMARK_NO_STATE_CHILD";

QString Label(QWidget& dialog, const char* name) {
  return dialog.findChild<QLabel*>(QString::fromLatin1(name))->text();
}

// The folder choosers open as windows of their own.
QList<FolderBrowser*> OpenChoosers() {
  QList<FolderBrowser*> open;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (auto* chooser = qobject_cast<FolderBrowser*>(window); chooser && chooser->isVisible())
      open.append(chooser);
  }
  return open;
}

FolderBrowser* ClickChooseDirectory(CMainDialog& dialog) {
  QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("chooseDirectoryButton")),
                    Qt::LeftButton);
  const QList<FolderBrowser*> open = OpenChoosers();
  return open.size() == 1 ? open.front() : nullptr;
}

QLineEdit* FolderField(FolderBrowser& chooser) {
  return chooser.findChild<QLineEdit*>(QStringLiteral("folderEdit"));
}

// Chooses a folder in the chooser's tree, as a click on it does.
void ChooseInTree(FolderBrowser& chooser, const QString& folder) {
  auto* tree = chooser.findChild<QTreeView*>(QStringLiteral("folderTree"));
  tree->setCurrentIndex(chooser.findChild<QFileSystemModel*>()->index(folder));
}

// Types over the chooser's field and presses Enter, as a user does.
void TypeFolder(FolderBrowser& chooser, const QString& folder) {
  QLineEdit* field = FolderField(chooser);
  chooser.activateWindow();
  field->setFocus();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(field, folder);
  QTest::keyClick(field, Qt::Key_Return);
}

// In the child: opens and cancels both choosers and prints the folder
// each opened in.
int PrintWhereThePickersOpen(int argc, char** argv) {
  CGeneratorApp app(argc, argv);
  CMainDialog dialog;
  dialog.show();
  QString imageFolder;
  {
    ModalWatcher watcher(QFileDialog::staticMetaObject, [&](QWidget* window) {
      imageFolder = static_cast<QFileDialog*>(window)->directory().absolutePath();
    });
    dialog.OnChooseImage();
  }
  FolderBrowser* chooser = ClickChooseDirectory(dialog);
  if (chooser == nullptr)
    return 1;
  const QString folder = FolderField(*chooser)->text();
  chooser->reject();
  QCoreApplication::processEvents();
  std::printf("image=%s\nfolder=%s\n", qPrintable(imageFolder), qPrintable(folder));
  return 0;
}

}  // namespace

class RealPickersTest : public QObject {
  Q_OBJECT

 private slots:
  void imagePickerOpensHereOffersBothPatternsAndMovesTheCurrentDirectory() {
    test::ScratchDir scratch;
    const QString folder = QString::fromStdString(scratch / "images");
    QVERIFY(QDir().mkpath(folder));
    for (const char* name : {"a.img", "b.bin", "c.txt"})
      test::WriteFileBytes(scratch / "images/" + name, {1});
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QString::fromStdString(scratch.path())));

    CMainDialog dialog;
    QString openedIn;
    QStringList filters;
    QString acceptText;
    QStringList listed;
    ModalWatcher watcher(QFileDialog::staticMetaObject, [&](QWidget* window) {
      auto* picker = static_cast<QFileDialog*>(window);
      openedIn = picker->directory().absolutePath();
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

    QCOMPARE(openedIn, QString::fromStdString(scratch.path()));
    QCOMPARE(filters, QStringList{QStringLiteral("Image File(*.img;*.bin)")});
    listed.sort();
    QCOMPARE(listed, (QStringList{"a.img", "b.bin"}));
    QVERIFY2(acceptText.contains(QStringLiteral("打开")), qPrintable(acceptText));
    QCOMPARE(Label(dialog, "imagePathLabel"), folder + "/b.bin");
    QCOMPARE(current, folder);
  }

  // The chooser is not modal: while it is open, typing and clicking in the
  // dialog reach the dialog, and a second click brings the same chooser
  // forward. It opens beside the dialog and at the top of the folder tree.
  void folderChooserLeavesTheDialogUsable() {
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    FolderBrowser* chooser = ClickChooseDirectory(dialog);
    QVERIFY(chooser != nullptr);
    QCOMPARE(chooser->windowTitle(), QStringLiteral("修改保存目录"));
    QCOMPARE(chooser->windowModality(), Qt::NonModal);
    QVERIFY(!chooser->frameGeometry().intersects(dialog.frameGeometry()));
    QCOMPARE(FolderField(*chooser)->text(), QDir::rootPath());
    QCOMPARE(chooser->ChosenFolder(), QDir::rootPath());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(dialog.isEnabled());

    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* count = dialog.findChild<QLineEdit*>(QStringLiteral("deviceCountEdit"));
    QTest::mouseClick(count, Qt::LeftButton);
    QTest::keyClick(count, Qt::Key_End);
    QTest::keyClicks(count, "0");
    QCOMPARE(count->text(), QStringLiteral("2550"));
    QCOMPARE(FolderField(*chooser)->text(), QDir::rootPath());
    QCOMPARE(ClickChooseDirectory(dialog), chooser);
    QTRY_VERIFY(chooser->isActiveWindow());
  }

  // A typed folder is taken as typed when absolute, else within the
  // folder chosen in the tree; one that does not exist yet is taken too
  // (starting a run creates it, or refuses it). Each opening starts at
  // the top again.
  void folderChooserTakesATypedFolder_data() {
    QTest::addColumn<QString>("treeFolder");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("absolute") << ""
                              << "@/line 3"
                              << "@/line 3";
    QTest::newRow("within the tree's folder") << "@"
                                              << "line 4"
                                              << "@/line 4";
    QTest::newRow("new folder") << "@/line 3"
                                << "new out"
                                << "@/line 3/new out";
    QTest::newRow("drive root") << "@"
                                << "/"
                                << "/";
  }
  void folderChooserTakesATypedFolder() {
    QFETCH(QString, treeFolder);
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    test::ScratchDir scratch;
    const QString root = QString::fromStdString(scratch.path());
    for (const char* name : {"line 3", "line 4"})
      QVERIFY(QDir().mkpath(root + "/" + name));
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    for (int opening = 0; opening < 2; ++opening) {
      FolderBrowser* chooser = ClickChooseDirectory(dialog);
      QVERIFY(chooser != nullptr);
      QCOMPARE(FolderField(*chooser)->text(), QDir::rootPath());
      if (!treeFolder.isEmpty())
        ChooseInTree(*chooser, QString(treeFolder).replace('@', root));
      TypeFolder(*chooser, QString(typed).replace('@', root));
      QTRY_VERIFY(OpenChoosers().isEmpty());
      QCOMPARE(Label(dialog, "outputDirectoryLabel"), QString(chosen).replace('@', root));
    }
  }

  void folderChosenInTheTreeIsTaken() {
    test::ScratchDir scratch;
    CMainDialog dialog;
    dialog.show();
    FolderBrowser* chooser = ClickChooseDirectory(dialog);
    QVERIFY(chooser != nullptr);
    ChooseInTree(*chooser, QString::fromStdString(scratch.path()));
    QCOMPARE(FolderField(*chooser)->text(), QString::fromStdString(scratch.path()));
    chooser->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QTRY_VERIFY(OpenChoosers().isEmpty());
    QCOMPARE(Label(dialog, "outputDirectoryLabel"), QString::fromStdString(scratch.path()));
  }

  void cancellingOrClosingTheDialogLeavesTheFolderAsItWas() {
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    FolderBrowser* chooser = ClickChooseDirectory(dialog);
    QVERIFY(chooser != nullptr);
    QTest::keyClicks(FolderField(*chooser), "tmp");
    QTest::keyClick(FolderField(*chooser), Qt::Key_Escape);
    QTRY_VERIFY(OpenChoosers().isEmpty());
    QCOMPARE(Label(dialog, "outputDirectoryLabel"), QStringLiteral("out"));

    QVERIFY(ClickChooseDirectory(dialog) != nullptr);
    dialog.close();  // the chooser goes with the dialog
    QTRY_VERIFY(OpenChoosers().isEmpty());
    QCOMPARE(Label(dialog, "outputDirectoryLabel"), QStringLiteral("out"));
  }

  // A copy of the tool with a home folder whose Qt settings name other
  // folders: the pickers open where they always do, and the home folder
  // is left byte for byte as it was.
  void pickersNeitherReadNorWriteSettings() {
    test::ScratchDir scratch;
    const QString home = QString::fromStdString(scratch / "home");
    const QString work = QString::fromStdString(scratch / "work");
    QVERIFY(QDir().mkpath(home + "/.config") && QDir().mkpath(work));
    const std::string settingsPath = scratch / "home/.config/QtProject.conf";
    const std::string settings =
        "[FileDialog]\nhistory=file:///usr, file:///var\nlastVisited=file:///usr\n";
    test::WriteFileBytes(settingsPath, std::vector<std::uint8_t>(settings.begin(), settings.end()));

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kNoStateChildVariable), QStringLiteral("1"));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + "/.config");
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + "/.cache");
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + "/.local/share");
    child.setProcessEnvironment(environment);
    child.setWorkingDirectory(work);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()).trimmed(),
             QStringLiteral("image=%1\nfolder=/").arg(work));
    QCOMPARE(test::ReadFileBytes(settingsPath),
             std::vector<std::uint8_t>(settings.begin(), settings.end()));
    QCOMPARE(scratch.List("home"), std::vector<std::string>{".config"});
    QCOMPARE(scratch.List("home/.config"), std::vector<std::string>{"QtProject.conf"});
  }
};

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsSet(kNoStateChildVariable))
    return PrintWhereThePickersOpen(argc, argv);
  RealPickersTest test;
  return test::RunAppTest(test, argc, argv);
}

#include "real_pickers_test.moc"
