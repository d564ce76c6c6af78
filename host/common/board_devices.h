// The devices that answer on the instrument's two-wire bus, the EEPROM and
// the clock chip, held together as the bus's one listener (CI2cBus::DriveScl): a line
// change goes to the EEPROM and then to the clock chip. Outside the control
// byte after a start at most one of them is addressed, and the other one
// ignores the clock line, so the usual case costs one test more than the
// EEPROM alone.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>

#include "clock_chip.h"
#include "eeprom.h"
#include "i2c_bus.h"

class CBoardDevices final : public CI2cDevice {
public:
    // The clock chip's time base (CClockChip).
    CBoardDevices(std::function<uint64_t()> fnFirmwareMs, std::optional<std::tm> clockStart)
        : m_clock(std::move(fnFirmwareMs), clockStart)
    {
    }

    CEeprom& Eeprom() { return m_eeprom; }
    const CEeprom& Eeprom() const { return m_eeprom; }
    CClockChip& Clock() { return m_clock; }
    const CClockChip& Clock() const { return m_clock; }

    // True when the change is taken quietly; false leaves it to
    // OnSclChanged, untouched by every device that still has to see it.
    bool TakeSclQuietly()
    {
        if (m_clock.Idle())
            return m_eeprom.TakeSclQuietly();
        if (m_eeprom.TransferState() == CEeprom::STATE_IDLE)
            return m_clock.TakeSclQuietly();
        // Both listen to the control byte.
        if (!m_eeprom.TakeSclQuietly())
            return false;
        if (m_clock.TakeSclQuietly())
            return true;
        m_bClockOnly = true;  // the EEPROM has taken it already
        return false;
    }
    // Both devices take an SDA change quietly exactly when SCL is low.
    bool TakeSdaQuietly() const { return m_eeprom.TakeSdaQuietly(); }
    void OnSclChanged() override
    {
        if (m_clock.Idle())
            m_eeprom.OnSclChanged();
        else
            BothOnSclChanged();
    }
    void OnSdaChanged() override
    {
        m_eeprom.OnSdaChanged();
        m_clock.OnSdaChanged();
    }

private:
    // A clock edge while the clock chip is addressed or hears a control byte.
    [[gnu::noinline]] void BothOnSclChanged()
    {
        if (m_bClockOnly) {
            m_bClockOnly = false;
            m_clock.OnSclChanged();
            return;
        }
        m_eeprom.OnSclChanged();
        m_clock.OnSclChanged();
    }

    // Held inline: a line change reaches them without a pointer.
    CEeprom m_eeprom;
    CClockChip m_clock;
    bool m_bClockOnly = false;  // the last TakeSclQuietly left the change to the clock chip alone
};
