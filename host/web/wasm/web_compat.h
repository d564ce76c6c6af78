// Included first in every file of the web build: emscripten's C library
// defines PAGE_SIZE as a macro in <limits.h>, a name the board uses for a
// class constant (the EEPROM's write page).
#pragma once
#include <limits.h>
#undef PAGE_SIZE
