// Analogue (chart-recorder) output: a 16-bit value that follows the measured
// absorbance or transmittance. A slewing engine, stepped on every firmware
// millisecond, moves the output in straight lines: live (each new value is
// the next target, reached over the time since the previous one) or by
// playing back a stored scan at a fixed number of ticks per point.
//
// The user interface calls the operations below (they take the firmware
// lock); TickHandler runs AnalogueTick on the firmware thread.
#pragma once

#include <cstdint>

#include "core/timers.h"

#include "core/bridge.h"

// Engine modes (gnAnaMode).
constexpr int32_t ANA_DIRECT = 0;    // the output is set at once by AnalogueWrite
constexpr int32_t ANA_PLAYBACK = 1;  // the stored scan is being played
constexpr int32_t ANA_LIVE = 2;      // queued values are reached by ramps
constexpr int32_t ANA_DRAINING = 3;  // live, finishing the queue, then direct

constexpr int ANA_SCAN_POINTS = 501;  // one stored scan, 330..830 nm
constexpr int ANA_QUEUE_SIZE = 4;     // live targets waiting
constexpr uint32_t ANA_SCAN_TICKS_PER_POINT = 20;  // playback of a scan: 10 s for 501 points

// One live target: the value and the ticks over which to reach it.
struct AnaTarget {
    uint16_t unValue;
    uint32_t unTicks;
};

// A ramp from the output toward a target in equal steps, the remainder
// spread over the ticks by an accumulator so the steps differ by one count.
struct AnaRamp {
    uint32_t unCountdown;   // ramp ticks still to run
    int16_t nDirection;     // +1 up, -1 down
    uint16_t unStep;        // counts moved on every ramp tick
    uint32_t unRemainder;   // delta mod ticks: extra counts to spread
    uint32_t unAccumulator; // grows by the remainder; one extra count each time it reaches the divisor
    uint32_t unDivisor;     // the ramp's length in ticks
};

extern uint16_t gunAnaOutput;                   // the output value; 65535 after start-up
extern int32_t gnAnaMode;                       // ANA_DIRECT .. ANA_DRAINING
extern uint32_t gnAnaPeriod;                    // live: longest interval counted between two values, ticks
extern uint32_t gnAnaElapsed;                   // live: ticks since the last value was queued, up to the period
extern uint32_t gnAnaRate;                      // playback: ticks per scan point
extern uint16_t gunAnaScan[ANA_SCAN_POINTS];    // the stored scan
extern uint16_t gunAnaScanWrite;                // next point to store, wraps at 501
extern uint16_t gunAnaScanRead;                 // next point to play, wraps at 501
extern uint16_t gunAnaScanCount;                // points stored and not yet played, 0..501
extern AnaTarget gAnaQueue[ANA_QUEUE_SIZE];     // live targets
extern uint8_t gbAnaQueueWrite;                 // next free slot, wraps at 4
extern uint8_t gbAnaQueueRead;                  // head of the queue, wraps at 4
extern uint8_t gbAnaQueueCount;                 // targets queued, 0..4
extern AnaRamp gAnaRamp;                        // the ramp in progress
extern SerialSink* gpAnaTrace;                  // receives "%d\n" of the output every tick; null when detached

// Everything zero, queue and scan empty, output 65535, trace taken from the
// host (null unless the host offers one).
void AnalogueInit();
// 65535 - (A + 1) * 65535 / 5, rounded half away from zero, limited to 0..65535.
uint16_t AbsorbanceToOutput(double fAbsorbance);
// 65535 - (T / 100) * 65535 / 5, rounded and limited the same way.
uint16_t TransmittanceToOutput(double fPercent);
// Live: queues the value with the ticks since the last one (dropped when the
// queue is full). Any other mode: direct, the output set at once.
void AnalogueWrite(uint16_t unValue);
// Writes the last reading's absorbance (kind 0) or transmittance (kind 1) at nm.
void AnalogueOutputResult(uint8_t bKind, int32_t nNm);
// Live mode with the given longest interval (measuring interval + 2000 ticks).
void AnalogueStartLive(uint32_t unPeriod);
// Finishes the queued ramps, then returns to direct.
void AnalogueStopLive();
// Empties the stored scan; only while direct (false otherwise).
bool AnalogueBeginScan();
// Append one point to the stored scan while fewer than 501 are stored.
void AnalogueRecordAbsorbance(double fAbsorbance);
void AnalogueRecordTransmittance(double fPercent);
// Plays the stored scan, one point every unTicks ticks, then returns to direct.
void AnalogueStartPlayback(uint32_t unTicks);
// After a scan: stores the last reading's spectrum from nFirst to nLast nm
// (absorbance, or %T) and plays it at ANA_SCAN_TICKS_PER_POINT; nothing
// while live output or another playback runs.
void AnaloguePlaySpectrum(int32_t nFirst, int32_t nLast, bool bTransmittance);
// The engine's millisecond step, run by TickHandler once wired.
void AnalogueTick();
