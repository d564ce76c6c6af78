// Firmware runtime: the firmware thread, its main loop and run phases, the
// conversion of host ticks into firmware ticks and the firmware lock.
#pragma once

#include <cstdint>

// Run phases handed to every per-pass service.
constexpr uint8_t PHASE_RESET = 0;
constexpr uint8_t PHASE_INIT = 1;   // first pass: power-on initialisation
constexpr uint8_t PHASE_RUN = 4;    // every later pass

extern uint8_t gbRunPhase;      // 0 before the first pass, 1 during it, 4 afterwards

// Host-called (host's user-interface thread).
void FirmwareStart();
int FirmwareStop();
// True from FirmwareStart until FirmwareStop has joined the thread.
bool FirmwareThreadActive();

// Firmware thread.
void FirmwareMain();
uint8_t NextRunPhase(uint8_t bPhase);
void ConsumeHostTicks();

// The per-pass services of the main loop that the layers above core provide
// (phase 1 initialises, any other phase runs one pass): the serial port's
// power-up and the user-interface state machine.
void SerialPowerUp(uint8_t bPhase);
void UserInterfaceStep(uint8_t bPhase);

// The user-interface step of the main loop. A test host may replace it to
// run the core services alone; null restores the state machine.
using UiStepFunction = void (*)(uint8_t bPhase);
void FirmwareSetUiStep(UiStepFunction pfnStep);
