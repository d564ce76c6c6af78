// The state table: one row per screen state 0..132 with everything the
// state machine knows about it: its name for tools, its screen script, the
// key handler, the values it puts into the display registers before the
// script runs, the drawing after the script, the screen it overlays, the
// hint-line glyphs and its flags. Every per-state list of the firmware is
// read from here.
//
// Screen family: soft-key labels in their frames at the left (x = 8,
// y = 14, 43, 72, 101); titles at (68, 1); content from x = 68; the hint line
// at y = 119 with "R" at x = 172, "T" at 184, the up-down arrow at 208 and
// the left-right arrow at 220.
#include <cstring>

#include "ui/ui.h"
#include "ui/ui_internal.h"

constexpr uint8_t NO_PARENT = STATE_NEVER_DRAWN;

constexpr ScreenStateRow gScreenStates[STATE_COUNT] = {
    {STATE_SPLASH, "splash", "M1 X50Y78S2 X65Y88S3 X87Y105S4",
     HandleSplash, nullptr, nullptr, NO_PARENT, 0, FLAG_REFUSES_PC | FLAG_NO_HINT_LINE},
    {STATE_SELFTEST_LAMP, "self-test-lamp", "F1 X68Y14T0 F0 X68Y38T1 X68Y48T3 X68Y58T4",
     HandleSelfTest, nullptr, DrawSelfTestScreen, NO_PARENT, 0, FLAG_REFUSES_PC | FLAG_NO_HINT_LINE},
    {STATE_SELFTEST_LAMP_HOLD, "self-test-lamp-hold", "",
     HandleSelfTest, nullptr, DrawSelfTestScreen, STATE_SELFTEST_LAMP, 0, FLAG_OVERLAY | FLAG_REFUSES_PC | FLAG_NO_HINT_LINE},
    {STATE_UNUSED_3, "unused-3", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, FLAG_OVERLAY | FLAG_REFUSES_PC | FLAG_NO_HINT_LINE},
    {STATE_UNUSED_4, "unused-4", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, FLAG_OVERLAY | FLAG_REFUSES_PC | FLAG_NO_HINT_LINE},
    {STATE_SELFTEST_WAVELENGTH, "self-test-wavelength", "",
     HandleSelfTest, nullptr, DrawSelfTestScreen, STATE_SELFTEST_LAMP, 0, FLAG_OVERLAY | FLAG_REFUSES_PC | FLAG_NO_HINT_LINE},
    {STATE_SELFTEST_WAVELENGTH_HOLD, "self-test-wavelength-hold", "",
     HandleSelfTest, nullptr, DrawSelfTestScreen, STATE_SELFTEST_LAMP, 0, FLAG_OVERLAY | FLAG_REFUSES_PC | FLAG_NO_HINT_LINE},
    {STATE_SELFTEST_ARRAY, "self-test-array", "",
     HandleSelfTest, nullptr, DrawSelfTestScreen, STATE_SELFTEST_LAMP, 0, FLAG_OVERLAY | FLAG_REFUSES_PC | FLAG_NO_HINT_LINE},
    {STATE_SELFTEST_ARRAY_HOLD, "self-test-array-hold", "",
     HandleSelfTest, nullptr, DrawSelfTestScreen, STATE_SELFTEST_LAMP, 0, FLAG_OVERLAY | FLAG_REFUSES_PC | FLAG_NO_HINT_LINE},
    {STATE_SELFTEST_PASSED, "self-test-passed", "k10 X8Y43T200 X8y29 X8y29T19 F0X68Y80T137",
     HandleSelfTest, nullptr, DrawSelfTestScreen, STATE_SELFTEST_LAMP, 0, FLAG_OVERLAY | FLAG_REFUSES_PC | FLAG_NO_HINT_LINE},
    {STATE_SELFTEST_FAILED, "self-test-failed", "k11 X8Y14T199 X8y29T200 X8Y101T19",
     HandleSelfTest, nullptr, DrawSelfTestScreen, STATE_SELFTEST_LAMP, 0, FLAG_OVERLAY | FLAG_REFUSES_PC | FLAG_NO_HINT_LINE},
    {STATE_MAIN_MENU, "main-menu", "F0A0 K7 X8Y14T5 X8y29T6 X8y29T8",
     HandleMainMenu, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_MEASURE_MENU, "measure-menu", "F0A0 K15 X8Y14T192T16T10 X8y29T195T16T312 X8y29T7 X8y29T13",
     HandleMeasureMenu, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_UNUSED_13, "unused-13", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_SETUP_MENU, "setup-menu", "F0A0 K7 X8Y14T233 X8y29T280 X8y29T102",
     HandleSetupMenu, nullptr, DrawSetupMenu, NO_PARENT, 0, 0},
    {STATE_SINGLE_MEASURE, "single-measure", "F0A0 k15 X8Y14T14T16T17 X8y29T18T12 X8y29T13 X8y29T19 X68Y1T9",
     HandleSingle, PrepareSingle, DrawSingle, NO_PARENT, HINT_REF | HINT_TEST, FLAG_MEASURING | NumbersFlag(NUMBERS_SINGLE)},
    {STATE_SINGLE_WAVELENGTH, "single-wavelength", "F0A0 k7 X8Y14T14T16T17 X8y29T21 X8y29T13",
     HandleSingleWavelength, PrepareSingle, DrawSingle, STATE_SINGLE_MEASURE, HINT_UPDOWN, FLAG_OVERLAY | FLAG_REFUSES_PC | FLAG_ARROWS_REPEAT | NumbersFlag(NUMBERS_SINGLE)},
    {STATE_RATIO_MEASURE, "ratio-measure", "F0A0 k15 X8Y14T18T12F2T24 F0X8Y43T18T12F2T25 F0X8Y72T13 X8Y101T19 X68Y1T10",
     HandleRatio, PrepareRatio, DrawRatio, NO_PARENT, HINT_REF | HINT_TEST, FLAG_MEASURING | NumbersFlag(NUMBERS_SHORT)},
    {STATE_RATIO_WAVELENGTH_1, "ratio-wavelength-1", "F0A0 k15 X8Y14T21 X8Y43T18T12F2T25 F0X8Y72T13 X8Y101T19",
     HandleRatioWavelength, PrepareRatio, DrawRatio, STATE_RATIO_MEASURE, HINT_UPDOWN, FLAG_OVERLAY | FLAG_REFUSES_PC | FLAG_ARROWS_REPEAT | NumbersFlag(NUMBERS_SHORT)},
    {STATE_RATIO_WAVELENGTH_2, "ratio-wavelength-2", "F0A0 k15 X8Y14T18T12F2T24 F0X8Y43T21 X8Y72T13 X8Y101T19",
     HandleRatioWavelength, PrepareRatio, DrawRatio, STATE_RATIO_MEASURE, HINT_UPDOWN, FLAG_OVERLAY | FLAG_REFUSES_PC | FLAG_ARROWS_REPEAT | NumbersFlag(NUMBERS_SHORT)},
    {STATE_MULTI_MEASURE, "multi-measure", "F0A0 k13 X8Y14T18 X8Y72T13 X8Y101T19 X68Y1T11",
     HandleMulti, PrepareMulti, DrawMulti, NO_PARENT, HINT_REF | HINT_TEST, FLAG_MEASURING | NumbersFlag(NUMBERS_SHORT)},
    {STATE_MULTI_WAVELENGTHS, "multi-wavelengths", "F0A0 k9 X8Y14T34 X8Y101T90 X68Y1T11",
     HandleMultiWavelength, PrepareMulti, DrawMulti, NO_PARENT, HINT_UPDOWN, FLAG_REFUSES_PC | FLAG_ARROWS_REPEAT | NumbersFlag(NUMBERS_SHORT)},
    {STATE_SCAN, "scan", "F0A0 k11 X8Y14T14T16T17 X8y29T35 X8Y101T19",
     HandleScan, nullptr, DrawScan, NO_PARENT, HINT_REF | HINT_TEST | HINT_LEFTRIGHT, FLAG_MEASURING | FLAG_ARROWS_REPEAT},
    {STATE_SCAN_ZOOM_SELECT, "scan-zoom-select", "F0A0 k1 X8Y14T36",
     HandleZoomSelect, nullptr, DrawScan, NO_PARENT, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_REFUSES_PC | FLAG_ARROWS_REPEAT},
    {STATE_SCAN_ZOOMED, "scan-zoomed", "F0A0 k9 X8Y14T37 X8Y101T19",
     HandleZoomed, nullptr, DrawScan, NO_PARENT, HINT_REF | HINT_TEST | HINT_LEFTRIGHT, FLAG_ARROWS_REPEAT | NumbersFlag(NUMBERS_ZOOMED)},
    {STATE_METHOD_LIST, "method-list", "F0A0 k15 X8Y14T41 X8y29T42 X8y29T43 X8y29T21 X68Y1T38",
     HandleMethodList, nullptr, DrawMethodListScreen, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_METHOD_SUMMARY, "method-summary", "F0A0 k15 X8Y14T44 X8y29T45 X8y29T46 X8y29T19 X68Y1T47 X116Y1I0 X68Y24S1 X68Y40T12T15I1T22 X68Y56T49T15",
     HandleMethodSummary, PrepareMethodValues, DrawMethodSummary, NO_PARENT, 0, FLAG_MEASURING},
    {STATE_METHOD_PROGRAM, "method-program", "F0A0 k9 X8Y14T21 X8Y101T53",
     HandleMethodProgram, nullptr, DrawMethodProgramScreen, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_METHOD_NAME, "method-name", "F0A0 k8 X8Y101T21",
     HandleNameEditor, nullptr, DrawMethodProgram, STATE_METHOD_PROGRAM, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY | FLAG_ARROWS_REPEAT},
    {STATE_METHOD_WAVELENGTH, "method-wavelength", "F0A0 k8 X8Y101T21",
     HandleMethodWavelength, nullptr, DrawMethodProgram, STATE_METHOD_PROGRAM, HINT_UPDOWN, FLAG_OVERLAY | FLAG_ARROWS_REPEAT},
    {STATE_UNUSED_30, "unused-30", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_METHOD_CALIBRATION, "method-calibration", "F0A0 k8 X8Y101T21",
     HandleCalibrationChoice, nullptr, DrawMethodProgram, STATE_METHOD_PROGRAM, HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_UNUSED_32, "unused-32", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_METHOD_FACTOR, "method-factor", "F0A0 k14 X8Y43T56T16T57 X8Y72T58 X8Y101T21",
     HandleFactorEntry, nullptr, DrawMethodProgram, STATE_METHOD_PROGRAM, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_KINETICS_DISPLAY, "kinetics-display", "F0A0 k8 X8Y101T21 X68Y1T59",
     HandleKineticsDisplay, nullptr, DrawKineticsDisplay, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_UNUSED_35, "unused-35", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, FLAG_ARROWS_REPEAT},
    {STATE_METHOD_UNITS, "method-units", "F0A0 k8 X8Y101T21 X68Y1T133",
     HandleUnits, nullptr, DrawUnits, NO_PARENT, HINT_UPDOWN, FLAG_ARROWS_REPEAT},
    {STATE_UNUSED_37, "unused-37", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_METHOD_KINETICS, "method-kinetics", "F0A0 k8 X8Y101T21",
     HandleKineticsChoice, nullptr, DrawMethodProgram, STATE_METHOD_PROGRAM, HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_UNUSED_39, "unused-39", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_KINETICS_START_TIME, "kinetics-start-time", "F0A0 k8 X8Y101T21",
     HandleKineticsTime, nullptr, DrawMethodProgram, STATE_METHOD_PROGRAM, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY | FLAG_ARROWS_REPEAT},
    {STATE_KINETICS_INTERVAL, "kinetics-interval", "F0A0 k8 X8Y101T21",
     HandleKineticsTime, nullptr, DrawMethodProgram, STATE_METHOD_PROGRAM, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY | FLAG_ARROWS_REPEAT},
    {STATE_KINETICS_END_TIME, "kinetics-end-time", "F0A0 k8 X8Y101T21",
     HandleKineticsTime, nullptr, DrawMethodProgram, STATE_METHOD_PROGRAM, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY | FLAG_ARROWS_REPEAT},
    {STATE_METHOD_RUN, "method-run", "F0A0 k12 X8Y72T13 X8Y101T19 X68Y1T47 X116Y1I0 X134Y1S1 X68Y16T12T15I1T22",
     HandleMethodRun, PrepareMethodRun, DrawMethodRun, NO_PARENT, HINT_REF | HINT_TEST, FLAG_MEASURING | FLAG_REFUSES_PC | NumbersFlag(NUMBERS_METHOD_RESULT)},
    {STATE_KINETICS_WAIT, "kinetics-wait", "F0A0 X68Y1T47 X116Y1I0 X134Y1S1 X68Y40T92T15 X64Y52c29",
     HandleKineticsWait, PrepareMethodValues, DrawKineticsWait, NO_PARENT, 0, FLAG_REFUSES_PC | NumbersFlag(NUMBERS_METHOD)},
    {STATE_KINETICS_RUN, "kinetics-run", "F0A0 X68Y1T47 X116Y1I0 X134Y1S1 X68Y16T93 X128Y16T14",
     HandleKineticsRun, PrepareMethodValues, DrawKineticsRun, NO_PARENT, 0, FLAG_REFUSES_PC | NumbersFlag(NUMBERS_METHOD)},
    {STATE_KINETICS_RESULT, "kinetics-result", "F0A0 k15 X8Y14T99 X8y29T42 X8y29T43 X8y29T19",
     HandleKineticsResult, nullptr, DrawKineticsResult, STATE_KINETICS_RUN, 0, FLAG_OVERLAY | FLAG_REFUSES_PC | NumbersFlag(NUMBERS_METHOD)},
    {STATE_KINETICS_GRAPH, "kinetics-graph", "F0A0 k9 X8Y14T91 X8Y101T19 X68Y1T47 X116Y1I0 X134Y1S1",
     HandleKineticsResult, PrepareMethodValues, DrawKineticsGraph, NO_PARENT, 0, FLAG_REFUSES_PC | FLAG_NO_HINT_LINE | NumbersFlag(NUMBERS_METHOD)},
    {STATE_UNUSED_48, "unused-48", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, FLAG_REFUSES_PC | NumbersFlag(NUMBERS_METHOD)},
    {STATE_STANDARDS_TABLE, "standards-table", "F0A0 k15 X8Y14T84 X8y29T85 X8y29T289 X8y29T99 X68Y1T87 X76Y16T88 X172Y16T14",
     HandleStandardsTable, nullptr, DrawStandardsTable, NO_PARENT, 0, FLAG_REFUSES_PC},
    {STATE_SET_STANDARD, "set-standard", "F0A0 k13 X8Y14T53 X8Y72T89 X8Y101T90",
     HandleSetStandard, nullptr, DrawStandardsTable, STATE_STANDARDS_TABLE, HINT_UPDOWN, FLAG_OVERLAY | FLAG_REFUSES_PC},
    {STATE_STANDARD_ENTRY, "standard-entry", "F0A0 k8 X8Y101T21",
     HandleStandardEntry, nullptr, DrawStandardsTable, STATE_STANDARDS_TABLE, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY | FLAG_REFUSES_PC},
    {STATE_SET_ABSORBANCE, "set-absorbance", "F0A0 k13 X8Y14T53 X8Y72T89 X8Y101T90",
     HandleSetAbsorbance, nullptr, DrawStandardsTable, STATE_STANDARDS_TABLE, HINT_REF | HINT_TEST | HINT_UPDOWN, FLAG_OVERLAY | FLAG_REFUSES_PC | NumbersFlag(NUMBERS_BARE)},
    {STATE_ABSORBANCE_ENTRY, "absorbance-entry", "F0A0 k8 X8Y101T21",
     HandleAbsorbanceEntry, nullptr, DrawStandardsTable, STATE_STANDARDS_TABLE, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY | FLAG_REFUSES_PC},
    {STATE_INVALID_CURVE, "invalid-curve", "F0A0 k9 X8Y14T53 X8Y101T173 F1X68Y8T148 F0X68Y40T293 X68Y50T294 X68Y66T295 X68Y76T296",
     HandleInvalidCurve, nullptr, nullptr, NO_PARENT, 0, FLAG_REFUSES_PC},
    {STATE_CURVE_COEFFICIENTS, "curve-coefficients", "F0A0 k13 X8Y14T53 X8Y72T21 X8Y101T19",
     HandleCurveCoefficients, nullptr, DrawCurveCoefficients, NO_PARENT, 0, FLAG_REFUSES_PC | FLAG_NO_HINT_LINE},
    {STATE_SERIAL_PORT, "serial-port", "F0A0 k15 X8Y14T104 X8y29T232 X8y29T237 X8y29T90 X68Y1T103 X68Y20T104 X68Y34T107 X68Y48T108 X164Y48T135 X68Y62T109 X164Y62T24 X68Y76T110 X164Y76T31 X68Y90T201",
     HandleSerialPort, nullptr, DrawSerialPort, NO_PARENT, 0, 0},
    {STATE_UNUSED_57, "unused-57", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_UNUSED_58, "unused-58", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_UNUSED_59, "unused-59", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_UNUSED_60, "unused-60", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_UNUSED_61, "unused-61", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_SET_HOURS, "set-hours", "F0A0 k9 X8Y14T225 X8Y101T21 X68Y1T102",
     HandleDateTime, nullptr, DrawDateTime, NO_PARENT, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_ARROWS_REPEAT},
    {STATE_SET_MINUTES, "set-minutes", "F0A0 k9 X8Y14T225 X8Y101T21",
     HandleDateTime, nullptr, DrawDateTime, STATE_SET_HOURS, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY | FLAG_ARROWS_REPEAT},
    {STATE_SET_DATE_FIRST, "set-date-first", "F0A0 k9 X8Y14T225 X8Y101T21",
     HandleDateTime, nullptr, DrawDateTime, STATE_SET_HOURS, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY | FLAG_ARROWS_REPEAT},
    {STATE_SET_DATE_SECOND, "set-date-second", "F0A0 k9 X8Y14T225 X8Y101T21",
     HandleDateTime, nullptr, DrawDateTime, STATE_SET_HOURS, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY | FLAG_ARROWS_REPEAT},
    {STATE_SET_YEAR, "set-year", "F0A0 k9 X8Y14T225 X8Y101T21",
     HandleDateTime, nullptr, DrawDateTime, STATE_SET_HOURS, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY | FLAG_ARROWS_REPEAT},
    {STATE_MEMORY_FULL, "memory-full", "",
     HandleMemoryFull, nullptr, DrawMemoryFull, STATE_METHOD_LIST, 0, FLAG_OVERLAY},
    {STATE_DELETE_METHOD, "delete-method", "F0A0 k3 X8Y14T77 X8Y43T78",
     HandleDeleteConfirm, PrepareDeleteMethod, DrawDeleteConfirm, STATE_METHOD_SUMMARY, 0, FLAG_OVERLAY},
    {STATE_SAMPLE_NUMBER, "sample-number", "F0A0 k8 X8Y101T19 X68Y1T20",
     HandleSampleNumber, PrepareSampleNumber, DrawSampleNumber, NO_PARENT, HINT_UPDOWN, FLAG_REFUSES_PC | FLAG_ARROWS_REPEAT},
    {STATE_FACTOR_DISPLAY, "factor-display", "F0A0 k8 X8Y101T21 X68Y1T59",
     HandleFactorDisplay, nullptr, DrawFactorDisplay, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_SERVICE_MENU, "service-menu", "F0A0 K3 X8Y14T169 X8y29T170",
     HandleServiceMenu, nullptr, nullptr, NO_PARENT, 0, FLAG_REFUSES_PC},
    {STATE_FINAL_TEST, "final-test", "F0A0 k9 X8Y14T53 X8Y101T90 X68Y1T169",
     HandleFinalTest, nullptr, DrawFinalTest, NO_PARENT, HINT_UPDOWN, FLAG_REFUSES_PC | FLAG_ARROWS_REPEAT},
    {STATE_DIAGNOSTICS, "diagnostics", "F0A0 k15 X8Y14T18 X8y29T89 X8y29T172 X8y29T173 X68Y1T170",
     HandleDiagnostics, nullptr, DrawDiagnostics, NO_PARENT, HINT_UPDOWN, FLAG_REFUSES_PC},
    {STATE_DIAGNOSTIC_SCANS, "diagnostic-scans", "F0A0 k15 X8Y14T303 X8y29T179 X8y29T180 X8y29T181 X68Y1T181",
     HandleDiagScans, nullptr, nullptr, NO_PARENT, 0, FLAG_REFUSES_PC},
    {STATE_DIAGNOSTICS_TABLE, "diagnostics-table", "F0A0 k8 X8Y101T256 X68Y1T177",
     HandleDiagTable, nullptr, DrawDiagTable, NO_PARENT, HINT_REF, FLAG_REFUSES_PC},
    {STATE_CHOOSE_MEASUREMENT, "choose-measurement", "F0A0 K7 X8Y14T194 X8y29T11 X8y29T10",
     HandleChooseMeasurement, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_CELL_DENSITY, "cell-density", "F0A0 k8 X8Y101T19 X68Y1T195",
     HandleCellDensity, PrepareCellDensity, DrawCellDensity, NO_PARENT, HINT_REF | HINT_TEST, 0},
    {STATE_UNUSED_78, "unused-78", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_UNUSED_79, "unused-79", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, FLAG_REFUSES_PC},
    {STATE_LANGUAGE, "language", "F0A0 k1 X8Y14T21 X68Y1T235",
     HandleLanguage, nullptr, DrawLanguage, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_HEATER, "heater", "F0A0 k8 X8Y101T21 X68Y1T234",
     HandleHeater, nullptr, DrawHeater, NO_PARENT, HINT_LEFTRIGHT, 0},
    {STATE_UNUSED_82, "unused-82", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_LED_CHECK_CLEAR, "led-check-clear", "F0A0 k8 X8Y101T267 X68Y40T268 X68Y50T269",
     HandleLedCheck, nullptr, DrawLedCheck, NO_PARENT, 0, 0},
    {STATE_LED_CHECK_HOLMIUM, "led-check-holmium", "F0A0",
     HandleLedCheck, nullptr, DrawLedCheck, NO_PARENT, 0, 0},
    {STATE_STANDBY, "standby", "C0",
     nullptr, nullptr, nullptr, NO_PARENT, 0, FLAG_REFUSES_PC | FLAG_NO_HINT_LINE},
    {STATE_COMMS_MENU, "comms-menu", "F0A0 K3 X8Y14T101 X8y29T281",
     HandleComms, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_SOFTWARE_UPDATE, "software-update", "F0A0 k8 X8Y101T286 X68Y1T281 X8Y20T282 X8Y30T283 X8Y46T284 X8Y56T285 X8Y76T287",
     HandleSoftwareUpdate, nullptr, DrawSoftwareUpdate, NO_PARENT, 0, 0},
    {STATE_UNUSED_88, "unused-88", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_CURVE_FIT, "curve-fit", "F0A0 k8 X8Y101T21 X68Y1T292",
     HandleCurveFit, nullptr, DrawCurveFit, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_UNUSED_90, "unused-90", "",
     nullptr, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_STRAY_LIGHT_CHECK, "stray-light-check", "F0A0 X68Y1T297",
     HandleStrayLight, nullptr, DrawStrayLight, NO_PARENT, 0, 0},
    {STATE_LED_CHECK_REFERENCE, "led-check-reference", "F0A0 k0 X68Y80c10 X68Y80T304",
     HandleLedCheck, nullptr, nullptr, STATE_LED_CHECK_CLEAR, 0, FLAG_OVERLAY},
    {STATE_LED_CHECK_LED, "led-check-led", "F0A0 k0 X68Y80c10 X68Y80T263",
     HandleLedCheck, nullptr, nullptr, STATE_LED_CHECK_CLEAR, 0, FLAG_OVERLAY},
    {STATE_DENSITY_OR_PROTEINS, "density-or-proteins", "F0A0 K3 X8Y14T195 X8y29T312",
     HandleProteinEntry, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_PROTEIN_MENU, "protein-menu", "F0A0 K15 X8Y14T313 X8y29T314 X8y29T315 X8y29T316",
     HandleProteinMenu, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_PROTEIN_BCA, "bca-run", "F0A0 k15 X8Y14T45 X8y29T317 X8y29T13 X8y29T19 X68Y1T313",
     HandleProteinRun, PrepareProteinRun, DrawProteinRun, NO_PARENT, HINT_REF | HINT_TEST, 0},
    {STATE_PROTEIN_BRADFORD, "bradford-run", "F0A0 k15 X8Y14T45 X8y29T317 X8y29T13 X8y29T19 X68Y1T314",
     HandleProteinRun, PrepareProteinRun, DrawProteinRun, NO_PARENT, HINT_REF | HINT_TEST, 0},
    {STATE_PROTEIN_LOWRY, "lowry-run", "F0A0 k15 X8Y14T45 X8y29T317 X8y29T13 X8y29T19 X68Y1T315",
     HandleProteinRun, PrepareProteinRun, DrawProteinRun, NO_PARENT, HINT_REF | HINT_TEST, 0},
    {STATE_PROTEIN_BIURET, "biuret-run", "F0A0 k15 X8Y14T45 X8y29T317 X8y29T13 X8y29T19 X68Y1T316",
     HandleProteinRun, PrepareProteinRun, DrawProteinRun, NO_PARENT, HINT_REF | HINT_TEST, 0},
    {STATE_BRADFORD_PROGRAM, "bradford-program", "F0A0 k9 X8Y14T44 X8Y101T53 X68Y1T314",
     HandleProteinProgram, nullptr, DrawProteinProgram, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_BRADFORD_UNITS, "bradford-units", "F0A0 k8 X8Y101T21 X68Y1T133",
     HandleProteinUnits, nullptr, DrawProteinUnits, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_BRADFORD_CALIBRATION, "bradford-calibration", "F0A0 k8 X8Y101T21",
     HandleProteinCalibration, nullptr, DrawProteinProgram, STATE_BRADFORD_PROGRAM, HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_BRADFORD_REPLICATES, "bradford-replicates", "F0A0 k8 X8Y101T21",
     HandleProteinReplicates, nullptr, DrawProteinProgram, STATE_BRADFORD_PROGRAM, HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_BRADFORD_FACTOR, "bradford-factor", "F0A0 k14 X8Y43T56T16T57 X8Y72T58 X8Y101T21",
     HandleProteinFactor, nullptr, DrawProteinProgram, STATE_BRADFORD_PROGRAM, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_BRADFORD_DILUTION, "bradford-dilution", "F0A0 k12 X8Y72T58 X8Y101T21",
     HandleProteinDilution, PrepareProteinRun, DrawProteinRun, STATE_PROTEIN_BRADFORD, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_BCA_PROGRAM, "bca-program", "F0A0 k9 X8Y14T44 X8Y101T53 X68Y1T313",
     HandleProteinProgram, nullptr, DrawProteinProgram, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_BCA_UNITS, "bca-units", "F0A0 k8 X8Y101T21 X68Y1T133",
     HandleProteinUnits, nullptr, DrawProteinUnits, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_BCA_CALIBRATION, "bca-calibration", "F0A0 k8 X8Y101T21",
     HandleProteinCalibration, nullptr, DrawProteinProgram, STATE_BCA_PROGRAM, HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_BCA_REPLICATES, "bca-replicates", "F0A0 k8 X8Y101T21",
     HandleProteinReplicates, nullptr, DrawProteinProgram, STATE_BCA_PROGRAM, HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_BCA_FACTOR, "bca-factor", "F0A0 k14 X8Y43T56T16T57 X8Y72T58 X8Y101T21",
     HandleProteinFactor, nullptr, DrawProteinProgram, STATE_BCA_PROGRAM, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_BCA_DILUTION, "bca-dilution", "F0A0 k12 X8Y72T58 X8Y101T21",
     HandleProteinDilution, PrepareProteinRun, DrawProteinRun, STATE_PROTEIN_BCA, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_LOWRY_PROGRAM, "lowry-program", "F0A0 k9 X8Y14T44 X8Y101T53 X68Y1T315",
     HandleProteinProgram, nullptr, DrawProteinProgram, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_LOWRY_UNITS, "lowry-units", "F0A0 k8 X8Y101T21 X68Y1T133",
     HandleProteinUnits, nullptr, DrawProteinUnits, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_LOWRY_CALIBRATION, "lowry-calibration", "F0A0 k8 X8Y101T21",
     HandleProteinCalibration, nullptr, DrawProteinProgram, STATE_LOWRY_PROGRAM, HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_LOWRY_REPLICATES, "lowry-replicates", "F0A0 k8 X8Y101T21",
     HandleProteinReplicates, nullptr, DrawProteinProgram, STATE_LOWRY_PROGRAM, HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_LOWRY_FACTOR, "lowry-factor", "F0A0 k14 X8Y43T56T16T57 X8Y72T58 X8Y101T21",
     HandleProteinFactor, nullptr, DrawProteinProgram, STATE_LOWRY_PROGRAM, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_LOWRY_DILUTION, "lowry-dilution", "F0A0 k12 X8Y72T58 X8Y101T21",
     HandleProteinDilution, PrepareProteinRun, DrawProteinRun, STATE_PROTEIN_LOWRY, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_BIURET_PROGRAM, "biuret-program", "F0A0 k9 X8Y14T44 X8Y101T53 X68Y1T316",
     HandleProteinProgram, nullptr, DrawProteinProgram, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_BIURET_UNITS, "biuret-units", "F0A0 k8 X8Y101T21 X68Y1T133",
     HandleProteinUnits, nullptr, DrawProteinUnits, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_BIURET_CALIBRATION, "biuret-calibration", "F0A0 k8 X8Y101T21",
     HandleProteinCalibration, nullptr, DrawProteinProgram, STATE_BIURET_PROGRAM, HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_BIURET_REPLICATES, "biuret-replicates", "F0A0 k8 X8Y101T21",
     HandleProteinReplicates, nullptr, DrawProteinProgram, STATE_BIURET_PROGRAM, HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_BIURET_FACTOR, "biuret-factor", "F0A0 k14 X8Y43T56T16T57 X8Y72T58 X8Y101T21",
     HandleProteinFactor, nullptr, DrawProteinProgram, STATE_BIURET_PROGRAM, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_BIURET_DILUTION, "biuret-dilution", "F0A0 k12 X8Y72T58 X8Y101T21",
     HandleProteinDilution, PrepareProteinRun, DrawProteinRun, STATE_PROTEIN_BIURET, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_PROTEIN_STANDARDS, "protein-standards", "F0A0 k15 X8Y14T84 X8y29T85 X8y29T289 X8y29T99 X76Y16T88",
     HandleProteinStandards, nullptr, DrawProteinStandards, NO_PARENT, 0, 0},
    {STATE_PROTEIN_SET_STD, "protein-set-std", "F0A0 k13 X8Y14T53 X8Y72T89 X8Y101T90",
     HandleProteinSetStandard, nullptr, DrawProteinStandards, STATE_PROTEIN_STANDARDS, HINT_UPDOWN, FLAG_OVERLAY},
    {STATE_PROTEIN_SET_ABS, "protein-set-abs", "F0A0 k13 X8Y14T53 X8Y72T89 X8Y101T90",
     HandleProteinSetAbsorbance, nullptr, DrawProteinStandards, STATE_PROTEIN_STANDARDS, HINT_REF | HINT_TEST | HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY | NumbersFlag(NUMBERS_BARE)},
    {STATE_PROTEIN_CURVE, "protein-curve", "F0A0 k13 X8Y14T53 X8Y72T21 X8Y101T19",
     HandleProteinCurve, nullptr, DrawProteinCurve, NO_PARENT, 0, FLAG_NO_HINT_LINE},
    {STATE_PROTEIN_STD_ENTRY, "protein-std-entry", "F0A0 k8 X8Y101T21",
     HandleProteinStandardEntry, nullptr, DrawProteinStandards, STATE_PROTEIN_STANDARDS, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_PROTEIN_ABS_ENTRY, "protein-abs-entry", "F0A0 k8 X8Y101T21",
     HandleProteinAbsorbanceEntry, nullptr, DrawProteinStandards, STATE_PROTEIN_STANDARDS, HINT_UPDOWN | HINT_LEFTRIGHT, FLAG_OVERLAY},
    {STATE_PROTEIN_INVALID_CURVE, "protein-invalid-curve", "F0A0 k9 X8Y14T53 X8Y101T173 F1X68Y8T148 F0X68Y40T293 X68Y50T294 X68Y66T295 X68Y76T296",
     HandleProteinInvalidCurve, nullptr, nullptr, NO_PARENT, 0, 0},
    {STATE_PROTEIN_CURVE_FIT, "protein-curve-fit", "F0A0 k8 X8Y101T21 X68Y1T292",
     HandleProteinCurveFit, nullptr, DrawProteinCurveFit, NO_PARENT, HINT_UPDOWN, 0},
    {STATE_PC_CONTROL, "pc-control", "F1 X64Y50T327",
     nullptr, nullptr, DrawPcControl, NO_PARENT, 0, FLAG_NO_HINT_LINE},
};

namespace {

constexpr bool RowsInStateOrder()
{
    for (int i = 0; i < STATE_COUNT; i++)
        if (gScreenStates[i].bState != i || gScreenStates[i].pszName == nullptr || gScreenStates[i].pszScript == nullptr)
            return false;
    return true;
}
static_assert(RowsInStateOrder(), "every screen state 0..132 has exactly one row, at its own number");

constexpr bool OverlayParentsAreScreens()
{
    for (const ScreenStateRow& row : gScreenStates) {
        if (row.bOverlayParent == NO_PARENT)
            continue;
        if (!(row.unFlags & FLAG_OVERLAY) || row.bOverlayParent >= STATE_COUNT ||
            (gScreenStates[row.bOverlayParent].unFlags & FLAG_OVERLAY))
            return false;
    }
    return true;
}
static_assert(OverlayParentsAreScreens(), "an overlay parent is a state that clears the display");

constexpr const char* WAITING_NAME = "pc-control-waiting";

}  // namespace

const ScreenStateRow& StateRow(uint8_t bState)
{
    return gScreenStates[bState < STATE_COUNT ? bState : uint8_t{STATE_PC_CONTROL}];
}

bool StateIsMeasuring(uint8_t bState) { return bState < STATE_COUNT && (gScreenStates[bState].unFlags & FLAG_MEASURING); }

bool StateRefusesPcControl(uint8_t bState)
{
    return bState < STATE_COUNT && (gScreenStates[bState].unFlags & FLAG_REFUSES_PC);
}

bool StateArrowsRepeat(uint8_t bState)
{
    return bState < STATE_COUNT && (gScreenStates[bState].unFlags & FLAG_ARROWS_REPEAT);
}

uint8_t StateNumberStyle(uint8_t bState) { return NumberStyleOf(StateRow(bState).unFlags); }

bool ShownStateArrowsRepeat() { return StateArrowsRepeat(gunScreenState); }

const char* StateName(uint8_t bState)
{
    if (bState < STATE_COUNT)
        return gScreenStates[bState].pszName;
    return bState == STATE_PC_CONTROL_WAITING ? WAITING_NAME : nullptr;
}

int StateByName(const char* pszName)
{
    if (pszName == nullptr)
        return -1;
    for (const ScreenStateRow& row : gScreenStates)
        if (std::strcmp(row.pszName, pszName) == 0)
            return row.bState;
    return std::strcmp(pszName, WAITING_NAME) == 0 ? STATE_PC_CONTROL_WAITING : -1;
}
