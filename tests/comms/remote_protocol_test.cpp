// The remote command protocol as conversations through the headless host:
// line assembly, the error codes of every argument reader, local and
// control mode, the control characters and the screen switch.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <regex>
#include <string>

#include "comms/remote.h"
#include "comms/remote_fixture.h"
#include "core/serial.h"
#include "measure/diag.h"
#include "scenario.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui.h"

namespace {

struct Exchange {
    const char* pszName;
    std::string sIn;
    std::string sOut;
};

}  // namespace

// Without control only ^H, ^R, ^T, CONTROL, ID?, DATAMODE and DATAMODE? work;
// the line rules (case, spaces, CR handling) are the same in both modes.
TEST_F(RemoteTest, LocalModeAnswers)
{
    const Exchange kExchanges[] = {
        {"identity", "ID?\r\n", "E00 Q4K7 V1.0\r\n"},
        {"identity with trailing spaces", "ID?   \r\n", "E00 Q4K7 V1.0\r\n"},
        {"identity after leading spaces", "  ID?\r\n", "E00 Q4K7 V1.0\r\n"},
        {"serial query needs control", "SERIAL?\r\n", "E91\r\n"},
        {"time query needs control", "TIME?\r\n", "E91\r\n"},
        {"reading needs control", "READA? 579\r\n", "E91\r\n"},
        {"release needs control", "RELEASE\r\n", "E91\r\n"},
        {"diag needs control", "DIAG REPORT\r\n", "E91\r\n"},
        {"data mode query", "DATAMODE?\r\n", "E00 STDMODE\r\n"},
        {"empty line", "\r\n", "E91\r\n"},
        {"spaces only", "   \r\n", "E91\r\n"},
        {"lower case", "control\r\n", "E91\r\n"},
        {"mixed case", "Id?\r\n", "E91\r\n"},
        {"unknown word", "HELLO\r\n", "E91\r\n"},
        {"word with a letter more", "CONTROLS\r\n", "E91\r\n"},
        {"prefix of a word", "CONTRO\r\n", "E91\r\n"},
        {"question mark on a plain word", "CONTROL?\r\n", "E91\r\n"},
        {"digit first", "1D?\r\n", "E91\r\n"},
        {"argument word alone", "STDMODE\r\n", "E91\r\n"},
        {"text after a command", "ID? 1\r\n", "E90\r\n"},
        {"two CRs before LF", "ID?\r\r\n", "E90\r\n"},
        {"CR inside the line", "ID?\rX\r\n", "E90\r\n"},
        {"NUL inside the line", std::string("ID?\0\r\n", 6), "E90\r\n"},
        {"LF alone does not end a line", "ID?\n", ""},
        {"the line held the LF", "\r\n", "E90\r\n"},
    };
    for (const Exchange& e : kExchanges) {
        SCOPED_TRACE(e.pszName);
        EXPECT_EQ(Converse(e.sIn), e.sOut);
    }
    EXPECT_EQ(gbRemoteControl, 0);
    EXPECT_EQ(gunScreenState, STATE_MAIN_MENU);
}

TEST_F(RemoteTest, ControlLineEndings)
{
    EXPECT_EQ(Converse("CONTROL\r\r\n"), "E90\r\n");
    EXPECT_EQ(gbRemoteControl, 0);
    EXPECT_EQ(Converse("CONTROL x\r\n"), "E90\r\n");
    EXPECT_EQ(gbRemoteControl, 0);
    EXPECT_EQ(Converse("CONTROL \r\n"), "E00\r\n");
    EXPECT_EQ(gbRemoteControl, 1);
    EXPECT_EQ(gunScreenState, STATE_PC_CONTROL);
}

// Several lines in one delivery are answered one by one, in order.
TEST_F(RemoteTest, OneReplyPerLineInOrder)
{
    EXPECT_EQ(Converse("ID?\r\nFOO\r\nDATAMODE?\r\n\r\nSERIAL?\r\n"),
              "E00 Q4K7 V1.0\r\nE91\r\nE00 STDMODE\r\nE91\r\nE91\r\n");
    EXPECT_EQ(Converse("ID?\r"), "");
    EXPECT_EQ(Converse("\n"), "E00 Q4K7 V1.0\r\n");
}

TEST_F(RemoteTest, LongLines)
{
    std::string s31(31, 'A');
    std::string sPadded = "READA? 579" + std::string(20, ' ') + "\r\n";  // exactly 32 bytes
    ASSERT_EQ(sPadded.size(), 32u);
    const Exchange kExchanges[] = {
        {"33 bytes", s31 + "\r\n", "E95\r\n"},
        {"the next line is read normally", "ID?\r\n", "E00 Q4K7 V1.0\r\n"},
        {"33 bytes with a valid start", "ID?" + std::string(28, ' ') + "\r\n", "E95\r\n"},
        {"long line and a normal one together", std::string(50, 'x') + "\r\nID?\r\n", "E95\r\nE00 Q4K7 V1.0\r\n"},
        {"spaces beyond 32 bytes", std::string(40, ' ') + "\r\n", "E95\r\n"},
        {"32 bytes are a line", "CONTROL" + std::string(23, ' ') + "\r\n", "E00\r\n"},
        {"32 bytes with an argument", sPadded, "E00  0.000 579\r\n"},
    };
    ASSERT_EQ(Converse("CONTROL\r\n"), "E00\r\n");
    ASSERT_EQ(Converse("SETREF\r\n"), "+00\tScanning\r\nE00\r\n");
    ASSERT_EQ(Converse("RELEASE\r\n"), "E00\r\n");
    for (const Exchange& e : kExchanges) {
        SCOPED_TRACE(e.pszName);
        EXPECT_EQ(Converse(e.sIn), e.sOut);
    }
    EXPECT_EQ(gbRemoteOverflow, 0);
}

TEST_F(RemoteTest, GreetingOnlyAtLineStart)
{
    const Exchange kExchanges[] = {
        {"greeting without serial number", "\x08", "HELLO\r\n"},
        {"greeting after a line", "ID?\r\n\x08", "E00 Q4K7 V1.0\r\nHELLO\r\n"},
        {"greeting in mid-line is an ordinary byte", "ID?\x08\r\n", "E90\r\n"},
        {"greeting after a CR is in mid-line", "\r\x08\r\n", "E91\r\n"},
        {"greeting then a line", "\x08ID?\r\n", "HELLO\r\nE00 Q4K7 V1.0\r\n"},
    };
    for (const Exchange& e : kExchanges) {
        SCOPED_TRACE(e.pszName);
        EXPECT_EQ(Converse(e.sIn), e.sOut);
    }
    TakeControl();
    EXPECT_EQ(Converse("SERIAL 4711\r\n"), "E00\r\n");
    EXPECT_EQ(Converse("\x08"), "HELLO\r\n\r\nQ4K7 V1.0 S/N 4711\r\n");
    // The greeting works on a screen that refuses remote control too.
    EXPECT_EQ(Converse("RELEASE\r\n"), "E00\r\n");
    gunScreenState = STATE_STANDBY;
    EXPECT_EQ(Converse("\x08"), "HELLO\r\n\r\nQ4K7 V1.0 S/N 4711\r\n");
}

TEST_F(RemoteTest, ReadingArguments)
{
    TakeControl();
    ASSERT_EQ(Converse("SETREF\r\n"), "+00\tScanning\r\nE00\r\n");
    const Exchange kExchanges[] = {
        {"below the range", "READA? 329\r\n", "E01\r\n"},
        {"above the range", "READA? 831\r\n", "E01\r\n"},
        {"missing", "READA?\r\n", "E90\r\n"},
        {"missing after spaces", "READA?   \r\n", "E90\r\n"},
        {"not a number", "READA? x\r\n", "E94\r\n"},
        {"sign without digits", "READA? -\r\n", "E94\r\n"},
        {"two numbers", "READA? 500 1\r\n", "E90\r\n"},
        {"number then text", "READA? 500x\r\n", "E90\r\n"},
        {"overflow", "READA? 2147483648\r\n", "E01\r\n"},
        {"long overflow", "READA? 99999999999999999999\r\n", "E01\r\n"},
        {"lowest 32-bit value", "READA? -2147483648\r\n", "E01\r\n"},
        {"plus sign", "READA? +579\r\n", "E00  0.000 579\r\n"},
        {"no space needed", "READA?330\r\n", "E00  0.000 330\r\n"},
        {"leading zeros", "READA? 000830\r\n", "E00  0.000 830\r\n"},
        {"transmittance", "READT? 579\r\n", "E00 100 579\r\n"},
        {"transmittance out of range", "READT? 100\r\n", "E01\r\n"},
        {"transmittance missing", "READT?\r\n", "E90\r\n"},
        {"concentration unsupported", "READC? 1\r\n", "E92\r\n"},
        {"concentration missing", "READC?\r\n", "E90\r\n"},
        {"concentration malformed", "READC? a\r\n", "E94\r\n"},
        {"factor unsupported", "SETFACT 1.5 2\r\n", "E92\r\n"},
        {"factor with a leading point", "SETFACT -.5 2\r\n", "E92\r\n"},
        {"factor with an exponent", "SETFACT 1e3 2\r\n", "E92\r\n"},
        {"factor overflow", "SETFACT 1e999 2\r\n", "E01\r\n"},
        {"factor not a number", "SETFACT x 2\r\n", "E94\r\n"},
        {"factor point without digit", "SETFACT . 2\r\n", "E94\r\n"},
        {"factor missing its integer", "SETFACT 1.5\r\n", "E90\r\n"},
        {"factor with a bad integer", "SETFACT 1.5 y\r\n", "E94\r\n"},
        {"factor with extra text", "SETFACT 1.5 2 3\r\n", "E90\r\n"},
    };
    for (const Exchange& e : kExchanges) {
        SCOPED_TRACE(e.pszName);
        EXPECT_EQ(Converse(e.sIn), e.sOut);
    }
}

TEST_F(RemoteTest, DateAndTimeAreValidatedAndSetTheClock)
{
    TakeControl();
    const Exchange kExchanges[] = {
        {"leap day of a leap year", "DATE 29/02/04\r\n", "E00\r\n"},
        {"leap day of year 00", "DATE 29/02/00\r\n", "E00\r\n"},
        {"leap day of a common year", "DATE 29/02/05\r\n", "E01\r\n"},
        {"day 0", "DATE 00/04/05\r\n", "E01\r\n"},
        {"31 April", "DATE 31/04/05\r\n", "E01\r\n"},
        {"31 December", "DATE 31/12/99\r\n", "E00\r\n"},
        {"month 13", "DATE 01/13/05\r\n", "E01\r\n"},
        {"month 0", "DATE 01/00/05\r\n", "E01\r\n"},
        {"one-digit day", "DATE 1/02/05\r\n", "E94\r\n"},
        {"three-digit year", "DATE 01/02/005\r\n", "E94\r\n"},
        {"wrong separator", "DATE 01-02-05\r\n", "E94\r\n"},
        {"missing", "DATE\r\n", "E90\r\n"},
        {"extra text", "DATE 01/02/05 x\r\n", "E90\r\n"},
        {"last second", "TIME 23:59:59\r\n", "E00\r\n"},
        {"midnight", "TIME 00:00:00\r\n", "E00\r\n"},
        {"hour 24", "TIME 24:00:00\r\n", "E01\r\n"},
        {"minute 60", "TIME 12:60:00\r\n", "E01\r\n"},
        {"second 60", "TIME 12:00:60\r\n", "E01\r\n"},
        {"one-digit hour", "TIME 1:00:00\r\n", "E94\r\n"},
        {"date for time", "TIME 01/02/03\r\n", "E94\r\n"},
        {"time missing", "TIME \r\n", "E90\r\n"},
    };
    for (const Exchange& e : kExchanges) {
        SCOPED_TRACE(e.pszName);
        EXPECT_EQ(Converse(e.sIn), e.sOut);
    }

    // The valid ones set the clock chip, which runs on from the last: 31
    // December 1999 (the date's year 99), midnight.
    EXPECT_EQ(Converse("DATE?\r\n"), "E00 31/12/99\r\n");
    const std::string sTime = Converse("TIME?\r\n");
    EXPECT_TRUE(sTime.starts_with("E00 00:00:0")) << sTime;
    EXPECT_TRUE(std::regex_match(sTime, std::regex("E00 [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\r\n")));
}

TEST_F(RemoteTest, DataModeChangesOnlyOnSuccess)
{
    struct Case {
        const char* pszIn;
        const char* pszOut;
        int32_t nModeAfter;
    } kCases[] = {
        {"DATAMODE SCANMODE\r\n", "E00 SCANMODE\r\n", 1},
        {"DATAMODE CAL\r\n", "E94\r\n", 1},
        {"DATAMODE\r\n", "E90\r\n", 1},
        {"DATAMODE  \r\n", "E90\r\n", 1},
        {"DATAMODE STDMODE X\r\n", "E90\r\n", 1},
        {"DATAMODE stdmode\r\n", "E94\r\n", 1},
        {"DATAMODE 0\r\n", "E94\r\n", 1},
        {"DATAMODE? SCANMODE\r\n", "E90\r\n", 1},
        {"DATAMODE?\r\n", "E00 SCANMODE\r\n", 1},
        {"DATAMODE   STDMODE  \r\n", "E00 STDMODE\r\n", 0},
        {"DATAMODE TESTHO\r\n", "E94\r\n", 0},
        {"DATAMODE SCANMODES\r\n", "E94\r\n", 0},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.pszIn);
        EXPECT_EQ(Converse(c.pszIn), c.pszOut);
        EXPECT_EQ(gnDataMode, c.nModeAfter);
    }
    EXPECT_EQ(gbRemoteControl, 0);  // all of it works without control
}

TEST_F(RemoteTest, DiagSubCommandLevels)
{
    TakeControl();
    const Exchange kExchanges[] = {
        {"alone", "DIAG\r\n", "E91\r\n"},
        {"alone with spaces", "DIAG  \r\n", "E91\r\n"},
        {"a top-level word", "DIAG READA?\r\n", "E91\r\n"},
        {"itself", "DIAG DIAG\r\n", "E91\r\n"},
        {"an argument word", "DIAG STDMODE\r\n", "E91\r\n"},
        {"an unknown word", "DIAG FOO\r\n", "E91\r\n"},
        {"lower case", "DIAG resetho\r\n", "E91\r\n"},
        {"a sub-command at the top level", "TESTHO\r\n", "E91\r\n"},
        {"another at the top level", "USERMODE\r\n", "E91\r\n"},
        {"extra text", "DIAG RESETHO 1\r\n", "E90\r\n"},
        {"button missing", "DIAG TESTBTN\r\n", "E90\r\n"},
        {"button malformed", "DIAG TESTBTN b\r\n", "E94\r\n"},
        {"button above 2", "DIAG TESTBTN 3\r\n", "E01\r\n"},
        {"button below 0", "DIAG TESTBTN -1\r\n", "E01\r\n"},
    };
    for (const Exchange& e : kExchanges) {
        SCOPED_TRACE(e.pszName);
        EXPECT_EQ(Converse(e.sIn), e.sOut);
    }
}

// Every word of the table is found, and only at its own level: a stray
// "~" after it gives an argument error rather than an unknown word.
TEST_F(RemoteTest, EveryWordAtItsLevel)
{
    TakeControl();
    const char* const kTop[] = {"CAL", "CAL?", "CONTROL", "DATAMODE", "DATAMODE?", "DATE", "DATE?", "ID?",
                                "READA?", "READC?", "READT?", "RELEASE", "SCANBIN", "SCANTXT", "SERIAL",
                                "SERIAL?", "SETFACT", "SETREF", "TIME", "TIME?"};
    const char* const kDiag[] = {"FLAGBST", "FLAGPCC", "REFRESH", "REPORT", "RESETHO", "SCANLAMP",
                                 "SCANLED", "TESTBTN", "TESTHO", "TESTSL", "TESTWL", "USERMODE"};
    for (const char* psz : kTop) {
        std::string sReply = Converse(std::string(psz) + " ~\r\n");
        EXPECT_TRUE(sReply == "E90\r\n" || sReply == "E94\r\n") << psz << ": " << sReply;
        EXPECT_EQ(Converse("DIAG " + std::string(psz) + "\r\n"), "E91\r\n") << psz;
    }
    for (const char* psz : kDiag) {
        std::string sReply = Converse("DIAG " + std::string(psz) + " ~\r\n");
        EXPECT_TRUE(sReply == "E90\r\n" || sReply == "E94\r\n") << psz << ": " << sReply;
        EXPECT_EQ(Converse(std::string(psz) + "\r\n"), "E91\r\n") << psz;
    }
    for (const char* psz : {"STDMODE", "SCANMODE"}) {
        EXPECT_EQ(Converse(std::string(psz) + "\r\n"), "E91\r\n") << psz;
        EXPECT_EQ(Converse("DIAG " + std::string(psz) + "\r\n"), "E91\r\n") << psz;
        EXPECT_EQ(Converse("DATAMODE " + std::string(psz) + "\r\n"), "E00 " + std::string(psz) + "\r\n");
    }
    EXPECT_EQ(std::size(kTop) + 1 + std::size(kDiag) + 2, 35u);  // with DIAG itself
}

TEST_F(RemoteTest, SettingCommands)
{
    TakeControl();
    gnHolmiumOffset = 5;
    gbBaseSelfTestInfo = 0;
    gbPrintCalCoeff = 0;
    gDuffPixels[0] = {1000, 123.0, 45.0};

    EXPECT_EQ(Converse("DIAG RESETHO\r\n"), "E00\r\n");
    EXPECT_EQ(gnHolmiumOffset, 0);
    EXPECT_EQ(Converse("DIAG FLAGPCC\r\n"), "E00\r\n");
    EXPECT_EQ(gbPrintCalCoeff, 1);
    EXPECT_EQ(EepromBytes(0x29, 1), std::string(1, '\x01'));
    std::string sRefresh = Converse("DIAG REFRESH\r\n");
    EXPECT_TRUE(sRefresh.ends_with("E00\r\n")) << sRefresh;
    EXPECT_FALSE(gDuffPixels[0].nPixel == 1000 && gDuffPixels[0].fRawValue == 123.0);
    EXPECT_EQ(Converse("DIAG FLAGBST\r\n"), "E00\r\n");
    EXPECT_EQ(gbBaseSelfTestInfo, 1);
    EXPECT_EQ(EepromBytes(0x2A, 1), std::string(1, '\x01'));

    const Exchange kSerial[] = {
        {"a number", "SERIAL 305419896\r\n", "E00\r\n"},
        {"largest", "SERIAL 4294967295\r\n", "E00\r\n"},
        {"read back", "SERIAL?\r\n", "E00 4294967295\r\n"},
        {"overflow", "SERIAL 4294967296\r\n", "E01\r\n"},
        {"negative", "SERIAL -1\r\n", "E01\r\n"},
        {"missing", "SERIAL\r\n", "E90\r\n"},
        {"malformed", "SERIAL S1\r\n", "E94\r\n"},
        {"unchanged by the errors", "SERIAL?\r\n", "E00 4294967295\r\n"},
        {"zero clears it", "SERIAL +0\r\n", "E00\r\n"},
        {"read back zero", "SERIAL?\r\n", "E00 0\r\n"},
    };
    for (const Exchange& e : kSerial) {
        SCOPED_TRACE(e.pszName);
        EXPECT_EQ(Converse(e.sIn), e.sOut);
        if (e.pszName == std::string("a number")) {
            EXPECT_EQ(EepromBytes(PARAM_SERIAL_NUMBER, 4), "\x12\x34\x56\x78");  // most significant first
        }
    }
    EXPECT_EQ(gulSerialNumber, 0u);
    EXPECT_EQ(EepromBytes(PARAM_SERIAL_NUMBER, 4), std::string(4, '\0'));
}

// Lines before a reply are trace lines numbered from 00 for every command.
TEST_F(RemoteTest, TraceLinesNumberedPerCommand)
{
    TakeControl();
    gbBaseSelfTestInfo = 0;  // self-test detail lines are not trace lines
    std::regex traceThenReply("((\\+[0-9]{2}\t[^\r\n]*\r\n)*)E00\r\n");
    for (const char* psz : {"CAL?\r\n", "DIAG REPORT\r\n", "CAL\r\n", "CAL?\r\n"}) {
        SCOPED_TRACE(psz);
        std::string sOut = Converse(psz);
        std::smatch match;
        ASSERT_TRUE(std::regex_match(sOut, match, traceThenReply)) << sOut;
        std::string sTraces = match[1];
        int nExpected = 0;
        for (size_t nAt = 0; nAt < sTraces.size(); nAt = sTraces.find("\r\n", nAt) + 2) {
            char szNumber[4];
            std::snprintf(szNumber, sizeof szNumber, "%02d", nExpected % 100);
            EXPECT_EQ(sTraces.substr(nAt + 1, 2), szNumber);
            nExpected++;
        }
    }
    EXPECT_EQ(gbTraceOn, 0);
}

TEST(RemoteTraceTest, OnlyWhileALineExecutesAndWrapsAfter99)
{
    CInstrument host;
    SerialInit();
    RemoteInit();
    host.ClearSerialText();
    RemoteTrace("quiet");
    EXPECT_EQ(host.SerialText(), "");
    gbTraceOn = 1;
    gbTraceSeq = 98;
    for (const char* psz : {"a", "b", "c"})
        RemoteTrace(psz);
    EXPECT_EQ(host.SerialText(), "+98\ta\r\n+99\tb\r\n+00\tc\r\n");
    // A trace text is sent as it is, never used as a format.
    host.ClearSerialText();
    RemoteTrace("%s%n%d");
    EXPECT_EQ(host.SerialText(), "+01\t%s%n%d\r\n");
}

TEST_F(RemoteTest, ControlScreenStatesAndRelease)
{
    // A sample of the refusing states and of the accepting ones.
    for (uint8_t bState : {0, 5, 10, 16, 18, 19, 21, 23, 43, 50, 55, 69, 71, 75, 79, 85}) {
        SCOPED_TRACE(static_cast<int>(bState));
        gunScreenState = bState;
        EXPECT_EQ(Converse("CONTROL\r\n"), "E93\r\n");
        EXPECT_EQ(Converse("\x12"), "");
        EXPECT_EQ(Converse("\x14"), "");
        EXPECT_EQ(gunScreenState, bState);
        EXPECT_EQ(gbRemoteControl, 0);
    }
    for (uint8_t bState : {11, 12, 15, 17, 20, 22, 42, 56, 70, 76, 80, 131}) {
        SCOPED_TRACE(static_cast<int>(bState));
        gunScreenState = bState;
        EXPECT_EQ(Converse("CONTROL\r\n"), "E00\r\n");
        EXPECT_EQ(gunScreenState, STATE_PC_CONTROL);
        EXPECT_EQ(Converse("CONTROL\r\n"), "E00\r\n");  // again: the saved state stays
        EXPECT_EQ(Converse("RELEASE\r\n"), "E00\r\n");
        EXPECT_EQ(gunScreenState, bState);
        EXPECT_EQ(gbRemoteControl, 0);
    }
}

// ^R and ^T show "PC Control" for the reading and return to the screen
// they found; in control mode they leave control on.
TEST_F(RemoteTest, ControlCharacterReadings)
{
    gunScreenState = 15;
    EXPECT_EQ(Converse("\x12"), "REF DONE\r\n");
    EXPECT_EQ(gunScreenState, 15);
    EXPECT_EQ(gbRemoteControl, 0);
    EXPECT_EQ(gbReferenceOnly, 1);

    std::string sTest = Converse("\x14");
    EXPECT_TRUE(sTest.ends_with("\r\n\r\nTEST DONE\r\n")) << sTest.substr(0, 40);
    EXPECT_EQ(gunScreenState, 15);
    EXPECT_EQ(gbRemoteControl, 0);
    EXPECT_EQ(gbReferenceOnly, 0);

    TakeControl();
    EXPECT_EQ(Converse("\x12"), "REF DONE\r\n");
    EXPECT_EQ(gunScreenState, STATE_PC_CONTROL);
    EXPECT_EQ(gbRemoteControl, 1);
    // In mid-line they are ordinary bytes.
    EXPECT_EQ(Converse("ID?\x12\x14\r\n"), "E90\r\n");
}

TEST(RemoteFormatTest, AbsorbanceNumberFormat)
{
    struct Case {
        double f;
        const char* psz;
    } kCases[] = {
        {0.557, " 0.557"},  {0.0, " 0.000"},      {-0.0001, " 0.000"},  {-0.0, " 0.000"},
        {-0.3, "-0.300"},   {2.5, " 2.500"},      {-0.301, "-0.301"},   {9.9994, " 9.999"},
        {9.9995, " 10.00"}, {-12.345, "-12.35"},  {99.996, " 100.0"},   {-999.94, "-999.9"},
        {999.96, " 1000"},  {150.12, " 150.1"},   {-0.00049, " 0.000"}, {-12000.4, "-12000"},
    };
    for (const Case& c : kCases) {
        char sz[16];
        int nLength = FormatAbsorbance(sz, sizeof sz, c.f);
        EXPECT_STREQ(sz, c.psz) << c.f;
        EXPECT_EQ(nLength, static_cast<int>(std::strlen(c.psz)));
    }
    char szSmall[4];
    FormatAbsorbance(szSmall, sizeof szSmall, 0.557);
    EXPECT_STREQ(szSmall, " 0.");
}

TEST(RemoteFormatTest, TwelveBitCodes)
{
    EXPECT_EQ(AbsorbanceCode12(-21), 0xFEBu);
    EXPECT_EQ(AbsorbanceCode12(2500), 0x9C4u);
    EXPECT_EQ(AbsorbanceCode12(-301), 0xED3u);
    EXPECT_EQ(AbsorbanceCode12(0), 0u);
    EXPECT_EQ(AbsorbanceCode12(557), 0x22Du);
}

// Without a start moment the clock chip follows the computer's local time
// (loosely: within a few seconds), and DATE?/TIME? come from the chip.
TEST_F(RemoteTest, WithoutAStartTheClockFollowsTheComputers)
{
    TakeControl();
    std::smatch date, time;
    const std::string sDate = Converse("DATE?\r\n");
    const std::string sTime = Converse("TIME?\r\n");
    ASSERT_TRUE(std::regex_match(sDate, date, std::regex("E00 (\\d\\d)/(\\d\\d)/(\\d\\d)\r\n"))) << sDate;
    ASSERT_TRUE(std::regex_match(sTime, time, std::regex("E00 (\\d\\d):(\\d\\d):(\\d\\d)\r\n"))) << sTime;
    std::tm reported{};
    reported.tm_mday = std::stoi(date[1]);
    reported.tm_mon = std::stoi(date[2]) - 1;
    reported.tm_year = 100 + std::stoi(date[3]);
    reported.tm_hour = std::stoi(time[1]);
    reported.tm_min = std::stoi(time[2]);
    reported.tm_sec = std::stoi(time[3]);
    const std::time_t tNow = std::time(nullptr);
    std::tm local{};
    localtime_r(&tNow, &local);
    EXPECT_LE(std::abs(timegm(&reported) - timegm(&local)), 5) << sDate << sTime;
    // The chip latched the seconds that TIME? reported.
    const int nSeconds = std::stoi(time[3]);
    EXPECT_EQ(Host().Bus().Clock().Register(0), (nSeconds / 10) << 4 | nSeconds % 10);
}

// The PC's part of the guide's example session (from its first "send" on;
// the start-up before it needs the state machine) runs to its end.
TEST_F(RemoteTest, ExampleScenarioRuns)
{
    std::ifstream file(std::string(HALDEN_SOURCE_DIR) + "/examples/remote_session.scn");
    ASSERT_TRUE(file.good());
    std::string sScript, sLine;
    while (std::getline(file, sLine))
        if (!sScript.empty() || sLine.starts_with("send "))
            sScript += sLine + "\n";
    ASSERT_TRUE(sScript.find("sendln \"RELEASE\"") != std::string::npos);
    std::istringstream script(sScript);
    std::ostringstream out;
    CScenario scenario(Host(), out);
    EXPECT_TRUE(scenario.Run(script, "remote_session.scn")) << scenario.Error();
    EXPECT_EQ(out.str(), "state 132 pc-control\nstate 11 main-menu\n");
    EXPECT_EQ(gbRemoteControl, 0);
}
