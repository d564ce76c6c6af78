// Protein assays: the assay table, replicate means, the calibration and a
// sample's result.
#include "measure/protein_assay.h"

#include "measure/reading.h"

const ProteinAssay gProteinAssays[PROTEIN_ASSAY_COUNT] = {
    {"Protein BCA", 313, 562},
    {"Protein Bradford", 314, 595},
    {"Protein Lowry", 315, 750},
    {"Protein Biuret", 316, 540},
};

namespace {

int Replicates(const ProteinGroup& group)
{
    int n = group.abFlags[PROTEIN_FLAG_REPLICATES];
    return n < 1 ? 1 : n > PROTEIN_REPLICATE_MAX ? PROTEIN_REPLICATE_MAX : n;
}

bool Taken(double fAbs) { return fAbs >= 0.0 && fAbs < PROTEIN_ABS_NOT_TAKEN; }

}  // namespace

int ProteinReplicatesTaken(const ProteinGroup& group, int nStandard)
{
    int nTaken = 0;
    for (int r = 0; r < Replicates(group); r++)
        if (Taken(group.afStandards[ProteinReplicateIndex(nStandard, r)]))
            nTaken++;
    return nTaken;
}

double ProteinMeanAbs(const ProteinGroup& group, int nStandard)
{
    double fSum = 0.0;
    int nTaken = 0;
    for (int r = 0; r < Replicates(group); r++) {
        double f = group.afStandards[ProteinReplicateIndex(nStandard, r)];
        if (Taken(f)) {
            fSum += f;
            nTaken++;
        }
    }
    return nTaken ? fSum / nTaken : PROTEIN_ABS_NOT_TAKEN;
}

bool FitProteinCurve(const ProteinGroup& group, CurveProgress pfnProgress)
{
    double afAbs[STANDARD_COUNT];
    for (int i = 0; i < STANDARD_COUNT; i++) {
        double f = ProteinMeanAbs(group, i);
        afAbs[i] = Taken(f) ? f : 0.0;  // the fit's "nothing entered"
    }
    return FitStandardCurve(afAbs, group.afValues, group.abFlags[PROTEIN_FLAG_CURVE_FIT], pfnProgress);
}

double ProteinResult(const ProteinGroup& group, double fAbs)
{
    if (fAbs > 61110.0)
        return NO_VALUE;
    double fValue = fAbs;
    if (group.abFlags[PROTEIN_FLAG_UNITS] != PROTEIN_UNITS_ABS) {
        if (group.abFlags[PROTEIN_FLAG_CALIBRATION] == PROTEIN_CAL_FACTOR)
            fValue = fAbs * group.afHead[PROTEIN_HEAD_FACTOR];
        else
            fValue = StandardConcentration(fAbs);
    }
    if (fValue > 61110.0)
        return NO_VALUE;
    return fValue * group.afHead[PROTEIN_HEAD_DILUTION];
}

double ProteinUnitsScale(uint8_t bFrom, uint8_t bTo)
{
    if (bFrom == PROTEIN_UNITS_MG_ML && bTo == PROTEIN_UNITS_UG_ML)
        return 1000.0;
    if (bFrom == PROTEIN_UNITS_UG_ML && bTo == PROTEIN_UNITS_MG_ML)
        return 0.001;
    return 1.0;
}
