// halden-eeprom: shows, checks and exchanges the methods of a stored
// EEPROM image ("eeprom.bin") of the simulated instrument.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Exit statuses.
constexpr int EEPROM_TOOL_OK = 0;
constexpr int EEPROM_TOOL_PROBLEMS = 1;  // check found something the instrument would repair or ignore
constexpr int EEPROM_TOOL_FAILED = 2;    // bad arguments or input, refused, or nothing could be written

// Runs one command (arguments without the program name).
int RunEepromTool(const std::vector<std::string>& asArgs, std::ostream& out, std::ostream& err);
