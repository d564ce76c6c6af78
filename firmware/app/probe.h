// What a host may read of the firmware besides the bridge: a few facts for
// its tools, and the step of the main loop for a host that runs the core
// services alone.
#pragma once

#include <cstdint>

// The step of the main loop after the timers and keys: phase 1 powers up, a
// later phase runs one pass. A host may replace it before FirmwareStart to
// run the core services alone; null restores the instrument's own.
using UiStepFunction = void (*)(uint8_t bPhase);
void FirmwareSetUiStep(UiStepFunction pfnStep);

// The screen state shown (STATE_* of ui/states.h).
uint8_t ProbeScreenState();
// The instrument is busy with the PC: a command line executes (its trace is
// on) or a reading is under way.
bool ProbeRemoteBusy();
// Where reports go: 0 the printer PR1, 1 the printer PR2, 2 the PC.
uint8_t ProbeOutputDevice();
// The wavelength scale's offset from the nominal, in pixels (holmium
// calibration plus the diode array's LED offset).
int32_t ProbeScaleOffset();
// Runs a display-script text on the display memory, as a screen does.
void ProbeDrawScript(const char* pszScript);
// The detector's linearity correction as the firmware applies it: a summed
// count d becomes ((A2 x + A1) x + A0) d with x = d / scale. Fills
// afCoeff with A0, A1, A2 and the scale.
void ProbeLinearity(double afCoeff[4]);

// The cell heater is hardware: the host fits it (or takes it out, which
// also switches it off) before or while the firmware runs.
void FitCellHeater(bool bFitted);
bool ProbeHeaterFitted();
// True while a fitted heater is switched on.
bool ProbeCellHeated();
