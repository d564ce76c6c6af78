// Prints of the method screens through the keys, compared byte for byte with
// the report layouts: the calibration print of the curve graph in both
// families, and the kinetics run with its live chart-recorder output, the
// per-reading records, the print at the end of the run and the prints of the
// result and graph screens.
#include <cmath>
#include <cstdio>
#include <ostream>
#include <regex>
#include <string>

#include "comms/analogue.h"
#include "comms/hardcopy.h"
#include "comms/report.h"
#include "measure/kinetics_run.h"
#include "measure/reading.h"
#include "measure/standard_curve.h"
#include "storage/params.h"
#include "ui/ui_fixture.h"
#include "ui/ui_internal.h"

namespace {

// A value as the reports print a number that fits its field: with three
// decimals in the 6-character absorbance field (|v| below 9.9995), with four
// in the 7-character result field (below 9.99995); a value that rounds to
// zero prints without its sign.
std::string Field(double f, int nDecimals)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "% .*f", nDecimals, f);
    if (std::string(sz + 1).find_first_not_of("0.") == std::string::npos)
        sz[0] = ' ';
    return sz;
}
std::string Field6(double f) { return Field(f, 3); }
std::string Field7(double f) { return Field(f, 4); }

const char* const kpszDate = "\\d\\d/\\d\\d/\\d\\d";
const char* const kpszTime = "\\d\\d:\\d\\d";

class MethodPrintTest : public UiTest {
protected:
    void Reading(uint8_t bKey)
    {
        Press(bKey);
        Host().AdvanceMs(6000);
    }
    void ToField(uint8_t bField)
    {
        for (int i = 0; i < 9 && gunMethodField != bField; i++)
            Press(KEY_DOWN);
        ASSERT_EQ(gunMethodField, bField);
    }
    // A new curve method with three standards on a straight line, graphed (55).
    void CurveGraph(uint8_t bFit)
    {
        PowerUpToMainMenu();
        Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT3, STATE_METHOD_LIST}, {KEY_SOFT1, STATE_METHOD_PROGRAM}});
        ToField(3);
        Walk({{KEY_SOFT4, STATE_METHOD_CALIBRATION}, {KEY_RIGHT, STATE_METHOD_CALIBRATION},
              {KEY_SOFT4, STATE_STANDARDS_TABLE}});
        const double kafConc[3] = {1.0, 2.0, 3.0}, kafAbs[3] = {0.25, 0.5, 0.75};
        for (int i = 0; i < 3; i++) {
            gMethod.afStdConc[i] = kafConc[i];
            gMethod.afStdAbs[i] = kafAbs[i];
        }
        gMethod.bCurveFit = bFit;
        Walk({{KEY_SOFT4, STATE_CURVE_COEFFICIENTS}});
    }
    // A new kinetics method (interval 0:10, end 0:30, rate x factor), on its run
    // screen after a blank.
    void KineticsMethodToRun()
    {
        PowerUpToMainMenu();
        Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT3, STATE_METHOD_LIST}, {KEY_SOFT1, STATE_METHOD_PROGRAM}});
        ToField(5);
        Walk({{KEY_SOFT4, STATE_METHOD_KINETICS}, {KEY_RIGHT, STATE_METHOD_KINETICS},
              {KEY_SOFT4, STATE_KINETICS_DISPLAY}, {KEY_SOFT4, STATE_METHOD_PROGRAM}});
        ToField(8);
        Walk({{KEY_SOFT4, STATE_KINETICS_END_TIME}, {KEY_UP, STATE_KINETICS_END_TIME}, {KEY_UP, STATE_KINETICS_END_TIME},
              {KEY_SOFT4, STATE_METHOD_PROGRAM}, {KEY_SOFT1, STATE_METHOD_SUMMARY}, {KEY_SOFT1, STATE_METHOD_RUN}});
        Reading(KEY_REF);
    }
    // The rate of the run's readings in A per minute, worked here from the
    // readings: least squares against the reading number, 10-second interval.
    static double RatePerMinute()
    {
        int n = gKinetics.bCount;
        double fMid = (n - 1) / 2.0, fNum = 0.0, fDen = 0.0;
        for (int k = 0; k < n; k++) {
            fNum += (k - fMid) * gKinetics.afAbs[k];
            fDen += (k - fMid) * (k - fMid);
        }
        return fNum / fDen * 60.0 / 10.0;
    }
    // The comma-separated kinetics record after the prefix: method 00, the four
    // readings with their times, the rate, the final result (rate x 1) and g/l.
    static std::string KineticsRecordTail()
    {
        std::string s = ",00,";
        const char* const kapszTimes[4] = {"00,00,", "00,10,", "00,20,", "00,30,"};
        for (int k = 0; k < 4; k++)
            s += kapszTimes[k] + Field6(gKinetics.afAbs[k]) + ",";
        return s + "dA/min\\*F," + Field6(RatePerMinute()) + "," + Field7(RatePerMinute()) + ",g/l";
    }
    const std::string& Sent() { return Host().SerialText(); }
};

// ---------------------------------------------------------------- calibration print (55)

TEST_F(MethodPrintTest, CalibrationPrintsTheLinearCoefficientsAndTheGraph)
{
    CurveGraph(FIT_LINEAR);
    SetSampleNumber(4);
    struct Case {
        uint8_t bDevice;
        int nPictureBytes;
    } kCases[] = {{0, HARDCOPY_OTHER_BYTES}, {1, HARDCOPY_PR2_BYTES}};
    for (const Case& c : kCases) {
        SetOutputDevice(c.bDevice);
        Host().ClearSerialText();
        Walk({{KEY_SOFT4, STATE_CURVE_COEFFICIENTS}});
        // A = 0.25 K exactly: m 0.250, c 0.000, correlation 1; no sample number.
        std::smatch match;
        ASSERT_TRUE(std::regex_search(Sent(), match,
                                      std::regex(std::string("^Date : ") + kpszDate + "\r\nTime : " + kpszTime +
                                                 "\r\nCorr Coeff : 1.000\r\nCoefficient m : 0.250\r\n"
                                                 "Coefficient c : 0.000\r\n")))
            << "device " << int(c.bDevice) << ": " << Sent().substr(0, 120);
        EXPECT_EQ(Sent().size(), match[0].length() + static_cast<size_t>(c.nPictureBytes)) << "device " << int(c.bDevice);
    }
    SetOutputDevice(2);
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_CURVE_COEFFICIENTS}});
    EXPECT_TRUE(std::regex_match(Sent(), std::regex("\r\n(\\d\\d,){5}04,,1.000,0.250,0.000\r\n"))) << Sent();
    // The calibration is no reading: the sample number stays where it was.
    EXPECT_EQ(gunSampleNumber, 4);
    EXPECT_EQ(gbPrintedSinceReading, 0);
}

TEST_F(MethodPrintTest, CalibrationPrintOfACurveHasNoCoefficientLines)
{
    CurveGraph(FIT_CURVE);
    SetOutputDevice(0);
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_CURVE_COEFFICIENTS}});
    std::smatch match;
    ASSERT_TRUE(std::regex_search(Sent(), match,
                                  std::regex(std::string("^Date : ") + kpszDate + "\r\nTime : " + kpszTime + "\r\n")))
        << Sent().substr(0, 80);
    EXPECT_EQ(Sent().size(), match[0].length() + static_cast<size_t>(HARDCOPY_OTHER_BYTES));
}

// ---------------------------------------------------------------- method run (43)

struct CurveRunCase {
    double afConc[2], afAbs[2];
    bool bInside;  // the sample lies within the standards' span
};

void PrintTo(const CurveRunCase& c, std::ostream* pOs) { *pOs << (c.bInside ? "inside" : "outside"); }

class CurveRunPrintTest : public MethodPrintTest, public ::testing::WithParamInterface<CurveRunCase> {};

TEST_P(CurveRunPrintTest, PrintsTheConcentrationOrOutOfRangeWithTheCurveValue)
{
    const CurveRunCase& c = GetParam();
    CurveGraph(FIT_LINEAR);
    for (int i = 0; i < 5; i++)
        gMethod.afStdConc[i] = i < 2 ? c.afConc[i] : STANDARD_NOT_SET;
    gMethod.afStdAbs[0] = c.afAbs[0];
    gMethod.afStdAbs[1] = c.afAbs[1];
    gMethod.afStdAbs[2] = 0.0;
    Walk({{KEY_ESCAPE, STATE_STANDARDS_TABLE}, {KEY_SOFT4, STATE_CURVE_COEFFICIENTS},
          {KEY_SOFT3, STATE_METHOD_PROGRAM}, {KEY_SOFT1, STATE_METHOD_SUMMARY}, {KEY_SOFT1, STATE_METHOD_RUN}});
    Reading(KEY_REF);
    Reading(KEY_TEST);
    double fA = Absorbance(550);
    ASSERT_GT(fA, 0.0);
    ASSERT_LT(fA, 1.0);
    // Both lines have a slope of 0.5 A per unit.
    double fK = (fA - (c.afAbs[0] - 0.5 * c.afConc[0])) / 0.5;
    std::string sName(gMethod.szName, 13);

    SetOutputDevice(0);
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_SAMPLE_NUMBER}, {KEY_SOFT4, STATE_METHOD_RUN}});
    std::string sResult = c.bInside ? "Result : " + Field7(fK) : "Sample out of range\r\n         " + Field7(fK);
    EXPECT_TRUE(std::regex_match(Sent(), std::regex(std::string("Date : ") + kpszDate + "\r\nTime : " + kpszTime +
                                                    "\r\nSample No. : 01\r\nMethod : 00\r\nName : " + sName +
                                                    "\r\nWavelength : 550\r\nFactor : Curve\r\n" + sResult +
                                                    " g/l\r\n\r\n")))
        << Sent();
    SetOutputDevice(2);
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_SAMPLE_NUMBER}, {KEY_SOFT4, STATE_METHOD_RUN}});
    EXPECT_TRUE(std::regex_match(Sent(), std::regex("\r\n(\\d\\d,){5}01,,00," + Field7(fK) + ",g/l,curve\r\n")))
        << Sent();
}

INSTANTIATE_TEST_SUITE_P(Standards, CurveRunPrintTest,
                         ::testing::Values(CurveRunCase{{0.0, 1.0}, {0.0, 0.5}, true},     // K = A / 0.5
                                           CurveRunCase{{1.0, 2.0}, {1.0, 1.5}, false}),  // span 1.0..1.5 A
                         [](const ::testing::TestParamInfo<CurveRunCase>& info) {
                             return std::string(info.param.bInside ? "InsideTheSpan" : "OutsideTheSpan");
                         });

// ---------------------------------------------------------------- kinetics

TEST_F(MethodPrintTest, KineticsRunDrivesTheLiveOutputAndPrintsAtItsEnd)
{
    KineticsMethodToRun();
    SetOutputDevice(2);
    SetAutoPrint(1);
    SetSampleNumber(5);
    Host().ClearSerialText();
    Press(KEY_TEST);
    ASSERT_TRUE(WaitState(STATE_KINETICS_RUN, 10000));
    EXPECT_EQ(gnAnaMode, ANA_LIVE);
    EXPECT_EQ(gnAnaPeriod, 12000u) << "the interval plus two seconds";
    ASSERT_TRUE(WaitState(STATE_KINETICS_RESULT, 40000));
    ASSERT_EQ(gKinetics.bCount, 4);

    // One record per reading as it was taken, then the run's report with the
    // stored sample number (the first print since start-up).
    std::string sExpected;
    for (int k = 0; k < 4; k++)
        sExpected += "550 nm\t" + Field6(gKinetics.afAbs[k]) + " Abs\t" + kpszTime + "\t" + kpszDate +
                     " \\(dd/mm/yy\\)\r\n";
    sExpected += std::string("\r\n(\\d\\d,){5}05,") + KineticsRecordTail() + "\r\n";
    EXPECT_TRUE(std::regex_match(Sent(), std::regex(sExpected))) << Sent();

    // The chart recorder finishes its ramps and rests on the last reading.
    EXPECT_NE(gnAnaMode, ANA_DIRECT);
    Host().AdvanceMs(30000);
    EXPECT_EQ(gnAnaMode, ANA_DIRECT);
    EXPECT_EQ(gunAnaOutput, AbsorbanceToOutput(gKinetics.afAbs[3]));
}

TEST_F(MethodPrintTest, KineticsResultAndGraphPrintInBothFamilies)
{
    KineticsMethodToRun();
    Press(KEY_TEST);
    ASSERT_TRUE(WaitState(STATE_KINETICS_RESULT, 50000));
    ASSERT_EQ(gKinetics.bCount, 4);
    std::string sName(gMethod.szName, 13);

    SetOutputDevice(0);
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_KINETICS_RESULT}});
    std::string sExpected = std::string("Date : ") + kpszDate + "\r\nTime : " + kpszTime +
                            "\r\nSample No. : 01\r\nMethod : 00\r\nName : " + sName +
                            "\r\nWavelength : 550\r\nFactor :  1.0000\r\n"
                            "Start : 00m 00s\r\nInterval : 00m 10s\r\nEnd : 00m 30s\r\n\r\n";
    const char* const kapszTimes[4] = {"00m 00s", "00m 10s", "00m 20s", "00m 30s"};
    for (int k = 0; k < 4; k++)
        sExpected += Field6(gKinetics.afAbs[k]) + "A at " + kapszTimes[k] + "\r\n";
    sExpected += "dA/min : " + Field6(RatePerMinute()) + "\r\nCorr coeff : " + Field6(gKinetics.fCorrelation) +
                 "\r\n\r\nFinal result : " + Field7(RatePerMinute()) + " g/l\r\n\r\n";
    EXPECT_TRUE(std::regex_match(Sent(), std::regex(sExpected))) << Sent();

    SetOutputDevice(2);
    Host().ClearSerialText();
    Walk({{KEY_SOFT1, STATE_KINETICS_GRAPH}, {KEY_SOFT4, STATE_KINETICS_GRAPH}});
    EXPECT_TRUE(std::regex_match(Sent(), std::regex("\r\n(\\d\\d,){5}01," + KineticsRecordTail() + "\r\n"))) << Sent();

    // The printed graph: date, time and sample number lines, then the picture.
    SetOutputDevice(1);
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_KINETICS_GRAPH}});
    std::smatch match;
    ASSERT_TRUE(std::regex_search(Sent(), match,
                                  std::regex(std::string("^Date : ") + kpszDate + "\r\nTime : " + kpszTime +
                                             "\r\nSample No. : 01\r\n")))
        << Sent().substr(0, 80);
    EXPECT_EQ(Sent().size(), match[0].length() + static_cast<size_t>(HARDCOPY_PR2_BYTES));
}

TEST_F(MethodPrintTest, EscapeDuringAKineticsRunDrainsTheLiveOutput)
{
    KineticsMethodToRun();
    Press(KEY_TEST);
    ASSERT_TRUE(WaitState(STATE_KINETICS_RUN, 10000));
    ASSERT_EQ(gnAnaMode, ANA_LIVE);
    Walk({{KEY_ESCAPE, STATE_METHOD_RUN}});
    EXPECT_EQ(gnAnaMode, ANA_DRAINING);
    Host().AdvanceMs(15000);
    EXPECT_EQ(gnAnaMode, ANA_DIRECT);
    EXPECT_EQ(gunAnaOutput, AbsorbanceToOutput(gKinetics.afAbs[0]));
}

}  // namespace
