// Kinetics runs: the number of readings a method stores, the due times of a
// run on the millisecond counter, the start-delay countdown, and the rate.
// Expected values are worked by hand in each case.
#include <gtest/gtest.h>

#include <vector>

#include "core/timers.h"
#include "measure/kinetics_run.h"

namespace {

// Firmware time moves on in the host's 50 ms steps.
void AdvanceMs(uint32_t unMs)
{
    for (uint32_t i = 0; i < unMs; i++)
        TickHandler();
}

struct Reading {
    uint32_t unAtMs;   // firmware time since the run began when it fell due
    uint32_t unDueMs;  // its time in the schedule
};

// Runs a whole schedule, taking each reading as it falls due; a reading
// keeps the instrument busy for 5.3 s. Gives up after two hours.
std::vector<Reading> RunSchedule(uint8_t bMode, uint32_t unStart, uint32_t unInterval, uint32_t unEnd)
{
    std::vector<Reading> readings;
    KineticsBegin(bMode, unStart, unInterval, unEnd);
    uint32_t unNow = 0;
    while (unNow < 7200000) {
        if (KineticsReadingDue()) {
            readings.push_back({unNow, gKinetics.unDueMs});
            AdvanceMs(5300);
            unNow += 5300;
            if (KineticsStoreReading(0.1 * readings.size()))
                break;
        }
        AdvanceMs(50);
        unNow += 50;
    }
    return readings;
}

}  // namespace

TEST(KineticsSchedule, ReadingCountIsEndOverInterval)
{
    struct Case {
        uint32_t unEnd, unInterval;
        uint16_t unCount;
    } kCases[] = {{60, 10, 6}, {30, 10, 3}, {25, 10, 2}, {5, 10, 0}, {65, 65, 1}, {30, 0, 0}};
    for (const Case& c : kCases)
        EXPECT_EQ(KineticsReadingCount(c.unEnd, c.unInterval), c.unCount) << c.unEnd << " s / " << c.unInterval << " s";
    EXPECT_EQ(KineticsSeconds(1, 5), 65u);
}

TEST(KineticsSchedule, DueTimes)
{
    struct Case {
        const char* pszName;
        uint8_t bMode;
        uint32_t unStart, unInterval, unEnd;  // seconds
        std::vector<uint32_t> due;            // schedule times, ms after the start
        std::vector<uint32_t> at;             // firmware time of each reading since TEST
    } kCases[] = {
        {"whole intervals", KINETICS_RATE, 0, 10, 30, {0, 10000, 20000, 30000}, {0, 10000, 20000, 30000}},
        // 25 s is not a whole number of 10 s intervals: the last interval is
        // short, shorter than the reading at 20 s takes, so the last reading
        // comes on the first step after that one (25.3 s).
        {"end between intervals", KINETICS_RATE, 0, 10, 25, {0, 10000, 20000, 25000}, {0, 10000, 20000, 25350}},
        // The schedule counts from the end of the 5 s delay.
        {"start delay", KINETICS_RATE, 5, 10, 20, {0, 10000, 20000}, {5000, 15000, 25000}},
        {"end before one interval", KINETICS_RATE, 0, 60, 50, {0, 50000}, {0, 50000}},
        {"fixed time", KINETICS_FIXED, 7, 10, 30, {0}, {7000}},
        {"fixed time at once", KINETICS_FIXED, 0, 10, 30, {0}, {0}},
    };
    for (const Case& c : kCases) {
        std::vector<Reading> readings = RunSchedule(c.bMode, c.unStart, c.unInterval, c.unEnd);
        ASSERT_EQ(readings.size(), c.due.size()) << c.pszName;
        for (size_t i = 0; i < readings.size(); i++) {
            EXPECT_EQ(readings[i].unDueMs, c.due[i]) << c.pszName << " reading " << i;
            EXPECT_EQ(readings[i].unAtMs, c.at[i]) << c.pszName << " reading " << i;
            EXPECT_EQ(gKinetics.aunTimeMs[i], c.due[i]) << c.pszName << " reading " << i;
        }
        EXPECT_EQ(gKinetics.bPhase, RUN_DONE) << c.pszName;
        EXPECT_FALSE(KineticsReadingDue()) << c.pszName;
    }
}

TEST(KineticsSchedule, NeverMoreReadingsThanThereIsRoomFor)
{
    // 5 minutes at 10 s would be 31 readings; the run stops at A20.
    std::vector<Reading> readings = RunSchedule(KINETICS_RATE, 0, 10, 300);
    ASSERT_EQ(readings.size(), 21u);
    EXPECT_EQ(readings.back().unDueMs, 200000u);
    // A zero interval takes its readings back to back, still at most 21.
    readings = RunSchedule(KINETICS_RATE, 0, 0, 30);
    EXPECT_EQ(readings.size(), 21u);
    EXPECT_EQ(gKinetics.bCount, 21);
}

TEST(KineticsSchedule, StartDelayCountsDownInWholeSecondsRoundedUp)
{
    KineticsBegin(KINETICS_RATE, 65, 10, 30);
    struct Step {
        uint32_t unAdvanceMs;
        uint32_t unLeft;
    } kSteps[] = {{0, 65}, {1, 65}, {999, 64}, {63000, 1}, {999, 1}, {1, 0}};
    for (const Step& s : kSteps) {
        AdvanceMs(s.unAdvanceMs);
        EXPECT_EQ(KineticsDelayLeftSeconds(), s.unLeft) << "at " << ReadElapsedMs() << " ms";
    }
    EXPECT_TRUE(KineticsReadingDue());
    EXPECT_EQ(ReadElapsedMs(), 0u);  // the delay is taken off the counter
    EXPECT_EQ(KineticsDelayLeftSeconds(), 0u);
}

TEST(KineticsSchedule, EscapeStopsTheRun)
{
    KineticsBegin(KINETICS_RATE, 0, 10, 30);
    ASSERT_TRUE(KineticsReadingDue());
    KineticsStoreReading(0.1);
    KineticsStop();
    AdvanceMs(20000);
    EXPECT_FALSE(KineticsReadingDue());
    EXPECT_EQ(gKinetics.bPhase, RUN_IDLE);
}

TEST(KineticsRate, SlopePerMinuteAndCorrelation)
{
    struct Case {
        const char* pszName;
        std::vector<double> readings;
        uint32_t unIntervalMs;
        double fSlope, fPerMinute, fCorrelation;
    } kCases[] = {
        // t = -1, 0, 1: slope 0.2 / 2 per interval; 0.1 * 60 / 30 per minute.
        {"straight rise", {0.100, 0.200, 0.300}, 30000, 0.1, 0.2, 1.0},
        // t = -1.5 .. 1.5, sum t^2 = 5, sum t A = 0.4: slope 0.08; intercept
        // 0.25 - 1.5 * 0.08 = 0.13; residuals -0.03, 0.09, -0.09, 0.03 give
        // 0.018 over 0.30 - 1.0 / 4 = 0.05.
        {"scattered", {0.1, 0.3, 0.2, 0.4}, 10000, 0.08, 0.48, 0.64},
        {"falling", {0.5, 0.4, 0.3, 0.2, 0.1}, 60000, -0.1, -0.1, 1.0},
        // Equal readings: no spread, so the correlation is 0, not a division.
        {"flat", {0.3, 0.3, 0.3}, 10000, 0.0, 0.0, 0.0},
        // One reading: no spread of the reading numbers.
        {"single reading", {0.3}, 10000, 0.0, 0.0, 0.0},
        // A zero interval gives a rate per minute of 0.
        {"zero interval", {0.1, 0.2, 0.3}, 0, 0.1, 0.0, 1.0},
    };
    for (const Case& c : kCases) {
        gKinetics = KineticsRun{};
        gKinetics.unIntervalMs = c.unIntervalMs;
        for (double fAbs : c.readings)
            gKinetics.afAbs[gKinetics.bCount++] = fAbs;
        KineticsComputeRate();
        EXPECT_NEAR(gKinetics.fSlope, c.fSlope, 1e-12) << c.pszName;
        EXPECT_NEAR(gKinetics.fPerMinute, c.fPerMinute, 1e-12) << c.pszName;
        EXPECT_NEAR(gKinetics.fCorrelation, c.fCorrelation, 1e-12) << c.pszName;
    }
}

TEST(KineticsGraph, ReadingsAgainstTimeJoinedByLines)
{
    // 10 s interval, end 25 s: readings at 0, 10, 20 and 25 s across 125
    // columns (0, 50, 100, 125); absorbance 0.1..0.35 over 80 rows.
    gKinetics = KineticsRun{};
    const uint32_t kaunTimes[] = {0, 10000, 20000, 25000};
    const double kafAbs[] = {0.1, 0.2, 0.3, 0.35};
    for (int k = 0; k < 4; k++) {
        gKinetics.aunTimeMs[k] = kaunTimes[k];
        gKinetics.afAbs[k] = kafAbs[k];
    }
    gKinetics.bCount = 4;
    KineticsPlot(80);
    EXPECT_DOUBLE_EQ(gKinetics.fPlotAbsLow, 0.1);
    EXPECT_DOUBLE_EQ(gKinetics.fPlotAbsHigh, 0.35);
    const uint8_t kabColumns[] = {0, 50, 100, 125};
    const uint8_t kabRows[] = {0, 32, 64, 80};  // (A - 0.1) / 0.25 * 80
    for (int k = 0; k < 4; k++) {
        EXPECT_EQ(gKinetics.abMarkerColumn[k], kabColumns[k]) << "reading " << k;
        EXPECT_EQ(gKinetics.abMarkerRow[k], kabRows[k]) << "reading " << k;
        EXPECT_EQ(gKinetics.abPlot[kabColumns[k]], kabRows[k]) << "reading " << k;
    }
    EXPECT_EQ(gKinetics.abPlot[25], 16);    // halfway between the first two readings
    EXPECT_EQ(gKinetics.abPlot[110], 70);   // 10 of 25 columns from 64 towards 80: 70.4
    for (int c = 0; c < 126; c++)
        EXPECT_NE(gKinetics.abPlot[c], 255) << "column " << c;
    // A flat run sits at mid-height instead of on the axis.
    for (int k = 0; k < 4; k++)
        gKinetics.afAbs[k] = 0.2;
    KineticsPlot(80);
    EXPECT_EQ(gKinetics.abPlot[60], 40);
}
