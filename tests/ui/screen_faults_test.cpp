// Screens that must not mislead: the ratio of clipped readings, the scan
// readout, the program messages, the curve method's run screen, the units
// list, the self-test advice, the diagnostics table after REF, the delete
// question, the Memory Full message and the soft-key labels in every
// language.
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "display/language.h"
#include "display/lcd.h"
#include "display/script.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui_fixture.h"
#include "ui/ui_internal.h"

namespace {

class ScreenFaultTest : public UiTest {
protected:
    std::vector<bool> Screen()
    {
        std::vector<bool> ab;
        for (int y = 0; y < LCD_HEIGHT; y++)
            for (int x = 0; x < LCD_WIDTH; x++)
                ab.push_back(Host().Pixel(x, y));
        return ab;
    }
    // True when the script's drawing is already on the screen: character
    // cells are opaque, so drawing the same text again changes no pixel.
    bool Shows(const char* pszScript)
    {
        std::vector<bool> abBefore = Screen();
        DisplayScript(pszScript);
        return Screen() == abBefore;
    }
    // True when the screen is what a fresh draw of its state gives.
    bool AsFreshlyDrawn()
    {
        std::vector<bool> abBefore = Screen();
        gunLastDrawnState = STATE_NEVER_DRAWN;
        DrawScreen();
        return Screen() == abBefore;
    }
    bool Blank(int x0, int x1, int y0, int y1)
    {
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++)
                if (Host().Pixel(x, y))
                    return false;
        return true;
    }
    void Reading(uint8_t bKey)
    {
        Press(bKey);
        Host().AdvanceMs(6000);
    }
};

// Both ratio wavelengths read ">2.5": the ratio of two clipped values is no
// value, shown as such with "Sample out of range", and printed so.
TEST_F(ScreenFaultTest, RatioOfClippedReadingsIsOutOfRange)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT1, STATE_CHOOSE_MEASUREMENT}, {KEY_SOFT3, STATE_RATIO_MEASURE}});
    Reading(KEY_REF);
    Reading(KEY_TEST);
    ASSERT_LT(gfRatio, 61110.0) << "the recorded sample gives a ratio";
    gfTestReadings[360 - 330] = 0.01f;
    gfTestReadings[380 - 330] = 0.01f;
    gunLastDrawnState = STATE_NEVER_DRAWN;
    DrawScreen();
    EXPECT_GT(gfRatioA1, 2.49);
    EXPECT_GT(gfRatioA2, 2.49);
    EXPECT_EQ(gfRatio, NO_VALUE);
    EXPECT_TRUE(Shows("F0V0 X70Y120T167"));

    // The printed report says it too; the comma-separated record keeps the
    // mark in the ratio's field.
    gbOutputDevice = 0;
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_SAMPLE_NUMBER}});
    Press(KEY_SOFT4);
    Host().AdvanceMs(2000);
    EXPECT_NE(Host().SerialText().find("Ratio\r\nSample out of range\r\n"), std::string::npos) << Host().SerialText();
}

// The scan's readout: the value never runs into the wavelength, in any
// language, and a value that rounds to zero shows without a minus sign.
TEST_F(ScreenFaultTest, ScanReadoutFitsAndHasNoNegativeZero)
{
    gunScreenState = STATE_SCAN;
    gnShowI1 = 734;
    for (uint8_t bLanguage = 0; bLanguage < LANGUAGE_COUNT; bLanguage++) {
        gbLanguage = bLanguage;
        LcdClear();
        gfShowD1 = -0.3;  // the widest number: "-0.300"
        DrawFragment(FRAG_SCAN_VALUE_ABS);
        EXPECT_TRUE(Blank(172, 177, 0, 8)) << "language " << int(bLanguage) << ": no gap before the wavelength";

        LcdClear();
        gfShowD1 = -0.0004;
        DrawFragment(FRAG_SCAN_VALUE_ABS);
        std::vector<bool> abNegative = Screen();
        LcdClear();
        gfShowD1 = 0.0;
        DrawFragment(FRAG_SCAN_VALUE_ABS);
        EXPECT_TRUE(Screen() == abNegative) << "language " << int(bLanguage) << ": -0.0004 is drawn as 0.000";
    }
    gbLanguage = 0;
}

// The method program's messages name the calibration the screen offers and
// end clear of the up-down hint at x = 208 (they are drawn from x = 70).
TEST_F(ScreenFaultTest, ProgramMessagesNameTheChoicesAndFit)
{
    for (uint8_t bLanguage = 0; bLanguage < LANGUAGE_COUNT; bLanguage++) {
        std::string sKinetics = LanguageTextIn(bLanguage, 141);
        std::string sCurve = LanguageTextIn(bLanguage, 152);
        EXPECT_NE(sKinetics.find(LanguageTextIn(bLanguage, 123)), std::string::npos)
            << int(bLanguage) << ": " << sKinetics << " names Factor";
        EXPECT_NE(sCurve.find(LanguageTextIn(bLanguage, 88)), std::string::npos)
            << int(bLanguage) << ": " << sCurve << " names Std";
        EXPECT_LE(70 + 6 * sKinetics.size(), 204u) << int(bLanguage) << ": " << sKinetics;
        EXPECT_LE(70 + 6 * sCurve.size(), 204u) << int(bLanguage) << ": " << sCurve;
    }
}

// A standard-curve method's run screen shows its calibration and fit, not a
// factor; a factor method still shows its factor.
TEST_F(ScreenFaultTest, CurveMethodRunShowsTheCurveNotAFactor)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT3, STATE_METHOD_LIST}, {KEY_SOFT4, STATE_METHOD_SUMMARY},
          {KEY_SOFT1, STATE_METHOD_RUN}});
    EXPECT_TRUE(Shows("F0A0 X68Y28T123T15"));
    gMethod.bCalibration = 1;
    gMethod.bCurveFit = 0;
    gunLastDrawnState = STATE_NEVER_DRAWN;
    DrawScreen();
    EXPECT_TRUE(Shows("F0A0 X68Y28T49T15T88"));
    EXPECT_TRUE(Shows("F0A0 X68Y40T290"));
}

// The blank units (14..18) read "(none)" in the units list.
TEST_F(ScreenFaultTest, BlankUnitsReadNone)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT3, STATE_METHOD_LIST}, {KEY_SOFT4, STATE_METHOD_SUMMARY},
          {KEY_SOFT2, STATE_METHOD_PROGRAM}, {KEY_DOWN, STATE_METHOD_PROGRAM}, {KEY_DOWN, STATE_METHOD_PROGRAM},
          {KEY_SOFT4, STATE_METHOD_UNITS}});
    for (int i = 14; i < 19; i++) {
        char szScript[32];
        std::snprintf(szScript, sizeof szScript, "F0A0 X160Y%dT145", 14 + 10 * (i % 10));
        EXPECT_TRUE(Shows(szScript)) << "unit " << i;
    }
}

// With all three tests failed, six advice lines: each keeps a clear row
// under its descenders.
TEST_F(ScreenFaultTest, SelfTestAdviceLinesDoNotTouch)
{
    SwitchOn();
    ASSERT_TRUE(WaitState(STATE_SELFTEST_LAMP));
    Press(KEY_ESCAPE);
    ASSERT_TRUE(WaitState(STATE_SELFTEST_WAVELENGTH, 5000));
    Press(KEY_ESCAPE);
    ASSERT_TRUE(WaitState(STATE_SELFTEST_ARRAY, 5000));
    Press(KEY_ESCAPE);
    ASSERT_TRUE(WaitState(STATE_SELFTEST_FAILED, 5000));
    int nLines = 0;
    for (int y = 68; y + 7 < LCD_HEIGHT; y += 10) {
        nLines += Blank(64, 239, y, y + 7) ? 0 : 1;
        EXPECT_TRUE(Blank(64, 239, y + 8, std::min(y + 9, LCD_HEIGHT - 1))) << "row " << y + 8;
    }
    EXPECT_EQ(nLines, 6);
}

// "Diags Table" after REF: the progress of the diagnostics is gone and the
// R hint is back.
TEST_F(ScreenFaultTest, DiagnosticsTableAfterRefIsWhole)
{
    SwitchOn();
    Walk({{KEY_LEFT, STATE_SPLASH}, {KEY_RIGHT, STATE_MAIN_MENU}, {KEY_SOFT3, STATE_SETUP_MENU},
          {KEY_UP, STATE_SETUP_MENU}, {KEY_DOWN, STATE_SETUP_MENU}, {KEY_TEST, STATE_SERVICE_MENU},
          {KEY_SOFT2, STATE_DIAGNOSTICS}, {KEY_SOFT3, STATE_DIAGNOSTIC_SCANS}, {KEY_SOFT4, STATE_DIAGNOSTICS_TABLE}});
    Press(KEY_REF);
    Host().AdvanceMs(30000);
    ASSERT_EQ(gunScreenState, STATE_DIAGNOSTICS_TABLE);
    EXPECT_TRUE(Shows("F0A0 X172Y119T138"));
    EXPECT_TRUE(AsFreshlyDrawn());
}

// The delete question puts "?" right after the name, not after its padding.
TEST_F(ScreenFaultTest, DeleteQuestionEndsAtTheName)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT3, STATE_METHOD_LIST}, {KEY_SOFT4, STATE_METHOD_SUMMARY}});
    std::memcpy(gMethod.szName, "ABC          ", 14);
    Walk({{KEY_SOFT3, STATE_DELETE_METHOD}});
    EXPECT_TRUE(Shows("F0A0 X86Y96T126"));
}

// "Memory Full" leaves no trace on the method list after its time-out.
TEST_F(ScreenFaultTest, MemoryFullIsClearedAfterItsTimeOut)
{
    PowerUpToMainMenu();
    for (int i = 0; i < METHOD_COUNT; i++)
        StoreByte(static_cast<uint16_t>(METHOD_RECORD_BASE + METHOD_RECORD_SIZE * i), 'A');
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT3, STATE_METHOD_LIST}, {KEY_SOFT1, STATE_MEMORY_FULL}});
    ASSERT_TRUE(WaitState(STATE_METHOD_LIST, 6000));
    EXPECT_TRUE(AsFreshlyDrawn());
    EXPECT_FALSE(Shows("F0A0 X68Y86T143"));
}

// Every soft-key label of every screen, in every language, leaves the two
// columns before its box's right edge (x = 63) clear.
TEST_F(ScreenFaultTest, SoftKeyLabelsClearTheirFrames)
{
    const std::regex kMask("k([0-9]+)");
    for (uint8_t bLanguage = 0; bLanguage < LANGUAGE_COUNT; bLanguage++) {
        gbLanguage = bLanguage;
        for (uint16_t un = 0; un < SCREEN_SCRIPT_COUNT; un++) {
            std::string sScript = ScreenScript(un);
            std::smatch match;
            if (!std::regex_search(sScript, match, kMask))
                continue;
            int nMask = std::stoi(match[1].str());
            LcdClear();
            DisplayScript(sScript.c_str());
            for (int nKey = 0; nKey < 4; nKey++)
                if (nMask & (1 << nKey)) {
                    int y = 10 + 29 * nKey;
                    EXPECT_TRUE(Blank(61, 62, y + 1, y + 14))
                        << "language " << int(bLanguage) << ", script " << un << ", soft key " << nKey + 1;
                }
        }
    }
    gbLanguage = 0;
}

}  // namespace
