// The generator of the text tables: faulty sources stop the build with a
// message that names the file and line, and good ones give the tables.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>

#include "support/firmware_fixture.h"

namespace {

struct GenRun {
    int nStatus;
    std::string sError;
    std::string sOutput;
};

std::string ReadFile(const std::string& sPath)
{
    std::ifstream file(sPath, std::ios::binary);
    std::stringstream ss;
    ss << file.rdbuf();
    return ss.str();
}

class TextgenTest : public ScratchDirTest {
protected:
    GenRun Textgen(const std::string& sArgs)
    {
        std::string sCommand = std::string(HALDEN_TEXTGEN) + " " + sArgs + " out.cpp 2>err.txt";
        int nRaw = std::system(sCommand.c_str());
        return {WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1, ReadFile("err.txt"), ReadFile("out.cpp")};
    }
    static void Write(const std::string& sPath, const std::string& sText) { std::ofstream(sPath) << sText; }
};

// One language row: number, five texts, optional room.
std::string Row(int n, const std::string& sEnglish, const std::string& sOther, const std::string& sRoom = "")
{
    std::string s = std::to_string(n) + "\t\"" + sEnglish + "\"";
    for (int l = 0; l < 4; l++)
        s += "\t" + sOther;
    return s + (sRoom.empty() ? "" : "\t" + sRoom) + "\n";
}

// A full table of 330 rows with one row replaced.
std::string Table(int nReplaced, const std::string& sRow)
{
    std::string s = "# test table\n";
    for (int n = 0; n < 330; n++)
        s += n == nReplaced ? sRow : Row(n, "Text " + std::to_string(n), "=");
    return s;
}

}  // namespace

TEST_F(TextgenTest, LanguageTableChecks)
{
    struct Case {
        std::string sRow;
        int nReplaced;
        const char* pszMessage;  // empty: accepted
    } kCases[] = {
        {Row(7, "Run", "\"Lancer\"", "9"), 7, ""},
        {Row(7, "Run", "\"Lancer\""), 7, "texts.tsv:9: French text is 6 cells, the screens leave 3"},
        {Row(7, "Run", "\"Ex\\xE9c\""), 7, "byte 0xE9 is outside"},
        {Row(7, "Run", "\"Façade\"", "9"), 7, "'ç' is not in the display's character set"},
        {Row(7, "Run", "\"Ñu\""), 7, "'Ñ' is not in the display's character set"},
        {Row(7, "Run", "Lancer", "9"), 7, "a text is written in double quotes"},
        {Row(7, "Run", "\"Run\"", "41"), 7, "room must be 1..40 cells"},
        {Row(8, "Run", "="), 7, "numbered 0, 1, 2 ... in order; expected 7"},
        {"7\t=\t=\t=\t=\t=\n", 7, "the English text must be written out"},
        {"7\t\"Run\"\t\"R\"\n", 7, "expected number, five texts"},
        {Row(7, "a\\qb", "="), 7, "unknown escape"},
    };
    for (const Case& c : kCases) {
        Write("texts.tsv", Table(c.nReplaced, c.sRow));
        GenRun run = Textgen("language texts.tsv");
        if (*c.pszMessage == '\0') {
            EXPECT_EQ(run.nStatus, 0) << c.sRow << run.sError;
        } else {
            EXPECT_EQ(run.nStatus, 1) << c.sRow;
            EXPECT_NE(run.sError.find(c.pszMessage), std::string::npos) << c.sRow << " gave: " << run.sError;
        }
    }
    Write("texts.tsv", Table(-1, "") + Row(330, "extra", "="));
    EXPECT_EQ(Textgen("language texts.tsv").nStatus, 1);
    Write("texts.tsv", Table(329, ""));
    EXPECT_NE(Textgen("language texts.tsv").sError.find("expected 330 texts, found 329"), std::string::npos);
}

TEST_F(TextgenTest, SharedStringsAreStoredOnce)
{
    Write("texts.tsv", Table(5, Row(5, "µA\\\"q\\\\", "=")));
    GenRun run = Textgen("language texts.tsv");
    ASSERT_EQ(run.nStatus, 0) << run.sError;
    // The hex escape is closed before "A", which would otherwise join it.
    EXPECT_NE(run.sOutput.find(R"("\x86" "A\"q\\";)"), std::string::npos) << run.sOutput.substr(0, 400);
    // "Text 0" .. "Text 329" and the one special text: one string each, shared by five languages.
    size_t nStrings = 0;
    for (size_t at = run.sOutput.find("const char kszText"); at != std::string::npos;
         at = run.sOutput.find("const char kszText", at + 1))
        nStrings++;
    EXPECT_EQ(nStrings, 330u);
}

TEST_F(TextgenTest, FontAndImageChecks)
{
    std::string sSmall = ReadFile(std::string(HALDEN_SOURCE_DIR) + "/resources/fonts/font0_small.txt");
    std::string sLarge = ReadFile(std::string(HALDEN_SOURCE_DIR) + "/resources/fonts/font1_large.txt");
    std::string sDigits = ReadFile(std::string(HALDEN_SOURCE_DIR) + "/resources/fonts/font2_digits.txt");
    auto Fonts = [&](const std::string& sSmallText, const std::string& sDigitsText) {
        Write("small.txt", sSmallText);
        Write("large.txt", sLarge);
        Write("digits.txt", sDigitsText);
        return Textgen("fonts small.txt large.txt digits.txt");
    };
    EXPECT_EQ(Fonts(sSmall, sDigits).nStatus, 0);

    std::string sWide = sSmall;
    sWide.replace(sWide.find("glyph 0x41 A\n") + 13, 6, ".######");  // a 7-dot row
    GenRun run = Fonts(sWide, sDigits);
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_NE(run.sError.find("row is not 6 dots wide"), std::string::npos) << run.sError;

    std::string sMissing = sSmall.substr(0, sSmall.find("glyph 0x99"));
    run = Fonts(sMissing, sDigits);
    EXPECT_NE(run.sError.find("expected 122 glyphs, found 121"), std::string::npos) << run.sError;

    std::string sSwapped = sDigits;
    sSwapped.replace(sSwapped.find("glyph 0x2E"), 10, "glyph 0x2F");
    run = Fonts(sSmall, sSwapped);
    EXPECT_NE(run.sError.find("glyph 10 must be 0x2E, found 0x2F"), std::string::npos) << run.sError;

    std::string sImage = ReadFile(std::string(HALDEN_SOURCE_DIR) + "/resources/images/startup.txt");
    Write("image.txt", sImage);
    EXPECT_EQ(Textgen("image image.txt").nStatus, 0);
    Write("image.txt", sImage.substr(0, sImage.rfind('\n', sImage.size() - 2) + 1));
    run = Textgen("image image.txt");
    EXPECT_NE(run.sError.find("expected 128 rows, found 127"), std::string::npos) << run.sError;
}
