// The graph plotter drawn into a headless host's display memory: axes,
// ticks, markers, the trace's split steps and gaps, the inverting cross-hair
// and zoom box with their clamps, the arrow keys, and the axis labels.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "core/timers.h"
#include "display/graph.h"
#include "display/lcd.h"
#include "display/script.h"
#include "instrument.h"

namespace {

using PixelSet = std::set<std::pair<int, int>>;  // graph coordinates (x right, y up)

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LcdInit();
        GraphReset();
        for (int c = 0; c < GRAPH_COLUMNS; c++)
            gabTrace[c] = GRAPH_NONE_8;
    }
    std::vector<bool> Screen() const
    {
        std::vector<bool> ab;
        for (int y = 0; y < LCD_HEIGHT; y++)
            for (int x = 0; x < LCD_WIDTH; x++)
                ab.push_back(m_host.Pixel(x, y));
        return ab;
    }
    // Dark dots of the plot area above the x-axis and right of the y-axis.
    PixelSet PlotDots() const
    {
        PixelSet p;
        for (int x = 1; x <= 125; x++)
            for (int y = 1; y <= 100; y++)
                if (m_host.Pixel(92 + x, 110 - y))
                    p.insert({x, y});
        return p;
    }
    bool Dot(int x, int y) const { return m_host.Pixel(92 + x, 110 - y); }
    void FlatTrace(uint8_t bHeight)
    {
        for (int c = 0; c < GRAPH_COLUMNS; c++)
            GraphSetTracePoint(static_cast<uint8_t>(c), bHeight);
    }
    CInstrument m_host;  // attached as the display, never powered up
};

std::vector<std::pair<int, int>> Diff(const std::vector<bool>& a, const std::vector<bool>& b)
{
    std::vector<std::pair<int, int>> d;
    for (size_t i = 0; i < a.size(); i++)
        if (a[i] != b[i])
            d.push_back({static_cast<int>(i % LCD_WIDTH), static_cast<int>(i / LCD_WIDTH)});
    return d;
}

TEST_F(GraphTest, TypeNoneDrawsNothingAndDoesNotRefresh)
{
    FlatTrace(50);
    GraphSetMarker(0, 20, 20);
    uint32_t unRefreshes = m_host.RefreshCount();
    GraphDraw(GRAPH_NONE);
    EXPECT_EQ(m_host.RefreshCount(), unRefreshes);
    EXPECT_EQ(gbGraphType, GRAPH_NONE);
    for (bool b : Screen())
        ASSERT_FALSE(b);
}

TEST_F(GraphTest, AxesOfEachTypeAndTicks)
{
    struct Case {
        uint8_t bType;
        int nHeight;
        bool bZoom;
    };
    for (Case c : {Case{1, 100, false}, Case{2, 100, true}, Case{3, 80, false}, Case{4, 68, false}}) {
        LcdInit();
        GraphReset();
        GraphSetXTick(0, 25);
        GraphSetXTick(1, 255);
        GraphSetYTick(4, 40);
        uint32_t unRefreshes = m_host.RefreshCount();
        GraphDraw(c.bType);
        EXPECT_EQ(m_host.RefreshCount(), unRefreshes + 1);
        EXPECT_EQ(gbGraphHeight, c.nHeight);
        EXPECT_EQ(gbZoomEnabled, c.bZoom);
        EXPECT_TRUE(m_host.Pixel(92, 110 - c.nHeight)) << int(c.bType);
        EXPECT_FALSE(m_host.Pixel(92, 109 - c.nHeight)) << int(c.bType);
        EXPECT_TRUE(m_host.Pixel(217, 110));
        EXPECT_FALSE(m_host.Pixel(218, 110));
        for (int y = 110; y <= 114; y++)
            EXPECT_TRUE(m_host.Pixel(117, y)) << "x tick row " << y;
        EXPECT_FALSE(m_host.Pixel(117, 115));
        for (int x = 88; x <= 92; x++)
            EXPECT_TRUE(m_host.Pixel(x, 70)) << "y tick column " << x;
        EXPECT_FALSE(m_host.Pixel(87, 70));
    }
    // Any other type keeps the last geometry and draws no axes.
    LcdInit();
    GraphDraw(7);
    EXPECT_EQ(gbGraphHeight, 68);
    EXPECT_FALSE(m_host.Pixel(200, 110));
    EXPECT_TRUE(m_host.Pixel(117, 112)) << "ticks are still drawn";
}

// Which arms of a plus sign are drawn near the plot's edges.
TEST_F(GraphTest, MarkerArmsAtTheBorders)
{
    struct Case {
        int x, y;
        bool bLeft, bRight, bUp, bDown;
    };
    const Case kCases[] = {
        {50, 50, true, true, true, true},
        {2, 50, false, true, true, true},
        {5, 50, true, true, true, true},
        {121, 50, true, false, true, true},
        {123, 99, true, false, false, true},
        {60, 4, true, true, true, false},
        {60, 95, true, true, true, true},
        {60, 96, true, true, false, true},
    };
    for (const Case& c : kCases) {
        LcdInit();
        GraphReset();
        GraphSetMarker(3, static_cast<uint8_t>(c.x), static_cast<uint8_t>(c.y));
        GraphDraw(GRAPH_CURSOR);
        PixelSet dots = PlotDots();
        // An arm is two dots long; its inner dot belongs to no other arm.
        EXPECT_EQ(dots.count({c.x - 1, c.y}) == 1, c.bLeft) << c.x << "," << c.y << " left";
        EXPECT_EQ(dots.count({c.x + 1, c.y}) == 1, c.bRight) << c.x << "," << c.y << " right";
        EXPECT_EQ(dots.count({c.x, c.y + 1}) == 1, c.bUp) << c.x << "," << c.y << " up";
        EXPECT_EQ(dots.count({c.x, c.y - 1}) == 1, c.bDown) << c.x << "," << c.y << " down";
        EXPECT_EQ(dots.count({c.x - 2, c.y}) == 1, c.bLeft && c.x > 2);
        EXPECT_EQ(dots.count({c.x, c.y + 2}) == 1, c.bUp);
    }
}

// Values a and b in two neighbouring columns (5 and 6 here; the same
// anywhere, columns 0 and 1 included).
TEST_F(GraphTest, TraceStepsAreSplitBetweenTheTwoColumns)
{
    struct Case {
        int a, b;
        int nFirst0, nLast0;  // rows drawn in the first column
        int nFirst1, nLast1;  // rows drawn in the second
    };
    const Case kCases[] = {
        {10, 20, 10, 15, 16, 20},  // rise
        {20, 10, 15, 20, 10, 14},  // fall
        {10, 11, 10, 10, 11, 11},  // one row
        {30, 30, 30, 30, 30, 30},  // level
        {150, 0, 50, 100, 0, 49},  // clipped to the plot height first
    };
    for (const Case& c : kCases) {
        LcdInit();
        GraphReset();
        for (int i = 0; i < GRAPH_COLUMNS; i++)
            gabTrace[i] = GRAPH_NONE_8;
        GraphSetTracePoint(5, static_cast<uint8_t>(c.a));
        GraphSetTracePoint(6, static_cast<uint8_t>(c.b));
        GraphDraw(GRAPH_CURSOR);
        PixelSet expected;
        for (int y = c.nFirst0; y <= c.nLast0; y++)
            expected.insert({5, y});
        for (int y = c.nFirst1; y <= c.nLast1; y++)
            expected.insert({6, y});
        std::erase_if(expected, [](auto p) { return p.second == 0; });  // row 0 is the x-axis
        EXPECT_EQ(PlotDots(), expected) << c.a << " -> " << c.b;
    }
}

TEST_F(GraphTest, TraceGapsAroundAMissingValue)
{
    FlatTrace(50);
    GraphSetTracePoint(5, GRAPH_NONE_8);
    GraphDraw(GRAPH_CURSOR);
    EXPECT_TRUE(Dot(4, 50));
    EXPECT_FALSE(Dot(5, 50));
    EXPECT_TRUE(Dot(6, 50));
    EXPECT_TRUE(Dot(3, 50));
    for (int y = 1; y <= 100; y++)
        EXPECT_FALSE(Dot(5, y)) << y;
}

TEST_F(GraphTest, CursorAndBoxClampsAndTheBoxRowFromTheTrace)
{
    struct Case {
        uint8_t bColumn;
        uint8_t bTrace;
        int nCursor, nBoxX, nBoxY;
    };
    const Case kCases[] = {
        {200, 50, 125, 109, 50}, {255, 50, 0, 15, 50}, {5, 10, 5, 15, 20},   {60, 95, 60, 60, 80},
        {109, 40, 109, 109, 40}, {110, 40, 110, 109, 40}, {125, 0, 125, 109, 20},
    };
    for (const Case& c : kCases) {
        LcdInit();
        GraphReset();
        FlatTrace(c.bTrace);
        GraphDraw(GRAPH_ZOOM_BOX);
        GraphMoveCursor(c.bColumn);
        EXPECT_EQ(gbCursorColumn, c.nCursor) << int(c.bColumn);
        EXPECT_EQ(gbBoxX, c.nBoxX) << int(c.bColumn);
        EXPECT_EQ(gbBoxY, c.nBoxY) << int(c.bColumn);
        EXPECT_TRUE(gbBoxYSet && gbBoxShown && gbCursorShown);
    }
    // Box moves: columns to 15..109 (after 255 -> 0 and at most W - 1), rows to 20..80.
    GraphMoveBoxX(255);
    EXPECT_EQ(gbBoxX, 15);
    EXPECT_EQ(GraphBoxLeft(), 0);
    GraphMoveBoxX(130);
    EXPECT_EQ(gbBoxX, 109);
    EXPECT_EQ(GraphBoxLeft(), 94);
    GraphMoveBoxY(3);
    EXPECT_EQ(gbBoxY, 20);
    GraphMoveBoxY(250);
    EXPECT_EQ(gbBoxY, 80);
    gbBoxX = 255;
    EXPECT_EQ(GraphBoxLeft(), 95);
}

// Moving away and back leaves the display exactly as before: every hide
// restores the pixels its show inverted (cursor at column 0 has no vertical
// hair, a gap has no horizontal one, the box on the y-axis has no left edge).
TEST_F(GraphTest, ShowingAndHidingRestoresThePixels)
{
    for (int c = 0; c < GRAPH_COLUMNS; c++)
        GraphSetTracePoint(static_cast<uint8_t>(c), static_cast<uint8_t>(c % 101));
    GraphSetTracePoint(70, GRAPH_NONE_8);
    GraphSetTracePoint(71, 0);
    GraphDraw(GRAPH_ZOOM_BOX);
    const std::vector<bool> plain = Screen();
    GraphMoveCursor(40);
    const std::vector<bool> at40 = Screen();
    EXPECT_FALSE(Diff(plain, at40).empty());
    for (uint8_t bColumn : {0, 1, 15, 16, 70, 71, 100, 109, 110, 125}) {
        GraphMoveCursor(bColumn);
        EXPECT_FALSE(Diff(Screen(), at40).empty()) << int(bColumn);
        GraphMoveCursor(40);
        EXPECT_TRUE(Diff(Screen(), at40).empty()) << "after column " << int(bColumn);
    }
    ASSERT_EQ(gbBoxY, 40);
    for (uint8_t bRow : {0, 20, 55, 80, 200}) {
        GraphMoveBoxY(bRow);
        EXPECT_FALSE(Diff(Screen(), at40).empty()) << int(bRow);
        GraphMoveBoxY(40);
        EXPECT_TRUE(Diff(Screen(), at40).empty()) << "after row " << int(bRow);
    }

    // A type-1 plot: the cursor alone, then cleared with the plot area.
    LcdInit();
    GraphReset();
    GraphDraw(GRAPH_CURSOR);
    const std::vector<bool> plain1 = Screen();
    GraphMoveCursor(30);
    const std::vector<bool> at30 = Screen();
    GraphMoveCursor(90);
    GraphMoveCursor(30);
    EXPECT_TRUE(Diff(Screen(), at30).empty());
    EXPECT_FALSE(Diff(plain1, at30).empty());
    GraphClearArea();
    EXPECT_EQ(gbCursorShown, 0);
    for (bool b : Screen())
        ASSERT_FALSE(b);
}

TEST_F(GraphTest, CrossHairIsADottedInvertingLinePair)
{
    FlatTrace(40);
    GraphDraw(GRAPH_CURSOR);
    const std::vector<bool> plain = Screen();
    GraphMoveCursor(30);
    std::set<std::pair<int, int>> changed;
    for (auto p : Diff(plain, Screen()))
        changed.insert(p);
    int nVertical = 0, nHorizontal = 0;
    for (auto [x, y] : changed) {
        if (x == 122)
            nVertical++;
        else if (y == 70)
            nHorizontal++;
        else
            ADD_FAILURE() << "stray dot " << x << "," << y;
    }
    EXPECT_EQ(nVertical, 50) << "every other row of 10..109";
    EXPECT_EQ(nHorizontal, 63) << "every other column of 93..217";
    // Column 0: no vertical hair.
    GraphMoveCursor(0);
    const std::vector<bool> at0 = Screen();
    for (auto [x, y] : Diff(plain, at0))
        EXPECT_EQ(y, 70) << x;
}

TEST_F(GraphTest, ZoomBoxOutlineAndItsLeftEdgeRule)
{
    FlatTrace(50);
    GraphDraw(GRAPH_ZOOM_BOX);
    for (uint8_t bBoxX : {60, 15}) {
        LcdInit();
        const std::vector<bool> before = Screen();
        gbBoxShown = 0;
        gbBoxX = bBoxX;
        GraphMoveBoxY(50);
        std::set<std::pair<int, int>> expected;
        int x0 = 92 + bBoxX - 15, y0 = 110 - 50 - 20;
        for (int i = 0; i <= 31; i++)
            expected.insert({x0 + i, y0});
        for (int j = 1; j <= 39; j++)
            expected.insert({x0 + 31, y0 + j});
        for (int i = 1; i <= 30; i++)
            expected.insert({x0 + i, y0 + 39});
        if (bBoxX != 15)
            for (int j = 1; j <= 39; j++)
                expected.insert({x0, y0 + j});
        std::set<std::pair<int, int>> changed;
        for (auto p : Diff(before, Screen()))
            changed.insert(p);
        EXPECT_EQ(changed, expected) << "box column " << int(bBoxX);
    }
}

TEST_F(GraphTest, ArrowKeysMoveCursorBoxOrPanPosition)
{
    FlatTrace(50);
    GraphDraw(GRAPH_CURSOR);
    GraphMoveCursor(1);
    uint32_t unRefreshes = m_host.RefreshCount();
    GraphKey(KEY_LEFT);
    EXPECT_GT(m_host.RefreshCount(), unRefreshes);
    EXPECT_EQ(gbCursorColumn, 0);
    GraphKey(KEY_LEFT);
    EXPECT_EQ(gbCursorColumn, 0);
    GraphKey(KEY_UP);
    EXPECT_EQ(gbCursorColumn, 0);
    GraphMoveCursor(124);
    GraphKey(KEY_RIGHT);
    GraphKey(KEY_RIGHT);
    EXPECT_EQ(gbCursorColumn, 125);

    GraphDraw(GRAPH_ZOOM_BOX);
    GraphMoveCursor(60);
    GraphKey(KEY_UP);
    EXPECT_EQ(gbBoxY, 51);
    GraphKey(KEY_DOWN);
    GraphKey(KEY_DOWN);
    EXPECT_EQ(gbBoxY, 49);
    GraphKey(KEY_RIGHT);
    EXPECT_EQ(gbBoxX, 61);
    EXPECT_EQ(gbCursorColumn, 60) << "the box moves alone";
    for (int i = 0; i < 60; i++)
        GraphKey(KEY_LEFT);
    EXPECT_EQ(gbBoxX, 15);

    // The magnified view pans a position within low..low + 125.
    LcdInit();
    GraphReset();
    GraphDraw(GRAPH_CURSOR);
    uint16_t unPosition = 701;
    GraphPan(&unPosition, 700);
    EXPECT_EQ(gbCursorColumn, 1);
    EXPECT_TRUE(gbCursorShown);
    GraphKey(KEY_LEFT);
    GraphKey(KEY_LEFT);
    EXPECT_EQ(unPosition, 700);
    GraphMoveCursor(60);
    EXPECT_EQ(gbCursorColumn, 0) << "the cursor follows only the position while panning";
    for (int i = 0; i < 130; i++)
        GraphKey(KEY_RIGHT);
    EXPECT_EQ(unPosition, 825);
    EXPECT_EQ(gbCursorColumn, 125);
    GraphPan(nullptr, 0);
    GraphMoveCursor(60);
    EXPECT_EQ(gbCursorColumn, 60);
}

TEST_F(GraphTest, ColumnWavelengths)
{
    EXPECT_EQ(ColumnToWavelength(0), 330);
    EXPECT_EQ(ColumnToWavelength(1), 334);
    EXPECT_EQ(ColumnToWavelength(94), 706);
    EXPECT_EQ(ColumnToWavelength(125), 830);
    EXPECT_EQ(ColumnToWavelength(200), 830);
}

// The label scripts fill the axis registers with the values at the plot's
// ends (back from plot units through offset and scale) and draw them left
// of the y-axis and under the x-axis ends.
TEST_F(GraphTest, AxisLabelsComeFromTheRegisters)
{
    GraphDraw(GRAPH_CURSOR);
    GraphLabelYAxis(1, 0, 1.0);
    EXPECT_DOUBLE_EQ(gfShowD7, -0.3);
    EXPECT_NEAR(gfShowD8, 2.5, 1e-9);
    GraphLabelYAxis(1, 40, 2.0);
    EXPECT_NEAR(gfShowD7, 0.82, 1e-9);
    EXPECT_NEAR(gfShowD8, 2.22, 1e-9);
    struct Case {
        uint8_t bKind, bOffset;
        double fScale;
        int nBottom, nTop;
    };
    for (Case c : {Case{0, 0, 1.0, 0, 100}, Case{0, 30, 4.0, 30, 55}, Case{7, 0, 1.0, 0, 62500},
                   Case{8, 0, 1.0, 0, 20000}, Case{9, 0, 1.0, 0, 100}}) {
        GraphLabelYAxis(c.bKind, c.bOffset, c.fScale);
        EXPECT_EQ(gnShowI3, c.nBottom) << int(c.bKind);
        EXPECT_EQ(gnShowI4, c.nTop) << int(c.bKind);
    }
    GraphLabelXAxis(705, 830);
    EXPECT_EQ(gnShowI11, 705);
    EXPECT_EQ(gnShowI10, 830);
    // Labels stay out of the plot: nothing right of the y-axis above the
    // x-axis, nothing left of column 64 (the soft-key boxes).
    for (int y = 0; y < 110; y++)
        for (int x = 93; x < LCD_WIDTH; x++)
            ASSERT_FALSE(m_host.Pixel(x, y)) << x << "," << y;
    bool bAnyLeft = false;
    for (int y = 0; y < LCD_HEIGHT; y++) {
        for (int x = 0; x < 64; x++)
            ASSERT_FALSE(m_host.Pixel(x, y)) << x << "," << y;
        for (int x = 64; x < 92; x++)
            bAnyLeft = bAnyLeft || m_host.Pixel(x, y);
    }
    EXPECT_TRUE(bAnyLeft);
}

}  // namespace

// Axis ends that labels beside ticks (four characters) can show exactly,
// and one precision for both ends of a label pair.
TEST(GraphAxisRangeTest, EndsWidenToWhatTheLabelsShow)
{
    struct Case {
        double fLow, fHigh;
        double fWantLow, fWantHigh;
        int nDecimals;
    } kCases[] = {{0.244, 0.344, 0.24, 0.35, 2}, {0.1, 0.4, 0.1, 0.4, 2},     {-0.05, 0.1, -0.1, 0.1, 1},
                  {1.5, 2.5, 1.5, 2.5, 2},       {0.3, 0.3, 0.3, 0.31, 2},    {12.3, 47.0, 12.3, 47.0, 1},
                  {123.4, 470.0, 123.0, 470.0, 0}};
    for (const Case& c : kCases) {
        double fLow = c.fLow, fHigh = c.fHigh;
        EXPECT_EQ(GraphAxisRange(&fLow, &fHigh, GRAPH_TICKED_LABEL_CHARS), c.nDecimals) << c.fLow << ".." << c.fHigh;
        EXPECT_NEAR(fLow, c.fWantLow, 1e-9) << c.fLow;
        EXPECT_NEAR(fHigh, c.fWantHigh, 1e-9) << c.fHigh;
    }
    EXPECT_EQ(GraphLabelDecimals(-0.3, 2.5, 5), 2) << "-0.30 and 2.50, not -0.30 and 2.500";
    EXPECT_EQ(GraphLabelDecimals(0.008, 0.542, 5), 3);
}

// On a plot with ticks the y labels stand beside the top and bottom rows
// they name, clear of the ticks and of the soft-key frames (x <= 63); the
// x labels stand centred under the ends of the axis.
TEST_F(GraphTest, LabelsStandAtTheEndsTheyName)
{
    for (uint8_t i = 0; i < 5; i++) {
        GraphSetXTick(i, static_cast<uint8_t>(i * 125 / 4));
        GraphSetYTick(i, static_cast<uint8_t>(i * 20));
    }
    GraphDraw(GRAPH_LOWER);
    GraphLabelYValues(0.24, 0.35, 2);
    GraphLabelXTexts("0", "30");
    bool bTop = false, bBottom = false;
    for (int y = 0; y < LCD_HEIGHT; y++)
        for (int x = 0; x < 88; x++) {
            if (!m_host.Pixel(x, y))
                continue;
            EXPECT_GE(x, 66) << "label at " << x << "," << y;
            EXPECT_LE(x, 85) << "label at " << x << "," << y;
            bool bAtTop = y >= 30 && y <= 34, bAtBottom = y >= 106 && y <= 110;
            EXPECT_TRUE(bAtTop || bAtBottom) << "label row " << y;
            bTop = bTop || bAtTop;
            bBottom = bBottom || bAtBottom;
        }
    EXPECT_TRUE(bTop && bBottom);
    int nFirst = LCD_WIDTH, nLast = -1;
    for (int y = 115; y <= 116; y++)  // below the ticks' ends
        for (int x = 150; x < LCD_WIDTH; x++)
            if (m_host.Pixel(x, y)) {
                nFirst = std::min(nFirst, x);
                nLast = std::max(nLast, x);
            }
    EXPECT_NEAR((nFirst + nLast) / 2.0, 92 + 125, 2.0) << "the last time under the axis end";
}
