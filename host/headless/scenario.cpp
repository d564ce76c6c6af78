// The scenario language of halden-cli: parsing and the command table.
#include "scenario.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>

#include "display_image.h"
#include "escape.h"
#include "headless_host.h"
#include "core/timers.h"
#include "display/script.h"
#include "ui/ui.h"

namespace {

constexpr uint32_t DEFAULT_EXPECT_MS = 30000;
constexpr uint32_t DEFAULT_WAIT_SCREEN_MS = 60000;
constexpr uint32_t KEY_STROKE_MS = 100;

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// Splits off the first blank-separated word.
std::string_view NextWord(std::string_view& s)
{
    s = Trim(s);
    size_t n = 0;
    while (n < s.size() && !std::isspace(static_cast<unsigned char>(s[n])))
        n++;
    std::string_view sWord = s.substr(0, n);
    s = Trim(s.substr(n));
    return sWord;
}

// Splits TEXT [within DURATION]. TEXT in double quotes may hold blanks and
// the word "within"; a backslash escapes a quote inside it.
bool SplitTextWithin(std::string_view sArgs, std::string& sText, std::string_view& sWithin)
{
    sArgs = Trim(sArgs);
    sWithin = {};
    if (!sArgs.empty() && sArgs.front() == '"') {
        size_t i = 1;
        while (i < sArgs.size() && sArgs[i] != '"') {
            if (sArgs[i] == '\\' && i + 1 < sArgs.size())
                i++;
            i++;
        }
        if (i >= sArgs.size())
            return false;
        sText = DecodeEscapes(sArgs.substr(1, i - 1));
        std::string_view sRest = Trim(sArgs.substr(i + 1));
        if (!sRest.empty()) {
            if (NextWord(sRest) != "within")
                return false;
            sWithin = sRest;
        }
        return true;
    }
    size_t nWithin = sArgs.rfind(" within ");
    if (nWithin != std::string_view::npos) {
        sWithin = Trim(sArgs.substr(nWithin + 8));
        sArgs = Trim(sArgs.substr(0, nWithin));
    }
    sText = DecodeEscapes(sArgs);
    return true;
}

// Shows control characters and bytes above 0x7E readably, for messages.
std::string Visible(std::string_view s)
{
    std::string sOut;
    for (unsigned char c : s) {
        char acBuf[8];
        if (c == '\r')
            sOut += "\\r";
        else if (c == '\n')
            sOut += "\\n";
        else if (c == '\t')
            sOut += "\\t";
        else if (c == '\\')
            sOut += "\\\\";
        else if (c < 0x20 || c > 0x7E) {
            std::snprintf(acBuf, sizeof acBuf, "\\x%02X", c);
            sOut += acBuf;
        } else
            sOut += static_cast<char>(c);
    }
    return sOut;
}

// Host ticks in a time limit, the last one begun within it.
uint32_t TicksWithin(uint32_t unMs) { return (unMs + CHeadlessHost::TICK_MS - 1) / CHeadlessHost::TICK_MS; }

}  // namespace

CScenario::CScenario(CHeadlessHost& host, std::ostream& out) : m_host(host), m_out(out) {}

const std::vector<CScenario::Command>& CScenario::Commands()
{
    static const std::vector<Command> kCommands = {
        {"press", "press KEY", &CScenario::CmdPress},
        {"release", "release KEY", &CScenario::CmdRelease},
        {"key", "key KEY", &CScenario::CmdKey},
        {"hold", "hold KEY DURATION", &CScenario::CmdHold},
        {"wait", "wait DURATION", &CScenario::CmdWait},
        {"wait-screen", "wait-screen N [within DURATION]", &CScenario::CmdWaitScreen},
        {"send", "send TEXT", &CScenario::CmdSend},
        {"sendln", "sendln TEXT", &CScenario::CmdSendLn},
        {"expect", "expect TEXT [within DURATION]", &CScenario::CmdExpect},
        {"snapshot", "snapshot PATH", &CScenario::CmdSnapshot},
        {"screen", "screen", &CScenario::CmdScreen},
        {"state", "state", &CScenario::CmdState},
        {"script", "script TEXT", &CScenario::CmdScript},
    };
    return kCommands;
}

std::optional<uint32_t> CScenario::ParseDuration(std::string_view s)
{
    s = Trim(s);
    if (s.empty() || !std::isdigit(static_cast<unsigned char>(s.front())))
        return std::nullopt;
    uint64_t ullValue = 0;
    size_t i = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        ullValue = ullValue * 10 + static_cast<uint64_t>(s[i] - '0');
        if (ullValue > 0xFFFFFFFFull)
            return std::nullopt;
        i++;
    }
    std::string_view sUnit = s.substr(i);
    uint64_t ullScale = 0;
    if (sUnit.empty() || sUnit == "ms")
        ullScale = 1;
    else if (sUnit == "s")
        ullScale = 1000;
    else if (sUnit == "m")
        ullScale = 60000;
    else
        return std::nullopt;
    ullValue *= ullScale;
    if (ullValue > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<uint32_t>(ullValue);
}

std::optional<uint8_t> CScenario::ParseKey(std::string_view s)
{
    static const struct {
        const char* pszName;
        uint8_t bKey;
    } kKeys[] = {{"ref", KEY_REF},         {"test", KEY_TEST},   {"escape", KEY_ESCAPE}, {"up", KEY_UP},
                 {"down", KEY_DOWN},       {"left", KEY_LEFT},   {"right", KEY_RIGHT},   {"soft1", KEY_SOFT1},
                 {"soft2", KEY_SOFT2},     {"soft3", KEY_SOFT3}, {"soft4", KEY_SOFT4},   {"standby", KEY_STANDBY}};
    s = Trim(s);
    for (const auto& k : kKeys)
        if (s == k.pszName)
            return k.bKey;
    return std::nullopt;
}

bool CScenario::Fail(const std::string& sMessage)
{
    m_sError = sMessage;
    return false;
}

bool CScenario::Run(std::istream& in, const std::string& sName)
{
    std::string sLine;
    int nLine = 0;
    while (std::getline(in, sLine)) {
        nLine++;
        if (!RunLine(sLine)) {
            m_sError = sName + ":" + std::to_string(nLine) + ": " + std::string(Trim(sLine)) + ": " + m_sError;
            return false;
        }
    }
    return true;
}

bool CScenario::RunLine(std::string_view sLine)
{
    sLine = Trim(sLine);
    if (sLine.empty() || sLine.front() == '#')
        return true;
    std::string_view sArgs = sLine;
    std::string_view sName = NextWord(sArgs);
    for (const Command& command : Commands())
        if (sName == command.pszName)
            return (this->*command.pfnRun)(sArgs);
    return Fail("unknown command '" + std::string(sName) + "'");
}

bool CScenario::CmdPress(std::string_view sArgs)
{
    auto bKey = ParseKey(sArgs);
    if (!bKey)
        return Fail("unknown key '" + std::string(Trim(sArgs)) + "'");
    m_host.SetKey(*bKey, true);
    return true;
}

bool CScenario::CmdRelease(std::string_view sArgs)
{
    auto bKey = ParseKey(sArgs);
    if (!bKey)
        return Fail("unknown key '" + std::string(Trim(sArgs)) + "'");
    m_host.SetKey(*bKey, false);
    return true;
}

bool CScenario::CmdKey(std::string_view sArgs)
{
    auto bKey = ParseKey(sArgs);
    if (!bKey)
        return Fail("unknown key '" + std::string(Trim(sArgs)) + "'");
    m_host.SetKey(*bKey, true);
    m_host.AdvanceMs(KEY_STROKE_MS);
    m_host.SetKey(*bKey, false);
    m_host.AdvanceMs(KEY_STROKE_MS);
    return true;
}

bool CScenario::CmdHold(std::string_view sArgs)
{
    std::string_view sKey = NextWord(sArgs);
    auto bKey = ParseKey(sKey);
    if (!bKey)
        return Fail("unknown key '" + std::string(sKey) + "'");
    auto unMs = ParseDuration(sArgs);
    if (!unMs)
        return Fail("bad duration '" + std::string(sArgs) + "'");
    m_host.SetKey(*bKey, true);
    m_host.AdvanceMs(*unMs);
    m_host.SetKey(*bKey, false);
    return true;
}

bool CScenario::CmdWait(std::string_view sArgs)
{
    auto unMs = ParseDuration(sArgs);
    if (!unMs)
        return Fail("bad duration '" + std::string(Trim(sArgs)) + "'");
    m_host.AdvanceMs(*unMs);
    return true;
}

bool CScenario::CmdWaitScreen(std::string_view sArgs)
{
    std::string_view sState = NextWord(sArgs);
    auto unState = ParseDuration(sState);  // a plain number
    if (!unState || sState.find_first_not_of("0123456789") != std::string_view::npos || *unState > 255)
        return Fail("bad screen state '" + std::string(sState) + "'");
    uint32_t unLimit = DEFAULT_WAIT_SCREEN_MS;
    if (!sArgs.empty()) {
        if (NextWord(sArgs) != "within")
            return Fail("expected 'within DURATION'");
        auto unMs = ParseDuration(sArgs);
        if (!unMs)
            return Fail("bad duration '" + std::string(sArgs) + "'");
        unLimit = *unMs;
    }
    const uint8_t bState = static_cast<uint8_t>(*unState);
    if (m_host.TickUntil(TicksWithin(unLimit), [bState] { return gunScreenState == bState; }))
        return true;
    return Fail("screen state is " + std::to_string(gunScreenState) + ", not " + std::to_string(*unState));
}

bool CScenario::CmdSend(std::string_view sArgs)
{
    std::string sText;
    std::string_view sWithin;
    if (!SplitTextWithin(sArgs, sText, sWithin) || !sWithin.empty())
        return Fail("bad text");
    m_host.Inject(sText);
    m_host.RunSlice();
    return true;
}

bool CScenario::CmdSendLn(std::string_view sArgs)
{
    std::string sText;
    std::string_view sWithin;
    if (!SplitTextWithin(sArgs, sText, sWithin) || !sWithin.empty())
        return Fail("bad text");
    m_host.Inject(sText + "\r\n");
    m_host.RunSlice();
    return true;
}

bool CScenario::CmdExpect(std::string_view sArgs)
{
    std::string sText;
    std::string_view sWithin;
    if (!SplitTextWithin(sArgs, sText, sWithin))
        return Fail("bad text");
    uint32_t unLimit = DEFAULT_EXPECT_MS;
    if (!sWithin.empty()) {
        auto unMs = ParseDuration(sWithin);
        if (!unMs)
            return Fail("bad duration '" + std::string(sWithin) + "'");
        unLimit = *unMs;
    }
    // Each check searches only where a match could begin in the bytes
    // that arrived since the last one.
    const std::string& sOut = m_host.SerialText();
    size_t nAt = std::string::npos;
    size_t nSearchFrom = m_nExpectFrom;
    auto fnFound = [&] {
        nAt = sOut.find(sText, nSearchFrom);
        if (nAt == std::string::npos && sOut.size() >= sText.size())
            nSearchFrom = std::max(nSearchFrom, sOut.size() - sText.size() + 1);
        return nAt != std::string::npos;
    };
    if (m_host.TickUntil(TicksWithin(unLimit), fnFound)) {
        m_nExpectFrom = nAt + sText.size();
        return true;
    }
    return Fail("expected \"" + Visible(sText) + "\", received \"" +
                Visible(std::string_view(sOut).substr(std::min(m_nExpectFrom, sOut.size()))) + "\"");
}

bool CScenario::CmdSnapshot(std::string_view sArgs)
{
    std::string sPath(Trim(sArgs));
    if (sPath.size() >= 2 && sPath.front() == '"' && sPath.back() == '"')
        sPath = sPath.substr(1, sPath.size() - 2);
    if (sPath.empty())
        return Fail("snapshot needs a file name");
    if (!WriteDisplayImage(m_host, sPath))
        return Fail("cannot write '" + sPath + "'");
    return true;
}

bool CScenario::CmdScreen(std::string_view)
{
    m_out << DisplayTextArt(m_host);
    m_out.flush();
    return true;
}

bool CScenario::CmdState(std::string_view)
{
    m_out << "state " << static_cast<unsigned>(gunScreenState) << '\n';
    m_out.flush();
    return true;
}

// Runs a display script on the live display. The firmware thread is parked
// between slices, so the script draws while the firmware waits for its turn.
bool CScenario::CmdScript(std::string_view sArgs)
{
    std::string sText;
    std::string_view sWithin;
    if (!SplitTextWithin(sArgs, sText, sWithin) || !sWithin.empty())
        return Fail("bad text");
    DisplayScript(sText.c_str());
    return true;
}
