// The guide's example session (docs/pc-software.md), run by halden-cli against the whole
// firmware: start-up, the operator's OK, then the PC's conversation.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "support/firmware_fixture.h"

namespace {

std::string ReadFile(const std::string& sPath)
{
    std::ifstream file(sPath, std::ios::binary);
    std::stringstream ss;
    ss << file.rdbuf();
    return ss.str();
}

}  // namespace

TEST_F(ScratchDirTest, RemoteSessionThroughHaldenCli)
{
    std::string sCommand = std::string(HALDEN_CLI) + " --serial-log session.log " + HALDEN_SOURCE_DIR +
                           "/examples/remote_session.scn >cli.out 2>cli.err";
    int nRaw = std::system(sCommand.c_str());
    ASSERT_TRUE(WIFEXITED(nRaw));
    EXPECT_EQ(WEXITSTATUS(nRaw), 0) << ReadFile("cli.err");
    EXPECT_EQ(ReadFile("cli.out"), "state 132 pc-control\nstate 11 main-menu\n");

    // The PC's part of the log, from the greeting on.
    std::string sLog = ReadFile("session.log");
    size_t nHello = sLog.find("HELLO\r\n");
    ASSERT_NE(nHello, std::string::npos) << sLog.substr(0, 200);
    std::string sSession = sLog.substr(nHello);
    std::regex session(
        "HELLO\r\n"
        "E00\r\n"                                                      // CONTROL
        "\\+00\tScanning\r\nE00\r\n"                                   // SETREF
        "[0-9]{2},[0-9]{2},[0-9]{2},[0-9]{2},[0-9]{2},00,\r\n"         // ^T header
        "(?:[0-9]{3},[ -][0-9]\\.[0-9]{3},\r\n){501}"                  // 330..830 nm
        "[ -][0-9]+\\.[0-9]+,290580,\r\n\r\nTEST DONE\r\n"
        "E00  0\\.[0-9]{3} 579\r\n"                                    // READA? 579
        "\\+00\tScanning\r\n(?:[0-9A-F]{3},){501}E00\r\n"              // SCANBIN
        "E00\r\n");                                                    // RELEASE
    EXPECT_TRUE(std::regex_match(sSession, session)) << sSession.substr(0, 300);
}
