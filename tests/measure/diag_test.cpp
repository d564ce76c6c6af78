// Self-diagnostics: the run on the recorded frame sets, and each step's
// checks on doctored pixel buffers.
#include <gtest/gtest.h>

#include "measure/diag.h"
#include "measure/measure_fixture.h"
#include "storage/params.h"

namespace {

class Diagnostics : public MeasureTest {
protected:
    void SetUp() override
    {
        MeasureTest::SetUp();
        Run([] {
            ResetReadingCorrections();
            gbBaseSelfTestInfo = 1;
            gbAutoClock = 1;
            gunPixelClock = 300;
            gunCalibratedLedPixel = 0;
        });
        Host().ClearSerialText();
    }
    // Runs a step on the firmware thread and returns what it sent.
    std::string Output(std::function<void()> job)
    {
        Host().ClearSerialText();
        Run(std::move(job), 4000);
        return Host().SerialText();
    }
    static void EmptyDuffPixels()
    {
        gDuffPixels[0] = {-1, 0, 0};
        gDuffPixels[1] = {-1, 0, 0};
    }
};

void Contains(const std::string& sText, const std::string& sLine)
{
    EXPECT_NE(sText.find(sLine), std::string::npos) << "missing: " << sLine << "\nin:\n" << sText;
}

}  // namespace

TEST_F(Diagnostics, RunOnTheRecordedFrameSets)
{
    uint16_t unResult = 0xFFFF;
    std::string sOut = Output([&unResult] { RunSelfDiagnostics(&unResult); });
    Contains(sOut, "--- Diode Array ---\r\nSmooth!\r\n\r\n");
    Contains(sOut, "--- Lamp Testing ---\r\nUV pixel OK (855.4)\r\nIR pixel (20900) > (1900+1750)\r\n\r\n");
    Contains(sOut, "--- Pixel Clock Set Up ---\r\nOptimised pixel clock to 220\r\n\r\n");
    Contains(sOut, "LR1 value = ");
    Contains(sOut, "LR3 value = ");
    Contains(sOut, "--- Wavelength Calibration ---\r\nPeak = 580 : 244.633\r\n");
    Contains(sOut, "Peak LHS = 580 : 244.633\r\nPeak RHS = 580 : 244.633\r\nCalib pk = 580 : 244.633\r\n");
    Contains(sOut, "Peak Offset < -gnConstWavelengthCalValue,(-29)\r\n\r\n");
    EXPECT_EQ(sOut.find("Duff"), std::string::npos);

    EXPECT_EQ(unResult, 0);
    EXPECT_EQ(gunDiagFindings, DIAG_IR_TOO_BRIGHT | DIAG_WAVELENGTH);
    EXPECT_EQ(gunPixelClock, 220);
    EXPECT_EQ(gunDiagPixelClock, 220u);
    EXPECT_EQ(gnDiodeArrayOffset, -15);
    EXPECT_EQ(gnDiagOffset, -29);
    EXPECT_EQ(gDiagPeak.nPixel, 659);
    EXPECT_EQ(gDiagPeak.unValue, 40899u);
    EXPECT_EQ(gDiagUv.nPixel, 30);
    EXPECT_EQ(gDiagIr.unValue, 41800u);
    EXPECT_EQ(gDiagIr.nFrames, 2);
    EXPECT_EQ(gnDiagLedPixel, 580);
    EXPECT_EQ(gnDiagLedFrames, 60);
    EXPECT_EQ(gDuffPixels[0].nPixel, -1);
    for (double f : gfLRValue)
        EXPECT_GT(f, 1000.0);
}

TEST_F(Diagnostics, DetailLinesOnlyWithBaseSelfTestInfo)
{
    gbBaseSelfTestInfo = 0;
    uint16_t unResult = 0;
    EXPECT_EQ(Output([&unResult] { RunSelfDiagnostics(&unResult); }), "");
    EXPECT_EQ(gnDiodeArrayOffset, -15);
}

TEST_F(Diagnostics, DoubledDarkCountsMakeDefectivePixels)
{
    std::string sOut = Output([] {
        CompleteReading(READ_LAMP);
        EmptyDuffPixels();
        gunDarkReadings[500] *= 2;
        TestDiodeArray();
    });
    Contains(sOut, "Duff Dark Index:500\r\nDuff Dark Pixel:" + std::to_string(gunDarkReadings[499]) + ":" +
                       std::to_string(gunDarkReadings[500]) + "\r\n");
    Contains(sOut, "Smooth!");
    EXPECT_EQ(gDuffPixels[0].nPixel, 500);
    EXPECT_EQ(gDuffPixels[1].nPixel, -1);

    uint16_t unBits = 0;
    sOut = Output([&unBits] {
        CompleteReading(READ_LAMP);
        EmptyDuffPixels();
        for (int p : {200, 500, 800})
            gunDarkReadings[p] *= 2;
        unBits = TestDiodeArray();
    });
    EXPECT_EQ(unBits, DIAG_DIODE_ARRAY);
    Contains(sOut, "Duff Dark Index:200\r\n");
    Contains(sOut, "Duff Dark Index:500\r\n");
    Contains(sOut, "More than allowed Duff pixels. Dark :" + std::to_string(gunDarkReadings[799]) + ":" +
                       std::to_string(gunDarkReadings[800]) + "\r\n\r\n");
    EXPECT_EQ(sOut.find("Smooth!"), std::string::npos);
}

TEST_F(Diagnostics, DeadLightPixelIsReplacedInLaterReadings)
{
    std::string sOut = Output([] {
        CompleteReading(READ_LAMP);
        EmptyDuffPixels();
        gunLightReadings[300] = gunDarkReadings[300];
        TestDiodeArray();
    });
    Contains(sOut, "Duff Light Index:300\r\n");
    EXPECT_EQ(gDuffPixels[0].nPixel, 300);
    Run([] { CompleteReading(READ_REFERENCE); });
    EXPECT_DOUBLE_EQ(PixelValue(300), (LinearPixelSignal(299) + LinearPixelSignal(301)) / 2);
}

TEST_F(Diagnostics, LampLevels)
{
    struct Case {
        double fUv, fIr;
        uint16_t unBits;
        const char* pszUv;
        const char* pszIr;
    };
    const Case CASES[] = {
        {855.4, 1900, 0, "UV pixel OK (855.4)", "IR pixel OK (1900)"},
        {2800, 3650, 0, "UV pixel OK (2800)", "IR pixel OK (3650)"},
        {2801, 3651, DIAG_UV_TOO_BRIGHT | DIAG_IR_TOO_BRIGHT, "UV pixel (2801) > (1410+1390)", "IR pixel (3651) > (1900+1750)"},
        {19, 149, DIAG_UV_TOO_LOW | DIAG_IR_TOO_LOW, "UV pixel (19) < (1410-1390)", "IR pixel (149) < (1900-1750)"},
    };
    for (const Case& c : CASES) {
        uint16_t unBits = 0xFFFF;
        std::string sOut = Output([&c, &unBits] {
            FillPixels([](int) { return 1000.0; }, 15000, 5);
            SetPixelSignal(30, c.fUv);
            SetPixelSignal(995, c.fIr);
            unBits = TestLamp();
        });
        EXPECT_EQ(unBits, c.unBits) << c.fUv << ", " << c.fIr;
        Contains(sOut, std::string(c.pszUv) + "\r\n" + c.pszIr + "\r\n\r\n");
    }
}

TEST_F(Diagnostics, PixelClockOutcomes)
{
    struct Case {
        uint8_t bAuto;
        uint16_t unClock;
        double fPeak;
        uint16_t unResult;
        const char* pszLine;
        uint16_t unClockAfter;
        size_t nLampReadings;
    };
    const Case CASES[] = {
        {1, 300, 0, 0, "Optimised pixel clock to 220\r\n\r\n", 220, 1},
        {0, 300, 0, 0, "Un-optimised pixel clock set to 300\r\n\r\n", 300, 0},
        {1, 250, 0, DIAG_CLOCK_TOO_LOW, "Optimum pixel clock too low (183<200)\r\n\r\n", 250, 0},
        {1, 1300, 0, DIAG_CLOCK_TOO_HIGH, "Optimum pixel clock too high (954>900)\r\n\r\n", 1300, 0},
        {1, 300, 500, DIAG_LAMP_TOO_DARK, "Highest visible pixel value too low (500<=500)\r\n\r\n", 300, 0},
    };
    for (const Case& c : CASES) {
        uint16_t unResult = 0xFFFF;
        std::string sOut = Output([&c, &unResult] {
            gbReadingsDump = 0;
            CompleteReading(READ_LAMP);
            if (c.fPeak > 0)
                for (int p = 650; p <= 949; p++)
                    SetPixelSignal(p, c.fPeak);
            gbAutoClock = c.bAuto;
            gunPixelClock = c.unClock;
            gbReadingsDump = 1;
            SetUpPixelClock(&unResult);
            gbReadingsDump = 0;
        });
        EXPECT_EQ(unResult, c.unResult) << c.pszLine;
        Contains(sOut, c.pszLine);
        EXPECT_EQ(gunPixelClock, c.unClockAfter) << c.pszLine;
        EXPECT_EQ(CountOf(sOut, "\r\nLAMP READINGS\r\n"), c.nLampReadings) << c.pszLine;
        if (c.unResult == DIAG_LAMP_TOO_DARK) {
            EXPECT_EQ(gunDiagPixelClock, PIXEL_CLOCK_NOT_SET);
        }
    }
}

TEST_F(Diagnostics, LedPeakOffsetAndLevel)
{
    struct Case {
        double fPeak;
        int nPeakPixel;
        uint16_t unCalibrated;
        uint16_t unBits;
        int32_t nOffsetAfter;
        const char* pszLine;
    };
    const Case CASES[] = {
        {245, 626, 0, DIAG_WAVELENGTH, 15, "Peak Offset > gnConstWavelengthCalValue,(17)\r\n\r\n"},
        {245, 625, 0, 0, 16, "Peak Offset OK (16)\r\n\r\n"},
        {245, 593, 0, 0, -16, "Peak Offset OK (-16)\r\n\r\n"},
        {245, 580, 492, DIAG_WAVELENGTH, 15, "Peak Offset > gnConstWavelengthCalValue,(88)\r\n\r\n"},
        {4.0, 600, 0, 0, -9, "Peak Offset OK (-9)\r\n\r\n"},
        {3.9, 600, 0, DIAG_LED_TOO_DARK, 7, "Max peak value too low (3.9<4)\r\n\r\n"},
    };
    for (const Case& c : CASES) {
        uint16_t unBits = 0xFFFF;
        std::string sOut = Output([&c, &unBits] {
            gnDiodeArrayOffset = 7;
            gunCalibratedLedPixel = c.unCalibrated;
            FillPixels([](int) { return 0.0; }, 15000, 60);
            SetPixelSignal(c.nPeakPixel, c.fPeak);
            unBits = CalibrateWavelength();
        });
        EXPECT_EQ(unBits, c.unBits) << c.pszLine;
        EXPECT_EQ(gnDiodeArrayOffset, c.nOffsetAfter) << c.pszLine;
        Contains(sOut, c.pszLine);
    }
}

TEST_F(Diagnostics, TableAndSummaryAsTraceLines)
{
    uint16_t unResult = 0;
    Run([&unResult] { RunSelfDiagnostics(&unResult); }, 4000);
    std::string sOut = Output([] {
        gbTraceOn = 1;
        gunDiagResult = DIAG_IR_TOO_BRIGHT;
        SendDiagTable();
        SendSelfTestSummary();
        gbTraceOn = 0;
    });
    Contains(sOut, "Peak Value: 40899, Frame: 1, PixNo.: 659\r\n");
    Contains(sOut, "I Value: 41800, Frame: 2, PixNo.: 995\r\n");
    Contains(sOut, "Offset Value: -29\r\n");
    Contains(sOut, "Pixelclk: 220\r\n");
    Contains(sOut, "Auto clock enabled\r\n");
    Contains(sOut, "IR level too bright\r\n");
    Contains(sOut, "Wavelength calibration in range\r\n");
    Contains(sOut, "Calibrated LED pixel: 609\r\n");
    Contains(sOut, "Diode array offset: -15\r\n");
}
