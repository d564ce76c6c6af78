// Result reports on the serial port, in the layout family of the stored
// output device: fixed-width lines under a heading for the printers "PR1"
// and "PR2", one comma-separated record per result for "PC". Also the
// instrument header, the self-test report, the per-reading record and the
// print step that follows every reading on a measuring screen.
//
// The screens describe the result in gReport (kind, values, wavelengths,
// method fields) and call PrintResult, PrintOnRequest or PrintAfterReading;
// the layouts themselves live in one table in report.cpp.
#pragma once

#include <cstdint>

// Kinds of result (gReport.bKind).
constexpr uint8_t REPORT_ABSORBANCE = 0;     // one absorbance: afValue[0] at aunNm[0]
constexpr uint8_t REPORT_TRANSMITTANCE = 1;  // one %T: afValue[0] at aunNm[0]
constexpr uint8_t REPORT_CELL_DENSITY = 2;   // optical density afValue[0] at aunNm[0]
constexpr uint8_t REPORT_RATIO = 3;          // A1, A2 at aunNm[0], aunNm[1]; the ratio in afValue[2]
constexpr uint8_t REPORT_MULTI = 4;          // four absorbances at aunNm[0..3]
constexpr uint8_t REPORT_METHOD = 5;         // a stored method's result (factor or curve)
constexpr uint8_t REPORT_KINETICS = 6;       // a kinetics run: readings, rate, result
constexpr uint8_t REPORT_SCAN = 7;           // the spectrum: PC record, or the printed graph
constexpr uint8_t REPORT_CURVE = 8;          // the calibration: PC coefficients, or the printed graph
constexpr uint8_t REPORT_METHOD_SETTINGS = 9;  // the stored method itself (method summary print)
constexpr uint8_t REPORT_KINETICS_PLOT = 10;   // the kinetics graph: printed graph, PC kinetics record
constexpr uint8_t REPORT_PROTEIN = 11;         // a protein assay's result (gReport.protein)
constexpr uint8_t REPORT_PROTEIN_STANDARDS = 12;  // a protein assay's standards and calibration
constexpr uint8_t REPORT_KIND_COUNT = 13;

constexpr int REPORT_KINETICS_MAX = 21;      // readings A0..A20 of a kinetics run
constexpr int REPORT_UNITS_COUNT = 14;       // unit indices 0..13 print a text; above, none

// The method a method, kinetics or calibration report is about.
struct ReportMethod {
    uint8_t bSlot;                  // method number 0..99
    char szName[14];                // 13 name characters
    uint16_t unWavelength;          // nm
    uint8_t bCurve;                 // 1 standard curve, 0 factor
    double fFactor;
    uint8_t bUnits;                 // 0..18; above 13 no units text
    uint8_t bKinetics;              // 0 no, 1 yes, 2 fixed time
    uint8_t bStartMin, bStartSec;   // kinetics delay
    uint8_t bIntervalMin, bIntervalSec;
    uint8_t bEndMin, bEndSec;
    double afStdConc[5];            // 100000.0 = not set
    double afStdAbs[5];
    uint8_t bCurveFit;              // 0 linear least squares, 1 polynomial
};

// The protein assay a protein report is about.
struct ReportProtein {
    uint8_t bAssay;                 // 0 BCA, 1 Bradford, 2 Lowry, 3 Biuret
    uint8_t bUnits;                 // 0 mg/ml, 1 ug/ml, 2 A
    uint8_t bCalibration;           // 0 factor, 1 standards
    uint8_t bReplicates;            // 1..3
    uint8_t bAverage;               // standards: 1 prints the mean of the replicates
    uint8_t bCurveFit;              // 0 linear least squares, 1 polynomial
    double fFactor;
    double fDilution;
    double fAbsorbance;             // of the (diluted) sample; above 61110 no value
    double fResult;                 // in the units, times the dilution; above 61110 no value
    double afStdConc[5];            // 100000.0 = not set
    double afStdAbs[15];            // standard i replicate r at [3 i + r]; above 61110 not taken
    double afStdMean[5];            // mean of the replicates; above 61110 none
};

// The result to report.
struct ReportData {
    uint8_t bKind;                  // REPORT_*
    uint8_t abClock[6];             // day, month, year 0..99, hour, minute, second when made
    double afValue[4];              // result values; above 61110 "no value"
    uint16_t aunNm[4];              // their wavelengths, nm
    double fAbsorbance;             // method: absorbance at the method wavelength
    double fResult;                 // method: A x factor, or the curve's concentration (also out of range)
    uint8_t bOutOfRange;            // method: the absorbance lies outside the standards' span
    uint8_t bReadings;              // kinetics: readings taken (A0 .. A[n-1])
    double afKinetics[REPORT_KINETICS_MAX];
    double fRate;                   // kinetics: delta-A per minute
    double fCorrCoeff;              // kinetics or linear curve: correlation coefficient
    double fFinal;                  // kinetics: final result
    double fSlope, fIntercept;      // linear curve: m and c of A = m K + c
    uint16_t unScanFirst, unScanLast;  // scan: wavelengths shown, nm
    uint8_t bTransmittance;         // scan: 1 in %T mode
    ReportMethod method;
    ReportProtein protein;
};

extern ReportData gReport;          // the result the next report is about
extern uint8_t gbReportHeading;     // 1: the next printed result line is preceded by the heading
extern uint8_t gbFirstPrint;        // 1 until the first after-reading print step since start-up
extern uint8_t gbPrintedSinceReading;  // a report was printed since the last reading

// Start-up: heading due, first print pending, nothing printed.
void ReportInit();
// Printed family: "Date     Time  No Value  Units nm" and CR LF.
void PrintReportHeading();
// The report for gReport in the layout of gbOutputDevice.
void PrintResult();
// "Sample No." S4: reads the clock, prints, and marks the result printed.
void PrintOnRequest();
// After a reading on a measuring screen: nothing while the serial output is
// busy; with auto-print on, advances the sample number (except on the first
// print since start-up), reads the clock and prints; with auto-print off,
// advances the sample number once after a printed result. True when printed.
bool PrintAfterReading();
// CR LF, maker, instrument, firmware version, and the serial number when set.
void PrintInstrumentHeader();
// The self-test result in the layout of the output device (printer or PC).
// Rows: 0 not run, 1 passed, 2 failed (lamp, wavelength calibration, diode
// array); unFindings: the result bits the run's steps found, which choose
// the advice printed under failed rows.
void PrintSelfTestReport(const unsigned char* pbRows, uint16_t unFindings, const unsigned char* pbClock);
// After a keypad reading: sets the analogue output from the reading (kind 0
// absorbance, 1 transmittance) and sends the per-reading record of the data mode.
void SendReadingRecord(uint8_t bKind, int32_t nNm);
// One record "nm,value,\r\n" per wavelength nFirst..nLast of the last
// reading (absorbance, or whole %T up to 200), then the sums.
void SendSpectrumPoints(int32_t nFirst, int32_t nLast, bool bTransmittance);
// Text of a units index as reports print it; empty above 13.
const char* ReportUnits(uint8_t bUnits);
