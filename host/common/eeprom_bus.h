// The simulated two-wire bus as every host sets it up: the bus, the device
// that stands for the firmware's own pins, the 32 KB EEPROM at 0xA0 backed
// by a file ("eeprom.bin" unless the user names another; an empty name
// keeps the store in memory only), and the clock chip at 0xD0.
#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "board_devices.h"
#include "clock_chip.h"
#include "eeprom.h"
#include "i2c_bus.h"

class CEepromBus {
public:
    // bSnapshot: load the file and keep every change in memory (CEeprom::Open).
    // The clock chip starts at clockStart (local calendar fields) and runs
    // in fnFirmwareMs's time; without a start it follows the computer's clock.
    explicit CEepromBus(const std::string& sPath, bool bSnapshot = false,
                        std::function<uint64_t()> fnFirmwareMs = [] { return uint64_t{0}; },
                        std::optional<std::tm> clockStart = std::nullopt);
    ~CEepromBus();
    CEepromBus(const CEepromBus&) = delete;
    CEepromBus& operator=(const CEepromBus&) = delete;

    // The firmware's pin operations (0 pulls a line low, 1 releases it) and
    // the resolved line levels.
    void SetScl(int nLevel) { m_bus.DriveScl(m_masterPins, nLevel, m_devices); }
    void SetSda(int nLevel) { m_bus.DriveSda(m_masterPins, nLevel, m_devices); }
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
    const CEeprom& Eeprom() const { return m_devices.Eeprom(); }
    // The clock chip.
    CClockChip& Clock() { return m_devices.Clock(); }
    const CClockChip& Clock() const { return m_devices.Clock(); }

private:
    // Held inline, so that a pin operation reaches the bus without a call of
    // its own, and the devices (the bus's one listener) are notified directly.
    CI2cBus m_bus;
    CI2cDevice m_masterPins;  // the firmware's SCL and SDA pins
    CBoardDevices m_devices;  // the EEPROM and the clock chip
};
