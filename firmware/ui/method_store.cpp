// The working copy of the current method: loading, saving and deleting its
// record, finding a free slot and reading the names of a method-list page.
#include <cstring>

#include "storage/params.h"
#include "ui/ui.h"
#include "ui/ui_internal.h"

namespace {

constexpr double STANDARD_NOT_SET = 100000.0;

void PutU32(uint8_t* pb, uint32_t un)
{
    for (int i = 0; i < 4; i++)
        pb[i] = static_cast<uint8_t>(un >> (8 * i));
}
uint32_t GetU32(const uint8_t* pb)
{
    uint32_t un = 0;
    for (int i = 3; i >= 0; i--)
        un = (un << 8) | pb[i];
    return un;
}
void PutDouble(uint8_t* pb, double f) { std::memcpy(pb, &f, 8); }
double GetDouble(const uint8_t* pb)
{
    double f;
    std::memcpy(&f, pb, 8);
    return f;
}
uint16_t RecordSum(const uint8_t* pbRecord)
{
    uint16_t unSum = 0;
    for (int i = 0; i < 144; i++)
        unSum = static_cast<uint16_t>(unSum + pbRecord[i]);
    return unSum;
}

void SetDefaults(MethodWork* pMethod)
{
    std::memset(pMethod, 0, sizeof *pMethod);
    std::memset(pMethod->szName, 'X', METHOD_NAME_LENGTH);
    pMethod->unWavelength = 550;
    pMethod->fFactor = 1.0;
    pMethod->unIntervalSec = 10;
    pMethod->bEndSec = 10;
    for (double& f : pMethod->afStdConc)
        f = STANDARD_NOT_SET;
    pMethod->bCurveFit = 1;
}

}  // namespace

// The display option the result registers follow: a concentration and an
// absorbance times the factor are numbers (options 5 and 4), never clipped
// to the absorbance marks ">2.5" and "<-0.3".
uint32_t ShownDisplayOption()
{
    if (gMethod.bCalibration == 1)
        return 5;
    if (gMethod.unKinetics == 0 && gMethod.unDisplayOption == 2)
        return 4;
    return gMethod.unDisplayOption;
}

void LoadMethodWork(uint8_t bSlot)
{
    // A slot number from a damaged store never reads past the method records.
    if (bSlot >= METHOD_COUNT) {
        SetDefaults(&gMethod);
        gunDisplayOption = gMethod.unDisplayOption;
        return;
    }
    uint8_t abRecord[METHOD_RECORD_SIZE];
    LoadMethod(bSlot, abRecord);
    uint16_t unCheck = static_cast<uint16_t>(abRecord[144] | (abRecord[145] << 8));
    if (static_cast<uint16_t>(~unCheck) != RecordSum(abRecord)) {
        SetDefaults(&gMethod);
        gunDisplayOption = gMethod.unDisplayOption;
        return;
    }
    std::memcpy(gMethod.szName, abRecord, METHOD_NAME_LENGTH);
    gMethod.szName[METHOD_NAME_LENGTH] = '\0';
    for (int i = 0; i < METHOD_NAME_LENGTH; i++)
        if (gMethod.szName[i] == '\0')
            gMethod.szName[i] = 'X';
    gMethod.unWavelength = GetU32(abRecord + 14);
    gMethod.bCalibration = abRecord[18];
    gMethod.fFactor = GetDouble(abRecord + 20);
    gMethod.unDisplayOption = GetU32(abRecord + 28);
    gMethod.unUnits = GetU32(abRecord + 32);
    gMethod.unKinetics = GetU32(abRecord + 36);
    gMethod.unStartSec = GetU32(abRecord + 40);
    gMethod.unStartMin = GetU32(abRecord + 44);
    gMethod.unIntervalSec = GetU32(abRecord + 48);
    gMethod.unIntervalMin = GetU32(abRecord + 52);
    gMethod.bEndSec = abRecord[56];
    gMethod.bEndMin = abRecord[57];
    for (int i = 0; i < 5; i++) {
        gMethod.afStdAbs[i] = GetDouble(abRecord + 62 + 8 * i);
        gMethod.afStdConc[i] = GetDouble(abRecord + 102 + 8 * i);
    }
    gMethod.bCurveFit = abRecord[142];
    // Fields the screens index with must stay in range whatever the record holds.
    if (gMethod.unWavelength < WAVELENGTH_MIN || gMethod.unWavelength > WAVELENGTH_MAX)
        gMethod.unWavelength = 550;
    if (gMethod.unUnits > 18)
        gMethod.unUnits = 0;
    if (gMethod.unKinetics > 2)
        gMethod.unKinetics = 0;
    if (gMethod.bCalibration > 1)
        gMethod.bCalibration = 0;
    if (gMethod.bCurveFit > 1)
        gMethod.bCurveFit = 1;
    gunDisplayOption = ShownDisplayOption();
    // A curve method is ready to give concentrations as soon as it is loaded.
    if (gMethod.bCalibration == 1)
        FitMethodCurve(false);
}

static void BuildRecord(const MethodWork& method, uint8_t* pbRecord)
{
    std::memset(pbRecord, 0, METHOD_RECORD_SIZE);
    std::memcpy(pbRecord, method.szName, METHOD_NAME_LENGTH);
    PutU32(pbRecord + 14, method.unWavelength);
    pbRecord[18] = method.bCalibration;
    PutDouble(pbRecord + 20, method.fFactor);
    PutU32(pbRecord + 28, method.unDisplayOption);
    PutU32(pbRecord + 32, method.unUnits);
    PutU32(pbRecord + 36, method.unKinetics);
    PutU32(pbRecord + 40, method.unStartSec);
    PutU32(pbRecord + 44, method.unStartMin);
    PutU32(pbRecord + 48, method.unIntervalSec);
    PutU32(pbRecord + 52, method.unIntervalMin);
    pbRecord[56] = method.bEndSec;
    pbRecord[57] = method.bEndMin;
    for (int i = 0; i < 5; i++) {
        PutDouble(pbRecord + 62 + 8 * i, method.afStdAbs[i]);
        PutDouble(pbRecord + 102 + 8 * i, method.afStdConc[i]);
    }
    pbRecord[142] = method.bCurveFit;
}

void SaveMethodWork()
{
    if (gunCurrentMethod >= METHOD_COUNT)
        return;
    uint8_t abRecord[METHOD_RECORD_SIZE];
    BuildRecord(gMethod, abRecord);
    uint16_t unCheck = static_cast<uint16_t>(~RecordSum(abRecord));
    abRecord[144] = static_cast<uint8_t>(unCheck);
    abRecord[145] = static_cast<uint8_t>(unCheck >> 8);
    StoreMethod(gunCurrentMethod, abRecord);
}

void DeleteMethodSlot(uint8_t bSlot)
{
    if (bSlot >= METHOD_COUNT)
        return;
    MethodWork cleared;
    SetDefaults(&cleared);
    std::memset(cleared.szName, 0, sizeof cleared.szName);
    cleared.unDisplayOption = 2;
    cleared.unIntervalSec = 5;
    cleared.bEndSec = 5;
    for (double& f : cleared.afStdConc)
        f = 0.0;
    cleared.bCurveFit = 0;
    uint8_t abRecord[METHOD_RECORD_SIZE];
    BuildRecord(cleared, abRecord);
    // The check word is left as built (zero), so the slot loads as the defaults.
    StoreMethod(bSlot, abRecord);
}

int FindFreeMethodSlot()
{
    for (int i = 0; i < METHOD_COUNT; i++) {
        uint8_t bFirst = LoadByte(static_cast<uint16_t>(METHOD_RECORD_BASE + METHOD_RECORD_SIZE * i));
        if (bFirst == 0)
            return i;
    }
    return -1;
}

void LoadMethodPage(uint8_t bPageStart)
{
    gbMethodListRows = bPageStart >= 96 ? 4 : 8;
    for (int nRow = 0; nRow < 8; nRow++) {
        char* pszName = gaszMethodNames[nRow];
        std::memset(pszName, ' ', METHOD_NAME_LENGTH);
        pszName[METHOD_NAME_LENGTH] = '\0';
        if (nRow >= gbMethodListRows)
            continue;
        uint8_t abName[METHOD_NAME_LENGTH];
        LoadBlock(static_cast<uint16_t>(METHOD_RECORD_BASE + METHOD_RECORD_SIZE * (bPageStart + nRow)), abName,
                  METHOD_NAME_LENGTH);
        for (int i = 0; i < METHOD_NAME_LENGTH; i++)
            pszName[i] = abName[i] == 0 ? 'X' : static_cast<char>(abName[i]);
    }
}

// Fields of the method program: name, wavelength, units, calibration, factor,
// kinetics, start, interval, end.
bool MethodFieldApplies(uint8_t bField)
{
    switch (bField) {
    case 4:
        return gMethod.bCalibration == 0;
    case 6:
        return gMethod.unKinetics != 0;
    case 7:
    case 8:
        return gMethod.unKinetics == 1;
    default:
        return bField <= 8;
    }
}
