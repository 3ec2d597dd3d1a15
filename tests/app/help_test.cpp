// F1 opens the guide beside the executable, or installed in the
// documentation folder, at the topic of the dialog that has the focus.
// The build places a guide beside this test.
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "about_dialog.h"
#include "app_test_support.h"
#include "help.h"
#include "main_dialog.h"
#include "system_menu.h"

using namespace quillmark;
using quillmark::test::MessageBoxCloser;
using quillmark::test::ModalWatcher;

// Takes the place of the desktop's browser for file: links.
class OpenedUrls : public QObject {
  Q_OBJECT

 public:
  OpenedUrls() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
  ~OpenedUrls() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
  QList<QUrl> urls;

 public slots:
  void Open(const QUrl& url) { urls.append(url); }
};

class HelpTest : public QObject {
  Q_OBJECT

 private slots:
  void f1OpensTheTopicOfTheDialogInFront() {
    const QString page = HelpPagePath(QCoreApplication::applicationFilePath());
    QVERIFY2(QFileInfo(page).isFile(), qPrintable(page));
    OpenedUrls opened;
    MessageBoxCloser closer;
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    ModalWatcher watcher(CAboutDialog::staticMetaObject, [](QWidget* window) {
      QTRY_VERIFY(window->isActiveWindow());
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
      qobject_cast<QDialog*>(window)->accept();
    });
    dialog.OnSysCommand(kAboutCommand);

    QCOMPARE(closer.seen.size(), size_t{0});
    QCOMPARE(opened.urls.size(), 2);
    QCOMPARE(opened.urls[0].toLocalFile(), QFileInfo(page).absoluteFilePath());
    QCOMPARE(opened.urls[0].fragment(), QStringLiteral("topic-0x20066"));
    QCOMPARE(opened.urls[1].fragment(), QStringLiteral("topic-0x20064"));
  }

  // Window managers take Alt+Space for their own menu, so the guide sends
  // the user to a right-click on the window, and that opens the about box.
  void theGuideSendsARightClickToTheAboutItemAndThatWorks() {
    QFile page(HelpPagePath(QCoreApplication::applicationFilePath()));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    const QString about = html.mid(html.indexOf(QStringLiteral("id=\"topic-0x20064\"")));
    QVERIFY(about.contains(QStringLiteral("右键")));
    QVERIFY(about.contains(QStringLiteral("关于 Quillmark")));
    // The keyboard's routes to the same menu, which the keyboard test
    // presses from every control.
    QVERIFY(about.contains(QStringLiteral("Shift+F10")));
    QVERIFY(about.contains(QStringLiteral("菜单键")));

    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QStringList items;
    int aboutBoxes = 0;
    ModalWatcher aboutBox(CAboutDialog::staticMetaObject, [&](QWidget* window) {
      ++aboutBoxes;
      qobject_cast<QDialog*>(window)->accept();
    });
    // The menu runs inside the click; it is read and used from a timer.
    QTimer::singleShot(50, [&items] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu == nullptr)
        return;
      for (QAction* action : menu->actions())
        items << action->text();
      QTest::keyClick(menu, Qt::Key_Up);  // the last item
      QTest::keyClick(menu, Qt::Key_Return);
    });
    const QPoint inside =
        dialog.findChild<QWidget*>(QStringLiteral("statusLabel"))->geometry().center();
    QTest::mouseClick(dialog.windowHandle(), Qt::RightButton, Qt::NoModifier, inside);
    QTRY_COMPARE(aboutBoxes, 1);
    QCOMPARE(items.last(), QStringLiteral("关于 Quillmark(&A)..."));
  }

  // Installed, the guide is in the documentation folder, not beside the
  // executable; a guide beside it (a build) still comes first.
  // Each language's guide is found on its own, the other's being there
  // or not: the Chinese guide where the English one is wanted is not it.
  void theGuideIsFoundBesideTheExecutableOrInTheDocumentationFolder_data() {
    QTest::addColumn<InterfaceLanguage>("language");
    QTest::addColumn<bool>("beside");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("expected");
    for (auto [language, name] : {std::pair{InterfaceLanguage::Chinese, "Quillmark.html"},
                                  std::pair{InterfaceLanguage::English, "Quillmark_en.html"}}) {
      const QString tag = language == InterfaceLanguage::English ? "English, " : "Chinese, ";
      const QString bin = QStringLiteral("bin/") + name;
      const QString doc = QStringLiteral("share/doc/quillmark/") + name;
      QTest::newRow(qPrintable(tag + "build tree")) << language << true << false << bin;
      QTest::newRow(qPrintable(tag + "installed")) << language << false << true << doc;
      QTest::newRow(qPrintable(tag + "both")) << language << true << true << bin;
      QTest::newRow(qPrintable(tag + "neither")) << language << false << false << bin;
    }
  }
  void theGuideIsFoundBesideTheExecutableOrInTheDocumentationFolder() {
    QFETCH(InterfaceLanguage, language);
    QFETCH(bool, beside);
    QFETCH(bool, installed);
    QFETCH(QString, expected);
    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    const QDir root(prefix.path());
    QVERIFY(root.mkpath(QStringLiteral("bin")) &&
            root.mkpath(QStringLiteral("share/doc/quillmark")));
    const QString name = QFileInfo(expected).fileName();
    const QString other =
        name == QStringLiteral("Quillmark.html") ? "Quillmark_en.html" : "Quillmark.html";
    for (auto [wanted, folder] :
         {std::pair{beside, "bin/"}, std::pair{installed, "share/doc/quillmark/"}}) {
      QFile file(root.filePath(QString::fromLatin1(folder) + name));
      QVERIFY(!wanted || file.open(QIODevice::WriteOnly));
      // The other language's guide stands everywhere.
      QFile otherFile(root.filePath(QString::fromLatin1(folder) + other));
      QVERIFY(otherFile.open(QIODevice::WriteOnly));
    }
    QCOMPARE(HelpPagePath(root.filePath(QStringLiteral("bin/Quillmark")), language),
             root.filePath(expected));
  }

  // Both guides carry every topic; the English one holds no Chinese.
  void theGuideHasAnAnchorForEveryTopic() {
    for (InterfaceLanguage language : {InterfaceLanguage::Chinese, InterfaceLanguage::English}) {
      QFile page(HelpPagePath(QCoreApplication::applicationFilePath(), language));
      QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(page.fileName()));
      const QString html = QString::fromUtf8(page.readAll());
      for (quint32 topic : {kMainDialogHelpTopic, kAboutDialogHelpTopic}) {
        const QString anchor = HelpTopicUrl(page.fileName(), topic).fragment();
        QVERIFY2(html.contains(QStringLiteral("id=\"%1\"").arg(anchor)), qPrintable(anchor));
      }
      if (language == InterfaceLanguage::English) {
        static const QRegularExpression chinese(
            QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
        const QRegularExpressionMatch found = chinese.match(html);
        QVERIFY2(!found.hasMatch(), qPrintable(html.mid(found.capturedStart() - 40, 80)));
      }
    }
  }
};

QUILLMARK_APP_TEST_MAIN(HelpTest)
#include "help_test.moc"
