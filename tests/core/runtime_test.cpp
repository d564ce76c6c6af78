// Firmware runtime: run phases, host ticks, stop, start-once, serial injection.
#include <gtest/gtest.h>

#include <vector>

#include "core/serial.h"
#include "core/bridge.h"
#include "app/probe.h"
#include "core/runtime.h"
#include "core/timers.h"
#include "support/firmware_fixture.h"

namespace {

std::vector<uint8_t> gPhases;  // phase of every pass, recorded by the step below
bool gbRefreshEveryPass = false;

void RecordingStep(uint8_t bPhase)
{
    gPhases.push_back(bPhase);
    if (gbRefreshEveryPass)
        LcdRefresh();
}

class RuntimeTest : public FirmwareTest {
protected:
    void SetUp() override
    {
        FirmwareTest::SetUp();
        gPhases.clear();
        gbRefreshEveryPass = false;
        FirmwareSetUiStep(RecordingStep);
    }
};

}  // namespace

TEST(RunPhase, NextPhaseSequence)
{
    EXPECT_EQ(NextRunPhase(0), 1);
    EXPECT_EQ(NextRunPhase(1), 4);
    EXPECT_EQ(NextRunPhase(4), 4);
    EXPECT_EQ(NextRunPhase(7), 7);
}

TEST_F(RuntimeTest, FirstPassIsPhaseOneAndLaterPassesPhaseFour)
{
    Host().PowerUp();
    Host().Tick(3);
    ASSERT_EQ(gPhases.size(), 4u);
    EXPECT_EQ(gPhases[0], PHASE_INIT);
    for (size_t i = 1; i < gPhases.size(); i++)
        EXPECT_EQ(gPhases[i], PHASE_RUN);
}

TEST_F(RuntimeTest, ThreePendingTicksRunOneHundredFiftyTicksInOnePass)
{
    Host().PowerUp();
    uint32_t unBefore = gunElapsedMs;
    Host().AddPendingTicks(3);
    Host().RunSlice();
    EXPECT_EQ(gunElapsedMs - unBefore, 150u);
    EXPECT_EQ(Host().PendingTickCount(), 0);
    EXPECT_EQ(gPhases.size(), 2u);  // all three consumed in a single pass
}

TEST_F(RuntimeTest, ZeroOrNegativePendingTicksRunNoTick)
{
    Host().PowerUp();
    uint32_t unBefore = gunElapsedMs;
    Host().RunSlice();
    EXPECT_EQ(gunElapsedMs, unBefore);
    Host().AddPendingTicks(-2);
    Host().RunSlice();
    Host().Tick();  // -2 + 1 is still not positive
    EXPECT_EQ(gunElapsedMs, unBefore);
    EXPECT_EQ(Host().PendingTickCount(), -1);
}

TEST_F(RuntimeTest, AcquisitionClockAdvancesWithTicksOnlyWhileOn)
{
    Host().PowerUp();
    AcqClockStart();
    Host().Tick(2);
    EXPECT_EQ(AcqClockTake(), 100);
    AcqClockStop();
    Host().Tick(2);
    EXPECT_EQ(AcqClockTake(), 0);
}

TEST_F(RuntimeTest, StopEndsThreadAfterCurrentPassAndRefreshesNothingMore)
{
    gbRefreshEveryPass = true;
    Host().PowerUp();
    Host().Tick(4);
    uint32_t unRefreshes = Host().RefreshCount();
    size_t nPasses = gPhases.size();
    EXPECT_EQ(unRefreshes, nPasses);
    Host().Shutdown();
    EXPECT_FALSE(Host().Running());
    // The pass the thread was released into ran to its end, refreshing nothing.
    EXPECT_EQ(gPhases.size(), nPasses + 1);
    EXPECT_EQ(Host().RefreshCount(), unRefreshes);
}

TEST_F(RuntimeTest, SecondStartDoesNothing)
{
    Host().PowerUp();
    FirmwareStart();
    Host().Tick(2);
    size_t nInitPasses = 0;
    for (uint8_t b : gPhases)
        nInitPasses += b == PHASE_INIT;
    EXPECT_EQ(nInitPasses, 1u);
}

TEST(FirmwareStopTest, StopWithoutStartReturnsOne)
{
    EXPECT_EQ(FirmwareStop(), 1);
}

TEST_F(RuntimeTest, StartTextIsTheFirstOutput)
{
    Host().PowerUp();
    EXPECT_EQ(Host().SerialText().rfind("START\r\n", 0), 0u);
}

TEST_F(RuntimeTest, InjectedBytesArriveInOrderAndOverflowIsDropped)
{
    Host().PowerUp();
    std::string sBytes;
    for (int i = 0; i < 70; i++)
        sBytes += static_cast<char>('0' + i);
    Host().Inject(sBytes);  // the recording step never drains the queue
    ASSERT_EQ(gRxRing.unCount, 64);
    std::string sReceived;
    while (!SerialRxEmpty())
        sReceived += static_cast<char>(SerialGetChar());
    EXPECT_EQ(sReceived, sBytes.substr(0, 64));
}
