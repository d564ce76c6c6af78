// Fuzzes the backslash escapes that operators type (the Send Message dialog,
// halden-cli's send and expect) and that logs show:
// - any text decodes; an escape never makes the text longer, and text
//   without a backslash is unchanged;
// - the input taken as bytes comes back from its encoding, which is
//   printable ASCII only;
// - the same bytes written independently, each as a three-digit octal
//   escape, or as \xHH where no hex digit follows, decode to the bytes.
#include <cstdint>
#include <string>
#include <string_view>

#include "escape.h"

namespace {

bool PrintableAscii(std::string_view s)
{
    for (unsigned char c : s)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

bool HexDigit(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbData, size_t nSize)
{
    std::string_view sText(reinterpret_cast<const char*>(pbData), nSize);
    std::string sDecoded = DecodeEscapes(sText);
    // "\x" at the very end decodes to a backslash and a zero byte: the one
    // case where the output may grow, by that one byte.
    if (sDecoded.size() > sText.size() + 1)
        __builtin_trap();
    if (sText.find('\\') == std::string_view::npos && sDecoded != sText)
        __builtin_trap();

    std::string sEncoded = EncodeEscapes(sText);
    if (!PrintableAscii(sEncoded) || DecodeEscapes(sEncoded) != sText)
        __builtin_trap();

    static const char kacHex[] = "0123456789abcdef";
    std::string sOctal, sHex;
    for (size_t i = 0; i < nSize; i++) {
        unsigned char c = pbData[i];
        sOctal += '\\';
        sOctal += static_cast<char>('0' + (c >> 6));
        sOctal += static_cast<char>('0' + ((c >> 3) & 7));
        sOctal += static_cast<char>('0' + (c & 7));
        if (i + 1 < nSize && HexDigit(pbData[i + 1])) {
            sHex += static_cast<char>(c);  // a plain byte here, decoded as itself unless it is a backslash
            if (c == '\\')
                sHex += '\\';
        } else {
            sHex += "\\x";
            sHex += kacHex[c >> 4];
            sHex += kacHex[c & 15];
        }
    }
    if (DecodeEscapes(sOctal) != sText || DecodeEscapes(sHex) != sText)
        __builtin_trap();
    return 0;
}
