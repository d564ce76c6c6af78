// A powered-up firmware whose per-pass step only polls the remote command
// interpreter, on a screen that accepts remote control (the main menu), and
// helpers that hold a conversation with it: bytes in, bytes out.
#pragma once

#include <atomic>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

#include "comms/remote.h"
#include "core/clock.h"
#include "app/probe.h"
#include "core/runtime.h"
#include "core/timers.h"
#include "measure/reading.h"
#include "storage/i2c.h"
#include "storage/params.h"
#include "support/firmware_fixture.h"
#include "support/remote_step.h"
#include "ui/ui.h"


// Bytes of the EEPROM file, as the instrument left them.
inline std::string EepromBytes(uint16_t unAddress, size_t nCount)
{
    std::ifstream file("eeprom.bin", std::ios::binary);
    std::string s(32768, '\0');
    file.read(s.data(), static_cast<std::streamsize>(s.size()));
    return s.substr(unAddress, nCount);
}

class RemoteTest : public FirmwareTest {
protected:
    static constexpr uint32_t MAX_TICKS = 6000;  // five minutes of firmware time for one exchange

    void SetUp() override
    {
        FirmwareTest::SetUp();
        FirmwareSetUiStep(remote_test::RemoteStep);
        Host().PowerUp();
        Host().Tick();
    }

    // Injects the bytes (at most the 64 of the receive queue) and runs the
    // firmware until the poll that takes them has returned; the text sent
    // meanwhile. Fails the test when the poll does not return in time.
    std::string Converse(std::string_view sIn)
    {
        EXPECT_LE(sIn.size(), 64u);
        size_t nFrom = Host().SerialText().size();
        uint32_t unBefore = remote_test::gunPollsDone.load();
        Host().Inject(sIn);
        uint32_t unTicks = 0;
        while (remote_test::gunPollsDone.load() == unBefore && unTicks < MAX_TICKS) {
            Host().Tick();
            unTicks++;
        }
        EXPECT_LT(unTicks, MAX_TICKS) << "no end of poll after sending " << ::testing::PrintToString(std::string(sIn));
        return Host().SerialText().substr(nFrom);
    }

    // As Converse, pressing and releasing the TEST key every other tick for
    // the calibrations' waits for a sample.
    std::string ConversePressingTest(std::string_view sIn)
    {
        size_t nFrom = Host().SerialText().size();
        uint32_t unBefore = remote_test::gunPollsDone.load();
        Host().Inject(sIn);
        uint32_t unTicks = 0;
        while (remote_test::gunPollsDone.load() == unBefore && unTicks < MAX_TICKS) {
            Host().SetKey(KEY_TEST, (unTicks & 2) != 0);
            Host().Tick();
            unTicks++;
        }
        Host().SetKey(KEY_TEST, false);
        EXPECT_LT(unTicks, MAX_TICKS) << "no end of poll after sending " << ::testing::PrintToString(std::string(sIn));
        return Host().SerialText().substr(nFrom);
    }

    // Takes control; fails the test unless it was granted.
    void TakeControl() { ASSERT_EQ(Converse("CONTROL\r\n"), "E00\r\n"); }
};
