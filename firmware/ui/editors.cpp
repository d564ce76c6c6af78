// The editors and screen helpers that several screens share: moving between
// states, the REF and TEST keys of a measuring screen, the number editor,
// the wavelength step, the chooser, and the drawing of edit fields, choice
// lists, times and the out-of-range message.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/timers.h"
#include "display/language.h"
#include "display/script.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui_internal.h"

// One Up (+1) or Down (-1) event of a wavelength editor, with the fast step
// while the key is held.
uint16_t StepWavelength(uint16_t unNm, int nDirection)
{
    if ((nDirection > 0 && unNm >= WAVELENGTH_MAX) || (nDirection < 0 && unNm <= WAVELENGTH_MIN))
        return unNm;
    int nNm = unNm;
    if (gbFastRepeat == 0) {
        nNm += nDirection;
    } else if (gbFastRepeat == 1) {
        nNm += 10 * nDirection;
        gbFastRepeat = 2;
        if (nNm > WAVELENGTH_MAX || nNm < WAVELENGTH_MIN) {
            nNm -= 9 * nDirection;
            gbFastRepeat = 0;
        }
    } else if (gbFastRepeat < 7) {
        gbFastRepeat++;
    } else {
        gbFastRepeat = 1;
    }
    return static_cast<uint16_t>(nNm);
}

uint16_t gunSavedNm[4];  // stored wavelengths on entry to a wavelength editor, nm


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
        PrintAfterSampleReading();
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

void HandleChooser(const Chooser& chooser)
{
    uint8_t bLast = static_cast<uint8_t>(chooser.bCount - 1);
    if (Key(chooser.bPrevious)) {
        gbChoice = gbChoice == 0 ? bLast : static_cast<uint8_t>(gbChoice - 1);
        DrawScreen();
    } else if (Key(chooser.bNext)) {
        gbChoice = gbChoice >= bLast ? 0 : static_cast<uint8_t>(gbChoice + 1);
        DrawScreen();
    } else if (Key(chooser.bAccept)) {
        chooser.pfnAccept();
    } else if (Key(KEY_ESCAPE)) {
        Go(chooser.bEscape);
    }
}

void SetEditText(const char* psz)
{
    std::strncpy(gszEditText, psz, sizeof gszEditText - 1);
    gszEditText[sizeof gszEditText - 1] = '\0';
}

void DrawEditField(uint8_t x, uint8_t y, uint8_t bCursor, uint8_t bFont)
{
    char szScript[32];
    std::snprintf(szScript, sizeof szScript, "F%uA0X%uY%us%u", bFont, x, y, bCursor);
    DisplayScript(szScript);
}

// Width in font 0 of a language text and one cell of space after it.
int TextWidth(uint16_t unText) { return 6 * static_cast<int>(std::strlen(LanguageText(unText))) + 6; }

bool IsOutOfRange(double f) { return f > 61110.0; }

uint8_t gbOutOfRangePending = 0;  // 1: the message is drawn after the hint line

void DrawOutOfRangeIf(bool bOut)
{
    if (bOut)
        gbOutOfRangePending = 1;
}

void DrawTime(uint8_t x, uint8_t y, uint32_t unMinutes, uint32_t unSeconds, int nHighlight)
{
    gnShowI5 = static_cast<int32_t>(unMinutes);
    gnShowI6 = static_cast<int32_t>(unSeconds);
    DrawInteger(x, y, 5, nHighlight == 0 ? 1 : 0);
    DisplayScript("F0A0T79");
    DrawInteger(static_cast<uint8_t>(x + 24), y, 6, nHighlight == 1 ? 1 : 0);
    DisplayScript("F0A0T80");
}

void DrawChoiceList(const uint16_t* punTexts, int nCount, uint8_t x, uint8_t y0, uint8_t bStep)
{
    for (int i = 0; i < nCount; i++)
        DrawText(x, static_cast<uint8_t>(y0 + bStep * i), punTexts[i], gbChoice == i ? 1 : 0);
}
