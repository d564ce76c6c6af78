// Standard curves: the fit of a method's five standards (linear least squares
// or the interpolating curve in Newton form), its validity rules, the
// concentration of a sample absorbance and the 126-column plot of the fit.
#pragma once

#include <cstdint>

#include "storage/method_record.h"  // STANDARD_NOT_SET: a standard concentration of exactly this is "not set"

constexpr int STANDARD_COUNT = METHOD_STANDARD_COUNT;
constexpr uint8_t FIT_LINEAR = 0;              // "Linear Least Squares"
constexpr uint8_t FIT_CURVE = 1;               // "Polynomial (Curve)"

constexpr int CURVE_PLOT_COLUMNS = 126;     // trace columns of the calibration graph
constexpr int CURVE_PLOT_WIDTH = 125;       // last plot column
constexpr uint8_t CURVE_PLOT_HEIGHT = 80;   // plot rows of the calibration graph
constexpr uint8_t CURVE_PLOT_NONE = 255;    // a trace column without a value
constexpr int CURVE_CHECK_STEPS = 160;      // evaluations of the monotonic check
constexpr double CURVE_ABS_MAX = 2.5;       // highest absorbance a curve standard may have
constexpr double CURVE_ZERO_CONC = 0.00001; // standard 1 at exactly 0 is fitted at this

struct StandardCurve {
    uint8_t bFit;             // FIT_LINEAR or FIT_CURVE
    uint8_t bValid;           // 1 when the last fit gave a usable calibration
    // Linear fit: A = m K + c.
    double fSlope;            // m
    double fIntercept;        // c
    double fCorrelation;      // "Corr. coeff", 1 - SSres / SStot; 0 when SStot is 0
    // Curve: K = b0 + d1 (A - a0) + d2 (A - a0)(A - a1) + ...
    double fBase;             // b0
    double afDiff[4];         // d1..d4, 0 where a node is missing
    double afNodeAbs[5];      // node absorbances a0..a4
    double afNodeConc[5];     // node concentrations
    uint8_t bNodes;           // nodes in use, 0..5
    // The span of the fit, also the axes of the calibration graph.
    double fAbsLow, fAbsHigh;    // absorbance span of the standards (and the origin when used)
    double fConcLow, fConcHigh;  // concentration range of the same points
    // The absorbance axis of the graph: the span widened to values its labels show whole.
    double fPlotAbsLow, fPlotAbsHigh;
    uint8_t abPlot[CURVE_PLOT_COLUMNS];  // plot height of each column, 0..80; 255 = none
};

extern StandardCurve gStandardCurve;  // the fit last made by FitStandardCurve

// Called while the curve is evaluated with the number of evaluations so far.
using CurveProgress = void (*)(uint16_t unEvaluations);

// True when standard i (0..4) has a concentration.
bool StandardIsSet(const double* afConc, int i);

// Fits the standards (absorbances and concentrations of standards 1..5) with
// the given fit into gStandardCurve, builds its plot and returns whether the
// calibration is valid ("Invalid Curve" when not). pfnProgress may be null.
bool FitStandardCurve(const double* afAbs, const double* afConc, uint8_t bFit, CurveProgress pfnProgress);

// Value of the curve in gStandardCurve at absorbance fAbs (no range check).
double CurveValue(double fAbs);

// Concentration the fit in gStandardCurve gives at fAbs, without the span
// check (a linear fit with a slope of 0 gives 0).
double FittedConcentration(double fAbs);

// Concentration of a sample absorbance under gStandardCurve: NO_VALUE outside
// the standards' absorbance span; 0 for a linear fit with a slope of 0.
double StandardConcentration(double fAbs);

// Plot position (column 0..125, row 0..80) of a point on the calibration graph.
void CurvePlotPoint(double fConc, double fAbs, uint8_t* pbColumn, uint8_t* pbRow);

// Sets the trace columns strictly between two plotted points to the straight
// line joining them, so a trace has no gaps where its points skip columns.
void TraceJoin(uint8_t* abTrace, int nColumnA, uint8_t bRowA, int nColumnB, uint8_t bRowB);
