// The recorded frame sets and the wavelength table: the properties the
// readings, diagnostics and calibrations rely on.
#include <gtest/gtest.h>

#include <cmath>

#include "measure/calib.h"
#include "measure/diag.h"
#include "measure/frame_sets.h"
#include "measure/reading.h"
#include "storage/params.h"

namespace {

double Signal(const FrameRecord* pSet, int p)
{
    return (static_cast<int>(pSet[p].unLight) - static_cast<int>(pSet[p].unDark)) / static_cast<double>(pSet[p].bFrames);
}

double Quadratic(int nm)
{
    double d = nm - 580.0;
    return 520.35 + 1.9389 * d - 0.000105 * d * d;
}

struct NamedSet {
    const char* pszName;
    const FrameRecord* pSet;
};
const NamedSet SETS[] = {{"reference", gReferenceFrames},
                         {"sample", gSampleFrames},
                         {"holmium", gHolmiumFrames},
                         {"stray", gStrayFrames},
                         {"LED", gLedFrames}};

}  // namespace

TEST(WavelengthTable, TellingRowsAndSteps)
{
    const int ROWS[][2] = {{330, 33},  {331, 35},  {332, 36},  {350, 72},  {354, 79},  {360, 91},  {361, 93},
                           {400, 169}, {408, 185}, {414, 196}, {419, 206}, {500, 365}, {510, 384}, {535, 433},
                           {536, 435}, {537, 437}, {560, 482}, {600, 559}, {691, 734}, {700, 751}, {750, 846},
                           {800, 940}, {830, 996}};
    for (const auto& row : ROWS)
        EXPECT_EQ(gnWavelengthPixel[row[0] - 330], row[1]) << row[0] << " nm";
    for (int k = 1; k < SPECTRUM_POINTS; k++) {
        int nStep = gnWavelengthPixel[k] - gnWavelengthPixel[k - 1];
        EXPECT_TRUE(nStep == 1 || nStep == 2) << "step " << nStep << " at " << 330 + k << " nm";
    }
}

// Between the ends the table is the rounded quadratic to within a pixel;
// near the ends the measured rows pull it up to 4 pixels away.
TEST(WavelengthTable, FollowsTheQuadratic)
{
    for (int nm = 330; nm <= 830; nm++) {
        double fDeviation = gnWavelengthPixel[nm - 330] - Quadratic(nm);
        EXPECT_LE(std::fabs(fDeviation), 4.0) << nm << " nm";
        if (nm >= 400 && nm < 760) {
            EXPECT_LE(std::abs(gnWavelengthPixel[nm - 330] - std::lround(Quadratic(nm))), 1) << nm << " nm";
        }
    }
}

TEST(FrameSets, RecordLayoutDarkCountsAndFrames)
{
    for (const NamedSet& set : SETS)
        for (int p = 0; p < FRAME_SET_PIXELS; p++) {
            const FrameRecord& r = set.pSet[p];
            ASSERT_EQ(r.unPixel, p + 1) << set.pszName;
            ASSERT_EQ(r.bReserved, 0) << set.pszName;
            ASSERT_GE(r.bFrames, 1) << set.pszName << " pixel " << p;
            ASSERT_LE(r.bFrames, 60) << set.pszName << " pixel " << p;
            ASSERT_GE(r.unDark, 14000) << set.pszName << " pixel " << p;
            ASSERT_LE(r.unDark, 17000) << set.pszName << " pixel " << p;
            ASSERT_GE(r.unLight, r.unDark - 200) << set.pszName << " pixel " << p;
        }
    for (int p = 0; p < FRAME_SET_PIXELS; p++)
        ASSERT_EQ(gLedFrames[p].bFrames, 60) << p;
}

TEST(FrameSets, ReferenceSignalFigures)
{
    EXPECT_EQ(Signal(gReferenceFrames, 580), 45404.0);
    EXPECT_EQ(Signal(gReferenceFrames, 659), 40899.0);
    EXPECT_EQ(Signal(gReferenceFrames, 30), 855.4);
    EXPECT_EQ(Signal(gReferenceFrames, 995), 20900.0);
    for (int p = 0; p < FRAME_SET_PIXELS; p++)
        if (p != 580) {
            EXPECT_LT(Signal(gReferenceFrames, p), 45404.0) << p;
        }
    for (int p = 650; p <= 949; p++)
        if (p != 659) {
            EXPECT_LT(Signal(gReferenceFrames, p), 40899.0) << p;
        }
    EXPECT_EQ(Signal(gStrayFrames, 33), 21.85);
}

TEST(FrameSets, LedPeak)
{
    EXPECT_NEAR(Signal(gLedFrames, 580), 245.0, 2.0);
    EXPECT_NEAR(Signal(gLedFrames, 560), 90.0, 3.0);
    EXPECT_NEAR(Signal(gLedFrames, 620), 25.0, 2.0);
    for (int p = 0; p < FRAME_SET_PIXELS; p++) {
        if (p != 580) {
            EXPECT_LT(Signal(gLedFrames, p), 0.95 * Signal(gLedFrames, 580)) << p;
        }
        if (p < 500 || p > 640) {
            EXPECT_LT(Signal(gLedFrames, p), 5.0) << p;
        }
    }
}

// Absorbances against the reference, with both offsets 0, no defective
// pixels and no stray-light term.
class RecordedAbsorbance : public ::testing::Test {
protected:
    void SetUp() override { ResetReadingCorrections(); }
    double Read(uint8_t bKind, int nNm, uint8_t* pbFlag = nullptr)
    {
        CompleteReading(READ_REFERENCE);
        CompleteReading(bKind);
        return Absorbance(nNm, pbFlag);
    }
    int HighestNm(uint8_t bKind)
    {
        Read(bKind, 330);
        int nBest = 330;
        for (int nm = 331; nm <= 830; nm++)
            if (Absorbance(nm) > Absorbance(nBest))
                nBest = nm;
        return nBest;
    }
};

TEST_F(RecordedAbsorbance, TellingWavelengths)
{
    struct Case {
        uint8_t bKind;
        int nNm;
        double fAbsorbance;
        double fTolerance;
    };
    const Case CASES[] = {
        {READ_SAMPLE, 340, 0.239, 0.0005},         {READ_SAMPLE, 400, 0.300, 0.0005},
        {READ_SAMPLE, 500, 0.337, 0.0005},         {READ_SAMPLE, 579, 0.557, 0.0005},
        {READ_SAMPLE, 600, 0.304, 0.0005},         {READ_SAMPLE, 700, 0.030, 0.0005},
        {READ_SAMPLE, 800, -0.013, 0.0005},        {READ_DIODE_TEST, 400, -0.15, 0.005},
        {READ_DIODE_TEST, 450, 0.52, 0.005},       {READ_DIODE_TEST, 550, 0.99, 0.005},
        {READ_DIODE_TEST, 581, 1.42, 0.005},       {READ_DIODE_TEST, 700, 0.07, 0.005},
        {READ_DIODE_TEST, 800, 0.82, 0.005},       {READ_STRAY_TEST, 340, 1.70, 0.005},
        {READ_STRAY_TEST, 400, 0.99, 0.005},       {READ_STRAY_TEST, 500, 0.19, 0.005},
    };
    for (const Case& c : CASES) {
        uint8_t bFlag = 9;
        EXPECT_NEAR(Read(c.bKind, c.nNm, &bFlag), c.fAbsorbance, c.fTolerance) << "kind " << int(c.bKind) << " at " << c.nNm;
        EXPECT_EQ(bFlag, 0);
    }
}

TEST_F(RecordedAbsorbance, BandMaxima)
{
    EXPECT_EQ(HighestNm(READ_SAMPLE), 579);
    EXPECT_EQ(HighestNm(READ_DIODE_TEST), 581);
}

TEST_F(RecordedAbsorbance, ReferenceReadingReportsTheBlank)
{
    Read(READ_SAMPLE, 579);
    CompleteReading(READ_REFERENCE);
    uint8_t bFlag = 9;
    EXPECT_EQ(Absorbance(579, &bFlag), 0.0);
    EXPECT_EQ(bFlag, 0);
    EXPECT_EQ(Transmittance(579, &bFlag), 100.0);
    EXPECT_EQ(bFlag, 0);
    CompleteReading(READ_SAMPLE);
    EXPECT_NEAR(Absorbance(579), 0.557, 0.0005);
}

// The holmium filter's ratio to the reference is lowest at pixel 524 in the
// diode window; with the LED's peak at 580 the LED pixel on the nominal
// scale is 492.
TEST(FrameSets, HolmiumDiodeWindowMinimum)
{
    ResetReadingCorrections();
    CompleteReading(READ_DIODE_REFERENCE);
    CompleteReading(READ_DIODE_TEST);
    int nLowest = 0;
    for (int i = 1; i < DIODE_WINDOW_POINTS; i++)
        if (gfDiodeTestReadings[i] / gfDiodeReferenceReadings[i] <
            gfDiodeTestReadings[nLowest] / gfDiodeReferenceReadings[nLowest])
            nLowest = i;
    EXPECT_EQ(gnDiodeWindowFirst + nLowest, 524);
    CompleteReading(READ_LED);
    EXPECT_EQ(gnLastLedPeakPixel, 580);
    EXPECT_EQ(HolmiumBandOffset(), 492);
    EXPECT_EQ(gnDiagOffset, 88);
}

// The holmium calibration's search windows find the bands at 354, 414 and
// 535 nm on the nominal scale.
TEST_F(RecordedAbsorbance, HolmiumBandsInTheirSearchWindows)
{
    Read(READ_DIODE_TEST, 330);
    auto lowestRatio = [](int nFirst, int nLast) {
        int nBest = nFirst;
        for (int nm = nFirst + 1; nm <= nLast; nm++)
            if (gfTestReadings[nm - 330] / gfReferenceReadings[nm - 330] <
                gfTestReadings[nBest - 330] / gfReferenceReadings[nBest - 330])
                nBest = nm;
        return nBest;
    };
    EXPECT_EQ(lowestRatio(350, 370), 354);
    EXPECT_EQ(lowestRatio(408, 428), 414);
    EXPECT_EQ(lowestRatio(526, 546), 535);
}
