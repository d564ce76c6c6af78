// The language table: the numbered texts of the display in five languages
// (0 English, 1 French, 2 German, 3 Spanish, 4 Italian). Texts 0..328 are
// the instrument's own; 329 names the time of day, which the translations
// tell apart from the elapsed time of text 93.
#pragma once

#include <cstdint>

constexpr int LANGUAGE_COUNT = 5;
constexpr int LANGUAGE_TEXT_COUNT = 330;
constexpr uint16_t TEXT_TIME_OF_DAY = 329;  // "Time" of the clock: "Heure", "Uhrzeit", "Hora", "Ora"

extern const char* const gapszLanguageTable[LANGUAGE_COUNT][LANGUAGE_TEXT_COUNT];

// Text number unNumber in the current language (gbLanguage; codes above 4
// select English). A number past the table gives the empty text.
const char* LanguageText(uint16_t unNumber);
// The same in a given language.
const char* LanguageTextIn(uint8_t bLanguage, uint16_t unNumber);
