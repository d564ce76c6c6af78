// Display zoom and the display's picture: the whole panel scaled by whole
// pixels with exact hit-testing of the shaped keys and sharp display pixels,
// the zoom kept in the profile, Copy Display, Save Display As, printing to a
// PDF file, the window title and the quit shortcut.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QSettings>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "core/bridge.h"
#include "core/timers.h"
#include "panel_layout.h"
#include "printer_dock.h"
#include "qt_fixture.h"
#include "sample_dialog.h"
#include "serial_monitor.h"

class CZoomTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CScratchEnvironment> m_pEnv;
    std::unique_ptr<CHaldenApp> m_pApp;

    CHaldenView* View() { return m_pApp->View(); }
    CMainFrame* Frame() { return m_pApp->Frame(); }

    // A pattern in display memory with single pixels at the edges.
    static void DrawPattern()
    {
        for (int y = 0; y < 128; y++)
            for (int i = 0; i < 30; i++)
                LcdWriteByte(static_cast<uint16_t>(640 + 30 * y + i), static_cast<uint8_t>((y * 31 + i * 7) ^ (y % 3 ? 0x81 : 0x18)));
    }

private slots:
    void initTestCase() { SetApplicationNames(); }

    void init()
    {
        m_pEnv = std::make_unique<CScratchEnvironment>();
        m_pApp = StartWindowOnly();
        QVERIFY(m_pApp);
        QVERIFY(QTest::qWaitForWindowExposed(Frame()));
    }

    void cleanup()
    {
        m_pApp.reset();
        m_pEnv.reset();
    }

    // At every zoom each key and the display sit at their 1x rectangle times
    // the zoom, and every pixel of an arrow key hit-tests as the 1x pixel it
    // was scaled from; a click on a transparent corner still reaches the key
    // beneath.
    void shapedKeysHitTestExactlyAtEveryZoom()
    {
        struct Corner {
            int nClicked;
            QPoint pt;  // 1x key coordinates
            int nExpected;
        };
        const Corner corners[] = {{KEY_DOWN, {1, 1}, KEY_LEFT}, {KEY_DOWN, {64, 1}, KEY_RIGHT},
                                  {KEY_DOWN, {1, 31}, 0},       {KEY_DOWN, {33, 22}, KEY_DOWN},
                                  {KEY_UP, {0, 31}, KEY_LEFT},  {KEY_RIGHT, {30, 21}, KEY_RIGHT}};
        const uint8_t abArrows[] = {KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_DOWN};
        QMap<int, QImage> hitAt1x;  // 1 where the 1x key is hit
        for (uint8_t bCode : abArrows) {
            auto* pKey = qobject_cast<CShapedKey*>(View()->Key(bCode));
            QImage hits(pKey->size(), QImage::Format_Grayscale8);
            for (int y = 0; y < hits.height(); y++)
                for (int x = 0; x < hits.width(); x++)
                    hits.setPixel(x, y, pKey->HitTest({x, y}) ? qRgb(255, 255, 255) : 0);
            hitAt1x[bCode] = hits;
        }
        for (int nZoom = 1; nZoom <= 4; nZoom++) {
            Frame()->SetZoom(nZoom);
            QCOMPARE(View()->Zoom(), nZoom);
            QVERIFY(Frame()->ZoomAction(nZoom)->isChecked());
            // Offsets from the picture's corner and sizes grow with the zoom,
            // so every key stays over its place in the picture.
            auto placed = [&](int x, int y, int w, int h) {
                return QRect(panel::ORIGIN + (x - panel::ORIGIN) * nZoom, panel::ORIGIN + (y - panel::ORIGIN) * nZoom,
                             w * nZoom, h * nZoom);
            };
            QCOMPARE(View()->Canvas()->size(),
                     QSize(panel::PANEL_WIDTH * nZoom + 2 * panel::ORIGIN, panel::PANEL_HEIGHT * nZoom + 2 * panel::ORIGIN));
            for (const panel::KeyLayout& layout : panel::KEYS)
                QCOMPARE(View()->Key(layout.bCode)->geometry(), placed(layout.x, layout.y, layout.nWidth, layout.nHeight));
            QCOMPARE(View()->Lcd()->geometry(), placed(panel::LCD_LEFT, panel::LCD_TOP, 240, 128));

            for (uint8_t bCode : abArrows) {
                auto* pKey = qobject_cast<CShapedKey*>(View()->Key(bCode));
                const QImage& hits = hitAt1x[bCode];
                for (int y = 0; y < hits.height(); y++)
                    for (int x = 0; x < hits.width(); x++)
                        for (QPoint sub : {QPoint(0, 0), QPoint(nZoom - 1, nZoom - 1)}) {
                            const QPoint pt = QPoint(x, y) * nZoom + sub;
                            if (pKey->HitTest(pt) != (qGray(hits.pixel(x, y)) != 0))
                                QFAIL(qPrintable(QStringLiteral("key %1 at %2x: pixel (%3, %4) hit-tests unlike 1x")
                                                     .arg(bCode).arg(nZoom).arg(pt.x()).arg(pt.y())));
                        }
            }
            for (const Corner& corner : corners) {
                CKeyBase* pKey = View()->Key(static_cast<uint8_t>(corner.nClicked));
                const QPoint pt = corner.pt * nZoom + QPoint(nZoom / 2, nZoom / 2);
                const QList<int> expected = corner.nExpected ? QList<int>{corner.nExpected} : QList<int>{};
                QTest::mousePress(pKey, Qt::LeftButton, {}, pt);
                QCOMPARE(DownKeys(), expected);
                QTest::mouseRelease(pKey, Qt::LeftButton, {}, pt);
                QCOMPARE(DownKeys(), QList<int>{});
            }
        }
    }

    // Display pixels become square blocks of exactly the two display colours.
    void displayPixelsStaySharp()
    {
        DrawPattern();
        const QImage frame = View()->Lcd()->Frame().convertToFormat(QImage::Format_RGB32);
        for (int nZoom : {1, 3}) {
            Frame()->SetZoom(nZoom);
            const QImage shown = View()->Lcd()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(shown.size(), QSize(240 * nZoom, 128 * nZoom));
            QCOMPARE(View()->DisplayImage(), shown);
            for (int y = 0; y < shown.height(); y++)
                for (int x = 0; x < shown.width(); x++)
                    if (shown.pixel(x, y) != frame.pixel(x / nZoom, y / nZoom))
                        QFAIL(qPrintable(QStringLiteral("%1x: pixel (%2, %3) differs from its display pixel").arg(nZoom).arg(x).arg(y)));
        }
    }

    // The panel as drawn at every zoom, keys (one of each kind pressed) and
    // display included, is the 1x panel with each device pixel made a square
    // of zoom x zoom: nothing smoothed, no key image off its place or scaled
    // apart from the picture. The lid is left out: it draws its label with
    // a font sized for the zoom. Also run at a screen scale of 2 (ctest's
    // qt.zoom_test.scaled).
    void panelIsThe1xPanelByWholePixels()
    {
        DrawPattern();
        View()->Key(KEY_TEST)->SetDown(true);
        View()->Key(KEY_UP)->SetDown(true);
        QImage at1x;
        for (int nZoom = 1; nZoom <= 4; nZoom++) {
            Frame()->SetZoom(nZoom);
            const QImage drawn = View()->Canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const double dRatio = drawn.devicePixelRatio();
            const QRect rLid(View()->Lid()->geometry().topLeft() * dRatio, View()->Lid()->geometry().size() * dRatio);
            const int nOrigin = qRound(panel::ORIGIN * dRatio);
            const QSize sizePanel = QSize(panel::PANEL_WIDTH, panel::PANEL_HEIGHT) * (nZoom * dRatio);
            QCOMPARE(drawn.size(), sizePanel + QSize(2 * nOrigin, 2 * nOrigin));
            if (nZoom == 1) {
                at1x = drawn;
                continue;
            }
            int nDiffer = 0;
            QPoint ptFirst;
            for (int y = 0; y < sizePanel.height(); y++) {
                const auto* pDrawn = reinterpret_cast<const QRgb*>(drawn.constScanLine(nOrigin + y));
                const auto* p1x = reinterpret_cast<const QRgb*>(at1x.constScanLine(nOrigin + y / nZoom));
                for (int x = 0; x < sizePanel.width(); x++) {
                    if (rLid.contains(nOrigin + x, nOrigin + y) || pDrawn[nOrigin + x] == p1x[nOrigin + x / nZoom])
                        continue;
                    if (nDiffer++ == 0)
                        ptFirst = QPoint(x, y);
                }
            }
            QVERIFY2(nDiffer == 0, qPrintable(QStringLiteral("%1x at a screen scale of %2: %3 device pixels unlike the 1x "
                                                             "panel's, the first at (%4, %5) from the panel's corner")
                                                  .arg(nZoom).arg(dRatio).arg(nDiffer).arg(ptFirst.x()).arg(ptFirst.y())));
        }
    }

    // The zoom chosen in the menu is back after a restart; a damaged entry
    // gives a zoom the menu offers.
    void zoomIsKeptInTheProfile()
    {
        Frame()->ZoomAction(3)->trigger();
        QCOMPARE(View()->Zoom(), 3);
        const QSize sizeCanvas = View()->Canvas()->size();
        m_pApp.reset();
        m_pApp = StartWindowOnly();
        QVERIFY(m_pApp);
        QCOMPARE(View()->Zoom(), 3);
        QVERIFY(Frame()->ZoomAction(3)->isChecked());
        QCOMPARE(View()->Canvas()->size(), sizeCanvas);
        m_pApp.reset();

        QSettings().setValue(QStringLiteral("View/Zoom"), 9);
        m_pApp = StartWindowOnly();
        QCOMPARE(View()->Zoom(), 4);
    }

    // Zooming in and back out, and in again from the keyboard, the window
    // always fits the whole panel and keeps the docks at their size, unless
    // the screen is too small for it in that direction.
    void windowFitsThePanelBothWays()
    {
        Frame()->SerialMonitor()->show();
        Frame()->PrinterDock()->show();
        QCoreApplication::processEvents();
        const QSize sizeScreen = Frame()->screen()->availableGeometry().size();
        const int nMonitorHeight = Frame()->SerialMonitor()->height();
        const int nPrinterWidth = Frame()->PrinterDock()->width();
        QSize sizeAt1x;
        auto check = [&](int nZoom) {
            const QSize sizeCanvas = View()->Canvas()->size();
            const QSize sizeShown = View()->viewport()->size();
            const QSize sizeWindow = Frame()->frameGeometry().size();
            const QString sWhere = QStringLiteral("%1x: window %2x%3, panel %4x%5 shown in %6x%7")
                                       .arg(nZoom).arg(sizeWindow.width()).arg(sizeWindow.height())
                                       .arg(sizeCanvas.width()).arg(sizeCanvas.height())
                                       .arg(sizeShown.width()).arg(sizeShown.height());
            const bool bWide = sizeShown.width() == sizeCanvas.width() || sizeWindow.width() == sizeScreen.width();
            const bool bHigh = sizeShown.height() == sizeCanvas.height() || sizeWindow.height() == sizeScreen.height();
            QVERIFY2(bWide && bHigh, qPrintable(sWhere));
            QVERIFY2(Frame()->SerialMonitor()->height() >= nMonitorHeight, qPrintable(sWhere));
            QVERIFY2(Frame()->PrinterDock()->width() >= nPrinterWidth, qPrintable(sWhere));
        };
        Frame()->SetZoom(1);
        QCoreApplication::processEvents();
        check(1);
        sizeAt1x = Frame()->size();
        for (int nZoom : {2, 4, 1}) {
            Frame()->SetZoom(nZoom);
            QCoreApplication::processEvents();
            check(nZoom);
        }
        QCOMPARE(Frame()->size(), sizeAt1x);
        QVERIFY(QTest::qWaitForWindowActive(Frame()));
        QTest::keyClick(Frame(), Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(View()->Zoom(), 2);
        QCoreApplication::processEvents();
        check(2);
        QCOMPARE(View()->viewport()->size(), View()->Canvas()->size());
    }

    void copyAndSaveDisplay()
    {
        DrawPattern();
        Frame()->SetZoom(2);
        const QImage expected = View()->DisplayImage();
        QCOMPARE(expected.size(), QSize(480, 256));
        Frame()->OnCopyDisplay();
        QCOMPARE(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), expected);

        QString sError;
        QVERIFY(Frame()->SaveDisplay(QStringLiteral("display.png"), &sError));
        QImage saved(QStringLiteral("display.png"), "PNG");
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), expected);
        QVERIFY(!Frame()->SaveDisplay(QStringLiteral("no-such-dir/display.png"), &sError));
        QVERIFY2(sError.contains(QStringLiteral("no-such-dir")), qPrintable(sError));
    }

    // Print and Print Preview show the display, not the panel: large, in
    // whole blocks of device pixels, exactly the display's pixels; the
    // printer's paper follows on pages of its own. The preview opens at a
    // readable size, a page's width filling it.
    void printsTheDisplayLargeThenThePrintout()
    {
        DrawPattern();
        const QImage frame = View()->Lcd()->Frame().convertToFormat(QImage::Format_RGB32);
        QImage page(2480, 3508, QImage::Format_RGB32);  // A4 at 300 dpi
        page.setDotsPerMeterX(11811);
        page.setDotsPerMeterY(11811);
        page.fill(Qt::white);
        QPainter painter(&page);
        const QRect rDisplay = View()->DrawDisplayPage(painter, page.rect().adjusted(150, 150, -150, -150), QStringLiteral("Caption"));
        painter.end();
        QVERIFY2(rDisplay.width() >= 100 * 300 / 25.4, "at least 100 mm wide");
        QCOMPARE(rDisplay.width() % 240, 0);
        const int nBlock = rDisplay.width() / 240;
        QCOMPARE(rDisplay.height(), 128 * nBlock);
        for (int y = 0; y < 128; y++)
            for (int x = 0; x < 240; x++)
                for (QPoint sub : {QPoint(0, 0), QPoint(nBlock - 1, nBlock - 1)})
                    if (page.pixel(rDisplay.topLeft() + QPoint(x, y) * nBlock + sub) != frame.pixel(x, y))
                        QFAIL(qPrintable(QStringLiteral("display pixel (%1, %2) printed wrong").arg(x).arg(y)));

        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QStringLiteral("display.pdf"));
        QCOMPARE(Frame()->PrintDocument(&printer), 1);  // nothing printed on the paper yet
        QByteArray abLines;
        for (int i = 0; i < 150; i++)
            abLines += QStringLiteral("Line %1\r\n").arg(i).toLatin1();
        Frame()->PrinterDock()->Feed(abLines);
        const int nPages = Frame()->PrintDocument(&printer);
        QVERIFY(nPages >= 3);  // 150 lines of 12 dots at 72 dots an inch: over two A4 pages
        QFile pdf(QStringLiteral("display.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QCOMPARE(pdf.readAll().count("/Type /Page\n"), nPages);

        QPrinter previewPrinter(QPrinter::HighResolution);
        std::unique_ptr<QPrintPreviewDialog> pDialog(Frame()->CreatePrintPreview(&previewPrinter));
        pDialog->show();
        auto* pPreview = pDialog->findChild<QPrintPreviewWidget*>();
        QVERIFY(pPreview);
        QTRY_COMPARE(pPreview->pageCount(), nPages);
        QVERIFY2(pDialog->width() >= 700 && pDialog->height() >= 700,
                 qPrintable(QStringLiteral("%1 x %2").arg(pDialog->width()).arg(pDialog->height())));
        QCOMPARE(pPreview->zoomMode(), QPrintPreviewWidget::FitToWidth);
        QVERIFY2(pPreview->zoomFactor() >= 0.5, qPrintable(QString::number(pPreview->zoomFactor())));
        pDialog->close();
        Frame()->PrinterDock()->Clear();
    }

    void titleNamesTheEepromFileAndCtrlQQuits()
    {
        const QString sPath = QDir::toNativeSeparators(QDir(m_pEnv->Path()).absoluteFilePath(QStringLiteral("eeprom.bin")));
        QVERIFY2(Frame()->windowTitle().contains(sPath), qPrintable(Frame()->windowTitle()));
        QVERIFY(Frame()->isVisible());
        QTest::keyClick(Frame(), Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY(!Frame()->isVisible());
    }
};

// The tests run on a screen large enough for the panel at 2x with its docks.
int main(int argc, char** argv)
{
    const QByteArray abPlatform = qgetenv("QT_QPA_PLATFORM");
    QTemporaryDir dirScreen;
    if (abPlatform.isEmpty() || abPlatform == "offscreen") {
        QFile config(dirScreen.filePath(QStringLiteral("screen.json")));
        if (config.open(QIODevice::WriteOnly))
            config.write(R"({"screens": [{"name": "large", "x": 0, "y": 0, "width": 2560, "height": 1600,)"
                         R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        config.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    }
    QApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    CZoomTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "zoom_test.moc"
