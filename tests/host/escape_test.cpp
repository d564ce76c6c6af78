// Send Message escape decoding.
#include <gtest/gtest.h>

#include "escape.h"

TEST(EscapeTest, DecodingTable)
{
    struct Case {
        const char* pszText;
        std::string sBytes;
    } kCases[] = {
        {"ABC", "ABC"},
        {"\\x41\\x4a", "AJ"},
        {"\\101", "A"},
        {"\\q", "\\q"},
        {"end\\", "end\\"},
        {"\\a\\b\\f\\n\\r\\t\\v", "\a\b\f\n\r\t\v"},
        {"\\\"\\'\\?\\\\", "\"'?\\"},
        {"\\x141", "A"},            // every hex digit is taken, low 8 bits kept
        {"\\x4G", std::string("\x04G")},
        {"\\xZ", "\\Z"},            // no hex digit: backslash kept, x dropped
        {"\\x", std::string("\\\0", 2)},
        {"\\0", std::string("\0", 1)},
        {"\\0101", "\x08" "1"},     // at most three octal digits
        {"\\777", "\xFF"},          // 511 modulo 256
        {"\\8", "\\8"},
        {"", ""},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(DecodeEscapes(c.pszText), c.sBytes) << "text " << c.pszText;
}

TEST(EscapeTest, ControlButtonsInsertOctalEscapes)
{
    EXPECT_EQ(ControlEscape('H'), "\\010");
    EXPECT_EQ(ControlEscape('R'), "\\022");
    EXPECT_EQ(ControlEscape('T'), "\\024");
    EXPECT_EQ(DecodeEscapes(ControlEscape('T')), "\x14");
}

// Encoded text is readable (no control bytes, quotes escaped) and decodes
// back to the same bytes, whatever follows an escaped byte.
TEST(EscapeTest, EncodingDecodesBackExactly)
{
    EXPECT_EQ(EncodeEscapes("E00\r\n\t\"\\"), "E00\\r\\n\\t\\\"\\\\");
    EXPECT_EQ(EncodeEscapes("\x14" "1,\x80" "x"), "\\0241,\\x80x");
    std::string sAll;
    for (int i = 0; i < 256; i++) {
        sAll += static_cast<char>(i);
        sAll += static_cast<char>(255 - i);
        sAll += "0a";
    }
    std::string sEncoded = EncodeEscapes(sAll);
    for (unsigned char c : sEncoded)
        EXPECT_TRUE(c >= 0x20 && c < 0x7F);
    EXPECT_EQ(DecodeEscapes(sEncoded), sAll);
}
