// The EEPROM on its bus, against a plain model of the chip written from the
// transfer table: on long random line sequences (well-formed transfers mixed
// with stray edges) the lines, the transfer state, the memory and the file
// must follow the model step by step. Run on the bus as every host sets it
// up (its one listener notified directly) and on a hand-wired bus with a
// second listener (every listener notified in turn).
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "eeprom.h"
#include "eeprom_bus.h"
#include "i2c_bus.h"
#include "support/files.h"
#include "support/firmware_fixture.h"

namespace {

// The chip and its two lines, kept as simply as possible: the master's
// outputs and the chip's SDA output are ANDed into the lines; a clock edge
// is seen first, then any SDA change it caused.
class CChipModel {
public:
    CChipModel() { m_abMemory.fill(0xFF); }

    void MasterScl(int nLevel)
    {
        m_nMasterScl = nLevel;
        if (m_nMasterScl != m_nScl) {
            m_nScl = m_nMasterScl;
            Clock();
            SettleSda();
        }
    }
    void MasterSda(int nLevel)
    {
        m_nMasterSda = nLevel;
        SettleSda();
    }

    int m_nScl = 1, m_nSda = 1;
    int m_nState = 0;
    uint16_t m_unAddress = 0;
    std::array<uint8_t, CEeprom::MEMORY_SIZE> m_abMemory;

private:
    void SettleSda()
    {
        int nLine = m_nMasterSda & m_nOut;
        if (nLine == m_nSda)
            return;
        m_nSda = nLine;
        if (!m_nScl)
            return;
        if (m_nSda) {  // stop
            if (m_nState == 4)
                for (int n = 0, i = m_unStart % 64; n < m_nCount; n++, i = (i + 1) % 64)
                    m_abMemory[(m_unStart & ~63) + i] = m_abPage[i];
            m_nState = 0;
        } else {  // start
            m_nBits = 0;
            m_nState = 1;
        }
    }
    uint8_t Fetch()
    {
        uint8_t b = m_abMemory[m_unAddress];
        m_unAddress = (m_unAddress + 1) % CEeprom::MEMORY_SIZE;
        return b;
    }
    void Clock()
    {
        if (m_nState == 0)
            return;
        if (m_nState == 5) {
            if (m_nScl && m_nBits < 8)
                m_nBits++;
            else if (m_nScl && m_nSda)
                m_nState = 0;
            else if (m_nScl)
                m_bShift = Fetch(), m_nBits = 0;
            else if (m_nBits < 8)
                m_nOut = m_bShift >> 7, m_bShift = static_cast<uint8_t>(m_bShift << 1);
            else
                m_nOut = 1;
            return;
        }
        if (!m_nScl) {
            if (m_nState == 1 && m_nBits == 8 && (m_bShift & 0xFE) != 0xA0)
                m_nState = 0;
            else if (m_nState == 1)
                m_nOut = m_nBits == 8 ? 0 : m_nOut;
            else
                m_nOut = m_nBits == 8 ? 0 : 1;
            return;
        }
        if (m_nBits < 8) {
            m_bShift = static_cast<uint8_t>((m_bShift << 1) | m_nSda);
            m_nBits++;
            return;
        }
        m_nBits = 0;
        if (m_nState == 1 && (m_bShift & 1)) {
            m_bShift = Fetch();
            m_nState = 5;
        } else if (m_nState == 1) {
            m_nState = 2;
        } else if (m_nState == 2) {
            m_unAddress = static_cast<uint16_t>((m_bShift & 0x7F) << 8);
            m_nState = 3;
        } else if (m_nState == 3) {
            m_unAddress = static_cast<uint16_t>(m_unAddress + m_bShift);
            m_unStart = m_unAddress;
            m_nCount = 0;
            m_nState = 4;
        } else {
            m_abPage[m_unAddress % 64] = m_bShift;
            m_unAddress = static_cast<uint16_t>((m_unAddress & ~63) | ((m_unAddress + 1) & 63));
            m_nCount = m_nCount < 64 ? m_nCount + 1 : 64;
        }
    }

    int m_nMasterScl = 1, m_nMasterSda = 1;
    int m_nOut = 1;
    int m_nBits = 0;
    uint8_t m_bShift = 0;
    uint16_t m_unStart = 0;
    int m_nCount = 0;
    std::array<uint8_t, 64> m_abPage{};
};

// A listener that only counts, so that the hand-wired bus has two.
class CCountingDevice final : public CI2cDevice {
public:
    void OnSclChanged() override { m_nChanges++; }
    void OnSdaChanged() override { m_nChanges++; }
    int m_nChanges = 0;
};

// The bus under test as the master sees it.
struct BusUnderTest {
    std::function<void(int)> fnSetScl, fnSetSda;
    std::function<int()> fnGetScl, fnGetSda;
    std::function<const CEeprom&()> fnEeprom;
};

// Drives the bus and the model alike and compares them after every change.
class CLockstep {
public:
    CLockstep(const BusUnderTest& bus, uint32_t unSeed) : m_bus(bus), m_rng(unSeed) {}

    void Scl(int nLevel)
    {
        m_bus.fnSetScl(nLevel);
        m_model.MasterScl(nLevel);
        Compare();
    }
    void Sda(int nLevel)
    {
        m_bus.fnSetSda(nLevel);
        m_model.MasterSda(nLevel);
        Compare();
    }
    void Compare()
    {
        m_nSteps++;
        const CEeprom& eeprom = m_bus.fnEeprom();
        ASSERT_EQ(m_bus.fnGetScl(), m_model.m_nScl) << "step " << m_nSteps;
        ASSERT_EQ(m_bus.fnGetSda(), m_model.m_nSda) << "step " << m_nSteps;
        ASSERT_EQ(eeprom.TransferState(), m_model.m_nState) << "step " << m_nSteps;
        ASSERT_EQ(eeprom.AddressPointer(), m_model.m_unAddress) << "step " << m_nSteps;
    }

    void Start() { Scl(0), Sda(1), Scl(1), Sda(0); }
    void Stop() { Scl(0), Sda(0), Scl(1), Sda(1); }
    void Bit(int nBit) { Scl(0), Sda(nBit), Scl(1); }
    void WriteByte(uint8_t b)
    {
        for (int i = 7; i >= 0; i--)
            Bit((b >> i) & 1);
        Bit(1);  // released for the acknowledge
        if (m_bus.fnGetSda() == 0)
            m_nAcks++;
    }
    void ReadByte(int nAck)
    {
        for (int i = 0; i < 8; i++)
            Bit(1);
        Bit(nAck);
    }

    // One random piece: mostly whole transfers, sometimes stray edges.
    void Piece()
    {
        static const uint8_t kControl[] = {0xA0, 0xA0, 0xA1, 0xA1, 0xA2, 0x00};
        switch (m_rng() % 8) {
        case 0:
        case 1: {  // a write of 0..80 data bytes at a random address
            Start();
            WriteByte(0xA0);
            WriteByte(static_cast<uint8_t>(m_rng()));
            WriteByte(static_cast<uint8_t>(m_rng()));
            for (int n = static_cast<int>(m_rng() % 81); n > 0; n--)
                WriteByte(static_cast<uint8_t>(m_rng()));
            if (m_rng() % 4)
                Stop();
            break;
        }
        case 2:
        case 3: {  // a read of 1..40 bytes, the last not acknowledged
            Start();
            WriteByte(kControl[m_rng() % 6] | 1);
            for (int n = static_cast<int>(m_rng() % 40); n > 0; n--)
                ReadByte(0);
            ReadByte(1);
            Stop();
            break;
        }
        case 4:
            Start();
            WriteByte(kControl[m_rng() % 6]);
            break;
        case 5:
            WriteByte(static_cast<uint8_t>(m_rng()));
            break;
        case 6:
            Stop();
            break;
        default:
            for (int n = static_cast<int>(m_rng() % 6); n > 0; n--)
                (m_rng() & 1) ? Scl(static_cast<int>(m_rng() & 1)) : Sda(static_cast<int>(m_rng() & 1));
            break;
        }
    }

    const CChipModel& Model() const { return m_model; }
    int Acks() const { return m_nAcks; }

private:
    BusUnderTest m_bus;
    CChipModel m_model;
    std::mt19937 m_rng;
    int m_nSteps = 0;
    int m_nAcks = 0;
};

void RunAgainstTheModel(const BusUnderTest& bus, uint32_t unSeed)
{
    CLockstep lockstep(bus, unSeed);
    for (int i = 0; i < 3000; i++) {
        lockstep.Piece();
        if (::testing::Test::HasFatalFailure())
            return;
    }
    lockstep.Stop();
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    EXPECT_GT(lockstep.Acks(), 5000);  // the sequences did reach the chip
    const auto& abModel = lockstep.Model().m_abMemory;
    EXPECT_TRUE(bus.fnEeprom().Memory() == abModel);
    int nChanged = 0;
    for (uint8_t b : abModel)
        nChanged += b != 0xFF;
    EXPECT_GT(nChanged, 10000);  // and wrote a good part of the memory
    std::string sFile = ReadWholeFile("eeprom.bin");
    ASSERT_EQ(sFile.size(), abModel.size());
    EXPECT_TRUE(std::equal(abModel.begin(), abModel.end(), sFile.begin(),
                           [](uint8_t a, char c) { return a == static_cast<uint8_t>(c); }));
}

class EepromBusModelTest : public ScratchDirTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(EepromBusModelTest, TheHostsBusFollowsTheModel)
{
    CEepromBus bus("eeprom.bin");
    RunAgainstTheModel({[&](int n) { bus.SetScl(n); }, [&](int n) { bus.SetSda(n); },
                        [&] { return bus.GetScl(); }, [&] { return bus.GetSda(); },
                        [&]() -> const CEeprom& { return bus.Eeprom(); }},
                       GetParam());
}

TEST_P(EepromBusModelTest, ABusWithTwoListenersFollowsTheModel)
{
    CI2cBus bus;
    CI2cDevice master;
    auto pEeprom = std::make_unique<CEeprom>();
    CCountingDevice counter;
    master.Attach(&bus);
    bus.AddDevice(&master);
    pEeprom->Open(&bus, 0xA0, "eeprom.bin");
    bus.AddDevice(pEeprom.get());
    counter.Attach(&bus);
    bus.AddDevice(&counter);
    RunAgainstTheModel({[&](int n) { master.SetScl(n); }, [&](int n) { master.SetSda(n); },
                        [&] { return bus.Scl(); }, [&] { return bus.Sda(); },
                        [&]() -> const CEeprom& { return *pEeprom; }},
                       GetParam());
    EXPECT_GT(counter.m_nChanges, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, EepromBusModelTest, ::testing::Values(1u, 29u, 4242u));

}  // namespace
