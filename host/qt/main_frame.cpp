// The main window, its menus, toolbar, status bar and keyboard shortcuts.
#include "main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QSettings>
#include <QSaveFile>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QDateTime>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QStandardPaths>
#include <QKeyEvent>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QLayout>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include <memory>

#include "core/runtime.h"
#include "core/timers.h"
#include "dock_tools.h"
#include "halden_app.h"
#include "halden_doc.h"
#include "halden_view.h"
#include "chart_dock.h"
#include "panel_layout.h"
#include "printer_dock.h"
#include "sample_dialog.h"
#include "scenario_player.h"
#include "serial_monitor.h"
#include "session_recorder.h"
#include "key_map.h"
#include "keys_dialog.h"

namespace {

const QString IDLE_MESSAGE = QStringLiteral("For Help, press F1");
constexpr int SPEED_SAMPLE_MS = 1000;
constexpr int RIGHT_DOCK_WIDTH = 330;  // the printer's paper at 1x zoom, with its scroll bar  // the status bar's speed is the average over this period
// Shown from power-on until the standby key first goes down: the instrument
// waits in standby with a blank display until then.
const QString STANDBY_MESSAGE = QStringLiteral("Press standby (S) to switch on");
// The widest a status-bar pane grows; longer texts are shortened and shown
// whole in the tooltip.
constexpr int PANE_MAX_WIDTH = 280;
constexpr int MONITOR_LINES = 12;  // text lines the serial monitor shows at first

// A status-bar prompt "long text\ntooltip", as the string table has them.
void SetPrompt(QAction* pAction, const QString& sPrompt)
{
    const QStringList parts = sPrompt.split(QLatin1Char('\n'));
    pAction->setStatusTip(parts.value(0));
    if (parts.size() > 1)
        pAction->setToolTip(parts.value(1));
}

}  // namespace

CMainFrame::CMainFrame(CHaldenApp* pApp, CHaldenDoc* pDoc) : m_pApp(pApp), m_pDoc(pDoc)
{
    const QString sAppTitle = QString::fromLatin1(CHaldenDoc::DOCUMENT_STRINGS).section(QLatin1Char('\n'), 0, 0);
    setWindowTitle(QStringLiteral("%1 - %2").arg(pDoc->Title(), sAppTitle));
    setWindowIcon(QIcon(QStringLiteral(":/bitmap/icon")));

    m_pView = new CHaldenView;
    if (!m_pView->Created())
        return;
    setCentralWidget(m_pView);

    m_pSerialMonitor = new CSerialMonitor(this);
    addDockWidget(Qt::BottomDockWidgetArea, m_pSerialMonitor);
    m_pSerialMonitor->setVisible(pApp->m_bShowSerialMonitor != 0);
    connect(m_pView, &CHaldenView::SerialReceived, m_pSerialMonitor, &CSerialMonitor::AppendBytes);
    connect(m_pView, &CHaldenView::SerialInjected, m_pSerialMonitor, &CSerialMonitor::AppendInjected);
    m_pSerialMonitor->SetClock([pInstrument = &m_pView->Instrument()] { return pInstrument->FirmwareMs(); });
    connect(m_pSerialMonitor, &CSerialMonitor::SendRequested, this, [this](const QByteArray& abBytes) {
        m_pApp->SendBytes(abBytes.toStdString());
    });

    // The printer and the chart recorder share the right-hand side as tabs.
    CInstrument& instrument = m_pView->Instrument();
    instrument.ConnectPrinter();
    instrument.ConnectChart();
    m_pPrinterDock = new CPrinterDock(instrument.PrinterCable(), this);
    m_pChartDock = new CChartDock(instrument.Chart(), this);
    addDockWidget(Qt::RightDockWidgetArea, m_pPrinterDock);
    addDockWidget(Qt::RightDockWidgetArea, m_pChartDock);
    tabifyDockWidget(m_pPrinterDock, m_pChartDock);
    m_pPrinterDock->setVisible(pApp->m_bShowPrinter != 0);
    m_pChartDock->setVisible(pApp->m_bShowChart != 0);
    m_pPrinterDock->raise();
    connect(m_pView, &CHaldenView::SerialReceived, m_pPrinterDock, &CPrinterDock::TakeCable);

    CreateMenus();
    // A profile edited by hand may give a panel key what a menu uses.
    if (!CheckKeyMap(CurrentKeyMap(), ReservedKeys()).isEmpty())
        SetKeyMap(DefaultKeyMap());
    connect(m_pView->Lid(), &CSampleLid::Clicked, this, &CMainFrame::OnSample);

    QStatusBar* pStatus = statusBar();
    m_pEepromPane = new QLabel;
    m_pEepromPane->setObjectName(QStringLiteral("eepromStatus"));
    m_pEepromPane->hide();
    pStatus->addPermanentWidget(m_pEepromPane);
    m_pEepromPane->setMaximumWidth(PANE_MAX_WIDTH);
    m_pSerialPane = new QLabel;
    m_pSerialPane->setObjectName(QStringLiteral("serialStatus"));
    m_pSerialPane->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pSerialPane->hide();
    pStatus->addPermanentWidget(m_pSerialPane);
    m_pScenarioPane = new QLabel;
    m_pScenarioPane->setObjectName(QStringLiteral("scenarioStatus"));
    m_pScenarioPane->setMaximumWidth(PANE_MAX_WIDTH);
    m_pScenarioPane->hide();
    pStatus->addPermanentWidget(m_pScenarioPane);
    m_pPlayer = new CScenarioPlayer(this, m_pView);
    auto fnShowScenario = [this](const QString& sText) {
        m_pScenarioPane->setText(fontMetrics().elidedText(sText, Qt::ElideMiddle, PANE_MAX_WIDTH));
        m_pScenarioPane->setToolTip(sText);
        m_pScenarioPane->setVisible(!sText.isEmpty());
    };
    connect(m_pPlayer, &CScenarioPlayer::ProgressChanged, this, fnShowScenario);
    connect(m_pPlayer, &CScenarioPlayer::Finished, this, [this, fnShowScenario](bool, const QString& sResult) {
        fnShowScenario(sResult);
        m_pRunScenarioAction->setText(QStringLiteral("R&un Scenario..."));
    });
    m_pKeysPane = new QLabel;
    m_pKeysPane->setObjectName(QStringLiteral("keysStatus"));
    pStatus->addPermanentWidget(m_pKeysPane);
    connect(qApp, &QApplication::focusChanged, this, &CMainFrame::UpdateKeysPane);
    m_pSpeedPane = new QLabel;
    m_pSpeedPane->setObjectName(QStringLiteral("speedStatus"));
    m_pSpeedPane->setToolTip(QStringLiteral("Firmware time as a percentage of real time"));
    pStatus->addPermanentWidget(m_pSpeedPane);
    auto* pSpeedTimer = new QTimer(this);
    connect(pSpeedTimer, &QTimer::timeout, this, &CMainFrame::ShowAchievedSpeed);
    pSpeedTimer->start(SPEED_SAMPLE_MS);
    ShowAchievedSpeed();
    connect(pStatus, &QStatusBar::messageChanged, this, [this, pStatus](const QString& sMessage) {
        if (sMessage.isEmpty())
            pStatus->showMessage(IdleMessage());
    });
    pStatus->showMessage(IdleMessage());
    UpdateKeysPane();
    if (CKeyBase* pStandby = m_pView->Key(KEY_STANDBY)) {
        connect(pStandby, &CKeyBase::StateChanged, this, [this, pStandby, pStatus] {
            if (!m_bStandbyPrompt || !pStandby->IsDown())
                return;
            m_bStandbyPrompt = false;
            if (pStatus->currentMessage() == STANDBY_MESSAGE)
                pStatus->showMessage(IDLE_MESSAGE);
        });
    }
    pStatus->setVisible(pApp->m_bShowStatusBar != 0);
    m_pStatusBarAction->setChecked(pApp->m_bShowStatusBar != 0);

    connect(pDoc, &CHaldenDoc::UpdateAllViews, this, &CMainFrame::UpdateMainsCheck);
    connect(pDoc, &CHaldenDoc::UpdateAllViews, this, &CMainFrame::OnMainsChanged);
    UpdateMainsCheck();
    qApp->installEventFilter(this);
    // Tall enough for a whole reply block (a ^T result: a dozen lines).
    const int nMonitorHeight = m_pSerialMonitor->HeightForLines(MONITOR_LINES);
    resizeDocks({m_pSerialMonitor}, {nMonitorHeight}, Qt::Vertical);
    resizeDocks({m_pPrinterDock}, {RIGHT_DOCK_WIDTH}, Qt::Horizontal);
    // The window's first size leaves room for the panel at the zoom kept
    // in the profile, within the screen.
    const QSize sizeCanvas1x = m_pView->Canvas()->size();
    SetZoom(pApp->m_nZoom);
    QSize sizeWindow = QSize(600 + RIGHT_DOCK_WIDTH, 560 + nMonitorHeight) + (m_pView->Canvas()->size() - sizeCanvas1x);
    if (QScreen* pScreen = screen())
        sizeWindow = sizeWindow.boundedTo(pScreen->availableGeometry().size());
    resize(sizeWindow);
    m_bCreated = true;
}

CMainFrame::~CMainFrame() { qApp->removeEventFilter(this); }

QString CMainFrame::IdleMessage() const { return m_bStandbyPrompt ? STANDBY_MESSAGE : IDLE_MESSAGE; }

void CMainFrame::CreateMenus()
{
    QMenu* pFile = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* pNew = pFile->addAction(QStringLiteral("&New"), m_pApp, &CHaldenApp::OnFileNew);
    pNew->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
    pNew->setIcon(QIcon(QPixmap(QStringLiteral(":/bitmap/2")).copy(0, 0, panel::TOOLBAR_IMAGE_WIDTH, panel::TOOLBAR_IMAGE_HEIGHT)));
    SetPrompt(pNew, QStringLiteral("Create a new document\nNew"));
    QAction* pOpenEeprom = pFile->addAction(QStringLiteral("&Open EEPROM Image..."), m_pApp, &CHaldenApp::OnOpenEeprom);
    pOpenEeprom->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    SetPrompt(pOpenEeprom, QStringLiteral("Start the instrument afresh on another EEPROM image\nOpen EEPROM Image"));
    m_pRecentMenu = pFile->addMenu(QStringLiteral("Recent EEPROM &Images"));
    connect(m_pRecentMenu, &QMenu::aboutToShow, this, &CMainFrame::FillRecentMenu);
    FillRecentMenu();
    pFile->addSeparator();
    QAction* pSaveDisplay = pFile->addAction(QStringLiteral("Save &Display As..."), this, &CMainFrame::OnSaveDisplayAs);
    SetPrompt(pSaveDisplay, QStringLiteral("Save the display as a PNG picture\nSave Display"));
    QAction* pSavePrintout =
        pFile->addAction(QStringLiteral("Save Prin&tout As..."), m_pPrinterDock, &CPrinterDock::OnSavePrintout);
    SetPrompt(pSavePrintout, QStringLiteral("Save what the printer printed as a PNG picture or a PDF document\nSave Printout"));
    QAction* pShot = pFile->addAction(QStringLiteral("Scree&nshot of the Display"), this, [this] { SaveScreenshot(false); });
    pShot->setShortcut(QKeySequence(Qt::Key_F12));
    SetPrompt(pShot, QStringLiteral("Save the display as the next numbered PNG picture in the screenshot folder\nScreenshot"));
    QAction* pShotWindow =
        pFile->addAction(QStringLiteral("Screenshot of the &Window"), this, [this] { SaveScreenshot(true); });
    pShotWindow->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F12));
    SetPrompt(pShotWindow, QStringLiteral("Save the whole window as the next numbered PNG picture in the screenshot folder\nScreenshot of the Window"));
    pFile->addSeparator();
    m_pRecordAction = pFile->addAction(QStringLiteral("&Record Session..."), this, &CMainFrame::OnRecordSession);
    SetPrompt(m_pRecordAction,
              QStringLiteral("Record the session as a scenario that halden-cli replays\nRecord Session"));
    m_pRunScenarioAction = pFile->addAction(QStringLiteral("R&un Scenario..."), this, &CMainFrame::OnRunScenario);
    SetPrompt(m_pRunScenarioAction, QStringLiteral("Play a scenario on the instrument in this window\nRun Scenario"));
    pFile->addSeparator();
    QAction* pPrint = pFile->addAction(QStringLiteral("&Print..."), this, &CMainFrame::OnPrint);
    pPrint->setShortcut(QKeySequence(QStringLiteral("Ctrl+P")));
    SetPrompt(pPrint, QStringLiteral("Print the display and the printer's paper\nPrint"));
    QAction* pPreview = pFile->addAction(QStringLiteral("Print Pre&view"), this, &CMainFrame::OnPrintPreview);
    SetPrompt(pPreview, QStringLiteral("Show the printed page\nPrint Preview"));
    pFile->addSeparator();
    QAction* pExit = pFile->addAction(QStringLiteral("E&xit"), this, &QWidget::close);
    pExit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    SetPrompt(pExit, QStringLiteral("Quit the application\nExit"));

    QMenu* pEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction* pCopy = pEdit->addAction(QStringLiteral("&Copy Display"), this, &CMainFrame::OnCopyDisplay);
    pCopy->setShortcut(QKeySequence::Copy);
    SetPrompt(pCopy, QStringLiteral("Copy the display to the clipboard as a picture\nCopy Display"));

    m_pToolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_pToolBar->setObjectName(QStringLiteral("toolBar"));
    m_pToolBar->setIconSize(QSize(panel::TOOLBAR_IMAGE_WIDTH, panel::TOOLBAR_IMAGE_HEIGHT));
    addToolBar(Qt::TopToolBarArea, m_pToolBar);

    QMenu* pViewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* pToolBarAction = m_pToolBar->toggleViewAction();
    pToolBarAction->setText(QStringLiteral("Tool&bar"));
    SetPrompt(pToolBarAction, QStringLiteral("Show or hide the toolbar\nToggle ToolBar"));
    pViewMenu->addAction(pToolBarAction);
    m_pStatusBarAction = pViewMenu->addAction(QStringLiteral("&Status Bar"));
    m_pStatusBarAction->setCheckable(true);
    SetPrompt(m_pStatusBarAction, QStringLiteral("Show or hide the status bar\nToggle StatusBar"));
    connect(m_pStatusBarAction, &QAction::toggled, this, [this](bool bOn) { statusBar()->setVisible(bOn); });
    QAction* pMonitorAction = m_pSerialMonitor->toggleViewAction();
    pMonitorAction->setText(QStringLiteral("Serial &Monitor"));
    pMonitorAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+M")));
    SetPrompt(pMonitorAction, QStringLiteral("Show or hide what the instrument sends on its serial port\nSerial Monitor"));
    pViewMenu->addAction(pMonitorAction);
    QAction* pPrinterAction = m_pPrinterDock->toggleViewAction();
    pPrinterAction->setText(QStringLiteral("&Printer"));
    pPrinterAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+P")));
    SetPrompt(pPrinterAction, QStringLiteral("Show or hide the paper of the printer on the serial port\nPrinter"));
    pViewMenu->addAction(pPrinterAction);
    QAction* pChartAction = m_pChartDock->toggleViewAction();
    pChartAction->setText(QStringLiteral("&Chart Recorder"));
    pChartAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+R")));
    SetPrompt(pChartAction, QStringLiteral("Show or hide the chart of the analogue output\nChart Recorder"));
    pViewMenu->addAction(pChartAction);
    pViewMenu->addSeparator();
    QMenu* pZoomMenu = pViewMenu->addMenu(QStringLiteral("Display &Zoom"));
    auto* pZoomGroup = new QActionGroup(this);
    for (int nZoom = CHaldenView::ZOOM_MIN; nZoom <= CHaldenView::ZOOM_MAX; nZoom++) {
        QAction* pZoom = pZoomMenu->addAction(QStringLiteral("&%1x").arg(nZoom));
        pZoom->setCheckable(true);
        pZoom->setData(nZoom);
        pZoom->setShortcut(QKeySequence(QStringLiteral("Ctrl+%1").arg(nZoom)));
        SetPrompt(pZoom, QStringLiteral("Show the panel at %1 times its size\nZoom %1x").arg(nZoom));
        pZoomGroup->addAction(pZoom);
        m_apZoomActions.push_back(pZoom);
        connect(pZoom, &QAction::triggered, this, [this, nZoom] { SetZoom(nZoom); });
    }
    CreateSpeedMenu(pViewMenu);
    pViewMenu->addSeparator();
    m_pFullScreenAction = pViewMenu->addAction(QStringLiteral("&Full Screen"));
    m_pFullScreenAction->setCheckable(true);
    m_pFullScreenAction->setShortcut(QKeySequence(Qt::Key_F11));
    SetPrompt(m_pFullScreenAction, QStringLiteral("Fill the screen with the window (F11 again to leave)\nFull Screen"));
    connect(m_pFullScreenAction, &QAction::triggered, this, &CMainFrame::SetFullScreen);

    QMenu* pOptions = menuBar()->addMenu(QStringLiteral("&Options"));
    m_pMainsAction = pOptions->addAction(QStringLiteral("&Mains"), m_pDoc, &CHaldenDoc::OnOptionsMains);
    m_pMainsAction->setCheckable(true);
    m_pMainsAction->setIcon(QIcon(QPixmap(QStringLiteral(":/bitmap/2")).copy(panel::TOOLBAR_IMAGE_WIDTH, 0, panel::TOOLBAR_IMAGE_WIDTH, panel::TOOLBAR_IMAGE_HEIGHT)));
    SetPrompt(m_pMainsAction, QStringLiteral("Turn the mains on and off\nMains"));
    QAction* pPowerCycle = pOptions->addAction(QStringLiteral("Power &Cycle"), this, &CMainFrame::OnPowerCycle);
    pPowerCycle->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+F5")));
    SetPrompt(pPowerCycle, QStringLiteral("Switch the mains off and on again: the instrument starts from power-on\nPower Cycle"));
    m_pPauseAction = pOptions->addAction(QStringLiteral("P&ause"));
    m_pPauseAction->setCheckable(true);
    m_pPauseAction->setShortcuts({QKeySequence(Qt::Key_Pause), QKeySequence(QStringLiteral("Ctrl+Shift+Space"))});
    SetPrompt(m_pPauseAction, QStringLiteral("Stop the instrument and its clock where they are; again to go on\nPause"));
    connect(m_pPauseAction, &QAction::triggered, this, &CMainFrame::SetPaused);
    pOptions->addSeparator();
    QAction* pSend = pOptions->addAction(QStringLiteral("Send Message..."), m_pApp, &CHaldenApp::OnSendMessage);
    pSend->setShortcut(QKeySequence(QStringLiteral("Ctrl+M")));
    SetPrompt(pSend, QStringLiteral("Send a message to the Halden\nSend Message"));
    m_pSampleAction = pOptions->addAction(QStringLiteral("Sa&mple..."), this, &CMainFrame::OnSample);
    m_pSampleAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+L")));
    SetPrompt(m_pSampleAction, QStringLiteral("Choose the sample in the cell\nSample"));
    m_pHeaterAction = pOptions->addAction(QStringLiteral("Cell &Heater"), this,
                                          [this](bool bFitted) { FitHeater(bFitted); });
    m_pHeaterAction->setCheckable(true);
    m_pHeaterAction->setChecked(m_pView->Instrument().HeaterFitted());
    SetPrompt(m_pHeaterAction, QStringLiteral("Fit a heater to the cell holder: warms reacting samples to 37 C\nCell Heater"));
    QAction* pKeys = pOptions->addAction(QStringLiteral("&Keys..."), this, &CMainFrame::OnKeys);
    SetPrompt(pKeys, QStringLiteral("Choose the keyboard keys that work the panel keys\nKeys"));
    QAction* pSerialPort = pOptions->addAction(QStringLiteral("Serial &Port..."), m_pApp, &CHaldenApp::OnSerialPort);
    SetPrompt(pSerialPort, QStringLiteral("Choose where PC software opens the Halden's serial port\nSerial Port"));

    QMenu* pHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* pIndex = pHelp->addAction(QStringLiteral("&Index"), this, &CMainFrame::ShowKeyboardHelp);
    pIndex->setShortcut(QKeySequence(Qt::Key_F1));
    SetPrompt(pIndex, QStringLiteral("List Help topics\nHelp Index"));
    QAction* pUsing = pHelp->addAction(QStringLiteral("&Using Help"), this, [this] {
        QMessageBox::information(this, QStringLiteral("Using Help"),
                                 QStringLiteral("Help/Index lists the keyboard shortcuts of the front panel.\n"
                                                "Hover over a panel key to see its shortcut."));
    });
    SetPrompt(pUsing, QStringLiteral("Display instructions about how to use help\nHelp"));
    QAction* pGuide = pHelp->addAction(QStringLiteral("User &Guide"), this, &CMainFrame::OnUserGuide);
    pGuide->setShortcut(QKeySequence(QStringLiteral("Shift+F1")));
    SetPrompt(pGuide, QStringLiteral("Read the user guide's chapters\nUser Guide"));
    pHelp->addSeparator();
    QAction* pAbout = pHelp->addAction(QStringLiteral("&About Halden PC Simulation..."), m_pApp, &CHaldenApp::OnAppAbout);
    pAbout->setIcon(QIcon(QPixmap(QStringLiteral(":/bitmap/2")).copy(2 * panel::TOOLBAR_IMAGE_WIDTH, 0, panel::TOOLBAR_IMAGE_WIDTH, panel::TOOLBAR_IMAGE_HEIGHT)));
    SetPrompt(pAbout, QStringLiteral("Display program information, version number and copyright\nAbout"));

    m_pToolBar->addAction(pNew);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(m_pMainsAction);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(pAbout);
    m_pToolBar->setVisible(m_pApp->m_bShowToolBar != 0);
}

namespace {
struct SpeedChoice {
    const char* pszText;
    double dSpeed;  // 0: as fast as possible
    const char* pszPrompt;
};
constexpr SpeedChoice SPEEDS[] = {
    {"&Real Time", 1, "Run the instrument at its own pace\nReal Time"},
    {"&2x", 2, "Run the instrument's clock twice as fast\n2x"},
    {"&5x", 5, "Run the instrument's clock five times as fast\n5x"},
    {"1&0x", 10, "Run the instrument's clock ten times as fast\n10x"},
    {"As &Fast As Possible", 0, "Run the instrument's clock as fast as the computer allows\nAs Fast As Possible"},
};
}  // namespace

void CMainFrame::CreateSpeedMenu(QMenu* pViewMenu)
{
    QMenu* pSpeed = pViewMenu->addMenu(QStringLiteral("S&peed"));
    m_pSpeedGroup = new QActionGroup(this);
    m_pSpeedGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const SpeedChoice& choice : SPEEDS) {
        QAction* pAction = pSpeed->addAction(QString::fromLatin1(choice.pszText));
        pAction->setCheckable(true);
        pAction->setData(choice.dSpeed);
        pAction->setChecked(choice.dSpeed == 1);
        SetPrompt(pAction, QString::fromLatin1(choice.pszPrompt));
        m_pSpeedGroup->addAction(pAction);
        connect(pAction, &QAction::triggered, this, [this, dSpeed = choice.dSpeed] { SetSpeed(dSpeed); });
    }
}

QList<QAction*> CMainFrame::SpeedActions() const { return m_pSpeedGroup->actions(); }

// Any pace may be given on the command line; the menu checks the item that
// matches it, or none.
void CMainFrame::SetSpeed(double dSpeed)
{
    dSpeed = dSpeed > 0 ? dSpeed : 0;
    for (QAction* pAction : m_pSpeedGroup->actions())
        pAction->setChecked(pAction->data().toDouble() == dSpeed);
    m_pView->SetSpeed(dSpeed);
    ShowAchievedSpeed();
}

void CMainFrame::ShowAchievedSpeed()
{
    const double dPercent = m_pView->SampleAchievedSpeed();
    if (m_pView->Instrument().Paused() || m_bInstrumentOff) {
        m_pSpeedPane->setText(m_bInstrumentOff ? QStringLiteral("Off") : QStringLiteral("Paused"));
        return;
    }
    m_pSpeedPane->setText(dPercent < 0 ? QStringLiteral("Speed: -")
                                       : QStringLiteral("Speed: %1%").arg(QLocale().toString(dPercent, 'f', 0)));
}

void CMainFrame::SetZoom(int nZoom)
{
    m_pView->SetZoom(nZoom);
    for (QAction* pZoom : m_apZoomActions)
        pZoom->setChecked(pZoom->data().toInt() == m_pView->Zoom());
    m_pApp->m_nZoom = m_pView->Zoom();
    FitWindowToPanel();
}

// The window is sized so the view shows the whole panel, with the bars and
// the visible docks at the size they have, as far as the screen allows. The
// size is worked out afresh each time, so zooming in and out again comes back
// to the same window.
void CMainFrame::FitWindowToPanel()
{
    if (!isVisible() || isMaximized() || isFullScreen())
        return;
    if (QLayout* pLayout = layout())
        pLayout->activate();
    const int nFrame = 2 * m_pView->frameWidth();
    const QSize sizeView = m_pView->Canvas()->size() + QSize(nFrame, nFrame);
    QSize size = this->size() - m_pView->size() + sizeView;
    if (QScreen* pScreen = screen()) {
        const QSize sizeMax = pScreen->availableGeometry().size() - (frameGeometry().size() - geometry().size());
        // A scroll bar needed in one direction takes room in the other.
        const int nBar = m_pView->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_pView);
        if (size.height() > sizeMax.height())
            size.rwidth() += nBar;
        if (size.width() > sizeMax.width())
            size.rheight() += nBar;
        size = size.boundedTo(sizeMax);
    }
    resize(size);
}

void CMainFrame::SetEepromFile(const QString& sPath)
{
    const QString sAppTitle = QString::fromLatin1(CHaldenDoc::DOCUMENT_STRINGS).section(QLatin1Char('\n'), 0, 0);
    const QString sStore = sPath.isEmpty() ? QStringLiteral("EEPROM in memory only")
                                           : QDir::toNativeSeparators(QFileInfo(sPath).absoluteFilePath());
    setWindowTitle(QStringLiteral("%1 - %2 - %3").arg(m_pDoc->Title(), sAppTitle, sStore));
}

namespace {
// A widget the user types or selects text in: it keeps the keyboard to itself.
bool IsTextField(const QWidget* pWidget)
{
    return qobject_cast<const QLineEdit*>(pWidget) || qobject_cast<const QPlainTextEdit*>(pWidget) ||
           qobject_cast<const QTextEdit*>(pWidget) || qobject_cast<const QAbstractSpinBox*>(pWidget) ||
           (qobject_cast<const QComboBox*>(pWidget) && static_cast<const QComboBox*>(pWidget)->isEditable());
}
}  // namespace

void CMainFrame::UpdateKeysPane()
{
    if (IsTextField(QApplication::focusWidget())) {
        m_pKeysPane->setText(QStringLiteral("Keys: text field"));
        m_pKeysPane->setToolTip(QStringLiteral("Typed keys go to the text field that has the focus; "
                                               "click the panel to send them to the instrument again"));
    } else {
        m_pKeysPane->setText(QStringLiteral("Keys: panel"));
        m_pKeysPane->setToolTip(QStringLiteral("R, T, Esc, the arrows, 1 to 4 and S press the panel's keys"));
    }
}

// Ctrl+C copies the text selected in a text field that has the focus, such
// as the serial monitor; anywhere else it copies the display's picture.
void CMainFrame::OnCopyDisplay()
{
    QWidget* pFocus = QApplication::focusWidget();
    if (auto* pEdit = qobject_cast<QPlainTextEdit*>(pFocus); pEdit && pEdit->textCursor().hasSelection())
        return pEdit->copy();
    if (auto* pEdit = qobject_cast<QTextEdit*>(pFocus); pEdit && pEdit->textCursor().hasSelection())
        return pEdit->copy();
    if (auto* pEdit = qobject_cast<QLineEdit*>(pFocus); pEdit && pEdit->hasSelectedText())
        return pEdit->copy();
    QApplication::clipboard()->setImage(m_pView->DisplayImage());
}

bool CMainFrame::SaveDisplay(const QString& sPath, QString* psError)
{
    if (m_pView->DisplayImage().save(sPath, "PNG"))
        return true;
    *psError = QStringLiteral("Cannot write %1.").arg(QDir::toNativeSeparators(sPath));
    return false;
}

void CMainFrame::OnSaveDisplayAs()
{
    SaveAsWithWarning(this, QStringLiteral("Save Display As"), QStringLiteral("display.png"),
                      QStringLiteral("PNG pictures (*.png)"),
                      [this](const QString& sPath, QString* psError) { return SaveDisplay(sPath, psError); });
}

// Page one shows the display; the printer's paper, when it holds anything,
// follows at its own scale (a dot a point), its pages ending between lines.
int CMainFrame::PrintDocument(QPagedPaintDevice* pDevice)
{
    QPainter painter;
    if (!painter.begin(pDevice))
        return 0;
    const QRect rPage = painter.viewport();
    const QString sWhen = QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
    m_pView->DrawDisplayPage(painter, rPage, QStringLiteral("Halden display, %1").arg(sWhen));
    int nPages = 1;
    const CPrinter& printer = m_pPrinterDock->Printer();
    if (!printer.Empty()) {
        const double dDot = painter.device()->logicalDpiY() / CPrinter::DOTS_PER_INCH;  // device pixels a dot
        const int nRowsPerPage = std::max(CPrinter::LINE_PITCH, static_cast<int>(rPage.height() / dDot));
        std::vector<int> breaks = PdfPageBreaks(printer, nRowsPerPage);
        breaks.push_back(printer.Height());
        int nFirst = 0;
        for (int nEnd : breaks) {
            pDevice->newPage();
            nPages++;
            const QImage band = CPaperView::Band(printer, PAPER_MARGIN_DOTS + nFirst, nEnd - nFirst, 1);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
            painter.drawImage(QRectF(rPage.left(), rPage.top(), band.width() * dDot, band.height() * dDot), band);
            nFirst = nEnd;
        }
    }
    painter.end();
    return nPages;
}

void CMainFrame::OnPrint()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print"));
    if (dialog.exec() == QDialog::Accepted)
        PrintDocument(&printer);
}

// The preview opens large enough to read, showing a whole page's width.
QPrintPreviewDialog* CMainFrame::CreatePrintPreview(QPrinter* pPrinter)
{
    auto* pDialog = new QPrintPreviewDialog(pPrinter, this);
    pDialog->setWindowTitle(QStringLiteral("Print Preview"));
    connect(pDialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { PrintDocument(p); });
    QSize size(900, 1000);
    if (QScreen* pScreen = screen())
        size = size.boundedTo(pScreen->availableGeometry().size() * 9 / 10);
    pDialog->resize(size);
    if (auto* pPreview = pDialog->findChild<QPrintPreviewWidget*>())
        pPreview->setZoomMode(QPrintPreviewWidget::FitToWidth);
    return pDialog;
}

void CMainFrame::OnPrintPreview()
{
    QPrinter printer(QPrinter::HighResolution);
    std::unique_ptr<QPrintPreviewDialog> pDialog(CreatePrintPreview(&printer));
    pDialog->exec();
}

void CMainFrame::SetPaused(bool bPaused)
{
    m_pView->Instrument().SetPaused(bPaused);
    m_pPauseAction->setChecked(bPaused);
    statusBar()->showMessage(bPaused ? QStringLiteral("Paused: Pause again to go on") : QString(), bPaused ? 0 : 1);
    ShowAchievedSpeed();
}

void CMainFrame::OnMainsChanged()
{
    if (!m_pDoc->Mains() && !m_bInstrumentOff) {
        m_bInstrumentOff = true;
        m_pView->Instrument().Shutdown();
        m_pView->Lcd()->SetPowered(false);
        m_pPauseAction->setEnabled(false);
        statusBar()->showMessage(QStringLiteral("Mains off: Options/Mains switches the instrument on again"));
        ShowAchievedSpeed();
    } else if (m_pDoc->Mains() && m_bInstrumentOff) {
        m_pApp->RequestRestart();
    }
}

void CMainFrame::OnPowerCycle()
{
    if (m_pDoc->Mains())
        m_pDoc->OnOptionsMains();
    m_pDoc->OnOptionsMains();
}

void CMainFrame::SetFullScreen(bool bFull)
{
    if (bFull)
        showFullScreen();
    else
        showNormal();
    m_pFullScreenAction->setChecked(bFull);
}

QString CMainFrame::ScreenshotFolder() const
{
    if (!m_pApp->m_sScreenshotDir.isEmpty() && QFileInfo(m_pApp->m_sScreenshotDir).isDir())
        return m_pApp->m_sScreenshotDir;
    const QString sPictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return !sPictures.isEmpty() && QFileInfo(sPictures).isDir() ? sPictures : QDir::currentPath();
}

// "halden-display-001.png", "halden-window-001.png": the first number not
// yet taken in the folder.
QString CMainFrame::SaveScreenshot(bool bWindow)
{
    const QDir dir(ScreenshotFolder());
    const QString sStem = bWindow ? QStringLiteral("halden-window-") : QStringLiteral("halden-display-");
    QString sPath;
    for (int n = 1; n < 100000; n++) {
        sPath = dir.filePath(QStringLiteral("%1%2.png").arg(sStem).arg(n, 3, 10, QLatin1Char('0')));
        if (!QFileInfo::exists(sPath))
            break;
    }
    const QImage image = bWindow ? grab().toImage() : m_pView->DisplayImage();
    if (!image.save(sPath, "PNG")) {
        statusBar()->showMessage(QStringLiteral("Cannot write %1").arg(QDir::toNativeSeparators(sPath)), 8000);
        return QString();
    }
    statusBar()->showMessage(QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(sPath)), 8000);
    return sPath;
}

void CMainFrame::UpdateMainsCheck() { m_pMainsAction->setChecked(m_pDoc->Mains()); }

void CMainFrame::ShowEepromStatus(const QString& sMessage)
{
    m_pEepromPane->setText(m_pEepromPane->fontMetrics().elidedText(sMessage, Qt::ElideRight, PANE_MAX_WIDTH));
    m_pEepromPane->setToolTip(sMessage);
    m_pEepromPane->setVisible(!sMessage.isEmpty());
}

void CMainFrame::ShowSerialStatus(const QString& sText)
{
    m_pSerialPane->setText(m_pSerialPane->fontMetrics().elidedText(sText, Qt::ElideRight, PANE_MAX_WIDTH));
    m_pSerialPane->setToolTip(sText);
    m_pSerialPane->setVisible(!sText.isEmpty());
}

void CMainFrame::ShowKeyboardHelp()
{
    QString sText = QStringLiteral("Front-panel keys on the keyboard (while the main window has the focus):\n\n");
    for (const panel::KeyLayout& key : panel::KEYS)
        sText += QStringLiteral("%1:  %2\n").arg(QString::fromLatin1(key.pszLabel), CHaldenView::ShortcutText(key.bCode));
    sText += QStringLiteral("\nLeft click: press while held.  Right click: latch down until the next click.");
    QMessageBox::information(this, QStringLiteral("Help Index"), sText);
}

// The firmware is stopped and joined before the framework closes anything,
// so no firmware code runs while windows are destroyed.
void CMainFrame::closeEvent(QCloseEvent* pEvent)
{
    m_pApp->m_bShowToolBar = m_pToolBar && !m_pToolBar->isHidden() ? 1 : 0;
    m_pApp->m_bShowStatusBar = !statusBar()->isHidden() ? 1 : 0;
    m_pApp->m_bShowSerialMonitor = m_pSerialMonitor && !m_pSerialMonitor->isHidden() ? 1 : 0;
    m_pApp->m_bShowPrinter = m_pPrinterDock && !m_pPrinterDock->isHidden() ? 1 : 0;
    m_pApp->m_bShowChart = m_pChartDock && !m_pChartDock->isHidden() ? 1 : 0;
    m_pApp->m_baWindowGeometry = saveGeometry();
    m_pApp->m_baWindowLayout = saveState();
    if (Recording())
        StopRecording(nullptr);  // closing ends the recording; it is kept
    m_pView->Instrument().Shutdown();
    pEvent->accept();
}

// Keyboard shortcuts for the panel keys: a key is down while its keyboard
// key is held. They apply to this window only, not to its dialogs, and not
// while a text field has the focus (a release always goes to the panel, so
// no key stays down when the focus moves).
bool CMainFrame::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    const QEvent::Type type = pEvent->type();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && pWatched->isWidgetType() &&
        static_cast<QWidget*>(pWatched)->window() == this) {
        auto* pKeyEvent = static_cast<QKeyEvent*>(pEvent);
        const Qt::KeyboardModifiers mods = pKeyEvent->modifiers() & ~Qt::KeypadModifier;
        const bool bTyping = type == QEvent::KeyPress && IsTextField(QApplication::focusWidget());
        const uint8_t bCode = mods == Qt::NoModifier && !bTyping ? CHaldenView::KeyForShortcut(pKeyEvent->key()) : 0;
        if (bCode) {
            if (!pKeyEvent->isAutoRepeat())
                m_pView->SetKeyFromKeyboard(bCode, type == QEvent::KeyPress);
            return true;
        }
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}

void CMainFrame::changeEvent(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::ActivationChange && !isActiveWindow() && m_pView)
        m_pView->ReleaseKeyboardKeys();
    QMainWindow::changeEvent(pEvent);
}

void CMainFrame::OnSample()
{
    CSampleDlg dlg(m_pView->Compartment(), this);
    if (dlg.exec() != QDialog::Accepted || !dlg.Chosen())
        return;
    InsertSample(*dlg.Chosen(), dlg.Concentration());
}

// The sample goes in between two ticks of firmware time, where a recorded
// session's "sample" puts it on replay.
void CMainFrame::InsertSample(const CSample& sample, std::optional<double> fConcentration)
{
    const double fShown = fConcentration.value_or(1.0);
    m_pView->Instrument().Post(
        [this, sample, fConcentration] {
            m_pView->Compartment().Insert(sample, fConcentration);
            QMetaObject::invokeMethod(this, [this] {
                m_pView->Lid()->Update();
                statusBar()->showMessage(
                    QStringLiteral("In the cell: %1").arg(QString::fromStdString(m_pView->Compartment().Label())), 5000);
            }, Qt::AutoConnection);
        },
        CSessionRecorder::SampleLine(sample, fShown));
}

void CMainFrame::FitHeater(bool bFitted)
{
    m_pHeaterAction->setChecked(bFitted);
    m_pView->Instrument().Post([this, bFitted] { m_pView->Instrument().FitHeater(bFitted); },
                               bFitted ? "heater fitted" : "heater none");
}

bool CMainFrame::Recording() const { return m_pView->Recorder().Recording(); }

void CMainFrame::OnRecordSession()
{
    if (Recording()) {
        QString sError;
        if (!StopRecording(&sError))
            QMessageBox::warning(this, QStringLiteral("Record Session"), sError);
        return;
    }
    const QString sPath = AskSaveFileName(this, QStringLiteral("Record Session"), QStringLiteral("session.scn"),
                                          QStringLiteral("Scenarios (*.scn);;All files (*)"));
    if (!sPath.isEmpty())
        StartRecording(sPath);
}

bool CMainFrame::StartRecording(const QString& sPath)
{
    if (Recording() || !m_pView->Instrument().Running())
        return false;
    m_sRecordPath = sPath;
    m_pView->Recorder().Begin(m_pView->Instrument().TicksDelivered());
    m_pRecordAction->setText(QStringLiteral("Stop &Recording"));
    m_pScenarioPane->setText(QStringLiteral("Recording to %1").arg(QFileInfo(sPath).fileName()));
    m_pScenarioPane->setToolTip(sPath);
    m_pScenarioPane->show();
    return true;
}

namespace {
// Writes the file whole or leaves it as it was; "PATH: REASON" on failure,
// empty on success.
QString WriteWholeFile(const QString& sPath, const char* pData, size_t nSize)
{
    QSaveFile file(sPath);
    const auto nBytes = static_cast<qint64>(nSize);
    if (file.open(QIODevice::WriteOnly) && file.write(pData, nBytes) == nBytes && file.commit())
        return QString();
    return QStringLiteral("%1: %2").arg(sPath, file.errorString());
}
}  // namespace

// The image goes beside the scenario: "session.scn" and "session.eeprom.bin".
bool CMainFrame::StopRecording(QString* psError)
{
    if (!Recording())
        return false;
    const QFileInfo info(m_sRecordPath);
    const QString sImagePath = info.dir().filePath(info.completeBaseName() + QStringLiteral(".eeprom.bin"));
    const std::optional<std::string> text = m_pView->Recorder().End(m_pView->Instrument().TicksDelivered(),
                                                                    QFileInfo(sImagePath).fileName().toStdString());
    m_pRecordAction->setText(QStringLiteral("&Record Session..."));
    const auto& abImage = m_pView->Recorder().PowerUpImage();
    QString sFailure;
    if (!text)
        sFailure = QStringLiteral("%1: the session's journal could not be read back from its temporary file").arg(m_sRecordPath);
    if (sFailure.isEmpty())
        sFailure = WriteWholeFile(sImagePath, reinterpret_cast<const char*>(abImage.data()), abImage.size());
    if (sFailure.isEmpty())
        sFailure = WriteWholeFile(m_sRecordPath, text->data(), text->size());
    if (!sFailure.isEmpty()) {
        const QString sError = QStringLiteral("The session could not be written to %1").arg(sFailure);
        m_pScenarioPane->setText(QStringLiteral("Recording not saved"));
        m_pScenarioPane->setToolTip(sError);
        if (psError)
            *psError = sError;
        return false;
    }
    m_pScenarioPane->setText(QStringLiteral("Recorded %1").arg(info.fileName()));
    m_pScenarioPane->setToolTip(QStringLiteral("%1, from the EEPROM image %2").arg(m_sRecordPath, sImagePath));
    return true;
}

void CMainFrame::OnRunScenario()
{
    if (m_pPlayer->Running()) {
        m_pPlayer->Stop();
        return;
    }
    const QString sPath = AskOpenFileName(this, QStringLiteral("Run Scenario"),
                                          QStringLiteral("Scenarios (*.scn);;All files (*)"));
    if (!sPath.isEmpty())
        RunScenario(sPath);
}

bool CMainFrame::RunScenario(const QString& sPath)
{
    QFile file(sPath);
    const QString sName = QFileInfo(sPath).fileName();
    if (!file.open(QIODevice::ReadOnly)) {
        m_pScenarioPane->setText(QStringLiteral("Scenario %1 not run: %2").arg(sName, file.errorString()));
        m_pScenarioPane->show();
        return false;
    }
    const QByteArray abText = file.readAll();
    if (!m_pPlayer->Start(abText.toStdString(), sName))
        return false;
    m_pRunScenarioAction->setText(QStringLiteral("Stop Scenari&o"));
    return true;
}

// The images used before, newest first; the one in use is not offered.
void CMainFrame::FillRecentMenu()
{
    m_pRecentMenu->clear();
    const QString sInUse =
        m_pApp->EepromPath().isEmpty() ? QString() : QFileInfo(m_pApp->EepromPath()).absoluteFilePath();
    int nNumber = 0;
    for (const QString& sPath : m_pApp->RecentEepromFiles()) {
        if (sPath == sInUse)
            continue;
        nNumber++;
        QAction* pAction = m_pRecentMenu->addAction(
            QStringLiteral("&%1 %2").arg(nNumber).arg(QDir::toNativeSeparators(sPath).replace(QLatin1Char('&'), QStringLiteral("&&"))));
        connect(pAction, &QAction::triggered, this, [this, sPath] {
            QString sError;
            if (!m_pApp->SwitchEeprom(sPath, &sError))
                QMessageBox::warning(this, QStringLiteral("Open EEPROM Image"), sError);
        });
    }
    m_pRecentMenu->setEnabled(nNumber > 0);
}

QList<int> CMainFrame::ReservedKeys() const
{
    QList<int> keys = {Qt::Key_Tab, Qt::Key_Backtab};
    for (const QAction* pAction : findChildren<QAction*>())
        for (const QKeySequence& sequence : pAction->shortcuts())
            if (sequence.count() == 1 && sequence[0].keyboardModifiers() == Qt::NoModifier)
                keys << sequence[0].key();
    return keys;
}

void CMainFrame::OnKeys()
{
    CKeysDlg dlg(CurrentKeyMap(), ReservedKeys(), this);
    if (dlg.exec() == QDialog::Accepted)
        ApplyKeyMap(dlg.Chosen());
}

void CMainFrame::ApplyKeyMap(const KeyMap& keyMap)
{
    m_pView->ReleaseKeyboardKeys();
    SetKeyMap(keyMap);
    QSettings settings;
    WriteKeyMap(settings, keyMap);
    m_pView->UpdateKeyTooltips();
}

void CMainFrame::OnUserGuide()
{
    if (!m_pGuide)
        m_pGuide = new CGuideWindow(this);
    m_pGuide->show();
    m_pGuide->raise();
    m_pGuide->activateWindow();
}
