// The application: start-up order (window, bus and EEPROM, then the
// firmware), the profile entries, and the commands it handles itself (Send
// Message, About).
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "serial_port_dialog.h"

class CEepromBus;
class CHaldenDoc;
class CHaldenView;
class CMainFrame;
class CSerialEndpoint;

// A refused EEPROM file's message for a window: the fact, as a sentence,
// without the command-line advice the console gives.
QString EepromProblemText(const std::string& sStatus);

class CHaldenApp final : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString sEepromPath = QStringLiteral("eeprom.bin");  // backing file of the EEPROM
        bool bEepromSnapshot = false;                         // load it, keep every change in memory
        std::optional<std::tm> clockStart;                    // --clock: the instrument clock's start; none: the computer's
        bool bStartFirmware = true;                           // false: window only (tests)
        std::optional<SerialPortChoice> serialPort;           // from the command line: wins over the profile
        double dSpeed = 1;  // pace of firmware time: N times real time, 0 as fast as possible
    };

    explicit CHaldenApp(const Options& options);
    CHaldenApp();
    ~CHaldenApp() override;
    static CHaldenApp* Instance();

    // Reads the profile, creates the document, frame and view, then the bus
    // with the EEPROM, shows the frame and starts the firmware once the event
    // loop runs. False when the window cannot be created.
    bool InitInstance();
    // Destroys the windows (the frame has stopped the firmware on close) and
    // writes the profile.
    void ExitInstance();

    // The instrument is switched on again after the mains was off: the
    // firmware runs once per process, so the simulator closes and main()
    // starts it afresh with the same arguments (window, profile and EEPROM
    // file as they were). A window without firmware (tests) only notes it.
    void RequestRestart();
    bool RestartRequested() const { return m_bRestartRequested; }
    bool StartsFirmware() const { return m_options.bStartFirmware; }

    void OnFileNew();
    // File/Open EEPROM Image... and File/Recent EEPROM Images: the instrument
    // starts afresh from power-up on another image. The new file is checked
    // first, as at start; one that is no EEPROM image is refused with the
    // reason (false) and the instrument runs on. Otherwise the firmware,
    // which runs once per process, stops, the old file is closed, and the
    // simulator restarts on the new one.
    void OnOpenEeprom();
    bool SwitchEeprom(const QString& sPath, QString* psError);
    // The EEPROM images used last, newest first (the profile keeps them).
    QStringList RecentEepromFiles() const;
    QString EepromPath() const { return m_options.sEepromPath; }
    // The command line for the restart: the same, on the image switched to.
    QStringList RestartArguments() const;
    void OnSendMessage();
    void OnAppAbout();
    void OnSerialPort();
    // Closes the serial port and opens it as chosen; false with the reason
    // (the port then stays closed). The status bar follows either way.
    bool ApplySerialPort(const SerialPortChoice& choice, QString* psError);
    CSerialEndpoint* SerialPort() const { return m_pSerialPort.get(); }
    const SerialPortChoice& SerialChoice() const { return m_serialChoice; }
    void UpdateSerialStatus();
    // Sends the bytes of a message into the firmware's serial receive path.
    void SendBytes(const std::string& sMessage);

    CMainFrame* Frame() const { return m_pFrame.get(); }
    CHaldenDoc* Doc() const { return m_pDoc.get(); }
    CHaldenView* View() const;
    // The instrument's two-wire bus with the EEPROM; null before the window exists.
    CEepromBus* Bus() const;

    int m_bShowToolBar = 1;    // toolbar shown; 1 until the profile is read
    int m_bShowStatusBar = 1;  // status bar shown; 1 until the profile is read
    int m_bShowSerialMonitor = 1;  // serial monitor dock shown
    int m_bShowPrinter = 1;        // printer dock shown
    int m_bShowChart = 1;          // chart recorder dock shown
    int m_nZoom = 1;               // display zoom 1..4
    QByteArray m_baWindowGeometry;  // the main window's place and size, empty until one is kept
    QByteArray m_baWindowLayout;    // where the docks and the toolbar sit
    QString m_sScreenshotDir;       // where screenshots go; empty: the pictures folder

private:
    void StartFirmware();
    bool ChooseOtherStore();
    void NoteRecentEeprom(const QString& sPath);
    void ShowPendingStatus();

    Options m_options;
    std::unique_ptr<CSerialEndpoint> m_pSerialPort;  // where PC software connects
    SerialPortChoice m_serialChoice;                 // what the port was last set to
    QString m_sSerialError;                          // why it did not open, shown in the status bar
    std::unique_ptr<CHaldenDoc> m_pDoc;
    std::unique_ptr<CMainFrame> m_pFrame;
    bool m_bExited = false;
    bool m_bRestartRequested = false;
    QString m_sRestartEeprom;  // the image the restart opens; empty: as before
    std::mutex m_mtxStatus;
    std::string m_sPendingStatus;  // the bus's latest message, handed over from the firmware thread
};
