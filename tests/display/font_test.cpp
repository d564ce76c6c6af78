// The three fonts: the margins and shapes the screens rely on, and the
// rules by which a character cell is drawn into display memory.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "display/font.h"
#include "display/lcd.h"
#include "display/text_data.h"
#include "instrument.h"

namespace {

// Row r of character c (bits of the cell, leftmost pixel highest); -1 when absent.
int GlyphRow(uint8_t bFont, uint8_t c, int r)
{
    switch (bFont) {
    case FONT_SMALL:
        if (c < 0x20 || c > 0x99)
            return -1;
        return gabFontData[FONT_SMALL_OFFSET + (c - 0x20) * FONT_SMALL_RECORD + r];
    case FONT_LARGE: {
        if (c < 0x20 || c > 0x96)
            return -1;
        const uint8_t* p = gabFontData + FONT_LARGE_OFFSET + (c - 0x20) * FONT_LARGE_RECORD + 2 * r;
        return p[0] | (p[1] << 8);
    }
    case FONT_DIGITS: {
        static const std::string kOrder = "0123456789.n/- ";
        size_t n = kOrder.find(static_cast<char>(c));
        if (c == 0 || n == std::string::npos)
            return -1;
        return gabFontData[FONT_DIGITS_OFFSET + n * FONT_DIGITS_RECORD + r];
    }
    default:
        return -1;
    }
}

struct Cell {
    uint8_t bFont;
    int nWidth, nHeight;
    unsigned unFirst, unLast;
};
constexpr Cell kSmall = {FONT_SMALL, 6, 8, 0x20, 0x99};
constexpr Cell kLarge = {FONT_LARGE, 9, 14, 0x20, 0x96};

bool IsLetterOrDigit(unsigned c) { return c < 0x80 && std::isalnum(static_cast<int>(c)); }

class FontDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LcdInit();
        gbFont = FONT_SMALL;
        m_host.ClearChangedFlags();
    }
    // Fills the shown memory with a pattern that every stray write would disturb.
    void FillPattern()
    {
        for (uint16_t a = LCD_GRAPHIC_BASE; a < LCD_GRAPHIC_BASE + LCD_SCREEN_BYTES; a++)
            LcdWriteByte(a, static_cast<uint8_t>(a * 37 + 0x5A));
        m_host.ClearChangedFlags();
    }
    static bool PatternPixel(int x, int y)
    {
        uint16_t a = static_cast<uint16_t>(LCD_GRAPHIC_BASE + 30 * y + x / 8);
        return (static_cast<uint8_t>(a * 37 + 0x5A) >> (7 - x % 8)) & 1;
    }
    CInstrument m_host;  // attached as the display, never powered up
};

}  // namespace

TEST(FontDataTest, UnusedHighBitsAreZero)
{
    for (unsigned c = 0x20; c <= 0x99; c++)
        for (int r = 0; r < 8; r++)
            EXPECT_EQ(GlyphRow(FONT_SMALL, static_cast<uint8_t>(c), r) & ~0x3F, 0) << std::hex << c;
    for (unsigned c = 0x20; c <= 0x96; c++)
        for (int r = 0; r < 14; r++)
            EXPECT_EQ(GlyphRow(FONT_LARGE, static_cast<uint8_t>(c), r) & ~0x1FF, 0) << std::hex << c;
    for (char c : std::string("0123456789.n/- "))
        for (int r = 0; r < 5; r++)
            EXPECT_EQ(GlyphRow(FONT_DIGITS, static_cast<uint8_t>(c), r) & ~0x1F, 0) << c;
}

TEST(FontDataTest, SmallFontMargins)
{
    for (unsigned c = kSmall.unFirst; c <= kSmall.unLast; c++) {
        uint8_t b = static_cast<uint8_t>(c);
        if (IsLetterOrDigit(c) || (c >= 0x87 && c <= 0x96 && c != 0x93)) {
            for (int r = 0; r < 8; r++)
                EXPECT_EQ(GlyphRow(FONT_SMALL, b, r) & 0x20, 0) << "left column of " << std::hex << c;
        }
        bool bDescender = c == 'g' || c == 'j' || c == 'p' || c == 'q' || c == 'y';
        if (bDescender)
            EXPECT_NE(GlyphRow(FONT_SMALL, b, 7), 0) << "descender of " << static_cast<char>(c);
        else
            EXPECT_EQ(GlyphRow(FONT_SMALL, b, 7), 0) << "bottom row of " << std::hex << c;
    }
}

TEST(FontDataTest, LargeFontMargins)
{
    for (unsigned c = kLarge.unFirst; c <= kLarge.unLast; c++) {
        uint8_t b = static_cast<uint8_t>(c);
        if (IsLetterOrDigit(c)) {
            for (int r = 0; r < 14; r++)
                EXPECT_EQ(GlyphRow(FONT_LARGE, b, r) & 0x180, 0) << "first two columns of " << static_cast<char>(c);
        }
        if (std::isupper(static_cast<int>(c)) || std::isdigit(static_cast<int>(c))) {
            int nLastRow = c == 'Q' ? 12 : 11;
            for (int r = 0; r < 14; r++) {
                if (r < 3 || r > nLastRow) {
                    EXPECT_EQ(GlyphRow(FONT_LARGE, b, r), 0) << static_cast<char>(c) << " row " << r;
                }
            }
            EXPECT_NE(GlyphRow(FONT_LARGE, b, 3) | GlyphRow(FONT_LARGE, b, 11), 0) << static_cast<char>(c);
        }
    }
}

// Every printable character and symbol has a visible glyph, except the
// blanks: space, 0x7F, and the arrows in the large font.
TEST(FontDataTest, GlyphsAreDrawnWhereExpected)
{
    for (const Cell& cell : {kSmall, kLarge})
        for (unsigned c = cell.unFirst; c <= cell.unLast; c++) {
            int nDots = 0;
            for (int r = 0; r < cell.nHeight; r++)
                nDots += GlyphRow(cell.bFont, static_cast<uint8_t>(c), r) != 0;
            bool bBlank = c == 0x20 || c == 0x7F || (cell.bFont == FONT_LARGE && (c == 0x84 || c == 0x85));
            EXPECT_EQ(nDots == 0, bBlank) << "font " << int(cell.bFont) << " code " << std::hex << c;
        }
    // The digit font: ten distinct digits and the five extra records in order.
    for (char c : std::string("0123456789.n/-"))
        EXPECT_NE(GlyphRow(FONT_DIGITS, static_cast<uint8_t>(c), 0) | GlyphRow(FONT_DIGITS, static_cast<uint8_t>(c), 2) |
                      GlyphRow(FONT_DIGITS, static_cast<uint8_t>(c), 4),
                  0)
            << c;
    EXPECT_EQ(GlyphRow(FONT_DIGITS, '.', 4) != 0 && GlyphRow(FONT_DIGITS, '.', 0) == 0, true);
    EXPECT_EQ(GlyphRow(FONT_DIGITS, '-', 2) != 0 && GlyphRow(FONT_DIGITS, '-', 0) == 0, true);
    for (int r = 0; r < 5; r++)
        EXPECT_EQ(GlyphRow(FONT_DIGITS, ' ', r), 0);
}

// An accented letter is its base letter with a mark above. In the small
// font the top row stays clear, so that a highlighted word keeps a dark row
// between its accents and whatever lies above the band; the mark takes rows
// 1 and 2 and a shortened body rows 3..6, the same body for every accent on
// one base letter.
TEST(FontDataTest, AccentedLettersKeepTheirBaseLetter)
{
    struct Accent {
        uint8_t bCode;
        char cBase;
    } kAccents[] = {{0x87, 'a'}, {0x88, 'o'}, {0x89, 'u'}, {0x8B, 'o'}, {0x8C, 'e'}, {0x8D, 'e'},
                    {0x8E, 'a'}, {0x8F, 'a'}, {0x90, 'i'}, {0x91, 'i'}, {0x92, 'o'}, {0x94, 'u'},
                    {0x95, 'e'}, {0x96, 'o'}};
    for (const Accent& a : kAccents) {
        EXPECT_EQ(GlyphRow(FONT_SMALL, a.bCode, 0), 0) << std::hex << int(a.bCode);
        EXPECT_NE(GlyphRow(FONT_SMALL, a.bCode, 1), 0) << std::hex << int(a.bCode);
        EXPECT_EQ(GlyphRow(FONT_SMALL, a.bCode, 7), 0) << std::hex << int(a.bCode);
        for (const Accent& b : kAccents)
            for (int r = 3; r <= 6; r++) {
                bool bSameBody = GlyphRow(FONT_SMALL, a.bCode, r) == GlyphRow(FONT_SMALL, b.bCode, r);
                if (a.cBase == b.cBase) {
                    EXPECT_TRUE(bSameBody) << std::hex << int(a.bCode) << " " << int(b.bCode) << " row " << r;
                }
            }
        for (int r = 6; r <= 11; r++)
            EXPECT_EQ(GlyphRow(FONT_LARGE, a.bCode, r), GlyphRow(FONT_LARGE, static_cast<uint8_t>(a.cBase), r))
                << std::hex << int(a.bCode) << " large row " << r;
        EXPECT_NE(GlyphRow(FONT_LARGE, a.bCode, 3) | GlyphRow(FONT_LARGE, a.bCode, 4), 0) << std::hex << int(a.bCode);
        for (int r = 0; r < 2; r++)
            EXPECT_EQ(GlyphRow(FONT_LARGE, a.bCode, r), 0) << std::hex << int(a.bCode) << " large row " << r;
    }
    // The bodies of different letters differ.
    const uint8_t kabBodies[] = {0x87, 0x88, 0x89, 0x8C, 0x90};
    for (uint8_t x : kabBodies)
        for (uint8_t y : kabBodies) {
            bool bSame = true;
            for (int r = 3; r <= 6; r++)
                bSame = bSame && GlyphRow(FONT_SMALL, x, r) == GlyphRow(FONT_SMALL, y, r);
            EXPECT_EQ(bSame, x == y) << std::hex << int(x) << " " << int(y);
        }
    // Acute and grave accents lean opposite ways.
    EXPECT_NE(GlyphRow(FONT_SMALL, 0x8C, 1), GlyphRow(FONT_SMALL, 0x8D, 1));
    EXPECT_NE(GlyphRow(FONT_LARGE, 0x8C, 3), GlyphRow(FONT_LARGE, 0x8D, 3));
}

TEST_F(FontDrawTest, SmallLetterAtOriginWritesEightRowBytes)
{
    LcdMoveTo(0, 0);
    LcdPutChar('A');
    for (uint16_t a = LCD_GRAPHIC_BASE; a < LCD_MEMORY_END; a++) {
        bool bExpected = a <= 850 && (a - 640) % 30 == 0;
        EXPECT_EQ(m_host.ByteChanged(a), bExpected) << a;
    }
    for (int r = 0; r < 8; r++)
        EXPECT_EQ(m_host.DisplayByte(static_cast<uint16_t>(640 + 30 * r)), GlyphRow(FONT_SMALL, 'A', r) << 2);
    EXPECT_EQ(gbCursorX, 6);
    EXPECT_EQ(gbCursorY, 0);
}

// At every bit offset, in every font and both videos, a character replaces
// exactly its cell: its own dots inside, every other pixel untouched.
TEST_F(FontDrawTest, CellIsOpaqueAndExactAtEveryOffset)
{
    struct Case {
        uint8_t bFont;
        uint8_t c;
        int nWidth, nHeight;
    } kCases[] = {{FONT_SMALL, 'W', 6, 8}, {FONT_SMALL, 0x98, 6, 8}, {FONT_LARGE, 'M', 9, 14},
                  {FONT_LARGE, 0x80, 9, 14}, {FONT_DIGITS, '8', 5, 5}};
    for (const Case& k : kCases)
        for (uint8_t bInverse : {0, 1, 2})
            for (int x = 16; x < 32; x++) {
                FillPattern();
                gbFont = k.bFont;
                gbInverse = bInverse;
                LcdMoveTo(static_cast<uint8_t>(x), 20);
                LcdPutChar(k.c);
                ASSERT_EQ(gbCursorX, x + k.nWidth);
                ASSERT_EQ(gbCursorY, 20);
                for (int y = 16; y < 40; y++)
                    for (int px = 8; px < 48; px++) {
                        bool bInside = px >= x && px < x + k.nWidth && y >= 20 && y < 20 + k.nHeight;
                        bool bExpected = PatternPixel(px, y);
                        if (bInside) {
                            int nRow = GlyphRow(k.bFont, k.c, y - 20);
                            bExpected = (nRow >> (k.nWidth - 1 - (px - x))) & 1;
                            if (bInverse == 1)
                                bExpected = !bExpected;
                        }
                        ASSERT_EQ(m_host.Pixel(px, y), bExpected)
                            << "font " << int(k.bFont) << " inverse " << int(bInverse) << " x " << x << " at (" << px
                            << ", " << y << ")";
                    }
            }
}

TEST_F(FontDrawTest, SmallCharacterAtOffsetThreeTouchesTwoBytesOnly)
{
    FillPattern();
    LcdMoveTo(3, 0);
    LcdPutChar('H');
    for (uint16_t a = LCD_GRAPHIC_BASE; a < LCD_MEMORY_END; a++) {
        bool bExpected = a < 640 + 30 * 8 && (a - 640) % 30 <= 1;
        EXPECT_EQ(m_host.ByteChanged(a), bExpected) << a;
    }
    uint8_t bBefore0 = static_cast<uint8_t>(640 * 37 + 0x5A);
    uint8_t bBefore1 = static_cast<uint8_t>(641 * 37 + 0x5A);
    EXPECT_EQ(m_host.DisplayByte(640) & 0xE0, bBefore0 & 0xE0);
    EXPECT_EQ(m_host.DisplayByte(641) & 0x7F, bBefore1 & 0x7F);
}

TEST_F(FontDrawTest, CharactersAFontLacksDrawNothing)
{
    struct Case {
        uint8_t bFont;
        uint8_t c;
    } kCases[] = {{FONT_SMALL, 0x9A}, {FONT_SMALL, 0x1F}, {FONT_SMALL, 0xFF}, {FONT_LARGE, 0x97},
                  {FONT_LARGE, 0x10}, {FONT_DIGITS, 'a'}, {FONT_DIGITS, 'N'}, {3, '1'}, {255, 'A'}};
    for (const Case& k : kCases) {
        gbFont = k.bFont;
        LcdMoveTo(40, 40);
        LcdPutChar(k.c);
        LcdPutString(std::string(3, static_cast<char>(k.c)).c_str());
        EXPECT_EQ(gbCursorX, 40) << int(k.bFont) << " " << int(k.c);
        EXPECT_EQ(gbCursorY, 40);
    }
    for (uint16_t a = LCD_GRAPHIC_BASE; a < LCD_MEMORY_END; a++)
        ASSERT_FALSE(m_host.ByteChanged(a)) << a;
}

TEST_F(FontDrawTest, DigitStringSitsFiveRowsLower)
{
    gbFont = FONT_DIGITS;
    LcdMoveTo(65, 98);
    LcdPutString("1.5");
    EXPECT_EQ(gbCursorX, 80);
    EXPECT_EQ(gbCursorY, 98);
    for (int y = 90; y < 115; y++)
        for (int x = 60; x < 90; x++)
            if (m_host.Pixel(x, y)) {
                EXPECT_TRUE(y >= 103 && y <= 107 && x >= 65 && x <= 79) << x << ", " << y;
            }
    EXPECT_TRUE(m_host.Pixel(65 + 5 + 1, 107));  // the point, bottom row of the middle cell
}

TEST_F(FontDrawTest, InverseRedrawReplacesNormalText)
{
    LcdMoveTo(10, 10);
    LcdPutString("Abs");
    gbInverse = 1;
    LcdMoveTo(10, 10);
    LcdPutString("Abs");
    for (int x = 10; x < 28; x++)
        for (int y = 10; y < 18; y++) {
            int nRow = GlyphRow(FONT_SMALL, static_cast<uint8_t>("Abs"[(x - 10) / 6]), y - 10);
            bool bDot = (nRow >> (5 - (x - 10) % 6)) & 1;
            ASSERT_EQ(m_host.Pixel(x, y), !bDot) << x << ", " << y;
        }
}

TEST_F(FontDrawTest, SpacesEraseCells)
{
    for (uint16_t a = LCD_GRAPHIC_BASE; a < LCD_GRAPHIC_BASE + LCD_SCREEN_BYTES; a++)
        LcdWriteByte(a, 0xFF);
    m_host.ClearChangedFlags();
    LcdMoveTo(12, 4);
    LcdPutSpaces(0);
    EXPECT_EQ(gbCursorX, 12);
    for (uint16_t a = LCD_GRAPHIC_BASE; a < LCD_MEMORY_END; a++)
        ASSERT_FALSE(m_host.ByteChanged(a));
    LcdPutSpaces(3);
    EXPECT_EQ(gbCursorX, 30);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 40; x++)
            ASSERT_EQ(m_host.Pixel(x, y), !(x >= 12 && x < 30 && y >= 4 && y < 12)) << x << ", " << y;
    gbFont = FONT_DIGITS;
    LcdMoveTo(100, 50);
    LcdPutSpaces(2);
    EXPECT_EQ(gbCursorX, 110);
    EXPECT_EQ(gbCursorY, 50);
    EXPECT_TRUE(m_host.Pixel(100, 54));
    EXPECT_FALSE(m_host.Pixel(100, 55));
    EXPECT_FALSE(m_host.Pixel(109, 59));
    EXPECT_TRUE(m_host.Pixel(109, 60));
}

// A character near the bottom edge draws its rows that are on the screen
// and nothing below it, however far down the cursor is.
TEST_F(FontDrawTest, RowsBelowTheScreenAreNotDrawn)
{
    gbInverse = 1;
    for (uint8_t y : {124, 127, 128, 200, 255}) {
        gbFont = FONT_LARGE;
        LcdMoveTo(235, y);
        LcdPutChar('M');
        gbFont = FONT_DIGITS;
        LcdMoveTo(0, y);
        LcdPutString("8");
    }
    for (uint16_t a = LCD_GRAPHIC_BASE + LCD_SCREEN_BYTES; a < LCD_MEMORY_END; a++)
        ASSERT_FALSE(m_host.ByteChanged(a)) << a;
    EXPECT_TRUE(m_host.Pixel(236, 127));  // inverse cell of the character at row 124
}
