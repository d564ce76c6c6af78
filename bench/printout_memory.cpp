// Memory of the desktop's printer dock while a long printout comes in: a
// nine-page printout (text lines and screen hardcopies, as the instrument
// sends them to "PR2") is fed line by line to a dock shown at 2x, the
// window repainted after every line as the running simulator does. Prints
// the growth of the resident memory (now and at its peak) over the start,
// and the paint time a line.
//
//   printout_memory [PAGES]
#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "printer_dock.h"
#include "printer_tap.h"

namespace {

// VmRSS and VmHWM of this process, in KB.
long StatusKb(const char* pszField)
{
    std::ifstream status("/proc/self/status");
    std::string sLine;
    const std::string sField = pszField;
    while (std::getline(status, sLine))
        if (sLine.rfind(sField + ":", 0) == 0)
            return std::atol(sLine.c_str() + sField.size() + 1);
    return -1;
}

// One screen hardcopy as "PR2" prints it: 16 bit-image lines of 256 columns.
QByteArray Hardcopy(int nSeed)
{
    QByteArray ab;
    for (int nLine = 0; nLine < 16; nLine++) {
        ab += QByteArray("\x1B" "K\x00\x01", 4);
        for (int x = 0; x < 256; x++)
            ab += static_cast<char>((x * 13 + nLine * 7 + nSeed) & 0xFF);
        ab += "\r\n";
    }
    return ab;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const int nPages = argc > 1 ? std::atoi(argv[1]) : 9;
    constexpr int PAGE_ROWS = 842;  // dot rows of an A4 page

    QMainWindow window;
    CPrinterTap tap;
    auto* pDock = new CPrinterDock(tap, &window);
    window.addDockWidget(Qt::RightDockWidgetArea, pDock);
    window.resize(700, 800);
    window.show();
    pDock->SetZoom(2);
    for (int i = 0; i < 20; i++)
        qapp.processEvents();

    std::FILE* pClear = std::fopen("/proc/self/clear_refs", "w");
    if (pClear) {
        std::fputs("5", pClear);  // resets the peak
        std::fclose(pClear);
    }
    const long lStartKb = StatusKb("VmRSS");
    QElapsedTimer timer;
    timer.start();
    int nLines = 0;
    while (pDock->Printer().Height() < nPages * PAGE_ROWS) {
        QByteArray ab;
        if (nLines % 40 == 39)
            ab = Hardcopy(nLines);
        else
            ab = QStringLiteral("%1  600 nm  A = 0.%2  %3\r\n").arg(nLines, 4).arg(nLines % 1000, 3, 10, QLatin1Char('0')).arg(QStringLiteral("Sample reading")).toLatin1();
        pDock->Feed(ab);
        window.repaint();
        qapp.processEvents();
        nLines++;
    }
    const double dMs = static_cast<double>(timer.elapsed());
    const long lEndKb = StatusKb("VmRSS");
    const long lPeakKb = pClear ? StatusKb("VmHWM") : -1;
    std::printf("printer dock at 2x, %d pages (%d dot rows, %d lines):\n", nPages, pDock->Printer().Height(), nLines);
    std::printf("  resident memory  %+.1f MB at the end, %+.1f MB at the peak (over %.1f MB at the start)\n",
                (lEndKb - lStartKb) / 1024.0, (lPeakKb - lStartKb) / 1024.0, lStartKb / 1024.0);
    std::printf("  %.2f ms a line, fed and repainted\n", dMs / nLines);
    return 0;
}
