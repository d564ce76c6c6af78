// The main window: menu, toolbar, status bar, the front-panel view in the
// middle, the serial monitor docked below, the printer and the chart
// recorder at the right. Closing it stops the firmware
// before any window goes away.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>

#include "key_map.h"

#include <optional>

class CHaldenApp;
class CHaldenDoc;
class CChartDock;
class CHaldenView;
class CPrinterDock;
class CSample;
class CScenarioPlayer;
class CSerialMonitor;
class QAction;
class QLabel;
class QMenu;
class QToolBar;

class CMainFrame final : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(CHaldenApp* pApp, CHaldenDoc* pDoc);
    ~CMainFrame() override;
    bool Created() const { return m_bCreated; }

    CHaldenView* View() const { return m_pView; }
    QToolBar* ToolBar() const { return m_pToolBar; }
    CSerialMonitor* SerialMonitor() const { return m_pSerialMonitor; }
    CPrinterDock* PrinterDock() const { return m_pPrinterDock; }
    CChartDock* ChartDock() const { return m_pChartDock; }
    QAction* MainsAction() const { return m_pMainsAction; }
    QAction* StatusBarAction() const { return m_pStatusBarAction; }
    // The status-bar pane that names a read-only or locked EEPROM file.
    QLabel* EepromPane() const { return m_pEepromPane; }
    void ShowEepromStatus(const QString& sMessage);
    // The status-bar pane that says where the serial port is; hidden when empty.
    QLabel* SerialPane() const { return m_pSerialPane; }
    void ShowSerialStatus(const QString& sText);
    // View/Speed: sets the pace of firmware time (0 as fast as possible) and
    // checks the matching menu item; the status bar shows the speed reached.
    void SetSpeed(double dSpeed);
    QLabel* SpeedPane() const { return m_pSpeedPane; }
    // Says where unmodified keys go: to the panel, or to the text field that
    // has the focus.
    QLabel* KeysPane() const { return m_pKeysPane; }
    void UpdateKeysPane();
    QList<QAction*> SpeedActions() const;
    // The status bar's resting text: the standby prompt until the standby key
    // is first pressed, then the help hint.
    QString IdleMessage() const;
    // View/Display Zoom: 1 to 4; the check mark and the profile follow.
    void SetZoom(int nZoom);
    QAction* ZoomAction(int nZoom) const { return m_apZoomActions.value(nZoom - 1); }
    // The title names the EEPROM image in use.
    void SetEepromFile(const QString& sPath);
    // Edit/Copy Display, File/Save Display As..., File/Print..., File/Print Preview.
    void OnCopyDisplay();
    bool SaveDisplay(const QString& sPath, QString* psError);
    void OnSaveDisplayAs();
    void OnPrint();
    void OnPrintPreview();
    // Page one the display, then the printout's pages; returns the pages drawn.
    int PrintDocument(class QPagedPaintDevice* pDevice);
    // The Print Preview dialog (not yet shown), at a readable size.
    class QPrintPreviewDialog* CreatePrintPreview(class QPrinter* pPrinter);
    // Options/Sample... and a click on the SAMPLE lid: the sample chooser.
    void OnSample();
    QAction* SampleAction() const { return m_pSampleAction; }
    // Options/Pause: the firmware and its time stand still until resumed.
    void SetPaused(bool bPaused);
    QAction* PauseAction() const { return m_pPauseAction; }
    // Options/Mains off switches the instrument off (the firmware stops, the
    // display goes dark); on again, or Options/Power Cycle, restarts it.
    void OnMainsChanged();
    void OnPowerCycle();
    bool InstrumentOff() const { return m_bInstrumentOff; }
    // View/Full Screen.
    void SetFullScreen(bool bFull);
    QAction* FullScreenAction() const { return m_pFullScreenAction; }
    // File/Screenshot: the display (or the whole window) to the next free
    // numbered PNG file in the screenshot folder; the path, empty on failure.
    QString SaveScreenshot(bool bWindow);
    QString ScreenshotFolder() const;
    QAction* HeaterAction() const { return m_pHeaterAction; }
    // A sample into the cell and the heater on or off, as the instrument's
    // input (a recorded session holds them).
    void InsertSample(const CSample& sample, std::optional<double> fConcentration);
    void FitHeater(bool bFitted);
    // File/Record Session...: the session from power-up to the end of the
    // recording as a scenario at sPath, with the EEPROM image it started
    // from beside it (NAME.eeprom.bin).
    void OnRecordSession();
    bool StartRecording(const QString& sPath);
    bool StopRecording(QString* psError);
    bool Recording() const;
    QAction* RecordAction() const { return m_pRecordAction; }
    // File/Recent EEPROM Images, filled when it opens.
    QMenu* RecentMenu() const { return m_pRecentMenu; }
    void FillRecentMenu();
    // Options/Keys...: the dialog, and taking a map (profile and tooltips follow).
    void OnKeys();
    void ApplyKeyMap(const KeyMap& keyMap);
    // Unmodified keys the menus use, which no panel key may take.
    QList<int> ReservedKeys() const;
    // Help/User Guide: the guide's window, made on first use.
    void OnUserGuide();
    QWidget* GuideWindow() const { return m_pGuide; }
    // File/Run Scenario...: plays a scenario in the window.
    void OnRunScenario();
    bool RunScenario(const QString& sPath);
    CScenarioPlayer* ScenarioPlayer() const { return m_pPlayer; }
    // The status-bar pane of a recording or a scenario: what runs, then the result.
    QLabel* ScenarioPane() const { return m_pScenarioPane; }

protected:
    void closeEvent(QCloseEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;

private:
    void CreateMenus();
    void FitWindowToPanel();
    void UpdateMainsCheck();
    void ShowKeyboardHelp();
    void CreateSpeedMenu(QMenu* pViewMenu);
    void ShowAchievedSpeed();

    CHaldenApp* m_pApp;
    CHaldenDoc* m_pDoc;
    CHaldenView* m_pView = nullptr;
    QToolBar* m_pToolBar = nullptr;
    CSerialMonitor* m_pSerialMonitor = nullptr;
    CPrinterDock* m_pPrinterDock = nullptr;
    CChartDock* m_pChartDock = nullptr;
    QAction* m_pMainsAction = nullptr;
    QAction* m_pSampleAction = nullptr;
    QAction* m_pHeaterAction = nullptr;
    QAction* m_pRecordAction = nullptr;
    QMenu* m_pRecentMenu = nullptr;
    QPointer<QWidget> m_pGuide;
    QAction* m_pRunScenarioAction = nullptr;
    CScenarioPlayer* m_pPlayer = nullptr;
    QLabel* m_pScenarioPane = nullptr;
    QString m_sRecordPath;  // the scenario file of the recording under way
    QAction* m_pPauseAction = nullptr;
    QAction* m_pFullScreenAction = nullptr;
    bool m_bInstrumentOff = false;  // the mains was switched off
    QAction* m_pStatusBarAction = nullptr;
    QLabel* m_pEepromPane = nullptr;
    QLabel* m_pSerialPane = nullptr;
    QLabel* m_pSpeedPane = nullptr;
    QLabel* m_pKeysPane = nullptr;
    class QActionGroup* m_pSpeedGroup = nullptr;
    QList<QAction*> m_apZoomActions;  // View/Display Zoom 1x..4x
    bool m_bCreated = false;
    bool m_bStandbyPrompt = true;  // the standby key has not been pressed since power-on
};
