// Result reports: every layout of both families as literal lines, the value
// marks, the date order, the heading once per run, the after-reading print
// step with its sample-number rules, and the per-reading record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <regex>
#include <sstream>
#include <string>

#include "comms/analogue.h"
#include "comms/remote.h"
#include "comms/report.h"
#include "core/serial.h"
#include "display/lcd.h"
#include "measure/diag.h"
#include "measure/reading.h"
#include "storage/i2c.h"
#include "storage/params.h"
#include "support/firmware_fixture.h"

namespace {

const std::string SP18(18, ' ');

// A host without a running firmware: the test thread calls the reports and
// reads what reached the serial port. The result was made on 5 March 2026 at
// 10:07 and carries sample number 3.
class ReportTest : public ScratchDirTest {
protected:
    void SetUp() override
    {
        ScratchDirTest::SetUp();
        m_pHost = std::make_unique<CInstrument>();
        SerialInit();
        m_pHost->ClearSerialText();
        ReportInit();
        std::memset(&gReport, 0, sizeof gReport);
        const uint8_t abClock[6] = {5, 3, 26, 10, 7, 0};
        std::memcpy(gReport.abClock, abClock, sizeof abClock);
        gunSampleNumber = 3;
        gbDateFormat = 1;
        gbOutputDevice = 0;
        gbLanguage = 0;
    }
    void TearDown() override
    {
        m_pHost.reset();
        ScratchDirTest::TearDown();
    }
    // The report of gReport, without the heading unless it is asked for.
    std::string Print(bool bHeading = false)
    {
        gbReportHeading = bHeading ? 1 : 0;
        m_pHost->ClearSerialText();
        PrintResult();
        return m_pHost->SerialText();
    }
    void SetSingle(uint8_t bKind, double fValue, uint16_t unNm = 600)
    {
        gReport.bKind = bKind;
        gReport.afValue[0] = fValue;
        gReport.aunNm[0] = unNm;
    }
    void SetMethod(uint8_t bSlot, const char* pszName, uint16_t unNm, uint8_t bCurve, double fFactor, uint8_t bUnits)
    {
        ReportMethod& m = gReport.method;
        m.bSlot = bSlot;
        std::snprintf(m.szName, sizeof m.szName, "%-13s", pszName);
        m.unWavelength = unNm;
        m.bCurve = bCurve;
        m.fFactor = fFactor;
        m.bUnits = bUnits;
        for (double& f : m.afStdConc)
            f = 100000.0;
    }
    std::unique_ptr<CInstrument> m_pHost;
};

struct SingleCase {
    uint8_t bKind;
    double fValue;
    uint8_t bDevice;
    const char* pszExpected;
};

TEST_F(ReportTest, SingleValueLinesWithTheirMarks)
{
    const SingleCase acases[] = {
        // Printed: 18-character prefix, 6-character value field, " A     nm".
        {REPORT_ABSORBANCE, 0.123, 0, "05/03/26 10:07 03  0.123 A     600\r\n"},
        {REPORT_ABSORBANCE, 2.495, 1, "05/03/26 10:07 03 >2.5   A     600\r\n"},
        {REPORT_ABSORBANCE, 2.49, 0, "05/03/26 10:07 03  2.490 A     600\r\n"},
        {REPORT_ABSORBANCE, -0.3, 0, "05/03/26 10:07 03 -0.300 A     600\r\n"},
        {REPORT_ABSORBANCE, -0.31, 0, "05/03/26 10:07 03 <-0.3  A     600\r\n"},
        {REPORT_ABSORBANCE, 61111.0, 0, "05/03/26 10:07 03 -----  A     600\r\n"},
        {REPORT_ABSORBANCE, -0.0004, 0, "05/03/26 10:07 03  0.000 A     600\r\n"},
        {REPORT_CELL_DENSITY, 2.8, 0, "05/03/26 10:07 03  2.800 OD    600\r\n"},
        {REPORT_CELL_DENSITY, 3.2, 1, "05/03/26 10:07 03 >3     OD    600\r\n"},
        {REPORT_CELL_DENSITY, -0.5, 0, "05/03/26 10:07 03 <-0.3  OD    600\r\n"},
        {REPORT_CELL_DENSITY, 61111.0, 0, "05/03/26 10:07 03 ---    OD    600\r\n"},
        {REPORT_TRANSMITTANCE, 45.3, 0, "05/03/26 10:07 03  45.3   % T   600\r\n"},
        {REPORT_TRANSMITTANCE, 0.5, 0, "05/03/26 10:07 03  <1      % T   600\r\n"},
        {REPORT_TRANSMITTANCE, 200.0, 0, "05/03/26 10:07 03  >200    % T   600\r\n"},
        {REPORT_TRANSMITTANCE, 199.9, 0, "05/03/26 10:07 03  199.9   % T   600\r\n"},
        {REPORT_TRANSMITTANCE, 61111.0, 0, "05/03/26 10:07 03  ----    % T   600\r\n"},
        // Comma-separated: CR LF, the prefix, the value field and its label.
        {REPORT_ABSORBANCE, 0.123, 2, "\r\n05,03,26,10,07,03, 0.123,A,600\r\n"},
        {REPORT_ABSORBANCE, 2.6, 2, "\r\n05,03,26,10,07,03,>2.5  ,A,600\r\n"},
        {REPORT_ABSORBANCE, -1.0, 2, "\r\n05,03,26,10,07,03,<-0.3 ,A,600\r\n"},
        {REPORT_TRANSMITTANCE, 45.3, 2, "\r\n05,03,26,10,07,03,45.3,% T,600\r\n"},
        {REPORT_TRANSMITTANCE, 250.0, 2, "\r\n05,03,26,10,07,03,>200 ,% T,600\r\n"},
        {REPORT_CELL_DENSITY, 1.5, 2, "\r\n05,03,26,10,07,03, 1.500,OD,600\r\n"},
    };
    for (const SingleCase& c : acases) {
        SetSingle(c.bKind, c.fValue);
        gbOutputDevice = c.bDevice;
        EXPECT_EQ(Print(), c.pszExpected) << "kind " << int(c.bKind) << " value " << c.fValue;
    }
}

TEST_F(ReportTest, DateOrderFollowsTheDateFormat)
{
    SetSingle(REPORT_ABSORBANCE, 0.5, 340);
    gbDateFormat = 0;
    EXPECT_EQ(Print(), "03/05/26 10:07 03  0.500 A     340\r\n");
    gbOutputDevice = 2;
    EXPECT_EQ(Print(), "\r\n03,05,26,10,07,03, 0.500,A,340\r\n");
    gbDateFormat = 1;
    EXPECT_EQ(Print(), "\r\n05,03,26,10,07,03, 0.500,A,340\r\n");
}

TEST_F(ReportTest, RatioAndMultiPrintOneLinePerValue)
{
    gReport.bKind = REPORT_RATIO;
    gReport.afValue[0] = 0.5;
    gReport.afValue[1] = 0.25;
    gReport.afValue[2] = 2.0;
    gReport.aunNm[0] = 360;
    gReport.aunNm[1] = 380;
    EXPECT_EQ(Print(), "05/03/26 10:07 03  0.500 A     360\r\n" + SP18 + " 0.250 A     380\r\n" + SP18 +
                           " 2.000 Ratio\r\n");
    gReport.afValue[2] = 3.5;  // a ratio has no upper mark
    EXPECT_EQ(Print(), "05/03/26 10:07 03  0.500 A     360\r\n" + SP18 + " 0.250 A     380\r\n" + SP18 +
                           " 3.500 Ratio\r\n");
    gReport.afValue[0] = 61111.0;
    gReport.afValue[2] = 61111.0;
    // A ratio that is no value says why, as the screen does.
    EXPECT_EQ(Print(), "05/03/26 10:07 03 -----  A     360\r\n" + SP18 + " 0.250 A     380\r\n" + SP18 +
                           "-----  Ratio\r\nSample out of range\r\n");
    gbOutputDevice = 2;
    gReport.afValue[0] = 0.5;
    gReport.afValue[2] = 2.0;
    EXPECT_EQ(Print(), "\r\n05,03,26,10,07,03, 0.500,A,360, 0.250,A,380, 2.000,A1/A2\r\n");

    gReport.bKind = REPORT_MULTI;
    const double afA[4] = {0.1, 0.2, 2.7, -0.4};
    const uint16_t aunNm[4] = {340, 546, 628, 830};
    for (int i = 0; i < 4; i++) {
        gReport.afValue[i] = afA[i];
        gReport.aunNm[i] = aunNm[i];
    }
    EXPECT_EQ(Print(), "\r\n05,03,26,10,07,03, 0.100,A,340, 0.200,A,546,>2.5  ,A,628,<-0.3 ,A,830,\r\n");
    gbOutputDevice = 1;
    EXPECT_EQ(Print(), "05/03/26 10:07 03  0.100 A     340\r\n" + SP18 + " 0.200 A     546\r\n" + SP18 +
                           ">2.5   A     628\r\n" + SP18 + "<-0.3  A     830\r\n");
}

TEST_F(ReportTest, HeadingOncePerRunOfResultLines)
{
    const std::string sHeading = "Date     Time  No Value  Units nm\r\n";
    const std::string sLine = "05/03/26 10:07 03  0.123 A     600\r\n";
    SetSingle(REPORT_ABSORBANCE, 0.123);
    EXPECT_EQ(Print(true), sHeading + sLine);
    m_pHost->ClearSerialText();
    PrintResult();
    gReport.bKind = REPORT_MULTI;
    PrintResult();
    EXPECT_EQ(m_pHost->SerialText().find("Date     Time"), std::string::npos);

    // A report of another kind ends the run: the next result line is headed again.
    SetMethod(1, "A", 500, 0, 1.0, 0);
    gReport.bKind = REPORT_METHOD;
    PrintResult();
    SetSingle(REPORT_ABSORBANCE, 0.123);
    m_pHost->ClearSerialText();
    PrintResult();
    EXPECT_EQ(m_pHost->SerialText(), sHeading + sLine);

    // The comma-separated family has no heading.
    gbOutputDevice = 2;
    gReport.bKind = REPORT_METHOD;
    PrintResult();
    gReport.bKind = REPORT_ABSORBANCE;
    m_pHost->ClearSerialText();
    PrintResult();
    EXPECT_EQ(m_pHost->SerialText(), "\r\n05,03,26,10,07,03, 0.123,A,600\r\n");
}

TEST_F(ReportTest, MethodResultBlock)
{
    const std::string sTop = "Date : 05/03/26\r\nTime : 10:07\r\nSample No. : 03\r\nMethod : 05\r\n"
                             "Name : NITRATE      \r\nWavelength : 540\r\n";
    gReport.bKind = REPORT_METHOD;
    SetMethod(5, "NITRATE", 540, 0, 2.0, 1);
    gReport.fAbsorbance = 0.123;
    gReport.fResult = 0.246;
    EXPECT_EQ(Print(), sTop + "Factor :  2.0000\r\nResult :  0.2460 mg/l\r\n\r\n");
    gReport.method.fFactor = 0.5;  // below 1 the factor gets one more decimal
    gReport.method.bUnits = 15;    // a blank unit prints no units text
    EXPECT_EQ(Print(), sTop + "Factor :  0.5000\r\nResult :  0.2460\r\n\r\n");
    gReport.fAbsorbance = 2.6;  // the absorbance marks replace the result
    gReport.method.bUnits = 10;
    EXPECT_EQ(Print(), sTop + "Factor :  0.5000\r\nResult : >2.5   ug/ml\r\n\r\n");

    // Curve method outside the standards: the warning, then the value from the curve.
    gReport.method.bCurve = 1;
    gReport.fAbsorbance = 1.9;
    gReport.fResult = 12.3456;
    gReport.bOutOfRange = 1;
    gReport.method.bUnits = 8;
    EXPECT_EQ(Print(), sTop + "Factor : Curve\r\nSample out of range\r\n          12.346 %\r\n\r\n");

    gbOutputDevice = 2;
    EXPECT_EQ(Print(), "\r\n05,03,26,10,07,03,,05, 12.346,%,curve\r\n");
    gReport.method.bCurve = 0;
    gReport.fAbsorbance = -0.5;
    EXPECT_EQ(Print(), "\r\n05,03,26,10,07,03,,05,<-0.3 ,%\r\n");
}

TEST_F(ReportTest, KineticsBlockAndRecord)
{
    gReport.bKind = REPORT_KINETICS;
    SetMethod(2, "RATE TEST", 340, 0, 1.0, 13);
    ReportMethod& m = gReport.method;
    m.bKinetics = 1;
    m.bIntervalSec = 30;
    m.bEndMin = 1;
    gReport.bReadings = 3;
    gReport.afKinetics[0] = 0.1;
    gReport.afKinetics[1] = 0.2;
    gReport.afKinetics[2] = 0.3;
    gReport.fRate = 0.2;
    gReport.fCorrCoeff = 1.0;
    gReport.fFinal = 0.2;
    EXPECT_EQ(Print(),
              "Date : 05/03/26\r\nTime : 10:07\r\nSample No. : 03\r\nMethod : 02\r\nName : RATE TEST    \r\n"
              "Wavelength : 340\r\nFactor :  1.0000\r\n"
              "Start : 00m 00s\r\nInterval : 00m 30s\r\nEnd : 01m 00s\r\n\r\n"
              " 0.100A at 00m 00s\r\n 0.200A at 00m 30s\r\n 0.300A at 01m 00s\r\n"
              "dA/min :  0.200\r\nCorr coeff :  1.000\r\n\r\n"
              "Final result :  0.2000 abs\r\n\r\n");
    gbOutputDevice = 2;
    EXPECT_EQ(Print(), "\r\n05,03,26,10,07,03,,02,00,00, 0.100,00,30, 0.200,01,00, 0.300,dA/min*F, 0.200, 0.2000,abs\r\n");
    // A reading above the range: marked in the record, and the result with it.
    gReport.afKinetics[2] = 2.7;
    m.bIntervalSec = 45;  // times carry seconds into minutes
    EXPECT_EQ(Print(), "\r\n05,03,26,10,07,03,,02,00,00, 0.100,00,45, 0.200,01,30,>2.5,dA/min*F, 0.200,>2.5,abs\r\n");
}

TEST_F(ReportTest, MethodSettingsWithStandardsAndCoefficients)
{
    gReport.bKind = REPORT_METHOD_SETTINGS;
    SetMethod(7, "PHOSPHATE", 880, 1, 1.0, 1);
    ReportMethod& m = gReport.method;
    m.bCurveFit = 0;
    m.afStdConc[0] = 0.0;
    m.afStdAbs[0] = 0.01;
    m.afStdConc[1] = 2.0;
    m.afStdAbs[1] = 1.01;
    gReport.fCorrCoeff = 0.9984;
    gReport.fSlope = 0.5;
    gReport.fIntercept = 0.01;
    EXPECT_EQ(Print(), "Date : 05/03/26\r\nTime : 10:07\r\nMethod : 07\r\nName : PHOSPHATE    \r\n"
                       "Wavelength : 880\r\nFactor : Curve\r\n"
                       "Std  mg/l   Abs\r\n1    0.0000  0.010\r\n2    2.0000  1.010\r\n"
                       "Corr Coeff : 0.998\r\nCoefficient m : 0.500\r\nCoefficient c : 0.010\r\n\r\n");
    gbOutputDevice = 2;
    EXPECT_EQ(Print(), "\r\n05,03,26,10,07,03,,07,PHOSPHATE    ,880,curve,mg/l\r\n");
    m.bCurve = 0;
    m.fFactor = 12.5;
    EXPECT_EQ(Print(), "\r\n05,03,26,10,07,03,,07,PHOSPHATE    ,880, 12.500,mg/l\r\n");
}

TEST_F(ReportTest, GraphPrintsLinesInTheLanguageThenThePicture)
{
    LcdClear();
    LcdSetPixel(100, 127);
    gReport.bKind = REPORT_SCAN;
    gbLanguage = 2;
    std::string s = Print();
    const std::string sLines = "Datum : 05/03/26\r\nUhrzeit : 10:07\r\nProbe Nr. : 03\r\n";
    ASSERT_EQ(s.size(), sLines.size() + 7308);
    EXPECT_EQ(s.substr(0, sLines.size()), sLines);
    EXPECT_EQ(s.substr(sLines.size() + 35 * 42, 3), std::string("\x1B\x01\x30"));

    // A linear calibration: no sample number, the coefficient lines.
    gReport.bKind = REPORT_CURVE;
    SetMethod(1, "X", 500, 1, 1.0, 0);
    gReport.method.bCurveFit = 0;
    gReport.fCorrCoeff = 1.0;
    gReport.fSlope = 0.25;
    gReport.fIntercept = -0.0123;
    gbLanguage = 0;
    gbOutputDevice = 1;
    s = Print();
    const std::string sCurve = "Date : 05/03/26\r\nTime : 10:07\r\nCorr Coeff : 1.000\r\nCoefficient m : 0.250\r\n"
                               "Coefficient c : -0.012\r\n";
    ASSERT_EQ(s.size(), sCurve.size() + 11616);
    EXPECT_EQ(s.substr(0, sCurve.size() + 4), sCurve + std::string("\x1B\x4B\x00\x01", 4));
    gReport.method.bCurveFit = 1;  // a polynomial curve has no coefficient lines
    EXPECT_EQ(Print().size(), std::string("Date : 05/03/26\r\nTime : 10:07\r\n").size() + 11616);

    gbOutputDevice = 2;
    gReport.method.bCurveFit = 0;
    EXPECT_EQ(Print(), "\r\n05,03,26,10,07,03,,1.000,0.250,-0.012\r\n");
}

// The self-test report: rows (0 not run, 1 passed, 2 failed), the findings
// of the run, and the advice under the rows in both families.
TEST_F(ReportTest, SelfTestReportAdvisesByFailedRowAndFindings)
{
    struct Case {
        uint8_t abRows[3];
        uint16_t unFindings;
        const char* pszAdvice;    // printed lines after the three rows
        const char* pszPcAdvice;  // the comma-separated record's last field
    } kCases[] = {
        {{1, 1, 1}, 0x0C0, "All tests passed\r\n", "All tests passed"},
        {{2, 1, 1}, 0, "Lamp failure, replace\r\n", "Check cuvette chamber is clear then re-test"},
        {{2, 1, 1}, 0x002 | 0x080, "Lamp failure, replace\r\n", "Check cuvette chamber is clear then re-test"},
        {{2, 1, 1}, 0x080, "Lamp too dim, replace soon\r\nUV levels low, replace\r\nlamp soon\r\n",
         "Lamp too dim. Replace lamp soon"},
        {{2, 1, 1}, 0x280,
         "Lamp too dim, replace soon\r\nUV levels low, replace\r\nlamp soon\r\nIR levels low, replace\r\nlamp soon\r\n",
         "Lamp too dim. Replace lamp soon"},
        {{1, 2, 1}, 0, "Check cuvette chamber is clear\r\nthen re-test\r\n",
         "Check cuvette chamber is clear then re-test"},
        {{1, 2, 0}, 0x400, "Check cuvette chamber is clear\r\nthen re-test\r\nWavelength 600nm (-50)\r\nSee handbook\r\n",
         "Check cuvette chamber is clear then re-test"},
        {{1, 1, 2}, 0x020, "Diode array problem\r\nReturn instrument to an\r\nauthorised service agent\r\n",
         "Check cuvette chamber is clear then re-test"},
        {{2, 1, 2}, 0x200,
         "Lamp too dim, replace soon\r\nIR levels low, replace\r\nlamp soon\r\n"
         "Diode array problem\r\nReturn instrument to an\r\nauthorised service agent\r\n",
         "Check cuvette chamber is clear then re-test"},
        {{2, 2, 2}, 0x7FF, "General system failure\r\nReturn instrument to an\r\nauthorised service agent\r\n",
         "Check cuvette chamber is clear then re-test"},
    };
    const uint8_t abClock[6] = {5, 3, 26, 10, 7, 0};
    gnDiagLedPixel = 559;  // the nominal pixel of 600 nm
    gnDiagOffset = -50;
    for (const Case& c : kCases) {
        auto Mark = [&](int i, const char* pszFail, const char* pszPass) {
            return std::string(c.abRows[i] == 2 ? pszFail : c.abRows[i] == 1 ? pszPass : "-");
        };
        gbOutputDevice = 0;
        m_pHost->ClearSerialText();
        PrintSelfTestReport(c.abRows, c.unFindings, abClock);
        EXPECT_EQ(m_pHost->SerialText(), "Date : 05/03/26\r\nTime : 10:07\r\nSelf Diagnostics\r\nTungsten Lamp : " +
                                             Mark(0, "FAIL", "PASS") + "\r\nWavelength Calibration : " +
                                             Mark(1, "FAIL", "PASS") + "\r\nDiode Array : " + Mark(2, "FAIL", "PASS") +
                                             "\r\n" + c.pszAdvice + "\r\n")
            << "findings " << c.unFindings;
        gbOutputDevice = 2;
        m_pHost->ClearSerialText();
        PrintSelfTestReport(c.abRows, c.unFindings, abClock);
        EXPECT_EQ(m_pHost->SerialText(), "\r\n05,03,26,10,07,Self Diagnostics,Tungsten Lamp," + Mark(0, "Fail", "Pass") +
                                             ",Wavelength Calibration," + Mark(1, "Fail", "Pass") + ",Diode Array," +
                                             Mark(2, "Fail", "Pass") + "," + c.pszPcAdvice + "\r\n")
            << "findings " << c.unFindings;
    }
}

TEST_F(ReportTest, ScanRecordCoversTheShownRangeInBothModes)
{
    CompleteReading(READ_REFERENCE);
    CompleteReading(READ_SAMPLE);
    gReport.bKind = REPORT_SCAN;
    gReport.unScanFirst = 705;
    gReport.unScanLast = 829;
    gbOutputDevice = 2;
    std::string s = Print();
    std::smatch match;
    ASSERT_TRUE(std::regex_match(s, match, std::regex("\r\n05,03,26,10,07,03,\r\n705,[ -]\\d\\.\\d{3},\r\n(\\d{3},[ -]\\d+\\.\\d+,\r\n){124}"
                                                      "[ -]\\d+\\.\\d+,(\\d+),\r\n\r\n")));
    EXPECT_EQ(match[2].str(), std::to_string((705 + 829) * 125 / 2));

    gReport.bTransmittance = 1;
    s = Print();
    ASSERT_TRUE(std::regex_match(s, match, std::regex("\r\n05,03,26,10,07,03,\r\n(\\d{3},\\d{1,3},\r\n){125}(\\d+),(\\d+),\r\n\r\n")));
    EXPECT_EQ(match[3].str(), std::to_string((705 + 829) * 125 / 2));
    // Each point is its %T rounded to the nearest whole number, at most 200;
    // the sum line adds them up.
    std::istringstream lines(s.substr(s.find('\n', 2) + 1));
    long lSum = 0;
    int nRoundedUp = 0;
    for (int nNm = 705; nNm <= 829; nNm++) {
        double fPercent = Transmittance(nNm);
        long lExpected = std::clamp(std::lround(fPercent), 0L, 200L);
        nRoundedUp += std::lround(fPercent) > static_cast<long>(fPercent);
        std::string sLine;
        std::getline(lines, sLine);
        EXPECT_EQ(sLine, std::to_string(nNm) + "," + std::to_string(lExpected) + ",\r") << fPercent;
        lSum += lExpected;
    }
    EXPECT_GT(nRoundedUp, 10);  // the spectrum has points that round up
    EXPECT_EQ(match[2].str(), std::to_string(lSum));
}

// The print step after a reading, with the sample number it prints and stores.
class PrintStepTest : public ReportTest {
protected:
    void SetUp() override
    {
        ReportTest::SetUp();
        I2cPowerUp();  // the sample number is stored as it changes
        SetSingle(REPORT_ABSORBANCE, 0.25);
        gbOutputDevice = 2;
    }
    // The sample number field of what the step printed, or "" when nothing was.
    std::string StepPrints()
    {
        m_pHost->ClearSerialText();
        bool bPrinted = PrintAfterReading();
        const std::string& s = m_pHost->SerialText();
        EXPECT_EQ(bPrinted, !s.empty());
        return s.empty() ? "" : s.substr(17, 2);
    }
};

TEST_F(PrintStepTest, AutoPrintKeepsTheStoredNumberFirstThenAddsOne)
{
    gbAutoPrint = 1;
    EXPECT_EQ(StepPrints(), "03");
    EXPECT_EQ(StepPrints(), "04");
    EXPECT_EQ(StepPrints(), "05");
    EXPECT_EQ(gunSampleNumber, 5);
    gunSampleNumber = 99;
    EXPECT_EQ(StepPrints(), "00");
}

TEST_F(PrintStepTest, WithoutAutoPrintTheNumberAdvancesOnceAfterAPrintedResult)
{
    gbAutoPrint = 0;
    EXPECT_EQ(StepPrints(), "");
    EXPECT_EQ(gunSampleNumber, 3);
    PrintOnRequest();
    EXPECT_EQ(gunSampleNumber, 3);
    EXPECT_EQ(StepPrints(), "");
    EXPECT_EQ(gunSampleNumber, 4);
    EXPECT_EQ(StepPrints(), "");
    EXPECT_EQ(gunSampleNumber, 4);
    // Switching auto-print on later: the first print was used up by the readings before.
    gbAutoPrint = 1;
    EXPECT_EQ(StepPrints(), "05");
}

TEST_F(PrintStepTest, BusySerialOutputSkipsThePrintWithoutDelayingIt)
{
    gbAutoPrint = 1;
    RingPut(&gTxRing, 'x');
    EXPECT_EQ(StepPrints(), "");
    EXPECT_EQ(gunSampleNumber, 3);
    RingTake(&gTxRing);
    // The skipped print does not come out later: one record, with the stored number.
    EXPECT_EQ(StepPrints(), "03");
    EXPECT_EQ(m_pHost->SerialText().size(), std::string("\r\n05,03,26,10,07,03, 0.250,A,600\r\n").size());
}

TEST_F(ReportTest, ReadingRecordSetsTheAnalogueOutputAndSendsTheDataMode)
{
    AnalogueInit();
    CompleteReading(READ_REFERENCE);
    CompleteReading(READ_SAMPLE);
    gnDataMode = 0;
    SendReadingRecord(0, 600);
    EXPECT_EQ(gunAnaOutput, AbsorbanceToOutput(Absorbance(600)));
    EXPECT_TRUE(std::regex_match(m_pHost->SerialText(),
                                 std::regex("600 nm\t[ -]\\d\\.\\d{3} Abs\t\\d\\d:\\d\\d\t\\d\\d/\\d\\d/\\d\\d \\(dd/mm/yy\\)\r\n")))
        << m_pHost->SerialText();

    m_pHost->ClearSerialText();
    SendReadingRecord(1, 450);
    EXPECT_EQ(gunAnaOutput, TransmittanceToOutput(TransmittanceByte(450)));
    EXPECT_TRUE(std::regex_match(m_pHost->SerialText(),
                                 std::regex("450 nm\t\\d{1,3} %\t\\d\\d:\\d\\d\t\\d\\d/\\d\\d/\\d\\d \\(dd/mm/yy\\)\r\n")))
        << m_pHost->SerialText();
    // %T is rounded: a wavelength whose %T has a fraction of a half or more
    // shows the next whole number, one with less shows the number below.
    int nUp = 0, nDown = 0;
    for (int nNm = 330; nNm <= 830 && (nUp == 0 || nDown == 0); nNm++) {
        double fFraction = Transmittance(nNm) - std::floor(Transmittance(nNm));
        if (Transmittance(nNm) > 1.0 && fFraction > 0.55 && fFraction < 0.95 && nUp == 0)
            nUp = nNm;
        if (Transmittance(nNm) > 1.0 && fFraction > 0.05 && fFraction < 0.45 && nDown == 0)
            nDown = nNm;
    }
    ASSERT_NE(nUp, 0);
    ASSERT_NE(nDown, 0);
    for (int nNm : {nUp, nDown}) {
        m_pHost->ClearSerialText();
        SendReadingRecord(1, nNm);
        EXPECT_TRUE(m_pHost->SerialText().starts_with(std::to_string(nNm) + " nm\t" +
                                                     std::to_string(std::lround(Transmittance(nNm))) + " %\t"))
            << Transmittance(nNm) << ": " << m_pHost->SerialText();
    }

    m_pHost->ClearSerialText();
    gnDataMode = 1;
    SendReadingRecord(0, 600);
    const std::string& s = m_pHost->SerialText();
    ASSERT_TRUE(std::regex_match(s, std::regex("([0-9A-F]{3},){501}\r\n")));
    char szFirst[8];
    long lMilli = std::lround(Absorbance(330) * 1000.0);
    std::snprintf(szFirst, sizeof szFirst, "%03lX,", static_cast<unsigned long>(lMilli) & 0xFFFul);
    EXPECT_EQ(s.substr(0, 4), szFirst);
}

}  // namespace
