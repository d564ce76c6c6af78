// The scenario language of halden-cli: parsing and checking, without running.
//
// A scenario is checked whole before anything runs, so a mistake on its last
// line is found before the first key is pressed. Every refusal names the line
// and the column (counted in characters from 1) where the fault lies.
//
// One command per line; "#" outside double quotes starts a comment; durations
// are written 250ms, 6s or 2m (a bare number is milliseconds). TEXT is either
// the rest of the line or one double-quoted string; its backslash escapes are
// those of the Send Message dialog, and escapes that dialog would pass through
// unchanged (an unknown letter, \x without digits, a value above 255) are
// refused here. Lines may end in LF or CR LF; a UTF-8 byte-order mark at the
// start of the text is skipped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class ScenarioOp : uint8_t {
    Press,       // bKey
    Release,     // bKey
    Key,         // bKey
    Hold,        // bKey, unMs
    Wait,        // unMs
    WaitScreen,  // bState, unMs (limit)
    Send,        // sText (sendln: CR LF appended)
    Expect,      // sText, unMs (limit)
    Snapshot,    // sText (path), bPbm
    Screen,
    State,
    Script,  // sText
    Sample,  // sText (library name or path), fConcentration (optional)
    Heater,  // bKey: 1 a cell heater fitted, 0 none
};

struct ScenarioCommand {
    ScenarioOp op = ScenarioOp::Wait;
    int nLine = 0;        // line number, from 1
    int nColumn = 0;      // column of the command word, from 1
    std::string sSource;  // the command as written, without its comment
    uint8_t bKey = 0;
    uint8_t bState = 0;
    uint32_t unMs = 0;
    std::string sText;
    bool bPbm = false;
    std::optional<double> fConcentration;
};

struct ScenarioError {
    int nLine = 0;
    int nColumn = 0;
    std::string sMessage;
};

struct ScenarioParse {
    std::vector<ScenarioCommand> commands;
    std::vector<ScenarioError> errors;  // empty when the whole text is sound
};

constexpr uint32_t SCENARIO_EXPECT_LIMIT_MS = 30000;       // expect without "within"
constexpr uint32_t SCENARIO_WAIT_SCREEN_LIMIT_MS = 60000;  // wait-screen without "within"

// Parses a whole scenario text.
ScenarioParse ParseScenario(std::string_view sText);

// Parses one line (no line breaks in it). Returns the command, nothing for a
// blank or comment line, or fills error and returns nothing. nColumnOffset is
// added to every column (the console's lines start after a ":").
std::optional<ScenarioCommand> ParseScenarioLine(std::string_view sLine, int nLine, ScenarioError& error,
                                                 int nColumnOffset = 0);

// The commands' usage lines ("hold KEY DURATION"), in the order of the
// parser's table: the list the guide shows.
std::vector<std::string> ScenarioCommandUsages();

// "FILE:LINE:COLUMN: MESSAGE".
std::string FormatScenarioError(std::string_view sFile, const ScenarioError& error);

// "250ms", "6s", "2m" or a bare number of milliseconds.
std::optional<uint32_t> ParseScenarioDuration(std::string_view s);
// "2s", "250ms", "2m": a duration as a scenario writes it.
std::string FormatDuration(uint32_t unMs);
// At most this many of the last bytes received are quoted in a failed
// expect's message.
constexpr size_t SCENARIO_RECEIVED_SHOWN = 300;
// Why an expect failed: its text not received within its limit (or before
// the firmware stopped), and what arrived since the previous match (or the
// start), escaped: whole, or its last SCENARIO_RECEIVED_SHOWN bytes.
std::string ExpectFailure(const ScenarioCommand& command, bool bRunning, std::string_view sSince, bool bAfterMatch);
// ref test escape up down left right soft1..soft4 standby: the key code.
std::optional<uint8_t> ParseScenarioKey(std::string_view s);
// The inverse: "ref" for the reference key; empty for a code that is no key.
std::string_view ScenarioKeyName(uint8_t bKey);
// A screen state by number or by its name in the state table ("main-menu").
std::optional<uint8_t> ParseScenarioState(std::string_view s);
// "11 main-menu": a screen state's number and name.
std::string ScreenStateText(uint8_t bState);
