// The scenario language: lexing a line into words and quoted texts, checking
// every command's arguments, and the messages that name what is wrong.
#include "scenario_parse.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/timers.h"
#include "escape.h"
#include "parse_number.h"
#include "ui/ui.h"

namespace {

struct CommandInfo {
    const char* pszName;
    const char* pszUsage;
    ScenarioOp op;
};

const CommandInfo kaCommands[] = {
    {"press", "press KEY", ScenarioOp::Press},
    {"release", "release KEY", ScenarioOp::Release},
    {"key", "key KEY", ScenarioOp::Key},
    {"hold", "hold KEY DURATION", ScenarioOp::Hold},
    {"wait", "wait DURATION", ScenarioOp::Wait},
    {"wait-screen", "wait-screen STATE [within DURATION]", ScenarioOp::WaitScreen},
    {"send", "send TEXT", ScenarioOp::Send},
    {"sendln", "sendln TEXT", ScenarioOp::Send},
    {"expect", "expect TEXT [within DURATION]", ScenarioOp::Expect},
    {"snapshot", "snapshot PATH.png|PATH.pbm", ScenarioOp::Snapshot},
    {"screen", "screen", ScenarioOp::Screen},
    {"state", "state", ScenarioOp::State},
    {"script", "script TEXT", ScenarioOp::Script},
    {"sample", "sample NAME [CONCENTRATION]", ScenarioOp::Sample},
    {"heater", "heater fitted|none", ScenarioOp::Heater},
};

const struct {
    const char* pszName;
    uint8_t bKey;
} kaKeys[] = {{"ref", KEY_REF},     {"test", KEY_TEST},   {"escape", KEY_ESCAPE}, {"up", KEY_UP},
              {"down", KEY_DOWN},   {"left", KEY_LEFT},   {"right", KEY_RIGHT},   {"soft1", KEY_SOFT1},
              {"soft2", KEY_SOFT2}, {"soft3", KEY_SOFT3}, {"soft4", KEY_SOFT4},   {"standby", KEY_STANDBY}};

const char* const KEY_LIST = "ref test escape up down left right soft1 soft2 soft3 soft4 standby";
const char* const DURATION_HINT = "write 250ms, 6s or 2m (a bare number is milliseconds)";
const char* const STATE_HINT =
    "a screen state is a number 0..133 or a name such as main-menu ('halden-cli --states' lists them)";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// A word or a double-quoted text, by byte offsets in the line; a quoted
// token spans its quotes.
struct Token {
    size_t nBegin;
    size_t nEnd;
    bool bQuoted;
};

// Reads one line's tokens and checks them; the first fault ends the line.
class CLineParser {
public:
    CLineParser(std::string_view sLine, int nLine, int nColumnOffset, ScenarioError& error)
        : m_sLine(sLine), m_nLine(nLine), m_nColumnOffset(nColumnOffset), m_error(error)
    {
    }

    std::optional<ScenarioCommand> Parse();

private:
    bool Lex();
    int Column(size_t nAt) const;
    bool Fail(size_t nAt, const std::string& sMessage);
    std::string TokenText(size_t i) const
    {
        return std::string(m_sLine.substr(m_tokens[i].nBegin, m_tokens[i].nEnd - m_tokens[i].nBegin));
    }
    bool More() const { return m_nNext < m_tokens.size(); }
    bool TakeKey(uint8_t& bKey);
    bool TakeDuration(uint32_t& unMs, const char* pszMissing);
    bool TakeState(uint8_t& bState);
    bool TakeWithin(uint32_t& unMs);
    bool TakeText(std::string& sText, bool bStopAtWithin);
    bool TakePath(std::string& sPath, bool& bPbm);
    bool TakeSample(ScenarioCommand& command);
    bool CheckEscapes(std::string_view sRaw, size_t nAt);
    bool End();

    std::string_view m_sLine;
    int m_nLine;
    int m_nColumnOffset;
    ScenarioError& m_error;
    std::vector<Token> m_tokens;
    size_t m_nCodeEnd = 0;  // where the comment (or the line) begins
    size_t m_nNext = 1;     // next argument token
    const CommandInfo* m_pCommand = nullptr;
};

// Columns count characters, not bytes: UTF-8 continuation bytes do not advance.
int CLineParser::Column(size_t nAt) const
{
    int nColumn = 1 + m_nColumnOffset;
    for (size_t i = 0; i < nAt && i < m_sLine.size(); i++)
        if ((static_cast<unsigned char>(m_sLine[i]) & 0xC0) != 0x80)
            nColumn++;
    return nColumn;
}

bool CLineParser::Fail(size_t nAt, const std::string& sMessage)
{
    m_error.nLine = m_nLine;
    m_error.nColumn = Column(nAt);
    m_error.sMessage = sMessage;
    return false;
}

bool CLineParser::Lex()
{
    size_t i = 0;
    const size_t n = m_sLine.size();
    while (i < n) {
        if (IsBlank(m_sLine[i])) {
            i++;
            continue;
        }
        if (m_sLine[i] == '#')
            break;
        size_t nBegin = i;
        if (m_sLine[i] == '"') {
            i++;
            while (i < n && m_sLine[i] != '"')
                i += (m_sLine[i] == '\\' && i + 1 < n) ? 2 : 1;
            if (i >= n)
                return Fail(nBegin, "the quoted text has no closing '\"'");
            i++;
            if (i < n && !IsBlank(m_sLine[i]) && m_sLine[i] != '#')
                return Fail(i, "a blank must follow the closing '\"'");
            m_tokens.push_back({nBegin, i, true});
            continue;
        }
        while (i < n && !IsBlank(m_sLine[i]) && m_sLine[i] != '#')
            i++;
        m_tokens.push_back({nBegin, i, false});
    }
    m_nCodeEnd = i;
    return true;
}

bool CLineParser::TakeKey(uint8_t& bKey)
{
    if (!More())
        return Fail(m_nCodeEnd, std::string(m_pCommand->pszName) + " needs a KEY: " + KEY_LIST);
    std::string sWord = TokenText(m_nNext);
    auto key = ParseScenarioKey(sWord);
    if (!key || m_tokens[m_nNext].bQuoted)
        return Fail(m_tokens[m_nNext].nBegin, "unknown key '" + sWord + "'; the keys are " + KEY_LIST);
    bKey = *key;
    m_nNext++;
    return true;
}

bool CLineParser::TakeDuration(uint32_t& unMs, const char* pszMissing)
{
    if (!More())
        return Fail(m_nCodeEnd, std::string(pszMissing) + "; " + DURATION_HINT);
    std::string sWord = TokenText(m_nNext);
    auto ms = ParseScenarioDuration(sWord);
    if (!ms || m_tokens[m_nNext].bQuoted)
        return Fail(m_tokens[m_nNext].nBegin, "bad duration '" + sWord + "'; " + DURATION_HINT);
    unMs = *ms;
    m_nNext++;
    return true;
}

bool CLineParser::TakeState(uint8_t& bState)
{
    if (!More())
        return Fail(m_nCodeEnd, std::string("wait-screen needs a STATE; ") + STATE_HINT);
    std::string sWord = TokenText(m_nNext);
    auto state = ParseScenarioState(sWord);
    if (!state || m_tokens[m_nNext].bQuoted)
        return Fail(m_tokens[m_nNext].nBegin, "unknown screen state '" + sWord + "'; " + STATE_HINT);
    bState = *state;
    m_nNext++;
    return true;
}

// An optional "within DURATION" at the end of the line.
bool CLineParser::TakeWithin(uint32_t& unMs)
{
    if (!More())
        return true;
    if (m_tokens[m_nNext].bQuoted || TokenText(m_nNext) != "within")
        return Fail(m_tokens[m_nNext].nBegin,
                    "expected 'within DURATION' or the end of the line, found '" + TokenText(m_nNext) + "'");
    m_nNext++;
    return TakeDuration(unMs, "'within' needs a DURATION");
}

// Refuses the escapes that the Send Message dialog would pass through as
// they stand: they are typing mistakes in a scenario.
bool CLineParser::CheckEscapes(std::string_view sRaw, size_t nAt)
{
    for (size_t i = 0; i < sRaw.size(); i++) {
        if (sRaw[i] != '\\')
            continue;
        size_t nEscape = nAt + i;
        if (i + 1 >= sRaw.size())
            return Fail(nEscape, "a backslash ends the text; write \\\\ for a backslash");
        char e = sRaw[++i];
        switch (e) {
        case 'a': case 'b': case 'f': case 'n': case 'r': case 't': case 'v':
        case '"': case '\'': case '?': case '\\':
            continue;
        case 'x': {
            size_t nDigits = 0;
            unsigned int unValue = 0;
            while (i + 1 < sRaw.size() && HexDigitValue(sRaw[i + 1]) >= 0) {
                i++;
                nDigits++;
                if (unValue <= 0xFF)
                    unValue = unValue * 16 + static_cast<unsigned int>(HexDigitValue(sRaw[i]));
            }
            std::string sEscape(sRaw.substr(nEscape - nAt, i + 1 - (nEscape - nAt)));
            if (nDigits == 0)
                return Fail(nEscape, "bad escape '" + std::string(sRaw.substr(nEscape - nAt, 2)) +
                                         "': \\x needs hexadecimal digits, as in \\x14");
            if (unValue > 0xFF)
                return Fail(nEscape, "bad escape '" + sEscape + "': a byte is at most \\xFF");
            continue;
        }
        default:
            if (e >= '0' && e <= '7') {
                unsigned int unValue = static_cast<unsigned int>(e - '0');
                for (int n = 1; n < 3 && i + 1 < sRaw.size() && sRaw[i + 1] >= '0' && sRaw[i + 1] <= '7'; n++)
                    unValue = unValue * 8 + static_cast<unsigned int>(sRaw[++i] - '0');
                if (unValue > 0xFF)
                    return Fail(nEscape, "bad escape '" + std::string(sRaw.substr(nEscape - nAt, 4)) +
                                             "': a byte is at most \\377");
                continue;
            }
            std::string sShown = (static_cast<unsigned char>(e) >= 0x20 && static_cast<unsigned char>(e) < 0x7F)
                                     ? std::string(1, e)
                                     : EncodeEscapes(std::string_view(&e, 1));
            return Fail(nEscape, "unknown escape '\\" + sShown +
                                     "'; the escapes are \\r \\n \\t \\a \\b \\f \\v \\\\ \\\" \\' \\? \\xHH \\ooo");
        }
    }
    return true;
}

// TEXT: one quoted token, or the rest of the line as written (for expect, up
// to a word "within").
bool CLineParser::TakeText(std::string& sText, bool bStopAtWithin)
{
    if (!More())
        return Fail(m_nCodeEnd, std::string(m_pCommand->pszName) + " needs a TEXT; usage: " + m_pCommand->pszUsage);
    const Token& first = m_tokens[m_nNext];
    if (first.bQuoted) {
        std::string_view sRaw = m_sLine.substr(first.nBegin + 1, first.nEnd - first.nBegin - 2);
        if (!CheckEscapes(sRaw, first.nBegin + 1))
            return false;
        sText = DecodeEscapes(sRaw);
        m_nNext++;
        return true;
    }
    size_t nLast = m_nNext;
    while (nLast + 1 < m_tokens.size() && !(bStopAtWithin && TokenText(nLast + 1) == "within"))
        nLast++;
    std::string_view sRaw = m_sLine.substr(first.nBegin, m_tokens[nLast].nEnd - first.nBegin);
    if (!CheckEscapes(sRaw, first.nBegin))
        return false;
    sText = DecodeEscapes(sRaw);
    m_nNext = nLast + 1;
    return true;
}

bool CLineParser::TakePath(std::string& sPath, bool& bPbm)
{
    size_t nAt = More() ? m_tokens[m_nNext].nBegin : m_nCodeEnd;
    if (!More())
        return Fail(nAt, "snapshot needs a file name ending in .png or .pbm");
    if (!TakeText(sPath, false))
        return false;
    size_t nDot = sPath.rfind('.');
    size_t nSlash = sPath.rfind('/');
    std::string sExtension;
    if (nDot != std::string::npos && (nSlash == std::string::npos || nDot > nSlash))
        for (char c : sPath.substr(nDot))
            sExtension += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (sExtension == ".png" || sExtension == ".pbm") {
        bPbm = sExtension == ".pbm";
        return true;
    }
    if (sExtension.empty())
        return Fail(nAt, "snapshot writes .png or .pbm files; '" + sPath + "' has no extension");
    return Fail(nAt, "snapshot writes .png or .pbm files, not '" + sExtension + "'");
}

// NAME (a word or a quoted path) and an optional concentration of at least 0.
bool CLineParser::TakeSample(ScenarioCommand& command)
{
    if (!More())
        return Fail(m_nCodeEnd, "sample needs a NAME from the sample library or a path to a .sample file");
    const Token& name = m_tokens[m_nNext];
    command.sText = name.bQuoted ? std::string(m_sLine.substr(name.nBegin + 1, name.nEnd - name.nBegin - 2))
                                 : TokenText(m_nNext);
    if (command.sText.empty())
        return Fail(name.nBegin, "sample needs a NAME that is not empty");
    m_nNext++;
    if (!More())
        return true;
    std::string sWord = TokenText(m_nNext);
    double f = -1;
    auto [pEnd, ec] = FromChars(sWord.data(), sWord.data() + sWord.size(), f);
    if (m_tokens[m_nNext].bQuoted || ec != std::errc() || pEnd != sWord.data() + sWord.size() || !std::isfinite(f) ||
        f < 0)
        return Fail(m_tokens[m_nNext].nBegin, "bad concentration '" + sWord + "'; write a number of at least 0, as in 2.5");
    command.fConcentration = f;
    m_nNext++;
    return true;
}

bool CLineParser::End()
{
    if (!More())
        return true;
    return Fail(m_tokens[m_nNext].nBegin,
                "extra argument '" + TokenText(m_nNext) + "'; usage: " + m_pCommand->pszUsage);
}

std::optional<ScenarioCommand> CLineParser::Parse()
{
    if (!Lex() || m_tokens.empty())
        return std::nullopt;
    std::string sName = TokenText(0);
    for (const CommandInfo& info : kaCommands)
        if (!m_tokens[0].bQuoted && sName == info.pszName)
            m_pCommand = &info;
    if (!m_pCommand) {
        std::string sList;
        for (const CommandInfo& info : kaCommands)
            sList += std::string(sList.empty() ? "" : " ") + info.pszName;
        Fail(m_tokens[0].nBegin, "unknown command '" + sName + "'; the commands are " + sList);
        return std::nullopt;
    }

    ScenarioCommand command;
    command.op = m_pCommand->op;
    command.nLine = m_nLine;
    command.nColumn = Column(m_tokens[0].nBegin);
    command.sSource = std::string(m_sLine.substr(m_tokens[0].nBegin, m_tokens.back().nEnd - m_tokens[0].nBegin));

    bool bOk = true;
    switch (command.op) {
    case ScenarioOp::Press:
    case ScenarioOp::Release:
    case ScenarioOp::Key:
        bOk = TakeKey(command.bKey);
        break;
    case ScenarioOp::Hold:
        bOk = TakeKey(command.bKey) && TakeDuration(command.unMs, "hold needs a DURATION after the key");
        break;
    case ScenarioOp::Wait:
        bOk = TakeDuration(command.unMs, "wait needs a DURATION");
        break;
    case ScenarioOp::WaitScreen:
        command.unMs = SCENARIO_WAIT_SCREEN_LIMIT_MS;
        bOk = TakeState(command.bState) && TakeWithin(command.unMs);
        break;
    case ScenarioOp::Send:
        bOk = TakeText(command.sText, false);
        if (bOk && sName == "sendln")
            command.sText += "\r\n";
        else if (bOk && command.sText.empty())
            bOk = Fail(m_tokens[1].nBegin, "send needs a TEXT that is not empty (sendln \"\" sends CR LF)");
        break;
    case ScenarioOp::Expect:
        command.unMs = SCENARIO_EXPECT_LIMIT_MS;
        bOk = TakeText(command.sText, true);
        if (bOk && command.sText.empty())
            bOk = Fail(m_tokens[1].nBegin, "expect needs a TEXT that is not empty: an empty text is always found");
        bOk = bOk && TakeWithin(command.unMs);
        break;
    case ScenarioOp::Snapshot:
        bOk = TakePath(command.sText, command.bPbm);
        break;
    case ScenarioOp::Screen:
    case ScenarioOp::State:
        break;
    case ScenarioOp::Sample:
        bOk = TakeSample(command);
        break;
    case ScenarioOp::Heater:
        if (!More() || m_tokens[m_nNext].bQuoted || (TokenText(m_nNext) != "fitted" && TokenText(m_nNext) != "none"))
            bOk = Fail(More() ? m_tokens[m_nNext].nBegin : m_nCodeEnd, "heater needs 'fitted' or 'none'");
        else
            command.bKey = TokenText(m_nNext++) == "fitted" ? 1 : 0;
        break;
    case ScenarioOp::Script:
        bOk = TakeText(command.sText, false);
        if (bOk && command.sText.empty())
            bOk = Fail(m_tokens[1].nBegin, "script needs a TEXT that is not empty");
        break;
    }
    if (!bOk || !End())
        return std::nullopt;
    return command;
}

}  // namespace

std::optional<ScenarioCommand> ParseScenarioLine(std::string_view sLine, int nLine, ScenarioError& error,
                                                 int nColumnOffset)
{
    error = {};
    return CLineParser(sLine, nLine, nColumnOffset, error).Parse();
}

ScenarioParse ParseScenario(std::string_view sText)
{
    ScenarioParse result;
    if (sText.starts_with("\xEF\xBB\xBF"))
        sText.remove_prefix(3);
    int nLine = 0;
    while (!sText.empty()) {
        size_t nEnd = sText.find('\n');
        std::string_view sLine = sText.substr(0, nEnd);
        sText.remove_prefix(nEnd == std::string_view::npos ? sText.size() : nEnd + 1);
        if (sLine.ends_with('\r'))
            sLine.remove_suffix(1);
        nLine++;
        ScenarioError error;
        if (auto command = ParseScenarioLine(sLine, nLine, error))
            result.commands.push_back(std::move(*command));
        else if (!error.sMessage.empty())
            result.errors.push_back(std::move(error));
    }
    return result;
}

std::vector<std::string> ScenarioCommandUsages()
{
    std::vector<std::string> usages;
    for (const CommandInfo& info : kaCommands)
        usages.push_back(info.pszUsage);
    return usages;
}

std::string FormatScenarioError(std::string_view sFile, const ScenarioError& error)
{
    return std::string(sFile) + ":" + std::to_string(error.nLine) + ":" + std::to_string(error.nColumn) + ": " +
           error.sMessage;
}

std::string FormatDuration(uint32_t unMs)
{
    if (unMs != 0 && unMs % 60000 == 0)
        return std::to_string(unMs / 60000) + "m";
    if (unMs % 1000 == 0)
        return std::to_string(unMs / 1000) + "s";
    return std::to_string(unMs) + "ms";
}

std::string ExpectFailure(const ScenarioCommand& command, bool bRunning, std::string_view sSince, bool bAfterMatch)
{
    std::string sMessage = "\"" + EncodeEscapes(command.sText) + "\" not received " +
                           (bRunning ? "within " + FormatDuration(command.unMs) : "(the firmware has stopped)");
    if (sSince.empty())
        return sMessage + "; nothing received since " + (bAfterMatch ? "the previous match" : "the start");
    if (sSince.size() <= SCENARIO_RECEIVED_SHOWN)
        return sMessage + "; received \"" + EncodeEscapes(sSince) + "\"";
    return sMessage + "; received " + std::to_string(sSince.size()) + " bytes, the last " +
           std::to_string(SCENARIO_RECEIVED_SHOWN) + ": \"" +
           EncodeEscapes(sSince.substr(sSince.size() - SCENARIO_RECEIVED_SHOWN)) + "\"";
}

std::optional<uint32_t> ParseScenarioDuration(std::string_view s)
{
    size_t i = 0;
    uint64_t ullValue = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        ullValue = ullValue * 10 + static_cast<uint64_t>(s[i] - '0');
        if (ullValue > 0xFFFFFFFFull)
            return std::nullopt;
        i++;
    }
    if (i == 0)
        return std::nullopt;
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

std::optional<uint8_t> ParseScenarioKey(std::string_view s)
{
    for (const auto& key : kaKeys)
        if (s == key.pszName)
            return key.bKey;
    return std::nullopt;
}

std::string_view ScenarioKeyName(uint8_t bKey)
{
    for (const auto& key : kaKeys)
        if (key.bKey == bKey)
            return key.pszName;
    return {};
}

std::optional<uint8_t> ParseScenarioState(std::string_view s)
{
    // The table is searched with a C string: a zero byte would end the
    // name early and accept "main-menu\0anything".
    if (s.empty() || s.size() > 40 || s.find('\0') != std::string_view::npos)
        return std::nullopt;
    if (s.find_first_not_of("0123456789") == std::string_view::npos) {
        if (s.size() > 3)
            return std::nullopt;
        unsigned int unValue = 0;
        for (char c : s)
            unValue = unValue * 10 + static_cast<unsigned int>(c - '0');
        if (unValue > 255 || !StateName(static_cast<uint8_t>(unValue)))
            return std::nullopt;
        return static_cast<uint8_t>(unValue);
    }
    int nState = StateByName(std::string(s).c_str());
    if (nState < 0)
        return std::nullopt;
    return static_cast<uint8_t>(nState);
}

std::string ScreenStateText(uint8_t bState)
{
    const char* pszName = StateName(bState);
    return std::to_string(bState) + (pszName ? std::string(" ") + pszName : std::string());
}
