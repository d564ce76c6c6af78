// The menu walk: every state of the table that a key reaches, entered and
// left by keys with the state checked after each, and every screen compared
// with its golden image in tests/golden/ui. The main menus are compared in
// the other four languages too.
//
// To regenerate the golden images after a deliberate change of a screen:
//   HALDEN_UPDATE_GOLDEN=1 ctest --test-dir build/release -R MenuWalk
// then look at them (tools/ui_contact_sheet.py draws the live screens in
// every language on docs/ui_screens.png).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/clock.h"
#include "display/language.h"
#include "display/script.h"
#include "display_image.h"
#include "measure/kinetics_run.h"
#include "measure/reading.h"
#include "measure/standard_curve.h"
#include "scenario.h"
#include "storage/params.h"
#include "ui/ui_internal.h"
#include "ui/ui_fixture.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t PBM_HEADER = 11;  // "P4\n240 128\n"
constexpr size_t PBM_SIZE = PBM_HEADER + 30 * 128;

// The clock the walks run with: the screens that show it (the self-test
// result, the date and time editors) are compared whole, the highlighted
// field and the order of day and month included. Day 24 cannot be a month.
const uint8_t kabWalkClock[6] = {24, 3, 25, 9, 41, 0};

std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream ss;
    ss << file.rdbuf();
    return ss.str();
}

// Number of pixels that differ between two snapshots.
int DifferentPixels(const std::string& sA, const std::string& sB)
{
    int nDiff = 0;
    for (int y = 0; y < 128; y++) {
        for (int x = 0; x < 240; x++) {
            size_t i = PBM_HEADER + 30 * y + x / 8;
            uint8_t bBit = static_cast<uint8_t>(0x80 >> (x % 8));
            if ((sA[i] & bBit) != (sB[i] & bBit))
                nDiff++;
        }
    }
    return nDiff;
}

class MenuWalkTest : public UiTest {
protected:
    void RunScenarioAndCompare(const char* pszScenario)
    {
        fs::path source = fs::path(HALDEN_SOURCE_DIR);
        std::ifstream in(source / "tests/ui/scenarios" / pszScenario);
        ASSERT_TRUE(in) << pszScenario;
        FixClock(kabWalkClock);
        Host().PowerUp();
        std::ostringstream out;
        CScenario scenario(Host(), out);
        ASSERT_TRUE(scenario.Run(in, pszScenario)) << scenario.Error();
        CompareSnapshots();
    }

    // Compares every snapshot in the working directory with its golden image.
    void CompareSnapshots()
    {
        fs::path golden = fs::path(HALDEN_SOURCE_DIR) / "tests/golden/ui";
        bool bUpdate = std::getenv("HALDEN_UPDATE_GOLDEN") != nullptr;
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(fs::current_path()))
            if (entry.path().extension() == ".pbm")
                names.push_back(entry.path().stem().string());
        ASSERT_FALSE(names.empty());
        for (const std::string& sName : names) {
            fs::path shot = fs::current_path() / (sName + ".pbm");
            std::string sShot = ReadFile(shot);
            ASSERT_EQ(sShot.size(), PBM_SIZE) << sName;
            if (bUpdate) {
                fs::create_directories(golden);
                fs::copy_file(shot, golden / (sName + ".pbm"), fs::copy_options::overwrite_existing);
                continue;
            }
            std::string sGolden = ReadFile(golden / (sName + ".pbm"));
            ASSERT_EQ(sGolden.size(), PBM_SIZE) << "no golden image for " << sName;
            EXPECT_EQ(DifferentPixels(sShot, sGolden), 0) << sName << " differs from its golden image";
        }
    }
};

TEST_F(MenuWalkTest, EveryReachableScreenInEnglish) { RunScenarioAndCompare("menu_walk.scn"); }

TEST_F(MenuWalkTest, PcControlScreen) { RunScenarioAndCompare("pc_control.scn"); }

TEST_F(MenuWalkTest, SelfTestFailureScreens) { RunScenarioAndCompare("self_test_failure.scn"); }

TEST_F(MenuWalkTest, MainMenusInTheOtherLanguages) { RunScenarioAndCompare("languages.scn"); }

TEST_F(MenuWalkTest, ProteinScreens) { RunScenarioAndCompare("protein_screens.scn"); }

// The two screens the walk cannot reach on a fresh instrument: the heater
// (only with a heater fitted) and "Memory Full" (all 100 method slots used).
TEST_F(MenuWalkTest, HeaterAndMemoryFullScreens)
{
    gbHeaterFitted = 1;
    PowerUpToMainMenu();
    Walk({{KEY_SOFT3, 14}});
    ASSERT_TRUE(WriteDisplayImage(Host(), "s014_heater.pbm"));
    Walk({{KEY_SOFT4, 81}});
    ASSERT_TRUE(WriteDisplayImage(Host(), "s081.pbm"));
    Walk({{KEY_RIGHT, 81}, {KEY_ESCAPE, 14}, {KEY_ESCAPE, 11}});

    for (int i = 0; i < METHOD_COUNT; i++)
        StoreByte(static_cast<uint16_t>(METHOD_RECORD_BASE + METHOD_RECORD_SIZE * i), 'A');
    Walk({{KEY_SOFT2, 12}, {KEY_SOFT3, 25}, {KEY_SOFT1, 67}});
    ASSERT_TRUE(WriteDisplayImage(Host(), "s067.pbm"));
    Host().AdvanceMs(4500);
    EXPECT_EQ(gunScreenState, 67);
    EXPECT_TRUE(WaitState(25, 1000)) << "Memory Full holds for 100 ticks";
    CompareSnapshots();
}

// The measuring screens on the recorded data, and the scan's readout beside
// the absorbance the PC reads with READA? for the same wavelength: the same
// number, drawn the same way.
TEST_F(MenuWalkTest, MeasuringScreensAndTheReadoutAgainstReadA)
{
    RunScenarioAndCompare("measuring_screens.scn");
    ASSERT_EQ(gunScreenState, STATE_MULTI_MEASURE) << "the scenario ends on the multi screen";

    // The reply "E00  0.491 594" and the readout snapshot taken after RELEASE.
    const std::string& sSerial = Host().SerialText();
    size_t nReply = sSerial.find("E00  ");
    ASSERT_NE(nReply, std::string::npos);
    double fReadA = 0.0;
    int nNm = 0;
    ASSERT_EQ(std::sscanf(sSerial.c_str() + nReply, "E00 %lf %d", &fReadA, &nNm), 2);
    std::string sShot = ReadFile(fs::current_path() / "m022_after_pc.pbm");
    ASSERT_EQ(sShot.size(), PBM_SIZE);

    // The top line as the scan draws it for that value and wavelength.
    DisplayScript("C0");
    gfShowD1 = fReadA;
    gnShowI1 = nNm;
    DrawFragment(FRAG_SCAN_VALUE_ABS);
    int nDiffering = 0;
    for (int y = 0; y < 9; y++)
        for (int x = 64; x < 240; x++) {
            bool bShot = (sShot[PBM_HEADER + 30 * y + x / 8] & (0x80 >> (x % 8))) != 0;
            nDiffering += bShot != Host().Pixel(x, y) ? 1 : 0;
        }
    EXPECT_EQ(nDiffering, 0) << "the readout differs from READA? " << fReadA << " at " << nNm << " nm";
}

// "Sample out of range" shares no pixel with the hint line in any language:
// its cells hold the message alone, and the R and T glyphs stand whole right
// of it. The cell-density screen shows it when the sample at 600 nm passes
// too little light for an optical density.
TEST_F(MenuWalkTest, OutOfRangeMessageAndHintsInEveryLanguage)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT2, STATE_DENSITY_OR_PROTEINS}, {KEY_SOFT1, STATE_CELL_DENSITY}});
    Press(KEY_REF);
    Host().AdvanceMs(6000);
    Press(KEY_TEST);
    Host().AdvanceMs(6000);
    gfTestReadings[600 - 330] = 10.0f;
    const char* const kapszName[] = {"m077_out_of_range_en", "m077_out_of_range_fr", "m077_out_of_range_de",
                                     "m077_out_of_range_es", "m077_out_of_range_it"};
    for (uint8_t bLanguage = 0; bLanguage < LANGUAGE_COUNT; bLanguage++) {
        gbLanguage = bLanguage;
        gunLastDrawnState = STATE_NEVER_DRAWN;
        DrawScreen();
        ASSERT_TRUE(WriteDisplayImage(Host(), std::string(kapszName[bLanguage]) + ".pbm"));
        std::vector<bool> abScreen;
        for (int y = 112; y < 128; y++)
            for (int x = 0; x < 240; x++)
                abScreen.push_back(Host().Pixel(x, y));
        auto At = [&](const std::vector<bool>& ab, int x, int y) { return ab[static_cast<size_t>((y - 112) * 240 + x)]; };
        // The message alone, and the two hint glyphs alone, on a clear screen.
        auto Draw = [&](const char* pszScript) {
            DisplayScript("C0");
            DisplayScript(pszScript);
            std::vector<bool> ab;
            for (int y = 112; y < 128; y++)
                for (int x = 0; x < 240; x++)
                    ab.push_back(Host().Pixel(x, y));
            return ab;
        };
        std::vector<bool> abMessage = Draw("F0V0 X70Y120T167");
        int nMessageEnd = 70 + 6 * static_cast<int>(std::strlen(LanguageText(167)));
        int nHintsSeen = 0;
        for (int y = 112; y < 128; y++)
            for (int x = 64; x < 240; x++) {
                if (x < nMessageEnd && y >= 120)
                    ASSERT_EQ(At(abScreen, x, y), At(abMessage, x, y)) << "language " << int(bLanguage) << " at " << x << "," << y;
                else if (x < nMessageEnd)
                    ASSERT_FALSE(At(abScreen, x, y)) << "language " << int(bLanguage) << " at " << x << "," << y;
                else
                    nHintsSeen += At(abScreen, x, y) ? 1 : 0;
            }
        std::vector<bool> abHints = Draw("F0A0 X100Y119T138 X112Y119T129");
        int nHintDots = 0;
        for (bool b : abHints)
            nHintDots += b ? 1 : 0;
        EXPECT_EQ(nHintsSeen, nHintDots) << "R and T whole beside the message, language " << int(bLanguage);
    }
    gbLanguage = 0;
    CompareSnapshots();
}

}  // namespace

// A curve method programmed by keys with three typed standards, its graph
// with either fit, and a sample run: the concentration is the curve's value
// at the sample's absorbance, worked by hand from the three standards.
TEST_F(MenuWalkTest, CurveMethodProgrammedAndRunByKeys)
{
    RunScenarioAndCompare("curve_method.scn");
    ASSERT_EQ(gunScreenState, STATE_METHOD_RUN);
    // Standards (A, K): (0.1, 1), (0.2, 2.5), (0.4, 4). d1 = 1.5 / 0.1 = 15;
    // f[2,3] = 1.5 / 0.2 = 7.5; d2 = (7.5 - 15) / (0.4 - 0.1) = -25.
    double fAbs = Absorbance(550);
    ASSERT_GT(fAbs, 0.1);
    ASSERT_LT(fAbs, 0.4);
    double fExpected = 1.0 + 15.0 * (fAbs - 0.1) - 25.0 * (fAbs - 0.1) * (fAbs - 0.2);
    EXPECT_NEAR(gfMethodResult, fExpected, 1e-9);
    // The method was stored with what was typed.
    LoadMethodWork(gunCurrentMethod);
    const double kafConc[5] = {1.0, 2.5, 4.0, STANDARD_NOT_SET, STANDARD_NOT_SET};
    const double kafAbs[5] = {0.1, 0.2, 0.4, 0.0, 0.0};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(gMethod.afStdConc[i], kafConc[i]) << "standard " << i + 1;
        EXPECT_EQ(gMethod.afStdAbs[i], kafAbs[i]) << "standard " << i + 1;
    }
    EXPECT_EQ(gMethod.bCalibration, 1);
    EXPECT_EQ(gMethod.bCurveFit, FIT_CURVE);
}

// A kinetics method programmed by keys (interval 0:10, end 0:30) and run:
// four readings at 0, 10, 20 and 30 s, and the rate of the recorded readings.
TEST_F(MenuWalkTest, KineticsMethodProgrammedAndRunByKeys)
{
    RunScenarioAndCompare("kinetics_method.scn");
    ASSERT_EQ(gKinetics.bCount, 4) << "A0..A3";
    EXPECT_EQ(gunSetting13, 3) << "30 s / 10 s stored as the number of readings";
    const uint32_t kaunDue[4] = {0, 10000, 20000, 30000};
    double fSumTA = 0.0, fSumTT = 0.0;
    for (int k = 0; k < 4; k++) {
        EXPECT_EQ(gKinetics.aunTimeMs[k], kaunDue[k]) << "reading " << k;
        EXPECT_DOUBLE_EQ(gKinetics.afAbs[k], Absorbance(550)) << "the recorded sample each time";
        double t = k - 1.5;
        fSumTA += t * gKinetics.afAbs[k];
        fSumTT += t * t;
    }
    // Delta-A per minute: the slope per 10-second interval times 6, times the factor 1.
    EXPECT_NEAR(gKinetics.fPerMinute, fSumTA / fSumTT * 6.0, 1e-12);
    EXPECT_NEAR(gfKineticsFinal, gKinetics.fPerMinute, 1e-12);
    EXPECT_EQ(gKinetics.fCorrelation, 0.0) << "equal readings have no spread";
}
