// Factory calibration with reference filters: the holmium wavelength offset,
// the LED's peak pixel on the nominal scale, and the stray-light level (S
// value). Progress and results go out as trace lines of the remote command
// that runs them.
#include "measure/calib.h"

#include "core/bridge.h"
#include "core/runtime.h"
#include "core/timers.h"
#include "measure/diag.h"
#include "measure/measure_hooks.h"
#include "measure/measure_output.h"
#include "measure/reading.h"
#include "storage/params.h"

namespace {

// A holmium oxide band, its search window and its nominal pixel's wavelength.
struct HolmiumBand {
    const char* pszName;  // as the trace lines show it
    double fNm;           // band wavelength
    int32_t nFirstNm;     // search window
    int32_t nLastNm;
    int32_t nNominalNm;   // the whole nanometre above the band
};
const HolmiumBand gHolmiumBands[] = {
    {"360.9", 360.9, 350, 370, 361},
    {"418.7", 418.7, 408, 428, 419},
    {"536.4", 536.4, 526, 546, 537},
};
constexpr int HOLMIUM_BAND_COUNT = sizeof(gHolmiumBands) / sizeof(gHolmiumBands[0]);

constexpr int32_t HOLMIUM_OFFSET_LIMIT = 8;   // pixels
constexpr int32_t BAND_NOMINAL_DIODE_PIXEL = 436;  // the 536.4 nm band in the diode window
constexpr int LED_WINDOW_FIRST = 575;
constexpr int LED_WINDOW_LAST = 674;
constexpr double LED_LOWEST_GOOD_PEAK = 200.0;  // counts per frame
constexpr int LED_PEAK_PERCENT = 95;
constexpr int LED_WIDEST_PEAK = 9;  // pixels
constexpr int32_t STRAY_NM = 330;
constexpr double S_VALUE_LOW = 0.0;
constexpr double S_VALUE_HIGH = 15.0;

int32_t TablePixel(int32_t nNm) { return gnWavelengthPixel[nNm - SPECTRUM_FIRST_NM]; }

// Wavelength of the window whose test / reference ratio is smallest.
int32_t FindBand(const HolmiumBand& band)
{
    double fLowest = 100.0;
    int32_t nFound = band.nFirstNm;
    for (int32_t nm = band.nFirstNm; nm <= band.nLastNm; nm++) {
        float fReference = gfReferenceReadings[nm - SPECTRUM_FIRST_NM];
        if (fReference == 0.0f)
            continue;
        double fRatio = gfTestReadings[nm - SPECTRUM_FIRST_NM] / static_cast<double>(fReference);
        if (fRatio < fLowest) {
            fLowest = fRatio;
            nFound = nm;
        }
    }
    return nFound;
}

void AnnounceStep(uint8_t bStep) { gpfnCalibrationStep(bStep); }

void NoCalibrationStep(uint8_t) {}

// The key that answers or abandons the wait for a sample, and its outcome.
bool gbSampleGiven = false;
bool SampleKeyTaken()
{
    uint8_t bKey = GetKey();
    if (bKey == KEY_TEST || (gbKeypadCalibration && bKey == KEY_SOFT4)) {
        gbSampleWaitKey = bKey;
        gbSampleGiven = true;
        return true;
    }
    if (bKey == KEY_STANDBY || (gbKeypadCalibration && bKey == KEY_ESCAPE)) {
        gbSampleWaitKey = bKey;
        return true;
    }
    return false;
}

// Reference with the filter out, the operator's TEST key, then the test
// reading with the filter in; false when abandoned by the standby key.
bool ReadReferenceAndSample(uint8_t bReference, uint8_t bTest)
{
    AnnounceStep(CALIB_STEP_REFERENCE);
    TakeReading(bReference);
    AnnounceStep(CALIB_STEP_WAITING);
    if (!WaitForSample())
        return false;
    AnnounceStep(CALIB_STEP_SAMPLE);
    TakeReading(bTest);
    return true;
}

}  // namespace

void (*gpfnCalibrationStep)(uint8_t bStep) = NoCalibrationStep;
uint8_t gbKeypadCalibration = 0;
uint8_t gbSampleWaitKey = 0;
uint8_t gbLedCheck = LED_GOOD;
double gfStrayMeasured = 0.0;

bool WaitForSample()
{
    gpfnTraceLine("Waiting for sample");
    gpfnSampleWaitNotice(1, 0);
    gbSampleWaitKey = 0;
    gbSampleGiven = false;
    while (WaitRound(WAIT_TIMERS | WAIT_KEYS, SampleKeyTaken)) {
    }
    bool bTest = gbSampleGiven;
    gpfnSampleWaitNotice(0, bTest ? 1 : 0);
    return bTest;
}

bool CalibrateHolmium()
{
    // The readings are taken on the nominal scale; an abandoned calibration
    // puts the offset in use back, so that later readings keep their scale.
    int32_t nOffsetInUse = gnHolmiumOffset;
    gnHolmiumOffset = 0;
    if (!ReadReferenceAndSample(READ_DIODE_REFERENCE, READ_DIODE_TEST)) {
        gnHolmiumOffset = nOffsetInUse;
        return false;
    }

    int32_t anOffsets[HOLMIUM_BAND_COUNT];
    for (int i = 0; i < HOLMIUM_BAND_COUNT; i++) {
        const HolmiumBand& band = gHolmiumBands[i];
        int32_t nFound = FindBand(band);
        int32_t nPixel = TablePixel(nFound);
        anOffsets[i] = TablePixel(band.nNominalNm) - nPixel;
        TracePrintf("Peak Wavelength(%s) = %d", band.pszName, static_cast<int>(nFound));
        TracePrintf("Wavelength offset(%s) = %f", band.pszName, band.fNm - nFound);
        gpfnTraceLine("");
        TracePrintf("Peak Pixel(%s) = %d", band.pszName, static_cast<int>(nPixel));
        TracePrintf("Pixel Offset(%s) = %d", band.pszName, static_cast<int>(anOffsets[i]));
        gpfnTraceLine("");
    }
    TracePrintf("Mean Pixel Offset = %d",
                static_cast<int>((anOffsets[0] + anOffsets[1] + anOffsets[2]) / HOLMIUM_BAND_COUNT));
    gnHolmiumOffset = HolmiumOffsetFromBands(anOffsets);
    SaveHolmiumOffset();
    TracePrintf("Stored Offset = %d", static_cast<int>(gnHolmiumOffset));
    return true;
}

int32_t HolmiumOffsetFromBands(const int32_t anPixelOffsets[3])
{
    int32_t nMean = (anPixelOffsets[0] + anPixelOffsets[1] + anPixelOffsets[2]) / HOLMIUM_BAND_COUNT;
    if (nMean > HOLMIUM_OFFSET_LIMIT)
        nMean = HOLMIUM_OFFSET_LIMIT;
    if (nMean < -HOLMIUM_OFFSET_LIMIT)
        nMean = -HOLMIUM_OFFSET_LIMIT;
    return -nMean;
}

double LimitSValue(double fMeasured)
{
    if (fMeasured > S_VALUE_HIGH)
        return S_VALUE_HIGH;
    if (fMeasured < S_VALUE_LOW)
        return S_VALUE_LOW;
    return fMeasured;
}

int32_t HolmiumBandOffset()
{
    int nLowest = 0;
    double fLowest = 0.0;
    bool bFound = false;
    for (int i = 0; i < DIODE_WINDOW_POINTS; i++) {
        if (gfDiodeReferenceReadings[i] == 0.0f)
            continue;
        double fRatio = gfDiodeTestReadings[i] / static_cast<double>(gfDiodeReferenceReadings[i]);
        if (!bFound || fRatio < fLowest) {
            bFound = true;
            fLowest = fRatio;
            nLowest = i;
        }
    }
    gnDiagOffset = gnDiodeWindowFirst + nLowest - BAND_NOMINAL_DIODE_PIXEL;
    return gnLastLedPeakPixel - gnDiagOffset;
}

bool CheckLedPeakWidth(double fPeakValue)
{
    double fLevel = LED_PEAK_PERCENT * fPeakValue / 100.0;
    int nStart = -1;
    for (int p = LED_WINDOW_FIRST; p <= LED_WINDOW_LAST; p++) {
        bool bAbove = RawPixelValue(p) > fLevel;
        if (nStart < 0 && bAbove)
            nStart = p;
        else if (nStart >= 0 && !bAbove)
            return p - nStart <= LED_WIDEST_PEAK;
    }
    return false;
}

bool CalibrateLed()
{
    AnnounceStep(CALIB_STEP_LED);
    TakeReading(READ_LED);
    int32_t nPeak = FindLedPeak();
    double fPeak = RawPixelValue(nPeak);
    gbLedCheck = fPeak <= LED_LOWEST_GOOD_PEAK ? LED_LOW_LEVEL
               : !CheckLedPeakWidth(fPeak)     ? LED_PEAK_TOO_WIDE
                                               : LED_GOOD;
    static const char* const kapszLedCheck[] = {"Good LED", "Low LED level", "Failed peak width"};
    gpfnTraceLine(kapszLedCheck[gbLedCheck]);

    if (!ReadReferenceAndSample(READ_DIODE_REFERENCE, READ_DIODE_TEST))
        return false;
    int32_t nPixel = HolmiumBandOffset();
    // The stored pixel is unsigned and 0 means "not calibrated": keep it on the array.
    if (nPixel < 1)
        nPixel = 1;
    if (nPixel > PIXEL_COUNT - 1)
        nPixel = PIXEL_COUNT - 1;
    SetCalibratedLedPixel(static_cast<uint16_t>(nPixel));
    TracePrintf("Offset %d", static_cast<int>(gnDiagOffset));
    TracePrintf("LED PixNo. %d", static_cast<int>(gunCalibratedLedPixel));
    return true;
}

bool CalibrateStrayLight()
{
    if (!ReadReferenceAndSample(READ_STRAY_REFERENCE, READ_STRAY_TEST))
        return false;
    int32_t nPixel = TablePixel(STRAY_NM) + gnHolmiumOffset + gnDiodeArrayOffset;
    if (nPixel < 0)
        nPixel = 0;
    if (nPixel > PIXEL_COUNT - 1)
        nPixel = PIXEL_COUNT - 1;
    double m = RawPixelValue(nPixel);
    gfStrayMeasured = m;
    TracePrintf("Measured value: %g", m);
    double s = LimitSValue(m);
    SetSValue(s);
    TracePrintf("Set to %g", gfSValue);
    return true;
}
