// The simulated two-wire bus and the base class of its devices.
#include "i2c_bus.h"

bool CI2cDevice::Attach(CI2cBus* pBus)
{
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
    if (m_pBus)
        m_pBus->Resolve();
}

void CI2cDevice::SetSda(int nLevel)
{
    nLevel = nLevel ? 1 : 0;
    if (nLevel == m_nSda)
        return;
    m_nSda = nLevel;
    if (m_pBus)
        m_pBus->Resolve();
}

void CI2cBus::AddDevice(CI2cDevice* pDevice)
{
    if (pDevice)
        m_apDevices.push_back(pDevice);
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
        int nScl = 1;
        int nSda = 1;
        for (const CI2cDevice* pDevice : m_apDevices) {
            nScl &= pDevice->SclOutput();
            nSda &= pDevice->SdaOutput();
        }
        bool bSclChanged = false;
        if (nScl != m_nScl) {
            m_nScl = nScl;
            for (CI2cDevice* pDevice : m_apDevices)
                pDevice->OnSclChanged();
            bSclChanged = true;
        }
        if (nSda != m_nSda) {
            m_nSda = nSda;
            for (CI2cDevice* pDevice : m_apDevices)
                pDevice->OnSdaChanged();
            continue;
        }
        if (!bSclChanged)
            break;
    }
    m_bBusy = false;
}
