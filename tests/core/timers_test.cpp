// Timers and keys: count-down steps, the tick services, key priority and the
// auto-repeat of arrow keys in editing screens.
#include <gtest/gtest.h>

#include <vector>

#include "core/timers.h"
#include "support/firmware_fixture.h"
#include "ui/ui.h"

namespace {

// Runs ticks until the limit and returns the virtual time (ms after the
// first tick) of every key event, clearing each event as the state machine would.
std::vector<uint32_t> EventTimes(CInstrument& host, uint32_t unTicks, std::vector<uint8_t>* pKeys = nullptr)
{
    std::vector<uint32_t> times;
    for (uint32_t i = 0; i < unTicks; i++) {
        host.Tick();
        if (uint8_t bKey = GetKey()) {
            times.push_back(i * CInstrument::TICK_MS);
            if (pKeys)
                pKeys->push_back(bKey);
        }
    }
    return times;
}

}  // namespace

TEST(CountDownTest, StepsAndFloors)
{
    struct Case {
        uint32_t unStart;
        uint8_t n;
        uint32_t unExpected;
    } kCases[] = {{1, 1, 0}, {0, 1, 0}, {10, 3, 7}, {2, 5, 0}, {0x80000005u, 3, 0}};  // negative as a signed number: floored
    for (const Case& c : kCases) {
        uint32_t unTimer = c.unStart;
        CountDown(&unTimer, c.n);
        EXPECT_EQ(unTimer, c.unExpected) << "start " << c.unStart << " minus " << int(c.n);
    }
}

TEST(TickHandlerTest, MillisecondsCountWhileStopwatchesNeedTheServices)
{
    gbTickServicesEnabled = 0;
    uint32_t unMs = gunElapsedMs;
    uint16_t unA = gunStopwatchA;
    TickHandler();
    EXPECT_EQ(gunElapsedMs, unMs + 1);
    EXPECT_EQ(gunStopwatchA, unA);
    gbTickServicesEnabled = 1;
    TickHandler();
    EXPECT_EQ(gunStopwatchA, unA + 1);
    EXPECT_EQ(gunStopwatchB, 1);
}

TEST(ElapsedMsTest, ReadResetConsume)
{
    ResetElapsedMs();
    for (int i = 0; i < 30; i++)
        TickHandler();
    EXPECT_EQ(ReadElapsedMs(), 30u);
    ConsumeElapsedMs(20);
    EXPECT_EQ(ReadElapsedMs(), 10u);
}

TEST_F(CoreFirmwareTest, TimersStepOncePerHostTick)
{
    Host().PowerUp();
    gunScreenTimer = 10;
    gunMessageTimer = 3;
    Host().Tick(4);
    // The ticks of a pass are stepped at the start of the next pass.
    EXPECT_EQ(gunScreenTimer, 7u);
    EXPECT_EQ(gunMessageTimer, 0u);
}

TEST_F(CoreFirmwareTest, ManyTicksInOnePassStepTheTimersOnce)
{
    Host().PowerUp();
    Host().Tick();
    Host().RunSlice();  // takes the tick batch of the previous pass
    gnTimerDivider = 0;
    gunScreenTimer = 5;
    for (int i = 0; i < 120; i++)
        TickHandler();
    Host().RunSlice();
    EXPECT_EQ(gunScreenTimer, 4u);
    EXPECT_EQ(gnTimerDivider, -70);
}

TEST_F(CoreFirmwareTest, ReferenceWinsOverTestAndTestFollowsItsRelease)
{
    Host().PowerUp();
    Host().SetKey(KEY_TEST, true);
    Host().SetKey(KEY_REF, true);
    Host().Tick();
    EXPECT_EQ(GetKey(), KEY_REF);
    Host().SetKey(KEY_REF, false);
    Host().Tick();  // the release is seen; it makes no event
    EXPECT_EQ(GetKey(), KEY_NONE);
    Host().Tick();
    EXPECT_EQ(GetKey(), KEY_TEST);
    Host().Tick(3);  // held: no further event outside the arrows
    EXPECT_EQ(GetKey(), KEY_NONE);
}

// Of any two keys held together, the one earlier in the scan order makes the
// event: reference, test, escape, the four arrows, the soft keys, standby.
TEST_F(CoreFirmwareTest, OfTwoKeysHeldTogetherTheEarlierInTheScanOrderWins)
{
    const uint8_t kabOrder[KEY_COUNT] = {KEY_REF,   KEY_TEST,  KEY_ESCAPE, KEY_UP,    KEY_DOWN,  KEY_LEFT,
                                         KEY_RIGHT, KEY_SOFT1, KEY_SOFT2,  KEY_SOFT3, KEY_SOFT4, KEY_STANDBY};
    Host().PowerUp();
    for (int i = 0; i < KEY_COUNT; i++) {
        for (int j = i + 1; j < KEY_COUNT; j++) {
            Host().SetKey(kabOrder[j], true);
            Host().SetKey(kabOrder[i], true);
            Host().Tick();
            EXPECT_EQ(GetKey(), kabOrder[i]) << "keys " << int(kabOrder[i]) << " and " << int(kabOrder[j]);
            Host().SetKey(kabOrder[i], false);
            Host().SetKey(kabOrder[j], false);
            Host().Tick();
            GetKey();
        }
    }
}

TEST_F(CoreFirmwareTest, KeyPressedAndReleasedBetweenPassesIsNeverSeen)
{
    Host().PowerUp();
    // Held over a pass, the key makes its event on that pass.
    Host().SetKey(KEY_ESCAPE, true);
    Host().Tick();
    EXPECT_EQ(GetKey(), KEY_ESCAPE);
    Host().SetKey(KEY_ESCAPE, false);
    Host().Tick();
    // Down and up again before the next pass: that pass sees no key.
    Host().SetKey(KEY_ESCAPE, true);
    Host().SetKey(KEY_ESCAPE, false);
    Host().Tick();
    EXPECT_EQ(GetKey(), KEY_NONE);
}

TEST_F(CoreFirmwareTest, HeldArrowRepeatsInEditingScreens)
{
    Host().PowerUp();
    gunScreenState = 22;
    Host().SetKey(KEY_UP, true);
    std::vector<uint32_t> fastAt;
    std::vector<uint32_t> times;
    for (uint32_t i = 0; i < 24; i++) {
        Host().Tick();
        if (GetKey() == KEY_UP) {
            times.push_back(i * CInstrument::TICK_MS);
            if (gbFastRepeat)
                fastAt.push_back(i * CInstrument::TICK_MS);
        }
    }
    std::vector<uint32_t> expected = {0, 250, 350, 450, 550, 650, 750, 900, 1050};
    EXPECT_EQ(times, expected);
    ASSERT_FALSE(fastAt.empty());
    EXPECT_EQ(fastAt.front(), 750u);
}

TEST_F(CoreFirmwareTest, HeldArrowOutsideEditingScreensGivesOneEvent)
{
    Host().PowerUp();
    gunScreenState = 11;
    Host().SetKey(KEY_DOWN, true);
    EXPECT_EQ(EventTimes(Host(), 40), std::vector<uint32_t>{0});
}

TEST_F(CoreFirmwareTest, HeldNonArrowKeyDoesNotRepeatInEditingScreens)
{
    Host().PowerUp();
    gunScreenState = 16;
    Host().SetKey(KEY_SOFT2, true);
    std::vector<uint8_t> keys;
    EXPECT_EQ(EventTimes(Host(), 40, &keys), std::vector<uint32_t>{0});
    EXPECT_EQ(keys, std::vector<uint8_t>{KEY_SOFT2});
}

TEST_F(CoreFirmwareTest, EveryKeyReaderMapsToItsCode)
{
    Host().PowerUp();
    for (uint8_t bKey = 1; bKey <= KEY_COUNT; bKey++) {
        Host().SetKey(bKey, true);
        Host().Tick();
        EXPECT_EQ(GetKey(), bKey);
        Host().SetKey(bKey, false);
        Host().Tick();
    }
}
