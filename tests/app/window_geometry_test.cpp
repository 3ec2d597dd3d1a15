// Where windows appear and how wide message boxes are: the main dialog
// centred on its screen's work area, and message boxes wide enough for
// their caption.
#include <QFontMetrics>
#include <QScreen>
#include <QStyle>
#include <QTest>

#include "app_test_support.h"
#include "dialog_units.h"
#include "main_dialog.h"
#include "message_box.h"
#include "window_placement.h"

using namespace quillmark;

class WindowGeometryTest : public QObject {
  Q_OBJECT

 private slots:
  void frameIsCentredInTheWorkArea_data() {
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("no frame") << QRect(0, 0, 1280, 800) << QSize(560, 208) << QMargins()
                              << QPoint(360, 296);
    // openbox's frame: a 20-pixel title bar and 1-pixel borders.
    QTest::newRow("title bar") << QRect(0, 0, 1280, 800) << QSize(560, 208) << QMargins(1, 20, 1, 1)
                               << QPoint(359, 285);
    QTest::newRow("panel on the left, second screen")
        << QRect(1920 + 48, 0, 1280 - 48, 1024) << QSize(560, 208) << QMargins(4, 30, 4, 4)
        << QPoint(1968 + 332, 391);
  }
  void frameIsCentredInTheWorkArea() {
    QFETCH(QRect, workArea);
    QFETCH(QSize, client);
    QFETCH(QMargins, frame);
    QFETCH(QPoint, expected);
    QCOMPARE(CentredFramePosition(workArea, client, frame), expected);
  }

  void aWindowIsPlacedClearOfTheDialogWhereItFits_data() {
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<QPoint>("expected");  // (-1, -1): fits nowhere
    // The dialog's frame, 562 x 229, centred on a 1280 x 800 screen, and a
    // 352 x 301 chooser.
    QTest::newRow("below") << QRect(0, 0, 1920, 1080) << QPoint(463, 514);
    QTest::newRow("above") << QRect(0, -100, 1000, 620) << QPoint(463, -16);
    QTest::newRow("right") << QRect(0, 0, 1280, 800) << QPoint(921, 249);
    QTest::newRow("left") << QRect(-400, 0, 1321, 800) << QPoint(7, 249);
    QTest::newRow("nowhere") << QRect(100, 0, 830, 560) << QPoint(-1, -1);
  }
  void aWindowIsPlacedClearOfTheDialogWhereItFits() {
    QFETCH(QRect, workArea);
    QFETCH(QPoint, expected);
    const QRect dialog(359, 285, 562, 229);
    const std::optional<QPoint> at = ClearOfPosition(workArea, dialog, QSize(352, 301));
    QCOMPARE(at.value_or(QPoint(-1, -1)), expected);
  }

  void mainDialogOpensCentredOnItsScreen() {
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QRect workArea = dialog.screen()->availableGeometry();
    const QRect frame = dialog.frameGeometry();
    QVERIFY2(std::abs(frame.center().x() - workArea.center().x()) <= 1,
             qPrintable(QStringLiteral("%1 in %2").arg(frame.center().x()).arg(workArea.width())));
    QVERIFY2(std::abs(frame.center().y() - workArea.center().y()) <= 1,
             qPrintable(QStringLiteral("%1 in %2").arg(frame.center().y()).arg(workArea.height())));
  }

  void messageBoxWidthFitsTheCaption_data() {
    QTest::addColumn<QString>("caption");
    QTest::newRow("the tool's name") << "Quillmark";
    QTest::newRow("a long renamed copy") << "Quillmark line 3 firmware batch tool (spare bench 2)";
    QTest::newRow("Chinese") << "产线三号固件批量生成工具 备用工位";
  }
  void messageBoxWidthFitsTheCaption() {
    QFETCH(QString, caption);
    QFont title;
    title.setPointSize(9);
    QFont bold = title;
    bold.setBold(true);
    const int barHeight = 24;
    const int width = MessageBoxWidthFor(caption, title, barHeight, 240);
    QVERIFY(width >= 240);
    // The caption in bold, the icon and three buttons a bar's height wide,
    // and some room besides.
    QVERIFY(width >= QFontMetrics(bold).horizontalAdvance(caption) + 4 * barHeight + 8);
    QVERIFY(MessageBoxWidthFor(caption, title, barHeight, 4000) == 4000);
  }

  void shownMessageBoxesAreAsWideAsTheirCaptionNeeds() {
    const QString savedName = QCoreApplication::applicationName();
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    std::vector<int> widths;
    std::vector<int> needed;
    for (const QString& name :
         {QStringLiteral("Quillmark"), QStringLiteral("Q"),
          QStringLiteral("Quillmark line 3 firmware batch tool (spare bench 2)")}) {
      QCoreApplication::setApplicationName(name);
      QWidget* shown = nullptr;
      test::ModalWatcher watcher(QMessageBox::staticMetaObject, [&](QWidget* window) {
        shown = window;
        widths.push_back(window->width());
        needed.push_back(MessageBoxWidthFor(
            name, QApplication::font("QMdiSubWindowTitleBar"),
            window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window),
            DialogSizeToPixels(BaseUnitsOf(window->font()), 160, 0).width()));
        static_cast<QMessageBox*>(window)->button(QMessageBox::Ok)->click();
      });
      ShowMessage(&dialog, QStringLiteral("读取文件错误！"));
      QVERIFY(shown != nullptr);
    }
    QCoreApplication::setApplicationName(savedName);
    QCOMPARE(widths.size(), size_t{3});
    for (size_t i = 0; i < widths.size(); ++i)
      QVERIFY2(widths[i] >= needed[i], qPrintable(QString::number(widths[i])));
    // A short caption gets the minimum, half the main dialog's width.
    QVERIFY(widths[1] >= dialog.width() / 2);
    QVERIFY(widths[2] > widths[0]);
  }
};

QUILLMARK_APP_TEST_MAIN(WindowGeometryTest)
#include "window_geometry_test.moc"
