// Running checked scenario commands against the headless host.
#include "scenario.h"

#include <algorithm>
#include <istream>
#include <ostream>
#include <sstream>

#include "display_image.h"
#include "display_text.h"
#include "escape.h"
#include "instrument.h"
#include "core/timers.h"
#include "app/probe.h"
#include "ui/ui.h"

namespace {

constexpr uint32_t KEY_STROKE_MS = 100;

// Host ticks in a time limit, the last one begun within it.
uint32_t TicksWithin(uint32_t unMs) { return (unMs + CInstrument::TICK_MS - 1) / CInstrument::TICK_MS; }

}  // namespace

CScenario::CScenario(CInstrument& host, std::ostream& out) : m_host(host), m_out(out) {}

bool CScenario::Fail(const std::string& sMessage)
{
    m_sError = sMessage;
    return false;
}

bool CScenario::Run(std::istream& in, const std::string& sName)
{
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return Fail(sName + ": cannot be read");
    return RunText(text.str(), sName);
}

bool CScenario::RunText(std::string_view sText, const std::string& sName)
{
    ScenarioParse parse = ParseScenario(sText);
    if (!parse.errors.empty()) {
        m_sError.clear();
        for (const ScenarioError& error : parse.errors)
            m_sError += (m_sError.empty() ? "" : "\n") + FormatScenarioError(sName, error);
        return false;
    }
    return RunCommands(parse.commands, sName);
}

bool CScenario::RunCommands(const std::vector<ScenarioCommand>& commands, const std::string& sName)
{
    for (const ScenarioCommand& command : commands) {
        // After a stop signal nothing more runs against the stopped firmware.
        if (m_host.Interrupted()) {
            m_sError = sName + ":" + std::to_string(command.nLine) + ": not run: the run was interrupted";
            return false;
        }
        if (!Execute(command)) {
            m_sError = sName + ":" + std::to_string(command.nLine) + ":" + std::to_string(command.nColumn) + ": " +
                       command.sSource + ": " + m_sError;
            return false;
        }
    }
    return true;
}

bool CScenario::RunLine(std::string_view sLine)
{
    ScenarioError error;
    auto command = ParseScenarioLine(sLine, 1, error);
    if (!command) {
        if (error.sMessage.empty())
            return true;
        return Fail("column " + std::to_string(error.nColumn) + ": " + error.sMessage);
    }
    return Execute(*command);
}

bool CScenario::Execute(const ScenarioCommand& command)
{
    switch (command.op) {
    case ScenarioOp::Press:
        m_host.SetKey(command.bKey, true);
        return true;
    case ScenarioOp::Release:
        m_host.SetKey(command.bKey, false);
        return true;
    case ScenarioOp::Key:
        m_host.KeyStroke(command.bKey, KEY_STROKE_MS, KEY_STROKE_MS);
        return true;
    case ScenarioOp::Hold:
        m_host.SetKey(command.bKey, true);
        m_host.AdvanceMs(command.unMs);
        m_host.SetKey(command.bKey, false);
        return true;
    case ScenarioOp::Wait:
        m_host.AdvanceMs(command.unMs);
        return true;
    case ScenarioOp::WaitScreen:
        return WaitScreen(command);
    case ScenarioOp::Send:
        m_host.Inject(command.sText);
        m_host.RunSlice();
        return true;
    case ScenarioOp::Expect:
        return Expect(command);
    case ScenarioOp::Snapshot:
        if (!WriteDisplayImage(m_host, command.sText))
            return Fail("cannot write '" + command.sText + "'");
        return true;
    case ScenarioOp::Screen:
        m_out << DisplayTextArt(m_host);
        m_out.flush();
        return true;
    case ScenarioOp::State:
        m_out << "state " << ScreenStateText(ProbeScreenState()) << '\n';
        m_out.flush();
        return true;
    case ScenarioOp::Sample: {
        std::string sError;
        return PutSampleIn(m_host.Compartment(), command.sText, command.fConcentration, sError) || Fail(sError);
    }
    case ScenarioOp::Heater:
        m_host.FitHeater(command.bKey != 0);
        return true;
    case ScenarioOp::Script:
        // The firmware thread is parked between slices, so the script draws
        // while the firmware waits for its turn.
        ProbeDrawScript(command.sText.c_str());
        return true;
    }
    return Fail("unknown command");
}

// The firmware thread checks the screen state at the end of each slice and
// runs on through the ticks until it shows, so the wait is one hand-off.
bool CScenario::WaitScreen(const ScenarioCommand& command)
{
    const uint8_t bState = command.bState;
    if (m_host.TickUntil(TicksWithin(command.unMs), [bState] { return ProbeScreenState() == bState; }))
        return true;
    return Fail("the screen state is " + ScreenStateText(ProbeScreenState()) + ", not " + ScreenStateText(command.bState) +
                (m_host.Running() ? " after " + FormatDuration(command.unMs) : " (the firmware has stopped)"));
}

// Checked by the firmware thread at the end of each slice, like a screen
// wait. Each check searches only where a match could begin among the bytes
// that arrived since the previous one.
bool CScenario::Expect(const ScenarioCommand& command)
{
    const std::string& sText = command.sText;
    const std::string& sReceived = m_host.SerialText();
    size_t nAt = std::string::npos;
    size_t nSearchFrom = m_nExpectFrom;
    auto fnFound = [&] {
        nAt = sReceived.find(sText, nSearchFrom);
        if (nAt == std::string::npos && sReceived.size() >= sText.size())
            nSearchFrom = std::max(nSearchFrom, sReceived.size() - sText.size() + 1);
        return nAt != std::string::npos;
    };
    if (m_host.TickUntil(TicksWithin(command.unMs), fnFound)) {
        m_nExpectFrom = nAt + sText.size();
        return true;
    }
    const std::string& sOut = m_host.SerialText();
    std::string_view sSince = std::string_view(sOut).substr(std::min(m_nExpectFrom, sOut.size()));
    return Fail(ExpectFailure(command, m_host.Running(), sSince, m_nExpectFrom != 0));
}
