// Fuzzes the decoder of the backslash escapes that operators type (the Send
// Message dialog, halden-cli's send and expect): any text decodes, an escape
// never makes the text longer, and text without a backslash is unchanged.
#include <cstdint>
#include <string>
#include <string_view>

#include "escape.h"

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
    return 0;
}
