// The scan screens on the recorded data: the cursor and its "Value = "
// readout, the Abs / %T redraw, the zoom window and the magnified view, the
// way back to the screen the scan came from, and the detector plots.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "display/graph.h"
#include "display/script.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui_fixture.h"
#include "ui/ui_internal.h"

namespace {

class ScanTest : public UiTest {
protected:
    // Main menu, "Make a measurement", "Scan", then a reference and a sample.
    void ScanWithSample()
    {
        PowerUpToMainMenu();
        Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT4, STATE_SCAN}});
        Reading(KEY_REF);
        Reading(KEY_TEST);
    }
    void Reading(uint8_t bKey)
    {
        Press(bKey);
        Host().AdvanceMs(6000);
    }
    void Repeat(uint8_t bKey, int n)
    {
        for (int i = 0; i < n; i++)
            Press(bKey);
    }
    std::vector<bool> Screen() const
    {
        std::vector<bool> ab;
        for (int y = 0; y < 128; y++)
            for (int x = 0; x < 240; x++)
                ab.push_back(m_pHost->Pixel(x, y));
        return ab;
    }
};

// The readout shows the value that the photometric queries give at the
// cursor's wavelength, 330 + 4 nm per column, in the current mode.
TEST_F(ScanTest, ReadoutFollowsTheCursorInBothModes)
{
    ScanWithSample();
    int nColumn = 0;
    for (int nTarget : {0, 62, 125}) {
        Repeat(KEY_RIGHT, nTarget - nColumn);
        nColumn = nTarget;
        int nNm = 330 + 4 * nTarget;
        EXPECT_EQ(gbScanColumn, nTarget);
        EXPECT_EQ(gbCursorColumn, nTarget);
        EXPECT_EQ(gnShowI1, nNm);
        EXPECT_DOUBLE_EQ(gfShowD1, Absorbance(nNm)) << nNm;
    }
    Press(KEY_RIGHT);
    EXPECT_EQ(gbScanColumn, 125) << "the cursor stops at 830 nm";
    Press(KEY_SOFT1);
    EXPECT_EQ(gbTransmittanceMode, 1);
    Repeat(KEY_LEFT, 63);
    EXPECT_EQ(gnShowI1, 578);
    EXPECT_DOUBLE_EQ(gfShowD4, Transmittance(578));
    Repeat(KEY_LEFT, 70);
    EXPECT_EQ(gbScanColumn, 0) << "the cursor stops at 330 nm";

    // After a reference the sample is the blank: 100 %T, 0.000 A.
    Reading(KEY_REF);
    EXPECT_DOUBLE_EQ(gfShowD4, 100.0);
    Press(KEY_SOFT1);
    EXPECT_DOUBLE_EQ(gfShowD1, 0.0);
}

// A mode change, a new reading or a cursor move leaves the screen exactly as
// a fresh entry into the scan draws it: no old trace, no old readout.
TEST_F(ScanTest, RedrawsLeaveNothingOfTheOldPlot)
{
    ScanWithSample();
    Repeat(KEY_RIGHT, 40);
    Press(KEY_SOFT1);  // to %T
    Repeat(KEY_RIGHT, 20);
    Repeat(KEY_LEFT, 20);
    Reading(KEY_TEST);
    const std::vector<bool> drawn = Screen();
    Walk({{KEY_ESCAPE, STATE_MEASURE_MENU}, {KEY_SOFT4, STATE_SCAN}});
    EXPECT_TRUE(Screen() == drawn);
    Press(KEY_SOFT1);  // back to Abs
    Press(KEY_SOFT1);  // and to %T again
    EXPECT_TRUE(Screen() == drawn);
}

// Zoom in shows 125 nm from the box's first column, at most from 705 nm; the
// box starts with its left edge at the cursor and the four arrows move it.
TEST_F(ScanTest, ZoomWindowStartsAtTheBoxAndNeverAbove705)
{
    struct Case {
        int nCursorColumn;
        int nBoxRight;  // RIGHT presses in the zoom box screen
        int nBoxLeft;   // LEFT presses
        uint16_t unStart;
    };
    ScanWithSample();
    const Case kCases[] = {
        {0, 0, 0, 330},   {62, 0, 0, 578},   {107, 0, 0, 705}, {108, 0, 0, 705},
        {0, 10, 0, 370},  {62, 0, 5, 558},   {0, 0, 3, 330},
    };
    int nColumn = 0;
    for (const Case& c : kCases) {
        Repeat(c.nCursorColumn > nColumn ? KEY_RIGHT : KEY_LEFT, std::abs(c.nCursorColumn - nColumn));
        nColumn = c.nCursorColumn;
        Walk({{KEY_SOFT2, STATE_SCAN_ZOOM_SELECT}});
        Repeat(KEY_RIGHT, c.nBoxRight);
        Repeat(KEY_LEFT, c.nBoxLeft);
        Press(KEY_UP);
        EXPECT_EQ(gbCursorColumn, c.nCursorColumn) << "the arrows move the box, not the cursor";
        Walk({{KEY_SOFT1, STATE_SCAN_ZOOMED}});
        EXPECT_EQ(gunZoomStart, c.unStart) << "cursor column " << c.nCursorColumn;
        EXPECT_EQ(gnShowI11, c.unStart);
        EXPECT_EQ(gnShowI10, c.unStart + 125);
        uint16_t unCursorNm = static_cast<uint16_t>(330 + 4 * c.nCursorColumn);
        uint16_t unExpected = unCursorNm < c.unStart ? c.unStart : unCursorNm > c.unStart + 125 ? c.unStart + 125
                                                                                                 : unCursorNm;
        EXPECT_EQ(gnShowI1, unExpected) << "the magnified view's cursor keeps the wavelength";
        Walk({{KEY_SOFT1, STATE_SCAN}});
        nColumn = gbScanColumn;
    }
}

// In the magnified view the cursor steps 1 nm per column within the window;
// REF and TEST keep the window; Zoom out returns to the cursor's column.
TEST_F(ScanTest, MagnifiedViewStepsOneNanometre)
{
    ScanWithSample();
    Repeat(KEY_RIGHT, 100);  // 730 nm
    Walk({{KEY_SOFT2, STATE_SCAN_ZOOM_SELECT}, {KEY_SOFT1, STATE_SCAN_ZOOMED}});
    ASSERT_EQ(gunZoomStart, 705);
    EXPECT_EQ(gnShowI1, 730);
    Repeat(KEY_RIGHT, 3);
    EXPECT_EQ(gnShowI1, 733);
    EXPECT_DOUBLE_EQ(gfShowD1, Absorbance(733));
    Repeat(KEY_RIGHT, 200);
    EXPECT_EQ(gnShowI1, 830);
    Reading(KEY_TEST);
    EXPECT_EQ(gunScreenState, STATE_SCAN_ZOOMED);
    EXPECT_EQ(gnShowI11, 705);
    EXPECT_EQ(gnShowI1, 830);
    Repeat(KEY_LEFT, 300);
    EXPECT_EQ(gnShowI1, 705);
    Repeat(KEY_RIGHT, 57);  // 762 nm
    Walk({{KEY_ESCAPE, STATE_SCAN}});
    EXPECT_EQ(gbScanColumn, 108);
    EXPECT_EQ(gnShowI1, 762);
}

// Escape from the scan (and from its zoom screens through it) returns to the
// screen the scan was entered from; the method run enters it with the cursor
// at the method's wavelength.
TEST_F(ScanTest, EscapeReturnsToTheScreenTheScanCameFrom)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT4, STATE_SCAN}, {KEY_SOFT2, STATE_SCAN_ZOOM_SELECT},
          {KEY_SOFT1, STATE_SCAN_ZOOMED}, {KEY_ESCAPE, STATE_SCAN}, {KEY_SOFT2, STATE_SCAN_ZOOM_SELECT},
          {KEY_ESCAPE, STATE_SCAN}, {KEY_ESCAPE, STATE_MEASURE_MENU}});
    Walk({{KEY_SOFT1, STATE_CHOOSE_MEASUREMENT}, {KEY_SOFT1, STATE_SINGLE_MEASURE}, {KEY_SOFT3, STATE_SCAN},
          {KEY_ESCAPE, STATE_SINGLE_MEASURE}, {KEY_SOFT2, STATE_SINGLE_WAVELENGTH}, {KEY_SOFT3, STATE_SCAN},
          {KEY_ESCAPE, STATE_SINGLE_MEASURE}, {KEY_ESCAPE, STATE_MEASURE_MENU}});
    Walk({{KEY_SOFT1, STATE_CHOOSE_MEASUREMENT}, {KEY_SOFT3, STATE_RATIO_MEASURE}, {KEY_SOFT3, STATE_SCAN},
          {KEY_ESCAPE, STATE_RATIO_MEASURE}, {KEY_ESCAPE, STATE_MEASURE_MENU}});
    Walk({{KEY_SOFT1, STATE_CHOOSE_MEASUREMENT}, {KEY_SOFT2, STATE_MULTI_MEASURE}, {KEY_SOFT3, STATE_SCAN},
          {KEY_ESCAPE, STATE_MULTI_MEASURE}, {KEY_ESCAPE, STATE_MEASURE_MENU}});
    Walk({{KEY_SOFT3, STATE_METHOD_LIST}, {KEY_SOFT4, STATE_METHOD_SUMMARY}, {KEY_SOFT1, STATE_METHOD_RUN},
          {KEY_SOFT3, STATE_SCAN}});
    EXPECT_EQ(gnShowI1, static_cast<int>(gMethod.unWavelength)) << "cursor at the method wavelength";
    Walk({{KEY_ESCAPE, STATE_METHOD_RUN}});
}

// The service screen's plots: light minus dark, dark and frames of the
// wavelength's pixel through the scan screen; S1 does not switch them to
// %T; Escape returns to the service screen.
TEST_F(ScanTest, DetectorPlotsFromTheServiceScreen)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT3, STATE_SETUP_MENU}, {KEY_UP, STATE_SETUP_MENU}, {KEY_DOWN, STATE_SETUP_MENU},
          {KEY_TEST, STATE_SERVICE_MENU}, {KEY_SOFT2, STATE_DIAGNOSTICS}, {KEY_SOFT3, STATE_DIAGNOSTIC_SCANS}});
    struct Case {
        uint8_t bKey;
        uint8_t bSubState;
    };
    for (Case c : {Case{KEY_SOFT1, 7}, Case{KEY_SOFT2, 8}, Case{KEY_SOFT3, 9}}) {
        Walk({{c.bKey, STATE_SCAN}});
        EXPECT_EQ(gunScreenSubState, c.bSubState);
        Repeat(KEY_RIGHT, 31);
        int nColumn = gbScanColumn;
        int32_t nPixel = WavelengthToPixel(330 + 4 * nColumn);
        int32_t nExpected = c.bSubState == 7   ? gunLightReadings[nPixel] - gunDarkReadings[nPixel]
                            : c.bSubState == 8 ? gunDarkReadings[nPixel]
                                               : gbFrameCounts[nPixel];
        EXPECT_EQ(gnShowI12, nExpected < 0 ? 0 : nExpected) << int(c.bSubState);
        uint8_t bMode = gbTransmittanceMode;
        Press(KEY_SOFT1);
        EXPECT_EQ(gbTransmittanceMode, bMode);
        EXPECT_EQ(gabTrace[nColumn], std::min<int>(100, static_cast<int>(
                                                        (c.bSubState == 7   ? nExpected * 0.0016
                                                         : c.bSubState == 8 ? nExpected * 0.005
                                                                            : nExpected) + 0.5)));
        Walk({{KEY_ESCAPE, STATE_DIAGNOSTIC_SCANS}});
        EXPECT_EQ(gunScreenSubState, 0);
    }
}

}  // namespace
