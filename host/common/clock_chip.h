// The instrument's clock chip on the two-wire bus at 0xD0: a real-time
// clock with 64 registers reached by one address byte, of which 0..6 hold
// the time in BCD (seconds, minutes, 24-hour hours, weekday 1..7, date,
// month, two-digit year of 2000..2099), 7 is the control register and the
// rest is plain memory. A transfer latches the current time into registers
// 0..6 as its control byte arrives; a write that reaches any of them sets
// the clock at its stop (a moment that does not exist leaves it alone).
//
// The time base either follows the computer's local time, or starts at a
// given moment and advances with firmware time, so that a run can be
// repeated to the byte. Setting the clock keeps the difference to the time
// base for the rest of the run.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "i2c_bus.h"

class CClockChip final : public CI2cDevice {
public:
    static constexpr uint8_t DEVICE_ADDRESS = 0xD0;
    static constexpr int REGISTER_COUNT = 64;
    static constexpr int TIME_REGISTERS = 7;

    // fnFirmwareMs: the firmware time run so far. With a start moment (local
    // calendar fields) the clock runs from there in firmware time; without,
    // it follows the computer's clock.
    CClockChip(std::function<uint64_t()> fnFirmwareMs, std::optional<std::tm> start);

    void OnSclChanged() override
    {
        if (!TakeSclQuietly())
            ClockEdge();
    }
    void OnSdaChanged() override
    {
        if (!TakeSdaQuietly())
            StartOrStop();
    }
    // The line changes that leave the chip's outputs alone, handled inline
    // (true): the clock while idle, a bit clocked into a byte being received
    // and the fall between two such bits, SDA moving while SCL is low. A
    // control byte stops being heard at its first bit that is not the
    // chip's address: the chip cannot be the one addressed, and it waits
    // for the next start (as at the end of the byte, sooner).
    bool TakeSclQuietly()
    {
        if (m_nState == STATE_IDLE)
            return true;
        if (m_nState == STATE_READ_DATA || m_nBitCount >= 8)
            return false;
        if (m_pBus->Scl()) {
            m_bShift = static_cast<uint8_t>((m_bShift << 1) | m_pBus->Sda());
            m_nBitCount++;
            if (m_nState == STATE_CONTROL && m_nBitCount < 8 && m_bShift != DEVICE_ADDRESS >> (8 - m_nBitCount))
                m_nState = STATE_IDLE;
            return true;
        }
        return m_nState == STATE_CONTROL || m_nSda == 1;
    }
    bool TakeSdaQuietly() const { return !m_pBus->Scl(); }  // as the EEPROM's (CBoardDevices)
    // Not addressed: clock edges mean nothing until the next start.
    bool Idle() const { return m_nState == STATE_IDLE; }

    // The clock now, as local calendar fields.
    std::tm Now() const;
    // Sets the clock to a moment (local calendar fields).
    void Set(const std::tm& moment);
    uint8_t Register(int n) const { return m_abRegisters[static_cast<size_t>(n) % REGISTER_COUNT]; }

    // "YYYY-MM-DD hh:mm:ss" as calendar fields (with the weekday); empty,
    // with the reason in *psWhy, when the text has another shape or is not
    // a moment of the years 2000 to 2099.
    static std::optional<std::tm> ParseMoment(const char* psz, std::string* psWhy = nullptr);

private:
    enum State { STATE_IDLE, STATE_CONTROL, STATE_ADDRESS, STATE_WRITE_DATA, STATE_READ_DATA };
    void ClockEdge();
    void StartOrStop();
    void Latch();
    int64_t BaseSeconds() const;  // the time base now, as seconds of the local calendar

    std::function<uint64_t()> m_fnFirmwareMs;
    std::optional<int64_t> m_llStartSeconds;  // the start moment, or follow the computer
    int64_t m_llOffsetSeconds = 0;            // what setting the clock added
    std::array<uint8_t, REGISTER_COUNT> m_abRegisters{};
    int m_nState = STATE_IDLE;
    uint8_t m_bPointer = 0;        // the next register
    uint8_t m_bShift = 0;          // bits shifted in or out, most significant first
    int m_nBitCount = 0;           // clock pulses in the current byte, 0..8
    bool m_bTimeWritten = false;   // a write of this transfer reached registers 0..6
};
