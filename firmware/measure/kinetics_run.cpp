// Kinetics runs: due times on the millisecond counter (readings at whole
// multiples of the interval after the start, the last one at the end time),
// the stored readings and the rate calculation.
#include "measure/kinetics_run.h"

#include <cmath>

#include "display/graph.h"

#include "core/timers.h"
#include "measure/standard_curve.h"

KineticsRun gKinetics;

uint32_t KineticsSeconds(uint32_t unMinutes, uint32_t unSeconds) { return unMinutes * 60 + unSeconds; }

uint16_t KineticsReadingCount(uint32_t unEndSeconds, uint32_t unIntervalSeconds)
{
    if (unIntervalSeconds == 0)
        return 0;
    uint32_t unCount = unEndSeconds / unIntervalSeconds;
    return unCount > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(unCount);
}

void KineticsBegin(uint8_t bMode, uint32_t unStartSeconds, uint32_t unIntervalSeconds, uint32_t unEndSeconds)
{
    KineticsRun& run = gKinetics;
    run = KineticsRun{};
    run.bMode = bMode;
    run.unStartMs = unStartSeconds * 1000;
    run.unIntervalMs = unIntervalSeconds * 1000;
    run.unEndMs = unEndSeconds * 1000;
    ResetElapsedMs();
    if (run.unStartMs != 0) {
        run.bPhase = RUN_DELAY;
        run.unDueMs = run.unStartMs;
    } else {
        run.bPhase = RUN_READING;
        run.unDueMs = 0;
    }
}

bool KineticsReadingDue()
{
    KineticsRun& run = gKinetics;
    if (run.bPhase == RUN_DELAY) {
        if (ReadElapsedMs() < run.unDueMs)
            return false;
        ConsumeElapsedMs(run.unStartMs);
        run.bPhase = RUN_READING;
        run.unDueMs = 0;
        return true;
    }
    return run.bPhase == RUN_READING && ReadElapsedMs() >= run.unDueMs;
}

bool KineticsStoreReading(double fAbs)
{
    KineticsRun& run = gKinetics;
    if (run.bPhase != RUN_READING)
        return run.bPhase == RUN_DONE;
    run.afAbs[run.bCount] = fAbs;
    run.aunTimeMs[run.bCount] = run.unDueMs;
    run.bCount++;
    // The last reading: fixed time takes one; a rate run stops at the end
    // time, and never holds more readings than it has room for.
    bool bLast = run.bMode != KINETICS_RATE || (run.bCount > 1 && run.unDueMs >= run.unEndMs) ||
                 run.bCount >= KINETICS_MAX_READINGS;
    if (bLast) {
        run.bPhase = RUN_DONE;
        return true;
    }
    uint32_t unNext = run.unDueMs + run.unIntervalMs;
    run.unDueMs = unNext < run.unEndMs ? unNext : run.unEndMs;
    return false;
}

uint32_t KineticsDelayLeftSeconds()
{
    const KineticsRun& run = gKinetics;
    if (run.bPhase != RUN_DELAY)
        return 0;
    uint32_t unNow = ReadElapsedMs();
    uint32_t unLeft = unNow >= run.unDueMs ? 0 : run.unDueMs - unNow;
    return (unLeft + 999) / 1000;
}

void KineticsStop() { gKinetics.bPhase = RUN_IDLE; }

void KineticsComputeRate()
{
    KineticsRun& run = gKinetics;
    run.fSlope = run.fPerMinute = run.fCorrelation = 0.0;
    if (run.bCount == 0)
        return;
    int N = run.bCount - 1;
    double fHalf = N / 2.0;
    double fStt = 0.0, fSta = 0.0, fSa = 0.0, fSaa = 0.0;
    for (int k = 0; k <= N; k++) {
        double t = k - fHalf;
        fStt += t * t;
        fSta += t * run.afAbs[k];
        fSa += run.afAbs[k];
        fSaa += run.afAbs[k] * run.afAbs[k];
    }
    run.fSlope = fStt == 0.0 ? 0.0 : fSta / fStt;
    double fIntercept = fSa / (N + 1) - fHalf * run.fSlope;
    double fResidual = 0.0;
    for (int k = 0; k <= N; k++) {
        double d = run.afAbs[k] - (k * run.fSlope + fIntercept);
        fResidual += d * d;
    }
    double fTotal = fSaa - fSa * fSa / (N + 1);
    // Equal readings cancel to rounding noise: that is a zero spread.
    run.fCorrelation = fTotal <= 1e-12 * fSaa ? 0.0 : 1.0 - fResidual / fTotal;
    run.fPerMinute = run.unIntervalMs == 0 ? 0.0 : run.fSlope * 60.0 / (run.unIntervalMs / 1000.0);
}

void KineticsPlot(uint8_t bHeight)
{
    KineticsRun& run = gKinetics;
    for (uint8_t& b : run.abPlot)
        b = 255;
    if (run.bCount == 0)
        return;
    double fLow = run.afAbs[0], fHigh = run.afAbs[0];
    for (int k = 1; k < run.bCount; k++) {
        fLow = std::fmin(fLow, run.afAbs[k]);
        fHigh = std::fmax(fHigh, run.afAbs[k]);
    }
    if (fHigh - fLow < 0.001) {
        fLow -= 0.05;
        fHigh += 0.05;
    }
    // Axis ends that the labels beside the ticks can show as they are.
    GraphAxisRange(&fLow, &fHigh, GRAPH_TICKED_LABEL_CHARS);
    run.fPlotAbsLow = fLow;
    run.fPlotAbsHigh = fHigh;
    uint32_t unLastMs = run.aunTimeMs[run.bCount - 1];
    for (int k = 0; k < run.bCount; k++) {
        int nColumn = unLastMs == 0 ? 0 : static_cast<int>((static_cast<uint64_t>(run.aunTimeMs[k]) * 125 + unLastMs / 2) / unLastMs);
        double fRow = std::floor((run.afAbs[k] - fLow) / (fHigh - fLow) * bHeight + 0.5);
        uint8_t bRow = fRow <= 0.0 ? 0 : fRow >= bHeight ? bHeight : static_cast<uint8_t>(fRow);
        if (k > 0)
            TraceJoin(run.abPlot, run.abMarkerColumn[k - 1], run.abMarkerRow[k - 1], nColumn, bRow);
        run.abPlot[nColumn] = bRow;
        run.abMarkerColumn[k] = static_cast<uint8_t>(nColumn);
        run.abMarkerRow[k] = bRow;
    }
}
