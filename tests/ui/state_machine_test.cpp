// The pass and the drawing discipline: standby both ways, "Repeat last
// operation", overlays, ignored keys, PC Control, unhandled states and the
// set-up menu's service sequence.
#include <cstring>
#include <string>

#include "comms/remote.h"
#include "storage/params.h"
#include "ui/ui_fixture.h"
#include "ui/ui_internal.h"

namespace {

TEST_F(UiTest, StandbyFromMeasuringScreenAndBackRepeatsLastOperation)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, 12}, {KEY_SOFT1, 76}, {KEY_SOFT3, 17}});
    Host().Tick();
    EXPECT_EQ(gunLastOperation, 17);
    Press(KEY_STANDBY);
    EXPECT_EQ(gunScreenState, STATE_STANDBY);
    for (int y = 0; y < 128; y++)
        for (int x = 0; x < 240; x++)
            ASSERT_FALSE(Host().Pixel(x, y)) << "standby shows a blank screen";
    // Keys other than standby do nothing in standby.
    Press(KEY_SOFT1);
    Press(KEY_ESCAPE);
    EXPECT_EQ(gunScreenState, STATE_STANDBY);
    Press(KEY_STANDBY);
    EXPECT_EQ(gunScreenState, STATE_SPLASH);
    EXPECT_GT(gunScreenTimer, 110u);
    ASSERT_TRUE(WaitState(9));
    Walk({{KEY_SOFT2, 11}, {KEY_SOFT1, 17}});
    EXPECT_EQ(gunLastOperation, 17);
}

TEST_F(UiTest, RepeatLastOperationDoesNothingWithoutOne)
{
    PowerUpToMainMenu();
    ASSERT_EQ(gunLastOperation, 0);
    Host().ClearChangedFlags();
    Press(KEY_SOFT1);
    EXPECT_EQ(gunScreenState, STATE_MAIN_MENU);
    EXPECT_EQ(ChangedBytes(), 0);
}

TEST_F(UiTest, OverlayLeavesParentScreenInPlaceAndParentReturnDoesNotClear)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, 12}, {KEY_SOFT1, 76}, {KEY_SOFT1, 15}});
    // Entering a non-overlay state clears the whole display.
    // Entering the overlay (16) rewrites only what it draws: the title row stays untouched.
    Host().ClearChangedFlags();
    Press(KEY_SOFT2);
    ASSERT_EQ(gunScreenState, 16);
    // (the soft-key column, x < 64, is redrawn by the overlay's own labels)
    EXPECT_FALSE(AnyByteChanged(0, 8, 8)) << "the overlay cleared the parent's title";
    EXPECT_LT(ChangedBytes(), 3840);
    // Back to the parent: its screen was never replaced, so nothing is cleared.
    Host().ClearChangedFlags();
    Press(KEY_ESCAPE);
    ASSERT_EQ(gunScreenState, 15);
    EXPECT_LT(ChangedBytes(), 3840);
    // A non-overlay transition clears: every byte of the screen is written.
    Host().ClearChangedFlags();
    Press(KEY_ESCAPE);
    ASSERT_EQ(gunScreenState, 12);
    EXPECT_EQ(ChangedBytes(), 3840);
}

struct IgnoredKeysCase {
    std::initializer_list<uint8_t> path;  // soft keys from the main menu
    uint8_t bState;
    std::initializer_list<uint8_t> ignored;
};

TEST_F(UiTest, KeysAStateDoesNotAcceptChangeNothing)
{
    PowerUpToMainMenu();
    const IgnoredKeysCase aCases[] = {
        {{}, 11, {KEY_REF, KEY_TEST, KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT, KEY_ESCAPE, KEY_SOFT4}},
        {{KEY_SOFT2}, 12, {KEY_REF, KEY_TEST, KEY_UP, KEY_LEFT}},
        {{KEY_SOFT1}, 76, {KEY_SOFT4, KEY_UP, KEY_TEST}},
        {{KEY_SOFT1}, 15, {KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT}},
    };
    for (const IgnoredKeysCase& c : aCases) {
        for (uint8_t bKey : c.path)
            Press(bKey);
        ASSERT_EQ(gunScreenState, c.bState);
        uint16_t unWavelength = gunWavelength;
        Host().ClearChangedFlags();
        for (uint8_t bKey : c.ignored)
            Press(bKey);
        EXPECT_EQ(gunScreenState, c.bState);
        EXPECT_EQ(ChangedBytes(), 0) << "state " << int(c.bState);
        EXPECT_EQ(gunWavelength, unWavelength);
    }
}

TEST_F(UiTest, UnhandledStateValuesReactOnlyToStandby)
{
    PowerUpToMainMenu();
    for (uint8_t bState : {uint8_t{3}, uint8_t{88}, uint8_t{90}, uint8_t{140}, uint8_t{255}}) {
        gunScreenState = bState;
        Host().ClearChangedFlags();
        for (uint8_t bKey : {KEY_SOFT1, KEY_SOFT2, KEY_ESCAPE, KEY_TEST, KEY_UP})
            Press(bKey);
        EXPECT_EQ(gunScreenState, bState);
        EXPECT_EQ(ChangedBytes(), 0);
    }
    Press(KEY_STANDBY);
    EXPECT_EQ(gunScreenState, STATE_STANDBY);
}

TEST_F(UiTest, ControlShowsPcControlAndOnlyStandbyActsUntilRelease)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, 12}});
    Host().Inject("CONTROL\r\n");
    Host().Tick();
    ASSERT_EQ(gunScreenState, STATE_PC_CONTROL);
    Host().ClearChangedFlags();
    for (uint8_t bKey : {KEY_SOFT1, KEY_SOFT2, KEY_ESCAPE, KEY_REF, KEY_TEST})
        Press(bKey);
    EXPECT_EQ(gunScreenState, STATE_PC_CONTROL);
    EXPECT_EQ(ChangedBytes(), 0);
    Host().Inject("RELEASE\r\n");
    Host().Tick();
    EXPECT_EQ(gunScreenState, 12);
    // Standby acts from PC Control too.
    Host().Inject("CONTROL\r\n");
    Host().Tick();
    ASSERT_EQ(gunScreenState, STATE_PC_CONTROL);
    Press(KEY_STANDBY);
    EXPECT_EQ(gunScreenState, STATE_STANDBY);
}

// RELEASE into an overlay state: the overlay's parent is drawn again first,
// so the overlay never lands on the "PC Control" screen.
TEST_F(UiTest, ReleaseIntoOverlayRedrawsItsParent)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, 12}, {KEY_SOFT3, 25}, {KEY_SOFT1, 27}, {KEY_SOFT4, 28}});
    Host().Inject("CONTROL\r\n");
    Host().Tick();
    ASSERT_EQ(gunScreenState, STATE_PC_CONTROL);
    Host().ClearChangedFlags();
    Host().Inject("RELEASE\r\n");
    Host().Tick();
    ASSERT_EQ(gunScreenState, 28);
    EXPECT_EQ(ChangedBytes(), 3840) << "the method program was not redrawn under the name editor";
    Walk({{KEY_ESCAPE, 27}});
}

TEST_F(UiTest, SetUpServiceSequenceOpensServiceMenuOnlyWithinItsWindow)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT3, 14}, {KEY_UP, 14}, {KEY_DOWN, 14}});
    Host().AdvanceMs(6000);  // 120 ticks: the window of 100 has closed
    Press(KEY_TEST);
    EXPECT_EQ(gunScreenState, 14);
    Walk({{KEY_UP, 14}, {KEY_DOWN, 14}, {KEY_TEST, 71}, {KEY_ESCAPE, 11}});
}

TEST(ScreenScriptTable, EveryEntryIsAScriptAndIndicesPastTheTableAreEmpty)
{
    for (uint16_t i = 0; i < SCREEN_SCRIPT_COUNT; i++)
        ASSERT_NE(ScreenScript(i), nullptr) << "entry " << i;
    EXPECT_STREQ(ScreenScript(STATE_STANDBY), "C0");
    EXPECT_NE(std::strstr(ScreenScript(STATE_PC_CONTROL), "T327"), nullptr);
    EXPECT_NE(std::strstr(ScreenScript(FRAG_HINT_CLEAR), "Y119"), nullptr);
    EXPECT_NE(std::strstr(ScreenScript(FRAG_STATE_27_EXTRA), "X208Y30 c1"), nullptr);
    EXPECT_STREQ(ScreenScript(SCREEN_SCRIPT_COUNT), "");
    EXPECT_STREQ(ScreenScript(0xFFFF), "");
    // Every state with a handler has a screen.
    for (uint8_t b = 0; b < STATE_PC_CONTROL; b++)
        if (gScreenStates[b].pfnHandler && b != STATE_STANDBY) {
            EXPECT_TRUE(ScreenScript(b)[0] != 0 || (gScreenStates[b].unFlags & FLAG_OVERLAY)) << "state " << int(b);
        }
}

}  // namespace
