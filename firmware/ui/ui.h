// The user-interface state machine: screen state, per-pass step, drawing.
#pragma once

#include <cstdint>

#include "display/script.h"
#include "ui/states.h"

extern uint8_t gunScreenState;     // screen shown: 0..131 handled, 85 standby, 132 PC Control

// Wires the "PC Control" screen into the remote interpreter and the
// calibrations; the state machine does it at power-up.
void WireScreenHooks();
// Redraws the current state's screen.
void DrawScreen();

// Per-state facts read from the state table.
bool StateIsMeasuring(uint8_t bState);       // recorded as the last operation
bool StateRefusesPcControl(uint8_t bState);  // CONTROL refused, ^R and ^T ignored
bool StateArrowsRepeat(uint8_t bState);      // held arrow keys repeat
uint8_t StateNumberStyle(uint8_t bState);    // NUMBERS_* of the display script
// The state's short name for tools ("single-measure", "pc-control", ...);
// nullptr for a number that is no state.
const char* StateName(uint8_t bState);
// The state of that name, -1 for none.
int StateByName(const char* pszName);
