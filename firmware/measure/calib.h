// Factory calibration: holmium wavelength offset, LED peak pixel, stray light.
#pragma once

#include <cstdint>

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
