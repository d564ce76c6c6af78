// The parameter store: the working copies of the stored settings, their
// EEPROM slots, defaults and start-up range rules, the setters that write a
// setting through when it changes, the bulk load / save / first-start
// initialisation, the protein-assay groups and the factory values.
#include "storage/params.h"

#include <cstdio>
#include <cstring>

#include "core/serial.h"
#include "storage/i2c.h"
#include "storage/protein_group.h"

// The working copies start at their defaults, so the firmware has sound
// values before the store is loaded.
uint8_t gunLastOperation = 0;           // 0x00 last measuring state, 0 none
uint8_t gunSampleNumber = 1;            // 0x01 1..255
uint8_t gbSetting02 = 0;                // 0x02
uint8_t gbOutputDevice = 2;             // 0x03 0 PR1, 1 PR2, 2 PC
uint8_t gbBaudRate = 0;                 // 0x04 0 9600, 1 38400
uint8_t gbDateFormat = 1;               // 0x05 1 day/month/year, 0 month/day/year
uint8_t gunCurrentMethod = 0;           // 0x06 method slot 0..99
uint8_t gunMethodListRow = 0;           // 0x07
uint8_t gbSetting08 = 0;                // 0x08
uint8_t gunMethodListPage = 0;          // 0x09
uint8_t gbSetting0A = 0;                // 0x0A
uint8_t gbSetting0B = 1;                // 0x0B
uint8_t gunStandardsRow = 0;            // 0x0C
uint8_t gbTransmittanceMode = 0;        // 0x0D 0 absorbance, 1 %T
uint8_t gbSetting0E = 0;                // 0x0E
uint8_t gbSetting0F = 150;              // 0x0F
uint8_t gunMethodField = 0;             // 0x10
uint8_t gbSetting11 = 0;                // 0x11
uint8_t gbSetting12 = 0;                // 0x12
uint16_t gunSetting13 = 0;              // 0x13
uint16_t gunWavelength = 600;           // 0x15 nm, 200..830
uint16_t gunWavelengthB = 360;          // 0x17 nm, 200..830
uint16_t gunWavelengthC = 380;          // 0x19 nm, 200..830
uint16_t gunWavelengthD = 600;          // 0x1B nm, 200..830
uint16_t gunMultiWavelength[4] = {340, 546, 628, 830}; // 0x1D, 0x1F, 0x21, 0x23 nm, 200..830
uint8_t gbAutoPrint = 0;                // 0x25 0 off, 1 on
uint8_t gbSetting26 = 0;                // 0x26
uint8_t gbSetting27 = 1;                // 0x27
uint8_t gbLanguage = 0;                 // 0x28 0..4
uint8_t gbPrintCalCoeff = 0;            // 0x29 0 off, 1 on
uint8_t gbBaseSelfTestInfo = 0;         // 0x2A 0 off, 1 on
uint8_t gbReadingsDump = 0;             // 0x2B 0 off, 1 on
uint16_t gunCalibratedLedPixel = 0;     // 0x2C detector pixel, 0 = not calibrated
uint16_t gunPixelClock = 300;           // 0x2E 200..900
double gfSValue = 0.0;                  // 0x30 stray-light level, counts per frame, 0..15
int32_t gnHolmiumOffset = 0;            // pixels, -8..+8
uint32_t gulSerialNumber = 0;           // 0 = not set
char gszSignature[PARAM_SIGNATURE_SIZE];  // "Ram integrity signature" once initialised
ProteinGroup gProteinGroups[4];           // the four protein-assay groups

// Every single setting in slot order (gfSValue is kept apart).
const ParamSetting gParamSettings[PARAM_SETTING_COUNT] = {
    {0x00, "gunLastOperation", &gunLastOperation, nullptr, 0, false, 0, 0},
    {0x01, "gunSampleNumber", &gunSampleNumber, nullptr, 1, false, 0, 0},
    {0x02, "gbSetting02", &gbSetting02, nullptr, 0, false, 0, 0},
    {0x03, "gbOutputDevice", &gbOutputDevice, nullptr, 2, false, 0, 0},
    {0x04, "gbBaudRate", &gbBaudRate, nullptr, 0, true, 0, 1},
    {0x05, "gbDateFormat", &gbDateFormat, nullptr, 1, true, 0, 1},
    {0x06, "gunCurrentMethod", &gunCurrentMethod, nullptr, 0, true, 0, 100},
    {0x07, "gunMethodListRow", &gunMethodListRow, nullptr, 0, false, 0, 0},
    {0x08, "gbSetting08", &gbSetting08, nullptr, 0, false, 0, 0},
    {0x09, "gunMethodListPage", &gunMethodListPage, nullptr, 0, false, 0, 0},
    {0x0A, "gbSetting0A", &gbSetting0A, nullptr, 0, false, 0, 0},
    {0x0B, "gbSetting0B", &gbSetting0B, nullptr, 1, false, 0, 0},
    {0x0C, "gunStandardsRow", &gunStandardsRow, nullptr, 0, false, 0, 0},
    {0x0D, "gbTransmittanceMode", &gbTransmittanceMode, nullptr, 0, true, 0, 1},
    {0x0E, "gbSetting0E", &gbSetting0E, nullptr, 0, false, 0, 0},
    {0x0F, "gbSetting0F", &gbSetting0F, nullptr, 150, false, 0, 0},
    {0x10, "gunMethodField", &gunMethodField, nullptr, 0, false, 0, 0},
    {0x11, "gbSetting11", &gbSetting11, nullptr, 0, false, 0, 0},
    {0x12, "gbSetting12", &gbSetting12, nullptr, 0, false, 0, 0},
    {0x13, "gunSetting13", nullptr, &gunSetting13, 0, false, 0, 0},
    {0x15, "gunWavelength", nullptr, &gunWavelength, 600, true, 200, 830},
    {0x17, "gunWavelengthB", nullptr, &gunWavelengthB, 360, true, 200, 830},
    {0x19, "gunWavelengthC", nullptr, &gunWavelengthC, 380, true, 200, 830},
    {0x1B, "gunWavelengthD", nullptr, &gunWavelengthD, 600, true, 200, 830},
    {0x1D, "gunMultiWavelength1", nullptr, &gunMultiWavelength[0], 340, true, 200, 830},
    {0x1F, "gunMultiWavelength2", nullptr, &gunMultiWavelength[1], 546, true, 200, 830},
    {0x21, "gunMultiWavelength3", nullptr, &gunMultiWavelength[2], 628, true, 200, 830},
    {0x23, "gunMultiWavelength4", nullptr, &gunMultiWavelength[3], 830, true, 200, 830},
    {0x25, "gbAutoPrint", &gbAutoPrint, nullptr, 0, true, 0, 1},
    {0x26, "gbSetting26", &gbSetting26, nullptr, 0, false, 0, 0},
    {0x27, "gbSetting27", &gbSetting27, nullptr, 1, false, 0, 0},
    {0x28, "gbLanguage", &gbLanguage, nullptr, 0, true, 0, 4},
    {0x29, "gbPrintCalCoeff", &gbPrintCalCoeff, nullptr, 0, false, 0, 0},
    {0x2A, "gbBaseSelfTestInfo", &gbBaseSelfTestInfo, nullptr, 0, false, 0, 0},
    {0x2B, "gbReadingsDump", &gbReadingsDump, nullptr, 0, false, 0, 0},
    {0x2C, "gunCalibratedLedPixel", nullptr, &gunCalibratedLedPixel, 0, false, 0, 0},
    {0x2E, "gunPixelClock", nullptr, &gunPixelClock, 300, true, 200, 900},
};

namespace {

// Offsets inside a protein-assay group.
constexpr uint16_t PROTEIN_HEAD = 0;        // 2 doubles
constexpr uint16_t PROTEIN_FLAGS = 16;      // 4 bytes
constexpr uint16_t PROTEIN_VALUES = 20;     // 5 doubles
constexpr uint16_t PROTEIN_STANDARDS = 60;  // 15 doubles

void SetByteSetting(uint8_t* pbCopy, uint16_t unSlot, uint8_t b)
{
    if (*pbCopy == b)
        return;
    *pbCopy = b;
    StoreByte(unSlot, b);
}

void SetWordSetting(uint16_t* punCopy, uint16_t unSlot, uint16_t un)
{
    if (*punCopy == un)
        return;
    *punCopy = un;
    StoreWord(unSlot, un);
}

uint16_t ProteinAddress(int nGroup, uint16_t unOffset)
{
    return static_cast<uint16_t>(PARAM_PROTEIN_GROUP_BASE + PARAM_PROTEIN_GROUP_SIZE * nGroup + unOffset);
}

bool ValidIndex(int n, int nCount) { return n >= 0 && n < nCount; }

void SendError(const char* pszText, int nCount)
{
    char szLine[32];
    std::snprintf(szLine, sizeof szLine, "%s %d\r\n", pszText, nCount);
    SerialPutString(szLine);
}

}  // namespace

// Byte order of the stored settings.

void PutParamWord(uint8_t* pb, uint16_t un)
{
    pb[0] = static_cast<uint8_t>(un >> 8);
    pb[1] = static_cast<uint8_t>(un);
}

void PutParamLong(uint8_t* pb, uint32_t ul)
{
    for (int i = 0; i < 4; i++)
        pb[i] = static_cast<uint8_t>(ul >> (24 - 8 * i));
}

void PutParamDouble(uint8_t* pb, double f)
{
    uint64_t ullBits = 0;
    std::memcpy(&ullBits, &f, sizeof ullBits);
    for (int i = 0; i < 8; i++)
        pb[i] = static_cast<uint8_t>(ullBits >> (8 * i));
}

uint16_t GetParamWord(const uint8_t* pb) { return static_cast<uint16_t>((pb[0] << 8) | pb[1]); }

uint32_t GetParamLong(const uint8_t* pb)
{
    return (static_cast<uint32_t>(pb[0]) << 24) | (static_cast<uint32_t>(pb[1]) << 16) |
           (static_cast<uint32_t>(pb[2]) << 8) | pb[3];
}

double GetParamDouble(const uint8_t* pb)
{
    uint64_t ullBits = 0;
    for (int i = 7; i >= 0; i--)
        ullBits = (ullBits << 8) | pb[i];
    double f = 0;
    std::memcpy(&f, &ullBits, sizeof f);
    return f;
}

uint16_t ParamSettingFromImage(const ParamSetting& setting, const uint8_t* pbImage)
{
    return setting.pbByte ? pbImage[setting.unSlot] : GetParamWord(pbImage + setting.unSlot);
}

void ParamSettingToImage(const ParamSetting& setting, uint16_t unValue, uint8_t* pbImage)
{
    if (setting.pbByte)
        pbImage[setting.unSlot] = static_cast<uint8_t>(unValue);
    else
        PutParamWord(pbImage + setting.unSlot, unValue);
}

bool ParamSettingNeedsRepair(const ParamSetting& setting, uint16_t unValue)
{
    return setting.bRepair && (unValue < setting.unLow || unValue > setting.unHigh);
}

bool SValueNeedsRepair(double f) { return !(f >= 0.0 && f <= SVALUE_MAX); }

int32_t LimitHolmiumOffset(int32_t nOffset)
{
    if (nOffset < -HOLMIUM_LIMIT)
        return -HOLMIUM_LIMIT;
    if (nOffset > HOLMIUM_LIMIT)
        return HOLMIUM_LIMIT;
    return nOffset;
}

void BuildInitialisedImage(uint8_t* pbImage)
{
    std::memset(pbImage, 0, EEPROM_SIZE);
    for (const ParamSetting& setting : gParamSettings)
        ParamSettingToImage(setting, setting.unDefault, pbImage);
    std::memcpy(pbImage + PARAM_SIGNATURE, PARAM_SIGNATURE_TEXT, std::strlen(PARAM_SIGNATURE_TEXT) + 1);
}

// Accessors.

void StoreByte(uint16_t unSlot, uint8_t bValue) { I2cWriteByteAt(&gEepromDevice, unSlot, bValue); }

void StoreWord(uint16_t unSlot, uint16_t unValue)
{
    uint8_t ab[2];
    PutParamWord(ab, unValue);
    I2cWriteBlock(&gEepromDevice, unSlot, ab, 2);
}

void StoreDouble(uint16_t unSlot, double fValue)
{
    uint8_t ab[8];
    PutParamDouble(ab, fValue);
    I2cWriteBlock(&gEepromDevice, unSlot, ab, 8);
}

void StoreLong(uint16_t unAddress, uint32_t ulValue)
{
    uint8_t ab[4];
    PutParamLong(ab, ulValue);
    I2cWriteBlock(&gEepromDevice, unAddress, ab, 4);
}

uint8_t LoadByte(uint16_t unSlot)
{
    int16_t nValue = I2cReadByteAt(&gEepromDevice, unSlot);
    return nValue == I2C_ERROR ? 0xFF : static_cast<uint8_t>(nValue);
}

// A failed wider read leaves the bytes at 0xFF, as an erased EEPROM reads.
uint16_t LoadWord(uint16_t unSlot)
{
    uint8_t ab[2] = {0xFF, 0xFF};
    I2cReadBlock(&gEepromDevice, unSlot, ab, 2);
    return GetParamWord(ab);
}

double LoadDouble(uint16_t unSlot)
{
    uint8_t ab[8];
    std::memset(ab, 0xFF, sizeof ab);
    I2cReadBlock(&gEepromDevice, unSlot, ab, 8);
    return GetParamDouble(ab);
}

uint32_t LoadLong(uint16_t unAddress)
{
    uint8_t ab[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    I2cReadBlock(&gEepromDevice, unAddress, ab, 4);
    return GetParamLong(ab);
}

int LoadBlock(uint16_t unAddress, uint8_t* pbBuffer, uint16_t unCount)
{
    return I2cReadBlock(&gEepromDevice, unAddress, pbBuffer, unCount);
}

int StoreBlock(uint16_t unAddress, const uint8_t* pbBuffer, uint16_t unCount)
{
    return I2cWriteBlock(&gEepromDevice, unAddress, pbBuffer, unCount);
}

// A slot outside 0..99 reads as a record of zeros (which fails its check
// word) and is never written.
void LoadMethod(int nIndex, uint8_t* pbRecord)
{
    if (!ValidIndex(nIndex, METHOD_COUNT)) {
        std::memset(pbRecord, 0, METHOD_RECORD_SIZE);
        return;
    }
    LoadBlock(static_cast<uint16_t>(METHOD_RECORD_BASE + METHOD_RECORD_SIZE * nIndex), pbRecord,
              METHOD_RECORD_SIZE);
}

void StoreMethod(int nIndex, const uint8_t* pbRecord)
{
    if (!ValidIndex(nIndex, METHOD_COUNT))
        return;
    StoreBlock(static_cast<uint16_t>(METHOD_RECORD_BASE + METHOD_RECORD_SIZE * nIndex), pbRecord,
               METHOD_RECORD_SIZE);
}

// Setters.

void SetLastOperation(uint8_t b) { SetByteSetting(&gunLastOperation, 0x00, b); }
void SetSampleNumber(uint8_t b) { SetByteSetting(&gunSampleNumber, 0x01, b); }
void SetSetting02(uint8_t b) { SetByteSetting(&gbSetting02, 0x02, b); }
void SetOutputDevice(uint8_t b) { SetByteSetting(&gbOutputDevice, 0x03, b); }
void SetBaudRate(uint8_t b) { SetByteSetting(&gbBaudRate, 0x04, b); }
void SetDateFormat(uint8_t b) { SetByteSetting(&gbDateFormat, 0x05, b); }
void SetCurrentMethod(uint8_t b) { SetByteSetting(&gunCurrentMethod, 0x06, b); }
void SetMethodListRow(uint8_t b) { SetByteSetting(&gunMethodListRow, 0x07, b); }
void SetSetting08(uint8_t b) { SetByteSetting(&gbSetting08, 0x08, b); }
void SetMethodListPage(uint8_t b) { SetByteSetting(&gunMethodListPage, 0x09, b); }
void SetSetting0A(uint8_t b) { SetByteSetting(&gbSetting0A, 0x0A, b); }
void SetSetting0B(uint8_t b) { SetByteSetting(&gbSetting0B, 0x0B, b); }
void SetStandardsRow(uint8_t b) { SetByteSetting(&gunStandardsRow, 0x0C, b); }
void SetTransmittanceMode(uint8_t b) { SetByteSetting(&gbTransmittanceMode, 0x0D, b); }
void SetSetting0E(uint8_t b) { SetByteSetting(&gbSetting0E, 0x0E, b); }
void SetSetting0F(uint8_t b) { SetByteSetting(&gbSetting0F, 0x0F, b); }
void SetMethodField(uint8_t b) { SetByteSetting(&gunMethodField, 0x10, b); }
void SetSetting11(uint8_t b) { SetByteSetting(&gbSetting11, 0x11, b); }
void SetSetting12(uint8_t b) { SetByteSetting(&gbSetting12, 0x12, b); }
void SetSetting13(uint16_t un) { SetWordSetting(&gunSetting13, 0x13, un); }
void SetWavelength(uint16_t un) { SetWordSetting(&gunWavelength, 0x15, un); }
void SetWavelengthB(uint16_t un) { SetWordSetting(&gunWavelengthB, 0x17, un); }
void SetWavelengthC(uint16_t un) { SetWordSetting(&gunWavelengthC, 0x19, un); }
void SetWavelengthD(uint16_t un) { SetWordSetting(&gunWavelengthD, 0x1B, un); }

void SetMultiWavelength(int nIndex, uint16_t un)
{
    if (ValidIndex(nIndex, 4))
        SetWordSetting(&gunMultiWavelength[nIndex], static_cast<uint16_t>(0x1D + 2 * nIndex), un);
}

void SetAutoPrint(uint8_t b) { SetByteSetting(&gbAutoPrint, 0x25, b); }
void SetSetting26(uint8_t b) { SetByteSetting(&gbSetting26, 0x26, b); }
void SetSetting27(uint8_t b) { SetByteSetting(&gbSetting27, 0x27, b); }
void SetLanguage(uint8_t b) { SetByteSetting(&gbLanguage, 0x28, b); }
void SetPrintCalCoeff(uint8_t b) { SetByteSetting(&gbPrintCalCoeff, 0x29, b); }
void SetBaseSelfTestInfo(uint8_t b) { SetByteSetting(&gbBaseSelfTestInfo, 0x2A, b); }
void SetReadingsDump(uint8_t b) { SetByteSetting(&gbReadingsDump, 0x2B, b); }
void SetCalibratedLedPixel(uint16_t un) { SetWordSetting(&gunCalibratedLedPixel, 0x2C, un); }
void SetPixelClock(uint16_t un) { SetWordSetting(&gunPixelClock, 0x2E, un); }

// Exact comparison: any change of the stored double is written.
void SetSValue(double f)
{
    if (gfSValue == f)
        return;
    gfSValue = f;
    StoreDouble(PARAM_SVALUE, f);
}

void SaveHolmiumOffset()
{
    StoreWord(PARAM_HOLMIUM_OFFSET, static_cast<uint16_t>(static_cast<int16_t>(gnHolmiumOffset)));
}

void SaveSerialNumber() { StoreLong(PARAM_SERIAL_NUMBER, gulSerialNumber); }

// Protein-assay groups.


void SetProteinHead(int nGroup, int nIndex, double f)
{
    if (!ValidIndex(nGroup, 4) || !ValidIndex(nIndex, 2))
        return;
    gProteinGroups[nGroup].afHead[nIndex] = f;
    if (StoreBlankProteinGroup(nGroup))
        return;
    StoreDouble(ProteinAddress(nGroup, static_cast<uint16_t>(PROTEIN_HEAD + 8 * nIndex)), f);
}

void SetProteinFlag(int nGroup, int nIndex, uint8_t b)
{
    if (!ValidIndex(nGroup, 4) || !ValidIndex(nIndex, 4))
        return;
    gProteinGroups[nGroup].abFlags[nIndex] = b;
    if (StoreBlankProteinGroup(nGroup))
        return;
    StoreByte(ProteinAddress(nGroup, static_cast<uint16_t>(PROTEIN_FLAGS + nIndex)), b);
}

void SetProteinValue(int nGroup, int nIndex, double f)
{
    if (!ValidIndex(nGroup, 4) || !ValidIndex(nIndex, 5))
        return;
    gProteinGroups[nGroup].afValues[nIndex] = f;
    if (StoreBlankProteinGroup(nGroup))
        return;
    StoreDouble(ProteinAddress(nGroup, static_cast<uint16_t>(PROTEIN_VALUES + 8 * nIndex)), f);
}

void SetProteinStandard(int nGroup, int nIndex, double f)
{
    if (!ValidIndex(nGroup, 4) || !ValidIndex(nIndex, 15))
        return;
    gProteinGroups[nGroup].afStandards[nIndex] = f;
    if (StoreBlankProteinGroup(nGroup))
        return;
    StoreDouble(ProteinAddress(nGroup, static_cast<uint16_t>(PROTEIN_STANDARDS + 8 * nIndex)), f);
}

// Writes the group's 15 standards from their working copies, one write each.
void SaveProteinGroup(int nGroup)
{
    if (!ValidIndex(nGroup, 4) || StoreBlankProteinGroup(nGroup))
        return;
    for (int i = 0; i < 15; i++)
        StoreDouble(ProteinAddress(nGroup, static_cast<uint16_t>(PROTEIN_STANDARDS + 8 * i)),
                    gProteinGroups[nGroup].afStandards[i]);
}

void LoadProteinGroup(int nGroup)
{
    if (!ValidIndex(nGroup, 4))
        return;
    ProteinGroup& group = gProteinGroups[nGroup];
    for (int i = 0; i < 2; i++)
        group.afHead[i] = LoadDouble(ProteinAddress(nGroup, static_cast<uint16_t>(PROTEIN_HEAD + 8 * i)));
    for (int i = 0; i < 4; i++)
        group.abFlags[i] = LoadByte(ProteinAddress(nGroup, static_cast<uint16_t>(PROTEIN_FLAGS + i)));
    for (int i = 0; i < 5; i++)
        group.afValues[i] = LoadDouble(ProteinAddress(nGroup, static_cast<uint16_t>(PROTEIN_VALUES + 8 * i)));
    for (int i = 0; i < 15; i++)
        group.afStandards[i] =
            LoadDouble(ProteinAddress(nGroup, static_cast<uint16_t>(PROTEIN_STANDARDS + 8 * i)));
}

// Bulk operations.

void LoadAllParameters()
{
    for (const ParamSetting& setting : gParamSettings) {
        if (setting.pbByte)
            *setting.pbByte = LoadByte(setting.unSlot);
        else
            *setting.punWord = LoadWord(setting.unSlot);
    }
    gfSValue = LoadDouble(PARAM_SVALUE);
    for (int i = 0; i < 4; i++)
        LoadProteinGroup(i);

    gnHolmiumOffset = LimitHolmiumOffset(static_cast<int16_t>(LoadWord(PARAM_HOLMIUM_OFFSET)));
    gulSerialNumber = LoadLong(PARAM_SERIAL_NUMBER);

    if (LoadBlock(PARAM_SIGNATURE, reinterpret_cast<uint8_t*>(gszSignature), PARAM_SIGNATURE_SIZE) <
        PARAM_SIGNATURE_SIZE)
        SerialPutString("read error\r\n");
}

void SaveAllParameters()
{
    for (const ParamSetting& setting : gParamSettings) {
        if (setting.pbByte)
            StoreByte(setting.unSlot, *setting.pbByte);
        else
            StoreWord(setting.unSlot, *setting.punWord);
    }
    int nWritten = StoreBlock(PARAM_SIGNATURE, reinterpret_cast<const uint8_t*>(gszSignature),
                              PARAM_SIGNATURE_SIZE);
    if (nWritten != PARAM_SIGNATURE_SIZE)
        SendError("write error", nWritten);
}

// First start: the whole EEPROM is cleared, so every method record, protein
// group and factory value reads as zero; their working copies follow.
void InitialiseParameters()
{
    SerialPutString("\r\n * INITIALISING BATTERY BACKED RAM *\r\n\r\n");
    uint16_t unFilled = I2cFillBlock(&gEepromDevice, 0, 0, EEPROM_SIZE);
    if (unFilled < EEPROM_SIZE)
        SendError("fill error", unFilled);

    for (const ParamSetting& setting : gParamSettings) {
        if (setting.pbByte)
            *setting.pbByte = static_cast<uint8_t>(setting.unDefault);
        else
            *setting.punWord = setting.unDefault;
    }
    gfSValue = 0.0;
    gnHolmiumOffset = 0;
    gulSerialNumber = 0;
    std::memset(gProteinGroups, 0, sizeof gProteinGroups);

    std::memset(gszSignature, 0, sizeof gszSignature);
    std::memcpy(gszSignature, PARAM_SIGNATURE_TEXT, std::strlen(PARAM_SIGNATURE_TEXT) + 1);
    SaveAllParameters();
}

void RepairParameters()
{
    for (const ParamSetting& setting : gParamSettings) {
        if (!setting.bRepair)
            continue;
        uint16_t unValue = setting.pbByte ? *setting.pbByte : *setting.punWord;
        if (!ParamSettingNeedsRepair(setting, unValue))
            continue;
        if (setting.pbByte)
            SetByteSetting(setting.pbByte, setting.unSlot, static_cast<uint8_t>(setting.unDefault));
        else
            SetWordSetting(setting.punWord, setting.unSlot, setting.unDefault);
    }
    if (SValueNeedsRepair(gfSValue))
        SetSValue(0.0);
    RepairProteinGroups();
}

void StartParameterStore()
{
    LoadAllParameters();
    if (std::memcmp(gszSignature, PARAM_SIGNATURE_TEXT, std::strlen(PARAM_SIGNATURE_TEXT) + 1) != 0)
        InitialiseParameters();
}
