// The simulated bus: wired-AND line levels, the order of notifications,
// changes made by a device while it is being notified, and driving the bus
// with its one listener named.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "i2c_bus.h"

namespace {

// Logs every notification with the line levels it sees; can answer an SCL
// fall by pulling SDA low, as a device acknowledging.
class CLoggingDevice final : public CI2cDevice {
public:
    void OnSclChanged() override
    {
        Log("SCL");
        if (m_bAnswerSclFall && !m_pBus->Scl())
            SetSda(0);
    }
    void OnSdaChanged() override { Log("SDA"); }
    // Nothing is taken quietly: every change reaches the handlers above.
    bool TakeSclQuietly() { return false; }
    bool TakeSdaQuietly() { return false; }
    void Log(const char* pszLine)
    {
        m_asLog.push_back(std::string(pszLine) + " scl=" + std::to_string(m_pBus->Scl()) +
                          " sda=" + std::to_string(m_pBus->Sda()));
    }
    bool m_bAnswerSclFall = false;
    std::vector<std::string> m_asLog;
};

TEST(I2cBusTest, LinesAreTheAndOfEveryDevicesOutputs)
{
    CI2cBus bus;
    EXPECT_EQ(bus.Scl(), 1);
    EXPECT_EQ(bus.Sda(), 1);
    CI2cDevice a, b;
    a.Attach(&bus);
    b.Attach(&bus);
    bus.AddDevice(&a);
    bus.AddDevice(&b);
    a.SetSda(0);
    EXPECT_EQ(bus.Sda(), 0);
    b.SetSda(0);
    a.SetSda(1);
    EXPECT_EQ(bus.Sda(), 0);  // b still pulls it low
    b.SetSda(7);              // any non-zero level releases
    EXPECT_EQ(bus.Sda(), 1);
    EXPECT_EQ(b.SdaOutput(), 1);
    b.SetScl(0);
    EXPECT_EQ(bus.Scl(), 0);
    EXPECT_EQ(bus.Sda(), 1);
}

// An output change that leaves the line as it was (another device still
// holds it low) is no line change: nobody is told.
TEST(I2cBusTest, ALineHeldByAnotherDeviceDoesNotMove)
{
    CI2cBus bus;
    CI2cDevice master, holder;
    CLoggingDevice watcher;
    for (CI2cDevice* p : {&master, &holder, static_cast<CI2cDevice*>(&watcher)}) {
        p->Attach(&bus);
        bus.AddDevice(p);
    }
    holder.SetScl(0);
    holder.SetSda(0);
    watcher.m_asLog.clear();
    master.SetScl(0);
    master.SetSda(0);
    master.SetScl(1);
    master.SetSda(1);
    EXPECT_TRUE(watcher.m_asLog.empty());
    EXPECT_EQ(bus.Scl(), 0);
    EXPECT_EQ(bus.Sda(), 0);
}

TEST(I2cBusTest, ChangesAreNotifiedOnceToEveryDeviceInOrder)
{
    CI2cBus bus;
    CI2cDevice master;
    CLoggingDevice first, second;
    for (CI2cDevice* p : {static_cast<CI2cDevice*>(&master), static_cast<CI2cDevice*>(&first),
                          static_cast<CI2cDevice*>(&second)}) {
        p->Attach(&bus);
        bus.AddDevice(p);
    }
    master.SetScl(0);
    master.SetScl(0);  // no change, no notification
    master.SetSda(0);
    EXPECT_EQ(first.m_asLog, (std::vector<std::string>{"SCL scl=0 sda=1", "SDA scl=0 sda=0"}));
    EXPECT_EQ(second.m_asLog, first.m_asLog);
}

// A device that answers the clock's fall by pulling SDA: the change is made
// inside the notification, picked up by the same resolution, and seen by
// everybody after the SCL change (so never as a start condition).
TEST(I2cBusTest, ADeviceAnsweringInsideANotificationIsResolvedAfterTheClock)
{
    CI2cBus bus;
    CI2cDevice master;
    CLoggingDevice answering, watcher;
    for (CI2cDevice* p : {static_cast<CI2cDevice*>(&master), static_cast<CI2cDevice*>(&answering),
                          static_cast<CI2cDevice*>(&watcher)}) {
        p->Attach(&bus);
        bus.AddDevice(p);
    }
    answering.m_bAnswerSclFall = true;
    master.SetScl(0);
    EXPECT_EQ(bus.Sda(), 0);
    EXPECT_EQ(watcher.m_asLog, (std::vector<std::string>{"SCL scl=0 sda=1", "SDA scl=0 sda=0"}));
}

// The same steps through SetScl / SetSda of the driver and through the
// bus's DriveScl / DriveSda with the listener named give the same
// notifications and levels, also when a device added with SDA already low
// left a change pending, and when the listener answers a clock edge.
TEST(I2cBusTest, DrivingWithTheListenerNamedIsTheSameAsSettingThePins)
{
    struct Rig {
        CI2cBus bus;
        CI2cDevice master, late;
        CLoggingDevice listener;
        Rig()
        {
            master.Attach(&bus);
            bus.AddDevice(&master);
            listener.Attach(&bus);
            bus.AddDevice(&listener);
            listener.m_bAnswerSclFall = true;
        }
    };
    Rig plain, driven;
    // Each step: 'c' or 'd' (SCL or SDA), the level; 'p' adds a device
    // that pulls SDA low without a resolution; 'r' lets the listener
    // release SDA.
    const char* kSteps = "c0 d0 c1 r1 d1 c0 c1 p0 c0 d0 c1 d1 c0";
    for (const char* p = kSteps; *p; p += (p[2] ? 3 : 2)) {
        const int nLevel = p[1] - '0';
        for (Rig* pRig : {&plain, &driven}) {
            switch (p[0]) {
            case 'c':
                pRig == &plain ? pRig->master.SetScl(nLevel) : pRig->bus.DriveScl(pRig->master, nLevel, pRig->listener);
                break;
            case 'd':
                pRig == &plain ? pRig->master.SetSda(nLevel) : pRig->bus.DriveSda(pRig->master, nLevel, pRig->listener);
                break;
            case 'p':
                pRig->late.SetSda(0);
                pRig->bus.AddDevice(&pRig->late);
                break;
            default:
                pRig->listener.m_bAnswerSclFall = false;
                pRig->listener.SetSda(1);
                break;
            }
        }
        SCOPED_TRACE(std::string(p, 2));
        EXPECT_EQ(driven.listener.m_asLog, plain.listener.m_asLog);
        EXPECT_EQ(driven.bus.Scl(), plain.bus.Scl());
        EXPECT_EQ(driven.bus.Sda(), plain.bus.Sda());
    }
    // The steps reached every case: the pending change, and the answer.
    EXPECT_EQ(plain.bus.Sda(), 0);
    EXPECT_GE(plain.listener.m_asLog.size(), 10u);
}

}  // namespace
