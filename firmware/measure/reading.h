// Light readings: the diode array's recorded frame sets, the acquisition
// timing, the corrections, the 501-point spectra (index = nm - 330) and the
// photometric quantities.
#pragma once

#include <cstdint>

// Reading kinds, the argument of TakeReading.
constexpr uint8_t READ_SAMPLE = 0;
constexpr uint8_t READ_REFERENCE = 1;
constexpr uint8_t READ_LAMP = 2;
constexpr uint8_t READ_LED = 3;
constexpr uint8_t READ_DIODE_TEST = 4;
constexpr uint8_t READ_DIODE_REFERENCE = 5;
constexpr uint8_t READ_STRAY_TEST = 6;
constexpr uint8_t READ_STRAY_REFERENCE = 7;

constexpr int PIXEL_COUNT = 1024;
constexpr int SPECTRUM_POINTS = 501;
constexpr int SPECTRUM_FIRST_NM = 330;
constexpr int SPECTRUM_LAST_NM = 830;
constexpr double NO_VALUE = 61111.0;  // a displayed or reported result above 61110 means "no value"

extern uint16_t gunLightReadings[PIXEL_COUNT];  // light counts of the last reading
extern uint16_t gunDarkReadings[PIXEL_COUNT];   // dark counts of the last reading
extern uint8_t gbFrameCounts[PIXEL_COUNT];      // frames summed per pixel, 1..60
extern float gfTestReadings[SPECTRUM_POINTS];       // test (sample) spectrum
extern float gfReferenceReadings[SPECTRUM_POINTS];  // reference spectrum
extern float gfDiodeTestReadings[256];       // pixels 380..560 of the last holmium reading
extern float gfDiodeReferenceReadings[256];  // pixels 380..560 of the last diode reference
extern uint8_t gbReferenceOnly;     // 1 after a reference reading: queries report the blank
extern int32_t gnDiodeArrayOffset;  // wavelength-scale offset from the LED, pixels (-15..15)
extern uint8_t gbDiagOffsetMode;    // 1 while the diagnostics screens are shown
extern const int32_t gnWavelengthPixel[SPECTRUM_POINTS];  // nominal pixel of each nm

struct DuffPixel {
    int32_t nPixel;     // -1 = empty
    double fRawValue;   // replacement raw signal
    double fLinValue;   // replacement linearised signal
};
extern DuffPixel gDuffPixels[2];
extern double gfLRValue[3];  // lamp reference levels at 408, 510, 691 nm; 0 until measured

// The diode window: pixels whose values kinds 4 and 5 keep (index = pixel - first).
constexpr int32_t gnDiodeWindowFirst = 380;
constexpr int32_t gnDiodeWindowLast = 560;
constexpr int DIODE_WINDOW_POINTS = gnDiodeWindowLast - gnDiodeWindowFirst + 1;  // 181

// Stray-light correction: the three lamp reference wavelengths and their
// weights in tenths.
constexpr int STRAY_POINTS = 3;
extern const int32_t gnStrayWavelength[STRAY_POINTS];  // 408, 510, 691 nm
extern const int32_t gnStrayWeight[STRAY_POINTS];      // 0, 10, 20 tenths

// Detector linearity: signal * ((a2 x + a1) x + a0), x = summed counts / scale.
extern double gfLinScale;  // 32768.0 counts
extern double gfLinA0;     // 1.0
extern double gfLinA1;     // -0.043
extern double gfLinA2;     // 0.01

// Acquisition sequencer.
extern int32_t gnAcqState;      // 0 idle, 1..6 the phases of a reading
extern uint32_t gunAcqElapsed;  // ms spent in the current phase
extern uint32_t gnAcqStatus;    // detector status word: 0 reset, 1 single frame, 10 multi-frame, 19 complete
extern uint8_t gabDetectorLine[128];  // the detector's line buffer, cleared before each exposure

// Takes a reading of the given kind; returns 0.
int TakeReading(uint8_t bKind);
// One step of the acquisition sequencer; true once the reading's time is up.
bool AcquisitionStep();
// Everything a reading does after the acquisition: copies the kind's frame
// set and corrects, stores and dumps it (no waiting; for tools and tests).
void CompleteReading(uint8_t bKind);
// Recomputes the replacement values of the listed defective pixels.
void UpdateDuffPixels();
// The stray-light term subtracted from every spectrum point (0 until the
// three lamp reference levels are measured).
double StrayLightTerm();
// Spectrum point k (330 + k nm) of the current pixel buffers, before the
// stray-light term.
double SpectrumPoint(int nIndex);
void ResetReadingCorrections();
void ResetAcquisition();

double RawPixelSignal(int nPixel);
double LinearPixelSignal(int nPixel);
double RawPixelValue(int nPixel);
double PixelValue(int nPixel);
double PixelValue3(int nPixel);
int32_t WavelengthToPixel(int32_t nNm);

// Photometric queries at a wavelength of 330..830 nm; the optional flag
// receives 1 when the value was clipped.
double Absorbance(int32_t nNm, uint8_t* pbOutOfRange = nullptr);
double Transmittance(int32_t nNm, uint8_t* pbOutOfRange = nullptr);
uint8_t TransmittanceByte(int32_t nNm);
double OpticalDensity(int32_t nNm1, int32_t nNm2);
