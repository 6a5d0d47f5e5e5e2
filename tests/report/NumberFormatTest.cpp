#include <gtest/gtest.h>

#include "report/NumberFormat.h"
#include "runtime/Errors.h"

namespace morvane {
namespace {

struct FormatCase {
    const char* name;
    Extended value;
    int precision;
    const char* text;
};

const FormatCase kCases[] = {
    // The forms of the summary table (precision 9) and the mean row (precision 7).
    {"quarter", 40.75L, 9, "40.75"},
    {"third", 1.0L / 3, 9, "0.333333333"},
    {"twelfth", 1.0L / 12, 9, "0.0833333333"},
    {"integer", 100, 9, "100"},
    {"ten digits go scientific", 1234567890, 9, "1.23456789E9"},
    {"carry out of the first digit", 999999999.6L, 9, "1E9"},
    {"smallest fixed", 0.0001L, 9, "0.0001"},
    {"below fixed", 0.00009L, 9, "9E-5"},
    {"negative", -0.125L, 9, "-0.125"},
    {"mean of 4, 3, 6", 13.0L / 3, 7, "4.333333"},
    {"two and a half", 2.5L, 7, "2.5"},
    {"three", 3, 7, "3"},
    {"eight digits", 12345678, 7, "1.234568E7"},
    {"mean 0.00005", 0.00005L, 7, "5E-5"},
    // Edges of the two notations.
    {"zero", 0, 9, "0"},
    {"negative zero", -0.0L, 7, "0"},
    {"p digits fill the integer part", 1500000, 7, "1500000"},
    {"largest fixed", 9999999, 7, "9999999"},
    {"rounds into scientific", 9999999.5L, 7, "1E7"},
    {"scientific large", 1e7L, 7, "1E7"},
    {"negative scientific", -2.5e-10L, 9, "-2.5E-10"},
    {"four decades down", 0.000123456789L, 9, "0.000123456789"},
    {"carry within the digits", 0.1299999999L, 7, "0.13"},
    {"half rounds up, not to even", 0.125L, 2, "0.13"},
    {"tiny residue", 2.7105054312137610850e-20L, 9, "2.71050543E-20"},
    {"largest extended", std::numeric_limits<Extended>::max(), 9, "1.1897315E4932"},
    {"smallest denormal", std::numeric_limits<Extended>::denorm_min(), 9, "3.64519953E-4951"},
    // The 18-digit step rounds ties to even before the cut: 1234567499999999995
    // has 19 digits; its 18th (9) is odd, so it rounds up to ...75 and then to
    // 1234568, while ...985 keeps its even 8 and cuts to 1234567.
    {"tie rounds up to even", 1234567499999999995.0L, 7, "1.234568E18"},
    {"tie stays on even", 1234567499999999985.0L, 7, "1.234567E18"},
    // 19 digits whose 18th is followed by less than a half: no rounding up.
    {"below a tie", 1234567499999999994.0L, 7, "1.234567E18"},
};

TEST(FormatGeneral, Table) {
    for (const FormatCase& c : kCases) EXPECT_EQ(FormatGeneral(c.value, c.precision, '.'), c.text) << c.name;
}

TEST(FormatGeneral, WritesTheGivenDecimalSeparator) {
    EXPECT_EQ(FormatGeneral(13.0L / 3, 7, ','), "4,333333");
    EXPECT_EQ(FormatGeneral(1.0L / 12, 9, ','), "0,0833333333");
    EXPECT_EQ(FormatGeneral(1234567890, 9, ','), "1,23456789E9");
    EXPECT_EQ(FormatGeneral(100, 9, ','), "100");
}

TEST(FormatGeneral, RefusesValuesWithoutDigits) {
    EXPECT_THROW(FormatGeneral(std::numeric_limits<Extended>::infinity(), 9, '.'), OverflowError);
    EXPECT_THROW(FormatGeneral(-std::numeric_limits<Extended>::infinity(), 9, '.'), OverflowError);
    EXPECT_THROW(FormatGeneral(std::numeric_limits<Extended>::quiet_NaN(), 9, '.'), InvalidOperationError);
}

}  // namespace
}  // namespace morvane
