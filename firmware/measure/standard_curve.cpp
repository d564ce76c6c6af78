// Standard curves: linear least squares and the interpolating curve through
// the standards, with the checks that decide "Invalid Curve", the sample
// concentration and the plot of the calibration graph.
#include "measure/standard_curve.h"

#include <cmath>

#include "display/graph.h"
#include "measure/reading.h"

StandardCurve gStandardCurve;

namespace {

// Sums that cancel to rounding noise count as zero: equal absorbances must
// give a correlation of 0 and equal concentrations a slope of 0.
constexpr double CANCEL_TOLERANCE = 1e-12;

void ClearFit(uint8_t bFit)
{
    StandardCurve& curve = gStandardCurve;
    curve = StandardCurve{};
    curve.bFit = bFit;
    for (uint8_t& b : curve.abPlot)
        b = CURVE_PLOT_NONE;
}

// Sets the span and graph ranges from the fit's points.
void SetRanges()
{
    StandardCurve& curve = gStandardCurve;
    if (curve.bNodes == 0)
        return;
    curve.fAbsLow = curve.fAbsHigh = curve.afNodeAbs[0];
    curve.fConcLow = curve.fConcHigh = curve.afNodeConc[0];
    for (int i = 1; i < curve.bNodes; i++) {
        curve.fAbsLow = std::fmin(curve.fAbsLow, curve.afNodeAbs[i]);
        curve.fAbsHigh = std::fmax(curve.fAbsHigh, curve.afNodeAbs[i]);
        curve.fConcLow = std::fmin(curve.fConcLow, curve.afNodeConc[i]);
        curve.fConcHigh = std::fmax(curve.fConcHigh, curve.afNodeConc[i]);
    }
    curve.fPlotAbsLow = curve.fAbsLow;
    curve.fPlotAbsHigh = curve.fAbsHigh;
    GraphAxisRange(&curve.fPlotAbsLow, &curve.fPlotAbsHigh, GRAPH_TICKED_LABEL_CHARS);
}

double Ratio(double fNumerator, double fDenominator) { return fDenominator == 0.0 ? 0.0 : fNumerator / fDenominator; }

uint8_t PlotRow(double fAbs)
{
    const StandardCurve& curve = gStandardCurve;
    double fWidth = curve.fPlotAbsHigh - curve.fPlotAbsLow;
    double fRow = std::floor((fAbs - curve.fPlotAbsLow) / (fWidth > 0.0 ? fWidth : 1.0) * CURVE_PLOT_HEIGHT + 0.5);
    if (!(fRow >= 0.0))  // also NaN
        return 0;
    return fRow > CURVE_PLOT_HEIGHT ? CURVE_PLOT_HEIGHT : static_cast<uint8_t>(fRow);
}

int PlotColumn(double fConc)
{
    const StandardCurve& curve = gStandardCurve;
    double fWidth = curve.fConcHigh - curve.fConcLow;
    double fColumn = std::floor((fConc - curve.fConcLow) / (fWidth > 0.0 ? fWidth : 1.0) * CURVE_PLOT_WIDTH + 0.5);
    if (!(fColumn >= 0.0))
        return 0;
    return fColumn > CURVE_PLOT_WIDTH ? CURVE_PLOT_WIDTH : static_cast<int>(fColumn);
}

bool FitLinear(const double* afAbs, const double* afConc)
{
    StandardCurve& curve = gStandardCurve;
    double fSx = 0.0, fSy = 0.0, fSxx = 0.0, fSxy = 0.0, fSyy = 0.0;
    for (int i = 0; i < STANDARD_COUNT; i++) {
        if (!StandardIsSet(afConc, i))
            continue;
        double x = afConc[i], y = afAbs[i];
        curve.afNodeAbs[curve.bNodes] = y;
        curve.afNodeConc[curve.bNodes] = x;
        curve.bNodes++;
        fSx += x;
        fSy += y;
        fSxx += x * x;
        fSxy += x * y;
        fSyy += y * y;
    }
    if (!StandardIsSet(afConc, 0) && !StandardIsSet(afConc, 1))
        return false;
    double n = curve.bNodes;
    double fDenominator = n * fSxx - fSx * fSx;
    if (std::fabs(fDenominator) <= CANCEL_TOLERANCE * n * fSxx)
        fDenominator = 0.0;
    curve.fSlope = Ratio(n * fSxy - fSx * fSy, fDenominator);
    curve.fIntercept = (fSy - curve.fSlope * fSx) / n;
    double fSSres = 0.0;
    for (int i = 0; i < curve.bNodes; i++) {
        double fResidual = curve.afNodeAbs[i] - (curve.fSlope * curve.afNodeConc[i] + curve.fIntercept);
        fSSres += fResidual * fResidual;
    }
    double fSStot = fSyy - fSy * fSy / n;
    curve.fCorrelation = fSStot <= CANCEL_TOLERANCE * fSyy ? 0.0 : 1.0 - fSSres / fSStot;
    SetRanges();
    // The fitted line across the whole concentration axis.
    for (int nColumn = 0; nColumn < CURVE_PLOT_COLUMNS; nColumn++) {
        double fConc = curve.fConcLow + (curve.fConcHigh - curve.fConcLow) * nColumn / CURVE_PLOT_WIDTH;
        curve.abPlot[nColumn] = PlotRow(curve.fSlope * fConc + curve.fIntercept);
    }
    return true;
}

// The checks on the standards themselves, before any fitting.
bool CurveStandardsAcceptable(const double* afAbs, const double* afConc)
{
    bool bSet[STANDARD_COUNT];
    for (int i = 0; i < STANDARD_COUNT; i++)
        bSet[i] = StandardIsSet(afConc, i);
    if (!bSet[0] && !bSet[1])
        return false;
    // Without standard 2 the curve runs through the origin and standard 1
    // only; higher standards would need the missing node.
    if (!bSet[1] && (bSet[2] || bSet[3] || bSet[4]))
        return false;
    for (int i = 0; i < STANDARD_COUNT; i++) {
        if (!bSet[i]) {
            if (afAbs[i] > 0.0)  // an absorbance without its concentration
                return false;
            continue;
        }
        if (!(afAbs[i] >= 0.0 && afAbs[i] <= CURVE_ABS_MAX))
            return false;
        if (i >= 1 && afAbs[i] == 0.0)  // only standard 1 may be the blank
            return false;
    }
    return true;
}

// Newton divided differences over the nodes; a zero absorbance difference
// in a denominator gives 0.
void DivideDifferences()
{
    StandardCurve& curve = gStandardCurve;
    double afTable[5];
    for (int i = 0; i < curve.bNodes; i++)
        afTable[i] = curve.afNodeConc[i];
    curve.fBase = curve.bNodes > 0 ? afTable[0] : 0.0;
    for (int nOrder = 1; nOrder < curve.bNodes; nOrder++) {
        for (int i = curve.bNodes - 1; i >= nOrder; i--)
            afTable[i] = Ratio(afTable[i] - afTable[i - 1], curve.afNodeAbs[i] - curve.afNodeAbs[i - nOrder]);
        curve.afDiff[nOrder - 1] = afTable[nOrder];
    }
}

bool FitCurve(const double* afAbs, const double* afConc, CurveProgress pfnProgress)
{
    StandardCurve& curve = gStandardCurve;
    if (!CurveStandardsAcceptable(afAbs, afConc))
        return false;
    double afFitConc[STANDARD_COUNT];
    for (int i = 0; i < STANDARD_COUNT; i++)
        afFitConc[i] = afConc[i];
    if (afFitConc[0] == 0.0)
        afFitConc[0] = CURVE_ZERO_CONC;
    if (!StandardIsSet(afConc, 1)) {
        curve.afNodeAbs[0] = 0.0;
        curve.afNodeConc[0] = 0.0;
        curve.bNodes = 1;
    }
    for (int i = 0; i < STANDARD_COUNT; i++) {
        if (!StandardIsSet(afConc, i))
            continue;
        curve.afNodeAbs[curve.bNodes] = afAbs[i];
        curve.afNodeConc[curve.bNodes] = afFitConc[i];
        curve.bNodes++;
    }
    DivideDifferences();
    SetRanges();

    // Monotonic check over the span; the same pass draws the curve.
    double fStep = (curve.fAbsHigh - curve.fAbsLow) / (CURVE_CHECK_STEPS - 1);
    double fFirst = CurveValue(curve.fAbsLow);
    double fLast = CurveValue(curve.fAbsHigh);
    double fDirection = fLast > fFirst ? 1.0 : -1.0;
    bool bMonotonic = fLast != fFirst;
    double fPrevious = 0.0;
    int nPreviousColumn = -1;
    uint8_t bPreviousRow = 0;
    for (int i = 0; i < CURVE_CHECK_STEPS; i++) {
        double fAbs = i == CURVE_CHECK_STEPS - 1 ? curve.fAbsHigh : curve.fAbsLow + fStep * i;
        double fConc = CurveValue(fAbs);
        if (pfnProgress)
            pfnProgress(static_cast<uint16_t>(i + 1));
        if (i > 0 && !((fConc - fPrevious) * fDirection > 0.0))
            bMonotonic = false;
        fPrevious = fConc;
        int nColumn = PlotColumn(fConc);
        uint8_t bRow = PlotRow(fAbs);
        if (nPreviousColumn >= 0)
            TraceJoin(curve.abPlot, nPreviousColumn, bPreviousRow, nColumn, bRow);
        curve.abPlot[nColumn] = bRow;
        nPreviousColumn = nColumn;
        bPreviousRow = bRow;
    }
    return bMonotonic;
}

}  // namespace

bool StandardIsSet(const double* afConc, int i) { return afConc[i] != STANDARD_NOT_SET; }

bool FitStandardCurve(const double* afAbs, const double* afConc, uint8_t bFit, CurveProgress pfnProgress)
{
    ClearFit(bFit);
    bool bValid = bFit == FIT_LINEAR ? FitLinear(afAbs, afConc) : FitCurve(afAbs, afConc, pfnProgress);
    gStandardCurve.bValid = bValid ? 1 : 0;
    return bValid;
}

double CurveValue(double fAbs)
{
    const StandardCurve& curve = gStandardCurve;
    double fValue = curve.fBase;
    double fProduct = 1.0;
    for (int i = 0; i + 1 < curve.bNodes; i++) {
        fProduct *= fAbs - curve.afNodeAbs[i];
        fValue += curve.afDiff[i] * fProduct;
    }
    return fValue;
}

double FittedConcentration(double fAbs)
{
    const StandardCurve& curve = gStandardCurve;
    if (curve.bFit == FIT_CURVE)
        return CurveValue(fAbs);
    return Ratio(fAbs - curve.fIntercept, curve.fSlope);
}

double StandardConcentration(double fAbs)
{
    const StandardCurve& curve = gStandardCurve;
    if (!curve.bValid || !(fAbs >= curve.fAbsLow && fAbs <= curve.fAbsHigh))
        return NO_VALUE;
    return FittedConcentration(fAbs);
}

void TraceJoin(uint8_t* abTrace, int nColumnA, uint8_t bRowA, int nColumnB, uint8_t bRowB)
{
    int nStep = nColumnB > nColumnA ? 1 : -1;
    for (int c = nColumnA + nStep; nColumnA != nColumnB && c != nColumnB; c += nStep) {
        double fPart = static_cast<double>(c - nColumnA) / (nColumnB - nColumnA);
        abTrace[c] = static_cast<uint8_t>(std::floor(bRowA + (bRowB - bRowA) * fPart + 0.5));
    }
}

void CurvePlotPoint(double fConc, double fAbs, uint8_t* pbColumn, uint8_t* pbRow)
{
    *pbColumn = static_cast<uint8_t>(PlotColumn(fConc));
    *pbRow = PlotRow(fAbs);
}
