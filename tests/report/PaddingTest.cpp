#include <gtest/gtest.h>

#include "report/Padding.h"
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

// Laid out in place, a field is what PadLeft10 gives, whatever the text's
// length, and nothing past its end is touched.
TEST(Padding, FieldsLaidOutInPlaceAreThoseAppended) {
    for (std::size_t n = 0; n <= 40; ++n) {
        std::string text;
        for (std::size_t i = 0; i < n; ++i) text += static_cast<char>('A' + i % 26);
        std::string buffer(64, '#');
        char* end = PutPadLeft10(buffer.data(), text);
        const std::string field = PadLeft10(text);
        EXPECT_EQ(buffer.substr(0, static_cast<std::size_t>(end - buffer.data())), field) << n;
        EXPECT_EQ(buffer.substr(field.size()), std::string(64 - field.size(), '#')) << n;
    }
}

}  // namespace
}  // namespace morvane
