// halden-printer-shot: draws the desktop simulator's "Printer" dock holding a
// printout, offscreen, and saves it as a PNG picture for the guide.
//   halden-printer-shot SERIAL_LOG OUTPUT.png
// SERIAL_LOG is what halden-cli --serial-log wrote; the dock is fed from the
// first reading record ("600 nm\t") on, which is where the scenario
// tests/host/scenarios/printer_pr2.scn chooses the printer.
#include <QApplication>
#include <QFile>
#include <QScrollArea>
#include <QScrollBar>

#include <cstdio>

#include "printer_dock.h"
#include "printer_tap.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: halden-printer-shot SERIAL_LOG OUTPUT.png\n");
        return 2;
    }
    QFile log(QString::fromLocal8Bit(argv[1]));
    if (!log.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "halden-printer-shot: cannot read %s\n", argv[1]);
        return 1;
    }
    const QByteArray abSent = log.readAll();
    const qsizetype nFirst = abSent.indexOf("600 nm\t");
    if (nFirst < 0) {
        std::fprintf(stderr, "halden-printer-shot: %s holds no reading record\n", argv[1]);
        return 1;
    }
    CPrinterTap cable;
    CPrinterDock dock(cable);
    dock.Feed(abSent.mid(nFirst));
    dock.SetZoom(1);
    dock.resize(340, 560);
    dock.show();
    dock.Scroller()->verticalScrollBar()->setValue(0);
    if (!dock.grab().save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "halden-printer-shot: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("wrote %s\n", argv[2]);
    return 0;
}
