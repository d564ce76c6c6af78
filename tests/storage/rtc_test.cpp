// The clock chip at 0xD0 on the bus as every host sets it up, driven by the
// firmware's clock routines: the moment it starts at and how it runs, the
// registers behind the six clock fields, setting it, and what it refuses.
#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "app/app.h"
#include "bus_rig.h"
#include "clock_chip.h"
#include "core/clock.h"
#include "storage/rtc.h"

namespace {

using Fields = std::array<int, 6>;  // day, month, year % 100, hour, minute, second

std::tm Moment(const char* psz)
{
    std::optional<std::tm> moment = CClockChip::ParseMoment(psz);
    EXPECT_TRUE(moment) << psz;
    return moment.value_or(std::tm{});
}

// Seconds of the local calendar, for comparing clock fields loosely.
int64_t Seconds(const Fields& an)
{
    std::tm t{};
    t.tm_mday = an[0];
    t.tm_mon = an[1] - 1;
    t.tm_year = 100 + an[2];
    t.tm_hour = an[3];
    t.tm_min = an[4];
    t.tm_sec = an[5];
    return static_cast<int64_t>(timegm(&t));
}

Fields LocalNow()
{
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return {local.tm_mday, local.tm_mon + 1, local.tm_year % 100, local.tm_hour, local.tm_min, local.tm_sec};
}

class ClockChipTest : public ScratchDirTest {
protected:
    void TearDown() override
    {
        m_pHost.reset();
        m_pBus.reset();
        ScratchDirTest::TearDown();
    }
    // The bus with the EEPROM in memory and the chip, started at a moment
    // or following the computer; firmware time is m_ullMs.
    void Open(std::optional<std::tm> start)
    {
        m_pBus = std::make_unique<CEepromBus>("", false, [this] { return m_ullMs; }, start);
        m_pHost = std::make_unique<CStorageHost>(m_pBus.get());
    }
    Fields Read()
    {
        uint8_t ab[6] = {};
        EXPECT_TRUE(ClockChipRead(ab));
        return {ab[0], ab[1], ab[2], ab[3], ab[4], ab[5]};
    }
    bool Write(const Fields& an)
    {
        const uint8_t ab[6] = {uint8_t(an[0]), uint8_t(an[1]), uint8_t(an[2]),
                               uint8_t(an[3]), uint8_t(an[4]), uint8_t(an[5])};
        return ClockChipWrite(ab);
    }
    std::array<int, 7> TimeRegisters() const
    {
        std::array<int, 7> an{};
        for (int i = 0; i < 7; i++)
            an[i] = m_pBus->Clock().Register(i);
        return an;
    }

    uint64_t m_ullMs = 0;
    std::unique_ptr<CEepromBus> m_pBus;
    std::unique_ptr<CStorageHost> m_pHost;
};

}  // namespace

TEST(ClockMomentTest, OnlyRealMomentsOfTheChipsCenturyInTheOneShape)
{
    struct Good {
        const char* psz;
        Fields an;
        int nWeekday;  // 0 Sunday
    } kGood[] = {
        {"2024-02-29 23:59:59", {29, 2, 24, 23, 59, 59}, 4},
        {"2000-01-01 00:00:00", {1, 1, 0, 0, 0, 0}, 6},
        {"2099-12-31 12:34:56", {31, 12, 99, 12, 34, 56}, 4},
    };
    for (const Good& g : kGood) {
        std::optional<std::tm> t = CClockChip::ParseMoment(g.psz);
        ASSERT_TRUE(t) << g.psz;
        EXPECT_EQ((Fields{t->tm_mday, t->tm_mon + 1, t->tm_year % 100, t->tm_hour, t->tm_min, t->tm_sec}), g.an);
        EXPECT_EQ(t->tm_wday, g.nWeekday) << g.psz;
    }
    const char* const kNoSuchMoment = "no such moment in the years 2000 to 2099";
    const char* const kShape = "write the moment as \"YYYY-MM-DD hh:mm:ss\"";
    struct Bad {
        const char* psz;
        const char* pszWhy;
    } kBad[] = {
        {"2023-02-29 10:00:00", kNoSuchMoment}, {"2024-04-31 10:00:00", kNoSuchMoment},
        {"2024-13-01 10:00:00", kNoSuchMoment}, {"2024-01-00 10:00:00", kNoSuchMoment},
        {"2024-01-01 24:00:00", kNoSuchMoment}, {"2024-01-01 10:60:00", kNoSuchMoment},
        {"2024-01-01 10:00:60", kNoSuchMoment}, {"1999-12-31 23:59:59", kNoSuchMoment},
        {"2100-01-01 00:00:00", kNoSuchMoment}, {"2024-1-01 10:00:00", kShape},
        {"2024-01-01T10:00:00", kShape},        {"2024-01-01 10:00", kShape},
        {" 2024-01-01 10:00:00", kShape},       {"2024-01-01 10:00:00 ", kShape},
        {"+024-01-01 10:00:00", kShape},        {"2024/01/01 10:00:00", kShape},
        {"", kShape},
    };
    for (const Bad& b : kBad) {
        std::string sWhy;
        EXPECT_FALSE(CClockChip::ParseMoment(b.psz, &sWhy)) << b.psz;
        EXPECT_EQ(sWhy, b.pszWhy) << b.psz;
    }
}

TEST_F(ClockChipTest, StartsAtTheMomentGivenAndRunsInFirmwareTime)
{
    Open(Moment("2024-02-28 23:59:30"));
    EXPECT_EQ(Read(), (Fields{28, 2, 24, 23, 59, 30}));
    m_ullMs = 29999;
    EXPECT_EQ(Read(), (Fields{28, 2, 24, 23, 59, 59}));
    m_ullMs = 30000;
    EXPECT_EQ(Read(), (Fields{29, 2, 24, 0, 0, 0}));  // a leap year
    m_ullMs += 24 * 3600 * 1000;
    EXPECT_EQ(Read(), (Fields{1, 3, 24, 0, 0, 0}));
    // BCD seconds, minutes, hours, weekday (Friday), date, month, year.
    EXPECT_EQ(TimeRegisters(), (std::array<int, 7>{0x00, 0x00, 0x00, 6, 0x01, 0x03, 0x24}));
}

TEST_F(ClockChipTest, AWriteSetsTheClockAndItRunsOnFromThere)
{
    Open(Moment("2024-02-28 10:00:00"));
    m_ullMs = 5000;
    ASSERT_TRUE(Write({31, 12, 23, 23, 59, 58}));
    // What the firmware wrote, its weekday (Sunday) included.
    EXPECT_EQ(TimeRegisters(), (std::array<int, 7>{0x58, 0x59, 0x23, 1, 0x31, 0x12, 0x23}));
    EXPECT_EQ(Read(), (Fields{31, 12, 23, 23, 59, 58}));
    m_ullMs += 2000;
    EXPECT_EQ(Read(), (Fields{1, 1, 24, 0, 0, 0}));
    EXPECT_EQ(m_pBus->Clock().Register(3), 2);  // Monday, counted by the chip
    // The EEPROM saw none of it.
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(m_pBus->Eeprom().Peek(static_cast<uint16_t>(i)), 0xFF);
}

TEST_F(ClockChipTest, APartialWriteKeepsTheOtherFieldsAndAnImpossibleMomentChangesNothing)
{
    Open(Moment("2024-02-28 10:20:30"));
    EXPECT_EQ(I2cWriteByteAt(&gClockDevice, 1, 0x45), 0x45);  // the minutes alone
    EXPECT_EQ(Read(), (Fields{28, 2, 24, 10, 45, 30}));
    EXPECT_EQ(I2cWriteByteAt(&gClockDevice, 4, 0x31), 0x31);  // 31 February
    EXPECT_EQ(Read(), (Fields{28, 2, 24, 10, 45, 30}));
    EXPECT_EQ(I2cWriteByteAt(&gClockDevice, 2, 0x24), 0x24);  // hour 24
    EXPECT_EQ(Read(), (Fields{28, 2, 24, 10, 45, 30}));
    // A repeated start ends a write as a stop does.
    ASSERT_TRUE(I2cStart());
    ASSERT_EQ(I2cWriteByte(0xD0), 0);
    ASSERT_EQ(I2cWriteByte(0), 0);
    ASSERT_EQ(I2cWriteByte(0x05), 0);
    ASSERT_TRUE(I2cStart());
    ASSERT_EQ(I2cWriteByte(0xD1), 0);
    EXPECT_EQ(I2cReadByte(1), 0x45);  // register 1, after the one written
    ASSERT_TRUE(I2cStop());
    EXPECT_EQ(Read(), (Fields{28, 2, 24, 10, 45, 5}));
    // Past the time and control registers the chip is plain memory.
    EXPECT_EQ(I2cWriteByteAt(&gClockDevice, 0x20, 0x5A), 0x5A);
    EXPECT_EQ(I2cReadByteAt(&gClockDevice, 0x20), 0x5A);
    EXPECT_EQ(Read(), (Fields{28, 2, 24, 10, 45, 5}));
}

// Loosely: within a few seconds of the computer's local time, whatever the
// firmware time says.
TEST_F(ClockChipTest, WithoutAStartItFollowsTheComputersClock)
{
    Open(std::nullopt);
    EXPECT_LE(std::abs(Seconds(Read()) - Seconds(LocalNow())), 5);
    m_ullMs = 3600 * 1000;
    EXPECT_LE(std::abs(Seconds(Read()) - Seconds(LocalNow())), 5);
    // Set a day ahead, it keeps that difference.
    Fields anAhead = Read();
    const std::time_t tAhead = static_cast<std::time_t>(Seconds(anAhead) + 24 * 3600);
    std::tm ahead{};
    gmtime_r(&tAhead, &ahead);
    ASSERT_TRUE(Write({ahead.tm_mday, ahead.tm_mon + 1, ahead.tm_year % 100, ahead.tm_hour, ahead.tm_min,
                       ahead.tm_sec}));
    EXPECT_LE(std::abs(Seconds(Read()) - Seconds(LocalNow()) - 24 * 3600), 5);
}

// The firmware's clock reads and sets the chip; on a bus without one it
// falls back to the computer's clock, which cannot be set.
TEST_F(ClockChipTest, TheFirmwaresClockIsTheChip)
{
    WireHooks();
    Open(Moment("2030-06-15 08:00:00"));
    uint8_t abClock[6];
    ReadClock(abClock);
    EXPECT_EQ((Fields{abClock[0], abClock[1], abClock[2], abClock[3], abClock[4], abClock[5]}),
              (Fields{15, 6, 30, 8, 0, 0}));
    const uint8_t abSet[6] = {2, 1, 31, 9, 30, 0};
    EXPECT_TRUE(SetClock(abSet));
    EXPECT_EQ(Read(), (Fields{2, 1, 31, 9, 30, 0}));

    m_pHost.reset();
    CBusRig rig("");
    CStorageHost host(&rig);
    EXPECT_FALSE(SetClock(abSet));
    ReadClock(abClock);
    EXPECT_LE(std::abs(Seconds({abClock[0], abClock[1], abClock[2], abClock[3], abClock[4], abClock[5]}) -
                       Seconds(LocalNow())),
              5);
}

// The chip answers its own address only, with either direction bit; the
// EEPROM at 0xA0 is not disturbed by it.
TEST_F(ClockChipTest, OnlyItsOwnAddressIsAcknowledged)
{
    Open(Moment("2024-02-28 10:20:30"));
    for (uint8_t bControl : {0xD0, 0xD1, 0xD2, 0xD8, 0xC0, 0xF0, 0x50, 0x00, 0xA0}) {
        ASSERT_TRUE(I2cStart());
        const int nAck = I2cWriteByte(bControl);
        EXPECT_EQ(nAck, (bControl & 0xFE) == 0xD0 || bControl == 0xA0 ? 0 : 1) << int(bControl);
        if ((bControl & 1) && nAck == 0)
            I2cReadByte(1);
        ASSERT_TRUE(I2cStop());
        EXPECT_EQ(m_pBus->GetSda(), 1) << int(bControl);
    }
    EXPECT_EQ(I2cReadByteAt(&gEepromDevice, 0x10), 0xFF);
    EXPECT_EQ(Read(), (Fields{28, 2, 24, 10, 20, 30}));
}
