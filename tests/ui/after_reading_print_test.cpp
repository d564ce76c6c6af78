// The print step after every sample reading on a measuring screen: with
// auto-print on, each TEST prints the shown result, the first with the
// stored sample number and each later one with the next; with it off,
// nothing prints and the number advances once after a printed result.
#include <cstdio>
#include <regex>
#include <string>

#include "comms/report.h"
#include "storage/params.h"
#include "ui/ui_fixture.h"
#include "ui/ui_internal.h"

namespace {

class AfterReadingPrintTest : public UiTest {
protected:
    void Reading(uint8_t bKey)
    {
        Press(bKey);
        Host().AdvanceMs(6000);
    }
    // Result records of the PC layout since the last call: "dd,mm,yy,hh,mm,NN,...".
    std::string NewOutput()
    {
        std::string s = Host().SerialText().substr(m_nSeen);
        m_nSeen = Host().SerialText().size();
        return s;
    }
    size_t m_nSeen = 0;
};

// True when the text holds a result record numbered nSample (after the date
// and time fields).
bool HasRecord(const std::string& s, int nSample)
{
    char szPattern[64];
    std::snprintf(szPattern, sizeof szPattern, "(^|\n)([0-9]{2},){5}%02d,", nSample);
    return std::regex_search(s, std::regex(szPattern));
}

TEST_F(AfterReadingPrintTest, AutoPrintNumbersEveryPrintedReadingButTheFirst)
{
    PowerUpToMainMenu();
    SetAutoPrint(1);
    SetSampleNumber(7);
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT1, STATE_CHOOSE_MEASUREMENT}, {KEY_SOFT3, STATE_RATIO_MEASURE}});
    Reading(KEY_REF);
    NewOutput();
    EXPECT_EQ(NewOutput(), "") << "a reference prints nothing";
    Reading(KEY_TEST);
    std::string sFirst = NewOutput();
    EXPECT_TRUE(HasRecord(sFirst, 7)) << sFirst;
    EXPECT_EQ(gunSampleNumber, 7);
    EXPECT_EQ(gunPrintReturnState, STATE_RATIO_MEASURE);
    Reading(KEY_TEST);
    std::string sSecond = NewOutput();
    EXPECT_TRUE(HasRecord(sSecond, 8)) << sSecond;
    EXPECT_EQ(gunSampleNumber, 8);
    // The ratio's wavelengths go with it.
    EXPECT_EQ(gReport.bKind, REPORT_RATIO);
    EXPECT_EQ(gReport.aunNm[0], gunWavelengthB);
    EXPECT_EQ(gReport.aunNm[1], gunWavelengthC);
}

TEST_F(AfterReadingPrintTest, WithoutAutoPrintTheNumberFollowsPrintedResults)
{
    PowerUpToMainMenu();
    SetAutoPrint(0);
    SetSampleNumber(7);
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT2, STATE_DENSITY_OR_PROTEINS}, {KEY_SOFT1, STATE_CELL_DENSITY}});
    Reading(KEY_REF);
    Reading(KEY_TEST);
    NewOutput();
    Reading(KEY_TEST);
    EXPECT_EQ(NewOutput().find(",OD,"), std::string::npos) << "only the reading record, no result";
    EXPECT_EQ(gunSampleNumber, 7);
    gbPrintedSinceReading = 1;  // as after a print from "Sample No."
    Reading(KEY_TEST);
    EXPECT_EQ(gunSampleNumber, 8);
    EXPECT_EQ(gbPrintedSinceReading, 0);
    Reading(KEY_TEST);
    EXPECT_EQ(gunSampleNumber, 8);
    EXPECT_EQ(gReport.bKind, REPORT_CELL_DENSITY);
}

}  // namespace
