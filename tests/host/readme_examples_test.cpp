// The scenarios the README shows: each is a file in examples/, shown as it
// is, and each runs to its end under halden-cli.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/firmware_fixture.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> ExampleNames()
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(HALDEN_SOURCE_DIR) / "examples"))
        if (entry.path().extension() == ".scn")
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// Every ```scn block of the README follows a line naming its file and holds
// that file's text exactly.
TEST(ReadmeExamplesTest, EveryScenarioBlockIsItsExampleFile)
{
    std::istringstream readme(ReadWholeFile(fs::path(HALDEN_SOURCE_DIR) / "README.md"));
    std::regex caption(".*`(examples/[A-Za-z0-9_]+\\.scn)`:?\\s*");
    std::string sLine, sCaption, sPrevious;
    int nBlocks = 0;
    while (std::getline(readme, sLine)) {
        std::smatch match;
        if (std::regex_match(sLine, match, caption))
            sCaption = match[1];
        else if (!sLine.empty() && sLine != "```scn")
            sCaption.clear();
        if (sLine != "```scn")
            continue;
        ASSERT_FALSE(sCaption.empty()) << "a scenario block in the README names no file in examples/";
        std::string sBlock;
        while (std::getline(readme, sLine) && sLine != "```")
            sBlock += sLine + "\n";
        EXPECT_EQ(sBlock, ReadWholeFile(fs::path(HALDEN_SOURCE_DIR) / sCaption)) << sCaption;
        sCaption.clear();
        nBlocks++;
    }
    EXPECT_GE(nBlocks, 4);
}

// The README's list of screen states is what halden-cli --states prints from
// the state table. HALDEN_UPDATE_README=1 writes the list into the README.
TEST_F(ScratchDirTest, ReadmeListsTheScreenStatesOfTheTable)
{
    ASSERT_EQ(std::system((std::string(HALDEN_CLI) + " --states >states.txt").c_str()), 0);
    std::string sStates = ReadWholeFile("states.txt");
    ASSERT_NE(sStates.find(" 11 main-menu\n"), std::string::npos) << sStates;
    fs::path readme = fs::path(HALDEN_SOURCE_DIR) / "README.md";
    std::string sReadme = ReadWholeFile(readme);
    const std::string sCaption = "`halden-cli --states`:\n\n```\n";
    size_t nBegin = sReadme.find(sCaption);
    ASSERT_NE(nBegin, std::string::npos) << "the README has no list of screen states";
    nBegin += sCaption.size();
    size_t nEnd = sReadme.find("```\n", nBegin);
    ASSERT_NE(nEnd, std::string::npos);
    if (std::getenv("HALDEN_UPDATE_README")) {
        std::ofstream(readme, std::ios::binary) << sReadme.substr(0, nBegin) + sStates + sReadme.substr(nEnd);
        return;
    }
    EXPECT_EQ(sReadme.substr(nBegin, nEnd - nBegin), sStates);
}

class ExampleScenarioTest : public ScratchDirTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(ExampleScenarioTest, RunsToItsEnd)
{
    std::string sCommand = std::string(HALDEN_CLI) + " " + HALDEN_SOURCE_DIR + "/examples/" + GetParam() +
                           ".scn >cli.out 2>cli.err";
    int nRaw = std::system(sCommand.c_str());
    ASSERT_TRUE(WIFEXITED(nRaw));
    EXPECT_EQ(WEXITSTATUS(nRaw), 0) << ReadWholeFile("cli.err");
    EXPECT_EQ(ReadWholeFile("cli.err"), "");
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleScenarioTest, ::testing::ValuesIn(ExampleNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });
