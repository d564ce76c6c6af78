// The printer at the end of the serial cable: the bytes the instrument sends
// to "PR1" or "PR2", read as a small dot-matrix printer reads them, onto a
// roll of paper that grows downwards.
//
// The printer (ours; only the byte streams are the instrument's):
//   - a head 256 dots wide at 1/72 inch a dot, both ways (one dot is one
//     PostScript point, so a PDF page is measured in dots);
//   - text in 6 x 8 dot cells (the display's small font as the character
//     generator), 42 characters to a line, 12 dot rows from line to line;
//     a character that does not fit wraps to the next line;
//   - CR returns the head to the left edge; LF feeds one line and returns it;
//     TAB moves to the next multiple of eight characters;
//   - ESC K n1 n2 + n1 + 256 n2 bytes: a bit image line, one byte a column,
//     bit 7 the top of 8 dot rows ("PR2" hardcopy: 256 columns);
//   - ESC 0x01 + 40 bytes: one graphics line of "PR1", each byte six dots
//     across (bits 5..0, left to right) printed two rows high, after which
//     the paper moves on by those two rows;
//   - ESC J n: feed n/144 inch (half a dot row each), head not returned;
//   - any other ESC: the ESC and its command byte are skipped; an ESC
//     followed by CR, LF or another ESC is dropped alone, so the byte after
//     it still acts. Other control bytes, DEL and codes without a glyph are
//     ignored.
//
// Text lines (what came between line feeds, without the control bytes and
// bit images) are kept apart as well, for a plain-text copy of the printout.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "display/text_data.h"

// Calls fnDot(column, row) for every dark dot of character c in the 6 x 8
// small font (the printer's character generator, and the labels of host
// pictures); false, calling nothing, for a code without a glyph.
template <class Fn>
bool ForEachGlyphDot(uint8_t c, Fn fnDot)
{
    if (c < 0x20 || c > 0x99 || c == 0x7F)
        return false;
    const uint8_t* pbGlyph = gabFontData + FONT_SMALL_OFFSET + (c - 0x20) * FONT_SMALL_RECORD;
    for (int nRow = 0; nRow < 8; nRow++)
        for (int nCol = 0; nCol < 6; nCol++)
            if (pbGlyph[nRow] & (0x20 >> nCol))
                fnDot(nCol, nRow);
    return true;
}

class CPrinter {
public:
    static constexpr int WIDTH = 256;              // dots across the head
    static constexpr int ROW_BYTES = WIDTH / 8;    // packed bytes a dot row
    static constexpr double DOTS_PER_INCH = 72.0;  // both ways
    static constexpr int CELL_WIDTH = 6;           // dots a character advances
    static constexpr int CELL_HEIGHT = 8;          // dot rows of a character cell
    static constexpr int LINE_PITCH = 12;          // dot rows a line feed moves
    static constexpr int TAB_CHARS = 8;            // tab stops every this many characters
    static constexpr int PR1_LINE_BYTES = 40;      // bytes of an ESC 0x01 line

    // A line of text as printed: the bytes (display character codes) and the
    // dot row its characters start on.
    struct TextLine {
        std::string sBytes;
        int nRow = 0;
    };

    void Feed(uint8_t b);
    void Feed(std::string_view sBytes);
    // Tears the paper off: blank paper, head at the top left, no pending command.
    void Clear();

    // Dot rows of paper used: everything printed and fed so far.
    int Height() const;
    bool Dot(int x, int y) const;
    // Dot row y packed eight dots a byte, leftmost dot in bit 7; y < Height().
    const uint8_t* Row(int y) const;
    bool Empty() const { return Height() == 0; }

    // Lines ended by a line feed, then the line still open (when it holds text).
    std::vector<TextLine> TextLines() const;
    // The text lines as UTF-8, each ended by "\n"; symbols and accented
    // letters of the character set become their Unicode characters.
    std::string Text() const;

private:
    // What the next byte means.
    enum class State {
        Text,       // printable text and control bytes
        Escape,     // after ESC: the command byte
        ImageLow,   // ESC K: low byte of the column count
        ImageHigh,  // ESC K: high byte
        Image,      // ESC K: columns still to come
        Feed,       // ESC J: the feed amount
        Pr1Line,    // ESC 0x01: bytes of the graphics line still to come
    };

    void PrintChar(uint8_t c);
    void OpenLine();
    void LineFeed();
    void ImageColumn(uint8_t b);
    void Pr1Byte(uint8_t b);
    void SetDot(int x, int y);
    void EnsureRows(int nRows);
    int HeadRow() const { return m_nHalfRows / 2; }

    State m_state = State::Text;
    int m_nX = 0;                   // head position, dots from the left edge
    int m_nHalfRows = 0;            // paper fed, in half dot rows
    int m_nCount = 0;               // Image/Pr1Line: bytes still to come
    int m_nImageLow = 0;            // ImageHigh: the low byte of the count
    int m_nRowsUsed = 0;            // dot rows down to the bottom of the last character or image line
    std::vector<uint8_t> m_abDots;  // the paper, ROW_BYTES a row
    std::vector<TextLine> m_lines;  // finished text lines
    TextLine m_line;                // the line being printed
    bool m_bLineOpen = false;       // m_line has its row set (something printed on it)
};

// The paper in colour: a margin of blank paper round the printed width,
// every printer dot a square of nScale x nScale pixels (3 bytes a pixel,
// rows top first). Every host shows and saves the paper this way.
struct PaperPicture {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<uint8_t> abRgb;
};
constexpr int PAPER_MARGIN_DOTS = 16;              // blank paper left, right, above and below the print
constexpr uint8_t PAPER_RGB[3] = {250, 250, 242};  // the roll
constexpr uint8_t INK_RGB[3] = {28, 28, 48};       // a printer dot
PaperPicture RenderPaper(const CPrinter& printer, int nScale);
