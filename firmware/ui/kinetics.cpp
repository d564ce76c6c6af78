// The kinetics screens: the display options (34), "No" / "Yes" / "Fixed
// time" (38), the start, interval and end times (40, 41, 42), the wait for
// the start (44), the timed readings (45) and the result and graph (46, 47).
// The schedule and the rate are measure/kinetics_run.
#include <cstdio>

#include "comms/report.h"
#include "core/timers.h"
#include "display/graph.h"
#include "display/script.h"
#include "measure/kinetics_run.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui_internal.h"

namespace {

uint32_t gunShownStartSeconds = 0;  // remaining start delay last drawn, s
uint8_t gbKineticsPage = 0;         // first reading of the shown page of the readings table

constexpr uint8_t READINGS_PER_PAGE = 5;
constexpr uint8_t READINGS_FIRST_Y = 26;
constexpr uint8_t READINGS_STEP_Y = 9;
constexpr uint8_t MAX_READINGS_INDEX = 20;  // the end is set in whole intervals up to 20 of them

uint32_t IntervalSeconds() { return Seconds(gMethod.unIntervalMin, gMethod.unIntervalSec); }
uint32_t EndSeconds() { return Seconds(gMethod.bEndMin, gMethod.bEndSec); }

// One sample reading of the run; true when it was the last.
bool TakeKineticsReading()
{
    TakeScreenReading(READ_SAMPLE);
    double fAbs = Absorbance(static_cast<int32_t>(gMethod.unWavelength));
    bool bLast = KineticsStoreReading(fAbs);
    if (gKinetics.bMode == KINETICS_RATE)
        KineticsOutputReading();
    return bLast;
}

void FinishRun()
{
    KineticsOutputEnd();
    KineticsComputeRate();
    double fLast = gKinetics.afAbs[gKinetics.bCount - 1];
    if (gMethod.bCalibration == 1)
        gfKineticsFinal = MethodConcentration(fLast);
    else if (gMethod.unDisplayOption == 1)
        gfKineticsFinal = fLast > 61110.0 ? NO_VALUE : fLast * gMethod.fFactor;
    else
        gfKineticsFinal = gKinetics.fPerMinute * gMethod.fFactor;
    uint8_t bLast = static_cast<uint8_t>(gKinetics.bCount - 1);
    gbKineticsPage = static_cast<uint8_t>(bLast - bLast % READINGS_PER_PAGE);
    Go(STATE_KINETICS_RESULT);
    PrintAfterSampleReading();
}

// The readings from the run's start: with a delay the start waits on 44.
void StartReadings()
{
    if (gKinetics.bMode == KINETICS_FIXED) {
        TakeKineticsReading();
        Go(STATE_METHOD_RUN);
        PrintAfterSampleReading();
        return;
    }
    KineticsOutputStart(IntervalSeconds());
    if (TakeKineticsReading()) {
        FinishRun();
        return;
    }
    gbKineticsPage = 0;
    Go(STATE_KINETICS_RUN);
}

void DrawReadingsPage()
{
    for (uint8_t i = 0; i < READINGS_PER_PAGE; i++) {
        uint8_t y = static_cast<uint8_t>(READINGS_FIRST_Y + READINGS_STEP_Y * i);
        EraseCells(68, y, 20);
        uint8_t k = static_cast<uint8_t>(gbKineticsPage + i);
        if (k >= gKinetics.bCount)
            continue;
        uint32_t unSeconds = (gKinetics.aunTimeMs[k] + 500) / 1000;
        DrawTime(68, y, unSeconds / 60, unSeconds % 60, -1);
        gfShowD2 = gKinetics.afAbs[k];
        char szScript[24];
        std::snprintf(szScript, sizeof szScript, "F0A0X128Y%uD2", y);
        DisplayScript(szScript);
    }
}

}  // namespace

double gfKineticsFinal = 0.0;

void StoreKineticsReadingCount()
{
    uint16_t unCount = KineticsReadingCount(EndSeconds(), IntervalSeconds());
    SetSetting13(unCount);
    gunKineticsReadings = unCount;
}

void StartTimeEditor(uint8_t bState)
{
    if (bState == STATE_KINETICS_START_TIME) {
        gbEditMinutes = static_cast<uint8_t>(gMethod.unStartMin % 60);
        gbEditSeconds = static_cast<uint8_t>(gMethod.unStartSec % 60);
    } else if (bState == STATE_KINETICS_INTERVAL) {
        gbEditMinutes = static_cast<uint8_t>(gMethod.unIntervalMin % 60);
        gbEditSeconds = static_cast<uint8_t>(gMethod.unIntervalSec % 60);
    } else {
        gbEditMinutes = static_cast<uint8_t>(gMethod.bEndMin % 60);
        gbEditSeconds = static_cast<uint8_t>(gMethod.bEndSec % 60);
    }
    gbTimeField = 0;
    Go(bState);
}

static void AcceptKineticsDisplay()
{
    gMethod.unDisplayOption = gbChoice;
    gunDisplayOption = gbChoice;
    Go(STATE_METHOD_PROGRAM);
}

void HandleKineticsDisplay()
{
    HandleChooser({2, KEY_UP, KEY_DOWN, KEY_SOFT4, AcceptKineticsDisplay, STATE_METHOD_PROGRAM});
}

static void AcceptKineticsChoice()
{
    if (gbChoice != 0 && gMethod.bCalibration == 1) {
        gMethod.unKinetics = 0;
        ShowProgramMessage(141);
        return;
    }
    gMethod.unKinetics = gbChoice;
    if (gbChoice == 1) {
        gbChoice = static_cast<uint8_t>(gMethod.unDisplayOption <= 1 ? gMethod.unDisplayOption : 0);
        Go(STATE_KINETICS_DISPLAY);
    } else {
        Go(STATE_METHOD_PROGRAM);
    }
}

void HandleKineticsChoice()
{
    HandleChooser({3, KEY_LEFT, KEY_RIGHT, KEY_SOFT4, AcceptKineticsChoice, STATE_METHOD_PROGRAM});
}

// The end is set in whole intervals: Up adds one while fewer than 20 fit,
// Down takes one off while more than one is left.
static void StepEndTime(bool bUp)
{
    uint32_t unInterval = IntervalSeconds();
    uint32_t unEnd = Seconds(gbEditMinutes, gbEditSeconds);
    if (unInterval == 0)
        return;
    if (bUp && KineticsReadingCount(unEnd, unInterval) < MAX_READINGS_INDEX)
        unEnd += unInterval;
    else if (!bUp && unEnd > unInterval)
        unEnd -= unInterval;
    else
        return;
    if (unEnd / 60 > 255)
        return;
    gbEditMinutes = static_cast<uint8_t>(unEnd / 60);
    gbEditSeconds = static_cast<uint8_t>(unEnd % 60);
}

void HandleKineticsTime()
{
    uint8_t bState = gunScreenState;
    if (bState == STATE_KINETICS_END_TIME && (Key(KEY_UP) || Key(KEY_DOWN))) {
        StepEndTime(Key(KEY_UP));
        DrawScreen();
    } else if (Key(KEY_UP) || Key(KEY_DOWN)) {
        uint8_t& b = gbTimeField ? gbEditSeconds : gbEditMinutes;
        b = Key(KEY_UP) ? (b >= 59 ? 0 : b + 1) : (b == 0 ? 59 : b - 1);
        DrawScreen();
    } else if (bState != STATE_KINETICS_END_TIME && (Key(KEY_LEFT) || Key(KEY_RIGHT))) {
        gbTimeField = gbTimeField ? 0 : 1;
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        if (bState == STATE_KINETICS_START_TIME) {
            gMethod.unStartMin = gbEditMinutes;
            gMethod.unStartSec = gbEditSeconds;
        } else if (bState == STATE_KINETICS_INTERVAL) {
            gMethod.unIntervalMin = gbEditMinutes;
            gMethod.unIntervalSec = gbEditSeconds;
        } else {
            gMethod.bEndMin = gbEditMinutes;
            gMethod.bEndSec = gbEditSeconds;
        }
        StoreKineticsReadingCount();
        Go(STATE_METHOD_PROGRAM);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_METHOD_PROGRAM);
    }
}

uint32_t Seconds(uint32_t unMinutes, uint32_t unSeconds) { return KineticsSeconds(unMinutes, unSeconds); }

void StartKineticsRun()
{
    StoreKineticsReadingCount();
    KineticsBegin(static_cast<uint8_t>(gMethod.unKinetics), Seconds(gMethod.unStartMin, gMethod.unStartSec),
                  IntervalSeconds(), EndSeconds());
    if (gKinetics.bPhase == RUN_DELAY) {
        gunShownStartSeconds = KineticsDelayLeftSeconds();
        Go(STATE_KINETICS_WAIT);
        return;
    }
    StartReadings();
}

void HandleKineticsWait()
{
    if (Key(KEY_ESCAPE)) {
        KineticsStop();
        Go(STATE_METHOD_RUN);
    } else if (KineticsReadingDue()) {
        StartReadings();
    } else if (KineticsDelayLeftSeconds() != gunShownStartSeconds) {
        gunShownStartSeconds = KineticsDelayLeftSeconds();
        DrawScreen();
    }
}

void HandleKineticsRun()
{
    if (Key(KEY_ESCAPE)) {
        KineticsOutputEnd();
        KineticsStop();
        Go(STATE_METHOD_RUN);
    } else if (KineticsReadingDue()) {
        if (TakeKineticsReading()) {
            FinishRun();
            return;
        }
        uint8_t bLast = static_cast<uint8_t>(gKinetics.bCount - 1);
        gbKineticsPage = static_cast<uint8_t>(bLast - bLast % READINGS_PER_PAGE);
        DrawScreen();
    }
}

void HandleKineticsResult()
{
    bool bGraph = gunScreenState == STATE_KINETICS_GRAPH;
    if (Key(KEY_ESCAPE)) {
        Go(STATE_METHOD_SUMMARY);
    } else if (Key(KEY_SOFT1)) {
        Go(bGraph ? STATE_KINETICS_RESULT : STATE_KINETICS_GRAPH);
    } else if (!bGraph && Key(KEY_SOFT2) && gbKineticsPage >= READINGS_PER_PAGE) {
        gbKineticsPage = static_cast<uint8_t>(gbKineticsPage - READINGS_PER_PAGE);
        DrawScreen();
    } else if (!bGraph && Key(KEY_SOFT3) && gbKineticsPage + READINGS_PER_PAGE < gKinetics.bCount) {
        gbKineticsPage = static_cast<uint8_t>(gbKineticsPage + READINGS_PER_PAGE);
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        PrintShownResult(gunScreenState);
    }
}

void DrawKineticsDisplay(uint8_t)
{
    static constexpr uint16_t kaunTexts[2] = {65, 153};
    DrawChoiceList(kaunTexts, 2, 80, 30, 12);
}

void DrawKineticsWait(uint8_t)
{
    uint32_t unSeconds = KineticsDelayLeftSeconds();
    DrawTime(152, 40, unSeconds / 60, unSeconds % 60, -1);
}

void DrawKineticsRun(uint8_t) { DrawReadingsPage(); }

void DrawKineticsResult(uint8_t)
{
    DrawReadingsPage();
    gfShowD8 = gKinetics.fPerMinute;
    gfShowD9 = gKinetics.fCorrelation;
    gfShowD7 = gfKineticsFinal;
    DisplayScript("F0A0 X64Y76c29 X64Y88c29 X64Y100c29 X68Y76T96 x6T63T64T15D8 X68Y88T97T15D9");
    DisplayScript(gMethod.bCalibration == 1 || gMethod.unDisplayOption != 1 ? "F0A0 X68Y100T98T15D7"
                                                                             : "F0A0 X68Y100T155T15D7");
}

void DrawKineticsGraph(uint8_t)
{
    KineticsPlot(80);
    GraphReset();
    for (int c = 0; c < 126; c++)
        GraphSetTracePoint(static_cast<uint8_t>(c), gKinetics.abPlot[c]);
    for (uint8_t k = 0; k < gKinetics.bCount && k < GRAPH_MARKERS; k++)
        GraphSetMarker(k, gKinetics.abMarkerColumn[k], gKinetics.abMarkerRow[k]);
    for (uint8_t i = 0; i < 5; i++) {
        GraphSetXTick(i, static_cast<uint8_t>(i * 125 / 4));
        GraphSetYTick(i, static_cast<uint8_t>(i * 20));
    }
    GraphDraw(GRAPH_LOWER);
    gfShowD7 = gKinetics.fPlotAbsLow;
    gfShowD8 = gKinetics.fPlotAbsHigh;
    GraphLabelYValues(gfShowD7, gfShowD8, GraphLabelDecimals(gfShowD7, gfShowD8, GRAPH_TICKED_LABEL_CHARS));
    gnShowI11 = 0;
    gnShowI10 = static_cast<int32_t>((gKinetics.aunTimeMs[gKinetics.bCount ? gKinetics.bCount - 1 : 0] + 500) / 1000);
    char szLast[12];
    std::snprintf(szLast, sizeof szLast, "%d", static_cast<int>(gnShowI10));
    GraphLabelXTexts("0", szLast);
    DisplayScript("F0A0 X76Y60T121 X76Y68T130 X76Y76T131 X130Y119T136");
}
