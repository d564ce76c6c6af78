// The sample compartment: sample files and their faults, the default cell
// that reads the recorded set unchanged, and synthesised samples read back by
// the firmware's own reading and photometry (absorbance spectra, Beer-Lambert
// standards and unknowns, a fading dye's first-order rate, a cell too dark
// for the instrument).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "comms/remote_fixture.h"
#include "measure/frame_sets.h"
#include "measure/kinetics_run.h"
#include "measure/reading.h"
#include "sample.h"
#include "sample_compartment.h"
#include "scenario.h"
#include "ui/ui_internal.h"

namespace {

CSample Library(const std::string& sName)
{
    std::string sError;
    auto sample = LoadSample(sName, sError);
    EXPECT_TRUE(sample) << sError;
    return sample.value_or(CSample::Recorded());
}

}  // namespace

TEST(SampleFiles, EveryLibrarySampleLoads)
{
    std::vector<std::string> names = SampleLibraryNames();
    for (const char* pszName : {"blank", "recorded", "holmium", "cutoff", "dye", "standard-1", "standard-2",
                                "standard-3", "standard-4", "standard-5", "unknown-a", "unknown-b", "turbid",
                                "reaction"})
        EXPECT_NE(std::find(names.begin(), names.end(), pszName), names.end()) << pszName;
    for (const std::string& sName : names) {
        std::string sError;
        EXPECT_TRUE(LoadSample(sName, sError)) << sError;
    }
    EXPECT_EQ(Library("standard-3").Label(6), "Standard 3 6 mg/L");
    EXPECT_EQ(Library("unknown-a").Label(3.3), "Unknown A");  // hidden
    std::string sError;
    EXPECT_FALSE(LoadSample("no-such-sample", sError));
    EXPECT_NE(sError.find("no sample 'no-such-sample'"), std::string::npos) << sError;
    EXPECT_NE(sError.find(" dye "), std::string::npos) << sError;  // lists the library
}

TEST(SampleFiles, FaultsNameTheFileAndLine)
{
    const struct {
        const char* pszText;
        const char* pszError;
    } CASES[] = {
        {"name A\nband 500 10\n", "t.sample:2: expected 'band CENTRE WIDTH HEIGHT'"},
        {"name A\n\nband 500 x 0.1\n", "t.sample:3: 'x' is not a number"},
        {"name A\nband 200 10 0.1\n", "t.sample:2: the band's centre must lie in 250..1000 nm"},
        {"name A\nband 500 0 0.1\n", "t.sample:2: the band's width must lie above 0"},
        {"name A\npoint 500 0.1\npoint 490 0.2\n", "t.sample:3: the points' wavelengths must increase"},
        {"name A\nconcentration -1\n", "t.sample:2: the concentration must be a number of at least 0"},
        {"name A\ncolour red\n", "t.sample:2: unknown setting 'colour'"},
        {"name A\nname B\n", "t.sample:2: 'name' is given twice"},
        {"band 500 10 0.1\n", "t.sample:1: the sample has no 'name'"},
        {"name A\nrecorded lamp\n", "t.sample:2: unknown recorded cell 'lamp'"},
        {"name A\nrecorded sample\nband 500 10 0.1\n", "a recorded cell takes no band"},
        {"name A\nhidden\n", "'hidden' needs a concentration"},
        {"name A\nrate 0\n", "t.sample:2: the rate must lie above 0"},
        {"name A\nstray 0.9\n", "t.sample:2: the stray-light fraction must lie in 0..0.5"},
        {"name A\nturbidity 0.5\n", "t.sample:2: expected 'turbidity OD600 EXPONENT'"},
        {"name A\nseed 12x\n", "t.sample:2: expected 'seed N'"},
    };
    for (const auto& c : CASES) {
        std::string sError;
        EXPECT_FALSE(ParseSample(c.pszText, "t.sample", sError)) << c.pszText;
        EXPECT_NE(sError.find(c.pszError), std::string::npos) << c.pszText << "gave: " << sError;
    }
    // One pass names every fault, each at its own line, and stops listing after twenty.
    std::string sFaults;
    EXPECT_FALSE(ParseSample("name A\nband 500 x 0.1\ncolour red\nhidden\n", "t.sample", sFaults));
    EXPECT_EQ(sFaults, "t.sample:2: 'x' is not a number; expected 'band CENTRE WIDTH HEIGHT' (nm, nm, absorbance)\n"
                       "t.sample:3: unknown setting 'colour'; the settings are name description recorded band point "
                       "concentration hidden saturation turbidity stray rate seed\n"
                       "t.sample:4: 'hidden' needs a concentration to hide");
    std::string sMany = "name A\n";
    for (int i = 0; i < 25; i++)
        sMany += "stray 2\n";
    EXPECT_FALSE(ParseSample(sMany, "t.sample", sFaults));
    EXPECT_EQ(std::count(sFaults.begin(), sFaults.end(), '\n'), 20) << sFaults;
    EXPECT_TRUE(sFaults.ends_with("\nt.sample: 5 more faults")) << sFaults;

    std::string sError;
    auto sample = ParseSample("\xEF\xBB\xBF# comment\r\nname  A dye  \r\nconcentration 2 g/L # two\r\n"
                              "point 400 0.1\r\npoint 500 0.3\r\n",
                              "t.sample", sError);
    ASSERT_TRUE(sample) << sError;
    EXPECT_EQ(sample->m_sName, "A dye");
    EXPECT_EQ(sample->m_sUnit, "g/L");
    EXPECT_DOUBLE_EQ(sample->Absorbance(450, 2.0, 0), 0.4);  // (0.1 + 0.3) / 2 per g/L, times 2
    EXPECT_DOUBLE_EQ(sample->Absorbance(300, 2.0, 0), 0.2);  // the end values carry on
}

class SampleReading : public RemoteTest {
protected:
    void SetUp() override
    {
        RemoteTest::SetUp();
        TakeControl();
        ASSERT_EQ(Converse("SETREF\r\n"), "+00\tScanning\r\nE00\r\n");
    }
    // A sample reading through the remote interpreter; returns the SCANBIN reply.
    std::string ReadSample()
    {
        std::string sReply = Converse("SCANBIN\r\n");
        EXPECT_TRUE(sReply.ends_with("E00\r\n")) << sReply.substr(0, 200);
        return sReply;
    }
};

// Untouched, and with the library's recorded sample in, the cell reads the
// recorded set byte for byte; another sample does not.
TEST_F(SampleReading, DefaultIsTheRecordedSet)
{
    auto framesAreRecorded = [] {
        for (int p = 0; p < PIXEL_COUNT; p++)
            if (gunLightReadings[p] != gSampleFrames[p].unLight || gunDarkReadings[p] != gSampleFrames[p].unDark ||
                gbFrameCounts[p] != gSampleFrames[p].bFrames)
                return false;
        return true;
    };
    std::string sDefault = ReadSample();
    EXPECT_TRUE(framesAreRecorded());
    Host().Compartment().Insert(Library("blank"));
    EXPECT_NE(ReadSample(), sDefault);
    EXPECT_FALSE(framesAreRecorded());
    Host().Compartment().Insert(Library("recorded"));
    EXPECT_EQ(ReadSample(), sDefault);
    EXPECT_TRUE(framesAreRecorded());
}

// The firmware's absorbance of a synthesised sample is the sample's own, to
// within the detector noise, across the range and for every kind of sample.
TEST_F(SampleReading, FirmwareReadsBackTheSpectrum)
{
    const struct {
        const char* pszSample;
        double fConcentration;
        double fTolerance;
    } CASES[] = {
        {"blank", 0, 0.003},        {"dye", 10, 0.004},    {"dye", 25, 0.008},
        {"standard-1", 2, 0.003},   {"turbid", 0, 0.004},  {"unknown-b", 7.6, 0.004},
    };
    for (const auto& c : CASES) {
        CSample sample = Library(c.pszSample);
        Host().Compartment().Insert(sample, c.fConcentration);
        ReadSample();
        for (int nNm : {340, 400, 450, 500, 553, 592, 650, 750, 820}) {
            double fExpected = sample.ShownAbsorbance(nNm, c.fConcentration, 0);
            uint8_t bOut = 0;
            EXPECT_NEAR(Absorbance(nNm, &bOut), fExpected, c.fTolerance)
                << c.pszSample << " " << c.fConcentration << " at " << nNm << " nm";
            EXPECT_EQ(bOut, 0);
        }
    }
}

// Five standards give a straight line through the origin at the peak; the
// two unknowns read from it within 2 % of their concentrations.
TEST_F(SampleReading, StandardsFollowBeerLambert)
{
    constexpr int NM = 592;
    std::vector<double> c, a;
    for (int i = 1; i <= 5; i++) {
        CSample sample = Library("standard-" + std::to_string(i));
        Host().Compartment().Insert(sample);
        ReadSample();
        c.push_back(sample.m_fConcentration);
        a.push_back(Absorbance(NM));
    }
    double fMc = 0, fMa = 0;
    for (size_t i = 0; i < c.size(); i++)
        fMc += c[i] / c.size(), fMa += a[i] / a.size();
    double fSxy = 0, fSxx = 0, fSyy = 0;
    for (size_t i = 0; i < c.size(); i++) {
        fSxy += (c[i] - fMc) * (a[i] - fMa);
        fSxx += (c[i] - fMc) * (c[i] - fMc);
        fSyy += (a[i] - fMa) * (a[i] - fMa);
    }
    double fSlope = fSxy / fSxx, fIntercept = fMa - fSlope * fMc;
    EXPECT_GT(fSxy * fSxy / (fSxx * fSyy), 0.9999);
    EXPECT_NEAR(fIntercept, 0.0, 0.003);
    EXPECT_NEAR(fSlope, Library("dye").Absorptivity(NM), 0.0005);
    for (const char* pszUnknown : {"unknown-a", "unknown-b"}) {
        CSample sample = Library(pszUnknown);
        Host().Compartment().Insert(sample);
        ReadSample();
        double fFound = (Absorbance(NM) - fIntercept) / fSlope;
        EXPECT_NEAR(fFound, sample.m_fConcentration, 0.02 * sample.m_fConcentration) << pszUnknown;
    }
}

// The fading dye read again and again: ln A at its peak falls linearly with
// the firmware time of each reading, at the file's rate.
TEST_F(SampleReading, ReactingMixtureFadesAtItsRate)
{
    constexpr int NM = 590;
    CSample sample = Library("reaction");
    ASSERT_GT(sample.m_fRatePerMin, 0);
    Host().Compartment().Insert(sample);
    uint64_t ullStart = Host().FirmwareMs();
    std::vector<double> t, lnA;
    for (int i = 0; i < 9; i++) {
        ReadSample();
        double fMinutes = static_cast<double>(Host().Compartment().LastFramesMs() - ullStart) / 60000.0;
        t.push_back(fMinutes);
        lnA.push_back(std::log(Absorbance(NM)));
        if (i == 0) {  // the first reading: the colour has barely begun to fade
            EXPECT_NEAR(Absorbance(NM), sample.ShownAbsorbance(NM, sample.m_fConcentration, fMinutes), 0.005);
        }
        Host().AdvanceMs(20000);
    }
    ASSERT_GT(t.back() - t.front(), 3.0);
    double fMt = 0, fMa = 0;
    for (size_t i = 0; i < t.size(); i++)
        fMt += t[i] / t.size(), fMa += lnA[i] / t.size();
    double fSxy = 0, fSxx = 0;
    for (size_t i = 0; i < t.size(); i++)
        fSxy += (t[i] - fMt) * (lnA[i] - fMa), fSxx += (t[i] - fMt) * (t[i] - fMt);
    EXPECT_NEAR(-fSxy / fSxx, sample.m_fRatePerMin, 0.02 * sample.m_fRatePerMin);
}

// With the cell heater on the mixture is at 37 C and fades 2^1.2 = 2.30
// times as fast as at 25 C; a heater switched on but not fitted warms nothing.
TEST_F(SampleReading, HeatedMixtureFadesFaster)
{
    constexpr int NM = 590;
    CSample sample = Library("reaction");
    for (uint8_t bFitted : {1, 0}) {
        gbHeaterFitted = bFitted;
        gbHeaterOn = 1;
        Host().Compartment().Insert(sample);
        std::vector<double> t, lnA;
        for (int i = 0; i < 6; i++) {
            ReadSample();
            t.push_back(static_cast<double>(Host().Compartment().LastFramesMs()) / 60000.0);
            lnA.push_back(std::log(Absorbance(NM)));
            Host().AdvanceMs(15000);
        }
        double fMt = 0, fMa = 0;
        for (size_t i = 0; i < t.size(); i++)
            fMt += t[i] / t.size(), fMa += lnA[i] / t.size();
        double fSxy = 0, fSxx = 0;
        for (size_t i = 0; i < t.size(); i++)
            fSxy += (t[i] - fMt) * (lnA[i] - fMa), fSxx += (t[i] - fMt) * (t[i] - fMt);
        double fWant = sample.m_fRatePerMin * (bFitted ? std::pow(2.0, 1.2) : 1.0);
        EXPECT_NEAR(-fSxy / fSxx, fWant, 0.03 * fWant) << (bFitted ? "heated" : "no heater fitted");
    }
}

// The temperature holds from one reading to the next: the reaction runs at
// the heater's state taken at the previous reading.
TEST(SampleCompartmentHeater, ReactionFollowsTheCellTemperature)
{
    uint64_t ullNow = 0;
    CSampleCompartment compartment([&ullNow] { return ullNow; });
    gbHeaterFitted = 1;
    gbHeaterOn = 0;
    compartment.Insert(Library("reaction"));
    const double fHot = std::pow(2.0, 1.2);
    EXPECT_DOUBLE_EQ(CSampleCompartment::RateFactor(CSampleCompartment::HEATED_C), fHot);
    EXPECT_DOUBLE_EQ(CSampleCompartment::RateFactor(CSampleCompartment::ROOM_C), 1.0);
    struct Step {
        uint64_t ullMs;
        uint8_t bOnAfter;  // the heater switched after this reading
        double fReacted;   // minutes at 25 C
    } kSteps[] = {{60000, 1, 1.0}, {120000, 1, 2.0}, {180000, 0, 2.0 + fHot}, {240000, 0, 2.0 + 2 * fHot}};
    for (const Step& s : kSteps) {
        ullNow = s.ullMs;
        EXPECT_NEAR(compartment.React(ullNow), s.fReacted, 1e-12) << s.ullMs;
        gbHeaterOn = s.bOnAfter;
    }
    EXPECT_NEAR(compartment.React(ullNow), 2.0 + 2 * fHot, 1e-12) << "no time, no reaction";
    gbHeaterFitted = 0;
    gbHeaterOn = 0;
}

// A cell far darker than the instrument can measure reads out of range, as
// a real dark sample does; nothing breaks on the way.
TEST_F(SampleReading, TooDarkReadsOutOfRange)
{
    std::string sError;
    auto sample = ParseSample("name Ink\nband 600 400 5.0\n", "ink.sample", sError);
    ASSERT_TRUE(sample) << sError;
    Host().Compartment().Insert(*sample);
    ReadSample();
    for (int nNm : {400, 600, 800}) {
        uint8_t bOut = 0;
        EXPECT_EQ(Absorbance(nNm, &bOut), 2.5) << nNm;
        EXPECT_EQ(bOut, 1) << nNm;
    }
}

TEST(SampleScenario, SampleCommandIsChecked)
{
    const struct {
        const char* pszLine;
        const char* pszName;
        double fConcentration;  // -1: none given
        const char* pszError;   // null: accepted
    } CASES[] = {
        {"sample dye", "dye", -1, nullptr},
        {"sample standard-2 4.5  # a comment", "standard-2", 4.5, nullptr},
        {"sample \"my samples/ink.sample\" 0", "my samples/ink.sample", 0, nullptr},
        {"sample", nullptr, -1, "1:7: sample needs a NAME"},
        {"sample dye x", nullptr, -1, "1:12: bad concentration 'x'"},
        {"sample dye -2", nullptr, -1, "1:12: bad concentration '-2'"},
        {"sample dye 0x10", nullptr, -1, "bad concentration '0x10'"},
        {"sample dye 2 3", nullptr, -1, "1:14: extra argument '3'"},
    };
    for (const auto& c : CASES) {
        ScenarioParse parse = ParseScenario(c.pszLine);
        if (!c.pszError) {
            ASSERT_TRUE(parse.errors.empty()) << c.pszLine << ": " << parse.errors[0].sMessage;
            ASSERT_EQ(parse.commands.size(), 1u);
            EXPECT_EQ(parse.commands[0].op, ScenarioOp::Sample);
            EXPECT_EQ(parse.commands[0].sText, c.pszName);
            EXPECT_EQ(parse.commands[0].fConcentration.value_or(-1), c.fConcentration) << c.pszLine;
        } else {
            ASSERT_EQ(parse.errors.size(), 1u) << c.pszLine;
            std::string sError = FormatScenarioError("s", parse.errors[0]);
            EXPECT_NE(sError.find(c.pszError), std::string::npos) << c.pszLine << " gave " << sError;
        }
    }
}

class SampleScenarioRun : public FirmwareTest {};

// "heater fitted" and "heater none" fit and remove the heater (switched
// off); set-up offers Heater Control only with it fitted.
TEST_F(SampleScenarioRun, HeaterCommandFitsTheHeater)
{
    Host().PowerUp();
    std::ostringstream out;
    CScenario scenario(Host(), out);
    ASSERT_TRUE(scenario.RunText("heater fitted\nkey standby\nwait-screen 9 within 60s\nkey soft2\nkey soft3\n"
                                 "wait-screen 14 within 0\nkey soft4\nwait-screen 81 within 0\nkey right\n",
                                 "s"))
        << scenario.Error();
    EXPECT_EQ(gbHeaterOn, 1);
    ASSERT_TRUE(scenario.RunText("key soft4\nwait-screen 14 within 0\nheater none\nkey escape\nkey soft3\n"
                                 "wait-screen 14 within 0\nkey soft4\nwait-screen 14 within 0\n",
                                 "s"))
        << scenario.Error();
    EXPECT_EQ(gbHeaterOn, 0) << "removing the heater switches it off";
    EXPECT_FALSE(scenario.RunText("heater on\n", "s"));
    EXPECT_NE(scenario.Error().find("heater needs 'fitted' or 'none'"), std::string::npos) << scenario.Error();
}

// The command puts the sample in; a name that is not in the library, or a
// concentration for a sample without one, fails the scenario and says why.
TEST_F(SampleScenarioRun, PutsTheSampleInOrSaysWhyNot)
{
    Host().PowerUp();
    std::ostringstream out;
    CScenario scenario(Host(), out);
    ASSERT_TRUE(scenario.RunText("sample standard-3\n", "s")) << scenario.Error();
    EXPECT_EQ(Host().Compartment().Label(), "Standard 3 6 mg/L");
    ASSERT_TRUE(scenario.RunText("sample dye 2.5\n", "s")) << scenario.Error();
    EXPECT_EQ(Host().Compartment().Label(), "Bromophenol blue 2.5 mg/L");
    EXPECT_FALSE(scenario.RunText("sample blank 3\n", "s"));
    EXPECT_NE(scenario.Error().find("has no concentration"), std::string::npos) << scenario.Error();
    EXPECT_FALSE(scenario.RunText("sample dyes\n", "s"));
    EXPECT_NE(scenario.Error().find("no sample 'dyes'"), std::string::npos) << scenario.Error();
    EXPECT_EQ(Host().Compartment().Label(), "Bromophenol blue 2.5 mg/L") << "a failed command changes nothing";
}

// halden-cli refuses a scenario whose sample does not load before it runs
// anything, naming the line; --sample puts one in from the start.
class SampleCli : public ScratchDirTest {};

TEST_F(SampleCli, ChecksSamplesFirst)
{
    {
        std::ofstream("bad.scn") << "key standby\nsample nothing-like-it\n";
        std::ofstream("ok.scn") << "sendln CONTROL\nexpect E00\nsendln SCANBIN\nexpect E00 within 20s\n";
    }
    std::string sCli = HALDEN_CLI;
    EXPECT_EQ(std::system((sCli + " bad.scn 2> err.txt").c_str()) >> 8, 2);
    std::ifstream err("err.txt");
    std::string sErr((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
    EXPECT_NE(sErr.find("bad.scn:2:1: no sample 'nothing-like-it'"), std::string::npos) << sErr;
    EXPECT_FALSE(std::filesystem::exists("eeprom.bin")) << "the instrument was switched on";
    EXPECT_EQ(std::system((sCli + " --sample nothing-like-it ok.scn 2> /dev/null").c_str()) >> 8, 2);
    EXPECT_EQ(std::system((sCli + " --power-on --sample blank --serial-log blank.log ok.scn > /dev/null").c_str()) >> 8, 0);
    EXPECT_EQ(std::system((sCli + " --power-on --serial-log recorded.log ok.scn > /dev/null").c_str()) >> 8, 0);
    std::ifstream blank("blank.log"), recorded("recorded.log");
    std::string sBlank((std::istreambuf_iterator<char>(blank)), std::istreambuf_iterator<char>());
    std::string sRecorded((std::istreambuf_iterator<char>(recorded)), std::istreambuf_iterator<char>());
    EXPECT_GT(sBlank.size(), 2000u);
    EXPECT_NE(sBlank, sRecorded) << "the blank's scan is the recorded sample's";
}

// The kinetics method of the UI scenarios (550 nm, readings every 10 s for
// 30 s, rate times factor 1), run on the fading dye: the firmware's readings
// fall as the file's first-order rate says, and its delta-A per minute is the
// least-squares slope of the file's absorbances at the reading times.
TEST_F(SampleScenarioRun, KineticsOfTheReactingMixture)
{
    constexpr int NM = 550;
    std::ifstream in(std::filesystem::path(HALDEN_SOURCE_DIR) / "tests/ui/scenarios/kinetics_method.scn");
    std::string sScenario((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(sScenario.empty());
    size_t nTest = sScenario.find("key test\n");
    ASSERT_NE(nTest, std::string::npos);
    sScenario.insert(nTest, "sample reaction\n");  // mixed just before the run starts
    Host().PowerUp();
    std::ostringstream out;
    CScenario scenario(Host(), out);
    ASSERT_TRUE(scenario.RunText(sScenario, "kinetics")) << scenario.Error();
    ASSERT_EQ(gKinetics.bCount, 4);

    CSampleCompartment::Contents contents = Host().Compartment().Current();
    const CSample& sample = *contents.pSample;
    ASSERT_EQ(sample.m_sName, "Crystal violet + NaOH");
    // Every reading's frames were made the same time after its due time.
    uint64_t ullFirstMs = Host().Compartment().LastFramesMs() - gKinetics.aunTimeMs[3];
    double afMinutes[4], fSumTA = 0, fSumTT = 0, fSumTL = 0;
    for (int k = 0; k < 4; k++) {
        afMinutes[k] = static_cast<double>(ullFirstMs + gKinetics.aunTimeMs[k] - contents.ullInsertedMs) / 60000.0;
        double fExpected = sample.ShownAbsorbance(NM, contents.fConcentration, afMinutes[k]);
        EXPECT_NEAR(gKinetics.afAbs[k], fExpected, 0.003) << "reading " << k;
        double t = k - 1.5;
        fSumTA += t * sample.ShownAbsorbance(NM, contents.fConcentration, afMinutes[k]);
        fSumTT += t * t;
    }
    double fPredicted = fSumTA / fSumTT * 6.0;  // per 10 s interval -> per minute
    ASSERT_LT(fPredicted, -0.02);
    EXPECT_NEAR(gKinetics.fPerMinute, fPredicted, 0.02 * std::fabs(fPredicted));
    EXPECT_NEAR(gfKineticsFinal, gKinetics.fPerMinute, 1e-12);
    // ln A against time: the file's rate constant.
    double fMt = 0, fMl = 0;
    for (int k = 0; k < 4; k++)
        fMt += afMinutes[k] / 4, fMl += std::log(gKinetics.afAbs[k]) / 4;
    double fSxx = 0;
    for (int k = 0; k < 4; k++) {
        fSumTL += (afMinutes[k] - fMt) * (std::log(gKinetics.afAbs[k]) - fMl);
        fSxx += (afMinutes[k] - fMt) * (afMinutes[k] - fMt);
    }
    EXPECT_NEAR(-fSumTL / fSxx, sample.m_fRatePerMin, 0.02 * sample.m_fRatePerMin);
}

// The scan screen with the dye in the cell, against its golden image (and
// not the recorded sample's); HALDEN_UPDATE_GOLDEN=1 rewrites it.
TEST_F(SampleScenarioRun, ScanOfTheDyeMatchesItsGoldenImage)
{
    namespace fs = std::filesystem;
    const fs::path source(HALDEN_SOURCE_DIR);
    std::ifstream in(source / "tests/ui/scenarios/dye_scan.scn");
    ASSERT_TRUE(in);
    Host().PowerUp();
    std::ostringstream out;
    CScenario scenario(Host(), out);
    ASSERT_TRUE(scenario.Run(in, "dye_scan.scn")) << scenario.Error();
    auto read = [](const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    };
    std::string sShot = read("m022_dye_scan.pbm");
    ASSERT_GT(sShot.size(), 3840u);
    const fs::path golden = source / "tests/golden/ui/m022_dye_scan.pbm";
    if (std::getenv("HALDEN_UPDATE_GOLDEN"))
        fs::copy_file("m022_dye_scan.pbm", golden, fs::copy_options::overwrite_existing);
    EXPECT_EQ(sShot, read(golden)) << "the dye's scan differs from " << golden;
    EXPECT_NE(sShot, read(source / "tests/golden/ui/m022_abs.pbm")) << "the scan shows the recorded sample";
}
