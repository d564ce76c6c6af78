// Text drawing in the three built-in fonts.
//
// Every character funnels into DrawGlyphRow, which writes one row pattern
// into the one or two display bytes it covers with a read-modify-write, so
// a cell is opaque and the pixels beside it are kept.
#include "display/font.h"

#include "core/bridge.h"
#include "display/lcd.h"
#include "display/text_data.h"

namespace {

struct GlyphShape {
    const uint8_t* pbRecord;  // first row of the glyph in gabFontData
    uint8_t bWidth;           // pixels per row, also the advance
    uint8_t bHeight;          // rows
    bool bWideRows;           // rows are 16-bit words (font 1)
};

// Record of a character in font 2: the ten digits, then ".", "n", "/", "-", space.
int DigitRecord(uint8_t c)
{
    static constexpr char kacExtra[] = {'.', 'n', '/', '-', ' '};
    if (c >= '0' && c <= '9')
        return c - '0';
    for (int i = 0; i < 5; i++)
        if (c == static_cast<uint8_t>(kacExtra[i]))
            return 10 + i;
    return -1;
}

// The glyph of c in the current font; false when the font lacks it.
bool FindGlyph(uint8_t c, GlyphShape& shape)
{
    switch (gbFont) {
    case FONT_SMALL:
        if (c < 0x20 || c > 0x99)
            return false;
        shape = {gabFontData + FONT_SMALL_OFFSET + (c - 0x20) * FONT_SMALL_RECORD, 6, 8, false};
        return true;
    case FONT_LARGE:
        if (c < 0x20 || c > 0x96)
            return false;
        shape = {gabFontData + FONT_LARGE_OFFSET + (c - 0x20) * FONT_LARGE_RECORD, 9, 14, true};
        return true;
    case FONT_DIGITS: {
        int nRecord = DigitRecord(c);
        if (nRecord < 0)
            return false;
        shape = {gabFontData + FONT_DIGITS_OFFSET + nRecord * FONT_DIGITS_RECORD, 5, 5, false};
        return true;
    }
    default:
        return false;
    }
}

// Replaces the masked bits of one byte. Bytes past the shown screen (a cell
// reaching beyond the right edge of the bottom row) are left alone.
void MergeByte(uint16_t unAddress, uint8_t bMask, uint8_t bBits)
{
    if (bMask == 0 || unAddress >= LCD_GRAPHIC_BASE + LCD_SCREEN_BYTES)
        return;
    uint8_t bOld = LcdReadByte(unAddress);
    LcdWriteByte(unAddress, static_cast<uint8_t>((bOld & ~bMask) | (bBits & bMask)));
}

// Writes the w-bit pattern at bit offset s of the byte at unAddress,
// spilling into the next byte when s + w exceeds 8 (s + w is at most 16).
void DrawGlyphRow(uint16_t unAddress, uint8_t s, uint8_t w, uint16_t unPattern)
{
    int nShift = 16 - s - w;
    uint16_t unMask = static_cast<uint16_t>(((1u << w) - 1) << nShift);
    uint16_t unBits = static_cast<uint16_t>(unPattern << nShift);
    MergeByte(unAddress, static_cast<uint8_t>(unMask >> 8), static_cast<uint8_t>(unBits >> 8));
    MergeByte(static_cast<uint16_t>(unAddress + 1), static_cast<uint8_t>(unMask & 0xFF),
              static_cast<uint8_t>(unBits & 0xFF));
}

}  // namespace

void LcdPutChar(uint8_t c)
{
    GlyphShape shape;
    if (!FindGlyph(c, shape))
        return;
    uint16_t unCellMask = static_cast<uint16_t>((1u << shape.bWidth) - 1);
    uint8_t s = gbCursorX % 8;
    uint16_t unAddress = LcdAddress(gbCursorX, gbCursorY);
    for (int r = 0; r < shape.bHeight; r++, unAddress += LCD_BYTES_PER_ROW) {
        // Rows below the bottom of the screen are not drawn.
        if (gbCursorY + r >= LCD_HEIGHT)
            break;
        uint16_t unPattern = shape.bWideRows
                                 ? static_cast<uint16_t>(shape.pbRecord[2 * r] | (shape.pbRecord[2 * r + 1] << 8))
                                 : shape.pbRecord[r];
        unPattern &= unCellMask;
        if (gbInverse == 1)
            unPattern = static_cast<uint16_t>(~unPattern & unCellMask);
        DrawGlyphRow(unAddress, s, shape.bWidth, unPattern);
    }
    gbCursorX = static_cast<uint8_t>(gbCursorX + shape.bWidth);
}

void LcdPutString(const char* psz)
{
    if (psz == nullptr || *psz == '\0')
        return;
    // Digits of font 2 sit 5 rows below the cursor row.
    bool bDigits = gbFont == FONT_DIGITS;
    if (bDigits)
        gbCursorY = static_cast<uint8_t>(gbCursorY + 5);
    for (const char* p = psz; *p != '\0'; p++)
        LcdPutChar(static_cast<uint8_t>(*p));
    if (bDigits)
        gbCursorY = static_cast<uint8_t>(gbCursorY - 5);
}

void LcdPutSpaces(uint8_t n)
{
    for (uint8_t i = 0; i < n; i++)
        LcdPutString(" ");
}
