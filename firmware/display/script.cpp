// The display-script interpreter and the display registers it shows.
//
// A script is a string of one-letter commands, each with an optional
// unsigned decimal argument ("F0A0 K7 X8Y14T5"). The interpreter runs it
// straight from constant storage: texts come from the language table by
// number, numbers from the display registers, each formatted by the rule of
// its register into gszValueText. The display is refreshed at the end of
// every script and after every D command.
//
//   DisplayScript -> command table -> LcdPutString / LcdLine / LcdBox / LcdSoftKeyFrame ...
//                                  -> ShowRealRegister / ShowIntegerRegister -> gszValueText
#include "display/script.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/format.h"
#include "core/bridge.h"
#include "display/font.h"
#include "display/language.h"
#include "display/lcd.h"
#include "display/text_data.h"

char gszValueText[VALUE_TEXT_SIZE];  // the last number or character formatted for drawing, NUL-terminated
char gszEditText[32];                 // text of the field being edited
uint32_t gunDisplayOption = 0;        // display option of the method in use, 0..5
uint8_t gunScreenSubState = 0;        // 0 normal scan, 7..9 diagnostic plots
uint8_t gbNumberStyle = NUMBERS_PLAIN;  // NUMBERS_*

// Real registers; a value above 61110 means "no value" in every rule.
double gfShowD1;   // result at the first wavelength, absorbance of standard 1, scan cursor absorbance
double gfShowD2;   // result at the second wavelength, standard 2, method result, left x-axis label
double gfShowD3;   // ratio result, standard 3, right x-axis label
double gfShowD4;   // result at the fourth wavelength, standard 4, scan cursor %T
double gfShowD5;   // result at the third wavelength, standard 5
double gfShowD6;   // method factor
double gfShowD7;   // kinetics concentration, bottom y-axis label
double gfShowD8;   // kinetics rate (A per minute), top y-axis label
double gfShowD9;   // correlation coefficient
double gfShowD20;  // standard concentrations 1..5; exactly 100000.0 = not set
double gfShowD21;
double gfShowD22;
double gfShowD23;
double gfShowD24;
double gfShowD31;  // value field of a set-up screen
double gfShowD40;  // absorbance field of a set-up screen
double gfShowD60;  // protein method result

// Integer registers.
int32_t gnShowI0;   // method number
int32_t gnShowI1;   // wavelengths 1..4, nm
int32_t gnShowI2;
int32_t gnShowI3;
int32_t gnShowI4;
int32_t gnShowI5;   // general edit fields: hours, minutes, seconds, day, month, year, method number
int32_t gnShowI6;
int32_t gnShowI7;
int32_t gnShowI8;
int32_t gnShowI9;
int32_t gnShowI10;  // right x-axis label of time graphs; edit field
int32_t gnShowI11;  // left x-axis label of time graphs; edit field
int32_t gnShowI12;  // value field whose width follows gunScreenSubState
int32_t gnShowI50;  // diagnostic table values
int32_t gnShowI52;
int32_t gnShowI53;
int32_t gnShowI55;
int32_t gnShowI56;
int32_t gnShowI58;
int32_t gnShowI61;
int32_t gnShowI62;
int32_t gnShowI63;  // 10000 = not set
int32_t gnShowI70;  // a one-digit setting, 0..9
uint8_t gnShowI51;  // 8-bit diagnostic values
uint8_t gnShowI54;
uint8_t gnShowI57;
uint8_t gnShowI60;
double gfShowI59;   // diagnostic value shown rounded to an integer

namespace {

constexpr double NO_VALUE_ABOVE = 61110.0;
constexpr double STANDARD_NOT_SET = 100000.0;

// Screen states whose D1 and D25 formats differ from the rest.

// Display options of a method.
constexpr uint32_t OPTION_TRANSMITTANCE = 1;
constexpr uint32_t OPTION_FACTOR_A = 4;
constexpr uint32_t OPTION_FACTOR_B = 5;

// Formats into gszValueText; formats are constant strings of this file.
template <typename... Args>
void Show(const char* pszFormat, Args... args)
{
    std::snprintf(gszValueText, VALUE_TEXT_SIZE, pszFormat, args...);
}

void ShowText(const char* psz) { Show("%s", psz); }

// ------------------------------------------------------------ value rules

// Absorbance: clipped labels outside -0.3..2.49, the value otherwise.
void RuleAbsorbance(double f, const char* pszFormat)
{
    if (f > NO_VALUE_ABOVE)
        ShowText("----- ");
    else if (f > 2.49)
        ShowText(">2.5  ");
    else if (f < -0.3)
        ShowText("<-0.3 ");
    else
        Show(pszFormat, f);
}

// Percent transmittance.
void RuleTransmittance(double f)
{
    if (f > NO_VALUE_ABOVE)
        ShowText("---- ");
    else if (f < 0.3)
        ShowText("<0.3 ");
    else if (f >= 200.0)
        ShowText(">200 ");
    else
        Show("%2.1f", f);
}

// Signed magnitudes such as concentrations; a value below 0.001 in
// magnitude is set to 0 in its variable.
void RuleMagnitude(double& f)
{
    if (f > NO_VALUE_ABOVE || f < -10000.0) {
        ShowText("-----");
        return;
    }
    if (std::fabs(f) < 0.001) {
        f = 0.0;
        Show("%.3f", f);
    } else if (f >= -10.0 && f <= 100.0)
        Show("%.3f", f);
    else if ((f > 100.0 && f <= 1000.0) || (f >= -100.0 && f < -10.0))
        Show("%.2f", f);
    else if ((f > 1000.0 && f <= 10000.0) || (f >= -1000.0 && f < -100.0))
        Show("%.1f", f);
    else if (f < -1000.0)
        Show("%4.0f", f);
    else if (f > 10000.0)
        Show("%5.0f", f);
    else
        Show("%.3f", f);  // not a number
}

// Method results; bSigned extends the table to negative values.
void RuleScale(double f, bool bSigned)
{
    if (bSigned && f < -1000.0)
        Show("%4.0f", f);
    else if (bSigned && f < -100.0)
        Show("%.1f", f);
    else if (bSigned && f < -10.0)
        Show("%.2f", f);
    else if (f < 10.0)
        Show("%.4f", f);
    else if (f < 100.0)
        Show("%.3f", f);
    else if (f < 1000.0)
        Show("%.2f", f);
    else if (f < 10000.0)
        Show("%.1f", f);
    else
        Show("%.f", f);
}

// ------------------------------------------------------------ real registers

void ShowD1()
{
    double f = gfShowD1;
    if (gbNumberStyle == NUMBERS_METHOD_RESULT && gunDisplayOption == OPTION_TRANSMITTANCE) {
        RuleTransmittance(f);
        return;
    }
    bool bFactor = gunDisplayOption == OPTION_FACTOR_A || gunDisplayOption == OPTION_FACTOR_B;
    if (f > NO_VALUE_ABOVE) {
        ShowText("----- ");
        return;
    }
    if (!bFactor && f > 2.49) {
        ShowText(">2.5  ");
        return;
    }
    if (!bFactor && f < -0.3) {
        ShowText("<-0.3 ");
        return;
    }
    if (bFactor && f < -1000.0) {
        gfShowD1 = 0.0;
        f = 0.0;
    }
    if (gbNumberStyle == NUMBERS_SHORT)
        Show("%-.3f ", f);
    else if (gbNumberStyle == NUMBERS_METHOD_RESULT)
        RuleScale(f, false);
    else if (gbNumberStyle == NUMBERS_BARE)
        Show("%-.3f", f);
    else
        Show("%-.3f   ", f);
}

void ShowD2() { RuleAbsorbance(gfShowD2, "%.3f"); }
void ShowD3() { RuleMagnitude(gfShowD3); }
void ShowD4() { RuleAbsorbance(gfShowD4, "%.3f"); }
void ShowD5() { RuleAbsorbance(gfShowD5, "%.3f"); }
void ShowD6() { FormatNumber(gszValueText, gfShowD6, 0); }

// Kinetics values and graph labels: two decimals below zero.
void ShowRate(double f)
{
    if (f > NO_VALUE_ABOVE)
        ShowText("---");
    else if (f < 0.0)
        Show("%.2f", f);
    else
        Show("%.3f", f);
}
void ShowD7() { ShowRate(gfShowD7); }
void ShowD8() { ShowRate(gfShowD8); }

void ShowD9()
{
    if (gfShowD9 > NO_VALUE_ABOVE)
        ShowText("---");
    else
        Show("%.3f", gfShowD9);
}

void ShowAxisLabel(double f)
{
    if (f > NO_VALUE_ABOVE)
        ShowText("----");
    else
        Show("%2.2f", f);
}
void ShowD10() { ShowAxisLabel(gfShowD2); }
void ShowD11() { ShowAxisLabel(gfShowD3); }

void ShowStandard(double f)
{
    if (f == STANDARD_NOT_SET)
        ShowText("-------");
    else
        FormatNumber(gszValueText, f, 0);
}
void ShowD20() { ShowStandard(gfShowD20); }
void ShowD21() { ShowStandard(gfShowD21); }
void ShowD22() { ShowStandard(gfShowD22); }
void ShowD23() { ShowStandard(gfShowD23); }
void ShowD24() { ShowStandard(gfShowD24); }

void ShowD25()
{
    double f = gfShowD2;
    if (f > NO_VALUE_ABOVE)
        ShowText("---");
    else if (gbNumberStyle == NUMBERS_SINGLE)
        RuleTransmittance(f);
    else if (gbNumberStyle == NUMBERS_METHOD_RESULT || gbNumberStyle == NUMBERS_METHOD)
        RuleScale(f, true);
    else
        Show("%.3f", f);
}

void ShowD26() { RuleAbsorbance(gfShowD1, "%.3f"); }
void ShowD27() { RuleTransmittance(gfShowD4); }
void ShowD28() { Show("%g", gfShowD1); }
void ShowD31() { FormatNumber(gszValueText, gfShowD31, 4); }
void ShowD40() { RuleAbsorbance(gfShowD40, "%-.3f"); }
void ShowD60() { RuleMagnitude(gfShowD60); }

struct RealRegister {
    uint16_t unNumber;
    void (*pfnShow)();
};

const RealRegister gRealRegisters[] = {
    {1, ShowD1},   {2, ShowD2},   {3, ShowD3},   {4, ShowD4},   {5, ShowD5},   {6, ShowD6},
    {7, ShowD7},   {8, ShowD8},   {9, ShowD9},   {10, ShowD10}, {11, ShowD11}, {20, ShowD20},
    {21, ShowD21}, {22, ShowD22}, {23, ShowD23}, {24, ShowD24}, {25, ShowD25}, {26, ShowD26},
    {27, ShowD27}, {28, ShowD28}, {31, ShowD31}, {40, ShowD40}, {60, ShowD60},
};

// A value that rounds to zero never shows as "-0.000": a sign position
// (the number formatter's fields) gets a space, a left-aligned number moves
// left and a space keeps its width.
void DropNegativeZero(uint16_t unNumber)
{
    char* psz = gszValueText;
    if (psz[0] != '-' || psz[1] < '0' || psz[1] > '9')
        return;
    for (const char* p = psz + 1; *p && *p != ' '; p++)
        if (*p != '0' && *p != '.')
            return;
    bool bSignPosition = unNumber == 6 || (unNumber >= 20 && unNumber <= 24) || unNumber == 31;
    if (bSignPosition) {
        psz[0] = ' ';
        return;
    }
    size_t n = std::strlen(psz);
    std::memmove(psz, psz + 1, n - 1);
    psz[n - 1] = ' ';
}

// D: draws the register by its rule (if it has one) and refreshes.
void ShowRealRegister(uint16_t unNumber)
{
    for (const RealRegister& reg : gRealRegisters)
        if (reg.unNumber == unNumber) {
            reg.pfnShow();
            DropNegativeZero(unNumber);
            LcdPutString(gszValueText);
            break;
        }
    LcdRefresh();
}

// ------------------------------------------------------------ integer registers

// Rounds a diagnostic value to the nearest unsigned integer; values outside
// the unsigned range are held at its ends.
unsigned RoundUnsigned(double f)
{
    double fRounded = f + 0.5;
    if (!(fRounded >= 0.0))
        return 0;
    if (fRounded >= 4294967295.0)
        return 4294967295u;
    return static_cast<unsigned>(fRounded);
}

// Returns false for numbers without a rule.
bool FormatIntegerRegister(uint16_t unNumber)
{
    switch (unNumber) {
    case 0: Show("%2.2d", gnShowI0); return true;
    case 1: Show("%3d", gnShowI1); return true;
    case 2: Show("%3d", gnShowI2); return true;
    case 3: Show("%3d", gnShowI3); return true;
    case 4: Show("%3d", gnShowI4); return true;
    case 5: Show("%2.2d", gnShowI5); return true;
    case 6: Show(gbNumberStyle == NUMBERS_ZOOMED ? "%2.2d   " : "%2.2d", gnShowI6); return true;
    case 7: Show("%2.2d", gnShowI7); return true;
    case 8: Show("%2.2d", gnShowI8); return true;
    case 9: Show("%2.2d", gnShowI9); return true;
    case 10: Show("%2.2d", gnShowI10); return true;
    case 11: Show(gbNumberStyle == NUMBERS_ZOOMED ? "%2.2d" : "%1.1d", gnShowI11); return true;
    case 12:
        if (gunScreenSubState == 8 || gunScreenSubState == 9) {
            // The field keeps five characters whatever the number of digits.
            const char* pszFormat = gnShowI12 < 10     ? "%d    "
                                    : gnShowI12 < 100  ? "%d   "
                                    : gnShowI12 < 1000 ? "%d  "
                                                       : "%d ";
            Show(pszFormat, gnShowI12);
        } else if (gunScreenSubState == 7)
            Show("%u    ", static_cast<unsigned>(gnShowI12));
        else
            Show("%d    ", gnShowI12);
        return true;
    case 50: Show("%u   ", static_cast<unsigned>(gnShowI50)); return true;
    case 51: Show("%d    ", gnShowI51); return true;
    case 52: Show("%d   ", gnShowI52); return true;
    case 53: Show("%u    ", static_cast<unsigned>(gnShowI53)); return true;
    case 54: Show("%d   ", gnShowI54); return true;
    case 55: Show("%d    ", gnShowI55); return true;
    case 56: Show("%u   ", static_cast<unsigned>(gnShowI56)); return true;
    case 57: Show("%d    ", gnShowI57); return true;
    case 58: Show("%d   ", gnShowI58); return true;
    case 59: Show("%u    ", RoundUnsigned(gfShowI59)); return true;
    case 60: Show("%d    ", gnShowI60); return true;
    case 61: Show("%d    ", gnShowI61); return true;
    case 62: Show("%d   ", gnShowI62); return true;
    case 63:
        if (gnShowI63 == 10000)
            ShowText("NOT SET");
        else
            Show("%d    ", gnShowI63);
        return true;
    case 70: Show("%1d", gnShowI70); return true;
    default: return false;
    }
}

// I: draws the register by its rule; no refresh.
void ShowIntegerRegister(uint16_t unNumber)
{
    if (FormatIntegerRegister(unNumber))
        LcdPutString(gszValueText);
}

// ------------------------------------------------------------ edit field

// Rows a marker column spans below the cursor row: the cell height minus one.
int MarkerRows()
{
    switch (gbFont) {
    case FONT_SMALL: return 7;
    case FONT_LARGE: return 13;
    case FONT_DIGITS: return 4;
    default: return -1;
    }
}

// A one-pixel column just right of the last cell drawn (set or cleared);
// the cursor row is kept and the cursor moves one pixel right. Like the
// characters, the column stops at the bottom of the screen.
void MarkerColumn(uint8_t bMode)
{
    int nRows = MarkerRows();
    if (nRows < 0)
        return;
    uint8_t y = gbCursorY;
    if (y < LCD_HEIGHT) {
        int nLast = y + nRows < LCD_HEIGHT ? y + nRows : LCD_HEIGHT - 1;
        LcdLine(bMode, gbCursorX, static_cast<uint8_t>(nLast));
    }
    gbCursorY = y;
    gbCursorX = static_cast<uint8_t>(gbCursorX + 1);
}

// s: gszEditText with the character at unPosition shown as an inverse cell
// one pixel wider than the others.
void ShowEditField(uint16_t unPosition)
{
    size_t nLength = strnlen(gszEditText, sizeof gszEditText);
    for (size_t i = 0; i < nLength; i++) {
        if (i == unPosition)
            gbInverse = 1;
        gszValueText[0] = gszEditText[i];
        gszValueText[1] = '\0';
        LcdPutString(gszValueText);
        if (gbInverse == 1)
            MarkerColumn(LINE_SET);
        gbInverse = 0;
    }
    MarkerColumn(LINE_CLEAR);
}

// ------------------------------------------------------------ commands

uint8_t Low8(uint32_t ul) { return static_cast<uint8_t>(ul & 0xFF); }
uint16_t Low16(uint32_t ul) { return static_cast<uint16_t>(ul & 0xFFFF); }

void CmdInverse(uint32_t ul) { gbInverse = Low8(ul); }

void CmdBox(uint32_t ul)
{
    uint16_t un = Low16(ul);
    if (un == 0)
        LcdBox(LINE_SET, 59, 16);
    else if (un == 1)
        LcdBox(LINE_SET, 137, 16);
}

void CmdClear(uint32_t) { LcdClear(); }
void CmdReal(uint32_t ul) { ShowRealRegister(Low16(ul)); }
void CmdFont(uint32_t ul) { gbFont = Low8(ul); }
void CmdLineEndX(uint32_t ul) { gbLineEndX = Low8(ul); }
void CmdInteger(uint32_t ul) { ShowIntegerRegister(Low16(ul)); }
void CmdSoftKeysWide(uint32_t ul) { LcdSoftKeyFrame(1, Low8(ul)); }
void CmdLine(uint32_t ul) { LcdLine(Low8(ul), gbLineEndX, gbLineEndY); }

void CmdImage(uint32_t ul)
{
    if (Low16(ul) == 1)
        LcdShowImage(gabStartupImage);
}

// S: the edit text and the fixed texts of the start-up screen.
void CmdFixedText(uint32_t ul)
{
    switch (Low16(ul)) {
    case 1:
    {
        // The edit text holds up to 31 characters; the value buffer keeps the first 19.
        size_t n = strnlen(gszEditText, sizeof gszEditText);
        if (n > VALUE_TEXT_SIZE - 1)
            n = VALUE_TEXT_SIZE - 1;
        std::memcpy(gszValueText, gszEditText, n);
        gszValueText[n] = '\0';
        LcdPutString(gszValueText);
    }
        break;
    case 2: LcdPutString(" Visible Diode Array"); break;
    case 3: LcdPutString("Spectrophotometer"); break;
    case 4: LcdPutString("Q4K7 V1.0"); break;
    default: break;
    }
}

void CmdText(uint32_t ul) { LcdPutString(LanguageText(Low16(ul))); }
void CmdLineEndY(uint32_t ul) { gbLineEndY = Low8(ul); }
void CmdCursorX(uint32_t ul) { gbCursorX = Low8(ul); }
void CmdCursorY(uint32_t ul) { gbCursorY = Low8(ul); }
void CmdSpaces(uint32_t ul) { LcdPutSpaces(Low8(ul)); }
void CmdLineEndRight(uint32_t ul) { gbLineEndX = static_cast<uint8_t>(gbLineEndX + Low8(ul)); }
void CmdSoftKeysFull(uint32_t ul) { LcdSoftKeyFrame(2, Low8(ul)); }
void CmdSoftKeysNarrow(uint32_t ul) { LcdSoftKeyFrame(0, Low8(ul)); }
void CmdEditField(uint32_t ul) { ShowEditField(Low16(ul)); }
void CmdLineEndDown(uint32_t ul) { gbLineEndY = static_cast<uint8_t>(gbLineEndY + Low8(ul)); }
void CmdCursorRight(uint32_t ul) { gbCursorX = static_cast<uint8_t>(gbCursorX + Low8(ul)); }
void CmdCursorDown(uint32_t ul) { gbCursorY = static_cast<uint8_t>(gbCursorY + Low8(ul)); }

struct ScriptCommand {
    char cLetter;
    void (*pfnRun)(uint32_t ulArgument);
};

const ScriptCommand gScriptCommands[] = {
    {'A', CmdInverse},      {'B', CmdBox},          {'C', CmdClear},          {'D', CmdReal},
    {'F', CmdFont},         {'H', CmdLineEndX},     {'I', CmdInteger},        {'K', CmdSoftKeysWide},
    {'L', CmdLine},         {'M', CmdImage},        {'S', CmdFixedText},      {'T', CmdText},
    {'V', CmdLineEndY},     {'X', CmdCursorX},      {'Y', CmdCursorY},        {'c', CmdSpaces},
    {'h', CmdLineEndRight}, {'j', CmdSoftKeysFull}, {'k', CmdSoftKeysNarrow}, {'s', CmdEditField},
    {'v', CmdLineEndDown},  {'x', CmdCursorRight},  {'y', CmdCursorDown},
};

void RunCommand(char cLetter, uint32_t ulArgument)
{
    for (const ScriptCommand& command : gScriptCommands)
        if (command.cLetter == cLetter) {
            command.pfnRun(ulArgument);
            return;
        }
}

}  // namespace

void DisplayScript(const char* pszScript)
{
    gbFont = FONT_SMALL;
    gbInverse = 0;
    if (pszScript == nullptr || *pszScript == '\0')
        return;
    const char* p = pszScript;
    for (;;) {
        while (*p == ' ')
            p++;
        if (*p == '\0')
            break;
        char cLetter = *p++;
        uint32_t ulArgument = 0;
        while (*p >= '0' && *p <= '9') {
            ulArgument = ulArgument * 10 + static_cast<uint32_t>(*p - '0');
            p++;
        }
        RunCommand(cLetter, ulArgument);
        if (*p == '\0')
            break;
    }
    LcdRefresh();
}
