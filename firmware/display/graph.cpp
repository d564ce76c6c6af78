// The graph plotter: axes, ticks, markers, the trace with its split rise and
// fall, the inverting cross-hair and zoom box, and the axis-label scripts.
#include "display/graph.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/bridge.h"
#include "core/timers.h"
#include "display/font.h"
#include "display/lcd.h"
#include "display/script.h"

uint8_t gbGraphType = GRAPH_NONE;
uint8_t gbGraphLeft = 92;
uint8_t gbGraphBase = 110;
uint8_t gbGraphWidth = 125;
uint8_t gbGraphHeight = 100;
uint8_t gabXTicks[GRAPH_X_TICKS] = {255, 255, 255, 255, 255, 255, 255, 255};
uint8_t gabYTicks[GRAPH_Y_TICKS] = {255, 255, 255, 255, 255};
uint16_t gawMarkers[GRAPH_MARKERS] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF,
                                      0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF,
                                      0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
uint8_t gabTrace[GRAPH_COLUMNS];
uint8_t gbCursorColumn = GRAPH_NONE_8;
uint8_t gbCursorShown = 0;
uint8_t gbZoomEnabled = 0;
uint8_t gbBoxX = GRAPH_NONE_8;
uint8_t gbBoxY = GRAPH_NONE_8;
uint8_t gbBoxShown = 0;
uint8_t gbBoxYSet = 0;
uint8_t gbZoomStart = 0;
uint8_t gbZoomHold = 0;

namespace {

constexpr uint8_t AXIS_LEFT = 92;
constexpr uint8_t AXIS_BASE = 110;
constexpr uint8_t PLOT_WIDTH = 125;
constexpr uint8_t kabTypeHeight[5] = {0, 100, 100, 80, 68};

// Where the cross-hair and the box were drawn, so that hiding them inverts
// exactly the pixels that showing them inverted, whatever changed meanwhile.
uint8_t gbShownCursorX = 0, gbShownCursorRow = 0, gbShownCursorLine = 0;
uint8_t gbShownBoxX = 0, gbShownBoxY = 0, gbShownBoxLeftEdge = 0;

uint16_t* gpunPanPosition = nullptr;  // the magnified view's position while panning
uint16_t gunPanLow = 0;               // its lowest value

// Trace gaps start out empty.
struct TraceInit {
    TraceInit()
    {
        for (uint8_t& b : gabTrace)
            b = GRAPH_NONE_8;
    }
} gTraceInit;

uint8_t Clamp(int n, int nLow, int nHigh) { return static_cast<uint8_t>(n < nLow ? nLow : n > nHigh ? nHigh : n); }

uint8_t Column(int x) { return static_cast<uint8_t>(gbGraphLeft + x); }
uint8_t Row(int y) { return static_cast<uint8_t>(gbGraphBase - y); }

void Line(uint8_t bMode, uint8_t x0, uint8_t y0, uint8_t x1, uint8_t y1)
{
    LcdMoveTo(x0, y0);
    LcdLine(bMode, x1, y1);
}

void DrawMarker(uint16_t wMarker)
{
    int x = wMarker >> 8, y = wMarker & 0xFF;
    uint8_t cx = Column(x), cy = Row(y);
    if (x > 4)
        Line(LINE_SET, cx, cy, Column(x - 2), cy);
    if (x + 4 < gbGraphWidth)
        Line(LINE_SET, cx, cy, Column(x + 2), cy);
    if (y + 4 < gbGraphHeight)
        Line(LINE_SET, cx, cy, cx, Row(y + 2));
    if (y > 4)
        Line(LINE_SET, cx, cy, cx, Row(y - 2));
}

// Joins trace columns i and i + 1: the rise or fall is split at its
// midpoint between the two columns, so the trace stays connected.
void DrawTraceStep(int i)
{
    int a = gabTrace[i], b = gabTrace[i + 1];
    if (a == GRAPH_NONE_8 || b == GRAPH_NONE_8)
        return;
    if (a > gbGraphHeight)
        a = gbGraphHeight;
    if (b > gbGraphHeight)
        b = gbGraphHeight;
    int m = a + (b - a) / 2;
    Line(LINE_SET, Column(i), Row(a), Column(i), Row(m));
    if (m != b)
        m += b > m ? 1 : -1;
    Line(LINE_SET, Column(i + 1), Row(m), Column(i + 1), Row(b));
}

void InvertCursor()
{
    if (gbShownCursorX != gbGraphLeft)
        Line(LINE_DOTTED_INVERT, gbShownCursorX, Row(1), gbShownCursorX, Row(gbGraphHeight));
    if (gbShownCursorLine)
        Line(LINE_DOTTED_INVERT, Column(1), gbShownCursorRow, Column(gbGraphWidth), gbShownCursorRow);
}

void ShowCursor()
{
    if (gbCursorShown || gbCursorColumn == GRAPH_NONE_8)
        return;
    gbShownCursorX = Column(gbCursorColumn);
    // A column without a value has no horizontal hair.
    uint8_t bValue = gbCursorColumn < GRAPH_COLUMNS ? gabTrace[gbCursorColumn] : GRAPH_NONE_8;
    gbShownCursorLine = bValue != GRAPH_NONE_8;
    gbShownCursorRow = Row(bValue > gbGraphHeight ? gbGraphHeight : bValue);
    InvertCursor();
    gbCursorShown = 1;
}

void HideCursor()
{
    if (!gbCursorShown)
        return;
    InvertCursor();
    gbCursorShown = 0;
}

// The box outline, each pixel inverted once: top edge columns 0..31, right
// edge rows 1..39 of column 31, bottom edge columns 1..30 of row 39, left
// edge rows 1..39 of column 0 unless the box stands on the y-axis.
void InvertBox()
{
    uint8_t x0 = gbShownBoxX, y0 = gbShownBoxY;
    uint8_t x1 = static_cast<uint8_t>(x0 + BOX_WIDTH - 1), y1 = static_cast<uint8_t>(y0 + BOX_HEIGHT - 1);
    Line(LINE_INVERT, x0, y0, x1, y0);
    Line(LINE_INVERT, x1, static_cast<uint8_t>(y0 + 1), x1, y1);
    Line(LINE_INVERT, static_cast<uint8_t>(x0 + 1), y1, static_cast<uint8_t>(x1 - 1), y1);
    if (gbShownBoxLeftEdge)
        Line(LINE_INVERT, x0, static_cast<uint8_t>(y0 + 1), x0, y1);
}

// Takes the box row from the trace at column bColumn when it is not chosen yet.
void ChooseBoxRow(uint8_t bColumn)
{
    if (gbBoxYSet)
        return;
    uint8_t bValue = bColumn < GRAPH_COLUMNS ? gabTrace[bColumn] : 0;
    gbBoxY = Clamp(bValue, BOX_HALF_HEIGHT, gbGraphHeight - BOX_HALF_HEIGHT);
    gbBoxYSet = 1;
}

void ShowBox()
{
    if (gbBoxShown)
        return;
    uint8_t bx = Clamp(gbBoxX, BOX_HALF_WIDTH, gbGraphWidth - BOX_HALF_WIDTH);
    uint8_t by = Clamp(gbBoxY, BOX_HALF_HEIGHT, gbGraphHeight - BOX_HALF_HEIGHT);
    gbShownBoxX = Column(bx - BOX_HALF_WIDTH);
    gbShownBoxY = Row(by + BOX_HALF_HEIGHT);
    gbShownBoxLeftEdge = bx != BOX_HALF_WIDTH;
    InvertBox();
    gbBoxShown = 1;
}

void HideBox()
{
    if (!gbBoxShown)
        return;
    InvertBox();
    gbBoxShown = 0;
}

}  // namespace

uint16_t ColumnToWavelength(uint8_t bColumn)
{
    if (bColumn > PLOT_WIDTH)
        bColumn = PLOT_WIDTH;
    return static_cast<uint16_t>(330 + bColumn * 500 / PLOT_WIDTH);
}

void GraphReset()
{
    gbGraphType = GRAPH_NONE;
    gbCursorColumn = GRAPH_NONE_8;
    gbBoxX = GRAPH_NONE_8;
    gbBoxY = GRAPH_NONE_8;
    gbCursorShown = 0;
    gbBoxShown = 0;
    gbBoxYSet = 0;
    gbZoomEnabled = 0;
    gpunPanPosition = nullptr;
    for (uint8_t& b : gabXTicks)
        b = GRAPH_NONE_8;
    for (uint8_t& b : gabYTicks)
        b = GRAPH_NONE_8;
    for (uint16_t& w : gawMarkers)
        w = GRAPH_NO_MARKER;
}

void GraphSetXTick(uint8_t bIndex, uint8_t x)
{
    if (bIndex < GRAPH_X_TICKS)
        gabXTicks[bIndex] = x;
}

void GraphSetYTick(uint8_t bIndex, uint8_t y)
{
    if (bIndex < GRAPH_Y_TICKS)
        gabYTicks[bIndex] = y;
}

void GraphSetMarker(uint8_t bIndex, uint8_t x, uint8_t y)
{
    if (bIndex < GRAPH_MARKERS)
        gawMarkers[bIndex] = static_cast<uint16_t>(x << 8 | y);
}

void GraphSetTracePoint(uint8_t bColumn, uint8_t bHeight)
{
    if (bColumn < GRAPH_COLUMNS)
        gabTrace[bColumn] = bHeight;
}

void GraphDraw(uint8_t bType)
{
    gbGraphType = bType;
    if (bType == GRAPH_NONE)
        return;
    if (bType <= GRAPH_LOWER_MORE) {
        gbGraphLeft = AXIS_LEFT;
        gbGraphBase = AXIS_BASE;
        gbGraphWidth = PLOT_WIDTH;
        gbGraphHeight = kabTypeHeight[bType];
        gbZoomEnabled = bType == GRAPH_ZOOM_BOX;
        if (gbZoomEnabled)
            gbBoxYSet = 0;
        Line(LINE_SET, gbGraphLeft, gbGraphBase, Column(gbGraphWidth), gbGraphBase);
        Line(LINE_SET, gbGraphLeft, gbGraphBase, gbGraphLeft, Row(gbGraphHeight));
    }
    for (uint8_t t : gabXTicks)
        if (t != GRAPH_NONE_8)
            Line(LINE_SET, Column(t), gbGraphBase, Column(t), static_cast<uint8_t>(gbGraphBase + 4));
    for (uint8_t t : gabYTicks)
        if (t != GRAPH_NONE_8)
            Line(LINE_SET, gbGraphLeft, Row(t), static_cast<uint8_t>(gbGraphLeft - 4), Row(t));
    for (uint16_t w : gawMarkers)
        if (w != GRAPH_NO_MARKER)
            DrawMarker(w);
    for (int i = 0; i + 1 < GRAPH_COLUMNS; i++)
        DrawTraceStep(i);
    LcdRefresh();
}

void GraphClearArea()
{
    // From the y-axis labels' column (28 left of the axis) to the right edge,
    // from the plot's top row to the x-axis labels' last row.
    int nFirstByte = (gbGraphLeft - 28) / 8;
    for (int y = gbGraphBase - gbGraphHeight; y <= gbGraphBase + 6 && y < LCD_HEIGHT; y++)
        for (int b = nFirstByte < 0 ? 0 : nFirstByte; b < LCD_BYTES_PER_ROW; b++)
            LcdWriteByte(static_cast<uint16_t>(LCD_GRAPHIC_BASE + LCD_BYTES_PER_ROW * y + b), 0);
    gbCursorShown = 0;
    gbBoxShown = 0;
}

void GraphMoveCursor(uint8_t bColumn)
{
    if (bColumn == GRAPH_NONE_8)
        bColumn = 0;
    if (bColumn > gbGraphWidth)
        bColumn = gbGraphWidth;
    if (gpunPanPosition)
        return;
    HideCursor();
    if (gbZoomEnabled)
        HideBox();
    gbBoxX = Clamp(bColumn, BOX_HALF_WIDTH, gbGraphWidth - BOX_HALF_WIDTH - 1);
    gbCursorColumn = bColumn;
    ShowCursor();
    if (gbZoomEnabled) {
        ChooseBoxRow(gbCursorColumn);
        ShowBox();
    }
    LcdRefresh();
}

void GraphMoveBoxX(uint8_t bColumn)
{
    if (bColumn == GRAPH_NONE_8)
        bColumn = 0;
    if (bColumn > gbGraphWidth - 1)
        bColumn = static_cast<uint8_t>(gbGraphWidth - 1);
    if (gpunPanPosition)
        return;
    HideCursor();
    HideBox();
    gbBoxX = Clamp(bColumn, BOX_HALF_WIDTH, gbGraphWidth - BOX_HALF_WIDTH - 1);
    ShowCursor();
    if (gbZoomEnabled) {
        ChooseBoxRow(gbBoxX);
        ShowBox();
    }
    LcdRefresh();
}

void GraphMoveBoxY(uint8_t bRow)
{
    HideBox();
    gbBoxY = Clamp(bRow, BOX_HALF_HEIGHT, gbGraphHeight - BOX_HALF_HEIGHT);
    gbBoxYSet = 1;
    ShowBox();
}

void GraphKey(uint8_t bKey)
{
    if (gbGraphType == GRAPH_CURSOR && gpunPanPosition) {
        uint16_t unPosition = *gpunPanPosition;
        if (bKey == KEY_LEFT && unPosition > gunPanLow)
            unPosition--;
        else if (bKey == KEY_RIGHT && unPosition < gunPanLow + gbGraphWidth)
            unPosition++;
        if (unPosition != *gpunPanPosition) {
            HideCursor();
            *gpunPanPosition = unPosition;
            gbCursorColumn = static_cast<uint8_t>(unPosition - gunPanLow);
            ShowCursor();
        }
    } else if (gbGraphType == GRAPH_CURSOR) {
        if (bKey == KEY_LEFT)
            GraphMoveCursor(static_cast<uint8_t>(gbCursorColumn - 1));
        else if (bKey == KEY_RIGHT)
            GraphMoveCursor(static_cast<uint8_t>(gbCursorColumn + 1));
    } else if (gbGraphType == GRAPH_ZOOM_BOX) {
        if (bKey == KEY_UP)
            GraphMoveBoxY(static_cast<uint8_t>(gbBoxY + 1));
        else if (bKey == KEY_DOWN)
            GraphMoveBoxY(static_cast<uint8_t>(gbBoxY - 1));
        else if (bKey == KEY_LEFT)
            GraphMoveBoxX(static_cast<uint8_t>(gbBoxX - 1));
        else if (bKey == KEY_RIGHT)
            GraphMoveBoxX(static_cast<uint8_t>(gbBoxX + 1));
    }
    LcdRefresh();
}

uint8_t GraphBoxLeft()
{
    return static_cast<uint8_t>(Clamp(gbBoxX, BOX_HALF_WIDTH, gbGraphWidth - BOX_HALF_WIDTH) - BOX_HALF_WIDTH);
}

void GraphPan(uint16_t* punPosition, uint16_t unLow)
{
    gpunPanPosition = punPosition;
    gunPanLow = unLow;
    if (!punPosition)
        return;
    HideCursor();
    uint16_t unHigh = static_cast<uint16_t>(unLow + gbGraphWidth);
    if (*punPosition < unLow)
        *punPosition = unLow;
    if (*punPosition > unHigh)
        *punPosition = unHigh;
    gbCursorColumn = static_cast<uint8_t>(*punPosition - unLow);
    ShowCursor();
    LcdRefresh();
}

namespace {

// Labels keep two columns clear of the soft-key frames (columns 5..63).
constexpr int LABEL_FIRST_COLUMN = 66;

// Ink of a digit-font text of n characters: 5 columns per cell, the last
// column of a cell blank.
int DigitInk(int nChars) { return nChars > 0 ? 5 * nChars - 1 : 0; }

// Draws a text in the digit font with its ink from column x, its rows
// y .. y + 4.
void DigitText(int x, int y, const char* pszText)
{
    if (x < 0)
        x = 0;
    if (x > LCD_WIDTH - 1)
        x = LCD_WIDTH - 1;
    // The digit font draws 5 rows below the cursor.
    gbCursorX = static_cast<uint8_t>(x);
    gbCursorY = static_cast<uint8_t>(y - 5);
    gbFont = 2;
    gbInverse = 0;
    LcdPutString(pszText);
    gbFont = 0;
}

// A y-axis label: the ink of its last cell ends one column left of the
// ticks (or of the axis, without ticks), and its rows lie inside the plot's
// span beside the row it names.
void YLabel(const char* pszText, uint8_t bRow, bool bBottom)
{
    bool bTicks = false;
    for (uint8_t t : gabYTicks)
        bTicks = bTicks || t != GRAPH_NONE_8;
    int nEnd = gbGraphLeft - (bTicks ? 7 : 2);
    int nLength = static_cast<int>(std::strlen(pszText));
    DigitText(nEnd - DigitInk(nLength) + 1, bBottom ? bRow - 4 : bRow, pszText);
}

// The number with bDecimals decimals; a value that rounds to zero is "0",
// never "-0".
int FixedText(char* pszText, size_t nSize, double fValue, uint8_t bDecimals)
{
    int n = std::snprintf(pszText, nSize, "%.*f", bDecimals, fValue);
    if (pszText[0] == '-' && std::strspn(pszText + 1, "0.") == std::strlen(pszText + 1))
        n = std::snprintf(pszText, nSize, "%.*f", bDecimals, 0.0);
    return n;
}

}  // namespace

uint8_t GraphLabelDecimals(double fLow, double fHigh, uint8_t bChars)
{
    char szText[32];
    for (int d = 3; d > 0; d--)
        if (FixedText(szText, sizeof szText, fLow, static_cast<uint8_t>(d)) <= bChars &&
            FixedText(szText, sizeof szText, fHigh, static_cast<uint8_t>(d)) <= bChars)
            return static_cast<uint8_t>(d);
    return 0;
}

uint8_t GraphAxisRange(double* pfLow, double* pfHigh, uint8_t bChars)
{
    for (int d = 3; d >= 0; d--) {
        double fUnit = std::pow(10.0, -d);
        // A hair of tolerance, so that 0.24 stays 0.24 and is not taken
        // down to 0.23 by its binary rounding.
        double fLow = std::floor(*pfLow / fUnit + 1e-6) * fUnit;
        double fHigh = std::ceil(*pfHigh / fUnit - 1e-6) * fUnit;
        if (fHigh <= fLow)
            fHigh = fLow + fUnit;
        char szText[32];
        if (d == 0 || (FixedText(szText, sizeof szText, fLow, static_cast<uint8_t>(d)) <= bChars &&
                       FixedText(szText, sizeof szText, fHigh, static_cast<uint8_t>(d)) <= bChars)) {
            *pfLow = fLow;
            *pfHigh = fHigh;
            return static_cast<uint8_t>(d);
        }
    }
    return 0;
}

void GraphLabelYValues(double fBottom, double fTop, uint8_t bDecimals)
{
    char szText[32];
    FixedText(szText, sizeof szText, fBottom, bDecimals);
    YLabel(szText, gbGraphBase, true);
    FixedText(szText, sizeof szText, fTop, bDecimals);
    YLabel(szText, static_cast<uint8_t>(gbGraphBase - gbGraphHeight), false);
    LcdRefresh();
}

void GraphLabelXTexts(const char* pszFirst, const char* pszLast)
{
    // Each text centred under its end of the axis, kept on the display and
    // clear of the y-axis labels' corner; rows base + 2 .. base + 6, under
    // the ticks' ends.
    int nFirst = DigitInk(static_cast<int>(std::strlen(pszFirst)));
    int nLast = DigitInk(static_cast<int>(std::strlen(pszLast)));
    int xFirst = gbGraphLeft - nFirst / 2;
    if (xFirst < LABEL_FIRST_COLUMN)
        xFirst = LABEL_FIRST_COLUMN;
    int xLast = gbGraphLeft + gbGraphWidth - nLast / 2;
    if (xLast + nLast > LCD_WIDTH)
        xLast = LCD_WIDTH - nLast;
    DigitText(xFirst, gbGraphBase + 2, pszFirst);
    DigitText(xLast, gbGraphBase + 2, pszLast);
    LcdRefresh();
}

void GraphLabelXAxis(uint16_t unFirstNm, uint16_t unLastNm)
{
    gnShowI11 = unFirstNm;
    gnShowI10 = unLastNm;
    char szFirst[8], szLast[8];
    std::snprintf(szFirst, sizeof szFirst, "%u", unFirstNm);
    std::snprintf(szLast, sizeof szLast, "%u", unLastNm);
    GraphLabelXTexts(szFirst, szLast);
}

void GraphLabelYAxis(uint8_t bKind, uint8_t bOffset, double fScale)
{
    if (fScale <= 0.0)
        fScale = 1.0;
    double fBottom = bOffset;
    double fTop = bOffset + gbGraphHeight / fScale;
    if (bKind == 0 || bKind == 7 || bKind == 8 || bKind == 9) {
        // Plot units back to %T, counts or frames, shown as whole numbers.
        double fPerUnit = bKind == 7 ? 1.0 / 0.0016 : bKind == 8 ? 1.0 / 0.005 : 1.0;
        gnShowI3 = static_cast<int32_t>(fBottom * fPerUnit + 0.5);
        gnShowI4 = static_cast<int32_t>(fTop * fPerUnit + 0.5);
        GraphLabelYValues(gnShowI3, gnShowI4, 0);
    } else {
        // Plot units back to absorbance: 100 rows for -0.3..2.5 A; both ends
        // with the same decimals, five characters at most.
        gfShowD7 = fBottom * 0.028 - 0.3;
        gfShowD8 = fTop * 0.028 - 0.3;
        GraphLabelYValues(gfShowD7, gfShowD8, GraphLabelDecimals(gfShowD7, gfShowD8, 5));
    }
}
