// Shared internals of the user-interface state machine: working variables,
// the screen-script table and its fragments, and the handler entry points
// that the step dispatches to.
#pragma once

#include <cstdint>

#include "core/heater.h"
#include "measure/standard_curve.h"
#include "storage/method_record.h"
#include "ui/ui.h"

// Count-down values in UI ticks of 50 ms.
constexpr uint32_t SPLASH_TICKS = 120;
constexpr uint32_t SELFTEST_HOLD_TICKS = 40;
constexpr uint32_t SELFTEST_NEXT_TICKS = 30;
constexpr uint32_t SERVICE_WINDOW_TICKS = 100;
constexpr uint32_t MEMORY_FULL_TICKS = 100;

// Results of the self-test rows.
constexpr uint8_t ROW_NOT_RUN = 0;
constexpr uint8_t ROW_PASSED = 1;
constexpr uint8_t ROW_FAILED = 2;

constexpr uint16_t WAVELENGTH_MIN = 330;
constexpr uint16_t WAVELENGTH_MAX = 830;


extern uint8_t gunKeyCode;          // key taken this pass, 0 none
extern uint8_t gunLastDrawnState;   // state whose screen was last cleared, 134 before the first draw
extern uint8_t gbServiceStep;       // keys of a service sequence matched so far

extern double gfShownAbs;           // absorbance at the working wavelength
extern double gfShownTrans;         // % transmission at the working wavelength (100.0 after initialisation)
extern double gfRatioA1, gfRatioA2, gfRatio;  // ratio screen values
extern double gafMultiAbs[4];       // multi-wavelength values
extern double gfOpticalDensity;     // cell-density value
extern double gfMethodResult;       // method-run result
extern uint16_t gunCellNm1;         // cell-density measuring wavelength, 600 nm
extern uint8_t gbScanColumn;        // scan cursor column 0..125
extern uint16_t gunZoomStart;       // first wavelength of the zoom window, 330..705 nm
extern uint16_t gunZoomCursorNm;    // cursor wavelength in the zoom window
extern uint8_t gunScanReturnState;  // state the scan returns to on Escape
extern uint8_t gunPrintReturnState; // state "Sample No." returns to
extern uint8_t gunSampleOnEntry;    // sample number when "Sample No." was entered
extern uint8_t gbChoice;            // highlighted item of a small chooser or list
extern uint8_t gbNumberCursor;      // number editor cursor 1..6
extern char gszNumberText[8];       // number editor buffer: sign and six characters
extern char gszEditCopy[16];        // copy of the edited text, restored by Escape
extern uint8_t gbMethodListRows;    // rows on the shown method-list page (8, or 4 on the last)
extern char gaszMethodNames[8][14]; // names of the shown method-list page
extern uint8_t gbEditMinutes, gbEditSeconds;  // kinetics time editor
extern uint8_t gbTimeField;         // kinetics time editor field: 0 minutes, 1 seconds
extern uint16_t gunKineticsReadings;  // kinetics readings of the current method
extern MethodWork gMethod;          // working copy of the current method

// Screen scripts: numbers 0..132 are the screens of the states (in the state
// table), the numbers after them fragments for hints, marks, rows and messages.
constexpr uint16_t FRAG_FIRST = 133;
constexpr uint16_t FRAG_HINT_CLEAR = 133;
constexpr uint16_t FRAG_HINT_REF = 134;
constexpr uint16_t FRAG_HINT_TEST = 135;
constexpr uint16_t FRAG_HINT_UPDOWN = 136;
constexpr uint16_t FRAG_HINT_LEFTRIGHT = 137;
constexpr uint16_t FRAG_MARK_PASS = 138;
constexpr uint16_t FRAG_MARK_FAIL = 139;
constexpr uint16_t FRAG_MARK_NOT_RUN = 140;
constexpr uint16_t FRAG_FAIL_LAMP = 141;
constexpr uint16_t FRAG_FAIL_WAVELENGTH = 142;
constexpr uint16_t FRAG_FAIL_ARRAY = 143;
constexpr uint16_t FRAG_DATE_TIME = 144;
constexpr uint16_t FRAG_OUT_OF_RANGE = 145;
constexpr uint16_t FRAG_SINGLE_ABS = 146;
constexpr uint16_t FRAG_SINGLE_TRANS = 147;
constexpr uint16_t FRAG_RATIO_LINE1 = 148;
constexpr uint16_t FRAG_RATIO_LINE2 = 149;
constexpr uint16_t FRAG_RATIO_VALUE = 150;
constexpr uint16_t FRAG_MULTI_LINE = 151;  // four lines: 151..154
constexpr uint16_t FRAG_LIST_ROW = 155;
constexpr uint16_t FRAG_LIST_BLANK_LOWER = 156;
constexpr uint16_t FRAG_MEMORY_FULL = 157;
constexpr uint16_t FRAG_DELETE_PROMPT = 158;
constexpr uint16_t FRAG_LANGUAGE_MISSING = 159;
constexpr uint16_t FRAG_SETUP_WITH_HEATER = 160;
constexpr uint16_t FRAG_UPLOADING = 161;
constexpr uint16_t FRAG_PC_WAITING = 162;
constexpr uint16_t FRAG_SCAN_VALUE_SIGNAL = 163;  // detector plots: "Value = " counts or frames
constexpr uint16_t FRAG_SCAN_VALUE_ABS = 164;
constexpr uint16_t FRAG_SCAN_VALUE_TRANS = 165;
constexpr uint16_t FRAG_NAME_FIELD = 166;
constexpr uint16_t FRAG_CAL_STD_LABEL = 167;
constexpr uint16_t FRAG_CAL_STD_LABEL_WIDE = 168;
constexpr uint16_t FRAG_METHOD_RESULT = 169;
constexpr uint16_t FRAG_DIAG_TABLE = 170;
constexpr uint16_t FRAG_KINETICS_RESULT = 171;
constexpr uint16_t FRAG_CURVE_RESULT = 172;
constexpr uint16_t FRAG_STATE_27_EXTRA = 173;
constexpr uint16_t SCREEN_SCRIPT_COUNT = 174;
extern const char* const gapszScreenFragment[SCREEN_SCRIPT_COUNT - FRAG_FIRST];
// The entry for a state or fragment; the empty script for any other index.
const char* ScreenScript(uint16_t unIndex);

// Drawing helpers (ui.cpp).
void DrawFragment(uint16_t unIndex);
// Draws language text nText at (x, y) in font bFont, inverse when bInverse is 1.
void DrawText(uint8_t x, uint8_t y, uint16_t nText, uint8_t bInverse = 0, uint8_t bFont = 0);
// Draws one integer register (I command) at (x, y).
void DrawInteger(uint8_t x, uint8_t y, uint16_t unRegister, uint8_t bInverse = 0, uint8_t bFont = 0);
// Erases n cells of font bFont from (x, y).
void EraseCells(uint8_t x, uint8_t y, uint8_t n, uint8_t bFont = 0);
void ShowStateScreen(uint8_t bState);  // set the state and draw it

// Working copies taken from the parameter store.
void CopyStoredSettings();

// Start-up and self-test (startup.cpp).
extern uint8_t gabSelfTestRow[3];   // lamp, wavelength calibration, diode array: ROW_*
void ResetStartupScreens();         // the self-test's rows and outcome, at power-up
void RunStartUpSequence();
void EnterStandby();
void LeaveStandby();
void HandleSplash();
void HandleSelfTest();
void DrawSelfTestMarks();
void DrawSelfTestResult();

// Method working copy (method_store.cpp).
void UseMethodRecord(const uint8_t* pbRecord);
void LoadMethodWork(uint8_t bSlot);
void SaveMethodWork();
void DeleteMethodSlot(uint8_t bSlot);
int FindFreeMethodSlot();
void LoadMethodPage(uint8_t bPageStart);
bool MethodFieldApplies(uint8_t bField);
// The display option in use for the method's results (gunDisplayOption).
uint32_t ShownDisplayOption();

// Measured values (measure.cpp).
void ResetMeasureScreens();         // the measuring screens' own state, at power-up
// The values a blank shows: 0 A, 100 %T, no ratio, no density, no result.
void ClearShownValues();
void RecomputeValues();
void TakeScreenReading(uint8_t bKind);
// A1 / A2 of the ratio screen from values rounded to three decimals; 0 when
// either is 0, the no-value marker when either is out of range.
double RatioOfAbsorbances(double fA1, double fA2);

// Set-up screens (setup.cpp).
extern uint8_t gabEditDate[5];      // date and time editor: hours, minutes, day, month, year
void ResetSetupScreens();           // message, upload and heater state, at power-up

// Method screens (methods.cpp).
extern uint8_t gbNameCursor;        // name editor cursor 0..12

// The state table (state_table.cpp).
using StateHandler = void (*)();
using StateDrawing = void (*)(uint8_t bState);

// Hint-line glyphs.
constexpr uint8_t HINT_REF = 1;
constexpr uint8_t HINT_TEST = 2;
constexpr uint8_t HINT_UPDOWN = 4;
constexpr uint8_t HINT_LEFTRIGHT = 8;

// Flags of a state.
constexpr uint8_t FLAG_OVERLAY = 1;        // drawn over the previous screen without clearing it
constexpr uint8_t FLAG_MEASURING = 2;      // recorded as the last operation
constexpr uint8_t FLAG_REFUSES_PC = 4;     // CONTROL refused, ^R and ^T ignored
constexpr uint8_t FLAG_ARROWS_REPEAT = 8;  // held arrow keys repeat
constexpr uint8_t FLAG_NO_HINT_LINE = 16;  // the bottom hint line is not drawn
// The screen's number style (NUMBERS_* of the display script) rides in the
// flags' high byte.
constexpr uint16_t NumbersFlag(uint8_t bStyle) { return static_cast<uint16_t>(bStyle << 8); }
constexpr uint8_t NumberStyleOf(uint16_t unFlags) { return static_cast<uint8_t>(unFlags >> 8); }

struct ScreenStateRow {
    uint8_t bState;           // the row's own state number
    const char* pszName;      // short name for tools
    const char* pszScript;    // the fixed screen, "" for none
    StateHandler pfnHandler;  // keys and time-outs; nullptr: only the standby key acts
    StateDrawing pfnPrepare;  // values into the display registers before the script
    StateDrawing pfnDraw;     // highlighted items, lists, plots after the script
    uint8_t bOverlayParent;   // screen an overlay is drawn over, STATE_NEVER_DRAWN for none
    uint8_t bHints;           // HINT_* glyphs of the hint line
    uint16_t unFlags;         // FLAG_* and NumbersFlag(NUMBERS_*)
};
extern const ScreenStateRow gScreenStates[STATE_COUNT];
// The row of a state; numbers past the table give the PC Control row.
const ScreenStateRow& StateRow(uint8_t bState);

// Shared editors and screen helpers (editors.cpp).
extern uint16_t gunSavedNm[4];  // stored wavelengths on entry to a wavelength editor, nm
extern uint8_t gbNumberCaller;  // state the number editor returns to
extern uint8_t gbOutOfRangePending;      // 1: "Sample out of range" is drawn after the hint line
void Go(uint8_t bState);    // set the state and draw it
bool Key(uint8_t bKey);     // the pass's key is bKey
void GoPrint(uint8_t bReturn);  // "Sample No.", returning to bReturn
void GoScan(uint8_t bReturn);   // the scan, returning to bReturn on Escape (scan_screens.cpp)
void AcceptWord(uint16_t* punWorking, uint16_t unOnEntry, void (*pfnSetter)(uint16_t));
bool HandleReadingKeys();   // REF and TEST on a measuring screen; true when taken
// Printing (result_report.cpp). The result a state shows, described in
// gReport for the reports; false for a state that prints nothing.
bool DescribeResult(uint8_t bState);
// "Print" of a screen: the state's result printed in the stored layout.
void PrintShownResult(uint8_t bState);
// After a sample reading on a measuring screen: the per-reading record (which
// sets the chart-recorder output), a scan's playback, the state remembered as
// the print's return state, the after-reading print step.
void PrintAfterSampleReading();
// A kinetics run's chart-recorder output: live from the start (the interval
// plus two seconds is the longest step), each reading's record, then drained.
void KineticsOutputStart(uint32_t unIntervalSeconds);
void KineticsOutputReading();
void KineticsOutputEnd();
void StartNumberEditor(double fValue, uint8_t bCaller);
double NumberEditorValue();
bool HandleNumberKeys();    // the number editor's keys; true when taken
// A chooser: bPrevious and bNext move the highlighted item gbChoice with
// wrap-around, bAccept calls pfnAccept (which takes gbChoice and moves on),
// Escape returns to bEscape.
struct Chooser {
    uint8_t bCount;
    uint8_t bPrevious, bNext;
    uint8_t bAccept;
    void (*pfnAccept)();
    uint8_t bEscape;
};
void HandleChooser(const Chooser& chooser);
// One Up (+1) or Down (-1) event of a wavelength editor, with the fast step
// while the key is held.
uint16_t StepWavelength(uint16_t unNm, int nDirection);
void SetEditText(const char* psz);
void DrawEditField(uint8_t x, uint8_t y, uint8_t bCursor, uint8_t bFont);
int TextWidth(uint16_t unText);
bool IsOutOfRange(double f);
void DrawOutOfRangeIf(bool bOut);
void DrawTime(uint8_t x, uint8_t y, uint32_t unMinutes, uint32_t unSeconds, int nHighlight);
void DrawChoiceList(const uint16_t* punTexts, int nCount, uint8_t x, uint8_t y0, uint8_t bStep);

// Shared between the method, standards and kinetics screens.
void ShowProgramMessage(uint16_t unText);  // (methods.cpp)
void StartTimeEditor(uint8_t bState);      // (kinetics.cpp)
uint32_t Seconds(uint32_t unMinutes, uint32_t unSeconds);
// Standards (standards.cpp): the table entered from the calibration field
// (its standards kept for Escape), the fit of the method's standards ("C"
// progress on the bottom line when shown), and a sample's concentration.
void EnterStandardsTable();
bool FitMethodCurve(bool bShowProgress);
double MethodConcentration(double fAbs);
// The "C" progress mark of a curve being computed, started at its first place.
CurveProgress StartCurveProgress();
// The calibration graph of gStandardCurve with the standards as markers,
// the concentration axis labelled with the units text (the title is the
// caller's).
void DrawCalibrationGraph(const double* afConc, const double* afAbs, uint16_t unUnitsText);
// The absorbance editor ("d.ddd", 0.000..1.999) in gszNumberText.
void StartAbsorbanceEditor(double fAbs);
bool HandleAbsorbanceKeys();  // true when the key was taken
double AbsorbanceEditorValue();
// A measured absorbance as a standards table keeps it: three decimals.
double ThreeDecimals(double fAbs);
// Protein assays (protein.cpp): the result a protein screen shows,
// described in gReport; false for any other state.
bool DescribeProteinResult(uint8_t bState);
// Kinetics (kinetics.cpp): TEST on the method run of a kinetics method, and
// the final value of the last run (rate x factor, final A x factor or a
// concentration).
void StartKineticsRun();
extern double gfKineticsFinal;
// The number of readings of the method's end and interval, into the store.
void StoreKineticsReadingCount();

// Handlers (the feature files).
void HandleMainMenu();
void HandleMeasureMenu();
void HandleSetupMenu();
void HandleChooseMeasurement();
void HandleSingle();
void HandleSingleWavelength();
void HandleRatio();
void HandleRatioWavelength();
void HandleMulti();
void HandleMultiWavelength();
void HandleCellDensity();
void HandleScan();
void HandleZoomSelect();
void HandleZoomed();
void HandleMethodList();
void HandleMethodSummary();
void HandleMethodProgram();
void HandleNameEditor();
void HandleMethodWavelength();
void HandleCalibrationChoice();
void HandleFactorEntry();
void HandleKineticsDisplay();
void HandleUnits();
void HandleKineticsChoice();
void HandleKineticsTime();
void HandleMethodRun();
void HandleKineticsWait();
void HandleKineticsRun();
void HandleKineticsResult();
void HandleStandardsTable();
void HandleSetStandard();
void HandleStandardEntry();
void HandleAbsorbanceEntry();
void HandleSetAbsorbance();
void HandleInvalidCurve();
void HandleCurveCoefficients();
void HandleCurveFit();
void HandleMemoryFull();
void HandleDeleteConfirm();
void HandleSampleNumber();
void HandleFactorDisplay();
void HandleServiceMenu();
void HandleFinalTest();
void HandleDiagnostics();
void HandleDiagScans();
void HandleDiagTable();
void HandleLedCheck();
void HandleStrayLight();
void HandleLanguage();
void HandleHeater();
void HandleComms();
void HandleSerialPort();
void HandleSoftwareUpdate();
void HandleDateTime();

// Values into the display registers (the feature files).
void PrepareSingle(uint8_t bState);
void PrepareRatio(uint8_t bState);
void PrepareMulti(uint8_t bState);
void PrepareMethodValues(uint8_t bState);
void PrepareMethodRun(uint8_t bState);
void PrepareDeleteMethod(uint8_t bState);
void PrepareSampleNumber(uint8_t bState);
void PrepareCellDensity(uint8_t bState);

// Drawing after the script (the feature files).
void DrawSelfTestScreen(uint8_t bState);
void DrawSetupMenu(uint8_t bState);
void DrawSingle(uint8_t bState);
void DrawRatio(uint8_t bState);
void DrawMulti(uint8_t bState);
void DrawScan(uint8_t bState);
void DrawMethodListScreen(uint8_t bState);
void DrawMethodSummary(uint8_t bState);
void DrawMethodProgramScreen(uint8_t bState);
void DrawMethodProgram(uint8_t bState);
void DrawKineticsDisplay(uint8_t bState);
void DrawUnits(uint8_t bState);
void DrawMethodRun(uint8_t bState);
void DrawKineticsWait(uint8_t bState);
void DrawKineticsRun(uint8_t bState);
void DrawKineticsResult(uint8_t bState);
void DrawKineticsGraph(uint8_t bState);
void DrawStandardsTable(uint8_t bState);
void DrawCurveCoefficients(uint8_t bState);
void DrawSerialPort(uint8_t bState);
void DrawDateTime(uint8_t bState);
void DrawMemoryFull(uint8_t bState);
void DrawDeleteConfirm(uint8_t bState);
void DrawSampleNumber(uint8_t bState);
void DrawFactorDisplay(uint8_t bState);
void DrawFinalTest(uint8_t bState);
void DrawDiagnostics(uint8_t bState);
void DrawDiagTable(uint8_t bState);
void DrawCellDensity(uint8_t bState);
void DrawLanguage(uint8_t bState);
void DrawHeater(uint8_t bState);
void DrawSoftwareUpdate(uint8_t bState);
void DrawCurveFit(uint8_t bState);
void DrawLedCheck(uint8_t bState);
void DrawStrayLight(uint8_t bState);
void DrawPcControl(uint8_t bState);
// The protein assays (protein.cpp).
void HandleProteinEntry();
void HandleProteinMenu();
void HandleProteinRun();
void HandleProteinProgram();
void HandleProteinUnits();
void HandleProteinCalibration();
void HandleProteinReplicates();
void HandleProteinFactor();
void HandleProteinDilution();
void HandleProteinStandards();
void HandleProteinSetStandard();
void HandleProteinSetAbsorbance();
void HandleProteinCurve();
void HandleProteinStandardEntry();
void HandleProteinAbsorbanceEntry();
void HandleProteinInvalidCurve();
void HandleProteinCurveFit();
void PrepareProteinRun(uint8_t bState);
void DrawProteinRun(uint8_t bState);
void DrawProteinProgram(uint8_t bState);
void DrawProteinUnits(uint8_t bState);
void DrawProteinStandards(uint8_t bState);
void DrawProteinCurve(uint8_t bState);
void DrawProteinCurveFit(uint8_t bState);
// The hint line of a state and a pending out-of-range message.
void DrawHintLine(uint8_t bState);
