// Fuzzes the instrument's start on an arbitrary eeprom.bin. A file that is
// not exactly 32768 bytes must be refused and left untouched. A whole image
// is loaded as the start-up sequence loads it (the store, initialised again
// when its signature is missing, then the range repair), after which every
// setting the instrument indexes with, and every method loaded from any
// slot, lies inside its table, and the file is still a whole image.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/bridge.h"
#include "eeprom.h"
#include "eeprom_bus.h"
#include "fuzz_scratch.h"
#include "storage/i2c.h"
#include "storage/method_record.h"
#include "storage/params.h"
#include "ui/ui_internal.h"

namespace {

#define NO_SANITIZE __attribute__((no_sanitize("address", "undefined")))

// The two-wire bus and nothing else; time passes a tick per yield.
class CStoreOnlyHost final : public HostBridge {
public:
    explicit CStoreOnlyHost(CEepromBus* pBus) : m_pBus(pBus) { FirmwareAttachHost(this); }
    ~CStoreOnlyHost() override { FirmwareAttachHost(nullptr); }
    int32_t PendingTicks() override { return m_nPendingTicks; }
    void ConsumePendingTick() override { m_nPendingTicks--; }
    void Yield() override { m_nPendingTicks++; }
    // Forwarded unchecked, like the bus code behind them (see CMakeLists).
    NO_SANITIZE void I2cSetScl(int n) override { m_pBus->SetScl(n); }
    NO_SANITIZE void I2cSetSda(int n) override { m_pBus->SetSda(n); }
    NO_SANITIZE int I2cGetScl() override { return m_pBus->GetScl(); }
    NO_SANITIZE int I2cGetSda() override { return m_pBus->GetSda(); }

private:
    CEepromBus* m_pBus;
    int32_t m_nPendingTicks = 0;
};

void WriteFile(const std::string& sPath, const uint8_t* pbData, size_t nSize)
{
    std::FILE* pFile = std::fopen(sPath.c_str(), "wb");
    if (pFile == nullptr || (nSize > 0 && std::fwrite(pbData, 1, nSize, pFile) != nSize))
        std::abort();
    std::fclose(pFile);
}

std::vector<uint8_t> ReadFile(const std::string& sPath)
{
    std::vector<uint8_t> ab(2 * EEPROM_SIZE);
    std::FILE* pFile = std::fopen(sPath.c_str(), "rb");
    size_t nRead = pFile ? std::fread(ab.data(), 1, ab.size(), pFile) : 0;
    if (pFile)
        std::fclose(pFile);
    ab.resize(nRead);
    return ab;
}

static_assert(CEeprom::MEMORY_SIZE == EEPROM_SIZE);

void Require(bool bHolds)
{
    if (!bHolds)
        __builtin_trap();
}

void RequireMethodInTables()
{
    Require(gMethod.unWavelength >= METHOD_WAVELENGTH_MIN && gMethod.unWavelength <= METHOD_WAVELENGTH_MAX);
    Require(gMethod.unUnits < METHOD_UNITS_COUNT);
    Require(gMethod.unKinetics <= 2 && gMethod.bCalibration <= 1 && gMethod.bCurveFit <= 1);
    Require(gMethod.szName[METHOD_NAME_LENGTH] == '\0');
    for (int i = 0; i < METHOD_NAME_LENGTH; i++)
        Require(gMethod.szName[i] != '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbData, size_t nSize)
{
    const std::string& sPath = fuzz_scratch::EepromFile("store");
    // Mostly whole images: the size is taken from the input only when its
    // first byte says so, so that the loader gets most of the work.
    bool bWholeImage = nSize == 0 || pbData[0] != 0x5A;
    std::vector<uint8_t> abFile(pbData, pbData + nSize);
    if (bWholeImage) {
        abFile.resize(EEPROM_SIZE, 0xFF);
        // Most mutations of an image move or break its signature, and an
        // image without one is wiped and initialised alike whatever else it
        // holds: left alone, most inputs would spend their time on the same
        // 512 page writes and the loader and the repair would see few
        // images. So the signature is written in, unless the low four bits
        // of the image's last byte (in the half of the EEPROM the store
        // never uses) are zero: those images start as they are.
        if ((abFile[EEPROM_SIZE - 1] & 0x0F) != 0)
            std::memcpy(abFile.data() + PARAM_SIGNATURE, PARAM_SIGNATURE_TEXT, std::strlen(PARAM_SIGNATURE_TEXT) + 1);
    }
    WriteFile(sPath, abFile.data(), abFile.size());

    CEepromBus bus(sPath);
    if (abFile.size() != EEPROM_SIZE && !abFile.empty()) {
        Require(bus.Refused());
        Require(ReadFile(sPath) == abFile);
        return 0;
    }
    Require(!bus.Refused() && !bus.ReadOnly());
    CStoreOnlyHost host(&bus);

    // The devices and driver as the firmware's start-up sets them up; the
    // store answers on the bus only once the EEPROM is described.
    I2cPowerUp();
    StartParameterStore();
    RepairParameters();
    // The store went through the EEPROM: its signature is there now, read
    // from the image or written by the initialisation.
    Require(std::memcmp(bus.Eeprom().Memory().data() + PARAM_SIGNATURE, PARAM_SIGNATURE_TEXT,
                        std::strlen(PARAM_SIGNATURE_TEXT) + 1) == 0);

    for (const ParamSetting& setting : gParamSettings) {
        if (!setting.bRepair)
            continue;
        uint16_t unValue = setting.pbByte ? *setting.pbByte : *setting.punWord;
        // The repair puts back the default, which for the fourth multi
        // wavelength (830 nm) lies above the range it checks.
        Require((unValue >= setting.unLow && unValue <= setting.unHigh) || unValue == setting.unDefault);
    }
    Require(gbLanguage <= 4);
    Require(gfSValue >= 0.0 && gfSValue <= SVALUE_MAX);
    Require(gnHolmiumOffset >= -HOLMIUM_LIMIT && gnHolmiumOffset <= HOLMIUM_LIMIT);
    Require(std::memcmp(gszSignature, PARAM_SIGNATURE_TEXT, std::strlen(PARAM_SIGNATURE_TEXT) + 1) == 0);

    // Every slot's record, as it lies in the memory, becomes the working
    // method as the method screens make it one; reading all hundred over
    // the bus for every input would cost more than the rest of the start.
    const uint8_t* pbMemory = bus.Eeprom().Memory().data();
    auto RecordInMemory = [pbMemory](int nSlot) { return pbMemory + METHOD_RECORD_BASE + METHOD_RECORD_SIZE * nSlot; };
    for (int nSlot = 0; nSlot < METHOD_COUNT; nSlot++) {
        UseMethodRecord(RecordInMemory(nSlot));
        RequireMethodInTables();
    }
    // The current method as the instrument loads it, over the bus, from
    // the same bytes; slot 100, which the repair lets through, gives the
    // default method.
    if (gunCurrentMethod < METHOD_COUNT) {
        uint8_t abRecord[METHOD_RECORD_SIZE];
        LoadMethod(gunCurrentMethod, abRecord);
        Require(std::memcmp(abRecord, RecordInMemory(gunCurrentMethod), METHOD_RECORD_SIZE) == 0);
    }
    LoadMethodWork(gunCurrentMethod);
    RequireMethodInTables();

    // The file mirrors the memory, compared whole.
    std::vector<uint8_t> abAfter = ReadFile(sPath);
    Require(abAfter.size() == EEPROM_SIZE);
    Require(std::memcmp(abAfter.data(), bus.Eeprom().Memory().data(), EEPROM_SIZE) == 0);
    return 0;
}
