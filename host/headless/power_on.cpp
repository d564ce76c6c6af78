// Switching the instrument on and confirming its self-test.
#include "power_on.h"

#include <functional>

#include "app/probe.h"
#include "core/timers.h"
#include "instrument.h"
#include "ui/ui.h"

namespace {

constexpr uint32_t KEY_STROKE_MS = 100;
constexpr uint32_t START_UP_LIMIT_MS = 180000;  // splash, store, self-diagnostics, reference
constexpr uint32_t MENU_LIMIT_MS = 5000;

// Runs the ticks of the limit in one go; the firmware thread checks the
// screen state at the end of each slice.
bool WaitFor(CInstrument& host, uint32_t unLimitMs, const std::function<bool()>& fnDone)
{
    return host.TickUntil((unLimitMs + CInstrument::TICK_MS - 1) / CInstrument::TICK_MS, fnDone);
}

// A PC that took control during the start-up (a client waiting on the port
// sends CONTROL as soon as it sees START) has the instrument: no key is
// pressed for it any more, and the start-up counts as done.
bool UnderPcControl()
{
    const uint8_t bState = ProbeScreenState();
    return bState == STATE_PC_CONTROL || bState == STATE_PC_CONTROL_WAITING;
}

}  // namespace

bool PowerOnToMainMenu(CInstrument& host, std::string* psError)
{
    // A firmware that leaves standby by itself at power-up has done so
    // after its first passes; one that waits for the key is still there.
    host.AdvanceMs(4 * CInstrument::TICK_MS);
    if (ProbeScreenState() == STATE_STANDBY)
        host.KeyStroke(KEY_STANDBY, KEY_STROKE_MS, KEY_STROKE_MS);
    if (!WaitFor(host, START_UP_LIMIT_MS, [] {
            return ProbeScreenState() == STATE_SELFTEST_PASSED || ProbeScreenState() == STATE_SELFTEST_FAILED ||
                   UnderPcControl();
        })) {
        *psError = "the instrument did not finish its start-up (screen state " + std::to_string(ProbeScreenState()) + ")";
        return false;
    }
    if (UnderPcControl())
        return true;
    // OK, on "All tests passed" and on the advice after a failure.
    host.KeyStroke(KEY_SOFT2, KEY_STROKE_MS, KEY_STROKE_MS);
    if (!WaitFor(host, MENU_LIMIT_MS, [] { return ProbeScreenState() == STATE_MAIN_MENU || UnderPcControl(); })) {
        *psError = "the main menu did not show after OK (screen state " + std::to_string(ProbeScreenState()) + ")";
        return false;
    }
    return true;
}
