// The simulated two-wire bus and the base class of its devices.
#include "i2c_bus.h"

#include <typeinfo>

// A device listed on a bus releases its lines there before it moves on.
bool CI2cDevice::Attach(CI2cBus* pBus)
{
    if (m_pListedBus) {
        m_pListedBus->CountScl(m_nScl ? 0 : -1);
        m_pListedBus->CountSda(m_nSda ? 0 : -1);
    }
    m_pBus = pBus;
    m_nScl = 1;
    m_nSda = 1;
    return true;
}

void CI2cBus::AddDevice(CI2cDevice* pDevice)
{
    if (!pDevice || pDevice->m_pListedBus)
        return;
    if (typeid(*pDevice) != typeid(CI2cDevice))
        m_apListeners.push_back(pDevice);
    m_pSoleListener = m_apListeners.size() == 1 ? m_apListeners.front() : nullptr;
    pDevice->m_pListedBus = this;
    CountScl(pDevice->m_nScl ? 0 : 1);
    CountSda(pDevice->m_nSda ? 0 : 1);
}

void CI2cBus::Propagate()
{
    m_bBusy = true;
    RunRounds(
        [this] {
            for (CI2cDevice* pDevice : m_apListeners)
                pDevice->OnSclChanged();
        },
        [this] {
            for (CI2cDevice* pDevice : m_apListeners)
                pDevice->OnSdaChanged();
        });
}
