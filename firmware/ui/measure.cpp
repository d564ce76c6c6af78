// The direct measuring screens: single wavelength (15, 16), ratio (17, 18,
// 19), multi-wavelength (20, 21) and cell density (77), and the shown values
// that follow the last reading.
#include <cmath>

#include "core/timers.h"
#include "display/script.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui_internal.h"

namespace {
uint16_t gunCellNm2 = 825;     // cell-density second wavelength, nm
uint8_t gbMultiSelected = 0;   // highlighted multi wavelength 0..3
}  // namespace

void ResetMeasureScreens()
{
    ClearShownValues();
    gbMultiSelected = 0;
    gunCellNm2 = 825;
}

namespace {

double RoundedThousandths(double f) { return std::floor(f * 1000.0 + 0.5) / 1000.0; }

void SetMultiWavelength0(uint16_t un) { SetMultiWavelength(0, un); }

void SetMultiWavelength1(uint16_t un) { SetMultiWavelength(1, un); }

void SetMultiWavelength2(uint16_t un) { SetMultiWavelength(2, un); }

void SetMultiWavelength3(uint16_t un) { SetMultiWavelength(3, un); }

void (*const gapfnSetMulti[4])(uint16_t) = {SetMultiWavelength0, SetMultiWavelength1, SetMultiWavelength2,
                                            SetMultiWavelength3};

void AcceptRatioWavelengths()
{
    AcceptWord(&gunWavelengthB, gunSavedNm[0], SetWavelengthB);
    AcceptWord(&gunWavelengthC, gunSavedNm[1], SetWavelengthC);
    gunSavedNm[0] = gunWavelengthB;
    gunSavedNm[1] = gunWavelengthC;
}

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
    if (gbReferenceOnly) {
        ClearShownValues();
        return;
    }
    gfShownAbs = Absorbance(gunWavelength);
    gfShownTrans = Transmittance(gunWavelength);
    // A clipped absorbance (">2.5", "<-0.3") is no number to divide: the
    // ratio of one is out of range.
    uint8_t bOut1 = 0, bOut2 = 0;
    gfRatioA1 = Absorbance(gunWavelengthB, &bOut1);
    gfRatioA2 = Absorbance(gunWavelengthC, &bOut2);
    gfRatio = bOut1 || bOut2 ? NO_VALUE : RatioOfAbsorbances(gfRatioA1, gfRatioA2);
    for (int i = 0; i < 4; i++)
        gafMultiAbs[i] = Absorbance(gunMultiWavelength[i]);
    gfOpticalDensity = OpticalDensity(gunCellNm1, gunCellNm2);
    double fMethodAbs = Absorbance(static_cast<int32_t>(gMethod.unWavelength));
    if (gMethod.bCalibration == 1)
        gfMethodResult = MethodConcentration(fMethodAbs);
    else
        gfMethodResult = fMethodAbs > 61110.0 ? NO_VALUE : fMethodAbs * gMethod.fFactor;
}

void TakeScreenReading(uint8_t bKind)
{
    TakeReading(bKind);
    RecomputeValues();
}

void HandleSingle()
{
    if (HandleReadingKeys())
        return;
    if (Key(KEY_ESCAPE)) {
        Go(STATE_MEASURE_MENU);
    } else if (Key(KEY_SOFT1)) {
        SetTransmittanceMode(gbTransmittanceMode ? 0 : 1);
        DrawScreen();
    } else if (Key(KEY_SOFT2)) {
        gunSavedNm[0] = gunWavelength;
        Go(STATE_SINGLE_WAVELENGTH);
    } else if (Key(KEY_SOFT3)) {
        GoScan(STATE_SINGLE_MEASURE);
    } else if (Key(KEY_SOFT4)) {
        GoPrint(STATE_SINGLE_MEASURE);
    }
}

void HandleSingleWavelength()
{
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        gunWavelength = StepWavelength(gunWavelength, Key(KEY_UP) ? 1 : -1);
        RecomputeValues();
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        SetTransmittanceMode(gbTransmittanceMode ? 0 : 1);
        DrawScreen();
    } else if (Key(KEY_SOFT2)) {
        AcceptWord(&gunWavelength, gunSavedNm[0], SetWavelength);
        Go(STATE_SINGLE_MEASURE);
    } else if (Key(KEY_SOFT3)) {
        AcceptWord(&gunWavelength, gunSavedNm[0], SetWavelength);
        GoScan(STATE_SINGLE_MEASURE);
    } else if (Key(KEY_ESCAPE)) {
        gunWavelength = gunSavedNm[0];
        RecomputeValues();
        Go(STATE_SINGLE_MEASURE);
    }
}

void HandleRatio()
{
    if (HandleReadingKeys())
        return;
    if (Key(KEY_ESCAPE)) {
        Go(STATE_MEASURE_MENU);
    } else if (Key(KEY_SOFT1) || Key(KEY_SOFT2)) {
        gunSavedNm[0] = gunWavelengthB;
        gunSavedNm[1] = gunWavelengthC;
        Go(Key(KEY_SOFT1) ? STATE_RATIO_WAVELENGTH_1 : STATE_RATIO_WAVELENGTH_2);
    } else if (Key(KEY_SOFT3)) {
        GoScan(STATE_RATIO_MEASURE);
    } else if (Key(KEY_SOFT4)) {
        GoPrint(STATE_RATIO_MEASURE);
    }
}

void HandleRatioWavelength()
{
    uint8_t bState = gunScreenState;
    uint16_t* punNm = bState == STATE_RATIO_WAVELENGTH_1 ? &gunWavelengthB : &gunWavelengthC;
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        *punNm = StepWavelength(*punNm, Key(KEY_UP) ? 1 : -1);
        RecomputeValues();
        DrawScreen();
    } else if (Key(KEY_SOFT1) || Key(KEY_SOFT2)) {
        uint8_t bOwnKey = bState == STATE_RATIO_WAVELENGTH_1 ? KEY_SOFT1 : KEY_SOFT2;
        if (Key(bOwnKey)) {
            AcceptRatioWavelengths();
            Go(STATE_RATIO_MEASURE);
        } else {
            Go(bState == STATE_RATIO_WAVELENGTH_1 ? STATE_RATIO_WAVELENGTH_2 : STATE_RATIO_WAVELENGTH_1);
        }
    } else if (Key(KEY_ESCAPE)) {
        gunWavelengthB = gunSavedNm[0];
        gunWavelengthC = gunSavedNm[1];
        RecomputeValues();
        Go(STATE_RATIO_MEASURE);
    } else if (Key(KEY_SOFT3)) {
        AcceptRatioWavelengths();
        GoScan(STATE_RATIO_MEASURE);
    } else if (Key(KEY_SOFT4)) {
        AcceptRatioWavelengths();
        GoPrint(STATE_RATIO_MEASURE);
    }
}

void HandleMulti()
{
    if (HandleReadingKeys())
        return;
    if (Key(KEY_ESCAPE)) {
        Go(STATE_MEASURE_MENU);
    } else if (Key(KEY_SOFT1)) {
        for (int i = 0; i < 4; i++)
            gunSavedNm[i] = gunMultiWavelength[i];
        gbMultiSelected = 0;
        Go(STATE_MULTI_WAVELENGTHS);
    } else if (Key(KEY_SOFT3)) {
        GoScan(STATE_MULTI_MEASURE);
    } else if (Key(KEY_SOFT4)) {
        GoPrint(STATE_MULTI_MEASURE);
    }
}

void HandleMultiWavelength()
{
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        uint16_t& unNm = gunMultiWavelength[gbMultiSelected & 3];
        unNm = StepWavelength(unNm, Key(KEY_UP) ? 1 : -1);
        RecomputeValues();
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        gbMultiSelected = static_cast<uint8_t>((gbMultiSelected + 1) & 3);
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        for (int i = 0; i < 4; i++)
            AcceptWord(&gunMultiWavelength[i], gunSavedNm[i], gapfnSetMulti[i]);
        Go(STATE_MULTI_MEASURE);
    } else if (Key(KEY_ESCAPE)) {
        for (int i = 0; i < 4; i++)
            gunMultiWavelength[i] = gunSavedNm[i];
        RecomputeValues();
        Go(STATE_MULTI_MEASURE);
    }
}

void HandleCellDensity()
{
    if (HandleReadingKeys())
        return;
    if (Key(KEY_ESCAPE))
        Go(STATE_MEASURE_MENU);
    else if (Key(KEY_SOFT4))
        GoPrint(STATE_CELL_DENSITY);
}

void PrepareSingle(uint8_t)
{
    RecomputeValues();
    gnShowI1 = gunWavelength;
    gfShowD1 = gfShownAbs;
    gfShowD2 = gfShownTrans;
}

void PrepareRatio(uint8_t)
{
    RecomputeValues();
    gnShowI1 = gunWavelengthB;
    gnShowI2 = gunWavelengthC;
    gfShowD1 = gfRatioA1;
    gfShowD2 = gfRatioA2;
    gfShowD3 = gfRatio;
}

void PrepareMulti(uint8_t)
{
    RecomputeValues();
    gnShowI1 = gunMultiWavelength[0];
    gnShowI2 = gunMultiWavelength[1];
    gnShowI3 = gunMultiWavelength[2];
    gnShowI4 = gunMultiWavelength[3];
    gfShowD1 = gafMultiAbs[0];
    gfShowD2 = gafMultiAbs[1];
    gfShowD5 = gafMultiAbs[2];
    gfShowD4 = gafMultiAbs[3];
}

void PrepareCellDensity(uint8_t)
{
    RecomputeValues();
    gfShowD2 = gfOpticalDensity;
}

void DrawSingle(uint8_t bState)
{
    DisplayScript(bState == STATE_SINGLE_WAVELENGTH ? "F1A0X68Y71T12T15A1I1A0T22" : "F1A0X68Y71T12T15I1T22");
    EraseCells(68, 36, 19, 1);
    DrawFragment(gbTransmittanceMode ? FRAG_SINGLE_TRANS : FRAG_SINGLE_ABS);
    DrawOutOfRangeIf(IsOutOfRange(gbTransmittanceMode ? gfShownTrans : gfShownAbs));
}

void DrawRatio(uint8_t bState)
{
    DrawFragment(FRAG_RATIO_LINE1);
    DrawFragment(FRAG_RATIO_LINE2);
    if (bState == STATE_RATIO_WAVELENGTH_1)
        DrawInteger(99, 36, 1, 1);
    if (bState == STATE_RATIO_WAVELENGTH_2)
        DrawInteger(99, 52, 2, 1);
    EraseCells(70, 76, 18, 1);
    DrawFragment(FRAG_RATIO_VALUE);
    DrawOutOfRangeIf(IsOutOfRange(gfRatio));
}

void DrawMulti(uint8_t bState)
{
    for (int i = 0; i < 4; i++) {
        DrawFragment(static_cast<uint16_t>(FRAG_MULTI_LINE + i));
        DrawOutOfRangeIf(IsOutOfRange(gafMultiAbs[i]));
    }
    if (bState == STATE_MULTI_WAVELENGTHS)
        DrawInteger(177, static_cast<uint8_t>(24 + 20 * (gbMultiSelected & 3)),
                    static_cast<uint16_t>(1 + (gbMultiSelected & 3)), 1);
}

void DrawCellDensity(uint8_t)
{
    DisplayScript("F1A0X68Y56T196D25c2");
    DrawOutOfRangeIf(IsOutOfRange(gfOpticalDensity));
}
