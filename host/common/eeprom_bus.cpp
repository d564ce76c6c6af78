// The simulated two-wire bus as every host sets it up: the bus, the device
// standing for the firmware's pins (added first), and the EEPROM at 0xA0.
#include "eeprom_bus.h"

#include "eeprom.h"
#include "i2c_bus.h"

struct CEepromBus::Impl {
    CI2cBus bus;
    CI2cDevice masterPins;  // the firmware's SCL and SDA pins
    CEeprom eeprom;
};

CEepromBus::CEepromBus(const std::string& sPath) : m_pImpl(std::make_unique<Impl>())
{
    m_pImpl->masterPins.Attach(&m_pImpl->bus);
    m_pImpl->bus.AddDevice(&m_pImpl->masterPins);
    m_pImpl->eeprom.Open(&m_pImpl->bus, 0xA0, sPath);
    m_pImpl->bus.AddDevice(&m_pImpl->eeprom);
}

CEepromBus::~CEepromBus() = default;

void CEepromBus::SetScl(int nLevel) { m_pImpl->masterPins.SetScl(nLevel); }
void CEepromBus::SetSda(int nLevel) { m_pImpl->masterPins.SetSda(nLevel); }
int CEepromBus::GetScl() const { return m_pImpl->bus.Scl(); }
int CEepromBus::GetSda() const { return m_pImpl->bus.Sda(); }
bool CEepromBus::ReadOnly() const { return m_pImpl->eeprom.ReadOnly(); }
bool CEepromBus::Refused() const { return m_pImpl->eeprom.Refused(); }
const std::string& CEepromBus::StatusMessage() const { return m_pImpl->eeprom.StatusMessage(); }

void CEepromBus::SetStatusListener(std::function<void(const std::string&)> fnListener)
{
    m_pImpl->eeprom.SetStatusListener(std::move(fnListener));
}

const CEeprom& CEepromBus::Eeprom() const { return m_pImpl->eeprom; }
