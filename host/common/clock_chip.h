// The instrument's clock chip on the two-wire bus at 0xD0: a real-time
// clock with its time in registers 0..6 (seconds, minutes, hours, weekday,
// date, month, year, in BCD) and 64 registers in all, reached with one
// address byte. A read latches the current time into registers 0..6 at its
// start; a write that changes any of them sets the clock at its stop.
//
// The clock either follows the computer's local time, or starts at a set
// moment and advances with firmware time (so that a run can be repeated to
// the byte). Setting it keeps the difference for the rest of the run.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>

#include "i2c_bus.h"

class CClockChip final : public CI2cDevice {
public:
    static constexpr uint8_t DEVICE_ADDRESS = 0xD0;
    static constexpr int REGISTER_COUNT = 64;
    static constexpr int TIME_REGISTERS = 7;

    // fnFirmwareMs: the firmware time run so far. With a start moment (local
    // calendar time) the clock runs from there in firmware time; without,
    // it follows the computer's clock.
    CClockChip(std::function<uint64_t()> fnFirmwareMs, std::optional<std::tm> start);

    void OnSclChanged() override { ClockEdge(); }
    void OnSdaChanged() override
    {
        if (!TakeSdaQuietly())
            StartOrStop();
    }
    // Idle, or SDA moving while SCL is low: nothing to do.
    bool TakeSclQuietly() const { return m_nState == STATE_IDLE; }
    bool TakeSdaQuietly() const { return !m_pBus->Scl(); }

    // The clock now, as local calendar fields.
    std::tm Now() const;
    // Sets the clock to a moment (local calendar fields).
    void Set(const std::tm& moment);
    uint8_t Register(int n) const { return m_abRegisters[static_cast<size_t>(n) % REGISTER_COUNT]; }

    // "YYYY-MM-DD hh:mm:ss" as calendar fields; empty when the text is not a
    // valid moment of the years 2000..2099.
    static std::optional<std::tm> ParseMoment(const char* psz);

private:
    enum State { STATE_IDLE, STATE_CONTROL, STATE_ADDRESS, STATE_WRITE_DATA, STATE_READ_DATA };
    void ClockEdge();
    void StartOrStop();
    void Latch();
    int64_t BaseSeconds() const;  // the time base now, as seconds of the local calendar

    std::function<uint64_t()> m_fnFirmwareMs;
    std::optional<int64_t> m_llStartSeconds;  // the set moment, or follow the computer
    int64_t m_llOffsetSeconds = 0;            // what setting the clock added
    std::array<uint8_t, REGISTER_COUNT> m_abRegisters{};
    int m_nState = STATE_IDLE;
    uint8_t m_unPointer = 0;
    uint8_t m_bShift = 0;
    int m_nBitCount = 0;
    bool m_bTimeWritten = false;  // a write of this transfer reached registers 0..6
};
