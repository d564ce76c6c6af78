// Sample files, the sample's absorbance and the frames it gives.
#include "sample.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "detector_model.h"
#include "app/probe.h"
#include "measure/reading.h"
#include "parse_number.h"

namespace {

constexpr double MIN_NM = 250.0;  // bands and points must lie near the array's range
constexpr double MAX_NM = 1000.0;
constexpr size_t MAX_FILE_BYTES = 1 << 20;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::vector<std::string_view> Words(std::string_view sLine)
{
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < sLine.size()) {
        while (i < sLine.size() && IsBlank(sLine[i]))
            i++;
        size_t nBegin = i;
        while (i < sLine.size() && !IsBlank(sLine[i]))
            i++;
        if (i > nBegin)
            words.push_back(sLine.substr(nBegin, i - nBegin));
    }
    return words;
}

std::optional<double> Number(std::string_view s)
{
    double f = 0;
    auto [pEnd, ec] = FromChars(s.data(), s.data() + s.size(), f);
    if (ec != std::errc() || pEnd != s.data() + s.size() || !std::isfinite(f))
        return std::nullopt;
    return f;
}

uint64_t NameSeed(std::string_view sName)
{
    uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a
    for (char c : sName)
        h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    return h;
}

// Reads the lines of one file; Fail() records a fault and the reading goes
// on, so that one pass over the file names every fault in it (up to
// MAX_FAULTS, then how many more there were).
class CSampleParser {
public:
    CSampleParser(const std::string& sFile, std::string& sError) : m_sFile(sFile), m_sError(sError) {}
    std::optional<CSample> Parse(std::string_view sText);

private:
    static constexpr int MAX_FAULTS = 20;

    bool Fail(const std::string& sMessage)
    {
        if (++m_nFaults <= MAX_FAULTS)
            m_sError += (m_sError.empty() ? "" : "\n") + m_sFile + ":" + std::to_string(m_nLine) + ": " + sMessage;
        return false;
    }
    bool Line(std::string_view sLine);
    bool Numbers(const std::vector<std::string_view>& words, size_t nCount, const char* pszUsage,
                 std::vector<double>& values);
    bool Once(const std::string& sKeyword);

    const std::string& m_sFile;
    std::string& m_sError;
    int m_nLine = 0;
    int m_nFaults = 0;
    CSample m_sample;
    std::vector<std::string> m_seen;
    bool m_bSpectrum = false;  // a band, point, turbidity, stray or rate was given
    bool m_bSeed = false;
};

bool CSampleParser::Once(const std::string& sKeyword)
{
    if (std::find(m_seen.begin(), m_seen.end(), sKeyword) != m_seen.end())
        return Fail("'" + sKeyword + "' is given twice");
    m_seen.push_back(sKeyword);
    return true;
}

bool CSampleParser::Numbers(const std::vector<std::string_view>& words, size_t nCount, const char* pszUsage,
                            std::vector<double>& values)
{
    if (words.size() != nCount + 1)
        return Fail(std::string("expected ") + pszUsage);
    values.clear();
    for (size_t i = 1; i < words.size(); i++) {
        auto f = Number(words[i]);
        if (!f)
            return Fail("'" + std::string(words[i]) + "' is not a number; expected " + pszUsage);
        values.push_back(*f);
    }
    return true;
}

bool CSampleParser::Line(std::string_view sLine)
{
    size_t nHash = sLine.find('#');
    if (nHash != std::string_view::npos)
        sLine = sLine.substr(0, nHash);
    std::vector<std::string_view> words = Words(sLine);
    if (words.empty())
        return true;
    std::string sKeyword(words[0]);
    auto rest = [&]() {
        std::string_view s = sLine.substr(static_cast<size_t>(words[0].data() + words[0].size() - sLine.data()));
        while (!s.empty() && IsBlank(s.front()))
            s.remove_prefix(1);
        while (!s.empty() && IsBlank(s.back()))
            s.remove_suffix(1);
        return std::string(s);
    };
    std::vector<double> v;

    if (sKeyword == "name" || sKeyword == "description") {
        if (!Once(sKeyword))
            return false;
        std::string sText = rest();
        if (sText.empty())
            return Fail(sKeyword + " needs a text");
        if (sText.size() > 60)
            return Fail(sKeyword + " is longer than 60 characters");
        (sKeyword == "name" ? m_sample.m_sName : m_sample.m_sDescription) = sText;
        return true;
    }
    if (sKeyword == "recorded") {
        if (!Once(sKeyword))
            return false;
        if (words.size() != 2)
            return Fail("expected 'recorded sample', 'recorded holmium' or 'recorded cutoff'");
        if (words[1] == "sample")
            m_sample.m_recorded = RecordedCell::Sample;
        else if (words[1] == "holmium")
            m_sample.m_recorded = RecordedCell::Holmium;
        else if (words[1] == "cutoff")
            m_sample.m_recorded = RecordedCell::CutOff;
        else
            return Fail("unknown recorded cell '" + std::string(words[1]) + "'; the cells are sample, holmium, cutoff");
        return true;
    }
    if (sKeyword == "band") {
        if (!Numbers(words, 3, "'band CENTRE WIDTH HEIGHT' (nm, nm, absorbance)", v))
            return false;
        if (v[0] < MIN_NM || v[0] > MAX_NM)
            return Fail("the band's centre must lie in 250..1000 nm");
        if (v[1] <= 0 || v[1] > 500)
            return Fail("the band's width must lie above 0 and at most 500 nm");
        m_sample.m_bands.push_back({v[0], v[1], v[2]});
        m_bSpectrum = true;
        return true;
    }
    if (sKeyword == "point") {
        if (!Numbers(words, 2, "'point NM VALUE'", v))
            return false;
        if (v[0] < MIN_NM || v[0] > MAX_NM)
            return Fail("the point's wavelength must lie in 250..1000 nm");
        if (!m_sample.m_points.empty() && v[0] <= m_sample.m_points.back().fNm)
            return Fail("the points' wavelengths must increase");
        m_sample.m_points.push_back({v[0], v[1]});
        m_bSpectrum = true;
        return true;
    }
    if (sKeyword == "concentration") {
        if (!Once(sKeyword))
            return false;
        if (words.size() < 2 || words.size() > 3)
            return Fail("expected 'concentration VALUE [UNIT]'");
        auto f = Number(words[1]);
        if (!f || *f < 0)
            return Fail("the concentration must be a number of at least 0, not '" + std::string(words[1]) + "'");
        m_sample.m_bConcentration = true;
        m_sample.m_fConcentration = *f;
        if (words.size() == 3)
            m_sample.m_sUnit = std::string(words[2]);
        return true;
    }
    if (sKeyword == "hidden") {
        if (words.size() != 1)
            return Fail("'hidden' takes nothing after it");
        m_sample.m_bHidden = true;
        return Once(sKeyword);
    }
    if (sKeyword == "turbidity") {
        if (!Once(sKeyword) || !Numbers(words, 2, "'turbidity OD600 EXPONENT'", v))
            return false;
        if (v[0] < 0 || v[0] > 10 || v[1] < 0 || v[1] > 6)
            return Fail("the turbidity's OD600 must lie in 0..10 and its exponent in 0..6");
        m_sample.m_fTurbidity600 = v[0];
        m_sample.m_fTurbidityExponent = v[1];
        m_bSpectrum = true;
        return true;
    }
    if (sKeyword == "stray" || sKeyword == "rate") {
        if (!Once(sKeyword) || !Numbers(words, 1, sKeyword == "stray" ? "'stray FRACTION'" : "'rate K' (per minute)", v))
            return false;
        if (sKeyword == "stray" && (v[0] < 0 || v[0] > 0.5))
            return Fail("the stray-light fraction must lie in 0..0.5");
        if (sKeyword == "rate" && (v[0] <= 0 || v[0] > 100))
            return Fail("the rate must lie above 0 and at most 100 per minute");
        (sKeyword == "stray" ? m_sample.m_fStray : m_sample.m_fRatePerMin) = v[0];
        m_bSpectrum = true;
        return true;
    }
    if (sKeyword == "saturation") {
        if (!Once(sKeyword) || !Numbers(words, 1, "'saturation HALF' (a concentration)", v))
            return false;
        if (!(v[0] > 0))
            return Fail("the saturation must be a concentration above 0");
        m_sample.m_fSaturation = v[0];
        return true;
    }
    if (sKeyword == "seed") {
        if (!Once(sKeyword))
            return false;
        uint64_t ull = 0;
        auto [pEnd, ec] = words.size() == 2 ? std::from_chars(words[1].data(), words[1].data() + words[1].size(), ull)
                                            : std::from_chars_result{nullptr, std::errc::invalid_argument};
        if (ec != std::errc() || pEnd != words[1].data() + words[1].size())
            return Fail("expected 'seed N' with N a whole number");
        m_sample.m_ullSeed = ull;
        m_bSeed = true;
        return true;
    }
    return Fail("unknown setting '" + sKeyword +
                "'; the settings are name description recorded band point concentration hidden saturation turbidity "
                "stray rate seed");
}

std::optional<CSample> CSampleParser::Parse(std::string_view sText)
{
    if (sText.starts_with("\xEF\xBB\xBF"))
        sText.remove_prefix(3);
    while (!sText.empty()) {
        size_t nEnd = sText.find('\n');
        std::string_view sLine = sText.substr(0, nEnd);
        sText.remove_prefix(nEnd == std::string_view::npos ? sText.size() : nEnd + 1);
        m_nLine++;
        Line(sLine);
    }
    // Faults of the whole file are placed at its last line.
    m_nLine = std::max(m_nLine, 1);
    if (m_sample.m_sName.empty())
        Fail("the sample has no 'name'");
    if (m_sample.m_recorded != RecordedCell::None && (m_bSpectrum || m_sample.m_bConcentration))
        Fail("a recorded cell takes no band, point, concentration, turbidity, stray or rate");
    if (m_sample.m_bHidden && !m_sample.m_bConcentration)
        Fail("'hidden' needs a concentration to hide");
    if (m_sample.m_fSaturation > 0 && !m_sample.m_bConcentration)
        Fail("'saturation' needs a concentration");
    if (m_nFaults > MAX_FAULTS)
        m_sError += "\n" + m_sFile + ": " + std::to_string(m_nFaults - MAX_FAULTS) + " more faults";
    if (m_nFaults > 0)
        return std::nullopt;
    if (!m_bSeed)
        m_sample.m_ullSeed = NameSeed(m_sample.m_sName);
    return m_sample;
}

}  // namespace

CSample CSample::Recorded()
{
    CSample sample;
    sample.m_sName = "Recorded sample";
    sample.m_sDescription = "the instrument's own recorded sample";
    sample.m_recorded = RecordedCell::Sample;
    return sample;
}

double CSample::Absorptivity(double fNm) const
{
    double fSum = 0;
    for (const SampleBand& band : m_bands) {
        double z = (fNm - band.fCentreNm) / band.fWidthNm;
        fSum += band.fHeight * std::exp(-0.5 * z * z);
    }
    if (!m_points.empty()) {
        auto it = std::lower_bound(m_points.begin(), m_points.end(), fNm,
                                   [](const SamplePoint& p, double f) { return p.fNm < f; });
        if (it == m_points.begin())
            fSum += m_points.front().fValue;
        else if (it == m_points.end())
            fSum += m_points.back().fValue;
        else {
            const SamplePoint& a = *(it - 1);
            const SamplePoint& b = *it;
            fSum += a.fValue + (b.fValue - a.fValue) * (fNm - a.fNm) / (b.fNm - a.fNm);
        }
    }
    return fSum;
}

double CSample::ColourConcentration(double fConcentration) const
{
    if (m_fSaturation <= 0 || fConcentration <= 0)
        return fConcentration;
    return fConcentration * m_fSaturation / (m_fSaturation + fConcentration);
}

double CSample::Absorbance(double fNm, double fConcentration, double fMinutes) const
{
    double fColour = Absorptivity(fNm) * (m_bConcentration ? ColourConcentration(fConcentration) : 1.0);
    if (m_fRatePerMin > 0)
        fColour *= std::exp(-m_fRatePerMin * std::max(fMinutes, 0.0));
    double fScatter = m_fTurbidity600 > 0 ? m_fTurbidity600 * std::pow(600.0 / fNm, m_fTurbidityExponent) : 0.0;
    return fColour + fScatter;
}

double CSample::ShownAbsorbance(double fNm, double fConcentration, double fMinutes) const
{
    double fT = std::pow(10.0, -Absorbance(fNm, fConcentration, fMinutes));
    return -std::log10((fT + m_fStray) / (1.0 + m_fStray));
}

std::string CSample::Label(double fConcentration) const
{
    if (!m_bConcentration || m_bHidden)
        return m_sName;
    char acValue[32];
    std::snprintf(acValue, sizeof acValue, "%g", fConcentration);
    return m_sName + " " + acValue + (m_sUnit.empty() ? "" : " " + m_sUnit);
}

std::optional<CSample> ParseSample(std::string_view sText, const std::string& sFile, std::string& sError)
{
    sError.clear();
    return CSampleParser(sFile, sError).Parse(sText);
}

std::optional<CSample> LoadSampleFile(const std::filesystem::path& path, std::string& sError)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        sError = path.string() + ": cannot be read";
        return std::nullopt;
    }
    std::string sText;
    char acBuffer[4096];
    while (file.read(acBuffer, sizeof acBuffer) || file.gcount() > 0) {
        sText.append(acBuffer, static_cast<size_t>(file.gcount()));
        if (sText.size() > MAX_FILE_BYTES) {
            sError = path.string() + ": longer than 1 MB; not a sample file";
            return std::nullopt;
        }
    }
    auto sample = ParseSample(sText, path.string(), sError);
    if (sample)
        sample->m_sFile = path.string();
    return sample;
}

std::filesystem::path SampleLibraryDir()
{
    if (const char* pszDir = std::getenv("HALDEN_SAMPLES"); pszDir && *pszDir)
        return pszDir;
    // An installed program: bin/../share/halden/samples, wherever the tree
    // was installed (or staged) to.
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path installed = (exe.parent_path() / HALDEN_INSTALLED_SAMPLES).lexically_normal();
        if (std::filesystem::is_directory(installed, ec))
            return installed;
    }
    return HALDEN_SAMPLE_DIR;
}

std::vector<std::string> SampleLibraryNames()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(SampleLibraryDir(), ec))
        if (entry.path().extension() == ".sample")
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<CSample> LoadSample(const std::string& sNameOrPath, std::string& sError)
{
    bool bPath = sNameOrPath.find('/') != std::string::npos || sNameOrPath.ends_with(".sample");
    if (bPath)
        return LoadSampleFile(sNameOrPath, sError);
    std::filesystem::path path = SampleLibraryDir() / (sNameOrPath + ".sample");
    std::error_code ec;
    if (sNameOrPath.empty() || !std::filesystem::is_regular_file(path, ec)) {
        std::string sList;
        for (const std::string& sName : SampleLibraryNames())
            sList += (sList.empty() ? "" : " ") + sName;
        sError = "no sample '" + sNameOrPath + "' in " + SampleLibraryDir().string() + "; the samples are " + sList;
        return std::nullopt;
    }
    return LoadSampleFile(path, sError);
}

namespace {

// The wavelength on each pixel's centre by the instrument's wavelength table
// (shifted by the offset), joined linearly between its rows and carried on
// with the end rows' slope beyond them.
std::array<double, PIXEL_COUNT> PixelWavelengths(int32_t nOffset)
{
    constexpr int LAST = SPECTRUM_POINTS - 1;
    constexpr int SPAN = 20;  // rows over which the end slopes are taken
    auto row = [nOffset](int k) { return static_cast<double>(gnWavelengthPixel[k] + nOffset); };
    std::array<double, PIXEL_COUNT> nm{};
    int k = 0;
    for (int p = 0; p < PIXEL_COUNT; p++) {
        if (p < row(0))
            nm[p] = SPECTRUM_FIRST_NM - (row(0) - p) * SPAN / (row(SPAN) - row(0));
        else if (p >= row(LAST))
            nm[p] = SPECTRUM_LAST_NM + (p - row(LAST)) * SPAN / (row(LAST) - row(LAST - SPAN));
        else {
            while (row(k + 1) <= p)
                k++;
            nm[p] = SPECTRUM_FIRST_NM + k + (p - row(k)) / (row(k + 1) - row(k));
        }
        nm[p] = std::max(nm[p], 100.0);
    }
    return nm;
}

// The firmware's linearity correction of a summed count.
double Linearised(double d)
{
    double af[4];
    ProbeLinearity(af);
    double x = d / af[3];
    return ((af[2] * x + af[1]) * x + af[0]) * d;
}

// The summed count the detector records for a linear light sum: the inverse
// of the correction, by Newton's method.
double DetectorCounts(double fLight)
{
    double af[4];
    ProbeLinearity(af);
    double d = fLight;
    for (int i = 0; i < 20; i++) {
        double x = d / af[3];
        double fDerivative = (3 * af[2] * x + 2 * af[1]) * x + af[0];
        if (fDerivative <= 0)
            break;
        double fStep = (Linearised(d) - fLight) / fDerivative;
        d -= fStep;
        if (std::fabs(fStep) < 1e-9)
            break;
    }
    return d;
}

}  // namespace

void SynthesiseSampleFrames(const CSample& sample, double fConcentration, double fMinutes, uint64_t ullSeed,
                            int32_t nNmOffsetPixels, FrameRecord* pFrames)
{
    using namespace detector_model;
    static const std::array<double, PIXELS> offsets = DarkOffsets();
    const std::array<double, PIXEL_COUNT> nm = PixelWavelengths(nNmOffsetPixels);
    CNoise noise(ullSeed);
    for (int p = 0; p < PIXEL_COUNT; p++) {
        const FrameRecord& ref = gReferenceFrames[p];
        double fRefLight = Linearised(static_cast<int>(ref.unLight) - static_cast<int>(ref.unDark)) / ref.bFrames;
        double fT = std::pow(10.0, -sample.Absorbance(nm[p], fConcentration, fMinutes));
        double fLight = std::max(fRefLight, 0.0) * (fT + sample.m_fStray) / (1.0 + sample.m_fStray);
        int f = ChooseFrames(fLight, offsets[p]);
        double fDark = offsets[p] + f * DARK_CURRENT + READ_NOISE * std::sqrt(f) * noise.Gauss();
        double fCounts = DetectorCounts(f * fLight);
        fCounts += std::sqrt(std::max(fCounts, 0.0) * COUNTS_PER_ELECTRON) * noise.Gauss() +
                   READ_NOISE * std::sqrt(f) * noise.Gauss();
        long nDark = std::clamp(std::lround(fDark), 0L, 65535L);
        long nLight = std::clamp(nDark + std::lround(fCounts), 0L, 65535L);
        pFrames[p] = {static_cast<uint16_t>(p + 1), static_cast<uint16_t>(nLight), static_cast<uint16_t>(nDark),
                      static_cast<uint8_t>(f), 0};
    }
}
