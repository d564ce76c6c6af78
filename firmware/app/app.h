// The top layer: the instrument's power-up order, its main loop
// (FirmwareMain, core/runtime.h) and the wiring of every hook that a lower
// layer declares.
#pragma once

#include <cstdint>

// Points every lower layer's hooks at the layers above it. The main loop
// does it before its first pass.
void WireHooks();
// The power-up of everything below the screens, in the instrument's order:
// display, bus, clocks, readings, remote interpreter, analogue output,
// reports. The first pass runs it before the state machine's own.
void PowerUpInstrument();
