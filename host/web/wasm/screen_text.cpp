// Reading the display's text back from its dots.
#include "screen_text.h"

#include <algorithm>
#include <vector>

#include "display/text_data.h"
#include "display_memory.h"

namespace {

constexpr int WIDTH = CDisplayMemory::WIDTH;
constexpr int HEIGHT = CDisplayMemory::HEIGHT;

struct Font {
    int nWidth, nHeight;
    uint8_t bFirst, bLast;
    uint16_t unOffset, unRecord;
    bool bWideRows;
    uint16_t Row(uint8_t c, int r) const
    {
        const uint8_t* pb = gabFontData + unOffset + (c - bFirst) * unRecord;
        return bWideRows ? static_cast<uint16_t>(pb[2 * r] | (pb[2 * r + 1] << 8)) : pb[r];
    }
};

constexpr Font LARGE{9, 14, 0x20, 0x96, FONT_LARGE_OFFSET, FONT_LARGE_RECORD, true};
constexpr Font SMALL{6, 8, 0x20, 0x99, FONT_SMALL_OFFSET, FONT_SMALL_RECORD, false};

struct Cell {
    int x, y, nWidth, nHeight;
    char c;
};

bool Dot(const uint8_t* pbScreen, int x, int y) { return (pbScreen[CDisplayMemory::ROW_BYTES * y + x / 8] & (0x80 >> (x % 8))) != 0; }

// The cell's rows at (x, y), leftmost dot in the highest of nWidth bits.
void CellRows(const uint8_t* pbScreen, int x, int y, const Font& font, uint16_t* punRows)
{
    for (int r = 0; r < font.nHeight; r++) {
        uint16_t un = 0;
        for (int i = 0; i < font.nWidth; i++)
            un = static_cast<uint16_t>((un << 1) | (Dot(pbScreen, x + i, y + r) ? 1 : 0));
        punRows[r] = un;
    }
}

// The glyph (other than the space) whose cell the rows are, plain or inverse; 0 for none.
char Match(const Font& font, const uint16_t* punRows)
{
    const uint16_t unMask = static_cast<uint16_t>((1u << font.nWidth) - 1);
    for (int nInverse = 0; nInverse < 2; nInverse++)
        for (int c = font.bFirst + 1; c <= font.bLast; c++) {
            bool bSame = true;
            bool bBlank = true;
            for (int r = 0; r < font.nHeight && bSame; r++) {
                uint16_t unGlyph = font.Row(static_cast<uint8_t>(c), r) & unMask;
                bBlank = bBlank && unGlyph == 0;
                if (nInverse)
                    unGlyph = static_cast<uint16_t>(~unGlyph & unMask);
                bSame = unGlyph == punRows[r];
            }
            if (bSame && !bBlank)
                return static_cast<char>(c);
        }
    return 0;
}

}  // namespace

std::string ScreenText(const uint8_t* pbScreen)
{
    std::vector<Cell> cells;
    std::vector<uint8_t> abTaken(WIDTH * HEIGHT, 0);
    uint16_t aunRows[16];
    for (const Font* pFont : {&LARGE, &SMALL}) {
        const Font& font = *pFont;
        for (int y = 0; y + font.nHeight <= HEIGHT; y++)
            for (int x = 0; x + font.nWidth <= WIDTH; x++) {
                if (abTaken[y * WIDTH + x])
                    continue;
                CellRows(pbScreen, x, y, font, aunRows);
                const char c = Match(font, aunRows);
                if (!c)
                    continue;
                cells.push_back({x, y, font.nWidth, font.nHeight, c});
                for (int r = 0; r < font.nHeight; r++)
                    std::fill_n(abTaken.begin() + (y + r) * WIDTH + x, font.nWidth, 1);
                x += font.nWidth - 1;
            }
    }
    // Lines: cells that share a baseline, left to right.
    std::sort(cells.begin(), cells.end(), [](const Cell& a, const Cell& b) {
        const int nA = a.y + a.nHeight, nB = b.y + b.nHeight;
        return nA != nB ? nA < nB : a.x < b.x;
    });
    std::string sText;
    for (size_t i = 0; i < cells.size(); i++) {
        const Cell& cell = cells[i];
        if (i > 0) {
            const Cell& last = cells[i - 1];
            if (last.y + last.nHeight != cell.y + cell.nHeight)
                sText += '\n';
            else if (cell.x > last.x + last.nWidth + 1)
                sText += ' ';
        }
        sText += cell.c;
    }
    if (!sText.empty())
        sText += '\n';
    return sText;
}
