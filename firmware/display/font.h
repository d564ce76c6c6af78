// The display's three bitmap fonts and text drawing.
//
// Font 0 (FONT_SMALL): 6 x 8 cells, characters 0x20..0x99, rows of 8 bits
// using bits 5..0. Font 1 (FONT_LARGE): 9 x 14 cells, 0x20..0x96, rows of 16
// bits using bits 8..0. Font 2 (FONT_DIGITS): 5 x 5 cells for "0".."9", ".",
// "n", "/", "-" and space, drawn 5 rows below the cursor. Cells are opaque.
#pragma once

#include <cstdint>

constexpr uint8_t FONT_SMALL = 0;
constexpr uint8_t FONT_LARGE = 1;
constexpr uint8_t FONT_DIGITS = 2;

// Draws one character of the current font at the cursor and advances it; a
// character the font lacks draws nothing and leaves the cursor.
void LcdPutChar(uint8_t c);
// Draws a NUL-terminated string of display characters.
void LcdPutString(const char* psz);
// Erases n character cells of the current font.
void LcdPutSpaces(uint8_t n);
