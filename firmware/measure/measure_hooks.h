// What measurement code needs from the layers above it, as hooks that the
// top layer wires at power-up: the remote interpreter's trace line and the
// notice to the screens that a calibration waits for the operator's sample.
// Until wired, each hook does nothing.
#pragma once

#include <cstdint>

// Sends one trace line while a remote command executes.
extern void (*gpfnTraceLine)(const char* pszText);
// A calibration starts (bWaiting 1) or stops (0) waiting for the sample;
// bTaken says whether the operator gave it.
extern void (*gpfnSampleWaitNotice)(uint8_t bWaiting, uint8_t bTaken);
