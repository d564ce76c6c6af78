// The protein assays: "Cell Density" / "Proteins" (94), the assay chooser
// (95), each assay's run screen (96 BCA, 97 Bradford, 98 Lowry, 99 Biuret),
// its program screens (Bradford 100..105, BCA 106..111, Lowry 112..117,
// Biuret 118..123: program, units, calibration, replicates, factor and
// dilution) and the protein standards that all four share (124 table,
// 125 "Set Std", 126 "Set Abs", 127 calibration graph, 128 concentration
// entry, 129 absorbance entry, 130 "Invalid Curve", 131 curve fit).
//
// Every setting is the assay's stored group (storage/protein_group.h) and
// is written the moment it changes; the screens keep no copies of their own.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "comms/report.h"
#include "core/clock.h"
#include "core/format.h"
#include "core/timers.h"
#include "display/script.h"
#include "measure/protein_assay.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui_internal.h"

namespace {

uint8_t gbProteinAssay = ASSAY_BCA;    // assay of the screens shown, ASSAY_*
uint8_t gbProteinField = 0;            // highlighted field of the program screen, FIELD_*
uint8_t gbProteinRow = 0;              // highlighted standard 0..4
uint8_t gbProteinReplicate = 0;        // replicate the next TEST on "Set Abs" fills, 0..2
uint8_t gbProteinAverageView = 0;      // 1: the table shows the mean of the replicates
uint8_t gbCurveFitReturn = STATE_PROTEIN_STANDARDS;  // where the curve-fit chooser returns
uint8_t gbProteinCurveValid = 0;       // the group's standards gave a usable calibration
double gfProteinAbs = 0.0;             // absorbance of the last sample at the assay's wavelength
double gfProteinResult = 0.0;          // its result: units x dilution, NO_VALUE when none

// Program fields.
enum : uint8_t { FIELD_UNITS, FIELD_CALIBRATION, FIELD_FACTOR, FIELD_REPLICATES, FIELD_CURVE_FIT, FIELD_COUNT };

// The six program screens of an assay from its first: program, units,
// calibration, replicates, factor, dilution.
enum : uint8_t { PROGRAM, PROGRAM_UNITS, PROGRAM_CALIBRATION, PROGRAM_REPLICATES, PROGRAM_FACTOR, PROGRAM_DILUTION };
constexpr uint8_t kabProgramFirst[PROTEIN_ASSAY_COUNT] = {STATE_BCA_PROGRAM, STATE_BRADFORD_PROGRAM,
                                                         STATE_LOWRY_PROGRAM, STATE_BIURET_PROGRAM};

// Texts.
constexpr uint16_t TEXT_UNITS[PROTEIN_UNITS_COUNT] = {321, 76, 121};  // "mg/ml", micro-g/ml, "A"
constexpr uint16_t TEXT_FACTOR = 123;
constexpr uint16_t TEXT_STD = 88;
constexpr uint16_t TEXT_LINE = 54;
constexpr uint16_t TEXT_CURVE = 55;
constexpr uint16_t TEXT_INVALID_CURVE = 148;
constexpr uint16_t TEXT_NEGATIVE_ABS = 168;
constexpr uint16_t TEXT_ABS = 14;

// Program screen rows.
constexpr uint8_t FIELD_LABEL_X = 68;
constexpr uint8_t FIELD_VALUE_X = 140;
uint8_t FieldY(int nField) { return static_cast<uint8_t>(20 + 12 * nField); }

// Run screen: labels at 68, " = " at 116, values at 134.
constexpr uint8_t RUN_VALUE_X = 134;
constexpr uint8_t RUN_DILUTION_Y = 28;

// Standards table: number, concentration, then one absorbance column per
// replicate (or the mean in the single column at 172).
constexpr uint8_t TABLE_ROW_Y = 28;
constexpr uint8_t TABLE_ROW_STEP = 12;
constexpr uint8_t TABLE_NUMBER_X = 76;
constexpr uint8_t TABLE_CONC_X = 88;
constexpr uint8_t TABLE_UNITS_X = 100;
constexpr uint8_t kabAbsColumnX[PROTEIN_REPLICATE_MAX] = {136, 172, 208};
constexpr uint8_t TABLE_MEAN_X = 172;

ProteinGroup& Group() { return gProteinGroups[gbProteinAssay % PROTEIN_ASSAY_COUNT]; }
int GroupNumber() { return gbProteinAssay % PROTEIN_ASSAY_COUNT; }
const ProteinAssay& Assay() { return gProteinAssays[GroupNumber()]; }
uint8_t Units() { return Group().abFlags[PROTEIN_FLAG_UNITS] % PROTEIN_UNITS_COUNT; }
uint8_t Replicates()
{
    uint8_t b = Group().abFlags[PROTEIN_FLAG_REPLICATES];
    return b < 1 ? 1 : b > PROTEIN_REPLICATE_MAX ? PROTEIN_REPLICATE_MAX : b;
}
bool ByStandards() { return Units() != PROTEIN_UNITS_ABS && Group().abFlags[PROTEIN_FLAG_CALIBRATION] == PROTEIN_CAL_STANDARDS; }
uint8_t RunState() { return static_cast<uint8_t>(STATE_PROTEIN_BCA + GroupNumber()); }
uint8_t ProgramState(uint8_t bScreen) { return static_cast<uint8_t>(kabProgramFirst[GroupNumber()] + bScreen); }

// The assay of a run or program screen.
uint8_t AssayOfState(uint8_t bState)
{
    if (bState >= STATE_PROTEIN_BCA && bState <= STATE_PROTEIN_BIURET)
        return static_cast<uint8_t>(bState - STATE_PROTEIN_BCA);
    for (uint8_t a = 0; a < PROTEIN_ASSAY_COUNT; a++)
        if (bState >= kabProgramFirst[a] && bState < kabProgramFirst[a] + 6)
            return a;
    return gbProteinAssay;
}
// The program screen (PROGRAM..PROGRAM_DILUTION) of a program state.
uint8_t ProgramScreen(uint8_t bState) { return static_cast<uint8_t>(bState - kabProgramFirst[AssayOfState(bState)]); }
bool IsDilutionState(uint8_t bState)
{
    return bState >= STATE_BRADFORD_PROGRAM && bState <= STATE_BIURET_DILUTION && ProgramScreen(bState) == PROGRAM_DILUTION;
}

bool FieldApplies(uint8_t bField)
{
    switch (bField) {
    case FIELD_UNITS:
        return true;
    case FIELD_CALIBRATION:
        return Units() != PROTEIN_UNITS_ABS;
    case FIELD_FACTOR:
        return Units() != PROTEIN_UNITS_ABS && !ByStandards();
    default:
        return ByStandards();
    }
}

// The absorbance and result of the last reading under the assay's
// calibration (refitted from the stored standards).
void ComputeProteinResult()
{
    const ProteinGroup& group = Group();
    gbProteinCurveValid = FitProteinCurve(group, nullptr) ? 1 : 0;
    if (gbReferenceOnly) {
        gfProteinAbs = 0.0;
        gfProteinResult = 0.0;
        return;
    }
    gfProteinAbs = Absorbance(Assay().unNm);
    gfProteinResult = ProteinResult(group, gfProteinAbs);
}

void DrawFixedText(uint8_t x, uint8_t y, const char* psz, uint8_t bInverse = 0)
{
    char szScript[32];
    SetEditText(psz);
    std::snprintf(szScript, sizeof szScript, "F0A%uX%uY%uS1", bInverse, x, y);
    DisplayScript(szScript);
}

// ------------------------------------------------------------ settings

void StoreUnits(uint8_t bUnits)
{
    ProteinGroup& group = Group();
    double fScale = ProteinUnitsScale(Units(), bUnits);
    if (fScale != 1.0) {
        SetProteinHead(GroupNumber(), PROTEIN_HEAD_FACTOR, group.afHead[PROTEIN_HEAD_FACTOR] * fScale);
        for (int i = 0; i < PROTEIN_STANDARD_COUNT; i++)
            if (group.afValues[i] != PROTEIN_CONC_NOT_SET)
                SetProteinValue(GroupNumber(), i, group.afValues[i] * fScale);
    }
    SetProteinFlag(GroupNumber(), PROTEIN_FLAG_UNITS, bUnits);
}

// Fewer replicates: the ones no longer counted are cleared, in one group save.
void StoreReplicates(uint8_t bReplicates)
{
    ProteinGroup& group = Group();
    bool bCleared = false;
    for (int i = 0; i < PROTEIN_STANDARD_COUNT; i++)
        for (int r = bReplicates; r < PROTEIN_REPLICATE_MAX; r++) {
            double& f = group.afStandards[ProteinReplicateIndex(i, r)];
            bCleared = bCleared || f != PROTEIN_ABS_NOT_TAKEN;
            f = PROTEIN_ABS_NOT_TAKEN;
        }
    if (bCleared)
        SaveProteinGroup(GroupNumber());
    SetProteinFlag(GroupNumber(), PROTEIN_FLAG_REPLICATES, bReplicates);
    if (gbProteinReplicate >= bReplicates)
        gbProteinReplicate = 0;
}

void StoreAbsorbance(int nStandard, int nReplicate, double fAbs)
{
    SetProteinStandard(GroupNumber(), ProteinReplicateIndex(nStandard, nReplicate), fAbs);
}

// ------------------------------------------------------------ choosers

void AcceptUnits()
{
    StoreUnits(gbChoice);
    if (!FieldApplies(gbProteinField))
        gbProteinField = FIELD_UNITS;
    Go(ProgramState(PROGRAM));
}

void AcceptCalibration()
{
    SetProteinFlag(GroupNumber(), PROTEIN_FLAG_CALIBRATION, gbChoice);
    if (gbChoice == PROTEIN_CAL_STANDARDS) {
        gbProteinRow = 0;
        Go(STATE_PROTEIN_STANDARDS);
    } else {
        Go(ProgramState(PROGRAM));
    }
}

void AcceptReplicates()
{
    StoreReplicates(static_cast<uint8_t>(gbChoice + 1));
    Go(ProgramState(PROGRAM));
}

void AcceptCurveFit()
{
    SetProteinFlag(GroupNumber(), PROTEIN_FLAG_CURVE_FIT, gbChoice);
    Go(gbCurveFitReturn);
}

bool MoveRow()
{
    if (Key(KEY_UP)) {
        gbProteinRow = gbProteinRow == 0 ? PROTEIN_STANDARD_COUNT - 1 : static_cast<uint8_t>(gbProteinRow - 1);
        return true;
    }
    if (Key(KEY_DOWN)) {
        gbProteinRow = gbProteinRow >= PROTEIN_STANDARD_COUNT - 1 ? 0 : static_cast<uint8_t>(gbProteinRow + 1);
        return true;
    }
    return false;
}

// Moves the highlight to the first replicate not yet taken of a standard
// with a concentration, searching from the cell after (row, replicate) in
// row order; true when there is one.
bool FindMissingReading(int nRow, int nReplicate)
{
    const ProteinGroup& group = Group();
    int nCells = PROTEIN_STANDARD_COUNT * Replicates();
    int nStart = nRow * Replicates() + nReplicate;
    for (int n = 1; n <= nCells; n++) {
        int nCell = (nStart + n) % nCells;
        int i = nCell / Replicates(), r = nCell % Replicates();
        if (group.afValues[i] != PROTEIN_CONC_NOT_SET &&
            group.afStandards[ProteinReplicateIndex(i, r)] >= PROTEIN_ABS_NOT_TAKEN) {
            gbProteinRow = static_cast<uint8_t>(i);
            gbProteinReplicate = static_cast<uint8_t>(r);
            return true;
        }
    }
    return false;
}

// "Set Abs" opens on the first reading still missing (or the first cell).
void GoSetAbsorbance()
{
    gbProteinAverageView = 0;
    if (!FindMissingReading(PROTEIN_STANDARD_COUNT - 1, Replicates() - 1)) {
        gbProteinRow = 0;
        gbProteinReplicate = 0;
    }
    Go(STATE_PROTEIN_SET_ABS);
}

// TEST on "Set Abs": the absorbance goes to the highlighted replicate, and
// the highlight moves on to the next reading still missing, or else to the
// next replicate, then the next standard.
void TakeStandardReading()
{
    TakeScreenReading(READ_SAMPLE);
    double fAbs = Absorbance(Assay().unNm);
    if (fAbs > 61110.0) {
        DrawOutOfRangeIf(true);
        DrawScreen();
        return;
    }
    if (fAbs < 0.0) {
        DrawScreen();
        DrawText(70, 120, TEXT_NEGATIVE_ABS);
        return;
    }
    StoreAbsorbance(gbProteinRow, gbProteinReplicate, ThreeDecimals(fAbs));
    if (!FindMissingReading(gbProteinRow, gbProteinReplicate)) {
        if (gbProteinReplicate + 1 < Replicates()) {
            gbProteinReplicate++;
        } else {
            gbProteinReplicate = 0;
            gbProteinRow = static_cast<uint8_t>((gbProteinRow + 1) % PROTEIN_STANDARD_COUNT);
        }
    }
    DrawScreen();
}

}  // namespace

// ------------------------------------------------------------ handlers

void HandleProteinEntry()
{
    if (Key(KEY_SOFT1)) {
        RecomputeValues();
        Go(STATE_CELL_DENSITY);
    } else if (Key(KEY_SOFT2)) {
        Go(STATE_PROTEIN_MENU);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_MEASURE_MENU);
    }
}

void HandleProteinMenu()
{
    for (uint8_t a = 0; a < PROTEIN_ASSAY_COUNT; a++)
        if (Key(static_cast<uint8_t>(KEY_SOFT1 + a))) {
            gbProteinAssay = a;
            Go(RunState());
            return;
        }
    if (Key(KEY_ESCAPE))
        Go(STATE_DENSITY_OR_PROTEINS);
}

void HandleProteinRun()
{
    gbProteinAssay = AssayOfState(gunScreenState);
    if (HandleReadingKeys())
        return;
    if (Key(KEY_SOFT1)) {
        gbProteinField = FIELD_UNITS;
        Go(ProgramState(PROGRAM));
    } else if (Key(KEY_SOFT2)) {
        StartNumberEditor(Group().afHead[PROTEIN_HEAD_DILUTION], RunState());
        Go(ProgramState(PROGRAM_DILUTION));
    } else if (Key(KEY_SOFT3)) {
        gbScanColumn = static_cast<uint8_t>((Assay().unNm - WAVELENGTH_MIN) / 4);
        GoScan(RunState());
    } else if (Key(KEY_SOFT4)) {
        GoPrint(RunState());
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_PROTEIN_MENU);
    }
}

void HandleProteinProgram()
{
    gbProteinAssay = AssayOfState(gunScreenState);
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        int nField = gbProteinField;
        do {
            nField += Key(KEY_DOWN) ? 1 : -1;
            if (nField >= FIELD_COUNT)
                nField = 0;
            if (nField < 0)
                nField = FIELD_COUNT - 1;
        } while (!FieldApplies(static_cast<uint8_t>(nField)));
        gbProteinField = static_cast<uint8_t>(nField);
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        const ProteinGroup& group = Group();
        switch (gbProteinField) {
        case FIELD_UNITS:
            gbChoice = Units();
            Go(ProgramState(PROGRAM_UNITS));
            break;
        case FIELD_CALIBRATION:
            gbChoice = group.abFlags[PROTEIN_FLAG_CALIBRATION] & 1;
            Go(ProgramState(PROGRAM_CALIBRATION));
            break;
        case FIELD_FACTOR:
            StartNumberEditor(group.afHead[PROTEIN_HEAD_FACTOR], ProgramState(PROGRAM));
            Go(ProgramState(PROGRAM_FACTOR));
            break;
        case FIELD_REPLICATES:
            gbChoice = static_cast<uint8_t>(Replicates() - 1);
            Go(ProgramState(PROGRAM_REPLICATES));
            break;
        default:
            gbChoice = group.abFlags[PROTEIN_FLAG_CURVE_FIT] & 1;
            gbCurveFitReturn = ProgramState(PROGRAM);
            Go(STATE_PROTEIN_CURVE_FIT);
            break;
        }
    } else if (Key(KEY_SOFT1) || Key(KEY_ESCAPE)) {
        Go(RunState());
    }
}

void HandleProteinUnits()
{
    gbProteinAssay = AssayOfState(gunScreenState);
    HandleChooser({PROTEIN_UNITS_COUNT, KEY_UP, KEY_DOWN, KEY_SOFT4, AcceptUnits, ProgramState(PROGRAM)});
}

void HandleProteinCalibration()
{
    gbProteinAssay = AssayOfState(gunScreenState);
    HandleChooser({2, KEY_LEFT, KEY_RIGHT, KEY_SOFT4, AcceptCalibration, ProgramState(PROGRAM)});
}

void HandleProteinReplicates()
{
    gbProteinAssay = AssayOfState(gunScreenState);
    HandleChooser({PROTEIN_REPLICATE_MAX, KEY_LEFT, KEY_RIGHT, KEY_SOFT4, AcceptReplicates, ProgramState(PROGRAM)});
}

void HandleProteinFactor()
{
    gbProteinAssay = AssayOfState(gunScreenState);
    if (HandleNumberKeys()) {
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        SetProteinHead(GroupNumber(), PROTEIN_HEAD_FACTOR, NumberEditorValue());
        Go(ProgramState(PROGRAM));
    } else if (Key(KEY_ESCAPE)) {
        Go(ProgramState(PROGRAM));
    }
}

// The dilution has no sign: the editor's sign key does nothing here, and a
// dilution that is not above 0 (or is above 9999) is not taken.
void HandleProteinDilution()
{
    gbProteinAssay = AssayOfState(gunScreenState);
    if (Key(KEY_SOFT2))
        return;
    if (HandleNumberKeys()) {
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        double f = NumberEditorValue();
        if (f > 0.0 && f <= PROTEIN_DILUTION_MAX)
            SetProteinHead(GroupNumber(), PROTEIN_HEAD_DILUTION, f);
        Go(RunState());
    } else if (Key(KEY_ESCAPE)) {
        Go(RunState());
    }
}

void HandleProteinStandards()
{
    if (Key(KEY_SOFT1)) {
        Go(STATE_PROTEIN_SET_STD);
    } else if (Key(KEY_SOFT2)) {
        GoSetAbsorbance();
    } else if (Key(KEY_SOFT3)) {
        gbChoice = Group().abFlags[PROTEIN_FLAG_CURVE_FIT] & 1;
        gbCurveFitReturn = STATE_PROTEIN_STANDARDS;
        Go(STATE_PROTEIN_CURVE_FIT);
    } else if (Key(KEY_SOFT4)) {
        bool bValid = FitProteinCurve(Group(), StartCurveProgress());
        Go(bValid ? STATE_PROTEIN_CURVE : STATE_PROTEIN_INVALID_CURVE);
    } else if ((Key(KEY_LEFT) || Key(KEY_RIGHT)) && Replicates() > 1) {
        gbProteinAverageView = gbProteinAverageView ? 0 : 1;
        DrawScreen();
    } else if (Key(KEY_ESCAPE)) {
        Go(ProgramState(PROGRAM));
    }
}

void HandleProteinSetStandard()
{
    if (MoveRow()) {
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        double fConc = Group().afValues[gbProteinRow];
        StartNumberEditor(fConc == PROTEIN_CONC_NOT_SET ? 0.0 : fConc, STATE_PROTEIN_SET_STD);
        Go(STATE_PROTEIN_STD_ENTRY);
    } else if (Key(KEY_SOFT3)) {
        SetProteinValue(GroupNumber(), gbProteinRow, PROTEIN_CONC_NOT_SET);
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        GoSetAbsorbance();
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_PROTEIN_STANDARDS);
    }
}

// A concentration is a number of the units: a negative one is not taken.
void HandleProteinStandardEntry()
{
    if (HandleNumberKeys()) {
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        double f = NumberEditorValue();
        if (f >= 0.0)
            SetProteinValue(GroupNumber(), gbProteinRow, f);
        Go(STATE_PROTEIN_SET_STD);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_PROTEIN_SET_STD);
    }
}

void HandleProteinSetAbsorbance()
{
    if (MoveRow()) {
        DrawScreen();
    } else if (Key(KEY_LEFT) || Key(KEY_RIGHT)) {
        uint8_t bCount = Replicates();
        gbProteinReplicate = Key(KEY_RIGHT) ? static_cast<uint8_t>((gbProteinReplicate + 1) % bCount)
                                            : static_cast<uint8_t>((gbProteinReplicate + bCount - 1) % bCount);
        DrawScreen();
    } else if (Key(KEY_REF)) {
        TakeScreenReading(READ_REFERENCE);
        DrawScreen();
    } else if (Key(KEY_TEST)) {
        TakeStandardReading();
    } else if (Key(KEY_SOFT1)) {
        StartAbsorbanceEditor(Group().afStandards[ProteinReplicateIndex(gbProteinRow, gbProteinReplicate)]);
        Go(STATE_PROTEIN_ABS_ENTRY);
    } else if (Key(KEY_SOFT3)) {
        StoreAbsorbance(gbProteinRow, gbProteinReplicate, PROTEIN_ABS_NOT_TAKEN);
        DrawScreen();
    } else if (Key(KEY_SOFT4) || Key(KEY_ESCAPE)) {
        Go(STATE_PROTEIN_STANDARDS);
    }
}

void HandleProteinAbsorbanceEntry()
{
    if (HandleAbsorbanceKeys()) {
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        StoreAbsorbance(gbProteinRow, gbProteinReplicate, AbsorbanceEditorValue());
        Go(STATE_PROTEIN_SET_ABS);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_PROTEIN_SET_ABS);
    }
}

void HandleProteinCurve()
{
    if (Key(KEY_SOFT1) || Key(KEY_ESCAPE)) {
        Go(STATE_PROTEIN_STANDARDS);
    } else if (Key(KEY_SOFT3)) {
        Go(ProgramState(PROGRAM));
    } else if (Key(KEY_SOFT4)) {
        // The calibration is not a reading: printing it leaves the sample number alone.
        DescribeProteinResult(STATE_PROTEIN_CURVE);
        ReadClock(gReport.abClock);
        PrintResult();
    }
}

void HandleProteinInvalidCurve()
{
    if (Key(KEY_SOFT1) || Key(KEY_ESCAPE))
        Go(STATE_PROTEIN_STANDARDS);
    else if (Key(KEY_SOFT4))
        Go(ProgramState(PROGRAM));
}

void HandleProteinCurveFit()
{
    HandleChooser({2, KEY_UP, KEY_DOWN, KEY_SOFT4, AcceptCurveFit, gbCurveFitReturn});
}

// ------------------------------------------------------------ drawing

void PrepareProteinRun(uint8_t bState)
{
    gbProteinAssay = AssayOfState(bState);
    ComputeProteinResult();
    gnShowI1 = Assay().unNm;
    gfShowD2 = gfProteinAbs;
    gfShowD6 = Group().afHead[PROTEIN_HEAD_DILUTION];
    gfShowD60 = gfProteinResult;
}

void DrawProteinRun(uint8_t bState)
{
    const ProteinGroup& group = Group();
    DisplayScript("F0A0 X68Y16T12T15I1T22");
    EraseCells(68, RUN_DILUTION_Y, 28);
    DisplayScript("F0A0 X68Y28T317 X116Y28T15");
    if (IsDilutionState(bState)) {
        SetEditText(gszNumberText);
        DrawEditField(RUN_VALUE_X, RUN_DILUTION_Y, gbNumberCursor, 0);
    } else {
        DisplayScript("F0A0 X134Y28D6");
    }
    EraseCells(68, 40, 28);
    if (Units() != PROTEIN_UNITS_ABS) {
        DisplayScript("F0A0 X68Y40T49 X116Y40T15");
        bool bFactor = group.abFlags[PROTEIN_FLAG_CALIBRATION] == PROTEIN_CAL_FACTOR;
        DrawText(RUN_VALUE_X, 40, bFactor ? TEXT_FACTOR : TEXT_STD);
        if (bFactor) {
            gfShowD6 = group.afHead[PROTEIN_HEAD_FACTOR];
            DisplayScript("F0A0 x6D6");
        }
    }
    EraseCells(68, 52, 28);
    DisplayScript("F0A0 X68Y52T14 X116Y52T15 X134Y52D2");
    EraseCells(68, 76, 12, 1);
    DisplayScript("F1A0 X68Y76T15D60");
    EraseCells(194, 80, 7);
    DrawText(194, 80, TEXT_UNITS[Units()]);
    EraseCells(68, 100, 28);
    if (ByStandards() && !gbProteinCurveValid)
        DrawText(68, 100, TEXT_INVALID_CURVE);
    else
        DrawOutOfRangeIf(IsOutOfRange(gfProteinResult));
}

void DrawProteinProgram(uint8_t bState)
{
    gbProteinAssay = AssayOfState(bState);
    const ProteinGroup& group = Group();
    uint8_t bScreen = ProgramScreen(bState);
    static constexpr uint16_t kaunLabel[FIELD_COUNT] = {51, 49, 123, 322, 289};
    for (int i = 0; i < FIELD_COUNT; i++) {
        EraseCells(FIELD_LABEL_X, FieldY(i), 28);
        if (FieldApplies(static_cast<uint8_t>(i)))
            DrawText(FIELD_LABEL_X, FieldY(i), kaunLabel[i], i == gbProteinField ? 1 : 0);
    }
    DrawText(FIELD_VALUE_X, FieldY(FIELD_UNITS), TEXT_UNITS[Units()]);
    if (FieldApplies(FIELD_CALIBRATION)) {
        uint8_t bCal = group.abFlags[PROTEIN_FLAG_CALIBRATION] & 1;
        if (bScreen == PROGRAM_CALIBRATION) {
            DrawText(FIELD_VALUE_X, FieldY(FIELD_CALIBRATION), TEXT_FACTOR, gbChoice == 0 ? 1 : 0);
            DrawText(static_cast<uint8_t>(FIELD_VALUE_X + TextWidth(TEXT_FACTOR)), FieldY(FIELD_CALIBRATION), TEXT_STD,
                     gbChoice == 1 ? 1 : 0);
        } else {
            DrawText(FIELD_VALUE_X, FieldY(FIELD_CALIBRATION), bCal ? TEXT_STD : TEXT_FACTOR);
        }
    }
    if (bScreen == PROGRAM_FACTOR) {
        SetEditText(gszNumberText);
        DrawEditField(FIELD_VALUE_X, FieldY(FIELD_FACTOR), gbNumberCursor, 0);
    } else if (FieldApplies(FIELD_FACTOR)) {
        gfShowD6 = group.afHead[PROTEIN_HEAD_FACTOR];
        char szScript[24];
        std::snprintf(szScript, sizeof szScript, "F0A0X%uY%uD6", FIELD_VALUE_X, FieldY(FIELD_FACTOR));
        DisplayScript(szScript);
    }
    if (FieldApplies(FIELD_REPLICATES)) {
        uint8_t bCount = bScreen == PROGRAM_REPLICATES ? PROTEIN_REPLICATE_MAX : 1;
        for (uint8_t i = 0; i < bCount; i++) {
            gnShowI70 = bScreen == PROGRAM_REPLICATES ? i + 1 : Replicates();
            DrawInteger(static_cast<uint8_t>(FIELD_VALUE_X + 12 * i), FieldY(FIELD_REPLICATES), 70,
                        bScreen == PROGRAM_REPLICATES && gbChoice == i ? 1 : 0);
        }
        DrawText(FIELD_VALUE_X, FieldY(FIELD_CURVE_FIT), group.abFlags[PROTEIN_FLAG_CURVE_FIT] ? TEXT_CURVE : TEXT_LINE);
    }
}

void DrawProteinUnits(uint8_t bState)
{
    gbProteinAssay = AssayOfState(bState);
    DrawChoiceList(TEXT_UNITS, PROTEIN_UNITS_COUNT, 80, 30, 12);
}

void DrawProteinStandards(uint8_t bState)
{
    const ProteinGroup& group = Group();
    DrawText(68, 1, Assay().unNameText);
    EraseCells(TABLE_UNITS_X, 16, 23);
    DrawText(TABLE_UNITS_X, 16, TEXT_UNITS[Units()]);
    uint8_t bReplicates = Replicates();
    bool bMean = bReplicates == 1 || (gbProteinAverageView && bState == STATE_PROTEIN_STANDARDS);
    if (bMean) {
        DrawText(TABLE_MEAN_X, 16, TEXT_ABS);
    } else {
        for (uint8_t r = 0; r < bReplicates; r++) {
            gnShowI70 = r + 1;
            DrawText(kabAbsColumnX[r], 16, TEXT_ABS);
            DisplayScript("F0A0I70");
        }
    }
    bool bChoosing = bState != STATE_PROTEIN_STANDARDS;
    bool bEditing = bState == STATE_PROTEIN_STD_ENTRY || bState == STATE_PROTEIN_ABS_ENTRY;
    for (int i = 0; i < PROTEIN_STANDARD_COUNT; i++) {
        uint8_t y = static_cast<uint8_t>(TABLE_ROW_Y + TABLE_ROW_STEP * i);
        EraseCells(TABLE_NUMBER_X, y, 27);
        gnShowI70 = i + 1;
        DrawInteger(TABLE_NUMBER_X, y, 70, bChoosing && i == gbProteinRow ? 1 : 0);
        char sz[16];
        if (group.afValues[i] == PROTEIN_CONC_NOT_SET)
            std::snprintf(sz, sizeof sz, "-------");
        else
            FormatNumber(sz, group.afValues[i], 0);
        if (bState == STATE_PROTEIN_STD_ENTRY && i == gbProteinRow) {
            SetEditText(gszNumberText);
            DrawEditField(TABLE_CONC_X, y, gbNumberCursor, 0);
        } else {
            DrawFixedText(TABLE_CONC_X, y, sz);
        }
        for (uint8_t r = 0; r < (bMean ? 1 : bReplicates); r++) {
            double f = bMean ? ProteinMeanAbs(group, i) : group.afStandards[ProteinReplicateIndex(i, r)];
            uint8_t x = bMean ? TABLE_MEAN_X : kabAbsColumnX[r];
            bool bCell = i == gbProteinRow && r == gbProteinReplicate && !bMean;
            if (bState == STATE_PROTEIN_ABS_ENTRY && bCell) {
                SetEditText(gszNumberText);
                DrawEditField(x, y, gbNumberCursor, 0);
                continue;
            }
            if (f >= PROTEIN_ABS_NOT_TAKEN)
                std::snprintf(sz, sizeof sz, "-----");
            else
                std::snprintf(sz, sizeof sz, "%.3f", f);
            DrawFixedText(x, y, sz, bState == STATE_PROTEIN_SET_ABS && bCell && !bEditing ? 1 : 0);
        }
    }
}

void DrawProteinCurve(uint8_t)
{
    const ProteinGroup& group = Group();
    FitProteinCurve(group, nullptr);
    DrawText(68, 1, Assay().unNameText);
    double afMean[PROTEIN_STANDARD_COUNT];
    for (int i = 0; i < PROTEIN_STANDARD_COUNT; i++) {
        afMean[i] = ProteinMeanAbs(group, i);
        if (afMean[i] >= PROTEIN_ABS_NOT_TAKEN)
            afMean[i] = 0.0;
    }
    DrawCalibrationGraph(group.afValues, afMean, TEXT_UNITS[Units()]);
}

void DrawProteinCurveFit(uint8_t)
{
    static constexpr uint16_t kaunTexts[2] = {290, 291};
    DrawChoiceList(kaunTexts, 2, 68, 30, 14);
}

// ------------------------------------------------------------ reports

bool DescribeProteinResult(uint8_t bState)
{
    bool bRun = bState >= STATE_PROTEIN_BCA && bState <= STATE_PROTEIN_BIURET;
    if (!bRun && bState != STATE_PROTEIN_CURVE)
        return false;
    if (bRun)
        gbProteinAssay = AssayOfState(bState);
    const ProteinGroup& group = Group();
    ReportData& r = gReport;
    ReportProtein& p = r.protein;
    p.bAssay = static_cast<uint8_t>(GroupNumber());
    p.bUnits = Units();
    p.bCalibration = group.abFlags[PROTEIN_FLAG_CALIBRATION] & 1;
    p.bReplicates = Replicates();
    p.bAverage = gbProteinAverageView;
    p.bCurveFit = group.abFlags[PROTEIN_FLAG_CURVE_FIT] & 1;
    p.fFactor = group.afHead[PROTEIN_HEAD_FACTOR];
    p.fDilution = group.afHead[PROTEIN_HEAD_DILUTION];
    for (int i = 0; i < PROTEIN_STANDARD_COUNT; i++) {
        p.afStdConc[i] = group.afValues[i];
        p.afStdMean[i] = ProteinMeanAbs(group, i);
    }
    for (int i = 0; i < PROTEIN_STANDARD_COUNT * PROTEIN_REPLICATE_MAX; i++)
        p.afStdAbs[i] = group.afStandards[i];
    r.fCorrCoeff = r.fSlope = r.fIntercept = 0.0;
    if (FitProteinCurve(group, nullptr)) {
        r.fCorrCoeff = gStandardCurve.fCorrelation;
        r.fSlope = gStandardCurve.fSlope;
        r.fIntercept = gStandardCurve.fIntercept;
    }
    if (bRun) {
        ComputeProteinResult();
        r.bKind = REPORT_PROTEIN;
        p.fAbsorbance = gfProteinAbs;
        p.fResult = gfProteinResult;
        r.afValue[0] = gfProteinAbs;
        r.aunNm[0] = Assay().unNm;
    } else {
        r.bKind = REPORT_PROTEIN_STANDARDS;
    }
    return true;
}
