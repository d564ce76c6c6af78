// Backslash escape decoding for operator-typed serial messages.
#include "escape.h"

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

namespace {

int HexValue(unsigned char c) { return HexDigitValue(static_cast<char>(c)); }

bool IsOctal(unsigned char c) { return c >= '0' && c <= '7'; }

}  // namespace

std::string DecodeEscapes(std::string_view sText)
{
    std::string sOut;
    size_t i = 0;
    while (i < sText.size()) {
        unsigned char c = static_cast<unsigned char>(sText[i++]);
        if (c != '\\') {
            sOut += static_cast<char>(c);
            continue;
        }
        if (i >= sText.size()) {
            sOut += '\\';
            break;
        }
        unsigned char e = static_cast<unsigned char>(sText[i++]);
        switch (e) {
        case 'a': sOut += '\a'; break;
        case 'b': sOut += '\b'; break;
        case 'f': sOut += '\f'; break;
        case 'n': sOut += '\n'; break;
        case 'r': sOut += '\r'; break;
        case 't': sOut += '\t'; break;
        case 'v': sOut += '\v'; break;
        case '"':
        case '\'':
        case '?':
        case '\\':
            sOut += static_cast<char>(e);
            break;
        case 'x': {
            if (i >= sText.size()) {
                sOut += '\\';
                sOut += '\0';
                break;
            }
            unsigned char h = static_cast<unsigned char>(sText[i]);
            if (h >= 128 || HexValue(h) < 0) {
                // Not a number: keep the backslash, drop the x, and let the
                // following character be processed normally.
                sOut += '\\';
                break;
            }
            unsigned int unValue = 0;
            while (i < sText.size()) {
                unsigned char d = static_cast<unsigned char>(sText[i]);
                if (d >= 128 || HexValue(d) < 0)
                    break;
                unValue = (unValue << 4 | static_cast<unsigned int>(HexValue(d))) & 0xFFF;
                i++;
            }
            sOut += static_cast<char>(unValue & 0xFF);
            break;
        }
        default:
            if (IsOctal(e)) {
                unsigned int unValue = e - '0';
                for (int n = 1; n < 3 && i < sText.size() && IsOctal(static_cast<unsigned char>(sText[i])); n++)
                    unValue = unValue * 8 + static_cast<unsigned int>(sText[i++] - '0');
                sOut += static_cast<char>(unValue & 0xFF);
            } else {
                sOut += '\\';
                sOut += static_cast<char>(e);
            }
            break;
        }
    }
    return sOut;
}

std::string EncodeEscapes(std::string_view sBytes)
{
    static const char kacHex[] = "0123456789ABCDEF";
    std::string sOut;
    for (size_t i = 0; i < sBytes.size(); i++) {
        unsigned char c = static_cast<unsigned char>(sBytes[i]);
        if (c == '\r')
            sOut += "\\r";
        else if (c == '\n')
            sOut += "\\n";
        else if (c == '\t')
            sOut += "\\t";
        else if (c == '\\' || c == '"') {
            sOut += '\\';
            sOut += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7E) {
            // \x takes every hex digit that follows, so before a hex digit
            // the byte goes as three octal digits, which end by themselves.
            unsigned char d = i + 1 < sBytes.size() ? static_cast<unsigned char>(sBytes[i + 1]) : 0;
            if (d < 128 && HexValue(d) >= 0) {
                sOut += '\\';
                sOut += static_cast<char>('0' + ((c >> 6) & 7));
                sOut += static_cast<char>('0' + ((c >> 3) & 7));
                sOut += static_cast<char>('0' + (c & 7));
            } else {
                sOut += "\\x";
                sOut += kacHex[c >> 4];
                sOut += kacHex[c & 15];
            }
        } else
            sOut += static_cast<char>(c);
    }
    return sOut;
}

std::string ControlEscape(char cLetter)
{
    int nCode = (cLetter & 0x5F) - 64;
    std::string s = "\\";
    s += static_cast<char>('0' + ((nCode >> 6) & 7));
    s += static_cast<char>('0' + ((nCode >> 3) & 7));
    s += static_cast<char>('0' + (nCode & 7));
    return s;
}
