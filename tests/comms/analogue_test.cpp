// Analogue output engine: conversions, ramps, the live queue, scan playback
// and the trace, stepped tick by tick.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comms/analogue.h"
#include "measure/reading.h"

namespace {

// The output after each of n engine ticks.
std::vector<int> Outputs(int n)
{
    std::vector<int> an;
    for (int i = 0; i < n; i++) {
        AnalogueTick();
        an.push_back(gunAnaOutput);
    }
    return an;
}

class AnalogueTest : public ::testing::Test {
protected:
    void SetUp() override { AnalogueInit(); }
};

struct ConversionCase {
    double fValue;
    int nAbsorbanceOutput;
    int nTransmittanceOutput;
};

TEST_F(AnalogueTest, ConversionsRoundHalfAwayAndLimit)
{
    // 65535 counts span five absorbance units (or 500 %T) below full scale.
    const ConversionCase acases[] = {
        {-1.5, 65535, 65535},  // above full scale: limited
        {-1.0, 65535, 65535},
        {0.0, 52428, 65535},   // 65535 - 13107
        {0.5, 45875, 65469},   // 45874.5 and 65469.45 round to the nearest
        {1.0, 39321, 65404},   // 65404.35
        {4.0, 0, 65011},       // 65010.72
        {4.5, 0, 64945},       // A below zero counts: limited
        {50.0, 0, 58982},      // 58981.5 rounds away from zero
        {100.0, 0, 52428},
        {61111.0, 0, 0},       // the no-value marker drives the output to 0
    };
    for (const ConversionCase& c : acases) {
        EXPECT_EQ(AbsorbanceToOutput(c.fValue), c.nAbsorbanceOutput) << "A = " << c.fValue;
        EXPECT_EQ(TransmittanceToOutput(c.fValue), c.nTransmittanceOutput) << "T = " << c.fValue;
    }
}

struct RampCase {
    int nFrom, nTo, nTicks;
    std::vector<int> anExpected;  // output on each tick from the first point on
};

TEST_F(AnalogueTest, PlaybackRampsBetweenPointsAndSetsEachPointExactly)
{
    const RampCase acases[] = {
        // 13107 counts over 10 ticks: 1310 per tick, 7 ticks take one more.
        {52428, 39321, 10, {52428, 51117, 49807, 48496, 47185, 45874, 44564, 43253, 41942, 40632, 39321}},
        // Three counts over four ticks: the accumulator starts at half a tick.
        {100, 103, 4, {100, 101, 102, 102, 103}},
        {1000, 0, 1, {1000, 0}},
        {7, 7, 3, {7, 7, 7, 7}},
    };
    for (const RampCase& c : acases) {
        AnalogueInit();
        ASSERT_TRUE(AnalogueBeginScan());
        AnalogueRecordAbsorbance(0.0);  // replaced below: the stored counts are what is played
        gunAnaScan[0] = static_cast<uint16_t>(c.nFrom);
        gunAnaScan[1] = static_cast<uint16_t>(c.nTo);
        gunAnaScanCount = 2;
        gunAnaScanWrite = 2;
        AnalogueStartPlayback(static_cast<uint32_t>(c.nTicks));
        EXPECT_EQ(Outputs(static_cast<int>(c.anExpected.size())), c.anExpected)
            << c.nFrom << " to " << c.nTo << " over " << c.nTicks;
        EXPECT_EQ(gnAnaMode, ANA_DIRECT);
    }
}

TEST_F(AnalogueTest, RecordedScanPlaysThroughAndEndsDirect)
{
    ASSERT_TRUE(AnalogueBeginScan());
    AnalogueRecordAbsorbance(0.0);           // 52428
    AnalogueRecordTransmittance(100.0);      // 52428
    AnalogueRecordAbsorbance(1.0);           // 39321
    AnalogueStartPlayback(2);
    EXPECT_EQ(Outputs(5), (std::vector<int>{52428, 52428, 52428, 45874, 39321}));
    EXPECT_EQ(gnAnaMode, ANA_DIRECT);
    EXPECT_EQ(gunAnaScanCount, 0);
    EXPECT_EQ(Outputs(2), (std::vector<int>{39321, 39321}));
}

TEST_F(AnalogueTest, PlaybackOfOnePointSetsItAndEnds)
{
    ASSERT_TRUE(AnalogueBeginScan());
    AnalogueRecordAbsorbance(1.0);
    AnalogueStartPlayback(100);
    EXPECT_EQ(Outputs(1), std::vector<int>{39321});
    EXPECT_EQ(gnAnaMode, ANA_DIRECT);
}

TEST_F(AnalogueTest, PlaybackOfAnEmptyScanEndsWithoutTouchingTheOutput)
{
    AnalogueWrite(1234);
    ASSERT_TRUE(AnalogueBeginScan());
    AnalogueStartPlayback(10);
    EXPECT_EQ(Outputs(3), (std::vector<int>{1234, 1234, 1234}));
    EXPECT_EQ(gnAnaMode, ANA_DIRECT);
    EXPECT_EQ(gunAnaScanCount, 0);
}

TEST_F(AnalogueTest, ScanKeepsAtMost501PointsAndBeginsOnlyWhenDirect)
{
    ASSERT_TRUE(AnalogueBeginScan());
    for (int i = 0; i < 510; i++)
        AnalogueRecordTransmittance(i);
    EXPECT_EQ(gunAnaScanCount, ANA_SCAN_POINTS);
    EXPECT_EQ(gunAnaScan[500], TransmittanceToOutput(500));

    AnalogueStartPlayback(1);
    EXPECT_FALSE(AnalogueBeginScan());
    EXPECT_EQ(gunAnaScanCount, ANA_SCAN_POINTS);
    AnalogueStartLive(100);
    EXPECT_FALSE(AnalogueBeginScan());
    EXPECT_EQ(gunAnaScanCount, ANA_SCAN_POINTS);
}

TEST_F(AnalogueTest, DirectWriteSetsTheOutputAtOnceAndEndsPlayback)
{
    EXPECT_EQ(gunAnaOutput, 65535);
    ASSERT_TRUE(AnalogueBeginScan());
    AnalogueRecordAbsorbance(0.0);
    AnalogueRecordAbsorbance(1.0);
    AnalogueStartPlayback(50);
    Outputs(3);
    AnalogueWrite(777);
    EXPECT_EQ(gnAnaMode, ANA_DIRECT);
    EXPECT_EQ(gunAnaOutput, 777);
    EXPECT_EQ(Outputs(2), (std::vector<int>{777, 777}));
}

TEST_F(AnalogueTest, LiveValuesWaitOneIntervalThenRampAndDrain)
{
    AnalogueStartLive(5);
    AnalogueWrite(1000);  // queued with the whole period, 5 ticks
    // The head waits out its five ticks, then is set exactly and held.
    EXPECT_EQ(Outputs(6), (std::vector<int>{65535, 65535, 65535, 65535, 65535, 1000}));
    AnalogueWrite(1004);  // five ticks since the last value (the count stops at the period)
    // The held head is set once more, dropped, and the ramp takes five ticks.
    EXPECT_EQ(Outputs(6), (std::vector<int>{1000, 1001, 1002, 1002, 1003, 1004}));
    EXPECT_EQ(gnAnaMode, ANA_LIVE);
    EXPECT_EQ(Outputs(3), (std::vector<int>{1004, 1004, 1004}));
    AnalogueStopLive();
    EXPECT_EQ(gnAnaMode, ANA_DRAINING);
    EXPECT_EQ(Outputs(1), std::vector<int>{1004});
    EXPECT_EQ(gnAnaMode, ANA_DIRECT);
}

TEST_F(AnalogueTest, LiveQueueOfFourDropsTheFifthValue)
{
    AnalogueStartLive(1000);
    const uint16_t aunValues[5] = {100, 200, 300, 400, 500};
    for (uint16_t un : aunValues) {
        AnalogueWrite(un);
        Outputs(1);  // one tick apart, so every value has ticks of its own
    }
    EXPECT_EQ(gbAnaQueueCount, ANA_QUEUE_SIZE);
    AnalogueStopLive();
    int nTicks = 0;
    while (gnAnaMode != ANA_DIRECT && nTicks < 5000) {
        Outputs(1);
        nTicks++;
    }
    EXPECT_EQ(gnAnaMode, ANA_DIRECT);
    EXPECT_EQ(gunAnaOutput, 400);
    EXPECT_EQ(gbAnaQueueCount, 1);
    // The first value still waits 995 of its 1000 ticks; then one tick
    // each sets 100, 200, 300 and 400 (the ramps between are one tick long).
    EXPECT_EQ(nTicks, 999);
}

TEST_F(AnalogueTest, SecondValueInTheSameTickDoesNotDisplaceTheQueuedOne)
{
    AnalogueStartLive(3);
    AnalogueWrite(100);
    AnalogueWrite(900);
    EXPECT_EQ(gbAnaQueueCount, 1);
    EXPECT_EQ(gAnaQueue[gbAnaQueueRead].unValue, 100);
    AnalogueStopLive();
    Outputs(10);
    EXPECT_EQ(gunAnaOutput, 100);
    EXPECT_EQ(gnAnaMode, ANA_DIRECT);
}

TEST_F(AnalogueTest, SpectrumOfTheShownRangePlaysAfterAScan)
{
    CompleteReading(READ_REFERENCE);
    CompleteReading(READ_SAMPLE);
    AnaloguePlaySpectrum(705, 829, false);
    EXPECT_EQ(gnAnaMode, ANA_PLAYBACK);
    EXPECT_EQ(gunAnaScanCount, 125);
    // Each point is set exactly when its time comes: point k at tick 1 + 20 k.
    std::vector<int> an = Outputs(20 * 124 + 1);
    for (int k = 0; k < 125; k++)
        ASSERT_EQ(an[static_cast<size_t>(20 * k)], AbsorbanceToOutput(Absorbance(705 + k))) << "point " << k;
    EXPECT_EQ(gnAnaMode, ANA_DIRECT);

    // Live output keeps the scan from starting.
    AnalogueStartLive(1000);
    AnaloguePlaySpectrum(330, 830, true);
    EXPECT_EQ(gnAnaMode, ANA_LIVE);
    AnalogueWrite(1);  // leaves live mode only through StopLive
    AnalogueStopLive();
    Outputs(2000);
    AnaloguePlaySpectrum(330, 830, true);
    EXPECT_EQ(gunAnaScanCount, 501);
    EXPECT_EQ(gunAnaScan[270], TransmittanceToOutput(Transmittance(600)));
}

class CTraceSink : public SerialSink {
public:
    void Write(uint8_t b) override { m_s += static_cast<char>(b); }
    std::string m_s;
};

TEST_F(AnalogueTest, TraceGetsTheOutputOnEveryTickInEveryMode)
{
    CTraceSink sink;
    gpAnaTrace = &sink;
    Outputs(2);
    AnalogueWrite(42);
    Outputs(1);
    ASSERT_TRUE(AnalogueBeginScan());
    AnalogueRecordAbsorbance(4.0);
    AnalogueStartPlayback(1);
    Outputs(1);
    gpAnaTrace = nullptr;
    Outputs(1);
    EXPECT_EQ(sink.m_s, "65535\n65535\n42\n0\n");
}

}  // namespace
