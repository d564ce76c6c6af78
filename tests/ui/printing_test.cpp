// Printing from the screens on the recorded data: a reading printed through
// "Sample No." in each layout family, auto-print with its sample numbers, the
// graph print, the method print, and the chart-recorder output that follows
// the readings.
#include <cstdlib>
#include <regex>
#include <string>

#include "comms/analogue.h"
#include "comms/hardcopy.h"
#include "comms/report.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui_fixture.h"
#include "ui/ui_internal.h"

namespace {

class PrintingTest : public UiTest {
protected:
    void Reading(uint8_t bKey)
    {
        Press(bKey);
        Host().AdvanceMs(6000);
    }
    // Main menu to the single-wavelength screen, with a blank and a sample read.
    void SingleWithSample()
    {
        PowerUpToMainMenu();
        Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT1, STATE_CHOOSE_MEASUREMENT}, {KEY_SOFT1, STATE_SINGLE_MEASURE}});
        Reading(KEY_REF);
        Reading(KEY_TEST);
    }
    const std::string& Sent() { return Host().SerialText(); }
};

// The value field of an absorbance as the printed layout shows it.
std::string AbsorbanceField(double fA)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "% .3f", fA);
    return sz;
}

TEST_F(PrintingTest, PrinterGetsTheReadingThroughSampleNumber)
{
    SingleWithSample();
    SetOutputDevice(1);
    EXPECT_EQ(gunSampleNumber, 1);
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_SAMPLE_NUMBER}, {KEY_UP, STATE_SAMPLE_NUMBER}, {KEY_UP, STATE_SAMPLE_NUMBER},
          {KEY_SOFT4, STATE_SINGLE_MEASURE}});
    ASSERT_GT(gfShownAbs, -0.3);
    ASSERT_LT(gfShownAbs, 2.49);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(Sent(), match,
                                 std::regex("Date     Time  No Value  Units nm\r\n"
                                            "\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d 03 (.{6}) A     600\r\n")))
        << Sent();
    EXPECT_EQ(match[1].str(), AbsorbanceField(gfShownAbs));

    // A second print of the same run has no heading.
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_SAMPLE_NUMBER}, {KEY_SOFT4, STATE_SINGLE_MEASURE}});
    EXPECT_TRUE(std::regex_match(Sent(), std::regex("\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d 03 .{6} A     600\r\n")))
        << Sent();
    // Escape from "Sample No." prints nothing.
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_SAMPLE_NUMBER}, {KEY_ESCAPE, STATE_SINGLE_MEASURE}});
    EXPECT_EQ(Sent(), "");
}

TEST_F(PrintingTest, PcGetsTheRatioRecordThroughSampleNumber)
{
    PowerUpToMainMenu();
    SetOutputDevice(2);
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT1, STATE_CHOOSE_MEASUREMENT}, {KEY_SOFT3, STATE_RATIO_MEASURE}});
    Reading(KEY_REF);
    Reading(KEY_TEST);
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_SAMPLE_NUMBER}, {KEY_DOWN, STATE_SAMPLE_NUMBER}, {KEY_SOFT4, STATE_RATIO_MEASURE}});
    std::smatch match;
    ASSERT_TRUE(std::regex_match(Sent(), match,
                                 std::regex("\r\n\\d\\d,\\d\\d,\\d\\d,\\d\\d,\\d\\d,00,(.{6}),A,360,(.{6}),A,380,(.{6}),A1/A2\r\n")))
        << Sent();
    EXPECT_EQ(match[1].str(), AbsorbanceField(gfRatioA1));
    EXPECT_EQ(match[2].str(), AbsorbanceField(gfRatioA2));
    EXPECT_EQ(match[3].str(), AbsorbanceField(gfRatio));
}

TEST_F(PrintingTest, AutoPrintPrintsEveryTestWithTheNextSampleNumber)
{
    PowerUpToMainMenu();
    SetOutputDevice(2);
    SetAutoPrint(1);
    SetSampleNumber(7);
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT2, STATE_DENSITY_OR_PROTEINS}, {KEY_SOFT1, STATE_CELL_DENSITY}});
    Reading(KEY_REF);
    EXPECT_EQ(Sent().find(",OD,"), std::string::npos) << "a reference reading prints nothing";
    Host().ClearSerialText();
    Reading(KEY_TEST);
    Reading(KEY_TEST);
    std::string s = Sent();
    std::regex record("\r\n\\d\\d,\\d\\d,\\d\\d,\\d\\d,\\d\\d,(\\d\\d),.{3,6},OD,600\r\n");
    std::vector<std::string> asNumbers;
    for (std::sregex_iterator it(s.begin(), s.end(), record), end; it != end; ++it)
        asNumbers.push_back((*it)[1].str());
    EXPECT_EQ(asNumbers, (std::vector<std::string>{"07", "08"})) << s;
    EXPECT_EQ(gunSampleNumber, 8);
}

TEST_F(PrintingTest, WithoutAutoPrintTheNumberAdvancesAtTheReadingAfterAPrint)
{
    SingleWithSample();
    SetOutputDevice(2);
    Walk({{KEY_SOFT4, STATE_SAMPLE_NUMBER}, {KEY_SOFT4, STATE_SINGLE_MEASURE}});
    EXPECT_EQ(gunSampleNumber, 1);
    Reading(KEY_TEST);
    EXPECT_EQ(gunSampleNumber, 2);
    Reading(KEY_TEST);
    EXPECT_EQ(gunSampleNumber, 2);
}

TEST_F(PrintingTest, EachTestSendsTheReadingRecordAndSetsTheAnalogueOutput)
{
    SingleWithSample();
    EXPECT_EQ(gunAnaOutput, AbsorbanceToOutput(gfShownAbs));
    EXPECT_EQ(gnAnaMode, ANA_DIRECT);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(Sent(), match, std::regex("600 nm\t(.{6}) Abs\t\\d\\d:\\d\\d\t\\d\\d/\\d\\d/\\d\\d \\(dd/mm/yy\\)\r\n")))
        << Sent();
    EXPECT_EQ(match[1].str(), AbsorbanceField(gfShownAbs));
}

TEST_F(PrintingTest, ScanPlaysItsSpectrumAndPrintsItsGraph)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT4, STATE_SCAN}});
    Reading(KEY_REF);
    Press(KEY_TEST);
    Host().AdvanceMs(5500);
    EXPECT_EQ(gnAnaMode, ANA_PLAYBACK);
    Host().AdvanceMs(11000);  // 501 points at 20 ms
    EXPECT_EQ(gnAnaMode, ANA_DIRECT);
    EXPECT_EQ(gunAnaOutput, AbsorbanceToOutput(Absorbance(830)));

    SetOutputDevice(0);
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_SAMPLE_NUMBER}, {KEY_SOFT4, STATE_SCAN}});
    std::string s = Sent();
    std::smatch match;
    ASSERT_TRUE(std::regex_search(s, match, std::regex("^Date : \\d\\d/\\d\\d/\\d\\d\r\nTime : \\d\\d:\\d\\d\r\nSample No. : 01\r\n")))
        << s.substr(0, 80);
    EXPECT_EQ(s.size(), match[0].length() + HARDCOPY_OTHER_BYTES);
}

TEST_F(PrintingTest, MethodSummaryPrintsTheMethod)
{
    PowerUpToMainMenu();
    SetOutputDevice(0);
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT3, STATE_METHOD_LIST}, {KEY_SOFT4, STATE_METHOD_SUMMARY}});
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_METHOD_SUMMARY}});
    // A free slot loads as the defaults: thirteen "X", 550 nm, factor 1.
    EXPECT_TRUE(std::regex_match(Sent(), std::regex("Date : \\d\\d/\\d\\d/\\d\\d\r\nTime : \\d\\d:\\d\\d\r\n"
                                                    "Method : 00\r\nName : XXXXXXXXXXXXX\r\n"
                                                    "Wavelength : 550\r\nFactor :  1.0000\r\n\r\n")))
        << Sent();
    Host().ClearSerialText();
    SetOutputDevice(2);
    Walk({{KEY_SOFT4, STATE_METHOD_SUMMARY}});
    EXPECT_TRUE(std::regex_match(Sent(), std::regex("\r\n(\\d\\d,){5}01,,00,XXXXXXXXXXXXX,550, 1.0000,g/l\r\n"))) << Sent();
}

}  // namespace
