// Display memory and its drawing primitives.
//
// The 240 x 128 monochrome display is byte-addressed display memory reached
// through the bridge: pixel (x, y) is bit 7 - (x mod 8) of address
// LCD_GRAPHIC_BASE + 30 * y + x / 8, a 1 bit a dark dot. Every primitive
// funnels into LcdReadByte / LcdWriteByte; none of them refreshes the display.
//
//   LcdSoftKeyFrame -> LcdBox -> LcdLine -> LcdSetPixel / LcdClearPixel / LcdTestPixel
//   LcdClear, LcdShowImage -> LcdWriteByte
#pragma once

#include <cstdint>

#include "core/bridge.h"  // the display memory's layout

// Line modes.
constexpr uint8_t LINE_SET = 1;
constexpr uint8_t LINE_DOTTED = 2;
constexpr uint8_t LINE_CLEAR = 3;
constexpr uint8_t LINE_DOTTED_INVERT = 4;
constexpr uint8_t LINE_INVERT = 5;

extern uint8_t gbCursorX;    // drawing cursor: start of the next line or box, top-left of the next character
extern uint8_t gbCursorY;
extern uint8_t gbLineEndX;   // end point of the script's line command
extern uint8_t gbLineEndY;
extern uint8_t gbInverse;    // 1: text in inverse video
extern uint8_t gbFont;       // current font 0..2

uint16_t LcdAddress(uint8_t x, uint8_t y);
uint8_t LcdTestPixel(uint8_t x, uint8_t y);
void LcdSetPixel(uint8_t x, uint8_t y);
void LcdClearPixel(uint8_t x, uint8_t y);
void LcdMoveTo(uint8_t x, uint8_t y);
void LcdLine(uint8_t bMode, uint8_t x, uint8_t y);
void LcdBox(uint8_t bMode, uint8_t bWidth, uint8_t bHeight);
void LcdClear();
void LcdInit();
void LcdShowImage(const uint8_t* pbImage);
void LcdSoftKeyFrame(uint8_t bLayout, uint8_t bMask);
