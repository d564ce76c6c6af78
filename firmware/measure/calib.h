// Factory calibration: holmium wavelength offset, LED peak pixel, stray light.
#pragma once

#include <cstdint>

// The steps a calibration announces as it goes, for the screen that runs it
// from the keypad.
constexpr uint8_t CALIB_STEP_LED = 0;        // the LED reading begins
constexpr uint8_t CALIB_STEP_REFERENCE = 1;  // the reference reading begins
constexpr uint8_t CALIB_STEP_WAITING = 2;    // waiting for the filter and the TEST key
constexpr uint8_t CALIB_STEP_SAMPLE = 3;     // the reading through the filter begins
// Called at each step; does nothing until wired (the screens show the steps
// of a run from the keypad only).
extern void (*gpfnCalibrationStep)(uint8_t bStep);
// 1 while a calibration runs from the keypad: besides TEST and standby, its
// OK soft key (soft key 4) ends the wait for a sample as TEST does, and
// Escape abandons it as standby does.
extern uint8_t gbKeypadCalibration;
// The key that ended the last wait for a sample (0 when the firmware stopped).
extern uint8_t gbSampleWaitKey;

// The LED check of the last LED calibration.
constexpr uint8_t LED_GOOD = 0;
constexpr uint8_t LED_LOW_LEVEL = 1;
constexpr uint8_t LED_PEAK_TOO_WIDE = 2;
extern uint8_t gbLedCheck;
// The stray-light level the last stray-light calibration measured, before limiting.
extern double gfStrayMeasured;

// Waits for the TEST key (true) or the standby key (false).
bool WaitForSample();
bool CalibrateHolmium();
bool CalibrateLed();
bool CalibrateStrayLight();
int32_t HolmiumBandOffset();
bool CheckLedPeakWidth(double fPeakValue);
// The holmium offset for three band pixel offsets: minus their mean
// (truncated toward zero), limited to -8..+8.
int32_t HolmiumOffsetFromBands(const int32_t anPixelOffsets[3]);
// A measured stray-light level limited to the S value's range 0..15.
double LimitSValue(double fMeasured);
