// Fuzzes the scenario-language parser of halden-cli on arbitrary text.
// Besides crashes it checks what a scenario author relies on:
// - every fault and every command names a line of the text and a column
//   within that line, and a fault has a message;
// - a command parsed again from its own source (as the console reads it)
//   gives the same command, so what is echoed in messages is what ran;
// - a command's TEXT, written back with escapes between quotes, parses to
//   the same bytes, and its duration written back parses to the same value.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "escape.h"
#include "scenario.h"
#include "scenario_parse.h"

namespace {

bool SameCommand(const ScenarioCommand& a, const ScenarioCommand& b)
{
    return a.op == b.op && a.bKey == b.bKey && a.bState == b.bState && a.unMs == b.unMs && a.sText == b.sText &&
           a.bPbm == b.bPbm && a.sSource == b.sSource;
}

// Characters (not bytes) of each line, as the parser counts columns, after
// the byte-order mark and without a line's closing CR.
std::vector<int> LineWidths(std::string_view sText)
{
    if (sText.starts_with("\xEF\xBB\xBF"))
        sText.remove_prefix(3);
    std::vector<int> widths;
    int nWidth = 0;
    for (size_t i = 0; i < sText.size(); i++) {
        const char c = sText[i];
        if (c == '\n') {
            widths.push_back(nWidth);
            nWidth = 0;
            continue;
        }
        const bool bClosingCr = c == '\r' && (i + 1 == sText.size() || sText[i + 1] == '\n');
        if (!bClosingCr && (static_cast<unsigned char>(c) & 0xC0) != 0x80)
            nWidth++;
    }
    if (!sText.empty() && sText.back() != '\n')
        widths.push_back(nWidth);
    return widths;
}

bool InLine(const std::vector<int>& widths, int nLine, int nColumn)
{
    return nLine >= 1 && static_cast<size_t>(nLine) <= widths.size() && nColumn >= 1 &&
           nColumn <= widths[static_cast<size_t>(nLine) - 1] + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbData, size_t nSize)
{
    std::string_view sText(reinterpret_cast<const char*>(pbData), nSize);
    ScenarioParse parse = ParseScenario(sText);
    const std::vector<int> widths = LineWidths(sText);
    if (parse.commands.size() + parse.errors.size() > widths.size())
        __builtin_trap();

    for (const ScenarioError& error : parse.errors)
        if (!InLine(widths, error.nLine, error.nColumn) || error.sMessage.empty())
            __builtin_trap();

    int nPreviousLine = 0;
    for (const ScenarioCommand& command : parse.commands) {
        if (!InLine(widths, command.nLine, command.nColumn) || command.nLine <= nPreviousLine)
            __builtin_trap();
        nPreviousLine = command.nLine;

        ScenarioError error;
        auto again = ParseScenarioLine(command.sSource, command.nLine, error);
        if (!again || !SameCommand(*again, command))
            __builtin_trap();

        if (!command.sText.empty() && command.op != ScenarioOp::Snapshot) {
            const std::string sWritten = "send \"" + EncodeEscapes(command.sText) + "\"";
            auto text = ParseScenarioLine(sWritten, 1, error);
            if (!text || text->sText != command.sText)
                __builtin_trap();
        }
        if (command.unMs != 0) {
            auto ms = ParseScenarioDuration(FormatDuration(command.unMs));
            if (!ms || *ms != command.unMs)
                __builtin_trap();
        }
    }
    return 0;
}
