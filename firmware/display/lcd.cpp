// Display memory primitives: pixels, axis-aligned lines, boxes, whole-screen
// clears and images, and the soft-key label frames at the left of the screen.
#include "display/lcd.h"

#include "core/bridge.h"

uint8_t gbCursorX = 0;
uint8_t gbCursorY = 0;
uint8_t gbLineEndX = 0;
uint8_t gbLineEndY = 0;
uint8_t gbInverse = 0;
uint8_t gbFont = 0;

namespace {

uint8_t PixelBit(uint8_t x) { return static_cast<uint8_t>(0x80 >> (x % 8)); }

void InvertPixel(uint8_t x, uint8_t y)
{
    if (LcdTestPixel(x, y))
        LcdClearPixel(x, y);
    else
        LcdSetPixel(x, y);
}

// Applies a line mode to one pixel; bIndex counts pixels from the lower end.
void LinePixel(uint8_t bMode, uint8_t x, uint8_t y, int nIndex)
{
    switch (bMode) {
    case LINE_SET:
        LcdSetPixel(x, y);
        break;
    case LINE_DOTTED:
        if (nIndex % 2 == 0)
            LcdSetPixel(x, y);
        break;
    case LINE_CLEAR:
        LcdClearPixel(x, y);
        break;
    case LINE_DOTTED_INVERT:
        if (nIndex % 2 == 0)
            InvertPixel(x, y);
        break;
    case LINE_INVERT:
        InvertPixel(x, y);
        break;
    default:
        break;
    }
}

}  // namespace

uint16_t LcdAddress(uint8_t x, uint8_t y)
{
    return static_cast<uint16_t>(LCD_GRAPHIC_BASE + LCD_BYTES_PER_ROW * y + x / 8);
}

uint8_t LcdTestPixel(uint8_t x, uint8_t y) { return LcdReadByte(LcdAddress(x, y)) & PixelBit(x); }

void LcdSetPixel(uint8_t x, uint8_t y)
{
    uint16_t unAddress = LcdAddress(x, y);
    LcdWriteByte(unAddress, LcdReadByte(unAddress) | PixelBit(x));
}

void LcdClearPixel(uint8_t x, uint8_t y)
{
    uint16_t unAddress = LcdAddress(x, y);
    LcdWriteByte(unAddress, LcdReadByte(unAddress) & static_cast<uint8_t>(~PixelBit(x)));
}

void LcdMoveTo(uint8_t x, uint8_t y)
{
    gbCursorX = x;
    gbCursorY = y;
}

void LcdLine(uint8_t bMode, uint8_t x, uint8_t y)
{
    uint8_t cx = gbCursorX;
    uint8_t cy = gbCursorY;
    if (x == cx) {
        uint8_t bLow = cy < y ? cy : y;
        uint8_t bHigh = cy < y ? y : cy;
        for (int r = bLow, i = 0; r <= bHigh; r++, i++)
            LinePixel(bMode, x, static_cast<uint8_t>(r), i);
    } else {
        uint8_t bLow = cx < x ? cx : x;
        uint8_t bHigh = cx < x ? x : cx;
        for (int c = bLow, i = 0; c <= bHigh; c++, i++)
            LinePixel(bMode, static_cast<uint8_t>(c), y, i);
    }
    LcdMoveTo(x, y);
}

void LcdBox(uint8_t bMode, uint8_t bWidth, uint8_t bHeight)
{
    uint8_t x0 = gbCursorX;
    uint8_t y0 = gbCursorY;
    uint8_t x1 = static_cast<uint8_t>(x0 + bWidth - 1);
    uint8_t y1 = static_cast<uint8_t>(y0 + bHeight - 1);
    LcdLine(bMode, x1, y0);
    LcdLine(bMode, x1, y1);
    LcdLine(bMode, x0, y1);
    LcdLine(bMode, x0, y0);
}

void LcdClear()
{
    for (uint16_t a = LCD_GRAPHIC_BASE; a < LCD_GRAPHIC_BASE + LCD_SCREEN_BYTES; a++)
        LcdWriteByte(a, 0);
}

void LcdInit()
{
    LcdClear();
    LcdMoveTo(0, 0);
    gbLineEndX = 0;
    gbLineEndY = 0;
    gbInverse = 0;
}

void LcdShowImage(const uint8_t* pbImage)
{
    for (uint16_t i = 0; i < LCD_SCREEN_BYTES; i++)
        LcdWriteByte(static_cast<uint16_t>(LCD_GRAPHIC_BASE + i), pbImage[i]);
}

void LcdSoftKeyFrame(uint8_t bLayout, uint8_t bMask)
{
    static constexpr uint8_t kabClearBytes[3] = {8, 18, 30};
    static constexpr uint8_t kabBoxWidth[3] = {59, 137, 175};
    if (bLayout > 2)
        return;
    for (int y = 0; y < LCD_HEIGHT; y++)
        for (int b = 0; b < kabClearBytes[bLayout]; b++)
            LcdWriteByte(static_cast<uint16_t>(LCD_GRAPHIC_BASE + LCD_BYTES_PER_ROW * y + b), 0);
    for (int i = 0; i < 4; i++) {
        LcdMoveTo(5, static_cast<uint8_t>(10 + 29 * i));
        if (bMask & (1 << i))
            LcdBox(LINE_SET, kabBoxWidth[bLayout], 16);
    }
}
