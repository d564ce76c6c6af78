// The number formatter shared by the display registers, the reports and
// the number editor.
#include "core/format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Decimals that keep the field width for a value of magnitude fAbs.
int Decimals(double fAbs, int nMode)
{
    if (nMode == 1 || nMode == 4 || nMode == 5) {
        if (fAbs >= 999.95)
            return 0;
        if (fAbs >= 99.995)
            return 1;
        if (fAbs >= 9.9995)
            return 2;
        return 3;
    }
    if (fAbs >= 9999.95)
        return 0;
    if (fAbs >= 999.995)
        return 1;
    if (fAbs >= 99.9995)
        return 2;
    if (fAbs >= 9.99995)
        return 3;
    if (nMode == 2 && fAbs < 0.999995)
        return 5;
    return 4;
}

void RemoveAt(char* psz, size_t n) { std::memmove(psz + n, psz + n + 1, std::strlen(psz + n)); }

}  // namespace

int FormatNumber(char* pszBuffer, double fValue, int nMode)
{
    // Wide enough for any double in "%.5f".
    char acText[400];
    std::snprintf(acText, sizeof acText, "% .*f", Decimals(std::fabs(fValue), nMode), fValue);
    size_t n = std::strlen(acText);

    switch (nMode) {
    case 0:
    case 1:
        // A value that rounds to zero loses its minus sign.
        if (std::strspn(acText + 1, "0.") == n - 1)
            acText[0] = ' ';
        if ((nMode == 0 && n == 6) || (nMode == 1 && n == 5))
            std::strcat(acText, " ");
        break;
    case 2:
        if (n == 6)
            std::strcat(acText, ".");
        else if (n == 8) {
            if (acText[7] == '0')
                acText[7] = '\0';
            else
                RemoveAt(acText, 1);  // the zero before the decimal point
        }
        break;
    case 4:
    case 5:
        // The sign position is dropped; a minus sign is kept so that a
        // negative value never shows as positive.
        if (acText[0] == ' ')
            RemoveAt(acText, 0);
        if (std::strlen(acText) == 5)
            std::strcat(acText, nMode == 4 ? " " : ".");
        break;
    default:
        break;
    }

    n = std::strlen(acText);
    if (n >= FORMAT_BUFFER_SIZE) {
        size_t nField = (nMode == 1 || nMode == 4 || nMode == 5) ? 6 : 7;
        std::memset(acText, '*', nField);
        acText[nField] = '\0';
        n = nField;
    }
    std::memcpy(pszBuffer, acText, n + 1);
    return static_cast<int>(n);
}
