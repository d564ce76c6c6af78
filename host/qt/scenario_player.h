// File/Run Scenario...: plays a scenario of halden-cli in the window, on the
// free-running instrument, with firmware time for its waits and limits. The
// keys move on the panel as they are pressed; the status bar shows the line
// being run and, at the end, whether the scenario passed.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "scenario_parse.h"

class CMainFrame;
class CHaldenView;
class QTimer;

class CScenarioPlayer final : public QObject {
    Q_OBJECT
public:
    CScenarioPlayer(CMainFrame* pFrame, CHaldenView* pView);
    ~CScenarioPlayer() override;

    // Checks the whole text; with a fault nothing runs and the result says
    // where. Otherwise starts it and returns true.
    bool Start(const std::string& sText, const QString& sName);
    void Stop();
    bool Running() const { return m_bRunning; }
    // "Scenario demo.scn: line 4 of 12, wait 2s".
    QString Progress() const;
    // After the end: "Scenario demo.scn passed ..." or "... failed at ...".
    const QString& Result() const { return m_sResult; }
    bool Passed() const { return m_bPassed; }
    // Lines the scenario's state and screen commands wrote.
    const QString& Output() const { return m_sOutput; }

signals:
    void ProgressChanged(const QString& sText);
    void Finished(bool bPassed, const QString& sResult);

private:
    void Step();
    // Runs the current command; true when it is done, false while it waits.
    bool Execute(const ScenarioCommand& command);
    bool TicksPassed(uint64_t ullTicks) const;
    void Finish(bool bPassed, const QString& sWhy);
    void Transmitted(const QByteArray& abBytes);

    CMainFrame* m_pFrame;
    CHaldenView* m_pView;
    QTimer* m_pTimer;
    QString m_sName;
    std::vector<ScenarioCommand> m_commands;
    size_t m_nNext = 0;
    bool m_bRunning = false;
    bool m_bPassed = false;
    QString m_sResult;
    QString m_sOutput;
    // The command in progress: when it began (ticks delivered) and its phase.
    bool m_bBegun = false;
    int m_nPhase = 0;
    uint64_t m_ullPhaseTick = 0;
    std::string m_sReceived;   // transmitted since the start
    size_t m_nExpectFrom = 0;  // received text before this is matched
    // The screen state, read on the firmware thread between two ticks.
    std::shared_ptr<std::atomic<int>> m_pnState;
};
