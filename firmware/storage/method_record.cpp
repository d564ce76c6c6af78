// The method record's layout: encoding, decoding and the check word.
#include "storage/method_record.h"

#include <cstring>

#include "storage/params.h"

namespace {

// Byte offsets inside the record.
constexpr int OFF_NAME = 0;
constexpr int OFF_WAVELENGTH = 14;
constexpr int OFF_CALIBRATION = 18;
constexpr int OFF_FACTOR = 20;
constexpr int OFF_DISPLAY_OPTION = 28;
constexpr int OFF_UNITS = 32;
constexpr int OFF_KINETICS = 36;
constexpr int OFF_START_SEC = 40;
constexpr int OFF_START_MIN = 44;
constexpr int OFF_INTERVAL_SEC = 48;
constexpr int OFF_INTERVAL_MIN = 52;
constexpr int OFF_END_SEC = 56;
constexpr int OFF_END_MIN = 57;
constexpr int OFF_STD_ABS = 62;
constexpr int OFF_STD_CONC = 102;
constexpr int OFF_CURVE_FIT = 142;
constexpr int OFF_CHECK = 144;

static_assert(OFF_CHECK + 2 == METHOD_RECORD_SIZE);

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

}  // namespace

// Doubles are stored as their eight IEEE 754 bytes, little-endian, as in the
// rest of the store (PutParamDouble, GetParamDouble).

const uint16_t gaunMethodUnitText[METHOD_UNITS_COUNT] = {66,  67,  68,  69,  70,  71,  72,  73,  74, 75,
                                                         76, 159, 160, 161, 162, 163, 164, 165, 166};

uint16_t MethodCheckWord(const uint8_t* pbRecord)
{
    uint16_t unSum = 0;
    for (int i = 0; i < METHOD_CHECKED_BYTES; i++)
        unSum = static_cast<uint16_t>(unSum + pbRecord[i]);
    return static_cast<uint16_t>(~unSum);
}

bool MethodRecordValid(const uint8_t* pbRecord)
{
    uint16_t unStored = static_cast<uint16_t>(pbRecord[OFF_CHECK] | (pbRecord[OFF_CHECK + 1] << 8));
    return unStored == MethodCheckWord(pbRecord);
}

bool MethodRecordFree(const uint8_t* pbRecord) { return pbRecord[OFF_NAME] == 0; }

void SetMethodDefaults(MethodWork* pMethod)
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

void EncodeMethodRecord(const MethodWork& method, uint8_t* pbRecord)
{
    std::memset(pbRecord, 0, METHOD_RECORD_SIZE);
    std::memcpy(pbRecord + OFF_NAME, method.szName, METHOD_NAME_LENGTH);
    PutU32(pbRecord + OFF_WAVELENGTH, method.unWavelength);
    pbRecord[OFF_CALIBRATION] = method.bCalibration;
    PutParamDouble(pbRecord + OFF_FACTOR, method.fFactor);
    PutU32(pbRecord + OFF_DISPLAY_OPTION, method.unDisplayOption);
    PutU32(pbRecord + OFF_UNITS, method.unUnits);
    PutU32(pbRecord + OFF_KINETICS, method.unKinetics);
    PutU32(pbRecord + OFF_START_SEC, method.unStartSec);
    PutU32(pbRecord + OFF_START_MIN, method.unStartMin);
    PutU32(pbRecord + OFF_INTERVAL_SEC, method.unIntervalSec);
    PutU32(pbRecord + OFF_INTERVAL_MIN, method.unIntervalMin);
    pbRecord[OFF_END_SEC] = method.bEndSec;
    pbRecord[OFF_END_MIN] = method.bEndMin;
    for (int i = 0; i < METHOD_STANDARD_COUNT; i++) {
        PutParamDouble(pbRecord + OFF_STD_ABS + 8 * i, method.afStdAbs[i]);
        PutParamDouble(pbRecord + OFF_STD_CONC + 8 * i, method.afStdConc[i]);
    }
    pbRecord[OFF_CURVE_FIT] = method.bCurveFit;
    uint16_t unCheck = MethodCheckWord(pbRecord);
    pbRecord[OFF_CHECK] = static_cast<uint8_t>(unCheck);
    pbRecord[OFF_CHECK + 1] = static_cast<uint8_t>(unCheck >> 8);
}

void DecodeMethodRecord(const uint8_t* pbRecord, MethodWork* pMethod)
{
    std::memcpy(pMethod->szName, pbRecord + OFF_NAME, METHOD_NAME_LENGTH);
    pMethod->szName[METHOD_NAME_LENGTH] = '\0';
    pMethod->unWavelength = GetU32(pbRecord + OFF_WAVELENGTH);
    pMethod->bCalibration = pbRecord[OFF_CALIBRATION];
    pMethod->fFactor = GetParamDouble(pbRecord + OFF_FACTOR);
    pMethod->unDisplayOption = GetU32(pbRecord + OFF_DISPLAY_OPTION);
    pMethod->unUnits = GetU32(pbRecord + OFF_UNITS);
    pMethod->unKinetics = GetU32(pbRecord + OFF_KINETICS);
    pMethod->unStartSec = GetU32(pbRecord + OFF_START_SEC);
    pMethod->unStartMin = GetU32(pbRecord + OFF_START_MIN);
    pMethod->unIntervalSec = GetU32(pbRecord + OFF_INTERVAL_SEC);
    pMethod->unIntervalMin = GetU32(pbRecord + OFF_INTERVAL_MIN);
    pMethod->bEndSec = pbRecord[OFF_END_SEC];
    pMethod->bEndMin = pbRecord[OFF_END_MIN];
    for (int i = 0; i < METHOD_STANDARD_COUNT; i++) {
        pMethod->afStdAbs[i] = GetParamDouble(pbRecord + OFF_STD_ABS + 8 * i);
        pMethod->afStdConc[i] = GetParamDouble(pbRecord + OFF_STD_CONC + 8 * i);
    }
    pMethod->bCurveFit = pbRecord[OFF_CURVE_FIT];
}

unsigned LimitMethodFields(MethodWork* pMethod)
{
    unsigned unLimited = 0;
    if (pMethod->unWavelength < METHOD_WAVELENGTH_MIN || pMethod->unWavelength > METHOD_WAVELENGTH_MAX) {
        pMethod->unWavelength = 550;
        unLimited |= METHOD_LIMITED_WAVELENGTH;
    }
    if (pMethod->unUnits >= METHOD_UNITS_COUNT) {
        pMethod->unUnits = 0;
        unLimited |= METHOD_LIMITED_UNITS;
    }
    if (pMethod->unKinetics > 2) {
        pMethod->unKinetics = 0;
        unLimited |= METHOD_LIMITED_KINETICS;
    }
    if (pMethod->bCalibration > 1) {
        pMethod->bCalibration = 0;
        unLimited |= METHOD_LIMITED_CALIBRATION;
    }
    if (pMethod->bCurveFit > 1) {
        pMethod->bCurveFit = 1;
        unLimited |= METHOD_LIMITED_CURVE_FIT;
    }
    return unLimited;
}

void BuildDeletedMethodRecord(uint8_t* pbRecord)
{
    MethodWork cleared;
    SetMethodDefaults(&cleared);
    std::memset(cleared.szName, 0, sizeof cleared.szName);
    cleared.unDisplayOption = 2;
    cleared.unIntervalSec = 5;
    cleared.bEndSec = 5;
    for (double& f : cleared.afStdConc)
        f = 0.0;
    cleared.bCurveFit = 0;
    EncodeMethodRecord(cleared, pbRecord);
    pbRecord[OFF_CHECK] = 0;
    pbRecord[OFF_CHECK + 1] = 0;
}
