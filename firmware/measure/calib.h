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
