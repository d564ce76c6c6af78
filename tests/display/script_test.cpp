// The display-script interpreter: its lexical rules, every command, the
// register formatting rules and the edit field, drawn into a headless
// display that is never powered up.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "display/font.h"
#include "display/language.h"
#include "display/lcd.h"
#include "display/script.h"
#include "display/text_data.h"
#include "instrument.h"
#include "storage/params.h"
#include "ui/ui.h"

namespace {

using Screen = std::vector<uint8_t>;

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void Reset()
    {
        LcdInit();
        gbFont = FONT_SMALL;
        gunScreenState = 10;
        gunScreenSubState = 0;
        gunDisplayOption = 0;
        gbLanguage = 0;
        std::memset(gszEditText, 0, sizeof gszEditText);
        std::memset(gszValueText, 0, sizeof gszValueText);
        m_host.ClearChangedFlags();
    }
    Screen Shown() const
    {
        Screen ab;
        for (uint16_t a = LCD_GRAPHIC_BASE; a < LCD_GRAPHIC_BASE + LCD_SCREEN_BYTES; a++)
            ab.push_back(m_host.DisplayByte(a));
        return ab;
    }
    bool Blank() const { return Shown() == Screen(LCD_SCREEN_BYTES, 0); }
    bool ChangedPastScreen() const
    {
        for (uint16_t a = LCD_GRAPHIC_BASE + LCD_SCREEN_BYTES; a < LCD_MEMORY_END; a++)
            if (m_host.ByteChanged(a))
                return true;
        return false;
    }
    // The screen drawn by a script, from a clear display.
    Screen DrawnBy(const char* pszScript)
    {
        Reset();
        DisplayScript(pszScript);
        return Shown();
    }
    // The screen drawn by direct calls, from a clear display.
    Screen DrawnBy(const std::function<void()>& draw)
    {
        Reset();
        draw();
        return Shown();
    }
    // The text a register command formats (from a clear display).
    std::string ValueShownBy(const std::string& sScript)
    {
        LcdInit();
        std::strcpy(gszValueText, "untouched");
        DisplayScript(sScript.c_str());
        return gszValueText;
    }
    CInstrument m_host;
};

void PutStringAt(uint8_t x, uint8_t y, uint8_t bFont, const char* psz)
{
    gbFont = bFont;
    LcdMoveTo(x, y);
    LcdPutString(psz);
}

}  // namespace

TEST_F(ScriptTest, SpacesBetweenCommandsChangeNothing)
{
    Screen packed = DrawnBy("X8Y14T5");
    uint8_t x = gbCursorX, y = gbCursorY;
    EXPECT_EQ(DrawnBy("X8 Y14 T5"), packed);
    EXPECT_EQ(DrawnBy("  X8   Y14T5  "), packed);
    EXPECT_EQ(gbCursorX, x);
    EXPECT_EQ(gbCursorY, y);
    EXPECT_EQ(packed, DrawnBy([] { PutStringAt(8, 14, FONT_SMALL, "Repeat last operation"); }));
}

TEST_F(ScriptTest, ArgumentsAndUnknownCommands)
{
    struct Case {
        const char* pszScript;
        uint8_t x, y;
    } kCases[] = {
        {"X7Y9", 7, 9},
        {"X", 0, 1},
        {"X264Y65535", 8, 255},          // low 8 bits
        {"X4294967304Y3", 8, 3},         // 2^32 + 8 wraps in the 32-bit accumulator
        {"Q99X7 Z12Y5", 7, 5},           // unknown letters take their digits with them
        {"9X7#Y6", 7, 6},                // a digit or symbol in command position does nothing
        {"Y10 y251 X4 x250", 254, 5},    // relative moves wrap: 5 rows up
        {"X200Y100x56y156", 0, 0},
    };
    for (const Case& c : kCases) {
        Reset();
        LcdMoveTo(1, 1);
        DisplayScript(c.pszScript);
        EXPECT_EQ(gbCursorX, c.x) << c.pszScript;
        EXPECT_EQ(gbCursorY, c.y) << c.pszScript;
        EXPECT_TRUE(Blank()) << c.pszScript;
    }
    // The line end moves the same way.
    DisplayScript("H10 h250 V10 v251");
    EXPECT_EQ(gbLineEndX, 4);
    EXPECT_EQ(gbLineEndY, 5);
    DisplayScript("H300V7");
    EXPECT_EQ(gbLineEndX, 44);
    EXPECT_EQ(gbLineEndY, 7);
}

TEST_F(ScriptTest, FontAndInverseResetEveryScriptAndCursorCarriesOver)
{
    gbFont = FONT_DIGITS;
    gbInverse = 1;
    LcdMoveTo(30, 40);
    gbLineEndX = 9;
    uint32_t unRefreshes = m_host.RefreshCount();
    DisplayScript("");
    EXPECT_EQ(gbFont, FONT_SMALL);
    EXPECT_EQ(gbInverse, 0);
    EXPECT_EQ(m_host.RefreshCount(), unRefreshes);
    EXPECT_TRUE(Blank());
    DisplayScript("F1A1");
    DisplayScript("T121");  // continues where the cursor was, in font 0, normal video
    EXPECT_EQ(gbCursorX, 36);
    EXPECT_EQ(gbCursorY, 40);
    EXPECT_EQ(gbLineEndX, 9);
    Screen continued = Shown();
    EXPECT_EQ(continued, DrawnBy([] { PutStringAt(30, 40, FONT_SMALL, "A"); }));
}

TEST_F(ScriptTest, RefreshAtTheEndAndAfterEveryRealRegister)
{
    struct Case {
        const char* pszScript;
        uint32_t unRefreshes;
    } kCases[] = {{"", 0},       {" ", 1},      {"X8Y14T5", 1},         {"D2", 2},  {"D0", 2},
                  {"D12 D99", 3}, {"D1 D2 D3", 4}, {"I1 I5 I13 T5 C", 1}, {"F3 D6", 2}};
    for (const Case& c : kCases) {
        uint32_t unBefore = m_host.RefreshCount();
        DisplayScript(c.pszScript);
        EXPECT_EQ(m_host.RefreshCount() - unBefore, c.unRefreshes) << '"' << c.pszScript << '"';
    }
    // D0 and registers without a rule draw nothing.
    Reset();
    DisplayScript("X10Y10 D0 D12 D32 D65535 I13 I64 I49");
    EXPECT_TRUE(Blank());
}

TEST_F(ScriptTest, TextsFollowTheLanguageCode)
{
    struct Case {
        uint8_t bCode;
        int nLanguage;
    } kCases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {7, 0}, {255, 0}};
    for (const Case& c : kCases) {
        Screen expected = DrawnBy([&] { PutStringAt(8, 14, FONT_SMALL, gapszLanguageTable[c.nLanguage][5]); });
        gbLanguage = c.bCode;
        DisplayScript("X8Y14T5");
        EXPECT_EQ(Shown(), expected) << int(c.bCode);
    }
    EXPECT_NE(DrawnBy([] { PutStringAt(8, 14, FONT_SMALL, gapszLanguageTable[1][5]); }),
              DrawnBy([] { PutStringAt(8, 14, FONT_SMALL, gapszLanguageTable[0][5]); }));
    // Text numbers use the low 16 bits; numbers past the table draw nothing.
    EXPECT_EQ(DrawnBy("X0Y0T65864"), DrawnBy("X0Y0T328"));
    EXPECT_TRUE(Blank() == false);
    DrawnBy("X0Y0T330 T1000 T65535");
    EXPECT_TRUE(Blank());
    EXPECT_EQ(gbCursorX, 0);
}

TEST_F(ScriptTest, FontAndAttributeCommands)
{
    EXPECT_EQ(DrawnBy("A1 X20Y30 T121 A2 T121 A0 T121"), DrawnBy([] {
                  gbInverse = 1;
                  PutStringAt(20, 30, FONT_SMALL, "A");
                  gbInverse = 2;
                  LcdPutString("A");
                  gbInverse = 0;
                  LcdPutString("A");
              }));
    EXPECT_EQ(DrawnBy("F1 X20Y30 T121 F2 T24"), DrawnBy([] {
                  PutStringAt(20, 30, FONT_LARGE, "A");
                  gbFont = FONT_DIGITS;
                  LcdPutString("1");
              }));
    // F259 is F3: no font, so no text of any kind is drawn.
    DrawnBy("F259 X20Y30 T5 D2 D6 I1 S2 S4 c3 s0");
    EXPECT_TRUE(Blank());
    EXPECT_EQ(gbCursorX, 20);
}

TEST_F(ScriptTest, ClearBoxesFramesAndLines)
{
    Screen full = DrawnBy("X0Y0 F1 T5");
    EXPECT_NE(full, Screen(LCD_SCREEN_BYTES, 0));
    for (const char* psz : {"C", "C0", "C9"}) {
        DrawnBy("X50Y50 F1 T121");
        LcdMoveTo(50, 50);
        DisplayScript(psz);
        EXPECT_TRUE(Blank()) << psz;
        EXPECT_EQ(gbCursorX, 50) << psz;
    }
    EXPECT_EQ(DrawnBy("X5Y10 B0"), DrawnBy([] {
                  LcdMoveTo(5, 10);
                  LcdBox(LINE_SET, 59, 16);
              }));
    EXPECT_EQ(DrawnBy("X5Y10 B65537"), DrawnBy([] {
                  LcdMoveTo(5, 10);
                  LcdBox(LINE_SET, 137, 16);
              }));
    DrawnBy("X5Y10 B2 M0 M2 S0 S5");
    EXPECT_TRUE(Blank());
    EXPECT_EQ(DrawnBy("K7"), DrawnBy([] { LcdSoftKeyFrame(1, 7); }));
    EXPECT_EQ(DrawnBy("k15"), DrawnBy([] { LcdSoftKeyFrame(0, 15); }));
    EXPECT_EQ(DrawnBy("j5"), DrawnBy([] { LcdSoftKeyFrame(2, 5); }));
    EXPECT_EQ(DrawnBy("X10Y20 H30V40 L1 H100 L2"), DrawnBy([] {
                  LcdMoveTo(10, 20);
                  LcdLine(LINE_SET, 30, 40);
                  LcdLine(LINE_DOTTED, 100, 40);
              }));
    EXPECT_EQ(gbCursorX, 100);
    EXPECT_EQ(gbCursorY, 40);
}

TEST_F(ScriptTest, StartupImageAndFixedTexts)
{
    DrawnBy("M1");
    EXPECT_EQ(Shown(), Screen(gabStartupImage, gabStartupImage + LCD_SCREEN_BYTES));
    EXPECT_FALSE(Blank());
    EXPECT_EQ(DrawnBy("X50Y78S2 X65Y88S3 X87Y105S4"), DrawnBy([] {
                  PutStringAt(50, 78, FONT_SMALL, " Visible Diode Array");
                  PutStringAt(65, 88, FONT_SMALL, "Spectrophotometer");
                  PutStringAt(87, 105, FONT_SMALL, "Q4K7 V1.0");
              }));
    // S1 shows the edit text, at most the 19 characters the value buffer holds.
    Reset();
    std::strcpy(gszEditText, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    DisplayScript("X0Y0S1");
    EXPECT_STREQ(gszValueText, "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(gbCursorX, 19 * 6);
    Reset();
    std::memset(gszEditText, 'x', sizeof gszEditText);  // no terminator at all
    DisplayScript("X0Y0S1");
    EXPECT_EQ(std::strlen(gszValueText), 19u);
}

TEST_F(ScriptTest, RealRegisterRules)
{
    struct Case {
        const char* pszScript;
        double* pfVariable;
        double fValue;
        uint8_t bState;
        uint32_t unOption;
        const char* pszExpected;
    } kCases[] = {
        // D1 by screen state and display option.
        {"D1", &gfShowD1, 61111, 10, 0, "----- "},
        {"D1", &gfShowD1, 61111, 43, 1, "---- "},
        {"D1", &gfShowD1, 50.0, 43, 1, "50.0"},
        {"D1", &gfShowD1, 0.1, 43, 1, "<0.3 "},
        {"D1", &gfShowD1, 250, 43, 1, ">200 "},
        {"D1", &gfShowD1, 3.0, 10, 0, ">2.5  "},
        {"D1", &gfShowD1, -0.5, 10, 0, "<-0.3 "},
        {"D1", &gfShowD1, 1.5, 10, 0, "1.500   "},
        {"D1", &gfShowD1, 3.0, 10, 4, "3.000   "},
        {"D1", &gfShowD1, -0.5, 10, 5, "-0.500   "},
        {"D1", &gfShowD1, 0.25, 17, 0, "0.250 "},
        {"D1", &gfShowD1, 0.25, 21, 0, "0.250 "},
        {"D1", &gfShowD1, 0.25, 22, 0, "0.250   "},
        {"D1", &gfShowD1, 1.5, 43, 0, "1.5000"},
        {"D1", &gfShowD1, 3.0, 43, 0, ">2.5  "},
        {"D1", &gfShowD1, 150.0, 43, 4, "150.00"},
        {"D1", &gfShowD1, 12345.0, 43, 5, "12345"},
        {"D1", &gfShowD1, 0.5, 52, 0, "0.500"},
        {"D1", &gfShowD1, 0.5, 126, 0, "0.500"},
        // Absorbance rule.
        {"D2", &gfShowD2, 1.25, 10, 0, "1.250"},
        {"D2", &gfShowD2, 2.49, 10, 0, "2.490"},
        {"D2", &gfShowD2, 2.5, 10, 0, ">2.5  "},
        {"D2", &gfShowD2, -0.3, 10, 0, "-0.300"},
        {"D2", &gfShowD2, -0.31, 10, 0, "<-0.3 "},
        {"D4", &gfShowD4, 61111, 10, 0, "----- "},
        {"D5", &gfShowD5, 0.75, 10, 0, "0.750"},
        {"D26", &gfShowD1, 3.0, 10, 4, ">2.5  "},
        {"D40", &gfShowD40, 0.5, 10, 0, "0.500"},
        {"D40", &gfShowD40, -1.0, 10, 0, "<-0.3 "},
        // Magnitude rule.
        {"D3", &gfShowD3, 150, 10, 0, "150.00"},
        {"D3", &gfShowD3, -150, 10, 0, "-150.0"},
        {"D3", &gfShowD3, -20000, 10, 0, "-----"},
        {"D3", &gfShowD3, 61111, 10, 0, "-----"},
        {"D3", &gfShowD3, 5, 10, 0, "5.000"},
        {"D3", &gfShowD3, 100, 10, 0, "100.000"},
        {"D3", &gfShowD3, -10, 10, 0, "-10.000"},
        {"D3", &gfShowD3, -50, 10, 0, "-50.00"},
        {"D3", &gfShowD3, 1000, 10, 0, "1000.00"},
        {"D3", &gfShowD3, 5000, 10, 0, "5000.0"},
        {"D3", &gfShowD3, -5000, 10, 0, "-5000"},
        {"D3", &gfShowD3, 20000, 10, 0, "20000"},
        {"D60", &gfShowD60, 150, 10, 0, "150.00"},
        // Factor, kinetics, correlation, axis labels, standards.
        {"D6", &gfShowD6, 1.23456, 10, 0, " 1.2346"},
        {"D7", &gfShowD7, 61111, 10, 0, "---"},
        {"D7", &gfShowD7, -0.5, 10, 0, "-0.50"},
        {"D8", &gfShowD8, 0.5, 10, 0, "0.500"},
        {"D9", &gfShowD9, 0.9987, 10, 0, "0.999"},
        {"D9", &gfShowD9, 61111, 10, 0, "---"},
        {"D10", &gfShowD2, 12.5, 10, 0, "12.50"},
        {"D10", &gfShowD2, 61111, 10, 0, "----"},
        {"D11", &gfShowD3, 0.5, 10, 0, "0.50"},
        {"D20", &gfShowD20, 100000.0, 10, 0, "-------"},
        {"D20", &gfShowD20, 5.0, 10, 0, " 5.0000"},
        {"D24", &gfShowD24, 100000.0, 10, 0, "-------"},
        {"D22", &gfShowD22, 99999.0, 10, 0, " 99999 "},
        // D25 by screen state.
        {"D25", &gfShowD2, 61111, 15, 0, "---"},
        {"D25", &gfShowD2, 50, 15, 0, "50.0"},
        {"D25", &gfShowD2, 0.1, 16, 0, "<0.3 "},
        {"D25", &gfShowD2, -5000, 45, 0, "-5000"},
        {"D25", &gfShowD2, -500, 43, 0, "-500.0"},
        {"D25", &gfShowD2, -50, 48, 0, "-50.00"},
        {"D25", &gfShowD2, -5, 44, 0, "-5.0000"},
        {"D25", &gfShowD2, 50000, 46, 0, "50000"},
        {"D25", &gfShowD2, 1.5, 10, 0, "1.500"},
        {"D27", &gfShowD4, 99.5, 10, 0, "99.5"},
        {"D28", &gfShowD1, 0.5, 10, 0, "0.5"},
        {"D28", &gfShowD1, 1e-5, 10, 0, "1e-05"},
        {"D31", &gfShowD31, 1.23456, 10, 0, "1.235 "},
    };
    for (const Case& c : kCases) {
        gunScreenState = c.bState;
        gbNumberStyle = StateNumberStyle(c.bState);
        gunDisplayOption = c.unOption;
        *c.pfVariable = c.fValue;
        EXPECT_EQ(ValueShownBy(std::string("X0Y0 ") + c.pszScript), c.pszExpected)
            << c.pszScript << " with " << c.fValue << " in state " << int(c.bState) << " option " << c.unOption;
        EXPECT_EQ(gbCursorX, 6 * std::strlen(c.pszExpected)) << c.pszScript << " draws its text";
    }
}

// Rules that write back into their variable.
TEST_F(ScriptTest, RulesThatResetTheirVariable)
{
    struct Case {
        const char* pszScript;
        double* pfVariable;
        double fValue;
        uint32_t unOption;
        const char* pszExpected;
        double fAfter;
    } kCases[] = {
        {"D3", &gfShowD3, 0.0004, 0, "0.000", 0.0},     {"D3", &gfShowD3, -0.0009, 0, "0.000", 0.0},
        {"D3", &gfShowD3, 0.001, 0, "0.001", 0.001},    {"D60", &gfShowD60, 0.0002, 0, "0.000", 0.0},
        {"D1", &gfShowD1, -2000.0, 4, "0.000   ", 0.0}, {"D1", &gfShowD1, -2000.0, 5, "0.000   ", 0.0},
        {"D1", &gfShowD1, -2000.0, 0, "<-0.3 ", -2000}, {"D1", &gfShowD1, -999.0, 4, "-999.000   ", -999.0},
    };
    for (const Case& c : kCases) {
        gunDisplayOption = c.unOption;
        *c.pfVariable = c.fValue;
        EXPECT_EQ(ValueShownBy(c.pszScript), c.pszExpected) << c.pszScript << " with " << c.fValue;
        EXPECT_EQ(*c.pfVariable, c.fAfter) << c.pszScript << " with " << c.fValue;
    }
}

TEST_F(ScriptTest, IntegerRegisterRules)
{
    struct Case {
        const char* pszScript;
        std::function<void()> set;
        uint8_t bState, bSubState;
        const char* pszExpected;
    } kCases[] = {
        {"I0", [] { gnShowI0 = 5; }, 10, 0, "05"},
        {"I1", [] { gnShowI1 = 405; }, 10, 0, "405"},
        {"I2", [] { gnShowI2 = 45; }, 10, 0, " 45"},
        {"I4", [] { gnShowI4 = 1000; }, 10, 0, "1000"},
        {"I5", [] { gnShowI5 = 7; }, 10, 0, "07"},
        {"I6", [] { gnShowI6 = 7; }, 24, 0, "07   "},
        {"I6", [] { gnShowI6 = 7; }, 23, 0, "07"},
        {"I9", [] { gnShowI9 = 123; }, 10, 0, "123"},
        {"I10", [] { gnShowI10 = 0; }, 10, 0, "00"},
        {"I11", [] { gnShowI11 = 3; }, 24, 0, "03"},
        {"I11", [] { gnShowI11 = 3; }, 10, 0, "3"},
        {"I12", [] { gnShowI12 = 5; }, 10, 8, "5    "},
        {"I12", [] { gnShowI12 = 50; }, 10, 9, "50   "},
        {"I12", [] { gnShowI12 = 500; }, 10, 8, "500  "},
        {"I12", [] { gnShowI12 = 5000; }, 10, 9, "5000 "},
        {"I12", [] { gnShowI12 = -1; }, 10, 7, "4294967295    "},
        {"I12", [] { gnShowI12 = -12; }, 10, 0, "-12    "},
        {"I50", [] { gnShowI50 = 812; }, 10, 0, "812   "},
        {"I51", [] { gnShowI51 = 200; }, 10, 0, "200    "},
        {"I52", [] { gnShowI52 = -4; }, 10, 0, "-4   "},
        {"I53", [] { gnShowI53 = 65535; }, 10, 0, "65535    "},
        {"I54", [] { gnShowI54 = 9; }, 10, 0, "9   "},
        {"I55", [] { gnShowI55 = 1; }, 10, 0, "1    "},
        {"I56", [] { gnShowI56 = 2; }, 10, 0, "2   "},
        {"I57", [] { gnShowI57 = 255; }, 10, 0, "255    "},
        {"I58", [] { gnShowI58 = 3; }, 10, 0, "3   "},
        {"I59", [] { gfShowI59 = 2.5; }, 10, 0, "3    "},
        {"I59", [] { gfShowI59 = 2.49; }, 10, 0, "2    "},
        {"I59", [] { gfShowI59 = -7.0; }, 10, 0, "0    "},
        {"I59", [] { gfShowI59 = 1e12; }, 10, 0, "4294967295    "},
        {"I59", [] { gfShowI59 = NAN; }, 10, 0, "0    "},
        {"I60", [] { gnShowI60 = 0; }, 10, 0, "0    "},
        {"I61", [] { gnShowI61 = 12; }, 10, 0, "12    "},
        {"I62", [] { gnShowI62 = 13; }, 10, 0, "13   "},
        {"I63", [] { gnShowI63 = 10000; }, 10, 0, "NOT SET"},
        {"I63", [] { gnShowI63 = 9999; }, 10, 0, "9999    "},
        {"I70", [] { gnShowI70 = 7; }, 10, 0, "7"},
        {"I65537", [] { gnShowI1 = 405; }, 10, 0, "405"},  // low 16 bits: I1
    };
    for (const Case& c : kCases) {
        gunScreenState = c.bState;
        gbNumberStyle = StateNumberStyle(c.bState);
        gunScreenSubState = c.bSubState;
        c.set();
        EXPECT_EQ(ValueShownBy(std::string("X0Y0 ") + c.pszScript), c.pszExpected)
            << c.pszScript << " in state " << int(c.bState) << " sub-state " << int(c.bSubState);
        EXPECT_EQ(gbCursorX, 6 * std::strlen(c.pszExpected)) << c.pszScript << " draws its text";
    }
    EXPECT_EQ(ValueShownBy("I13 I49 I64 I71"), "untouched");
}

// "s" draws the edit text with the character at the cursor inverted and one
// pixel wider; a light column after the text wipes an older cursor.
TEST_F(ScriptTest, EditField)
{
    auto Expected = [](const char* pszText, int nCursor, bool bFirstInverse) {
        return [=] {
            LcdMoveTo(130, 30);
            for (int i = 0; pszText[i]; i++) {
                gbInverse = (i == nCursor || (i == 0 && bFirstInverse)) ? 1 : 0;
                char ac[2] = {pszText[i], 0};
                LcdPutString(ac);
                if (gbInverse == 1) {
                    LcdLine(LINE_SET, gbCursorX, 37);
                    LcdMoveTo(static_cast<uint8_t>(gbCursorX + 1), 30);
                }
            }
            gbInverse = 0;
            LcdLine(LINE_CLEAR, gbCursorX, 37);
            LcdMoveTo(static_cast<uint8_t>(gbCursorX + 1), 30);
        };
    };
    std::strcpy(gszEditText, "ABCDE");
    Screen cursor3 = DrawnBy([&] {
        std::strcpy(gszEditText, "ABCDE");
        DisplayScript("X130Y30s3");
    });
    EXPECT_EQ(cursor3, DrawnBy(Expected("ABCDE", 3, false)));
    EXPECT_EQ(gbCursorX, 130 + 5 * 6 + 2);
    EXPECT_EQ(gbCursorY, 30);
    // The inverse cell spans x = 148..154, one column wider than the others.
    for (int y = 30; y < 38; y++)
        EXPECT_TRUE(m_host.Pixel(154, y)) << y;
    EXPECT_FALSE(m_host.Pixel(161, 30));

    // A cursor past the end: no inverse cell, the clearing column still drawn.
    Reset();
    std::strcpy(gszEditText, "ABCDE");
    DisplayScript("X130Y30 F0 s3");
    DisplayScript("X130Y30s20");
    Screen past = Shown();
    EXPECT_EQ(past, DrawnBy(Expected("ABCDE", -1, false)));
    EXPECT_EQ(gbCursorX, 130 + 5 * 6 + 1);

    // A1 before s inverts the first character too; s leaves inverse video off.
    EXPECT_EQ(DrawnBy([&] {
                  std::strcpy(gszEditText, "ABCDE");
                  DisplayScript("X130Y30 A1 s2 T121");
              }),
              DrawnBy([&] {
                  Expected("ABCDE", 2, true)();
                  LcdPutString("A");
              }));

    // An empty text draws only the clearing column.
    Reset();
    DisplayScript("X10Y10 F1 A1 T121");
    DisplayScript("X10Y10 F1 s0");
    EXPECT_EQ(gbCursorX, 11);
    for (int y = 10; y < 24; y++)
        EXPECT_FALSE(m_host.Pixel(10, y)) << y;
    EXPECT_TRUE(m_host.Pixel(11, 10));
}

// Text at coordinates and numbers outside what the screens use never writes
// past the shown display memory.
TEST_F(ScriptTest, NothingIsWrittenPastTheScreen)
{
    std::strcpy(gszEditText, "NAME");
    gfShowD1 = 1.5;
    gnShowI1 = 405;
    for (const char* psz : {"Y250 X235 F1 T5 D1 I1 S2 s0 c9", "X236 Y127 F1 T274 F0 T127 F2 T23",
                            "Y120 X0 F1 T127 T127", "X239Y127 T65535 T330"})
        DisplayScript(psz);
    EXPECT_FALSE(ChangedPastScreen());
}
