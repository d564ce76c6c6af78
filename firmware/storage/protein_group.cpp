// The protein-assay setting groups: defaults, repair and the stored layout.
#include "storage/protein_group.h"

#include <cmath>
#include <cstring>

namespace {

// Offsets inside a stored group.
constexpr int OFFSET_HEAD = 0;
constexpr int OFFSET_FLAGS = 16;
constexpr int OFFSET_VALUES = 20;
constexpr int OFFSET_STANDARDS = 60;

// Customary units and curve fit of each assay: Biuret is read in mg/ml, the
// others in ug/ml; BCA and Biuret respond nearly in proportion, Bradford and
// Lowry curve at the top of their range.
constexpr uint8_t kabDefaultUnits[PROTEIN_GROUP_COUNT] = {PROTEIN_UNITS_UG_ML, PROTEIN_UNITS_UG_ML,
                                                         PROTEIN_UNITS_UG_ML, PROTEIN_UNITS_MG_ML};
constexpr uint8_t kabDefaultFit[PROTEIN_GROUP_COUNT] = {0, 1, 1, 0};

// 1 while a group holds defaults given in memory that the EEPROM does not have.
uint8_t gabBlankGroup[PROTEIN_GROUP_COUNT];

uint8_t GroupIndex(int nGroup) { return static_cast<uint8_t>(nGroup >= 0 && nGroup < PROTEIN_GROUP_COUNT ? nGroup : 0); }

}  // namespace

void ProteinGroupDefaults(int nGroup, ProteinGroup* pGroup)
{
    uint8_t b = GroupIndex(nGroup);
    pGroup->afHead[PROTEIN_HEAD_FACTOR] = 1.0;
    pGroup->afHead[PROTEIN_HEAD_DILUTION] = 1.0;
    pGroup->abFlags[PROTEIN_FLAG_UNITS] = kabDefaultUnits[b];
    pGroup->abFlags[PROTEIN_FLAG_CALIBRATION] = PROTEIN_CAL_STANDARDS;
    pGroup->abFlags[PROTEIN_FLAG_REPLICATES] = 1;
    pGroup->abFlags[PROTEIN_FLAG_CURVE_FIT] = kabDefaultFit[b];
    for (double& f : pGroup->afValues)
        f = PROTEIN_CONC_NOT_SET;
    for (double& f : pGroup->afStandards)
        f = PROTEIN_ABS_NOT_TAKEN;
}

unsigned RepairProteinGroup(int nGroup, ProteinGroup* pGroup)
{
    uint8_t bReplicates = pGroup->abFlags[PROTEIN_FLAG_REPLICATES];
    if (bReplicates < 1 || bReplicates > PROTEIN_REPLICATE_MAX) {
        ProteinGroupDefaults(nGroup, pGroup);
        return PROTEIN_REPAIR_BLANK;
    }
    ProteinGroup defaults;
    ProteinGroupDefaults(nGroup, &defaults);
    unsigned unRepaired = 0;
    double& fFactor = pGroup->afHead[PROTEIN_HEAD_FACTOR];
    if (!std::isfinite(fFactor)) {
        fFactor = 1.0;
        unRepaired |= PROTEIN_REPAIR_FACTOR;
    }
    double& fDilution = pGroup->afHead[PROTEIN_HEAD_DILUTION];
    if (!(fDilution > 0.0 && fDilution <= PROTEIN_DILUTION_MAX)) {
        fDilution = 1.0;
        unRepaired |= PROTEIN_REPAIR_DILUTION;
    }
    struct FlagRule {
        int nIndex;
        uint8_t bHigh;
        unsigned unBit;
    };
    constexpr FlagRule kaRules[] = {{PROTEIN_FLAG_UNITS, PROTEIN_UNITS_COUNT - 1, PROTEIN_REPAIR_UNITS},
                                    {PROTEIN_FLAG_CALIBRATION, 1, PROTEIN_REPAIR_CALIBRATION},
                                    {PROTEIN_FLAG_CURVE_FIT, 1, PROTEIN_REPAIR_CURVE_FIT}};
    for (const FlagRule& rule : kaRules)
        if (pGroup->abFlags[rule.nIndex] > rule.bHigh) {
            pGroup->abFlags[rule.nIndex] = defaults.abFlags[rule.nIndex];
            unRepaired |= rule.unBit;
        }
    for (double& f : pGroup->afValues)
        if (!(f >= 0.0 && f <= PROTEIN_CONC_NOT_SET)) {
            f = PROTEIN_CONC_NOT_SET;
            unRepaired |= PROTEIN_REPAIR_STANDARDS;
        }
    for (double& f : pGroup->afStandards)
        if (!(f >= 0.0 && f <= PROTEIN_ABS_NOT_TAKEN)) {
            f = PROTEIN_ABS_NOT_TAKEN;
            unRepaired |= PROTEIN_REPAIR_STANDARDS;
        }
    return unRepaired;
}

void DecodeProteinGroup(const uint8_t* pbGroup, ProteinGroup* pGroup)
{
    for (int i = 0; i < 2; i++)
        pGroup->afHead[i] = GetParamDouble(pbGroup + OFFSET_HEAD + 8 * i);
    std::memcpy(pGroup->abFlags, pbGroup + OFFSET_FLAGS, 4);
    for (int i = 0; i < 5; i++)
        pGroup->afValues[i] = GetParamDouble(pbGroup + OFFSET_VALUES + 8 * i);
    for (int i = 0; i < 15; i++)
        pGroup->afStandards[i] = GetParamDouble(pbGroup + OFFSET_STANDARDS + 8 * i);
}

void EncodeProteinGroup(const ProteinGroup& group, uint8_t* pbGroup)
{
    for (int i = 0; i < 2; i++)
        PutParamDouble(pbGroup + OFFSET_HEAD + 8 * i, group.afHead[i]);
    std::memcpy(pbGroup + OFFSET_FLAGS, group.abFlags, 4);
    for (int i = 0; i < 5; i++)
        PutParamDouble(pbGroup + OFFSET_VALUES + 8 * i, group.afValues[i]);
    for (int i = 0; i < 15; i++)
        PutParamDouble(pbGroup + OFFSET_STANDARDS + 8 * i, group.afStandards[i]);
}

bool StoreBlankProteinGroup(int nGroup)
{
    if (nGroup < 0 || nGroup >= PROTEIN_GROUP_COUNT || !gabBlankGroup[nGroup])
        return false;
    gabBlankGroup[nGroup] = 0;
    uint8_t abGroup[PARAM_PROTEIN_GROUP_SIZE];
    EncodeProteinGroup(gProteinGroups[nGroup], abGroup);
    StoreBlock(static_cast<uint16_t>(PARAM_PROTEIN_GROUP_BASE + PARAM_PROTEIN_GROUP_SIZE * nGroup), abGroup,
               PARAM_PROTEIN_GROUP_SIZE);
    return true;
}

void RepairProteinGroups()
{
    for (int g = 0; g < PROTEIN_GROUP_COUNT; g++) {
        ProteinGroup before = gProteinGroups[g];
        unsigned unRepaired = RepairProteinGroup(g, &gProteinGroups[g]);
        gabBlankGroup[g] = unRepaired == PROTEIN_REPAIR_BLANK ? 1 : 0;
        if (unRepaired == 0 || unRepaired == PROTEIN_REPAIR_BLANK)
            continue;
        ProteinGroup& group = gProteinGroups[g];
        // Each field that changed is written, as the setters do.
        for (int i = 0; i < 2; i++)
            if (std::memcmp(&before.afHead[i], &group.afHead[i], sizeof(double)) != 0)
                SetProteinHead(g, i, group.afHead[i]);
        for (int i = 0; i < 4; i++)
            if (before.abFlags[i] != group.abFlags[i])
                SetProteinFlag(g, i, group.abFlags[i]);
        for (int i = 0; i < 5; i++)
            if (std::memcmp(&before.afValues[i], &group.afValues[i], sizeof(double)) != 0)
                SetProteinValue(g, i, group.afValues[i]);
        if (std::memcmp(before.afStandards, group.afStandards, sizeof before.afStandards) != 0)
            SaveProteinGroup(g);
    }
}
