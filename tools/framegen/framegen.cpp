// framegen: builds the diode array's five recorded frame sets and the
// wavelength table from a small optical model, and writes them as C++ tables.
//
//   framegen OUTPUT.cpp
//
// The model, in the order the light meets it:
//   lamp       a flash lamp: a smooth continuum with two emission lines of its
//              fill, at pixels 580 and 659 (about 611 and 651 nm)
//   bench      the grating and the silicon array's response; together with the
//              lamp they make the reference throughput, tied to the counts the
//              instrument records at the UV pixel 30, the peak 580, the line
//              659 and the IR pixel 995
//   sample     a cell in the beam: the coloured sample, the holmium filter, the
//              UV cut-off filter (with the instrument's stray light), each an
//              absorbance curve over wavelength
//   LED        the internal LED instead of the lamp: a narrow core on a broad,
//              skewed emission band, peaking at pixel 580
//   detector   dark counts (an ADC offset with a gradient and fixed pattern,
//              plus dark current per frame and read noise), shot noise on the
//              light, and a frame count per pixel chosen so that the summed
//              counts stay inside the 16-bit accumulator
//
// Each absorbance curve is the sum of a few bands; after the first pass the
// generator measures the spectra exactly as the firmware will (linearity
// correction, three-pixel means) and adds a smooth correction through the
// figures the instrument is known to show at a few wavelengths, until they
// hold. Every property the firmware and its tests rely on is checked at the
// end; a failed check stops the build.
//
// The output is deterministic: the noise comes from a fixed-seed generator of
// our own, not from the standard library's distributions.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "detector_model.h"

namespace {

using namespace detector_model;

constexpr int POINTS = 501;  // 330..830 nm
constexpr int FIRST_NM = 330;

// ---------------------------------------------------------------- helpers

[[noreturn]] void Fail(const std::string& sWhat)
{
    std::fprintf(stderr, "framegen: %s\n", sWhat.c_str());
    std::exit(1);
}

void Check(bool bOk, const std::string& sWhat)
{
    if (!bOk)
        Fail("property does not hold: " + sWhat);
}

// Monotone piecewise-cubic (Fritsch-Carlson) interpolation: no overshoot
// between the given points; constant beyond the ends.
class CMonotoneCurve {
public:
    CMonotoneCurve(std::vector<double> x, std::vector<double> y) : m_x(std::move(x)), m_y(std::move(y))
    {
        size_t n = m_x.size();
        std::vector<double> delta(n - 1);
        for (size_t i = 0; i + 1 < n; i++)
            delta[i] = (m_y[i + 1] - m_y[i]) / (m_x[i + 1] - m_x[i]);
        m_d.assign(n, 0.0);
        m_d[0] = n > 1 ? delta[0] : 0.0;
        m_d[n - 1] = n > 1 ? delta[n - 2] : 0.0;
        for (size_t i = 1; i + 1 < n; i++) {
            if (delta[i - 1] * delta[i] <= 0)
                m_d[i] = 0;
            else {
                double w1 = 2 * (m_x[i + 1] - m_x[i]) + (m_x[i] - m_x[i - 1]);
                double w2 = (m_x[i + 1] - m_x[i]) + 2 * (m_x[i] - m_x[i - 1]);
                m_d[i] = (w1 + w2) / (w1 / delta[i - 1] + w2 / delta[i]);
            }
        }
    }
    double operator()(double x) const
    {
        if (x <= m_x.front())
            return m_y.front();
        if (x >= m_x.back())
            return m_y.back();
        size_t i = std::upper_bound(m_x.begin(), m_x.end(), x) - m_x.begin() - 1;
        double h = m_x[i + 1] - m_x[i];
        double t = (x - m_x[i]) / h;
        double h00 = (1 + 2 * t) * (1 - t) * (1 - t), h10 = t * (1 - t) * (1 - t);
        double h01 = t * t * (3 - 2 * t), h11 = t * t * (t - 1);
        return h00 * m_y[i] + h10 * h * m_d[i] + h01 * m_y[i + 1] + h11 * h * m_d[i + 1];
    }

private:
    std::vector<double> m_x, m_y, m_d;
};

double Band(double x, double centre, double sigma, double height)
{
    double z = (x - centre) / sigma;
    return height * std::exp(-0.5 * z * z);
}

// A band whose two sides have different widths.
double SkewedBand(double x, double centre, double sigmaLow, double sigmaHigh, double height)
{
    return Band(x, centre, x < centre ? sigmaLow : sigmaHigh, height);
}

// ---------------------------------------------------------------- wavelength scale

// The spectrograph's dispersion: pixel against wavelength. A quadratic
// describes the bench well in the middle; the rows below were measured on the
// instrument (emission lines and the holmium filter) and hold where they
// differ from it, most near the ends of the array.
double DispersionQuadratic(double nm)
{
    double d = nm - 580.0;
    return 520.35 + 1.9389 * d - 0.000105 * d * d;
}

struct ScaleRow {
    int nNm;
    int nPixel;
};
const ScaleRow MEASURED_ROWS[] = {
    {330, 33},  {331, 35},  {332, 36},  {350, 72},  {354, 79},  {360, 91},  {361, 93},
    {400, 169}, {408, 185}, {414, 196}, {419, 206}, {500, 365}, {510, 384}, {535, 433},
    {536, 435}, {537, 437}, {560, 482}, {581, 523}, {582, 525}, {600, 559}, {691, 734},
    {700, 751}, {750, 846}, {800, 940}, {830, 996},
};

// Continuous pixel position of a wavelength: the quadratic plus the measured
// rows' departure from it, interpolated linearly between rows.
double PixelOfWavelength(double nm)
{
    const ScaleRow* pRows = MEASURED_ROWS;
    const int n = static_cast<int>(std::size(MEASURED_ROWS));
    auto residual = [](const ScaleRow& r) { return r.nPixel - DispersionQuadratic(r.nNm); };
    if (nm <= pRows[0].nNm)
        return DispersionQuadratic(nm) + residual(pRows[0]);
    if (nm >= pRows[n - 1].nNm)
        return DispersionQuadratic(nm) + residual(pRows[n - 1]);
    int i = 0;
    while (pRows[i + 1].nNm < nm)
        i++;
    double t = (nm - pRows[i].nNm) / static_cast<double>(pRows[i + 1].nNm - pRows[i].nNm);
    return DispersionQuadratic(nm) + residual(pRows[i]) + t * (residual(pRows[i + 1]) - residual(pRows[i]));
}

// The wavelength that falls on the centre of a pixel (inverse of the above).
double WavelengthOfPixel(double pixel)
{
    double lo = 250.0, hi = 900.0;
    for (int i = 0; i < 60; i++) {
        double mid = 0.5 * (lo + hi);
        (PixelOfWavelength(mid) < pixel ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

std::array<int, POINTS> BuildWavelengthTable()
{
    std::array<int, POINTS> table{};
    for (int k = 0; k < POINTS; k++)
        table[k] = static_cast<int>(std::lround(PixelOfWavelength(FIRST_NM + k)));
    return table;
}

// ---------------------------------------------------------------- detector

struct Recording {
    std::array<uint16_t, PIXELS> light{};
    std::array<uint16_t, PIXELS> dark{};
    std::array<uint8_t, PIXELS> frames{};
};

// Records light and dark sums for a per-frame signal. nFixedFrames 0 lets
// the detector choose the frame count; pinned pixels get exactly the given
// per-frame signal (their frame count makes it a whole number of counts).
Recording Record(const std::array<double, PIXELS>& signal, uint64_t seed, int nFixedFrames,
                 const std::vector<int>& pinned = {})
{
    static const std::array<double, PIXELS> offsets = DarkOffsets();
    CNoise noise(seed);
    Recording rec;
    for (int p = 0; p < PIXELS; p++) {
        int f = nFixedFrames ? nFixedFrames : ChooseFrames(signal[p], offsets[p]);
        double dark = offsets[p] + f * DARK_CURRENT + READ_NOISE * std::sqrt(f) * noise.Gauss();
        double counts = f * signal[p];
        bool bPinned = std::find(pinned.begin(), pinned.end(), p) != pinned.end();
        if (!bPinned)
            counts += std::sqrt(std::max(counts, 0.0) * COUNTS_PER_ELECTRON) * noise.Gauss() +
                      READ_NOISE * std::sqrt(f) * noise.Gauss();
        else
            Check(std::fabs(counts - std::round(counts)) < 1e-6,
                  "pinned pixel " + std::to_string(p) + " is a whole number of counts");
        long nDark = std::lround(dark);
        long nLight = nDark + std::lround(counts);
        Check(nDark >= 0 && nLight >= 0 && nLight <= 65535, "counts fit 16 bits at pixel " + std::to_string(p));
        rec.dark[p] = static_cast<uint16_t>(nDark);
        rec.light[p] = static_cast<uint16_t>(nLight);
        rec.frames[p] = static_cast<uint8_t>(f);
    }
    return rec;
}

// ---------------------------------------------------------------- the firmware's view

// Per-frame signal as a reading computes it, raw and linearised.
double RawSignal(const Recording& r, int p)
{
    return (static_cast<int>(r.light[p]) - static_cast<int>(r.dark[p])) / static_cast<double>(r.frames[p]);
}

double LinearSignal(const Recording& r, int p)
{
    double d = static_cast<int>(r.light[p]) - static_cast<int>(r.dark[p]);
    double x = d / 32768.0;
    return ((0.01 * x - 0.043) * x + 1.0) * d / r.frames[p];
}

double SpectrumPoint(const Recording& r, const std::array<int, POINTS>& table, int nNm)
{
    int c = table[nNm - FIRST_NM];
    double sum = 0;
    int n = 0;
    for (int p = c - 1; p <= c + 1; p++)
        if (p >= 0 && p < PIXELS) {
            sum += LinearSignal(r, p);
            n++;
        }
    return n ? sum / n : 0.0;
}

double MeasuredAbsorbance(const Recording& ref, const Recording& test, const std::array<int, POINTS>& table,
                          int nNm)
{
    return std::log10(SpectrumPoint(ref, table, nNm) / SpectrumPoint(test, table, nNm));
}

// ---------------------------------------------------------------- the light path

std::array<double, PIXELS> gPixelNm;  // wavelength on each pixel's centre

// Relative spectral radiance of a black body (normalised at 600 nm).
double Planck(double nm, double kelvin)
{
    auto b = [kelvin](double l) { return 1.0 / (std::pow(l, 5) * (std::exp(14387769.0 / (l * kelvin)) - 1.0)); };
    return b(nm) / b(600.0);
}

// Silicon photodiode response with the array window: weak in the UV, broad
// maximum in the red.
double SiliconResponse(double nm)
{
    double uv = 1.0 - std::exp(-(nm - 280.0) / 75.0);
    double z = (nm - 720.0) / 430.0;
    return std::max(uv, 0.0) * std::exp(-z * z);
}

// Emission lines of the lamp's fill, relative to the continuum; the slit
// images each as a narrow Gaussian in pixels.
double LampLines(double pixel)
{
    return 1.0 + Band(pixel, 580.0, 1.6, 0.075) + Band(pixel, 659.0, 1.6, 0.065);
}

// Reference throughput, counts per frame. The continuum is lamp x bench;
// its absolute level, and a smooth tilt of the bench, are tied to the counts
// recorded at four pixels (the lines' share removed).
std::array<double, PIXELS> ReferenceSignal()
{
    struct Tie {
        int nPixel;
        double fCounts;
    };
    const Tie TIES[] = {{30, 855.4}, {580, 45404.0}, {659, 40899.0}, {995, 20900.0}};
    auto shape = [](int p) { return Planck(gPixelNm[p], 6000.0) * SiliconResponse(gPixelNm[p]); };
    std::vector<double> x, y;
    for (const Tie& t : TIES) {
        x.push_back(t.nPixel);
        y.push_back(std::log(t.fCounts / (shape(t.nPixel) * LampLines(t.nPixel))));
    }
    CMonotoneCurve tilt(x, y);
    std::array<double, PIXELS> s{};
    for (int p = 0; p < PIXELS; p++)
        s[p] = shape(p) * LampLines(p) * std::exp(tilt(p));
    for (const Tie& t : TIES)
        s[t.nPixel] = t.fCounts;
    return s;
}

// The LED: a narrow core (its die, imaged on the slit) on a broad emission
// band that falls off faster on the short-wavelength side.
std::array<double, PIXELS> LedSignal()
{
    std::array<double, PIXELS> s{};
    for (int p = 0; p < PIXELS; p++) {
        double d = p - 580.0;
        s[p] = 245.0 * (0.3 * std::exp(-std::fabs(d) / 3.0) + SkewedBand(p, 580.0, 17.6, 20.4, 0.7));
    }
    return s;
}

// An absorbance curve in the cell and the figures it must show.
struct Target {
    int nNm;
    double fAbsorbance;
};

struct CellModel {
    std::function<double(double)> absorbance;  // of the cell itself, against wavelength
    double fStray;                             // stray light reaching the array, counts per frame
    std::vector<Target> targets;               // absorbances the instrument shows
    uint64_t seed;
};

// Transmitted signal through a cell: the reference light attenuated by the
// cell plus the stray light that bypasses it, under the correction.
std::array<double, PIXELS> CellSignal(const std::array<double, PIXELS>& ref, const CellModel& cell,
                                      const CMonotoneCurve& correction)
{
    std::array<double, PIXELS> s{};
    for (int p = 0; p < PIXELS; p++) {
        s[p] = (ref[p] * std::pow(10.0, -cell.absorbance(gPixelNm[p])) + cell.fStray) *
               std::pow(10.0, -correction(gPixelNm[p]));
    }
    return s;
}

// Records the cell and corrects its curve until the shown absorbances hold.
Recording RecordCell(const std::array<double, PIXELS>& refSignal, const Recording& ref,
                     const std::array<int, POINTS>& table, const CellModel& cell,
                     const std::vector<int>& pinned = {}, const std::array<double, PIXELS>* pPinnedSignal = nullptr)
{
    std::vector<double> x, y(cell.targets.size(), 0.0);
    for (const Target& t : cell.targets)
        x.push_back(t.nNm);
    Recording rec;
    for (int pass = 0; pass < 12; pass++) {
        CMonotoneCurve correction(x, y);
        std::array<double, PIXELS> s = CellSignal(refSignal, cell, correction);
        if (pPinnedSignal)
            for (int p : pinned)
                s[p] = (*pPinnedSignal)[p];
        rec = Record(s, cell.seed, 0, pinned);
        double worst = 0;
        for (size_t i = 0; i < cell.targets.size(); i++) {
            double err = cell.targets[i].fAbsorbance - MeasuredAbsorbance(ref, rec, table, cell.targets[i].nNm);
            y[i] += err;
            worst = std::max(worst, std::fabs(err));
        }
        if (worst < 0.0001)
            return rec;
    }
    Fail("the cell's absorbances do not converge");
}

// ---------------------------------------------------------------- checks

void CheckTable(const std::array<int, POINTS>& table)
{
    for (const ScaleRow& r : MEASURED_ROWS)
        Check(table[r.nNm - FIRST_NM] == r.nPixel, "wavelength table row " + std::to_string(r.nNm));
    for (int k = 1; k < POINTS; k++) {
        int step = table[k] - table[k - 1];
        Check(step == 1 || step == 2, "wavelength table steps by 1 or 2 at " + std::to_string(FIRST_NM + k));
    }
}

void CheckRecording(const Recording& r, const char* pszName)
{
    for (int p = 0; p < PIXELS; p++) {
        Check(r.frames[p] >= 1 && r.frames[p] <= 60, std::string(pszName) + " frame counts 1..60");
        Check(r.dark[p] >= 14000 && r.dark[p] <= 17000, std::string(pszName) + " dark counts 14000..17000");
    }
}

void CheckShown(const Recording& ref, const Recording& test, const std::array<int, POINTS>& table,
                const std::vector<Target>& targets, const char* pszName)
{
    for (const Target& t : targets) {
        double a = MeasuredAbsorbance(ref, test, table, t.nNm);
        Check(std::fabs(a - t.fAbsorbance) < 0.0002, std::string(pszName) + " absorbance at " + std::to_string(t.nNm));
    }
}

int HighestAbsorbanceNm(const Recording& ref, const Recording& test, const std::array<int, POINTS>& table)
{
    int best = FIRST_NM;
    double bestA = -1e9;
    for (int nm = FIRST_NM; nm < FIRST_NM + POINTS; nm++) {
        double a = MeasuredAbsorbance(ref, test, table, nm);
        if (a > bestA) {
            bestA = a;
            best = nm;
        }
    }
    return best;
}

// ---------------------------------------------------------------- output

void WriteTable(std::FILE* pFile, const char* pszName, const Recording& r)
{
    std::fprintf(pFile, "\nconst FrameRecord %s[FRAME_SET_PIXELS] = {\n", pszName);
    for (int p = 0; p < PIXELS; p++)
        std::fprintf(pFile, "    {%d, %u, %u, %u, 0},\n", p + 1, r.light[p], r.dark[p], r.frames[p]);
    std::fprintf(pFile, "};\n");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: framegen OUTPUT.cpp\n");
        return 2;
    }

    std::array<int, POINTS> table = BuildWavelengthTable();
    CheckTable(table);
    for (int p = 0; p < PIXELS; p++)
        gPixelNm[p] = WavelengthOfPixel(p);

    // Reference: lamp through a blank.
    std::array<double, PIXELS> refSignal = ReferenceSignal();
    Recording ref = Record(refSignal, 0xB1A4Cull, 0, {30, 580, 659, 995});
    CheckRecording(ref, "reference");

    // A coloured sample: a dye band at 579 nm with a broad shoulder, a weaker
    // band in the blue, and the cell's slight excess reflection in the red.
    CellModel sample{
        [](double nm) {
            return Band(nm, 579, 9, 0.20) + Band(nm, 583, 30, 0.33) + Band(nm, 495, 45, 0.31) +
                   Band(nm, 390, 55, 0.28) + Band(nm, 330, 40, 0.08) + Band(nm, 680, 40, 0.04) - 0.014;
        },
        0.0,
        {{340, 0.239}, {400, 0.300}, {500, 0.337}, {579, 0.557}, {600, 0.304}, {700, 0.030}, {800, -0.013}},
        0x5A3Bull};
    Recording sampleRec = RecordCell(refSignal, ref, table, sample);
    CheckRecording(sampleRec, "sample");

    // Holmium filter, recorded while the wavelength scale had drifted: its
    // bands show at 354, 414, 451, 535 and 581 nm, with a wide absorption
    // under the 581 nm band and another in the near infrared; the lamp was
    // brighter in the blue than for the reference (the negative baseline).
    CellModel holmium{
        [](double nm) {
            return -0.2 + 0.00055 * (nm - 330) + Band(nm, 354, 3, 0.5) + Band(nm, 414, 4, 0.45) +
                   Band(nm, 451, 9, 0.65) + Band(nm, 534.5, 3.5, 0.6) + Band(nm, 556, 14, 0.5) +
                   SkewedBand(nm, 581.5, 3, 2, 0.65) +
                   SkewedBand(nm, 581.5, 40, 25, 0.75) + Band(nm, 860, 60, 1.25);
        },
        0.0,
        {{400, -0.15}, {450, 0.52}, {550, 0.99}, {581, 1.42}, {700, 0.07}, {800, 0.82}},
        0x4011ull};
    Recording holmiumRec = RecordCell(refSignal, ref, table, holmium);
    CheckRecording(holmiumRec, "holmium");

    // UV cut-off filter: a steep edge near 390 nm over a small flat
    // absorbance; below the edge the array sees mostly stray light.
    std::array<double, PIXELS> strayPin{};
    strayPin[33] = 21.85;
    CellModel stray{[](double nm) { return 0.17 + 2.4 / (1.0 + std::exp((nm - 386.0) / 22.0)); },
                    19.0,
                    {{340, 1.70}, {400, 0.99}, {500, 0.19}},
                    0x57A7ull};
    Recording strayRec = RecordCell(refSignal, ref, table, stray, {33}, &strayPin);
    CheckRecording(strayRec, "stray-light");

    // The LED, always summed over 60 frames.
    Recording led = Record(LedSignal(), 0x1EDull, 60);
    CheckRecording(led, "LED");

    // The figures the instrument shows.
    Check(RawSignal(ref, 580) == 45404.0 && RawSignal(ref, 659) == 40899.0, "reference at 580 and 659");
    Check(RawSignal(ref, 30) == 855.4 && RawSignal(ref, 995) == 20900.0, "reference at 30 and 995");
    for (int p = 0; p < PIXELS; p++)
        Check(p == 580 || RawSignal(ref, p) < 45404.0, "pixel 580 is the reference's brightest");
    for (int p = 650; p <= 949; p++)
        Check(p == 659 || RawSignal(ref, p) < 40899.0, "pixel 659 is the brightest of 650..949");
    for (int p = 1; p < PIXELS; p++) {
        double a = RawSignal(ref, p - 1), b = RawSignal(ref, p);
        Check(2 * std::fabs(a - b) <= (a + b) / 2, "reference light is smooth at " + std::to_string(p));
    }
    CheckShown(ref, sampleRec, table, sample.targets, "sample");
    Check(HighestAbsorbanceNm(ref, sampleRec, table) == 579, "sample highest at 579 nm");
    CheckShown(ref, holmiumRec, table, holmium.targets, "holmium");
    Check(HighestAbsorbanceNm(ref, holmiumRec, table) == 581, "holmium highest at 581 nm");
    CheckShown(ref, strayRec, table, stray.targets, "stray-light");
    Check(RawSignal(strayRec, 33) == 21.85, "stray-light at pixel 33");
    auto bandMinimumNm = [&](int first, int last) {
        int best = first;
        double bestRatio = 100;
        for (int nm = first; nm <= last; nm++) {
            double r = SpectrumPoint(holmiumRec, table, nm) / SpectrumPoint(ref, table, nm);
            if (r < bestRatio) {
                bestRatio = r;
                best = nm;
            }
        }
        return best;
    };
    Check(bandMinimumNm(350, 370) == 354 && bandMinimumNm(408, 428) == 414 && bandMinimumNm(526, 546) == 535,
          "holmium bands at 354, 414 and 535 nm");
    int nDeepest = 380;
    for (int p = 380; p <= 560; p++)
        if (LinearSignal(holmiumRec, p) / LinearSignal(ref, p) <
            LinearSignal(holmiumRec, nDeepest) / LinearSignal(ref, nDeepest))
            nDeepest = p;
    Check(nDeepest == 524, "holmium diode-window minimum at pixel 524");
    for (int p = 0; p < PIXELS; p++) {
        Check(led.frames[p] == 60, "LED frame counts 60");
        Check(p == 580 || RawSignal(led, p) < 0.95 * RawSignal(led, 580) - 2.0, "LED peak one pixel wide");
        Check((p >= 500 && p <= 640) || RawSignal(led, p) < 5.0, "LED dark outside 500..640");
        Check(p == 580 || RawSignal(led, p) < RawSignal(led, 580), "LED peaks at 580");
    }

    std::FILE* pFile = std::fopen(argv[1], "w");
    if (!pFile)
        Fail(std::string("cannot write ") + argv[1]);
    std::fprintf(pFile,
                 "// Generated by tools/framegen from its optical model; do not edit.\n"
                 "#include \"measure/frame_sets.h\"\n#include \"measure/reading.h\"\n\n");
    std::fprintf(pFile, "const int32_t gnWavelengthPixel[SPECTRUM_POINTS] = {");
    for (int k = 0; k < POINTS; k++)
        std::fprintf(pFile, "%s%d,", k % 16 == 0 ? "\n    " : " ", table[k]);
    std::fprintf(pFile, "\n};\n");
    WriteTable(pFile, "gReferenceFrames", ref);
    WriteTable(pFile, "gSampleFrames", sampleRec);
    WriteTable(pFile, "gHolmiumFrames", holmiumRec);
    WriteTable(pFile, "gStrayFrames", strayRec);
    WriteTable(pFile, "gLedFrames", led);
    if (std::fclose(pFile) != 0)
        Fail(std::string("cannot write ") + argv[1]);
    return 0;
}
