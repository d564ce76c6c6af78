// The EEPROM's backing file: creation, short files, write-through seen by a
// second process, the lock that keeps a second simulator from writing, and
// read-only or missing files that keep their contents and changes in memory.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

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

TEST_F(EepromFileTest, ShortFileIsReadAndPaddedToFullSize)
{
    WriteFileBytes("eeprom.bin", {1, 2, 3, 4, 5});
    CEepromBus bus("eeprom.bin");
    EXPECT_EQ(bus.Eeprom().Peek(4), 5);
    EXPECT_EQ(bus.Eeprom().Peek(5), 0xFF);
    std::vector<uint8_t> abFile = ReadFileBytes("eeprom.bin");
    ASSERT_EQ(abFile.size(), 32768u);
    EXPECT_EQ(abFile[4], 5);
    EXPECT_EQ(abFile[5], 0xFF);
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

TEST_F(EepromFileTest, DirectoryInPlaceOfTheFileIsNotUsed)
{
    std::filesystem::create_directory("eeprom.bin");
    CEepromBus bus("eeprom.bin");
    EXPECT_TRUE(bus.ReadOnly());
    EXPECT_FALSE(bus.StatusMessage().empty());
    EXPECT_TRUE(DriverWrite(bus, 5, 0x55));
    EXPECT_EQ(bus.Eeprom().Peek(5), 0x55);
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
