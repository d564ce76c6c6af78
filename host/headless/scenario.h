// Scenarios: scripted sessions with the instrument through the headless host.
//
// One command per line; "#" starts a comment; durations are written like
// 250ms, 6s or 2m (a bare number is milliseconds). TEXT arguments may be
// written in double quotes, and their backslash escapes are decoded as the
// Send Message dialog decodes them. The command table is in scenario.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CHeadlessHost;

class CScenario {
public:
    explicit CScenario(CHeadlessHost& host, std::ostream& out);

    // Runs every line; false at the first command that fails, with Error()
    // naming the line. A scenario that runs to its end returns true.
    bool Run(std::istream& in, const std::string& sName);
    // Runs one line (comments and blank lines do nothing).
    bool RunLine(std::string_view sLine);

    const std::string& Error() const { return m_sError; }

    // Parses "250ms", "6s", "2m" or a bare number of milliseconds.
    static std::optional<uint32_t> ParseDuration(std::string_view s);
    // Maps a key name (ref test escape up down left right soft1..soft4 standby) to its code.
    static std::optional<uint8_t> ParseKey(std::string_view s);

    struct Command {
        const char* pszName;
        const char* pszUsage;
        bool (CScenario::*pfnRun)(std::string_view sArgs);
    };
    static const std::vector<Command>& Commands();

private:
    bool Fail(const std::string& sMessage);
    bool CmdPress(std::string_view sArgs);
    bool CmdRelease(std::string_view sArgs);
    bool CmdKey(std::string_view sArgs);
    bool CmdHold(std::string_view sArgs);
    bool CmdWait(std::string_view sArgs);
    bool CmdWaitScreen(std::string_view sArgs);
    bool CmdSend(std::string_view sArgs);
    bool CmdSendLn(std::string_view sArgs);
    bool CmdExpect(std::string_view sArgs);
    bool CmdSnapshot(std::string_view sArgs);
    bool CmdScreen(std::string_view sArgs);
    bool CmdState(std::string_view sArgs);
    bool CmdScript(std::string_view sArgs);

    CHeadlessHost& m_host;
    std::ostream& m_out;
    std::string m_sError;
    size_t m_nExpectFrom = 0;  // serial output before this index is already matched
};
