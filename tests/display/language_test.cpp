// The language table: the English texts the screens are laid out for, the
// telling and shared entries of the translations, the character set, and
// how a text is chosen by number and language code.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "display/language.h"
#include "storage/params.h"

namespace {

enum { ENGLISH, FRENCH, GERMAN, SPANISH, ITALIAN };
const char* const kapszLanguage[LANGUAGE_COUNT] = {"English", "French", "German", "Spanish", "Italian"};

std::string Text(int nLanguage, int nNumber) { return gapszLanguageTable[nLanguage][nNumber]; }

}  // namespace

TEST(LanguageTableTest, EveryEntryIsInTheDisplayCharacterSet)
{
    for (int l = 0; l < LANGUAGE_COUNT; l++)
        for (int n = 0; n < LANGUAGE_TEXT_COUNT; n++) {
            const char* psz = gapszLanguageTable[l][n];
            ASSERT_NE(psz, nullptr) << kapszLanguage[l] << " " << n;
            EXPECT_LE(std::strlen(psz), 40u) << kapszLanguage[l] << " " << n << " is wider than the screen";
            for (const char* p = psz; *p; p++) {
                unsigned char c = static_cast<unsigned char>(*p);
                EXPECT_TRUE((c >= 0x20 && c <= 0x7E) || (c >= 0x80 && c <= 0x99))
                    << kapszLanguage[l] << " " << n << " holds byte " << int(c);
                // Translations add accented letters only; symbols come from the English text.
                bool bAccent = c >= 0x87 && c <= 0x96;
                if (l != ENGLISH && c >= 0x80 && !bAccent) {
                    EXPECT_NE(Text(ENGLISH, n).find(static_cast<char>(c)), std::string::npos)
                        << kapszLanguage[l] << " " << n << " adds symbol " << int(c);
                }
            }
        }
}

// English texts whose exact bytes and widths the screens depend on.
TEST(LanguageTableTest, EnglishTextsWithSymbolsAndPadding)
{
    struct Case {
        int nNumber;
        const char* pszText;
    } kCases[] = {
        {0, "Self Diagnostics"},
        {5, "Repeat last operation"},
        {12, "\x80"},
        {15, " = "},
        {54, "Line "},
        {55, "Curve  "},
        {63, "\x81"},
        {66, "g/l  "},
        {68, "\x86g/l "},
        {72, "\x86m/l "},
        {76, "\x86g/ml"},
        {114, "UV/VIS Spectrophotometer v1.0"},
        {115, " \x82"},
        {116, " \x83"},
        {119, "Please return instrument to  "},
        {127, "                                "},
        {128, "----- "},
        {139, "\x84"},
        {140, "\x85"},
        {149, "Some Tests Failed. Check cuvette holder"},
        {154, "A * Factor  "},
        {158, "             "},
        {159, "\x86g/\x86l  "},
        {160, "pmol/\x86l"},
        {161, "abs    "},
        {202, "ON "},
        {206, "                                       "},
        {217, "Filter peak \x80   :"},
        {218, "Measured peak \x80 :"},
        {235, "Langauge Options"},
        {236, "Heater  "},
        {286, "READY"},
        {323, "\x97"},
        {324, "\x98"},
        {325, "\x99"},
        {328, "Press Test"},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(Text(ENGLISH, c.nNumber), c.pszText) << c.nNumber;
    // The unit texts 66..76 are all five cells wide, so each erases the last.
    for (int n = 66; n <= 76; n++)
        EXPECT_EQ(Text(ENGLISH, n).size(), 5u) << n;
    for (int n = 162; n <= 166; n++)
        EXPECT_EQ(Text(ENGLISH, n), "       ") << n;
    for (int n = 23; n <= 32; n++)
        EXPECT_EQ(Text(ENGLISH, n), std::string(1, static_cast<char>('0' + n - 23))) << n;
}

TEST(LanguageTableTest, TellingRowsOfTheTranslations)
{
    struct Case {
        int nNumber;
        const char* apsz[4];  // French, German, Spanish, Italian
    } kCases[] = {
        {0, {"Auto Diagnostique", "Selbstdiagnose", "Auto diagn\x96stico", "Autodiagnosi"}},
        {2, {"", " ", "", "Deuterium Lamp"}},
        {5, {"R\x8Dp\x8Dter derni\x8Cre op", "Vorgang wiederholen", "Rep.\x94ltima operaci\x96n", "Ripetere l'ultima op."}},
        {9, {"Une mesure seule", "Einzelmessung", "Lectura simple", "Una misura sola"}},
        {114, {"VIS Spectrophotometer v1.0", "UV/VIS Spectrophotometer v1.0", "UV/VIS Spectrophotometer v1.0",
               "UV/VIS Spectrophotometer v1.0"}},
        {137, {"Tests r\x8Dussis", "Alle Tests bestanden", "Todas las pruebas bien", "Tutti i test superati"}},
        {286, {"PRET", "FERTIG", "LISTO", "PRONTO"}},
        // Translated where the screens have room for it.
        {96, {"Calcul\x8D", "Ber.", "Calculada", "Calcolata"}},
        {135, {"Sans", "Keine", "Sin ", "Nessuna"}},
        {183, {"Valeur = ", "Wert = ", "Valor = ", "Valore = "}},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(Text(FRENCH, c.nNumber), c.apsz[0]) << c.nNumber;
        EXPECT_EQ(Text(GERMAN, c.nNumber), c.apsz[1]) << c.nNumber;
        EXPECT_EQ(Text(SPANISH, c.nNumber), c.apsz[2]) << c.nNumber;
        EXPECT_EQ(Text(ITALIAN, c.nNumber), c.apsz[3]) << c.nNumber;
    }
}

// Accented letters are single display bytes, also before a letter that
// could be read as a hex digit.
TEST(LanguageTableTest, AccentedLettersAreSingleBytes)
{
    EXPECT_EQ(Text(SPANISH, 245), "L\x8Emp. d\x8D" "bil, cambiar");
    EXPECT_EQ(Text(GERMAN, 7), "Methode w\x87hlen");
    EXPECT_EQ(Text(GERMAN, 167), "Probe au\x8A" "er Bereich");
    EXPECT_EQ(Text(ITALIAN, 51), "Unit\x8F");
    EXPECT_EQ(Text(SPANISH, 125), "\x93" "Borrar el m\x8Dtodo");
    EXPECT_EQ(Text(FRENCH, 291), "Polyn\x92me (courbe)");
}

TEST(LanguageTableTest, SharedTextsAreTheSameInEveryLanguage)
{
    std::vector<int> anShared = {12, 105, 106, 134, 139, 140, 231, 274, 275, 276, 277, 278, 279, 326, 327, 328};
    for (int n = 204; n <= 216; n++)
        anShared.push_back(n);
    for (int n = 226; n <= 230; n++)
        anShared.push_back(n);
    for (int n : anShared)
        for (int l = 1; l < LANGUAGE_COUNT; l++)
            EXPECT_EQ(Text(l, n), Text(ENGLISH, n)) << kapszLanguage[l] << " " << n;
    EXPECT_EQ(Text(FRENCH, 274), "English");
    EXPECT_EQ(Text(ITALIAN, 277), "Espanol");
}

// Each translation is a translation: most texts a speaker reads differ from
// the English ones, and the menus the operator starts from are all translated.
TEST(LanguageTableTest, TranslationsAreWritten)
{
    for (int l = 1; l < LANGUAGE_COUNT; l++) {
        int nDifferent = 0;
        for (int n = 0; n < LANGUAGE_TEXT_COUNT; n++)
            nDifferent += Text(l, n) != Text(ENGLISH, n);
        EXPECT_GT(nDifferent, 150) << kapszLanguage[l];
        for (int n : {5, 6, 7, 8, 9, 38, 100, 125, 137, 143, 144, 149})
            EXPECT_NE(Text(l, n), Text(ENGLISH, n)) << kapszLanguage[l] << " " << n;
    }
}

TEST(LanguageTextTest, FollowsTheLanguageCode)
{
    struct Case {
        uint8_t bCode;
        int nLanguage;
    } kCases[] = {{0, ENGLISH}, {1, FRENCH}, {2, GERMAN}, {3, SPANISH}, {4, ITALIAN}, {5, ENGLISH}, {7, ENGLISH},
                  {255, ENGLISH}};
    uint8_t bSaved = gbLanguage;
    for (const Case& c : kCases) {
        gbLanguage = c.bCode;
        EXPECT_EQ(LanguageText(5), Text(c.nLanguage, 5)) << int(c.bCode);
        EXPECT_STREQ(LanguageText(274), "English");
        EXPECT_STREQ(LanguageText(328), "Press Test");
        EXPECT_EQ(LanguageTextIn(c.bCode, 9), Text(c.nLanguage, 9));
    }
    gbLanguage = bSaved;
}

TEST(LanguageTextTest, NumbersPastTheTableGiveTheEmptyText)
{
    for (uint16_t un : {330, 331, 1000, 65535}) {
        EXPECT_STREQ(LanguageText(un), "") << un;
        EXPECT_STREQ(LanguageTextIn(1, un), "") << un;
    }
    EXPECT_STREQ(LanguageText(328), "Press Test");
}
