// The key handlers of the screen states and the table the step dispatches
// through. A handler tests the pass's key against the keys its state
// accepts; any other key changes nothing.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "comms/remote.h"
#include "comms/serial.h"
#include "core/timers.h"
#include "display/language.h"
#include "measure/diag.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui.h"
#include "ui/ui_internal.h"


// The set-up menu's service sequence: three keys, each within 100 ticks of the last.
constexpr uint8_t SETUP_SERVICE_KEYS[3] = {KEY_UP, KEY_DOWN, KEY_TEST};

uint16_t gunSavedNm[4];  // stored wavelengths on entry to a wavelength editor, nm
double gfEditTarget;     // value under the number editor
uint8_t gbNumberCaller;  // state the number editor returns to

void Go(uint8_t bState) { ShowStateScreen(bState); }
bool Key(uint8_t bKey) { return gunKeyCode == bKey; }

void GoPrint(uint8_t bReturn)
{
    gunPrintReturnState = bReturn;
    gunSampleOnEntry = gunSampleNumber;
    Go(STATE_SAMPLE_NUMBER);
}

// Accepts an edited 16-bit setting: the working copy held the edit, the
// setter writes the stored value when it differs from the one on entry.
void AcceptWord(uint16_t* punWorking, uint16_t unOnEntry, void (*pfnSetter)(uint16_t))
{
    uint16_t unEdited = *punWorking;
    *punWorking = unOnEntry;
    pfnSetter(unEdited);
}

void SetMultiWavelength0(uint16_t un) { SetMultiWavelength(0, un); }
void SetMultiWavelength1(uint16_t un) { SetMultiWavelength(1, un); }
void SetMultiWavelength2(uint16_t un) { SetMultiWavelength(2, un); }
void SetMultiWavelength3(uint16_t un) { SetMultiWavelength(3, un); }
void (*const gapfnSetMulti[4])(uint16_t) = {SetMultiWavelength0, SetMultiWavelength1, SetMultiWavelength2,
                                            SetMultiWavelength3};

// REF and TEST on a direct measuring screen.
bool HandleReadingKeys()
{
    if (Key(KEY_REF)) {
        TakeScreenReading(READ_REFERENCE);
        DrawScreen();
        return true;
    }
    if (Key(KEY_TEST)) {
        TakeScreenReading(READ_SAMPLE);
        DrawScreen();
        return true;
    }
    return false;
}

// Number editor (7 characters: sign, then digits with one point).
void StartNumberEditor(double fValue, uint8_t bCaller)
{
    double fMagnitude = std::fabs(fValue);
    int nDecimals = fMagnitude >= 9999.95 ? 0 : fMagnitude >= 999.995 ? 1 : fMagnitude >= 99.9995 ? 2
                  : fMagnitude >= 9.99995 ? 3 : fMagnitude >= 0.999995 ? 4 : 5;
    char szDigits[24];
    std::snprintf(szDigits, sizeof szDigits, "%.*f%s", nDecimals, fMagnitude > 999999.0 ? 999999.0 : fMagnitude,
                  nDecimals == 0 ? "." : "");
    std::snprintf(gszNumberText, sizeof gszNumberText, "%c%.6s", fValue < 0 ? '-' : ' ', szDigits);
    while (std::strlen(gszNumberText) < 7)
        std::strncat(gszNumberText, "0", sizeof gszNumberText - std::strlen(gszNumberText) - 1);
    std::memcpy(gszEditCopy, gszNumberText, sizeof gszNumberText);
    gbNumberCursor = 1;
    gbNumberCaller = bCaller;
    gfEditTarget = fValue;
}

double NumberEditorValue()
{
    double f = 0.0;
    std::sscanf(gszNumberText, " %lf", &f);
    return f;
}

// The number editor's keys; true when the key was taken.
bool HandleNumberKeys()
{
    char* psz = gszNumberText;
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        char& c = psz[gbNumberCursor];
        if (c >= '0' && c <= '9')
            c = Key(KEY_UP) ? (c == '9' ? '0' : c + 1) : (c == '0' ? '9' : c - 1);
        return true;
    }
    if (Key(KEY_LEFT) || Key(KEY_RIGHT)) {
        int n = gbNumberCursor;
        do {
            n += Key(KEY_RIGHT) ? 1 : -1;
            if (n > 6)
                n = 1;
            if (n < 1)
                n = 6;
        } while (psz[n] == '.');
        gbNumberCursor = static_cast<uint8_t>(n);
        return true;
    }
    if (Key(KEY_SOFT2)) {
        psz[0] = psz[0] == '-' ? ' ' : '-';
        return true;
    }
    if (Key(KEY_SOFT3)) {
        char* pPoint = std::strchr(psz + 1, '.');
        if (!pPoint)
            return true;
        int nPoint = static_cast<int>(pPoint - psz);
        if (nPoint < 6) {
            psz[nPoint] = psz[nPoint + 1];
            psz[nPoint + 1] = '.';
        } else {
            for (int i = 6; i > 2; i--)
                psz[i] = psz[i - 1];
            psz[2] = '.';
        }
        if (psz[gbNumberCursor] == '.')
            gbNumberCursor = gbNumberCursor == 1 ? 2 : static_cast<uint8_t>(gbNumberCursor - 1);
        return true;
    }
    return false;
}

// ---- menus -----------------------------------------------------------------

void HandleMainMenu()
{
    if (Key(KEY_SOFT1)) {
        uint8_t bLast = gunLastOperation;
        if (!StateIsMeasuring(bLast))
            return;
        if (bLast == STATE_METHOD_SUMMARY || bLast == STATE_METHOD_RUN)
            LoadMethodWork(gunCurrentMethod);
        if (bLast == STATE_SCAN) {
            gunScanReturnState = STATE_MEASURE_MENU;
            gunScreenSubState = 0;
        }
        RecomputeValues();
        Go(bLast);
    } else if (Key(KEY_SOFT2)) {
        Go(STATE_MEASURE_MENU);
    } else if (Key(KEY_SOFT3)) {
        gbServiceStep = 0;
        Go(STATE_SETUP_MENU);
    }
}

void HandleMeasureMenu()
{
    if (Key(KEY_ESCAPE)) {
        Go(STATE_MAIN_MENU);
    } else if (Key(KEY_SOFT1)) {
        Go(STATE_CHOOSE_MEASUREMENT);
    } else if (Key(KEY_SOFT2)) {
        RecomputeValues();
        Go(STATE_CELL_DENSITY);
    } else if (Key(KEY_SOFT3)) {
        if (gunMethodListPage > 96 || gunMethodListPage % 8 != 0)
            SetMethodListPage(0);
        LoadMethodPage(gunMethodListPage);
        if (gunMethodListRow >= gbMethodListRows)
            SetMethodListRow(0);
        Go(STATE_METHOD_LIST);
    } else if (Key(KEY_SOFT4)) {
        GoScan(STATE_MEASURE_MENU);
    }
}

void HandleSetupMenu()
{
    if (gunKeyCode != KEY_NONE && gbServiceStep < 3) {
        bool bInTime = gbServiceStep == 0 || gunScreenTimer != 0;
        if (bInTime && Key(SETUP_SERVICE_KEYS[gbServiceStep])) {
            gbServiceStep++;
            gunScreenTimer = SERVICE_WINDOW_TICKS;
            if (gbServiceStep == 3) {
                gbServiceStep = 0;
                Go(STATE_SERVICE_MENU);
                return;
            }
        } else {
            gbServiceStep = Key(SETUP_SERVICE_KEYS[0]) ? 1 : 0;
            gunScreenTimer = SERVICE_WINDOW_TICKS;
        }
    }
    if (Key(KEY_ESCAPE)) {
        Go(STATE_MAIN_MENU);
    } else if (Key(KEY_SOFT1)) {
        gbChoice = gbLanguage < LANGUAGE_COUNT ? gbLanguage : 0;
        gbMessageShown = 0;
        Go(STATE_LANGUAGE);
    } else if (Key(KEY_SOFT2)) {
        Go(STATE_COMMS_MENU);
    } else if (Key(KEY_SOFT3)) {
        uint8_t abClock[6];
        ReadClock(abClock);
        gabEditDate[0] = abClock[3];
        gabEditDate[1] = abClock[4];
        gabEditDate[2] = abClock[0];
        gabEditDate[3] = abClock[1];
        gabEditDate[4] = abClock[2];
        Go(STATE_SET_HOURS);
    } else if (Key(KEY_SOFT4) && gbHeaterFitted) {
        gbSavedHeater = gbHeaterOn;
        Go(STATE_HEATER);
    }
}

void HandleChooseMeasurement()
{
    if (Key(KEY_ESCAPE))
        Go(STATE_MEASURE_MENU);
    else if (Key(KEY_SOFT1))
        Go(STATE_SINGLE_MEASURE);
    else if (Key(KEY_SOFT2))
        Go(STATE_MULTI_MEASURE);
    else if (Key(KEY_SOFT3))
        Go(STATE_RATIO_MEASURE);
}

// ---- direct measuring screens ---------------------------------------------

void HandleSingle()
{
    if (HandleReadingKeys())
        return;
    if (Key(KEY_ESCAPE)) {
        Go(STATE_MEASURE_MENU);
    } else if (Key(KEY_SOFT1)) {
        SetTransmittanceMode(gbTransmittanceMode ? 0 : 1);
        DrawScreen();
    } else if (Key(KEY_SOFT2)) {
        gunSavedNm[0] = gunWavelength;
        Go(STATE_SINGLE_WAVELENGTH);
    } else if (Key(KEY_SOFT3)) {
        GoScan(STATE_SINGLE_MEASURE);
    } else if (Key(KEY_SOFT4)) {
        GoPrint(STATE_SINGLE_MEASURE);
    }
}

void HandleSingleWavelength()
{
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        gunWavelength = StepWavelength(gunWavelength, Key(KEY_UP) ? 1 : -1);
        RecomputeValues();
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        SetTransmittanceMode(gbTransmittanceMode ? 0 : 1);
        DrawScreen();
    } else if (Key(KEY_SOFT2)) {
        AcceptWord(&gunWavelength, gunSavedNm[0], SetWavelength);
        Go(STATE_SINGLE_MEASURE);
    } else if (Key(KEY_SOFT3)) {
        AcceptWord(&gunWavelength, gunSavedNm[0], SetWavelength);
        GoScan(STATE_SINGLE_MEASURE);
    } else if (Key(KEY_ESCAPE)) {
        gunWavelength = gunSavedNm[0];
        RecomputeValues();
        Go(STATE_SINGLE_MEASURE);
    }
}

void HandleRatio()
{
    if (HandleReadingKeys())
        return;
    if (Key(KEY_ESCAPE)) {
        Go(STATE_MEASURE_MENU);
    } else if (Key(KEY_SOFT1) || Key(KEY_SOFT2)) {
        gunSavedNm[0] = gunWavelengthB;
        gunSavedNm[1] = gunWavelengthC;
        Go(Key(KEY_SOFT1) ? STATE_RATIO_WAVELENGTH_1 : STATE_RATIO_WAVELENGTH_2);
    } else if (Key(KEY_SOFT3)) {
        GoScan(STATE_RATIO_MEASURE);
    } else if (Key(KEY_SOFT4)) {
        GoPrint(STATE_RATIO_MEASURE);
    }
}

void AcceptRatioWavelengths()
{
    AcceptWord(&gunWavelengthB, gunSavedNm[0], SetWavelengthB);
    AcceptWord(&gunWavelengthC, gunSavedNm[1], SetWavelengthC);
    gunSavedNm[0] = gunWavelengthB;
    gunSavedNm[1] = gunWavelengthC;
}

void HandleRatioWavelength()
{
    uint8_t bState = gunScreenState;
    uint16_t* punNm = bState == STATE_RATIO_WAVELENGTH_1 ? &gunWavelengthB : &gunWavelengthC;
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        *punNm = StepWavelength(*punNm, Key(KEY_UP) ? 1 : -1);
        RecomputeValues();
        DrawScreen();
    } else if (Key(KEY_SOFT1) || Key(KEY_SOFT2)) {
        uint8_t bOwnKey = bState == STATE_RATIO_WAVELENGTH_1 ? KEY_SOFT1 : KEY_SOFT2;
        if (Key(bOwnKey)) {
            AcceptRatioWavelengths();
            Go(STATE_RATIO_MEASURE);
        } else {
            Go(bState == STATE_RATIO_WAVELENGTH_1 ? STATE_RATIO_WAVELENGTH_2 : STATE_RATIO_WAVELENGTH_1);
        }
    } else if (Key(KEY_ESCAPE)) {
        gunWavelengthB = gunSavedNm[0];
        gunWavelengthC = gunSavedNm[1];
        RecomputeValues();
        Go(STATE_RATIO_MEASURE);
    } else if (Key(KEY_SOFT3)) {
        AcceptRatioWavelengths();
        GoScan(STATE_RATIO_MEASURE);
    } else if (Key(KEY_SOFT4)) {
        AcceptRatioWavelengths();
        GoPrint(STATE_RATIO_MEASURE);
    }
}

void HandleMulti()
{
    if (HandleReadingKeys())
        return;
    if (Key(KEY_ESCAPE)) {
        Go(STATE_MEASURE_MENU);
    } else if (Key(KEY_SOFT1)) {
        for (int i = 0; i < 4; i++)
            gunSavedNm[i] = gunMultiWavelength[i];
        gbMultiSelected = 0;
        Go(STATE_MULTI_WAVELENGTHS);
    } else if (Key(KEY_SOFT3)) {
        GoScan(STATE_MULTI_MEASURE);
    } else if (Key(KEY_SOFT4)) {
        GoPrint(STATE_MULTI_MEASURE);
    }
}

void HandleMultiWavelength()
{
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        uint16_t& unNm = gunMultiWavelength[gbMultiSelected & 3];
        unNm = StepWavelength(unNm, Key(KEY_UP) ? 1 : -1);
        RecomputeValues();
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        gbMultiSelected = static_cast<uint8_t>((gbMultiSelected + 1) & 3);
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        for (int i = 0; i < 4; i++)
            AcceptWord(&gunMultiWavelength[i], gunSavedNm[i], gapfnSetMulti[i]);
        Go(STATE_MULTI_MEASURE);
    } else if (Key(KEY_ESCAPE)) {
        for (int i = 0; i < 4; i++)
            gunMultiWavelength[i] = gunSavedNm[i];
        RecomputeValues();
        Go(STATE_MULTI_MEASURE);
    }
}

void HandleCellDensity()
{
    if (HandleReadingKeys())
        return;
    if (Key(KEY_ESCAPE))
        Go(STATE_MEASURE_MENU);
    else if (Key(KEY_SOFT4))
        GoPrint(STATE_CELL_DENSITY);
}

// ---- methods ---------------------------------------------------------------

void HandleMethodList()
{
    uint8_t bLastRow = static_cast<uint8_t>(gbMethodListRows - 1);
    if (Key(KEY_UP)) {
        SetMethodListRow(gunMethodListRow == 0 ? bLastRow : static_cast<uint8_t>(gunMethodListRow - 1));
        DrawScreen();
    } else if (Key(KEY_DOWN)) {
        SetMethodListRow(gunMethodListRow >= bLastRow ? 0 : static_cast<uint8_t>(gunMethodListRow + 1));
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        int nSlot = FindFreeMethodSlot();
        if (nSlot < 0) {
            gunScreenTimer = MEMORY_FULL_TICKS;
            Go(STATE_MEMORY_FULL);
            return;
        }
        SetCurrentMethod(static_cast<uint8_t>(nSlot));
        LoadMethodWork(gunCurrentMethod);
        SetMethodField(0);
        Go(STATE_METHOD_PROGRAM);
    } else if (Key(KEY_SOFT2) && gunMethodListPage != 0) {
        SetMethodListPage(static_cast<uint8_t>(gunMethodListPage - 8));
        LoadMethodPage(gunMethodListPage);
        DrawScreen();
    } else if (Key(KEY_SOFT3) && gunMethodListPage < 96) {
        SetMethodListPage(static_cast<uint8_t>(gunMethodListPage + 8));
        LoadMethodPage(gunMethodListPage);
        if (gunMethodListRow >= gbMethodListRows)
            SetMethodListRow(0);
        if (gbMethodListRows < 8)
            DrawFragment(FRAG_LIST_BLANK_LOWER);
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        SetCurrentMethod(static_cast<uint8_t>(gunMethodListPage + gunMethodListRow));
        LoadMethodWork(gunCurrentMethod);
        SetMethodField(0);
        Go(STATE_METHOD_SUMMARY);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_MEASURE_MENU);
    }
}

void HandleMethodSummary()
{
    if (Key(KEY_SOFT1)) {
        LoadMethodWork(gunCurrentMethod);
        RecomputeValues();
        Go(STATE_METHOD_RUN);
    } else if (Key(KEY_SOFT2)) {
        SetMethodField(0);
        Go(STATE_METHOD_PROGRAM);
    } else if (Key(KEY_SOFT3)) {
        Go(STATE_DELETE_METHOD);
    } else if (Key(KEY_ESCAPE)) {
        LoadMethodPage(gunMethodListPage);
        Go(STATE_METHOD_LIST);
    }
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

// "Cal will only accept LINE" / "Please select LINE cal" on the bottom line
// for 60 ticks; keys are ignored meanwhile.
uint8_t gbProgramMessage = 0;  // 1 while the message is shown

void ShowProgramMessage(uint16_t unText)
{
    Go(STATE_METHOD_PROGRAM);
    DrawText(70, 120, unText);
    gunMessageTimer = 60;
    gbProgramMessage = 1;
}

void HandleMethodProgram()
{
    if (gbProgramMessage) {
        if (gunMessageTimer != 0)
            return;
        gbProgramMessage = 0;
        EraseCells(64, 120, 29);
        DrawScreen();
        return;
    }
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        int nField = gunMethodField;
        do {
            nField += Key(KEY_DOWN) ? 1 : -1;
            if (nField > 8)
                nField = 0;
            if (nField < 0)
                nField = 8;
        } while (!MethodFieldApplies(static_cast<uint8_t>(nField)));
        SetMethodField(static_cast<uint8_t>(nField));
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        switch (gunMethodField) {
        case 0:
            std::memcpy(gszEditCopy, gMethod.szName, METHOD_NAME_LENGTH + 1);
            if (std::strcmp(gMethod.szName, "XXXXXXXXXXXXX") == 0)
                std::memset(gMethod.szName, ' ', METHOD_NAME_LENGTH);
            gbNameCursor = 0;
            Go(STATE_METHOD_NAME);
            break;
        case 1:
            gunSavedNm[0] = static_cast<uint16_t>(gMethod.unWavelength);
            Go(STATE_METHOD_WAVELENGTH);
            break;
        case 2:
            gbChoice = static_cast<uint8_t>(gMethod.unUnits);
            Go(STATE_METHOD_UNITS);
            break;
        case 3:
            gbChoice = gMethod.bCalibration;
            Go(STATE_METHOD_CALIBRATION);
            break;
        case 4:
            StartNumberEditor(gMethod.fFactor, STATE_METHOD_PROGRAM);
            Go(STATE_METHOD_FACTOR);
            break;
        case 5:
            gbChoice = static_cast<uint8_t>(gMethod.unKinetics);
            Go(STATE_METHOD_KINETICS);
            break;
        case 6:
        case 7:
        case 8:
            StartTimeEditor(static_cast<uint8_t>(STATE_KINETICS_START_TIME + gunMethodField - 6));
            break;
        default:
            SetMethodField(0);
            DrawScreen();
            break;
        }
    } else if (Key(KEY_SOFT1)) {
        if (gMethod.unKinetics == 1 && gMethod.unIntervalMin == 0 && gMethod.unIntervalSec < 10) {
            SetMethodField(7);
            StartTimeEditor(STATE_KINETICS_INTERVAL);
        } else if (gMethod.bCalibration == 0 && gMethod.unKinetics == 0) {
            gbChoice = static_cast<uint8_t>(gMethod.unDisplayOption <= 2 ? gMethod.unDisplayOption : 0);
            Go(STATE_FACTOR_DISPLAY);
        } else {
            SaveMethodWork();
            Go(STATE_METHOD_SUMMARY);
        }
    } else if (Key(KEY_ESCAPE)) {
        LoadMethodWork(gunCurrentMethod);
        LoadMethodPage(gunMethodListPage);
        Go(STATE_METHOD_LIST);
    }
}

void HandleNameEditor()
{
    static const char kszCycle[] = " ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    constexpr int CYCLE = sizeof kszCycle - 1;
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        char& c = gMethod.szName[gbNameCursor % METHOD_NAME_LENGTH];
        const char* p = std::strchr(kszCycle, c);
        int n = p && c ? static_cast<int>(p - kszCycle) : 0;
        n = (n + (Key(KEY_UP) ? 1 : CYCLE - 1)) % CYCLE;
        c = kszCycle[n];
        DrawScreen();
    } else if (Key(KEY_LEFT) && gbNameCursor > 0) {
        gbNameCursor--;
        DrawScreen();
    } else if (Key(KEY_RIGHT) && gbNameCursor < METHOD_NAME_LENGTH - 1) {
        gbNameCursor++;
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        Go(STATE_METHOD_PROGRAM);
    } else if (Key(KEY_ESCAPE)) {
        std::memcpy(gMethod.szName, gszEditCopy, METHOD_NAME_LENGTH + 1);
        Go(STATE_METHOD_PROGRAM);
    }
}

void HandleMethodWavelength()
{
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        gMethod.unWavelength = StepWavelength(static_cast<uint16_t>(gMethod.unWavelength), Key(KEY_UP) ? 1 : -1);
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        Go(STATE_METHOD_PROGRAM);
    } else if (Key(KEY_ESCAPE)) {
        gMethod.unWavelength = gunSavedNm[0];
        Go(STATE_METHOD_PROGRAM);
    }
}

void HandleCalibrationChoice()
{
    if (Key(KEY_LEFT) || Key(KEY_RIGHT)) {
        gbChoice = gbChoice ? 0 : 1;
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        if (gbChoice == 1 && gMethod.unKinetics != 0) {
            // A standard curve and kinetics exclude each other.
            gMethod.bCalibration = 0;
            ShowProgramMessage(152);
            return;
        }
        gMethod.bCalibration = gbChoice;
        Go(gbChoice == 1 ? STATE_STANDARDS_TABLE : STATE_METHOD_PROGRAM);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_METHOD_PROGRAM);
    }
}

void HandleFactorEntry()
{
    if (HandleNumberKeys()) {
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        gMethod.fFactor = NumberEditorValue();
        SetMethodField(5);
        Go(STATE_METHOD_PROGRAM);
    } else if (Key(KEY_ESCAPE)) {
        std::memcpy(gszNumberText, gszEditCopy, sizeof gszNumberText);
        Go(STATE_METHOD_PROGRAM);
    }
}

// A chooser moved by Up/Down over nCount items with wrap-around.
bool MoveChoice(uint8_t bCount)
{
    if (Key(KEY_UP)) {
        gbChoice = gbChoice == 0 ? static_cast<uint8_t>(bCount - 1) : static_cast<uint8_t>(gbChoice - 1);
        return true;
    }
    if (Key(KEY_DOWN)) {
        gbChoice = gbChoice + 1 >= bCount ? 0 : static_cast<uint8_t>(gbChoice + 1);
        return true;
    }
    return false;
}

void HandleKineticsDisplay()
{
    if (MoveChoice(2)) {
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        gMethod.unDisplayOption = gbChoice;
        gunDisplayOption = gbChoice;
        Go(STATE_METHOD_PROGRAM);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_METHOD_PROGRAM);
    }
}

void HandleUnits()
{
    if (MoveChoice(19)) {
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        gMethod.unUnits = gbChoice;
        Go(STATE_METHOD_PROGRAM);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_METHOD_PROGRAM);
    }
}

void HandleKineticsChoice()
{
    if (Key(KEY_LEFT)) {
        gbChoice = gbChoice == 0 ? 2 : static_cast<uint8_t>(gbChoice - 1);
        DrawScreen();
    } else if (Key(KEY_RIGHT)) {
        gbChoice = gbChoice >= 2 ? 0 : static_cast<uint8_t>(gbChoice + 1);
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
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
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_METHOD_PROGRAM);
    }
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

void HandleMethodRun()
{
    if (Key(KEY_TEST) && gMethod.unKinetics != 0) {
        uint32_t unDelay = Seconds(gMethod.unStartMin, gMethod.unStartSec);
        ResetElapsedMs();
        if (unDelay != 0) {
            gunScreenTimer = unDelay * 20;
            Go(STATE_KINETICS_WAIT);
        } else {
            TakeScreenReading(READ_SAMPLE);
            gbKineticsIndex = 0;
            gunScreenTimer = Seconds(gMethod.bEndMin, gMethod.bEndSec) * 20;
            Go(STATE_KINETICS_RUN);
        }
        return;
    }
    if (HandleReadingKeys())
        return;
    if (Key(KEY_SOFT3)) {
        gbScanColumn = static_cast<uint8_t>((gMethod.unWavelength - WAVELENGTH_MIN) / 4);
        GoScan(STATE_METHOD_RUN);
    } else if (Key(KEY_SOFT4)) {
        GoPrint(STATE_METHOD_RUN);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_METHOD_SUMMARY);
    }
}

uint32_t gunShownStartSeconds = 0;  // remaining start delay last drawn, s

void HandleKineticsWait()
{
    uint32_t unSeconds = (gunScreenTimer + 19) / 20;
    if (Key(KEY_ESCAPE)) {
        Go(STATE_METHOD_RUN);
    } else if (gunScreenTimer == 0) {
        TakeScreenReading(READ_SAMPLE);
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
    if (Key(KEY_ESCAPE))
        Go(STATE_METHOD_RUN);
    else if (gunScreenTimer == 0)
        Go(STATE_KINETICS_RESULT);
}

void HandleKineticsResult()
{
    if (Key(KEY_ESCAPE))
        Go(STATE_METHOD_SUMMARY);
    else if (Key(KEY_SOFT1))
        Go(gunScreenState == STATE_KINETICS_RESULT ? STATE_KINETICS_GRAPH : STATE_KINETICS_RESULT);
}

// ---- standard curves -------------------------------------------------------

bool StandardSet(int i) { return gMethod.afStdConc[i] != 100000.0; }

void HandleStandardsTable()
{
    if (Key(KEY_SOFT1)) {
        Go(STATE_SET_STANDARD);
    } else if (Key(KEY_SOFT2)) {
        Go(STATE_SET_ABSORBANCE);
    } else if (Key(KEY_SOFT3)) {
        gbChoice = gMethod.bCurveFit;
        Go(STATE_CURVE_FIT);
    } else if (Key(KEY_SOFT4)) {
        Go(StandardSet(0) || StandardSet(1) ? STATE_CURVE_COEFFICIENTS : STATE_INVALID_CURVE);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_METHOD_PROGRAM);
    }
}

bool MoveStandardsRow()
{
    if (Key(KEY_UP)) {
        SetStandardsRow(gunStandardsRow == 0 ? 4 : static_cast<uint8_t>(gunStandardsRow - 1));
        return true;
    }
    if (Key(KEY_DOWN)) {
        SetStandardsRow(gunStandardsRow >= 4 ? 0 : static_cast<uint8_t>(gunStandardsRow + 1));
        return true;
    }
    return false;
}

void HandleSetStandard()
{
    uint8_t bRow = gunStandardsRow % 5;
    if (MoveStandardsRow()) {
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        StartNumberEditor(StandardSet(bRow) ? gMethod.afStdConc[bRow] : 0.0, STATE_SET_STANDARD);
        Go(STATE_STANDARD_ENTRY);
    } else if (Key(KEY_SOFT3)) {
        gMethod.afStdConc[bRow] = 100000.0;
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        Go(STATE_SET_ABSORBANCE);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_STANDARDS_TABLE);
    }
}

void HandleStandardEntry()
{
    uint8_t bRow = gunStandardsRow % 5;
    if (HandleNumberKeys()) {
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        if (gunScreenState == STATE_STANDARD_ENTRY)
            gMethod.afStdConc[bRow] = NumberEditorValue();
        else
            gMethod.afStdAbs[bRow] = NumberEditorValue();
        Go(gbNumberCaller);
    } else if (Key(KEY_ESCAPE)) {
        Go(gbNumberCaller);
    }
}

void HandleSetAbsorbance()
{
    uint8_t bRow = gunStandardsRow % 5;
    if (MoveStandardsRow()) {
        DrawScreen();
    } else if (Key(KEY_REF)) {
        TakeScreenReading(READ_REFERENCE);
        DrawScreen();
    } else if (Key(KEY_TEST)) {
        TakeScreenReading(READ_SAMPLE);
        double fAbs = Absorbance(static_cast<int32_t>(gMethod.unWavelength));
        if (fAbs >= 0.0)
            gMethod.afStdAbs[bRow] = std::floor(fAbs * 1000.0 + 0.5) / 1000.0;
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        StartNumberEditor(gMethod.afStdAbs[bRow], STATE_SET_ABSORBANCE);
        Go(STATE_ABSORBANCE_ENTRY);
    } else if (Key(KEY_SOFT3)) {
        gMethod.afStdAbs[bRow] = 0.0;
        DrawScreen();
    } else if (Key(KEY_SOFT4) || Key(KEY_ESCAPE)) {
        Go(STATE_STANDARDS_TABLE);
    }
}

void HandleInvalidCurve()
{
    if (Key(KEY_SOFT1) || Key(KEY_ESCAPE))
        Go(STATE_STANDARDS_TABLE);
    else if (Key(KEY_SOFT4))
        Go(STATE_METHOD_PROGRAM);
}

void HandleCurveCoefficients()
{
    if (Key(KEY_SOFT1) || Key(KEY_ESCAPE))
        Go(STATE_STANDARDS_TABLE);
    else if (Key(KEY_SOFT3))
        Go(STATE_METHOD_PROGRAM);
}

void HandleCurveFit()
{
    if (MoveChoice(2)) {
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        gMethod.bCurveFit = gbChoice;
        Go(STATE_STANDARDS_TABLE);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_STANDARDS_TABLE);
    }
}

// ---- confirmation, messages, printing -------------------------------------

void HandleMemoryFull()
{
    if (gunScreenTimer == 0)
        Go(STATE_METHOD_LIST);
}

void HandleDeleteConfirm()
{
    if (Key(KEY_SOFT1)) {
        DeleteMethodSlot(gunCurrentMethod);
        LoadMethodPage(gunMethodListPage);
        Go(STATE_METHOD_LIST);
    } else if (Key(KEY_SOFT2) || Key(KEY_ESCAPE)) {
        Go(STATE_METHOD_SUMMARY);
    }
}

void HandleSampleNumber()
{
    if (Key(KEY_UP)) {
        SetSampleNumber(gunSampleNumber >= 99 ? 0 : static_cast<uint8_t>(gunSampleNumber + 1));
        DrawScreen();
    } else if (Key(KEY_DOWN)) {
        SetSampleNumber(gunSampleNumber == 0 || gunSampleNumber > 99 ? 99 : static_cast<uint8_t>(gunSampleNumber - 1));
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        Go(gunPrintReturnState);
    } else if (Key(KEY_ESCAPE)) {
        SetSampleNumber(gunSampleOnEntry);
        Go(gunPrintReturnState);
    }
}

void HandleFactorDisplay()
{
    if (MoveChoice(3)) {
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        gMethod.unDisplayOption = gbChoice;
        gunDisplayOption = gbChoice;
        SaveMethodWork();
        Go(STATE_METHOD_SUMMARY);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_METHOD_PROGRAM);
    }
}

// ---- service screens -------------------------------------------------------

void HandleServiceMenu()
{
    if (Key(KEY_SOFT1)) {
        gbFinalTestItem = 0;
        Go(STATE_FINAL_TEST);
    } else if (Key(KEY_SOFT2)) {
        gbDiagOption = 0;
        Go(STATE_DIAGNOSTICS);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_MAIN_MENU);
    }
}

void HandleFinalTest()
{
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        gbFinalTestItem = gbFinalTestItem ? 0 : 1;
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        Go(gbFinalTestItem == 0 ? STATE_LED_CHECK_CLEAR : STATE_STRAY_LIGHT_CHECK);
    } else if (Key(KEY_SOFT4) || Key(KEY_ESCAPE)) {
        Go(STATE_SERVICE_MENU);
    }
}

void SetDiagOption(uint8_t bOn)
{
    switch (gbDiagOption) {
    case 0:
        SetBaseSelfTestInfo(bOn);
        break;
    case 1:
        SetReadingsDump(bOn);
        break;
    case 2:
        SetPrintCalCoeff(bOn);
        break;
    default:
        gbAutoClock = bOn;
        break;
    }
}

void HandleDiagnostics()
{
    if (Key(KEY_UP)) {
        gbDiagOption = gbDiagOption == 0 ? 3 : static_cast<uint8_t>(gbDiagOption - 1);
        DrawScreen();
    } else if (Key(KEY_DOWN)) {
        gbDiagOption = gbDiagOption >= 3 ? 0 : static_cast<uint8_t>(gbDiagOption + 1);
        DrawScreen();
    } else if (Key(KEY_SOFT1) || Key(KEY_SOFT2)) {
        SetDiagOption(Key(KEY_SOFT1) ? 1 : 0);
        DrawScreen();
    } else if (Key(KEY_SOFT3)) {
        Go(STATE_DIAGNOSTIC_SCANS);
    } else if (Key(KEY_SOFT4)) {
        Go(STATE_SERVICE_MENU);
    }
}

void HandleDiagScans()
{
    if (Key(KEY_SOFT1) || Key(KEY_SOFT2) || Key(KEY_SOFT3)) {
        uint8_t bSub = static_cast<uint8_t>(7 + (gunKeyCode - KEY_SOFT1));
        gunScanReturnState = STATE_DIAGNOSTIC_SCANS;
        gunScreenSubState = bSub;
        Go(STATE_SCAN);
    } else if (Key(KEY_SOFT4)) {
        Go(STATE_DIAGNOSTICS_TABLE);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_DIAGNOSTICS);
    }
}

void HandleDiagTable()
{
    if (Key(KEY_REF)) {
        gunDiagResult = 0;
        RunSelfDiagnostics(&gunDiagResult);
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        gbAutoClock = gbAutoClock ? 0 : 1;
        DrawScreen();
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_DIAGNOSTIC_SCANS);
    }
}

void HandleLedCheck()
{
    uint8_t bState = gunScreenState;
    if (Key(KEY_ESCAPE)) {
        Go(STATE_FINAL_TEST);
    } else if (bState == STATE_LED_CHECK_CLEAR && Key(KEY_SOFT4)) {
        Go(STATE_LED_CHECK_HOLMIUM);
    } else if (bState == STATE_LED_CHECK_HOLMIUM && Key(KEY_SOFT4)) {
        Go(STATE_LED_CHECK_REFERENCE);
    } else if (bState == STATE_LED_CHECK_REFERENCE && Key(KEY_REF)) {
        TakeScreenReading(READ_REFERENCE);
        Go(STATE_LED_CHECK_LED);
    }
}

void HandleStrayLight()
{
    if (Key(KEY_ESCAPE))
        Go(STATE_FINAL_TEST);
}

// ---- set-up ----------------------------------------------------------------

void HandleLanguage()
{
    if (MoveChoice(LANGUAGE_COUNT)) {
        gbMessageShown = 0;
        DrawScreen();
    } else if (Key(KEY_SOFT1)) {
        if (LanguageTextIn(gbChoice, 0)[0] == '\0') {
            gbMessageShown = 1;
            DrawScreen();
            return;
        }
        SetLanguage(gbChoice);
        Go(STATE_SETUP_MENU);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_SETUP_MENU);
    }
}

void HandleHeater()
{
    if (Key(KEY_LEFT) || Key(KEY_RIGHT)) {
        gbHeaterOn = gbHeaterOn ? 0 : 1;
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        Go(STATE_SETUP_MENU);
    } else if (Key(KEY_ESCAPE)) {
        gbHeaterOn = gbSavedHeater;
        Go(STATE_SETUP_MENU);
    }
}

void HandleComms()
{
    if (Key(KEY_SOFT1)) {
        gbSavedDevice = gbOutputDevice;
        gbSavedBaud = gbBaudRate;
        gbSavedAutoPrint = gbAutoPrint;
        Go(STATE_SERIAL_PORT);
    } else if (Key(KEY_SOFT2)) {
        gbUploading = 0;
        Go(STATE_SOFTWARE_UPDATE);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_SETUP_MENU);
    }
}

void HandleSerialPort()
{
    if (Key(KEY_SOFT1)) {
        uint8_t bDevice = gbOutputDevice >= 2 ? 0 : static_cast<uint8_t>(gbOutputDevice + 1);
        SetOutputDevice(bDevice);
        SetBaudRate(bDevice == 2 ? 1 : 0);
        DrawScreen();
    } else if (Key(KEY_SOFT2)) {
        SetBaudRate(gbBaudRate ? 0 : 1);
        DrawScreen();
    } else if (Key(KEY_SOFT3)) {
        SetAutoPrint(gbAutoPrint ? 0 : 1);
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        SerialSetBaud(gbBaudRate);
        Go(STATE_SETUP_MENU);
    } else if (Key(KEY_ESCAPE)) {
        SetOutputDevice(gbSavedDevice);
        SetBaudRate(gbSavedBaud);
        SetAutoPrint(gbSavedAutoPrint);
        Go(STATE_SETUP_MENU);
    }
}

void HandleSoftwareUpdate()
{
    if (Key(KEY_SOFT4)) {
        gbUploading = 1;
        DrawScreen();
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_COMMS_MENU);
    }
}

// Date-time editor fields in display order: hours, minutes, then the date
// fields; index into gabEditDate for each of states 62..66.
uint8_t DateFieldIndex(uint8_t bState)
{
    switch (bState) {
    case STATE_SET_HOURS:
        return 0;
    case STATE_SET_MINUTES:
        return 1;
    case STATE_SET_DATE_FIRST:
        return gbDateFormat == 1 ? 2 : 3;
    case STATE_SET_DATE_SECOND:
        return gbDateFormat == 1 ? 3 : 2;
    default:
        return 4;
    }
}

bool DateValid(uint8_t bDay, uint8_t bMonth, uint8_t bYear)
{
    if (bDay == 0 || bMonth == 0 || bMonth > 12)
        return false;
    static constexpr uint8_t kabDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    uint8_t bMax = kabDays[bMonth - 1];
    if (bMonth == 2 && bYear % 4 != 0)
        bMax = 28;
    return bDay <= bMax;
}

void HandleDateTime()
{
    uint8_t bState = gunScreenState;
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        static constexpr uint8_t kabMin[5] = {0, 0, 1, 1, 0};
        static constexpr uint8_t kabMax[5] = {23, 59, 31, 12, 99};
        uint8_t bField = DateFieldIndex(bState);
        uint8_t& b = gabEditDate[bField];
        if (Key(KEY_UP))
            b = b >= kabMax[bField] ? kabMin[bField] : static_cast<uint8_t>(b + 1);
        else
            b = b <= kabMin[bField] ? kabMax[bField] : static_cast<uint8_t>(b - 1);
        DrawScreen();
    } else if (Key(KEY_LEFT)) {
        Go(bState == STATE_SET_HOURS ? uint8_t{STATE_SET_YEAR} : static_cast<uint8_t>(bState - 1));
    } else if (Key(KEY_RIGHT)) {
        Go(bState == STATE_SET_YEAR ? uint8_t{STATE_SET_HOURS} : static_cast<uint8_t>(bState + 1));
    } else if (Key(KEY_SOFT1)) {
        SetDateFormat(gbDateFormat == 1 ? 0 : 1);
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        if (!DateValid(gabEditDate[2], gabEditDate[3], gabEditDate[4])) {
            Go(STATE_SET_DATE_FIRST);
            return;
        }
        // The instrument's clock is the computer's: the setting is accepted
        // and nothing is changed.
        Go(STATE_SETUP_MENU);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_SETUP_MENU);
    }
}
