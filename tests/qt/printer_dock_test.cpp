// The "Printer" and "Chart Recorder" docks of the desktop simulator: bytes
// the running firmware sends reach the paper while the output device is a
// printer ("PC" is the tap's own test), the paper scrolls to its newest
// line, zooms, saves as PNG and PDF and tears off; the chart follows the analogue output at the chosen
// speed and saves as CSV.
#include <QComboBox>
#include <QFontMetrics>
#include <QFile>
#include <QImage>
#include <QMainWindow>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "app/probe.h"
#include "chart_dock.h"
#include "comms/analogue.h"
#include "printer_dock.h"
#include "qt_fixture.h"
#include "storage/params.h"

namespace {

// The echo step, with the analogue output started as the state machine
// starts it.
void EchoWithAnalogueStep(uint8_t bPhase)
{
    if (bPhase == PHASE_INIT)
        AnalogueInit();
    EchoStep(bPhase);
}

}  // namespace

class CPrinterDockTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CScratchEnvironment> m_pEnv;
    std::unique_ptr<CHaldenApp> m_pApp;

    CPrinterDock* Printer() const { return m_pApp->Frame()->PrinterDock(); }
    CChartDock* Chart() const { return m_pApp->Frame()->ChartDock(); }

private slots:
    void initTestCase()
    {
        SetApplicationNames();
        m_pEnv = std::make_unique<CScratchEnvironment>();
        FirmwareSetUiStep(EchoWithAnalogueStep);  // echoes what the serial port receives
        gbOutputDevice = 1;                       // "PR2"; the echo step loads no settings
        m_pApp = std::make_unique<CHaldenApp>(CHaldenApp::Options{});
        QVERIFY(m_pApp->InitInstance());
        QTRY_VERIFY(FirmwareThreadActive());
        m_pApp->Frame()->show();
    }

    void cleanupTestCase()
    {
        m_pApp.reset();
        m_pEnv.reset();
    }

    // What the firmware sends goes down the cable to the paper, and the
    // newest line is scrolled into view.
    void sentBytesArePrintedAndTheNewestLineShows()
    {
        Printer()->Clear();
        // Three lines at a time: the receive queue holds 64 bytes.
        for (int i = 0; i < 36; i += 3) {
            QByteArray abLines;
            for (int j = i; j < i + 3; j++)
                abLines += QStringLiteral("Line %1\r\n").arg(j, 2, 10, QLatin1Char('0')).toLatin1();
            m_pApp->Frame()->View()->InjectSerial(abLines);
            QTRY_VERIFY(Printer()->Printer().Text().ends_with(abLines.replace("\r", "").toStdString()));
        }
        std::string sLines;
        for (int i = 0; i < 36; i++)
            sLines += QStringLiteral("Line %1\n").arg(i, 2, 10, QLatin1Char('0')).toStdString();
        QVERIFY(Printer()->Printer().Text().ends_with(sLines));
        QScrollBar* pBar = Printer()->Scroller()->verticalScrollBar();
        QVERIFY(pBar->maximum() > 0);
        QCOMPARE(pBar->value(), pBar->maximum());
    }

    void zoomSaveAndTearOff()
    {
        Printer()->Clear();
        Printer()->Feed(QByteArray("Zoom\r\n") + QByteArray("\x1B" "K\x02\x00\xFF\xFF", 6));
        const QSize sizeOne = Printer()->Paper()->sizeHint() / Printer()->Paper()->Zoom();
        Printer()->SetZoom(3);
        QCOMPARE(Printer()->Paper()->size(), sizeOne * 3);
        Printer()->SetZoom(2);

        QString sError;
        QVERIFY2(Printer()->SavePrintout(QStringLiteral("out.png"), &sError), qPrintable(sError));
        const QImage image(QStringLiteral("out.png"));
        const int nHeight = Printer()->Printer().Height();
        QCOMPARE(image.size(), QSize(2 * (CPrinter::WIDTH + 2 * PAPER_MARGIN_DOTS), 2 * (nHeight + 2 * PAPER_MARGIN_DOTS)));
        // The image's first column, eight dots down from the second line.
        const QPoint ptDot(2 * PAPER_MARGIN_DOTS, 2 * (PAPER_MARGIN_DOTS + CPrinter::LINE_PITCH));
        QCOMPARE(image.pixel(ptDot), qRgb(INK_RGB[0], INK_RGB[1], INK_RGB[2]));
        QCOMPARE(image.pixel(ptDot - QPoint(1, 1)), qRgb(PAPER_RGB[0], PAPER_RGB[1], PAPER_RGB[2]));

        QVERIFY2(Printer()->SavePrintout(QStringLiteral("out.PDF"), &sError), qPrintable(sError));
        QFile pdf(QStringLiteral("out.PDF"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QCOMPARE(pdf.read(5), QByteArray("%PDF-"));
        QVERIFY(!Printer()->SavePrintout(QStringLiteral("out.jpg"), &sError));
        QVERIFY(sError.contains(QStringLiteral(".png picture or a .pdf document")));
        QVERIFY(!Printer()->SavePrintout(QStringLiteral("no-such-dir/out.png"), &sError));

        Printer()->Clear();
        QVERIFY(Printer()->Printer().Empty());
        QCOMPARE(Printer()->Paper()->sizeHint(), QSize(2 * (CPrinter::WIDTH + 2 * PAPER_MARGIN_DOTS), 4 * PAPER_MARGIN_DOTS));
    }

    // The dock opens at the largest zoom whose paper fits its width, so no
    // line is cut off; a wider dock shows the paper larger, until the user
    // picks a zoom.
    void startingZoomFitsTheDock()
    {
        CPrinterTap tap;
        QMainWindow window;
        auto* pDock = new CPrinterDock(tap, &window);
        window.addDockWidget(Qt::RightDockWidgetArea, pDock);
        window.setCentralWidget(new QWidget);
        window.resize(1000, 500);
        window.show();
        window.resizeDocks({pDock}, {330}, Qt::Horizontal);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(pDock->Paper()->Zoom(), 1);
        QVERIFY(pDock->Paper()->width() <= pDock->Scroller()->viewport()->width());
        window.resizeDocks({pDock}, {650}, Qt::Horizontal);
        QTRY_COMPARE(pDock->Paper()->Zoom(), 2);
        QVERIFY(pDock->Paper()->width() <= pDock->Scroller()->viewport()->width());
        pDock->SetZoom(4);  // as the zoom box does
        window.resizeDocks({pDock}, {330}, Qt::Horizontal);
        QTest::qWait(50);
        QCOMPARE(pDock->Paper()->Zoom(), 4);
    }

    // A long printout costs the view only the part of the paper shown: a
    // paint draws the exposed rows, never the whole roll.
    void longPrintoutPaintsOnlyWhatShows()
    {
        Printer()->Clear();
        Printer()->SetZoom(2);
        QByteArray abLines;
        for (int i = 0; i < 700; i++)
            abLines += QStringLiteral("Line %1 of a long printout\r\n").arg(i).toLatin1();
        Printer()->Feed(abLines);
        QVERIFY(Printer()->Printer().Height() > 8 * 842);
        Printer()->Paper()->repaint();
        const QSize sizeShown = Printer()->Scroller()->viewport()->size();
        const qsizetype nShownBytes = static_cast<qsizetype>(Printer()->Paper()->width() + 2) *
                                      (sizeShown.height() + 2) * 4;
        QVERIFY(Printer()->Paper()->LastPaintBytes() > 0);
        QVERIFY2(Printer()->Paper()->LastPaintBytes() <= nShownBytes,
                 qPrintable(QStringLiteral("%1 bytes for a %2 x %3 view")
                                .arg(Printer()->Paper()->LastPaintBytes())
                                .arg(sizeShown.width())
                                .arg(sizeShown.height())));
        Printer()->Clear();
    }

    // PDF pages end between lines of text: never inside a character cell,
    // never longer than a page; a picture with no blank row is cut at the
    // page's length.
    void pdfPagesBreakBetweenLines()
    {
        constexpr int ROWS = 842 - 2 * PAPER_MARGIN_DOTS;
        CPrinter printer;
        for (int i = 0; i < 300; i++)
            printer.Feed(QStringLiteral("Line %1: 600 nm 0.123 A\r\n").arg(i).toStdString());
        const std::vector<int> breaks = PdfPageBreaks(printer, ROWS);
        QVERIFY(breaks.size() >= 4);
        int nPrevious = 0;
        for (int nBreak : breaks) {
            QVERIFY(nBreak > nPrevious && nBreak - nPrevious <= ROWS);
            for (const CPrinter::TextLine& line : printer.TextLines())
                QVERIFY2(nBreak <= line.nRow || nBreak >= line.nRow + CPrinter::CELL_HEIGHT,
                         qPrintable(QStringLiteral("break at %1 cuts the line at %2").arg(nBreak).arg(line.nRow)));
            nPrevious = nBreak;
        }
        QVERIFY(printer.Height() - nPrevious <= ROWS);

        CPrinter dense;
        for (int i = 0; i < 200; i++) {  // bit-image lines, 8 dot rows each, no gap
            std::string sLine("\x1B" "K", 2);
            sLine += static_cast<char>(0x00);
            sLine += static_cast<char>(0x01);
            sLine += std::string(256, '\xFF');
            sLine += "\x1B" "J\x10";  // 16/144 inch: the next line's top row
            dense.Feed(sLine);
        }
        const std::vector<int> denseBreaks = PdfPageBreaks(dense, ROWS);
        QVERIFY(!denseBreaks.empty());
        QCOMPARE(denseBreaks.front(), ROWS);
    }

    // The time axis at every chart speed, early and after four days of
    // firmware time: labels that neither touch nor repeat, in time order,
    // each under its own tick.
    void chartTimeAxisIsReadableAtEverySpeed()
    {
        const QFontMetrics metrics(Chart()->Chart()->font());
        for (const CChartDock::SpeedChoice& speed : CChartDock::Speeds()) {
            Chart()->SetSpeed(speed.dMmPerMinute);
            const double dSpan = Chart()->Chart()->SpanMs() * 400 / Chart()->Chart()->width();
            for (double dNow : {dSpan * 0.7, 6363.0 * 60000 + 40000, 4 * 86400000.0 + 123456}) {
                const auto labels = CStripChart::TimeAxis(dNow, dSpan, 400, metrics);
                const QString sCase = QStringLiteral("%1 at %2 ms").arg(QString::fromLatin1(speed.pszText)).arg(dNow);
                QVERIFY2(labels.size() >= 2 || dNow < dSpan, qPrintable(sCase));
                for (size_t i = 0; i < labels.size(); i++) {
                    QVERIFY2(metrics.horizontalAdvance(labels[i].sText) < labels[i].nWidth, qPrintable(sCase));
                    if (i == 0)
                        continue;
                    QVERIFY2(labels[i].dX - labels[i - 1].dX >= labels[i].nWidth,
                             qPrintable(sCase + QStringLiteral(": ") + labels[i - 1].sText + QStringLiteral(" touches ") +
                                        labels[i].sText));
                    QVERIFY2(labels[i].sText != labels[i - 1].sText, qPrintable(sCase + QStringLiteral(": ") + labels[i].sText));
                }
            }
        }
        QCOMPARE(CStripChart::TimeLabel(6363.0 * 60000 + 40000, 10000), QStringLiteral("106:03:40"));
        QCOMPARE(CStripChart::TimeLabel(65 * 1000 + 500, 500), QStringLiteral("1:05.5"));
        QCOMPARE(CStripChart::TimeLabel(59 * 60000, 60000), QStringLiteral("59:00"));
        Chart()->SetSpeed(60);
    }

    // A trace at either end of the full scale is drawn inside the paper, not
    // on its edge.
    void chartFullScaleStaysInsideThePlot()
    {
        Chart()->show();
        Chart()->raise();
        QTRY_VERIFY(Chart()->Recorder().Ms() > 500);  // -1 A: the bottom of the scale
        const QImage chart = Chart()->Chart()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // The bottom-most row with pen colour, and the lowest row of paper.
        int nPenBottom = -1, nPaperBottom = -1;
        for (int y = 0; y < chart.height(); y++)
            for (int x = chart.width() / 2; x < chart.width() - 10; x++) {
                const QColor c(chart.pixel(x, y));
                if (c.red() > 150 && c.green() < 120 && c.blue() < 120)
                    nPenBottom = y;
                if (c == QColor(255, 255, 250))
                    nPaperBottom = y;
            }
        QVERIFY(nPenBottom > 0);
        QVERIFY2(nPenBottom < nPaperBottom, qPrintable(QStringLiteral("pen %1, paper %2").arg(nPenBottom).arg(nPaperBottom)));
    }

    // Firmware time runs on the chart; the speed sets how much of it shows.
    void chartFollowsFirmwareTime()
    {
        const uint64_t ullBefore = Chart()->Recorder().Ms();
        QTRY_VERIFY(Chart()->Recorder().Ms() > ullBefore + 100);
        const std::vector<ChartPoint> points = Chart()->Recorder().Points();
        QVERIFY(!points.empty());
        QCOMPARE(points.back().unValue, uint16_t{65535});  // nothing measured: the bottom of the scale

        Chart()->SetSpeed(60);
        const double dSpan60 = Chart()->Chart()->SpanMs();
        Chart()->SetSpeed(600);
        QCOMPARE(Chart()->Chart()->SpanMs() * 10, dSpan60);
        // 60 mm a minute: a millimetre of paper a second.
        const double dMm = Chart()->Chart()->width() / (Chart()->Chart()->logicalDpiX() / 25.4);
        QVERIFY(std::abs(dSpan60 / 1000.0 - dMm) < dMm * 0.2 + 1);

        QString sError;
        QVERIFY2(Chart()->SaveChart(QStringLiteral("chart.csv"), &sError), qPrintable(sError));
        QFile csv(QStringLiteral("chart.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QVERIFY(csv.readLine().startsWith("ms,value,absorbance"));
        QVERIFY(csv.readLine().startsWith("0,65535,-1.0000"));
        QVERIFY2(Chart()->SaveChart(QStringLiteral("chart.png"), &sError), qPrintable(sError));
        QVERIFY(!QImage(QStringLiteral("chart.png")).isNull());
        QVERIFY(!Chart()->SaveChart(QStringLiteral("chart.txt"), &sError));

        Chart()->Clear();
        QVERIFY(Chart()->Recorder().Points().size() <= 2);
    }
};

QTEST_MAIN(CPrinterDockTest)
#include "printer_dock_test.moc"
