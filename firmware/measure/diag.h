// Self-diagnostics: diode array, lamp levels, pixel clock, lamp reference
// levels and the LED check of the wavelength scale.
#pragma once

#include <cstdint>

// Bits of the diagnostic result word.
constexpr uint16_t DIAG_LED_TOO_DARK = 0x001;
constexpr uint16_t DIAG_LAMP_TOO_DARK = 0x002;
constexpr uint16_t DIAG_CLOCK_TOO_LOW = 0x004;
constexpr uint16_t DIAG_CLOCK_TOO_HIGH = 0x008;
constexpr uint16_t DIAG_CLOCK_NOT_FOUND = 0x010;
constexpr uint16_t DIAG_DIODE_ARRAY = 0x020;
constexpr uint16_t DIAG_UV_TOO_BRIGHT = 0x040;
constexpr uint16_t DIAG_UV_TOO_LOW = 0x080;
constexpr uint16_t DIAG_IR_TOO_BRIGHT = 0x100;
constexpr uint16_t DIAG_IR_TOO_LOW = 0x200;
constexpr uint16_t DIAG_WAVELENGTH = 0x400;

constexpr uint32_t PIXEL_CLOCK_NOT_SET = 10000;

// One row of the diagnostics table.
struct DiagRow {
    uint32_t unValue;  // light - dark
    int32_t nFrames;   // frame count
    int32_t nPixel;    // pixel number
};

extern uint16_t gunDiagResult;   // the diagnostic result word shown and reported
extern uint8_t gbAutoClock;      // automatic pixel-clock setting, on after start-up
extern DiagRow gDiagPeak;        // brightest visible pixel
extern DiagRow gDiagUv;          // pixel 30
extern DiagRow gDiagIr;          // pixel 995
extern double gfDiagLedValue;    // LED peak centre, linearised
extern int32_t gnDiagLedFrames;
extern int32_t gnDiagLedPixel;
extern int32_t gnDiagOffset;        // LED peak offset, or the holmium band offset
extern uint32_t gunDiagPixelClock;  // pixel clock in use, PIXEL_CLOCK_NOT_SET when not set

// The LED peak as the wavelength step last found it.
extern int32_t gnLedMaxPixel;   // brightest pixel of the LED window
extern double gfLedMaxValue;    // its raw value, counts per frame
extern int32_t gnLedLhsPixel;   // left edge at 95 % of the peak
extern double gfLedLhsValue;
extern int32_t gnLedRhsPixel;   // right edge at 95 % of the peak
extern double gfLedRhsValue;
extern int32_t gnLedPeakPixel;  // centre between the edges
extern double gfLedPeakValue;
// LED peak pixel of the last LED reading.
extern int32_t gnLastLedPeakPixel;
// Result bits the last run's steps found. They are reported in the detail
// lines but not handed to the caller's result word (see RunSelfDiagnostics).
extern uint16_t gunDiagFindings;

constexpr int32_t DEFAULT_LED_PIXEL = 609;

// Runs every step; the result word is set to 0 at the end. Always true.
bool RunSelfDiagnostics(uint16_t* punResult);
void SendSelfTestSummary();
void SendDiagTable();
int32_t FindLedPeak();

// The steps, in the order a run takes them; each returns its result bits.
uint16_t TestDiodeArray();
uint16_t TestLamp();
bool SetUpPixelClock(uint16_t* punResult);
void MeasureLRValues();
uint16_t CalibrateWavelength();
