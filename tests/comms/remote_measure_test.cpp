// Remote commands over the recorded frame sets: absorbance of the sample,
// the calibrations with their replies and stored values, and a calibration
// abandoned by the standby key.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "comms/remote.h"
#include "comms/remote_fixture.h"
#include "core/timers.h"
#include "storage/params.h"
#include "ui/ui.h"

// Reference, sample, then the queries and the spectrum agree on 579 nm.
TEST_F(RemoteTest, SampleAbsorbanceAt579)
{
    TakeControl();
    ASSERT_EQ(Converse("SETREF\r\n"), "+00\tScanning\r\nE00\r\n");
    std::string sBin = Converse("SCANBIN\r\n");
    std::string sReply = Converse("READA? 579\r\n");
    ASSERT_TRUE(sReply.starts_with("E00  0.5") && sReply.ends_with(" 579\r\n")) << sReply;
    double fA = std::strtod(sReply.c_str() + 4, nullptr);
    EXPECT_NEAR(fA, 0.557, 0.004);
    std::string sGroup = sBin.substr(sBin.find('\n') + 1 + (579 - 330) * 4, 3);
    EXPECT_NEAR(std::strtol(sGroup.c_str(), nullptr, 16), fA * 1000, 0.51) << sGroup;
    std::string sT = Converse("READT? 579\r\n");
    EXPECT_EQ(sT, "E00 28 579\r\n");  // 10^-0.557 = 27.7 %
}

TEST_F(RemoteTest, CalibrationsReplyWithTheirResults)
{
    TakeControl();
    std::string sHo = ConversePressingTest("DIAG TESTHO\r\n");
    EXPECT_TRUE(sHo.find("\tWaiting for sample\r\n") != std::string::npos) << sHo;
    EXPECT_TRUE(sHo.ends_with("E00 -8\r\n")) << sHo;
    EXPECT_EQ(EepromBytes(PARAM_HOLMIUM_OFFSET, 2), "\xFF\xF8");
    EXPECT_EQ(Converse("DIAG RESETHO\r\n"), "E00\r\n");
    EXPECT_EQ(EepromBytes(PARAM_HOLMIUM_OFFSET, 2), std::string(2, '\0'));

    std::string sWl = ConversePressingTest("DIAG TESTWL\r\n");
    EXPECT_TRUE(sWl.ends_with("E00 88\r\n")) << sWl;
    std::string sSl = ConversePressingTest("DIAG TESTSL\r\n");
    EXPECT_TRUE(sSl.ends_with("+01\tMeasured value: 21.85\r\n+02\tSet to 15\r\nE00 15\r\n")) << sSl;
    EXPECT_EQ(ConversePressingTest("DIAG TESTBTN 2\r\n"), "+00\tWaiting for sample\r\nE00\r\n");
}

// The standby key at "Waiting for sample": no reply, the poll reports the
// abandon, the stored offset stays, and later routines send no trace lines.
TEST_F(RemoteTest, TestHoAbandonedByStandby)
{
    TakeControl();
    std::string sStored = EepromBytes(PARAM_HOLMIUM_OFFSET, 2);
    size_t nFrom = Host().SerialText().size();
    uint32_t unPolls = remote_test::gunPollsDone.load();
    Host().Inject("DIAG TESTHO\r\n");
    for (int i = 0; i < 1000 && Host().SerialText().find("Waiting for sample", nFrom) == std::string::npos; i++)
        Host().Tick();
    std::string sOut = Host().SerialText().substr(nFrom);
    ASSERT_TRUE(sOut.ends_with("\tWaiting for sample\r\n")) << sOut;
    EXPECT_EQ(gunScreenState, STATE_PC_CONTROL_WAITING);

    Host().SetKey(KEY_STANDBY, true);
    for (int i = 0; i < 20 && remote_test::gunPollsDone.load() == unPolls; i++)
        Host().Tick();
    Host().SetKey(KEY_STANDBY, false);
    EXPECT_EQ(remote_test::gunPollsAbandoned.load(), 1u);
    EXPECT_EQ(Host().SerialText().substr(nFrom), sOut);  // no reply
    EXPECT_EQ(EepromBytes(PARAM_HOLMIUM_OFFSET, 2), sStored);
    EXPECT_EQ(gbTraceOn, 0);
    Host().ClearSerialText();
    RemoteTrace("Peak Wavelength(360.9) = 354");
    EXPECT_EQ(Host().SerialText(), "");
}

namespace {

std::atomic<bool> gbStartKeypadReading{false};
std::atomic<bool> gbKeypadReadingDone{false};
std::atomic<uint32_t> gunKeypadReadingMs{0};

// The remote step, plus a sample reading as the TEST key on the single
// measurement screen starts it, timed in firmware milliseconds.
void KeypadReadingStep(uint8_t bPhase)
{
    remote_test::RemoteStep(bPhase);
    if (bPhase != 1 && gbStartKeypadReading.exchange(false)) {
        gunScreenState = 15;
        uint32_t unStart = ReadElapsedMs();
        TakeReading(READ_SAMPLE);
        gunKeypadReadingMs = ReadElapsedMs() - unStart;
        gbKeypadReadingDone = true;
    }
}

}  // namespace

TEST_F(FirmwareTest, PcReadingsWaitWhileAKeypadReadingRuns)
{
    FirmwareSetUiStep(KeypadReadingStep);
    Host().PowerUp();
    Host().Tick();
    gbStartKeypadReading = true;
    Host().Tick(5);
    ASSERT_FALSE(gbKeypadReadingDone.load());
    size_t nFrom = Host().SerialText().size();
    Host().Inject("\x12");
    Host().Inject("CONTROL\r\n");
    for (int i = 0; i < 400 && !gbKeypadReadingDone.load(); i++)
        Host().Tick();
    ASSERT_TRUE(gbKeypadReadingDone.load());
    std::string sDuring = Host().SerialText().substr(nFrom);
    EXPECT_EQ(sDuring.find("REF DONE"), std::string::npos) << sDuring;
    EXPECT_NE(sDuring.find("E93\r\n"), std::string::npos) << sDuring;
    EXPECT_GE(gunKeypadReadingMs.load(), 5300u);  // not cut short by a reading inside it

    // Once the keypad reading is over the PC's reference reading runs.
    nFrom = Host().SerialText().size();
    Host().Inject("\x12");
    for (int i = 0; i < 400 && Host().SerialText().find("REF DONE", nFrom) == std::string::npos; i++)
        Host().Tick();
    EXPECT_NE(Host().SerialText().find("REF DONE", nFrom), std::string::npos);
}
