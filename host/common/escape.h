// Decoding of the backslash escapes that an operator types into a serial
// message (the Send Message dialog, halden-cli's send and expect commands).
#pragma once

#include <string>
#include <string_view>

// Decodes C-style escapes: \a \b \f \n \r \t \v, \" \' \? \\, \xHH... (all
// hex digits that follow, low 8 bits kept), \ooo (one to three octal digits).
// Malformed escapes stay in the text: "\q" gives a backslash and q, a
// trailing backslash stays a backslash, "\x" with no hex digit gives a
// backslash and the character after the x (a zero byte at the end of text).
std::string DecodeEscapes(std::string_view sText);

// The inverse, for showing serial text in messages and logs: CR, LF and TAB
// as \r \n \t, a backslash and a double quote escaped, other bytes outside
// 0x20..0x7E as \xHH. The result pasted between quotes decodes to the text.
std::string EncodeEscapes(std::string_view sBytes);

// The value of a hexadecimal digit, or -1 for any other character.
int HexDigitValue(char c);

// The four-character octal escape that stands for CTRL+letter ("\024" for T).
std::string ControlEscape(char cLetter);
