// halden-cli: runs the instrument without a window, from a scenario file or
// as an interactive serial console.
//
//   halden-cli [--eeprom PATH] [--realtime | --speed N|max] [--serial-log PATH] [--analogue-log PATH]
//              [--stats] [--power-on] [--serial-pty PATH | --serial-tcp PORT] [SCENARIO|-]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "analogue_log.h"
#include "escape.h"
#include "headless_host.h"
#include "power_on.h"
#include "scenario.h"
#include "serial_cli.h"
#include "serial_endpoint.h"

namespace {

void Usage()
{
    std::fprintf(stderr,
                 "usage: halden-cli [--eeprom PATH] [--realtime | --speed N|max] [--serial-log PATH]\n"
                 "                  [--analogue-log PATH] [--stats] [--power-on]\n"
                 "                  [--serial-pty PATH | --serial-tcp PORT] [SCENARIO|-]\n"
                 "  SCENARIO     run a scenario file ('-' reads it from standard input)\n"
                 "  --realtime   pace firmware time to the wall clock (the same as --speed 1)\n"
                 "  --speed N    run firmware time N times as fast as the wall clock; 'max' runs it\n"
                 "               as fast as possible (the default for scenarios)\n"
                 "  --analogue-log PATH  write the chart-recorder output as \"ms value\" lines on change\n"
                 "  --stats      at the end, print the firmware time, the wall time and the speed\n"
                 "               on standard error\n"
                 "  without a scenario: interactive serial console in real time (or at --speed);\n"
                 "  each line typed is decoded like Send Message and sent with CR LF, every byte\n"
                 "  the instrument transmits is written to standard output.\n"
                 "  --power-on         switch the instrument on and confirm its self-test first\n"
                 "  --serial-pty PATH  serve the serial port on a pseudo-terminal linked at PATH\n"
                 "  --serial-tcp PORT  serve the serial port on 127.0.0.1:PORT\n"
                 "  with a serial port and no scenario: power on, then run in real time without\n"
                 "  reading standard input until SIGINT or SIGTERM.\n");
}

// Sink for --serial-log: a copy of everything transmitted.
class CSerialLog {
public:
    bool Open(const std::string& sPath)
    {
        m_pFile = std::fopen(sPath.c_str(), "wb");
        return m_pFile != nullptr;
    }
    ~CSerialLog()
    {
        if (m_pFile)
            std::fclose(m_pFile);
    }
    std::FILE* File() const { return m_pFile; }

private:
    std::FILE* m_pFile = nullptr;
};

int RunConsole(CHeadlessHost& host)
{
    std::mutex mtxLines;
    std::deque<std::string> lines;
    std::atomic<bool> bEof{false};
    std::thread reader([&] {
        std::string sLine;
        while (std::getline(std::cin, sLine)) {
            std::lock_guard<std::mutex> lock(mtxLines);
            lines.push_back(DecodeEscapes(sLine) + "\r\n");
        }
        bEof.store(true);
    });
    size_t nShown = 0;
    if (host.Speed() == 0)
        host.SetSpeed(1);
    while (host.Running()) {
        host.Tick();
        {
            std::lock_guard<std::mutex> lock(mtxLines);
            while (!lines.empty()) {
                host.Inject(lines.front());
                lines.pop_front();
            }
        }
        const std::string& sOut = host.SerialText();
        if (sOut.size() > nShown) {
            std::fwrite(sOut.data() + nShown, 1, sOut.size() - nShown, stdout);
            std::fflush(stdout);
            nShown = sOut.size();
        }
        std::lock_guard<std::mutex> lock(mtxLines);
        if (bEof.load() && lines.empty())
            break;
    }
    if (host.Interrupted())
        reader.detach();  // still waiting for a line that will never be needed
    else
        reader.join();
    return 0;
}

// "max" or a number above 0 up to 1000000.
bool ParseSpeed(const char* psz, double& dSpeed)
{
    if (!std::strcmp(psz, "max")) {
        dSpeed = 0;
        return true;
    }
    char* pszEnd = nullptr;
    double d = std::strtod(psz, &pszEnd);
    if (pszEnd == psz || *pszEnd != '\0' || !(d > 0) || d > 1e6)
        return false;
    dSpeed = d;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const auto tStart = std::chrono::steady_clock::now();
    CHeadlessHost::Options options;
    std::string sSerialLog;
    std::string sAnalogueLog;
    std::string sScenario;
    bool bHaveScenario = false;
    bool bPowerOn = false;
    SerialCliOptions serial;
    bool bStats = false;
    for (int i = 1; i < argc; i++) {
        const char* psz = argv[i];
        if (int nTaken = ParseSerialCliOption(argc, argv, i, serial)) {
            if (nTaken < 0)
                return 2;
        } else if (!std::strcmp(psz, "--power-on"))
            bPowerOn = true;
        else if (!std::strcmp(psz, "--eeprom") && i + 1 < argc)
            options.sEepromPath = argv[++i];
        else if (!std::strcmp(psz, "--realtime"))
            options.dSpeed = 1;
        else if (!std::strcmp(psz, "--speed") && i + 1 < argc) {
            if (!ParseSpeed(argv[++i], options.dSpeed)) {
                std::fprintf(stderr, "halden-cli: bad speed '%s' (a number above 0, or max)\n", argv[i]);
                return 2;
            }
        } else if (!std::strcmp(psz, "--stats"))
            bStats = true;
        else if (!std::strcmp(psz, "--serial-log") && i + 1 < argc)
            sSerialLog = argv[++i];
        else if (!std::strcmp(psz, "--analogue-log") && i + 1 < argc)
            sAnalogueLog = argv[++i];
        else if (!std::strcmp(psz, "--help") || !std::strcmp(psz, "-h")) {
            Usage();
            return 0;
        } else if ((psz[0] != '-' || !std::strcmp(psz, "-")) && !bHaveScenario) {
            sScenario = psz;
            bHaveScenario = true;
        } else {
            Usage();
            return 2;
        }
    }

    CSerialLog log;
    if (!sSerialLog.empty() && !log.Open(sSerialLog)) {
        std::fprintf(stderr, "halden-cli: cannot write %s\n", sSerialLog.c_str());
        return 2;
    }

    CAnalogueLog analogueLog;
    if (!sAnalogueLog.empty() && !analogueLog.Open(sAnalogueLog)) {
        std::fprintf(stderr, "halden-cli: cannot write %s\n", sAnalogueLog.c_str());
        return 2;
    }

    CSerialEndpoint endpoint;  // outlives the host: the firmware stops before the port closes
    CHeadlessHost host(options);
    if (!host.Bus().StatusMessage().empty())
        std::fprintf(stderr, "halden-cli: %s\n", host.Bus().StatusMessage().c_str());
    if (host.Bus().Refused())
        return 1;
    host.SetSerialEcho(log.File());
    host.SetInterruptFlag(InstallStopSignals());
    if (serial.Wanted())
        host.AttachSerialEndpoint(&endpoint);
    if (!sAnalogueLog.empty())
        host.SetAnalogueTrace(&analogueLog);
    host.PowerUp();

    // Nobody can press a key for a port served in the background, so the
    // start-up is confirmed here, at full speed.
    const bool bBackground = serial.Wanted() && !bHaveScenario;
    if (bPowerOn || bBackground) {
        std::string sError;
        host.SetSpeed(0);
        const bool bOn = PowerOnToMainMenu(host, &sError);
        host.SetSpeed(options.dSpeed);
        if (host.Interrupted())
            return bBackground ? 0 : 1;
        if (!bOn) {
            std::fprintf(stderr, "halden-cli: %s\n", sError.c_str());
            return 1;
        }
    }
    // The port (its link, its listening socket) appears once the instrument
    // is ready for a client.
    if (serial.Wanted() && !OpenSerialCliEndpoint(serial, endpoint))
        return 2;
    if (bBackground)
        return RunSerialBackground(host, endpoint);
    if (!bHaveScenario)
        return RunConsole(host);

    CScenario scenario(host, std::cout);
    bool bOk;
    if (sScenario == "-") {
        bOk = scenario.Run(std::cin, "-");
    } else {
        std::ifstream file(sScenario);
        if (!file) {
            std::fprintf(stderr, "halden-cli: cannot read %s\n", sScenario.c_str());
            return 2;
        }
        bOk = scenario.Run(file, sScenario);
    }
    if (bStats) {
        const double dWallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tStart).count();
        const double dFirmwareMs = static_cast<double>(host.VirtualMs());
        std::fprintf(stderr, "halden-cli: %.0f ms of firmware time in %.1f ms, %.0f times real time\n", dFirmwareMs,
                     dWallMs, dWallMs > 0 ? dFirmwareMs / dWallMs : 0.0);
    }
    if (!bOk || host.Interrupted()) {
        if (host.Interrupted())
            std::fprintf(stderr, "halden-cli: interrupted\n");
        else
            std::fprintf(stderr, "halden-cli: %s\n", scenario.Error().c_str());
        return 1;
    }
    return 0;
}
