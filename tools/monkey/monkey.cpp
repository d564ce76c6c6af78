// halden-monkey: a soak of the headless instrument under random, weighted
// input, reproducible from a seed.
//
// The supervisor splits a stretch of instrument time into power cycles. Each
// cycle is a child process (one firmware per process) that powers the
// instrument up on the same eeprom.bin and drives it through the board with
// scenario lines: key taps and holds, the standby key, waits, remote lines
// valid and malformed, control characters and sample changes. Some children
// the supervisor kills with SIGKILL at a random moment. Throughout it checks:
// - no crash, no sanitizer report and no hang (a child that stops answering
//   within its time-out is a hang);
// - from any screen, Escape at most 8 times, or else the standby key, reaches
//   the main menu or standby, and then the main menu;
// - every stored method record has a valid check word or is a free slot;
// - eeprom.bin is always 32768 bytes, and no setting in it is out of the
//   range the start-up would repair (after a kill as after a clean stop);
// - resident memory at the end of a long cycle is within 10 % of what it was
//   after the cycle's first hour.
// A failure prints the seed, the cycle and its last 200 input lines; the
// cycle's whole input is kept as a scenario beside the EEPROM image it
// started from, so halden-cli replays it.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "instrument.h"
#include "power_on.h"
#include "scenario.h"
#include "storage/method_record.h"
#include "storage/params.h"
#include "ui/states.h"
#include "ui/ui.h"

namespace {

constexpr uint64_t HOUR_MS = 3600ull * 1000;
constexpr uint64_t DAY_MS = 24 * HOUR_MS;
constexpr size_t TRAIL_LINES = 200;
constexpr int ESCAPE_PRESSES = 8;
constexpr int START_UP_LIMIT_S = 180;      // splash, store, self-diagnostics, reference
constexpr int CHECK_EVERY = 40;             // actions between two invariant checks
constexpr double RSS_GROWTH_LIMIT = 1.10;   // end of a long cycle against its first hour
constexpr int CHILD_SILENCE_LIMIT_S = 120;  // a child that reports no progress this long hangs

const char* const USAGE =
    "usage: halden-monkey [--seed N] [--days D | --hours H] [--cycle-hours H] [--kill-percent P]\n"
    "                     [--dir DIR]\n"
    "  --seed N          the run's seed (default 1); the same seed gives the same run\n"
    "  --days D          instrument time in all (default 1 day); --hours H likewise\n"
    "  --cycle-hours H   longest power cycle (default 24); each cycle is one process\n"
    "  --kill-percent P  cycles killed with SIGKILL at a random moment (default 20)\n"
    "  --dir DIR         where eeprom.bin and the cycles' scenarios are kept (default monkey-SEED)\n";

struct Options {
    uint64_t ullSeed = 1;
    uint64_t ullTotalMs = DAY_MS;
    uint64_t ullCycleMs = DAY_MS;
    unsigned unKillPercent = 20;
    std::string sDir;
    // Child.
    bool bChild = false;
    uint64_t ullCycleLengthMs = 0;
    std::string sEeprom;
    std::string sTrail;
    std::string sProgress;
};

// The inputs, by weight.
const char* const KEYS[] = {"ref", "test", "escape", "up", "down", "left", "right", "soft1", "soft2", "soft3", "soft4"};
const char* const REMOTE_LINES[] = {
    "ID?", "READA? 500", "READT? 420", "READC? 600", "CONTROL", "RELEASE", "DATE?", "TIME?", "SETREF",
    "SCANTXT", "SCANBIN", "CAL?", "SERIAL?", "DATAMODE?", "DATAMODE 1", "DATAMODE 0", "SETFACT 1.5",
    "DATE 01/02/03", "TIME 12:34:56", "DIAG 0", "CAL", "READA?", "READT?",
};
const char* const SAMPLES[] = {"blank", "dye", "holmium", "cutoff", "reaction", "recorded", "turbid",
                               "standard-1", "standard-3", "standard-5", "unknown-a", "unknown-b"};
const char* const DILUTABLE_SAMPLES[] = {"dye", "reaction", "standard-2", "unknown-a"};

template <size_t N>
const char* Pick(std::mt19937_64& rng, const char* const (&apsz)[N])
{
    return apsz[std::uniform_int_distribution<size_t>(0, N - 1)(rng)];
}

// One random input as a scenario line.
std::string RandomLine(std::mt19937_64& rng)
{
    std::uniform_int_distribution<int> weight(0, 99);
    const int n = weight(rng);
    char sz[96];
    if (n < 50)
        return std::string("key ") + Pick(rng, KEYS);
    if (n < 55) {
        std::snprintf(sz, sizeof sz, "hold %s %dms", Pick(rng, KEYS), std::uniform_int_distribution<int>(200, 3000)(rng));
        return sz;
    }
    if (n < 70) {
        // Mostly short waits, now and then minutes, rarely an hour.
        const int nKind = weight(rng);
        const int nMs = nKind < 80   ? std::uniform_int_distribution<int>(50, 8000)(rng)
                        : nKind < 98 ? std::uniform_int_distribution<int>(10000, 600000)(rng)
                                     : std::uniform_int_distribution<int>(600000, 3600000)(rng);
        std::snprintf(sz, sizeof sz, "wait %dms", nMs);
        return sz;
    }
    if (n < 71)
        return "key standby";
    if (n < 80)
        return std::string("sendln \"") + Pick(rng, REMOTE_LINES) + "\"";
    if (n < 84) {
        // Malformed: random printable bytes, a line too long, a lone CR.
        std::string s = "sendln \"";
        const int nLength = std::uniform_int_distribution<int>(0, 50)(rng);
        for (int i = 0; i < nLength; i++) {
            char c = static_cast<char>(std::uniform_int_distribution<int>(0x20, 0x7E)(rng));
            if (c == '"' || c == '\\')
                c = '?';
            s += c;
        }
        return s + "\"";
    }
    if (n < 88) {
        static const char* const CONTROLS[] = {"send \"\\x12\"", "send \"\\x14\"", "send \"\\x08\"", "send \"\\r\"",
                                               "send \"\\x00\\xff\""};
        return CONTROLS[std::uniform_int_distribution<int>(0, 4)(rng)];
    }
    if (n < 92) {
        if (weight(rng) < 50)
            return std::string("sample ") + Pick(rng, SAMPLES);
        std::snprintf(sz, sizeof sz, "sample %s %.2f", Pick(rng, DILUTABLE_SAMPLES),
                      std::uniform_real_distribution<double>(0.1, 4.0)(rng));
        return sz;
    }
    std::snprintf(sz, sizeof sz, "key %s", Pick(rng, KEYS));
    return sz;
}

long ResidentKb()
{
    std::ifstream statm("/proc/self/statm");
    long nPages = 0, nResident = 0;
    statm >> nPages >> nResident;
    return nResident * (sysconf(_SC_PAGESIZE) / 1024);
}

std::vector<uint8_t> ReadImage(const std::string& sPath, std::string* psError)
{
    std::ifstream file(sPath, std::ios::binary);
    if (!file) {
        *psError = "cannot read " + sPath;
        return {};
    }
    std::vector<uint8_t> abImage((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return abImage;
}

// The stored image's invariants; empty when they hold.
std::string CheckImage(const std::string& sPath)
{
    std::string sError;
    std::vector<uint8_t> abImage = ReadImage(sPath, &sError);
    if (!sError.empty())
        return sError;
    if (abImage.size() != EEPROM_SIZE)
        return sPath + " is " + std::to_string(abImage.size()) + " bytes, not 32768";
    for (int i = 0; i < METHOD_COUNT; i++) {
        const uint8_t* pbRecord = &abImage[METHOD_RECORD_BASE + METHOD_RECORD_SIZE * i];
        if (!MethodRecordFree(pbRecord) && !MethodRecordValid(pbRecord)) {
            bool bBlank = true;  // a slot never written holds the new file's 0xFF
            for (int b = 0; b < METHOD_RECORD_SIZE; b++)
                bBlank = bBlank && pbRecord[b] == 0xFF;
            if (!bBlank)
                return "method slot " + std::to_string(i + 1) + " has a bad check word";
        }
    }
    if (std::memcmp(&abImage[PARAM_SIGNATURE], PARAM_SIGNATURE_TEXT, std::strlen(PARAM_SIGNATURE_TEXT)) == 0) {
        for (const ParamSetting& setting : gParamSettings) {
            const uint16_t unValue = ParamSettingFromImage(setting, abImage.data());
            if (ParamSettingNeedsRepair(setting, unValue))
                return std::string("setting ") + setting.pszName + " holds " + std::to_string(unValue) +
                       ", which the start-up would repair";
        }
        if (SValueNeedsRepair(GetParamDouble(&abImage[PARAM_SVALUE])))
            return "the stray-light level is out of range";
    }
    return {};
}

// One power cycle: runs in a child process.
class CCycle {
public:
    explicit CCycle(const Options& options)
        : m_options(options), m_rng(options.ullSeed), m_trail(options.sTrail), m_progress(options.sProgress)
    {
    }

    int Run()
    {
        CInstrument::Options hostOptions;
        hostOptions.sEepromPath = m_options.sEeprom;
        hostOptions.dSpeed = 0;
        hostOptions.bKeepSerialText = false;
        CInstrument host(hostOptions);
        if (host.Bus().Refused())
            return Fail("the EEPROM image was refused: " + host.Bus().StatusMessage());
        m_pHost = &host;
        std::ostringstream discard;
        CScenario scenario(host, discard);
        m_pScenario = &scenario;
        host.PowerUp();
        std::string sError;
        if (!PowerOnToMainMenu(host, &sError))
            return Fail("power-up: " + sError);
        const uint64_t ullEnd = host.VirtualMs() + m_options.ullCycleLengthMs;
        long nHourKb = 0;
        for (int nAction = 1; host.VirtualMs() < ullEnd; nAction++) {
            if (!Do(RandomLine(m_rng)))
                return 1;
            if (nAction % CHECK_EVERY == 0 && !CheckInvariants())
                return 1;
            if (!nHourKb && host.VirtualMs() >= HOUR_MS)
                nHourKb = ResidentKb();
        }
        if (!CheckInvariants())
            return 1;
        const long nEndKb = ResidentKb();
        if (m_options.ullCycleLengthMs >= DAY_MS && nHourKb && nEndKb > nHourKb * RSS_GROWTH_LIMIT)
            return Fail("resident memory grew from " + std::to_string(nHourKb) + " KB after an hour to " +
                        std::to_string(nEndKb) + " KB");
        std::printf("cycle done: %" PRIu64 " inputs, %" PRIu64 " ms of instrument time, %ld KB resident after the "
                    "first hour, %ld KB at the end\n",
                    m_nActions, host.VirtualMs(), nHourKb, nEndKb);
        host.Shutdown();
        return 0;
    }

private:
    bool Do(const std::string& sLine)
    {
        m_trail << sLine << '\n';
        m_trail.flush();
        m_nActions++;
        if (m_nActions % 64 == 0) {
            std::ofstream progress(m_options.sProgress, std::ios::trunc);
            progress << m_nActions << ' ' << m_pHost->VirtualMs() << '\n';
        }
        if (m_pScenario->RunLine(sLine))
            return true;
        Fail("'" + sLine + "' failed: " + m_pScenario->Error());
        return false;
    }

    bool AtMenuOrStandby() const { return gunScreenState == STATE_MAIN_MENU || gunScreenState == STATE_STANDBY; }

    bool CheckInvariants()
    {
        m_trail << "# check: escape to the main menu\n";
        // A start-up under way is no screen to leave: it ends on its own, in
        // the self-test's result, which OK confirms.
        for (int i = 0; i < START_UP_LIMIT_S && gunScreenState < STATE_SELFTEST_PASSED; i++)
            if (!Do("wait 1s"))
                return false;
        if ((gunScreenState == STATE_SELFTEST_PASSED || gunScreenState == STATE_SELFTEST_FAILED) &&
            (!Do("key soft2") || !Do("wait 1s")))
            return false;
        for (int i = 0; i < ESCAPE_PRESSES && !AtMenuOrStandby(); i++)
            if (!Do("key escape") || !Do("wait 2s"))
                return false;
        if (!AtMenuOrStandby() && (!Do("key standby") || !Do("wait 3s")))
            return false;
        if (!AtMenuOrStandby())
            return Fail("neither Escape nor the standby key left screen state " + std::to_string(gunScreenState));
        if (gunScreenState == STATE_STANDBY) {
            m_trail << "# power on from standby\n";
            std::string sError;
            if (!PowerOnToMainMenu(*m_pHost, &sError))
                return Fail("from standby: " + sError);
        }
        const std::string sImage = CheckImage(m_options.sEeprom);
        if (!sImage.empty())
            return Fail(sImage);
        return true;
    }

    bool Fail(const std::string& sMessage)
    {
        m_trail.flush();
        std::fprintf(stderr, "halden-monkey: FAILED: %s (screen state %u)\n", sMessage.c_str(), gunScreenState);
        return false;
    }

    const Options& m_options;
    std::mt19937_64 m_rng;
    std::ofstream m_trail;
    std::string m_progress;
    CInstrument* m_pHost = nullptr;
    CScenario* m_pScenario = nullptr;
    uint64_t m_nActions = 0;
};

std::string LastLines(const std::string& sPath, size_t nLines)
{
    std::ifstream file(sPath);
    std::deque<std::string> lines;
    std::string sLine;
    while (std::getline(file, sLine)) {
        lines.push_back(sLine);
        if (lines.size() > nLines)
            lines.pop_front();
    }
    std::string s;
    for (const std::string& line : lines)
        s += line + '\n';
    return s;
}

uint64_t ProgressMarker(const std::string& sPath)
{
    std::ifstream file(sPath);
    uint64_t ullActions = 0;
    file >> ullActions;
    return ullActions;
}

// Runs the cycles; 0 when every invariant held.
int Supervise(const Options& options, const char* pszSelf)
{
    namespace fs = std::filesystem;
    const std::string sDir = options.sDir.empty() ? "monkey-" + std::to_string(options.ullSeed) : options.sDir;
    fs::create_directories(sDir);
    const std::string sEeprom = sDir + "/eeprom.bin";
    fs::remove(sEeprom);
    std::mt19937_64 rng(options.ullSeed);
    const auto tStart = std::chrono::steady_clock::now();
    uint64_t ullDone = 0;
    int nCycle = 0, nKills = 0;
    while (ullDone < options.ullTotalMs) {
        nCycle++;
        const uint64_t ullLength = std::min<uint64_t>(
            options.ullTotalMs - ullDone,
            std::uniform_int_distribution<uint64_t>(std::min<uint64_t>(HOUR_MS, options.ullCycleMs), options.ullCycleMs)(rng));
        const uint64_t ullChildSeed = rng();
        const bool bKill = std::uniform_int_distribution<unsigned>(0, 99)(rng) < options.unKillPercent;
        const int nKillAfterMs = std::uniform_int_distribution<int>(5, 2000)(rng);
        const std::string sBase = sDir + "/cycle-" + std::to_string(nCycle);
        const std::string sTrail = sBase + ".scn", sProgress = sBase + ".progress";
        std::error_code ec;
        if (fs::exists(sEeprom))
            fs::copy_file(sEeprom, sBase + ".start.bin", fs::copy_options::overwrite_existing, ec);
        const std::string sSeed = std::to_string(ullChildSeed), sLength = std::to_string(ullLength);
        const pid_t pid = fork();
        if (pid == 0) {
            execl(pszSelf, pszSelf, "--child", "--seed", sSeed.c_str(), "--cycle-ms", sLength.c_str(), "--eeprom",
                  sEeprom.c_str(), "--trail", sTrail.c_str(), "--progress", sProgress.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        if (pid < 0) {
            std::perror("halden-monkey: fork");
            return 2;
        }
        // Waits for the child; kills it at its moment, or when it stops making progress.
        const auto tChild = std::chrono::steady_clock::now();
        auto tLastProgress = tChild;
        uint64_t ullMarker = 0;
        bool bKilled = false, bHung = false;
        int nStatus = 0;
        for (;;) {
            const pid_t r = waitpid(pid, &nStatus, WNOHANG);
            if (r == pid)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const auto tNow = std::chrono::steady_clock::now();
            if (bKill && !bKilled && tNow - tChild >= std::chrono::milliseconds(nKillAfterMs)) {
                kill(pid, SIGKILL);
                bKilled = true;
            }
            const uint64_t ullNow = ProgressMarker(sProgress);
            if (ullNow != ullMarker) {
                ullMarker = ullNow;
                tLastProgress = tNow;
            } else if (!bKilled && tNow - tLastProgress > std::chrono::seconds(CHILD_SILENCE_LIMIT_S)) {
                kill(pid, SIGABRT);
                bHung = true;
                bKilled = true;
            }
        }
        const bool bClean = WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
        const bool bOurKill = bKilled && !bHung && WIFSIGNALED(nStatus) && WTERMSIG(nStatus) == SIGKILL;
        std::string sFault;
        if (bHung)
            sFault = "the cycle stopped making progress (a hang)";
        else if (!bClean && !bOurKill)
            sFault = WIFSIGNALED(nStatus) ? std::string("the cycle died of signal ") + strsignal(WTERMSIG(nStatus))
                                          : "the cycle exited with status " + std::to_string(WEXITSTATUS(nStatus));
        else {
            sFault = CheckImage(sEeprom);
            if (!sFault.empty())
                sFault += bOurKill ? " (after a kill)" : " (after a clean stop)";
        }
        if (!sFault.empty()) {
            std::fprintf(stderr,
                         "halden-monkey: seed %" PRIu64 ", cycle %d (child seed %" PRIu64 "): %s\n"
                         "halden-monkey: the cycle's input is %s, run from the image %s.start.bin:\n"
                         "  cp %s.start.bin replay.bin && halden-cli --eeprom replay.bin --power-on %s\n"
                         "halden-monkey: its last %zu lines:\n%s",
                         options.ullSeed, nCycle, ullChildSeed, sFault.c_str(), sTrail.c_str(), sBase.c_str(),
                         sBase.c_str(), sTrail.c_str(), TRAIL_LINES, LastLines(sTrail, TRAIL_LINES).c_str());
            return 1;
        }
        if (bOurKill) {
            nKills++;
            // Time run before the kill is not known exactly; count what the child reported.
            std::ifstream progress(sProgress);
            uint64_t ullActions = 0, ullMs = 0;
            progress >> ullActions >> ullMs;
            ullDone += ullMs;
        } else {
            ullDone += ullLength;
        }
        fs::remove(sTrail, ec);
        fs::remove(sProgress, ec);
        fs::remove(sBase + ".start.bin", ec);
    }
    const double dWallS = std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
    std::printf("halden-monkey: seed %" PRIu64 ": %.1f days of instrument time in %d power cycles (%d killed), "
                "%.0f s of wall time; every invariant held\n",
                options.ullSeed, static_cast<double>(ullDone) / DAY_MS, nCycle, nKills, dWallS);
    return 0;
}

bool ParseNumber(const char* psz, double& d)
{
    char* pszEnd = nullptr;
    d = std::strtod(psz, &pszEnd);
    return pszEnd != psz && *pszEnd == '\0' && d >= 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; i++) {
        const std::string sArg = argv[i];
        const char* pszValue = i + 1 < argc ? argv[i + 1] : nullptr;
        double d = 0;
        auto bad = [&](const char* pszWhat) {
            std::fprintf(stderr, "halden-monkey: %s needs %s\n%s", sArg.c_str(), pszWhat, USAGE);
            return 2;
        };
        if (sArg == "--help" || sArg == "-h") {
            std::fputs(USAGE, stdout);
            return 0;
        } else if (sArg == "--child") {
            options.bChild = true;
            continue;
        }
        if (!pszValue)
            return bad("a value");
        i++;
        if (sArg == "--seed")
            options.ullSeed = std::strtoull(pszValue, nullptr, 10);
        else if (sArg == "--days" || sArg == "--hours") {
            if (!ParseNumber(pszValue, d) || d <= 0)
                return bad("a number above 0");
            options.ullTotalMs = static_cast<uint64_t>(d * (sArg == "--days" ? DAY_MS : HOUR_MS));
        } else if (sArg == "--cycle-hours") {
            if (!ParseNumber(pszValue, d) || d <= 0)
                return bad("a number above 0");
            options.ullCycleMs = static_cast<uint64_t>(d * HOUR_MS);
        } else if (sArg == "--kill-percent") {
            if (!ParseNumber(pszValue, d) || d > 100)
                return bad("a number from 0 to 100");
            options.unKillPercent = static_cast<unsigned>(d);
        } else if (sArg == "--dir")
            options.sDir = pszValue;
        else if (sArg == "--cycle-ms")
            options.ullCycleLengthMs = std::strtoull(pszValue, nullptr, 10);
        else if (sArg == "--eeprom")
            options.sEeprom = pszValue;
        else if (sArg == "--trail")
            options.sTrail = pszValue;
        else if (sArg == "--progress")
            options.sProgress = pszValue;
        else {
            std::fprintf(stderr, "halden-monkey: unknown option '%s'\n%s", sArg.c_str(), USAGE);
            return 2;
        }
    }
    if (options.bChild)
        return CCycle(options).Run();
    return Supervise(options, "/proc/self/exe");
}
