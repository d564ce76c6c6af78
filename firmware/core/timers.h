// Firmware time and the keypad: the 1 ms tick, the 50 ms count-down timers,
// the I2C stopwatches, the acquisition clock, the millisecond counter of the
// user interface, and the key scan with its auto-repeat.
#pragma once

#include <cstdint>

// Key codes of the panel (0 = no key).
constexpr uint8_t KEY_NONE = 0;
constexpr uint8_t KEY_REF = 1;
constexpr uint8_t KEY_UP = 2;
constexpr uint8_t KEY_DOWN = 3;
constexpr uint8_t KEY_ESCAPE = 4;
constexpr uint8_t KEY_TEST = 5;
constexpr uint8_t KEY_LEFT = 6;
constexpr uint8_t KEY_RIGHT = 7;
constexpr uint8_t KEY_SOFT1 = 8;
constexpr uint8_t KEY_SOFT2 = 9;
constexpr uint8_t KEY_SOFT3 = 10;
constexpr uint8_t KEY_SOFT4 = 11;
constexpr uint8_t KEY_STANDBY = 12;
constexpr uint8_t KEY_COUNT = 12;

// Key state.
extern uint8_t gbKeyHeld;      // key being held, 0 none
extern uint8_t gbKeyEvent;     // event waiting for the user interface, 0 none
extern uint8_t gbLastKey;      // key of the last press (the one that repeats)
extern uint8_t gbRepeatCount;  // slow repeats left
extern uint8_t gbFastRepeat;   // 0 until the slow repeats are used up, then 1

// Time state.
extern uint8_t gbElapsedTicks;         // 1 ms ticks since TimerService last took them (wraps)
extern uint32_t gunElapsedMs;          // millisecond counter of the user interface
extern uint8_t gbTickServicesEnabled;  // stopwatches and analogue output run in TickHandler
extern uint16_t gunStopwatchA;         // I2C stopwatch for the clock-line wait, ms
extern uint16_t gunStopwatchB;         // I2C stopwatch for acknowledge polling, ms
extern uint8_t gbI2cTimeoutsOn;        // the stopwatches run
extern uint16_t gunAcqClock;           // acquisition clock, ms (wraps)
extern uint8_t gbAcqClockOn;           // the acquisition clock runs
extern int32_t gnTimerDivider;         // ms still to go before the next 50 ms step

// Count-down timers in 50 ms steps: store a count, poll for 0.
extern uint32_t gunKeyRepeatTimer;  // key auto-repeat delay
extern uint32_t gunScreenTimer;     // timed screens of the user interface
extern uint32_t gunMessageTimer;    // timed messages (60 = three seconds)
extern uint32_t gunProgressTimer;   // progress indicator of a reading (10 = half a second)

void TickHandler();
void TimerService(uint8_t bPhase);
void PollKeys(uint8_t bPhase);
uint8_t GetKey();
void ResetKeys();
void KeyPressed(uint8_t bKey);
void AutoRepeat();
// Whether held arrow keys repeat on the screen shown; the user interface
// answers once wired (until then they do not).
extern bool (*gpfnArrowKeysRepeat)();
// The analogue output's millisecond step, run by TickHandler while the tick
// services are enabled; does nothing until wired.
extern void (*gpfnTickService)();

void StopwatchInit();
void StopwatchTick();

void AcqClockStart();
void AcqClockStop();
uint16_t AcqClockTake();
void AcqClockTick();

uint32_t ReadElapsedMs();
void ResetElapsedMs();
void ConsumeElapsedMs(uint32_t unMs);

void CountDown(uint32_t* punTimer, uint8_t n);
