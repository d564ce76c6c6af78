// The scenario language and halden-cli.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "scenario.h"
#include "support/firmware_fixture.h"

namespace {

struct CliResult {
    int nStatus;
    std::string sStdout;
    std::string sStderr;
};

std::string ReadFile(const std::string& sPath)
{
    std::ifstream file(sPath, std::ios::binary);
    std::stringstream ss;
    ss << file.rdbuf();
    return ss.str();
}

CliResult RunCli(const std::string& sArgs)
{
    std::string sCommand = std::string(HALDEN_CLI) + " " + sArgs + " >cli.out 2>cli.err";
    int nRaw = std::system(sCommand.c_str());
    return {WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1, ReadFile("cli.out"), ReadFile("cli.err")};
}

void WriteFile(const std::string& sPath, const std::string& sText)
{
    std::ofstream(sPath) << sText;
}

}  // namespace

TEST(ScenarioParseTest, Durations)
{
    struct Case {
        const char* psz;
        std::optional<uint32_t> expected;
    } kCases[] = {{"250ms", 250}, {"6s", 6000}, {"2m", 120000}, {"75", 75}, {"0s", 0},
                  {"", std::nullopt}, {"s", std::nullopt}, {"5h", std::nullopt}, {"-1s", std::nullopt},
                  {"99999999999", std::nullopt}};
    for (const Case& c : kCases)
        EXPECT_EQ(CScenario::ParseDuration(c.psz), c.expected) << c.psz;
}

TEST(ScenarioParseTest, KeyNames)
{
    EXPECT_EQ(CScenario::ParseKey("ref"), 1);
    EXPECT_EQ(CScenario::ParseKey("up"), 2);
    EXPECT_EQ(CScenario::ParseKey("soft4"), 11);
    EXPECT_EQ(CScenario::ParseKey("standby"), 12);
    EXPECT_EQ(CScenario::ParseKey("enter"), std::nullopt);
}

TEST_F(CoreFirmwareTest, ScenarioKeyAndHoldSetKeysForTheirDurations)
{
    Host().PowerUp();
    std::ostringstream out;
    CScenario scenario(Host(), out);
    uint64_t ullStart = Host().VirtualMs();
    ASSERT_TRUE(scenario.RunLine("key test"));
    EXPECT_EQ(Host().VirtualMs() - ullStart, 200u);
    EXPECT_FALSE(Host().KeyDown(5));
    ASSERT_TRUE(scenario.RunLine("press left"));
    EXPECT_TRUE(Host().KeyDown(6));
    ASSERT_TRUE(scenario.RunLine("hold left 1s"));
    EXPECT_FALSE(Host().KeyDown(6));
    EXPECT_EQ(Host().VirtualMs() - ullStart, 1200u);
    EXPECT_FALSE(scenario.RunLine("press sideways"));
    EXPECT_FALSE(scenario.RunLine("fly away"));
    EXPECT_TRUE(scenario.RunLine("   # a comment"));
}

TEST_F(CoreFirmwareTest, ScenarioExpectMatchesInOrderAndTimesOut)
{
    Host().PowerUp();
    std::ostringstream out;
    CScenario scenario(Host(), out);
    EXPECT_TRUE(scenario.RunLine("expect \"START\\r\\n\""));
    // Already matched output is not matched again.
    uint64_t ullStart = Host().VirtualMs();
    EXPECT_FALSE(scenario.RunLine("expect START within 500ms"));
    EXPECT_EQ(Host().VirtualMs() - ullStart, 500u);
    EXPECT_NE(scenario.Error().find("expected \"START\""), std::string::npos);
}

TEST_F(ScratchDirTest, CliRunsScenarioWithSnapshotAndExpect)
{
    WriteFile("ok.scn",
              "# power-up and a look at the display\n"
              "key standby\n"
              "press test\n"
              "wait 250ms\n"
              "release test\n"
              "snapshot shot.png\n"
              "snapshot shot.pbm\n"
              "expect \"START\\r\\n\"\n"
              "state\n");
    CliResult result = RunCli("--serial-log serial.log ok.scn");
    EXPECT_EQ(result.nStatus, 0) << result.sStderr;
    std::string sPng = ReadFile("shot.png");
    ASSERT_GE(sPng.size(), 8u);
    EXPECT_EQ(sPng.substr(1, 3), "PNG");
    std::string sPbm = ReadFile("shot.pbm");
    EXPECT_EQ(sPbm.size(), std::string("P4\n240 128\n").size() + 3840);
    EXPECT_EQ(ReadFile("serial.log").rfind("START\r\n", 0), 0u);
    EXPECT_NE(result.sStdout.find("state "), std::string::npos);
}

TEST_F(ScratchDirTest, CliFailingExpectExitsOneAndNamesItsLine)
{
    WriteFile("bad.scn", "wait 100ms\nexpect \"NO SUCH TEXT\" within 1s\nwait 1s\n");
    CliResult result = RunCli("bad.scn");
    EXPECT_EQ(result.nStatus, 1);
    EXPECT_NE(result.sStderr.find("bad.scn:2:"), std::string::npos) << result.sStderr;
    EXPECT_NE(result.sStderr.find("START\\r\\n"), std::string::npos) << result.sStderr;
}

TEST_F(ScratchDirTest, CliReadsScenarioFromStandardInput)
{
    WriteFile("in.scn", "expect START\n");
    CliResult result = RunCli("- < in.scn");
    EXPECT_EQ(result.nStatus, 0) << result.sStderr;
}
