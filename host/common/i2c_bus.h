// The simulated two-wire bus: SCL and SDA as wired-AND lines shared by the
// attached devices. A device changes its own outputs; the bus resolves the
// line levels and tells every device about each line change, synchronously.
#pragma once

#include <vector>

class CI2cBus;

// A device on the bus. The plain class is the firmware's own pins: it only
// drives the lines and ignores their changes.
class CI2cDevice {
public:
    CI2cDevice() = default;
    virtual ~CI2cDevice() = default;
    CI2cDevice(const CI2cDevice&) = delete;
    CI2cDevice& operator=(const CI2cDevice&) = delete;

    // Remembers the bus and releases both lines; always succeeds.
    bool Attach(CI2cBus* pBus);
    // 0 pulls the line low, anything else releases it. A change resolves the bus.
    void SetScl(int nLevel);
    void SetSda(int nLevel);
    int SclOutput() const { return m_nScl; }
    int SdaOutput() const { return m_nSda; }

    // Line-change notifications, called by the bus with the new level
    // already visible through Scl() / Sda() of the bus.
    virtual void OnSclChanged() {}
    virtual void OnSdaChanged() {}

protected:
    CI2cBus* m_pBus = nullptr;  // the bus this device is attached to, not owned
    int m_nScl = 1;             // SCL output: 0 pulls low, 1 releases
    int m_nSda = 1;             // SDA output: 0 pulls low, 1 releases

private:
    friend class CI2cBus;
    CI2cBus* m_pListedBus = nullptr;  // the bus whose device list holds this device
};

class CI2cBus {
public:
    CI2cBus() = default;
    CI2cBus(const CI2cBus&) = delete;
    CI2cBus& operator=(const CI2cBus&) = delete;

    // Appends a device (not owned); notifications go in the order added.
    void AddDevice(CI2cDevice* pDevice);
    // Recomputes both lines and notifies the devices of every change. A
    // device that changes an output while being notified only stores it;
    // the running resolution picks the change up.
    void Resolve();

    int Scl() const { return m_nScl; }
    int Sda() const { return m_nSda; }

private:
    friend class CI2cDevice;
    // A listed device's output changed from high to low (+1) or back (-1).
    void CountScl(int nLowDelta) { m_nSclLow += nLowDelta; }
    void CountSda(int nLowDelta) { m_nSdaLow += nLowDelta; }

    // The devices that are told of line changes, in the order added: every
    // device but the plain firmware pins, whose notifications do nothing.
    std::vector<CI2cDevice*> m_apListeners;
    bool m_bBusy = false;                  // set while Resolve runs
    int m_nScl = 1;                        // SCL line level
    int m_nSda = 1;                        // SDA line level
    // Listed devices pulling each line low: a line is the AND of the
    // outputs, so it is high exactly when its count is 0. Kept as the
    // outputs change, so a resolution need not visit every device.
    int m_nSclLow = 0;
    int m_nSdaLow = 0;
};
