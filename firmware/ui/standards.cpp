// The standard-curve screens: the standards table (49), "Set Std" (50) with
// its concentration entry (51), "Set Abs" (52) with its absorbance entry
// (53), "Invalid Curve" (54), the calibration graph (55) and the curve-fit
// algorithm (89). The fitting itself is measure/standard_curve.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "comms/report.h"
#include "core/clock.h"
#include "core/format.h"
#include "core/timers.h"
#include "display/graph.h"
#include "display/lcd.h"
#include "display/script.h"
#include "measure/reading.h"
#include "measure/standard_curve.h"
#include "storage/params.h"
#include "ui/ui_internal.h"

namespace {

// The standards and fit as they were when the table was entered from the
// calibration field: Escape from the table and "Exit" from "Invalid Curve"
// put them back; "Accept" on the graph keeps the edited ones.
double gafStdAbsOnEntry[STANDARD_COUNT];
double gafStdConcOnEntry[STANDARD_COUNT];
uint8_t gbCurveFitOnEntry = FIT_CURVE;

// The "C" that steps along the bottom line while the curve is computed.
constexpr uint8_t PROGRESS_FIRST_X = 70;
constexpr uint8_t PROGRESS_STEP_X = 5;
constexpr uint16_t PROGRESS_EVALUATIONS = 35;  // evaluations per step
constexpr uint8_t PROGRESS_LAST_X = 176;
uint8_t gbProgressX = PROGRESS_FIRST_X;

// Rows of the standards table.
constexpr uint8_t TABLE_ROW_Y = 28;
constexpr uint8_t TABLE_ROW_STEP = 12;
constexpr uint8_t TABLE_CONC_X = 92;
constexpr uint8_t TABLE_ABS_X = 172;

// The absorbance editor: "d.ddd", the integer digit 0 or 1.
constexpr uint8_t ABS_TEXT_LENGTH = 5;
constexpr uint8_t ABS_POINT = 1;

uint8_t Row() { return static_cast<uint8_t>(gunStandardsRow % STANDARD_COUNT); }

bool MoveStandardsRow()
{
    if (Key(KEY_UP)) {
        SetStandardsRow(Row() == 0 ? STANDARD_COUNT - 1 : static_cast<uint8_t>(Row() - 1));
        return true;
    }
    if (Key(KEY_DOWN)) {
        SetStandardsRow(Row() >= STANDARD_COUNT - 1 ? 0 : static_cast<uint8_t>(Row() + 1));
        return true;
    }
    return false;
}

void RestoreStandardsOnEntry()
{
    std::memcpy(gMethod.afStdAbs, gafStdAbsOnEntry, sizeof gafStdAbsOnEntry);
    std::memcpy(gMethod.afStdConc, gafStdConcOnEntry, sizeof gafStdConcOnEntry);
    gMethod.bCurveFit = gbCurveFitOnEntry;
}

}  // namespace

// Evaluation 1 shows the mark at its start; every 35 evaluations it moves on.
static void DrawProgressMark(uint16_t unEvaluations)
{
    if (unEvaluations == 1) {
        DrawText(gbProgressX, 120, 156);
        return;
    }
    if (unEvaluations % PROGRESS_EVALUATIONS != 0)
        return;
    EraseCells(gbProgressX, 120, 1);
    gbProgressX = static_cast<uint8_t>(gbProgressX + PROGRESS_STEP_X);
    if (gbProgressX > PROGRESS_LAST_X) {
        EraseCells(PROGRESS_FIRST_X, 120, 20);
        gbProgressX = PROGRESS_FIRST_X;
    }
    DrawText(gbProgressX, 120, 156);
}

// Absorbance editor: the stored value as "%1.3f", limited to 0.000..1.999.
void StartAbsorbanceEditor(double fAbs)
{
    if (!(fAbs >= 0.0))
        fAbs = 0.0;
    if (fAbs > 1.999)
        fAbs = 1.999;
    std::snprintf(gszNumberText, sizeof gszNumberText, "%1.3f", fAbs);
    gbNumberCursor = 0;
}

// Up and Down change the digit under the cursor (the integer digit 0..1,
// the decimals 0..9, both with wrap); Left and Right move over the digits
// with wrap, never onto the point.
bool HandleAbsorbanceKeys()
{
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        char& c = gszNumberText[gbNumberCursor % ABS_TEXT_LENGTH];
        char cLast = gbNumberCursor == 0 ? '1' : '9';
        if (Key(KEY_UP))
            c = c >= cLast ? '0' : static_cast<char>(c + 1);
        else
            c = c <= '0' ? cLast : static_cast<char>(c - 1);
        return true;
    }
    if (Key(KEY_LEFT) || Key(KEY_RIGHT)) {
        int n = gbNumberCursor;
        do
            n = (n + (Key(KEY_RIGHT) ? 1 : ABS_TEXT_LENGTH - 1)) % ABS_TEXT_LENGTH;
        while (n == ABS_POINT);
        gbNumberCursor = static_cast<uint8_t>(n);
        return true;
    }
    return false;
}

double AbsorbanceEditorValue()
{
    double f = 0.0;
    std::sscanf(gszNumberText, "%lf", &f);
    return f;
}

// A measured absorbance as the table keeps it: three decimals, read back.
double ThreeDecimals(double fAbs)
{
    char sz[24];
    std::snprintf(sz, sizeof sz, "%1.3f", fAbs);
    double f = 0.0;
    std::sscanf(sz, "%lf", &f);
    return f;
}

CurveProgress StartCurveProgress()
{
    gbProgressX = PROGRESS_FIRST_X;
    return DrawProgressMark;
}

void EnterStandardsTable()
{
    std::memcpy(gafStdAbsOnEntry, gMethod.afStdAbs, sizeof gafStdAbsOnEntry);
    std::memcpy(gafStdConcOnEntry, gMethod.afStdConc, sizeof gafStdConcOnEntry);
    gbCurveFitOnEntry = gMethod.bCurveFit;
    Go(STATE_STANDARDS_TABLE);
}

bool FitMethodCurve(bool bShowProgress)
{
    CurveProgress pfnProgress = StartCurveProgress();
    return FitStandardCurve(gMethod.afStdAbs, gMethod.afStdConc, gMethod.bCurveFit,
                            bShowProgress ? pfnProgress : nullptr);
}

// An absorbance out of the photometric range lies outside every span too.
double MethodConcentration(double fAbs) { return StandardConcentration(fAbs); }

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
        bool bValid = FitMethodCurve(true);
        Go(bValid ? STATE_CURVE_COEFFICIENTS : STATE_INVALID_CURVE);
    } else if (Key(KEY_ESCAPE)) {
        RestoreStandardsOnEntry();
        Go(STATE_METHOD_PROGRAM);
    }
}

void HandleSetStandard()
{
    if (MoveStandardsRow()) {
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        double fConc = gMethod.afStdConc[Row()];
        StartNumberEditor(StandardIsSet(gMethod.afStdConc, Row()) ? fConc : 0.0, STATE_SET_STANDARD);
        Go(STATE_STANDARD_ENTRY);
    } else if (Key(KEY_SOFT3)) {
        gMethod.afStdConc[Row()] = STANDARD_NOT_SET;
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        Go(STATE_SET_ABSORBANCE);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_STANDARDS_TABLE);
    }
}

void HandleStandardEntry()
{
    if (HandleNumberKeys()) {
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        gMethod.afStdConc[Row()] = NumberEditorValue();
        Go(STATE_SET_STANDARD);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_SET_STANDARD);
    }
}

void HandleSetAbsorbance()
{
    if (MoveStandardsRow()) {
        DrawScreen();
    } else if (Key(KEY_REF)) {
        TakeScreenReading(READ_REFERENCE);
        DrawScreen();
    } else if (Key(KEY_TEST)) {
        TakeScreenReading(READ_SAMPLE);
        double fAbs = Absorbance(static_cast<int32_t>(gMethod.unWavelength));
        if (fAbs > 61110.0) {
            DrawOutOfRangeIf(true);
            DrawScreen();
        } else if (fAbs < 0.0) {
            DrawScreen();
            DisplayScript("F0A0 X70Y120T168");
        } else {
            gMethod.afStdAbs[Row()] = ThreeDecimals(fAbs);
            DrawScreen();
        }
    } else if (Key(KEY_SOFT1)) {
        StartAbsorbanceEditor(gMethod.afStdAbs[Row()]);
        Go(STATE_ABSORBANCE_ENTRY);
    } else if (Key(KEY_SOFT3)) {
        gMethod.afStdAbs[Row()] = 0.0;
        DrawScreen();
    } else if (Key(KEY_SOFT4) || Key(KEY_ESCAPE)) {
        Go(STATE_STANDARDS_TABLE);
    }
}

void HandleAbsorbanceEntry()
{
    if (HandleAbsorbanceKeys()) {
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        gMethod.afStdAbs[Row()] = AbsorbanceEditorValue();
        Go(STATE_SET_ABSORBANCE);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_SET_ABSORBANCE);
    }
}

void HandleInvalidCurve()
{
    if (Key(KEY_SOFT1) || Key(KEY_ESCAPE)) {
        Go(STATE_STANDARDS_TABLE);
    } else if (Key(KEY_SOFT4)) {
        RestoreStandardsOnEntry();
        Go(STATE_METHOD_PROGRAM);
    }
}

void HandleCurveCoefficients()
{
    if (Key(KEY_SOFT1) || Key(KEY_ESCAPE)) {
        Go(STATE_STANDARDS_TABLE);
    } else if (Key(KEY_SOFT3)) {
        Go(STATE_METHOD_PROGRAM);
    } else if (Key(KEY_SOFT4)) {
        // The calibration is not a reading: printing it leaves the sample number alone.
        DescribeResult(STATE_CURVE_COEFFICIENTS);
        ReadClock(gReport.abClock);
        PrintResult();
    }
}

static void AcceptCurveFit()
{
    gMethod.bCurveFit = gbChoice;
    Go(STATE_STANDARDS_TABLE);
}

void HandleCurveFit() { HandleChooser({2, KEY_UP, KEY_DOWN, KEY_SOFT4, AcceptCurveFit, STATE_STANDARDS_TABLE}); }

void DrawStandardsTable(uint8_t bState)
{
    double* apfAbs[STANDARD_COUNT] = {&gfShowD1, &gfShowD2, &gfShowD3, &gfShowD4, &gfShowD5};
    double* apfConc[STANDARD_COUNT] = {&gfShowD20, &gfShowD21, &gfShowD22, &gfShowD23, &gfShowD24};
    static const char* const kapszRow[STANDARD_COUNT] = {
        "F0A0X92Y28D20 X172Y28D1", "F0A0X92Y40D21 X172Y40D2", "F0A0X92Y52D22 X172Y52D3c2",
        "F0A0X92Y64D23 X172Y64D4", "F0A0X92Y76D24 X172Y76D5"};
    DrawText(76 + 24, 16, gaunMethodUnitText[gMethod.unUnits % METHOD_UNITS_COUNT]);
    bool bChoosing = bState >= STATE_SET_STANDARD && bState <= STATE_ABSORBANCE_ENTRY;
    for (int i = 0; i < STANDARD_COUNT; i++) {
        uint8_t y = static_cast<uint8_t>(TABLE_ROW_Y + TABLE_ROW_STEP * i);
        *apfAbs[i] = gMethod.afStdAbs[i];
        *apfConc[i] = gMethod.afStdConc[i];
        gnShowI70 = i + 1;
        DrawInteger(76, y, 70, bChoosing && i == Row() ? 1 : 0);
        EraseCells(TABLE_CONC_X, y, 24);
        DisplayScript(kapszRow[i]);
    }
    uint8_t yEdit = static_cast<uint8_t>(TABLE_ROW_Y + TABLE_ROW_STEP * Row());
    if (bState == STATE_STANDARD_ENTRY || bState == STATE_ABSORBANCE_ENTRY) {
        uint8_t x = bState == STATE_STANDARD_ENTRY ? TABLE_CONC_X : TABLE_ABS_X;
        EraseCells(x, yEdit, 10);
        SetEditText(gszNumberText);
        DrawEditField(x, yEdit, gbNumberCursor, 0);
    }
}

void DrawCurveCoefficients(uint8_t)
{
    SetEditText(gMethod.szName);
    DisplayScript("F0A0 X68Y1S1");
    DrawCalibrationGraph(gMethod.afStdConc, gMethod.afStdAbs, gaunMethodUnitText[gMethod.unUnits % METHOD_UNITS_COUNT]);
}

void DrawCalibrationGraph(const double* afConc, const double* afAbs, uint16_t unUnitsText)
{
    const StandardCurve& curve = gStandardCurve;
    GraphReset();
    for (int c = 0; c < CURVE_PLOT_COLUMNS; c++)
        GraphSetTracePoint(static_cast<uint8_t>(c), curve.abPlot[c]);
    uint8_t bMarker = 0;
    for (int i = 0; i < STANDARD_COUNT; i++) {
        if (!StandardIsSet(afConc, i))
            continue;
        uint8_t x, y;
        CurvePlotPoint(afConc[i], afAbs[i], &x, &y);
        GraphSetMarker(bMarker++, x, y);
    }
    for (uint8_t i = 0; i < 5; i++) {
        GraphSetXTick(i, static_cast<uint8_t>(i * CURVE_PLOT_WIDTH / 4));
        GraphSetYTick(i, static_cast<uint8_t>(i * CURVE_PLOT_HEIGHT / 4));
    }
    GraphDraw(GRAPH_LOWER);
    gfShowD7 = curve.fPlotAbsLow;
    gfShowD8 = curve.fPlotAbsHigh;
    GraphLabelYValues(gfShowD7, gfShowD8, GraphLabelDecimals(gfShowD7, gfShowD8, GRAPH_TICKED_LABEL_CHARS));
    gfShowD20 = curve.fConcLow;
    gfShowD21 = curve.fConcHigh;
    char szLow[FORMAT_BUFFER_SIZE], szHigh[FORMAT_BUFFER_SIZE];
    FormatNumber(szLow, gfShowD20, 0);
    FormatNumber(szHigh, gfShowD21, 0);
    GraphLabelXTexts(szLow + std::strspn(szLow, " "), szHigh + std::strspn(szHigh, " "));
    // The axes' names: "Abs" down the y-axis, the concentration and its unit
    // under the x-axis.
    DisplayScript("F0A0 X76Y60T121 X76Y68T130 X76Y76T131 X130Y119T98T184");
    DrawText(gbCursorX, 119, unUnitsText);
    if (curve.bFit == FIT_LINEAR) {
        gfShowD9 = curve.fCorrelation;
        DisplayScript("F0A0 X68Y14T97T15D9");
    }
}

void DrawCurveFit(uint8_t)
{
    static constexpr uint16_t kaunTexts[2] = {290, 291};
    DrawChoiceList(kaunTexts, 2, 68, 30, 14);
}
