// DrawScreen's per-state parts: the values copied into the script registers
// before a state's script runs, and the dynamic drawing after it (highlighted
// items, lists, plots, messages and the hint line).
#include <cstdio>
#include <cstring>

#include "comms/remote.h"
#include "core/bridge.h"
#include "core/timers.h"
#include "display/language.h"
#include "display/lcd.h"
#include "display/script.h"
#include "measure/diag.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui.h"
#include "ui/ui_internal.h"

namespace {

// Text numbers of the units list (index 0..18).
constexpr uint16_t kaunUnitText[19] = {66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 159, 160, 161,
                                       162, 163, 164, 165, 166};

void SetEditText(const char* psz)
{
    std::strncpy(gszEditText, psz, sizeof gszEditText - 1);
    gszEditText[sizeof gszEditText - 1] = '\0';
}

void DrawEditField(uint8_t x, uint8_t y, uint8_t bCursor, uint8_t bFont)
{
    char szScript[32];
    std::snprintf(szScript, sizeof szScript, "F%uA0X%uY%us%u", bFont, x, y, bCursor);
    DisplayScript(szScript);
}

// Width in font 0 of a language text and one cell of space after it.
int TextWidth(uint16_t unText) { return 6 * static_cast<int>(std::strlen(LanguageText(unText))) + 6; }

bool IsOutOfRange(double f) { return f > 61110.0; }

uint8_t gbOutOfRangePending = 0;  // 1: the message is drawn after the hint line

void DrawOutOfRangeIf(bool bOut)
{
    if (bOut)
        gbOutOfRangePending = 1;
}

// Method program rows: labels and value columns.
constexpr uint8_t FIELD_LABEL_X = 68;
constexpr uint8_t FIELD_VALUE_X = 128;
uint8_t FieldY(int nField) { return static_cast<uint8_t>(12 + 11 * nField); }

void DrawTime(uint8_t x, uint8_t y, uint32_t unMinutes, uint32_t unSeconds, int nHighlight)
{
    gnShowI5 = static_cast<int32_t>(unMinutes);
    gnShowI6 = static_cast<int32_t>(unSeconds);
    DrawInteger(x, y, 5, nHighlight == 0 ? 1 : 0);
    DisplayScript("F0A0T79");
    DrawInteger(static_cast<uint8_t>(x + 24), y, 6, nHighlight == 1 ? 1 : 0);
    DisplayScript("F0A0T80");
}

}  // namespace

void DrawMethodProgram(uint8_t bState)
{
    static constexpr uint16_t kaunLabel[9] = {48, 12, 51, 49, 123, 52, 81, 82, 83};
    static constexpr uint16_t kaunKinetics[3] = {78, 77, 288};
    for (int i = 0; i < 9; i++) {
        uint16_t unLabel = kaunLabel[i];
        if (i == 6 && gMethod.unKinetics == 2)
            unLabel = 93;
        EraseCells(FIELD_LABEL_X, FieldY(i), 28);
        DrawText(FIELD_LABEL_X, FieldY(i), unLabel, i == gunMethodField ? 1 : 0);
    }
    SetEditText(gMethod.szName);
    if (bState == STATE_METHOD_NAME)
        DrawEditField(FIELD_VALUE_X, FieldY(0), gbNameCursor, 0);
    else
        DrawFragment(FRAG_NAME_FIELD);
    gnShowI1 = static_cast<int32_t>(gMethod.unWavelength);
    DrawInteger(FIELD_VALUE_X, FieldY(1), 1, bState == STATE_METHOD_WAVELENGTH ? 1 : 0);
    DisplayScript("F0A0T22");
    DrawText(FIELD_VALUE_X, FieldY(2), kaunUnitText[gMethod.unUnits % 19]);
    if (bState == STATE_METHOD_CALIBRATION) {
        DrawText(FIELD_VALUE_X, FieldY(3), 123, gbChoice == 0 ? 1 : 0);
        DrawText(static_cast<uint8_t>(FIELD_VALUE_X + TextWidth(123)), FieldY(3), 88, gbChoice == 1 ? 1 : 0);
    } else {
        EraseCells(FIELD_VALUE_X, FieldY(3), 12);
        DrawText(FIELD_VALUE_X, FieldY(3), gMethod.bCalibration ? 88 : 123);
    }
    EraseCells(FIELD_VALUE_X, FieldY(4), 12);
    if (bState == STATE_METHOD_FACTOR) {
        SetEditText(gszNumberText);
        DrawEditField(FIELD_VALUE_X, FieldY(4), gbNumberCursor, 0);
    } else if (gMethod.bCalibration == 0) {
        gfShowD6 = gMethod.fFactor;
        DisplayScript("F0A0X128Y56D6");
    }
    EraseCells(FIELD_VALUE_X, FieldY(5), 17);
    if (bState == STATE_METHOD_KINETICS) {
        uint8_t x = FIELD_VALUE_X;
        for (int i = 0; i < 3; i++) {
            DrawText(x, FieldY(5), kaunKinetics[i], gbChoice == i ? 1 : 0);
            x = static_cast<uint8_t>(x + TextWidth(kaunKinetics[i]));
        }
    } else {
        DrawText(FIELD_VALUE_X, FieldY(5), kaunKinetics[gMethod.unKinetics % 3]);
    }
    for (int i = 6; i <= 8; i++) {
        EraseCells(FIELD_VALUE_X, FieldY(i), 12);
        if (!MethodFieldApplies(static_cast<uint8_t>(i)))
            continue;
        uint8_t bEditState = static_cast<uint8_t>(STATE_KINETICS_START_TIME + i - 6);
        int nHighlight = bState == bEditState ? gbTimeField : -1;
        if (bState == bEditState)
            DrawTime(FIELD_VALUE_X, FieldY(i), gbEditMinutes, gbEditSeconds, nHighlight);
        else if (i == 6)
            DrawTime(FIELD_VALUE_X, FieldY(i), gMethod.unStartMin, gMethod.unStartSec, -1);
        else if (i == 7)
            DrawTime(FIELD_VALUE_X, FieldY(i), gMethod.unIntervalMin, gMethod.unIntervalSec, -1);
        else
            DrawTime(FIELD_VALUE_X, FieldY(i), gMethod.bEndMin, gMethod.bEndSec, -1);
    }
}

namespace {

void DrawChoiceList(const uint16_t* punTexts, int nCount, uint8_t x, uint8_t y0, uint8_t bStep)
{
    for (int i = 0; i < nCount; i++)
        DrawText(x, static_cast<uint8_t>(y0 + bStep * i), punTexts[i], gbChoice == i ? 1 : 0);
}

void DrawMethodListRows()
{
    for (int nRow = 0; nRow < gbMethodListRows; nRow++) {
        SetEditText(gaszMethodNames[nRow]);
        gnShowI0 = gunMethodListPage + nRow;
        gbCursorY = static_cast<uint8_t>(40 + 8 * nRow);
        DrawFragment(FRAG_LIST_ROW);
        if (nRow == gunMethodListRow)
            DisplayScript("F0A1X118S1");
    }
}

}  // namespace

void DrawStandardsTable(uint8_t bState)
{
    double* apfAbs[5] = {&gfShowD1, &gfShowD2, &gfShowD3, &gfShowD4, &gfShowD5};
    double* apfConc[5] = {&gfShowD20, &gfShowD21, &gfShowD22, &gfShowD23, &gfShowD24};
    static const char* const kapszRow[5] = {
        "F0A0X92Y28D20 X172Y28D1", "F0A0X92Y40D21 X172Y40D2", "F0A0X92Y52D22 X172Y52D3c2",
        "F0A0X92Y64D23 X172Y64D4", "F0A0X92Y76D24 X172Y76D5"};
    DrawText(76 + 24, 16, kaunUnitText[gMethod.unUnits % 19]);
    for (int i = 0; i < 5; i++) {
        *apfAbs[i] = gMethod.afStdAbs[i];
        *apfConc[i] = gMethod.afStdConc[i];
        gnShowI70 = i + 1;
        bool bSelected = bState >= STATE_SET_STANDARD && bState <= STATE_ABSORBANCE_ENTRY && i == gunStandardsRow % 5;
        DrawInteger(76, static_cast<uint8_t>(28 + 12 * i), 70, bSelected ? 1 : 0);
        EraseCells(92, static_cast<uint8_t>(28 + 12 * i), 24);
        DisplayScript(kapszRow[i]);
    }
    if (bState == STATE_STANDARD_ENTRY || bState == STATE_ABSORBANCE_ENTRY) {
        SetEditText(gszNumberText);
        DrawEditField(bState == STATE_STANDARD_ENTRY ? 92 : 172,
                      static_cast<uint8_t>(28 + 12 * (gunStandardsRow % 5)),
                      gbNumberCursor, 0);
    }
}

void DrawDateTime(uint8_t bState)
{
    // Display order: hours, minutes, then the date fields of the format.
    uint8_t bFirst = gbDateFormat == 1 ? 2 : 3;
    uint8_t bSecond = gbDateFormat == 1 ? 3 : 2;
    gnShowI5 = gabEditDate[0];
    gnShowI6 = gabEditDate[1];
    gnShowI7 = gabEditDate[bFirst];
    gnShowI8 = gabEditDate[bSecond];
    gnShowI9 = gabEditDate[4];
    DrawInteger(140, 36, 5, bState == STATE_SET_HOURS ? 1 : 0);
    DrawText(152, 36, 94);
    DrawInteger(158, 36, 6, bState == STATE_SET_MINUTES ? 1 : 0);
    DrawInteger(140, 76, 7, bState == STATE_SET_DATE_FIRST ? 1 : 0);
    DrawText(152, 76, 16);
    DrawInteger(158, 76, 8, bState == STATE_SET_DATE_SECOND ? 1 : 0);
    DrawText(170, 76, 16);
    DrawInteger(176, 76, 9, bState == STATE_SET_YEAR ? 1 : 0);
    EraseCells(68, 100, 13);
    DrawText(68, 100, gbDateFormat == 1 ? 223 : 224);
}

// ---- values into the display registers -----------------------------------
// The shown values follow the last reading, also one taken by a remote
// command while "PC Control" covered the screen.

void PrepareSingle(uint8_t)
{
    RecomputeValues();
    gnShowI1 = gunWavelength;
    gfShowD1 = gfShownAbs;
    gfShowD2 = gfShownTrans;
}

void PrepareRatio(uint8_t)
{
    RecomputeValues();
    gnShowI1 = gunWavelengthB;
    gnShowI2 = gunWavelengthC;
    gfShowD1 = gfRatioA1;
    gfShowD2 = gfRatioA2;
    gfShowD3 = gfRatio;
}

void PrepareMulti(uint8_t)
{
    RecomputeValues();
    gnShowI1 = gunMultiWavelength[0];
    gnShowI2 = gunMultiWavelength[1];
    gnShowI3 = gunMultiWavelength[2];
    gnShowI4 = gunMultiWavelength[3];
    gfShowD1 = gafMultiAbs[0];
    gfShowD2 = gafMultiAbs[1];
    gfShowD5 = gafMultiAbs[2];
    gfShowD4 = gafMultiAbs[3];
}

void PrepareMethodValues(uint8_t)
{
    gnShowI0 = gunCurrentMethod;
    gnShowI1 = static_cast<int32_t>(gMethod.unWavelength);
    gfShowD6 = gMethod.fFactor;
    gfShowD1 = gfMethodResult;
    SetEditText(gMethod.szName);
}

void PrepareMethodRun(uint8_t bState)
{
    RecomputeValues();
    PrepareMethodValues(bState);
}

void PrepareDeleteMethod(uint8_t) { SetEditText(gMethod.szName); }

void PrepareSampleNumber(uint8_t) { gnShowI9 = gunSampleNumber; }

void PrepareCellDensity(uint8_t)
{
    RecomputeValues();
    gfShowD2 = gfOpticalDensity;
}

// ---- drawing after the script ----------------------------------------------

void DrawSetupMenu(uint8_t)
{
    if (gbHeaterFitted)
        DrawFragment(FRAG_SETUP_WITH_HEATER);
}

void DrawSingle(uint8_t bState)
{
    DisplayScript(bState == STATE_SINGLE_WAVELENGTH ? "F1A0X68Y71T12T15A1I1A0T22" : "F1A0X68Y71T12T15I1T22");
    EraseCells(68, 36, 19, 1);
    DrawFragment(gbTransmittanceMode ? FRAG_SINGLE_TRANS : FRAG_SINGLE_ABS);
    DrawOutOfRangeIf(IsOutOfRange(gbTransmittanceMode ? gfShownTrans : gfShownAbs));
}

void DrawRatio(uint8_t bState)
{
    DrawFragment(FRAG_RATIO_LINE1);
    DrawFragment(FRAG_RATIO_LINE2);
    if (bState == STATE_RATIO_WAVELENGTH_1)
        DrawInteger(99, 36, 1, 1);
    if (bState == STATE_RATIO_WAVELENGTH_2)
        DrawInteger(99, 52, 2, 1);
    EraseCells(70, 76, 18, 1);
    DrawFragment(FRAG_RATIO_VALUE);
    DrawOutOfRangeIf(IsOutOfRange(gfRatio));
}

void DrawMulti(uint8_t bState)
{
    for (int i = 0; i < 4; i++) {
        DrawFragment(static_cast<uint16_t>(FRAG_MULTI_LINE + i));
        DrawOutOfRangeIf(IsOutOfRange(gafMultiAbs[i]));
    }
    if (bState == STATE_MULTI_WAVELENGTHS)
        DrawInteger(177, static_cast<uint8_t>(24 + 20 * (gbMultiSelected & 3)),
                    static_cast<uint16_t>(1 + (gbMultiSelected & 3)), 1);
}

void DrawMethodListScreen(uint8_t) { DrawMethodListRows(); }

void DrawMethodSummary(uint8_t)
{
    DrawText(128, 56, gMethod.bCalibration ? 88 : 123);
    if (gMethod.bCalibration == 0)
        DisplayScript("F0A0X68Y72T123T15D6");
}

void DrawMethodProgramScreen(uint8_t bState)
{
    DrawFragment(FRAG_STATE_27_EXTRA);
    DrawMethodProgram(bState);
}

void DrawKineticsDisplay(uint8_t)
{
    static constexpr uint16_t kaunTexts[2] = {65, 153};
    DrawChoiceList(kaunTexts, 2, 80, 30, 12);
}

void DrawUnits(uint8_t)
{
    for (int i = 0; i < 19; i++) {
        uint8_t x = static_cast<uint8_t>(i < 10 ? 76 : 160);
        uint8_t y = static_cast<uint8_t>(14 + 10 * (i % 10));
        DrawText(x, y, kaunUnitText[i], gbChoice == i ? 1 : 0);
    }
}

void DrawMethodRun(uint8_t)
{
    EraseCells(68, 76, 12, 1);
    DrawFragment(FRAG_METHOD_RESULT);
    if (gMethod.bCalibration == 1)
        DrawFragment(gbLanguage == 1 || gbLanguage == 4 ? FRAG_CAL_STD_LABEL_WIDE : FRAG_CAL_STD_LABEL);
    DrawText(194, 80, kaunUnitText[gMethod.unUnits % 19]);
    DrawOutOfRangeIf(IsOutOfRange(gfMethodResult));
}

void DrawKineticsWait(uint8_t)
{
    uint32_t unSeconds = (gunScreenTimer + 19) / 20;
    DrawTime(152, 40, unSeconds / 60, unSeconds % 60, -1);
}

void DrawKineticsResult(uint8_t)
{
    gfShowD7 = gfShownAbs;
    gfShowD8 = 0.0;
    gfShowD9 = 0.0;
    DrawFragment(FRAG_KINETICS_RESULT);
}

void DrawCurveCoefficients(uint8_t)
{
    gfShowD9 = 0.0;
    DrawFragment(FRAG_CURVE_RESULT);
}

void DrawSerialPort(uint8_t)
{
    EraseCells(164, 20, 4);
    DrawText(164, 20, gbOutputDevice == 0 ? 105 : gbOutputDevice == 1 ? 326 : 106);
    EraseCells(164, 34, 5);
    DrawText(164, 34, gbBaudRate ? 231 : 134);
    DrawText(164, 90, gbAutoPrint ? 202 : 203);
}

void DrawMemoryFull(uint8_t) { DrawFragment(FRAG_MEMORY_FULL); }

void DrawDeleteConfirm(uint8_t) { DrawFragment(FRAG_DELETE_PROMPT); }

void DrawSampleNumber(uint8_t) { DrawInteger(120, 56, 9, 0, 1); }

void DrawFactorDisplay(uint8_t)
{
    static constexpr uint16_t kaunTexts[3] = {60, 61, 153};
    DrawChoiceList(kaunTexts, 3, 80, 30, 12);
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

void DrawCellDensity(uint8_t)
{
    DisplayScript("F1A0X68Y56T196D25c2");
    DrawOutOfRangeIf(IsOutOfRange(gfOpticalDensity));
}

void DrawLanguage(uint8_t)
{
    static constexpr uint16_t kaunTexts[5] = {274, 275, 276, 277, 278};
    DrawChoiceList(kaunTexts, 5, 80, 24, 12);
    EraseCells(64, 100, 29);
    if (gbMessageShown)
        DrawFragment(FRAG_LANGUAGE_MISSING);
}

void DrawHeater(uint8_t)
{
    DrawText(140, 50, 203, gbHeaterOn ? 0 : 1);
    DrawText(static_cast<uint8_t>(140 + TextWidth(203)), 50, 202, gbHeaterOn ? 1 : 0);
}

void DrawSoftwareUpdate(uint8_t)
{
    if (gbUploading)
        DrawFragment(FRAG_UPLOADING);
}

void DrawCurveFit(uint8_t)
{
    static constexpr uint16_t kaunTexts[2] = {290, 291};
    DrawChoiceList(kaunTexts, 2, 68, 30, 14);
}

void DrawLedResult(uint8_t) { DrawText(68, 100, 305); }

void DrawPcControl(uint8_t bState)
{
    if (bState == STATE_PC_CONTROL_WAITING)
        DrawFragment(FRAG_PC_WAITING);
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

uint8_t HintRefX(bool bMessage)
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
    if (!(row.bFlags & FLAG_NO_HINT_LINE)) {
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
