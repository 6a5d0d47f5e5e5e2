#include <gtest/gtest.h>

#include "analysis/Padding.h"
#include "runtime/Cp932.h"

namespace morvane {
namespace {

TEST(Padding, CountsBytesAndNeverTruncates) {
    EXPECT_EQ(PadLeft10("1"), "         1");
    EXPECT_EQ(PadLeft10(""), "          ");
    EXPECT_EQ(PadLeft10(Cp932FromUtf8("平均")), "      " + Cp932FromUtf8("平均"));
    EXPECT_EQ(PadLeft10(Cp932FromUtf8("五文字名前")), Cp932FromUtf8("五文字名前"));
    EXPECT_EQ(PadLeft10("0123456789AB"), "0123456789AB");
    EXPECT_EQ(PadRight("SV", 10), "SV        ");
    EXPECT_EQ(PadRight("123456789012345", 15), "123456789012345");
    EXPECT_EQ(PadRight("1234567890123456", 15), "1234567890123456");
    EXPECT_EQ(PadRight("", 3), "   ");
}

}  // namespace
}  // namespace morvane
