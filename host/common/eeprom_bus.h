// The simulated two-wire bus as every host sets it up: the bus, the device
// that stands for the firmware's own pins, and the 32 KB EEPROM at 0xA0
// backed by a file ("eeprom.bin" unless the user names another; an empty
// name keeps the store in memory only).
#pragma once

#include <functional>
#include <string>

#include "eeprom.h"
#include "i2c_bus.h"

class CEepromBus {
public:
    // bSnapshot: load the file and keep every change in memory (CEeprom::Open).
    explicit CEepromBus(const std::string& sPath, bool bSnapshot = false);
    ~CEepromBus();
    CEepromBus(const CEepromBus&) = delete;
    CEepromBus& operator=(const CEepromBus&) = delete;

    // The firmware's pin operations (0 pulls a line low, 1 releases it) and
    // the resolved line levels.
    void SetScl(int nLevel) { m_bus.DriveScl(m_masterPins, nLevel, m_eeprom); }
    void SetSda(int nLevel) { m_bus.DriveSda(m_masterPins, nLevel, m_eeprom); }
    int GetScl() const { return m_bus.Scl(); }
    int GetSda() const { return m_bus.Sda(); }

    // True when changes cannot be written to the file (read-only file, or
    // the file is in use by another simulator); they then stay in memory.
    bool ReadOnly() const;
    // True when the file is not an EEPROM image (wrong size, a directory, a
    // FIFO, unreadable): it is left untouched and the store runs in memory.
    bool Refused() const;
    // One line for the user when the file is read-only, locked or refused;
    // empty otherwise.
    const std::string& StatusMessage() const;
    // Called when the file turns read-only later on (a write failed), with
    // the new StatusMessage(); runs on the thread that drives the bus.
    void SetStatusListener(std::function<void(const std::string&)> fnListener);

    // The EEPROM itself (memory and transfer state), for inspection.
    const CEeprom& Eeprom() const { return m_eeprom; }

private:
    // Held inline, so that a pin operation reaches the bus without a call of
    // its own, and the EEPROM (the bus's one listener) is notified directly.
    CI2cBus m_bus;
    CI2cDevice m_masterPins;  // the firmware's SCL and SDA pins
    CEeprom m_eeprom;
};
