// The user-interface state machine: its working variables, the power-on
// initialisation, the per-pass step and the drawing discipline.
#include "ui/ui.h"

#include <cstdio>
#include <cstring>

#include "comms/analogue.h"
#include "comms/remote.h"
#include "comms/report.h"
#include "core/runtime.h"
#include "core/timers.h"
#include "display/language.h"
#include "display/lcd.h"
#include "display/script.h"
#include "measure/reading.h"
#include "storage/i2c.h"
#include "storage/params.h"
#include "ui/ui_internal.h"

uint8_t gunScreenState = STATE_STANDBY;  // 0..131 handled, 85 standby, 132/133 PC Control

uint8_t gunKeyCode = 0;                     // 0..12
uint8_t gunLastDrawnState = STATE_NEVER_DRAWN;  // 0..134
uint8_t gbServiceStep = 0;                  // 0..2

double gfShownAbs = 0.0;      // A, -0.301..2.5 or NO_VALUE
double gfShownTrans = 100.0;  // %T, 0..200 or NO_VALUE
double gfRatioA1 = 0.0, gfRatioA2 = 0.0, gfRatio = 0.0;  // A and A1/A2
double gafMultiAbs[4];        // A at the four multi wavelengths
double gfOpticalDensity = 0.0;  // O.D.
double gfMethodResult = 0.0;  // method result in the method's units
uint16_t gunCellNm1 = 600;    // nm
uint8_t gbScanColumn = 0;     // 0..125
uint16_t gunZoomStart = 330;  // 330..705 nm
uint8_t gunScanReturnState = STATE_MEASURE_MENU;  // state number
uint8_t gunPrintReturnState = 15;  // state number
uint8_t gunSampleOnEntry = 1;      // 0..99
uint8_t gbChoice = 0;              // item index of the shown chooser
uint8_t gbNumberCursor = 1;        // 1..6
char gszNumberText[8];             // " 1.0000"
char gszEditCopy[16];              // copy of the text being edited
uint8_t gbMethodListRows = 8;      // 8 or 4
char gaszMethodNames[8][14];       // 13 characters each
uint8_t gbEditMinutes = 0, gbEditSeconds = 0;  // 0..59
uint8_t gbTimeField = 0;           // 0 minutes, 1 seconds
uint16_t gunKineticsReadings = 0;  // 0..20
MethodWork gMethod;

void DrawFragment(uint16_t unIndex) { DisplayScript(ScreenScript(unIndex)); }

void DrawText(uint8_t x, uint8_t y, uint16_t nText, uint8_t bInverse, uint8_t bFont)
{
    char szScript[40];
    std::snprintf(szScript, sizeof szScript, "F%uA%uX%uY%uT%u", bFont, bInverse, x, y, nText);
    DisplayScript(szScript);
}

void DrawInteger(uint8_t x, uint8_t y, uint16_t unRegister, uint8_t bInverse, uint8_t bFont)
{
    char szScript[40];
    std::snprintf(szScript, sizeof szScript, "F%uA%uX%uY%uI%u", bFont, bInverse, x, y, unRegister);
    DisplayScript(szScript);
}

void EraseCells(uint8_t x, uint8_t y, uint8_t n, uint8_t bFont)
{
    char szScript[40];
    std::snprintf(szScript, sizeof szScript, "F%uA0X%uY%uc%u", bFont, x, y, n);
    DisplayScript(szScript);
}

void ShowStateScreen(uint8_t bState)
{
    gunScreenState = bState;
    DrawScreen();
}

// The working copies that the screens take from the stored settings.
void CopyStoredSettings()
{
    gunKineticsReadings = gunSetting13 > 20 ? 20 : gunSetting13;
    gunDisplayOption = gMethod.unDisplayOption;
}

// The state machine's own power-on state; the layers below are initialised
// before it (app/).
static void InitialiseUserInterface()
{
    gunKeyCode = 0;
    gbServiceStep = 0;
    ResetStartupScreens();
    ResetMeasureScreens();
    ResetSetupScreens();
    gbScanColumn = 0;
    gunZoomStart = WAVELENGTH_MIN;
    gbChoice = 0;
    gunScreenSubState = 0;
    gszEditText[0] = '\0';
    gunCellNm1 = 600;
    gunLastDrawnState = STATE_NEVER_DRAWN;
    gunScreenState = STATE_STANDBY;
    DrawScreen();
    CopyStoredSettings();
    // The instrument stays in standby, display blank, until its standby key.
}

void UserInterfaceStep(uint8_t bPhase)
{
    if (bPhase == PHASE_INIT) {
        InitialiseUserInterface();
        return;
    }
    if (StateIsMeasuring(gunScreenState))
        SetLastOperation(gunScreenState);
    gunKeyCode = GetKey();
    if (!RemotePoll())
        gunKeyCode = KEY_STANDBY;
    if (gunKeyCode == KEY_STANDBY) {
        if (gunScreenState != STATE_STANDBY)
            EnterStandby();
        else
            LeaveStandby();
        return;
    }
    if (gunScreenState >= STATE_PC_CONTROL)
        return;
    StateHandler pfnHandler = gScreenStates[gunScreenState].pfnHandler;
    if (pfnHandler)
        pfnHandler();
}

void DrawScreen()
{
    uint8_t bState = gunScreenState;
    const ScreenStateRow& row = StateRow(bState);
    bool bOverlay = (row.unFlags & FLAG_OVERLAY) != 0;
    // An overlay whose parent screen is no longer shown (after PC Control, for
    // example) draws the parent first, so that it never lands on a foreign screen.
    uint8_t bParent = row.bOverlayParent;
    if (bParent != STATE_NEVER_DRAWN && gunLastDrawnState != bParent) {
        gunScreenState = bParent;
        DrawScreen();
        gunScreenState = bState;
    }
    if (bState != gunLastDrawnState && !bOverlay) {
        DisplayScript("C0");
        gunLastDrawnState = bState;
    }
    gbNumberStyle = StateNumberStyle(bState);
    if (row.pfnPrepare)
        row.pfnPrepare(bState);
    DisplayScript(row.pszScript);
    if (row.pfnDraw)
        row.pfnDraw(bState);
    DrawHintLine(bState);
}

// "Sample out of range" stands at (70, 120), on the hint line's rows. While
// it is shown, R and T move one cell right of its longest translation, so
// that the message and the hints never share a pixel in any language.
constexpr uint8_t OUT_OF_RANGE_X = 70;
constexpr uint16_t TEXT_OUT_OF_RANGE = 167;
constexpr uint8_t HINT_REF_X = 172;
constexpr uint8_t HINT_STEP = 12;  // T stands 12 columns right of R
constexpr uint16_t TEXT_HINT_REF = 138;   // "R"
constexpr uint16_t TEXT_HINT_TEST = 129;  // "T"

static uint8_t HintRefX(bool bMessage)
{
    if (!bMessage)
        return HINT_REF_X;
    size_t nLongest = 0;
    for (uint8_t bLanguage = 0; bLanguage < LANGUAGE_COUNT; bLanguage++) {
        size_t n = std::strlen(LanguageTextIn(bLanguage, TEXT_OUT_OF_RANGE));
        nLongest = n > nLongest ? n : nLongest;
    }
    size_t nEnd = OUT_OF_RANGE_X + 6 * (nLongest + 1);  // one blank cell between them
    return static_cast<uint8_t>(nEnd > HINT_REF_X ? nEnd : HINT_REF_X);
}

void DrawHintLine(uint8_t bState)
{
    const ScreenStateRow& row = StateRow(bState);
    bool bMessage = gbOutOfRangePending != 0;
    gbOutOfRangePending = 0;
    if (!(row.unFlags & FLAG_NO_HINT_LINE)) {
        DrawFragment(FRAG_HINT_CLEAR);
        // The message's last row (127) lies below the hint line's cells.
        DisplayScript("F0A0 X64Y120c29");
        uint8_t bRefX = HintRefX(bMessage);
        if ((row.bHints & HINT_REF) && bRefX == HINT_REF_X)
            DrawFragment(FRAG_HINT_REF);
        else if (row.bHints & HINT_REF)
            DrawText(bRefX, 119, TEXT_HINT_REF);
        if ((row.bHints & HINT_TEST) && bRefX == HINT_REF_X)
            DrawFragment(FRAG_HINT_TEST);
        else if (row.bHints & HINT_TEST)
            DrawText(static_cast<uint8_t>(bRefX + HINT_STEP), 119, TEXT_HINT_TEST);
        if (row.bHints & HINT_UPDOWN)
            DrawFragment(FRAG_HINT_UPDOWN);
        if (row.bHints & HINT_LEFTRIGHT)
            DrawFragment(FRAG_HINT_LEFTRIGHT);
    }
    if (bMessage)
        DrawFragment(FRAG_OUT_OF_RANGE);
}
