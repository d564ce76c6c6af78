// The simulated bus: wired-AND line levels, the order of notifications, and
// changes made by a device while it is being notified.
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

}  // namespace
