// Placeholder for the text subsystem (fonts, language table, display
// scripts, number formatter) until it is built: draws nothing, all texts
// empty. Removed when the real text subsystem lands.
#include "comms/format.h"
#include "display/font.h"
#include "display/language.h"
#include "display/script.h"

char gszValueText[VALUE_TEXT_SIZE];
double gfShowD1, gfShowD2, gfShowD3, gfShowD4, gfShowD5, gfShowD6, gfShowD7, gfShowD8, gfShowD9;
double gfShowD20, gfShowD21, gfShowD22, gfShowD23, gfShowD24;
double gfShowD31, gfShowD40, gfShowD60;
int32_t gnShowI0, gnShowI1, gnShowI2, gnShowI3, gnShowI4, gnShowI5, gnShowI6, gnShowI7, gnShowI8, gnShowI9,
    gnShowI10, gnShowI11, gnShowI12;
int32_t gnShowI50, gnShowI52, gnShowI53, gnShowI55, gnShowI56, gnShowI58, gnShowI61, gnShowI62, gnShowI63,
    gnShowI70;
uint8_t gnShowI51, gnShowI54, gnShowI57, gnShowI60;
double gfShowI59;

const char* const gapszLanguageTable[LANGUAGE_COUNT][LANGUAGE_TEXT_COUNT] = {};
const char* LanguageText(uint16_t) { return ""; }
const char* LanguageTextIn(uint8_t, uint16_t) { return ""; }
void LcdPutChar(uint8_t) {}
void LcdPutString(const char*) {}
void LcdPutSpaces(uint8_t) {}
void DisplayScript(const char*) {}
int FormatNumber(char* pszBuffer, double, int)
{
    pszBuffer[0] = '\0';
    return 0;
}
