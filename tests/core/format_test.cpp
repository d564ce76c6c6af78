// The fixed-width number formatter, mode by mode.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "core/format.h"

namespace {

struct Case {
    double fValue;
    int nMode;
    const char* pszExpected;
};

std::string Format(double f, int nMode)
{
    char acBuffer[FORMAT_BUFFER_SIZE + 8];
    std::memset(acBuffer, '#', sizeof acBuffer);
    int n = FormatNumber(acBuffer, f, nMode);
    EXPECT_EQ(n, static_cast<int>(std::strlen(acBuffer)));
    EXPECT_LT(n, FORMAT_BUFFER_SIZE);
    // Nothing is written past the terminating NUL.
    for (size_t i = static_cast<size_t>(n) + 1; i < sizeof acBuffer; i++)
        EXPECT_EQ(acBuffer[i], '#') << "byte " << i << " written for " << f;
    return acBuffer;
}

}  // namespace

TEST(FormatNumberTest, Examples)
{
    const Case kCases[] = {
        // Mode 1: six characters with a sign position.
        {1.23456, 1, " 1.235"},
        {12.3456, 1, " 12.35"},
        {123.456, 1, " 123.5"},
        {1234.6, 1, " 1235 "},
        {-0.0004, 1, " 0.000"},
        {-0.25, 1, "-0.250"},
        {0.0, 1, " 0.000"},
        {9.9995, 1, " 10.00"},
        {9.9994, 1, " 9.999"},
        {99.995, 1, " 100.0"},
        {999.95, 1, " 1000 "},
        {-12.5, 1, "-12.50"},
        // Mode 0: seven characters with a sign position.
        {1.23456, 0, " 1.2346"},
        {12345.6, 0, " 12346 "},
        {12.3456, 0, " 12.346"},
        {123.456, 0, " 123.46"},
        {1234.56, 0, " 1234.6"},
        {-0.00004, 0, " 0.0000"},
        {-5.5, 0, "-5.5000"},
        {9999.95, 0, " 10000 "},
        {-99999.0, 0, "-99999 "},
        {123456.0, 0, " 123456"},
        // Mode 2: one more decimal below 1.
        {0.5, 2, " 0.5000"},
        {0.123456, 2, " .12346"},
        {-0.5, 2, "-0.5000"},
        {1.23456, 2, " 1.2346"},
        {12345.6, 2, " 12346."},
        {0.0, 2, " 0.0000"},
        // Mode 4: no sign position, five characters padded to six.
        {1.23456, 4, "1.235 "},
        {12.3456, 4, "12.35 "},
        {1234.6, 4, "1235"},
        {0.0, 4, "0.000 "},
        // Mode 5: no sign position, a point added to five characters.
        {1.23456, 5, "1.235."},
        {1234.6, 5, "1235"},
        {12345.0, 5, "12345."},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(Format(c.fValue, c.nMode), c.pszExpected) << c.fValue << " in mode " << c.nMode;
}

// Without a sign position a negative value keeps its minus sign rather
// than show as a positive number.
TEST(FormatNumberTest, UnsignedModesKeepAMinusSign)
{
    EXPECT_EQ(Format(-1.23456, 4), "-1.235");
    EXPECT_EQ(Format(-12.5, 5), "-12.50");
}

// A value too large for the field never overruns the 9-byte buffer.
TEST(FormatNumberTest, OversizedValuesFillTheFieldWithStars)
{
    const Case kCases[] = {
        {12345678.0, 0, "*******"}, {-1e300, 0, "*******"}, {1e15, 1, "******"},
        {123456789.0, 2, "*******"}, {1e9, 4, "******"},    {-1e9, 5, "******"},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(Format(c.fValue, c.nMode), c.pszExpected) << c.fValue << " in mode " << c.nMode;
    EXPECT_EQ(Format(std::numeric_limits<double>::infinity(), 0), " inf");
}
