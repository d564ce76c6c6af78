// The user-interface state machine: screen state, per-pass step, drawing.
#pragma once

#include <cstdint>

#include "ui/states.h"

extern uint8_t gunScreenState;     // screen shown: 0..131 handled, 85 standby, 132 PC Control
extern uint8_t gunScreenSubState;  // variant of the scan screen (7, 8, 9: diagnostic plots)
extern uint32_t gunDisplayOption;  // display option of the method in use (1 %T, 4 and 5 factor options)
extern char gszEditText[32];       // text of the field being edited
extern uint8_t gbReferenceFlag;    // 1 when the last reading was a reference, 0 after a sample

// One pass of the state machine (phase 1 initialises).
void UserInterfaceStep(uint8_t bPhase);
// Redraws the current state's screen.
void DrawScreen();

// Per-state facts read from the state table.
bool StateIsMeasuring(uint8_t bState);       // recorded as the last operation
bool StateRefusesPcControl(uint8_t bState);  // CONTROL refused, ^R and ^T ignored
bool StateArrowsRepeat(uint8_t bState);      // held arrow keys repeat
// The state's short name for tools ("single-measure", "pc-control", ...);
// nullptr for a number that is no state.
const char* StateName(uint8_t bState);
// The state of that name, -1 for none.
int StateByName(const char* pszName);
