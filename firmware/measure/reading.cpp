// Light readings: the acquisition sequencer and its wait loop, the copy of a
// recorded frame set into the pixel buffers, the corrections (linearity,
// defective pixels, stray light, the two pixel offsets of the wavelength
// scale), the 501-point spectra, the readings dump and the photometric
// queries.
//
//   TakeReading -> AcquisitionStep (wait loop, keeps timers and remote alive)
//               -> CompleteReading -> DumpCounts, UpdateDuffPixels,
//                                     StrayLightTerm, SpectrumPoint -> PixelValue
#include "measure/reading.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/serial.h"
#include "core/bridge.h"
#include "core/runtime.h"
#include "core/timers.h"
#include "display/lcd.h"
#include "display/script.h"
#include "measure/diag.h"
#include "measure/frame_sets.h"
#include "measure/measure_hooks.h"
#include "storage/params.h"

uint16_t gunLightReadings[PIXEL_COUNT];              // counts, 0..65535
uint16_t gunDarkReadings[PIXEL_COUNT];               // counts, 0..65535
uint8_t gbFrameCounts[PIXEL_COUNT];                  // frames, 1..60 after a reading
float gfTestReadings[SPECTRUM_POINTS];               // counts per frame, linearised
float gfReferenceReadings[SPECTRUM_POINTS];          // counts per frame, linearised
float gfDiodeTestReadings[256];                      // counts per frame, first 181 used
float gfDiodeReferenceReadings[256];                 // counts per frame, first 181 used
uint8_t gbReferenceOnly;                             // 0 or 1
int32_t gnDiodeArrayOffset;                          // pixels, -15..15
uint8_t gbDiagOffsetMode;                            // 0 or 1
DuffPixel gDuffPixels[2] = {{-1, 0, 0}, {-1, 0, 0}};  // at most two defective pixels
double gfLRValue[STRAY_POINTS];                      // counts per frame, 0 = not measured

const int32_t gnStrayWavelength[STRAY_POINTS] = {408, 510, 691};  // nm
const int32_t gnStrayWeight[STRAY_POINTS] = {0, 10, 20};          // tenths

double gfLinScale = 32768.0;  // counts
double gfLinA0 = 1.0;
double gfLinA1 = -0.043;
double gfLinA2 = 0.01;

int32_t gnAcqState;           // 0..6
uint32_t gunAcqElapsed;       // ms
uint32_t gnAcqStatus;         // 0, 1, 10 (19 never arrives in the simulation)
uint8_t gabDetectorLine[128];  // detector line buffer
FrameRecord gSuppliedFrames[FRAME_SET_PIXELS];  // the frame source's set for the current reading

namespace {

constexpr uint32_t SINGLE_FRAME_SETTLE_MS = 1000;  // phase 2
constexpr uint32_t SINGLE_FRAME_EXPOSURE_MS = 2000;  // phase 3
constexpr uint32_t MULTI_FRAME_SETTLE_MS = 300;    // phase 4
constexpr uint32_t MULTI_FRAME_EXPOSURE_MS = 2000;  // phase 5
constexpr uint32_t STATUS_SINGLE_FRAME = 1;
constexpr uint32_t STATUS_MULTI_FRAME = 10;
constexpr uint32_t STATUS_COMPLETE = 19;

constexpr uint32_t INDICATOR_PERIOD = 10;  // 50 ms steps between indicator phases
constexpr int INDICATOR_SHOWN_PHASES = 5;  // phases with the letter shown, then one blank

// What each reading kind reads and where its spectrum goes.
enum class Store { None, Test, Reference };
struct ReadingKind {
    const FrameRecord* pFrames;
    Store store;
    const char* pszHeading;      // spectrum heading of the dump
    const char* pszIndicator;    // script drawing the indicator letter
    float* pfDiodeWindow;        // diode window filled by the kind, or null
    const char* pszDiodeHeading;
};

const char INDICATOR_T[] = "F0 x5Y119 A1 T129 A0";
const char INDICATOR_R[] = "F0 x5Y119 A1 T138 A0";
const char HEADING_TEST[] = "\r\nTEST READINGS\r\n";
const char HEADING_REFERENCE[] = "\r\nREFERENCE READINGS\r\n";

const ReadingKind gReadingKinds[] = {
    {gSampleFrames, Store::Test, HEADING_TEST, INDICATOR_T, nullptr, nullptr},
    {gReferenceFrames, Store::Reference, HEADING_REFERENCE, INDICATOR_R, nullptr, nullptr},
    {gReferenceFrames, Store::None, "\r\nLAMP READINGS\r\n", INDICATOR_R, nullptr, nullptr},
    {gLedFrames, Store::None, "\r\nLED READINGS\r\n", INDICATOR_R, nullptr, nullptr},
    {gHolmiumFrames, Store::Test, HEADING_TEST, INDICATOR_T, gfDiodeTestReadings, "\r\nDIODE TEST READINGS\r\n"},
    {gReferenceFrames, Store::Reference, HEADING_REFERENCE, INDICATOR_R, gfDiodeReferenceReadings,
     "\r\nDIODE REFERENCE READINGS\r\n"},
    {gStrayFrames, Store::Test, HEADING_TEST, INDICATOR_T, nullptr, nullptr},
    {gReferenceFrames, Store::Reference, HEADING_REFERENCE, INDICATOR_R, nullptr, nullptr},
};
constexpr uint8_t READING_KIND_COUNT = sizeof(gReadingKinds) / sizeof(gReadingKinds[0]);

// Optical-density coefficients as {numerator, denominator}: value =
// (numerator - 30000) / denominator.
struct OdConstant {
    int32_t nNumerator;
    int32_t nDenominator;
};
const OdConstant gOdConstants[6] = {
    {33356, 10000},  // c0
    {33355, 10000},  // c1
    {30000, 1},      // c2
    {30000, 1},      // c3
    {30001, 1},      // lowest ratio
    {30019, 10},     // highest ratio
};

double OdValue(int nIndex)
{
    return static_cast<double>(gOdConstants[nIndex].nNumerator - 30000) / gOdConstants[nIndex].nDenominator;
}

bool InArray(int nPixel) { return nPixel >= 0 && nPixel < PIXEL_COUNT; }

int ClampPixel(int nPixel) { return nPixel < 0 ? 0 : (nPixel >= PIXEL_COUNT ? PIXEL_COUNT - 1 : nPixel); }

int SpectrumIndex(int32_t nNm)
{
    if (nNm < SPECTRUM_FIRST_NM)
        return 0;
    if (nNm > SPECTRUM_LAST_NM)
        return SPECTRUM_POINTS - 1;
    return nNm - SPECTRUM_FIRST_NM;
}

int DuffIndex(int nPixel)
{
    for (int i = 0; i < 2; i++)
        if (gDuffPixels[i].nPixel >= 0 && gDuffPixels[i].nPixel == nPixel)
            return i;
    return -1;
}

void AcqRestart()
{
    gunAcqElapsed = 0;
    AcqClockStart();
}

void SendLine(const char* pszFormat, double fValue)
{
    snprintf(gszLineBuffer, LINE_BUFFER_SIZE, pszFormat, fValue);
    SendLineBuffer();
}

void SendHeading(const char* pszHeading)
{
    snprintf(gszLineBuffer, LINE_BUFFER_SIZE, "%s", pszHeading);
    SendLineBuffer();
}

void DumpCounts()
{
    SendHeading("\r\nLIGHT READINGS\r\n");
    for (int p = 0; p < PIXEL_COUNT; p++) {
        snprintf(gszLineBuffer, LINE_BUFFER_SIZE, "%u\r\n", static_cast<unsigned>(gunLightReadings[p]));
        SendLineBuffer();
    }
    SendHeading("\r\nDARK READINGS\r\n");
    for (int p = 0; p < PIXEL_COUNT; p++) {
        snprintf(gszLineBuffer, LINE_BUFFER_SIZE, "%u\r\n", static_cast<unsigned>(gunDarkReadings[p]));
        SendLineBuffer();
    }
    SendHeading("\r\nFRAME COUNTS\r\n");
    for (int p = 0; p < PIXEL_COUNT; p++) {
        snprintf(gszLineBuffer, LINE_BUFFER_SIZE, "%d\r\n", static_cast<int>(gbFrameCounts[p]));
        SendLineBuffer();
    }
}

// The blinking letter at the status position while a reading waits.
void StepIndicator(const ReadingKind& kind, int* pnPhase)
{
    if (gunProgressTimer == 0) {
        (*pnPhase)++;
        gunProgressTimer = INDICATOR_PERIOD;
        if (*pnPhase < INDICATOR_SHOWN_PHASES)
            DisplayScript(kind.pszIndicator);
        else {
            DisplayScript("F0 X70Y119c20 X70");
            *pnPhase = 0;
        }
    }
    LcdRefresh();
}

}  // namespace

void ResetReadingCorrections()
{
    gfLinScale = 32768.0;
    gfLinA0 = 1.0;
    gfLinA1 = -0.043;
    gfLinA2 = 0.01;
    gnDiodeArrayOffset = 0;
    gnHolmiumOffset = 0;
    gbReferenceOnly = 0;
    for (double& f : gfLRValue)
        f = 0.0;
}

void ResetAcquisition()
{
    gnAcqState = 0;
    gnAcqStatus = 0;
    gunAcqElapsed = 0;
    AcqClockStop();
    AcqClockTake();
}

bool AcquisitionStep()
{
    switch (gnAcqState) {
    case 1:
        AcqRestart();
        gnAcqState = 2;
        return false;
    case 2:
        gunAcqElapsed += AcqClockTake();
        if (gunAcqElapsed >= SINGLE_FRAME_SETTLE_MS) {
            AcqClockStop();
            memset(gabDetectorLine, 0, sizeof(gabDetectorLine));
            gnAcqStatus = STATUS_SINGLE_FRAME;
            AcqRestart();
            gnAcqState = 3;
        }
        return false;
    case 3:
        gunAcqElapsed += AcqClockTake();
        if (gunAcqElapsed >= SINGLE_FRAME_EXPOSURE_MS || gnAcqStatus == STATUS_COMPLETE) {
            if (gnAcqStatus != STATUS_COMPLETE)
                AcqClockStop();
            AcqRestart();
            gnAcqState = 4;
        }
        return false;
    case 4:
        gunAcqElapsed += AcqClockTake();
        if (gunAcqElapsed >= MULTI_FRAME_SETTLE_MS) {
            AcqClockStop();
            gnAcqStatus = STATUS_MULTI_FRAME;
            AcqRestart();
            gnAcqState = 5;
        }
        return false;
    case 5:
        gunAcqElapsed += AcqClockTake();
        if (gunAcqElapsed >= MULTI_FRAME_EXPOSURE_MS || gnAcqStatus == STATUS_COMPLETE) {
            if (gnAcqStatus != STATUS_COMPLETE)
                AcqClockStop();
            gnAcqState = 6;
        }
        return false;
    case 6:
        return true;
    default:
        return false;
    }
}

int TakeReading(uint8_t bKind)
{
    if (bKind >= READING_KIND_COUNT)
        return 0;
    const ReadingKind& kind = gReadingKinds[bKind];

    uint8_t bSavedX = gbCursorX, bSavedY = gbCursorY;
    DisplayScript("F0 X70Y115c20 X70");
    DisplayScript("F0 X70Y120c20 X70");
    LcdMoveTo(70, 119);
    gnAcqState = 1;
    gunProgressTimer = INDICATOR_PERIOD;
    int nPhase = 0;

    bool bDone = AcquisitionStep();
    while (!bDone) {
        StepIndicator(kind, &nPhase);
        if (!WaitRound(WAIT_TIMERS | WAIT_KEYS | WAIT_REMOTE))
            break;
        bDone = AcquisitionStep();
    }
    AcqClockStop();

    DisplayScript("F0 X70Y119c20 ");
    LcdMoveTo(bSavedX, bSavedY);
    CompleteReading(bKind);
    return 0;
}

void CompleteReading(uint8_t bKind)
{
    if (bKind >= READING_KIND_COUNT)
        return;
    const ReadingKind& kind = gReadingKinds[bKind];

    const FrameRecord* pFrames = kind.pFrames;
    if (FirmwareHost()->SupplyFrames(bKind, gSuppliedFrames))
        pFrames = gSuppliedFrames;
    for (int p = 0; p < PIXEL_COUNT; p++) {
        gunLightReadings[p] = pFrames[p].unLight;
        gunDarkReadings[p] = pFrames[p].unDark;
        gbFrameCounts[p] = pFrames[p].bFrames;
    }
    gnAcqState = 0;

    if (gbReadingsDump)
        DumpCounts();
    UpdateDuffPixels();
    if (bKind == READ_LED)
        gnLastLedPeakPixel = FindLedPeak();

    if (kind.store != Store::None || gbReadingsDump) {
        double fStray = kind.store != Store::None ? StrayLightTerm() : 0.0;
        float* pfSpectrum = kind.store == Store::Test        ? gfTestReadings
                            : kind.store == Store::Reference ? gfReferenceReadings
                                                             : nullptr;
        if (gbReadingsDump)
            SendHeading(kind.pszHeading);
        for (int k = 0; k < SPECTRUM_POINTS; k++) {
            float fPoint = static_cast<float>(SpectrumPoint(k) - fStray);
            if (gbReadingsDump)
                SendLine("%g\r\n", fPoint);
            if (pfSpectrum)
                pfSpectrum[k] = fPoint;
        }
    }

    if (kind.pfDiodeWindow) {
        if (gbReadingsDump)
            SendHeading(kind.pszDiodeHeading);
        for (int p = gnDiodeWindowFirst; p <= gnDiodeWindowLast; p++) {
            float fValue = static_cast<float>(PixelValue(p));
            kind.pfDiodeWindow[p - gnDiodeWindowFirst] = fValue;
            if (gbReadingsDump)
                SendLine("%g\r\n", fValue);
        }
    }

    if (kind.store == Store::Reference)
        gbReferenceOnly = 1;
    else if (kind.store == Store::Test)
        gbReferenceOnly = 0;
}

double RawPixelSignal(int nPixel)
{
    if (!InArray(nPixel) || gbFrameCounts[nPixel] == 0)
        return 0.0;
    int nDiff = static_cast<int>(gunLightReadings[nPixel]) - static_cast<int>(gunDarkReadings[nPixel]);
    return static_cast<double>(nDiff) / gbFrameCounts[nPixel];
}

double LinearPixelSignal(int nPixel)
{
    if (!InArray(nPixel) || gbFrameCounts[nPixel] == 0)
        return 0.0;
    double d = static_cast<int>(gunLightReadings[nPixel]) - static_cast<int>(gunDarkReadings[nPixel]);
    double x = d / gfLinScale;
    return ((gfLinA2 * x + gfLinA1) * x + gfLinA0) * d / gbFrameCounts[nPixel];
}

double RawPixelValue(int nPixel)
{
    int i = DuffIndex(nPixel);
    return i >= 0 ? gDuffPixels[i].fRawValue : RawPixelSignal(nPixel);
}

double PixelValue(int nPixel)
{
    int i = DuffIndex(nPixel);
    return i >= 0 ? gDuffPixels[i].fLinValue : LinearPixelSignal(nPixel);
}

double PixelValue3(int nPixel)
{
    double fSum = 0.0;
    int n = 0;
    for (int p = nPixel - 1; p <= nPixel + 1; p++)
        if (InArray(p)) {
            fSum += PixelValue(p);
            n++;
        }
    return n ? fSum / n : 0.0;
}

// A defective pixel takes the value interpolated between its nearest good
// neighbours (for a lone defect, their mean), or its one good neighbour's at
// the ends of the array.
void UpdateDuffPixels()
{
    for (DuffPixel& duff : gDuffPixels) {
        int nPixel = duff.nPixel;
        if (nPixel < 0)
            continue;
        int nLeft = nPixel - 1;
        while (nLeft >= 0 && DuffIndex(nLeft) >= 0)
            nLeft--;
        int nRight = nPixel + 1;
        while (nRight < PIXEL_COUNT && DuffIndex(nRight) >= 0)
            nRight++;
        bool bLeft = nLeft >= 0, bRight = nRight < PIXEL_COUNT;
        if (bLeft && bRight) {
            double t = static_cast<double>(nPixel - nLeft) / (nRight - nLeft);
            duff.fRawValue = RawPixelSignal(nLeft) + t * (RawPixelSignal(nRight) - RawPixelSignal(nLeft));
            duff.fLinValue = LinearPixelSignal(nLeft) + t * (LinearPixelSignal(nRight) - LinearPixelSignal(nLeft));
        } else if (bLeft || bRight) {
            int nNeighbour = bLeft ? nLeft : nRight;
            duff.fRawValue = RawPixelSignal(nNeighbour);
            duff.fLinValue = LinearPixelSignal(nNeighbour);
        } else {
            duff.fRawValue = 0.0;
            duff.fLinValue = 0.0;
        }
    }
}

double StrayLightTerm()
{
    for (double fLevel : gfLRValue)
        if (fLevel == 0.0)
            return 0.0;
    double fSum = 0.0, fWeights = 0.0;
    for (int i = 0; i < STRAY_POINTS; i++) {
        int nPixel = ClampPixel(gnWavelengthPixel[gnStrayWavelength[i] - SPECTRUM_FIRST_NM] + gnHolmiumOffset +
                                gnDiodeArrayOffset);
        double fWeight = gnStrayWeight[i] / 10.0;
        fSum += fWeight * PixelValue3(nPixel) / gfLRValue[i];
        fWeights += fWeight;
    }
    return gfSValue * fSum / fWeights;
}

double SpectrumPoint(int nIndex)
{
    if (nIndex < 0 || nIndex >= SPECTRUM_POINTS)
        return 0.0;
    return PixelValue3(gnWavelengthPixel[nIndex] + gnHolmiumOffset + gnDiodeArrayOffset);
}

int32_t WavelengthToPixel(int32_t nNm)
{
    int32_t nPixel = gnWavelengthPixel[SpectrumIndex(nNm)];
    if (gbDiagOffsetMode == 1)
        nPixel += gnDiodeArrayOffset;
    return ClampPixel(nPixel);
}

double Absorbance(int32_t nNm, uint8_t* pbOutOfRange)
{
    uint8_t bClipped = 0;
    double fResult;
    int k = SpectrumIndex(nNm);
    double fTest = gfTestReadings[k], fReference = gfReferenceReadings[k];
    if (gbReferenceOnly == 1)
        fResult = 0.0;
    else if (fTest <= 0.0) {
        fResult = 2.5;
        bClipped = 1;
    } else if (fReference / fTest <= 0.0) {
        fResult = -0.301;
        bClipped = 1;
    } else {
        fResult = std::log10(fReference / fTest);
        if (fResult > 2.5) {
            fResult = 2.5;
            bClipped = 1;
        } else if (fResult < -0.301) {
            fResult = -0.301;
            bClipped = 1;
        }
    }
    if (pbOutOfRange)
        *pbOutOfRange = bClipped;
    return fResult;
}

double Transmittance(int32_t nNm, uint8_t* pbOutOfRange)
{
    uint8_t bClipped = 0;
    double fResult;
    int k = SpectrumIndex(nNm);
    double fTest = gfTestReadings[k], fReference = gfReferenceReadings[k];
    if (gbReferenceOnly == 1)
        fResult = 100.0;
    else if (fReference == 0.0) {
        // No reference light: nothing can be said about the sample.
        fResult = 0.0;
        bClipped = 1;
    } else {
        fResult = 100.0 * fTest / fReference;
        if (fResult > 200.0) {
            fResult = 200.0;
            bClipped = 1;
        } else if (fResult < 0.0) {
            fResult = 0.0;
            bClipped = 1;
        }
    }
    if (pbOutOfRange)
        *pbOutOfRange = bClipped;
    return fResult;
}

uint8_t TransmittanceByte(int32_t nNm)
{
    double fPercent = Transmittance(nNm);
    if (fPercent <= 0.0)
        return 0;
    if (fPercent + 0.5 >= 255.0)
        return 255;
    return static_cast<uint8_t>(fPercent + 0.5);
}

namespace {

// Absorbance of one wavelength for the optical density; false when the
// signals are too weak or the value is outside -0.3..3.0.
bool OdAbsorbance(int32_t nNm, double* pfAbsorbance)
{
    int k = SpectrumIndex(nNm);
    double fReference = gfReferenceReadings[k], fTest = gfTestReadings[k];
    if (fReference < 300.0 || fTest < 30.0)
        return false;
    *pfAbsorbance = std::log10((fReference + 1.0) / (fTest + 1.0));
    return *pfAbsorbance >= -0.3 && *pfAbsorbance <= 3.0;
}

}  // namespace

double OpticalDensity(int32_t nNm1, int32_t nNm2)
{
    double fA1, fA2;
    if (!OdAbsorbance(nNm1, &fA1) || !OdAbsorbance(nNm2, &fA2))
        return NO_VALUE;
    double r = 0.0;
    if (fA2 != 0.0) {
        r = fA1 / fA2;
        if (r < OdValue(4))
            r = OdValue(4);
        if (r > OdValue(5))
            r = OdValue(5);
    }
    return (((OdValue(3) * r + OdValue(2)) * r + OdValue(1)) * r + OdValue(0)) * fA1;
}
