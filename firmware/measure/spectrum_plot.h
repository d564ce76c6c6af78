// The plotter's trace filled from the last reading: the scan spectrum, the
// detector signals of the diagnostic plots and the magnified view.
#pragma once

#include <cstdint>

// Plot kinds: what a trace shows, in plot units of 0..100 rows.
constexpr uint8_t PLOT_TRANSMITTANCE = 0;  // %T, 100 rows for 0..100 %
constexpr uint8_t PLOT_ABSORBANCE = 1;     // (A + 0.3) / 2.8 * 100: 100 rows for -0.3..2.5 A (any other kind too)
constexpr uint8_t PLOT_LIGHT = 7;          // (light - dark counts) * 0.0016 of the wavelength's pixel
constexpr uint8_t PLOT_DARK = 8;           // dark counts * 0.005
constexpr uint8_t PLOT_FRAMES = 9;         // frame count

// Fills all 126 trace columns (column c at 330 + 4 c nm) with the kind's
// value, rounded and limited to 0..100.
void PlotSpectrum(uint8_t bKind);
// The kind's value at a wavelength in plot units, before rounding: the
// quantity the magnified view scales.
double PlotUnits(uint8_t bKind, int32_t nNm);
// First wavelength of the magnified view: the zoom box's first column (or the
// held gbZoomStart), at most 705 nm.
uint16_t ZoomStartWavelength();
// Column i of the magnified view (wavelength ZoomStartWavelength() + i) as a
// height: for kind 7 the truncated units less bOffset times fScale, for kinds
// 8 and 9 the units unscaled, otherwise (units - bOffset) * fScale rounded;
// always limited to 0..255.
uint8_t ZoomedPlotValue(uint8_t bKind, uint8_t bColumn, uint8_t bOffset, double fScale);

// The magnified view's offset and scale: the lowest plot units over the
// window (rounded down to whole units, the offset being a byte) map to the
// bottom and the highest to the top of the 100-row plot, offset = lowest,
// scale = 100 / (highest - lowest); a span below MAGNIFY_MIN_SPAN units is
// widened to it around its middle, so that flat noise is not blown up.
// Kinds 8 and 9 are shown unscaled (offset 0, scale 1).
constexpr int MAGNIFY_MIN_SPAN = 10;
void MagnifiedScaling(uint8_t bKind, uint8_t* pbOffset, double* pfScale);
// Fills the trace with the magnified view, heights limited to the plot's 100 rows.
void PlotMagnified(uint8_t bKind, uint8_t bOffset, double fScale);
