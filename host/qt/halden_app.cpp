// The application object: start-up, exit and the profile, Send Message and
// About.
#include "halden_app.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <algorithm>

#include "dialogs.h"
#include "dock_tools.h"
#include "eeprom_bus.h"
#include "halden_doc.h"
#include "halden_view.h"
#include "key_map.h"
#include "main_frame.h"
#include "serial_endpoint.h"

namespace {

CHaldenApp* gpApp = nullptr;  // the one application object

// Profile section and entries.
const QString VIEW_SECTION = QStringLiteral("View");
const QString TOOLBAR_ENTRY = QStringLiteral("ToolBar");
const QString STATUSBAR_ENTRY = QStringLiteral("StatusBar");
const QString SERIAL_MONITOR_ENTRY = QStringLiteral("SerialMonitor");
const QString PRINTER_ENTRY = QStringLiteral("Printer");
const QString CHART_ENTRY = QStringLiteral("ChartRecorder");
const QString ZOOM_ENTRY = QStringLiteral("Zoom");
const QString GEOMETRY_ENTRY = QStringLiteral("WindowGeometry");
const QString LAYOUT_ENTRY = QStringLiteral("WindowLayout");
const QString SCREENSHOT_DIR_ENTRY = QStringLiteral("ScreenshotFolder");
const QString RECENT_EEPROM_ENTRY = QStringLiteral("File/RecentEepromImages");
constexpr int RECENT_EEPROM_MAX = 6;

int ReadFlag(QSettings& settings, const QString& sKey, int nDefault)
{
    return settings.value(sKey, nDefault).toInt() != 0 ? 1 : 0;
}

}  // namespace

CHaldenApp::CHaldenApp(const Options& options) : m_options(options) { gpApp = this; }
CHaldenApp::CHaldenApp() : CHaldenApp(Options{}) {}

// The windows go, and with the view the instrument with its EEPROM file.
CHaldenApp::~CHaldenApp()
{
    ExitInstance();
    if (gpApp == this)
        gpApp = nullptr;
}

CHaldenApp* CHaldenApp::Instance() { return gpApp; }

// The board's message ends in advice for the command line (": name a file
// with --eeprom"); the window offers its own choices instead.
QString EepromProblemText(const std::string& sStatus)
{
    QString sText = QString::fromStdString(sStatus);
    const qsizetype nAdvice = sText.indexOf(QStringLiteral(": name "));
    if (nAdvice >= 0 && sText.indexOf(QStringLiteral("--eeprom"), nAdvice) >= 0)
        sText.truncate(nAdvice);
    if (!sText.isEmpty())
        sText[0] = sText[0].toUpper();
    return sText + QLatin1Char('.');
}

CEepromBus* CHaldenApp::Bus() const { return View() ? &View()->Instrument().Bus() : nullptr; }

CHaldenView* CHaldenApp::View() const { return m_pFrame ? m_pFrame->View() : nullptr; }

bool CHaldenApp::InitInstance()
{
    {
        QSettings settings;
        settings.beginGroup(VIEW_SECTION);
        m_bShowToolBar = ReadFlag(settings, TOOLBAR_ENTRY, m_bShowToolBar);
        m_bShowStatusBar = ReadFlag(settings, STATUSBAR_ENTRY, m_bShowStatusBar);
        m_bShowSerialMonitor = ReadFlag(settings, SERIAL_MONITOR_ENTRY, m_bShowSerialMonitor);
        m_bShowPrinter = ReadFlag(settings, PRINTER_ENTRY, m_bShowPrinter);
        m_bShowChart = ReadFlag(settings, CHART_ENTRY, m_bShowChart);
        m_nZoom = std::clamp(settings.value(ZOOM_ENTRY, m_nZoom).toInt(), CHaldenView::ZOOM_MIN, CHaldenView::ZOOM_MAX);
        m_baWindowGeometry = settings.value(GEOMETRY_ENTRY).toByteArray();
        m_baWindowLayout = settings.value(LAYOUT_ENTRY).toByteArray();
        m_sScreenshotDir = settings.value(SCREENSHOT_DIR_ENTRY).toString();
        settings.endGroup();
        SetKeyMap(ReadKeyMap(settings));
    }

    // File/New: the document, the frame and the view; the view publishes
    // itself for the firmware and creates the display and the keys.
    m_pDoc = std::make_unique<CHaldenDoc>();
    m_pFrame = std::make_unique<CMainFrame>(this, m_pDoc.get());
    if (!m_pFrame->Created()) {
        m_pFrame.reset();
        return false;
    }
    m_pDoc->OnNewDocument();
    m_pFrame->SetSpeed(m_options.dSpeed);
    // The window comes back where it was closed, its docks as they were
    // arranged; Qt moves a window whose screen has gone onto one that is there.
    if (!m_baWindowGeometry.isEmpty())
        m_pFrame->restoreGeometry(m_baWindowGeometry);
    if (!m_baWindowLayout.isEmpty())
        m_pFrame->restoreState(m_baWindowLayout);
    m_pFrame->show();

    // The bus with the firmware's own pins, the EEPROM at 0xA0 and the clock chip.
    CInstrument& instrument = m_pFrame->View()->Instrument();
    instrument.SetClockStart(m_options.clockStart);
    instrument.OpenEeprom(m_options.sEepromPath.toStdString(), m_options.bEepromSnapshot);
    if (instrument.Bus().Refused() && !ChooseOtherStore())
        return false;
    m_pFrame->ShowEepromStatus(QString::fromStdString(instrument.Bus().StatusMessage()));
    m_pFrame->SetEepromFile(m_options.sEepromPath);
    NoteRecentEeprom(m_options.sEepromPath);
    // A write that fails later is reported on the firmware thread; the
    // status bar learns of it on the UI thread.
    instrument.Bus().SetStatusListener([this](const std::string& sMessage) {
        {
            std::lock_guard<std::mutex> lock(m_mtxStatus);
            m_sPendingStatus = sMessage;
        }
        QMetaObject::invokeMethod(this, &CHaldenApp::ShowPendingStatus, Qt::QueuedConnection);
    });

    // The serial port's host end: bytes the instrument received go to the
    // monitor, a client's arrival wakes the firmware and updates the status.
    m_pSerialPort = std::make_unique<CSerialEndpoint>();
    CHaldenView* pView = m_pFrame->View();
    pView->Instrument().AttachSerialEndpoint(m_pSerialPort.get());
    m_pSerialPort->SetActivityListener([this, pView] {
        pView->Instrument().Wake();
        QMetaObject::invokeMethod(this, &CHaldenApp::UpdateSerialStatus, Qt::QueuedConnection);
    });
    SerialPortChoice choice;
    if (m_options.serialPort) {
        choice = *m_options.serialPort;
    } else {
        QSettings settings;
        choice = ReadSerialPortChoice(settings);
    }
    ApplySerialPort(choice, nullptr);

    // The firmware starts once the event loop runs, when the view exists.
    if (m_options.bStartFirmware)
        QTimer::singleShot(0, this, &CHaldenApp::StartFirmware);
    return true;
}

// The named file is not an EEPROM image and is left alone: the user starts
// with a new file elsewhere, with the store in memory only, or not at all.
bool CHaldenApp::ChooseOtherStore()
{
    CInstrument& instrument = m_pFrame->View()->Instrument();
    while (instrument.Bus().Refused()) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Halden"),
                        EepromProblemText(instrument.Bus().StatusMessage()), QMessageBox::NoButton,
                        m_pFrame.get());
        box.setInformativeText(QStringLiteral(
            "Start with a new EEPROM file elsewhere, or with the store in memory only "
            "(settings and methods are then lost when the simulator closes)."));
        QPushButton* pNewFile = box.addButton(QStringLiteral("New File..."), QMessageBox::AcceptRole);
        QPushButton* pMemory = box.addButton(QStringLiteral("Memory Only"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("Quit"), QMessageBox::RejectRole);
        box.setDefaultButton(pNewFile);
        box.exec();
        if (box.clickedButton() == pNewFile) {
            QString sPath = AskSaveFileName(m_pFrame.get(), QStringLiteral("New EEPROM File"), QStringLiteral("eeprom.bin"),
                                            QStringLiteral("EEPROM images (*.bin);;All files (*)"));
            if (sPath.isEmpty())
                continue;
            m_options.sEepromPath = sPath;
            instrument.OpenEeprom(sPath.toStdString());
        } else if (box.clickedButton() == pMemory) {
            m_options.sEepromPath.clear();
            instrument.OpenEeprom(std::string());
        } else {
            return false;
        }
    }
    return true;
}

void CHaldenApp::ShowPendingStatus()
{
    std::string sMessage;
    {
        std::lock_guard<std::mutex> lock(m_mtxStatus);
        sMessage = m_sPendingStatus;
    }
    if (m_pFrame)
        m_pFrame->ShowEepromStatus(QString::fromStdString(sMessage));
}

void CHaldenApp::StartFirmware()
{
    // Not when the window was closed before the event loop first ran.
    if (m_pFrame && m_pFrame->isVisible() && !m_bExited) {
        CInstrument& instrument = View()->Instrument();
        const auto& abImage = instrument.Bus().Eeprom().Memory();
        View()->Recorder().PowerUp(abImage.data(), abImage.size(), instrument.HeaterFitted());
        instrument.SetInputObserver(&View()->Recorder());
        instrument.PowerUp();
    }
}

void CHaldenApp::ExitInstance()
{
    if (m_bExited || !m_pFrame)
        return;
    m_bExited = true;
    if (m_pFrame->isVisible())
        m_pFrame->close();  // stores the bar states and stops the firmware
    if (View())
        View()->Instrument().Shutdown();
    if (m_pSerialPort)
        m_pSerialPort->Close();  // removes the link while the firmware no longer sends
    m_pFrame.reset();
    QSettings settings;
    settings.beginGroup(VIEW_SECTION);
    settings.setValue(TOOLBAR_ENTRY, m_bShowToolBar);
    settings.setValue(STATUSBAR_ENTRY, m_bShowStatusBar);
    settings.setValue(SERIAL_MONITOR_ENTRY, m_bShowSerialMonitor);
    settings.setValue(PRINTER_ENTRY, m_bShowPrinter);
    settings.setValue(CHART_ENTRY, m_bShowChart);
    settings.setValue(ZOOM_ENTRY, m_nZoom);
    if (!m_baWindowGeometry.isEmpty())
        settings.setValue(GEOMETRY_ENTRY, m_baWindowGeometry);
    if (!m_baWindowLayout.isEmpty())
        settings.setValue(LAYOUT_ENTRY, m_baWindowLayout);
    if (!m_sScreenshotDir.isEmpty())
        settings.setValue(SCREENSHOT_DIR_ENTRY, m_sScreenshotDir);
}

void CHaldenApp::RequestRestart()
{
    m_bRestartRequested = true;
    if (m_options.bStartFirmware && m_pFrame)
        m_pFrame->close();
}

void CHaldenApp::NoteRecentEeprom(const QString& sPath)
{
    if (sPath.isEmpty())
        return;
    const QString sAbsolute = QFileInfo(sPath).absoluteFilePath();
    QStringList recent = RecentEepromFiles();
    recent.removeAll(sAbsolute);
    recent.prepend(sAbsolute);
    while (recent.size() > RECENT_EEPROM_MAX)
        recent.removeLast();
    QSettings().setValue(RECENT_EEPROM_ENTRY, recent);
    if (m_pFrame)
        m_pFrame->FillRecentMenu();
}

QStringList CHaldenApp::RecentEepromFiles() const { return QSettings().value(RECENT_EEPROM_ENTRY).toStringList(); }

void CHaldenApp::OnOpenEeprom()
{
    const QString sPath = AskOpenFileName(m_pFrame.get(), QStringLiteral("Open EEPROM Image"),
                                          QStringLiteral("EEPROM images (*.bin);;All files (*)"));
    if (sPath.isEmpty())
        return;
    QString sError;
    if (!SwitchEeprom(sPath, &sError))
        QMessageBox::warning(m_pFrame.get(), QStringLiteral("Open EEPROM Image"), sError);
}

bool CHaldenApp::SwitchEeprom(const QString& sPath, QString* psError)
{
    auto fnFail = [psError](const QString& sWhy) {
        if (psError)
            *psError = sWhy;
        return false;
    };
    const QFileInfo info(sPath);
    if (!m_options.sEepromPath.isEmpty() && info.absoluteFilePath() == QFileInfo(m_options.sEepromPath).absoluteFilePath())
        return fnFail(QStringLiteral("%1 is the EEPROM image in use.").arg(QDir::toNativeSeparators(info.absoluteFilePath())));
    if (!info.exists())
        return fnFail(QStringLiteral("%1 no longer exists.").arg(QDir::toNativeSeparators(info.absoluteFilePath())));
    {
        // The same checks as at start; the file is closed again at once.
        CEepromBus check(sPath.toStdString());
        if (check.Refused())
            return fnFail(EepromProblemText(check.StatusMessage()) +
                          QStringLiteral("\nThe instrument runs on with %1.")
                              .arg(m_options.sEepromPath.isEmpty()
                                       ? QStringLiteral("its store in memory only")
                                       : QDir::toNativeSeparators(QFileInfo(m_options.sEepromPath).absoluteFilePath())));
    }
    m_sRestartEeprom = info.absoluteFilePath();
    NoteRecentEeprom(m_sRestartEeprom);
    RequestRestart();
    return true;
}

QStringList CHaldenApp::RestartArguments() const
{
    QStringList args = QCoreApplication::arguments();
    if (m_sRestartEeprom.isEmpty())
        return args;
    for (qsizetype i = 1; i < args.size();) {
        if (args[i] == QStringLiteral("--eeprom") && i + 1 < args.size())
            args.remove(i, 2);
        else if (args[i].startsWith(QStringLiteral("--eeprom=")))
            args.remove(i);
        else
            i++;
    }
    args << QStringLiteral("--eeprom") << m_sRestartEeprom;
    return args;
}

void CHaldenApp::OnFileNew()
{
    if (m_pDoc)
        m_pDoc->OnNewDocument();
}

void CHaldenApp::OnSendMessage()
{
    CSendMessageDlg dlg(m_pFrame.get());
    if (dlg.exec() == QDialog::Accepted)
        SendBytes(dlg.Message());
}

void CHaldenApp::SendBytes(const std::string& sMessage)
{
    if (CHaldenView* pView = View())
        pView->InjectSerial(QByteArray(sMessage.data(), static_cast<qsizetype>(sMessage.size())));
}

bool CHaldenApp::ApplySerialPort(const SerialPortChoice& choice, QString* psError)
{
    m_serialChoice = choice;
    std::string sError;
    bool bOk = true;
    switch (choice.mode) {
    case SerialPortChoice::Mode::None:
        m_pSerialPort->Close();
        break;
    case SerialPortChoice::Mode::Pty:
        bOk = m_pSerialPort->OpenPty(choice.sLink.toStdString(), &sError);
        break;
    case SerialPortChoice::Mode::Tcp:
        bOk = m_pSerialPort->OpenTcp(static_cast<uint16_t>(choice.nPort), &sError);
        break;
    }
    m_sSerialError = bOk ? QString() : QString::fromStdString(sError);
    if (psError)
        *psError = m_sSerialError;
    UpdateSerialStatus();
    return bOk;
}

void CHaldenApp::UpdateSerialStatus()
{
    if (!m_pFrame || !m_pSerialPort)
        return;
    QString sText;
    if (!m_sSerialError.isEmpty())
        sText = QStringLiteral("Serial port: %1").arg(m_sSerialError);
    else if (m_pSerialPort->IsOpen()) {
        sText = QString::fromStdString(m_pSerialPort->Describe());
        sText[0] = sText[0].toUpper();
    }
    m_pFrame->ShowSerialStatus(sText);
}

// The choice is remembered in the profile once the port has opened as chosen.
void CHaldenApp::OnSerialPort()
{
    CSerialPortDlg dlg(m_serialChoice, QString::fromStdString(m_pSerialPort->DevicePath()), m_pFrame.get());
    if (dlg.exec() != QDialog::Accepted)
        return;
    QString sError;
    if (!ApplySerialPort(dlg.Choice(), &sError)) {
        QMessageBox::warning(m_pFrame.get(), QStringLiteral("Serial Port"), sError);
        return;
    }
    QSettings settings;
    WriteSerialPortChoice(settings, dlg.Choice());
}

void CHaldenApp::OnAppAbout()
{
    CAboutDlg dlg(m_pFrame.get());
    dlg.exec();
}
