// The working copy of the current method: loading, saving and deleting its
// record, finding a free slot and reading the names of a method-list page.
#include <cstring>

#include "storage/method_record.h"
#include "storage/params.h"
#include "ui/ui.h"
#include "ui/ui_internal.h"

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

// Makes a record the working method. A missing record (null) or one that
// fails its check gives the default method; names, fields and the display
// option are kept inside what the screens can show.
void UseMethodRecord(const uint8_t* pbRecord)
{
    if (pbRecord == nullptr || !MethodRecordValid(pbRecord)) {
        SetMethodDefaults(&gMethod);
        gunDisplayOption = gMethod.unDisplayOption;
        return;
    }
    DecodeMethodRecord(pbRecord, &gMethod);
    for (int i = 0; i < METHOD_NAME_LENGTH; i++)
        if (gMethod.szName[i] == '\0')
            gMethod.szName[i] = 'X';
    LimitMethodFields(&gMethod);
    gunDisplayOption = ShownDisplayOption();
    // A curve method is ready to give concentrations as soon as it is loaded.
    if (gMethod.bCalibration == 1)
        FitMethodCurve(false);
}

void LoadMethodWork(uint8_t bSlot)
{
    // A slot number from a damaged store never reads past the method records.
    if (bSlot >= METHOD_COUNT) {
        UseMethodRecord(nullptr);
        return;
    }
    uint8_t abRecord[METHOD_RECORD_SIZE];
    LoadMethod(bSlot, abRecord);
    UseMethodRecord(abRecord);
}

void SaveMethodWork()
{
    if (gunCurrentMethod >= METHOD_COUNT)
        return;
    uint8_t abRecord[METHOD_RECORD_SIZE];
    EncodeMethodRecord(gMethod, abRecord);
    StoreMethod(gunCurrentMethod, abRecord);
}

void DeleteMethodSlot(uint8_t bSlot)
{
    if (bSlot >= METHOD_COUNT)
        return;
    uint8_t abRecord[METHOD_RECORD_SIZE];
    BuildDeletedMethodRecord(abRecord);
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
