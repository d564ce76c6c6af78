// Parameter store: working copies of the stored settings.
// Scaffolding: the setters keep the working copies only. The EEPROM map,
// write-through, bulk load / save and initialisation arrive with the
// two-wire driver; until then nothing survives a restart.
#include "storage/params.h"

#include <cstring>

uint8_t gunLastOperation = 0;
uint8_t gunSampleNumber = 1;
uint8_t gbSetting02 = 0;
uint8_t gbOutputDevice = 2;
uint8_t gbBaudRate = 0;
uint8_t gbDateFormat = 1;
uint8_t gunCurrentMethod = 0;
uint8_t gunMethodListRow = 0;
uint8_t gbSetting08 = 0;
uint8_t gunMethodListPage = 0;
uint8_t gbSetting0A = 0;
uint8_t gbSetting0B = 1;
uint8_t gunStandardsRow = 0;
uint8_t gbTransmittanceMode = 0;
uint8_t gbSetting0E = 0;
uint8_t gbSetting0F = 150;
uint8_t gunMethodField = 0;
uint8_t gbSetting11 = 0;
uint8_t gbSetting12 = 0;
uint8_t gbAutoPrint = 0;
uint8_t gbSetting26 = 0;
uint8_t gbSetting27 = 1;
uint8_t gbLanguage = 0;
uint8_t gbPrintCalCoeff = 0;
uint8_t gbBaseSelfTestInfo = 0;
uint8_t gbReadingsDump = 0;
uint16_t gunSetting13 = 0;
uint16_t gunWavelength = 600;
uint16_t gunWavelengthB = 360;
uint16_t gunWavelengthC = 380;
uint16_t gunWavelengthD = 600;
uint16_t gunCalibratedLedPixel = 0;
uint16_t gunPixelClock = 300;
uint16_t gunMultiWavelength[4] = {340, 546, 628, 830};
double gfSValue = 0.0;
int32_t gnHolmiumOffset = 0;
uint32_t gulSerialNumber = 0;
char gszSignature[PARAM_SIGNATURE_SIZE];
ProteinGroup gProteinGroups[4];

void SetLastOperation(uint8_t b) { gunLastOperation = b; }
void SetSampleNumber(uint8_t b) { gunSampleNumber = b; }
void SetSetting02(uint8_t b) { gbSetting02 = b; }
void SetOutputDevice(uint8_t b) { gbOutputDevice = b; }
void SetBaudRate(uint8_t b) { gbBaudRate = b; }
void SetDateFormat(uint8_t b) { gbDateFormat = b; }
void SetCurrentMethod(uint8_t b) { gunCurrentMethod = b; }
void SetMethodListRow(uint8_t b) { gunMethodListRow = b; }
void SetSetting08(uint8_t b) { gbSetting08 = b; }
void SetMethodListPage(uint8_t b) { gunMethodListPage = b; }
void SetSetting0A(uint8_t b) { gbSetting0A = b; }
void SetSetting0B(uint8_t b) { gbSetting0B = b; }
void SetStandardsRow(uint8_t b) { gunStandardsRow = b; }
void SetTransmittanceMode(uint8_t b) { gbTransmittanceMode = b; }
void SetSetting0E(uint8_t b) { gbSetting0E = b; }
void SetSetting0F(uint8_t b) { gbSetting0F = b; }
void SetMethodField(uint8_t b) { gunMethodField = b; }
void SetSetting11(uint8_t b) { gbSetting11 = b; }
void SetSetting12(uint8_t b) { gbSetting12 = b; }
void SetAutoPrint(uint8_t b) { gbAutoPrint = b; }
void SetSetting26(uint8_t b) { gbSetting26 = b; }
void SetSetting27(uint8_t b) { gbSetting27 = b; }
void SetLanguage(uint8_t b) { gbLanguage = b; }
void SetPrintCalCoeff(uint8_t b) { gbPrintCalCoeff = b; }
void SetBaseSelfTestInfo(uint8_t b) { gbBaseSelfTestInfo = b; }
void SetReadingsDump(uint8_t b) { gbReadingsDump = b; }
void SetSetting13(uint16_t un) { gunSetting13 = un; }
void SetWavelength(uint16_t un) { gunWavelength = un; }
void SetWavelengthB(uint16_t un) { gunWavelengthB = un; }
void SetWavelengthC(uint16_t un) { gunWavelengthC = un; }
void SetWavelengthD(uint16_t un) { gunWavelengthD = un; }
void SetCalibratedLedPixel(uint16_t un) { gunCalibratedLedPixel = un; }
void SetPixelClock(uint16_t un) { gunPixelClock = un; }
void SetMultiWavelength(int nIndex, uint16_t un)
{
    if (nIndex >= 0 && nIndex < 4)
        gunMultiWavelength[nIndex] = un;
}
void SetSValue(double f) { gfSValue = f; }
void SaveHolmiumOffset() {}
void SaveSerialNumber() {}
void SaveProteinGroup(int) {}

void LoadAllParameters() {}
void SaveAllParameters() {}
void InitialiseParameters() {}
void RepairParameters() {}
void StartParameterStore() {}
