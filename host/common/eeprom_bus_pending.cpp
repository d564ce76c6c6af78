// Placeholder for the simulated bus until the two-wire devices are built:
// the lines show the master's own outputs and no device answers. Removed
// when the bus and the EEPROM land.
#include "eeprom_bus.h"

struct CEepromBus::Impl {
    int nScl = 1;
    int nSda = 1;
    std::string sStatus;
};

CEepromBus::CEepromBus(const std::string&) : m_pImpl(std::make_unique<Impl>()) {}
CEepromBus::~CEepromBus() = default;
void CEepromBus::SetScl(int nLevel) { m_pImpl->nScl = nLevel ? 1 : 0; }
void CEepromBus::SetSda(int nLevel) { m_pImpl->nSda = nLevel ? 1 : 0; }
int CEepromBus::GetScl() const { return m_pImpl->nScl; }
int CEepromBus::GetSda() const { return m_pImpl->nSda; }
bool CEepromBus::ReadOnly() const { return false; }
const std::string& CEepromBus::StatusMessage() const { return m_pImpl->sStatus; }
