// The scan screens: the spectrum with its cursor (22, also the diagnostic
// plots), the zoom-window choice (23) and the zoomed spectrum (24).
#include "core/bridge.h"
#include "core/timers.h"
#include "display/lcd.h"
#include "display/script.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui_internal.h"

namespace {

bool MoveScanCursor()
{
    if (Key(KEY_LEFT) && gbScanColumn > 0) {
        gbScanColumn--;
        return true;
    }
    if (Key(KEY_RIGHT) && gbScanColumn < 125) {
        gbScanColumn++;
        return true;
    }
    return Key(KEY_LEFT) || Key(KEY_RIGHT);
}

// The scan plot: axes at column 92 / row 110, 125 columns, 100 rows.
constexpr uint8_t PLOT_LEFT = 92;

constexpr uint8_t PLOT_BASE = 110;

constexpr int PLOT_HEIGHT = 100;

int PlotHeight(int nNm)
{
    double f;
    if (gunScreenSubState == 7 || gunScreenSubState == 8 || gunScreenSubState == 9) {
        int nPixel = WavelengthToPixel(nNm);
        if (nPixel < 0 || nPixel >= PIXEL_COUNT)
            return 0;
        if (gunScreenSubState == 7)
            f = (static_cast<double>(gunLightReadings[nPixel]) - gunDarkReadings[nPixel]) * 0.0016;
        else if (gunScreenSubState == 8)
            f = gunDarkReadings[nPixel] * 0.005;
        else
            f = gbFrameCounts[nPixel];
    } else if (gbReferenceFlag) {
        f = gbTransmittanceMode ? 100.0 : (0.0 + 0.3) / 2.8 * 100.0;
    } else if (gbTransmittanceMode) {
        f = Transmittance(nNm);
    } else {
        f = (Absorbance(nNm) + 0.3) / 2.8 * 100.0;
    }
    int n = static_cast<int>(f + 0.5);
    return n < 0 ? 0 : n > PLOT_HEIGHT ? PLOT_HEIGHT : n;
}

void DrawPlot(bool bZoomed)
{
    DrawFragment(FRAG_SCAN_AXES);
    int nPrevious = -1;
    for (int c = 0; c <= 125; c++) {
        int nNm = bZoomed ? gunZoomStart + c : WAVELENGTH_MIN + 4 * c;
        if (nNm > WAVELENGTH_MAX)
            nNm = WAVELENGTH_MAX;
        int nHeight = PlotHeight(nNm);
        uint8_t x = static_cast<uint8_t>(PLOT_LEFT + c);
        LcdMoveTo(x, static_cast<uint8_t>(PLOT_BASE - (nPrevious < 0 ? nHeight : nPrevious)));
        LcdLine(LINE_SET, x, static_cast<uint8_t>(PLOT_BASE - nHeight));
        nPrevious = nHeight;
    }
    if (!bZoomed) {
        uint8_t x = static_cast<uint8_t>(PLOT_LEFT + gbScanColumn);
        LcdMoveTo(x, PLOT_BASE - 1);
        LcdLine(LINE_DOTTED, x, PLOT_BASE - PLOT_HEIGHT);
    }
    LcdRefresh();
}

void ScanCursorValue(bool bZoomed)
{
    int nNm = bZoomed ? gunZoomStart : WAVELENGTH_MIN + 4 * gbScanColumn;
    if (nNm > WAVELENGTH_MAX)
        nNm = WAVELENGTH_MAX;
    gnShowI1 = nNm;
    gfShowD1 = gbReferenceFlag ? 0.0 : Absorbance(nNm);
    gfShowD4 = gbReferenceFlag ? 100.0 : Transmittance(nNm);
    DrawFragment(gbTransmittanceMode ? FRAG_SCAN_VALUE_TRANS : FRAG_SCAN_VALUE_ABS);
}

}  // namespace

void HandleScan()
{
    if (MoveScanCursor()) {
        DrawScreen();
    } else if (HandleReadingKeys()) {
    } else if (Key(KEY_SOFT1)) {
        SetTransmittanceMode(gbTransmittanceMode ? 0 : 1);
        DrawScreen();
    } else if (Key(KEY_SOFT2)) {
        Go(STATE_SCAN_ZOOM_SELECT);
    } else if (Key(KEY_SOFT4)) {
        GoPrint(STATE_SCAN);
    } else if (Key(KEY_ESCAPE)) {
        uint8_t bReturn = gunScanReturnState;
        gunScreenSubState = 0;
        Go(bReturn < STATE_PC_CONTROL && gScreenStates[bReturn].pfnHandler ? bReturn : uint8_t{STATE_MEASURE_MENU});
    }
}

void HandleZoomSelect()
{
    if (MoveScanCursor()) {
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        unsigned unStart = WAVELENGTH_MIN + 4u * gbScanColumn;
        gunZoomStart = static_cast<uint16_t>(unStart > 705 ? 705 : unStart);
        Go(STATE_SCAN_ZOOMED);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_SCAN);
    }
}

void HandleZoomed()
{
    if (Key(KEY_LEFT) && gunZoomStart > WAVELENGTH_MIN) {
        gunZoomStart--;
        DrawScreen();
    } else if (Key(KEY_RIGHT) && gunZoomStart < 705) {
        gunZoomStart++;
        DrawScreen();
    } else if (HandleReadingKeys()) {
    } else if (Key(KEY_SOFT1) || Key(KEY_ESCAPE)) {
        Go(STATE_SCAN);
    } else if (Key(KEY_SOFT4)) {
        GoPrint(STATE_SCAN_ZOOMED);
    }
}

void DrawScan(uint8_t bState)
{
    DrawPlot(bState == STATE_SCAN_ZOOMED);
    ScanCursorValue(bState == STATE_SCAN_ZOOMED);
}
