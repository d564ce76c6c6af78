// The pace of the headless host: runs of many ticks handed to the firmware
// in one go stay in lock step, the same scenario always gives the same
// output, and the speed setting changes only how fast wall time goes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "core/timers.h"
#include "support/firmware_fixture.h"

namespace {

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream ss;
    ss << file.rdbuf();
    return ss.str();
}

// Runs halden-cli on sScenario in a directory of its own (a new eeprom.bin),
// with the serial log and standard output kept there. The exit status.
int RunCliIn(const std::filesystem::path& dir, const std::string& sOptions, const std::string& sScenario)
{
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "run.scn") << sScenario;
    std::string sCommand = "cd '" + dir.string() + "' && " + HALDEN_CLI + " " + sOptions +
                           " --serial-log serial.log run.scn >stdout.txt 2>stderr.txt";
    int nRaw = std::system(sCommand.c_str());
    return WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1;
}

class PaceTest : public ScratchDirTest {
protected:
    // Runs the scenario twice, in directories "first" and "second" with the
    // options given for each, and expects the named files to be identical
    // and not empty.
    void ExpectSameOutput(const std::string& sScenario, const std::string& sFirstOptions,
                          const std::string& sSecondOptions, std::initializer_list<const char*> files)
    {
        ASSERT_EQ(RunCliIn(m_dir / "first", sFirstOptions, sScenario), 0) << ReadFile(m_dir / "first" / "stderr.txt");
        ASSERT_EQ(RunCliIn(m_dir / "second", sSecondOptions, sScenario), 0)
            << ReadFile(m_dir / "second" / "stderr.txt");
        for (const char* pszFile : files) {
            std::string sFirst = ReadFile(m_dir / "first" / pszFile);
            EXPECT_FALSE(sFirst.empty()) << pszFile;
            EXPECT_TRUE(sFirst == ReadFile(m_dir / "second" / pszFile)) << pszFile << " differs between the runs";
        }
    }
};

}  // namespace

// Lock step: each tick is consumed in its own slice, and a run stops at the
// end of the first slice after which its condition holds, whether the
// firmware thread or the host checks it.
TEST_F(CoreFirmwareTest, TickUntilStopsAtTheFirstSliceWhereTheConditionHolds)
{
    Host().PowerUp();
    struct Case {
        const char* pszName;
        uint32_t unMaxTicks;
        uint32_t unStopAfterMs;  // firmware milliseconds after which the condition holds
        bool bExpected;
        uint32_t unExpectedTicks;
    } kCases[] = {
        {"holds before any tick", 10, 0, true, 0},
        {"holds after the third slice", 10, 150, true, 3},
        {"holds after the last slice", 10, 500, true, 10},
        {"never holds within the ticks", 10, 550, false, 10},
        {"one tick that suffices", 1, 50, true, 1},
        {"no ticks at all", 0, 50, false, 0},
        {"a long run", 2000, 99950, true, 1999},
    };
    for (const Case& c : kCases) {
        const uint64_t ullStartMs = Host().VirtualMs();
        const uint32_t unStartElapsed = gunElapsedMs;
        // Read on the firmware thread at its yield points: the firmware's
        // own millisecond counter, which moves only as ticks are consumed.
        bool bResult = Host().TickUntil(c.unMaxTicks, [&] { return gunElapsedMs - unStartElapsed >= c.unStopAfterMs; });
        EXPECT_EQ(bResult, c.bExpected) << c.pszName;
        EXPECT_EQ(Host().VirtualMs() - ullStartMs, c.unExpectedTicks * CInstrument::TICK_MS) << c.pszName;
        EXPECT_EQ(gunElapsedMs - unStartElapsed, c.unExpectedTicks * CInstrument::TICK_MS) << c.pszName;
        EXPECT_EQ(Host().PendingTickCount(), 0) << c.pszName;
    }
}

TEST_F(CoreFirmwareTest, TickWithoutConditionDeliversEveryTick)
{
    Host().PowerUp();
    const uint32_t unStartElapsed = gunElapsedMs;
    Host().Tick(7);
    Host().AdvanceMs(120);  // whole ticks: 3
    EXPECT_EQ(gunElapsedMs - unStartElapsed, 10 * CInstrument::TICK_MS);
    EXPECT_EQ(Host().PendingTickCount(), 0);
}

// A key stroke is one run of ticks: the firmware's key poll sees the key
// down for exactly the press's ticks and up for the rest.
TEST_F(CoreFirmwareTest, KeyStrokeReleasesAtTheEndOfThePress)
{
    Host().PowerUp();
    struct Case {
        uint32_t unDownMs;
        uint32_t unUpMs;
        uint8_t bHeldAfter;  // the key the firmware last saw held, 0 none
    } kCases[] = {
        {100, 0, KEY_TEST},  // released after the last slice: not yet polled
        {100, 50, 0},        // one poll after the release
        {50, 0, KEY_TEST},
        {50, 100, 0},
        {0, 50, 0},          // never down at a poll
    };
    for (const Case& c : kCases) {
        const uint64_t ullStartMs = Host().VirtualMs();
        Host().KeyStroke(KEY_TEST, c.unDownMs, c.unUpMs);
        EXPECT_EQ(gbKeyHeld, c.bHeldAfter) << c.unDownMs << " ms down, " << c.unUpMs << " ms up";
        EXPECT_FALSE(Host().KeyDown(KEY_TEST));
        EXPECT_EQ(Host().VirtualMs() - ullStartMs, c.unDownMs + c.unUpMs);
        Host().Tick(2);  // the firmware sees the key up before the next case
    }
}

// Two runs of one scenario, each from a new eeprom.bin: the serial logs, the
// snapshots and the printed output are identical byte for byte.
TEST_F(PaceTest, TheSameScenarioGivesTheSameOutput)
{
    const std::string sScenario =
        "key standby\n"
        "wait-screen 9 within 90s\n"
        "key soft2\n"
        "wait-screen 11\n"
        "snapshot menu.png\n"
        "send \"\\x08\"\n"
        "expect \"HELLO\"\n"
        "key soft2\n"
        "key soft1\n"
        "key soft1\n"
        "wait-screen 15 within 0\n"
        "key test\n"
        "wait 6s\n"
        "snapshot reading.pbm\n"
        "state\n"
        "screen\n";
    ExpectSameOutput(sScenario, "", "", {"serial.log", "menu.png", "reading.pbm", "stdout.txt", "eeprom.bin"});
}

// Real time and as fast as possible give the same serial log and screen over
// a short scenario (about two seconds of firmware time).
TEST_F(PaceTest, TheSpeedChangesOnlyThePace)
{
    const std::string sScenario =
        "expect \"START\\r\\n\" within 1s\n"
        "wait 1s\n"
        "send \"\\x08\"\n"
        "wait 500ms\n"
        "key standby\n"
        "wait 300ms\n"
        "snapshot end.pbm\n"
        "state\n";
    ExpectSameOutput(sScenario, "--speed max", "--speed 1", {"serial.log", "end.pbm", "stdout.txt"});
    const std::string sLog = ReadFile(m_dir / "first" / "serial.log");
    EXPECT_NE(sLog.find("HELLO"), std::string::npos) << sLog;
}

namespace {

// The firmware time halden-cli reports with --stats, in milliseconds.
long FirmwareMsOf(const std::filesystem::path& dir)
{
    std::string sErr = ReadFile(dir / "stderr.txt");
    size_t nAt = sErr.find(" ms of firmware time");
    size_t nBegin = sErr.rfind(' ', nAt - 1);
    if (nAt == std::string::npos || nBegin == std::string::npos)
        return -1;
    return std::stol(sErr.substr(nBegin + 1, nAt - nBegin - 1));
}

}  // namespace

// A wait-screen or expect ends with the first tick after which its condition
// holds: checked "within 0" one tick before that it fails, at it it holds.
TEST_F(PaceTest, WaitsEndAtTheFirstTickTheirConditionHolds)
{
    struct Case {
        const char* pszName;
        const char* pszBefore;   // brings the instrument to where the wait starts
        const char* pszCommand;  // the wait, without its limit
    } kCases[] = {
        {"screen after the start-up", "key standby\n", "wait-screen self-test-passed"},
        {"screen after OK", "key standby\nwait-screen self-test-passed within 2m\npress soft2\n", "wait-screen main-menu"},
        {"text at the end of the start-up", "key standby\n", "expect \"Q4K7 V1.0\\r\\n\""},
    };
    for (const Case& c : kCases) {
        const std::string sBefore = c.pszBefore;
        const std::string sCommand = c.pszCommand;
        ASSERT_EQ(RunCliIn(m_dir / "before", "--stats", sBefore), 0) << c.pszName;
        ASSERT_EQ(RunCliIn(m_dir / "waited", "--stats", sBefore + sCommand + " within 2m\n"), 0) << c.pszName;
        const long lWaitedMs = FirmwareMsOf(m_dir / "waited") - FirmwareMsOf(m_dir / "before");
        ASSERT_GT(lWaitedMs, 0) << c.pszName << ": " << ReadFile(m_dir / "waited" / "stderr.txt");
        const std::string sEarly = sBefore + "wait " + std::to_string(lWaitedMs - 50) + "ms\n" + sCommand + " within 0\n";
        EXPECT_EQ(RunCliIn(m_dir / "early", "", sEarly), 1) << c.pszName << ": holds a tick before the wait ended";
        const std::string sAt = sBefore + "wait " + std::to_string(lWaitedMs) + "ms\n" + sCommand + " within 0\n";
        EXPECT_EQ(RunCliIn(m_dir / "at", "", sAt), 0) << c.pszName << ": " << ReadFile(m_dir / "at" / "stderr.txt");
        for (const char* pszDir : {"before", "waited", "early", "at"})
            std::filesystem::remove_all(m_dir / pszDir);
    }
}

TEST_F(PaceTest, BadSpeedsAreRefusedByName)
{
    for (const char* pszSpeed : {"0", "-2", "fast", "3x", "1e9", ""}) {
        EXPECT_EQ(RunCliIn(m_dir / "bad", std::string("--speed '") + pszSpeed + "'", "state\n"), 2) << pszSpeed;
        EXPECT_NE(ReadFile(m_dir / "bad" / "stderr.txt").find("bad speed"), std::string::npos) << pszSpeed;
    }
}
