// The simulated two-wire bus as every host sets it up: the bus, the device
// standing for the firmware's pins (added first), the EEPROM at 0xA0 and
// the clock chip at 0xD0.
#include "eeprom_bus.h"

CEepromBus::CEepromBus(const std::string& sPath, bool bSnapshot, std::function<uint64_t()> fnFirmwareMs,
                       std::optional<std::tm> clockStart)
    : m_clock(std::move(fnFirmwareMs), clockStart)
{
    m_masterPins.Attach(&m_bus);
    m_bus.AddDevice(&m_masterPins);
    m_eeprom.Open(&m_bus, 0xA0, sPath, bSnapshot);
    m_bus.AddDevice(&m_eeprom);
    m_clock.Attach(&m_bus);
    m_bus.AddDevice(&m_clock);
    m_bus.SetFanOut(&m_devices);
}

CEepromBus::~CEepromBus() = default;

bool CEepromBus::ReadOnly() const { return m_eeprom.ReadOnly(); }
bool CEepromBus::Refused() const { return m_eeprom.Refused(); }
const std::string& CEepromBus::StatusMessage() const { return m_eeprom.StatusMessage(); }

void CEepromBus::SetStatusListener(std::function<void(const std::string&)> fnListener)
{
    m_eeprom.SetStatusListener(std::move(fnListener));
}
