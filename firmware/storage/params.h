// The parameter store: every setting that survives power-off, kept in the
// serial EEPROM with a working copy in firmware memory. A setter writes the
// EEPROM only when the value changes. The slot of a setting is its EEPROM
// address; 16- and 32-bit values are stored most significant byte first,
// doubles as their eight IEEE 754 bytes in little-endian order.
#pragma once

#include <cstdint>

// EEPROM map.
constexpr uint16_t PARAM_PROTEIN_GROUP_BASE = 0x0038;  // four groups of 180 bytes
constexpr uint16_t PARAM_PROTEIN_GROUP_SIZE = 180;
constexpr uint16_t PARAM_SIGNATURE = 0x0308;           // 30-byte signature block
constexpr uint16_t PARAM_SIGNATURE_SIZE = 30;
constexpr uint16_t METHOD_RECORD_BASE = 0x0326;        // method record i at base + 146 i
constexpr uint16_t METHOD_RECORD_SIZE = 146;
constexpr int METHOD_COUNT = 100;
constexpr uint16_t PARAM_SVALUE = 0x0030;              // gfSValue, 8 bytes
// The holmium offset and the serial number lie clear of every method
// record (the records end at 0x3C2E), in one page of their own.
constexpr uint16_t PARAM_HOLMIUM_OFFSET = 0x3D00;      // gnHolmiumOffset, signed 16-bit
constexpr uint16_t PARAM_SERIAL_NUMBER = 0x3D02;       // gulSerialNumber, unsigned 32-bit
constexpr const char* PARAM_SIGNATURE_TEXT = "Ram integrity signature";
constexpr uint16_t EEPROM_SIZE = 32768;
constexpr double SVALUE_MAX = 15.0;     // highest stray-light level kept at start-up
constexpr int32_t HOLMIUM_LIMIT = 8;    // holmium offset limit, pixels

// A single byte or 16-bit setting: its slot, name, working copy, default,
// and the range outside which the start-up repair replaces it by the
// default. The table below is the one description of these settings; the
// store and the tools that read a stored image both go by it.
struct ParamSetting {
    uint16_t unSlot;
    const char* pszName;
    uint8_t* pbByte;         // working copy of a byte setting, or null
    uint16_t* punWord;       // working copy of a 16-bit setting, or null
    uint16_t unDefault;
    bool bRepair;            // the range below is checked at start-up
    uint16_t unLow;
    uint16_t unHigh;
};
constexpr int PARAM_SETTING_COUNT = 37;
extern const ParamSetting gParamSettings[PARAM_SETTING_COUNT];  // slot order

// Single settings (working copies), by slot.
extern uint8_t gunLastOperation;      // 0x00 last measuring state, 0 none
extern uint8_t gunSampleNumber;       // 0x01 sample number of the reports
extern uint8_t gbSetting02;           // 0x02
extern uint8_t gbOutputDevice;        // 0x03 0 PR1, 1 PR2, 2 PC
extern uint8_t gbBaudRate;            // 0x04 0 9600, 1 38400
extern uint8_t gbDateFormat;          // 0x05 1 day/month/year, 0 month/day/year
extern uint8_t gunCurrentMethod;      // 0x06 current method slot
extern uint8_t gunMethodListRow;      // 0x07
extern uint8_t gbSetting08;           // 0x08
extern uint8_t gunMethodListPage;     // 0x09
extern uint8_t gbSetting0A;           // 0x0A
extern uint8_t gbSetting0B;           // 0x0B
extern uint8_t gunStandardsRow;       // 0x0C
extern uint8_t gbTransmittanceMode;   // 0x0D results as %T
extern uint8_t gbSetting0E;           // 0x0E
extern uint8_t gbSetting0F;           // 0x0F
extern uint8_t gunMethodField;        // 0x10
extern uint8_t gbSetting11;           // 0x11
extern uint8_t gbSetting12;           // 0x12
extern uint16_t gunSetting13;         // 0x13
extern uint16_t gunWavelength;        // 0x15 working wavelength, nm
extern uint16_t gunWavelengthB;       // 0x17 nm
extern uint16_t gunWavelengthC;       // 0x19 nm
extern uint16_t gunWavelengthD;       // 0x1B nm
extern uint16_t gunMultiWavelength[4];  // 0x1D, 0x1F, 0x21, 0x23 nm
extern uint8_t gbAutoPrint;           // 0x25
extern uint8_t gbSetting26;           // 0x26
extern uint8_t gbSetting27;           // 0x27
extern uint8_t gbLanguage;            // 0x28 0..4
extern uint8_t gbPrintCalCoeff;       // 0x29
extern uint8_t gbBaseSelfTestInfo;    // 0x2A self-test detail lines on the serial port
extern uint8_t gbReadingsDump;        // 0x2B
extern uint16_t gunCalibratedLedPixel;  // 0x2C LED peak pixel, 0 = not calibrated
extern uint16_t gunPixelClock;        // 0x2E 200..900
extern double gfSValue;               // 0x30 stray-light level, 0..15 counts per frame

extern int32_t gnHolmiumOffset;       // holmium pixel offset, -8..+8
extern uint32_t gulSerialNumber;      // 0 = not set
extern char gszSignature[PARAM_SIGNATURE_SIZE];

// Protein-assay setting groups (four, one per assay; the meaning of each
// field is in storage/protein_group.h).
struct ProteinGroup {
    double afHead[2];        // factor, dilution
    uint8_t abFlags[4];      // units, calibration, replicates, curve fit
    double afValues[5];      // standard concentrations
    double afStandards[15];  // standard absorbances, three replicates each
};
extern ProteinGroup gProteinGroups[4];

// Byte order of stored values (16- and 32-bit most significant byte
// first, doubles little-endian), over plain byte buffers.
void PutParamWord(uint8_t* pb, uint16_t un);
void PutParamLong(uint8_t* pb, uint32_t ul);
void PutParamDouble(uint8_t* pb, double f);
uint16_t GetParamWord(const uint8_t* pb);
uint32_t GetParamLong(const uint8_t* pb);
double GetParamDouble(const uint8_t* pb);
// A setting's value in, or into, a whole 32768-byte EEPROM image.
uint16_t ParamSettingFromImage(const ParamSetting& setting, const uint8_t* pbImage);
void ParamSettingToImage(const ParamSetting& setting, uint16_t unValue, uint8_t* pbImage);
// The start-up range rules.
bool ParamSettingNeedsRepair(const ParamSetting& setting, uint16_t unValue);
bool SValueNeedsRepair(double f);
int32_t LimitHolmiumOffset(int32_t nOffset);
// The image a first start leaves: zeros, every setting at its default, the
// signature.
void BuildInitialisedImage(uint8_t* pbImage);

// Accessors.
void StoreByte(uint16_t unSlot, uint8_t bValue);
void StoreWord(uint16_t unSlot, uint16_t unValue);
void StoreDouble(uint16_t unSlot, double fValue);
void StoreLong(uint16_t unAddress, uint32_t ulValue);
uint8_t LoadByte(uint16_t unSlot);
uint16_t LoadWord(uint16_t unSlot);
double LoadDouble(uint16_t unSlot);
uint32_t LoadLong(uint16_t unAddress);
int LoadBlock(uint16_t unAddress, uint8_t* pbBuffer, uint16_t unCount);
int StoreBlock(uint16_t unAddress, const uint8_t* pbBuffer, uint16_t unCount);
void LoadMethod(int nIndex, uint8_t* pbRecord);
void StoreMethod(int nIndex, const uint8_t* pbRecord);

// Setters: write through only when the value changes.
void SetLastOperation(uint8_t b);
void SetSampleNumber(uint8_t b);
void SetSetting02(uint8_t b);
void SetOutputDevice(uint8_t b);
void SetBaudRate(uint8_t b);
void SetDateFormat(uint8_t b);
void SetCurrentMethod(uint8_t b);
void SetMethodListRow(uint8_t b);
void SetSetting08(uint8_t b);
void SetMethodListPage(uint8_t b);
void SetSetting0A(uint8_t b);
void SetSetting0B(uint8_t b);
void SetStandardsRow(uint8_t b);
void SetTransmittanceMode(uint8_t b);
void SetSetting0E(uint8_t b);
void SetSetting0F(uint8_t b);
void SetMethodField(uint8_t b);
void SetSetting11(uint8_t b);
void SetSetting12(uint8_t b);
void SetSetting13(uint16_t un);
void SetWavelength(uint16_t un);
void SetWavelengthB(uint16_t un);
void SetWavelengthC(uint16_t un);
void SetWavelengthD(uint16_t un);
void SetMultiWavelength(int nIndex, uint16_t un);
void SetAutoPrint(uint8_t b);
void SetSetting26(uint8_t b);
void SetSetting27(uint8_t b);
void SetLanguage(uint8_t b);
void SetPrintCalCoeff(uint8_t b);
void SetBaseSelfTestInfo(uint8_t b);
void SetReadingsDump(uint8_t b);
void SetCalibratedLedPixel(uint16_t un);
void SetPixelClock(uint16_t un);
void SetSValue(double f);
void SaveHolmiumOffset();
void SaveSerialNumber();
void SaveProteinGroup(int nGroup);
// Protein-group fields: each writes its one value at once, with no
// comparison against the working copy. Out-of-range indexes are ignored.
void SetProteinHead(int nGroup, int nIndex, double f);      // afHead[0..1]
void SetProteinFlag(int nGroup, int nIndex, uint8_t b);     // abFlags[0..3]
void SetProteinValue(int nGroup, int nIndex, double f);     // afValues[0..4]
void SetProteinStandard(int nGroup, int nIndex, double f);  // afStandards[0..14]
void LoadProteinGroup(int nGroup);

// Bulk operations.
void LoadAllParameters();
void SaveAllParameters();
void InitialiseParameters();
void RepairParameters();
// Load, and initialise when the signature is missing (the start-up path).
void StartParameterStore();
