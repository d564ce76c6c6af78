// std::from_chars for a double where the standard library has it; the web
// build's library lacks it, and there a strict equivalent over strtod reads
// the same plain decimal numbers ("-12.5", ".5", "3e-2"; no sign '+', no
// blanks, no hexadecimal, no inf or nan).
#pragma once

#include <charconv>
#include <cstdlib>
#include <string>
#include <system_error>

inline std::from_chars_result FromChars(const char* pFirst, const char* pLast, double& f)
{
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    return std::from_chars(pFirst, pLast, f);
#else
    auto digits = [pLast](const char* p) {
        while (p < pLast && *p >= '0' && *p <= '9')
            p++;
        return p;
    };
    const char* p = pFirst;
    if (p < pLast && *p == '-')
        p++;
    const char* pMantissa = p;
    p = digits(p);
    bool bDigits = p > pMantissa;
    if (p < pLast && *p == '.') {
        const char* pFraction = digits(p + 1);
        bDigits = bDigits || pFraction > p + 1;
        p = pFraction;
    }
    if (!bDigits)
        return {pFirst, std::errc::invalid_argument};
    if (p < pLast && (*p == 'e' || *p == 'E')) {
        const char* pExponent = p + 1;
        if (pExponent < pLast && (*pExponent == '-' || *pExponent == '+'))
            pExponent++;
        const char* pEnd = digits(pExponent);
        if (pEnd > pExponent)
            p = pEnd;
    }
    const std::string sNumber(pFirst, p);
    f = std::strtod(sNumber.c_str(), nullptr);
    return {p, std::errc()};
#endif
}
