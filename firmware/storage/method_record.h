// The method record: the 146-byte little-endian image of one stored method
// with its check word, and the working-copy form the screens edit. The
// encoder and decoder here are the only code that knows the record layout.
#pragma once

#include <cstdint>

constexpr int METHOD_NAME_LENGTH = 13;
constexpr int METHOD_CHECKED_BYTES = 144;     // bytes 0..143 are summed; 144..145 hold the check word
constexpr int METHOD_UNITS_COUNT = 19;        // units list entries 0..18
constexpr int METHOD_NAMED_UNITS = 14;        // entries 0..13 have a unit; 14..18 are blank
constexpr double STANDARD_NOT_SET = 100000.0; // standard concentration not entered
constexpr int METHOD_STANDARD_COUNT = 5;
constexpr uint32_t METHOD_WAVELENGTH_MIN = 330;  // nm
constexpr uint32_t METHOD_WAVELENGTH_MAX = 830;  // nm

// Fields that LimitMethodFields replaced, as bits of its result.
constexpr unsigned METHOD_LIMITED_WAVELENGTH = 1;
constexpr unsigned METHOD_LIMITED_UNITS = 2;
constexpr unsigned METHOD_LIMITED_KINETICS = 4;
constexpr unsigned METHOD_LIMITED_CALIBRATION = 8;
constexpr unsigned METHOD_LIMITED_CURVE_FIT = 16;

// One method's fields. szName holds the stored 13 bytes and a terminator.
struct MethodWork {
    char szName[METHOD_NAME_LENGTH + 1];  // space, A..Z, 0..9
    uint32_t unWavelength;                // nm
    uint8_t bCalibration;                 // 0 factor, 1 standard curve
    double fFactor;
    uint32_t unDisplayOption;
    uint32_t unUnits;                     // 0..18
    uint32_t unKinetics;                  // 0 no, 1 yes, 2 fixed time
    uint32_t unStartSec, unStartMin;
    uint32_t unIntervalSec, unIntervalMin;
    uint8_t bEndSec, bEndMin;
    double afStdAbs[METHOD_STANDARD_COUNT];
    double afStdConc[METHOD_STANDARD_COUNT];  // STANDARD_NOT_SET = not entered
    uint8_t bCurveFit;                    // 0 linear least squares, 1 polynomial
};

// Language-table text numbers of the units list, by units index.
extern const uint16_t gaunMethodUnitText[METHOD_UNITS_COUNT];

// One's complement of the 16-bit sum of bytes 0..143.
uint16_t MethodCheckWord(const uint8_t* pbRecord);
// True when the stored check word matches the record's bytes.
bool MethodRecordValid(const uint8_t* pbRecord);
// True when the slot is free (the name's first byte is 0).
bool MethodRecordFree(const uint8_t* pbRecord);
// The fields an empty or damaged record loads as.
void SetMethodDefaults(MethodWork* pMethod);
// Fills the whole record from the fields, padding bytes 0, with its check word.
void EncodeMethodRecord(const MethodWork& method, uint8_t* pbRecord);
// Copies the stored fields as they are, without checking or limiting them.
void DecodeMethodRecord(const uint8_t* pbRecord, MethodWork* pMethod);
// Brings the fields the screens index with into range (a loaded record may
// hold anything its check word covers) and says which were replaced.
unsigned LimitMethodFields(MethodWork* pMethod);
// The record a delete writes: name bytes 0 and a check word left at 0, so
// the slot is free and loads as the defaults.
void BuildDeletedMethodRecord(uint8_t* pbRecord);
