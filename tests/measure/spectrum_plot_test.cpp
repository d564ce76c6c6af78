// The plotter's trace from the last reading: the kinds' scaling, rounding
// and limits, and the magnified view's window, offset and scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "display/graph.h"
#include "measure/reading.h"
#include "measure/spectrum_plot.h"
#include "display/script.h"

namespace {

class SpectrumPlotTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GraphReset();
        gbReferenceOnly = 0;
        gbDiagOffsetMode = 0;
        gbZoomHold = 0;
    }
    // The same reference and test light at every wavelength: A = -log10(fRatio).
    static void SampleRatio(double fRatio)
    {
        for (int k = 0; k < SPECTRUM_POINTS; k++) {
            gfReferenceReadings[k] = 1000.0f;
            gfTestReadings[k] = static_cast<float>(1000.0 * fRatio);
        }
    }
    static void Detector(uint16_t unLight, uint16_t unDark, uint8_t bFrames)
    {
        for (int p = 0; p < PIXEL_COUNT; p++) {
            gunLightReadings[p] = unLight;
            gunDarkReadings[p] = unDark;
            gbFrameCounts[p] = bFrames;
        }
    }
};

TEST_F(SpectrumPlotTest, KindsScaleRoundAndLimitToThePlotHeight)
{
    struct Case {
        const char* pszWhat;
        uint8_t bKind;
        double fRatio;  // test / reference light
        uint16_t unLight, unDark;
        uint8_t bFrames;
        int nExpected;
    };
    const Case kCases[] = {
        {"150 %T", PLOT_TRANSMITTANCE, 1.5, 0, 0, 1, 100},
        {"42.4 %T", PLOT_TRANSMITTANCE, 0.424, 0, 0, 1, 42},
        {"42.6 %T rounds up", PLOT_TRANSMITTANCE, 0.426, 0, 0, 1, 43},
        {"A below -0.3", PLOT_ABSORBANCE, 2.5, 0, 0, 1, 0},
        {"A 0.5", PLOT_ABSORBANCE, std::pow(10.0, -0.5), 0, 0, 1, 29},
        {"A above 2.5", PLOT_ABSORBANCE, 0.001, 0, 0, 1, 100},
        {"any other kind is absorbance", 4, std::pow(10.0, -0.5), 0, 0, 1, 29},
        {"light minus dark 10000", PLOT_LIGHT, 1.0, 25000, 15000, 1, 16},
        {"light below dark", PLOT_LIGHT, 1.0, 10000, 15000, 1, 0},
        {"light beyond the plot", PLOT_LIGHT, 1.0, 65535, 0, 1, 100},
        {"dark 15000", PLOT_DARK, 1.0, 0, 15000, 1, 75},
        {"frames 60", PLOT_FRAMES, 1.0, 0, 0, 60, 60},
    };
    for (const Case& c : kCases) {
        SampleRatio(c.fRatio);
        Detector(c.unLight, c.unDark, c.bFrames);
        for (int i = 0; i < GRAPH_COLUMNS; i++)
            gabTrace[i] = 77;
        PlotSpectrum(c.bKind);
        for (int i = 0; i < GRAPH_COLUMNS; i++)
            ASSERT_EQ(gabTrace[i], c.nExpected) << c.pszWhat << ", column " << i;
    }
}

// Column c shows 330 + 4 c nm: a spectrum whose absorbance grows 0.001 per nm.
TEST_F(SpectrumPlotTest, ColumnsFollowTheWavelengthScale)
{
    for (int k = 0; k < SPECTRUM_POINTS; k++) {
        gfReferenceReadings[k] = 1000.0f;
        gfTestReadings[k] = static_cast<float>(1000.0 * std::pow(10.0, -0.002 * k));
    }
    PlotSpectrum(PLOT_ABSORBANCE);
    for (int c : {0, 1, 60, 125}) {
        double fA = 0.002 * 4 * c;
        EXPECT_EQ(gabTrace[c], static_cast<int>((fA + 0.3) / 2.8 * 100.0 + 0.5)) << c;
    }
    gbReferenceOnly = 1;  // after a reference reading the sample is the blank
    PlotSpectrum(PLOT_TRANSMITTANCE);
    EXPECT_EQ(gabTrace[60], 100);
    PlotSpectrum(PLOT_ABSORBANCE);
    EXPECT_EQ(gabTrace[60], 11);
}

TEST_F(SpectrumPlotTest, ZoomWindowStartsAtTheBoxAndNeverPasses705)
{
    struct Case {
        uint8_t bBoxX;
        uint8_t bHold, bHeldStart;
        int nStartNm;
    };
    for (Case c : {Case{15, 0, 0, 330}, Case{60, 0, 0, 510}, Case{109, 0, 0, 705}, Case{108, 0, 0, 702},
                   Case{60, 1, 10, 370}, Case{60, 1, 120, 705}}) {
        gbBoxX = c.bBoxX;
        gbZoomHold = c.bHold;
        gbZoomStart = c.bHeldStart;
        EXPECT_EQ(ZoomStartWavelength(), c.nStartNm) << int(c.bBoxX) << " hold " << int(c.bHold);
    }
    // Column i of the view is start + i nm, 1 nm per column, up to 830 nm.
    for (int k = 0; k < SPECTRUM_POINTS; k++) {
        gfReferenceReadings[k] = 1000.0f;
        gfTestReadings[k] = static_cast<float>(1000.0 * std::pow(10.0, -0.001 * k));
    }
    gbZoomHold = 0;
    gbBoxX = 60;  // 510 nm
    for (int i : {0, 1, 62, 125}) {
        double fUnits = ((180 + i) * 0.001 + 0.3) / 2.8 * 100.0;
        EXPECT_EQ(ZoomedPlotValue(PLOT_ABSORBANCE, static_cast<uint8_t>(i), 10, 8.0),
                  static_cast<int>((fUnits - 10) * 8.0 + 0.5))
            << i;
    }
}

TEST_F(SpectrumPlotTest, ZoomedValuesApplyOffsetAndScaleWithinAByte)
{
    struct Case {
        const char* pszWhat;
        uint8_t bKind;
        double fRatio;
        uint16_t unLight, unDark;
        uint8_t bFrames;
        uint8_t bOffset;
        double fScale;
        int nExpected;
    };
    // Absorbance 0.5 is 28.57 plot units; 40 %T is 40.
    const Case kCases[] = {
        {"A scaled", PLOT_ABSORBANCE, std::pow(10.0, -0.5), 0, 0, 1, 20, 5.0, 43},
        {"A below the offset", PLOT_ABSORBANCE, std::pow(10.0, -0.5), 0, 0, 1, 40, 5.0, 0},
        {"A off the top", PLOT_ABSORBANCE, std::pow(10.0, -0.5), 0, 0, 1, 0, 10.0, 255},
        {"%T scaled", PLOT_TRANSMITTANCE, 0.4, 0, 0, 1, 30, 2.5, 25},
        {"light: whole units less offset, scaled", PLOT_LIGHT, 1, 25000, 15000, 1, 10, 3.0, 18},
        {"light below the offset", PLOT_LIGHT, 1, 25000, 15000, 1, 20, 3.0, 0},
        {"light beyond a byte", PLOT_LIGHT, 1, 65535, 0, 1, 0, 4.0, 255},
        {"dark ignores offset and scale", PLOT_DARK, 1, 0, 15000, 1, 50, 9.0, 75},
        {"dark beyond a byte", PLOT_DARK, 1, 0, 60000, 1, 0, 1.0, 255},
        {"frames ignore offset and scale", PLOT_FRAMES, 1, 0, 0, 33, 50, 9.0, 33},
    };
    gbBoxX = 60;
    for (const Case& c : kCases) {
        SampleRatio(c.fRatio);
        Detector(c.unLight, c.unDark, c.bFrames);
        EXPECT_EQ(ZoomedPlotValue(c.bKind, 7, c.bOffset, c.fScale), c.nExpected) << c.pszWhat;
    }
}

// The magnified view fills the plot height with the window's part of the
// spectrum, and its axis labels bracket the absorbances shown.
TEST_F(SpectrumPlotTest, MagnifiedViewFillsThePlotHeight)
{
    // A band: 0.2 A rising to 0.9 A at 560 nm and back, over 510..635 nm.
    for (int k = 0; k < SPECTRUM_POINTS; k++) {
        double fA = 0.2 + 0.7 * std::exp(-(k - 230) * (k - 230) / 400.0);
        gfReferenceReadings[k] = 1000.0f;
        gfTestReadings[k] = static_cast<float>(1000.0 * std::pow(10.0, -fA));
    }
    gbBoxX = 60;  // window 510..635 nm
    uint8_t bOffset = 0;
    double fScale = 0.0;
    MagnifiedScaling(PLOT_ABSORBANCE, &bOffset, &fScale);
    PlotMagnified(PLOT_ABSORBANCE, bOffset, fScale);
    int nLow = 255, nHigh = 0;
    double fLowA = 9.0, fHighA = -9.0;
    for (int i = 0; i < GRAPH_COLUMNS; i++) {
        nLow = std::min<int>(nLow, gabTrace[i]);
        nHigh = std::max<int>(nHigh, gabTrace[i]);
        fLowA = std::min(fLowA, Absorbance(510 + i));
        fHighA = std::max(fHighA, Absorbance(510 + i));
    }
    EXPECT_EQ(nHigh, 100);
    EXPECT_LE(nLow, fScale) << "the lowest point within one plot unit (fScale rows) of the bottom";
    GraphDraw(GRAPH_CURSOR);
    GraphLabelYAxis(PLOT_ABSORBANCE, bOffset, fScale);
    EXPECT_LE(gfShowD7, fLowA);
    EXPECT_GE(gfShowD8, fHighA);
    EXPECT_LT(gfShowD8 - gfShowD7, 0.8) << "magnified, not the full -0.3..2.5";

    // A flat spectrum is not magnified beyond ten units: it sits mid-plot.
    SampleRatio(std::pow(10.0, -0.5));
    MagnifiedScaling(PLOT_ABSORBANCE, &bOffset, &fScale);
    EXPECT_DOUBLE_EQ(fScale, 100.0 / MAGNIFY_MIN_SPAN);
    PlotMagnified(PLOT_ABSORBANCE, bOffset, fScale);
    for (int i = 0; i < GRAPH_COLUMNS; i++)
        ASSERT_TRUE(gabTrace[i] >= 40 && gabTrace[i] <= 60) << i << ": " << int(gabTrace[i]);

    // %T near 0 cannot start below 0 units; dark counts and frames are unscaled.
    SampleRatio(0.01);
    MagnifiedScaling(PLOT_TRANSMITTANCE, &bOffset, &fScale);
    EXPECT_EQ(bOffset, 0);
    EXPECT_DOUBLE_EQ(fScale, 10.0);
    Detector(30000, 15000, 20);
    for (uint8_t bKind : {PLOT_DARK, PLOT_FRAMES}) {
        MagnifiedScaling(bKind, &bOffset, &fScale);
        EXPECT_EQ(bOffset, 0);
        EXPECT_DOUBLE_EQ(fScale, 1.0);
    }
}

}  // namespace
