// The simulated two-wire bus: SCL and SDA as wired-AND lines shared by the
// attached devices. A device changes its own outputs; the bus resolves the
// line levels and tells every device about each line change, synchronously.
//
// The firmware clocks every bit through here, four pin changes a bit, so one
// pin change is kept short and inline: the bus counts the devices pulling
// each line low (a line is high exactly when its count is 0), an output that
// does not change costs one compare, and a change that leaves both lines as
// they were costs no resolution. An owner that knows the bus's only
// listener drives the bus through DriveScl / DriveSda, which notify that
// listener by a direct call and take the usual case, one line moving and
// nothing answering on the bus, without the general loop.
#pragma once

#include <cassert>
#include <type_traits>
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
    inline void SetScl(int nLevel);
    inline void SetSda(int nLevel);
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
    // After the devices are added: a device (not listed) that hands every
    // line change to all the listed ones in order, so that DriveScl /
    // DriveSda can take it for the bus's one listener.
    void SetFanOut(CI2cDevice* pFanOut) { m_pSoleListener = pFanOut; }
    // Recomputes both lines and notifies the devices of every change. A
    // device that changes an output while being notified only stores it;
    // the running resolution picks the change up.
    void Resolve()
    {
        if (!m_bBusy && (LineLevel(m_nSclLow) != m_nScl || LineLevel(m_nSdaLow) != m_nSda))
            Propagate();
    }

    // The same as driver.SetScl / driver.SetSda, for an owner that knows the
    // bus's only listener, a device of a final class. The driver must be
    // attached to and listed on this bus. The listener takes a line change
    // first through TakeSclQuietly / TakeSdaQuietly, which handle the change
    // and return true when it changes none of the listener's outputs, and
    // otherwise do nothing and return false; the change then goes to its
    // OnSclChanged / OnSdaChanged.
    template <class TDevice>
    [[gnu::always_inline]] void DriveScl(CI2cDevice& driver, int nLevel, TDevice& listener)
    {
        static_assert(std::is_final_v<TDevice>, "a direct call must reach the device's own handler");
        assert(driver.m_pBus == this && driver.m_pListedBus == this && m_pSoleListener == &listener);
        nLevel = nLevel ? 1 : 0;
        if (nLevel == driver.m_nScl)
            return;
        driver.m_nScl = nLevel;
        const int nSclLow = m_nSclLow += nLevel ? -1 : 1;
        if (m_bBusy)
            return;
        if (LineLevel(nSclLow) == m_nScl || LineLevel(m_nSdaLow) != m_nSda) {
            Resolve();  // SCL stays, or SDA has a change pending as well
            return;
        }
        // The first round: SCL moves, SDA does not. When the listener
        // changes no output, the next round would find nothing to do.
        m_bBusy = true;
        m_nScl = LineLevel(nSclLow);
        if (listener.TakeSclQuietly())
            m_bBusy = false;
        else
            FinishRound(listener, &TDevice::OnSclChanged);
    }
    template <class TDevice>
    [[gnu::always_inline]] void DriveSda(CI2cDevice& driver, int nLevel, TDevice& listener)
    {
        static_assert(std::is_final_v<TDevice>, "a direct call must reach the device's own handler");
        assert(driver.m_pBus == this && driver.m_pListedBus == this && m_pSoleListener == &listener);
        nLevel = nLevel ? 1 : 0;
        if (nLevel == driver.m_nSda)
            return;
        driver.m_nSda = nLevel;
        const int nSdaLow = m_nSdaLow += nLevel ? -1 : 1;
        if (m_bBusy)
            return;
        if (LineLevel(nSdaLow) == m_nSda || LineLevel(m_nSclLow) != m_nScl) {
            Resolve();  // SDA stays, or SCL has a change pending as well
            return;
        }
        // The first round: SDA moves, SCL does not.
        m_bBusy = true;
        m_nSda = LineLevel(nSdaLow);
        if (listener.TakeSdaQuietly())
            m_bBusy = false;
        else
            FinishRound(listener, &TDevice::OnSdaChanged);
    }

    int Scl() const { return m_nScl; }
    int Sda() const { return m_nSda; }

private:
    friend class CI2cDevice;
    static int LineLevel(int nPullingLow) { return nPullingLow == 0 ? 1 : 0; }
    // A listed device's output changed from high to low (+1) or back (-1).
    void CountScl(int nLowDelta) { m_nSclLow += nLowDelta; }
    void CountSda(int nLowDelta) { m_nSdaLow += nLowDelta; }
    // A resolution, every listener notified in turn.
    void Propagate();
    // The end of a first round in which one line moved: the sole listener
    // is notified, and the rounds go on if it changed an output.
    template <class TDevice>
    [[gnu::noinline]] void FinishRound(TDevice& listener, void (TDevice::*pfnNotify)())
    {
        const int nSclLow = m_nSclLow;
        const int nSdaLow = m_nSdaLow;
        (listener.*pfnNotify)();
        if (m_nSclLow != nSclLow || m_nSdaLow != nSdaLow)
            RunRounds([&listener] { listener.OnSclChanged(); }, [&listener] { listener.OnSdaChanged(); });
        else
            m_bBusy = false;
    }
    // The rounds of a resolution, with the bus already busy; clears busy.
    // When both lines change together, SCL is applied and notified first
    // while the bus still shows the old SDA, then SDA: a device that changes
    // SDA in answer to a clock edge never sees it as a start or stop
    // condition. Each round works from the levels as they stood at its
    // start; a change made during a notification is seen by the next round.
    template <class FNotifyScl, class FNotifySda>
    void RunRounds(FNotifyScl fnNotifyScl, FNotifySda fnNotifySda)
    {
        for (;;) {
            const int nScl = LineLevel(m_nSclLow);
            const int nSda = LineLevel(m_nSdaLow);
            const bool bSclChanged = nScl != m_nScl;
            if (bSclChanged) {
                m_nScl = nScl;
                fnNotifyScl();
            }
            if (nSda != m_nSda) {
                m_nSda = nSda;
                fnNotifySda();
            } else if (!bSclChanged) {
                break;
            }
        }
        m_bBusy = false;
    }

    // The devices that are told of line changes, in the order added: every
    // device but the plain firmware pins, whose notifications do nothing.
    std::vector<CI2cDevice*> m_apListeners;
    CI2cDevice* m_pSoleListener = nullptr;  // the listener when there is exactly one
    bool m_bBusy = false;                   // set while a resolution runs
    int m_nScl = 1;                         // SCL line level
    int m_nSda = 1;                         // SDA line level
    int m_nSclLow = 0;                      // listed devices pulling SCL low
    int m_nSdaLow = 0;                      // listed devices pulling SDA low
};

inline void CI2cDevice::SetScl(int nLevel)
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

inline void CI2cDevice::SetSda(int nLevel)
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
