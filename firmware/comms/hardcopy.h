// Screen hardcopy: the plot area of the display (columns 65..238) sent to the
// printer as a bit image, rotated a quarter turn (display columns run down
// the paper, bottom row first), in the byte format of the output device.
#pragma once

#include <cstdint>

constexpr uint8_t HARDCOPY_FIRST_COLUMN = 65;   // first display column printed
constexpr uint8_t HARDCOPY_LAST_COLUMN = 238;   // last display column printed
constexpr int HARDCOPY_BANDS = 44;              // PR2: bands of four display columns
constexpr int HARDCOPY_PR2_BYTES = HARDCOPY_BANDS * (4 + 256 + 4);  // 11616
constexpr int HARDCOPY_COLUMN_BYTES = 2 + 40;   // other devices: per display column
constexpr int HARDCOPY_OTHER_BYTES = (HARDCOPY_LAST_COLUMN - HARDCOPY_FIRST_COLUMN + 1) * HARDCOPY_COLUMN_BYTES;  // 7308

// Sends the picture through SerialPutCharReport. Output device 1 ("PR2"):
// 44 bands, each ESC K 0 1, 128 rows of one byte sent twice (2 x 2 dots per
// pixel), CR ESC J 16. Any other device: per column ESC 0x01 and 40 bytes of
// three rows each (rows 0..7 are not printed).
void LcdPrintScreen();
