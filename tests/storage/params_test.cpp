// The parameter store over the driver and the simulated EEPROM: first-start
// initialisation, load and write-through, the range repair, the encodings
// of the stored values, and where the factory values live.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "bus_rig.h"
#include "storage/params.h"

namespace {

class ParamStoreTest : public ScratchDirTest {
protected:
    void SetUp() override
    {
        ScratchDirTest::SetUp();
        PowerCycle();
    }
    void TearDown() override
    {
        m_pHost.reset();
        m_pRig.reset();
        ScratchDirTest::TearDown();
    }
    // A fresh bus on the same file, as at the next start of the simulator.
    void PowerCycle()
    {
        m_pHost.reset();
        m_pRig.reset();
        m_pRig = std::make_unique<CBusRig>("eeprom.bin");
        m_pHost = std::make_unique<CStorageHost>(m_pRig.get());
    }
    // Writes bytes straight into the file, between two power cycles.
    void PatchFile(uint16_t unAddress, std::vector<uint8_t> abBytes)
    {
        m_pHost.reset();
        m_pRig.reset();
        std::vector<uint8_t> abImage = ReadFileBytes("eeprom.bin");
        std::copy(abBytes.begin(), abBytes.end(), abImage.begin() + unAddress);
        WriteFileBytes("eeprom.bin", abImage);
        PowerCycle();
    }
    std::vector<uint8_t> FileAt(uint16_t unAddress, size_t nCount)
    {
        std::vector<uint8_t> abImage = ReadFileBytes("eeprom.bin");
        return std::vector<uint8_t>(abImage.begin() + unAddress, abImage.begin() + unAddress + nCount);
    }
    size_t DataWrites() const { return m_pRig->sniffer.DataWrites().size(); }

    std::unique_ptr<CBusRig> m_pRig;
    std::unique_ptr<CStorageHost> m_pHost;
};

TEST_F(ParamStoreTest, FirstStartInitialisesTheWholeMemory)
{
    gunWavelength = 123;  // a working copy that must be set back to its default
    StartParameterStore();
    EXPECT_EQ(m_pHost->m_sSerial, "\r\n * INITIALISING BATTERY BACKED RAM *\r\n\r\n");

    std::vector<uint8_t> abImage = ReadFileBytes("eeprom.bin");
    ASSERT_EQ(abImage.size(), 32768u);
    EXPECT_EQ(FileAt(0x15, 2), (std::vector<uint8_t>{0x02, 0x58}));
    EXPECT_EQ(abImage[0x01], 1);
    EXPECT_EQ(abImage[0x03], 2);
    EXPECT_EQ(abImage[0x0F], 150);
    EXPECT_EQ(abImage[0x28], 0);
    EXPECT_EQ(FileAt(0x2E, 2), (std::vector<uint8_t>{0x01, 0x2C}));
    EXPECT_EQ(FileAt(0x23, 2), (std::vector<uint8_t>{0x03, 0x3E}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&abImage[PARAM_SIGNATURE])), "Ram integrity signature");
    // Everything outside the settings and the signature is cleared.
    for (size_t n = PARAM_PROTEIN_GROUP_BASE; n < abImage.size(); n++) {
        if (n < PARAM_SIGNATURE || n >= PARAM_SIGNATURE + PARAM_SIGNATURE_SIZE) {
            ASSERT_EQ(abImage[n], 0) << n;
        }
    }
    EXPECT_EQ(gunWavelength, 600);
    EXPECT_EQ(gulSerialNumber, 0u);
    EXPECT_EQ(gnHolmiumOffset, 0);

    // The image built from the settings table is what a first start leaves.
    std::vector<uint8_t> abBuilt(EEPROM_SIZE);
    BuildInitialisedImage(abBuilt.data());
    EXPECT_EQ(abBuilt, abImage);
}

TEST_F(ParamStoreTest, LaterStartsLoadTheStoredValuesWithoutInitialising)
{
    StartParameterStore();
    SetWavelength(450);
    SetLanguage(3);
    SetSampleNumber(77);
    SetSValue(2.25);
    gulSerialNumber = 40123;
    SaveSerialNumber();

    PowerCycle();
    gunWavelength = 0;
    gbLanguage = 0;
    m_pHost->m_sSerial.clear();
    StartParameterStore();
    EXPECT_EQ(m_pHost->m_sSerial, "");
    EXPECT_EQ(DataWrites(), 0u);
    EXPECT_EQ(gunWavelength, 450);
    EXPECT_EQ(gbLanguage, 3);
    EXPECT_EQ(gunSampleNumber, 77);
    EXPECT_EQ(gfSValue, 2.25);
    EXPECT_EQ(gulSerialNumber, 40123u);
}

TEST_F(ParamStoreTest, SettersWriteOnlyWhenTheValueChanges)
{
    StartParameterStore();
    size_t nBefore = DataWrites();
    SetWavelength(600);
    SetLanguage(0);
    SetSValue(0.0);
    SetMultiWavelength(2, 628);
    EXPECT_EQ(DataWrites(), nBefore);

    SetWavelength(450);
    ASSERT_EQ(DataWrites(), nBefore + 1);
    EXPECT_EQ(m_pRig->sniffer.DataWrites().back().unAddress, 0x15);
    EXPECT_EQ(FileAt(0x15, 2), (std::vector<uint8_t>{0x01, 0xC2}));

    SetMultiWavelength(2, 700);
    EXPECT_EQ(m_pRig->sniffer.DataWrites().back().unAddress, 0x21);
    SetMultiWavelength(4, 700);  // no such wavelength
    SetLanguage(2);
    EXPECT_EQ(m_pRig->sniffer.DataWrites().back().unAddress, 0x28);
    EXPECT_EQ(DataWrites(), nBefore + 3);
    EXPECT_EQ(FileAt(0x28, 1)[0], 2);
}

// Every setting's setter writes its own slot and nothing else: bytes as
// they are, words most significant byte first.
TEST_F(ParamStoreTest, EverySetterWritesItsSlotAndOnlyIt)
{
    struct ByteSetting {
        void (*pfnSet)(uint8_t);
        uint16_t unSlot;
    } kBytes[] = {
        {SetLastOperation, 0x00},   {SetSampleNumber, 0x01},   {SetSetting02, 0x02},
        {SetOutputDevice, 0x03},    {SetBaudRate, 0x04},       {SetDateFormat, 0x05},
        {SetCurrentMethod, 0x06},   {SetMethodListRow, 0x07},  {SetSetting08, 0x08},
        {SetMethodListPage, 0x09},  {SetSetting0A, 0x0A},      {SetSetting0B, 0x0B},
        {SetStandardsRow, 0x0C},    {SetTransmittanceMode, 0x0D}, {SetSetting0E, 0x0E},
        {SetSetting0F, 0x0F},       {SetMethodField, 0x10},    {SetSetting11, 0x11},
        {SetSetting12, 0x12},       {SetAutoPrint, 0x25},      {SetSetting26, 0x26},
        {SetSetting27, 0x27},       {SetLanguage, 0x28},       {SetPrintCalCoeff, 0x29},
        {SetBaseSelfTestInfo, 0x2A}, {SetReadingsDump, 0x2B},
    };
    struct WordSetting {
        void (*pfnSet)(uint16_t);
        uint16_t unSlot;
    } kWords[] = {
        {SetSetting13, 0x13},  {SetWavelength, 0x15},          {SetWavelengthB, 0x17},
        {SetWavelengthC, 0x19}, {SetWavelengthD, 0x1B},        {[](uint16_t un) { SetMultiWavelength(0, un); }, 0x1D},
        {[](uint16_t un) { SetMultiWavelength(1, un); }, 0x1F}, {[](uint16_t un) { SetMultiWavelength(2, un); }, 0x21},
        {[](uint16_t un) { SetMultiWavelength(3, un); }, 0x23}, {SetCalibratedLedPixel, 0x2C},
        {SetPixelClock, 0x2E},
    };
    StartParameterStore();
    std::vector<uint8_t> abExpected = ReadFileBytes("eeprom.bin");
    for (const ByteSetting& setting : kBytes) {
        uint8_t b = static_cast<uint8_t>(abExpected[setting.unSlot] ^ 0x5A);
        setting.pfnSet(b);
        abExpected[setting.unSlot] = b;
        ASSERT_EQ(ReadFileBytes("eeprom.bin"), abExpected) << "byte slot " << setting.unSlot;
    }
    for (const WordSetting& setting : kWords) {
        uint16_t un = static_cast<uint16_t>(((abExpected[setting.unSlot] << 8) | abExpected[setting.unSlot + 1]) ^ 0x1234);
        setting.pfnSet(un);
        abExpected[setting.unSlot] = static_cast<uint8_t>(un >> 8);
        abExpected[setting.unSlot + 1] = static_cast<uint8_t>(un);
        ASSERT_EQ(ReadFileBytes("eeprom.bin"), abExpected) << "word slot " << setting.unSlot;
    }
}

TEST_F(ParamStoreTest, DoublesAreStoredAsLittleEndianBytes)
{
    StartParameterStore();
    SetSValue(1.5);
    EXPECT_EQ(FileAt(PARAM_SVALUE, 8), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));
}

// A value outside its range is replaced by the default at start-up, and the
// default is written back; values inside stay as stored.
TEST_F(ParamStoreTest, RepairReplacesOutOfRangeValuesAndWritesThemBack)
{
    StartParameterStore();
    struct Case {
        uint16_t unSlot;
        std::vector<uint8_t> abStored;
        std::vector<uint8_t> abAfter;
    };
    const Case aCases[] = {
        {0x04, {2}, {0}},                   // baud rate
        {0x05, {7}, {1}},                   // date format
        {0x06, {101}, {0}},                 // current method
        {0x0D, {2}, {0}},                   // transmittance mode
        {0x15, {0x00, 0x64}, {0x02, 0x58}}, // wavelength 100 -> 600
        {0x17, {0x03, 0x3F}, {0x01, 0x68}}, // 831 -> 360
        {0x19, {0x00, 0xC8}, {0x00, 0xC8}}, // 200 stays
        {0x1B, {0x03, 0x3E}, {0x03, 0x3E}}, // 830, the editors' top, stays
        {0x1D, {0x00, 0xC7}, {0x01, 0x54}}, // 199 -> 340
        {0x25, {9}, {0}},                   // auto print
        {0x28, {5}, {0}},                   // language
        {0x2E, {0x03, 0x85}, {0x01, 0x2C}}, // pixel clock 901 -> 300
        {0x01, {0}, {0}},                   // sample number has no rule
    };
    std::vector<uint8_t> abImage = ReadFileBytes("eeprom.bin");
    for (const Case& c : aCases)
        std::copy(c.abStored.begin(), c.abStored.end(), abImage.begin() + c.unSlot);
    double fBadS = 15.5;
    std::memcpy(&abImage[PARAM_SVALUE], &fBadS, 8);
    m_pHost.reset();
    m_pRig.reset();
    WriteFileBytes("eeprom.bin", abImage);
    PowerCycle();

    StartParameterStore();
    EXPECT_EQ(gunWavelength, 100);  // loaded as stored; the repair comes later
    RepairParameters();
    EXPECT_EQ(gunWavelength, 600);
    EXPECT_EQ(gunWavelengthC, 200);
    EXPECT_EQ(gbDateFormat, 1);
    EXPECT_EQ(gfSValue, 0.0);
    for (const Case& c : aCases)
        EXPECT_EQ(FileAt(c.unSlot, c.abAfter.size()), c.abAfter) << "slot " << c.unSlot;
    EXPECT_EQ(FileAt(PARAM_SVALUE, 8), std::vector<uint8_t>(8, 0));
}

TEST_F(ParamStoreTest, RepairOfAnInRangeStoreWritesNothing)
{
    StartParameterStore();
    PowerCycle();
    StartParameterStore();
    RepairParameters();
    EXPECT_EQ(DataWrites(), 0u);
}

TEST_F(ParamStoreTest, StrayLightLevelThatIsNotANumberIsRepaired)
{
    StartParameterStore();
    PatchFile(PARAM_SVALUE, std::vector<uint8_t>(8, 0xFF));
    StartParameterStore();
    EXPECT_TRUE(std::isnan(gfSValue));
    RepairParameters();
    EXPECT_EQ(gfSValue, 0.0);
    EXPECT_EQ(FileAt(PARAM_SVALUE, 8), std::vector<uint8_t>(8, 0));
}

TEST_F(ParamStoreTest, HolmiumOffsetIsASignedWordLimitedOnLoad)
{
    StartParameterStore();
    gnHolmiumOffset = -3;
    SaveHolmiumOffset();
    EXPECT_EQ(FileAt(PARAM_HOLMIUM_OFFSET, 2), (std::vector<uint8_t>{0xFF, 0xFD}));
    gnHolmiumOffset = 0;
    LoadAllParameters();
    EXPECT_EQ(gnHolmiumOffset, -3);

    struct Case {
        std::vector<uint8_t> abStored;
        int32_t nLoaded;
    };
    for (const Case& c : {Case{{0x00, 0x0C}, 8}, Case{{0xFF, 0xF0}, -8}, Case{{0x00, 0x08}, 8}, Case{{0x80, 0x00}, -8}}) {
        PatchFile(PARAM_HOLMIUM_OFFSET, c.abStored);
        LoadAllParameters();
        EXPECT_EQ(gnHolmiumOffset, c.nLoaded);
    }
}

TEST_F(ParamStoreTest, SerialNumberIsStoredMostSignificantByteFirst)
{
    StartParameterStore();
    gulSerialNumber = 0x12345678;
    SaveSerialNumber();
    EXPECT_EQ(FileAt(PARAM_SERIAL_NUMBER, 4), (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78}));
    gulSerialNumber = 0;
    LoadAllParameters();
    EXPECT_EQ(gulSerialNumber, 0x12345678u);
}

// Method slot 57 spans 0x23A8..0x2439; saving it must not touch the
// holmium offset or the serial number, nor may saving them touch a method.
TEST_F(ParamStoreTest, MethodRecordsAndFactoryValuesDoNotOverlap)
{
    StartParameterStore();
    gnHolmiumOffset = -5;
    SaveHolmiumOffset();
    gulSerialNumber = 987654;
    SaveSerialNumber();

    std::vector<uint8_t> abRecord(METHOD_RECORD_SIZE, 0xA5);
    EXPECT_EQ(StoreBlock(0x23A8, abRecord.data(), METHOD_RECORD_SIZE), METHOD_RECORD_SIZE);
    StoreMethod(METHOD_COUNT - 1, abRecord.data());
    StoreMethod(METHOD_COUNT, abRecord.data());  // no such slot: nothing written

    PowerCycle();
    StartParameterStore();
    EXPECT_EQ(gnHolmiumOffset, -5);
    EXPECT_EQ(gulSerialNumber, 987654u);

    std::vector<uint8_t> abLoaded(METHOD_RECORD_SIZE);
    LoadMethod(57, abLoaded.data());
    EXPECT_EQ(abLoaded, abRecord);
    LoadMethod(99, abLoaded.data());
    EXPECT_EQ(abLoaded, abRecord);
    std::vector<uint8_t> abImage = ReadFileBytes("eeprom.bin");
    const size_t nRecordsEnd = METHOD_RECORD_BASE + METHOD_RECORD_SIZE * METHOD_COUNT;
    EXPECT_LE(nRecordsEnd, PARAM_HOLMIUM_OFFSET);
    for (size_t n = nRecordsEnd; n < PARAM_HOLMIUM_OFFSET; n++)
        ASSERT_EQ(abImage[n], 0) << n;
}

TEST_F(ParamStoreTest, ProteinGroupsAreKeptAtTheirAddresses)
{
    StartParameterStore();
    for (int i = 0; i < 15; i++)
        gProteinGroups[2].afStandards[i] = 0.5 * i;
    SaveProteinGroup(2);
    SetProteinFlag(3, 1, 0x42);
    SetProteinHead(0, 1, -1.25);
    SetProteinValue(1, 4, 9.0);

    std::memset(gProteinGroups, 0, sizeof gProteinGroups);
    LoadAllParameters();
    for (int i = 0; i < 15; i++)
        EXPECT_EQ(gProteinGroups[2].afStandards[i], 0.5 * i);
    EXPECT_EQ(gProteinGroups[3].abFlags[1], 0x42);
    EXPECT_EQ(gProteinGroups[0].afHead[1], -1.25);
    EXPECT_EQ(gProteinGroups[1].afValues[4], 9.0);
    EXPECT_EQ(FileAt(0x0254 + 16 + 1, 1)[0], 0x42);
    double fStandard14;
    std::vector<uint8_t> abStandard = FileAt(0x01A0 + 60 + 8 * 14, 8);
    std::memcpy(&fStandard14, abStandard.data(), 8);
    EXPECT_EQ(fStandard14, 7.0);
}

// With the EEPROM not answering, the bulk operations report in their own words.
TEST_F(ParamStoreTest, BulkOperationsReportFailuresOnTheSerialPort)
{
    I2cDescribe(&gEepromDevice, 0xA4, 2, 64);
    LoadAllParameters();
    EXPECT_EQ(m_pHost->m_sSerial, "read error\r\n");
    EXPECT_EQ(gbLanguage, 0xFF);
    m_pHost->m_sSerial.clear();
    SaveAllParameters();
    EXPECT_EQ(m_pHost->m_sSerial, "write error 0\r\n");
    m_pHost->m_sSerial.clear();
    InitialiseParameters();
    EXPECT_EQ(m_pHost->m_sSerial,
              "\r\n * INITIALISING BATTERY BACKED RAM *\r\n\r\nfill error 0\r\nwrite error 0\r\n");
}

}  // namespace
