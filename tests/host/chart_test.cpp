// The chart recorder: the analogue output's trace, driven by the firmware's
// own engine (live values as a kinetics run feeds them, scan playback,
// direct steps), kept as few corners that redraw every millisecond's value
// within one count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "chart.h"
#include "comms/analogue.h"
#include "instrument.h"

namespace {

// Passes the trace to the chart and keeps every millisecond's value.
class CTraceCopy final : public SerialSink {
public:
    explicit CTraceCopy(CChartRecorder& chart) : m_chart(chart) {}
    void Write(uint8_t b) override
    {
        m_chart.Write(b);
        if (b >= '0' && b <= '9')
            m_unDigits = m_unDigits * 10 + (b - '0');
        else if (b == '\n') {
            m_aunValues.push_back(static_cast<uint16_t>(m_unDigits));
            m_unDigits = 0;
        }
    }
    const std::vector<uint16_t>& Values() const { return m_aunValues; }

private:
    CChartRecorder& m_chart;
    uint32_t m_unDigits = 0;
    std::vector<uint16_t> m_aunValues;
};

// The line through the corners at millisecond ms.
double PenAt(const std::vector<ChartPoint>& points, uint64_t ullMs)
{
    for (size_t i = 0; i + 1 < points.size(); i++)
        if (ullMs <= points[i + 1].ullMs) {
            const ChartPoint& a = points[i];
            const ChartPoint& b = points[i + 1];
            return a.unValue + (static_cast<double>(b.unValue) - a.unValue) * static_cast<double>(ullMs - a.ullMs) /
                                   static_cast<double>(b.ullMs - a.ullMs);
        }
    return points.back().unValue;
}

void Ticks(int n)
{
    for (int i = 0; i < n; i++)
        AnalogueTick();
}

// One value of the trace as the firmware writes it, remembered in aunValues.
void Feed(CChartRecorder& chart, std::vector<uint16_t>& aunValues, uint16_t unValue)
{
    for (char ch : std::to_string(unValue) + "\n")
        chart.Write(static_cast<uint8_t>(ch));
    aunValues.push_back(unValue);
}

void CheckChart(const CChartRecorder& chart, const std::vector<uint16_t>& aunValues, size_t nMostCorners)
{
    const std::vector<ChartPoint> points = chart.Points();
    ASSERT_FALSE(points.empty());
    EXPECT_EQ(chart.Ms(), aunValues.size());
    EXPECT_EQ(points.front().ullMs, 0u);
    EXPECT_EQ(points.back().ullMs, aunValues.size() - 1);
    EXPECT_LE(points.size(), nMostCorners);
    for (size_t i = 0; i + 1 < points.size(); i++)
        ASSERT_LT(points[i].ullMs, points[i + 1].ullMs);
    for (const ChartPoint& point : points)
        ASSERT_EQ(point.unValue, aunValues[point.ullMs]) << "corner at " << point.ullMs;
    for (size_t ms = 0; ms < aunValues.size(); ms++)
        ASSERT_LE(std::abs(PenAt(points, ms) - aunValues[ms]), CChartRecorder::TOLERANCE + 1e-9) << "at " << ms;
}

class ChartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_host.SetAnalogueTrace(&m_copy);
        AnalogueInit();
    }
    CInstrument m_host;
    CChartRecorder m_chart;
    CTraceCopy m_copy{m_chart};
};

// A kinetics run: a value at each interval, reached by a straight ramp over
// the interval; then the run ends and the output stays.
TEST_F(ChartTest, LiveValuesBecomeRampsWithACornerAtEachValue)
{
    Ticks(300);
    AnalogueStartLive(3000);
    const double afAbsorbance[] = {0.10, 0.25, 0.40, 0.55, 0.50};
    for (double fA : afAbsorbance) {
        AnalogueWrite(AbsorbanceToOutput(fA));
        Ticks(1000);
    }
    AnalogueStopLive();
    Ticks(4000);
    // Flat, the first value set once it has waited, then four ramps; each
    // straight line is two corners at most.
    CheckChart(m_chart, m_copy.Values(), 14);
    const std::vector<ChartPoint> points = m_chart.Points();
    EXPECT_EQ(points.back().unValue, AbsorbanceToOutput(0.50));
    // 0.10 to 0.55 rises by the same counts a second, one straight line:
    // corners where the pen turns, none at 0.25 and 0.40.
    std::vector<uint16_t> aunCorners;
    for (const ChartPoint& point : points)
        aunCorners.push_back(point.unValue);
    for (double fA : {0.10, 0.55, 0.50})
        EXPECT_NE(std::find(aunCorners.begin(), aunCorners.end(), AbsorbanceToOutput(fA)), aunCorners.end()) << fA;
    for (double fA : {0.25, 0.40})
        EXPECT_EQ(std::find(aunCorners.begin(), aunCorners.end(), AbsorbanceToOutput(fA)), aunCorners.end()) << fA;
}

TEST_F(ChartTest, PlaybackAndStepsKeepEveryCorner)
{
    Ticks(10);
    AnalogueWrite(AbsorbanceToOutput(0.0));  // a step
    Ticks(50);
    ASSERT_TRUE(AnalogueBeginScan());
    const double afScan[] = {0.2, 0.9, 0.9, 0.3, 1.7, 0.0};
    for (double fA : afScan)
        AnalogueRecordAbsorbance(fA);
    AnalogueStartPlayback(20);
    Ticks(200);
    AnalogueWrite(AbsorbanceToOutput(2.0));
    Ticks(5);
    CheckChart(m_chart, m_copy.Values(), 20);

    // A fresh chart starts at the current value; the clock goes on.
    const uint64_t ullMs = m_chart.Ms();
    m_chart.Clear();
    Ticks(3);
    const std::vector<ChartPoint> points = m_chart.Points();
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].ullMs, ullMs - 1);
    EXPECT_EQ(points[1].ullMs, ullMs + 2);
    EXPECT_EQ(points[1].unValue, AbsorbanceToOutput(2.0));
}

// An output at rest, then a slow drift, then at rest again, fed straight to
// the chart: a drift too slow to leave the tolerance at first still gets its
// corners where the pen has to turn, however long the output rested before.
TEST(ChartLevelTest, DriftAfterARestKeepsWithinTolerance)
{
    struct Case {
        int nRestMs;      // at rest before the drift
        int nMsPerCount;  // the drift's pace
        int nDriftCounts;
    };
    const Case aCases[] = {{1, 1, 5}, {2, 7, 3}, {1000, 200, 4}, {5000, 3, 40}, {300, 1000, 2}, {20000, 50, 10}};
    for (const Case& c : aCases) {
        SCOPED_TRACE(testing::Message() << c.nRestMs << " ms at rest, a count per " << c.nMsPerCount << " ms");
        CChartRecorder chart;
        std::vector<uint16_t> aunValues;
        auto feed = [&](uint16_t unValue) { Feed(chart, aunValues, unValue); };
        const uint16_t unRest = 30000;
        for (int i = 0; i < c.nRestMs; i++)
            feed(unRest);
        for (int i = 1; i <= c.nDriftCounts * c.nMsPerCount; i++)
            feed(static_cast<uint16_t>(unRest + i / c.nMsPerCount));
        for (int i = 0; i < c.nRestMs; i++)
            feed(aunValues.back());
        CheckChart(chart, aunValues, 2 * static_cast<size_t>(c.nDriftCounts) + 4);
    }
}

// A ramp, a rest, then a step as steep as the ramp seen from the rest's
// start (some step height of those tried is): the rest keeps its own
// corners, whatever slopes the ramp allowed.
TEST(ChartLevelTest, StepAfterARestIsNotJoinedToTheRampBefore)
{
    for (int nStep = 480; nStep <= 520; nStep++) {
        SCOPED_TRACE(testing::Message() << "a step of " << nStep);
        CChartRecorder chart;
        std::vector<uint16_t> aunValues;
        auto feed = [&](uint16_t unValue) { Feed(chart, aunValues, unValue); };
        for (int i = 0; i < 1000; i++)
            feed(static_cast<uint16_t>(20000 + i / 2));
        for (int i = 0; i < 1000; i++)
            feed(20500);
        for (int i = 0; i < 100; i++)
            feed(static_cast<uint16_t>(20500 + nStep));
        CheckChart(chart, aunValues, 6);
    }
}

TEST(ChartCsvTest, OneLinePerCornerWithItsAbsorbance)
{
    EXPECT_EQ(ChartCsv({{0, 65535}, {1200, 52428}, {1300, 0}}),
              "ms,value,absorbance\n0,65535,-1.0000\n1200,52428,0.0000\n1300,0,4.0000\n");
}

}  // namespace
