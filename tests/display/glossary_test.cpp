// The glossary of resources/language: every translated text that uses one
// of the instrument's terms uses the glossary's word for it, so that a term
// keeps one name across the screens of a language.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kLanguageDir = std::string(HALDEN_SOURCE_DIR) + "/resources/language/";
const char* const kapszLanguage[5] = {"English", "French", "German", "Spanish", "Italian"};

std::vector<std::string> SplitTabs(const std::string& s)
{
    std::vector<std::string> as;
    std::stringstream ss(s);
    std::string sField;
    while (std::getline(ss, sField, '\t'))
        as.push_back(sField);
    return as;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// A quoted field of texts.tsv as its UTF-8 text.
std::string Unquote(const std::string& sField)
{
    std::string s;
    for (size_t i = 1; i + 1 < sField.size(); i++) {
        if (sField[i] == '\\' && (sField[i + 1] == '"' || sField[i + 1] == '\\'))
            i++;
        s += sField[i];
    }
    return s;
}

struct Text {
    int nNumber;
    std::string asText[5];  // English, French, German, Spanish, Italian
};

std::vector<Text> ReadTexts()
{
    std::vector<Text> aTexts;
    std::ifstream in(kLanguageDir + "texts.tsv");
    std::string sLine;
    while (std::getline(in, sLine)) {
        if (sLine.empty() || sLine[0] == '#')
            continue;
        std::vector<std::string> asField = SplitTabs(sLine);
        if (asField.size() < 6)
            continue;
        Text text;
        text.nNumber = std::stoi(asField[0]);
        text.asText[0] = Unquote(asField[1]);
        for (int l = 1; l < 5; l++)
            text.asText[l] = asField[l + 1] == "=" ? text.asText[0] : Unquote(asField[l + 1]);
        aTexts.push_back(text);
    }
    return aTexts;
}

struct Term {
    std::string sEnglish;
    std::vector<std::string> aasWords[4];  // alternatives per translation
    std::set<int> anTexts;                 // empty: every text
    int nLine;
};

// The glossary's terms; *panKept receives the texts left in English.
std::vector<Term> ReadGlossary(std::set<int>* panKept)
{
    std::vector<Term> aTerms;
    std::ifstream in(kLanguageDir + "glossary.tsv");
    std::string sLine;
    int nLine = 0;
    while (std::getline(in, sLine)) {
        nLine++;
        if (sLine.empty() || sLine[0] == '#')
            continue;
        std::vector<std::string> asField = SplitTabs(sLine);
        if (asField.size() == 2 && asField[0] == "kept") {
            std::stringstream ss(asField[1]);
            std::string sRange;
            while (std::getline(ss, sRange, ',')) {
                size_t nDash = sRange.find('-');
                int nFirst = std::stoi(sRange.substr(0, nDash));
                int nLast = nDash == std::string::npos ? nFirst : std::stoi(sRange.substr(nDash + 1));
                for (int n = nFirst; n <= nLast; n++)
                    panKept->insert(n);
            }
            continue;
        }
        EXPECT_TRUE(asField.size() == 5 || asField.size() == 6) << "glossary line " << nLine;
        if (asField.size() < 5)
            continue;
        Term term;
        term.sEnglish = asField[0];
        term.nLine = nLine;
        for (int l = 0; l < 4; l++) {
            std::stringstream ss(asField[l + 1]);
            std::string sWord;
            while (std::getline(ss, sWord, '|'))
                term.aasWords[l].push_back(Lower(sWord));
            EXPECT_FALSE(term.aasWords[l].empty()) << "glossary line " << nLine;
        }
        if (asField.size() == 6) {
            EXPECT_EQ(asField[5].rfind("texts ", 0), 0u) << "glossary line " << nLine;
            std::stringstream ss(asField[5].substr(6));
            std::string sNumber;
            while (std::getline(ss, sNumber, ','))
                term.anTexts.insert(std::stoi(sNumber));
        }
        aTerms.push_back(term);
    }
    return aTerms;
}

bool IsWordByte(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u >= 0x80;
}

// Whether the term applies to text n: a term with a list of texts applies
// to those only, and they are then not checked against its other senses.
bool Applies(const Term& term, const std::vector<Term>& aTerms, int n)
{
    if (!term.anTexts.empty())
        return term.anTexts.count(n) != 0;
    for (const Term& other : aTerms)
        if (&other != &term && !other.anTexts.empty() && Lower(other.sEnglish) == Lower(term.sEnglish) &&
            other.anTexts.count(n))
            return false;
    return true;
}

}  // namespace

TEST(GlossaryTest, TranslationsUseTheGlossarysWords)
{
    std::vector<Text> aTexts = ReadTexts();
    std::set<int> anKept;
    std::vector<Term> aTerms = ReadGlossary(&anKept);
    ASSERT_GE(aTexts.size(), 329u);
    ASSERT_GE(aTerms.size(), 40u);
    // Longer terms first: a term inside a longer one is covered by it.
    std::vector<const Term*> apTerms;
    for (const Term& term : aTerms)
        apTerms.push_back(&term);
    std::stable_sort(apTerms.begin(), apTerms.end(),
                     [](const Term* a, const Term* b) { return a->sEnglish.size() > b->sEnglish.size(); });

    std::vector<int> anUses(aTerms.size(), 0);
    int nChecks = 0;
    for (const Text& text : aTexts) {
        std::string sEnglish = Lower(text.asText[0]);
        std::vector<bool> abCovered(sEnglish.size(), false);
        for (const Term* pTerm : apTerms) {
            if (!Applies(*pTerm, aTerms, text.nNumber))
                continue;
            std::string sTerm = Lower(pTerm->sEnglish);
            bool bFound = false;
            for (size_t at = sEnglish.find(sTerm); at != std::string::npos; at = sEnglish.find(sTerm, at + 1)) {
                size_t end = at + sTerm.size();
                bool bWord = (at == 0 || !IsWordByte(sEnglish[at - 1])) && (end == sEnglish.size() || !IsWordByte(sEnglish[end]));
                bool bFree = std::none_of(abCovered.begin() + static_cast<long>(at), abCovered.begin() + static_cast<long>(end),
                                          [](bool b) { return b; });
                if (bWord && bFree) {
                    std::fill(abCovered.begin() + static_cast<long>(at), abCovered.begin() + static_cast<long>(end), true);
                    bFound = true;
                }
            }
            if (!bFound)
                continue;
            anUses[static_cast<size_t>(pTerm - aTerms.data())]++;
            for (int l = 1; l < 5; l++) {
                // Left blank, or one of the texts kept in English: nothing to check.
                bool bKept = anKept.count(text.nNumber) && text.asText[l] == text.asText[0];
                if (text.asText[l].find_first_not_of(' ') == std::string::npos || bKept)
                    continue;
                std::string sTranslation = Lower(text.asText[l]);
                const std::vector<std::string>& asWords = pTerm->aasWords[l - 1];
                bool bUses = std::any_of(asWords.begin(), asWords.end(), [&](const std::string& sWord) {
                    return sTranslation.find(sWord) != std::string::npos;
                });
                nChecks++;
                EXPECT_TRUE(bUses) << "text " << text.nNumber << " \"" << text.asText[0] << "\": the " << kapszLanguage[l]
                                   << " \"" << text.asText[l] << "\" does not say \"" << asWords[0] << "\" for \""
                                   << pTerm->sEnglish << "\"";
            }
        }
    }
    EXPECT_GT(nChecks, 200) << "the glossary covers the texts";
    for (size_t i = 0; i < aTerms.size(); i++)
        EXPECT_GT(anUses[i], 0) << "glossary line " << aTerms[i].nLine << " \"" << aTerms[i].sEnglish
                                << "\" is used by no text";
}
