// halden-docgen: prints the reference lists of the guide that come from the
// code, as Markdown: the scenario commands from the parser's table, the
// sample library with each sample's strongest band as the model computes it,
// and the remote commands from the firmware's command table.
//
//   halden-docgen scenario-commands
//   halden-docgen samples
//   halden-docgen remote-commands
//
// docs/CMakeLists.txt runs it for the docs-reference target and its test.
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "comms/remote.h"
#include "sample.h"
#include "scenario_parse.h"

namespace {

void PrintScenarioCommands()
{
    std::printf("```\n");
    for (const std::string& sUsage : ScenarioCommandUsages())
        std::printf("%s\n", sUsage.c_str());
    std::printf("```\n");
}

int PrintSamples()
{
    std::printf("| name | shown as | description | concentration | strongest absorbance |\n");
    std::printf("|---|---|---|---|---|\n");
    for (const std::string& sName : SampleLibraryNames()) {
        std::string sError;
        std::optional<CSample> sample = LoadSample(sName, sError);
        if (!sample) {
            std::fprintf(stderr, "halden-docgen: %s\n", sError.c_str());
            return 1;
        }
        std::string sConcentration = "-";
        if (sample->m_bHidden) {
            sConcentration = "hidden";
        } else if (sample->m_bConcentration) {
            char acValue[48];
            std::snprintf(acValue, sizeof acValue, "%g %s", sample->m_fConcentration, sample->m_sUnit.c_str());
            sConcentration = acValue;
        }
        // The strongest absorbance the instrument would show, 330..830 nm,
        // at the file's concentration as it goes in; recorded cells are the
        // recorded frames, which the model does not describe.
        std::string sPeak = "-";
        if (sample->m_recorded != RecordedCell::None) {
            sPeak = "recorded";
        } else {
            double fBest = 0;
            int nBestNm = 0;
            for (int nNm = 330; nNm <= 830; nNm++) {
                double fA = sample->ShownAbsorbance(nNm, sample->m_fConcentration, 0);
                if (fA > fBest + 1e-12) {
                    fBest = fA;
                    nBestNm = nNm;
                }
            }
            if (nBestNm && !sample->m_bHidden) {
                char acPeak[48];
                std::snprintf(acPeak, sizeof acPeak, "%.3f A at %d nm", fBest, nBestNm);
                sPeak = acPeak;
            } else if (nBestNm) {
                char acPeak[48];
                std::snprintf(acPeak, sizeof acPeak, "at %d nm", nBestNm);
                sPeak = acPeak;
            }
        }
        std::printf("| `%s` | %s | %s | %s | %s |\n", sName.c_str(), sample->m_sName.c_str(),
                    sample->m_sDescription.c_str(), sConcentration.c_str(), sPeak.c_str());
    }
    return 0;
}

// What the reference says about each command of the firmware's table. The
// rows come from the table: a command missing here, or described here but
// gone from the table, stops the listing. Every line the instrument sends
// ends in CR LF, which the texts leave out.
struct RemoteCommandText {
    const char* pszName;       // the word, "DIAG WORD" for a sub-command of DIAG
    const char* pszArguments;  // after the word; "-" for none
    const char* pszSends;      // data lines before the reply; "-" for none
    const char* pszReply;      // the reply line; {version} stands for the firmware's version text
    const char* pszErrors;     // error replies beyond E90 and E91 (text after the line, a missing argument)
};

const RemoteCommandText kRemoteCommandTexts[] = {
    {"CAL", "-", "the self-diagnostics' trace lines `+NN<TAB>text`", "`E00`", "-"},
    {"CAL?", "-", "the last self-diagnostics' summary as trace lines", "`E00`", "-"},
    {"CONTROL", "-", "-", "`E00`; the display shows \"PC Control\"", "E93 on a screen that refuses it"},
    {"DATAMODE", "`STDMODE` or `SCANMODE`", "-", "`E00 STDMODE` or `E00 SCANMODE`", "E94 for any other word"},
    {"DATAMODE?", "-", "-", "`E00 STDMODE` or `E00 SCANMODE`", "-"},
    {"DATE", "`dd/mm/yy`", "-", "`E00`", "E94 for another shape (`1/02/05`), E01 for a date that does not exist"},
    {"DATE?", "-", "-", "`E00 dd/mm/yy`", "-"},
    {"DIAG", "a sub-command word (the `DIAG` rows)", "-", "that of the sub-command", "E91 for a missing or unknown word"},
    {"DIAG FLAGBST", "-", "-", "`E00`; \"Base Self Test Info\" on and saved", "-"},
    {"DIAG FLAGPCC", "-", "-", "`E00`; \"Print Cal Coeff\" on and saved", "-"},
    {"DIAG REFRESH", "-", "the self-diagnostics' trace lines", "`E00`; both defective-pixel entries emptied first", "-"},
    {"DIAG REPORT", "-", "the diagnostics table as trace lines", "`E00`", "-"},
    {"DIAG RESETHO", "-", "-", "`E00`; holmium offset 0, saved", "-"},
    {"DIAG SCANLAMP", "-",
     "`+00<TAB>Scanning`, then 1024 pixel lines `PPP,DDDD,LLLL,[-]MMMM,FF` (hexadecimal: pixel, dark, light, "
     "\\|light - dark\\| with `-` when light is below dark, frames)",
     "`E00`", "-"},
    {"DIAG SCANLED", "-", "as DIAG SCANLAMP, of the internal LED", "`E00`", "-"},
    {"DIAG TESTBTN", "integer 0..2", "`+00<TAB>Waiting for sample`", "`E00` once the TEST key is pressed; none after the standby key",
     "E01 outside 0..2, E94 not a number"},
    {"DIAG TESTHO", "-", "trace lines; waits for the TEST key", "`E00 n`, the holmium offset; none after the standby key", "-"},
    {"DIAG TESTSL", "-", "trace lines; waits for the TEST key", "`E00 s`, the stray-light value (`%g`); none after the standby key", "-"},
    {"DIAG TESTWL", "-", "trace lines; waits for the TEST key", "`E00 n`, the LED test's pixel offset; none after the standby key", "-"},
    {"DIAG USERMODE", "-", "-", "`E00`, then 50 ms of instrument time before the next line is read", "-"},
    {"ID?", "-", "-", "`E00 {version}`", "-"},
    {"READA?", "integer nm, 330..830", "-",
     "`E00 ` absorbance `% .3f` (a space or `-` first), space, nm: `E00  0.493 579`, `E00 -0.013 830`",
     "E01 outside 330..830, E94 not a number"},
    {"READC?", "integer", "-", "none: always E92", "E92 (not supported) once the arguments are read; E94 not a number, E01 too large"},
    {"READT?", "integer nm, 330..830", "-", "`E00 T nm`, T in whole percent 0..200: `E00 32 579`",
     "E01 outside 330..830, E94 not a number"},
    {"RELEASE", "-", "-", "`E00`; the screen before CONTROL returns", "-"},
    {"SCANBIN", "-", "`+00<TAB>Scanning`, then 501 groups `XXX,` on one line (330..830 nm)",
     "`E00` on the same line, right after the last comma", "-"},
    {"SCANTXT", "-", "`+00<TAB>Scanning`, then 501 lines, the absorbance `% .3f` (330..830 nm)", "`E00`", "-"},
    {"SERIAL", "unsigned integer 0..4294967295", "-", "`E00`; saved when it differs", "E01 too large or negative, E94 not a number"},
    {"SERIAL?", "-", "-", "`E00 n` (`E00 0` when none is set)", "-"},
    {"SETFACT", "real, integer", "-", "none: always E92", "E92 (not supported) once the arguments are read; E94 not a number, E01 too large"},
    {"SETREF", "-", "`+00<TAB>Scanning`", "`E00` once the reference reading is taken", "-"},
    {"TIME", "`hh:mm:ss`", "-", "`E00`", "E94 for another shape, E01 for hours above 23, minutes or seconds above 59"},
    {"TIME?", "-", "-", "`E00 hh:mm:ss`", "-"},
};

const RemoteCommandText* FindRemoteCommandText(const std::string& sName)
{
    for (const RemoteCommandText& text : kRemoteCommandTexts)
        if (sName == text.pszName)
            return &text;
    return nullptr;
}

int PrintRemoteCommands()
{
    std::printf("| command | arguments | without CONTROL | sends first | reply | errors (besides E90, E91) |\n");
    std::printf("|---|---|---|---|---|---|\n");
    std::set<std::string> listed;
    int nFaults = 0;
    // Commands of their own first, then the sub-commands of DIAG, each in table order.
    for (uint8_t bLevel : {REMOTE_LEVEL_TOP, REMOTE_LEVEL_DIAG}) {
        for (int i = 0; i < RemoteCommandCount(); i++) {
            const RemoteCommandInfo info = RemoteCommandAt(i);
            if (info.bLevel != bLevel)
                continue;
            const std::string sName = (bLevel == REMOTE_LEVEL_DIAG ? "DIAG " : "") + std::string(info.pszWord);
            const RemoteCommandText* pText = FindRemoteCommandText(sName);
            if (!pText) {
                std::fprintf(stderr, "halden-docgen: the firmware's command %s is not described\n", sName.c_str());
                nFaults++;
                continue;
            }
            const bool bDescribedWithArguments = std::strcmp(pText->pszArguments, "-") != 0;
            if (bDescribedWithArguments != (info.bArguments != 0)) {
                std::fprintf(stderr, "halden-docgen: %s %s arguments in the firmware's table\n", sName.c_str(),
                             info.bArguments ? "reads" : "reads no");
                nFaults++;
            }
            listed.insert(sName);
            std::string sReply = pText->pszReply;
            if (size_t nAt = sReply.find("{version}"); nAt != std::string::npos)
                sReply.replace(nAt, 9, FIRMWARE_VERSION);
            std::printf("| `%s` | %s | %s | %s | %s | %s |\n", sName.c_str(), pText->pszArguments,
                        info.bAnyMode ? "yes" : "no (E91)", pText->pszSends, sReply.c_str(), pText->pszErrors);
        }
    }
    for (const RemoteCommandText& text : kRemoteCommandTexts) {
        if (!listed.count(text.pszName)) {
            std::fprintf(stderr, "halden-docgen: %s is described but is not a command of the firmware's table\n",
                         text.pszName);
            nFaults++;
        }
    }
    return nFaults ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string sWhat = argc == 2 ? argv[1] : "";
    if (sWhat == "scenario-commands") {
        PrintScenarioCommands();
        return 0;
    }
    if (sWhat == "samples")
        return PrintSamples();
    if (sWhat == "remote-commands")
        return PrintRemoteCommands();
    std::fprintf(stderr, "usage: halden-docgen scenario-commands|samples|remote-commands\n");
    return 2;
}
