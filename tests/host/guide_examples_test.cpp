// The guide (README.md and docs/*.md) against the repository: every example
// it shows is a file that is shown as it is and that runs, every link leads
// somewhere, and every chapter can be reached from the README.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "eeprom_tool.h"
#include "escape.h"
#include "scenario_parse.h"
#include "support/files.h"
#include "support/firmware_fixture.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSource = HALDEN_SOURCE_DIR;

// Chapters other engineers are writing at the moment: a link to one of them
// is accepted while the file does not exist yet.
const std::set<std::string> kChaptersUnderWay = {};

// README.md and every chapter in docs/, as paths relative to the source tree.
std::vector<std::string> GuideFiles()
{
    std::vector<std::string> files = {"README.md"};
    for (const auto& entry : fs::directory_iterator(kSource / "docs"))
        if (entry.path().extension() == ".md")
            files.push_back("docs/" + entry.path().filename().string());
    std::sort(files.begin() + 1, files.end());
    return files;
}

std::vector<std::string> ExampleNames()
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kSource / "examples"))
        if (entry.path().extension() == ".scn")
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct FencedBlock {
    int nLine = 0;         // of the opening fence
    std::string sInfo;     // the word after the opening fence ("scn", "json", or empty)
    std::string sCaption;  // the file the last line of text before it names ("`examples/x.scn`:"), or empty
    std::string sText;
};

std::vector<FencedBlock> FencedBlocks(const std::string& sMarkdown)
{
    static const std::regex caption(".*`((?:examples|tests|resources|docs)/[A-Za-z0-9_./-]+)`:\\s*");
    std::vector<FencedBlock> blocks;
    std::istringstream in(sMarkdown);
    std::string sLine, sPrevious;
    int nLine = 0;
    while (std::getline(in, sLine)) {
        nLine++;
        if (!sLine.starts_with("```")) {
            if (!sLine.empty())
                sPrevious = sLine;
            continue;
        }
        FencedBlock block;
        block.nLine = nLine;
        block.sInfo = sLine.substr(3);
        std::smatch match;
        if (std::regex_match(sPrevious, match, caption))
            block.sCaption = match[1];
        while (std::getline(in, sLine) && !sLine.starts_with("```")) {
            nLine++;
            block.sText += sLine + "\n";
        }
        nLine++;
        blocks.push_back(block);
        sPrevious.clear();
    }
    return blocks;
}

// GitHub's anchor of a heading: lower case, punctuation dropped, blanks as '-'.
std::string Anchor(const std::string& sHeading)
{
    std::string sAnchor;
    for (unsigned char c : sHeading) {
        if (std::isalnum(c) || c == '-' || c == '_' || c >= 0x80)
            sAnchor += static_cast<char>(std::tolower(c));
        else if (c == ' ')
            sAnchor += '-';
    }
    return sAnchor;
}

std::set<std::string> Anchors(const std::string& sMarkdown)
{
    std::set<std::string> anchors;
    std::istringstream in(sMarkdown);
    std::string sLine;
    bool bFenced = false;
    while (std::getline(in, sLine)) {
        if (sLine.starts_with("```"))
            bFenced = !bFenced;
        else if (!bFenced && sLine.starts_with("#"))
            anchors.insert(Anchor(sLine.substr(sLine.find_first_not_of("# "))));
    }
    return anchors;
}

// Relative link targets, "file#anchor" or "#anchor", outside code.
std::vector<std::string> Links(const std::string& sMarkdown)
{
    static const std::regex link("\\]\\(([^)\\s]+)\\)|<img src=\"([^\"]+)\"");
    std::vector<std::string> links;
    std::istringstream in(sMarkdown);
    std::string sLine;
    bool bFenced = false;
    while (std::getline(in, sLine)) {
        if (sLine.starts_with("```"))
            bFenced = !bFenced;
        if (bFenced || sLine.starts_with("    "))
            continue;
        for (std::sregex_iterator it(sLine.begin(), sLine.end(), link), end; it != end; ++it) {
            std::string sTarget = (*it)[1].matched ? (*it)[1].str() : (*it)[2].str();
            if (sTarget.find("://") == std::string::npos)
                links.push_back(sTarget);
        }
    }
    return links;
}

}  // namespace

// A block captioned with a file ("`examples/first_look.scn`:") holds that
// file's text exactly, and every scenario or JSON block has such a caption,
// so an example in the guide cannot drift from the file the tests run.
TEST(GuideExamplesTest, EveryExampleBlockIsItsFile)
{
    std::set<std::string> shown;
    for (const std::string& sFile : GuideFiles()) {
        for (const FencedBlock& block : FencedBlocks(ReadWholeFile(kSource / sFile))) {
            const std::string sWhere = sFile + ":" + std::to_string(block.nLine);
            if (block.sInfo == "scn" || block.sInfo == "json" || block.sInfo == "console") {
                EXPECT_FALSE(block.sCaption.empty()) << sWhere << ": a " << block.sInfo
                                                     << " block must follow a line naming its file, as `examples/x."
                                                     << block.sInfo << "`:";
            }
            if (block.sCaption.empty())
                continue;
            ASSERT_TRUE(fs::is_regular_file(kSource / block.sCaption)) << sWhere << ": " << block.sCaption;
            EXPECT_EQ(block.sText, ReadWholeFile(kSource / block.sCaption)) << sWhere << " shows " << block.sCaption;
            shown.insert(block.sCaption);
        }
    }
    // The examples the chapters are built around.
    for (const char* pszFile : {"examples/first_look.scn", "examples/single_reading.scn",
                                "examples/remote_session.scn", "examples/stray_light_calibration.scn",
                                "examples/display_script.scn", "examples/methods.json", "examples/proteins.json",
                                "examples/pc_client.out", "tests/docs/console.console",
                                "tests/docs/scenario_errors.console", "tests/docs/eeprom_tool.console"})
        EXPECT_TRUE(shown.count(pszFile)) << pszFile << " is not shown in the guide";
}

// Every relative link and picture of the guide names a file that exists,
// and an anchor names a heading of that file; every chapter in docs/ is
// linked from the README's table of contents.
TEST(GuideExamplesTest, LinksLeadToChaptersAndHeadings)
{
    const std::string sReadme = ReadWholeFile(kSource / "README.md");
    std::set<std::string> linkedFromReadme;
    for (const std::string& sFile : GuideFiles()) {
        const fs::path dir = fs::path(sFile).parent_path();
        const std::string sText = ReadWholeFile(kSource / sFile);
        for (const std::string& sLink : Links(sText)) {
            const size_t nHash = sLink.find('#');
            const std::string sPath = sLink.substr(0, nHash);
            const std::string sAnchor = nHash == std::string::npos ? "" : sLink.substr(nHash + 1);
            const std::string sTarget =
                sPath.empty() ? sFile : (dir / sPath).lexically_normal().generic_string();
            if (sFile == "README.md")
                linkedFromReadme.insert(sTarget);
            if (kChaptersUnderWay.count(sTarget) && !fs::exists(kSource / sTarget))
                continue;
            ASSERT_TRUE(fs::exists(kSource / sTarget)) << sFile << " links to " << sLink << ", which does not exist";
            if (!sAnchor.empty()) {
                EXPECT_TRUE(Anchors(ReadWholeFile(kSource / sTarget)).count(sAnchor))
                    << sFile << " links to " << sLink << ": no such heading in " << sTarget;
            }
        }
    }
    for (const std::string& sFile : GuideFiles()) {
        if (sFile != "README.md") {
            EXPECT_TRUE(linkedFromReadme.count(sFile)) << sFile << " is not linked from the README";
        }
    }
}

// The README stays a page that fits on two screens.
TEST(GuideExamplesTest, ReadmeIsShort)
{
    const std::string sReadme = ReadWholeFile(kSource / "README.md");
    EXPECT_LE(std::count(sReadme.begin(), sReadme.end(), '\n'), 160);
}

// The methods and protein assays the stored-settings chapter shows import
// into a new image and export again unchanged.
TEST_F(ScratchDirTest, EepromJsonExamplesImportAndExportUnchanged)
{
    struct Case {
        const char* pszFile;
        const char* pszImport;
        const char* pszExport;
    };
    for (const Case& c : {Case{"examples/methods.json", "import-methods", "export-methods"},
                          Case{"examples/proteins.json", "import-proteins", "export-proteins"}}) {
        SCOPED_TRACE(c.pszFile);
        std::ostringstream out, err;
        ASSERT_EQ(RunEepromTool({c.pszImport, "eeprom.bin", (kSource / c.pszFile).string()}, out, err), EEPROM_TOOL_OK)
            << err.str();
        ASSERT_EQ(RunEepromTool({c.pszExport, "eeprom.bin", "out.json"}, out, err), EEPROM_TOOL_OK) << err.str();
        const nlohmann::json shown = nlohmann::json::parse(ReadWholeFile(kSource / c.pszFile));
        const nlohmann::json exported = nlohmann::json::parse(ReadWholeFile("out.json"));
        if (shown["format"] == "halden-methods") {
            EXPECT_EQ(exported, shown);
            continue;
        }
        // export-proteins writes all four assays; the example sets one.
        for (const auto& assay : shown["assays"]) {
            auto it = std::find_if(exported["assays"].begin(), exported["assays"].end(),
                                   [&](const nlohmann::json& a) { return a["assay"] == assay["assay"]; });
            ASSERT_NE(it, exported["assays"].end());
            EXPECT_EQ(*it, assay);
        }
    }
}

// The halden-cli chapter describes every command of the parser's table
// under a heading of its own, and every option halden-cli --help-all names
// in its table of options; the manual page names every option too.
TEST_F(ScratchDirTest, HaldenCliChapterDescribesEveryCommandAndOption)
{
    const std::string sChapter = ReadWholeFile(kSource / "docs" / "halden-cli.md");
    std::vector<std::string> headings;
    std::istringstream in(sChapter);
    for (std::string sLine; std::getline(in, sLine);)
        if (sLine.starts_with("### "))
            headings.push_back(" " + sLine.substr(4) + ",");
    for (const std::string& sUsage : ScenarioCommandUsages()) {
        const std::string sName = sUsage.substr(0, sUsage.find(' '));
        const bool bFound = std::any_of(headings.begin(), headings.end(), [&](const std::string& sHeading) {
            return sHeading.find(" " + sName + " ") != std::string::npos ||
                   sHeading.find(" " + sName + ",") != std::string::npos;
        });
        EXPECT_TRUE(bFound) << "docs/halden-cli.md has no heading '### " << sUsage << "' under Commands";
    }

    ASSERT_EQ(std::system((std::string(HALDEN_CLI) + " --help-all >help.txt").c_str()), 0);
    const std::string sHelp = ReadWholeFile("help.txt");
    const std::string sManual = ReadWholeFile(kSource / "docs" / "man" / "halden-cli.1");
    const std::regex option("--[a-z][a-z-]*");
    int nOptions = 0;
    for (std::sregex_iterator it(sHelp.begin(), sHelp.end(), option), end; it != end; ++it, nOptions++) {
        EXPECT_NE(sChapter.find("| `" + it->str()), std::string::npos)
            << "docs/halden-cli.md's table of options has no row for " << it->str();
        // troff writes each '-' of an option as "\-".
        std::string sTroff;
        for (char c : it->str())
            sTroff += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(sManual.find(sTroff), std::string::npos) << "docs/man/halden-cli.1 does not name " << it->str();
    }
    EXPECT_GT(nOptions, 5) << sHelp;
}

// A console transcript of the guide (tests/docs/*.console): each "$ " line
// is run by bash in one scratch directory, with halden-cli and halden-eeprom
// on the PATH and examples/ beside it, and what it prints (standard output
// and error, CR LF as LF, blanks at line ends dropped) is the lines up to
// the next "$ ".
class ConsoleTranscriptTest : public ScratchDirTest, public ::testing::WithParamInterface<std::string> {};

namespace {

std::string WithoutTrailingBlanks(const std::string& sText)
{
    std::string sOut;
    std::istringstream in(sText);
    for (std::string sLine; std::getline(in, sLine);) {
        while (!sLine.empty() && (sLine.back() == ' ' || sLine.back() == '\r'))
            sLine.pop_back();
        sOut += sLine + "\n";
    }
    return sOut;
}

std::string ShellQuoted(const std::string& s)
{
    std::string sOut = "'";
    for (char c : s)
        sOut += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return sOut + "'";
}

std::vector<std::string> TranscriptNames()
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kSource / "tests" / "docs"))
        if (entry.path().extension() == ".console")
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST_P(ConsoleTranscriptTest, PrintsWhatTheGuideShows)
{
    fs::create_directory_symlink(kSource / "examples", "examples");
    const std::string sPath = "PATH=" + fs::path(HALDEN_CLI).parent_path().string() + ":" +
                              fs::path(HALDEN_EEPROM).parent_path().string() + ":/usr/bin:/bin";
    std::istringstream in(ReadWholeFile(kSource / "tests" / "docs" / (GetParam() + ".console")));
    std::vector<std::pair<std::string, std::string>> steps;  // command, what it prints
    for (std::string sLine; std::getline(in, sLine);) {
        if (sLine.starts_with("$ "))
            steps.push_back({sLine.substr(2), ""});
        else {
            ASSERT_FALSE(steps.empty()) << "the transcript must start with a '$ ' line";
            steps.back().second += sLine + "\n";
        }
    }
    ASSERT_FALSE(steps.empty());
    for (const auto& [sCommand, sExpected] : steps) {
        const std::string sRun = "env -u HALDEN_SAMPLES " + sPath + " bash -c " + ShellQuoted(sCommand) + " >out.txt 2>&1";
        std::system(sRun.c_str());
        EXPECT_EQ(WithoutTrailingBlanks(ReadWholeFile("out.txt")), WithoutTrailingBlanks(sExpected)) << "$ " << sCommand;
    }
}

INSTANTIATE_TEST_SUITE_P(Transcripts, ConsoleTranscriptTest, ::testing::ValuesIn(TranscriptNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// The PC conversation docs/pc-software.md draws beside the example session
// is what examples/remote_session.scn makes the instrument say: every reply
// line it shows (the parts between "..." marks) comes out of the port, in
// that order; only the ^T header's date and time differ from run to run.
TEST_F(ScratchDirTest, PcConversationIsWhatTheSessionSays)
{
    std::string sCommand = std::string(HALDEN_CLI) + " --serial-log session.log " + HALDEN_SOURCE_DIR +
                           "/examples/remote_session.scn >cli.out 2>cli.err";
    ASSERT_EQ(std::system(sCommand.c_str()), 0) << ReadWholeFile("cli.err");
    std::string sLog = ReadWholeFile("session.log");
    sLog.erase(std::remove(sLog.begin(), sLog.end(), '\r'), sLog.end());

    const FencedBlock* pConversation = nullptr;
    const std::vector<FencedBlock> blocks = FencedBlocks(ReadWholeFile(kSource / "docs" / "pc-software.md"));
    for (const FencedBlock& block : blocks)
        if (block.sText.starts_with("^H ") && block.sText.find("-> ") != std::string::npos)
            pConversation = &block;
    ASSERT_NE(pConversation, nullptr) << "docs/pc-software.md shows no conversation";

    static const std::regex dateHeader("[0-9]{2}(,[0-9]{2}){5},");
    size_t nAt = 0;
    int nChecked = 0;
    std::istringstream in(pConversation->sText);
    for (std::string sLine; std::getline(in, sLine);) {
        const size_t nArrow = sLine.find("-> ");
        std::string sReply = nArrow != std::string::npos ? sLine.substr(nArrow + 3) : sLine;
        sReply.erase(0, sReply.find_first_not_of(' '));
        if (sReply.empty() || sReply == "..." || std::regex_match(sReply, dateHeader))
            continue;
        for (size_t nFrom = 0; nFrom <= sReply.size();) {
            size_t nDots = sReply.find("...", nFrom);
            const std::string sPart = sReply.substr(nFrom, nDots == std::string::npos ? std::string::npos : nDots - nFrom);
            nFrom = nDots == std::string::npos ? sReply.size() + 1 : nDots + 3;
            if (sPart.empty())
                continue;
            const size_t nFound = sLog.find(sPart, nAt);
            EXPECT_NE(nFound, std::string::npos) << "'" << sPart << "' (from: " << sLine << ") is not in the session's output after byte " << nAt;
            if (nFound == std::string::npos)
                return;
            nAt = nFound + sPart.size();
            nChecked++;
        }
    }
    EXPECT_GT(nChecked, 10);
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

// The conversations of the protocol reference (docs/protocol.md, blocks
// marked "conversation") run against halden-cli, each from the main menu
// with a fresh EEPROM kept in memory: "> TEXT" lines are sent with CR LF
// (^H, ^R and ^T alone; ">" alone is an empty line), "(COMMAND)" lines are scenario commands such as
// (sample dye 50), and every other line is a line the instrument sends.
// "..." alone stands for any number of lines, inside a line for any text;
// everything else must be what the instrument sent, byte for byte.
namespace {

struct Conversation {
    int nLine = 0;
    std::string sScenario;
    std::vector<std::string> expected;
};

// Glob match with "..." for any run of characters.
bool LineMatches(const std::string& sPattern, const std::string& sLine)
{
    const size_t nDots = sPattern.find("...");
    if (nDots == std::string::npos)
        return sPattern == sLine;
    if (sLine.compare(0, nDots, sPattern, 0, nDots) != 0)
        return false;
    const std::string sRest = sPattern.substr(nDots + 3);
    for (size_t nFrom = nDots; nFrom <= sLine.size(); nFrom++)
        if (LineMatches(sRest, sLine.substr(nFrom)))
            return true;
    return false;
}

// The expected lines against the sent ones, a "..." line taking any number
// of them; memoised over (pattern line, sent line).
bool LinesMatch(const std::vector<std::string>& expected, size_t nExpected, const std::vector<std::string>& sent,
                size_t nSent, std::map<std::pair<size_t, size_t>, bool>& memo)
{
    if (nExpected == expected.size())
        return nSent == sent.size();
    const auto key = std::make_pair(nExpected, nSent);
    if (auto it = memo.find(key); it != memo.end())
        return it->second;
    bool bMatch;
    if (expected[nExpected] == "...")
        bMatch = LinesMatch(expected, nExpected + 1, sent, nSent, memo) ||
                 (nSent < sent.size() && LinesMatch(expected, nExpected, sent, nSent + 1, memo));
    else
        bMatch = nSent < sent.size() && LineMatches(expected[nExpected], sent[nSent]) &&
                 LinesMatch(expected, nExpected + 1, sent, nSent + 1, memo);
    memo[key] = bMatch;
    return bMatch;
}

// The scenario that plays a conversation: each line sent waits for the last
// line of its reply (the text after its last "...") before the next goes out.
std::vector<Conversation> ProtocolConversations()
{
    std::vector<Conversation> conversations;
    for (const FencedBlock& block : FencedBlocks(ReadWholeFile(kSource / "docs" / "protocol.md"))) {
        if (block.sInfo != "conversation")
            continue;
        Conversation conversation;
        conversation.nLine = block.nLine;
        std::string sAwait;  // the expect or wait that ends the reply of the last line sent
        auto endReply = [&] {
            if (!sAwait.empty())
                conversation.sScenario += sAwait + "\n";
            sAwait.clear();
        };
        std::istringstream in(block.sText);
        for (std::string sLine; std::getline(in, sLine);) {
            if (sLine.starts_with("> ") || sLine == ">") {
                endReply();
                const std::string sText = sLine.substr(std::min<size_t>(2, sLine.size()));
                if (sText == "^H" || sText == "^R" || sText == "^T")
                    conversation.sScenario += "send \"" + ControlEscape(sText[1]) + "\"\n";
                else
                    conversation.sScenario += "sendln \"" + EncodeEscapes(sText) + "\"\n";
                sAwait = "wait 10s";  // a line without a reply
            } else if (sLine.starts_with("(") && sLine.ends_with(")")) {
                endReply();
                conversation.sScenario += sLine.substr(1, sLine.size() - 2) + "\n";
            } else {
                conversation.expected.push_back(sLine);
                const size_t nDots = sLine.rfind("...");
                const std::string sTail = nDots == std::string::npos ? sLine : sLine.substr(nDots + 3);
                sAwait = "expect \"" + EncodeEscapes(sTail + "\r\n") + "\" within 2m";
            }
        }
        endReply();
        conversations.push_back(conversation);
    }
    return conversations;
}

// What the instrument sent after the first byte it received, as lines
// without their CR LF, from a log of both directions.
std::vector<std::string> SentAfterFirstInput(const std::string& sLog)
{
    std::string sSent;
    bool bReceived = false;
    std::istringstream in(sLog);
    for (std::string sLine; std::getline(in, sLine);) {
        if (sLine.starts_with("-> "))
            bReceived = true;
        else if (bReceived && sLine.starts_with("<- "))
            sSent += DecodeEscapes(sLine.substr(3));
    }
    std::vector<std::string> lines;
    size_t nFrom = 0;
    for (size_t nEnd; (nEnd = sSent.find("\r\n", nFrom)) != std::string::npos; nFrom = nEnd + 2)
        lines.push_back(sSent.substr(nFrom, nEnd - nFrom));
    if (nFrom < sSent.size())
        lines.push_back(sSent.substr(nFrom) + " (no CR LF)");
    return lines;
}

}  // namespace

TEST_F(ScratchDirTest, ProtocolConversationsRunAsShown)
{
    const std::vector<Conversation> conversations = ProtocolConversations();
    ASSERT_GE(conversations.size(), 5u) << "docs/protocol.md shows too few conversations";
    for (const Conversation& conversation : conversations) {
        const std::string sWhere = "docs/protocol.md:" + std::to_string(conversation.nLine);
        SCOPED_TRACE(sWhere);
        ASSERT_FALSE(conversation.expected.empty());
        WriteWholeFile("conversation.scn", conversation.sScenario);
        const std::string sCommand = std::string(HALDEN_CLI) +
                                     " --eeprom eeprom.bin --eeprom-snapshot --power-on --serial-log session.log"
                                     " --serial-log-both conversation.scn >cli.out 2>cli.err";
        const int nRaw = std::system(sCommand.c_str());
        EXPECT_TRUE(WIFEXITED(nRaw) && WEXITSTATUS(nRaw) == 0)
            << ReadWholeFile("cli.err") << "the scenario played:\n" << conversation.sScenario;
        const std::vector<std::string> sent = SentAfterFirstInput(ReadWholeFile("session.log"));
        std::map<std::pair<size_t, size_t>, bool> memo;
        if (!LinesMatch(conversation.expected, 0, sent, 0, memo)) {
            std::string sShown;
            for (const std::string& sLine : sent)
                sShown += sLine.substr(0, 120) + "\n";
            ADD_FAILURE() << sWhere << ": the instrument said\n" << sShown;
        }
    }
}
