// Where windows appear and how wide message boxes are: the main dialog
// centred on its screen's work area, and message boxes wide enough for
// their caption.
#include <QFontMetrics>
#include <QHelpEvent>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QToolTip>

#include "about_dialog.h"
#include "app_test_support.h"
#include "dialog_units.h"
#include "elided_label.h"
#include "main_dialog.h"
#include "message_box.h"
#include "system_menu.h"
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

  // Every window is a dialog to the window manager (the dialog window
  // type, which X11 managers read as _NET_WM_WINDOW_TYPE_DIALOG), with a
  // close button and neither minimize nor maximize, and none is a tool
  // window, so one a manager minimizes anyway stays on the taskbar.
  void everyWindowAsksForDialogDecorations() {
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    std::vector<std::pair<QString, Qt::WindowFlags>> seen{{"main", dialog.windowFlags()}};
    {
      test::ModalWatcher about(CAboutDialog::staticMetaObject, [&](QWidget* window) {
        seen.emplace_back("about", window->windowFlags());
        static_cast<QDialog*>(window)->accept();
      });
      test::ModalWatcher box(QMessageBox::staticMetaObject, [&](QWidget* window) {
        seen.emplace_back("message", window->windowFlags());
        static_cast<QMessageBox*>(window)->button(QMessageBox::Ok)->click();
      });
      dialog.OnSysCommand(kAboutCommand);
      ShowMessage(&dialog, QStringLiteral("读取文件错误！"));
    }
    QCOMPARE(seen.size(), size_t{3});
    for (const auto& [name, flags] : seen) {
      // Qt makes its message box a sheet, which X11 gets as a dialog too.
      const Qt::WindowFlags type = flags & Qt::WindowType_Mask;
      QVERIFY2(type == Qt::Dialog || (name == "message" && type == Qt::Sheet),
               qPrintable(name + QStringLiteral(" %1").arg(int(flags), 0, 16)));
      QVERIFY2(flags & Qt::WindowCloseButtonHint, qPrintable(name));
      QVERIFY2(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)),
               qPrintable(name));
    }
    QCOMPARE(dialog.windowHandle()->type(), Qt::Dialog);
  }

  // The tooltip of a status too long for its line opens under the line,
  // in lines no wider than the line, not broken at every separator.
  void theStatusTooltipOpensAtTheStatusLineWrappedAtItsWidth() {
    CMainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* status = dialog.findChild<ElidedLabel*>(QStringLiteral("statusLabel"));
    const QString text = QStringLiteral("创建文件出错: /srv/line3/firmware/2026/12/b/out/") +
                         QString(40, u'd') +
                         QStringLiteral("/production_line_3_firmware_release/fw_045755_000002.img");
    status->setText(text);
    QVERIFY(status->IsElided());
    const QPoint at = status->rect().center();
    QHelpEvent hover(QEvent::ToolTip, at, status->mapToGlobal(at));
    QApplication::sendEvent(status, &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    const QStringList lines = status->ToolTipLines();
    QCOMPARE(lines.join(QString()), text);
    QVERIFY(lines.size() >= 2);
    const QFontMetrics metrics(QToolTip::font());
    for (qsizetype i = 0; i < lines.size(); ++i) {
      QVERIFY(metrics.horizontalAdvance(lines[i]) <= status->width());
      // Each line but the last is full: one more character would not fit.
      if (i + 1 < lines.size())
        QVERIFY(metrics.horizontalAdvance(lines[i] + lines[i + 1].front()) > status->width() - 4);
    }
    QWidget* tip = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window->inherits("QTipLabel") && window->isVisible())
        tip = window;
    }
    QVERIFY(tip != nullptr);
    const QRect line(status->mapToGlobal(QPoint(0, 0)), status->size());
    QVERIFY2(std::abs(tip->geometry().left() - line.left()) <= 8,
             qPrintable(QStringLiteral("%1 %2").arg(tip->geometry().left()).arg(line.left())));
    QVERIFY(tip->geometry().top() >= line.bottom() - 2);
    QVERIFY(tip->geometry().top() <= line.bottom() + 40);
    QVERIFY(tip->width() <= line.width() + 40);
    QToolTip::hideText();
  }
};

QUILLMARK_APP_TEST_MAIN(WindowGeometryTest)
#include "window_geometry_test.moc"
