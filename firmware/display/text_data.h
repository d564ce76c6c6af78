// The constant data of the text subsystem, generated at build time by
// tools/textgen from the readable sources in resources/: the three fonts
// and the start-up picture.
//
// gabFontData holds the three font tables one after the other:
//   font 1 (FONT_LARGE)  119 records of 14 little-endian 16-bit rows, bits 8..0, codes 0x20..0x96
//   font 0 (FONT_SMALL)  122 records of 8 byte rows, bits 5..0, codes 0x20..0x99
//   font 2 (FONT_DIGITS)  15 records of 5 byte rows, bits 4..0: "0".."9", ".", "n", "/", "-", space
// Every row record has its leftmost pixel in the highest used bit; bits
// above the used ones are 0.
#pragma once

#include <cstdint>

#include "display/lcd.h"

constexpr uint16_t FONT_LARGE_OFFSET = 0;
constexpr uint16_t FONT_LARGE_RECORD = 28;  // bytes per glyph
constexpr uint16_t FONT_SMALL_OFFSET = 3332;
constexpr uint16_t FONT_SMALL_RECORD = 8;
constexpr uint16_t FONT_DIGITS_OFFSET = 4308;
constexpr uint16_t FONT_DIGITS_RECORD = 5;
constexpr uint16_t FONT_DATA_SIZE = 4383;

extern const uint8_t gabFontData[FONT_DATA_SIZE];
// The 240 x 128 start-up picture in display-memory layout (script command M1).
extern const uint8_t gabStartupImage[LCD_SCREEN_BYTES];
