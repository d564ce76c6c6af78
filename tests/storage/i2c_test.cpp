// The firmware's bit-level driver against the simulated bus and EEPROM:
// reads, writes, page handling, a clock device that is not fitted, and
// the time-outs.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "bus_rig.h"

namespace {

class I2cDriverTest : public ScratchDirTest {
protected:
    void SetUp() override
    {
        ScratchDirTest::SetUp();
        m_abImage = PatternImage();
        WriteFileBytes("eeprom.bin", m_abImage);
        m_pRig = std::make_unique<CBusRig>("eeprom.bin");
        m_pHost = std::make_unique<CStorageHost>(m_pRig.get());
    }
    void TearDown() override
    {
        m_pHost.reset();
        m_pRig.reset();
        ScratchDirTest::TearDown();
    }
    const CEeprom& Eeprom() const { return m_pRig->eeprom; }
    CBusSniffer& Sniffer() { return m_pRig->sniffer; }
    bool BusIdle() const { return m_pRig->bus.Scl() == 1 && m_pRig->bus.Sda() == 1; }

    // Start, control byte, two address bytes: the opening of a raw write.
    void OpenWrite(uint16_t unAddress)
    {
        ASSERT_TRUE(I2cStart());
        ASSERT_EQ(I2cWriteByte(0xA0), 0);
        ASSERT_EQ(I2cWriteByte(static_cast<uint8_t>(unAddress >> 8)), 0);
        ASSERT_EQ(I2cWriteByte(static_cast<uint8_t>(unAddress)), 0);
    }

    std::vector<uint8_t> m_abImage;
    std::unique_ptr<CBusRig> m_pRig;
    std::unique_ptr<CStorageHost> m_pHost;
};

TEST_F(I2cDriverTest, RandomReadReturnsTheByteAndAdvancesThePointer)
{
    for (uint16_t unAddress : {0, 1, 0x1234, 32767}) {
        EXPECT_EQ(I2cReadByteAt(&gEepromDevice, unAddress), m_abImage[unAddress]) << unAddress;
        EXPECT_EQ(Eeprom().AddressPointer(), (unAddress + 1) % 32768) << unAddress;
        EXPECT_TRUE(BusIdle());
    }
    // One byte read: the data byte is not acknowledged by the master.
    const CBusSniffer::Transfer& read = Sniffer().m_transfers.back();
    ASSERT_EQ(read.abBytes.size(), 2u);
    EXPECT_EQ(read.abBytes[0], 0xA1);
    EXPECT_EQ(read.anAcks[0], 0);
    EXPECT_EQ(read.anAcks[1], 1);
}

TEST_F(I2cDriverTest, BlockReadsAcknowledgeAllButTheLastByteAndWrapAtTheTop)
{
    uint8_t ab[5] = {};
    ASSERT_EQ(I2cReadBlock(&gEepromDevice, 32766, ab, 5), 5);
    const uint8_t abExpected[5] = {m_abImage[32766], m_abImage[32767], m_abImage[0], m_abImage[1], m_abImage[2]};
    EXPECT_EQ(std::vector<uint8_t>(ab, ab + 5), std::vector<uint8_t>(abExpected, abExpected + 5));
    EXPECT_EQ(Sniffer().m_transfers.back().anAcks, (std::vector<int>{0, 0, 0, 0, 0, 1}));

    uint8_t bOne = 0;
    EXPECT_EQ(I2cReadBlock(&gEepromDevice, 500, &bOne, 1), 1);
    EXPECT_EQ(bOne, m_abImage[500]);
    EXPECT_EQ(Sniffer().m_transfers.back().anAcks, (std::vector<int>{0, 1}));
    EXPECT_TRUE(BusIdle());
}

TEST_F(I2cDriverTest, WritePastThePageEndRollsOverInsideThePage)
{
    OpenWrite(0x0080 + 62);
    for (uint8_t b : {0x11, 0x22, 0x33})
        EXPECT_EQ(I2cWriteByte(b), 0);
    ASSERT_TRUE(I2cStop());
    EXPECT_EQ(Eeprom().Peek(0x0080 + 62), 0x11);
    EXPECT_EQ(Eeprom().Peek(0x0080 + 63), 0x22);
    EXPECT_EQ(Eeprom().Peek(0x0080 + 0), 0x33);
    EXPECT_EQ(Eeprom().Peek(0x0080 + 64), m_abImage[0x0080 + 64]);
    EXPECT_EQ(Eeprom().Peek(0x0080 + 1), m_abImage[0x0080 + 1]);
}

TEST_F(I2cDriverTest, SeventyBytesFromAPageBoundaryKeepTheLastSixtyFour)
{
    OpenWrite(0x0100);
    for (int i = 0; i < 70; i++)
        I2cWriteByte(static_cast<uint8_t>(i));
    ASSERT_TRUE(I2cStop());
    for (int k = 0; k < 64; k++)
        EXPECT_EQ(Eeprom().Peek(static_cast<uint16_t>(0x0100 + k)), k < 6 ? 64 + k : k) << k;
    EXPECT_EQ(Eeprom().Peek(0x0140), m_abImage[0x0140]);
    EXPECT_EQ(Eeprom().Peek(0x00FF), m_abImage[0x00FF]);
    std::vector<uint8_t> abFile = ReadFileBytes("eeprom.bin");
    ASSERT_EQ(abFile.size(), 32768u);
    for (int k = 0; k < 64; k++)
        EXPECT_EQ(abFile[0x0100 + k], Eeprom().Peek(static_cast<uint16_t>(0x0100 + k)));
}

TEST_F(I2cDriverTest, AddressOnlyWriteSetsThePointerForACurrentAddressRead)
{
    OpenWrite(0x2345);
    ASSERT_TRUE(I2cStop());
    EXPECT_EQ(ReadFileBytes("eeprom.bin"), m_abImage);
    EXPECT_EQ(Eeprom().AddressPointer(), 0x2345);

    ASSERT_TRUE(I2cStart());
    ASSERT_EQ(I2cWriteByte(0xA1), 0);
    EXPECT_EQ(I2cReadByte(1), m_abImage[0x2345]);
    ASSERT_TRUE(I2cStop());
    EXPECT_EQ(Eeprom().AddressPointer(), 0x2346);
}

TEST_F(I2cDriverTest, OtherDeviceAddressesGetNoAcknowledge)
{
    for (uint8_t bControl : {0xA2, 0xA3, 0xD0, 0x20}) {
        ASSERT_TRUE(I2cStart());
        EXPECT_EQ(I2cWriteByte(bControl), 1) << int(bControl);
        ASSERT_TRUE(I2cStop());
        EXPECT_EQ(Eeprom().TransferState(), CEeprom::STATE_IDLE);
    }
    EXPECT_EQ(ReadFileBytes("eeprom.bin"), m_abImage);
}

TEST_F(I2cDriverTest, BlockWriteIsSplitAtPageBoundaries)
{
    std::vector<uint8_t> abData(100);
    for (size_t i = 0; i < abData.size(); i++)
        abData[i] = static_cast<uint8_t>(0xC0 ^ i);
    EXPECT_EQ(I2cWriteBlock(&gEepromDevice, 40, abData.data(), 100), 100);

    std::vector<CBusSniffer::DataWrite> writes = Sniffer().DataWrites();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].unAddress, 40);
    EXPECT_EQ(writes[0].nCount, 24u);
    EXPECT_EQ(writes[1].unAddress, 64);
    EXPECT_EQ(writes[1].nCount, 64u);
    EXPECT_EQ(writes[2].unAddress, 128);
    EXPECT_EQ(writes[2].nCount, 12u);

    std::vector<uint8_t> abFile = ReadFileBytes("eeprom.bin");
    ASSERT_EQ(abFile.size(), 32768u);
    EXPECT_EQ(std::vector<uint8_t>(abFile.begin() + 40, abFile.begin() + 140), abData);
    EXPECT_EQ(abFile[39], m_abImage[39]);
    EXPECT_EQ(abFile[140], m_abImage[140]);
}

// After every write transfer the driver polls once: the simulated EEPROM
// has no write-cycle time and answers at the first attempt.
TEST_F(I2cDriverTest, AcknowledgePollingSucceedsAtTheFirstAttempt)
{
    EXPECT_EQ(I2cWriteByteAt(&gEepromDevice, 0x0200, 0x5A), 0x5A);
    EXPECT_EQ(Eeprom().Peek(0x0200), 0x5A);
    ASSERT_EQ(Sniffer().m_transfers.size(), 2u);
    const CBusSniffer::Transfer& poll = Sniffer().m_transfers[1];
    EXPECT_EQ(poll.abBytes[0], 0xA1);
    EXPECT_EQ(poll.anAcks[0], 0);
    EXPECT_EQ(m_pHost->m_nYields, 0);
}

TEST_F(I2cDriverTest, FillBlockCoversTheWholeMemoryInPages)
{
    EXPECT_EQ(I2cFillBlock(&gEepromDevice, 0, 0x00, 32768), 32768);
    EXPECT_EQ(Sniffer().DataWrites().size(), 512u);
    EXPECT_EQ(ReadFileBytes("eeprom.bin"), std::vector<uint8_t>(32768, 0x00));
}

TEST_F(I2cDriverTest, AddressesBeyondFifteenBitsWrapIntoTheMemory)
{
    EXPECT_EQ(I2cWriteByteAt(&gEepromDevice, 0xFFFF, 0x3C), 0x3C);
    EXPECT_EQ(Eeprom().Peek(0x7FFF), 0x3C);
    EXPECT_EQ(I2cReadByteAt(&gEepromDevice, 0x8000), m_abImage[0]);
    EXPECT_EQ(ReadFileBytes("eeprom.bin").size(), 32768u);
}

TEST_F(I2cDriverTest, WithNoClockChipFittedEveryTransferToItFails)
{
    uint8_t abDest[8];
    std::fill(std::begin(abDest), std::end(abDest), 0x77);
    EXPECT_EQ(I2cReadBlock(&gClockDevice, 0, abDest, 8), 0);
    EXPECT_EQ(std::count(std::begin(abDest), std::end(abDest), 0x77), 8);
    EXPECT_TRUE(BusIdle());

    const uint8_t abTime[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(I2cWriteBlock(&gClockDevice, 0, abTime, 8), 0);
    EXPECT_EQ(I2cReadByteAt(&gClockDevice, 0), I2C_ERROR);
    EXPECT_EQ(I2cWriteByteAt(&gClockDevice, 0, 9), I2C_ERROR);
    EXPECT_TRUE(BusIdle());

    // Each transfer ended at the unacknowledged control byte.
    for (const CBusSniffer::Transfer& t : Sniffer().m_transfers) {
        ASSERT_EQ(t.abBytes.size(), 1u);
        EXPECT_EQ(t.abBytes[0], 0xD0);
        EXPECT_EQ(t.anAcks[0], 1);
    }
    EXPECT_EQ(ReadFileBytes("eeprom.bin"), m_abImage);
}

TEST_F(I2cDriverTest, PageWritesRejectCountsThatLeaveThePage)
{
    const uint8_t ab[2] = {1, 2};
    EXPECT_FALSE(I2cWritePage(&gEepromDevice, 63, ab, 2));
    EXPECT_FALSE(I2cWritePage(&gEepromDevice, 0, ab, 0));
    EXPECT_TRUE(Sniffer().m_transfers.empty());
    EXPECT_TRUE(I2cWritePage(&gEepromDevice, 62, ab, 2));
    EXPECT_EQ(Eeprom().Peek(63), 2);
}

TEST_F(I2cDriverTest, ClockLineHeldLowFailsAfterFiftyMilliseconds)
{
    m_pRig->other.SetScl(0);
    EXPECT_EQ(I2cReadByteAt(&gEepromDevice, 0x10), I2C_ERROR);
    EXPECT_GE(gunStopwatchA, I2C_SCL_TIMEOUT_MS);
    EXPECT_GE(m_pHost->m_nYields, 1);
    EXPECT_LE(m_pHost->m_nYields, 2);  // one host tick is 50 ms
    uint8_t ab[4];
    EXPECT_EQ(I2cReadBlock(&gEepromDevice, 0x10, ab, 4), 0);
    EXPECT_EQ(I2cWriteBlock(&gEepromDevice, 0x10, ab, 4), 0);
    EXPECT_EQ(ReadFileBytes("eeprom.bin"), m_abImage);
}

TEST_F(I2cDriverTest, BeforeInitTheClockWaitDoesNotWait)
{
    gbI2cWaitEnabled = 0;
    m_pRig->other.SetScl(0);
    EXPECT_TRUE(I2cWaitScl());
    EXPECT_EQ(m_pHost->m_nYields, 0);
    I2cInit();
    EXPECT_EQ(gbI2cTimeoutsOn, 1);
    EXPECT_FALSE(I2cWaitScl());
}

TEST_F(I2cDriverTest, AcknowledgePollingGivesUpAfterFiveHundredMilliseconds)
{
    EXPECT_FALSE(I2cAckPoll(&gClockDevice));
    EXPECT_GE(gunStopwatchB, I2C_ACK_TIMEOUT_MS);
    EXPECT_GE(m_pHost->m_nYields, 10);
    EXPECT_LE(m_pHost->m_nYields, 11);
    EXPECT_TRUE(BusIdle());
}

// Random sequences of starts, stops, control bytes, data bytes, reads and
// stray line changes, however malformed, keep the EEPROM inside its memory
// and the file at its size (the sanitizer builds check every access).
TEST_F(I2cDriverTest, MalformedSequencesStayInsideTheMemory)
{
    std::mt19937 rng(12345);
    for (int i = 0; i < 50000; i++) {
        switch (rng() % 7) {
        case 0:
            I2cStart();
            break;
        case 1:
            I2cWriteByte(static_cast<uint8_t>(0xA0 | (rng() & 1)));
            break;
        case 2:
        case 3:
            I2cWriteByte(static_cast<uint8_t>(rng()));
            break;
        case 4:
            I2cReadByte(static_cast<uint8_t>(rng() & 1));
            break;
        case 5:
            I2cStop();
            break;
        default:
            if (rng() & 1)
                I2cSetScl(static_cast<int>(rng() & 1));
            else
                I2cSetSda(static_cast<int>(rng() & 1));
            break;
        }
        ASSERT_LT(Eeprom().AddressPointer(), 32768);
    }
    I2cSetScl(1);
    I2cSetSda(1);
    EXPECT_EQ(std::filesystem::file_size("eeprom.bin"), 32768u);
    // The sequences did reach the engine: reads and written pages.
    size_t nReads = 0;
    for (const CBusSniffer::Transfer& t : Sniffer().m_transfers)
        if (!t.abBytes.empty() && t.abBytes[0] == 0xA1 && t.anAcks[0] == 0)
            nReads++;
    EXPECT_GT(nReads, 10u);
    EXPECT_GT(Sniffer().DataWrites().size(), 10u);
    EXPECT_NE(ReadFileBytes("eeprom.bin"), m_abImage);
}

}  // namespace
