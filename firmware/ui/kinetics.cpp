// The kinetics screens: the display options (34), "No" / "Yes" / "Fixed
// time" (38), the start, interval and end times (40, 41, 42), the wait for
// the start (44), the timed readings (45) and the result and graph (46, 47).
#include "core/timers.h"
#include "display/script.h"
#include "measure/reading.h"
#include "ui/ui_internal.h"

namespace {

uint32_t gunShownStartSeconds = 0;  // remaining start delay last drawn, s

}  // namespace

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

void HandleKineticsTime()
{
    uint8_t bState = gunScreenState;
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        uint8_t& b = gbTimeField ? gbEditSeconds : gbEditMinutes;
        b = Key(KEY_UP) ? (b >= 59 ? 0 : b + 1) : (b == 0 ? 59 : b - 1);
        DrawScreen();
    } else if (Key(KEY_LEFT) || Key(KEY_RIGHT)) {
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
        Go(STATE_METHOD_PROGRAM);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_METHOD_PROGRAM);
    }
}

uint32_t Seconds(uint32_t unMinutes, uint32_t unSeconds) { return unMinutes * 60 + unSeconds; }

void HandleKineticsWait()
{
    uint32_t unSeconds = (gunScreenTimer + 19) / 20;
    if (Key(KEY_ESCAPE)) {
        Go(STATE_METHOD_RUN);
    } else if (gunScreenTimer == 0) {
        KineticsOutputStart(Seconds(gMethod.unIntervalMin, gMethod.unIntervalSec));
        TakeScreenReading(READ_SAMPLE);
        KineticsOutputReading();
        gbKineticsIndex = 0;
        gunScreenTimer = Seconds(gMethod.bEndMin, gMethod.bEndSec) * 20;
        Go(STATE_KINETICS_RUN);
    } else if (unSeconds != gunShownStartSeconds) {
        gunShownStartSeconds = unSeconds;
        DrawScreen();
    }
}

void HandleKineticsRun()
{
    if (Key(KEY_ESCAPE)) {
        KineticsOutputEnd();
        Go(STATE_METHOD_RUN);
    } else if (gunScreenTimer == 0) {
        KineticsOutputEnd();
        Go(STATE_KINETICS_RESULT);
        PrintAfterSampleReading();
    }
}

void HandleKineticsResult()
{
    if (Key(KEY_ESCAPE))
        Go(STATE_METHOD_SUMMARY);
    else if (Key(KEY_SOFT1))
        Go(gunScreenState == STATE_KINETICS_RESULT ? STATE_KINETICS_GRAPH : STATE_KINETICS_RESULT);
    else if (Key(KEY_SOFT4))
        PrintShownResult(gunScreenState);
}

void DrawKineticsDisplay(uint8_t)
{
    static constexpr uint16_t kaunTexts[2] = {65, 153};
    DrawChoiceList(kaunTexts, 2, 80, 30, 12);
}

void DrawKineticsWait(uint8_t)
{
    uint32_t unSeconds = (gunScreenTimer + 19) / 20;
    DrawTime(152, 40, unSeconds / 60, unSeconds % 60, -1);
}

void DrawKineticsResult(uint8_t)
{
    gfShowD7 = gfShownAbs;
    gfShowD8 = 0.0;
    gfShowD9 = 0.0;
    DrawFragment(FRAG_KINETICS_RESULT);
}
