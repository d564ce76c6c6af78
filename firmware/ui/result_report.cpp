// The result a measuring screen shows, described for the reports: what the
// after-reading print step and "Sample No." print.
#include <cstring>

#include "comms/report.h"
#include "measure/kinetics_run.h"
#include "measure/reading.h"
#include "measure/standard_curve.h"
#include "storage/params.h"
#include "ui/ui.h"
#include "ui/ui_internal.h"

namespace {

void DescribeMethod()
{
    ReportMethod& m = gReport.method;
    m.bSlot = gunCurrentMethod;
    std::memcpy(m.szName, gMethod.szName, sizeof m.szName);
    m.szName[sizeof m.szName - 1] = '\0';
    m.unWavelength = static_cast<uint16_t>(gMethod.unWavelength);
    m.bCurve = gMethod.bCalibration;
    m.fFactor = gMethod.fFactor;
    m.bUnits = static_cast<uint8_t>(gMethod.unUnits);
    m.bKinetics = static_cast<uint8_t>(gMethod.unKinetics);
    m.bStartMin = static_cast<uint8_t>(gMethod.unStartMin);
    m.bStartSec = static_cast<uint8_t>(gMethod.unStartSec);
    m.bIntervalMin = static_cast<uint8_t>(gMethod.unIntervalMin);
    m.bIntervalSec = static_cast<uint8_t>(gMethod.unIntervalSec);
    m.bEndMin = gMethod.bEndMin;
    m.bEndSec = gMethod.bEndSec;
    for (int i = 0; i < 5; i++) {
        m.afStdConc[i] = gMethod.afStdConc[i];
        m.afStdAbs[i] = gMethod.afStdAbs[i];
    }
    m.bCurveFit = gMethod.bCurveFit;
}

}  // namespace

void DescribeResult(uint8_t bState)
{
    ReportData& r = gReport;
    for (int i = 0; i < 4; i++) {
        r.afValue[i] = NO_VALUE;
        r.aunNm[i] = 0;
    }
    switch (bState) {
    case STATE_SINGLE_MEASURE:
    case STATE_SINGLE_WAVELENGTH:
        r.bKind = gbTransmittanceMode ? REPORT_TRANSMITTANCE : REPORT_ABSORBANCE;
        r.afValue[0] = gbTransmittanceMode ? gfShownTrans : gfShownAbs;
        r.aunNm[0] = gunWavelength;
        break;
    case STATE_RATIO_MEASURE:
    case STATE_RATIO_WAVELENGTH_1:
    case STATE_RATIO_WAVELENGTH_2:
        r.bKind = REPORT_RATIO;
        r.afValue[0] = gfRatioA1;
        r.afValue[1] = gfRatioA2;
        r.afValue[2] = gfRatio;
        r.aunNm[0] = gunWavelengthB;
        r.aunNm[1] = gunWavelengthC;
        break;
    case STATE_MULTI_MEASURE:
    case STATE_MULTI_WAVELENGTHS:
        r.bKind = REPORT_MULTI;
        for (int i = 0; i < 4; i++) {
            r.afValue[i] = gafMultiAbs[i];
            r.aunNm[i] = gunMultiWavelength[i];
        }
        break;
    case STATE_CELL_DENSITY:
        r.bKind = REPORT_CELL_DENSITY;
        r.afValue[0] = gfOpticalDensity;
        r.aunNm[0] = gunCellNm1;
        break;
    case STATE_SCAN:
    case STATE_SCAN_ZOOMED:
        r.bKind = REPORT_SCAN;
        r.bTransmittance = gbTransmittanceMode;
        r.unScanFirst = bState == STATE_SCAN_ZOOMED ? gunZoomStart : WAVELENGTH_MIN;
        r.unScanLast = bState == STATE_SCAN_ZOOMED ? static_cast<uint16_t>(gunZoomStart + 125) : WAVELENGTH_MAX;
        break;
    case STATE_KINETICS_RESULT:
    case STATE_KINETICS_GRAPH:
        r.bKind = bState == STATE_KINETICS_GRAPH ? REPORT_KINETICS_PLOT : REPORT_KINETICS;
        DescribeMethod();
        r.bReadings = gKinetics.bCount;
        for (int k = 0; k < REPORT_KINETICS_MAX; k++)
            r.afKinetics[k] = k < gKinetics.bCount ? gKinetics.afAbs[k] : 0.0;
        r.fRate = gKinetics.fPerMinute;
        r.fCorrCoeff = gKinetics.fCorrelation;
        r.fFinal = gfKineticsFinal;
        break;
    case STATE_CURVE_COEFFICIENTS:
        r.bKind = REPORT_CURVE;
        DescribeMethod();
        r.fCorrCoeff = gStandardCurve.fCorrelation;
        r.fSlope = gStandardCurve.fSlope;
        r.fIntercept = gStandardCurve.fIntercept;
        break;
    default:
        // The method run and its kinetics.
        r.bKind = REPORT_METHOD;
        DescribeMethod();
        r.fAbsorbance = gbReferenceFlag ? 0.0 : Absorbance(static_cast<int32_t>(gMethod.unWavelength));
        r.fResult = gfMethodResult;
        r.bOutOfRange = gfMethodResult > 61110.0;
        // Outside the standards the curve's value is still printed.
        if (r.bOutOfRange && gMethod.bCalibration == 1 && r.fAbsorbance <= 61110.0 && gStandardCurve.bValid)
            r.fResult = FittedConcentration(r.fAbsorbance);
        break;
    }
}

void PrintAfterSampleReading()
{
    DescribeResult(gunScreenState);
    gunPrintReturnState = gunScreenState;
    PrintAfterReading();
}
