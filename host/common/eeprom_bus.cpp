// The simulated two-wire bus as every host sets it up: the bus, the device
// standing for the firmware's pins (added first), the EEPROM at 0xA0 and
// the clock chip at 0xD0.
#include "eeprom_bus.h"

CEepromBus::CEepromBus(const std::string& sPath, bool bSnapshot, std::function<uint64_t()> fnFirmwareMs,
                       std::optional<std::tm> clockStart)
    : m_devices(std::move(fnFirmwareMs), clockStart)
{
    m_masterPins.Attach(&m_bus);
    m_bus.AddDevice(&m_masterPins);
    m_devices.Eeprom().Open(&m_bus, 0xA0, sPath, bSnapshot);
    m_bus.AddDevice(&m_devices.Eeprom());
    m_devices.Clock().Attach(&m_bus);
    m_bus.AddDevice(&m_devices.Clock());
    m_bus.SetFanOut(&m_devices);
}

CEepromBus::~CEepromBus() = default;

bool CEepromBus::ReadOnly() const { return m_devices.Eeprom().ReadOnly(); }
bool CEepromBus::Refused() const { return m_devices.Eeprom().Refused(); }
const std::string& CEepromBus::StatusMessage() const { return m_devices.Eeprom().StatusMessage(); }

void CEepromBus::SetStatusListener(std::function<void(const std::string&)> fnListener)
{
    m_devices.Eeprom().SetStatusListener(std::move(fnListener));
}
