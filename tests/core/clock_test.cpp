// The calendar rule shared by the keypad's date editor and the DATE command.
#include <gtest/gtest.h>

#include "core/clock.h"

namespace {

struct DateCase {
    uint8_t bDay, bMonth, bYear;
    bool bValid;
};

void PrintTo(const DateCase& c, std::ostream* os)
{
    *os << int(c.bDay) << '/' << int(c.bMonth) << '/' << int(c.bYear) << (c.bValid ? " valid" : " invalid");
}

class DateRule : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateRule, DayMustExistInTheMonthOfThatYear)
{
    const DateCase& c = GetParam();
    EXPECT_EQ(DateValid(c.bDay, c.bMonth, c.bYear), c.bValid);
}

INSTANTIATE_TEST_SUITE_P(Dates, DateRule,
                         ::testing::Values(DateCase{29, 2, 24, true}, DateCase{29, 2, 0, true},
                                           DateCase{29, 2, 23, false}, DateCase{28, 2, 23, true},
                                           DateCase{31, 4, 25, false}, DateCase{30, 4, 25, true},
                                           DateCase{31, 12, 99, true}, DateCase{1, 13, 25, false},
                                           DateCase{1, 0, 25, false}, DateCase{0, 1, 25, false},
                                           DateCase{32, 1, 25, false}));

}  // namespace
