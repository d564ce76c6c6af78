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

// Firmware thread. FirmwareMain, the firmware's entry point, is the top
// layer's (app/): the power-up order and the main loop.
void FirmwareMain();
uint8_t NextRunPhase(uint8_t bPhase);
void ConsumeHostTicks();

// What a wait inside a step serves on each round besides firmware time (the
// host's ticks, always consumed).
constexpr uint8_t WAIT_TIMERS = 1;  // the 50 ms count-down timers (TimerService)
constexpr uint8_t WAIT_KEYS = 2;    // the keypad (PollKeys)
constexpr uint8_t WAIT_REMOTE = 4;  // the poll hook below, after the host's turn

// One round of every wait inside a step: the services asked for, the host's
// ticks, then pfnDone (when given); unless that holds or the firmware is
// being stopped, the host's turn and then the poll. False ends the wait: the
// caller tells done from stopped by its own state.
bool WaitRound(uint8_t bServe, bool (*pfnDone)() = nullptr);

// The remote interpreter's poll during a wait that serves it; does nothing
// until the top layer wires it.
extern void (*gpfnWaitPoll)();
