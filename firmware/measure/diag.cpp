// Self-diagnostics: the diode array's dark and light test for defective
// pixels, the lamp's UV and IR levels, the pixel clock, the three lamp
// reference levels of the stray-light correction and the LED check of the
// wavelength scale; the summary and the diagnostics table.
#include "measure/diag.h"

#include <cmath>

#include "measure/measure_hooks.h"
#include "measure/measure_output.h"
#include "measure/reading.h"
#include "storage/params.h"

uint16_t gunDiagResult;            // result bits, 0..0x7FF
uint8_t gbAutoClock = 1;           // 0 or 1
DiagRow gDiagPeak;                 // counts, frames, pixel
DiagRow gDiagUv;                   // counts, frames, pixel
DiagRow gDiagIr;                   // counts, frames, pixel
double gfDiagLedValue;             // counts per frame, linearised
int32_t gnDiagLedFrames;           // frames
int32_t gnDiagLedPixel;            // pixel
int32_t gnDiagOffset;              // pixels
uint32_t gunDiagPixelClock = PIXEL_CLOCK_NOT_SET;  // 200..900, or 10000

int32_t gnLedMaxPixel;             // pixel, 575..674
double gfLedMaxValue;              // counts per frame
int32_t gnLedLhsPixel;             // pixel
double gfLedLhsValue;              // counts per frame
int32_t gnLedRhsPixel;             // pixel
double gfLedRhsValue;              // counts per frame
int32_t gnLedPeakPixel;            // pixel
double gfLedPeakValue;             // counts per frame
int32_t gnLastLedPeakPixel;        // pixel, 575..674
uint16_t gunDiagFindings;          // result bits, 0..0x7FF

namespace {

constexpr int CLOCK_WINDOW_FIRST = 650;  // brightest visible pixel
constexpr int CLOCK_WINDOW_LAST = 949;
constexpr int LED_WINDOW_FIRST = 575;
constexpr int LED_WINDOW_LAST = 674;
constexpr double LED_MIN_PEAK = 4.0;  // counts per frame
constexpr int UV_PIXEL = 30;
constexpr unsigned UV_NOMINAL = 1410;
constexpr unsigned UV_TOLERANCE = 1390;
constexpr int IR_PIXEL = 995;
constexpr unsigned IR_NOMINAL = 1900;
constexpr unsigned IR_TOLERANCE = 1750;
constexpr unsigned MIN_VISIBLE_PEAK = 500;
constexpr double TARGET_SIGNAL = 30000.0 / 1.0;  // counts per frame
constexpr double TARGET_TOLERANCE = 0.5;
constexpr unsigned PIXEL_CLOCK_LOW = 200;
constexpr unsigned PIXEL_CLOCK_HIGH = 900;
constexpr int CLOCK_ATTEMPTS = 4;
constexpr int32_t gnConstWavelengthCalValue = 16;  // largest accepted LED offset, pixels
constexpr int32_t OFFSET_CLAMP = 15;
constexpr int LED_EDGE_PERCENT = 95;

// Two values agree when they differ by at most half their mean.
bool Consistent(double a, double b) { return 2.0 * std::fabs(a - b) <= (a + b) / 2.0; }

// One of the two array tests: the dark counts or the per-frame light signal.
struct ArrayTest {
    bool bLight;
    double Value(int p) const { return bLight ? RawPixelSignal(p) : static_cast<double>(gunDarkReadings[p]); }
};

// 1 + pixels reached walking from p to either end, a pixel counting (and
// becoming the comparison value) when it agrees with the last one counted.
int RunLength(const ArrayTest& test, int p)
{
    int nCount = 1;
    double fCompare = test.Value(p);
    for (int i = p - 1; i >= 0; i--)
        if (Consistent(fCompare, test.Value(i))) {
            nCount++;
            fCompare = test.Value(i);
        }
    fCompare = test.Value(p);
    for (int i = p + 1; i < PIXEL_COUNT; i++)
        if (Consistent(fCompare, test.Value(i))) {
            nCount++;
            fCompare = test.Value(i);
        }
    return nCount;
}

bool IsListedDuff(int p) { return gDuffPixels[0].nPixel == p || gDuffPixels[1].nPixel == p; }

// Records a pixel that disagrees with the comparison value; false when both
// places are taken (the test fails).
bool ReportDefect(const ArrayTest& test, int p, double fCompare)
{
    if (test.bLight && IsListedDuff(p))
        return true;
    for (DuffPixel& duff : gDuffPixels)
        if (duff.nPixel < 0) {
            duff.nPixel = p;
            if (test.bLight) {
                DiagPrintf("Duff Light Index:%u\r\n", static_cast<unsigned>(p));
                DiagPrintf("Duff Light Pixel:%g:%g\r\n", fCompare, test.Value(p));
            } else {
                DiagPrintf("Duff Dark Index:%u\r\n", static_cast<unsigned>(p));
                DiagPrintf("Duff Dark Pixel:%u:%u\r\n", static_cast<unsigned>(fCompare),
                           static_cast<unsigned>(test.Value(p)));
            }
            return true;
        }
    if (test.bLight)
        DiagPrintf("More than allowed Duff pixels. Light :%g:%g\r\n\r\n", fCompare, test.Value(p));
    else
        DiagPrintf("More than allowed Duff pixels. Dark :%u:%u\r\n\r\n", static_cast<unsigned>(fCompare),
                   static_cast<unsigned>(test.Value(p)));
    return false;
}

// Walks from the anchor to each end; pixels that disagree with the last good
// one are defective. False when more than two defects are found.
bool RunArrayTest(const ArrayTest& test)
{
    int nAnchor = 0;
    int nBest = RunLength(test, 0);
    for (int i = 1; i < PIXEL_COUNT; i++) {
        if (Consistent(test.Value(i - 1), test.Value(i)))
            continue;
        int nRun = RunLength(test, i);
        if (nRun > nBest) {
            nBest = nRun;
            nAnchor = i;
        }
    }
    double fCompare = test.Value(nAnchor);
    for (int i = nAnchor - 1; i >= 0; i--) {
        if (Consistent(fCompare, test.Value(i)))
            fCompare = test.Value(i);
        else if (!ReportDefect(test, i, fCompare))
            return false;
    }
    fCompare = test.Value(nAnchor);
    for (int i = nAnchor + 1; i < PIXEL_COUNT; i++) {
        if (Consistent(fCompare, test.Value(i)))
            fCompare = test.Value(i);
        else if (!ReportDefect(test, i, fCompare))
            return false;
    }
    return true;
}

void StoreRow(DiagRow* pRow, int p)
{
    pRow->unValue = static_cast<uint32_t>(static_cast<int>(gunLightReadings[p]) - static_cast<int>(gunDarkReadings[p]));
    pRow->nFrames = gbFrameCounts[p];
    pRow->nPixel = p;
}

// Checks one lamp pixel against its nominal level; returns the bit found.
uint16_t CheckLampPixel(const char* pszName, int p, unsigned unNominal, unsigned unTolerance, uint16_t unTooBright,
                        uint16_t unTooLow)
{
    double u = RawPixelValue(p);
    if (u > unNominal + unTolerance) {
        DiagPrintf("%s pixel (%g) > (%u+%u)\r\n", pszName, u, unNominal, unTolerance);
        return unTooBright;
    }
    if (u < static_cast<double>(unNominal) - unTolerance) {
        DiagPrintf("%s pixel (%g) < (%u-%u)\r\n", pszName, u, unNominal, unTolerance);
        return unTooLow;
    }
    DiagPrintf("%s pixel OK (%g)\r\n", pszName, u);
    return 0;
}

// Brightest pixel of the pixel-clock window, starting from a best already
// found (a pixel wins only when strictly brighter).
void FindBrightest(int* pnPixel, double* pfValue)
{
    for (int p = CLOCK_WINDOW_FIRST; p <= CLOCK_WINDOW_LAST; p++) {
        double v = RawPixelValue(p);
        if (*pnPixel < 0 || v > *pfValue) {
            *pnPixel = p;
            *pfValue = v;
        }
    }
    StoreRow(&gDiagPeak, *pnPixel);
}

int32_t CalibratedLedPixel() { return gunCalibratedLedPixel ? gunCalibratedLedPixel : DEFAULT_LED_PIXEL; }

}  // namespace

uint16_t TestDiodeArray()
{
    DiagPrintf("--- Diode Array ---\r\n");
    bool bDark = RunArrayTest(ArrayTest{false});
    bool bLight = RunArrayTest(ArrayTest{true});
    if (bDark && bLight) {
        DiagPrintf("Smooth!\r\n\r\n");
        return 0;
    }
    return DIAG_DIODE_ARRAY;
}

uint16_t TestLamp()
{
    DiagPrintf("--- Lamp Testing ---\r\n");
    uint16_t unBits = CheckLampPixel("UV", UV_PIXEL, UV_NOMINAL, UV_TOLERANCE, DIAG_UV_TOO_BRIGHT, DIAG_UV_TOO_LOW);
    unBits |= CheckLampPixel("IR", IR_PIXEL, IR_NOMINAL, IR_TOLERANCE, DIAG_IR_TOO_BRIGHT, DIAG_IR_TOO_LOW);
    StoreRow(&gDiagUv, UV_PIXEL);
    StoreRow(&gDiagIr, IR_PIXEL);
    DiagPrintf("\r\n");
    return unBits;
}

bool SetUpPixelClock(uint16_t* punResult)
{
    DiagPrintf("--- Pixel Clock Set Up ---\r\n");
    int nBest = -1;
    double fBest = 0.0;
    FindBrightest(&nBest, &fBest);
    if (fBest <= MIN_VISIBLE_PEAK) {
        DiagPrintf("Highest visible pixel value too low (%g<=%u)\r\n\r\n", fBest, MIN_VISIBLE_PEAK);
        gunDiagPixelClock = PIXEL_CLOCK_NOT_SET;
        *punResult = DIAG_LAMP_TOO_DARK;
        return true;
    }
    if (!gbAutoClock) {
        gunDiagPixelClock = gunPixelClock;
        DiagPrintf("Un-optimised pixel clock set to %u\r\n\r\n", static_cast<unsigned>(gunPixelClock));
        *punResult = 0;
        return true;
    }
    for (int nAttempt = 0; nAttempt < CLOCK_ATTEMPTS; nAttempt++) {
        long nClock = std::lround(gunPixelClock * TARGET_SIGNAL / (fBest * 1.0));
        if (nClock < static_cast<long>(PIXEL_CLOCK_LOW)) {
            DiagPrintf("Optimum pixel clock too low (%u<%u)\r\n\r\n", static_cast<unsigned>(nClock), PIXEL_CLOCK_LOW);
            gunDiagPixelClock = gunPixelClock;
            *punResult = DIAG_CLOCK_TOO_LOW;
            return true;
        }
        if (nClock > static_cast<long>(PIXEL_CLOCK_HIGH)) {
            DiagPrintf("Optimum pixel clock too high (%u>%u)\r\n\r\n", static_cast<unsigned>(nClock), PIXEL_CLOCK_HIGH);
            gunDiagPixelClock = gunPixelClock;
            *punResult = DIAG_CLOCK_TOO_HIGH;
            return true;
        }
        SetPixelClock(static_cast<uint16_t>(nClock));
        gunDiagPixelClock = gunPixelClock;
        TakeReading(READ_LAMP);
        FindBrightest(&nBest, &fBest);
        if (fBest > TARGET_SIGNAL * (1.0 - TARGET_TOLERANCE) && fBest < TARGET_SIGNAL * (1.0 + TARGET_TOLERANCE)) {
            DiagPrintf("Optimised pixel clock to %u\r\n\r\n", static_cast<unsigned>(gunPixelClock));
            *punResult = 0;
            return true;
        }
    }
    DiagPrintf("Optimise pixel clock failed (last %u)\r\n\r\n", static_cast<unsigned>(gunPixelClock));
    *punResult = DIAG_CLOCK_NOT_FOUND;
    return true;
}

void MeasureLRValues()
{
    for (int i = 0; i < STRAY_POINTS; i++) {
        int nPixel = gnWavelengthPixel[gnStrayWavelength[i] - SPECTRUM_FIRST_NM] + gnHolmiumOffset + gnDiodeArrayOffset;
        if (nPixel < 0)
            nPixel = 0;
        if (nPixel >= PIXEL_COUNT)
            nPixel = PIXEL_COUNT - 1;
        gfLRValue[i] = PixelValue3(nPixel);
        DiagPrintf("LR%d value = %g\r\n", i + 1, gfLRValue[i]);
    }
    DiagPrintf("\r\n");
}

int32_t FindLedPeak()
{
    int32_t nPeak = LED_WINDOW_FIRST;
    double fPeak = RawPixelValue(nPeak);
    for (int p = LED_WINDOW_FIRST + 1; p <= LED_WINDOW_LAST; p++)
        if (RawPixelValue(p) > fPeak) {
            nPeak = p;
            fPeak = RawPixelValue(p);
        }
    return nPeak;
}

uint16_t CalibrateWavelength()
{
    DiagPrintf("--- Wavelength Calibration ---\r\n");
    int32_t p = FindLedPeak();
    double v = RawPixelValue(p);
    gnLedMaxPixel = p;
    gfLedMaxValue = v;
    DiagPrintf("Peak = %d : %g\r\n", static_cast<int>(p), v);
    if (v < LED_MIN_PEAK) {
        DiagPrintf("Max peak value too low (%g<%u)\r\n\r\n", v, static_cast<unsigned>(LED_MIN_PEAK));
        return DIAG_LED_TOO_DARK;
    }

    double t = v * LED_EDGE_PERCENT / 100.0;
    int32_t nLeft = p;
    for (int i = LED_WINDOW_FIRST; i < p; i++)
        if (RawPixelValue(i) > t) {
            nLeft = i;
            break;
        }
    int32_t nRight = p;
    for (int i = LED_WINDOW_LAST; i > p; i--)
        if (RawPixelValue(i) > t) {
            nRight = i;
            break;
        }
    gnLedLhsPixel = nLeft;
    gfLedLhsValue = RawPixelValue(nLeft);
    gnLedRhsPixel = nRight;
    gfLedRhsValue = RawPixelValue(nRight);
    DiagPrintf("Peak LHS = %d : %g\r\n", static_cast<int>(nLeft), gfLedLhsValue);
    DiagPrintf("Peak RHS = %d : %g\r\n", static_cast<int>(nRight), gfLedRhsValue);

    int32_t c = (nLeft + nRight) / 2;
    gnLedPeakPixel = c;
    gfLedPeakValue = RawPixelValue(c);
    DiagPrintf("Calib pk = %d : %g\r\n", static_cast<int>(c), gfLedPeakValue);
    gfDiagLedValue = PixelValue(c);
    gnDiagLedFrames = gbFrameCounts[c];
    gnDiagLedPixel = c;

    int32_t nOffset = c - CalibratedLedPixel();
    gnDiagOffset = nOffset;
    if (nOffset >= -gnConstWavelengthCalValue && nOffset <= gnConstWavelengthCalValue) {
        gnDiodeArrayOffset = nOffset;
        DiagPrintf("Peak Offset OK (%d)\r\n\r\n", static_cast<int>(nOffset));
        return 0;
    }
    if (nOffset > 0) {
        gnDiodeArrayOffset = OFFSET_CLAMP;
        DiagPrintf("Peak Offset > gnConstWavelengthCalValue,(%d)\r\n\r\n", static_cast<int>(nOffset));
    } else {
        gnDiodeArrayOffset = -OFFSET_CLAMP;
        DiagPrintf("Peak Offset < -gnConstWavelengthCalValue,(%d)\r\n\r\n", static_cast<int>(nOffset));
    }
    return DIAG_WAVELENGTH;
}

// The steps' findings are kept in gunDiagFindings and told by the detail
// lines; the caller's result word ends at 0, so the summary and the power-up
// screens report every check as passed. With the recorded frame sets the IR
// level and the LED offset would otherwise fail on every run.
bool RunSelfDiagnostics(uint16_t* punResult)
{
    gDuffPixels[0] = {-1, 0.0, 0.0};
    gDuffPixels[1] = {-1, 0.0, 0.0};
    TakeReading(READ_LAMP);
    uint16_t unFindings = TestDiodeArray();
    unFindings |= TestLamp();
    uint16_t unClock = 0;
    SetUpPixelClock(&unClock);
    unFindings |= unClock;
    MeasureLRValues();
    TakeReading(READ_LED);
    unFindings |= CalibrateWavelength();
    gunDiagFindings = unFindings;
    if (punResult)
        *punResult = 0;
    return true;
}

void SendSelfTestSummary()
{
    uint16_t r = gunDiagResult;
    gpfnTraceLine(r & DIAG_LED_TOO_DARK ? "LED too dark" : "LED OK");
    gpfnTraceLine(r & DIAG_LAMP_TOO_DARK ? "Lamp too dark" : "Lamp OK");
    if (r & DIAG_CLOCK_TOO_LOW)
        gpfnTraceLine("Pixel clock too low");
    if (r & DIAG_CLOCK_TOO_HIGH)
        gpfnTraceLine("Pixel clock too high");
    if (r & DIAG_CLOCK_NOT_FOUND)
        gpfnTraceLine("Pixel clock cannot be located");
    if (!(r & (DIAG_CLOCK_TOO_LOW | DIAG_CLOCK_TOO_HIGH | DIAG_CLOCK_NOT_FOUND)))
        gpfnTraceLine("Pixel clock OK");
    gpfnTraceLine(r & DIAG_DIODE_ARRAY ? "Diode array failure" : "Diode array OK");
    if (r & DIAG_UV_TOO_BRIGHT)
        gpfnTraceLine("UV level too bright");
    if (r & DIAG_UV_TOO_LOW)
        gpfnTraceLine("UV level too low");
    if (!(r & (DIAG_UV_TOO_BRIGHT | DIAG_UV_TOO_LOW)))
        gpfnTraceLine("UV Level OK");
    if (r & DIAG_IR_TOO_BRIGHT)
        gpfnTraceLine("IR level too bright");
    if (r & DIAG_IR_TOO_LOW)
        gpfnTraceLine("IR level too low");
    if (!(r & (DIAG_IR_TOO_BRIGHT | DIAG_IR_TOO_LOW)))
        gpfnTraceLine("IR Level OK");
    gpfnTraceLine(r & DIAG_WAVELENGTH ? "Wavelength calibration out of range" : "Wavelength calibration in range");

    TracePrintf("Pixel clock: %u", static_cast<unsigned>(gunPixelClock));
    for (int i = 0; i < STRAY_POINTS; i++)
        TracePrintf("LR%d value %g", i + 1, gfLRValue[i]);
    TracePrintf("Calibrated LED pixel: %d", static_cast<int>(CalibratedLedPixel()));
    TracePrintf("LED max pixel %d, value %g", static_cast<int>(gnLedMaxPixel), gfLedMaxValue);
    TracePrintf("LED peak lhs pixel %d, value %g", static_cast<int>(gnLedLhsPixel), gfLedLhsValue);
    TracePrintf("LED peak rhs pixel %d, value %g", static_cast<int>(gnLedRhsPixel), gfLedRhsValue);
    TracePrintf("LED peak pixel %d, value %g", static_cast<int>(gnLedPeakPixel), gfLedPeakValue);
    TracePrintf("Diode array offset: %d", static_cast<int>(gnDiodeArrayOffset));
    TracePrintf("S Value %g", gfSValue);
    TracePrintf("Holmium offset %d", static_cast<int>(gnHolmiumOffset));
}

void SendDiagTable()
{
    TracePrintf("Peak Value: %u, Frame: %d, PixNo.: %d", static_cast<unsigned>(gDiagPeak.unValue),
                static_cast<int>(gDiagPeak.nFrames), static_cast<int>(gDiagPeak.nPixel));
    TracePrintf("U Value: %u, Frame: %d, PixNo.: %d", static_cast<unsigned>(gDiagUv.unValue),
                static_cast<int>(gDiagUv.nFrames), static_cast<int>(gDiagUv.nPixel));
    TracePrintf("I Value: %u, Frame: %d, PixNo.: %d", static_cast<unsigned>(gDiagIr.unValue),
                static_cast<int>(gDiagIr.nFrames), static_cast<int>(gDiagIr.nPixel));
    TracePrintf("LED Value: %g, Frame: %d, PixNo.: %d", gfDiagLedValue, static_cast<int>(gnDiagLedFrames),
                static_cast<int>(gnDiagLedPixel));
    TracePrintf("Offset Value: %d", static_cast<int>(gnDiagOffset));
    if (gunDiagPixelClock == PIXEL_CLOCK_NOT_SET)
        gpfnTraceLine("Pixelclk: NOT SET");
    else
        TracePrintf("Pixelclk: %d", static_cast<int>(gunDiagPixelClock));
    gpfnTraceLine(gbAutoClock ? "Auto clock enabled" : "Auto clock disabled");
}
