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

void CI2cDevice::SetScl(int nLevel)
{
    nLevel = nLevel ? 1 : 0;
    if (nLevel == m_nScl)
        return;
    m_nScl = nLevel;
    if (m_pListedBus)
        m_pListedBus->CountScl(nLevel ? -1 : 1);
    if (m_pBus)
        m_pBus->Resolve();
}

void CI2cDevice::SetSda(int nLevel)
{
    nLevel = nLevel ? 1 : 0;
    if (nLevel == m_nSda)
        return;
    m_nSda = nLevel;
    if (m_pListedBus)
        m_pListedBus->CountSda(nLevel ? -1 : 1);
    if (m_pBus)
        m_pBus->Resolve();
}

void CI2cBus::AddDevice(CI2cDevice* pDevice)
{
    if (!pDevice || pDevice->m_pListedBus)
        return;
    if (typeid(*pDevice) != typeid(CI2cDevice))
        m_apListeners.push_back(pDevice);
    pDevice->m_pListedBus = this;
    CountScl(pDevice->m_nScl ? 0 : 1);
    CountSda(pDevice->m_nSda ? 0 : 1);
}

// When both lines change together, SCL is applied and notified first while
// the bus still shows the old SDA, then SDA: a device that changes SDA in
// answer to a clock edge never sees it as a start or stop condition.
void CI2cBus::Resolve()
{
    if (m_bBusy)
        return;
    m_bBusy = true;
    for (;;) {
        const int nScl = m_nSclLow == 0 ? 1 : 0;
        const int nSda = m_nSdaLow == 0 ? 1 : 0;
        bool bSclChanged = false;
        if (nScl != m_nScl) {
            m_nScl = nScl;
            for (CI2cDevice* pDevice : m_apListeners)
                pDevice->OnSclChanged();
            bSclChanged = true;
        }
        if (nSda != m_nSda) {
            m_nSda = nSda;
            for (CI2cDevice* pDevice : m_apListeners)
                pDevice->OnSdaChanged();
            continue;
        }
        if (!bSclChanged)
            break;
    }
    m_bBusy = false;
}
