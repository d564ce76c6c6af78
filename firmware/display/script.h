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

// Executes a display script (a NUL-terminated ASCII string of commands).
void DisplayScript(const char* pszScript);
