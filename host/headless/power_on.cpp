// Switching the instrument on and confirming its self-test.
#include "power_on.h"

#include "core/timers.h"
#include "headless_host.h"
#include "ui/ui.h"

namespace {

constexpr uint32_t KEY_STROKE_MS = 100;
constexpr uint32_t START_UP_LIMIT_MS = 180000;  // splash, store, self-diagnostics, reference
constexpr uint32_t MENU_LIMIT_MS = 5000;

void Stroke(CHeadlessHost& host, uint8_t bKey)
{
    host.SetKey(bKey, true);
    host.AdvanceMs(KEY_STROKE_MS);
    host.SetKey(bKey, false);
    host.AdvanceMs(KEY_STROKE_MS);
}

template <typename Pred>
bool WaitFor(CHeadlessHost& host, uint32_t unLimitMs, Pred pred)
{
    for (uint32_t unWaited = 0; !pred(); unWaited += CHeadlessHost::TICK_MS) {
        if (unWaited >= unLimitMs || !host.Running())
            return false;
        host.Tick();
    }
    return true;
}

}  // namespace

bool PowerOnToMainMenu(CHeadlessHost& host, std::string* psError)
{
    // A firmware that leaves standby by itself at power-up has done so
    // after its first passes; one that waits for the key is still there.
    host.AdvanceMs(4 * CHeadlessHost::TICK_MS);
    if (gunScreenState == STATE_STANDBY)
        Stroke(host, KEY_STANDBY);
    if (!WaitFor(host, START_UP_LIMIT_MS, [] {
            return gunScreenState == STATE_SELFTEST_PASSED || gunScreenState == STATE_SELFTEST_FAILED;
        })) {
        *psError = "the instrument did not finish its start-up (screen state " + std::to_string(gunScreenState) + ")";
        return false;
    }
    Stroke(host, KEY_SOFT2);  // OK, on "All tests passed" and on the advice after a failure
    if (!WaitFor(host, MENU_LIMIT_MS, [] { return gunScreenState == STATE_MAIN_MENU; })) {
        *psError = "the main menu did not show after OK (screen state " + std::to_string(gunScreenState) + ")";
        return false;
    }
    return true;
}
