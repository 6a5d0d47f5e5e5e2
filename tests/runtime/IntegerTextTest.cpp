#include <gtest/gtest.h>

#include "runtime/IntegerText.h"

namespace morvane {
namespace {

struct CountCase {
    const char* text;
    std::optional<std::int32_t> value;
};

TEST(IntegerText, CountFormsConvertOrFail) {
    const CountCase cases[] = {
        {"2", 2},           {"+7", 7},          {"-3", -3},          {"007", 7},
        {"2147483647", 2147483647},             {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},           {"-2147483649", std::nullopt},
        {"$10", 16},        {"0x10", 16},       {"0X1f", 31},        {"x10", 16},
        {"XfF", 255},       {"-$10", 16},       {"+0x10", 16},       {"$FFFFFFFF", -1},
        {"$80000000", INT32_MIN},               {"$100000000", std::nullopt},
        {"$", std::nullopt},                    {"0x", std::nullopt},
        {"2x", std::nullopt},                   {"+-5", std::nullopt},
        {"", std::nullopt}, {"-", std::nullopt}, {"1.5", std::nullopt}, {"$1g", std::nullopt},
        {"00x10", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ConvertCount(c.text), c.value) << "text: " << c.text;
}

TEST(IntegerText, IntegerAllowsLeadingSpacesOnly) {
    EXPECT_EQ(ConvertInteger(" 5"), 5);
    EXPECT_EQ(ConvertInteger("   $10"), 16);
    EXPECT_EQ(ConvertInteger("5 "), std::nullopt);
    EXPECT_EQ(ConvertInteger(""), std::nullopt);
    EXPECT_EQ(ConvertInteger("   "), std::nullopt);
    EXPECT_EQ(ConvertInteger("\t5"), std::nullopt);
    EXPECT_EQ(ConvertInteger("\xef\xbc\x95"), std::nullopt);  // full-width 5 in UTF-8
    EXPECT_EQ(ConvertInteger("\x82\x54"), std::nullopt);      // full-width 5 in code page 932
    EXPECT_EQ(ConvertInteger("-5"), -5);
}

}  // namespace
}  // namespace morvane
