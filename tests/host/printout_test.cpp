// halden-cli's --printout and --chart: a reading and a scan printed on
// "PR2", compared with a reviewed picture (tests/golden/printer/), the
// chart of readings, and the refusal of names it cannot write.
//
// To accept a changed printout after looking at it, run with
// HALDEN_UPDATE_GOLDEN=1; a mismatch leaves printout-actual.png in the
// temporary directory.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "chart.h"
#include "comms/analogue.h"
#include "printer.h"
#include "printout_file.h"
#include "support/files.h"
#include "support/firmware_fixture.h"

namespace {

const std::string kGolden = std::string(HALDEN_SOURCE_DIR) + "/tests/golden/printer/pr2_reading_scan.png";
const std::string kScenarios = std::string(HALDEN_SOURCE_DIR) + "/tests/host/scenarios/";

struct Picture {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<uint8_t> abRgb;
};

bool ReadRgb(const std::string& sPath, Picture& picture)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, sPath.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    picture.nWidth = static_cast<int>(image.width);
    picture.nHeight = static_cast<int>(image.height);
    picture.abRgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, picture.abRgb.data(), 0, nullptr) != 0;
}

// The samples of the image of the given size in a PDF written by halden-cli
// (a Flate-compressed stream); empty when there is none.
std::string PdfImage(const std::string& sPdf, int nWidth, int nHeight)
{
    const std::string sSize = "/Width " + std::to_string(nWidth);
    for (size_t nAt = sPdf.find("/Subtype /Image"); nAt != std::string::npos;
         nAt = sPdf.find("/Subtype /Image", nAt + 1)) {
        const size_t nDictEnd = sPdf.find("stream", nAt);
        const std::string sDict = sPdf.substr(sPdf.rfind("<<", nAt), nDictEnd - sPdf.rfind("<<", nAt));
        if (sDict.find(sSize) == std::string::npos ||
            sDict.find("/Height " + std::to_string(nHeight)) == std::string::npos)
            continue;
        size_t nData = nDictEnd + 6;
        while (nData < sPdf.size() && (sPdf[nData] == '\r' || sPdf[nData] == '\n'))
            nData++;
        std::string sOut(static_cast<size_t>(nWidth) * nHeight, '\0');
        uLongf nOut = sOut.size();
        if (uncompress(reinterpret_cast<Bytef*>(sOut.data()), &nOut,
                       reinterpret_cast<const Bytef*>(sPdf.data() + nData), sPdf.size() - nData) != Z_OK)
            return "";
        sOut.resize(nOut);
        return sOut;
    }
    return "";
}

int RunCli(const std::string& sArguments)
{
    const std::string sCommand = std::string(HALDEN_CLI) + " " + sArguments + " >cli.out 2>&1";
    const int nStatus = std::system(sCommand.c_str());
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

// The corners of a chart written with --chart NAME.csv.
std::vector<ChartPoint> ReadChartCsv(const std::string& sPath)
{
    std::istringstream csv(ReadWholeFile(sPath));
    std::string sLine;
    std::getline(csv, sLine);
    EXPECT_EQ(sLine, "ms,value,absorbance");
    std::vector<ChartPoint> points;
    while (std::getline(csv, sLine)) {
        unsigned long long ullMs = 0;
        unsigned int unValue = 0;
        double dAbsorbance = 0;
        EXPECT_EQ(std::sscanf(sLine.c_str(), "%llu,%u,%lf", &ullMs, &unValue, &dAbsorbance), 3) << sLine;
        EXPECT_NEAR(dAbsorbance, ChartAbsorbance(static_cast<uint16_t>(unValue)), 1e-4);
        points.push_back({ullMs, static_cast<uint16_t>(unValue)});
    }
    return points;
}

class PrintoutTest : public ScratchDirTest {};

TEST_F(PrintoutTest, ReadingAndScanOnPr2MatchTheReviewedPrintout)
{
    // The instrument's clock starts at a set moment, so that the date and
    // time lines come out the same in every run.
    ASSERT_EQ(RunCli("--clock \"2024-02-28 09:30:00\" --printout out.png --printout out.txt --printout out.pdf " +
                     kScenarios + "printer_pr2.scn"),
              0)
        << ReadWholeFile("cli.out");

    // The text: the reading's record, the headed result line, the graph's lines.
    const std::string sText = ReadWholeFile("out.txt");
    const std::string sDate = "28/02/24", sTime = "09:30";
    EXPECT_TRUE(std::regex_match(sText, std::regex("600 nm\t 0\\.\\d{3} Abs\t" + sTime + "\t" + sDate + " \\(dd/mm/yy\\)\n"
                                                   "Date     Time  No Value  Units nm\n" +
                                                   sDate + " " + sTime + " 01  0\\.\\d{3} A     600\n"
                                                   "Date : " + sDate + "\nTime : " + sTime + "\nSample No. : 01\n")))
        << sText;

    Picture actual;
    ASSERT_TRUE(ReadRgb("out.png", actual));
    if (std::getenv("HALDEN_UPDATE_GOLDEN")) {
        std::filesystem::create_directories(std::filesystem::path(kGolden).parent_path());
        std::filesystem::copy_file("out.png", kGolden, std::filesystem::copy_options::overwrite_existing);
        GTEST_SKIP() << "rewrote " << kGolden;
    }
    Picture golden;
    ASSERT_TRUE(ReadRgb(kGolden, golden)) << kGolden;
    ASSERT_EQ(actual.nWidth, golden.nWidth);
    ASSERT_EQ(actual.nHeight, golden.nHeight);
    // Every row, the date and time lines too.
    int nDiffering = 0;
    for (int y = 0; y < actual.nHeight; y++) {
        const size_t nRow = static_cast<size_t>(3) * actual.nWidth * y;
        if (std::memcmp(&actual.abRgb[nRow], &golden.abRgb[nRow], static_cast<size_t>(3) * actual.nWidth) != 0)
            nDiffering++;
    }
    const auto actualCopy = std::filesystem::temp_directory_path() / "printout-actual.png";
    if (nDiffering)
        std::filesystem::copy_file("out.png", actualCopy, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(nDiffering, 0) << "pixel rows differ from " << kGolden << "; see " << actualCopy;

    // The PDF's one page holds the same dots, a byte each, 0 for ink.
    const std::string sPdf = ReadWholeFile("out.pdf");
    EXPECT_EQ(sPdf.substr(0, 5), "%PDF-");
    const int nRows = actual.nHeight / 2 - 2 * PAPER_MARGIN_DOTS;
    const std::string sGray = PdfImage(sPdf, CPrinter::WIDTH, nRows);
    ASSERT_EQ(sGray.size(), static_cast<size_t>(CPrinter::WIDTH) * nRows);
    int nWrongDots = 0;
    for (int y = 0; y < nRows; y++)
        for (int x = 0; x < CPrinter::WIDTH; x++) {
            const size_t nPixel = 3 * (static_cast<size_t>(2 * (PAPER_MARGIN_DOTS + y)) * actual.nWidth +
                                       2 * (PAPER_MARGIN_DOTS + x));
            const bool bInk = actual.abRgb[nPixel] == INK_RGB[0] && actual.abRgb[nPixel + 1] == INK_RGB[1];
            nWrongDots += bInk != (sGray[static_cast<size_t>(y) * CPrinter::WIDTH + x] == 0);
        }
    EXPECT_EQ(nWrongDots, 0);
}

TEST_F(PrintoutTest, NamesItCannotWriteAreRefusedBeforeTheRun)
{
    const std::pair<const char*, const char*> acases[] = {
        {"--printout out.jpg", "--printout: 'out.jpg' does not end in .png, .pdf or .txt"},
        {"--printout", "--printout needs a PATH"},
        {"--chart out.pdf", "--chart: 'out.pdf' does not end in .png or .csv"},
        {"--chart", "--chart needs a PATH"},
    };
    for (auto [pszArguments, pszMessage] : acases) {
        EXPECT_EQ(RunCli(pszArguments), 2) << pszArguments;
        EXPECT_NE(ReadWholeFile("cli.out").find(pszMessage), std::string::npos) << ReadWholeFile("cli.out");
    }
    // Paths that cannot be written are refused with the system's reason
    // before anything runs, and nothing is left behind.
    std::filesystem::create_directory("dir.png");
    WriteWholeFile("idle.scn", "snapshot ran.png\nwait 1s\n");
    const std::pair<const char*, const char*> aPaths[] = {
        {"--printout dir.png", "cannot write dir.png: Is a directory"},
        {"--chart missing/out.csv", "cannot write missing/out.csv: No such file or directory"},
        {"--chart good.csv --printout missing/out.txt", "cannot write missing/out.txt: No such file or directory"},
    };
    for (auto [pszArguments, pszMessage] : aPaths) {
        EXPECT_EQ(RunCli(std::string(pszArguments) + " idle.scn"), 2) << pszArguments;
        EXPECT_NE(ReadWholeFile("cli.out").find(pszMessage), std::string::npos) << ReadWholeFile("cli.out");
        EXPECT_FALSE(std::filesystem::exists("ran.png"));
        EXPECT_FALSE(std::filesystem::exists("good.csv"));
    }
}

// Chart of readings: the output rests at the bottom of the scale (A = -1)
// from power-up, steps to the sample's absorbance at a test, and to its
// transmittance at a test in %T mode.
TEST_F(PrintoutTest, ChartOfReadingsStepsToEachReading)
{
    WriteWholeFile("readings.scn",
                   "key standby\nwait-screen self-test-passed within 2m\nkey soft2\nwait-screen main-menu within 1s\n"
                   "key soft2\nkey soft1\nkey soft1\nwait-screen single-measure within 1s\n"
                   "key ref\nwait 6s\nkey test\nwait 6s\nkey soft1\nkey test\nwait 6s\n"
                   "sendln \"CONTROL\"\nexpect \"E00\\r\\n\"\nsendln \"READA? 600\"\nexpect \" 600\\r\\n\"\n"
                   "sendln \"READT? 600\"\nexpect \" 600\\r\\n\"\n"
                   "sendln \"RELEASE\"\nexpect \"E00\\r\\n\"\n");
    ASSERT_EQ(RunCli("--serial-log serial.log --chart out.csv --chart out.png readings.scn"), 0)
        << ReadWholeFile("cli.out");
    std::smatch match;
    const std::string sLog = ReadWholeFile("serial.log");
    ASSERT_TRUE(std::regex_search(sLog, match, std::regex("E00 +(-?\\d\\.\\d{3}) 600\r\nE00 +(\\d+\\.?\\d*) 600")))
        << sLog;
    const uint16_t unAbsorbance = AbsorbanceToOutput(std::stod(match[1].str()));
    const uint16_t unTransmittance = TransmittanceToOutput(std::stod(match[2].str()));

    const std::vector<ChartPoint> points = ReadChartCsv("out.csv");
    // Corners: 65535 from 0 to the first test, a step to its absorbance,
    // held until the second, a step to the transmittance, held to the end.
    ASSERT_EQ(points.size(), 6u) << ReadWholeFile("out.csv");
    // READA? gives three decimals: half a thousandth is 6.6 counts.
    const uint16_t aunValues[] = {65535, 65535, unAbsorbance, unAbsorbance, unTransmittance, unTransmittance};
    const int anSlack[] = {0, 0, 7, 7, 0, 0};
    for (size_t i = 0; i < points.size(); i++)
        EXPECT_NEAR(points[i].unValue, aunValues[i], anSlack[i]) << i;
    EXPECT_EQ(points[2].unValue, points[3].unValue);
    EXPECT_EQ(points[0].ullMs, 0u);
    EXPECT_EQ(points[2].ullMs, points[1].ullMs + 1);  // a step, not a ramp
    EXPECT_EQ(points[4].ullMs, points[3].ullMs + 1);
    EXPECT_GE(points[4].ullMs - points[2].ullMs, 5000u);  // a reading's length apart
    // The picture: the pen's red line crosses the chart from end to end.
    Picture chart;
    ASSERT_TRUE(ReadRgb("out.png", chart));
    std::vector<bool> abPenColumn(static_cast<size_t>(chart.nWidth));
    for (size_t i = 0; i + 2 < chart.abRgb.size(); i += 3)
        if (chart.abRgb[i] == 200 && chart.abRgb[i + 1] == 20 && chart.abRgb[i + 2] == 20)
            abPenColumn[i / 3 % static_cast<size_t>(chart.nWidth)] = true;
    EXPECT_GT(std::count(abPenColumn.begin(), abPenColumn.end(), true), chart.nWidth * 3 / 4);
}

// A kinetics run feeds the chart live: the pen stays at the bottom until
// the run's first reading reaches it, then follows the readings (each one
// sent on the serial port as its record) and rests on the last. The
// recorded sample gives the same absorbance every time, so the line is
// flat after the first reading; the ramps between changing readings are
// ChartTest's.
TEST_F(PrintoutTest, ChartOfAKineticsRunFollowsItsReadings)
{
    ASSERT_EQ(RunCli("--serial-log serial.log --chart out.csv " + std::string(HALDEN_SOURCE_DIR) +
                     "/tests/ui/scenarios/kinetics_method.scn"),
              0)
        << ReadWholeFile("cli.out");
    const std::string sLog = ReadWholeFile("serial.log");
    std::vector<uint16_t> aunReadings;
    const std::regex record("\\d+ nm\t *(-?\\d+\\.\\d{3}) Abs\t");
    for (auto it = std::sregex_iterator(sLog.begin(), sLog.end(), record); it != std::sregex_iterator(); ++it)
        aunReadings.push_back(AbsorbanceToOutput(std::stod((*it)[1].str())));
    ASSERT_GE(aunReadings.size(), 4u) << sLog;  // at 0, 10, 20 and 30 s
    const auto [itLow, itHigh] = std::minmax_element(aunReadings.begin(), aunReadings.end());

    const std::vector<ChartPoint> points = ReadChartCsv("out.csv");
    ASSERT_GE(points.size(), 3u);
    EXPECT_EQ(points[0].unValue, 65535);
    size_t nFirst = 1;
    while (nFirst < points.size() && points[nFirst].unValue == 65535)
        nFirst++;
    ASSERT_LT(nFirst, points.size());
    EXPECT_GT(points[nFirst].ullMs, 30000u);  // not before the start-up, the method and the reference
    for (size_t i = nFirst; i < points.size(); i++) {
        EXPECT_GE(points[i].unValue, *itLow - 7) << i;  // three decimals in the record
        EXPECT_LE(points[i].unValue, *itHigh + 7) << i;
    }
    EXPECT_NEAR(points.back().unValue, aunReadings.back(), 7);
}

}  // namespace
