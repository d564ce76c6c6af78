// The method screens by keys: the standards table and its editors, the
// curve's validity on the graph key, standard curves and kinetics excluding
// each other, the kinetics times, runs stopped by Escape, the method run of a
// curve method and "Repeat last operation".
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "display/language.h"
#include "sample.h"
#include "display/script.h"
#include "measure/kinetics_run.h"
#include "measure/reading.h"
#include "measure/standard_curve.h"
#include "storage/params.h"
#include "ui/ui_fixture.h"
#include "ui/ui_internal.h"

namespace {

class MethodScreens : public UiTest {
protected:
    // A new method in the first free slot, on the method program.
    void NewMethod()
    {
        PowerUpToMainMenu();
        Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT3, STATE_METHOD_LIST}, {KEY_SOFT1, STATE_METHOD_PROGRAM}});
    }
    // Moves the method program's highlight to a field.
    void ToField(uint8_t bField)
    {
        for (int i = 0; i < 9 && gunMethodField != bField; i++)
            Press(KEY_DOWN);
        ASSERT_EQ(gunMethodField, bField);
    }
    // A new method with a standard curve, on the standards table.
    void NewCurveMethod()
    {
        NewMethod();
        ToField(3);
        Walk({{KEY_SOFT4, STATE_METHOD_CALIBRATION}, {KEY_RIGHT, STATE_METHOD_CALIBRATION},
              {KEY_SOFT4, STATE_STANDARDS_TABLE}});
    }
    // A new curve method with the standards (concentration, absorbance) in
    // rows 1.., graphed, accepted, stored and opened for a run.
    void CurveMethodToRun(std::initializer_list<std::pair<double, double>> standards)
    {
        NewCurveMethod();
        int i = 0;
        for (auto [fConc, fAbs] : standards) {
            gMethod.afStdConc[i] = fConc;
            gMethod.afStdAbs[i++] = fAbs;
        }
        Walk({{KEY_SOFT4, STATE_CURVE_COEFFICIENTS}, {KEY_SOFT3, STATE_METHOD_PROGRAM},
              {KEY_SOFT1, STATE_METHOD_SUMMARY}, {KEY_SOFT1, STATE_METHOD_RUN}});
    }
    // A new method with kinetics "Yes", on the method program.
    void NewKineticsMethod()
    {
        NewMethod();
        ToField(5);
        Walk({{KEY_SOFT4, STATE_METHOD_KINETICS}, {KEY_RIGHT, STATE_METHOD_KINETICS},
              {KEY_SOFT4, STATE_KINETICS_DISPLAY}, {KEY_SOFT4, STATE_METHOD_PROGRAM}});
    }
    // The display's pixels in a box.
    std::vector<bool> Pixels(int x0, int y0, int x1, int y1)
    {
        std::vector<bool> ab;
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++)
                ab.push_back(Host().Pixel(x, y));
        return ab;
    }
    // True when the box shows what the script alone draws there.
    bool ShowsScript(const char* pszScript, int x0, int y0, int x1, int y1)
    {
        std::vector<bool> abShown = Pixels(x0, y0, x1, y1);
        DisplayScript("C0");
        DisplayScript(pszScript);
        return Pixels(x0, y0, x1, y1) == abShown;
    }
};

}  // namespace

// ---------------------------------------------------------------- standards table

TEST_F(MethodScreens, AbsorbanceEditorKeepsToZeroToOnePointNineNineNine)
{
    NewCurveMethod();
    Walk({{KEY_SOFT2, STATE_SET_ABSORBANCE}, {KEY_SOFT1, STATE_ABSORBANCE_ENTRY}});
    EXPECT_STREQ(gszNumberText, "0.000");
    struct Step {
        uint8_t bKey;
        const char* pszText;
    } kSteps[] = {
        {KEY_UP, "1.000"},   {KEY_UP, "0.000"},    // the integer digit is 0 or 1
        {KEY_DOWN, "1.000"}, {KEY_RIGHT, "1.000"},  // over the point to the first decimal
        {KEY_DOWN, "1.900"}, {KEY_UP, "1.000"},    // decimals wrap 0..9
        {KEY_LEFT, "1.000"}, {KEY_LEFT, "1.000"},  // back to the integer digit, then round to the last
        {KEY_UP, "1.001"},   {KEY_RIGHT, "1.001"},
        {KEY_DOWN, "0.001"},
    };
    for (const Step& s : kSteps) {
        Press(s.bKey);
        EXPECT_STREQ(gszNumberText, s.pszText) << "after key " << int(s.bKey);
    }
    Press(KEY_ESCAPE);
    EXPECT_EQ(gunScreenState, STATE_SET_ABSORBANCE);
    EXPECT_EQ(gMethod.afStdAbs[0], 0.0) << "Escape keeps the stored absorbance";
    Walk({{KEY_SOFT1, STATE_ABSORBANCE_ENTRY}, {KEY_UP, STATE_ABSORBANCE_ENTRY}, {KEY_LEFT, STATE_ABSORBANCE_ENTRY},
          {KEY_DOWN, STATE_ABSORBANCE_ENTRY}, {KEY_SOFT4, STATE_SET_ABSORBANCE}});
    EXPECT_DOUBLE_EQ(gMethod.afStdAbs[0], 1.009);
    // A stored absorbance beyond the editor's range opens at its top.
    gMethod.afStdAbs[0] = 2.2;
    Press(KEY_SOFT1);
    EXPECT_STREQ(gszNumberText, "1.999");
}

TEST_F(MethodScreens, TestPutsTheMeasuredAbsorbanceInTheRowOrRefusesANegativeOne)
{
    NewCurveMethod();
    Walk({{KEY_SOFT2, STATE_SET_ABSORBANCE}, {KEY_DOWN, STATE_SET_ABSORBANCE}});
    Press(KEY_REF);
    Host().AdvanceMs(6000);
    Press(KEY_TEST);
    Host().AdvanceMs(6000);
    char sz[16];
    std::snprintf(sz, sizeof sz, "%1.3f", Absorbance(550));
    EXPECT_EQ(gMethod.afStdAbs[1], std::atof(sz)) << "row 2 holds the reading at 550 nm to three decimals";
    EXPECT_GT(gMethod.afStdAbs[1], 0.0);

    // The recorded sample absorbs less than the blank at 820 nm.
    gMethod.unWavelength = 820;
    ASSERT_LT(Absorbance(820), 0.0);
    Press(KEY_DOWN);
    Press(KEY_TEST);
    Host().AdvanceMs(6000);
    EXPECT_EQ(gMethod.afStdAbs[2], 0.0) << "a negative absorbance is not entered";
    EXPECT_TRUE(ShowsScript("F0A0 X70Y120T168", 64, 119, 170, 127)) << "\"Negative Abs\" on the bottom line";
}

TEST_F(MethodScreens, EscapeAndExitKeepTheStandardsOfEntryAcceptKeepsTheNewOnes)
{
    NewCurveMethod();
    // Standard 1: concentration 1 typed, absorbance 0.5 typed.
    Walk({{KEY_SOFT1, STATE_SET_STANDARD}, {KEY_SOFT1, STATE_STANDARD_ENTRY}, {KEY_UP, STATE_STANDARD_ENTRY},
          {KEY_SOFT4, STATE_SET_STANDARD}, {KEY_SOFT4, STATE_SET_ABSORBANCE}});
    for (int i = 0; i < 5 && gunStandardsRow != 0; i++)
        Press(KEY_UP);
    Walk({{KEY_SOFT1, STATE_ABSORBANCE_ENTRY}, {KEY_RIGHT, STATE_ABSORBANCE_ENTRY}});
    for (int i = 0; i < 5; i++)
        Press(KEY_UP);
    Walk({{KEY_SOFT4, STATE_SET_ABSORBANCE}, {KEY_SOFT4, STATE_STANDARDS_TABLE}});
    EXPECT_EQ(gMethod.afStdConc[0], 1.0);
    EXPECT_EQ(gMethod.afStdAbs[0], 0.5);
    // Escape from the table drops them.
    Press(KEY_ESCAPE);
    EXPECT_EQ(gunScreenState, STATE_METHOD_PROGRAM);
    EXPECT_EQ(gMethod.afStdConc[0], STANDARD_NOT_SET);
    EXPECT_EQ(gMethod.afStdAbs[0], 0.0);

    // Standard 1 alone with no absorbance: no curve, and "Exit" drops it too.
    Walk({{KEY_SOFT4, STATE_METHOD_CALIBRATION}, {KEY_SOFT4, STATE_STANDARDS_TABLE},
          {KEY_SOFT1, STATE_SET_STANDARD}, {KEY_SOFT1, STATE_STANDARD_ENTRY}, {KEY_UP, STATE_STANDARD_ENTRY},
          {KEY_SOFT4, STATE_SET_STANDARD}, {KEY_ESCAPE, STATE_STANDARDS_TABLE}, {KEY_SOFT4, STATE_INVALID_CURVE},
          {KEY_SOFT4, STATE_METHOD_PROGRAM}});
    EXPECT_EQ(gMethod.afStdConc[0], STANDARD_NOT_SET);

    // Through the origin and standard 1 at 0.5: a curve; "Accept" keeps it.
    Walk({{KEY_SOFT4, STATE_METHOD_CALIBRATION}, {KEY_SOFT4, STATE_STANDARDS_TABLE},
          {KEY_SOFT1, STATE_SET_STANDARD}, {KEY_SOFT1, STATE_STANDARD_ENTRY}, {KEY_UP, STATE_STANDARD_ENTRY},
          {KEY_SOFT4, STATE_SET_STANDARD}, {KEY_SOFT4, STATE_SET_ABSORBANCE}, {KEY_SOFT1, STATE_ABSORBANCE_ENTRY},
          {KEY_RIGHT, STATE_ABSORBANCE_ENTRY}});
    for (int i = 0; i < 5; i++)
        Press(KEY_UP);
    Walk({{KEY_SOFT4, STATE_SET_ABSORBANCE}, {KEY_SOFT4, STATE_STANDARDS_TABLE},
          {KEY_SOFT4, STATE_CURVE_COEFFICIENTS}, {KEY_SOFT3, STATE_METHOD_PROGRAM}});
    EXPECT_EQ(gMethod.afStdConc[0], 1.0);
    EXPECT_EQ(gMethod.afStdAbs[0], 0.5);
    // The method is stored with its standards and reloads with them.
    Walk({{KEY_SOFT1, STATE_METHOD_SUMMARY}});
    gMethod.afStdConc[0] = 7.0;
    LoadMethodWork(gunCurrentMethod);
    EXPECT_EQ(gMethod.afStdConc[0], 1.0);
    EXPECT_EQ(gMethod.bCalibration, 1);
}

// ---------------------------------------------------------------- curve and kinetics exclude each other

TEST_F(MethodScreens, StandardCurveAndKineticsRefuseEachOther)
{
    NewKineticsMethod();
    ToField(3);
    Walk({{KEY_SOFT4, STATE_METHOD_CALIBRATION}, {KEY_RIGHT, STATE_METHOD_CALIBRATION},
          {KEY_SOFT4, STATE_METHOD_PROGRAM}});
    EXPECT_TRUE(ShowsScript("F0A0 X70Y120T152", 64, 119, 200, 127)) << "\"Cal will only accept LINE\"";
    uint8_t bField = gunMethodField;
    Press(KEY_DOWN);  // ignored while the message shows
    EXPECT_EQ(gunMethodField, bField);
    Host().AdvanceMs(3100);
    DrawScreen();
    EXPECT_FALSE(ShowsScript("F0A0 X70Y120T152", 64, 119, 200, 127)) << "the message line is blanked";
    EXPECT_EQ(gMethod.bCalibration, 0) << "the calibration stays \"Factor\"";

    // The other way round: a curve method refuses kinetics.
    ToField(5);
    Walk({{KEY_SOFT4, STATE_METHOD_KINETICS}, {KEY_LEFT, STATE_METHOD_KINETICS}, {KEY_SOFT4, STATE_METHOD_PROGRAM}});
    ASSERT_EQ(gMethod.unKinetics, 0);
    ToField(3);
    Walk({{KEY_SOFT4, STATE_METHOD_CALIBRATION}, {KEY_RIGHT, STATE_METHOD_CALIBRATION},
          {KEY_SOFT4, STATE_STANDARDS_TABLE}, {KEY_ESCAPE, STATE_METHOD_PROGRAM}});
    ASSERT_EQ(gMethod.bCalibration, 1);
    ToField(5);
    Walk({{KEY_SOFT4, STATE_METHOD_KINETICS}, {KEY_LEFT, STATE_METHOD_KINETICS}, {KEY_SOFT4, STATE_METHOD_PROGRAM}});
    EXPECT_TRUE(ShowsScript("F0A0 X70Y120T141", 64, 119, 200, 127)) << "\"Please select LINE cal\"";
    EXPECT_EQ(gMethod.unKinetics, 0);
}

TEST_F(MethodScreens, CurveProgressMarkStepsFromSeventyEveryThirtyFiveEvaluations)
{
    NewCurveMethod();
    const double kafConc[3] = {1.0, 2.0, 4.0}, kafAbs[3] = {0.1, 0.2, 0.5};
    for (int i = 0; i < 3; i++) {
        gMethod.afStdConc[i] = kafConc[i];
        gMethod.afStdAbs[i] = kafAbs[i];
    }
    gMethod.bCurveFit = FIT_CURVE;
    DisplayScript("C0");
    ASSERT_TRUE(FitMethodCurve(true));
    // 160 evaluations of the monotonic check: shown at 70, moved at 35, 70,
    // 105 and 140, each move erasing the mark before.
    EXPECT_TRUE(ShowsScript("F0A0 X90Y120T156", 0, 110, 239, 127));
}

// ---------------------------------------------------------------- kinetics times

TEST_F(MethodScreens, EndIsSetInWholeIntervalsUpToTwenty)
{
    NewKineticsMethod();
    ToField(8);
    Press(KEY_SOFT4);
    ASSERT_EQ(gunScreenState, STATE_KINETICS_END_TIME);
    struct Step {
        uint8_t bKey;
        int nPresses;
        uint8_t bMinutes, bSeconds;
    } kSteps[] = {
        {KEY_UP, 1, 0, 20},    // 0:10 + one 10-second interval
        {KEY_UP, 30, 3, 20},   // stops at 20 intervals (200 s)
        {KEY_DOWN, 5, 2, 30},
        {KEY_DOWN, 30, 0, 10},  // never below one interval
    };
    for (const Step& s : kSteps) {
        for (int i = 0; i < s.nPresses; i++)
            Press(s.bKey);
        EXPECT_EQ(gbEditMinutes, s.bMinutes);
        EXPECT_EQ(gbEditSeconds, s.bSeconds);
    }
    for (int i = 0; i < 5; i++)
        Press(KEY_UP);
    Press(KEY_ESCAPE);
    EXPECT_EQ(gMethod.bEndSec, 10) << "Escape keeps the end held on entry";
    Walk({{KEY_SOFT4, STATE_KINETICS_END_TIME}, {KEY_UP, STATE_KINETICS_END_TIME}, {KEY_UP, STATE_KINETICS_END_TIME},
          {KEY_SOFT4, STATE_METHOD_PROGRAM}});
    EXPECT_EQ(gMethod.bEndSec, 30);
    EXPECT_EQ(gunSetting13, 3) << "the number of readings is stored";
}

TEST_F(MethodScreens, IntervalUnderTenSecondsSendsTheOperatorBackToIt)
{
    NewKineticsMethod();
    ToField(7);
    Walk({{KEY_SOFT4, STATE_KINETICS_INTERVAL}, {KEY_RIGHT, STATE_KINETICS_INTERVAL},
          {KEY_DOWN, STATE_KINETICS_INTERVAL}, {KEY_SOFT4, STATE_METHOD_PROGRAM}});
    ASSERT_EQ(gMethod.unIntervalSec, 9u);
    Press(KEY_SOFT1);
    EXPECT_EQ(gunScreenState, STATE_KINETICS_INTERVAL) << "0:09 cannot be accepted";
    // 1:05 can (the editor opens on the minutes).
    Walk({{KEY_UP, STATE_KINETICS_INTERVAL}, {KEY_RIGHT, STATE_KINETICS_INTERVAL}});
    for (int i = 0; i < 4; i++)
        Press(KEY_DOWN);
    Walk({{KEY_SOFT4, STATE_METHOD_PROGRAM}, {KEY_SOFT1, STATE_METHOD_SUMMARY}});
    EXPECT_EQ(gMethod.unIntervalMin, 1u);
    EXPECT_EQ(gMethod.unIntervalSec, 5u);
}

TEST_F(MethodScreens, EscapeStopsAKineticsRunWithoutResults)
{
    NewKineticsMethod();
    // A start delay of 1:00.
    ToField(6);
    Walk({{KEY_SOFT4, STATE_KINETICS_START_TIME}, {KEY_UP, STATE_KINETICS_START_TIME},
          {KEY_SOFT4, STATE_METHOD_PROGRAM}, {KEY_SOFT1, STATE_METHOD_SUMMARY}, {KEY_SOFT1, STATE_METHOD_RUN},
          {KEY_TEST, STATE_KINETICS_WAIT}});
    Host().AdvanceMs(20000);
    EXPECT_EQ(gunScreenState, STATE_KINETICS_WAIT);
    EXPECT_EQ(KineticsDelayLeftSeconds(), 40u);
    Walk({{KEY_ESCAPE, STATE_METHOD_RUN}});
    Host().AdvanceMs(60000);
    EXPECT_EQ(gunScreenState, STATE_METHOD_RUN) << "no reading after Escape";
    EXPECT_EQ(gKinetics.bCount, 0);
    // Escape among the readings.
    Press(KEY_TEST);
    ASSERT_TRUE(WaitState(STATE_KINETICS_RUN, 70000));
    Walk({{KEY_ESCAPE, STATE_METHOD_RUN}});
    uint8_t bTaken = gKinetics.bCount;
    Host().AdvanceMs(30000);
    EXPECT_EQ(gunScreenState, STATE_METHOD_RUN);
    EXPECT_EQ(gKinetics.bCount, bTaken);
}

// ---------------------------------------------------------------- the method run

TEST_F(MethodScreens, CurveMethodOutsideItsStandardsShowsSampleOutOfRange)
{
    // Standards far above the recorded sample's absorbance at 550 nm.
    CurveMethodToRun({{1.0, 1.0}, {2.0, 1.5}});
    Press(KEY_REF);
    Host().AdvanceMs(6000);
    Press(KEY_TEST);
    Host().AdvanceMs(6000);
    ASSERT_LT(Absorbance(550), 1.0);
    EXPECT_EQ(gfMethodResult, NO_VALUE);
    EXPECT_TRUE(ShowsScript("F0V0 X70Y120T167", 64, 119, 170, 127)) << "\"Sample out of range\"";
}

// The dye's five standards, each in the cell with its concentration typed and
// its absorbance taken with TEST, make a linear curve at the dye's peak; run
// on the unknowns, the stored method gives their concentrations within 2 %.
TEST_F(MethodScreens, DyeStandardsByKeysGiveTheUnknownsConcentrations)
{
    auto load = [](const char* pszName) {
        std::string sError;
        std::optional<CSample> sample = LoadSample(pszName, sError);
        EXPECT_TRUE(sample) << sError;
        return sample.value_or(CSample::Recorded());
    };
    NewMethod();
    ToField(1);
    Walk({{KEY_SOFT4, STATE_METHOD_WAVELENGTH}});
    while (gMethod.unWavelength < 592 && gunScreenState == STATE_METHOD_WAVELENGTH)
        Press(KEY_UP);
    ASSERT_EQ(gMethod.unWavelength, 592u);
    Walk({{KEY_SOFT4, STATE_METHOD_PROGRAM}});
    ToField(3);
    Walk({{KEY_SOFT4, STATE_METHOD_CALIBRATION}, {KEY_RIGHT, STATE_METHOD_CALIBRATION},
          {KEY_SOFT4, STATE_STANDARDS_TABLE}});

    Host().Compartment().Insert(load("blank"));
    for (int i = 0; i < STANDARD_COUNT; i++) {
        CSample standard = load(("standard-" + std::to_string(i + 1)).c_str());
        const int nConc = static_cast<int>(standard.m_fConcentration);
        ASSERT_EQ(nConc, standard.m_fConcentration) << "a whole number of mg/L to type";
        ASSERT_LT(nConc, 100);
        Walk({{KEY_SOFT1, STATE_SET_STANDARD}});
        for (int n = 0; n < STANDARD_COUNT && gunStandardsRow % STANDARD_COUNT != i; n++)
            Press(KEY_DOWN);
        ASSERT_EQ(gunStandardsRow % STANDARD_COUNT, i);
        // " 0.0000": the point one place right gives two integer digits.
        Walk({{KEY_SOFT1, STATE_STANDARD_ENTRY}, {KEY_SOFT3, STATE_STANDARD_ENTRY}});
        for (int n = 0; n < nConc / 10; n++)
            Press(KEY_UP);
        Press(KEY_RIGHT);
        for (int n = 0; n < nConc % 10; n++)
            Press(KEY_UP);
        Walk({{KEY_SOFT4, STATE_SET_STANDARD}, {KEY_SOFT4, STATE_SET_ABSORBANCE}});
        ASSERT_EQ(gMethod.afStdConc[i], standard.m_fConcentration) << "standard " << i + 1;
        if (i == 0) {  // the blank's reference first
            Press(KEY_REF);
            Host().AdvanceMs(6000);
        }
        Host().Compartment().Insert(standard);
        Press(KEY_TEST);
        Host().AdvanceMs(6000);
        EXPECT_NEAR(gMethod.afStdAbs[i], standard.ShownAbsorbance(592, standard.m_fConcentration, 0), 0.005)
            << "standard " << i + 1;
        Walk({{KEY_SOFT4, STATE_STANDARDS_TABLE}});
    }
    Walk({{KEY_SOFT3, STATE_CURVE_FIT}});
    while (gbChoice != FIT_LINEAR && gunScreenState == STATE_CURVE_FIT)
        Press(KEY_UP);
    Walk({{KEY_SOFT4, STATE_STANDARDS_TABLE}, {KEY_SOFT4, STATE_CURVE_COEFFICIENTS}});
    ASSERT_EQ(gStandardCurve.bValid, 1);
    EXPECT_EQ(gStandardCurve.bFit, FIT_LINEAR);
    EXPECT_GT(gStandardCurve.fCorrelation, 0.999);
    Walk({{KEY_SOFT3, STATE_METHOD_PROGRAM}, {KEY_SOFT1, STATE_METHOD_SUMMARY}, {KEY_SOFT1, STATE_METHOD_RUN}});
    EXPECT_EQ(gMethod.bCurveFit, FIT_LINEAR);

    for (const char* pszUnknown : {"unknown-a", "unknown-b"}) {
        CSample unknown = load(pszUnknown);
        Host().Compartment().Insert(unknown);
        Press(KEY_TEST);
        Host().AdvanceMs(6000);
        ASSERT_EQ(gunScreenState, STATE_METHOD_RUN);
        EXPECT_NEAR(gfMethodResult, unknown.m_fConcentration, 0.02 * unknown.m_fConcentration) << pszUnknown;
    }
}

TEST_F(MethodScreens, StdLabelMovesRightInFrenchAndItalian)
{
    CurveMethodToRun({{1.0, 0.5}});
    const uint8_t kabX[LANGUAGE_COUNT] = {168, 174, 168, 168, 174};
    for (uint8_t bLanguage = 0; bLanguage < LANGUAGE_COUNT; bLanguage++) {
        gbLanguage = bLanguage;
        gunLastDrawnState = STATE_NEVER_DRAWN;
        DrawScreen();
        char szScript[32];
        std::snprintf(szScript, sizeof szScript, "F0A0 X%uY60T88", kabX[bLanguage]);
        EXPECT_TRUE(ShowsScript(szScript, 160, 60, 193, 67)) << "language " << int(bLanguage);
    }
}

TEST_F(MethodScreens, RepeatLastOperationReloadsTheMethodAndItsCurve)
{
    CurveMethodToRun({{1.0, 0.2}, {2.0, 0.4}});
    Walk({{KEY_ESCAPE, STATE_METHOD_SUMMARY}, {KEY_SOFT1, STATE_METHOD_RUN}});
    Walk({{KEY_STANDBY, STATE_STANDBY}});
    // Whatever the working copy holds meanwhile, the stored method comes back.
    gMethod.afStdConc[1] = 9.0;
    gStandardCurve.bValid = 0;
    Press(KEY_STANDBY);
    ASSERT_TRUE(WaitState(STATE_SELFTEST_PASSED));
    Walk({{KEY_SOFT2, STATE_MAIN_MENU}, {KEY_SOFT1, STATE_METHOD_RUN}});
    EXPECT_EQ(gMethod.afStdConc[1], 2.0);
    EXPECT_EQ(gStandardCurve.bValid, 1);
    EXPECT_NEAR(StandardConcentration(0.3), 1.5, 1e-9);  // the line through (0.2, 1) and (0.4, 2)
}

// ---------------------------------------------------------------- names

TEST_F(MethodScreens, NameEditorCyclesSpaceLettersDigits)
{
    NewMethod();
    Walk({{KEY_SOFT4, STATE_METHOD_NAME}});
    EXPECT_STREQ(gMethod.szName, "             ") << "a new name starts blank";
    struct Step {
        uint8_t bKey;
        int nPresses;
        char c;  // the character at the cursor afterwards
    } kSteps[] = {
        {KEY_UP, 1, 'A'}, {KEY_UP, 25, 'Z'}, {KEY_UP, 1, '0'}, {KEY_UP, 9, '9'}, {KEY_UP, 1, ' '},
        {KEY_DOWN, 1, '9'}, {KEY_DOWN, 10, 'Z'}, {KEY_DOWN, 26, ' '},
    };
    for (const Step& s : kSteps) {
        for (int i = 0; i < s.nPresses; i++)
            Press(s.bKey);
        EXPECT_EQ(gMethod.szName[gbNameCursor], s.c);
    }
    for (int i = 0; i < 20; i++)
        Press(KEY_RIGHT);
    EXPECT_EQ(gbNameCursor, 12);
    Press(KEY_UP);
    for (int i = 0; i < 20; i++)
        Press(KEY_LEFT);
    EXPECT_EQ(gbNameCursor, 0);
    Press(KEY_SOFT4);
    EXPECT_STREQ(gMethod.szName, "            A");
}

TEST_F(MethodScreens, FixedTimeTakesOneReadingAfterItsTime)
{
    NewMethod();
    ToField(5);
    Walk({{KEY_SOFT4, STATE_METHOD_KINETICS}, {KEY_LEFT, STATE_METHOD_KINETICS}, {KEY_SOFT4, STATE_METHOD_PROGRAM}});
    ASSERT_EQ(gMethod.unKinetics, 2u);
    // "Time" 0:05.
    ToField(6);
    Walk({{KEY_SOFT4, STATE_KINETICS_START_TIME}, {KEY_RIGHT, STATE_KINETICS_START_TIME}});
    for (int i = 0; i < 5; i++)
        Press(KEY_UP);
    Walk({{KEY_SOFT4, STATE_METHOD_PROGRAM}, {KEY_SOFT1, STATE_METHOD_SUMMARY}, {KEY_SOFT1, STATE_METHOD_RUN}});
    Press(KEY_REF);
    Host().AdvanceMs(6000);
    Press(KEY_TEST);
    EXPECT_EQ(gunScreenState, STATE_KINETICS_WAIT);
    Host().AdvanceMs(4000);
    EXPECT_EQ(gKinetics.bCount, 0) << "nothing before the time";
    ASSERT_TRUE(WaitState(STATE_METHOD_RUN, 10000));
    Host().AdvanceMs(6000);
    EXPECT_EQ(gKinetics.bCount, 1);
    EXPECT_EQ(gunScreenState, STATE_METHOD_RUN);
    EXPECT_NEAR(gfMethodResult, Absorbance(550) * gMethod.fFactor, 1e-12) << "shown as a reading without kinetics";
}
