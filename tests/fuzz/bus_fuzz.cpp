// Fuzzes the simulated two-wire bus and its EEPROM with arbitrary line
// sequences: each input byte sets SCL or SDA (driven by the firmware's
// pins) or reads them. Whatever happens, the backing file stays a whole
// 32768-byte image and, once a stop condition ends the transfer, holds
// exactly what the memory holds.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "eeprom.h"
#include "eeprom_bus.h"
#include "fuzz_scratch.h"

namespace {

std::vector<uint8_t> ReadImage(const std::string& sPath)
{
    std::vector<uint8_t> ab(CEeprom::MEMORY_SIZE + 1);
    size_t nRead = 0;
    if (std::FILE* pFile = std::fopen(sPath.c_str(), "rb")) {
        nRead = std::fread(ab.data(), 1, ab.size(), pFile);
        std::fclose(pFile);
    }
    ab.resize(nRead);
    return ab;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbData, size_t nSize)
{
    // The file is created by the first input and used by every later one,
    // as a simulator uses it from run to run.
    const std::string& sPath = fuzz_scratch::EepromFile("bus");
    {
        CEepromBus bus(sPath);
        if (bus.Refused() || bus.ReadOnly())
            __builtin_trap();
        for (size_t i = 0; i < nSize; i++) {
            uint8_t b = pbData[i];
            switch (b & 3) {
            case 0: bus.SetScl(b >> 7); break;
            case 1: bus.SetSda(b >> 7); break;
            case 2: (void)bus.GetScl(); break;
            default: (void)bus.GetSda(); break;
            }
        }
        // A stop condition ends whatever transfer was under way.
        bus.SetScl(0);
        bus.SetSda(0);
        bus.SetScl(1);
        bus.SetSda(1);
        std::vector<uint8_t> abFile = ReadImage(sPath);
        if (abFile.size() != CEeprom::MEMORY_SIZE ||
            std::memcmp(abFile.data(), bus.Eeprom().Memory().data(), CEeprom::MEMORY_SIZE) != 0)
            __builtin_trap();
    }
    return 0;
}
