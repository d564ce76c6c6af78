// The user-interface state machine: screen state, per-pass step, drawing.
#pragma once

#include <cstdint>

#include "display/script.h"
#include "ui/states.h"

extern uint8_t gunScreenState;     // screen shown: 0..131 handled, 85 standby, 132 PC Control

// Power-on initialisation (phase 1) or one pass of the state machine.
void UserInterfaceStep(uint8_t bPhase);
// Redraws the current state's screen.
void DrawScreen();

// Per-state facts read from the state table.
bool StateIsMeasuring(uint8_t bState);       // recorded as the last operation
bool StateRefusesPcControl(uint8_t bState);  // CONTROL refused, ^R and ^T ignored
bool StateArrowsRepeat(uint8_t bState);      // held arrow keys repeat
bool ShownStateArrowsRepeat();               // ... on the screen shown
uint8_t StateNumberStyle(uint8_t bState);    // NUMBERS_* of the display script
// The screens' part in remote work and calibrations: whether the screen
// shown refuses PC control, showing (1) or leaving (0) "PC Control", the
// notice that a calibration waits for the sample, and the steps of a
// calibration run from the keypad (nothing for one run by a command).
bool ScreenRefusesPc();
void ShowPcControl(uint8_t bOn);
void SampleWaitNotice(uint8_t bWaiting, uint8_t bTaken);
void ShowCalibrationStep(uint8_t bStep);

// The state's short name for tools ("single-measure", "pc-control", ...);
// nullptr for a number that is no state.
const char* StateName(uint8_t bState);
// The state of that name, -1 for none.
int StateByName(const char* pszName);
