// halden-eeprom: shows, checks and exchanges the methods of a stored
// EEPROM image ("eeprom.bin") of the simulated instrument.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// Exit statuses.
constexpr int EEPROM_TOOL_OK = 0;
constexpr int EEPROM_TOOL_PROBLEMS = 1;  // check found something the instrument would repair or ignore
constexpr int EEPROM_TOOL_FAILED = 2;    // bad arguments or input, refused, or nothing could be written

// Runs one command (arguments without the program name).
int RunEepromTool(const std::vector<std::string>& asArgs, std::ostream& out, std::ostream& err);

// What the stored setting at a slot is ("Auto-print", "Pixel clock"), as
// show and check name it; null for a slot that holds no single setting.
const char* SettingLabel(uint16_t unSlot);
