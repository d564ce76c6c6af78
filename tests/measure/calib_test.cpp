// Factory calibrations on the recorded frame sets, the operator's TEST and
// standby keys while a routine waits for the filter, and the limits.
#include <gtest/gtest.h>

#include "core/timers.h"
#include "measure/calib.h"
#include "measure/diag.h"
#include "measure/measure_fixture.h"
#include "storage/i2c.h"
#include "storage/params.h"
#include "ui/ui.h"

namespace {

class Calibration : public MeasureTest {
protected:
    void SetUp() override
    {
        MeasureTest::SetUp();
        Run([] {
            I2cPowerUp();
            ResetReadingCorrections();
            gfSValue = 3.0;
            gunCalibratedLedPixel = 0;
        });
    }
    template <typename T>
    T Stored(T (*pfnLoad)(uint16_t), uint16_t unSlot)
    {
        T value{};
        Run([&value, pfnLoad, unSlot] { value = pfnLoad(unSlot); });
        return value;
    }
    // Runs a calibration, answering its wait for the filter with a key.
    bool Calibrate(bool (*pfnRoutine)(), uint8_t bKey)
    {
        bool bResult = false;
        Start([pfnRoutine, &bResult] {
            gbTraceOn = 1;
            bResult = pfnRoutine();
            gbTraceOn = 0;
        });
        // The readings before the wait take at most two of them.
        Host().Tick(250);
        EXPECT_FALSE(Done()) << "not waiting for the sample";
        PressKey(bKey);
        Finish();
        return bResult;
    }
    void ExpectTrace(const std::string& sLine)
    {
        EXPECT_NE(Host().SerialText().find("\t" + sLine + "\r\n"), std::string::npos) << "missing: " << sLine;
    }
};

}  // namespace

TEST_F(Calibration, HolmiumOnTheRecordedFrameSets)
{
    gnHolmiumOffset = 3;
    EXPECT_TRUE(Calibrate(CalibrateHolmium, KEY_TEST));
    EXPECT_EQ(gnHolmiumOffset, -8);
    EXPECT_EQ(static_cast<int16_t>(Stored(LoadWord, PARAM_HOLMIUM_OFFSET)), -8);
    EXPECT_EQ(gbReferenceOnly, 0);
    ExpectTrace("Peak Wavelength(360.9) = 354");
    ExpectTrace("Wavelength offset(360.9) = 6.900000");
    ExpectTrace("Peak Pixel(418.7) = 196");
    ExpectTrace("Pixel Offset(418.7) = 10");
    ExpectTrace("Peak Wavelength(536.4) = 535");
    ExpectTrace("Pixel Offset(536.4) = 4");
    ExpectTrace("Pixel Offset(360.9) = 14");
    ExpectTrace("Mean Pixel Offset = 9");
    ExpectTrace("Stored Offset = -8");
}

TEST_F(Calibration, LedOnTheRecordedFrameSets)
{
    EXPECT_TRUE(Calibrate(CalibrateLed, KEY_TEST));
    EXPECT_EQ(gnDiagOffset, 88);
    EXPECT_EQ(gunCalibratedLedPixel, 492);
    EXPECT_EQ(Stored(LoadWord, 0x2C), 492);
    ExpectTrace("Good LED");
    ExpectTrace("Offset 88");
    ExpectTrace("LED PixNo. 492");
}

TEST_F(Calibration, StrayLightOnTheRecordedFrameSets)
{
    EXPECT_TRUE(Calibrate(CalibrateStrayLight, KEY_TEST));
    EXPECT_EQ(gfSValue, 15.0);
    EXPECT_EQ(Stored(LoadDouble, PARAM_SVALUE), 15.0);
    ExpectTrace("Measured value: 21.85");
    ExpectTrace("Set to 15");
}

// The standby key abandons a routine and keeps the stored value; the holmium
// calibration also puts back the offset in use, which it had cleared for its
// readings.
TEST_F(Calibration, StandbyAbandons)
{
    Run([] {
        gnHolmiumOffset = 3;
        SaveHolmiumOffset();
    });
    EXPECT_FALSE(Calibrate(CalibrateHolmium, KEY_STANDBY));
    EXPECT_EQ(gnHolmiumOffset, 3);
    EXPECT_EQ(Stored(LoadWord, PARAM_HOLMIUM_OFFSET), 3);
    EXPECT_FALSE(Calibrate(CalibrateStrayLight, KEY_STANDBY));
    EXPECT_EQ(gfSValue, 3.0);
    EXPECT_FALSE(Calibrate(CalibrateLed, KEY_STANDBY));
    EXPECT_EQ(gunCalibratedLedPixel, 0);
}

TEST_F(Calibration, WaitForSampleIgnoresOtherKeysAndSwitchesThePcScreen)
{
    bool bResult = false;
    Start([&bResult] {
        gunScreenState = STATE_PC_CONTROL;
        bResult = WaitForSample();
    });
    Host().Tick(3);
    EXPECT_EQ(gunScreenState, STATE_PC_CONTROL_WAITING);
    PressKey(KEY_UP);
    PressKey(KEY_ESCAPE);
    EXPECT_FALSE(Done());
    PressKey(KEY_TEST);
    Finish();
    EXPECT_TRUE(bResult);
    EXPECT_EQ(gunScreenState, STATE_PC_CONTROL);
}

// Firmware time runs while the operator is asked for the sample, and the
// reading through it afterwards takes its whole acquisition time.
TEST_F(Calibration, WaitForSampleKeepsFirmwareTimeRunning)
{
    Start([] {
        if (WaitForSample())
            TakeReading(READ_SAMPLE);
    });
    Host().Tick(3);
    uint32_t unMs = gunElapsedMs;
    gunMessageTimer = 60;  // three seconds
    Host().Tick(40);
    EXPECT_FALSE(Done());
    EXPECT_GE(gunElapsedMs - unMs, 39u * 50);
    EXPECT_LE(gunMessageTimer, 60u - 39);
    PressKey(KEY_TEST);
    uint64_t ullPressed = Host().VirtualMs();
    Finish();
    EXPECT_GE(Host().VirtualMs() - ullPressed, 5300u - 4 * 50);
}

TEST_F(Calibration, WaitForSampleEndsWhenTheProgramCloses)
{
    Start([] { WaitForSample(); });
    Host().Tick(3);
    EXPECT_FALSE(Done());
    Host().Shutdown();
    EXPECT_TRUE(Done());
}

TEST_F(Calibration, LedPeakWidth)
{
    struct Case {
        int nFirst, nLast;  // pixels above 95 % of the peak
        bool bPass;
    };
    const Case CASES[] = {
        {580, 580, true},
        {580, 588, true},   // ends at 589: width 9
        {580, 589, false},  // width 10
        {660, 674, false},  // no end inside the window
    };
    for (const Case& c : CASES) {
        bool bPass = !c.bPass;
        Run([&c, &bPass] {
            FillPixels([](int) { return 50.0; }, 15000, 60);
            for (int p = c.nFirst; p <= c.nLast; p++)
                SetPixelSignal(p, 240.0);
            bPass = CheckLedPeakWidth(240.0);
        });
        EXPECT_EQ(bPass, c.bPass) << c.nFirst << ".." << c.nLast;
    }
}

TEST(CalibrationLimits, HolmiumOffsetIsMinusTheTruncatedMeanWithinEightPixels)
{
    const struct {
        int32_t anOffsets[3];
        int32_t nStored;
    } CASES[] = {
        {{3, 2, 2}, -2}, {{-1, -1, 0}, 0}, {{1, 1, 0}, 0}, {{-12, -12, -12}, 8}, {{14, 10, 4}, -8}, {{-8, -8, -9}, 8},
    };
    for (const auto& c : CASES)
        EXPECT_EQ(HolmiumOffsetFromBands(c.anOffsets), c.nStored)
            << c.anOffsets[0] << ", " << c.anOffsets[1] << ", " << c.anOffsets[2];
}

TEST(CalibrationLimits, SValueWithinZeroToFifteen)
{
    EXPECT_EQ(LimitSValue(17.2), 15.0);
    EXPECT_EQ(LimitSValue(21.85), 15.0);
    EXPECT_EQ(LimitSValue(-0.4), 0.0);
    EXPECT_EQ(LimitSValue(7.25), 7.25);
}
