// halden-glyphsheet: draws every glyph of the three display fonts through
// the firmware's own text drawing into a headless display, and writes one
// enlarged PNG sheet per font, with a line of sample text at the bottom.
//
//   halden-glyphsheet OUTDIR    writes OUTDIR/glyphs_font0_small.png,
//                               glyphs_font1_large.png, glyphs_font2_digits.png
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "display/font.h"
#include "display/lcd.h"
#include "display_image.h"
#include "instrument.h"

namespace {

struct Rgb {
    uint8_t r, g, b;
};
constexpr Rgb BACKGROUND = {102, 255, 255};  // the display window's light cyan
constexpr Rgb CELL = {150, 235, 235};        // light dots inside a glyph cell
constexpr Rgb DOT = {0, 0, 0};
constexpr Rgb LABEL = {40, 40, 40};

class CCanvas {
public:
    CCanvas(int nWidth, int nHeight) : m_nWidth(nWidth), m_nHeight(nHeight), m_abRgb(3 * nWidth * nHeight)
    {
        Fill(0, 0, nWidth, nHeight, BACKGROUND);
    }
    void Fill(int x0, int y0, int w, int h, Rgb c)
    {
        for (int y = y0; y < y0 + h && y < m_nHeight; y++)
            for (int x = x0; x < x0 + w && x < m_nWidth; x++) {
                uint8_t* p = &m_abRgb[3 * (y * m_nWidth + x)];
                p[0] = c.r;
                p[1] = c.g;
                p[2] = c.b;
            }
    }
    bool WritePng(const std::string& sPath) const { return WriteRgbPng(sPath, m_nWidth, m_nHeight, m_abRgb.data()); }

private:
    int m_nWidth;
    int m_nHeight;
    std::vector<uint8_t> m_abRgb;
};

struct FontInfo {
    uint8_t bFont;
    const char* pszFile;
    int nWidth, nHeight;  // cell
    int nScale;           // screen pixels per dot on the sheet
    std::vector<uint8_t> abCodes;
    const char* pszSample;
};

// Draws s on a cleared display at (0, 0) and copies the dots to the canvas,
// each dot nScale x nScale; returns the width drawn in dots.
int CopyDrawing(const CInstrument& host, CCanvas& canvas, int x0, int y0, int nScale, int nDotsWide, int nDotsHigh,
                bool bShowCell)
{
    for (int y = 0; y < nDotsHigh; y++)
        for (int x = 0; x < nDotsWide; x++) {
            Rgb c = host.Pixel(x, y) ? DOT : (bShowCell ? CELL : BACKGROUND);
            canvas.Fill(x0 + x * nScale, y0 + y * nScale, nScale - (bShowCell ? 1 : 0),
                        nScale - (bShowCell ? 1 : 0), c);
        }
    return nDotsWide;
}

void DrawLabel(const CInstrument& host, CCanvas& canvas, int x0, int y0, const std::string& s)
{
    LcdInit();
    gbFont = FONT_SMALL;
    gbInverse = 0;
    LcdPutString(s.c_str());
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 6 * static_cast<int>(s.size()); x++)
            if (host.Pixel(x, y))
                canvas.Fill(x0 + 2 * x, y0 + 2 * y, 2, 2, LABEL);
}

bool WriteSheet(const CInstrument& host, const FontInfo& font, const std::string& sDir)
{
    const int nColumns = 16;
    const int nCellW = font.nWidth * font.nScale + 6;
    const int nCellH = font.nHeight * font.nScale + 6;
    const int nLeft = 60, nTop = 30;
    const int nRows = (static_cast<int>(font.abCodes.size()) + nColumns - 1) / nColumns;
    const int nSampleScale = 3;
    const int nSampleTop = nTop + nRows * nCellH + 20;
    const int nSampleH = 18 * nSampleScale;
    CCanvas canvas(nLeft + nColumns * nCellW + 20, nSampleTop + 3 * nSampleH + 20);

    char acLabel[16];
    // Column heads: the low digit of the code, or the character itself in
    // the digit font, whose codes are not contiguous.
    for (int c = 0; c < nColumns && c < static_cast<int>(font.abCodes.size()); c++) {
        if (font.bFont == FONT_DIGITS)
            std::snprintf(acLabel, sizeof acLabel, "%c", font.abCodes[c]);
        else
            std::snprintf(acLabel, sizeof acLabel, "%X", c);
        DrawLabel(host, canvas, nLeft + c * nCellW + nCellW / 2 - 6, 8, acLabel);
    }
    for (size_t i = 0; i < font.abCodes.size(); i++) {
        int nRow = static_cast<int>(i) / nColumns, nColumn = static_cast<int>(i) % nColumns;
        if (nColumn == 0 && font.bFont != FONT_DIGITS) {
            std::snprintf(acLabel, sizeof acLabel, "%02X", font.abCodes[i]);
            DrawLabel(host, canvas, 10, nTop + nRow * nCellH + nCellH / 2 - 8, acLabel);
        }
        LcdInit();
        gbFont = font.bFont;
        gbInverse = 0;
        LcdPutChar(font.abCodes[i]);
        CopyDrawing(host, canvas, nLeft + nColumn * nCellW, nTop + nRow * nCellH, font.nScale, font.nWidth,
                    font.nHeight, true);
    }
    // Sample text as it looks on the display, normal and inverse.
    for (int nInverse = 0; nInverse < 2; nInverse++) {
        LcdInit();
        gbFont = font.bFont;
        gbInverse = static_cast<uint8_t>(nInverse);
        LcdMoveTo(0, 0);
        LcdPutString(font.pszSample);
        CopyDrawing(host, canvas, nLeft, nSampleTop + nInverse * nSampleH, nSampleScale, LCD_WIDTH,
                    font.nHeight + (font.bFont == FONT_DIGITS ? 5 : 0), false);
    }
    return canvas.WritePng(sDir + "/" + font.pszFile);
}

std::vector<uint8_t> Codes(unsigned unFirst, unsigned unLast)
{
    std::vector<uint8_t> ab;
    for (unsigned c = unFirst; c <= unLast; c++)
        ab.push_back(static_cast<uint8_t>(c));
    return ab;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: halden-glyphsheet OUTDIR\n");
        return 2;
    }
    CInstrument host;  // the display memory the firmware draws into; never powered up
    const FontInfo fonts[] = {
        {FONT_SMALL, "glyphs_font0_small.png", 6, 8, 6, Codes(0x20, 0x99),
         "R\x8Dp\x8Dter \x87\x88\x89\x8A \x84\x85 \x82\x83 \x80=405nm 0.123\x86g/l"},
        {FONT_LARGE, "glyphs_font1_large.png", 9, 14, 4, Codes(0x20, 0x96), "A1/2 = 1.234 Abs gjpqy \x8D\x96"},
        {FONT_DIGITS, "glyphs_font2_digits.png", 5, 5, 8,
         {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '.', 'n', '/', '-', ' '},
         "405/540 -0.125 1n"},
    };
    for (const FontInfo& font : fonts)
        if (!WriteSheet(host, font, argv[1])) {
            std::fprintf(stderr, "halden-glyphsheet: cannot write %s/%s\n", argv[1], font.pszFile);
            return 1;
        }
    return 0;
}
