// Fuzzes the simulated two-wire bus and its EEPROM. The input is a list of
// transfers made bit by bit on the lines: page writes (with roll-over past
// the page end), random reads, writes to another device, writes broken off
// before their data, and stretches of arbitrary line changes. A reference
// model of the memory follows the transfers it can predict. The bytes read
// back, the memory after every transfer, the written page of the backing
// file after every write, and the whole file (still a 32768-byte image) at
// the end of the input all equal the model. After arbitrary line changes
// the bus is recovered with nine clocks and a stop, the file must equal the
// memory, and the model takes the memory over.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "eeprom.h"
#include "eeprom_bus.h"
#include "fuzz_scratch.h"

namespace {

constexpr uint8_t DEVICE = 0xA0;

std::vector<uint8_t> ReadImage(const std::string& sPath)
{
    std::vector<uint8_t> ab(CEeprom::MEMORY_SIZE + 1);
    size_t nRead = 0;
    if (std::FILE* pFile = std::fopen(sPath.c_str(), "rb")) {
        nRead = std::fread(ab.data(), 1, ab.size(), pFile);
        std::fclose(pFile);
    }
    ab.resize(nRead);
    return ab;
}

// One page of the file as it is now.
std::vector<uint8_t> FilePage(const std::string& sPath, uint16_t unBase)
{
    std::vector<uint8_t> ab(CEeprom::PAGE_SIZE);
    size_t nRead = 0;
    if (std::FILE* pFile = std::fopen(sPath.c_str(), "rb")) {
        if (std::fseek(pFile, unBase, SEEK_SET) == 0)
            nRead = std::fread(ab.data(), 1, ab.size(), pFile);
        std::fclose(pFile);
    }
    ab.resize(nRead);
    return ab;
}

// The input, read a byte at a time; zeros once it runs out.
class CInput {
public:
    CInput(const uint8_t* pb, size_t n) : m_pb(pb), m_n(n) {}
    bool More() const { return m_i < m_n; }
    uint8_t Byte() { return m_i < m_n ? m_pb[m_i++] : 0; }
    uint16_t Address() { return static_cast<uint16_t>(((Byte() << 8) | Byte()) & (CEeprom::MEMORY_SIZE - 1)); }

private:
    const uint8_t* m_pb;
    size_t m_n;
    size_t m_i = 0;
};

void Check(bool bHolds)
{
    if (!bHolds)
        __builtin_trap();
}

// The bus master, bit by bit.
class CMaster {
public:
    explicit CMaster(CEepromBus& bus) : m_bus(bus) {}
    void Start()
    {
        m_bus.SetSda(1);
        m_bus.SetScl(1);
        m_bus.SetSda(0);
        m_bus.SetScl(0);
    }
    void Stop()
    {
        m_bus.SetSda(0);
        m_bus.SetScl(1);
        m_bus.SetSda(1);
    }
    // True when the byte is acknowledged.
    bool Send(uint8_t b)
    {
        for (int i = 7; i >= 0; i--) {
            m_bus.SetSda((b >> i) & 1);
            m_bus.SetScl(1);
            m_bus.SetScl(0);
        }
        m_bus.SetSda(1);
        m_bus.SetScl(1);
        bool bAck = m_bus.GetSda() == 0;
        m_bus.SetScl(0);
        return bAck;
    }
    uint8_t Receive(bool bAck)
    {
        m_bus.SetSda(1);
        uint8_t b = 0;
        for (int i = 0; i < 8; i++) {
            m_bus.SetScl(1);
            b = static_cast<uint8_t>((b << 1) | (m_bus.GetSda() ? 1 : 0));
            m_bus.SetScl(0);
        }
        m_bus.SetSda(bAck ? 0 : 1);
        m_bus.SetScl(1);
        m_bus.SetScl(0);
        m_bus.SetSda(1);
        return b;
    }
    // Ends whatever the device was doing: with SDA released, clocks until
    // the device lets SDA go high while SCL is high (it acknowledges or
    // sends at most eight bits in a row), then a start and a stop, which
    // leave it idle in any state.
    void Recover()
    {
        m_bus.SetSda(1);
        for (int i = 0; i < 20 && !(m_bus.GetScl() && m_bus.GetSda()); i++) {
            m_bus.SetScl(0);
            m_bus.SetScl(1);
        }
        Check(m_bus.GetScl() && m_bus.GetSda());
        m_bus.SetSda(0);
        m_bus.SetSda(1);
        Check(m_bus.Eeprom().TransferState() == CEeprom::STATE_IDLE);
    }

private:
    CEepromBus& m_bus;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbData, size_t nSize)
{
    // The file is created by the first input and used by every later one,
    // as a simulator uses it from run to run.
    const std::string& sPath = fuzz_scratch::EepromFile("bus");
    CEepromBus bus(sPath);
    Check(!bus.Refused() && !bus.ReadOnly());
    CMaster master(bus);
    std::vector<uint8_t> abModel = ReadImage(sPath);
    Check(abModel.size() == CEeprom::MEMORY_SIZE);

    CInput input(pbData, nSize);
    while (input.More()) {
        uint8_t bOp = input.Byte();
        switch (bOp % 5) {
        case 0: {  // a page write; past the page end the address rolls over within the page
            uint16_t unAddress = input.Address();
            int nCount = input.Byte() % 80;
            master.Start();
            Check(master.Send(DEVICE) && master.Send(static_cast<uint8_t>(unAddress >> 8)) &&
                  master.Send(static_cast<uint8_t>(unAddress)));
            uint16_t unBase = static_cast<uint16_t>(unAddress & ~(CEeprom::PAGE_SIZE - 1));
            for (int i = 0; i < nCount; i++) {
                uint8_t b = input.Byte();
                Check(master.Send(b));
                abModel[unBase + (unAddress + i) % CEeprom::PAGE_SIZE] = b;
            }
            master.Stop();
            Check(FilePage(sPath, unBase) == std::vector<uint8_t>(abModel.begin() + unBase,
                                                                  abModel.begin() + unBase + CEeprom::PAGE_SIZE));
            break;
        }
        case 1: {  // a random read, running on past the end of memory to address 0
            uint16_t unAddress = input.Address();
            int nCount = 1 + input.Byte() % 70;
            master.Start();
            Check(master.Send(DEVICE) && master.Send(static_cast<uint8_t>(unAddress >> 8)) &&
                  master.Send(static_cast<uint8_t>(unAddress)));
            master.Start();
            Check(master.Send(DEVICE | 1));
            for (int i = 0; i < nCount; i++)
                Check(master.Receive(i + 1 < nCount) == abModel[(unAddress + i) % CEeprom::MEMORY_SIZE]);
            master.Stop();
            break;
        }
        case 2: {  // an address nobody answers: nothing stored
            uint8_t bOther = static_cast<uint8_t>(input.Byte() & 0xFE);
            if (bOther == DEVICE || bOther == CClockChip::DEVICE_ADDRESS)
                bOther = 0xA2;
            master.Start();
            Check(!master.Send(bOther));
            for (int i = 0, n = input.Byte() % 8; i < n; i++)
                master.Send(input.Byte());
            master.Stop();
            break;
        }
        case 3: {  // broken off after the address, or by a new start: nothing stored
            uint16_t unAddress = input.Address();
            master.Start();
            Check(master.Send(DEVICE) && master.Send(static_cast<uint8_t>(unAddress >> 8)));
            if (bOp & 0x80)
                master.Send(static_cast<uint8_t>(unAddress));
            if (bOp & 0x40)
                master.Start();
            master.Stop();
            break;
        }
        default: {  // arbitrary line changes
            for (int i = 0, n = input.Byte() % 64; i < n; i++) {
                uint8_t b = input.Byte();
                switch (b & 3) {
                case 0: bus.SetScl(b >> 7); break;
                case 1: bus.SetSda(b >> 7); break;
                case 2: (void)bus.GetScl(); break;
                default: (void)bus.GetSda(); break;
                }
            }
            master.Recover();
            std::vector<uint8_t> abFile = ReadImage(sPath);
            Check(abFile.size() == CEeprom::MEMORY_SIZE &&
                  std::memcmp(abFile.data(), bus.Eeprom().Memory().data(), CEeprom::MEMORY_SIZE) == 0);
            abModel = abFile;
            continue;
        }
        }
        Check(std::memcmp(bus.Eeprom().Memory().data(), abModel.data(), CEeprom::MEMORY_SIZE) == 0);
    }
    Check(ReadImage(sPath) == abModel);
    return 0;
}
