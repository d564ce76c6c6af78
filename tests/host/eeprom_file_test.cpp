// The EEPROM's backing file: creation, short files, write-through seen by a
// second process, the lock that keeps a second simulator from writing, and
// read-only or missing files that keep their contents and changes in memory.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>

#include "eeprom.h"
#include "eeprom_bus.h"
#include "storage/bus_rig.h"

namespace {

constexpr const char* NOT_SAVED = "; settings changes are kept in memory but not saved";

// Root ignores file permissions: permission cases then run as "nobody".
bool DropPrivileges()
{
    if (geteuid() != 0)
        return true;
    return setgid(65534) == 0 && setuid(65534) == 0;
}

bool CanDropPrivileges()
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(DropPrivileges() ? 0 : 1);
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    return WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
}

// Writes one byte through the firmware's driver on the given bus.
bool DriverWrite(CEepromBus& bus, uint16_t unAddress, uint8_t bValue)
{
    CStorageHost host(&bus);
    return I2cWriteByteAt(&gEepromDevice, unAddress, bValue) == bValue;
}

// In a child process: the check's failure is reported on stderr and as the
// exit status, which the parent's EXPECT_EXIT tests.
#define CHILD_CHECK(cond)                                                   \
    do {                                                                    \
        if (!(cond)) {                                                      \
            std::fprintf(stderr, "failed: %s\n", #cond);                    \
            std::_Exit(1);                                                  \
        }                                                                   \
    } while (0)

class EepromFileTest : public ScratchDirTest {};

TEST_F(EepromFileTest, MissingFileIsCreatedFullOfErasedBytes)
{
    CEepromBus bus("eeprom.bin");
    EXPECT_FALSE(bus.ReadOnly());
    EXPECT_EQ(bus.StatusMessage(), "");
    EXPECT_EQ(ReadFileBytes("eeprom.bin"), std::vector<uint8_t>(32768, 0xFF));
    EXPECT_EQ(bus.Eeprom().Peek(12345), 0xFF);
}

TEST_F(EepromFileTest, EmptyFileIsInitialisedLikeANewOne)
{
    WriteFileBytes("eeprom.bin", {});
    CEepromBus bus("eeprom.bin");
    EXPECT_FALSE(bus.Refused());
    EXPECT_FALSE(bus.ReadOnly());
    EXPECT_EQ(ReadFileBytes("eeprom.bin"), std::vector<uint8_t>(32768, 0xFF));
}

TEST_F(EepromFileTest, WholeImageIsReadAsItIs)
{
    std::vector<uint8_t> abImage = PatternImage();
    WriteFileBytes("eeprom.bin", abImage);
    CEepromBus bus("eeprom.bin");
    EXPECT_FALSE(bus.Refused());
    EXPECT_FALSE(bus.ReadOnly());
    EXPECT_EQ(bus.Eeprom().Peek(0x7FFF), abImage[0x7FFF]);
    EXPECT_EQ(ReadFileBytes("eeprom.bin"), abImage);
}

// What lies at the path, made in the scratch directory.
struct RefusedFileCase {
    const char* pszName;
    std::function<void()> fnMake;
    const char* pszMessage;  // the one line the user sees
};

void PrintTo(const RefusedFileCase& row, std::ostream* pOut) { *pOut << row.pszName; }

// Everything about the path that refusing it must leave as it was.
struct FileFacts {
    bool bExists = false;
    mode_t unMode = 0;
    off_t nSize = 0;
    struct timespec tmModified {};
    std::vector<uint8_t> abData;
    bool operator==(const FileFacts& other) const
    {
        return bExists == other.bExists && unMode == other.unMode && nSize == other.nSize &&
               tmModified.tv_sec == other.tmModified.tv_sec && tmModified.tv_nsec == other.tmModified.tv_nsec &&
               abData == other.abData;
    }
};

FileFacts Observe(const char* pszPath)
{
    FileFacts facts;
    struct stat st;
    if (lstat(pszPath, &st) != 0)
        return facts;
    facts.bExists = true;
    facts.unMode = st.st_mode;
    facts.nSize = st.st_size;
    facts.tmModified = st.st_mtim;
    if (S_ISREG(st.st_mode) && (st.st_mode & 0444))
        facts.abData = ReadFileBytes(pszPath);
    return facts;
}

std::vector<uint8_t> Filled(size_t nSize, uint8_t b) { return std::vector<uint8_t>(nSize, b); }

class RefusedFileTest : public ScratchDirTest, public ::testing::WithParamInterface<RefusedFileCase> {};

TEST_P(RefusedFileTest, IsRefusedWithOneLineAndLeftUntouched)
{
    GetParam().fnMake();
    FileFacts before = Observe("eeprom.bin");
    {
        CEepromBus bus("eeprom.bin");
        EXPECT_TRUE(bus.Refused());
        EXPECT_TRUE(bus.ReadOnly());
        EXPECT_EQ(bus.StatusMessage(), GetParam().pszMessage);
        // The store still works, in memory.
        EXPECT_TRUE(DriverWrite(bus, 9, 0x99));
        EXPECT_EQ(bus.Eeprom().Peek(9), 0x99);
    }
    EXPECT_TRUE(Observe("eeprom.bin") == before);
    for (const auto& entry : std::filesystem::directory_iterator("."))
        EXPECT_EQ(entry.path().filename(), "eeprom.bin") << "a stray file was left beside it";
}

std::vector<RefusedFileCase> RefusedFiles()
{
    const std::string sWrongSize = " bytes, so it is not an EEPROM image (exactly 32768 bytes): "
                                   "name another file with --eeprom, or move this one away";
    static std::vector<std::string> asMessages = {
        "eeprom.bin holds 1 byte, so it is not an EEPROM image (exactly 32768 bytes): "
        "name another file with --eeprom, or move this one away",
        "eeprom.bin holds 32767" + sWrongSize,
        "eeprom.bin holds 32769" + sWrongSize,
        "eeprom.bin holds 1048576" + sWrongSize,
        "eeprom.bin holds 23000" + sWrongSize,
    };
    return {
        {"OneByte", [] { WriteFileBytes("eeprom.bin", {0x42}); }, asMessages[0].c_str()},
        {"OneByteShort", [] { WriteFileBytes("eeprom.bin", Filled(32767, 0xFF)); }, asMessages[1].c_str()},
        {"OneByteLong", [] { WriteFileBytes("eeprom.bin", Filled(32769, 0xFF)); }, asMessages[2].c_str()},
        {"OneMegabyte", [] { WriteFileBytes("eeprom.bin", Filled(1 << 20, 0)); }, asMessages[3].c_str()},
        {"TextFile",
         [] {
             std::string sText;
             while (sText.size() < 23000)
                 sText += "# Halden simulator: a README line of plain text.\n";
             sText.resize(23000);
             WriteFileBytes("eeprom.bin", std::vector<uint8_t>(sText.begin(), sText.end()));
         },
         asMessages[4].c_str()},
        {"Directory", [] { std::filesystem::create_directory("eeprom.bin"); },
         "eeprom.bin is a directory, not an EEPROM image: name a file with --eeprom"},
        {"Fifo", [] { mkfifo("eeprom.bin", 0666); },
         "eeprom.bin is not a regular file, so it cannot hold an EEPROM image: name a file with --eeprom"},
        {"SymlinkLoop", [] { symlink("eeprom.bin", "eeprom.bin"); },
         "cannot open eeprom.bin (Too many levels of symbolic links)"},
        {"NoReadPermission",
         [] {
             WriteFileBytes("eeprom.bin", PatternImage());
             chmod("eeprom.bin", 0200);
         },
         "cannot read eeprom.bin (it has no read permission)"},
    };
}

INSTANTIATE_TEST_SUITE_P(Files, RefusedFileTest, ::testing::ValuesIn(RefusedFiles()),
                         [](const auto& info) { return std::string(info.param.pszName); });

// The permission bits decide, even for a user (root) whom the system would
// let write the file.
TEST_F(EepromFileTest, FileWithoutWriteBitsIsNotWrittenEvenByRoot)
{
    std::vector<uint8_t> abImage = PatternImage();
    WriteFileBytes("eeprom.bin", abImage);
    chmod("eeprom.bin", 0444);
    CEepromBus bus("eeprom.bin");
    EXPECT_FALSE(bus.Refused());
    EXPECT_TRUE(bus.ReadOnly());
    EXPECT_EQ(bus.StatusMessage(), std::string("eeprom.bin is read-only") + NOT_SAVED);
    EXPECT_EQ(bus.Eeprom().Peek(0x100), abImage[0x100]);
    EXPECT_TRUE(DriverWrite(bus, 0x100, static_cast<uint8_t>(~abImage[0x100])));
    EXPECT_EQ(ReadFileBytes("eeprom.bin"), abImage);
}

TEST_F(EepromFileTest, EmptyPathKeepsTheStoreInMemory)
{
    CEepromBus bus("");
    EXPECT_FALSE(bus.Refused());
    EXPECT_TRUE(bus.ReadOnly());
    EXPECT_EQ(bus.StatusMessage(), "the store is kept in memory only; settings changes are not saved");
    EXPECT_TRUE(DriverWrite(bus, 1, 0x01));
    EXPECT_EQ(bus.Eeprom().Peek(1), 0x01);
    EXPECT_EQ(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator());
}

TEST_F(EepromFileTest, APathOtherThanTheDefaultIsUsed)
{
    std::filesystem::create_directory("sub");
    CEepromBus bus("sub/other.bin");
    EXPECT_TRUE(DriverWrite(bus, 7, 0x42));
    EXPECT_EQ(ReadFileBytes("sub/other.bin")[7], 0x42);
    EXPECT_FALSE(std::filesystem::exists("eeprom.bin"));
}

TEST_F(EepromFileTest, ChangesAreWrittenThroughAndSeenByASecondProcess)
{
    CEepromBus bus("eeprom.bin");
    ASSERT_TRUE(DriverWrite(bus, 0x1234, 0x5A));
    EXPECT_EQ(ReadFileBytes("eeprom.bin")[0x1234], 0x5A);
    EXPECT_EXIT(
        {
            CEepromBus second("eeprom.bin");
            CHILD_CHECK(second.Eeprom().Peek(0x1234) == 0x5A);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(std::filesystem::file_size("eeprom.bin"), 32768u);
}

TEST_F(EepromFileTest, ASecondSimulatorOnTheSameFileRunsReadOnly)
{
    auto pFirst = std::make_unique<CEepromBus>("eeprom.bin");
    ASSERT_TRUE(DriverWrite(*pFirst, 100, 0x11));
    {
        CEepromBus second("eeprom.bin");
        EXPECT_TRUE(second.ReadOnly());
        EXPECT_EQ(second.StatusMessage(), std::string("eeprom.bin is in use by another simulator") + NOT_SAVED);
        EXPECT_EQ(second.Eeprom().Peek(100), 0x11);
        // The second one keeps its change in memory; the file is untouched.
        EXPECT_TRUE(DriverWrite(second, 200, 0x22));
        EXPECT_EQ(second.Eeprom().Peek(200), 0x22);
        EXPECT_EQ(ReadFileBytes("eeprom.bin")[200], 0xFF);
    }
    // The first one still owns the file.
    EXPECT_TRUE(DriverWrite(*pFirst, 300, 0x33));
    EXPECT_EQ(ReadFileBytes("eeprom.bin")[300], 0x33);
    pFirst.reset();

    CEepromBus third("eeprom.bin");
    EXPECT_FALSE(third.ReadOnly());
    EXPECT_EQ(third.Eeprom().Peek(200), 0xFF);
    EXPECT_EQ(third.Eeprom().Peek(300), 0x33);
}

TEST_F(EepromFileTest, ReadOnlyFileIsStillReadAndChangesStayInMemory)
{
    if (!CanDropPrivileges())
        GTEST_SKIP() << "cannot run as an unprivileged user";
    std::vector<uint8_t> abImage = PatternImage();
    WriteFileBytes("eeprom.bin", abImage);
    chmod(".", 0755);
    chmod("eeprom.bin", 0444);
    EXPECT_EXIT(
        {
            CHILD_CHECK(DropPrivileges());
            CEepromBus bus("eeprom.bin");
            CHILD_CHECK(bus.ReadOnly());
            CHILD_CHECK(bus.StatusMessage() == std::string("eeprom.bin is read-only") + NOT_SAVED);
            CHILD_CHECK(bus.Eeprom().Peek(0x4321) == abImage[0x4321]);
            CHILD_CHECK(DriverWrite(bus, 0x4321, static_cast<uint8_t>(~abImage[0x4321])));
            CHILD_CHECK(bus.Eeprom().Peek(0x4321) == static_cast<uint8_t>(~abImage[0x4321]));
            CHILD_CHECK(ReadFileBytes("eeprom.bin") == abImage);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(EepromFileTest, FileThatCannotBeCreatedLeavesAMemoryOnlyEeprom)
{
    if (!CanDropPrivileges())
        GTEST_SKIP() << "cannot run as an unprivileged user";
    chmod(".", 0555);
    EXPECT_EXIT(
        {
            CHILD_CHECK(DropPrivileges());
            CEepromBus bus("eeprom.bin");
            CHILD_CHECK(bus.ReadOnly());
            CHILD_CHECK(bus.StatusMessage().rfind("cannot open eeprom.bin (", 0) == 0);
            CHILD_CHECK(bus.Eeprom().Peek(0) == 0xFF);
            CHILD_CHECK(DriverWrite(bus, 0, 0x10));
            CHILD_CHECK(bus.Eeprom().Peek(0) == 0x10);
            CHILD_CHECK(!std::filesystem::exists("eeprom.bin"));
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

// halden-cli will not run on a file that is not an EEPROM image.
TEST_F(EepromFileTest, HaldenCliRefusesAFileOfTheWrongSize)
{
    WriteFileBytes("eeprom.bin", Filled(10, 0x20));
    std::string sCommand = std::string(HALDEN_CLI) + " --eeprom eeprom.bin - </dev/null 2>err.txt >/dev/null";
    int nStatus = std::system(sCommand.c_str());
    ASSERT_TRUE(WIFEXITED(nStatus));
    EXPECT_EQ(WEXITSTATUS(nStatus), 1);
    std::vector<uint8_t> abErr = ReadFileBytes("err.txt");
    EXPECT_EQ(std::string(abErr.begin(), abErr.end()),
              "halden-cli: eeprom.bin holds 10 bytes, so it is not an EEPROM image (exactly 32768 bytes): "
              "name another file with --eeprom, or move this one away\n");
    EXPECT_EQ(ReadFileBytes("eeprom.bin"), Filled(10, 0x20));
}

// halden-cli tells the user once, on standard error, when the file is in use.
TEST_F(EepromFileTest, HaldenCliReportsALockedFileOnce)
{
    auto RunCli = [] {
        std::string sCommand = std::string(HALDEN_CLI) + " --eeprom eeprom.bin - </dev/null 2>&1 >/dev/null";
        std::FILE* pPipe = popen(sCommand.c_str(), "r");
        std::string sErr;
        char ac[256];
        size_t n;
        while (pPipe && (n = std::fread(ac, 1, sizeof ac, pPipe)) > 0)
            sErr.append(ac, n);
        if (pPipe)
            pclose(pPipe);
        return sErr;
    };
    {
        CEepromBus holder("eeprom.bin");
        std::string sErr = RunCli();
        EXPECT_EQ(sErr, std::string("halden-cli: eeprom.bin is in use by another simulator") + NOT_SAVED + "\n");
    }
    EXPECT_EQ(RunCli(), "");
}

}  // namespace
