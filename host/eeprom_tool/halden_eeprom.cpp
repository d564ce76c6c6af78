// halden-eeprom: the command-line entry.
#include <iostream>

#include "eeprom_tool.h"

int main(int argc, char** argv)
{
    std::vector<std::string> asArgs(argv + 1, argv + argc);
    return RunEepromTool(asArgs, std::cout, std::cerr);
}
