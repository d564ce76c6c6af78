// Protein assays: the four colorimetric assays (BCA, Bradford, Lowry,
// Biuret), their standards with replicates, the calibration made from them
// and a sample's result. The settings of each assay are its stored group
// (storage/protein_group.h); the fitting is the standard curves' own.
#pragma once

#include <cstdint>

#include "measure/standard_curve.h"
#include "storage/protein_group.h"

enum : uint8_t { ASSAY_BCA = 0, ASSAY_BRADFORD = 1, ASSAY_LOWRY = 2, ASSAY_BIURET = 3 };
constexpr int PROTEIN_ASSAY_COUNT = PROTEIN_GROUP_COUNT;

struct ProteinAssay {
    const char* pszName;   // as the reports print it, "Protein BCA"
    uint16_t unNameText;   // the same in the language table
    uint16_t unNm;         // reading wavelength of the coloured product, nm
};
// By assay number, which is also the number of its stored group.
extern const ProteinAssay gProteinAssays[PROTEIN_ASSAY_COUNT];

// Replicates of standard i (0..4) taken, counting only the group's
// replicate count.
int ProteinReplicatesTaken(const ProteinGroup& group, int nStandard);
// Mean absorbance of the replicates taken; PROTEIN_ABS_NOT_TAKEN when none.
double ProteinMeanAbs(const ProteinGroup& group, int nStandard);
// Fits the group's standards (each at its mean absorbance) with the
// group's curve fit into gStandardCurve; false for an invalid curve.
bool FitProteinCurve(const ProteinGroup& group, CurveProgress pfnProgress);
// A sample's result from the absorbance of the diluted sample, times the
// dilution:
//   units A: the absorbance;
//   factor: absorbance x factor;
//   standards: the concentration gStandardCurve gives (it must hold the
//   group's fit); NO_VALUE outside the standards' absorbance span or when
//   the curve is not valid.
// An absorbance outside the photometric range gives NO_VALUE.
double ProteinResult(const ProteinGroup& group, double fAbs);
// The factor between the units of a concentration: x1000 from mg/ml to
// ug/ml, /1000 back, 1 when either is absorbance.
double ProteinUnitsScale(uint8_t bFrom, uint8_t bTo);
