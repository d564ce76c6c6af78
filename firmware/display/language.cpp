// Selection of a text of the language table by number and language. The
// table itself is generated from resources/language/texts.tsv.
#include "display/language.h"

#include "storage/params.h"

const char* LanguageTextIn(uint8_t bLanguage, uint16_t unNumber)
{
    if (unNumber >= LANGUAGE_TEXT_COUNT)
        return "";
    if (bLanguage >= LANGUAGE_COUNT)
        bLanguage = 0;
    return gapszLanguageTable[bLanguage][unNumber];
}

const char* LanguageText(uint16_t unNumber) { return LanguageTextIn(gbLanguage, unNumber); }
