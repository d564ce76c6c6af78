// A powered-up instrument driven by keys, for the state-machine tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "core/timers.h"
#include "support/firmware_fixture.h"
#include "ui/ui.h"

class UiTest : public FirmwareTest {
protected:
    // One key stroke: 100 ms down, 100 ms up (two host ticks each way).
    void Press(uint8_t bKey)
    {
        Host().SetKey(bKey, true);
        Host().Tick(2);
        Host().SetKey(bKey, false);
        Host().Tick(2);
    }
    // Advances time until the screen state is bState; false after unMaxMs.
    bool WaitState(uint8_t bState, uint32_t unMaxMs = 60000)
    {
        for (uint32_t unMs = 0; unMs <= unMaxMs; unMs += CInstrument::TICK_MS) {
            if (gunScreenState == bState)
                return true;
            Host().Tick();
        }
        return gunScreenState == bState;
    }
    // Powers up (the instrument waits in standby) and presses the standby key,
    // which starts the splash.
    void SwitchOn()
    {
        Host().PowerUp();
        Press(KEY_STANDBY);
    }
    // Switches on through the splash, the start-up sequence and the self-test
    // display to the main menu.
    void PowerUpToMainMenu()
    {
        SwitchOn();
        ASSERT_TRUE(WaitState(9)) << "state " + std::to_string(gunScreenState);
        Press(KEY_SOFT2);
        ASSERT_EQ(gunScreenState, 11);
    }
    // Presses the keys in order, checking the state after each.
    void Walk(std::initializer_list<std::pair<uint8_t, uint8_t>> steps)
    {
        for (auto [bKey, bExpected] : steps) {
            uint8_t bFrom = gunScreenState;
            Press(bKey);
            ASSERT_EQ(gunScreenState, bExpected) << "key " << int(bKey) << " from state " << int(bFrom);
        }
    }
    // True when any byte of the visible screen was written since the last clear.
    bool AnyByteChanged(int nFirstRow = 0, int nLastRow = 127, int nFirstByte = 0)
    {
        for (int y = nFirstRow; y <= nLastRow; y++)
            for (int b = nFirstByte; b < 30; b++)
                if (Host().ByteChanged(static_cast<uint16_t>(640 + 30 * y + b)))
                    return true;
        return false;
    }
    int ChangedBytes()
    {
        int n = 0;
        for (uint16_t a = 640; a < 640 + 3840; a++)
            n += Host().ByteChanged(a) ? 1 : 0;
        return n;
    }
};
