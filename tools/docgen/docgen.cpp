// halden-docgen: prints the reference lists of the guide that come from the
// code, as Markdown: the scenario commands from the parser's table and the
// sample library with each sample's strongest band as the model computes it.
//
//   halden-docgen scenario-commands
//   halden-docgen samples
//
// docs/CMakeLists.txt runs it for the docs-reference target and its test.
#include <cstdio>
#include <string>

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
    std::fprintf(stderr, "usage: halden-docgen scenario-commands|samples\n");
    return 2;
}
