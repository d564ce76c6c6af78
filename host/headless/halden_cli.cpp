// halden-cli: runs the instrument without a window, from a scenario file or
// as an interactive serial console.
#include <atomic>
#include <chrono>
#include <csignal>
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

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
#include "stop_signals.h"
#include "app/probe.h"
#include "core/serial.h"
#include "ui/ui.h"

namespace {

// One line on standard error for each line of sFaults (a sample file names
// every fault in it), each line after "halden-cli: " and sPrefix.
void PrintFaults(const std::string& sPrefix, const std::string& sFaults)
{
    size_t nStart = 0;
    do {
        const size_t nEnd = sFaults.find('\n', nStart);
        const std::string sLine = sFaults.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
        std::fprintf(stderr, "halden-cli: %s%s\n", sPrefix.c_str(), sLine.c_str());
        nStart = nEnd == std::string::npos ? std::string::npos : nEnd + 1;
    } while (nStart != std::string::npos);
}

const char* const USAGE_LINE =
    "usage: halden-cli [--eeprom PATH [--eeprom-snapshot]] [--realtime | --speed N|max] [--serial-log PATH [--serial-log-both]]\n"
    "                  [--analogue-log PATH] [--printout PATH] [--chart PATH] [--power-on]\n"
    "                  [--linger DURATION] [--stats]\n"
    "                  [--serial-pty PATH | --serial-tcp PORT [--wait-client]] [--sample NAME] [--heater]\n"
    "                  [SCENARIO|-]\n"
    "       halden-cli --states\n";

void Usage()
{
    std::fputs(USAGE_LINE, stdout);
    std::fputs("  SCENARIO           run a scenario file ('-' reads it from standard input);\n"
               "                     it is checked whole before anything runs\n"
               "  --eeprom PATH      the EEPROM image (default eeprom.bin)\n"
               "  --eeprom-snapshot  load the image and keep every change in memory: the file\n"
               "                     is never written\n"
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
               "  --wait-client      power up only once the first client has opened the port\n"
               "                     (connected, or opened the pseudo-terminal), so that it sees\n"
               "                     everything from START on\n"
               "  with a serial port and no scenario: power on, serve the port until stopped\n"
               "  by Ctrl+C or SIGTERM (exit status 0), and take ':' commands on standard input\n"
               "  for keys and samples during the client's session\n"
               "  --linger DURATION  console: run this long after the end of input (default:\n"
               "                     until the instrument has been quiet for a second)\n"
               "  --sample NAME      put a sample from the library (or a .sample file) in the cell\n"
               "  --heater           fit the cell heater: set-up offers Heater Control, and a\n"
               "                     reacting sample reacts faster while it is on\n"
               "  --states           list the screen states by number and name\n"
               "Without a scenario: a serial console in real time. Each line typed is decoded\n"
               "like Send Message and sent with CR LF (a lone ^H, ^R or ^T goes alone); a line\n"
               "beginning with ':' is a scenario command (:key standby, :state, :screen), run\n"
               "after the replies to the lines before it; :help lists them, :quit ends.\n"
               "Exit status: 0 done, 1 a command or expect failed, 2 bad usage or files,\n"
               "128+N stopped by signal N (SIGINT 130, SIGTERM 143) in a scenario or console.\n",
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
    bool bSpeedGiven = false;  // --speed or --realtime given
    SerialCliOptions serial;
    std::optional<uint32_t> linger;
    std::string sScenario;
    bool bHaveScenario = false;
    std::string sSample;  // library name or path; empty: the recorded sample
    bool bHeater = false;  // a cell heater fitted
    // '--speed max' given: serving a client, flat out while the instrument
    // works and real time while it waits (max is also the scenario default).
    bool SpeedMaxGiven() const { return bSpeedGiven && host.dSpeed == 0; }
};

// How long the instrument must have been quiet before the console ends, and
// the longest it waits for that after the end of input.
constexpr uint32_t QUIET_MS = 1000;
constexpr uint32_t QUIET_LIMIT_MS = 60000;
// Before a ':' command: how long the instrument must have been quiet for the
// replies to the lines typed before it to be out.
constexpr uint32_t REPLY_QUIET_MS = 100;

const char* const CONSOLE_HELP =
    "Each line is sent to the instrument like Send Message, with CR LF (a lone ^H, ^R\n"
    "or ^T goes alone; \\r, \\n, \\xHH and ^X escapes). A line beginning with ':' is a\n"
    "scenario command, run once the replies to the lines before it are in:\n"
    "  :key NAME, :press NAME, :release NAME, :hold NAME DURATION\n"
    "  :wait DURATION, :wait screen STATE [within DURATION]\n"
    "  :expect \"TEXT\" [within DURATION], :send \"TEXT\", :sendln \"TEXT\"\n"
    "  :sample NAME [CONCENTRATION], :snapshot PATH, :screen, :state\n"
    "  :help   this text\n"
    "  :quit   end the session now\n";

// Console input: serial lines and ':' commands, in the order typed.
struct ConsoleItem {
    int nLine;
    std::string sText;
};

// The console on standard input. Beside a served serial port the serial
// line belongs to the client: only ':' commands are taken, and the end of
// input leaves the port served until a stop signal.
class CConsole {
public:
    // pServed: the port a client has, or null.
    CConsole(CInstrument& host, const Options& options, const CSerialEndpoint* pServed)
        : m_host(host), m_options(options), m_scenario(host, std::cout), m_pServed(pServed), m_bServing(pServed)
    {
    }
    int Run();

private:
    void Reader();
    bool NextItem(ConsoleItem& item);
    bool InputDone();
    void Handle(const ConsoleItem& item);
    void FeedPending();
    bool Quiet();
    void WaitQuiet(uint32_t unQuietMs, bool bReportLimit);
    void Pace(double dSpeed);
    void ServeTickAtMax();
    void Linger();

    CInstrument& m_host;
    const Options& m_options;
    CScenario m_scenario;
    std::mutex m_mtx;
    std::deque<ConsoleItem> m_items;
    bool m_bEof = false;
    std::string m_sPending;  // serial bytes waiting for room in the receive queue
    const CSerialEndpoint* m_pServed;
    const bool m_bServing;   // a client has the serial port
    bool m_bQuit = false;    // ':quit' typed
    bool m_bFailed = false;  // a ':' command failed (an expect not met, a bad line)
    bool m_bLinesSent = false;  // serial lines typed whose replies may still be coming
    double m_dPace = -1;        // the speed last set
    std::chrono::steady_clock::time_point m_tIdleTick;  // when the next idle tick is due
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

bool CConsole::InputDone()
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_bEof && m_items.empty();
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
        std::string_view sCommand = std::string_view(item.sText).substr(1);
        while (!sCommand.empty() && (sCommand.back() == ' ' || sCommand.back() == '\t'))
            sCommand.remove_suffix(1);
        if (sCommand == "help") {
            std::fflush(stdout);
            std::cout << CONSOLE_HELP;
            std::cout.flush();
            return;
        }
        if (sCommand == "quit") {
            m_bQuit = true;
            return;
        }
        ScenarioError error;
        auto command = ParseScenarioLine(sCommand, item.nLine, error, 1);
        if (!command) {
            if (!error.sMessage.empty()) {
                std::fprintf(stderr, "halden-cli: %s\n", FormatScenarioError("console", error).c_str());
                m_bFailed = true;
            }
            return;
        }
        std::fflush(stdout);
        if (!m_scenario.Execute(*command)) {
            PrintFaults("console:" + std::to_string(item.nLine) + ": " + command->sSource + ": ", m_scenario.Error());
            m_bFailed = true;
        }
        std::cout.flush();
        return;
    }
    if (m_bServing) {
        if (!item.sText.empty())
            std::fprintf(stderr, "halden-cli: console:%d: the serial port belongs to the client; type ':' commands "
                         "here (:help lists them)\n", item.nLine);
        return;
    }
    m_sPending = DecodeEscapes(item.sText);
    m_bLinesSent = true;
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

// Nothing waiting or executing: no byte queued (by the console or a client),
// no command line running, no reading or scan under way.
bool CConsole::Quiet()
{
    return m_sPending.empty() && (!m_pServed || m_pServed->HeldInput() == 0) && m_host.ReceiveRoom() == RX_RING_SIZE &&
           !ProbeRemoteBusy();
}

// Sets the speed when it changes (setting it restarts the pacing).
void CConsole::Pace(double dSpeed)
{
    if (dSpeed == m_dPace)
        return;
    m_dPace = dSpeed;
    m_host.SetSpeed(dSpeed);
}

// Serving a client at '--speed max': flat out while the instrument works
// (client bytes held or queued, a command line, a reading or a scan under
// way); while it only waits, one tick per tick of the wall clock, asleep in
// between, and woken at once by the client's next bytes.
void CConsole::ServeTickAtMax()
{
    Pace(0);
    const auto tNow = std::chrono::steady_clock::now();
    if (!Quiet() || tNow - m_tIdleTick > std::chrono::seconds(1))
        m_tIdleTick = tNow;
    else {
        m_tIdleTick += std::chrono::milliseconds(CInstrument::TICK_MS);
        if (m_host.WaitForActivity(m_tIdleTick))
            m_tIdleTick = std::chrono::steady_clock::now();
    }
    m_host.Tick();
}

void CConsole::Linger()
{
    if (m_options.linger) {
        m_host.AdvanceMs(*m_options.linger);
        return;
    }
    WaitQuiet(QUIET_MS, true);
}

// Runs until the instrument has been quiet (nothing queued, executing or
// transmitted) for unQuietMs, or for QUIET_LIMIT_MS at most.
void CConsole::WaitQuiet(uint32_t unQuietMs, bool bReportLimit)
{
    uint64_t ullStart = m_host.VirtualMs();
    uint64_t ullQuietSince = ullStart;
    size_t nSeen = m_host.SerialText().size();
    while (m_host.Running()) {
        FeedPending();
        if (!Quiet() || m_host.SerialText().size() != nSeen) {
            nSeen = m_host.SerialText().size();
            ullQuietSince = m_host.VirtualMs();
        } else if (m_host.VirtualMs() - ullQuietSince >= unQuietMs)
            return;
        if (m_host.VirtualMs() - ullStart >= QUIET_LIMIT_MS) {
            if (!bReportLimit)
                return;
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
    Pace(dCommandSpeed);
    std::string sError;
    bool bOk = !m_options.bPowerOn || PowerOnToMainMenu(m_host, &sError);
    if (!bOk && m_host.Running())
        std::fprintf(stderr, "halden-cli: --power-on: %s\n", sError.c_str());
    while (bOk && m_host.Running() && !m_bQuit) {
        ConsoleItem item;
        if (m_sPending.empty() && NextItem(item)) {
            Pace(dCommandSpeed);
            if (item.sText.starts_with(":") && m_bLinesSent) {
                WaitQuiet(REPLY_QUIET_MS, false);
                m_bLinesSent = false;
            }
            if (!m_host.Running())
                break;  // a stop signal came meanwhile: the command is not run
            Handle(item);
            FeedPending();
            continue;
        }
        const bool bInputDone = InputDone();
        if (bInputDone && m_sPending.empty() && !m_bServing)
            break;
        if (m_bServing && m_options.SpeedMaxGiven())
            ServeTickAtMax();
        else {
            Pace(dIdleSpeed);
            m_host.Tick();
        }
        FeedPending();
        if (m_bServing && bInputDone)
            m_host.ClearSerialText();  // no ':expect' can come any more; the client and the log have the bytes
    }
    Pace(dCommandSpeed);
    if (bOk && !m_bQuit && !m_bServing && m_host.Running())
        Linger();
    std::fflush(stdout);
    std::lock_guard<std::mutex> lock(m_mtx);
    if (!m_bEof)
        reader.detach();  // still blocked reading a terminal; the process ends around it
    else
        reader.join();
    return bOk && !m_bFailed ? 0 : 1;
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
        } else if (sArg == "--eeprom-snapshot")
            options.host.bEepromSnapshot = true;
        else if (sArg == "--realtime" || sArg == "--speed") {
            if (options.bSpeedGiven)
                return BadUsage("give one pace: --realtime (the same as --speed 1) or --speed N|max, once");
            options.bSpeedGiven = true;
            if (sArg == "--realtime") {
                options.host.dSpeed = 1;
                continue;
            }
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
    if (options.serial.bWaitClient && !options.serial.Wanted())
        return BadUsage("--wait-client needs a serial port: --serial-pty PATH or --serial-tcp PORT");
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

// An output file written at the end must be writable from the start: a run
// is not spent on a file that cannot be made. A file made for the check is
// removed again.
bool CheckOutputPath(const std::string& sPath)
{
    struct stat st {};
    const bool bExisted = ::stat(sPath.c_str(), &st) == 0;
    const int fd = ::open(sPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
    if (fd < 0) {
        std::fprintf(stderr, "halden-cli: cannot write %s: %s\n", sPath.c_str(), std::strerror(errno));
        return false;
    }
    ::close(fd);
    if (!bExisted)
        ::unlink(sPath.c_str());
    return true;
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

void PrintStats(uint64_t ullFirmwareMs, std::chrono::steady_clock::time_point tStart)
{
    const double dWallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tStart).count();
    const double dFirmwareMs = static_cast<double>(ullFirmwareMs);
    std::fprintf(stderr, "halden-cli: %.0f ms of firmware time in %.1f ms, %.0f times real time\n", dFirmwareMs,
                 dWallMs, dWallMs > 0 ? dFirmwareMs / dWallMs : 0.0);
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (auto status = ParseOptions(argc, argv, options))
        return *status;

    for (const auto* pasPaths : {&options.asPrintout, &options.asChart})
        for (const std::string& sPath : *pasPaths)
            if (!CheckOutputPath(sPath))
                return 2;

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
            if (command.op == ScenarioOp::Sample && !LoadSampleToInsert(command.sText, command.fConcentration, sError)) {
                PrintFaults(FormatScenarioError(options.sScenario, {command.nLine, command.nColumn, ""}), sError);
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
            PrintFaults("--sample: ", sError);
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
    // A snapshot asked for is not news; a file that cannot be used is.
    if (!host.Bus().StatusMessage().empty() && (!options.host.bEepromSnapshot || host.Bus().Refused()))
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

    // Three shells over the one board: a scenario, the console, and the
    // console beside a served port (where a stop signal is the normal end).
    const bool bServing = options.serial.Wanted();
    const bool bBackground = bServing && !options.bHaveScenario;
    if (bServing)
        host.AttachSerialEndpoint(&endpoint);
    else if (!options.bHaveScenario)
        host.SetSerialEcho(stdout);
    int nStatus = 0;
    bool bRun = true;
    if (options.serial.bWaitClient) {
        // The port opens first and the instrument is switched on once a
        // client is there to see it start.
        if (!OpenSerialCliEndpoint(options.serial, endpoint)) {
            nStatus = 2;
            bRun = false;
        } else
            bRun = WaitForSerialClient(endpoint, host);
    }
    if (bRun)
        host.PowerUp();
    if (bRun && bServing) {
        // Nobody can press a key for a port served in the background, so the
        // start-up is confirmed first, at full speed; the port appears once
        // the instrument is ready for a client.
        if (options.bPowerOn || bBackground) {
            std::string sError;
            host.SetSpeed(0);
            const bool bOn = PowerOnToMainMenu(host, &sError);
            host.SetSpeed(options.host.dSpeed);
            if (!bOn && !host.Interrupted()) {
                std::fprintf(stderr, "halden-cli: --power-on: %s\n", sError.c_str());
                nStatus = 1;
            }
            bRun = bOn;
            options.bPowerOn = false;
        }
        if (bRun && !endpoint.IsOpen() && !OpenSerialCliEndpoint(options.serial, endpoint)) {
            nStatus = 2;
            bRun = false;
        }
        if (bRun && bBackground) {
            std::fprintf(stderr, "halden-cli: %s; ':' commands on standard input (:help); stop with Ctrl+C or "
                         "SIGTERM\n", endpoint.Describe().c_str());
            // Started in the background of a shell ('&'), reading the terminal
            // would stop the process; ignored, the read fails and the port is
            // served without a console.
            std::signal(SIGTTIN, SIG_IGN);
        }
    }

    const auto tStart = std::chrono::steady_clock::now();
    const uint64_t ullStartMs = host.VirtualMs();
    if (bRun && !options.bHaveScenario) {
        CConsole console(host, options, bServing ? &endpoint : nullptr);
        nStatus = console.Run();
    } else if (bRun) {
        std::string sError;
        CScenario scenario(host, std::cout);
        if (options.bPowerOn && !PowerOnToMainMenu(host, &sError)) {
            if (!host.Interrupted())
                std::fprintf(stderr, "halden-cli: --power-on: %s\n", sError.c_str());
            nStatus = 1;
        } else if (!scenario.RunCommands(parse.commands, options.sScenario)) {
            if (!host.Interrupted())
                PrintFaults("", scenario.Error());
            nStatus = 1;
        }
    }
    // A run cut short by a stop signal fails, whatever its last command did;
    // serving a port in the background, the signal is the way to stop.
    nStatus = StatusAfterStopSignal("halden-cli", nStatus, bBackground,
                                    options.bHaveScenario ? "the rest of " + options.sScenario + " was not run"
                                                          : "the rest of the input was not run");
    if (options.bStats)
        PrintStats(host.VirtualMs() - ullStartMs, tStart);
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
