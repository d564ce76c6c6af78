// Test rigs for the storage code: the firmware's driver and parameter store
// run on the test's own thread against a minimal host whose pins drive a
// simulated bus. No firmware thread runs.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/serial.h"
#include "core/bridge.h"
#include "core/timers.h"
#include "eeprom.h"
#include "eeprom_bus.h"
#include "i2c_bus.h"
#include "storage/i2c.h"
#include "support/firmware_fixture.h"

// A passive device that decodes every transfer from the line changes.
class CBusSniffer final : public CI2cDevice {
public:
    struct Transfer {
        std::vector<uint8_t> abBytes;  // bytes in the order sent
        std::vector<int> anAcks;       // acknowledge bit after each byte (0 = acknowledged)
    };

    void OnSdaChanged() override
    {
        if (!m_pBus->Scl())
            return;
        if (m_pBus->Sda()) {
            m_bInTransfer = false;
        } else {
            m_transfers.push_back({});
            m_bInTransfer = true;
            m_nBit = 0;
            m_nByte = 0;
        }
    }
    void OnSclChanged() override
    {
        if (!m_bInTransfer || !m_pBus->Scl())
            return;
        int nSda = m_pBus->Sda();
        if (m_nBit < 8) {
            m_nByte = (m_nByte << 1) | nSda;
            m_nBit++;
            return;
        }
        m_transfers.back().abBytes.push_back(static_cast<uint8_t>(m_nByte));
        m_transfers.back().anAcks.push_back(nSda);
        m_nBit = 0;
        m_nByte = 0;
    }

    // Write transfers to the EEPROM that carry data: {address, data bytes}.
    struct DataWrite {
        uint16_t unAddress;
        size_t nCount;
    };
    std::vector<DataWrite> DataWrites() const
    {
        std::vector<DataWrite> writes;
        for (const Transfer& t : m_transfers)
            if (t.abBytes.size() > 3 && t.abBytes[0] == 0xA0)
                writes.push_back({static_cast<uint16_t>((t.abBytes[1] << 8) | t.abBytes[2]), t.abBytes.size() - 3});
        return writes;
    }

    std::vector<Transfer> m_transfers;

private:
    bool m_bInTransfer = false;
    int m_nBit = 0;
    int m_nByte = 0;
};

// The bus wired by hand: master pins, the EEPROM, a sniffer, and a spare
// device that a test can use to hold a line low.
struct CBusRig {
    explicit CBusRig(const std::string& sPath)
    {
        master.Attach(&bus);
        bus.AddDevice(&master);
        eeprom.Open(&bus, 0xA0, sPath);
        bus.AddDevice(&eeprom);
        sniffer.Attach(&bus);
        bus.AddDevice(&sniffer);
        other.Attach(&bus);
        bus.AddDevice(&other);
    }
    CI2cBus bus;
    CI2cDevice master;
    CEeprom eeprom;
    CBusSniffer sniffer;
    CI2cDevice other;
};

// A host with no keys and no display whose I2C pins drive either a CBusRig
// or a CEepromBus. Each yield counts as one 50 ms host tick, so waits that
// consume ticks see firmware time pass. Serial output is captured.
class CStorageHost final : public HostBridge, public SerialSink {
public:
    explicit CStorageHost(CBusRig* pRig) : m_pRig(pRig) { Attach(); }
    explicit CStorageHost(CEepromBus* pBus) : m_pEepromBus(pBus) { Attach(); }
    ~CStorageHost() override
    {
        gpSerialOut = nullptr;
        FirmwareAttachHost(nullptr);
    }

    int32_t PendingTicks() override { return m_nPendingTicks; }
    void ConsumePendingTick() override { m_nPendingTicks--; }
    void Yield() override
    {
        m_nYields++;
        m_nPendingTicks++;
    }
    void I2cSetScl(int n) override { m_pRig ? m_pRig->master.SetScl(n) : m_pEepromBus->SetScl(n); }
    void I2cSetSda(int n) override { m_pRig ? m_pRig->master.SetSda(n) : m_pEepromBus->SetSda(n); }
    int I2cGetScl() override { return m_pRig ? m_pRig->bus.Scl() : m_pEepromBus->GetScl(); }
    int I2cGetSda() override { return m_pRig ? m_pRig->bus.Sda() : m_pEepromBus->GetSda(); }
    SerialSink* SerialOutput() override { return this; }
    void Write(uint8_t b) override { m_sSerial += static_cast<char>(b); }

    std::string m_sSerial;  // everything the firmware sent
    int m_nYields = 0;      // yields (one host tick each)

private:
    // The firmware as its power-up leaves it: descriptors set, waits
    // enabled, stopwatches ticking, serial output attached.
    void Attach()
    {
        FirmwareAttachHost(this);
        I2cPowerUp();
        gbTickServicesEnabled = 1;
        gpSerialOut = this;
    }

    CBusRig* m_pRig = nullptr;
    CEepromBus* m_pEepromBus = nullptr;
    int32_t m_nPendingTicks = 0;
};

inline std::vector<uint8_t> ReadFileBytes(const std::string& sPath)
{
    std::ifstream file(sPath, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& sPath, const std::vector<uint8_t>& abData)
{
    std::ofstream file(sPath, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(abData.data()), static_cast<std::streamsize>(abData.size()));
}

// A recognisable image: byte n is (n * 7 + n / 256) mod 256.
inline std::vector<uint8_t> PatternImage()
{
    std::vector<uint8_t> ab(32768);
    for (size_t n = 0; n < ab.size(); n++)
        ab[n] = static_cast<uint8_t>(n * 7 + n / 256);
    return ab;
}
