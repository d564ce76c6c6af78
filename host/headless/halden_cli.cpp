// halden-cli: runs the instrument without a window, from a scenario file or
// as an interactive serial console.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "analogue_log.h"
#include "chart.h"
#include "escape.h"
#include "instrument.h"
#include "scenario.h"
#include "power_on.h"
#include "printer_tap.h"
#include "printout_file.h"
#include "serial_cli.h"
#include "serial_endpoint.h"
#include "serial_log.h"
#include "app/probe.h"
#include "core/serial.h"
#include "ui/ui.h"

namespace {

const char* const USAGE_LINE =
    "usage: halden-cli [--eeprom PATH] [--realtime | --speed N|max] [--serial-log PATH [--serial-log-both]]\n"
    "                  [--analogue-log PATH] [--printout PATH] [--chart PATH] [--power-on]\n"
    "                  [--linger DURATION] [--stats]\n"
    "                  [--serial-pty PATH | --serial-tcp PORT] [--sample NAME] [--heater]\n"
    "                  [SCENARIO|-]\n"
    "       halden-cli --states\n";

void Usage()
{
    std::fputs(USAGE_LINE, stdout);
    std::fputs("  SCENARIO           run a scenario file ('-' reads it from standard input);\n"
               "                     it is checked whole before anything runs\n"
               "  --eeprom PATH      the EEPROM image (default eeprom.bin)\n"
               "  --realtime         pace firmware time to the wall clock (the same as --speed 1)\n"
               "  --speed N          run firmware time N times as fast as the wall clock; 'max' as\n"
               "                     fast as the host allows (the default for scenarios)\n"
               "  --stats            at the end, print the firmware time, the wall time and the speed\n"
               "  --serial-log PATH  record what the instrument transmits\n"
               "  --serial-log-both  record both directions, marked '-> ' (to the instrument)\n"
               "                     and '<- ' (from it), with escapes\n"
               "  --analogue-log PATH  write the chart-recorder output as \"ms value\" lines on change\n"
               "  --printout PATH    at exit, write what the printer (output device PR1 or PR2)\n"
               "                     printed: PATH.png, PATH.pdf or PATH.txt (text lines only);\n"
               "                     may be given more than once\n"
               "  --chart PATH       at exit, write the chart-recorder trace: PATH.png or PATH.csv;\n"
               "                     may be given more than once\n"
               "  --power-on         press the standby key and wait for the main menu first\n"
               "  --serial-pty PATH  serve the serial port on a pseudo-terminal linked at PATH\n"
               "  --serial-tcp PORT  serve the serial port on 127.0.0.1:PORT\n"
               "  with a serial port and no scenario: power on, then run in real time without\n"
               "  a console until interrupted\n"
               "  --linger DURATION  console: run this long after the end of input (default:\n"
               "                     until the instrument has been quiet for a second)\n"
               "  --sample NAME      put a sample from the library (or a .sample file) in the cell\n"
               "  --heater           fit the cell heater: set-up offers Heater Control, and a\n"
               "                     reacting sample reacts faster while it is on\n"
               "  --states           list the screen states by number and name\n"
               "Without a scenario: a serial console in real time. Each line typed is decoded\n"
               "like Send Message and sent with CR LF (a lone ^H, ^R or ^T goes alone); a line\n"
               "beginning with ':' is a scenario command (:key standby, :state, :screen).\n",
               stdout);
}

int BadUsage(const std::string& sMessage)
{
    std::fprintf(stderr, "halden-cli: %s\n%stry 'halden-cli --help' for more\n", sMessage.c_str(), USAGE_LINE);
    return 2;
}

// --help: the usage and where the rest is; --help-all lists every option.
void ShortUsage()
{
    std::fputs(USAGE_LINE, stdout);
    std::fputs("       halden-cli --help-all    (every option explained)\n"
               "Every option, the scenario language and its errors: 'man halden-cli', and the\n"
               "guide's chapter docs/halden-cli.md (installed in /usr/share/doc/halden/docs).\n",
               stdout);
}

struct Options {
    CInstrument::Options host;
    std::string sSerialLog;
    bool bSerialLogBoth = false;
    std::string sAnalogueLog;
    std::vector<std::string> asPrintout;  // each gets the printout in its own form
    std::vector<std::string> asChart;
    bool bPowerOn = false;
    bool bStats = false;
    SerialCliOptions serial;
    std::optional<uint32_t> linger;
    std::string sScenario;
    bool bHaveScenario = false;
    std::string sSample;  // library name or path; empty: the recorded sample
    bool bHeater = false;  // a cell heater fitted
};

// How long the instrument must have been quiet before the console ends, and
// the longest it waits for that after the end of input.
constexpr uint32_t QUIET_MS = 1000;
constexpr uint32_t QUIET_LIMIT_MS = 60000;

// Console input: serial lines and ':' commands, in the order typed.
struct ConsoleItem {
    int nLine;
    std::string sText;
};

class CConsole {
public:
    CConsole(CInstrument& host, const Options& options) : m_host(host), m_options(options), m_scenario(host, std::cout)
    {
    }
    int Run();

private:
    void Reader();
    bool NextItem(ConsoleItem& item);
    void Handle(const ConsoleItem& item);
    void FeedPending();
    bool Quiet();
    void Linger();

    CInstrument& m_host;
    const Options& m_options;
    CScenario m_scenario;
    std::mutex m_mtx;
    std::deque<ConsoleItem> m_items;
    bool m_bEof = false;
    std::string m_sPending;  // serial bytes waiting for room in the receive queue
};

void CConsole::Reader()
{
    std::string sLine;
    int nLine = 0;
    while (std::getline(std::cin, sLine)) {
        if (++nLine == 1 && sLine.starts_with("\xEF\xBB\xBF"))
            sLine.erase(0, 3);
        if (sLine.ends_with('\r'))
            sLine.pop_back();
        std::lock_guard<std::mutex> lock(m_mtx);
        m_items.push_back({nLine, sLine});
    }
    std::lock_guard<std::mutex> lock(m_mtx);
    m_bEof = true;
}

bool CConsole::NextItem(ConsoleItem& item)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    if (m_items.empty())
        return false;
    item = std::move(m_items.front());
    m_items.pop_front();
    return true;
}

void CConsole::Handle(const ConsoleItem& item)
{
    if (item.sText.starts_with(":")) {
        ScenarioError error;
        auto command = ParseScenarioLine(std::string_view(item.sText).substr(1), item.nLine, error, 1);
        if (!command) {
            if (!error.sMessage.empty())
                std::fprintf(stderr, "halden-cli: %s\n", FormatScenarioError("console", error).c_str());
            return;
        }
        std::fflush(stdout);
        if (!m_scenario.Execute(*command))
            std::fprintf(stderr, "halden-cli: console:%d: %s: %s\n", item.nLine, command->sSource.c_str(),
                         m_scenario.Error().c_str());
        std::cout.flush();
        return;
    }
    m_sPending = DecodeEscapes(item.sText);
    // ^H, ^R and ^T act alone at the start of a line; a CR LF after them
    // would be an empty command line.
    bool bControl = m_sPending.size() == 1 &&
                    (m_sPending[0] == '\x08' || m_sPending[0] == '\x12' || m_sPending[0] == '\x14');
    if (!bControl)
        m_sPending += "\r\n";
}

// Hands waiting bytes to the receive queue as far as it has room, as a
// serial line would: nothing is dropped while a reading holds the queue.
void CConsole::FeedPending()
{
    size_t nRoom = m_host.ReceiveRoom();
    if (nRoom == 0 || m_sPending.empty())
        return;
    size_t n = std::min(nRoom, m_sPending.size());
    m_host.Inject(std::string_view(m_sPending).substr(0, n));
    m_sPending.erase(0, n);
    m_host.RunSlice();
}

// Nothing waiting or executing: no byte queued, no command line running, no
// reading under way.
bool CConsole::Quiet()
{
    return m_sPending.empty() && m_host.ReceiveRoom() == RX_RING_SIZE && !ProbeRemoteBusy();
}

void CConsole::Linger()
{
    if (m_options.linger) {
        m_host.AdvanceMs(*m_options.linger);
        return;
    }
    uint64_t ullStart = m_host.VirtualMs();
    uint64_t ullQuietSince = ullStart;
    size_t nSeen = m_host.SerialText().size();
    while (m_host.Running()) {
        FeedPending();
        if (!Quiet() || m_host.SerialText().size() != nSeen) {
            nSeen = m_host.SerialText().size();
            ullQuietSince = m_host.VirtualMs();
        } else if (m_host.VirtualMs() - ullQuietSince >= QUIET_MS)
            return;
        if (m_host.VirtualMs() - ullStart >= QUIET_LIMIT_MS) {
            std::fprintf(stderr, "halden-cli: the instrument is still busy %s after the end of input; stopping "
                         "(--linger DURATION runs longer)\n", FormatDuration(QUIET_LIMIT_MS).c_str());
            return;
        }
        m_host.Tick();
    }
}

// Firmware time keeps to the wall clock while the console waits for input;
// ':' commands, --power-on and the wait after the end of input run as fast as
// scenarios do (unless --realtime paces everything).
int CConsole::Run()
{
    std::thread reader([this] { Reader(); });
    // Paced when asked for; otherwise ':' commands and the end run at full speed.
    const double dCommandSpeed = m_options.host.dSpeed;
    const double dIdleSpeed = dCommandSpeed > 0 ? dCommandSpeed : 1;
    m_host.SetSpeed(dCommandSpeed);
    std::string sError;
    bool bOk = !m_options.bPowerOn || PowerOnToMainMenu(m_host, &sError);
    if (!bOk)
        std::fprintf(stderr, "halden-cli: --power-on: %s\n", sError.c_str());
    while (bOk && m_host.Running()) {
        ConsoleItem item;
        if (m_sPending.empty() && NextItem(item)) {
            m_host.SetSpeed(dCommandSpeed);
            Handle(item);
            FeedPending();
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(m_mtx);
            if (m_bEof && m_items.empty() && m_sPending.empty())
                break;
        }
        m_host.SetSpeed(dIdleSpeed);
        m_host.Tick();
        FeedPending();
    }
    m_host.SetSpeed(dCommandSpeed);
    if (bOk)
        Linger();
    std::fflush(stdout);
    std::lock_guard<std::mutex> lock(m_mtx);
    if (!m_bEof)
        reader.detach();  // still blocked reading a terminal; the process ends around it
    else
        reader.join();
    return bOk ? 0 : 1;
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

// Reads the options; an empty result means go on, otherwise the exit status.
std::optional<int> ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; i++) {
        std::string sArg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (int nTaken = ParseSerialCliOption(argc, argv, i, options.serial)) {
            if (nTaken < 0)
                return 2;
            continue;
        }
        if (sArg == "--eeprom") {
            const char* psz = value();
            if (!psz)
                return BadUsage("--eeprom needs a PATH");
            options.host.sEepromPath = psz;
        } else if (sArg == "--realtime")
            options.host.dSpeed = 1;
        else if (sArg == "--speed") {
            const char* psz = value();
            if (!psz)
                return BadUsage("--speed needs a number or max");
            if (!ParseSpeed(psz, options.host.dSpeed))
                return BadUsage(std::string("bad speed '") + psz + "' (a number above 0, or max)");
        } else if (sArg == "--stats")
            options.bStats = true;
        else if (sArg == "--heater")
            options.bHeater = true;
        else if (sArg == "--sample") {
            const char* psz = value();
            if (!psz)
                return BadUsage("--sample needs a NAME ('blank', 'dye', ...) or a path to a .sample file");
            options.sSample = psz;
        }
        else if (sArg == "--serial-log") {
            const char* psz = value();
            if (!psz)
                return BadUsage("--serial-log needs a PATH");
            options.sSerialLog = psz;
        } else if (sArg == "--analogue-log") {
            const char* psz = value();
            if (!psz)
                return BadUsage("--analogue-log needs a PATH");
            options.sAnalogueLog = psz;
        } else if (sArg == "--printout") {
            const char* psz = value();
            if (!psz)
                return BadUsage("--printout needs a PATH ending in .png, .pdf or .txt");
            options.asPrintout.push_back(psz);
            const std::string sExt = FileExtension(psz);
            if (sExt != ".png" && sExt != ".pdf" && sExt != ".txt")
                return BadUsage(std::string("--printout: '") + psz + "' does not end in .png, .pdf or .txt");
        } else if (sArg == "--chart") {
            const char* psz = value();
            if (!psz)
                return BadUsage("--chart needs a PATH ending in .png or .csv");
            options.asChart.push_back(psz);
            const std::string sExt = FileExtension(psz);
            if (sExt != ".png" && sExt != ".csv")
                return BadUsage(std::string("--chart: '") + psz + "' does not end in .png or .csv");
        } else if (sArg == "--serial-log-both")
            options.bSerialLogBoth = true;
        else if (sArg == "--power-on")
            options.bPowerOn = true;
        else if (sArg == "--linger") {
            const char* psz = value();
            if (!psz)
                return BadUsage("--linger needs a DURATION such as 2s");
            options.linger = ParseScenarioDuration(psz);
            if (!options.linger)
                return BadUsage(std::string("--linger: bad duration '") + psz +
                                "'; write 250ms, 6s or 2m (a bare number is milliseconds)");
        } else if (sArg == "--help" || sArg == "-h") {
            ShortUsage();
            return 0;
        } else if (sArg == "--help-all") {
            Usage();
            return 0;
        } else if (sArg == "--states") {
            for (unsigned int n = 0; n < 256; n++)
                if (StateName(static_cast<uint8_t>(n)))
                    std::printf("%3u %s\n", n, StateName(static_cast<uint8_t>(n)));
            return 0;
        } else if (sArg.starts_with("-") && sArg != "-")
            return BadUsage("unknown option '" + sArg + "'");
        else if (options.bHaveScenario)
            return BadUsage("one scenario at a time: '" + options.sScenario + "' and '" + sArg + "'");
        else {
            options.sScenario = sArg;
            options.bHaveScenario = true;
        }
    }
    if (options.bSerialLogBoth && options.sSerialLog.empty())
        return BadUsage("--serial-log-both needs --serial-log PATH");
    if (options.linger && options.bHaveScenario)
        return BadUsage("--linger is for the console; a scenario waits with 'wait DURATION'");
    return std::nullopt;
}

// Reads the scenario text; an empty result means it was read.
std::optional<int> ReadScenario(const std::string& sName, std::string& sText)
{
    std::ostringstream text;
    if (sName == "-") {
        text << std::cin.rdbuf();
        sText = text.str();
        return std::nullopt;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(sName, ec)) {
        std::fprintf(stderr, "halden-cli: %s is a directory, not a scenario file\n", sName.c_str());
        return 2;
    }
    std::ifstream file(sName, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "halden-cli: cannot read %s: %s\n", sName.c_str(), std::strerror(errno));
        return 2;
    }
    text << file.rdbuf();
    if (file.bad()) {
        std::fprintf(stderr, "halden-cli: cannot read %s\n", sName.c_str());
        return 2;
    }
    sText = text.str();
    return std::nullopt;
}

// Connects the printer and the chart recorder to the instrument's outputs
// when their files are asked for (before PowerUp).
void ConnectOutputs(CInstrument& host, const Options& options, CAnalogueLog* pAnalogueLog)
{
    if (!options.asPrintout.empty())
        host.ConnectPrinter();
    if (!options.asChart.empty())
        host.ConnectChart();
    if (pAnalogueLog)
        host.SetAnalogueTrace(pAnalogueLog);
}

// After the firmware has stopped: writes what the printer printed and the
// chart recorder drew; the exit status given, or 2 when a file cannot be
// written.
int WriteOutputs(CInstrument& host, const Options& options, int nStatus)
{
    std::string sError;
    auto fail = [&] {
        std::fprintf(stderr, "halden-cli: %s\n", sError.c_str());
        nStatus = nStatus ? nStatus : 2;
    };
    CPrinter printer;
    host.PrinterCable().DrainInto(printer);
    for (const std::string& sPath : options.asPrintout)
        if (!WritePrintout(printer, sPath, &sError))
            fail();
    const CChartRecorder& chart = host.Chart();
    const uint64_t ullEndMs = chart.Ms() ? chart.Ms() - 1 : 0;
    for (const std::string& sPath : options.asChart)
        if (!WriteChart(chart.Points(), ullEndMs, sPath, &sError))
            fail();
    return nStatus;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (auto status = ParseOptions(argc, argv, options))
        return *status;

    // A scenario is read and checked before the instrument is switched on.
    ScenarioParse parse;
    if (options.bHaveScenario) {
        std::string sText;
        if (auto status = ReadScenario(options.sScenario, sText))
            return *status;
        parse = ParseScenario(sText);
        if (!parse.errors.empty()) {
            for (const ScenarioError& error : parse.errors)
                std::fprintf(stderr, "halden-cli: %s\n", FormatScenarioError(options.sScenario, error).c_str());
            std::fprintf(stderr, "halden-cli: %s: nothing run\n", options.sScenario.c_str());
            return 2;
        }
        // Every sample the scenario puts in must load before anything runs.
        bool bSamplesOk = true;
        for (const ScenarioCommand& command : parse.commands) {
            std::string sError;
            if (command.op == ScenarioOp::Sample && !LoadSample(command.sText, sError)) {
                std::fprintf(stderr, "halden-cli: %s\n",
                             FormatScenarioError(options.sScenario, {command.nLine, command.nColumn, sError}).c_str());
                bSamplesOk = false;
            }
        }
        if (!bSamplesOk) {
            std::fprintf(stderr, "halden-cli: %s: nothing run\n", options.sScenario.c_str());
            return 2;
        }
    }
    std::optional<CSample> sample;
    if (!options.sSample.empty()) {
        std::string sError;
        sample = LoadSample(options.sSample, sError);
        if (!sample) {
            std::fprintf(stderr, "halden-cli: --sample: %s\n", sError.c_str());
            return 2;
        }
    }

    CSerialLog log;
    if (!options.sSerialLog.empty() &&
        !log.Open(options.sSerialLog, options.bSerialLogBoth ? CSerialLog::Mode::Both : CSerialLog::Mode::Transmitted)) {
        std::fprintf(stderr, "halden-cli: cannot write %s: %s\n", options.sSerialLog.c_str(), std::strerror(errno));
        return 2;
    }

    CAnalogueLog analogueLog;
    if (!options.sAnalogueLog.empty() && !analogueLog.Open(options.sAnalogueLog)) {
        std::fprintf(stderr, "halden-cli: cannot write %s: %s\n", options.sAnalogueLog.c_str(), std::strerror(errno));
        return 2;
    }

    CSerialEndpoint endpoint;  // outlives the host: the firmware stops before the port closes
    CInstrument host(options.host);
    if (!host.Bus().StatusMessage().empty())
        std::fprintf(stderr, "halden-cli: %s\n", host.Bus().StatusMessage().c_str());
    if (host.Bus().Refused())
        return 1;
    host.FitHeater(options.bHeater);
    if (sample)
        host.Compartment().Insert(*sample);
    if (!options.sSerialLog.empty())
        host.AddSerialTap(&log);
    ConnectOutputs(host, options, options.sAnalogueLog.empty() ? nullptr : &analogueLog);
    host.SetInterruptFlag(InstallStopSignals());
    if (options.serial.Wanted())
        host.AttachSerialEndpoint(&endpoint);

    // Nobody can press a key for a port served in the background, so the
    // start-up is confirmed first, at full speed; the port appears once the
    // instrument is ready for a client.
    if (options.serial.Wanted()) {
        host.PowerUp();
        const bool bBackground = !options.bHaveScenario;
        if (options.bPowerOn || bBackground) {
            std::string sError;
            host.SetSpeed(0);
            const bool bOn = PowerOnToMainMenu(host, &sError);
            host.SetSpeed(options.host.dSpeed);
            if (host.Interrupted())
                return bBackground ? 0 : 1;
            if (!bOn) {
                std::fprintf(stderr, "halden-cli: %s\n", sError.c_str());
                return 1;
            }
            options.bPowerOn = false;
        }
        if (!OpenSerialCliEndpoint(options.serial, endpoint))
            return 2;
        if (bBackground) {
            const int nBackground = RunSerialBackground(host, endpoint);
            host.Shutdown();
            return WriteOutputs(host, options, nBackground);
        }
    }

    const auto tStart = std::chrono::steady_clock::now();
    int nStatus = 0;
    if (!options.bHaveScenario) {
        host.SetSerialEcho(stdout);
        host.PowerUp();
        CConsole console(host, options);
        nStatus = console.Run();
    } else {
        host.PowerUp();
        std::string sError;
        CScenario scenario(host, std::cout);
        if (options.bPowerOn && !PowerOnToMainMenu(host, &sError)) {
            std::fprintf(stderr, "halden-cli: --power-on: %s\n", sError.c_str());
            nStatus = 1;
        } else if (!scenario.RunCommands(parse.commands, options.sScenario)) {
            std::fprintf(stderr, "halden-cli: %s\n", scenario.Error().c_str());
            nStatus = 1;
        }
    }
    if (options.bStats) {
        const double dWallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tStart).count();
        const double dFirmwareMs = static_cast<double>(host.VirtualMs());
        std::fprintf(stderr, "halden-cli: %.0f ms of firmware time in %.1f ms, %.0f times real time\n", dFirmwareMs,
                     dWallMs, dWallMs > 0 ? dFirmwareMs / dWallMs : 0.0);
    }
    host.Shutdown();
    analogueLog.Close();
    nStatus = WriteOutputs(host, options, nStatus);
    host.RemoveSerialTap(&log);
    host.SetSerialEcho(nullptr);
    if (!log.Close()) {
        std::fprintf(stderr, "halden-cli: cannot write %s\n", options.sSerialLog.c_str());
        nStatus = nStatus ? nStatus : 2;
    }
    return nStatus;
}
