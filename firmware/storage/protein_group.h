// The protein-assay setting groups: what each of the 180 bytes of a group
// means, the values a group that was never set up takes, and the start-up
// repair. One group per assay, in the order of the assay chooser:
//
//   group  address  assay
//   0      0x0038   BCA
//   1      0x00EC   Bradford
//   2      0x01A0   Lowry
//   3      0x0254   Biuret
//
// Layout of a group (doubles little-endian, as every stored double):
//
//   offset  size    field
//   0       8       afHead[0]     factor: concentration per absorbance unit, in the group's units
//   8       8       afHead[1]     dilution: the result is multiplied by it (1 = undiluted)
//   16      1       abFlags[0]    units: 0 mg/ml, 1 ug/ml, 2 A (absorbance)
//   17      1       abFlags[1]    calibration: 0 factor, 1 standards
//   18      1       abFlags[2]    replicates per standard, 1..3 (0: never set up)
//   19      1       abFlags[3]    curve fit: 0 linear least squares, 1 polynomial
//   20      40      afValues[5]   concentrations of standards 1..5; 100000.0 = not set
//   60      120     afStandards   absorbances, standard i replicate r at [3 i + r];
//                                 61111.0 = not taken
#pragma once

#include <cstdint>

#include "storage/params.h"

constexpr int PROTEIN_GROUP_COUNT = 4;
constexpr int PROTEIN_STANDARD_COUNT = 5;
constexpr int PROTEIN_REPLICATE_MAX = 3;

// Indexes of the fields in the working copy.
constexpr int PROTEIN_HEAD_FACTOR = 0;      // afHead
constexpr int PROTEIN_HEAD_DILUTION = 1;    // afHead
constexpr int PROTEIN_FLAG_UNITS = 0;       // abFlags
constexpr int PROTEIN_FLAG_CALIBRATION = 1; // abFlags
constexpr int PROTEIN_FLAG_REPLICATES = 2;  // abFlags
constexpr int PROTEIN_FLAG_CURVE_FIT = 3;   // abFlags

// Units.
constexpr uint8_t PROTEIN_UNITS_MG_ML = 0;
constexpr uint8_t PROTEIN_UNITS_UG_ML = 1;
constexpr uint8_t PROTEIN_UNITS_ABS = 2;
constexpr uint8_t PROTEIN_UNITS_COUNT = 3;

// Calibration.
constexpr uint8_t PROTEIN_CAL_FACTOR = 0;
constexpr uint8_t PROTEIN_CAL_STANDARDS = 1;

constexpr double PROTEIN_ABS_NOT_TAKEN = 61111.0;  // a replicate not measured
constexpr double PROTEIN_CONC_NOT_SET = 100000.0;  // a standard without a concentration
constexpr double PROTEIN_DILUTION_MAX = 9999.0;    // highest dilution kept at start-up

// Index of standard i's replicate r in afStandards.
constexpr int ProteinReplicateIndex(int nStandard, int nReplicate) { return 3 * nStandard + nReplicate; }

// The group a first start gives the assay's group nGroup: factor 1, no
// dilution, the assay's customary units and fit, calibration by standards,
// one replicate, no standards.
void ProteinGroupDefaults(int nGroup, ProteinGroup* pGroup);

// Fields of a stored group that the start-up repair replaces, as bits.
constexpr unsigned PROTEIN_REPAIR_BLANK = 1;        // never set up: the whole group becomes the defaults
constexpr unsigned PROTEIN_REPAIR_FACTOR = 2;       // not a finite number: 1
constexpr unsigned PROTEIN_REPAIR_DILUTION = 4;     // not above 0 and up to 9999: 1
constexpr unsigned PROTEIN_REPAIR_UNITS = 8;        // above 2: the default
constexpr unsigned PROTEIN_REPAIR_CALIBRATION = 16; // above 1: standards
constexpr unsigned PROTEIN_REPAIR_CURVE_FIT = 32;   // above 1: the default
constexpr unsigned PROTEIN_REPAIR_STANDARDS = 64;   // a concentration or absorbance that is not a number
                                                    // or negative: not set, not taken
// Brings a group into range and says what was replaced (0: nothing).
unsigned RepairProteinGroup(int nGroup, ProteinGroup* pGroup);

// The group in, or into, a 180-byte stored image (for the tools).
void DecodeProteinGroup(const uint8_t* pbGroup, ProteinGroup* pGroup);
void EncodeProteinGroup(const ProteinGroup& group, uint8_t* pbGroup);

// Start-up: repairs the working copies of the four groups and writes each
// field that changed. A group never set up takes its defaults in memory
// only; it is stored whole with its first change (StoreBlankProteinGroup),
// so a start writes nothing for it.
void RepairProteinGroups();
// Before a field of group nGroup is written: a group that holds only the
// defaults given in memory is written whole (with the new value already in
// its working copy) and true is returned; otherwise false, nothing written.
bool StoreBlankProteinGroup(int nGroup);
