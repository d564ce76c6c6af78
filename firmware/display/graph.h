// The graph plotter: one plot area with two axes, tick marks, up to 20 point
// markers, one trace of 126 columns, a dotted cross-hair cursor and, on
// scans, a zoom box that selects the part of a spectrum to magnify. Graph
// coordinates count x to the right from the y-axis and y upward from the
// x-axis; graph point (x, y) is display column gbGraphLeft + x, row
// gbGraphBase - y. The axis labels are drawn in the digit font at the ends
// of the axes, each beside the end it names.
#pragma once

#include <cstdint>

// Plot types.
constexpr uint8_t GRAPH_NONE = 0;
constexpr uint8_t GRAPH_CURSOR = 1;      // plot with a cursor
constexpr uint8_t GRAPH_ZOOM_BOX = 2;    // plot with a cursor and the zoom box
constexpr uint8_t GRAPH_LOWER = 3;       // plot with room below it (80 rows)
constexpr uint8_t GRAPH_LOWER_MORE = 4;  // plot with more room below it (68 rows)

constexpr int GRAPH_X_TICKS = 8;
constexpr int GRAPH_Y_TICKS = 5;
constexpr int GRAPH_MARKERS = 20;
constexpr int GRAPH_COLUMNS = 126;        // trace columns 0..125
constexpr uint8_t GRAPH_NONE_8 = 255;     // no tick, no trace value, no cursor
constexpr uint16_t GRAPH_NO_MARKER = 0xFFFF;

// Zoom box: 32 columns by 40 rows, its centre column kept 15 columns and its
// centre row 20 rows away from the plot's edges.
constexpr uint8_t BOX_WIDTH = 32;
constexpr uint8_t BOX_HEIGHT = 40;
constexpr uint8_t BOX_HALF_WIDTH = 15;
constexpr uint8_t BOX_HALF_HEIGHT = 20;

// Wavelength of the first column of the magnified view at the latest: the
// view shows 125 nm at 1 nm per column and never passes 830 nm.
constexpr uint16_t ZOOM_LAST_START_NM = 705;

extern uint8_t gbGraphType;      // GRAPH_NONE .. GRAPH_LOWER_MORE (other values: geometry kept)
extern uint8_t gbGraphLeft;      // display column of the y-axis, 92
extern uint8_t gbGraphBase;      // display row of the x-axis, 110
extern uint8_t gbGraphWidth;     // W, 125 columns
extern uint8_t gbGraphHeight;    // H: 100 (types 1, 2), 80 (type 3), 68 (type 4)
extern uint8_t gabXTicks[GRAPH_X_TICKS];   // x of the ticks under the x-axis; 255 none
extern uint8_t gabYTicks[GRAPH_Y_TICKS];   // y of the ticks left of the y-axis; 255 none
extern uint16_t gawMarkers[GRAPH_MARKERS];  // x * 256 + y; 0xFFFF none
extern uint8_t gabTrace[GRAPH_COLUMNS];     // height 0..H per column; 255 no value
extern uint8_t gbCursorColumn;   // 0..W; 255 no cursor
extern uint8_t gbCursorShown;    // 1 while the cross-hair is drawn
extern uint8_t gbZoomEnabled;    // 1 for a plot with a zoom box
extern uint8_t gbBoxX, gbBoxY;   // zoom box centre column and row
extern uint8_t gbBoxShown;       // 1 while the box outline is drawn
extern uint8_t gbBoxYSet;        // 1 once the box row is chosen (by the operator or from the trace)
extern uint8_t gbZoomStart;      // left column of the box taken for the magnified view
extern uint8_t gbZoomHold;       // 1: the magnified view keeps gbZoomStart

// Wavelength of a scan column: 330 + 4 * column nm (330..830).
uint16_t ColumnToWavelength(uint8_t bColumn);

// Type 0, no cursor, no box, no ticks, no markers, the box row not set, not
// panning. The trace is kept.
void GraphReset();
void GraphSetXTick(uint8_t bIndex, uint8_t x);
void GraphSetYTick(uint8_t bIndex, uint8_t y);
void GraphSetMarker(uint8_t bIndex, uint8_t x, uint8_t y);
void GraphSetTracePoint(uint8_t bColumn, uint8_t bHeight);
// Draws the axes (types 1..4), ticks, markers and the trace, then refreshes.
// Type 0 draws nothing.
void GraphDraw(uint8_t bType);
// Clears the plot area with its ticks and x-axis labels, so that a redrawn
// plot never crosses an older one; the cursor and the box count as hidden.
void GraphClearArea();

void GraphMoveCursor(uint8_t bColumn);
void GraphMoveBoxX(uint8_t bColumn);
void GraphMoveBoxY(uint8_t bRow);
// The arrow keys on a plot screen; refreshes the display.
void GraphKey(uint8_t bKey);
// First column of the zoom box: gbBoxX within 15..W-15, minus 15.
uint8_t GraphBoxLeft();
// The magnified view: LEFT and RIGHT step *punPosition within
// unLow..unLow + W and the cross-hair follows it at column *punPosition -
// unLow; GraphMoveCursor and GraphMoveBoxX do nothing meanwhile. A null
// position ends panning.
void GraphPan(uint16_t* punPosition, uint16_t unLow);

// Axis labels in the digit font. The x-axis: the wavelengths of its two ends.
void GraphLabelXAxis(uint16_t unFirstNm, uint16_t unLastNm);
// The x-axis: two texts, each centred under its end of the axis.
void GraphLabelXTexts(const char* pszFirst, const char* pszLast);
// The y-axis: the values of the bottom and the top row, both with bDecimals
// decimals ("-0" never shown), right-aligned left of the axis and its ticks,
// each inside the plot's span beside the row it names.
void GraphLabelYValues(double fBottom, double fTop, uint8_t bDecimals);
// The most decimals (3..0) with which both values print in bChars characters.
uint8_t GraphLabelDecimals(double fLow, double fHigh, uint8_t bChars);
// Widens [*pfLow, *pfHigh] outward to whole units of the last decimal with
// the most decimals (3..0) at which both ends print in bChars characters;
// returns those decimals. An empty range gains one unit at the top.
uint8_t GraphAxisRange(double* pfLow, double* pfHigh, uint8_t bChars);
// Characters of a y-axis label beside ticks: it then clears the soft-key
// frames.
constexpr uint8_t GRAPH_TICKED_LABEL_CHARS = 4;
// The y-axis: the values at the bottom and at the top of a plot whose
// heights are (value - bOffset) * fScale in plot units of the kind (0 %T,
// 7 light minus dark counts, 8 dark counts, 9 frames, any other absorbance).
void GraphLabelYAxis(uint8_t bKind, uint8_t bOffset, double fScale);
