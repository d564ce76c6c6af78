// textgen: turns the readable display data in resources/ into the constant
// tables the firmware is built with.
//
//   textgen fonts SMALL.txt LARGE.txt DIGITS.txt OUT.cpp   the three fonts
//   textgen language TEXTS.tsv OUT.cpp                     the language table
//   textgen image PICTURE.txt OUT.cpp                      the start-up picture
//
// Every input is checked as it is read (cell sizes, code order, character
// set, the room a translation has); a faulty input stops the build with a
// message naming the file and line.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Die(const std::string& sWhere, const std::string& sWhat)
{
    std::fprintf(stderr, "textgen: %s: %s\n", sWhere.c_str(), sWhat.c_str());
    std::exit(1);
}

std::vector<std::string> ReadLines(const std::string& sPath)
{
    std::ifstream in(sPath);
    if (!in)
        Die(sPath, "cannot open");
    std::vector<std::string> asLines;
    std::string s;
    while (std::getline(in, s)) {
        if (!s.empty() && s.back() == '\r')
            s.pop_back();
        asLines.push_back(s);
    }
    return asLines;
}

void WriteFile(const std::string& sPath, const std::string& sText)
{
    std::ofstream out(sPath, std::ios::binary);
    out << sText;
    if (!out)
        Die(sPath, "cannot write");
}

std::string Hex(unsigned n)
{
    char acBuf[8];
    std::snprintf(acBuf, sizeof acBuf, "0x%02X", n);
    return acBuf;
}

// ---------------------------------------------------------------- fonts

struct Glyph {
    unsigned unCode;
    std::vector<uint16_t> aunRows;  // leftmost pixel in the highest used bit
};

struct FontSource {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<Glyph> glyphs;
};

// Reads "cell W H", then "glyph 0xNN [name]" followed by H rows of W dots.
FontSource ReadFont(const std::string& sPath)
{
    FontSource font;
    std::vector<std::string> asLines = ReadLines(sPath);
    for (size_t i = 0; i < asLines.size(); i++) {
        const std::string& s = asLines[i];
        std::string sWhere = sPath + ":" + std::to_string(i + 1);
        if (s.empty() || s[0] == '#')
            continue;
        std::istringstream words(s);
        std::string sKeyword;
        words >> sKeyword;
        if (sKeyword == "cell") {
            words >> font.nWidth >> font.nHeight;
            if (font.nWidth < 1 || font.nWidth > 16 || font.nHeight < 1)
                Die(sWhere, "bad cell size");
        } else if (sKeyword == "glyph") {
            if (font.nWidth == 0)
                Die(sWhere, "glyph before the cell size");
            std::string sCode;
            words >> sCode;
            Glyph glyph;
            glyph.unCode = static_cast<unsigned>(std::strtoul(sCode.c_str(), nullptr, 16));
            for (int r = 0; r < font.nHeight; r++) {
                if (++i >= asLines.size())
                    Die(sWhere, "glyph ends early");
                const std::string& sRow = asLines[i];
                if (static_cast<int>(sRow.size()) != font.nWidth)
                    Die(sPath + ":" + std::to_string(i + 1), "row is not " + std::to_string(font.nWidth) + " dots wide");
                uint16_t unBits = 0;
                for (char c : sRow) {
                    if (c != '#' && c != '.')
                        Die(sPath + ":" + std::to_string(i + 1), "a row holds only '#' and '.'");
                    unBits = static_cast<uint16_t>((unBits << 1) | (c == '#' ? 1 : 0));
                }
                glyph.aunRows.push_back(unBits);
            }
            font.glyphs.push_back(glyph);
        } else {
            Die(sWhere, "expected 'cell' or 'glyph'");
        }
    }
    return font;
}

void CheckFont(const FontSource& font, const std::string& sPath, int nWidth, int nHeight,
               const std::vector<unsigned>& aunCodes)
{
    if (font.nWidth != nWidth || font.nHeight != nHeight)
        Die(sPath, "cell must be " + std::to_string(nWidth) + " x " + std::to_string(nHeight));
    if (font.glyphs.size() != aunCodes.size())
        Die(sPath, "expected " + std::to_string(aunCodes.size()) + " glyphs, found " +
                       std::to_string(font.glyphs.size()));
    for (size_t i = 0; i < aunCodes.size(); i++)
        if (font.glyphs[i].unCode != aunCodes[i])
            Die(sPath, "glyph " + std::to_string(i) + " must be " + Hex(aunCodes[i]) + ", found " +
                           Hex(font.glyphs[i].unCode));
}

std::vector<unsigned> CodeRange(unsigned unFirst, unsigned unLast)
{
    std::vector<unsigned> aun;
    for (unsigned c = unFirst; c <= unLast; c++)
        aun.push_back(c);
    return aun;
}

void EmitBytes(std::string& sOut, const std::vector<uint8_t>& abData)
{
    for (size_t i = 0; i < abData.size(); i++) {
        sOut += (i % 16 == 0) ? "\n    " : " ";
        sOut += Hex(abData[i]) + ",";
    }
    sOut += "\n";
}

int GenerateFonts(const std::string& sSmall, const std::string& sLarge, const std::string& sDigits,
                  const std::string& sOut)
{
    FontSource small = ReadFont(sSmall);
    FontSource large = ReadFont(sLarge);
    FontSource digits = ReadFont(sDigits);
    CheckFont(small, sSmall, 6, 8, CodeRange(0x20, 0x99));
    CheckFont(large, sLarge, 9, 14, CodeRange(0x20, 0x96));
    CheckFont(digits, sDigits, 5, 5, {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '.', 'n', '/', '-', ' '});

    // Font 1 first (16-bit rows, low byte first), then font 0, then font 2.
    std::vector<uint8_t> abData;
    for (const Glyph& g : large.glyphs)
        for (uint16_t un : g.aunRows) {
            abData.push_back(static_cast<uint8_t>(un & 0xFF));
            abData.push_back(static_cast<uint8_t>(un >> 8));
        }
    for (const FontSource* pFont : {&small, &digits})
        for (const Glyph& g : pFont->glyphs)
            for (uint16_t un : g.aunRows)
                abData.push_back(static_cast<uint8_t>(un));

    std::string s = "// Generated by textgen from resources/fonts; edit the glyph drawings there.\n"
                    "#include \"display/text_data.h\"\n\n"
                    "const uint8_t gabFontData[FONT_DATA_SIZE] = {";
    EmitBytes(s, abData);
    s += "};\n";
    if (abData.size() != 3332 + 976 + 75)
        Die(sOut, "font tables have the wrong size");
    WriteFile(sOut, s);
    return 0;
}

// ---------------------------------------------------------------- language

constexpr int LANGUAGES = 5;
constexpr int TEXTS = 330;  // LANGUAGE_TEXT_COUNT of display/language.h

// Display code of a UTF-8 character outside ASCII.
const std::map<std::string, uint8_t>& SymbolCodes()
{
    static const std::map<std::string, uint8_t> kCodes = {
        {"λ", 0x80}, {"Δ", 0x81}, {"√", 0x82}, {"×", 0x83}, {"↔", 0x84}, {"↕", 0x85}, {"µ", 0x86},
        {"μ", 0x86}, {"ä", 0x87}, {"ö", 0x88}, {"ü", 0x89}, {"ß", 0x8A}, {"ò", 0x8B}, {"è", 0x8C},
        {"é", 0x8D}, {"á", 0x8E}, {"à", 0x8F}, {"ì", 0x90}, {"í", 0x91}, {"ô", 0x92}, {"¿", 0x93},
        {"ú", 0x94}, {"ê", 0x95}, {"ó", 0x96}, {"▶", 0x97}, {"◆", 0x98}, {"◀", 0x99}};
    return kCodes;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Decodes a quoted field into display bytes.
std::string DecodeText(const std::string& sField, const std::string& sWhere)
{
    if (sField.size() < 2 || sField.front() != '"' || sField.back() != '"')
        Die(sWhere, "a text is written in double quotes: " + sField);
    std::string sIn = sField.substr(1, sField.size() - 2);
    std::string sOut;
    for (size_t i = 0; i < sIn.size();) {
        unsigned char c = static_cast<unsigned char>(sIn[i]);
        if (c == '\\') {
            if (i + 1 >= sIn.size())
                Die(sWhere, "backslash at the end of a text");
            char e = sIn[i + 1];
            if (e == '"' || e == '\\') {
                sOut += e;
                i += 2;
            } else if (e == 'x' && i + 3 < sIn.size() && HexDigit(sIn[i + 2]) >= 0 && HexDigit(sIn[i + 3]) >= 0) {
                sOut += static_cast<char>(HexDigit(sIn[i + 2]) * 16 + HexDigit(sIn[i + 3]));
                i += 4;
            } else {
                Die(sWhere, "unknown escape in " + sField);
            }
        } else if (c == '"') {
            Die(sWhere, "unescaped quote inside " + sField);
        } else if (c < 0x20 || c == 0x7F) {
            Die(sWhere, "control character in " + sField);
        } else if (c < 0x80) {
            sOut += static_cast<char>(c);
            i++;
        } else {
            size_t n = (c >= 0xF0) ? 4 : (c >= 0xE0) ? 3 : 2;
            std::string sChar = sIn.substr(i, n);
            auto it = SymbolCodes().find(sChar);
            if (it == SymbolCodes().end())
                Die(sWhere, "'" + sChar + "' is not in the display's character set");
            sOut += static_cast<char>(it->second);
            i += n;
        }
    }
    for (unsigned char c : sOut)
        if (c < 0x20 || c > 0x99)
            Die(sWhere, "byte " + Hex(c) + " is outside the display's character set");
    return sOut;
}

std::vector<std::string> SplitTabs(const std::string& s)
{
    std::vector<std::string> as;
    size_t nStart = 0;
    for (;;) {
        size_t nTab = s.find('\t', nStart);
        as.push_back(s.substr(nStart, nTab == std::string::npos ? std::string::npos : nTab - nStart));
        if (nTab == std::string::npos)
            return as;
        nStart = nTab + 1;
    }
}

// A C string literal of display bytes; a hex escape is closed off before a
// following hex digit so that the digit does not join the escape.
std::string CLiteral(const std::string& s)
{
    std::string sOut = "\"";
    bool bAfterHex = false;
    for (unsigned char c : s) {
        if (bAfterHex && std::isxdigit(c))
            sOut += "\" \"";
        bAfterHex = false;
        if (c >= 0x80) {
            char acBuf[8];
            std::snprintf(acBuf, sizeof acBuf, "\\x%02X", c);
            sOut += acBuf;
            bAfterHex = true;
        } else if (c == '"' || c == '\\') {
            sOut += '\\';
            sOut += static_cast<char>(c);
        } else {
            sOut += static_cast<char>(c);
        }
    }
    return sOut + "\"";
}

int GenerateLanguage(const std::string& sIn, const std::string& sOut)
{
    static const char* const kapszNames[LANGUAGES] = {"English", "French", "German", "Spanish", "Italian"};
    std::vector<std::string> asLines = ReadLines(sIn);
    std::vector<std::vector<std::string>> aasTexts;
    for (size_t i = 0; i < asLines.size(); i++) {
        const std::string& s = asLines[i];
        std::string sWhere = sIn + ":" + std::to_string(i + 1);
        if (s.empty() || s[0] == '#')
            continue;
        std::vector<std::string> asFields = SplitTabs(s);
        if (asFields.size() != 6 && asFields.size() != 7)
            Die(sWhere, "expected number, five texts and an optional room");
        int nNumber = std::atoi(asFields[0].c_str());
        if (asFields[0] != std::to_string(nNumber) || nNumber != static_cast<int>(aasTexts.size()))
            Die(sWhere, "texts must be numbered 0, 1, 2 ... in order; expected " + std::to_string(aasTexts.size()));
        size_t nRoom = 0;
        if (asFields.size() == 7) {
            nRoom = static_cast<size_t>(std::atoi(asFields[6].c_str()));
            if (nRoom == 0 || nRoom > 40)
                Die(sWhere, "room must be 1..40 cells");
        }
        std::vector<std::string> asTexts;
        if (asFields[1] == "=")
            Die(sWhere, "the English text must be written out");
        for (int l = 0; l < LANGUAGES; l++)
            asTexts.push_back(asFields[1 + l] == "=" ? DecodeText(asFields[1], sWhere)
                                                    : DecodeText(asFields[1 + l], sWhere));
        size_t nLimit = std::max(asTexts[0].size(), nRoom);
        for (int l = 1; l < LANGUAGES; l++)
            if (asTexts[l].size() > nLimit)
                Die(sWhere, std::string(kapszNames[l]) + " text is " + std::to_string(asTexts[l].size()) +
                                " cells, the screens leave " + std::to_string(nLimit));
        aasTexts.push_back(asTexts);
    }
    if (aasTexts.size() != TEXTS)
        Die(sIn, "expected " + std::to_string(TEXTS) + " texts, found " + std::to_string(aasTexts.size()));

    // Each distinct string is stored once and shared by every entry that shows it.
    std::map<std::string, int> pooled;
    std::string sPool;
    std::string sTable;
    for (int l = 0; l < LANGUAGES; l++) {
        sTable += "    {  // " + std::string(kapszNames[l]) + "\n";
        for (int n = 0; n < TEXTS; n++) {
            const std::string& sText = aasTexts[n][l];
            auto it = pooled.find(sText);
            if (it == pooled.end()) {
                it = pooled.emplace(sText, static_cast<int>(pooled.size())).first;
                sPool += "const char kszText" + std::to_string(it->second) + "[] = " + CLiteral(sText) + ";\n";
            }
            sTable += "        kszText" + std::to_string(it->second) + ",  // " + std::to_string(n) + "\n";
        }
        sTable += "    },\n";
    }
    std::string s = "// Generated by textgen from resources/language/texts.tsv; edit the texts there.\n"
                    "#include \"display/language.h\"\n\n"
                    "namespace {\n\n" +
                    sPool + "\n}  // namespace\n\n" +
                    "const char* const gapszLanguageTable[LANGUAGE_COUNT][LANGUAGE_TEXT_COUNT] = {\n" + sTable + "};\n";
    WriteFile(sOut, s);
    return 0;
}

// ---------------------------------------------------------------- image

int GenerateImage(const std::string& sIn, const std::string& sOut)
{
    std::vector<std::string> asLines = ReadLines(sIn);
    std::vector<std::string> asRows;
    bool bHeader = false;
    for (size_t i = 0; i < asLines.size(); i++) {
        const std::string& s = asLines[i];
        std::string sWhere = sIn + ":" + std::to_string(i + 1);
        if (s.empty() || s[0] == '#')
            continue;
        if (!bHeader) {
            if (s != "image 240 128")
                Die(sWhere, "expected 'image 240 128'");
            bHeader = true;
            continue;
        }
        if (s.size() != 240 || s.find_first_not_of("#.") != std::string::npos)
            Die(sWhere, "a row is 240 dots of '#' and '.'");
        asRows.push_back(s);
    }
    if (asRows.size() != 128)
        Die(sIn, "expected 128 rows, found " + std::to_string(asRows.size()));
    std::vector<uint8_t> abData;
    for (const std::string& sRow : asRows)
        for (int b = 0; b < 30; b++) {
            uint8_t bByte = 0;
            for (int x = 0; x < 8; x++)
                if (sRow[8 * b + x] == '#')
                    bByte |= static_cast<uint8_t>(0x80 >> x);
            abData.push_back(bByte);
        }
    std::string s = "// Generated by textgen from resources/images/startup.txt; edit the picture there.\n"
                    "#include \"display/text_data.h\"\n\n"
                    "const uint8_t gabStartupImage[LCD_SCREEN_BYTES] = {";
    EmitBytes(s, abData);
    s += "};\n";
    WriteFile(sOut, s);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> asArgs(argv + 1, argv + argc);
    if (asArgs.size() == 5 && asArgs[0] == "fonts")
        return GenerateFonts(asArgs[1], asArgs[2], asArgs[3], asArgs[4]);
    if (asArgs.size() == 3 && asArgs[0] == "language")
        return GenerateLanguage(asArgs[1], asArgs[2]);
    if (asArgs.size() == 3 && asArgs[0] == "image")
        return GenerateImage(asArgs[1], asArgs[2]);
    std::fprintf(stderr,
                 "usage: textgen fonts SMALL LARGE DIGITS OUT.cpp\n"
                 "       textgen language TEXTS.tsv OUT.cpp\n"
                 "       textgen image PICTURE.txt OUT.cpp\n");
    return 2;
}
