#include <gtest/gtest.h>

#include <cstdlib>

#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "scores/ScoreSyntax.h"

namespace morvane {
namespace {

struct ScoreCase {
    const char* text;
    std::optional<Extended> value;
};

TEST(ScoreSyntax, AcceptsExactlyTheScoreForm) {
    const ScoreCase cases[] = {
        {"12.5", 12.5L},     {"  12.5  ", 12.5L}, {"1.5e2", 150.0L},  {"+4", 4.0L},
        {"-3", -3.0L},       {"1E-3", 0.001L},    {"1.", 1.0L},       {".5", 0.5L},
        {"1e+2", 100.0L},    {"-0", -0.0L},       {"007", 7.0L},      {"0e4999", 0.0L},
        {"1e4932", 1e4932L}, {"1e-4999", 0.0L},
        {"", std::nullopt},      {" ", std::nullopt},     {".", std::nullopt},
        {"1,5", std::nullopt},   {"1,000", std::nullopt}, {"12 3", std::nullopt},
        {"\t12", std::nullopt},  {"12\t", std::nullopt},  {"1e", std::nullopt},
        {"e5", std::nullopt},    {"+", std::nullopt},     {"--1", std::nullopt},
        {"1e5000", std::nullopt}, {"0e5000", std::nullopt}, {"1e-5000", std::nullopt},
        {"1e4933", std::nullopt}, {"1.2.3", std::nullopt}, {"0x10", std::nullopt},
        {"inf", std::nullopt},   {"nan", std::nullopt},   {"1 e5", std::nullopt},
        {"\x82\x50\x82\x51", std::nullopt},  // full-width digits
    };
    for (const auto& c : cases) {
        auto value = ParseScore(c.text, '.');
        EXPECT_EQ(value.has_value(), c.value.has_value()) << "text: '" << c.text << "'";
        EXPECT_EQ(IsScore(c.text, '.'), c.value.has_value()) << "text: '" << c.text << "'";
        if (value && c.value) {
            EXPECT_EQ(*value, *c.value) << "text: '" << c.text << "'";
        }
    }
    EXPECT_TRUE(std::signbit(*ParseScore("-0", '.')));
}

TEST(ScoreSyntax, IsScoreAgreesWithParseScoreNearTheEndsOfTheRange) {
    // Long runs of digits and exponents near the limits, where only the value tells.
    const std::string digits[] = {"1", "9", "0", "00000000001", std::string(30, '9'), std::string(4899, '1'),
                                  std::string(4933, '1'), "0." + std::string(40, '0') + "1"};
    int scores = 0;
    for (const std::string& mantissa : digits)
        for (int exponent : {-4999, -4960, -4951, -32, 0, 27, 4000, 4890, 4899, 4900, 4931, 4932, 4933, 4999})
            for (const char* sign : {"", "-"}) {
                const std::string text = sign + mantissa + "e" + std::to_string(exponent);
                EXPECT_EQ(IsScore(text, '.'), ParseScore(text, '.').has_value()) << text;
                scores += IsScore(text, '.');
            }
    EXPECT_GT(scores, 100);
    EXPECT_LT(scores, 8 * 14 * 2);
}

TEST(ScoreSyntax, DecimalSeparatorComesFromTheSetting) {
    EXPECT_EQ(ParseScore("1,5", ','), 1.5L);
    EXPECT_EQ(ParseScore("1.5", ','), std::nullopt);
    EXPECT_EQ(ParseScore("1,5e1", ','), 15.0L);
}

TEST(ScoreSyntax, ValuesAreCorrectlyRounded) {
    // Long mantissas, big and tiny exponents: the C library's reading is exact.
    for (const char* text : {"0.1", "3.14159265358979323846264338327950288", "123456789012345678901234567890",
                             "1e-4940", "4.9e-4951", "1.18973149535723176502e4932", "2.5e-30",
                             "0.000000000000000000000000000001", "9007199254740993", "18446744073709551615"}) {
        EXPECT_EQ(ParseScore(text, '.'), std::strtold(text, nullptr)) << text;
    }
    EXPECT_GT(*ParseScore("1e-4940", '.'), 0.0L);  // a denormal, not an error
}

TEST(ScoreSyntax, ScoreValueNamesTheTextInItsMessage) {
    try {
        ScoreValue("12 3", '.');
        FAIL();
    } catch (const ConvertError& error) {
        EXPECT_EQ(error.message(), Cp932FromUtf8("'12 3' は浮動小数点数ではありません"));
    }
    EXPECT_EQ(ScoreValue(" 8 ", '.'), 8.0L);
}

}  // namespace
}  // namespace morvane
