// halden-cli's analogue-output log: the per-tick trace kept as "ms value"
// lines on change, and the command-line option that writes it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "analogue_log.h"
#include "support/firmware_fixture.h"

namespace {

std::string ReadText(const std::string& sPath)
{
    std::ifstream file(sPath);
    std::stringstream ss;
    ss << file.rdbuf();
    return ss.str();
}

void Feed(CAnalogueLog& log, const std::string& s)
{
    for (char c : s)
        log.Write(static_cast<uint8_t>(c));
}

class AnalogueLogTest : public ScratchDirTest {};

TEST_F(AnalogueLogTest, WritesALineWhenTheValueChangesAndTheLastMillisecond)
{
    {
        CAnalogueLog log;
        ASSERT_TRUE(log.Open("a.log"));
        Feed(log, "65535\n65535\n42\n43\n43\n43\n0\n0\n");
    }
    EXPECT_EQ(ReadText("a.log"), "# halden analogue output: ms value\n0 65535\n2 42\n3 43\n6 0\n7 0\n");
    {
        CAnalogueLog log;
        ASSERT_TRUE(log.Open("b.log"));
        Feed(log, "7\n");
    }
    EXPECT_EQ(ReadText("b.log"), "# halden analogue output: ms value\n0 7\n");
    CAnalogueLog log;
    EXPECT_FALSE(log.Open("no-such-directory/c.log"));
}

TEST_F(AnalogueLogTest, HaldenCliLogsTheOutputFromPowerUp)
{
    std::ofstream("idle.txt") << "key standby\nwait 1s\n";
    std::string sCommand = std::string(HALDEN_CLI) + " --analogue-log out.log idle.txt >cli.out 2>&1";
    ASSERT_EQ(std::system(sCommand.c_str()), 0) << ReadText("cli.out");
    std::string sLog = ReadText("out.log");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(sLog, match, std::regex("# halden analogue output: ms value\n0 65535\n(\\d+) 65535\n")))
        << sLog;
    EXPECT_GE(std::stoul(match[1].str()), 1000u);

    sCommand = std::string(HALDEN_CLI) + " --analogue-log no-such-directory/x.log idle.txt >cli.out 2>&1";
    int nStatus = std::system(sCommand.c_str());
    EXPECT_EQ(WEXITSTATUS(nStatus), 2);
    EXPECT_EQ(ReadText("cli.out"), "halden-cli: cannot write no-such-directory/x.log: No such file or directory\n");
}

}  // namespace
