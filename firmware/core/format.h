// The number formatter: fixed-width fields with as many decimals as fit.
//
// Modes: 0 seven characters with a sign position (display results, method
// results in reports); 1 six characters with a sign position (absorbance in
// reports); 2 seven characters, one more decimal below 1 (factor lines, the
// number editor); 4 no sign position, five characters padded to six (a
// set-up value field); 5 no sign position, a trailing point added to five
// characters. Mode 3 is not used and formats as mode 0 without adjustment.
#pragma once

constexpr int FORMAT_BUFFER_SIZE = 9;  // smallest buffer FormatNumber may be given

// Formats fValue into pszBuffer (at least 9 bytes) in mode 0, 1, 2, 4 or 5;
// returns the length written. A number too large for the field is written as
// a row of '*' of the field's width.
int FormatNumber(char* pszBuffer, double fValue, int nMode);
