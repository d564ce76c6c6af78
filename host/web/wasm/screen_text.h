// The text on the display, read back from its dots: every cell of the small
// and the large font found on the screen, plain or inverse, line by line.
// The page gives it to screen readers, and its tests read values with it.
#pragma once

#include <cstdint>
#include <string>

// pbScreen: the shown screen, 30 bytes a row, 128 rows. Lines top first,
// each ended by "\n"; cells apart by more than a cell's width are parted
// by a space. Codes above 0x7E stay as they are (the instrument's symbols).
std::string ScreenText(const uint8_t* pbScreen);
