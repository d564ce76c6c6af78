// The service screens: the service menu (71), "Final Test" (72), the
// diagnostics options (73), diagnostic scans (74) and table (75), the LED
// wavelength check (83, 84, 92, 93) and the stray-light check (91).
#include "core/timers.h"
#include "display/script.h"
#include "measure/diag.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui_internal.h"

namespace {

void SetDiagOption(uint8_t bOn)
{
    switch (gbDiagOption) {
    case 0:
        SetBaseSelfTestInfo(bOn);
        break;
    case 1:
        SetReadingsDump(bOn);
        break;
    case 2:
        SetPrintCalCoeff(bOn);
        break;
    default:
        gbAutoClock = bOn;
        break;
    }
}

}  // namespace

void HandleServiceMenu()
{
    if (Key(KEY_SOFT1)) {
        gbFinalTestItem = 0;
        Go(STATE_FINAL_TEST);
    } else if (Key(KEY_SOFT2)) {
        gbDiagOption = 0;
        Go(STATE_DIAGNOSTICS);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_MAIN_MENU);
    }
}

void HandleFinalTest()
{
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        gbFinalTestItem = gbFinalTestItem ? 0 : 1;
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        Go(gbFinalTestItem == 0 ? STATE_LED_CHECK_CLEAR : STATE_STRAY_LIGHT_CHECK);
    } else if (Key(KEY_SOFT4) || Key(KEY_ESCAPE)) {
        Go(STATE_SERVICE_MENU);
    }
}

void HandleDiagnostics()
{
    if (Key(KEY_UP)) {
        gbDiagOption = gbDiagOption == 0 ? 3 : static_cast<uint8_t>(gbDiagOption - 1);
        DrawScreen();
    } else if (Key(KEY_DOWN)) {
        gbDiagOption = gbDiagOption >= 3 ? 0 : static_cast<uint8_t>(gbDiagOption + 1);
        DrawScreen();
    } else if (Key(KEY_SOFT1) || Key(KEY_SOFT2)) {
        SetDiagOption(Key(KEY_SOFT1) ? 1 : 0);
        DrawScreen();
    } else if (Key(KEY_SOFT3)) {
        Go(STATE_DIAGNOSTIC_SCANS);
    } else if (Key(KEY_SOFT4)) {
        Go(STATE_SERVICE_MENU);
    }
}

void HandleDiagScans()
{
    if (Key(KEY_SOFT1) || Key(KEY_SOFT2) || Key(KEY_SOFT3)) {
        uint8_t bSub = static_cast<uint8_t>(7 + (gunKeyCode - KEY_SOFT1));
        gunScanReturnState = STATE_DIAGNOSTIC_SCANS;
        gunScreenSubState = bSub;
        Go(STATE_SCAN);
    } else if (Key(KEY_SOFT4)) {
        Go(STATE_DIAGNOSTICS_TABLE);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_DIAGNOSTICS);
    }
}

void HandleDiagTable()
{
    if (Key(KEY_REF)) {
        gunDiagResult = 0;
        RunSelfDiagnostics(&gunDiagResult);
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        gbAutoClock = gbAutoClock ? 0 : 1;
        DrawScreen();
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_DIAGNOSTIC_SCANS);
    }
}

void HandleLedCheck()
{
    uint8_t bState = gunScreenState;
    if (Key(KEY_ESCAPE)) {
        Go(STATE_FINAL_TEST);
    } else if (bState == STATE_LED_CHECK_CLEAR && Key(KEY_SOFT4)) {
        Go(STATE_LED_CHECK_HOLMIUM);
    } else if (bState == STATE_LED_CHECK_HOLMIUM && Key(KEY_SOFT4)) {
        Go(STATE_LED_CHECK_REFERENCE);
    } else if (bState == STATE_LED_CHECK_REFERENCE && Key(KEY_REF)) {
        TakeScreenReading(READ_REFERENCE);
        Go(STATE_LED_CHECK_LED);
    }
}

void HandleStrayLight()
{
    if (Key(KEY_ESCAPE))
        Go(STATE_FINAL_TEST);
}

void DrawFinalTest(uint8_t)
{
    static constexpr uint16_t kaunTexts[2] = {239, 297};
    gbChoice = gbFinalTestItem;
    DrawChoiceList(kaunTexts, 2, 80, 30, 12);
}

void DrawDiagnostics(uint8_t)
{
    static constexpr uint16_t kaunTexts[4] = {176, 182, 175, 259};
    uint8_t abOn[4] = {gbBaseSelfTestInfo, gbReadingsDump, gbPrintCalCoeff, gbAutoClock};
    gbChoice = gbDiagOption;
    DrawChoiceList(kaunTexts, 4, 68, 20, 20);
    for (int i = 0; i < 4; i++)
        DrawText(150, static_cast<uint8_t>(30 + 20 * i), abOn[i] ? 265 : 266);
}

void DrawDiagTable(uint8_t)
{
    gnShowI50 = static_cast<int32_t>(gDiagPeak.unValue);
    gnShowI51 = static_cast<uint8_t>(gDiagPeak.nFrames);
    gnShowI52 = gDiagPeak.nPixel;
    gnShowI53 = static_cast<int32_t>(gDiagUv.unValue);
    gnShowI54 = static_cast<uint8_t>(gDiagUv.nFrames);
    gnShowI55 = gDiagUv.nPixel;
    gnShowI56 = static_cast<int32_t>(gDiagIr.unValue);
    gnShowI57 = static_cast<uint8_t>(gDiagIr.nFrames);
    gnShowI58 = gDiagIr.nPixel;
    gfShowI59 = gfDiagLedValue;
    gnShowI60 = static_cast<uint8_t>(gnDiagLedFrames);
    gnShowI61 = gnDiagLedPixel;
    gnShowI62 = gnDiagOffset;
    gnShowI63 = static_cast<int32_t>(gunDiagPixelClock);
    DrawFragment(FRAG_DIAG_TABLE);
    DrawText(68, 100, 259);
    DrawText(140, 100, gbAutoClock ? 265 : 266);
}

void DrawLedResult(uint8_t) { DrawText(68, 100, 305); }
