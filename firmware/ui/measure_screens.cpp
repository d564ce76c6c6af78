// Values of the measuring screens: readings, the recompute after a reading or
// a wavelength change, the wavelength editors' step and the scan plot.
#include <cmath>

#include "core/timers.h"
#include "display/lcd.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui.h"
#include "ui/ui_internal.h"

namespace {

double RoundedThousandths(double f) { return std::floor(f * 1000.0 + 0.5) / 1000.0; }

}  // namespace

double RatioOfAbsorbances(double fA1, double fA2)
{
    if (fA1 > 61110.0 || fA2 > 61110.0)
        return NO_VALUE;
    if (fA1 == 0.0 || fA2 == 0.0)
        return 0.0;
    double fR1 = RoundedThousandths(fA1);
    double fR2 = RoundedThousandths(fA2);
    if (fR1 == 0.0 || fR2 == 0.0)
        return 0.0;
    return fR1 / fR2;
}

void ClearShownValues()
{
    gfShownAbs = 0.0;
    gfShownTrans = 100.0;
    gfRatioA1 = gfRatioA2 = gfRatio = 0.0;
    for (double& f : gafMultiAbs)
        f = 0.0;
    gfOpticalDensity = 0.0;
    gfMethodResult = 0.0;
}

void RecomputeValues()
{
    if (gbReferenceFlag) {
        ClearShownValues();
        return;
    }
    gfShownAbs = Absorbance(gunWavelength);
    gfShownTrans = Transmittance(gunWavelength);
    gfRatioA1 = Absorbance(gunWavelengthB);
    gfRatioA2 = Absorbance(gunWavelengthC);
    gfRatio = RatioOfAbsorbances(gfRatioA1, gfRatioA2);
    for (int i = 0; i < 4; i++)
        gafMultiAbs[i] = Absorbance(gunMultiWavelength[i]);
    gfOpticalDensity = OpticalDensity(gunCellNm1, gunCellNm2);
    double fMethodAbs = Absorbance(static_cast<int32_t>(gMethod.unWavelength));
    // The factor result; standard-curve concentrations come with the curve work.
    gfMethodResult = gMethod.bCalibration == 0 ? fMethodAbs * gMethod.fFactor : fMethodAbs;
}

void TakeScreenReading(uint8_t bKind)
{
    TakeReading(bKind);
    gbReferenceFlag = bKind == READ_REFERENCE ? 1 : 0;
    RecomputeValues();
}

// One Up (+1) or Down (-1) event of a wavelength editor, with the fast step
// while the key is held.
uint16_t StepWavelength(uint16_t unNm, int nDirection)
{
    if ((nDirection > 0 && unNm >= WAVELENGTH_MAX) || (nDirection < 0 && unNm <= WAVELENGTH_MIN))
        return unNm;
    int nNm = unNm;
    if (gbFastRepeat == 0) {
        nNm += nDirection;
    } else if (gbFastRepeat == 1) {
        nNm += 10 * nDirection;
        gbFastRepeat = 2;
        if (nNm > WAVELENGTH_MAX || nNm < WAVELENGTH_MIN) {
            nNm -= 9 * nDirection;
            gbFastRepeat = 0;
        }
    } else if (gbFastRepeat < 7) {
        gbFastRepeat++;
    } else {
        gbFastRepeat = 1;
    }
    return static_cast<uint16_t>(nNm);
}
