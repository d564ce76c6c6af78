// The scratch eeprom.bin of a fuzz target: in a fresh directory in memory
// (/dev/shm) where there is one, else under /tmp. Every input may write,
// lock and read back a whole image, which on a disk costs more than the
// work under test. The file and its directory go when the run ends
// normally; a crash leaves them for a look.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz_scratch {

inline char gacDir[64];

inline void Remove()
{
    std::remove((std::string(gacDir) + "/eeprom.bin").c_str());
    std::remove(gacDir);
}

// The path of eeprom.bin; pszTarget names the directory. Call it before
// making anything that holds the file open: objects made later close it
// before the removal runs at exit.
inline const std::string& EepromFile(const char* pszTarget)
{
    static const std::string sPath = [pszTarget] {
        for (const char* pszBase : {"/dev/shm", "/tmp"}) {
            std::snprintf(gacDir, sizeof gacDir, "%s/halden-%s-fuzz-XXXXXX", pszBase, pszTarget);
            if (mkdtemp(gacDir) != nullptr) {
                std::atexit(Remove);
                return std::string(gacDir) + "/eeprom.bin";
            }
        }
        std::abort();
    }();
    return sPath;
}

}  // namespace fuzz_scratch
