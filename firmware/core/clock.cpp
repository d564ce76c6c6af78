// The real-time clock and the calendar rule.
#include "core/clock.h"

#include <atomic>
#include <cstring>
#include <ctime>

namespace {

uint8_t gabFixedClock[6];
std::atomic<bool> gbClockFixed{false};  // gabFixedClock is written before this is set

bool NoClockChipRead(uint8_t*) { return false; }
bool NoClockChipWrite(const uint8_t*) { return false; }

}  // namespace

bool (*gpfnClockChipRead)(uint8_t* pbClock) = NoClockChipRead;
bool (*gpfnClockChipWrite)(const uint8_t* pbClock) = NoClockChipWrite;

bool SetClock(const uint8_t* pbClock)
{
    const bool bFixed = gbClockFixed.load(std::memory_order_relaxed);
    if (bFixed)
        FixClock(pbClock);
    return gpfnClockChipWrite(pbClock) || bFixed;
}

void FixClock(const uint8_t* pbClock)
{
    if (pbClock == nullptr) {
        gbClockFixed.store(false, std::memory_order_relaxed);
        return;
    }
    std::memcpy(gabFixedClock, pbClock, sizeof gabFixedClock);
    gbClockFixed.store(true, std::memory_order_release);
}

void ReadClock(uint8_t* pbClock)
{
    if (gbClockFixed.load(std::memory_order_acquire)) {
        std::memcpy(pbClock, gabFixedClock, sizeof gabFixedClock);
        return;
    }
    if (gpfnClockChipRead(pbClock))
        return;
    std::time_t tNow = std::time(nullptr);
    std::tm local{};
    localtime_r(&tNow, &local);
    pbClock[0] = static_cast<uint8_t>(local.tm_mday);
    pbClock[1] = static_cast<uint8_t>(local.tm_mon + 1);
    pbClock[2] = static_cast<uint8_t>(local.tm_year % 100);
    pbClock[3] = static_cast<uint8_t>(local.tm_hour);
    pbClock[4] = static_cast<uint8_t>(local.tm_min);
    pbClock[5] = static_cast<uint8_t>(local.tm_sec);
}

uint8_t DaysInMonth(uint8_t bMonth, uint8_t bYear)
{
    switch (bMonth) {
    case 2:
        return bYear % 4 == 0 ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    default:
        return 31;
    }
}

bool DateValid(uint8_t bDay, uint8_t bMonth, uint8_t bYear)
{
    return bMonth >= 1 && bMonth <= 12 && bDay >= 1 && bDay <= DaysInMonth(bMonth, bYear);
}
