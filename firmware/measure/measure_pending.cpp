// Placeholder for the measurement subsystem until it is built: readings
// leave all buffers at zero and every check passes. Removed when the real
// readings, diagnostics and calibrations land.
#include "measure/calib.h"
#include "measure/diag.h"
#include "measure/reading.h"

uint16_t gunLightReadings[PIXEL_COUNT];
uint16_t gunDarkReadings[PIXEL_COUNT];
uint8_t gbFrameCounts[PIXEL_COUNT];
float gfTestReadings[SPECTRUM_POINTS];
float gfReferenceReadings[SPECTRUM_POINTS];
float gfDiodeTestReadings[256];
float gfDiodeReferenceReadings[256];
uint8_t gbReferenceOnly;
int32_t gnDiodeArrayOffset;
uint8_t gbDiagOffsetMode;
const int32_t gnWavelengthPixel[SPECTRUM_POINTS] = {};
DuffPixel gDuffPixels[2] = {{-1, 0, 0}, {-1, 0, 0}};
double gfLRValue[3];

int TakeReading(uint8_t) { return 0; }
void ResetReadingCorrections() {}
void ResetAcquisition() {}
double RawPixelSignal(int) { return 0; }
double LinearPixelSignal(int) { return 0; }
double RawPixelValue(int) { return 0; }
double PixelValue(int) { return 0; }
double PixelValue3(int) { return 0; }
int32_t WavelengthToPixel(int32_t) { return 0; }
double Absorbance(int32_t, uint8_t* pbOutOfRange)
{
    if (pbOutOfRange)
        *pbOutOfRange = 0;
    return 0.0;
}
double Transmittance(int32_t, uint8_t* pbOutOfRange)
{
    if (pbOutOfRange)
        *pbOutOfRange = 0;
    return 100.0;
}
uint8_t TransmittanceByte(int32_t) { return 100; }
double OpticalDensity(int32_t, int32_t) { return 61111.0; }

uint16_t gunDiagResult;
uint8_t gbAutoClock = 1;
DiagRow gDiagPeak, gDiagUv, gDiagIr;
double gfDiagLedValue;
int32_t gnDiagLedFrames, gnDiagLedPixel, gnDiagOffset;
uint32_t gunDiagPixelClock = PIXEL_CLOCK_NOT_SET;
bool RunSelfDiagnostics(uint16_t* punResult)
{
    *punResult = 0;
    return true;
}
void SendSelfTestSummary() {}
void SendDiagTable() {}
int32_t FindLedPeak() { return 575; }

bool WaitForSample() { return true; }
bool CalibrateHolmium() { return true; }
bool CalibrateLed() { return true; }
bool CalibrateStrayLight() { return true; }
int32_t HolmiumBandOffset() { return 0; }
bool CheckLedPeakWidth(double) { return true; }
