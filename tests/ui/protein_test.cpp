// The protein assays by keys: each assay programmed, calibrated with five
// standards of its reference-protein sample, and two unknowns read (one of
// them diluted) and printed on PR1 and PC; the Bradford curve and its two
// fits; the printed layouts; the route in and the stored group.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "measure/protein_assay.h"
#include "measure/reading.h"
#include "sample.h"
#include "storage/params.h"
#include "storage/protein_group.h"
#include "ui/ui_fixture.h"
#include "ui/ui_internal.h"

namespace {

CSample Library(const std::string& sName)
{
    std::string sError;
    auto sample = LoadSample(sName, sError);
    EXPECT_TRUE(sample) << sError;
    return sample.value_or(CSample::Recorded());
}

struct AssayCase {
    uint8_t bAssay;
    const char* pszPrefix;            // sample files: PREFIX-standard, PREFIX-unknown-1, ...
    double afStandards[5];            // concentrations in the assay's units
    uint8_t bReplicates;
    uint8_t bCurveFit;                // FIT_*
    const char* pszUnits;             // as printed
};

const AssayCase kaAssays[] = {
    {ASSAY_BCA, "bca", {250, 500, 1000, 1500, 2000}, 1, FIT_LINEAR, "ug/ml"},
    {ASSAY_BRADFORD, "bradford", {125, 250, 500, 1000, 1500}, 3, FIT_CURVE, "ug/ml"},
    {ASSAY_LOWRY, "lowry", {100, 250, 500, 1000, 1500}, 2, FIT_CURVE, "ug/ml"},
    {ASSAY_BIURET, "biuret", {1, 2.5, 5, 7.5, 10}, 1, FIT_LINEAR, "mg/ml"},
};

// Test names and messages show the assay, not the bytes of the case.
void PrintTo(const AssayCase& c, std::ostream* pOut) { *pOut << c.pszPrefix; }

const uint8_t kabProgram[4] = {STATE_BCA_PROGRAM, STATE_BRADFORD_PROGRAM, STATE_LOWRY_PROGRAM, STATE_BIURET_PROGRAM};

class ProteinTest : public UiTest {
protected:
    uint8_t Run(uint8_t bAssay) { return static_cast<uint8_t>(STATE_PROTEIN_BCA + bAssay); }
    uint8_t Program(uint8_t bAssay, int nScreen = 0) { return static_cast<uint8_t>(kabProgram[bAssay] + nScreen); }
    const ProteinGroup& Group(uint8_t bAssay) { return gProteinGroups[bAssay]; }

    void ToAssay(uint8_t bAssay)
    {
        PowerUpToMainMenu();
        Walk({{KEY_SOFT2, STATE_MEASURE_MENU},
              {KEY_SOFT2, STATE_DENSITY_OR_PROTEINS},
              {KEY_SOFT2, STATE_PROTEIN_MENU},
              {static_cast<uint8_t>(KEY_SOFT1 + bAssay), Run(bAssay)}});
    }
    // A reading of whatever is in the cell, with the time it takes.
    void Read(uint8_t bKey)
    {
        Press(bKey);
        Host().AdvanceMs(6000);
    }
    // Types a value into the number editor, which starts at " 0.0000" or
    // " 1.0000" (a sign and five digits around the point): the point moved
    // right once per further integer digit, then each digit counted up from
    // what is there.
    void TypeNumber(double fValue)
    {
        int nIntegerDigits = fValue >= 1000 ? 4 : fValue >= 100 ? 3 : fValue >= 10 ? 2 : 1;
        for (int i = 1; i < nIntegerDigits; i++)
            Press(KEY_SOFT3);
        char szWanted[16];
        std::snprintf(szWanted, sizeof szWanted, "%.*f", 5 - nIntegerDigits, fValue);
        for (const char* p = szWanted; *p; p++) {
            if (*p == '.')
                continue;
            for (int n = 0; n < 10 && gszNumberText[gbNumberCursor] != *p; n++)
                Press(KEY_UP);
            Press(KEY_RIGHT);
        }
        double fTyped = NumberEditorValue();
        ASSERT_NEAR(fTyped, fValue, 1e-9) << gszNumberText;
    }
    void ToField(uint8_t bAssay, int nPresses)
    {
        for (int i = 0; i < nPresses; i++)
            Walk({{KEY_DOWN, Program(bAssay)}});
    }
    // On the run screen: programs the assay (standards, replicates, fit),
    // types the five concentrations, reads the standards and accepts the
    // graph, back on the run screen.
    void Calibrate(const AssayCase& c)
    {
        uint8_t a = c.bAssay;
        Walk({{KEY_SOFT1, Program(a)}});
        // Units, calibration, replicates, curve fit (the factor field is
        // skipped while the calibration is by standards).
        ToField(a, 2);
        Walk({{KEY_SOFT4, Program(a, 3)}});
        for (int i = 1; i < c.bReplicates; i++)
            Walk({{KEY_RIGHT, Program(a, 3)}});
        Walk({{KEY_SOFT4, Program(a)}});
        EXPECT_EQ(Group(a).abFlags[PROTEIN_FLAG_REPLICATES], c.bReplicates);
        ToField(a, 1);
        Walk({{KEY_SOFT4, STATE_PROTEIN_CURVE_FIT}});
        while (gbChoice != c.bCurveFit)
            Press(KEY_DOWN);
        Walk({{KEY_SOFT4, Program(a)}, {KEY_DOWN, Program(a)}, {KEY_DOWN, Program(a)}});  // back to the calibration
        Walk({{KEY_SOFT4, Program(a, 2)}, {KEY_RIGHT, Program(a, 2)}, {KEY_RIGHT, Program(a, 2)},
              {KEY_SOFT4, STATE_PROTEIN_STANDARDS}});
        EXPECT_EQ(Group(a).abFlags[PROTEIN_FLAG_CALIBRATION], PROTEIN_CAL_STANDARDS);
        EXPECT_EQ(Group(a).abFlags[PROTEIN_FLAG_CURVE_FIT], c.bCurveFit);

        Walk({{KEY_SOFT1, STATE_PROTEIN_SET_STD}});
        for (int i = 0; i < 5; i++) {
            Walk({{KEY_SOFT1, STATE_PROTEIN_STD_ENTRY}});
            TypeNumber(c.afStandards[i]);
            Walk({{KEY_SOFT4, STATE_PROTEIN_SET_STD}, {KEY_DOWN, STATE_PROTEIN_SET_STD}});
            EXPECT_EQ(Group(a).afValues[i], c.afStandards[i]) << "standard " << i + 1;
        }
        Walk({{KEY_SOFT4, STATE_PROTEIN_SET_ABS}});
        Host().Compartment().Insert(Library("blank"));
        Read(KEY_REF);
        CSample standard = Library(std::string(c.pszPrefix) + "-standard");
        // TEST takes the next replicate, then the next standard.
        for (int i = 0; i < 5; i++)
            for (int r = 0; r < c.bReplicates; r++) {
                Host().Compartment().Insert(standard, c.afStandards[i]);
                Read(KEY_TEST);
                ASSERT_EQ(gunScreenState, STATE_PROTEIN_SET_ABS);
                double fExpected = standard.ShownAbsorbance(gProteinAssays[a].unNm, c.afStandards[i], 0);
                EXPECT_NEAR(Group(a).afStandards[ProteinReplicateIndex(i, r)], fExpected, 0.006)
                    << "standard " << i + 1 << " replicate " << r + 1;
            }
        for (int i = 0; i < 5; i++)
            EXPECT_EQ(ProteinReplicatesTaken(Group(a), i), c.bReplicates);
        Walk({{KEY_SOFT4, STATE_PROTEIN_STANDARDS}, {KEY_SOFT4, STATE_PROTEIN_CURVE},
              {KEY_SOFT3, Program(a)}, {KEY_SOFT1, Run(a)}});
    }
    // The value of the last printed result line (PR1) or record (PC).
    double PrintedResult(bool bPc)
    {
        const std::string& s = Host().SerialText();
        std::smatch m;
        static const std::regex kPrinted(R"(\d\d/\d\d/\d\d \d\d:\d\d \d\d +(\S+) +\S+ +\d+\r\n)");
        static const std::regex kPc(R"(\d\d,\d\d,\d\d,\d\d,\d\d,Protein [A-Za-z]+ *, *([^,]+),)");
        std::string sLast;
        for (auto it = std::sregex_iterator(s.begin(), s.end(), bPc ? kPc : kPrinted); it != std::sregex_iterator();
             ++it)
            sLast = (*it)[1];
        EXPECT_FALSE(sLast.empty()) << s;
        return sLast.empty() ? -1.0 : std::atof(sLast.c_str());
    }
};

class ProteinAssayRun : public ProteinTest, public ::testing::WithParamInterface<AssayCase> {};

// Every assay from its program to two printed unknowns: one read as it is,
// one that reads outside the calibration until it is diluted 1 in 5 and the
// dilution is entered.
TEST_P(ProteinAssayRun, ReadsItsUnknownsWithinThreePercent)
{
    const AssayCase& c = GetParam();
    ToAssay(c.bAssay);
    Calibrate(c);
    ASSERT_EQ(gunScreenState, Run(c.bAssay));

    Host().Compartment().Insert(Library("blank"));
    Read(KEY_REF);
    // Unknown 1 printed on PR1 through "Sample No.".
    SetOutputDevice(0);
    CSample unknown = Library(std::string(c.pszPrefix) + "-unknown-1");
    Host().Compartment().Insert(unknown);
    Read(KEY_TEST);
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_SAMPLE_NUMBER}, {KEY_SOFT4, Run(c.bAssay)}});
    Host().AdvanceMs(2000);
    EXPECT_NEAR(PrintedResult(false), unknown.m_fConcentration, 0.03 * unknown.m_fConcentration);
    EXPECT_NE(Host().SerialText().find(std::string(" ") + c.pszUnits + " "), std::string::npos);

    // Unknown 2 undiluted lies outside the calibration.
    CSample neat = Library(std::string(c.pszPrefix) + "-unknown-2");
    Host().Compartment().Insert(neat);
    Read(KEY_TEST);
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_SAMPLE_NUMBER}, {KEY_SOFT4, Run(c.bAssay)}});
    Host().AdvanceMs(2000);
    EXPECT_NE(Host().SerialText().find(" ------ "), std::string::npos) << Host().SerialText();

    // Diluted 1 in 5, with the dilution entered, auto-printed for the PC.
    uint8_t bDilution = Program(c.bAssay, 5);
    Walk({{KEY_SOFT2, bDilution}, {KEY_UP, bDilution}, {KEY_UP, bDilution}, {KEY_UP, bDilution}, {KEY_UP, bDilution},
          {KEY_SOFT4, Run(c.bAssay)}});
    EXPECT_EQ(Group(c.bAssay).afHead[PROTEIN_HEAD_DILUTION], 5.0);
    SetOutputDevice(2);
    SetAutoPrint(1);
    Host().ClearSerialText();
    Host().Compartment().Insert(Library(std::string(c.pszPrefix) + "-unknown-2-diluted"));
    Read(KEY_TEST);
    Host().AdvanceMs(2000);
    EXPECT_NEAR(PrintedResult(true), neat.m_fConcentration, 0.03 * neat.m_fConcentration);
}

INSTANTIATE_TEST_SUITE_P(Assays, ProteinAssayRun, ::testing::ValuesIn(kaAssays),
                         [](const ::testing::TestParamInfo<AssayCase>& info) { return std::string(info.param.pszPrefix); });

// Bradford's standards curve towards saturation: the polynomial reads the
// unknowns within 3 %, the straight line through the same standards misses
// them by far more.
TEST_F(ProteinTest, BradfordCurvesAndThePolynomialReadsBetterThanTheLine)
{
    const AssayCase& c = kaAssays[ASSAY_BRADFORD];
    AssayCase single = c;
    single.bReplicates = 1;
    ToAssay(ASSAY_BRADFORD);
    Calibrate(single);
    const ProteinGroup& group = Group(ASSAY_BRADFORD);
    // Absorbance per ug/ml at the top standard is well under that at the first.
    double fFirst = ProteinMeanAbs(group, 0) / c.afStandards[0];
    double fTop = ProteinMeanAbs(group, 4) / c.afStandards[4];
    EXPECT_LT(fTop, 0.6 * fFirst);

    Host().Compartment().Insert(Library("blank"));
    Read(KEY_REF);
    SetOutputDevice(2);
    SetAutoPrint(1);
    auto readAll = [&]() {
        std::vector<double> afError;
        for (const char* pszUnknown : {"bradford-unknown-1", "bradford-unknown-2-diluted"}) {
            CSample unknown = Library(pszUnknown);
            double fTrue = unknown.m_fConcentration;  // no dilution entered
            Host().Compartment().Insert(unknown);
            Read(KEY_TEST);
            Host().AdvanceMs(2000);
            afError.push_back(std::fabs(PrintedResult(true) - fTrue) / fTrue);
        }
        return afError;
    };
    std::vector<double> afCurve = readAll();
    // The fit chosen from the program screen.
    Walk({{KEY_SOFT1, Program(ASSAY_BRADFORD)}});
    ToField(ASSAY_BRADFORD, 3);
    Walk({{KEY_SOFT4, STATE_PROTEIN_CURVE_FIT}, {KEY_UP, STATE_PROTEIN_CURVE_FIT},
          {KEY_SOFT4, Program(ASSAY_BRADFORD)}, {KEY_SOFT1, Run(ASSAY_BRADFORD)}});
    ASSERT_EQ(group.abFlags[PROTEIN_FLAG_CURVE_FIT], FIT_LINEAR);
    std::vector<double> afLine = readAll();
    for (size_t i = 0; i < afCurve.size(); i++) {
        EXPECT_LT(afCurve[i], 0.03) << i;
        EXPECT_GT(afLine[i], 0.10) << i;
    }
}

std::vector<std::string> Lines(const std::string& s)
{
    std::vector<std::string> lines;
    size_t nStart = 0;
    for (size_t n = s.find("\r\n"); n != std::string::npos; n = s.find("\r\n", nStart)) {
        lines.push_back(s.substr(nStart, n - nStart));
        nStart = n + 2;
    }
    return lines;
}

// A result printed on PR1 and sent to a PC, line by line: the assay's block,
// the heading, and the result under its columns; the same for the PC.
TEST_F(ProteinTest, ResultLayoutsOnPrinterAndPc)
{
    ToAssay(ASSAY_BIURET);
    SetProteinFlag(ASSAY_BIURET, PROTEIN_FLAG_CALIBRATION, PROTEIN_CAL_FACTOR);
    SetProteinHead(ASSAY_BIURET, PROTEIN_HEAD_FACTOR, 12.5);
    SetProteinHead(ASSAY_BIURET, PROTEIN_HEAD_DILUTION, 2.0);
    Host().Compartment().Insert(Library("blank"));
    Read(KEY_REF);
    CSample standard = Library("biuret-standard");
    Host().Compartment().Insert(standard, 5.0);
    Read(KEY_TEST);
    double fExpected = standard.ShownAbsorbance(540, 5.0, 0) * 12.5 * 2.0;

    SetOutputDevice(0);
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_SAMPLE_NUMBER}, {KEY_SOFT4, STATE_PROTEIN_BIURET}});
    Host().AdvanceMs(2000);
    std::vector<std::string> lines = Lines(Host().SerialText());
    ASSERT_EQ(lines.size(), 7u) << Host().SerialText();
    EXPECT_EQ(lines[0], "Protein Biuret");
    EXPECT_EQ(lines[1], "Dilution :  2.0000");
    EXPECT_EQ(lines[2], "Cal : Factor");
    EXPECT_EQ(lines[3], "Factor :  12.500");
    EXPECT_EQ(lines[4], "Date     Time  No Value   Units   nm");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[5], m, std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d \d\d ( \d+\.\d+) mg/ml   540)")))
        << lines[5];
    EXPECT_NEAR(std::atof(m[1].str().c_str()), fExpected, 0.15);
    EXPECT_EQ(lines[4].find("Value"), lines[5].find(m[1].str()));
    EXPECT_EQ(lines[4].find("Units"), lines[5].find("mg/ml"));
    EXPECT_EQ(lines[4].find("nm"), lines[5].find("540"));
    EXPECT_EQ(lines[6], "");

    SetOutputDevice(2);
    Host().ClearSerialText();
    Walk({{KEY_SOFT4, STATE_SAMPLE_NUMBER}, {KEY_SOFT4, STATE_PROTEIN_BIURET}});
    Host().AdvanceMs(2000);
    lines = Lines(Host().SerialText());
    ASSERT_EQ(lines.size(), 2u) << Host().SerialText();
    EXPECT_EQ(lines[0], "");
    ASSERT_TRUE(std::regex_match(lines[1], m,
                                 std::regex(R"(\d\d,\d\d,\d\d,\d\d,\d\d,Protein Biuret  ,( \d+\.\d+),mg/ml,540,)")))
        << lines[1];
    EXPECT_NEAR(std::atof(m[1].str().c_str()), fExpected, 0.15);
}

// The standards printed from the calibration graph: each replicate in its
// column, or their mean when the table shows it.
TEST_F(ProteinTest, StandardsLayoutWithReplicatesOrTheirMean)
{
    ToAssay(ASSAY_BRADFORD);
    const double afConc[5] = {125, 250, 500, 1000, 1500};
    const double afAbs[5][3] = {{0.240, 0.244, 0.248}, {0.436, 0.440, 0.444}, {0.730, 0.733, 0.736},
                                {1.100, 1.100, 1.103}, {1.315, 1.320, 1.325}};
    SetProteinFlag(ASSAY_BRADFORD, PROTEIN_FLAG_REPLICATES, 3);
    for (int i = 0; i < 5; i++) {
        SetProteinValue(ASSAY_BRADFORD, i, afConc[i]);
        for (int r = 0; r < 3; r++)
            SetProteinStandard(ASSAY_BRADFORD, ProteinReplicateIndex(i, r), afAbs[i][r]);
    }
    SetOutputDevice(0);
    Walk({{KEY_SOFT1, STATE_BRADFORD_PROGRAM}, {KEY_DOWN, STATE_BRADFORD_PROGRAM},
          {KEY_SOFT4, STATE_BRADFORD_CALIBRATION}, {KEY_SOFT4, STATE_PROTEIN_STANDARDS},
          {KEY_SOFT4, STATE_PROTEIN_CURVE}});
    Host().ClearSerialText();
    Press(KEY_SOFT4);
    Host().AdvanceMs(2000);
    std::vector<std::string> lines = Lines(Host().SerialText());
    ASSERT_EQ(lines.size(), 11u) << Host().SerialText();
    EXPECT_EQ(lines[0], "Protein Bradford");
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(Date : \d\d/\d\d/\d\d)"))) << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(Time : \d\d:\d\d)"))) << lines[2];
    EXPECT_EQ(lines[3], "Wavelength : 595nm");
    EXPECT_EQ(lines[4], "Std  Units   Abs1   Abs2   Abs3");
    EXPECT_EQ(lines[5], "1    125.00  0.240  0.244  0.248");
    EXPECT_EQ(lines[9], "5    1500.0  1.315  1.320  1.325");
    EXPECT_EQ(lines[10], "");

    // The mean, shown on the table with Left or Right.
    Walk({{KEY_SOFT1, STATE_PROTEIN_STANDARDS}, {KEY_RIGHT, STATE_PROTEIN_STANDARDS},
          {KEY_SOFT4, STATE_PROTEIN_CURVE}});
    Host().ClearSerialText();
    Press(KEY_SOFT4);
    Host().AdvanceMs(2000);
    lines = Lines(Host().SerialText());
    ASSERT_EQ(lines.size(), 11u) << Host().SerialText();
    EXPECT_EQ(lines[4], "Std  Units   Av Abs");
    EXPECT_EQ(lines[5], "1    125.00  0.244");
    EXPECT_EQ(lines[8], "4    1000.0  1.101");
}

std::string StoredGroup(int nGroup)
{
    std::ifstream in("eeprom.bin", std::ios::binary);
    std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return s.size() < EEPROM_SIZE ? std::string()
                                  : s.substr(PARAM_PROTEIN_GROUP_BASE + PARAM_PROTEIN_GROUP_SIZE * nGroup,
                                             PARAM_PROTEIN_GROUP_SIZE);
}

// A group never set up holds its defaults in memory only, so a start writes
// nothing for it; its first change stores it whole, and every change after
// that at once: a change of units converts the standards' concentrations
// and the factor with it.
TEST_F(ProteinTest, SettingsAreStoredAsTheyChange)
{
    ToAssay(ASSAY_BCA);
    for (int g = 0; g < 4; g++)
        EXPECT_EQ(StoredGroup(g), std::string(PARAM_PROTEIN_GROUP_SIZE, '\0')) << "group " << g;
    EXPECT_EQ(Group(ASSAY_BIURET).abFlags[PROTEIN_FLAG_UNITS], PROTEIN_UNITS_MG_ML);
    SetProteinValue(ASSAY_BCA, 0, 250.0);
    SetProteinHead(ASSAY_BCA, PROTEIN_HEAD_FACTOR, 1500.0);
    Walk({{KEY_SOFT1, STATE_BCA_PROGRAM}, {KEY_SOFT4, STATE_BCA_UNITS}, {KEY_UP, STATE_BCA_UNITS},
          {KEY_SOFT4, STATE_BCA_PROGRAM}});
    ProteinGroup stored;
    std::string sStored = StoredGroup(ASSAY_BCA);
    ASSERT_EQ(sStored.size(), PARAM_PROTEIN_GROUP_SIZE);
    DecodeProteinGroup(reinterpret_cast<const uint8_t*>(sStored.data()), &stored);
    EXPECT_EQ(stored.abFlags[PROTEIN_FLAG_UNITS], PROTEIN_UNITS_MG_ML);
    EXPECT_EQ(stored.abFlags[PROTEIN_FLAG_REPLICATES], 1) << "the defaults stored with the first change";
    EXPECT_EQ(stored.afHead[PROTEIN_HEAD_DILUTION], 1.0);
    EXPECT_DOUBLE_EQ(stored.afValues[0], 0.25);
    EXPECT_EQ(stored.afValues[1], PROTEIN_CONC_NOT_SET);
    EXPECT_DOUBLE_EQ(stored.afHead[PROTEIN_HEAD_FACTOR], 1.5);
    // Fewer replicates clear the ones no longer counted.
    SetProteinFlag(ASSAY_BCA, PROTEIN_FLAG_REPLICATES, 3);
    SetProteinStandard(ASSAY_BCA, ProteinReplicateIndex(0, 2), 0.5);
    Walk({{KEY_DOWN, STATE_BCA_PROGRAM}, {KEY_DOWN, STATE_BCA_PROGRAM}, {KEY_SOFT4, STATE_BCA_REPLICATES},
          {KEY_LEFT, STATE_BCA_REPLICATES}, {KEY_SOFT4, STATE_BCA_PROGRAM}});
    sStored = StoredGroup(ASSAY_BCA);
    DecodeProteinGroup(reinterpret_cast<const uint8_t*>(sStored.data()), &stored);
    EXPECT_EQ(stored.abFlags[PROTEIN_FLAG_REPLICATES], 2);
    EXPECT_EQ(stored.afStandards[ProteinReplicateIndex(0, 2)], PROTEIN_ABS_NOT_TAKEN);
}

// The route in: the measurement menu's second key offers "Cell Density" and
// "Proteins"; Escape leads back out the way it came.
TEST_F(ProteinTest, CellDensityAndTheAssaysAreOneKeyApart)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}, {KEY_SOFT2, STATE_DENSITY_OR_PROTEINS}, {KEY_SOFT1, STATE_CELL_DENSITY},
          {KEY_ESCAPE, STATE_MEASURE_MENU}, {KEY_SOFT2, STATE_DENSITY_OR_PROTEINS},
          {KEY_ESCAPE, STATE_MEASURE_MENU}, {KEY_SOFT2, STATE_DENSITY_OR_PROTEINS}, {KEY_SOFT2, STATE_PROTEIN_MENU},
          {KEY_SOFT4, STATE_PROTEIN_BIURET}, {KEY_ESCAPE, STATE_PROTEIN_MENU}, {KEY_SOFT2, STATE_PROTEIN_BRADFORD},
          {KEY_SOFT1, STATE_BRADFORD_PROGRAM}, {KEY_ESCAPE, STATE_PROTEIN_BRADFORD},
          {KEY_ESCAPE, STATE_PROTEIN_MENU}, {KEY_ESCAPE, STATE_DENSITY_OR_PROTEINS}});
    // Cell density still reads.
    Walk({{KEY_SOFT1, STATE_CELL_DENSITY}});
    Host().Compartment().Insert(Library("turbid"));
    Read(KEY_TEST);
    EXPECT_GT(gfOpticalDensity, 0.1);
}

}  // namespace
