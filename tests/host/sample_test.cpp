// The sample compartment: sample files and their faults, the default cell
// that reads the recorded set unchanged, and synthesised samples read back by
// the firmware's own reading and photometry (absorbance spectra, Beer-Lambert
// standards and unknowns, a fading dye's first-order rate, a cell too dark
// for the instrument).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "comms/remote_fixture.h"
#include "measure/frame_sets.h"
#include "measure/reading.h"
#include "sample.h"

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
    SetFrameSource(nullptr);  // the firmware alone
    EXPECT_EQ(ReadSample(), sDefault);
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
