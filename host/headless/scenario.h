// Scenarios: scripted sessions with the instrument through the headless host.
//
// The language (commands, TEXT, durations) is parsed and checked by
// scenario_parse.h; this runs the checked commands against a host.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "scenario_parse.h"

class CInstrument;

class CScenario {
public:
    explicit CScenario(CInstrument& host, std::ostream& out);

    // Checks the whole scenario first: with any fault nothing runs and
    // Error() lists every fault, one a line ("NAME:LINE:COLUMN: ..."). Then
    // runs the commands; false at the first that fails, with Error() naming
    // its line and what was seen.
    bool Run(std::istream& in, const std::string& sName);
    bool RunText(std::string_view sText, const std::string& sName);
    // Runs commands already checked; false at the first that fails.
    bool RunCommands(const std::vector<ScenarioCommand>& commands, const std::string& sName);
    // Parses and runs one line (comments and blank lines do nothing); a
    // fault in the line gives its column and message.
    bool RunLine(std::string_view sLine);
    // Runs one checked command; false with Error() saying what went wrong.
    bool Execute(const ScenarioCommand& command);

    const std::string& Error() const { return m_sError; }

private:
    bool Fail(const std::string& sMessage);
    bool WaitScreen(const ScenarioCommand& command);
    bool Expect(const ScenarioCommand& command);

    CInstrument& m_host;
    std::ostream& m_out;
    std::string m_sError;
    size_t m_nExpectFrom = 0;  // serial output before this index is already matched
};


