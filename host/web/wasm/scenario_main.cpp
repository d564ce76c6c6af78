// halden-scenario.js: a scenario run under node by the web build of the
// firmware and the board, on the real files, as halden-cli runs one; it
// shows that the page's build behaves as the native one, byte for byte.
//   node halden-scenario.js [--eeprom PATH] [--serial-log PATH] [--display PATH] [--stats] SCENARIO
// --display writes the whole display memory (addresses 640..5759) raw.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <emscripten.h>

#include "instrument.h"
#include "scenario.h"
#include "serial_log.h"
#include "core/bridge.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: halden-scenario [--eeprom PATH] [--serial-log PATH] [--display PATH] [--stats] SCENARIO\n");
    return 2;
}

bool WriteDisplayMemory(const CInstrument& host, const std::string& sPath)
{
    std::FILE* pFile = std::fopen(sPath.c_str(), "wb");
    if (!pFile)
        return false;
    for (uint16_t unAddress = LCD_GRAPHIC_BASE; unAddress < LCD_MEMORY_END; unAddress++)
        std::fputc(host.DisplayByte(unAddress), pFile);
    return std::fclose(pFile) == 0;
}

int Run(int argc, char** argv)
{
    CInstrument::Options options;
    std::string sSerialLog, sDisplay, sScenario;
    bool bStats = false;
    for (int i = 1; i < argc; i++) {
        const std::string sArg = argv[i];
        const bool bValue = i + 1 < argc;
        if (sArg == "--eeprom" && bValue)
            options.sEepromPath = argv[++i];
        else if (sArg == "--serial-log" && bValue)
            sSerialLog = argv[++i];
        else if (sArg == "--display" && bValue)
            sDisplay = argv[++i];
        else if (sArg == "--stats")
            bStats = true;
        else if (sArg.starts_with("-") || !sScenario.empty())
            return Usage();
        else
            sScenario = sArg;
    }
    if (sScenario.empty())
        return Usage();
    std::ifstream file(sScenario, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "halden-scenario: cannot read %s\n", sScenario.c_str());
        return 2;
    }
    std::ostringstream text;
    text << file.rdbuf();
    ScenarioParse parse = ParseScenario(text.str());
    if (!parse.errors.empty()) {
        for (const ScenarioError& error : parse.errors)
            std::fprintf(stderr, "halden-scenario: %s\n", FormatScenarioError(sScenario, error).c_str());
        return 2;
    }

    CSerialLog log;
    if (!sSerialLog.empty() && !log.Open(sSerialLog, CSerialLog::Mode::Transmitted)) {
        std::fprintf(stderr, "halden-scenario: cannot write %s\n", sSerialLog.c_str());
        return 2;
    }
    // Emscripten's file systems have no link(), by which the board creates a
    // new image file whole; an empty file it initialises in place.
    if (std::FILE* pNew = std::fopen(options.sEepromPath.c_str(), "ab"))
        std::fclose(pNew);
    CInstrument host(options);
    if (!host.Bus().StatusMessage().empty())
        std::fprintf(stderr, "halden-scenario: %s\n", host.Bus().StatusMessage().c_str());
    if (host.Bus().Refused())
        return 1;
    if (!sSerialLog.empty())
        host.AddSerialTap(&log);
    const auto tStart = std::chrono::steady_clock::now();
    host.PowerUp();
    int nStatus = 0;
    CScenario scenario(host, std::cout);
    if (!scenario.RunCommands(parse.commands, sScenario)) {
        std::fprintf(stderr, "halden-scenario: %s\n", scenario.Error().c_str());
        nStatus = 1;
    }
    if (bStats) {
        const double dWallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tStart).count();
        const double dFirmwareMs = static_cast<double>(host.VirtualMs());
        std::fprintf(stderr, "halden-scenario: %.0f ms of firmware time in %.1f ms, %.0f times real time\n",
                     dFirmwareMs, dWallMs, dWallMs > 0 ? dFirmwareMs / dWallMs : 0.0);
    }
    if (!sDisplay.empty() && !WriteDisplayMemory(host, sDisplay)) {
        std::fprintf(stderr, "halden-scenario: cannot write %s\n", sDisplay.c_str());
        nStatus = nStatus ? nStatus : 2;
    }
    host.RemoveSerialTap(&log);
    if (!log.Close()) {
        std::fprintf(stderr, "halden-scenario: cannot write %s\n", sSerialLog.c_str());
        nStatus = nStatus ? nStatus : 2;
    }
    std::cout.flush();
    return nStatus;
}

}  // namespace

int main(int argc, char** argv)
{
    // The sample library of the source tree, read through node's file system.
    setenv("HALDEN_SAMPLES", HALDEN_SAMPLE_FILES, 0);
    // The firmware runs on a fiber: this call returns to JavaScript at the
    // first switch and finishes later, so the status leaves through exit.
    emscripten_force_exit(Run(argc, argv));
}
