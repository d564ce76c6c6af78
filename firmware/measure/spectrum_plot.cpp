// The plotter's trace from the last reading: scan kinds (absorbance, %T) and
// the diagnostic kinds (light minus dark, dark, frames), full range and
// magnified.
#include "measure/spectrum_plot.h"

#include <cmath>

#include "display/graph.h"
#include "measure/reading.h"

namespace {

uint8_t Limit(double f, double fHigh)
{
    return static_cast<uint8_t>(f <= 0.0 ? 0.0 : f >= fHigh ? fHigh : f);
}

}  // namespace

double PlotUnits(uint8_t bKind, int32_t nNm)
{
    if (bKind == PLOT_LIGHT || bKind == PLOT_DARK || bKind == PLOT_FRAMES) {
        int32_t nPixel = WavelengthToPixel(nNm);
        if (bKind == PLOT_LIGHT)
            return (static_cast<double>(gunLightReadings[nPixel]) - gunDarkReadings[nPixel]) * 0.0016;
        if (bKind == PLOT_DARK)
            return gunDarkReadings[nPixel] * 0.005;
        return gbFrameCounts[nPixel];
    }
    if (bKind == PLOT_TRANSMITTANCE)
        return Transmittance(nNm);
    return (Absorbance(nNm) + 0.3) / 2.8 * 100.0;
}

void PlotSpectrum(uint8_t bKind)
{
    bool bDetector = bKind == PLOT_LIGHT || bKind == PLOT_DARK || bKind == PLOT_FRAMES;
    if (bDetector)
        for (int c = 0; c < GRAPH_COLUMNS; c++)
            GraphSetTracePoint(static_cast<uint8_t>(c), 0);
    for (int c = 0; c < GRAPH_COLUMNS; c++) {
        double f = PlotUnits(bKind, ColumnToWavelength(static_cast<uint8_t>(c))) + 0.5;
        // Whole rows, rounded down; limited to the plot's 100 rows.
        double fRow = f < 0.0 ? 0.0 : static_cast<double>(static_cast<int64_t>(f));
        GraphSetTracePoint(static_cast<uint8_t>(c), Limit(fRow, 100.0));
    }
}

uint16_t ZoomStartWavelength()
{
    if (!gbZoomHold)
        gbZoomStart = GraphBoxLeft();
    uint16_t unNm = ColumnToWavelength(gbZoomStart);
    return unNm > ZOOM_LAST_START_NM ? ZOOM_LAST_START_NM : unNm;
}

uint8_t ZoomedPlotValue(uint8_t bKind, uint8_t bColumn, uint8_t bOffset, double fScale)
{
    int32_t nNm = ZoomStartWavelength() + bColumn;
    if (nNm > SPECTRUM_LAST_NM)
        nNm = SPECTRUM_LAST_NM;
    double fUnits = PlotUnits(bKind, nNm);
    if (bKind == PLOT_LIGHT) {
        double fWhole = static_cast<double>(static_cast<int64_t>(fUnits + 0.5));
        return Limit((fWhole - bOffset) * fScale, 255.0);
    }
    if (bKind == PLOT_DARK)
        return Limit(static_cast<double>(static_cast<int64_t>(fUnits + 0.5)), 255.0);
    if (bKind == PLOT_FRAMES)
        return Limit(fUnits, 255.0);
    return Limit((fUnits - bOffset) * fScale + 0.5, 255.0);
}

void MagnifiedScaling(uint8_t bKind, uint8_t* pbOffset, double* pfScale)
{
    *pbOffset = 0;
    *pfScale = 1.0;
    if (bKind == PLOT_DARK || bKind == PLOT_FRAMES)
        return;
    uint16_t unStart = ZoomStartWavelength();
    double fLow = 1e9, fHigh = -1e9;
    for (int i = 0; i < GRAPH_COLUMNS; i++) {
        int32_t nNm = unStart + i > SPECTRUM_LAST_NM ? SPECTRUM_LAST_NM : unStart + i;
        double f = PlotUnits(bKind, nNm);
        if (bKind == PLOT_LIGHT)
            f = static_cast<double>(static_cast<int64_t>(f + 0.5));
        fLow = f < fLow ? f : fLow;
        fHigh = f > fHigh ? f : fHigh;
    }
    double fBottom = std::floor(fLow), fTop = fHigh;
    if (fTop - fBottom < MAGNIFY_MIN_SPAN) {
        fBottom = std::floor((fLow + fHigh) / 2.0 - MAGNIFY_MIN_SPAN / 2.0);
        fTop = fBottom + MAGNIFY_MIN_SPAN;
    }
    // The offset is a byte: a window reaching below 0 units starts at 0, one
    // above 255 at 255.
    if (fBottom < 0.0) {
        fTop -= fBottom;
        fBottom = 0.0;
    }
    if (fBottom > 255.0)
        fBottom = 255.0;
    *pbOffset = static_cast<uint8_t>(fBottom);
    *pfScale = 100.0 / (fTop - fBottom);
}

void PlotMagnified(uint8_t bKind, uint8_t bOffset, double fScale)
{
    for (int i = 0; i < GRAPH_COLUMNS; i++) {
        uint8_t bHeight = ZoomedPlotValue(bKind, static_cast<uint8_t>(i), bOffset, fScale);
        GraphSetTracePoint(static_cast<uint8_t>(i), bHeight > 100 ? 100 : bHeight);
    }
}
