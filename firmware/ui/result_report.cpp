// The result a screen shows, described for the reports, and the prints of
// the screens: "Sample No." before a print, the direct prints of the method,
// calibration and kinetics screens, the print step after every sample
// reading, and the per-reading record with the chart-recorder output.
#include <cstring>

#include "comms/analogue.h"
#include "comms/report.h"
#include "measure/kinetics_run.h"
#include "measure/reading.h"
#include "measure/standard_curve.h"
#include "storage/params.h"
#include "ui/ui.h"
#include "ui/ui_internal.h"

namespace {

constexpr uint32_t LIVE_OUTPUT_SLACK_MS = 2000;  // live period: the interval plus this

void DescribeMethod()
{
    ReportMethod& m = gReport.method;
    m.bSlot = gunCurrentMethod;
    std::memcpy(m.szName, gMethod.szName, sizeof m.szName);
    m.szName[sizeof m.szName - 1] = '\0';
    m.unWavelength = static_cast<uint16_t>(gMethod.unWavelength);
    m.bCurve = gMethod.bCalibration;
    m.fFactor = gMethod.fFactor;
    m.bUnits = static_cast<uint8_t>(gMethod.unUnits > 255 ? 255 : gMethod.unUnits);
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
    // A curve method's calibration, refitted from its standards.
    gReport.fCorrCoeff = gReport.fSlope = gReport.fIntercept = 0.0;
    if (m.bCurve && FitStandardCurve(gMethod.afStdAbs, gMethod.afStdConc, gMethod.bCurveFit, nullptr)) {
        gReport.fCorrCoeff = gStandardCurve.fCorrelation;
        gReport.fSlope = gStandardCurve.fSlope;
        gReport.fIntercept = gStandardCurve.fIntercept;
    }
}

void DescribeKinetics(uint8_t bKind)
{
    gReport.bKind = bKind;
    DescribeMethod();
    gReport.bReadings = gKinetics.bCount > REPORT_KINETICS_MAX ? REPORT_KINETICS_MAX : gKinetics.bCount;
    for (int k = 0; k < gReport.bReadings; k++)
        gReport.afKinetics[k] = gKinetics.afAbs[k];
    gReport.fRate = gKinetics.fPerMinute;
    gReport.fCorrCoeff = gKinetics.fCorrelation;
    gReport.fFinal = gfKineticsFinal;
}

}  // namespace

bool DescribeResult(uint8_t bState)
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
    case STATE_METHOD_RUN:
        r.bKind = REPORT_METHOD;
        DescribeMethod();
        r.fAbsorbance = gbReferenceOnly ? 0.0 : Absorbance(static_cast<int32_t>(gMethod.unWavelength));
        r.fResult = gfMethodResult;
        r.bOutOfRange = gfMethodResult > 61110.0;
        // Outside the standards the curve's value is still printed.
        if (r.bOutOfRange && gMethod.bCalibration == 1 && r.fAbsorbance <= 61110.0 && gStandardCurve.bValid)
            r.fResult = FittedConcentration(r.fAbsorbance);
        break;
    case STATE_METHOD_SUMMARY:
        r.bKind = REPORT_METHOD_SETTINGS;
        DescribeMethod();
        break;
    case STATE_CURVE_COEFFICIENTS:
        r.bKind = REPORT_CURVE;
        DescribeMethod();
        break;
    case STATE_KINETICS_RESULT:
        DescribeKinetics(REPORT_KINETICS);
        break;
    case STATE_KINETICS_GRAPH:
        DescribeKinetics(REPORT_KINETICS_PLOT);
        break;
    default:
        return DescribeProteinResult(bState);
    }
    return true;
}

void PrintShownResult(uint8_t bState)
{
    if (DescribeResult(bState))
        PrintOnRequest();
}

void PrintAfterSampleReading()
{
    if (!DescribeResult(gunScreenState))
        return;
    if (gReport.bKind == REPORT_KINETICS) {  // the run's readings were sent as they were taken
        gunPrintReturnState = gunScreenState;
        PrintAfterReading();
        return;
    }
    bool bTransmittance = gReport.bKind == REPORT_TRANSMITTANCE || (gReport.bKind == REPORT_SCAN && gbTransmittanceMode);
    int32_t nNm = gReport.bKind == REPORT_METHOD ? gReport.method.unWavelength
                  : gReport.bKind == REPORT_SCAN ? gunWavelength
                                                 : gReport.aunNm[0];
    SendReadingRecord(bTransmittance ? 1 : 0, nNm);
    if (gReport.bKind == REPORT_SCAN)
        AnaloguePlaySpectrum(gReport.unScanFirst, gReport.unScanLast, bTransmittance);
    gunPrintReturnState = gunScreenState;
    PrintAfterReading();
}

void KineticsOutputStart(uint32_t unIntervalSeconds)
{
    AnalogueStartLive(unIntervalSeconds * 1000 + LIVE_OUTPUT_SLACK_MS);
}

void KineticsOutputReading() { SendReadingRecord(0, static_cast<int32_t>(gMethod.unWavelength)); }

void KineticsOutputEnd() { AnalogueStopLive(); }
