// The method screens: the method list (25), summary (26), program (27) with
// its name (28), wavelength (29), calibration (31), factor (33) and units
// (36) editors, the method run (43), "Memory Full" (67), the delete
// question (68) and the factor display options (70).
#include <cstring>

#include "core/timers.h"
#include "display/lcd.h"
#include "display/script.h"
#include "measure/reading.h"
#include "measure/standard_curve.h"
#include "storage/params.h"
#include "ui/ui_internal.h"

uint8_t gbNameCursor = 0;  // name editor cursor 0..12

namespace {

// "Cal will only accept LINE" / "Please select LINE cal" on the bottom line
// for 60 ticks; keys are ignored meanwhile.
uint8_t gbProgramMessage = 0;  // 1 while the message is shown

// Method program rows: labels and value columns.
constexpr uint8_t FIELD_LABEL_X = 68;

constexpr uint8_t FIELD_VALUE_X = 128;

uint8_t FieldY(int nField) { return static_cast<uint8_t>(12 + 11 * nField); }

void DrawMethodListRows()
{
    for (int nRow = 0; nRow < gbMethodListRows; nRow++) {
        SetEditText(gaszMethodNames[nRow]);
        gnShowI0 = gunMethodListPage + nRow;
        gbCursorY = static_cast<uint8_t>(40 + 8 * nRow);
        DrawFragment(FRAG_LIST_ROW);
        if (nRow == gunMethodListRow)
            DisplayScript("F0A1X118S1");
    }
}

}  // namespace

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
    } else if (Key(KEY_SOFT4)) {
        PrintShownResult(STATE_METHOD_SUMMARY);
    } else if (Key(KEY_ESCAPE)) {
        LoadMethodPage(gunMethodListPage);
        Go(STATE_METHOD_LIST);
    }
}

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
            if (gMethod.unKinetics == 1)
                StoreKineticsReadingCount();
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

static void AcceptCalibration()
{
    if (gbChoice == 1 && gMethod.unKinetics != 0) {
        // A standard curve and kinetics exclude each other.
        gMethod.bCalibration = 0;
        ShowProgramMessage(152);
        return;
    }
    gMethod.bCalibration = gbChoice;
    if (gbChoice == 1)
        EnterStandardsTable();
    else
        Go(STATE_METHOD_PROGRAM);
}

void HandleCalibrationChoice()
{
    HandleChooser({2, KEY_LEFT, KEY_RIGHT, KEY_SOFT4, AcceptCalibration, STATE_METHOD_PROGRAM});
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

static void AcceptUnits()
{
    gMethod.unUnits = gbChoice;
    Go(STATE_METHOD_PROGRAM);
}

void HandleUnits() { HandleChooser({19, KEY_UP, KEY_DOWN, KEY_SOFT4, AcceptUnits, STATE_METHOD_PROGRAM}); }

void HandleMethodRun()
{
    if (Key(KEY_TEST) && gMethod.unKinetics != 0) {
        StartKineticsRun();
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

void HandleMemoryFull()
{
    // The message covers the lower rows of the list: the list is drawn
    // again whole.
    if (gunScreenTimer == 0) {
        gunLastDrawnState = STATE_NEVER_DRAWN;
        Go(STATE_METHOD_LIST);
    }
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

static void AcceptFactorDisplay()
{
    gMethod.unDisplayOption = gbChoice;
    gunDisplayOption = ShownDisplayOption();
    SaveMethodWork();
    Go(STATE_METHOD_SUMMARY);
}

void HandleFactorDisplay()
{
    HandleChooser({3, KEY_UP, KEY_DOWN, KEY_SOFT4, AcceptFactorDisplay, STATE_METHOD_PROGRAM});
}

void DrawMethodProgram(uint8_t bState)
{
    static constexpr uint16_t kaunLabel[9] = {48, 12, 51, 49, 123, 52, 81, 82, 83};
    static constexpr uint16_t kaunKinetics[3] = {78, 77, 288};
    for (int i = 0; i < 9; i++) {
        uint16_t unLabel = kaunLabel[i];
        if (i == 6 && gMethod.unKinetics == 2)
            unLabel = 93;
        EraseCells(FIELD_LABEL_X, FieldY(i), 28);
        DrawText(FIELD_LABEL_X, FieldY(i), unLabel, i == gunMethodField ? 1 : 0);
    }
    SetEditText(gMethod.szName);
    if (bState == STATE_METHOD_NAME)
        DrawEditField(FIELD_VALUE_X, FieldY(0), gbNameCursor, 0);
    else
        DrawFragment(FRAG_NAME_FIELD);
    gnShowI1 = static_cast<int32_t>(gMethod.unWavelength);
    DrawInteger(FIELD_VALUE_X, FieldY(1), 1, bState == STATE_METHOD_WAVELENGTH ? 1 : 0);
    DisplayScript("F0A0T22");
    DrawText(FIELD_VALUE_X, FieldY(2), gaunMethodUnitText[gMethod.unUnits % METHOD_UNITS_COUNT]);
    if (bState == STATE_METHOD_CALIBRATION) {
        DrawText(FIELD_VALUE_X, FieldY(3), 123, gbChoice == 0 ? 1 : 0);
        DrawText(static_cast<uint8_t>(FIELD_VALUE_X + TextWidth(123)), FieldY(3), 88, gbChoice == 1 ? 1 : 0);
    } else {
        EraseCells(FIELD_VALUE_X, FieldY(3), 12);
        DrawText(FIELD_VALUE_X, FieldY(3), gMethod.bCalibration ? 88 : 123);
    }
    EraseCells(FIELD_VALUE_X, FieldY(4), 12);
    if (bState == STATE_METHOD_FACTOR) {
        SetEditText(gszNumberText);
        DrawEditField(FIELD_VALUE_X, FieldY(4), gbNumberCursor, 0);
    } else if (gMethod.bCalibration == 0) {
        gfShowD6 = gMethod.fFactor;
        DisplayScript("F0A0X128Y56D6");
    }
    EraseCells(FIELD_VALUE_X, FieldY(5), 17);
    if (bState == STATE_METHOD_KINETICS) {
        uint8_t x = FIELD_VALUE_X;
        for (int i = 0; i < 3; i++) {
            DrawText(x, FieldY(5), kaunKinetics[i], gbChoice == i ? 1 : 0);
            x = static_cast<uint8_t>(x + TextWidth(kaunKinetics[i]));
        }
    } else {
        DrawText(FIELD_VALUE_X, FieldY(5), kaunKinetics[gMethod.unKinetics % 3]);
    }
    for (int i = 6; i <= 8; i++) {
        EraseCells(FIELD_VALUE_X, FieldY(i), 12);
        if (!MethodFieldApplies(static_cast<uint8_t>(i)))
            continue;
        uint8_t bEditState = static_cast<uint8_t>(STATE_KINETICS_START_TIME + i - 6);
        int nHighlight = bState == bEditState ? gbTimeField : -1;
        if (bState == bEditState)
            DrawTime(FIELD_VALUE_X, FieldY(i), gbEditMinutes, gbEditSeconds, nHighlight);
        else if (i == 6)
            DrawTime(FIELD_VALUE_X, FieldY(i), gMethod.unStartMin, gMethod.unStartSec, -1);
        else if (i == 7)
            DrawTime(FIELD_VALUE_X, FieldY(i), gMethod.unIntervalMin, gMethod.unIntervalSec, -1);
        else
            DrawTime(FIELD_VALUE_X, FieldY(i), gMethod.bEndMin, gMethod.bEndSec, -1);
    }
}

void PrepareMethodValues(uint8_t)
{
    gnShowI0 = gunCurrentMethod;
    gnShowI1 = static_cast<int32_t>(gMethod.unWavelength);
    gfShowD6 = gMethod.fFactor;
    gfShowD1 = gfMethodResult;
    SetEditText(gMethod.szName);
}

void PrepareMethodRun(uint8_t bState)
{
    RecomputeValues();
    PrepareMethodValues(bState);
}

// The name without its padding, so that the "?" follows its last letter.
void PrepareDeleteMethod(uint8_t)
{
    SetEditText(gMethod.szName);
    size_t nLength = std::strlen(gszEditText);
    while (nLength > 0 && gszEditText[nLength - 1] == ' ')
        gszEditText[--nLength] = '\0';
}

void DrawMethodListScreen(uint8_t) { DrawMethodListRows(); }

void DrawMethodSummary(uint8_t)
{
    DrawText(128, 56, gMethod.bCalibration ? 88 : 123);
    if (gMethod.bCalibration == 0)
        DisplayScript("F0A0X68Y72T123T15D6");
}

void DrawMethodProgramScreen(uint8_t bState)
{
    DrawFragment(FRAG_STATE_27_EXTRA);
    DrawMethodProgram(bState);
}

void DrawUnits(uint8_t)
{
    for (int i = 0; i < 19; i++) {
        uint8_t x = static_cast<uint8_t>(i < 10 ? 76 : 160);
        uint8_t y = static_cast<uint8_t>(14 + 10 * (i % 10));
        // The blank units read "(none)" in the list.
        uint16_t unText = i < METHOD_NAMED_UNITS ? gaunMethodUnitText[i] : 145;
        DrawText(x, y, unText, gbChoice == i ? 1 : 0);
    }
}

// A factor method shows its factor; a standard-curve method its calibration
// and the fit it uses, since a factor means nothing for it.
void DrawMethodRun(uint8_t)
{
    if (gMethod.bCalibration == 1) {
        DisplayScript("F0A0 X68Y28T49T15T88");
        DrawText(68, 40, gMethod.bCurveFit == FIT_LINEAR ? 290 : 291);
    } else {
        DisplayScript("F0A0 X68Y28T123T15D6");
    }
    EraseCells(68, 76, 12, 1);
    DrawFragment(FRAG_METHOD_RESULT);
    if (gMethod.bCalibration == 1)
        DrawFragment(gbLanguage == 1 || gbLanguage == 4 ? FRAG_CAL_STD_LABEL_WIDE : FRAG_CAL_STD_LABEL);
    DrawText(194, 80, gaunMethodUnitText[gMethod.unUnits % METHOD_UNITS_COUNT]);
    DrawOutOfRangeIf(IsOutOfRange(gfMethodResult));
}

void DrawMemoryFull(uint8_t) { DrawFragment(FRAG_MEMORY_FULL); }

void DrawDeleteConfirm(uint8_t) { DrawFragment(FRAG_DELETE_PROMPT); }

void DrawFactorDisplay(uint8_t)
{
    static constexpr uint16_t kaunTexts[3] = {60, 61, 153};
    DrawChoiceList(kaunTexts, 3, 80, 30, 12);
}
