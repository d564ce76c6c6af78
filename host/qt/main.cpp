// halden-sim: the desktop simulator of the Halden spectrophotometer.
//
//   halden-sim [--eeprom PATH] [--speed N|max] [--serial-pty PATH | --serial-tcp PORT]
//              [--screenshot PNG [--screenshot-delay MS]]
#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <vector>

#include <unistd.h>

#include "display_check.h"
#include "halden_app.h"
#include "main_frame.h"
#include "signal_close.h"

int main(int argc, char** argv)
{
    PrepareDisplay(argc, argv);
    QApplication qapp(argc, argv);
    DisplayOpened();
    QCoreApplication::setOrganizationName(QStringLiteral("Halden"));
    QCoreApplication::setApplicationName(QStringLiteral("halden-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HALDEN_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Halden PC Simulation: the front panel of the Halden spectrophotometer."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption eeprom(QStringLiteral("eeprom"), QStringLiteral("EEPROM image file (default eeprom.bin)."),
                              QStringLiteral("PATH"), QStringLiteral("eeprom.bin"));
    parser.addOption(eeprom);
    QCommandLineOption eepromSnapshot(QStringLiteral("eeprom-snapshot"),
                                      QStringLiteral("Load the EEPROM image and keep every change in memory: the file "
                                                     "is never written."));
    parser.addOption(eepromSnapshot);
    QCommandLineOption speed(QStringLiteral("speed"),
                             QStringLiteral("Run firmware time N times as fast as real time (default 1), or 'max' "
                                            "for as fast as possible."),
                             QStringLiteral("N|max"), QStringLiteral("1"));
    parser.addOption(speed);
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                  QStringLiteral("Save a picture of the window to PNG after a delay, then quit."),
                                  QStringLiteral("PNG"));
    parser.addOption(screenshot);
    QCommandLineOption delay(QStringLiteral("screenshot-delay"), QStringLiteral("Delay before the screenshot (default 3000)."),
                             QStringLiteral("MS"), QStringLiteral("3000"));
    parser.addOption(delay);
    QCommandLineOption serialPty(QStringLiteral("serial-pty"),
                                 QStringLiteral("Serve the serial port on a pseudo-terminal linked at PATH."),
                                 QStringLiteral("PATH"));
    parser.addOption(serialPty);
    QCommandLineOption serialTcp(QStringLiteral("serial-tcp"), QStringLiteral("Serve the serial port on 127.0.0.1:PORT."),
                                 QStringLiteral("PORT"));
    parser.addOption(serialTcp);
    parser.process(qapp);

    CHaldenApp::Options options;
    options.sEepromPath = parser.value(eeprom);
    options.bEepromSnapshot = parser.isSet(eepromSnapshot);
    const QString sSpeed = parser.value(speed);
    if (sSpeed == QStringLiteral("max")) {
        options.dSpeed = 0;
    } else {
        bool bOk = false;
        options.dSpeed = sSpeed.toDouble(&bOk);
        if (!bOk || !(options.dSpeed > 0) || options.dSpeed > 1e6) {
            std::fprintf(stderr, "halden-sim: bad speed '%s' (a number above 0, or max)\n", qPrintable(sSpeed));
            return 2;
        }
    }
    if (parser.isSet(serialPty) && parser.isSet(serialTcp)) {
        std::fprintf(stderr, "halden-sim: give one serial port only (--serial-pty or --serial-tcp)\n");
        return 2;
    }
    if (parser.isSet(serialPty)) {
        SerialPortChoice choice;
        choice.mode = SerialPortChoice::Mode::Pty;
        choice.sLink = parser.value(serialPty);
        options.serialPort = choice;
    } else if (parser.isSet(serialTcp)) {
        bool bOk = false;
        const int nPort = parser.value(serialTcp).toInt(&bOk);
        if (!bOk || nPort < 1 || nPort > 65535) {
            std::fprintf(stderr, "halden-sim: --serial-tcp needs a port number from 1 to 65535, not '%s'\n",
                         qPrintable(parser.value(serialTcp)));
            return 2;
        }
        SerialPortChoice choice;
        choice.mode = SerialPortChoice::Mode::Tcp;
        choice.nPort = nPort;
        options.serialPort = choice;
    }
    CHaldenApp app(options);
    if (!app.InitInstance())
        return 1;
    // SIGINT and SIGTERM close the window like its close button.
    CSignalClose signalClose(app.Frame());
    int nScreenshotResult = 0;
    if (parser.isSet(screenshot)) {
        const QString sPath = parser.value(screenshot);
        QTimer::singleShot(parser.value(delay).toInt(), &app, [&app, sPath, &nScreenshotResult] {
            CMainFrame* pFrame = app.Frame();
            if (!pFrame->grab().save(sPath, "PNG")) {
                std::fprintf(stderr, "halden-sim: cannot write %s\n", qPrintable(sPath));
                nScreenshotResult = 1;
            }
            pFrame->close();
        });
    }
    const int nResult = qapp.exec();
    app.ExitInstance();
    if (app.RestartRequested() && nResult == 0) {
        // Mains on again: the same program with the same arguments (another
        // EEPROM image when one was opened), once the EEPROM file, the serial
        // port and the profile are closed and written.
        const QByteArray abProgram = QCoreApplication::applicationFilePath().toLocal8Bit();
        std::vector<QByteArray> args;
        for (const QString& sArg : app.RestartArguments())
            args.push_back(sArg.toLocal8Bit());
        std::vector<char*> apszArgs;
        for (QByteArray& abArg : args)
            apszArgs.push_back(abArg.data());
        apszArgs.push_back(nullptr);
        execv(abProgram.constData(), apszArgs.data());
        std::fprintf(stderr, "halden-sim: cannot restart %s\n", abProgram.constData());
        return 1;
    }
    return nResult ? nResult : nScreenshotResult;
}
