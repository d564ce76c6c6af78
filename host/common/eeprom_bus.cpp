// The simulated two-wire bus as every host sets it up: the bus, the device
// standing for the firmware's pins (added first), and the EEPROM at 0xA0.
#include "eeprom_bus.h"

CEepromBus::CEepromBus(const std::string& sPath, bool bSnapshot)
{
    m_masterPins.Attach(&m_bus);
    m_bus.AddDevice(&m_masterPins);
    m_eeprom.Open(&m_bus, 0xA0, sPath, bSnapshot);
    m_bus.AddDevice(&m_eeprom);
}

CEepromBus::~CEepromBus() = default;

bool CEepromBus::ReadOnly() const { return m_eeprom.ReadOnly(); }
bool CEepromBus::Refused() const { return m_eeprom.Refused(); }
const std::string& CEepromBus::StatusMessage() const { return m_eeprom.StatusMessage(); }

void CEepromBus::SetStatusListener(std::function<void(const std::string&)> fnListener)
{
    m_eeprom.SetStatusListener(std::move(fnListener));
}
