// Light readings: the reading's timing and wait loop, the dump, the
// corrections and the photometric queries.
#include <gtest/gtest.h>

#include <cmath>

#include "core/serial.h"
#include "core/bridge.h"
#include "core/timers.h"
#include "display/lcd.h"
#include "display/script.h"
#include "measure/diag.h"
#include "measure/frame_sets.h"
#include "measure/measure_fixture.h"
#include "storage/params.h"

// ---------------------------------------------------------------- the reading on the firmware thread

using Reading = MeasureTest;

TEST_F(Reading, LastsFiveSecondsThreeHundredOfFirmwareTime)
{
    uint64_t ullStart = Host().VirtualMs();
    Start([] {
        LcdMoveTo(12, 34);
        TakeReading(READ_REFERENCE);
    });
    Host().Tick(100);  // 5000 ms: still acquiring
    EXPECT_FALSE(Done());
    EXPECT_NE(gnAcqState, 0);
    Finish();
    uint64_t ullTook = Host().VirtualMs() - ullStart;
    EXPECT_GE(ullTook, 5300u);
    EXPECT_LE(ullTook, 5300u + 4 * 50 + 50);  // a tick of latency per phase, and the pass that starts it
    EXPECT_EQ(gnAcqState, 0);
    EXPECT_EQ(gnAcqStatus, 10u);
    EXPECT_EQ(gbReferenceOnly, 1);
    EXPECT_EQ(gunLightReadings[580], gReferenceFrames[580].unLight);
    EXPECT_GT(gfReferenceReadings[250], 0.0f);
    EXPECT_EQ(gbCursorX, 12);  // the text cursor is back where the screen left it
    EXPECT_EQ(gbCursorY, 34);
}

namespace {

int DarkPixels(const CInstrument& host, int nLeft, int nTop, int nRight, int nBottom)
{
    int n = 0;
    for (int y = nTop; y <= nBottom; y++)
        for (int x = nLeft; x <= nRight; x++)
            n += host.Pixel(x, y) ? 1 : 0;
    return n;
}

}  // namespace

// The marching letter on the status line while the reading waits; the line
// is blank again afterwards.
TEST_F(Reading, ProgressIndicator)
{
    Run([] {
        DisplayScript("F0 X0Y0 A1 T129 A0");
        LcdRefresh();
    });
    bool bTextDrawn = DarkPixels(Host(), 0, 0, 30, 15) > 0;
    Run([] { LcdClear(); });
    ASSERT_TRUE(bTextDrawn) << "a display script drew nothing";

    Start([] { TakeReading(READ_SAMPLE); });
    Host().Tick(24);  // 1.2 s: two letters shown
    EXPECT_GT(DarkPixels(Host(), 70, 112, 239, 127), 0);
    Finish();
    EXPECT_EQ(DarkPixels(Host(), 70, 112, 239, 127), 0);
}

// From the keypad the remote interpreter keeps reading the serial port; a
// reading started by the remote interpreter does not re-enter it.
TEST_F(Reading, PollsTheRemoteInterpreterOnlyOutsideRemoteControl)
{
    for (uint8_t bRemote : {0, 1}) {
        Start([bRemote] {
            gbRemoteControl = bRemote;
            TakeReading(READ_SAMPLE);
        });
        Host().Tick(20);
        Host().Inject("X");
        Host().Tick(5);
        EXPECT_FALSE(Done());
        EXPECT_EQ(!SerialRxEmpty(), bRemote == 1) << "remote control " << int(bRemote);
        Finish();
        Run([] {
            while (!SerialRxEmpty())
                SerialGetChar();
            gbRemoteControl = 0;
        });
    }
}

// Closing the program ends the wait; the reading still completes.
TEST_F(Reading, StopRequestEndsTheWait)
{
    Start([] { TakeReading(READ_SAMPLE); });
    Host().Tick(10);
    Host().Shutdown();
    EXPECT_FALSE(Host().Running());
    EXPECT_TRUE(Done());
    EXPECT_EQ(gunLightReadings[579], gSampleFrames[579].unLight);
    EXPECT_EQ(gbReferenceOnly, 0);
}

// The keypad is read while the reading waits: a key pressed and released
// meanwhile is waiting for the screens when it ends.
TEST_F(Reading, KeepsTheKeypadAlive)
{
    Start([] { TakeReading(READ_SAMPLE); });
    Host().Tick(20);
    Host().SetKey(KEY_UP, true);
    Host().Tick(2);
    Host().SetKey(KEY_UP, false);
    Host().Tick(2);
    EXPECT_FALSE(Done());
    Finish();
    EXPECT_EQ(gbKeyEvent, KEY_UP);
}

TEST_F(Reading, DumpLineCounts)
{
    struct Case {
        uint8_t bKind;
        const char* pszHeading;
        const char* pszWindowHeading;
    };
    const Case CASES[] = {
        {READ_SAMPLE, "TEST READINGS", nullptr},
        {READ_REFERENCE, "REFERENCE READINGS", nullptr},
        {READ_LAMP, "LAMP READINGS", nullptr},
        {READ_LED, "LED READINGS", nullptr},
        {READ_DIODE_TEST, "TEST READINGS", "DIODE TEST READINGS"},
        {READ_DIODE_REFERENCE, "REFERENCE READINGS", "DIODE REFERENCE READINGS"},
        {READ_STRAY_TEST, "TEST READINGS", nullptr},
        {READ_STRAY_REFERENCE, "REFERENCE READINGS", nullptr},
    };
    gbReadingsDump = 1;
    for (const Case& c : CASES) {
        Host().ClearSerialText();
        uint8_t bKind = c.bKind;
        Run([bKind] { CompleteReading(bKind); });
        std::vector<std::string> lines = SerialLines(Host().SerialText());
        std::vector<std::string> expectedHeadings = {"LIGHT READINGS", "DARK READINGS", "FRAME COUNTS", c.pszHeading};
        std::vector<size_t> expectedValues = {1024, 1024, 1024, 501};
        if (c.pszWindowHeading) {
            expectedHeadings.push_back(c.pszWindowHeading);
            expectedValues.push_back(181);
        }
        // Each heading is an empty line and the title, then one value a line.
        std::vector<std::string> headings;
        std::vector<size_t> values;
        for (size_t i = 0; i < lines.size(); i++) {
            if (lines[i].empty()) {
                ASSERT_LT(i + 1, lines.size());
                headings.push_back(lines[++i]);
                values.push_back(0);
            } else {
                ASSERT_FALSE(values.empty()) << "value before any heading";
                char* pszEnd = nullptr;
                std::strtod(lines[i].c_str(), &pszEnd);
                EXPECT_EQ(*pszEnd, '\0') << "not a number: " << lines[i];
                values.back()++;
            }
        }
        EXPECT_EQ(headings, expectedHeadings) << "kind " << int(c.bKind);
        EXPECT_EQ(values, expectedValues) << "kind " << int(c.bKind);
        if (bKind == READ_SAMPLE) {
            EXPECT_EQ(lines[2], std::to_string(gSampleFrames[0].unLight));
        }
    }
}

// ---------------------------------------------------------------- corrections

namespace {

double Ramp(int p) { return 1000.0 + 10.0 * p; }

double MeanOf(int nFirst, int nLast)
{
    double fSum = 0;
    for (int p = nFirst; p <= nLast; p++)
        fSum += PixelValue(p);
    return fSum / (nLast - nFirst + 1);
}

class Corrections : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetReadingCorrections();
        gDuffPixels[0] = {-1, 0, 0};
        gDuffPixels[1] = {-1, 0, 0};
        gfSValue = 0;
    }
};

}  // namespace

TEST_F(Corrections, LinearityOfTheSummedCounts)
{
    FillPixels(Ramp, 15000, 2);
    double d = 2 * Ramp(100);
    double x = d / 32768.0;
    EXPECT_DOUBLE_EQ(RawPixelSignal(100), Ramp(100));
    EXPECT_DOUBLE_EQ(LinearPixelSignal(100), (0.01 * x * x - 0.043 * x + 1.0) * d / 2);
    gunLightReadings[7] = 100;  // light below dark: a negative signal, not a wrapped one
    gunDarkReadings[7] = 300;
    EXPECT_DOUBLE_EQ(RawPixelSignal(7), -200.0 / 2);
}

TEST_F(Corrections, DefectivePixelReplacement)
{
    FillPixels([](int p) { return 1000.0 + p * p / 100.0; });
    UpdateDuffPixels();
    EXPECT_DOUBLE_EQ(PixelValue(500), LinearPixelSignal(500));  // both entries empty: nothing changes

    gDuffPixels[0].nPixel = 500;
    gunLightReadings[500] = 60000;
    UpdateDuffPixels();
    EXPECT_DOUBLE_EQ(RawPixelValue(500), (RawPixelSignal(499) + RawPixelSignal(501)) / 2);
    EXPECT_DOUBLE_EQ(PixelValue(500), (LinearPixelSignal(499) + LinearPixelSignal(501)) / 2);
    EXPECT_DOUBLE_EQ(PixelValue(499), LinearPixelSignal(499));

    gDuffPixels[1].nPixel = 0;
    UpdateDuffPixels();
    EXPECT_DOUBLE_EQ(RawPixelValue(0), RawPixelSignal(1));
    EXPECT_DOUBLE_EQ(PixelValue(0), LinearPixelSignal(1));

    // Two neighbours defective: each lies on the line between the good pixels.
    gDuffPixels[1].nPixel = 501;
    UpdateDuffPixels();
    EXPECT_NEAR(PixelValue(500), LinearPixelSignal(499) + (LinearPixelSignal(502) - LinearPixelSignal(499)) / 3, 1e-9);
    EXPECT_NEAR(PixelValue(501), LinearPixelSignal(499) + 2 * (LinearPixelSignal(502) - LinearPixelSignal(499)) / 3,
                1e-9);
}

TEST_F(Corrections, SpectrumPointsFollowBothOffsetsWithinTheArray)
{
    FillPixels(Ramp);
    gnHolmiumOffset = 8;
    EXPECT_DOUBLE_EQ(SpectrumPoint(500), MeanOf(1003, 1005));
    gnHolmiumOffset = -8;
    gnDiodeArrayOffset = -15;
    EXPECT_DOUBLE_EQ(SpectrumPoint(0), MeanOf(9, 11));
    gnDiodeArrayOffset = -34;  // centre -9: nothing inside the array
    EXPECT_EQ(SpectrumPoint(0), 0.0);
    gnHolmiumOffset = 0;
    gnDiodeArrayOffset = -33;  // centre 0: pixels 0 and 1
    EXPECT_DOUBLE_EQ(SpectrumPoint(0), MeanOf(0, 1));
    gnDiodeArrayOffset = 28;  // centre 1024 at 830 nm: only pixel 1023
    EXPECT_DOUBLE_EQ(SpectrumPoint(500), PixelValue(1023));
}

TEST_F(Corrections, StrayLightTermNeedsAllThreeLampLevelsAndWeighsTheirRatios)
{
    CompleteReading(READ_REFERENCE);
    float afPlain[SPECTRUM_POINTS];
    std::copy(gfReferenceReadings, gfReferenceReadings + SPECTRUM_POINTS, afPlain);
    gfSValue = 15.0;
    MeasureLRValues();
    double fSaved = gfLRValue[0];
    gfLRValue[0] = 0.0;  // the unweighted one: still switches the term off
    CompleteReading(READ_REFERENCE);
    EXPECT_EQ(gfReferenceReadings[200], afPlain[200]);
    // Measured on this very reading each ratio is 1, so the term is the S value.
    gfLRValue[0] = fSaved;
    CompleteReading(READ_REFERENCE);
    for (int k : {0, 78, 250, 500})
        EXPECT_NEAR(gfReferenceReadings[k], afPlain[k] - 15.0, 0.02) << k;

    // Lamp levels a half and a quarter of today's at 510 and 691 nm: ratios
    // 1, 2 and 4 weighted 0, 1 and 2 make 15 * (2 + 8) / 3.
    const double kafRatio[STRAY_POINTS] = {1.0, 2.0, 4.0};
    for (int i = 0; i < STRAY_POINTS; i++)
        gfLRValue[i] /= kafRatio[i];
    CompleteReading(READ_REFERENCE);
    for (int k : {0, 78, 250, 500})
        EXPECT_NEAR(gfReferenceReadings[k], afPlain[k] - 50.0, 0.05) << k;
}

TEST_F(Corrections, WavelengthToPixelClampsAndTakesTheDiagnosticOffsetOnlyInItsMode)
{
    gnDiodeArrayOffset = -15;
    gnHolmiumOffset = 5;
    EXPECT_EQ(WavelengthToPixel(600), 559);
    EXPECT_EQ(WavelengthToPixel(200), 33);
    EXPECT_EQ(WavelengthToPixel(900), 996);
    gbDiagOffsetMode = 1;
    EXPECT_EQ(WavelengthToPixel(600), 544);
    gnDiodeArrayOffset = -40;
    EXPECT_EQ(WavelengthToPixel(330), 0);
    gnDiodeArrayOffset = 40;
    EXPECT_EQ(WavelengthToPixel(830), 1023);
}

// ---------------------------------------------------------------- photometric queries

namespace {

struct PointCase {
    float fTest, fReference;
    double fAbsorbance;
    uint8_t bAbsorbanceClipped;
    double fTransmittance;
    uint8_t bTransmittanceClipped;
    uint8_t bByte;
};

}  // namespace

TEST_F(Corrections, AbsorbanceAndTransmittanceClipAndFlag)
{
    const PointCase CASES[] = {
        {50.0f, 100.0f, std::log10(2.0), 0, 50.0, 0, 50},
        {0.0f, 100.0f, 2.5, 1, 0.0, 0, 0},
        {-5.0f, 100.0f, 2.5, 1, 0.0, 1, 0},
        {1.0f, 1000.0f, 2.5, 1, 0.1, 0, 0},
        {50.0f, 0.0f, -0.301, 1, 0.0, 1, 0},
        {50.0f, -10.0f, -0.301, 1, 0.0, 1, 0},
        {200.0f, 100.0f, -0.301, 1, 200.0, 0, 200},
        {200.01f, 100.0f, -0.301, 1, 200.0, 1, 200},
        {300.0f, 100.0f, -0.301, 1, 200.0, 1, 200},
        {99.5f, 100.0f, std::log10(100.0 / 99.5), 0, 99.5, 0, 100},
        {99.4f, 100.0f, std::log10(100.0 / 99.4), 0, 99.4, 0, 99},
    };
    for (const PointCase& c : CASES) {
        gfTestReadings[270] = c.fTest;
        gfReferenceReadings[270] = c.fReference;
        uint8_t bA = 9, bT = 9;
        EXPECT_NEAR(Absorbance(600, &bA), c.fAbsorbance, 1e-6) << c.fTest << " / " << c.fReference;
        EXPECT_EQ(bA, c.bAbsorbanceClipped) << c.fTest << " / " << c.fReference;
        EXPECT_NEAR(Transmittance(600, &bT), c.fTransmittance, 1e-4) << c.fTest << " / " << c.fReference;
        EXPECT_EQ(bT, c.bTransmittanceClipped) << c.fTest << " / " << c.fReference;
        EXPECT_EQ(TransmittanceByte(600), c.bByte) << c.fTest << " / " << c.fReference;
    }
    gbReferenceOnly = 1;
    uint8_t bFlag = 9;
    EXPECT_EQ(Absorbance(600, &bFlag), 0.0);
    EXPECT_EQ(bFlag, 0);
    EXPECT_EQ(TransmittanceByte(600), 100);
}

TEST_F(Corrections, OpticalDensity)
{
    // Reference and test points giving log10((R + 1) / (S + 1)) = A.
    auto set = [](int nNm, double fReference, double fAbsorbance) {
        gfReferenceReadings[nNm - 330] = static_cast<float>(fReference);
        gfTestReadings[nNm - 330] = static_cast<float>((fReference + 1) / std::pow(10.0, fAbsorbance) - 1);
    };
    set(600, 999, 0.6);
    set(825, 999, 0.2);
    EXPECT_NEAR(OpticalDensity(600, 825), 0.58383, 2e-5);
    set(600, 999, 0.2);
    set(825, 999, 0.4);
    EXPECT_NEAR(OpticalDensity(600, 825), 0.13422, 2e-5);
    set(825, 999, 0.0);  // A2 = 0: ratio 0, only c0
    EXPECT_NEAR(OpticalDensity(600, 825), 0.3356 * 0.2, 2e-5);
    gbReferenceOnly = 1;  // does not apply
    EXPECT_NEAR(OpticalDensity(600, 825), 0.3356 * 0.2, 2e-5);

    set(825, 299, 0.1);
    EXPECT_EQ(OpticalDensity(600, 825), NO_VALUE);
    set(825, 999, 0.1);
    gfTestReadings[270] = 29.0f;
    EXPECT_EQ(OpticalDensity(600, 825), NO_VALUE);
    set(600, 999, 3.2);
    EXPECT_EQ(OpticalDensity(600, 825), NO_VALUE);
}
