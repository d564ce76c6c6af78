// Standby (85), the start-up splash (0) with its service key sequence, the
// start-up sequence and the self-test display (1, 2, 5..10).
#include <cstring>

#include "comms/remote.h"
#include "comms/report.h"
#include "core/serial.h"
#include "core/clock.h"
#include "core/timers.h"
#include "display/lcd.h"
#include "display/script.h"
#include "measure/diag.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui.h"
#include "ui/ui_internal.h"

uint8_t gabSelfTestRow[3];  // ROW_NOT_RUN, ROW_PASSED or ROW_FAILED

namespace {
uint8_t gbSelfTestFailed = 0;  // 1 once any self-test row failed
uint8_t gabClock[6];           // day, month, year, hour, minute, second of the last clock read
}  // namespace

void ResetStartupScreens()
{
    gbSelfTestFailed = 0;
    std::memset(gabSelfTestRow, 0, sizeof gabSelfTestRow);
}

// The two keys pressed during the splash that skip the start-up tests.
constexpr uint8_t SPLASH_SERVICE_KEYS[2] = {KEY_LEFT, KEY_RIGHT};

// Rows of the self-test list: display row, bit of the diagnostic result word,
// the state that shows the row's timer, its hold state after a failure.
struct SelfTestRow {
    uint8_t bY;
    uint16_t unFailBit;
    uint8_t bState;
    uint8_t bHoldState;
};
static const SelfTestRow gSelfTestRows[3] = {
    {38, DIAG_LAMP_TOO_DARK, STATE_SELFTEST_LAMP, STATE_SELFTEST_LAMP_HOLD},
    {48, DIAG_WAVELENGTH, STATE_SELFTEST_WAVELENGTH, STATE_SELFTEST_WAVELENGTH_HOLD},
    {58, DIAG_DIODE_ARRAY, STATE_SELFTEST_ARRAY, STATE_SELFTEST_ARRAY_HOLD},
};

// The lamp and standby outputs of the instrument: nothing to switch in the
// simulation.
static void LampOff() {}
static void StandbyOutputsOn() {}

void EnterStandby()
{
    gunScreenState = STATE_STANDBY;
    DrawScreen();
    LampOff();
    StandbyOutputsOn();
}

void LeaveStandby()
{
    gbServiceStep = 0;
    gunScreenState = STATE_SPLASH;
    gunScreenTimer = SPLASH_TICKS;
    DrawScreen();
}

static void EnterSelfTestDisplay()
{
    gbSelfTestFailed = 0;
    std::memset(gabSelfTestRow, ROW_NOT_RUN, sizeof gabSelfTestRow);
    gunScreenState = STATE_SELFTEST_LAMP;
    gunScreenTimer = SELFTEST_HOLD_TICKS;
    DrawScreen();
}

void RunStartUpSequence()
{
    StartParameterStore();
    CopyStoredSettings();
    RemoteReset();

    if (gbBaudRate > 1)
        SetBaudRate(0);
    SerialSetBaud(gbBaudRate);
    PrintInstrumentHeader();

    RepairParameters();

    gunDiagResult = 0;
    RunSelfDiagnostics(&gunDiagResult);
    TakeReading(READ_REFERENCE);
    RecomputeValues();

    EnterSelfTestDisplay();
}

void HandleSplash()
{
    if (gunKeyCode != KEY_NONE) {
        if (gunKeyCode == SPLASH_SERVICE_KEYS[gbServiceStep]) {
            gbServiceStep++;
        } else {
            gbServiceStep = gunKeyCode == SPLASH_SERVICE_KEYS[0] ? 1 : 0;
        }
        if (gbServiceStep == 2) {
            gbServiceStep = 0;
            // Only the check of the stored settings runs.
            StartParameterStore();
            CopyStoredSettings();
            RemoteReset();
            ShowStateScreen(STATE_MAIN_MENU);
            return;
        }
    }
    if (gunScreenTimer == 0)
        RunStartUpSequence();
}

static void ReadResultClock()
{
    ReadClock(gabClock);
}

// Settles row nRow: marks it, then moves to the next row, the hold state or
// the result screen.
static void SettleSelfTestRow(int nRow, bool bFailed)
{
    gabSelfTestRow[nRow] = bFailed ? ROW_FAILED : ROW_PASSED;
    if (bFailed) {
        gbSelfTestFailed = 1;
        gunScreenState = gSelfTestRows[nRow].bHoldState;
        gunScreenTimer = SELFTEST_HOLD_TICKS;
    } else if (nRow < 2) {
        gunScreenState = gSelfTestRows[nRow + 1].bState;
        gunScreenTimer = SELFTEST_NEXT_TICKS;
    } else {
        ReadResultClock();
        gunScreenState = gbSelfTestFailed ? STATE_SELFTEST_FAILED : STATE_SELFTEST_PASSED;
    }
    DrawScreen();
}

void HandleSelfTest()
{
    uint8_t bState = gunScreenState;
    for (int nRow = 0; nRow < 3; nRow++) {
        const SelfTestRow& row = gSelfTestRows[nRow];
        if (bState == row.bState) {
            if (gunKeyCode == KEY_ESCAPE) {
                gunDiagResult |= row.unFailBit;
                SettleSelfTestRow(nRow, true);
            } else if (gunScreenTimer == 0) {
                SettleSelfTestRow(nRow, (gunDiagResult & row.unFailBit) != 0);
            }
            return;
        }
        if (bState == row.bHoldState) {
            if (gunScreenTimer != 0)
                return;
            if (nRow < 2) {
                gunScreenState = gSelfTestRows[nRow + 1].bState;
                gunScreenTimer = SELFTEST_NEXT_TICKS;
            } else {
                ReadResultClock();
                gunScreenState = STATE_SELFTEST_FAILED;
            }
            DrawScreen();
            return;
        }
    }
    if (bState == STATE_SELFTEST_PASSED || bState == STATE_SELFTEST_FAILED) {
        if (gunKeyCode == KEY_SOFT1 && bState == STATE_SELFTEST_FAILED) {
            LeaveStandby();
        } else if (gunKeyCode == KEY_SOFT2) {
            ShowStateScreen(STATE_MAIN_MENU);
        } else if (gunKeyCode == KEY_SOFT4) {
            PrintSelfTestReport(gabSelfTestRow, gunDiagFindings, gabClock);
        }
    }
}

void DrawSelfTestMarks()
{
    static constexpr uint16_t kaunMark[3] = {FRAG_MARK_NOT_RUN, FRAG_MARK_PASS, FRAG_MARK_FAIL};
    for (int nRow = 0; nRow < 3; nRow++) {
        gbCursorY = gSelfTestRows[nRow].bY;
        DrawFragment(kaunMark[gabSelfTestRow[nRow] <= ROW_FAILED ? gabSelfTestRow[nRow] : ROW_NOT_RUN]);
    }
}

void DrawSelfTestResult()
{
    if (gunScreenState == STATE_SELFTEST_PASSED) {
        gnShowI5 = gabClock[3];
        gnShowI6 = gabClock[4];
        gnShowI7 = gbDateFormat == 1 ? gabClock[0] : gabClock[1];
        gnShowI8 = gbDateFormat == 1 ? gabClock[1] : gabClock[0];
        gnShowI9 = gabClock[2];
        DrawFragment(FRAG_DATE_TIME);
        return;
    }
    if (gunScreenState != STATE_SELFTEST_FAILED)
        return;
    static constexpr uint16_t kaunAdvice[3] = {FRAG_FAIL_LAMP, FRAG_FAIL_WAVELENGTH, FRAG_FAIL_ARRAY};
    static constexpr uint8_t kabLines[3] = {1, 2, 3};
    static constexpr uint8_t ADVICE_PITCH = 10;
    // Advice lines keep the test rows' 10-row pitch, so that descenders
    // never touch the line below.
    uint8_t bY = 68;
    for (int nRow = 0; nRow < 3; nRow++) {
        if (gabSelfTestRow[nRow] != ROW_FAILED)
            continue;
        gbCursorY = bY;
        DrawFragment(kaunAdvice[nRow]);
        bY = static_cast<uint8_t>(bY + ADVICE_PITCH * kabLines[nRow]);
    }
}

void DrawSelfTestScreen(uint8_t)
{
    DrawSelfTestMarks();
    DrawSelfTestResult();
}
