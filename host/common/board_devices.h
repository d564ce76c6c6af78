// The devices that answer on the instrument's two-wire bus, the EEPROM and
// the clock chip, as the bus's one listener (CI2cBus::DriveScl): a line
// change goes to the EEPROM and then to the clock chip, and the usual case,
// both taking it quietly, stays inline.
#pragma once

#include "clock_chip.h"
#include "eeprom.h"
#include "i2c_bus.h"

class CBoardDevices final : public CI2cDevice {
public:
    CBoardDevices(CEeprom& eeprom, CClockChip& clock) : m_eeprom(eeprom), m_clock(clock) {}

    // Each device takes the change quietly or leaves it alone (untouched);
    // the ones that left it get it in the OnSclChanged that follows a false.
    bool TakeSclQuietly()
    {
        m_bEepromLeft = !m_eeprom.TakeSclQuietly();
        m_bClockLeft = !m_clock.TakeSclQuietly();
        m_bLeft = m_bEepromLeft || m_bClockLeft;
        return !m_bLeft;
    }
    bool TakeSdaQuietly() const { return m_eeprom.TakeSdaQuietly() && m_clock.TakeSdaQuietly(); }
    void OnSclChanged() override
    {
        if (m_bLeft) {
            m_bLeft = false;
            if (m_bEepromLeft)
                m_eeprom.OnSclChanged();
            if (m_bClockLeft)
                m_clock.OnSclChanged();
            return;
        }
        m_eeprom.OnSclChanged();
        m_clock.OnSclChanged();
    }
    void OnSdaChanged() override
    {
        m_eeprom.OnSdaChanged();
        m_clock.OnSdaChanged();
    }

private:
    CEeprom& m_eeprom;
    CClockChip& m_clock;
    bool m_bLeft = false;        // the last TakeSclQuietly left the change to OnSclChanged
    bool m_bEepromLeft = false;  // ... for the EEPROM
    bool m_bClockLeft = false;   // ... for the clock chip
};
