// The number formatter: fixed-width fields with as many decimals as fit.
#pragma once

// Formats fValue into pszBuffer (at least 9 bytes) in mode 0, 1, 2, 4 or 5;
// returns the length written.
int FormatNumber(char* pszBuffer, double fValue, int nMode);
