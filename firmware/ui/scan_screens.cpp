// The scan screens: the spectrum of the last reading with its cursor and
// "Value = " readout (22), the zoom box that selects a window (23), the
// magnified window at 1 nm per column (24), and the service screen's
// detector-signal plots shown through the same screens (sub-states 7, 8, 9).
#include <cstdint>

#include "core/timers.h"
#include "display/graph.h"
#include "display/script.h"
#include "measure/reading.h"
#include "measure/spectrum_plot.h"
#include "storage/params.h"
#include "ui/ui.h"
#include "ui/ui_internal.h"

uint16_t gunZoomCursorNm = WAVELENGTH_MIN;  // cursor wavelength of the magnified view, its window's first..last nm

namespace {

// The zoom box as the operator left it, redrawn with the plot.
uint8_t gbZoomBoxColumn = 15;  // 15..109
uint8_t gbZoomBoxRow = 20;     // 20..80
uint8_t gbZoomBoxRowSet = 0;   // 0: the row is taken from the trace

constexpr uint8_t SCAN_COLUMNS = 125;  // last plot column
constexpr uint8_t READOUT_X = 68;      // "Value = " on the top line
constexpr uint8_t READOUT_CELLS = 15;  // cells up to the wavelength at x = 160

bool DiagnosticPlot() { return gunScreenSubState >= PLOT_LIGHT && gunScreenSubState <= PLOT_FRAMES; }

uint8_t ScanPlotKind()
{
    if (DiagnosticPlot())
        return gunScreenSubState;
    return gbTransmittanceMode ? PLOT_TRANSMITTANCE : PLOT_ABSORBANCE;
}

uint8_t ColumnOfWavelength(uint16_t unNm)
{
    int nColumn = (unNm - WAVELENGTH_MIN + 2) / 4;
    return static_cast<uint8_t>(nColumn < 0 ? 0 : nColumn > SCAN_COLUMNS ? SCAN_COLUMNS : nColumn);
}

// The readout of the top line at the cursor's wavelength: the absorbance or
// %T (0.000 A and 100.0 %T after a reference), or for a detector plot the
// counts or frames of the wavelength's pixel.
void DrawReadout(uint16_t unNm)
{
    EraseCells(READOUT_X, 1, READOUT_CELLS);
    gnShowI1 = unNm;
    if (DiagnosticPlot()) {
        int32_t nPixel = WavelengthToPixel(unNm);
        int32_t nValue = gunScreenSubState == PLOT_LIGHT ? gunLightReadings[nPixel] - gunDarkReadings[nPixel]
                       : gunScreenSubState == PLOT_DARK  ? gunDarkReadings[nPixel]
                                                         : gbFrameCounts[nPixel];
        gnShowI12 = nValue < 0 ? 0 : nValue;
        DrawFragment(FRAG_SCAN_VALUE_SIGNAL);
        return;
    }
    gfShowD1 = gbReferenceOnly ? 0.0 : Absorbance(unNm);
    gfShowD4 = gbReferenceOnly ? 100.0 : Transmittance(unNm);
    DrawFragment(gbTransmittanceMode ? FRAG_SCAN_VALUE_TRANS : FRAG_SCAN_VALUE_ABS);
}

void SaveZoomBox()
{
    gbZoomBoxColumn = gbBoxX;
    gbZoomBoxRow = gbBoxY;
    gbZoomBoxRowSet = gbBoxYSet;
}

void LeaveMagnifiedView()
{
    gbZoomHold = 0;
    gbScanColumn = ColumnOfWavelength(gunZoomCursorNm);
    ShowStateScreen(STATE_SCAN);
}

}  // namespace

// Every redraw clears the plot area first, so that a mode change or a new
// reading never leaves the old trace behind, and recomputes the readout.
void DrawScan(uint8_t bState)
{
    GraphClearArea();
    GraphReset();
    uint8_t bKind = ScanPlotKind();
    // A detector plot has no Abs/%T choice: its soft keys are Zoom and Print.
    if (bState == STATE_SCAN && DiagnosticPlot())
        DisplayScript("F0A0 k10 X8Y43T35 X8Y101T19");
    if (bState == STATE_SCAN_ZOOMED) {
        uint16_t unStart = ZoomStartWavelength();
        uint8_t bOffset = 0;
        double fScale = 1.0;
        MagnifiedScaling(bKind, &bOffset, &fScale);
        PlotMagnified(bKind, bOffset, fScale);
        GraphDraw(GRAPH_CURSOR);
        GraphPan(&gunZoomCursorNm, unStart);
        GraphLabelXAxis(unStart, static_cast<uint16_t>(unStart + SCAN_COLUMNS));
        GraphLabelYAxis(bKind, bOffset, fScale);
        DrawReadout(gunZoomCursorNm);
        return;
    }
    PlotSpectrum(bKind);
    if (bState == STATE_SCAN_ZOOM_SELECT) {
        GraphDraw(GRAPH_ZOOM_BOX);
        gbBoxYSet = gbZoomBoxRowSet;
        gbBoxY = gbZoomBoxRow;
        GraphMoveCursor(gbScanColumn);
        GraphMoveBoxX(gbZoomBoxColumn);
        SaveZoomBox();
    } else {
        GraphDraw(GRAPH_CURSOR);
        GraphMoveCursor(gbScanColumn);
    }
    GraphLabelXAxis(WAVELENGTH_MIN, WAVELENGTH_MAX);
    GraphLabelYAxis(bKind, 0, 1.0);
    DrawReadout(ColumnToWavelength(gbScanColumn));
}

// Enters the scan from bReturn, the screen Escape goes back to.
void GoScan(uint8_t bReturn)
{
    gunScanReturnState = bReturn;
    gunScreenSubState = 0;
    gbZoomHold = 0;
    ShowStateScreen(STATE_SCAN);
}

void HandleScan()
{
    if (gunKeyCode == KEY_LEFT || gunKeyCode == KEY_RIGHT) {
        GraphKey(gunKeyCode);
        gbScanColumn = gbCursorColumn;
        DrawReadout(ColumnToWavelength(gbScanColumn));
    } else if (HandleReadingKeys()) {
    } else if (gunKeyCode == KEY_SOFT1) {
        if (DiagnosticPlot())
            return;
        SetTransmittanceMode(gbTransmittanceMode ? 0 : 1);
        DrawScreen();
    } else if (gunKeyCode == KEY_SOFT2) {
        // The box starts with its left edge at the cursor, so that zooming
        // without moving it magnifies from the cursor's wavelength on.
        gbZoomBoxColumn = static_cast<uint8_t>(gbScanColumn + BOX_HALF_WIDTH > SCAN_COLUMNS - BOX_HALF_WIDTH - 1
                                                   ? SCAN_COLUMNS - BOX_HALF_WIDTH - 1
                                                   : gbScanColumn + BOX_HALF_WIDTH);
        gbZoomBoxRowSet = 0;
        ShowStateScreen(STATE_SCAN_ZOOM_SELECT);
    } else if (gunKeyCode == KEY_SOFT4) {
        GoPrint(STATE_SCAN);
    } else if (gunKeyCode == KEY_ESCAPE) {
        uint8_t bReturn = gunScanReturnState;
        gunScreenSubState = 0;
        ShowStateScreen(bReturn < STATE_PC_CONTROL && gScreenStates[bReturn].pfnHandler ? bReturn
                                                                                       : uint8_t{STATE_MEASURE_MENU});
    }
}

void HandleZoomSelect()
{
    if (gunKeyCode == KEY_LEFT || gunKeyCode == KEY_RIGHT || gunKeyCode == KEY_UP || gunKeyCode == KEY_DOWN) {
        GraphKey(gunKeyCode);
        SaveZoomBox();
    } else if (gunKeyCode == KEY_SOFT1) {
        gbZoomHold = 0;
        gbBoxX = gbZoomBoxColumn;
        gunZoomStart = ZoomStartWavelength();
        gbZoomHold = 1;
        uint16_t unCursorNm = ColumnToWavelength(gbScanColumn);
        gunZoomCursorNm = unCursorNm < gunZoomStart               ? gunZoomStart
                        : unCursorNm > gunZoomStart + SCAN_COLUMNS ? static_cast<uint16_t>(gunZoomStart + SCAN_COLUMNS)
                                                                   : unCursorNm;
        ShowStateScreen(STATE_SCAN_ZOOMED);
    } else if (gunKeyCode == KEY_ESCAPE) {
        ShowStateScreen(STATE_SCAN);
    }
}

void HandleZoomed()
{
    if (gunKeyCode == KEY_LEFT || gunKeyCode == KEY_RIGHT) {
        GraphKey(gunKeyCode);
        DrawReadout(gunZoomCursorNm);
    } else if (HandleReadingKeys()) {
    } else if (gunKeyCode == KEY_SOFT1 || gunKeyCode == KEY_ESCAPE) {
        LeaveMagnifiedView();
    } else if (gunKeyCode == KEY_SOFT4) {
        GoPrint(STATE_SCAN_ZOOMED);
    }
}
