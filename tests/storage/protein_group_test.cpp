// The protein-assay groups: the defaults a never-set-up group takes, the
// start-up repair of each field, and the stored layout.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "storage/params.h"
#include "storage/protein_group.h"

namespace {

ProteinGroup SetUpGroup(int nGroup)
{
    ProteinGroup group;
    ProteinGroupDefaults(nGroup, &group);
    group.afHead[PROTEIN_HEAD_FACTOR] = 2.5;
    group.afHead[PROTEIN_HEAD_DILUTION] = 4.0;
    group.abFlags[PROTEIN_FLAG_REPLICATES] = 2;
    group.afValues[0] = 125.0;
    group.afStandards[ProteinReplicateIndex(0, 1)] = 0.25;
    return group;
}

TEST(ProteinGroup, ABlankGroupTakesTheAssaysDefaults)
{
    const struct {
        int nGroup;
        uint8_t bUnits, bFit;
    } CASES[] = {{0, PROTEIN_UNITS_UG_ML, 0}, {1, PROTEIN_UNITS_UG_ML, 1}, {2, PROTEIN_UNITS_UG_ML, 1},
                 {3, PROTEIN_UNITS_MG_ML, 0}};
    for (const auto& c : CASES) {
        ProteinGroup group;
        std::memset(&group, 0, sizeof group);  // as the first start leaves it
        EXPECT_EQ(RepairProteinGroup(c.nGroup, &group), PROTEIN_REPAIR_BLANK);
        EXPECT_EQ(group.abFlags[PROTEIN_FLAG_UNITS], c.bUnits) << c.nGroup;
        EXPECT_EQ(group.abFlags[PROTEIN_FLAG_CURVE_FIT], c.bFit) << c.nGroup;
        EXPECT_EQ(group.abFlags[PROTEIN_FLAG_CALIBRATION], PROTEIN_CAL_STANDARDS);
        EXPECT_EQ(group.abFlags[PROTEIN_FLAG_REPLICATES], 1);
        EXPECT_EQ(group.afHead[PROTEIN_HEAD_FACTOR], 1.0);
        EXPECT_EQ(group.afHead[PROTEIN_HEAD_DILUTION], 1.0);
        for (double f : group.afValues)
            EXPECT_EQ(f, PROTEIN_CONC_NOT_SET);
        for (double f : group.afStandards)
            EXPECT_EQ(f, PROTEIN_ABS_NOT_TAKEN);
        EXPECT_EQ(RepairProteinGroup(c.nGroup, &group), 0u) << "the defaults need no repair";
    }
}

TEST(ProteinGroup, RepairReplacesOnlyTheFieldThatIsOutOfRange)
{
    const struct {
        const char* pszWhat;
        void (*pfnSpoil)(ProteinGroup&);
        unsigned unRepair;
    } CASES[] = {
        {"factor NaN", [](ProteinGroup& g) { g.afHead[PROTEIN_HEAD_FACTOR] = std::numeric_limits<double>::quiet_NaN(); },
         PROTEIN_REPAIR_FACTOR},
        {"dilution 0", [](ProteinGroup& g) { g.afHead[PROTEIN_HEAD_DILUTION] = 0.0; }, PROTEIN_REPAIR_DILUTION},
        {"dilution 10000", [](ProteinGroup& g) { g.afHead[PROTEIN_HEAD_DILUTION] = 10000.0; }, PROTEIN_REPAIR_DILUTION},
        {"units 3", [](ProteinGroup& g) { g.abFlags[PROTEIN_FLAG_UNITS] = 3; }, PROTEIN_REPAIR_UNITS},
        {"calibration 2", [](ProteinGroup& g) { g.abFlags[PROTEIN_FLAG_CALIBRATION] = 2; }, PROTEIN_REPAIR_CALIBRATION},
        {"curve fit 9", [](ProteinGroup& g) { g.abFlags[PROTEIN_FLAG_CURVE_FIT] = 9; }, PROTEIN_REPAIR_CURVE_FIT},
        {"negative concentration", [](ProteinGroup& g) { g.afValues[3] = -1.0; }, PROTEIN_REPAIR_STANDARDS},
        {"absorbance NaN", [](ProteinGroup& g) { g.afStandards[7] = std::numeric_limits<double>::quiet_NaN(); },
         PROTEIN_REPAIR_STANDARDS},
        {"replicates 4", [](ProteinGroup& g) { g.abFlags[PROTEIN_FLAG_REPLICATES] = 4; }, PROTEIN_REPAIR_BLANK},
    };
    for (const auto& c : CASES) {
        ProteinGroup good = SetUpGroup(1);
        ProteinGroup group = good;
        c.pfnSpoil(group);
        EXPECT_EQ(RepairProteinGroup(1, &group), c.unRepair) << c.pszWhat;
        if (c.unRepair == PROTEIN_REPAIR_BLANK)
            continue;
        // Everything else is as it was.
        EXPECT_EQ(group.afValues[0], 125.0) << c.pszWhat;
        EXPECT_EQ(group.afStandards[ProteinReplicateIndex(0, 1)], 0.25) << c.pszWhat;
        EXPECT_EQ(group.abFlags[PROTEIN_FLAG_REPLICATES], 2) << c.pszWhat;
        if (c.unRepair != PROTEIN_REPAIR_DILUTION)
            EXPECT_EQ(group.afHead[PROTEIN_HEAD_DILUTION], 4.0) << c.pszWhat;
        else
            EXPECT_EQ(group.afHead[PROTEIN_HEAD_DILUTION], 1.0) << c.pszWhat;
    }
}

// The stored bytes: doubles little-endian at their offsets, the four flags
// at 16..19, standard i replicate r at 60 + 8 (3 i + r).
TEST(ProteinGroup, EncodedAtTheDocumentedOffsets)
{
    ProteinGroup group = SetUpGroup(2);
    std::vector<uint8_t> ab(PARAM_PROTEIN_GROUP_SIZE, 0xAA);
    EncodeProteinGroup(group, ab.data());
    EXPECT_EQ(GetParamDouble(&ab[8]), 4.0);
    EXPECT_EQ(ab[16], PROTEIN_UNITS_UG_ML);
    EXPECT_EQ(ab[17], PROTEIN_CAL_STANDARDS);
    EXPECT_EQ(ab[18], 2);
    EXPECT_EQ(ab[19], 1);
    EXPECT_EQ(GetParamDouble(&ab[20]), 125.0);
    EXPECT_EQ(GetParamDouble(&ab[60 + 8 * 1]), 0.25);
    EXPECT_EQ(GetParamDouble(&ab[172]), PROTEIN_ABS_NOT_TAKEN);
    ProteinGroup decoded;
    DecodeProteinGroup(ab.data(), &decoded);
    EXPECT_EQ(std::memcmp(&decoded.afStandards, &group.afStandards, sizeof group.afStandards), 0);
    EXPECT_EQ(std::memcmp(decoded.abFlags, group.abFlags, 4), 0);
}

}  // namespace
