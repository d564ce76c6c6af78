// Result reports: the layout table of both families, the value fields with
// their marks, the instrument header, the self-test report, the per-reading
// record and the after-reading print step.
#include "comms/report.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "comms/analogue.h"
#include "core/format.h"
#include "comms/hardcopy.h"
#include "comms/remote.h"
#include "core/serial.h"
#include "core/clock.h"
#include "display/language.h"
#include "measure/diag.h"
#include "measure/protein_assay.h"
#include "measure/reading.h"
#include "storage/params.h"

ReportData gReport;
uint8_t gbReportHeading = 1;
uint8_t gbFirstPrint = 1;
uint8_t gbPrintedSinceReading = 0;

namespace {

constexpr double NO_VALUE_ABOVE = 61110.0;   // a result above this is "no value"
constexpr double STD_NOT_SET = 100000.0;     // a standard concentration not entered
constexpr uint8_t DEVICE_PC = 2;             // gbOutputDevice of the comma-separated family
constexpr uint8_t SAMPLE_NUMBER_LAST = 99;   // the sample number wraps to 0 after it
constexpr int FIELD_SIZE = 16;               // a value field with room to spare

const char* const kapszUnits[REPORT_UNITS_COUNT] = {"g/l",  "mg/l", "ug/l", "u/l",   "mg/dl", "mm/l",    "um/l",
                                                   "mol/l", "%",    "ppm",  "ug/ml", "ug/ul", "pmol/ul", "abs"};

// Value fields: what a value prints as in each kind of column.
enum : uint8_t { FIELD_ABSORBANCE, FIELD_DENSITY, FIELD_TRANSMITTANCE, FIELD_RATIO };

struct FieldRule {
    const char* pszNoValue;  // above 61110
    double fUpper;           // above this (or at it, when inclusive) the upper mark
    uint8_t bUpperInclusive;
    const char* pszUpper;    // null: no upper mark
    double fLower;           // below this the lower mark
    const char* pszLower;    // null: no lower mark
    uint8_t bPercent;        // 1: "%2.1f"; 0: FormatNumber mode 1
};

const FieldRule kaFieldRules[] = {
    {"----- ", 2.49, 0, ">2.5  ", -0.3, "<-0.3 ", 0},   // FIELD_ABSORBANCE
    {"---   ", 3.0, 0, ">3    ", -0.3, "<-0.3 ", 0},    // FIELD_DENSITY
    {"---- ", 200.0, 1, ">200 ", 1.0, "<1   ", 1},      // FIELD_TRANSMITTANCE
    {"----- ", 0.0, 0, nullptr, 0.0, nullptr, 0},       // FIELD_RATIO
};

// Writes the field of a value; true when it is one of the marks.
bool ValueField(char* pszField, double fValue, uint8_t bField)
{
    const FieldRule& rule = kaFieldRules[bField];
    const char* pszMark = nullptr;
    if (fValue > NO_VALUE_ABOVE)
        pszMark = rule.pszNoValue;
    else if (rule.pszUpper && (fValue > rule.fUpper || (rule.bUpperInclusive && fValue == rule.fUpper)))
        pszMark = rule.pszUpper;
    else if (rule.pszLower && fValue < rule.fLower)
        pszMark = rule.pszLower;
    if (pszMark)
        std::snprintf(pszField, FIELD_SIZE, "%s", pszMark);
    else if (rule.bPercent)
        std::snprintf(pszField, FIELD_SIZE, "%2.1f", fValue);
    else
        FormatNumber(pszField, fValue, 1);
    return pszMark != nullptr;
}

// True when an absorbance prints as a mark rather than a number.
bool AbsorbanceMarked(double fAbsorbance)
{
    char szField[FIELD_SIZE];
    return ValueField(szField, fAbsorbance, FIELD_ABSORBANCE);
}

void TrimRight(char* psz)
{
    size_t n = std::strlen(psz);
    while (n > 0 && psz[n - 1] == ' ')
        psz[--n] = '\0';
}

// Formats one piece into the shared line buffer and sends it.
__attribute__((format(printf, 1, 2))) void Send(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    std::vsnprintf(gszLineBuffer, sizeof gszLineBuffer, pszFormat, args);
    va_end(args);
    SendLineBuffer();
}

void EndLine() { SerialPutString("\r\n"); }

// Day and month in the configured order (day first with date format 1).
void DateOrder(const uint8_t* pbClock, int* pnFirst, int* pnSecond)
{
    *pnFirst = gbDateFormat == 1 ? pbClock[0] : pbClock[1];
    *pnSecond = gbDateFormat == 1 ? pbClock[1] : pbClock[0];
}

// Minutes and seconds of a reading time in seconds.
void SendMinSec(const char* pszLabel, unsigned unSeconds)
{
    Send("%s%2.2um %2.2us", pszLabel, unSeconds / 60, unSeconds % 60);
}

unsigned IntervalSeconds() { return gReport.method.bIntervalMin * 60u + gReport.method.bIntervalSec; }

// Method result field: the absorbance marks, else the result in mode 0.
void MethodResultField(char* pszField, double fAbsorbance, double fResult)
{
    if (!ValueField(pszField, fAbsorbance, FIELD_ABSORBANCE))
        FormatNumber(pszField, fResult, 0);
}

void SendUnits()
{
    const char* pszUnits = ReportUnits(gReport.method.bUnits);
    if (*pszUnits)
        Send(" %s", pszUnits);
}

double LastKineticsReading()
{
    return gReport.bReadings ? gReport.afKinetics[gReport.bReadings - 1] : NO_VALUE;
}

bool LinearCurve() { return gReport.method.bCurve && gReport.method.bCurveFit == 0; }

// The pieces a layout is made of. A piece that takes a value takes the next
// of afValue / aunNm; a piece that does not apply prints nothing.
enum : uint8_t {
    END,
    NEWLINE,            // CR LF
    HEADING,            // the printed heading, when it is due
    PREFIX,             // "%2.2d/%2.2d/%2.2d %2.2d:%2.2d %2.2d " date, time, sample number
    CONTINUATION,       // 18 spaces under the prefix
    ABS_COLUMNS,        // value field, " A     %3d"
    TRANS_COLUMNS,      // " ", the %T field, "   % T   %3d"
    DENSITY_COLUMNS,    // value field, " OD    %3d"
    RATIO_COLUMNS,      // ratio field, " Ratio"
    RATIO_OUTSIDE,      // "Sample out of range" when the ratio is no value
    DATE_LINE,          // "Date : "
    TIME_LINE,          // "Time : "
    SAMPLE_LINE,        // "Sample No. : "
    METHOD_LINE,        // "Method : "
    NAME_LINE,          // "Name : "
    WAVELENGTH_LINE,    // "Wavelength : "
    FACTOR_LINE,        // "Factor : " factor or "Curve"
    RESULT_LINES,       // ["Sample out of range"], "Result : " result, units
    KINETICS_TIMES,     // "Start :", "Interval :", "End :" (kinetics methods only)
    READING_LINES,      // one line per kinetics reading
    RATE_LINE,          // "dA/min : "
    CORR_LINE,          // "Corr coeff : "
    FINAL_LINE,         // "Final result :" result, units
    STANDARD_LINES,     // the standards table of a curve method
    COEFFICIENT_LINES,  // "Corr Coeff", "Coefficient m", "Coefficient c" (linear curve only)
    GRAPH_DATE,         // date line, label in the current language
    GRAPH_TIME,         // time line, label in the current language
    GRAPH_SAMPLE,       // sample number line, label in the current language
    PICTURE,            // the screen hardcopy
    CSV_PREFIX,         // "%2.2d,%2.2d,%2.2d,%2.2d,%2.2d,%2.2d," date, time, sample number
    CSV_ABS,            // value field, ",A,%3d"
    CSV_ABS_NEXT,       // value field, ",A,%3d,"
    CSV_TRANS,          // %T field, ",% T,%3d"
    CSV_DENSITY,        // value field, ",OD,%3d"
    CSV_RATIO,          // ratio field, ",A1/A2"
    CSV_METHOD,         // ",%2.2d" method number
    CSV_RESULT,         // ",result,units"
    CSV_CURVE_MARK,     // ",curve" for a curve method
    CSV_SETTINGS,       // ",name,wavelength,factor or curve,units"
    CSV_READINGS,       // ",", then "mm,ss,A," per reading
    CSV_RATE,           // "dA/min*F,rate,result,units"
    CSV_COEFFICIENTS,   // ",%.3f," "%.3f," "%.3f" corr, m, c
    CSV_SCAN,           // CR LF, then one record per point and the sums
    PROTEIN_NAME_LINE,      // the assay's name
    PROTEIN_DILUTION_LINE,  // "Dilution : "
    PROTEIN_CAL_LINES,      // "Cal : Std", or "Cal : Factor" and "Factor : "
    PROTEIN_HEADING,        // "Date     Time  No Value   Units   nm"
    PROTEIN_RESULT_LINE,    // prefix, result, units, wavelength
    PROTEIN_WAVELENGTH,     // "Wavelength : %dnm"
    PROTEIN_STANDARDS,      // the standards table, replicates or their mean
    PROTEIN_COEFFICIENTS,   // "Corr Coeff", "Coefficient m", "Coefficient c" (linear fit only)
    CSV_SHORT_PREFIX,       // "%2.2d,%2.2d,%2.2d,%2.2d,%2.2d," date and time
    CSV_PROTEIN_RESULT,     // name padded to 16, ",", result, ",units,nm,"
    CSV_PROTEIN_STANDARDS,  // name, ",nm,", then "%.3f," per value
};

// The layouts: for each kind, the printed and the comma-separated sequence.
struct ReportLayout {
    uint8_t abPrinted[24];
    uint8_t abComma[12];
    uint8_t bRunOfLines;  // 1: a result line under the heading; 0: the heading is due again after it
};

const ReportLayout kaReportLayouts[REPORT_KIND_COUNT] = {
    // REPORT_ABSORBANCE
    {{HEADING, PREFIX, ABS_COLUMNS, NEWLINE, END},
     {NEWLINE, CSV_PREFIX, CSV_ABS, NEWLINE, END}, 1},
    // REPORT_TRANSMITTANCE
    {{HEADING, PREFIX, TRANS_COLUMNS, NEWLINE, END},
     {NEWLINE, CSV_PREFIX, CSV_TRANS, NEWLINE, END}, 1},
    // REPORT_CELL_DENSITY
    {{HEADING, PREFIX, DENSITY_COLUMNS, NEWLINE, END},
     {NEWLINE, CSV_PREFIX, CSV_DENSITY, NEWLINE, END}, 1},
    // REPORT_RATIO
    {{HEADING, PREFIX, ABS_COLUMNS, NEWLINE, CONTINUATION, ABS_COLUMNS, NEWLINE, CONTINUATION, RATIO_COLUMNS,
      NEWLINE, RATIO_OUTSIDE, END},
     {NEWLINE, CSV_PREFIX, CSV_ABS_NEXT, CSV_ABS_NEXT, CSV_RATIO, NEWLINE, END}, 1},
    // REPORT_MULTI
    {{HEADING, PREFIX, ABS_COLUMNS, NEWLINE, CONTINUATION, ABS_COLUMNS, NEWLINE, CONTINUATION, ABS_COLUMNS,
      NEWLINE, CONTINUATION, ABS_COLUMNS, NEWLINE, END},
     {NEWLINE, CSV_PREFIX, CSV_ABS_NEXT, CSV_ABS_NEXT, CSV_ABS_NEXT, CSV_ABS_NEXT, NEWLINE, END}, 1},
    // REPORT_METHOD
    {{DATE_LINE, TIME_LINE, SAMPLE_LINE, METHOD_LINE, NAME_LINE, WAVELENGTH_LINE, FACTOR_LINE, RESULT_LINES,
      NEWLINE, END},
     {NEWLINE, CSV_PREFIX, CSV_METHOD, CSV_RESULT, CSV_CURVE_MARK, NEWLINE, END}, 0},
    // REPORT_KINETICS
    {{DATE_LINE, TIME_LINE, SAMPLE_LINE, METHOD_LINE, NAME_LINE, WAVELENGTH_LINE, FACTOR_LINE, KINETICS_TIMES,
      NEWLINE, READING_LINES, RATE_LINE, CORR_LINE, NEWLINE, FINAL_LINE, NEWLINE, END},
     {NEWLINE, CSV_PREFIX, CSV_METHOD, CSV_READINGS, CSV_RATE, NEWLINE, END}, 0},
    // REPORT_SCAN
    {{GRAPH_DATE, GRAPH_TIME, GRAPH_SAMPLE, PICTURE, END},
     {NEWLINE, CSV_PREFIX, CSV_SCAN, END}, 0},
    // REPORT_CURVE
    {{GRAPH_DATE, GRAPH_TIME, COEFFICIENT_LINES, PICTURE, END},
     {NEWLINE, CSV_PREFIX, CSV_COEFFICIENTS, NEWLINE, END}, 0},
    // REPORT_METHOD_SETTINGS
    {{DATE_LINE, TIME_LINE, METHOD_LINE, NAME_LINE, WAVELENGTH_LINE, FACTOR_LINE, KINETICS_TIMES, STANDARD_LINES,
      COEFFICIENT_LINES, NEWLINE, END},
     {NEWLINE, CSV_PREFIX, CSV_METHOD, CSV_SETTINGS, NEWLINE, END}, 0},
    // REPORT_KINETICS_PLOT
    {{GRAPH_DATE, GRAPH_TIME, GRAPH_SAMPLE, PICTURE, END},
     {NEWLINE, CSV_PREFIX, CSV_METHOD, CSV_READINGS, CSV_RATE, NEWLINE, END}, 0},
    // REPORT_PROTEIN
    {{PROTEIN_NAME_LINE, PROTEIN_DILUTION_LINE, PROTEIN_CAL_LINES, PROTEIN_HEADING, PROTEIN_RESULT_LINE, NEWLINE,
      END},
     {NEWLINE, CSV_SHORT_PREFIX, CSV_PROTEIN_RESULT, NEWLINE, END}, 0},
    // REPORT_PROTEIN_STANDARDS
    {{PROTEIN_NAME_LINE, DATE_LINE, TIME_LINE, PROTEIN_WAVELENGTH, PROTEIN_STANDARDS, PROTEIN_COEFFICIENTS, NEWLINE,
      END},
     {NEWLINE, CSV_SHORT_PREFIX, CSV_PROTEIN_STANDARDS, NEWLINE, END}, 0},
};

// The pieces that print one value: its field and the text around it (the
// format takes the field and the wavelength).
struct ValuePiece {
    uint8_t bPiece;
    uint8_t bField;
    const char* pszFormat;
};

const ValuePiece kaValuePieces[] = {
    {ABS_COLUMNS, FIELD_ABSORBANCE, "%s A     %3d"},
    {CSV_ABS, FIELD_ABSORBANCE, "%s,A,%3d"},
    {CSV_ABS_NEXT, FIELD_ABSORBANCE, "%s,A,%3d,"},
    {TRANS_COLUMNS, FIELD_TRANSMITTANCE, " %s   %% T   %3d"},
    {CSV_TRANS, FIELD_TRANSMITTANCE, "%s,%% T,%3d"},
    {DENSITY_COLUMNS, FIELD_DENSITY, "%s OD    %3d"},
    {CSV_DENSITY, FIELD_DENSITY, "%s,OD,%3d"},
    {RATIO_COLUMNS, FIELD_RATIO, "%s Ratio"},
    {CSV_RATIO, FIELD_RATIO, "%s,A1/A2"},
};

// Sends the next value of the result when bPiece is a value piece.
bool SendValuePiece(uint8_t bPiece, int* pnValue)
{
    for (const ValuePiece& piece : kaValuePieces) {
        if (piece.bPiece != bPiece)
            continue;
        char szField[FIELD_SIZE];
        ValueField(szField, gReport.afValue[*pnValue], piece.bField);
        std::snprintf(gszLineBuffer, sizeof gszLineBuffer, piece.pszFormat, szField, gReport.aunNm[*pnValue]);
        SendLineBuffer();
        (*pnValue)++;
        return true;
    }
    return false;
}

void SendDateLine(const char* pszLabel)
{
    int nFirst = 0, nSecond = 0;
    DateOrder(gReport.abClock, &nFirst, &nSecond);
    Send("%s : %2.2d/%2.2d/%2.2d", pszLabel, nFirst, nSecond, gReport.abClock[2]);
    EndLine();
}

void SendTimeLine(const char* pszLabel)
{
    Send("%s : %2.2d:%2.2d", pszLabel, gReport.abClock[3], gReport.abClock[4]);
    EndLine();
}

void SendSampleLine(const char* pszLabel)
{
    Send("%s : %2.2d", pszLabel, gunSampleNumber);
    EndLine();
}

void SendResultLines()
{
    char szField[FIELD_SIZE];
    MethodResultField(szField, gReport.fAbsorbance, gReport.fResult);
    bool bOutside = gReport.method.bCurve && gReport.bOutOfRange && !AbsorbanceMarked(gReport.fAbsorbance);
    if (bOutside) {
        Send("Sample out of range");
        EndLine();
    }
    Send("%s%s", bOutside ? "         " : "Result : ", szField);
    SendUnits();
    EndLine();
}

void SendKineticsTimes()
{
    if (gReport.method.bKinetics == 0)
        return;
    const ReportMethod& m = gReport.method;
    SendMinSec("Start : ", m.bStartMin * 60u + m.bStartSec);
    EndLine();
    SendMinSec("Interval : ", IntervalSeconds());
    EndLine();
    SendMinSec("End : ", m.bEndMin * 60u + m.bEndSec);
    EndLine();
}

void SendReadingLines()
{
    char szField[FIELD_SIZE];
    for (int k = 0; k < gReport.bReadings; k++) {
        ValueField(szField, gReport.afKinetics[k], FIELD_ABSORBANCE);
        Send("%sA", szField);
        SendMinSec(" at ", static_cast<unsigned>(k) * IntervalSeconds());
        EndLine();
    }
}

void SendStandardLines()
{
    if (!gReport.method.bCurve)
        return;
    char szConc[FIELD_SIZE], szAbs[FIELD_SIZE];
    Send("Std  %s   Abs", ReportUnits(gReport.method.bUnits));
    EndLine();
    for (int i = 0; i < 5; i++) {
        if (gReport.method.afStdConc[i] == STD_NOT_SET)
            continue;
        FormatNumber(szConc, gReport.method.afStdConc[i], 0);
        FormatNumber(szAbs, gReport.method.afStdAbs[i], 1);
        Send("%d   %s %s", i + 1, szConc, szAbs);
        EndLine();
    }
}

void SendCoefficientLines()
{
    if (!LinearCurve())
        return;
    Send("Corr Coeff : %.3f", gReport.fCorrCoeff);
    EndLine();
    Send("Coefficient m : %.3f", gReport.fSlope);
    EndLine();
    Send("Coefficient c : %.3f", gReport.fIntercept);
    EndLine();
}

void SendCsvReadings()
{
    char szField[FIELD_SIZE];
    Send(",");
    for (int k = 0; k < gReport.bReadings; k++) {
        unsigned unSeconds = static_cast<unsigned>(k) * IntervalSeconds();
        ValueField(szField, gReport.afKinetics[k], FIELD_ABSORBANCE);
        TrimRight(szField);
        Send("%2.2u,%2.2u,%s,", unSeconds / 60, unSeconds % 60, szField);
    }
}

void SendCsvRate()
{
    char szRate[FIELD_SIZE], szFinal[FIELD_SIZE];
    FormatNumber(szRate, gReport.fRate, 1);
    MethodResultField(szFinal, LastKineticsReading(), gReport.fFinal);
    TrimRight(szFinal);
    Send("dA/min*F,%s,%s,%s", szRate, szFinal, ReportUnits(gReport.method.bUnits));
}

void SendCsvSettings()
{
    char szFactor[FIELD_SIZE] = "curve";
    if (!gReport.method.bCurve)
        FormatNumber(szFactor, gReport.method.fFactor, 2);
    Send(",%.13s,%3d,%s,%s", gReport.method.szName, gReport.method.unWavelength, szFactor,
         ReportUnits(gReport.method.bUnits));
}

const char* const kapszProteinUnits[] = {"mg/ml", "ug/ml", "A"};

const ProteinAssay& ReportedAssay() { return gProteinAssays[gReport.protein.bAssay % PROTEIN_ASSAY_COUNT]; }
const char* ProteinUnits() { return kapszProteinUnits[gReport.protein.bUnits % 3]; }
bool ProteinLinear() { return gReport.protein.bCalibration == 1 && gReport.protein.bCurveFit == 0; }

// The protein result: "------" for no value, else FormatNumber mode 0.
void ProteinResultField(char* pszField)
{
    if (gReport.protein.fResult > NO_VALUE_ABOVE)
        std::snprintf(pszField, FIELD_SIZE, "------");
    else
        FormatNumber(pszField, gReport.protein.fResult, 0);
}

// The absorbances a standard's row shows: each replicate, or their mean.
int ProteinStandardAbs(int nStandard, double* afAbs)
{
    const ReportProtein& p = gReport.protein;
    if (p.bAverage || p.bReplicates <= 1) {
        afAbs[0] = p.bReplicates <= 1 ? p.afStdAbs[3 * nStandard] : p.afStdMean[nStandard];
        return 1;
    }
    for (int r = 0; r < p.bReplicates && r < 3; r++)
        afAbs[r] = p.afStdAbs[3 * nStandard + r];
    return p.bReplicates < 3 ? p.bReplicates : 3;
}

void SendProteinStandards()
{
    const ReportProtein& p = gReport.protein;
    double afAbs[3];
    int nColumns = ProteinStandardAbs(0, afAbs);
    if (p.bAverage && p.bReplicates > 1)
        Send("Std  Units   Av Abs");
    else
        Send("Std  Units   Abs1%s%s", nColumns > 1 ? "   Abs2" : "", nColumns > 2 ? "   Abs3" : "");
    EndLine();
    for (int i = 0; i < 5; i++) {
        if (p.afStdConc[i] == STD_NOT_SET)
            continue;
        char szConc[FIELD_SIZE], szAbs[FIELD_SIZE];
        FormatNumber(szConc, p.afStdConc[i], 0);
        Send("%-4d%s", i + 1, szConc);
        ProteinStandardAbs(i, afAbs);
        for (int c = 0; c < nColumns; c++) {
            if (afAbs[c] > NO_VALUE_ABOVE)
                std::snprintf(szAbs, sizeof szAbs, "-----");
            else
                FormatNumber(szAbs, afAbs[c], 1);
            Send("%7s", szAbs);
        }
        EndLine();
    }
}

void SendCsvProteinStandards()
{
    const ReportProtein& p = gReport.protein;
    Send("%s,%3d,", ReportedAssay().pszName, ReportedAssay().unNm);
    double afAbs[3];
    for (int i = 0; i < 5; i++) {
        if (p.afStdConc[i] == STD_NOT_SET)
            continue;
        Send("%.3f,", p.afStdConc[i]);
        int nColumns = ProteinStandardAbs(i, afAbs);
        for (int c = 0; c < nColumns; c++)
            Send("%.3f,", afAbs[c] > NO_VALUE_ABOVE ? 0.0 : afAbs[c]);
    }
    if (ProteinLinear())
        Send("%.3f,%.3f,%.3f", gReport.fCorrCoeff, gReport.fSlope, gReport.fIntercept);
}

void SendPiece(uint8_t bPiece, int* pnValue)
{
    char szField[FIELD_SIZE];
    const ReportMethod& m = gReport.method;
    if (SendValuePiece(bPiece, pnValue))
        return;
    switch (bPiece) {
    case NEWLINE:
        EndLine();
        break;
    case HEADING:
        if (gbReportHeading)
            PrintReportHeading();
        gbReportHeading = 0;
        break;
    case PREFIX:
    case CSV_PREFIX: {
        int nFirst = 0, nSecond = 0;
        DateOrder(gReport.abClock, &nFirst, &nSecond);
        Send(bPiece == PREFIX ? "%2.2d/%2.2d/%2.2d %2.2d:%2.2d %2.2d " : "%2.2d,%2.2d,%2.2d,%2.2d,%2.2d,%2.2d,", nFirst,
             nSecond, gReport.abClock[2], gReport.abClock[3], gReport.abClock[4], gunSampleNumber);
        break;
    }
    case CONTINUATION:
        Send("%18s", "");
        break;
    case DATE_LINE:
        SendDateLine("Date");
        break;
    case TIME_LINE:
        SendTimeLine("Time");
        break;
    case SAMPLE_LINE:
        SendSampleLine("Sample No.");
        break;
    case METHOD_LINE:
        Send("Method : %2.2d", m.bSlot);
        EndLine();
        break;
    case NAME_LINE:
        Send("Name : %.13s", m.szName);
        EndLine();
        break;
    case WAVELENGTH_LINE:
        Send("Wavelength : %3d", m.unWavelength);
        EndLine();
        break;
    case FACTOR_LINE:
        if (m.bCurve) {
            Send("Factor : Curve");
        } else {
            FormatNumber(szField, m.fFactor, 2);
            Send("Factor : %s", szField);
        }
        EndLine();
        break;
    case RESULT_LINES:
        SendResultLines();
        break;
    case RATIO_OUTSIDE:
        if (gReport.afValue[2] > NO_VALUE_ABOVE) {
            Send("Sample out of range");
            EndLine();
        }
        break;
    case KINETICS_TIMES:
        SendKineticsTimes();
        break;
    case READING_LINES:
        SendReadingLines();
        break;
    case RATE_LINE:
    case CORR_LINE:
        FormatNumber(szField, bPiece == RATE_LINE ? gReport.fRate : gReport.fCorrCoeff, 1);
        Send(bPiece == RATE_LINE ? "dA/min : %s" : "Corr coeff : %s", szField);
        EndLine();
        break;
    case FINAL_LINE:
        MethodResultField(szField, LastKineticsReading(), gReport.fFinal);
        Send("Final result : %s", szField);
        SendUnits();
        EndLine();
        break;
    case STANDARD_LINES:
        SendStandardLines();
        break;
    case COEFFICIENT_LINES:
        SendCoefficientLines();
        break;
    case GRAPH_DATE:
        SendDateLine(LanguageText(113));
        break;
    case GRAPH_TIME:
        SendTimeLine(LanguageText(TEXT_TIME_OF_DAY));
        break;
    case GRAPH_SAMPLE:
        SendSampleLine(LanguageText(20));
        break;
    case PICTURE:
        LcdPrintScreen();
        break;
    case CSV_METHOD:
        Send(",%2.2d", m.bSlot);
        break;
    case CSV_RESULT:
        MethodResultField(szField, gReport.fAbsorbance, gReport.fResult);
        Send(",%s,%s", szField, ReportUnits(m.bUnits));
        break;
    case CSV_CURVE_MARK:
        if (m.bCurve)
            Send(",curve");
        break;
    case CSV_SETTINGS:
        SendCsvSettings();
        break;
    case CSV_READINGS:
        SendCsvReadings();
        break;
    case CSV_RATE:
        SendCsvRate();
        break;
    case CSV_COEFFICIENTS:
        Send(",%.3f,", gReport.fCorrCoeff);
        Send("%.3f,", gReport.fSlope);
        Send("%.3f", gReport.fIntercept);
        break;
    case CSV_SCAN:
        EndLine();
        SendSpectrumPoints(gReport.unScanFirst, gReport.unScanLast, gReport.bTransmittance);
        break;
    case PROTEIN_NAME_LINE:
        Send("%s", ReportedAssay().pszName);
        EndLine();
        break;
    case PROTEIN_DILUTION_LINE:
        FormatNumber(szField, gReport.protein.fDilution, 2);
        Send("Dilution : %s", szField);
        EndLine();
        break;
    case PROTEIN_CAL_LINES:
        Send(gReport.protein.bCalibration ? "Cal : Std" : "Cal : Factor");
        EndLine();
        if (!gReport.protein.bCalibration) {
            FormatNumber(szField, gReport.protein.fFactor, 2);
            Send("Factor : %s", szField);
            EndLine();
        }
        break;
    case PROTEIN_HEADING:
        Send("Date     Time  No Value   Units   nm");
        EndLine();
        break;
    case PROTEIN_RESULT_LINE: {
        int nFirst = 0, nSecond = 0;
        DateOrder(gReport.abClock, &nFirst, &nSecond);
        ProteinResultField(szField);
        Send("%2.2d/%2.2d/%2.2d %2.2d:%2.2d %2.2d %-7s %-8s%3d", nFirst, nSecond, gReport.abClock[2],
             gReport.abClock[3], gReport.abClock[4], gunSampleNumber, szField, ProteinUnits(),
             ReportedAssay().unNm);
        EndLine();
        break;
    }
    case PROTEIN_WAVELENGTH:
        Send("Wavelength : %dnm", ReportedAssay().unNm);
        EndLine();
        break;
    case PROTEIN_STANDARDS:
        SendProteinStandards();
        break;
    case PROTEIN_COEFFICIENTS:
        if (ProteinLinear()) {
            Send("Corr Coeff : %.3f", gReport.fCorrCoeff);
            EndLine();
            Send("Coefficient m : %.3f", gReport.fSlope);
            EndLine();
            Send("Coefficient c : %.3f", gReport.fIntercept);
            EndLine();
        }
        break;
    case CSV_SHORT_PREFIX: {
        int nFirst = 0, nSecond = 0;
        DateOrder(gReport.abClock, &nFirst, &nSecond);
        Send("%2.2d,%2.2d,%2.2d,%2.2d,%2.2d,", nFirst, nSecond, gReport.abClock[2], gReport.abClock[3],
             gReport.abClock[4]);
        break;
    }
    case CSV_PROTEIN_RESULT:
        ProteinResultField(szField);
        TrimRight(szField);
        Send("%-16s,%s,%s,%3d,", ReportedAssay().pszName, szField, ProteinUnits(), ReportedAssay().unNm);
        break;
    case CSV_PROTEIN_STANDARDS:
        SendCsvProteinStandards();
        break;
    default:
        break;
    }
}

void AdvanceSampleNumber()
{
    SetSampleNumber(gunSampleNumber >= SAMPLE_NUMBER_LAST ? 0 : static_cast<uint8_t>(gunSampleNumber + 1));
}

}  // namespace

void ReportInit()
{
    gbReportHeading = 1;
    gbFirstPrint = 1;
    gbPrintedSinceReading = 0;
}

const char* ReportUnits(uint8_t bUnits) { return bUnits < REPORT_UNITS_COUNT ? kapszUnits[bUnits] : ""; }

void PrintReportHeading()
{
    SerialPutString("Date     Time  No Value  Units nm");
    EndLine();
}

void PrintResult()
{
    if (gReport.bKind >= REPORT_KIND_COUNT)
        return;
    const ReportLayout& layout = kaReportLayouts[gReport.bKind];
    const uint8_t* pbPiece = gbOutputDevice == DEVICE_PC ? layout.abComma : layout.abPrinted;
    int nValue = 0;
    for (; *pbPiece != END; pbPiece++)
        SendPiece(*pbPiece, &nValue);
    if (!layout.bRunOfLines)
        gbReportHeading = 1;
}

void PrintOnRequest()
{
    ReadClock(gReport.abClock);
    PrintResult();
    gbPrintedSinceReading = 1;
}

bool PrintAfterReading()
{
    if (!SerialTxEmpty() || !SerialTxIdle())
        return false;
    if (gbAutoPrint) {
        if (gbFirstPrint)
            gbFirstPrint = 0;
        else
            AdvanceSampleNumber();
        PrintOnRequest();
        return true;
    }
    gbFirstPrint = 0;
    if (gbPrintedSinceReading) {
        AdvanceSampleNumber();
        gbPrintedSinceReading = 0;
    }
    return false;
}

void SendSpectrumPoints(int32_t nFirst, int32_t nLast, bool bTransmittance)
{
    unsigned long ulNmSum = 0;
    char szValue[FIELD_SIZE];
    if (!bTransmittance) {
        double fSum = 0.0;
        for (int32_t nNm = nFirst; nNm <= nLast; nNm++) {
            double fAbsorbance = Absorbance(nNm);
            fSum += fAbsorbance;
            ulNmSum += static_cast<unsigned long>(nNm);
            FormatAbsorbance(szValue, sizeof szValue, fAbsorbance);
            Send("%u,%s,\r\n", static_cast<unsigned>(nNm), szValue);
        }
        FormatAbsorbance(szValue, sizeof szValue, fSum);
        Send("%s,%lu,\r\n\r\n", szValue, ulNmSum);
        return;
    }
    unsigned long ulSum = 0;
    for (int32_t nNm = nFirst; nNm <= nLast; nNm++) {
        unsigned uT = TransmittanceByte(nNm);
        if (uT > 200)
            uT = 200;
        ulSum += uT;
        ulNmSum += static_cast<unsigned long>(nNm);
        Send("%u,%u,\r\n", static_cast<unsigned>(nNm), uT);
    }
    Send("%lu,%lu,\r\n\r\n", ulSum, ulNmSum);
}

void SendReadingRecord(uint8_t bKind, int32_t nNm)
{
    AnalogueOutputResult(bKind, nNm);
    if (gnDataMode == 0) {
        uint8_t abClock[6];
        ReadClock(abClock);
        Send("%d nm\t", static_cast<int>(nNm));
        if (bKind == 0) {
            char szValue[FIELD_SIZE];
            FormatNumber(szValue, Absorbance(nNm), 1);
            Send("%s Abs\t", szValue);
        } else {
            Send("%d %%\t", static_cast<int>(std::lround(Transmittance(nNm))));
        }
        Send("%02d:%02d\t", abClock[3], abClock[4]);
        Send("%02d/%02d/%02d (dd/mm/yy)\r\n", abClock[0], abClock[1], abClock[2]);
        return;
    }
    for (int32_t n = SPECTRUM_FIRST_NM; n <= SPECTRUM_LAST_NM; n++) {
        double fMilli = std::round(Absorbance(n) * 1000.0);
        Send("%03X,", AbsorbanceCode12(static_cast<int32_t>(fMilli)));
    }
    EndLine();
}

void PrintInstrumentHeader()
{
    EndLine();
    Send("Telmarid\r\n");
    Send("Visible Diode Array Spectrophotometer\r\n");
    Send("%s\r\n", FIRMWARE_VERSION);
    if (gulSerialNumber != 0) {
        EndLine();
        Send("S/N %lu\r\n", static_cast<unsigned long>(gulSerialNumber));
    }
}

namespace {

constexpr uint8_t ROW_PASS = 1;  // a self-test row that passed
constexpr uint8_t ROW_FAIL = 2;  // a self-test row that failed
constexpr uint16_t LAMP_WEAK_BANDS = DIAG_UV_TOO_LOW | DIAG_IR_TOO_LOW;

// How the lamp fared: a lamp that is only weak in the UV or the IR is
// ageing and due for replacement soon; any other lamp failure is a failed lamp.
enum : uint8_t { LAMP_ANY, LAMP_FAILED, LAMP_AGEING };

bool LampAgeing(uint16_t unFindings)
{
    return (unFindings & LAMP_WEAK_BANDS) != 0 && (unFindings & DIAG_LAMP_TOO_DARK) == 0;
}

// Printed advice of the self-test report: the lines an entry adds when its
// row failed, the lamp fared as bLamp says and the run found unFinding.
struct SelfTestAdvice {
    uint8_t bRow;       // 0 lamp, 1 wavelength calibration, 2 diode array
    uint8_t bLamp;      // LAMP_*
    uint16_t unFinding; // a result bit the run must have found, 0 for none
    bool bLedPeakLine;  // first the line telling where the LED's peak was seen
    const char* apszLines[3];
};

const SelfTestAdvice kaSelfTestAdvice[] = {
    {0, LAMP_FAILED, 0, false, {"Lamp failure, replace"}},
    {0, LAMP_AGEING, 0, false, {"Lamp too dim, replace soon"}},
    {0, LAMP_AGEING, DIAG_UV_TOO_LOW, false, {"UV levels low, replace", "lamp soon"}},
    {0, LAMP_AGEING, DIAG_IR_TOO_LOW, false, {"IR levels low, replace", "lamp soon"}},
    {1, LAMP_ANY, 0, false, {"Check cuvette chamber is clear", "then re-test"}},
    {1, LAMP_ANY, DIAG_WAVELENGTH, true, {"See handbook"}},
    {2, LAMP_ANY, 0, false, {"Diode array problem", "Return instrument to an", "authorised service agent"}},
};

// The wavelength whose nominal pixel lies nearest the LED's peak as the
// last self-diagnostics found it (the lower one of two equally near).
int LedPeakWavelength()
{
    int nBest = 0;
    for (int k = 1; k < SPECTRUM_POINTS; k++)
        if (std::abs(gnWavelengthPixel[k] - gnDiagLedPixel) < std::abs(gnWavelengthPixel[nBest] - gnDiagLedPixel))
            nBest = k;
    return SPECTRUM_FIRST_NM + nBest;
}

void SendSelfTestAdvice(const unsigned char* pbRows, uint16_t unFindings)
{
    if (pbRows[0] == ROW_FAIL && pbRows[1] == ROW_FAIL && pbRows[2] == ROW_FAIL) {
        Send("General system failure\r\n");
        Send("Return instrument to an\r\n");
        Send("authorised service agent\r\n");
        return;
    }
    uint8_t bLamp = LampAgeing(unFindings) ? LAMP_AGEING : LAMP_FAILED;
    for (const SelfTestAdvice& advice : kaSelfTestAdvice) {
        if (pbRows[advice.bRow] != ROW_FAIL || (advice.bLamp != LAMP_ANY && advice.bLamp != bLamp) ||
            (unFindings & advice.unFinding) != advice.unFinding)
            continue;
        // Where the LED's peak lay and how many pixels that is from where it belongs.
        if (advice.bLedPeakLine)
            Send("Wavelength %dnm (%d)\r\n", LedPeakWavelength(), static_cast<int>(gnDiagOffset));
        for (const char* pszLine : advice.apszLines)
            if (pszLine)
                Send("%s\r\n", pszLine);
    }
}

}  // namespace

void PrintSelfTestReport(const unsigned char* pbRows, uint16_t unFindings, const unsigned char* pbClock)
{
    static const char* const kapszRowName[3] = {"Tungsten Lamp", "Wavelength Calibration", "Diode Array"};
    int nFirst = 0, nSecond = 0;
    DateOrder(pbClock, &nFirst, &nSecond);
    bool bAllPassed = true;
    for (int i = 0; i < 3; i++)
        if (pbRows[i] != ROW_PASS)
            bAllPassed = false;

    if (gbOutputDevice == DEVICE_PC) {
        EndLine();
        Send("%2.2d,%2.2d,%2.2d,%2.2d,%2.2d,Self Diagnostics,", nFirst, nSecond, pbClock[2], pbClock[3], pbClock[4]);
        for (int i = 0; i < 3; i++)
            Send("%s,%s,", kapszRowName[i], pbRows[i] == ROW_FAIL ? "Fail" : pbRows[i] == ROW_PASS ? "Pass" : "-");
        // One line of advice: an ageing lamp, or the check of the cuvette chamber.
        bool bLampDim = pbRows[0] == ROW_FAIL && pbRows[1] != ROW_FAIL && pbRows[2] != ROW_FAIL && LampAgeing(unFindings);
        Send("%s\r\n", bAllPassed ? "All tests passed"
                                   : bLampDim ? "Lamp too dim. Replace lamp soon"
                                              : "Check cuvette chamber is clear then re-test");
        return;
    }
    Send("Date : %2.2d/%2.2d/%2.2d\r\n", nFirst, nSecond, pbClock[2]);
    Send("Time : %2.2d:%2.2d\r\n", pbClock[3], pbClock[4]);
    Send("Self Diagnostics\r\n");
    for (int i = 0; i < 3; i++)
        Send("%s : %s\r\n", kapszRowName[i], pbRows[i] == ROW_FAIL ? "FAIL" : pbRows[i] == ROW_PASS ? "PASS" : "-");
    if (bAllPassed)
        Send("All tests passed\r\n");
    else
        SendSelfTestAdvice(pbRows, unFindings);
    EndLine();
}
