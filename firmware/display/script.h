// The display-script interpreter and the display registers that scripts show.
#pragma once

#include <cstdint>

constexpr int VALUE_TEXT_SIZE = 20;
extern char gszValueText[VALUE_TEXT_SIZE];  // numbers are formatted here before drawing

// Real registers (shown by D commands).
extern double gfShowD1, gfShowD2, gfShowD3, gfShowD4, gfShowD5, gfShowD6, gfShowD7, gfShowD8, gfShowD9;
extern double gfShowD20, gfShowD21, gfShowD22, gfShowD23, gfShowD24;
extern double gfShowD31, gfShowD40, gfShowD60;

// Integer registers (shown by I commands).
extern int32_t gnShowI0, gnShowI1, gnShowI2, gnShowI3, gnShowI4, gnShowI5, gnShowI6, gnShowI7, gnShowI8,
    gnShowI9, gnShowI10, gnShowI11, gnShowI12;
extern int32_t gnShowI50, gnShowI52, gnShowI53, gnShowI55, gnShowI56, gnShowI58, gnShowI61, gnShowI62,
    gnShowI63, gnShowI70;
extern uint8_t gnShowI51, gnShowI54, gnShowI57, gnShowI60;  // 8-bit registers
extern double gfShowI59;                                    // shown rounded to an integer

// Registers that the screens set for the number rules: the text of the field
// being edited (the S and s commands), the display option of the method in
// use (1 %T, 4 and 5 factor options), the variant of the scan screen (7, 8,
// 9: diagnostic plots) and the number style of the screen being drawn.
extern char gszEditText[32];
extern uint32_t gunDisplayOption;
extern uint8_t gunScreenSubState;
extern uint8_t gbNumberStyle;

// Number styles: how D1, D25, I6 and I11 are written on a screen.
constexpr uint8_t NUMBERS_PLAIN = 0;
constexpr uint8_t NUMBERS_SINGLE = 1;         // D25 as a transmittance ("Single")
constexpr uint8_t NUMBERS_SHORT = 2;          // D1 with one trailing space (ratio, multi)
constexpr uint8_t NUMBERS_ZOOMED = 3;         // I6 padded, I11 in two digits (zoomed scan)
constexpr uint8_t NUMBERS_METHOD_RESULT = 4;  // D1 and D25 scaled (method run)
constexpr uint8_t NUMBERS_METHOD = 5;         // D25 scaled (kinetics screens)
constexpr uint8_t NUMBERS_BARE = 6;           // D1 without padding

// Executes a display script (a NUL-terminated ASCII string of commands).
void DisplayScript(const char* pszScript);
