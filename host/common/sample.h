// What stands in the cell: a sample's absorbance spectrum over 330..830 nm
// (bands and tabulated points, scaled by a concentration), with optional
// turbidity, stray light and a first-order fading of its colour; the sample
// files that describe one, and the detector frames it gives.
//
// A sample file is text, one setting a line, "#" starts a comment:
//
//   name Bromophenol blue            shown in the chooser and the compartment
//   description Dye, 1 cm cell       optional
//   recorded sample|holmium|cutoff   one of the instrument's recorded cells
//                                    (nothing else may be given with it)
//   band CENTRE WIDTH HEIGHT         a Gaussian band: nm, standard deviation
//                                    in nm, absorbance (per concentration unit)
//   point NM VALUE                   a tabulated absorbance (per concentration
//                                    unit), joined linearly; NM increasing
//   concentration VALUE [UNIT]       bands and points are absorptivities; the
//                                    chooser may change VALUE
//   hidden                           an unknown: its concentration is not shown
//   saturation HALF                  the colour stops following the
//                                    concentration c as the reagent runs out:
//                                    it grows as c * HALF / (HALF + c), half
//                                    its straight-line value at c = HALF
//                                    (needs a concentration)
//   turbidity OD600 EXPONENT         scattering: OD600 * (600 / nm)^EXPONENT
//   stray FRACTION                   light reaching the array past the cell
//   rate K                           the colour fades first-order, K per
//                                    minute, from the moment the cell goes in
//   seed N                           the detector noise's seed (default: from
//                                    the name)
//
// A file with no band, point or turbidity is a blank.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "measure/frame_sets.h"

enum class RecordedCell : uint8_t { None, Sample, Holmium, CutOff };

struct SampleBand {
    double fCentreNm = 0;
    double fWidthNm = 0;  // standard deviation
    double fHeight = 0;
};

struct SamplePoint {
    double fNm = 0;
    double fValue = 0;
};

class CSample {
public:
    std::string m_sName;
    std::string m_sDescription;
    std::string m_sFile;  // where it was loaded from; empty when built in
    RecordedCell m_recorded = RecordedCell::None;
    std::vector<SampleBand> m_bands;
    std::vector<SamplePoint> m_points;
    bool m_bConcentration = false;  // bands and points are per concentration unit
    double m_fConcentration = 1.0;  // the file's concentration
    std::string m_sUnit;
    bool m_bHidden = false;
    double m_fSaturation = 0;  // concentration at which the colour is half its linear value; 0 = linear
    double m_fTurbidity600 = 0;  // optical density of the scattering at 600 nm
    double m_fTurbidityExponent = 0;
    double m_fStray = 0;     // fraction of the light that bypasses the cell
    double m_fRatePerMin = 0;  // first-order fading of the colour, 0 = stable
    uint64_t m_ullSeed = 0;

    // The recorded sample of the instrument: the default.
    static CSample Recorded();

    // The concentration the colour follows: the concentration itself, or
    // less as the reagent saturates.
    double ColourConcentration(double fConcentration) const;
    // The cell's own absorbance at a wavelength (without stray light), for a
    // concentration, minutes after the cell went in.
    double Absorbance(double fNm, double fConcentration, double fMinutes) const;
    // The absorbance the instrument should show: stray light included.
    double ShownAbsorbance(double fNm, double fConcentration, double fMinutes) const;
    // The colour's share (bands and points) before concentration and fading.
    double Absorptivity(double fNm) const;
    // "Bromophenol blue 5 mg/L", the concentration left out when hidden.
    std::string Label(double fConcentration) const;
};

// Reads a sample file. On faults returns nothing and sets sError to one
// line "FILE:LINE: what is wrong" for each fault in the file, the lines
// parted by '\n' (or to "FILE: ..." when it cannot be read).
std::optional<CSample> LoadSampleFile(const std::filesystem::path& path, std::string& sError);
// Parses the text of a sample file named sFile (for its messages).
std::optional<CSample> ParseSample(std::string_view sText, const std::string& sFile, std::string& sError);

// The sample library: the directory of *.sample files (HALDEN_SAMPLES in
// the environment, else share/halden/samples beside an installed program,
// else the one in the source tree).
std::filesystem::path SampleLibraryDir();
// The names (file stems) in the library, sorted.
std::vector<std::string> SampleLibraryNames();
// A library name ("dye") or a path to a file ("my/dye.sample").
std::optional<CSample> LoadSample(const std::string& sNameOrPath, std::string& sError);

// Makes the frame set the detector records with the sample in the cell: the
// recorded reference light times the sample's transmittance at each pixel's
// wavelength (nNmOffsetPixels shifts the instrument's wavelength table, as
// its holmium and diode-array offsets do), over the same dark level, frame
// choice and noise as the recorded sets.
void SynthesiseSampleFrames(const CSample& sample, double fConcentration, double fMinutes, uint64_t ullSeed,
                            int32_t nNmOffsetPixels, FrameRecord* pFrames);
