// The store's start-up on the firmware thread of the headless host, as the
// power-up runs it: descriptors, driver initialisation, load, signature
// check, range repair.
#include <gtest/gtest.h>

#include <cstring>

#include "app/probe.h"
#include "core/runtime.h"
#include "storage/bus_rig.h"
#include "storage/params.h"

namespace {

void StorePowerUpStep(uint8_t bPhase)
{
    if (bPhase != PHASE_INIT)
        return;
    I2cPowerUp();
    StartParameterStore();
    RepairParameters();
}

class StoreStartupTest : public FirmwareTest {
protected:
    void PowerUp()
    {
        FirmwareSetUiStep(StorePowerUpStep);
        Host().PowerUp();
        Host().Tick(2);
    }
};

TEST_F(StoreStartupTest, FirstPowerUpInitialisesTheEeprom)
{
    PowerUp();
    EXPECT_EQ(Host().SerialText(), "START\r\n\r\n * INITIALISING BATTERY BACKED RAM *\r\n\r\n");
    EXPECT_FALSE(Host().Bus().ReadOnly());
    std::vector<uint8_t> abFile = ReadFileBytes("eeprom.bin");
    ASSERT_EQ(abFile.size(), 32768u);
    EXPECT_EQ(abFile[0x15], 0x02);
    EXPECT_EQ(abFile[0x16], 0x58);
    EXPECT_EQ(abFile[0x01], 1);
    EXPECT_EQ(abFile[0x28], 0);
    EXPECT_EQ(gunWavelength, 600);
}

TEST_F(StoreStartupTest, PowerUpRepairsAStoredWavelengthOfOneHundred)
{
    // An initialised image (valid signature) whose working wavelength is 100 nm.
    m_pHost.reset();
    std::vector<uint8_t> abImage(32768, 0);
    std::memcpy(&abImage[PARAM_SIGNATURE], PARAM_SIGNATURE_TEXT, std::strlen(PARAM_SIGNATURE_TEXT) + 1);
    abImage[0x05] = 1;
    abImage[0x15] = 0x00;
    abImage[0x16] = 0x64;
    for (uint16_t unSlot : {0x17, 0x19, 0x1B, 0x1D, 0x1F, 0x21, 0x23}) {
        abImage[unSlot] = 0x01;
        abImage[unSlot + 1] = 0xF4;  // 500 nm
    }
    abImage[0x2E] = 0x01;
    abImage[0x2F] = 0x2C;
    WriteFileBytes("eeprom.bin", abImage);
    m_pHost = std::make_unique<CInstrument>(HostOptions());

    PowerUp();
    EXPECT_EQ(Host().SerialText(), "START\r\n");
    EXPECT_EQ(gunWavelength, 600);
    EXPECT_EQ(gunWavelengthB, 500);
    std::vector<uint8_t> abFile = ReadFileBytes("eeprom.bin");
    abImage[0x15] = 0x02;
    abImage[0x16] = 0x58;
    EXPECT_EQ(abFile, abImage);  // the repaired wavelength is the only change
}

}  // namespace
