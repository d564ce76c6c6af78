// The standard-curve screens: the standards table (49), "Set Std" (50) with
// its concentration entry (51), "Set Abs" (52) with its absorbance entry
// (53), "Invalid Curve" (54), the curve coefficients (55) and the curve-fit
// algorithm (89).
#include <cmath>

#include "core/timers.h"
#include "display/script.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui_internal.h"

namespace {

bool StandardSet(int i) { return gMethod.afStdConc[i] != 100000.0; }

bool MoveStandardsRow()
{
    if (Key(KEY_UP)) {
        SetStandardsRow(gunStandardsRow == 0 ? 4 : static_cast<uint8_t>(gunStandardsRow - 1));
        return true;
    }
    if (Key(KEY_DOWN)) {
        SetStandardsRow(gunStandardsRow >= 4 ? 0 : static_cast<uint8_t>(gunStandardsRow + 1));
        return true;
    }
    return false;
}

}  // namespace

void HandleStandardsTable()
{
    if (Key(KEY_SOFT1)) {
        Go(STATE_SET_STANDARD);
    } else if (Key(KEY_SOFT2)) {
        Go(STATE_SET_ABSORBANCE);
    } else if (Key(KEY_SOFT3)) {
        gbChoice = gMethod.bCurveFit;
        Go(STATE_CURVE_FIT);
    } else if (Key(KEY_SOFT4)) {
        Go(StandardSet(0) || StandardSet(1) ? STATE_CURVE_COEFFICIENTS : STATE_INVALID_CURVE);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_METHOD_PROGRAM);
    }
}

void HandleSetStandard()
{
    uint8_t bRow = gunStandardsRow % 5;
    if (MoveStandardsRow()) {
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        StartNumberEditor(StandardSet(bRow) ? gMethod.afStdConc[bRow] : 0.0, STATE_SET_STANDARD);
        Go(STATE_STANDARD_ENTRY);
    } else if (Key(KEY_SOFT3)) {
        gMethod.afStdConc[bRow] = 100000.0;
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        Go(STATE_SET_ABSORBANCE);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_STANDARDS_TABLE);
    }
}

void HandleStandardEntry()
{
    uint8_t bRow = gunStandardsRow % 5;
    if (HandleNumberKeys()) {
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        if (gunScreenState == STATE_STANDARD_ENTRY)
            gMethod.afStdConc[bRow] = NumberEditorValue();
        else
            gMethod.afStdAbs[bRow] = NumberEditorValue();
        Go(gbNumberCaller);
    } else if (Key(KEY_ESCAPE)) {
        Go(gbNumberCaller);
    }
}

void HandleSetAbsorbance()
{
    uint8_t bRow = gunStandardsRow % 5;
    if (MoveStandardsRow()) {
        DrawScreen();
    } else if (Key(KEY_REF)) {
        TakeScreenReading(READ_REFERENCE);
        DrawScreen();
    } else if (Key(KEY_TEST)) {
        TakeScreenReading(READ_SAMPLE);
        double fAbs = Absorbance(static_cast<int32_t>(gMethod.unWavelength));
        if (fAbs >= 0.0)
            gMethod.afStdAbs[bRow] = std::floor(fAbs * 1000.0 + 0.5) / 1000.0;
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        StartNumberEditor(gMethod.afStdAbs[bRow], STATE_SET_ABSORBANCE);
        Go(STATE_ABSORBANCE_ENTRY);
    } else if (Key(KEY_SOFT3)) {
        gMethod.afStdAbs[bRow] = 0.0;
        DrawScreen();
    } else if (Key(KEY_SOFT4) || Key(KEY_ESCAPE)) {
        Go(STATE_STANDARDS_TABLE);
    }
}

void HandleInvalidCurve()
{
    if (Key(KEY_SOFT1) || Key(KEY_ESCAPE))
        Go(STATE_STANDARDS_TABLE);
    else if (Key(KEY_SOFT4))
        Go(STATE_METHOD_PROGRAM);
}

void HandleCurveCoefficients()
{
    if (Key(KEY_SOFT1) || Key(KEY_ESCAPE))
        Go(STATE_STANDARDS_TABLE);
    else if (Key(KEY_SOFT3))
        Go(STATE_METHOD_PROGRAM);
    else if (Key(KEY_SOFT4))
        PrintShownResult(STATE_CURVE_COEFFICIENTS);
}

static void AcceptCurveFit()
{
    gMethod.bCurveFit = gbChoice;
    Go(STATE_STANDARDS_TABLE);
}

void HandleCurveFit() { HandleChooser({2, KEY_UP, KEY_DOWN, KEY_SOFT4, AcceptCurveFit, STATE_STANDARDS_TABLE}); }

void DrawStandardsTable(uint8_t bState)
{
    double* apfAbs[5] = {&gfShowD1, &gfShowD2, &gfShowD3, &gfShowD4, &gfShowD5};
    double* apfConc[5] = {&gfShowD20, &gfShowD21, &gfShowD22, &gfShowD23, &gfShowD24};
    static const char* const kapszRow[5] = {
        "F0A0X92Y28D20 X172Y28D1", "F0A0X92Y40D21 X172Y40D2", "F0A0X92Y52D22 X172Y52D3c2",
        "F0A0X92Y64D23 X172Y64D4", "F0A0X92Y76D24 X172Y76D5"};
    DrawText(76 + 24, 16, gaunMethodUnitText[gMethod.unUnits % METHOD_UNITS_COUNT]);
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

void DrawCurveCoefficients(uint8_t)
{
    gfShowD9 = 0.0;
    DrawFragment(FRAG_CURVE_RESULT);
}

void DrawCurveFit(uint8_t)
{
    static constexpr uint16_t kaunTexts[2] = {290, 291};
    DrawChoiceList(kaunTexts, 2, 68, 30, 14);
}
