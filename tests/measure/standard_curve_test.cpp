// Standard curves: the linear fit and its correlation, the interpolating
// curve with its validity rules, sample concentrations and the graph's trace.
// Every expected value below is worked by hand from the standards given.
#include <gtest/gtest.h>

#include <vector>

#include "measure/reading.h"
#include "measure/standard_curve.h"

namespace {

constexpr double NOT_SET = STANDARD_NOT_SET;

// Five standards as the method holds them: absorbances and concentrations.
struct Standards {
    double afAbs[5];
    double afConc[5];
};

bool Fit(const Standards& s, uint8_t bFit) { return FitStandardCurve(s.afAbs, s.afConc, bFit, nullptr); }

// Absorbance, expected concentration (NO_VALUE for out of range).
struct Sample {
    double fAbs;
    double fConc;
};

void ExpectSamples(const std::vector<Sample>& samples, const char* pszCase)
{
    for (const Sample& s : samples) {
        if (s.fConc == NO_VALUE)
            EXPECT_EQ(StandardConcentration(s.fAbs), NO_VALUE) << pszCase << " at A " << s.fAbs;
        else
            EXPECT_NEAR(StandardConcentration(s.fAbs), s.fConc, 1e-9) << pszCase << " at A " << s.fAbs;
    }
}

}  // namespace

// ---------------------------------------------------------------- linear least squares

TEST(LinearFit, SlopeInterceptCorrelationAndConcentrations)
{
    struct Case {
        const char* pszName;
        Standards standards;
        double fSlope, fIntercept, fCorrelation;
        std::vector<Sample> samples;
    } kCases[] = {
        // A = 0.2 K + 0.05 exactly: a perfect line.
        {"five on a line",
         {{0.15, 0.25, 0.45, 0.65, 0.85}, {0.5, 1, 2, 3, 4}},
         0.2, 0.05, 1.0,
         {{0.55, 2.5}, {0.15, 0.5}, {0.85, 4.0}, {0.86, NO_VALUE}, {0.1, NO_VALUE}}},
        // Sx 6, Sy 0.6, Sxx 14, Sxy 1.3: m = 0.3 / 6, c = (0.6 - 0.3) / 3;
        // residuals -0.05, 0.1, -0.05: SSres 0.015, SStot 0.14 - 0.12.
        {"three scattered",
         {{0.1, 0.3, 0.2, 0, 0}, {1, 2, 3, NOT_SET, NOT_SET}},
         0.05, 0.1, 0.25,
         {{0.2, 2.0}, {0.3, 4.0}}},
        // Equal absorbances: SStot is 0, so the correlation is 0; so is the
        // slope, and a slope of 0 gives a concentration of 0.
        {"equal absorbances",
         {{0.3, 0.3, 0.3, 0, 0}, {1, 2, 3, NOT_SET, NOT_SET}},
         0.0, 0.3, 0.0,
         {{0.3, 0.0}, {0.2, NO_VALUE}}},
        // Standard 1 unset: the fit runs over standards 2, 3 and 5.
        // Sx 9, Sy 0.9, Sxx 35, Sxy 3.5: m = (10.5 - 8.1) / (105 - 81), c = 0.
        {"gap in the rows",
         {{0, 0.1, 0.3, 0, 0.5}, {NOT_SET, 1, 3, NOT_SET, 5}},
         0.1, 0.0, 1.0,
         {{0.2, 2.0}}},
        // One standard: the slope's denominator is 0, so m is 0 and c is its
        // absorbance.
        {"one standard",
         {{0, 0.4, 0, 0, 0}, {NOT_SET, 2, NOT_SET, NOT_SET, NOT_SET}},
         0.0, 0.4, 0.0,
         {{0.4, 0.0}, {0.41, NO_VALUE}}},
    };
    for (const Case& c : kCases) {
        ASSERT_TRUE(Fit(c.standards, FIT_LINEAR)) << c.pszName;
        EXPECT_NEAR(gStandardCurve.fSlope, c.fSlope, 1e-12) << c.pszName;
        EXPECT_NEAR(gStandardCurve.fIntercept, c.fIntercept, 1e-12) << c.pszName;
        EXPECT_NEAR(gStandardCurve.fCorrelation, c.fCorrelation, 1e-12) << c.pszName;
        ExpectSamples(c.samples, c.pszName);
    }
}

TEST(LinearFit, NeedsStandardOneOrTwo)
{
    Standards s = {{0, 0, 0.3, 0.4, 0.5}, {NOT_SET, NOT_SET, 3, 4, 5}};
    EXPECT_FALSE(Fit(s, FIT_LINEAR));
    EXPECT_EQ(StandardConcentration(0.4), NO_VALUE);  // an invalid calibration gives no result
    s.afConc[1] = 2;
    s.afAbs[1] = 0.2;
    EXPECT_TRUE(Fit(s, FIT_LINEAR));
    EXPECT_NEAR(StandardConcentration(0.35), 3.5, 1e-9);
}

TEST(LinearFit, TraceIsTheLineAcrossTheGraph)
{
    // K 1..5, A 0.1..0.5 on A = 0.1 K: the graph spans exactly the standards.
    Standards s = {{0.1, 0.2, 0.3, 0.4, 0.5}, {1, 2, 3, 4, 5}};
    ASSERT_TRUE(Fit(s, FIT_LINEAR));
    EXPECT_EQ(gStandardCurve.abPlot[0], 0);
    EXPECT_EQ(gStandardCurve.abPlot[125], 80);
    // Column 25 stands for K = 1.8, A = 0.18: (0.18 - 0.1) / 0.4 * 80 = 16 rows.
    EXPECT_EQ(gStandardCurve.abPlot[25], 16);
    uint8_t bColumn, bRow;
    CurvePlotPoint(3, 0.3, &bColumn, &bRow);  // the middle standard's marker
    EXPECT_EQ(bColumn, 63);                   // 62.5 rounded
    EXPECT_EQ(bRow, 40);
}

// ---------------------------------------------------------------- the interpolating curve

TEST(CurveFit, ValuesThroughTheStandards)
{
    struct Case {
        const char* pszName;
        Standards standards;
        double fBase;
        double afDiff[4];
        std::vector<Sample> samples;
    } kCases[] = {
        // Two standards: the straight line through them, d1 = 2 / 0.4.
        {"two standards",
         {{0.2, 0.6, 0, 0, 0}, {1, 3, NOT_SET, NOT_SET, NOT_SET}},
         1.0, {5.0, 0, 0, 0},
         {{0.4, 2.0}, {0.2, 1.0}, {0.6, 3.0}, {0.19, NO_VALUE}, {0.61, NO_VALUE}}},
        // Standard 2 unset: through the origin and standard 1, K = 4 A; the
        // span runs from the origin.
        {"through the origin",
         {{0.5, 0, 0, 0, 0}, {2, NOT_SET, NOT_SET, NOT_SET, NOT_SET}},
         0.0, {4.0, 0, 0, 0},
         {{0.25, 1.0}, {0.0, 0.0}, {0.5, 2.0}, {0.6, NO_VALUE}}},
        // Four standards: d1 = 1 / 0.1; f[2,3] = 3 / 0.2 = 15, f[3,4] = 7 / 0.4
        // = 17.5; d2 = 5 / 0.3 = 50/3; f[2,3,4] = 2.5 / 0.6 = 25/6;
        // d3 = (25/6 - 50/3) / 0.7 = -125/7. P(0.3) = 1 + 2 + 1/3 + 0.25/7.
        {"four standards",
         {{0.1, 0.2, 0.4, 0.8, 0}, {1, 2, 5, 12, NOT_SET}},
         1.0, {10.0, 50.0 / 3, -125.0 / 7, 0},
         {{0.3, 3.0 + 1.0 / 3 + 0.25 / 7}, {0.8, 12.0}, {0.4, 5.0}}},
        // Five standards on K = 10 A + 10 A^2: d1 = 1.3 / 0.1, d2 = 10, the
        // higher differences vanish; P(0.25) = 2.5 + 0.625.
        {"five on a parabola",
         {{0.1, 0.2, 0.3, 0.4, 0.5}, {1.1, 2.4, 3.9, 5.6, 7.5}},
         1.1, {13.0, 10.0, 0.0, 0.0},
         {{0.25, 3.125}, {0.5, 7.5}, {0.45, 6.525}}},
        // Standards 1 and 3 share an absorbance: f[1,2,3]'s denominator is 0,
        // so d2 is 0 and the curve stays the line through standards 1 and 2.
        {"zero denominator",
         {{0.2, 0.4, 0.2, 0, 0}, {1, 2, 3, NOT_SET, NOT_SET}},
         1.0, {5.0, 0, 0, 0},
         {{0.3, 1.5}}},
    };
    for (const Case& c : kCases) {
        ASSERT_TRUE(Fit(c.standards, FIT_CURVE)) << c.pszName;
        EXPECT_NEAR(gStandardCurve.fBase, c.fBase, 1e-9) << c.pszName;
        for (int i = 0; i < 4; i++)
            EXPECT_NEAR(gStandardCurve.afDiff[i], c.afDiff[i], 1e-9) << c.pszName << " d" << i + 1;
        ExpectSamples(c.samples, c.pszName);
    }
}

TEST(CurveFit, BlankStandardOneIsFittedJustAboveZero)
{
    // Standard 1 at 0.0 A and 0.0 concentration is a valid blank; it is fitted
    // at 0.00001, so the curve starts there: b0 = 0.00001,
    // d1 = (1 - 0.00001) / 0.5, f[2,3] = 2 / 0.5 = 4, d2 = (4 - d1) / 1.0.
    Standards s = {{0.0, 0.5, 1.0, 0, 0}, {0.0, 1, 3, NOT_SET, NOT_SET}};
    ASSERT_TRUE(Fit(s, FIT_CURVE));
    EXPECT_EQ(gStandardCurve.fBase, 0.00001);
    EXPECT_NEAR(gStandardCurve.afDiff[0], 1.99998, 1e-12);
    EXPECT_NEAR(gStandardCurve.afDiff[1], 2.00002, 1e-12);
    EXPECT_EQ(s.afConc[0], 0.0);  // the method's own standard is left as typed
    // P(0.25) = 0.00001 + 1.99998 * 0.25 + 2.00002 * 0.25 * -0.25
    EXPECT_NEAR(StandardConcentration(0.25), 0.37500375, 1e-12);
}

TEST(CurveFit, InvalidCurves)
{
    struct Case {
        const char* pszName;
        Standards standards;
    } kCases[] = {
        {"neither standard 1 nor 2", {{0, 0, 0.3, 0.4, 0}, {NOT_SET, NOT_SET, 3, 4, NOT_SET}}},
        {"standard 2 at 0 A", {{0.1, 0.0, 0.5, 0, 0}, {1, 2, 3, NOT_SET, NOT_SET}}},
        {"standard 4 at 0 A", {{0.1, 0.2, 0.3, 0.0, 0}, {1, 2, 3, 4, NOT_SET}}},
        {"absorbance 2.6", {{0.1, 0.2, 2.6, 0, 0}, {1, 2, 3, NOT_SET, NOT_SET}}},
        {"negative absorbance", {{-0.1, 0.2, 0.3, 0, 0}, {1, 2, 3, NOT_SET, NOT_SET}}},
        {"absorbance without a concentration", {{0.1, 0.2, 0.4, 0, 0}, {1, 2, NOT_SET, NOT_SET, NOT_SET}}},
        {"rises then falls", {{0.2, 0.4, 0.6, 0, 0}, {1, 3, 2, NOT_SET, NOT_SET}}},
        // Rises at every standard but dips between the first two:
        // P(0.15) = 1.05 - 0.225 - 0.225 = 0.6, below P(0.1) = 1.
        {"dips between standards", {{0.1, 0.2, 0.3, 0.4, 0}, {1, 1.1, 3, 3.1, NOT_SET}}},
        {"equal end concentrations", {{0.2, 0.4, 0, 0, 0}, {2, 2, NOT_SET, NOT_SET, NOT_SET}}},
        {"one absorbance for both", {{0.3, 0.3, 0, 0, 0}, {1, 2, NOT_SET, NOT_SET, NOT_SET}}},
        // Standard 2 unset while higher standards are set: the first step
        // would run through the origin and the rest would need standard 2.
        {"standard 2 unset, 3 set", {{0.2, 0, 0.6, 0, 0}, {1, NOT_SET, 3, NOT_SET, NOT_SET}}},
        {"standard 2 unset, 5 set", {{0.2, 0, 0, 0, 0.9}, {1, NOT_SET, NOT_SET, NOT_SET, 5}}},
        // Standard 5 is held to the same rules as 2..4.
        {"standard 5 at 0 A", {{0.1, 0.2, 0.3, 0.4, 0.0}, {1, 2, 3, 4, 5}}},
        {"standard 5 absorbance alone", {{0.1, 0.2, 0, 0, 0.5}, {1, 2, NOT_SET, NOT_SET, NOT_SET}}},
    };
    for (const Case& c : kCases) {
        EXPECT_FALSE(Fit(c.standards, FIT_CURVE)) << c.pszName;
        EXPECT_EQ(StandardConcentration(0.3), NO_VALUE) << c.pszName;
    }
    // A falling curve is valid: the direction comes from the ends.
    Standards falling = {{0.2, 0.4, 0.6, 0, 0}, {3, 2, 1, NOT_SET, NOT_SET}};
    ASSERT_TRUE(Fit(falling, FIT_CURVE));
    EXPECT_NEAR(StandardConcentration(0.3), 2.5, 1e-9);
}

TEST(CurveFit, CheckEvaluatesOneHundredSixtyPointsAndDrawsAConnectedTrace)
{
    static std::vector<uint16_t> s_calls;
    s_calls.clear();
    Standards s = {{0.1, 0.2, 0.3, 0.4, 0.5}, {1.1, 2.4, 3.9, 5.6, 7.5}};
    ASSERT_TRUE(FitStandardCurve(s.afAbs, s.afConc, FIT_CURVE, [](uint16_t n) { s_calls.push_back(n); }));
    ASSERT_EQ(s_calls.size(), 160u);
    EXPECT_EQ(s_calls.front(), 1);
    EXPECT_EQ(s_calls.back(), 160);
    // The graph spans K 1.1..7.5 across and A 0.1..0.5 up: the first standard
    // at the origin of the plot, the last at its far corner.
    EXPECT_EQ(gStandardCurve.abPlot[0], 0);
    EXPECT_EQ(gStandardCurve.abPlot[125], 80);
    // K = 3.125 at A = 0.25: column (3.125 - 1.1) / 6.4 * 125 = 39.55, row 0.15 / 0.4 * 80 = 30.
    EXPECT_NEAR(gStandardCurve.abPlot[40], 30, 1);
    // A rising curve draws a rising trace in every column.
    for (int c = 1; c < CURVE_PLOT_COLUMNS; c++) {
        ASSERT_NE(gStandardCurve.abPlot[c], CURVE_PLOT_NONE) << "column " << c;
        EXPECT_GE(gStandardCurve.abPlot[c], gStandardCurve.abPlot[c - 1]) << "column " << c;
    }
}
