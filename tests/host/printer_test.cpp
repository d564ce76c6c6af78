// The printer at the end of the serial cable: byte streams onto the paper
// (text, bit images, feeds, unknown escapes), and the instrument's own
// screen hardcopy decoded back into the picture that was on the display.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "comms/hardcopy.h"
#include "core/serial.h"
#include "display/lcd.h"
#include "instrument.h"
#include "printer.h"
#include "printer_tap.h"
#include "storage/params.h"

namespace {

using Dots = std::set<std::pair<int, int>>;  // dark dots (x, y)

Dots PaperDots(const CPrinter& printer)
{
    Dots dots;
    for (int y = 0; y < printer.Height(); y++)
        for (int x = 0; x < CPrinter::WIDTH; x++)
            if (printer.Dot(x, y))
                dots.insert({x, y});
    return dots;
}

// What a character leaves on the paper with its cell's top left at (x, y).
void AddGlyph(Dots& dots, char c, int x, int y)
{
    ForEachGlyphDot(static_cast<uint8_t>(c), [&](int nCol, int nRow) { dots.insert({x + nCol, y + nRow}); });
}

struct Glyph {
    char c;
    int x, y;
};

struct PrinterCase {
    const char* pszName;
    std::string sBytes;
    std::vector<Glyph> aGlyphs;                // characters expected on the paper
    std::vector<std::pair<int, int>> aDots;    // further dots (bit images)
    std::string sText;                         // the text lines
    int nHeight;                               // dot rows of paper used
};

std::string Bytes(std::initializer_list<int> an)
{
    std::string s;
    for (int n : an)
        s += static_cast<char>(n);
    return s;
}

// n characters c side by side from (x, y), eight dot rows high.
std::vector<Glyph> GlyphRun(char c, int n, int x, int y)
{
    std::vector<Glyph> glyphs;
    for (int i = 0; i < n; i++)
        glyphs.push_back({c, x + 6 * i, y});
    return glyphs;
}

template <class T>
std::vector<T> Join(std::vector<T> a, const std::vector<T>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The bottom pin of every column across the paper.
std::vector<std::pair<int, int>> BottomPinRow()
{
    std::vector<std::pair<int, int>> dots;
    for (int x = 0; x < CPrinter::WIDTH; x++)
        dots.push_back({x, 7});
    return dots;
}

std::string Pr1Line(uint8_t bFirst)
{
    std::string s = Bytes({0x1B, 0x01, bFirst});
    return s + std::string(39, '\0');
}

TEST(PrinterTest, BytesPrintAsAPrinterPrintsThem)
{
    const PrinterCase acases[] = {
        {"text", "AB\r\nC\r\n", {{'A', 0, 0}, {'B', 6, 0}, {'C', 0, 12}}, {}, "AB\nC\n", 24},
        {"open line", "Hi", {{'H', 0, 0}, {'i', 6, 0}}, {}, "Hi\n", 8},
        {"blank lines keep their place", "\r\n\r\nA", {{'A', 0, 24}}, {}, "\n\nA\n", 32},
        {"CR returns without feeding", "AB\rC", {{'A', 0, 0}, {'B', 6, 0}, {'C', 0, 0}}, {}, "ABC\n", 8},
        {"tab to the next eighth character", "A\tB\n", {{'A', 0, 0}, {'B', 48, 0}}, {}, "A\tB\n", 12},
        // ESC K: bit 7 on the top row; two columns.
        {"one band", Bytes({0x1B, 'K', 2, 0, 0x80, 0x01}), {}, {{0, 0}, {1, 7}}, "", 8},
        // ESC J 16 moves eight dot rows; an odd count moves half a row more.
        {"feed", Bytes({0x1B, 'J', 16}) + "A", {{'A', 0, 8}}, {}, "A\n", 16},
        {"feed in half rows", Bytes({0x1B, 'J', 3, 0x1B, 'J', 1}) + "A", {{'A', 0, 2}}, {}, "A\n", 10},
        // Text and images share the head: the image starts where the text stopped.
        {"mixed", "X" + Bytes({0x1B, 'K', 1, 0, 0xFF}) + "Y\r\n",
         {{'X', 0, 0}, {'Y', 7, 0}},
         {{6, 0}, {6, 1}, {6, 2}, {6, 3}, {6, 4}, {6, 5}, {6, 6}, {6, 7}},
         "XY\n",
         12},
        // PR1: six dots across, two rows high, then the paper moves two rows.
        {"PR1 line", Pr1Line(0x0C) + "A", {{'A', 0, 2}}, {{2, 0}, {3, 0}, {2, 1}, {3, 1}}, "A\n", 10},
        // Unknown escapes lose their command byte only; a lone ESC before CR,
        // LF or ESC loses nothing else; other control bytes, DEL and codes
        // without a glyph are ignored; ESC K with no columns takes nothing.
        {"garbage",
         Bytes({0x1B, 'Q'}) + "AB" + Bytes({0x00, 0x07, 0x7F, 0xFF, 0x1B, '\r', 0x1B, 0x1B, 'E', 0x1B, 'K', 0, 0}) +
             "C\n",
         {{'A', 0, 0}, {'B', 6, 0}, {'C', 0, 0}},
         {},
         "ABC\n",
         12},
        // The 43rd character does not fit the line and goes to the next;
        // the text line stays whole.
        {"wrap", std::string(43, 'I'), Join(GlyphRun('I', 42, 0, 0), GlyphRun('I', 1, 0, 12)), {}, std::string(43, 'I') + "\n",
         20},
        // Image columns past the right edge are taken and lost; text after
        // the image wraps to the next line.
        {"image past the edge", Bytes({0x1B, 'K', 5, 1}) + std::string(261, '\x01') + "A",
         {{'A', 0, 12}},
         BottomPinRow(),
         "A\n",
         20},
    };
    for (const PrinterCase& c : acases) {
        SCOPED_TRACE(c.pszName);
        CPrinter printer;
        printer.Feed(c.sBytes);
        Dots expected;
        for (const Glyph& glyph : c.aGlyphs)
            AddGlyph(expected, glyph.c, glyph.x, glyph.y);
        for (auto dot : c.aDots)
            expected.insert(dot);
        EXPECT_EQ(PaperDots(printer), expected);
        EXPECT_EQ(printer.Text(), c.sText);
        EXPECT_EQ(printer.Height(), c.nHeight);
    }
}

TEST(PrinterTest, TextLinesKnowTheirRowsAndSymbolsBecomeUnicode)
{
    CPrinter printer;
    printer.Feed("Wavelength\r\n" + Bytes({0x1B, 'J', 20}) + "\x80 = 600 nm, 5 \x86l\r\n");
    const auto lines = printer.TextLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].nRow, 0);
    EXPECT_EQ(lines[1].nRow, 22);
    EXPECT_EQ(printer.Text(), "Wavelength\nλ = 600 nm, 5 µl\n");
    printer.Clear();
    EXPECT_TRUE(printer.Empty());
    EXPECT_EQ(printer.Text(), "");
    // A command cut off by Clear does not swallow what follows.
    printer.Feed(Bytes({0x1B, 'K', 10, 0}));
    printer.Clear();
    printer.Feed("A");
    EXPECT_EQ(printer.Text(), "A\n");
}

// The instrument's hardcopy of a picture, decoded, is the picture turned a
// quarter turn: display column c runs down the paper at dot rows 2(c - 65)
// and 2(c - 65) + 1, display row y across it at dots 2(127 - y) and
// 2(127 - y) + 1. "PR1" leaves out rows 0..7.
TEST(PrinterTest, HardcopyDecodesToTheDisplayTurnedAQuarter)
{
    const std::vector<std::pair<int, int>> aPixels = {
        {65, 127}, {65, 0}, {66, 64}, {100, 8}, {100, 7}, {150, 100}, {237, 1}, {238, 127}, {238, 0}, {64, 50}, {239, 50}};
    for (uint8_t bDevice : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE(bDevice == 1 ? "PR2" : "PR1");
        CInstrument host;
        SerialInit();
        LcdClear();
        for (auto [x, y] : aPixels)
            LcdSetPixel(static_cast<uint8_t>(x), static_cast<uint8_t>(y));
        gbOutputDevice = bDevice;
        host.ConnectPrinter();
        CPrinterTap& tap = host.PrinterCable();
        LcdPrintScreen();
        CPrinter printer;
        ASSERT_TRUE(tap.DrainInto(printer));

        Dots expected;
        for (auto [x, y] : aPixels) {
            if (x < HARDCOPY_FIRST_COLUMN || x > HARDCOPY_LAST_COLUMN || (bDevice == 0 && y < 8))
                continue;
            for (int i = 0; i < 4; i++)
                expected.insert({2 * (127 - y) + i % 2, 2 * (x - HARDCOPY_FIRST_COLUMN) + i / 2});
        }
        EXPECT_EQ(PaperDots(printer), expected);
        // The picture's 174 columns, and for PR2 the last band's two blank columns.
        EXPECT_EQ(printer.Height(), bDevice == 1 ? 44 * 8 : 174 * 2);
        EXPECT_EQ(printer.Text(), "");
    }
}

TEST(PrinterTest, TheCableCarriesOnlyWhatGoesToAPrinter)
{
    CInstrument host;
    SerialInit();
    host.ConnectPrinter();
    CPrinterTap& tap = host.PrinterCable();
    const std::pair<uint8_t, bool> acases[] = {{0, true}, {1, true}, {2, false}};
    for (auto [bDevice, bPrinted] : acases) {
        gbOutputDevice = bDevice;
        SerialWrite("E00", 3);
        CPrinter printer;
        EXPECT_EQ(tap.DrainInto(printer), bPrinted) << int(bDevice);
        EXPECT_EQ(printer.Text(), bPrinted ? "E00\n" : "") << int(bDevice);
    }
}

}  // namespace
