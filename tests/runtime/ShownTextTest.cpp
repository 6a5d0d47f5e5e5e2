// The one rule for names in every output: valid UTF-8 kept, control
// characters, noncharacters and each byte that is not UTF-8 as U+FFFD.

#include <gtest/gtest.h>

#include <string>

#include "runtime/ShownText.h"

namespace morvane {
namespace {

const std::string kR = "\xEF\xBF\xBD";  // U+FFFD

TEST(ShownText, KeepsValidTextAndReplacesWhatReadersRefuse) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"plain name 1", "plain name 1"},
        {"被験者 Ⅰ é 😀", "被験者 Ⅰ é 😀"},
        {std::string("a\0b", 3), "a" + kR + "b"},
        {"\x1b[31mred\x1b[0m", kR + "[31mred" + kR + "[0m"},
        {"tab\there\nline\r", "tab" + kR + "here" + kR + "line" + kR},
        {"del\x7f", "del" + kR},
        {"c1\xC2\x85", "c1" + kR},                           // U+0085, a C1 control
        {"non\xEF\xBF\xBE\xEF\xBF\xBF", "non" + kR + kR},    // U+FFFE, U+FFFF
        {"bad\xFF\xFE", "bad" + kR + kR},                    // bytes never UTF-8
        {"over\xC0\xAF", "over" + kR + kR},                  // an overlong '/'
        {"sur\xED\xA0\x80", "sur" + kR + kR + kR},           // a surrogate
        {"cut\xE3\x81", "cut" + kR + kR},                    // a character cut short
        {"big\xF4\x90\x80\x80", "big" + kR + kR + kR + kR},  // beyond U+10FFFF
        {"<&\"'>", "<&\"'>"},                                // each format escapes its own
    };
    for (const Case& c : cases) EXPECT_EQ(ShownText(c.in), c.out) << c.in;
    // A message keeps its line ends, and nothing else.
    EXPECT_EQ(ShownLines("one\ntwo\x1b\t"), "one\ntwo" + kR + kR);
}

}  // namespace
}  // namespace morvane
