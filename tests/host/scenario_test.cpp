// The scenario language and halden-cli: the parser's refusals and
// acceptances, the runner's messages, the console, options and the serial log.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "comms/remote_fixture.h"
#include "display_image.h"
#include "display_text.h"
#include "escape.h"
#include "app/probe.h"
#include "power_on.h"
#include "scenario.h"
#include "support/files.h"
#include "support/firmware_fixture.h"
#include "ui/ui.h"

namespace {

using namespace std::string_view_literals;

struct CliResult {
    int nStatus;
    std::string sStdout;
    std::string sStderr;
};

// Runs halden-cli in the current directory; sInput, when given, is its standard input.
CliResult RunCli(const std::string& sArgs, const std::string* psInput = nullptr)
{
    std::string sCommand = std::string(HALDEN_CLI) + " " + sArgs;
    if (psInput) {
        WriteWholeFile("cli.in", *psInput);
        sCommand += " <cli.in";
    }
    sCommand += " >cli.out 2>cli.err";
    int nRaw = std::system(sCommand.c_str());
    return {WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1, ReadWholeFile("cli.out"), ReadWholeFile("cli.err")};
}

size_t CodePoints(const std::string& s)
{
    size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

}  // namespace

#define STATE_HINT \
    "a screen state is a number 0..133 or a name such as main-menu ('halden-cli --states' lists them)"

// Every refusal names the line and the column of the fault.
TEST(ScenarioParseTest, RefusalsNameLineColumnAndFault)
{
    struct Case {
        std::string_view sLine;
        std::string_view sError;  // "LINE:COLUMN: message" with file name "t.scn"
    } kCases[] = {
        {"send \"\\xZZ\"", "t.scn:1:7: bad escape '\\x': \\x needs hexadecimal digits, as in \\x14"},
        {"send \"\\x100\"", "t.scn:1:7: bad escape '\\x100': a byte is at most \\xFF"},
        {"send \"\\400\"", "t.scn:1:7: bad escape '\\400': a byte is at most \\377"},
        {"sendln ab\\qc", "t.scn:1:10: unknown escape '\\q'; the escapes are \\r \\n \\t \\a \\b \\f \\v \\\\ \\\" \\' "
                          "\\? \\xHH \\ooo"},
        {"send abc\\", "t.scn:1:9: a backslash ends the text; write \\\\ for a backslash"},
        {"send \"abc\\\"", "t.scn:1:6: the quoted text has no closing '\"'"},
        {"send \"a\"b", "t.scn:1:9: a blank must follow the closing '\"'"},
        {"send \"\xC3\xA9\\q\"", "t.scn:1:8: unknown escape '\\q'; the escapes are \\r \\n \\t \\a \\b \\f \\v \\\\ "
                                 "\\\" \\' \\? \\xHH \\ooo"},  // é is one column
        {"send \"\"", "t.scn:1:6: send needs a TEXT that is not empty (sendln \"\" sends CR LF)"},
        {"send", "t.scn:1:5: send needs a TEXT; usage: send TEXT"},
        {"send \"x\" more", "t.scn:1:10: extra argument 'more'; usage: send TEXT"},
        {"expect \"\"", "t.scn:1:8: expect needs a TEXT that is not empty: an empty text is always found"},
        {"expect \"x\" within", "t.scn:1:18: 'within' needs a DURATION; write 250ms, 6s or 2m (a bare number is "
                                "milliseconds)"},
        {"expect x within 5s 6s", "t.scn:1:20: extra argument '6s'; usage: expect TEXT [within DURATION]"},
        {"expect \"x\" inside 5s", "t.scn:1:12: expected 'within DURATION' or the end of the line, found 'inside'"},
        {"state 3", "t.scn:1:7: extra argument '3'; usage: state"},
        {"screen extra", "t.scn:1:8: extra argument 'extra'; usage: screen"},
        {"  key ref soft1", "t.scn:1:11: extra argument 'soft1'; usage: key KEY"},
        {"press enter", "t.scn:1:7: unknown key 'enter'; the keys are ref test escape up down left right soft1 soft2 "
                        "soft3 soft4 standby"},
        {"release", "t.scn:1:8: release needs a KEY: ref test escape up down left right soft1 soft2 soft3 soft4 "
                    "standby"},
        {"wait", "t.scn:1:5: wait needs a DURATION; write 250ms, 6s or 2m (a bare number is milliseconds)"},
        {"wait 5h", "t.scn:1:6: bad duration '5h'; write 250ms, 6s or 2m (a bare number is milliseconds)"},
        {"wait 5 s", "t.scn:1:8: extra argument 's'; usage: wait DURATION"},
        {"hold ref # two seconds", "t.scn:1:10: hold needs a DURATION after the key; write 250ms, 6s or 2m (a bare "
                                   "number is milliseconds)"},
        {"wait-screen 134", "t.scn:1:13: unknown screen state '134'; " STATE_HINT},
        {"wait-screen", "t.scn:1:12: wait-screen needs a STATE; " STATE_HINT},
        {"wait-screen Main-Menu", "t.scn:1:13: unknown screen state 'Main-Menu'; " STATE_HINT},
        {"wait-screen main-menu\0x"sv, "t.scn:1:13: unknown screen state 'main-menu\0x'; " STATE_HINT ""sv},
        {"wait-screen 11 within", "t.scn:1:22: 'within' needs a DURATION; write 250ms, 6s or 2m (a bare number is "
                                  "milliseconds)"},
        {"snapshot a.jpg", "t.scn:1:10: snapshot writes .png or .pbm files, not '.jpg'"},
        {"snapshot shots/first", "t.scn:1:10: snapshot writes .png or .pbm files; 'shots/first' has no extension"},
        {"snapshot", "t.scn:1:9: snapshot needs a file name ending in .png or .pbm"},
        {"script \"\"", "t.scn:1:8: script needs a TEXT that is not empty"},
        {"\"key\" ref", "t.scn:1:1: unknown command '\"key\"'; the commands are press release key hold wait "
                        "wait-screen send sendln expect snapshot screen state script sample heater"},
        {"fly away", "t.scn:1:1: unknown command 'fly'; the commands are press release key hold wait wait-screen "
                     "send sendln expect snapshot screen state script sample heater"},
    };
    for (const Case& c : kCases) {
        ScenarioParse parse = ParseScenario(c.sLine);
        ASSERT_EQ(parse.errors.size(), 1u) << c.sLine;
        EXPECT_EQ(FormatScenarioError("t.scn", parse.errors[0]), c.sError) << c.sLine;
        EXPECT_TRUE(parse.commands.empty()) << c.sLine;
    }
}

TEST(ScenarioParseTest, AcceptedCommandsCarryTheirArguments)
{
    struct Case {
        const char* pszLine;
        ScenarioOp op;
        uint8_t bKey;
        uint8_t bState;
        uint32_t unMs;
        std::string sText;
    } kCases[] = {
        {"key ref # comment", ScenarioOp::Key, KEY_REF, 0, 0, ""},
        {"key ref#comment", ScenarioOp::Key, KEY_REF, 0, 0, ""},
        {"\thold left 1s", ScenarioOp::Hold, KEY_LEFT, 0, 1000, ""},
        {"wait 250", ScenarioOp::Wait, 0, 0, 250, ""},
        {"wait-screen 9 within 0", ScenarioOp::WaitScreen, 0, 9, 0, ""},
        {"wait-screen 132", ScenarioOp::WaitScreen, 0, 132, SCENARIO_WAIT_SCREEN_LIMIT_MS, ""},
        {"wait-screen single-measure within 1s", ScenarioOp::WaitScreen, 0, 15, 1000, ""},
        {"send \"\\x14\"", ScenarioOp::Send, 0, 0, 0, "\x14"},
        {"sendln READA? 579   # absorbance", ScenarioOp::Send, 0, 0, 0, "READA? 579\r\n"},
        {"sendln \"\"", ScenarioOp::Send, 0, 0, 0, "\r\n"},
        {"expect E00 within 2m", ScenarioOp::Expect, 0, 0, 120000, "E00"},
        {"expect \"a # b within\" within 5s", ScenarioOp::Expect, 0, 0, 5000, "a # b within"},
        {"expect \"\\\"\\101\\x42\\0\"", ScenarioOp::Expect, 0, 0, SCENARIO_EXPECT_LIMIT_MS, std::string("\"AB\0", 4)},
        {"expect +00\\tScanning\\r\\n", ScenarioOp::Expect, 0, 0, SCENARIO_EXPECT_LIMIT_MS, "+00\tScanning\r\n"},
        {"snapshot \"my shot.PNG\"", ScenarioOp::Snapshot, 0, 0, 0, "my shot.PNG"},
        {"script \"C X0Y0 T5\"", ScenarioOp::Script, 0, 0, 0, "C X0Y0 T5"},
        {"state", ScenarioOp::State, 0, 0, 0, ""},
    };
    for (const Case& c : kCases) {
        ScenarioParse parse = ParseScenario(c.pszLine);
        ASSERT_TRUE(parse.errors.empty()) << c.pszLine << ": " << parse.errors[0].sMessage;
        ASSERT_EQ(parse.commands.size(), 1u) << c.pszLine;
        const ScenarioCommand& command = parse.commands[0];
        EXPECT_EQ(command.op, c.op) << c.pszLine;
        EXPECT_EQ(command.bKey, c.bKey) << c.pszLine;
        EXPECT_EQ(command.bState, c.bState) << c.pszLine;
        EXPECT_EQ(command.unMs, c.unMs) << c.pszLine;
        EXPECT_EQ(command.sText, c.sText) << c.pszLine;
    }
    ScenarioParse pbm = ParseScenario("snapshot s.PBM");
    ASSERT_EQ(pbm.commands.size(), 1u);
    EXPECT_TRUE(pbm.commands[0].bPbm);
}

// A whole text: byte-order mark skipped, CR LF line ends, every fault found.
TEST(ScenarioParseTest, WholeTextFindsEveryFaultWithItsLine)
{
    ScenarioParse parse = ParseScenario("\xEF\xBB\xBFkey standby\r\n"
                                        "wait 2x\r\n"
                                        "\r\n"
                                        "# a comment\n"
                                        "  state now\n"
                                        "expect \"HELLO\\r\\n\" within 1s");
    ASSERT_EQ(parse.errors.size(), 2u);
    EXPECT_EQ(FormatScenarioError("s", parse.errors[0]).substr(0, 8), "s:2:6: b");
    EXPECT_EQ(FormatScenarioError("s", parse.errors[1]).substr(0, 8), "s:5:9: e");
    ASSERT_EQ(parse.commands.size(), 2u);
    EXPECT_EQ(parse.commands[0].nLine, 1);
    EXPECT_EQ(parse.commands[0].nColumn, 1);
    EXPECT_EQ(parse.commands[0].bKey, KEY_STANDBY);
    EXPECT_EQ(parse.commands[1].nLine, 6);
    EXPECT_EQ(parse.commands[1].sText, "HELLO\r\n");
}

// Every state of the table can be written by number and by name, and
// "state" shows both.
TEST(ScenarioParseTest, ScreenStateNamesRoundTrip)
{
    std::set<std::string> names;
    for (unsigned int n = 0; n < 256; n++) {
        uint8_t bState = static_cast<uint8_t>(n);
        const char* pszName = StateName(bState);
        if (n <= STATE_PC_CONTROL_WAITING) {
            ASSERT_NE(pszName, nullptr) << n;
        }
        if (!pszName) {
            EXPECT_EQ(ParseScenarioState(std::to_string(n)), std::nullopt) << n;
            continue;
        }
        EXPECT_TRUE(names.insert(pszName).second) << "two states named " << pszName;
        EXPECT_EQ(std::string(pszName).find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), std::string::npos)
            << pszName;
        EXPECT_EQ(ParseScenarioState(pszName), bState) << pszName;
        EXPECT_EQ(ParseScenarioState(std::to_string(n)), bState) << n;
        EXPECT_EQ(ScreenStateText(bState), std::to_string(n) + " " + pszName);
    }
    EXPECT_EQ(ScreenStateText(STATE_MAIN_MENU), "11 main-menu");
    EXPECT_EQ(ScreenStateText(STATE_SINGLE_MEASURE), "15 single-measure");
    EXPECT_EQ(ParseScenarioState("0011"), std::nullopt);
}

TEST(ScenarioParseTest, Durations)
{
    struct Case {
        const char* psz;
        std::optional<uint32_t> expected;
    } kCases[] = {{"250ms", 250}, {"6s", 6000}, {"2m", 120000}, {"75", 75}, {"0s", 0},
                  {"", std::nullopt}, {"s", std::nullopt}, {"5h", std::nullopt}, {"-1s", std::nullopt},
                  {"99999999999", std::nullopt}, {"71583m", std::nullopt}, {"1.5s", std::nullopt}};
    for (const Case& c : kCases)
        EXPECT_EQ(ParseScenarioDuration(c.psz), c.expected) << c.psz;
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
    EXPECT_EQ(scenario.Error(), "\"START\" not received within 500ms; nothing received since the previous match");
}

// A failed expect after a long reply quotes only its last bytes, escaped.
TEST_F(RemoteTest, FailedExpectQuotesTheLastBytesReceived)
{
    std::ostringstream out;
    CScenario scenario(Host(), out);
    ASSERT_TRUE(scenario.RunText("sendln CONTROL\n"
                                 "expect \"E00\\r\\n\"\n"
                                 "sendln SCANTXT\n"
                                 "expect \"+00\\tScanning\\r\\n\" within 20s\n"
                                 "expect \"E00\\r\\n\" within 20s\n",
                                 "scan.scn"))
        << scenario.Error();
    ASSERT_FALSE(scenario.RunText("sendln SCANTXT\n"
                                 "expect \"+00\\tScanning\\r\\n\" within 20s\n"
                                 "wait 10s\n"
                                 "expect NOTHING within 1s\n",
                                 "again.scn"));
    const std::string& sError = scenario.Error();
    std::string sOut = Host().SerialText();
    size_t nSince = sOut.size() - (sOut.rfind("+00\tScanning\r\n") + 14);
    ASSERT_GT(nSince, 3000u);
    std::string sHead = "again.scn:4:1: expect NOTHING within 1s: \"NOTHING\" not received within 1s; received " +
                        std::to_string(nSince) + " bytes, the last 300: \"";
    EXPECT_EQ(sError.substr(0, sHead.size()), sHead);
    EXPECT_EQ(sError.substr(sHead.size()), EncodeEscapes(sOut.substr(sOut.size() - 300)) + "\"");
    EXPECT_TRUE(sError.ends_with("\\r\\nE00\\r\\n\"")) << sError;
}

// The screen as text: two by two pixels per character.
TEST_F(CoreFirmwareTest, ScreenTextShowsTwoByTwoPixelsPerCharacter)
{
    Host().LcdWrite(640, 0x80);       // pixel (0, 0)
    Host().LcdWrite(640 + 30, 0x40);  // pixel (1, 1)
    Host().LcdWrite(640 + 29, 0x03);  // pixels (238, 0) and (239, 0)
    std::string sArt = DisplayTextArt(Host());
    std::vector<std::string> lines;
    std::istringstream in(sArt);
    for (std::string sLine; std::getline(in, sLine);)
        lines.push_back(sLine);
    ASSERT_EQ(lines.size(), 64u);
    for (const std::string& sLine : lines)
        EXPECT_EQ(CodePoints(sLine), 120u);
    EXPECT_TRUE(lines[0].starts_with("\u259A "));  // upper left and lower right
    EXPECT_TRUE(lines[0].ends_with(" \u2580"));    // both upper pixels
}

TEST_F(ScratchDirTest, CliRunsScenarioWithSnapshotAndExpect)
{
    WriteWholeFile("ok.scn",
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
    std::string sPng = ReadWholeFile("shot.png");
    ASSERT_GE(sPng.size(), 8u);
    EXPECT_EQ(sPng.substr(1, 3), "PNG");
    std::string sPbm = ReadWholeFile("shot.pbm");
    EXPECT_EQ(sPbm.size(), std::string("P4\n240 128\n").size() + 3840);
    EXPECT_EQ(ReadWholeFile("serial.log").rfind("START\r\n", 0), 0u);
    EXPECT_NE(result.sStdout.find("state "), std::string::npos);
}

TEST_F(ScratchDirTest, CliFailingExpectExitsOneAndNamesItsLine)
{
    WriteWholeFile("bad.scn", "wait 100ms\nexpect \"NO SUCH TEXT\" within 1s\nwait 1s\n");
    CliResult result = RunCli("bad.scn");
    EXPECT_EQ(result.nStatus, 1);
    EXPECT_EQ(result.sStderr, "halden-cli: bad.scn:2:1: expect \"NO SUCH TEXT\" within 1s: \"NO SUCH TEXT\" not "
                              "received within 1s; received \"START\\r\\n\"\n");
}

TEST_F(ScratchDirTest, CliReadsScenarioFromStandardInput)
{
    std::string sInput = "expect START\n";
    CliResult result = RunCli("-", &sInput);
    EXPECT_EQ(result.nStatus, 0) << result.sStderr;
}

// A faulty scenario is refused whole: every fault listed, the instrument
// never switched on (no EEPROM file made).
TEST_F(ScratchDirTest, CliChecksTheWholeScenarioBeforeRunning)
{
    WriteWholeFile("faulty.scn", "expect START\nsnapshot start.png\nstate 3\nwait\n");
    CliResult result = RunCli("faulty.scn");
    EXPECT_EQ(result.nStatus, 2);
    EXPECT_EQ(result.sStderr,
              "halden-cli: faulty.scn:3:7: extra argument '3'; usage: state\n"
              "halden-cli: faulty.scn:4:5: wait needs a DURATION; write 250ms, 6s or 2m (a bare number is "
              "milliseconds)\n"
              "halden-cli: faulty.scn: nothing run\n");
    EXPECT_FALSE(std::filesystem::exists("eeprom.bin"));
    EXPECT_FALSE(std::filesystem::exists("start.png"));
}

TEST_F(ScratchDirTest, CliNamesBadOptionsAndArguments)
{
    std::filesystem::create_directory("scenarios");
    WriteWholeFile("a.scn", "state\n");
    struct Case {
        const char* pszArgs;
        const char* pszFirstLine;
    } kCases[] = {
        {"--bogus", "halden-cli: unknown option '--bogus'"},
        {"--eeprom", "halden-cli: --eeprom needs a PATH"},
        {"--serial-log", "halden-cli: --serial-log needs a PATH"},
        {"--linger", "halden-cli: --linger needs a DURATION such as 2s"},
        {"--linger soon", "halden-cli: --linger: bad duration 'soon'; write 250ms, 6s or 2m (a bare number is "
                          "milliseconds)"},
        {"--serial-log-both", "halden-cli: --serial-log-both needs --serial-log PATH"},
        {"--wait-client", "halden-cli: --wait-client needs a serial port: --serial-pty PATH or --serial-tcp PORT"},
        {"--realtime --speed max a.scn", "halden-cli: give one pace: --realtime (the same as --speed 1) or --speed "
                                         "N|max, once"},
        {"a.scn a.scn", "halden-cli: one scenario at a time: 'a.scn' and 'a.scn'"},
        {"--linger 2s a.scn", "halden-cli: --linger is for the console; a scenario waits with 'wait DURATION'"},
        {"scenarios", "halden-cli: scenarios is a directory, not a scenario file"},
        {"missing.scn", "halden-cli: cannot read missing.scn: No such file or directory"},
    };
    for (const Case& c : kCases) {
        CliResult result = RunCli(c.pszArgs);
        EXPECT_EQ(result.nStatus, 2) << c.pszArgs;
        EXPECT_EQ(result.sStderr.substr(0, result.sStderr.find('\n')), c.pszFirstLine) << c.pszArgs;
    }
    EXPECT_FALSE(std::filesystem::exists("eeprom.bin"));
}

// --serial-log-both: both directions in order, each line marked.
TEST_F(ScratchDirTest, CliSerialLogRecordsBothDirections)
{
    WriteWholeFile("hello.scn", "expect \"START\\r\\n\"\nsend \"\\x08\"\nexpect \"HELLO\\r\\n\"\nsendln \"ID?\"\n"
                           "expect \"E00 Q4K7 V1.0\\r\\n\"\n");
    CliResult result = RunCli("--serial-log both.log --serial-log-both hello.scn");
    ASSERT_EQ(result.nStatus, 0) << result.sStderr;
    std::string sLog = ReadWholeFile("both.log");
    EXPECT_TRUE(sLog.starts_with("<- START\\r\\n\n")) << sLog;
    EXPECT_NE(sLog.find("-> \\x08\n<- HELLO\\r\\n\n-> ID?\\r\\n\n<- E00 Q4K7 V1.0\\r\\n\n"), std::string::npos)
        << sLog;
}

// The console: ':' lines are scenario commands, the others go to the port.
// Keys bring the instrument through its start-up to the main menu, where
// CONTROL is accepted and the display shows "PC Control".
TEST_F(ScratchDirTest, ConsoleReachesPcControlWithKeyCommands)
{
    std::string sInput =
        ":key standby\n"
        "CONTROL\n"
        ":wait-screen self-test-passed within 2m\n"
        ":key soft2\n"
        ":wait-screen main-menu within 1s\n"
        "CONTROL\n"
        ":wait 200ms\n"
        ":state\n"
        ":bogus\n";
    CliResult result = RunCli("--serial-log both.log --serial-log-both", &sInput);
    EXPECT_EQ(result.nStatus, 1) << result.sStderr;  // the bad ':' line fails the run
    // Refused during the start-up, accepted on the main menu.
    size_t nBusy = result.sStdout.find("E93\r\n");
    ASSERT_NE(nBusy, std::string::npos) << result.sStdout;
    EXPECT_NE(result.sStdout.find("E00\r\nstate 132 pc-control\n", nBusy), std::string::npos) << result.sStdout;
    EXPECT_EQ(result.sStderr.substr(0, result.sStderr.find(';')), "halden-cli: console:9:2: unknown command 'bogus'");
    EXPECT_NE(ReadWholeFile("both.log").find("-> CONTROL\\r\\n\n<- E00\\r\\n\n"), std::string::npos);
}

// At the end of input the console waits for the replies: a reference reading
// (seconds of silence after its trace line) still gets its E00.
TEST_F(ScratchDirTest, ConsoleLingersUntilTheInstrumentIsQuiet)
{
    std::string sId = "ID?\n";
    CliResult id = RunCli("", &sId);
    EXPECT_EQ(id.nStatus, 0);
    EXPECT_EQ(id.sStdout.substr(id.sStdout.find("E00")), "E00 Q4K7 V1.0\r\n");

    std::string sInput = ":key standby\n:wait-screen 9 within 2m\n:key soft2\nCONTROL\nSETREF\n";
    CliResult result = RunCli("", &sInput);
    EXPECT_EQ(result.nStatus, 0) << result.sStderr;
    EXPECT_TRUE(result.sStdout.ends_with("E00\r\n+00\tScanning\r\nE00\r\n")) << result.sStdout;
}

// --linger DURATION runs that long after the end of input, quiet or not.
TEST_F(ScratchDirTest, ConsoleLingerOptionSetsTheTime)
{
    std::string sSwitchOn = ":key standby\n";
    CliResult brief = RunCli("--linger 1s", &sSwitchOn);
    CliResult longer = RunCli("--linger 20s", &sSwitchOn);
    EXPECT_EQ(brief.nStatus, 0);
    EXPECT_EQ(longer.nStatus, 0);
    // The banner follows the six-second start-up screen.
    EXPECT_EQ(brief.sStdout.find("Telmarid"), std::string::npos) << brief.sStdout;
    EXPECT_NE(longer.sStdout.find("Telmarid"), std::string::npos) << longer.sStdout;
}

TEST_F(ScratchDirTest, PowerOnOptionOpensTheMainMenuFirst)
{
    std::string sInput = ":state\nCONTROL\n";
    CliResult result = RunCli("--power-on", &sInput);
    EXPECT_EQ(result.nStatus, 0) << result.sStderr;
    EXPECT_TRUE(result.sStdout.ends_with("state 11 main-menu\nE00\r\n")) << result.sStdout;
}

// --eeprom-snapshot: the image is loaded and every change stays in memory.
// A missing file is not created, an existing one keeps its bytes and its
// time, and the next run sees the file as it was.
TEST_F(ScratchDirTest, CliEepromSnapshotNeverWritesTheFile)
{
    WriteWholeFile("serial.scn", "sendln \"CONTROL\"\nexpect \"E00\\r\\n\"\nsendln \"SERIAL 4242\"\n"
                                 "expect \"E00\\r\\n\"\nsendln \"SERIAL?\"\nexpect \"E00 4242\\r\\n\"\n");
    WriteWholeFile("ask.scn", "sendln \"CONTROL\"\nexpect \"E00\\r\\n\"\nsendln \"SERIAL?\"\nexpect \"E00 0\\r\\n\"\n");

    CliResult fresh = RunCli("--eeprom-snapshot --eeprom new.bin --power-on serial.scn");
    EXPECT_EQ(fresh.nStatus, 0) << fresh.sStderr;
    EXPECT_EQ(fresh.sStderr, "");
    EXPECT_FALSE(std::filesystem::exists("new.bin"));

    ASSERT_EQ(RunCli("--eeprom kept.bin --power-on ask.scn").nStatus, 0);
    const std::string sImage = ReadWholeFile("kept.bin");
    ASSERT_EQ(sImage.size(), 32768u);
    const auto tWritten = std::filesystem::last_write_time("kept.bin");
    CliResult changed = RunCli("--eeprom kept.bin --eeprom-snapshot --power-on serial.scn");
    EXPECT_EQ(changed.nStatus, 0) << changed.sStderr;
    EXPECT_TRUE(ReadWholeFile("kept.bin") == sImage) << "the snapshot run changed kept.bin";
    EXPECT_EQ(std::filesystem::last_write_time("kept.bin"), tWritten);
    CliResult after = RunCli("--eeprom kept.bin --power-on ask.scn");
    EXPECT_EQ(after.nStatus, 0) << after.sStderr;
}

// A PC that sends CONTROL as soon as the main menu shows (a client waiting
// on the port for the power-up) may take the instrument over before the
// power-on sees the menu: the power-on then counts as done and presses
// nothing more, since a key would act on the PC Control screen.
TEST_F(FirmwareTest, PowerOnLeavesAnInstrumentUnderPcControlAlone)
{
    Host().PowerUp();
    Host().KeyStroke(KEY_STANDBY, 100, 100);
    ASSERT_TRUE(Host().TickUntil(3600, [] { return ProbeScreenState() == STATE_SELFTEST_PASSED; }));
    Host().KeyStroke(KEY_SOFT2, 100, 100);
    ASSERT_TRUE(Host().TickUntil(100, [] { return ProbeScreenState() == STATE_MAIN_MENU; }));
    Host().Inject("CONTROL\r\n");
    ASSERT_TRUE(Host().TickUntil(100, [] { return ProbeScreenState() == STATE_PC_CONTROL; }));
    std::string sError;
    EXPECT_TRUE(PowerOnToMainMenu(Host(), &sError)) << sError;
    EXPECT_EQ(ProbeScreenState(), STATE_PC_CONTROL);
}
