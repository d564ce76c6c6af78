// The user-interface state machine: screen state, per-pass step, drawing.
#pragma once

#include <cstdint>

// Screen states named by other subsystems.
constexpr uint8_t STATE_SPLASH = 0;
constexpr uint8_t STATE_MAIN_MENU = 11;
constexpr uint8_t STATE_STANDBY = 85;
constexpr uint8_t STATE_PC_CONTROL = 132;
constexpr uint8_t STATE_PC_CONTROL_WAITING = 133;
constexpr uint8_t STATE_FIRST_UNHANDLED = 132;  // values from here on have no handler

extern uint8_t gunScreenState;     // screen shown: 0..131 handled, 85 standby, 132 PC Control
extern uint8_t gunScreenSubState;  // variant of the scan screen (7, 8, 9: diagnostic plots)
extern uint32_t gunDisplayOption;  // display option of the method in use (1 %T, 4 and 5 factor options)
extern char gszEditText[32];       // text of the field being edited
extern uint8_t gbReferenceFlag;    // 1 when the last reading was a reference, 0 after a sample

// One pass of the state machine (phase 1 initialises).
void UserInterfaceStep(uint8_t bPhase);
// Redraws the current state's screen.
void DrawScreen();
