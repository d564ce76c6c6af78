// The language table: the 329 numbered texts of the display in five
// languages (0 English, 1 French, 2 German, 3 Spanish, 4 Italian).
#pragma once

#include <cstdint>

constexpr int LANGUAGE_COUNT = 5;
constexpr int LANGUAGE_TEXT_COUNT = 329;

extern const char* const gapszLanguageTable[LANGUAGE_COUNT][LANGUAGE_TEXT_COUNT];

// Text number unNumber in the current language (gbLanguage; codes above 4
// select English). A number of 329 or more gives the empty text.
const char* LanguageText(uint16_t unNumber);
// The same in a given language.
const char* LanguageTextIn(uint8_t bLanguage, uint16_t unNumber);
