// The service screens: the service menu (71), "Final Test" (72) with its
// three factory calibrations, the diagnostics options (73), the diagnostic
// scans (74) and table (75), the wavelength and LED checks (83 clear light
// path, 92 reference, 93 LED reading, 84 holmium filter and result) and the
// stray-light check (91).
//
// The calibrations are the ones the remote commands DIAG TESTHO, TESTWL and
// TESTSL run: the screens follow their steps and show their results, and an
// abandoned calibration (standby at the filter prompt) leaves the stored
// values as they were.
#include <cstdio>

#include "core/timers.h"
#include "display/script.h"
#include "measure/calib.h"
#include "measure/diag.h"
#include "measure/reading.h"
#include "measure/spectrum_plot.h"
#include "storage/params.h"
#include "ui/ui_internal.h"

namespace {
uint8_t gbDiagOption = 0;     // selected option of the diagnostics screen, 0..3
uint8_t gbFinalTestItem = 0;  // selected item of the final-test screen
}  // namespace

namespace {

// The items of "Final Test", in list order; the stored setting 0x27 keeps
// the selected one counted from 1.
constexpr uint8_t CALIB_HOLMIUM = 0;
constexpr uint8_t CALIB_LED = 1;
constexpr uint8_t CALIB_STRAY_LIGHT = 2;
constexpr uint8_t FINAL_TEST_ITEMS = 3;

// Where a calibration stands, for the drawing of its screens.
constexpr uint8_t STAGE_PROMPT = 0;     // "Clear light path, then press OK"
constexpr uint8_t STAGE_READING = 1;    // LED or reference reading
constexpr uint8_t STAGE_WAITING = 2;    // filter prompt, waiting for OK or TEST
constexpr uint8_t STAGE_SAMPLE = 3;     // reading through the filter
constexpr uint8_t STAGE_DONE = 4;       // results shown

uint8_t gbCalibStage = STAGE_PROMPT;

// The diagnostics options in list order.
constexpr uint8_t DIAG_OPTIONS = 4;
constexpr uint16_t kaunDiagOptionText[DIAG_OPTIONS] = {182, 175, 176, 259};

// Language texts of the service screens.
constexpr uint16_t TEXT_OK = 267;
constexpr uint16_t TEXT_CLEAR_PATH_1 = 268, TEXT_CLEAR_PATH_2 = 269;
constexpr uint16_t TEXT_HOLMIUM_1 = 270, TEXT_HOLMIUM_2 = 271;
constexpr uint16_t TEXT_NITRITE_1 = 299, TEXT_NITRITE_2 = 300;
constexpr uint16_t TEXT_WAVELENGTH_RECAL = 239, TEXT_LED = 263, TEXT_STRAY_LIGHT = 297;
constexpr uint16_t TEXT_REF = 304;
constexpr uint16_t TEXT_OFFSET = 191, TEXT_PIXNO = 258;
constexpr uint16_t TEXT_LED_UPDATED = 272, TEXT_STRAY_UPDATED = 298, TEXT_PRESS_ESCAPE = 273;
constexpr uint16_t TEXT_MEASURED_VALUE = 301, TEXT_SET_TO = 302;
constexpr uint16_t TEXT_ENABLED = 265, TEXT_DISABLED = 266;
constexpr uint16_t kaunLedCheckText[3] = {305, 306, 307};  // Good LED, Low LED level, Failed peak width
constexpr uint16_t kaunFinalTestText[FINAL_TEST_ITEMS] = {TEXT_WAVELENGTH_RECAL, TEXT_LED, TEXT_STRAY_LIGHT};

constexpr uint8_t TEXT_X = 68;
constexpr uint8_t VALUE_X = 164;

uint8_t DiagOptionValue(uint8_t bOption)
{
    switch (bOption) {
    case 0:
        return gbReadingsDump;
    case 1:
        return gbPrintCalCoeff;
    case 2:
        return gbBaseSelfTestInfo;
    default:
        return gbAutoClock;
    }
}

void SetDiagOption(uint8_t bOn)
{
    switch (gbDiagOption) {
    case 0:
        SetReadingsDump(bOn);
        break;
    case 1:
        SetPrintCalCoeff(bOn);
        break;
    case 2:
        SetBaseSelfTestInfo(bOn);
        break;
    default:
        gbAutoClock = bOn;
        break;
    }
}

// Draws a calibration screen afresh: its content changes with the stage.
void Show(uint8_t bState)
{
    gunLastDrawnState = STATE_NEVER_DRAWN;
    Go(bState);
}

}  // namespace

// The screens follow the calibration's steps: the LED and reference readings
// over the clear-light-path prompt, then the filter prompt while it waits.
void ShowCalibrationStep(uint8_t bStep)
{
    if (!gbKeypadCalibration)
        return;
    bool bStray = gbFinalTestItem == CALIB_STRAY_LIGHT;
    switch (bStep) {
    case CALIB_STEP_LED:
        gbCalibStage = STAGE_READING;
        Go(STATE_LED_CHECK_LED);
        break;
    case CALIB_STEP_REFERENCE:
        gbCalibStage = STAGE_READING;
        if (bStray)
            Show(STATE_STRAY_LIGHT_CHECK);
        else
            Go(STATE_LED_CHECK_REFERENCE);
        break;
    case CALIB_STEP_WAITING:
        gbCalibStage = STAGE_WAITING;
        Show(bStray ? STATE_STRAY_LIGHT_CHECK : STATE_LED_CHECK_HOLMIUM);
        break;
    default:
        gbCalibStage = STAGE_SAMPLE;
        Show(gunScreenState);
        break;
    }
}

namespace {

// Runs the selected calibration. Escape at the filter prompt returns to
// "Final Test"; the standby key there enters standby, as it does for a
// calibration run by a remote command.
void RunCalibration()
{
    gbKeypadCalibration = 1;
    bool bDone = gbFinalTestItem == CALIB_HOLMIUM ? CalibrateHolmium()
               : gbFinalTestItem == CALIB_LED     ? CalibrateLed()
                                                  : CalibrateStrayLight();
    gbKeypadCalibration = 0;
    if (bDone) {
        gbCalibStage = STAGE_DONE;
        Show(gbFinalTestItem == CALIB_STRAY_LIGHT ? STATE_STRAY_LIGHT_CHECK : STATE_LED_CHECK_HOLMIUM);
    } else if (gbSampleWaitKey == KEY_ESCAPE) {
        Go(STATE_FINAL_TEST);
    } else {
        EnterStandby();
    }
}

void DrawTwoLines(uint16_t unFirst, uint16_t unSecond)
{
    DrawText(TEXT_X, 40, unFirst);
    DrawText(TEXT_X, 50, unSecond);
}

void DrawOkKey()
{
    DisplayScript("F0A0 k8");
    DrawText(8, 101, TEXT_OK);
}

void DrawIntegerResult(uint8_t y, uint16_t unLabel, int32_t nValue)
{
    DrawText(TEXT_X, y, unLabel);
    gnShowI62 = nValue;
    DrawInteger(VALUE_X, y, 62);
}

void DrawDoubleResult(uint8_t y, uint16_t unLabel, double fValue)
{
    DrawText(TEXT_X, y, unLabel);
    gfShowD1 = fValue;
    char szScript[24];
    std::snprintf(szScript, sizeof szScript, "F0A0 X%uY%uD28", unsigned{VALUE_X}, unsigned{y});
    DisplayScript(szScript);
}

}  // namespace

void HandleServiceMenu()
{
    if (Key(KEY_SOFT1)) {
        gbFinalTestItem = gbSetting27 >= 1 && gbSetting27 <= FINAL_TEST_ITEMS ? static_cast<uint8_t>(gbSetting27 - 1) : 0;
        Go(STATE_FINAL_TEST);
    } else if (Key(KEY_SOFT2)) {
        gbDiagOption = 0;
        gbDiagOffsetMode = 1;
        Go(STATE_DIAGNOSTICS);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_MAIN_MENU);
    }
}

void HandleFinalTest()
{
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        int nStep = Key(KEY_UP) ? FINAL_TEST_ITEMS - 1 : 1;
        gbFinalTestItem = static_cast<uint8_t>((gbFinalTestItem + nStep) % FINAL_TEST_ITEMS);
        SetSetting27(static_cast<uint8_t>(gbFinalTestItem + 1));
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        gbCalibStage = STAGE_PROMPT;
        Go(gbFinalTestItem == CALIB_STRAY_LIGHT ? STATE_STRAY_LIGHT_CHECK : STATE_LED_CHECK_CLEAR);
    } else if (Key(KEY_SOFT4) || Key(KEY_ESCAPE)) {
        Go(STATE_SERVICE_MENU);
    }
}

void HandleDiagnostics()
{
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        int nStep = Key(KEY_UP) ? DIAG_OPTIONS - 1 : 1;
        gbDiagOption = static_cast<uint8_t>((gbDiagOption + nStep) % DIAG_OPTIONS);
        DrawScreen();
    } else if (Key(KEY_SOFT1) || Key(KEY_SOFT2)) {
        SetDiagOption(Key(KEY_SOFT1) ? 1 : 0);
        DrawScreen();
    } else if (Key(KEY_SOFT3)) {
        Go(STATE_DIAGNOSTIC_SCANS);
    } else if (Key(KEY_SOFT4)) {
        gbDiagOffsetMode = 0;
        Go(STATE_SERVICE_MENU);
    }
}

void HandleDiagScans()
{
    if (Key(KEY_SOFT1) || Key(KEY_SOFT2) || Key(KEY_SOFT3)) {
        uint8_t bSub = static_cast<uint8_t>(PLOT_LIGHT + (gunKeyCode - KEY_SOFT1));
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
        // The diagnostics draw their progress over the screen: draw it anew.
        gunLastDrawnState = STATE_NEVER_DRAWN;
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        gbAutoClock = gbAutoClock ? 0 : 1;
        DrawScreen();
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_DIAGNOSTIC_SCANS);
    }
}

// 83 waits for OK with the light path clear; 84 shows the result. The wait
// for the holmium filter happens inside the calibration (RunCalibration).
void HandleLedCheck()
{
    if (Key(KEY_ESCAPE))
        Go(STATE_FINAL_TEST);
    else if (gunScreenState == STATE_LED_CHECK_CLEAR && Key(KEY_SOFT4))
        RunCalibration();
}

void HandleStrayLight()
{
    if (Key(KEY_ESCAPE))
        Go(STATE_FINAL_TEST);
    else if (gbCalibStage == STAGE_PROMPT && Key(KEY_SOFT4))
        RunCalibration();
}

void DrawFinalTest(uint8_t)
{
    gbChoice = gbFinalTestItem;
    DrawChoiceList(kaunFinalTestText, FINAL_TEST_ITEMS, 80, 30, 12);
}

void DrawDiagnostics(uint8_t)
{
    gbChoice = gbDiagOption;
    DrawChoiceList(kaunDiagOptionText, DIAG_OPTIONS, TEXT_X, 20, 20);
    for (uint8_t i = 0; i < DIAG_OPTIONS; i++)
        DrawText(150, static_cast<uint8_t>(30 + 20 * i), DiagOptionValue(i) ? TEXT_ENABLED : TEXT_DISABLED);
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
    DrawText(TEXT_X, 100, 259);
    DrawText(140, 100, gbAutoClock ? TEXT_ENABLED : TEXT_DISABLED);
}

// The title of 83 and 84 names the calibration; 84 shows the holmium filter
// prompt while the calibration waits, and its result afterwards.
void DrawLedCheck(uint8_t bState)
{
    DrawText(TEXT_X, 1, kaunFinalTestText[gbFinalTestItem == CALIB_LED ? CALIB_LED : CALIB_HOLMIUM]);
    if (bState == STATE_LED_CHECK_CLEAR)
        return;
    if (gbCalibStage != STAGE_DONE) {
        DrawTwoLines(TEXT_HOLMIUM_1, TEXT_HOLMIUM_2);
        if (gbCalibStage == STAGE_WAITING)
            DrawOkKey();
        return;
    }
    if (gbFinalTestItem == CALIB_LED) {
        DrawText(TEXT_X, 24, kaunLedCheckText[gbLedCheck < 3 ? gbLedCheck : 0]);
        DrawIntegerResult(40, TEXT_OFFSET, gnDiagOffset);
        DrawText(TEXT_X, 52, TEXT_LED);
        DrawText(TEXT_X + 24, 52, TEXT_PIXNO);
        gnShowI62 = static_cast<int32_t>(gunCalibratedLedPixel);
        DrawInteger(VALUE_X, 52, 62);
        DrawText(TEXT_X, 72, TEXT_LED_UPDATED);
    } else {
        DrawIntegerResult(40, TEXT_OFFSET, gnHolmiumOffset);
    }
    DrawText(TEXT_X, 100, TEXT_PRESS_ESCAPE);
}

void DrawStrayLight(uint8_t)
{
    switch (gbCalibStage) {
    case STAGE_PROMPT:
        DrawTwoLines(TEXT_CLEAR_PATH_1, TEXT_CLEAR_PATH_2);
        DrawOkKey();
        break;
    case STAGE_READING:
        DrawTwoLines(TEXT_CLEAR_PATH_1, TEXT_CLEAR_PATH_2);
        DrawText(TEXT_X, 80, TEXT_REF);
        break;
    case STAGE_WAITING:
        DrawTwoLines(TEXT_NITRITE_1, TEXT_NITRITE_2);
        DrawOkKey();
        break;
    case STAGE_SAMPLE:
        DrawTwoLines(TEXT_NITRITE_1, TEXT_NITRITE_2);
        break;
    default:
        DrawDoubleResult(40, TEXT_MEASURED_VALUE, gfStrayMeasured);
        DrawDoubleResult(52, TEXT_SET_TO, gfSValue);
        DrawText(TEXT_X, 72, TEXT_STRAY_UPDATED);
        DrawText(TEXT_X, 100, TEXT_PRESS_ESCAPE);
        break;
    }
}
