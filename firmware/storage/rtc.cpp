// The clock chip's routines: a read and a write of its eight registers from
// register 0.
#include "storage/rtc.h"

#include <cstring>

#include "core/clock.h"
#include "storage/i2c.h"

namespace {

constexpr uint8_t CLOCK_REGISTERS = 8;
constexpr uint8_t CLOCK_CONTROL = 0x00;  // square-wave output off

uint8_t ToBcd(uint8_t b) { return static_cast<uint8_t>((b / 10) << 4 | b % 10); }
uint8_t FromBcd(uint8_t b) { return static_cast<uint8_t>((b >> 4) * 10 + (b & 0x0F)); }

// Day of the week, 1 (Sunday) to 7, of a date in 2000..2099.
uint8_t Weekday(uint8_t bDay, uint8_t bMonth, uint8_t bYear)
{
    static constexpr uint8_t kabMonthOffset[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    int nYear = 2000 + bYear - (bMonth < 3 ? 1 : 0);
    int n = (nYear + nYear / 4 - nYear / 100 + nYear / 400 + kabMonthOffset[bMonth - 1] + bDay) % 7;
    return static_cast<uint8_t>(n + 1);
}

}  // namespace

bool ClockChipRead(uint8_t* pbClock)
{
    uint8_t abRegisters[CLOCK_REGISTERS];
    if (I2cReadBlock(&gClockDevice, 0, abRegisters, CLOCK_REGISTERS) != CLOCK_REGISTERS)
        return false;
    const uint8_t abClock[6] = {FromBcd(abRegisters[4] & 0x3F), FromBcd(abRegisters[5] & 0x1F),
                                FromBcd(abRegisters[6]),        FromBcd(abRegisters[2] & 0x3F),
                                FromBcd(abRegisters[1] & 0x7F), FromBcd(abRegisters[0] & 0x7F)};
    if (abClock[2] > 99 || !DateValid(abClock[0], abClock[1], abClock[2]) || abClock[3] > 23 || abClock[4] > 59 ||
        abClock[5] > 59)
        return false;
    std::memcpy(pbClock, abClock, sizeof abClock);
    return true;
}

bool ClockChipWrite(const uint8_t* pbClock)
{
    const uint8_t abRegisters[CLOCK_REGISTERS] = {
        ToBcd(pbClock[5]), ToBcd(pbClock[4]), ToBcd(pbClock[3]), Weekday(pbClock[0], pbClock[1], pbClock[2]),
        ToBcd(pbClock[0]), ToBcd(pbClock[1]), ToBcd(pbClock[2]), CLOCK_CONTROL};
    return I2cWriteBlock(&gClockDevice, 0, abRegisters, CLOCK_REGISTERS) == CLOCK_REGISTERS;
}
