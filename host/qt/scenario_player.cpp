// Playing a scenario in the window, one command at a time from a timer.
#include "scenario_player.h"

#include <QTimer>

#include <algorithm>
#include <string_view>

#include "app/probe.h"
#include "display_image.h"
#include "display_text.h"
#include "halden_view.h"
#include "main_frame.h"
#include "sample_compartment.h"

namespace {

constexpr int STEP_MS = 5;                // how often the player looks at the instrument
constexpr uint32_t KEY_STROKE_TICKS = 2;  // a key's press and its pause, as halden-cli strikes it

uint64_t TicksFor(uint32_t unMs) { return (unMs + CInstrument::TICK_MS - 1) / CInstrument::TICK_MS; }

QString Duration(uint32_t unMs) { return QString::fromStdString(FormatDuration(unMs)); }

QString StateText(int nState) { return QString::fromStdString(ScreenStateText(static_cast<uint8_t>(nState))); }

}  // namespace

CScenarioPlayer::CScenarioPlayer(CMainFrame* pFrame, CHaldenView* pView)
    : QObject(pFrame), m_pFrame(pFrame), m_pView(pView), m_pTimer(new QTimer(this)),
      m_pnState(std::make_shared<std::atomic<int>>(-1))
{
    m_pTimer->setInterval(STEP_MS);
    connect(m_pTimer, &QTimer::timeout, this, &CScenarioPlayer::Step);
    connect(m_pView, &CHaldenView::SerialReceived, this, &CScenarioPlayer::Transmitted);
}

CScenarioPlayer::~CScenarioPlayer() = default;

bool CScenarioPlayer::Start(const std::string& sText, const QString& sName)
{
    Stop();
    m_sName = sName;
    m_sOutput.clear();
    ScenarioParse parse = ParseScenario(sText);
    for (const ScenarioCommand& command : parse.commands)
        if (command.op == ScenarioOp::Script)
            parse.errors.push_back({command.nLine, command.nColumn,
                                    "script draws on the display directly; run this scenario with halden-cli"});
    if (!parse.errors.empty()) {
        const ScenarioError& first = parse.errors.front();
        m_bPassed = false;
        m_sResult = QStringLiteral("Scenario %1 not run: %2")
                        .arg(sName, QString::fromStdString(FormatScenarioError(sName.toStdString(), first)));
        if (parse.errors.size() > 1)
            m_sResult += QStringLiteral(" (and %1 more faults)").arg(parse.errors.size() - 1);
        emit Finished(false, m_sResult);
        return false;
    }
    m_commands = std::move(parse.commands);
    m_nNext = 0;
    m_bBegun = false;
    m_sReceived.clear();
    m_nExpectFrom = 0;
    m_sResult.clear();
    m_bRunning = true;
    m_pTimer->start();
    Step();
    return true;
}

void CScenarioPlayer::Stop()
{
    if (!m_bRunning)
        return;
    Finish(false, QStringLiteral("stopped"));
}

QString CScenarioPlayer::Progress() const
{
    if (!m_bRunning || m_nNext >= m_commands.size())
        return {};
    const ScenarioCommand& command = m_commands[m_nNext];
    return QStringLiteral("Scenario %1: line %2, %3 (%4 of %5)")
        .arg(m_sName)
        .arg(command.nLine)
        .arg(QString::fromStdString(command.sSource))
        .arg(m_nNext + 1)
        .arg(m_commands.size());
}

void CScenarioPlayer::Transmitted(const QByteArray& abBytes)
{
    if (m_bRunning)
        m_sReceived.append(abBytes.constData(), static_cast<size_t>(abBytes.size()));
}

bool CScenarioPlayer::TicksPassed(uint64_t ullTicks) const
{
    return m_pView->Instrument().TicksDelivered() >= m_ullPhaseTick + ullTicks;
}

void CScenarioPlayer::Step()
{
    while (m_bRunning && m_nNext < m_commands.size()) {
        const ScenarioCommand& command = m_commands[m_nNext];
        if (!m_bBegun) {
            m_bBegun = true;
            m_nPhase = 0;
            m_ullPhaseTick = m_pView->Instrument().TicksDelivered();
            emit ProgressChanged(Progress());
        }
        if (!Execute(command))
            return;
        if (!m_bRunning)
            return;  // it failed
        m_nNext++;
        m_bBegun = false;
    }
    if (m_bRunning)
        Finish(true, {});
}

void CScenarioPlayer::Finish(bool bPassed, const QString& sWhy)
{
    m_pTimer->stop();
    m_bRunning = false;
    m_bPassed = bPassed;
    if (bPassed) {
        m_sResult = QStringLiteral("Scenario %1 passed: %2 commands").arg(m_sName).arg(m_commands.size());
    } else if (m_nNext < m_commands.size()) {
        const ScenarioCommand& command = m_commands[m_nNext];
        m_sResult = QStringLiteral("Scenario %1 failed at %1:%2:%3: %4: %5")
                        .arg(m_sName)
                        .arg(command.nLine)
                        .arg(command.nColumn)
                        .arg(QString::fromStdString(command.sSource), sWhy);
    } else {
        m_sResult = QStringLiteral("Scenario %1 %2").arg(m_sName, sWhy);
    }
    emit Finished(bPassed, m_sResult);
}

bool CScenarioPlayer::Execute(const ScenarioCommand& command)
{
    CInstrument& instrument = m_pView->Instrument();
    auto fnKey = [this](uint8_t bKey, bool bDown) {
        if (CKeyBase* pKey = m_pView->Key(bKey))
            pKey->SetDown(bDown);
    };
    auto fnProbe = [this, &instrument] {
        m_pnState->store(-1);
        instrument.Post([pnState = m_pnState] { pnState->store(ProbeScreenState()); }, {});
    };
    switch (command.op) {
    case ScenarioOp::Press:
    case ScenarioOp::Release:
        fnKey(command.bKey, command.op == ScenarioOp::Press);
        return true;
    case ScenarioOp::Key:
    case ScenarioOp::Hold: {
        const uint64_t ullDown = command.op == ScenarioOp::Key ? KEY_STROKE_TICKS : TicksFor(command.unMs);
        const uint64_t ullUp = command.op == ScenarioOp::Key ? KEY_STROKE_TICKS : 0;
        // A key change goes in before the next tick: the count read after
        // it is where the change stands at the latest.
        if (m_nPhase == 0) {
            fnKey(command.bKey, true);
            m_ullPhaseTick = instrument.TicksDelivered();
            m_nPhase = 1;
        }
        if (m_nPhase == 1) {
            if (!TicksPassed(ullDown))
                return false;
            fnKey(command.bKey, false);
            m_ullPhaseTick = instrument.TicksDelivered();
            m_nPhase = 2;
        }
        return TicksPassed(ullUp);
    }
    case ScenarioOp::Wait:
        return TicksPassed(TicksFor(command.unMs));
    case ScenarioOp::WaitScreen:
    case ScenarioOp::State: {
        if (m_nPhase == 0) {
            fnProbe();
            m_nPhase = 1;
            return false;
        }
        const int nState = m_pnState->load();
        if (nState < 0) {
            if (!instrument.Running())
                Finish(false, QStringLiteral("the instrument is not running"));
            return false;
        }
        if (command.op == ScenarioOp::State) {
            m_sOutput += QStringLiteral("state %1\n").arg(StateText(nState));
            return true;
        }
        if (nState == command.bState)
            return true;
        if (TicksPassed(TicksFor(command.unMs))) {
            Finish(false, QStringLiteral("the screen state is %1, not %2 after %3")
                              .arg(StateText(nState), StateText(command.bState), Duration(command.unMs)));
            return false;
        }
        fnProbe();
        return false;
    }
    case ScenarioOp::Send:
        m_pView->InjectSerial(QByteArray(command.sText.data(), static_cast<qsizetype>(command.sText.size())));
        return true;
    case ScenarioOp::Expect: {
        const size_t nAt = m_sReceived.find(command.sText, m_nExpectFrom);
        if (nAt != std::string::npos) {
            m_nExpectFrom = nAt + command.sText.size();
            return true;
        }
        // The bytes reach this thread a little after the firmware sent them:
        // the limit is checked on the next step after it has passed.
        if (m_nPhase == 0 && TicksPassed(TicksFor(command.unMs))) {
            m_nPhase = 1;
            return false;
        }
        if (m_nPhase == 1) {
            const std::string_view sSince = std::string_view(m_sReceived).substr(std::min(m_nExpectFrom, m_sReceived.size()));
            Finish(false, QString::fromStdString(ExpectFailure(command, instrument.Running(), sSince, m_nExpectFrom != 0)));
        }
        return false;
    }
    case ScenarioOp::Snapshot:
        if (!WriteDisplayImage(instrument, command.sText))
            Finish(false, QStringLiteral("cannot write '%1'").arg(QString::fromStdString(command.sText)));
        return m_bRunning;
    case ScenarioOp::Screen:
        m_sOutput += QString::fromStdString(DisplayTextArt(instrument));
        return true;
    case ScenarioOp::Sample: {
        std::string sError;
        std::optional<CSample> sample = LoadSampleToInsert(command.sText, command.fConcentration, sError);
        if (!sample) {
            Finish(false, QString::fromStdString(sError));
            return false;
        }
        m_pFrame->InsertSample(*sample, command.fConcentration);
        return true;
    }
    case ScenarioOp::Heater:
        m_pFrame->FitHeater(command.bKey != 0);
        return true;
    case ScenarioOp::Script:
        break;
    }
    Finish(false, QStringLiteral("cannot be run in the window"));
    return false;
}
