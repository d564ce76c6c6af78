// The menus: main menu (11), "Make a measurement" (12), "Single", "Multi",
// "Ratio" (76), the "Sample No." entry before printing (69) and the
// "PC Control" screen (132, and 133 while a remote calibration waits for the
// sample), which the remote interpreter and the calibrations show and take
// away through the hooks wired here.
#include "comms/remote.h"
#include "core/timers.h"
#include "display/script.h"
#include "measure/measure_hooks.h"
#include "storage/params.h"
#include "ui/ui_internal.h"

void HandleMainMenu()
{
    if (Key(KEY_SOFT1)) {
        uint8_t bLast = gunLastOperation;
        if (!StateIsMeasuring(bLast))
            return;
        if (bLast == STATE_METHOD_SUMMARY || bLast == STATE_METHOD_RUN)
            LoadMethodWork(gunCurrentMethod);
        if (bLast == STATE_SCAN) {
            gunScanReturnState = STATE_MEASURE_MENU;
            gunScreenSubState = 0;
        }
        RecomputeValues();
        Go(bLast);
    } else if (Key(KEY_SOFT2)) {
        Go(STATE_MEASURE_MENU);
    } else if (Key(KEY_SOFT3)) {
        gbServiceStep = 0;
        Go(STATE_SETUP_MENU);
    }
}

void HandleMeasureMenu()
{
    if (Key(KEY_ESCAPE)) {
        Go(STATE_MAIN_MENU);
    } else if (Key(KEY_SOFT1)) {
        Go(STATE_CHOOSE_MEASUREMENT);
    } else if (Key(KEY_SOFT2)) {
        Go(STATE_DENSITY_OR_PROTEINS);
    } else if (Key(KEY_SOFT3)) {
        if (gunMethodListPage > 96 || gunMethodListPage % 8 != 0)
            SetMethodListPage(0);
        LoadMethodPage(gunMethodListPage);
        if (gunMethodListRow >= gbMethodListRows)
            SetMethodListRow(0);
        Go(STATE_METHOD_LIST);
    } else if (Key(KEY_SOFT4)) {
        GoScan(STATE_MEASURE_MENU);
    }
}

void HandleChooseMeasurement()
{
    if (Key(KEY_ESCAPE))
        Go(STATE_MEASURE_MENU);
    else if (Key(KEY_SOFT1))
        Go(STATE_SINGLE_MEASURE);
    else if (Key(KEY_SOFT2))
        Go(STATE_MULTI_MEASURE);
    else if (Key(KEY_SOFT3))
        Go(STATE_RATIO_MEASURE);
}

void HandleSampleNumber()
{
    if (Key(KEY_UP)) {
        SetSampleNumber(gunSampleNumber >= 99 ? 0 : static_cast<uint8_t>(gunSampleNumber + 1));
        DrawScreen();
    } else if (Key(KEY_DOWN)) {
        SetSampleNumber(gunSampleNumber == 0 || gunSampleNumber > 99 ? 99 : static_cast<uint8_t>(gunSampleNumber - 1));
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        Go(gunPrintReturnState);  // a graph prints as the screen shows it
        PrintShownResult(gunPrintReturnState);
    } else if (Key(KEY_ESCAPE)) {
        SetSampleNumber(gunSampleOnEntry);
        Go(gunPrintReturnState);
    }
}

void PrepareSampleNumber(uint8_t) { gnShowI9 = gunSampleNumber; }

void DrawSampleNumber(uint8_t) { DrawInteger(120, 56, 9, 0, 1); }

void DrawPcControl(uint8_t bState)
{
    if (bState == STATE_PC_CONTROL_WAITING)
        DrawFragment(FRAG_PC_WAITING);
}

namespace {
uint8_t gunPcReturnState = STATE_SPLASH;  // screen to return to when "PC Control" ends
}  // namespace

bool ScreenRefusesPc() { return StateRefusesPcControl(gunScreenState); }

void ShowPcControl(uint8_t bOn)
{
    bool bShown = gunScreenState == STATE_PC_CONTROL || gunScreenState == STATE_PC_CONTROL_WAITING;
    if (bOn) {
        if (!bShown)
            gunPcReturnState = gunScreenState;
        gunScreenState = STATE_PC_CONTROL;
        DrawScreen();
    } else if (bShown) {
        gunScreenState = gunPcReturnState;
        DrawScreen();
    }
}

// "PC Control" says "waiting for sample" while a remote calibration waits.
void SampleWaitNotice(uint8_t bWaiting, uint8_t bTaken)
{
    if (bWaiting) {
        if (gunScreenState == STATE_PC_CONTROL) {
            gunScreenState = STATE_PC_CONTROL_WAITING;
            DrawScreen();
        }
    } else if (gunScreenState == STATE_PC_CONTROL_WAITING) {
        gunScreenState = STATE_PC_CONTROL;
        if (bTaken)
            DrawScreen();
    }
}
