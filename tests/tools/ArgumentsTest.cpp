// The tool's argument reader and error edge, in process.

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "Arguments.h"
#include "ErrorEdge.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"

namespace morvane::tool {
namespace {

std::string Listed(const Arguments& arguments) {
    std::string text;
    for (std::size_t i = 0; i < arguments.FileCount(); ++i) text += "[" + arguments.Word(i) + "]";
    for (const Option& option : arguments.Options())
        text += " " + option.name + "=" + option.value.value_or("*");
    return text;
}

std::string UsageMessage(const std::vector<std::string>& words, OtherOptions others) {
    try {
        Arguments(words, {"--long"}, {"--format"}, others);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "no error";
}

TEST(ToolArguments, FileNamesAndOptionsReadLooselyAndStrictly) {
    const std::vector<std::string> words = {"a.dat", "--format", "--long", "-",        "--format=csv", "--x",
                                            "--",    "-y",       "--long", "--format", "json"};
    // Loosely, only the options' own words are options, and a value is the next word whatever it is.
    const Arguments loose(words, {"--long"}, {"--format"}, OtherOptions::AreFiles);
    EXPECT_EQ(Listed(loose), "[a.dat][-][--format=csv][--x][--][-y] --format=--long --long=* --format=json");
    EXPECT_EQ(loose.File(0), "a.dat");
    EXPECT_EQ(loose.File(1), "");  // "-", the standard stream
    EXPECT_EQ(loose.Word(1), "-");

    // Strictly, "--" ends the options: the words after it are files, whatever they look like.
    const std::vector<std::string> strictWords = {"in.csv", "--format", "--long", "-", "--", "-y", "--long"};
    EXPECT_EQ(Listed(Arguments(strictWords, {"--long"}, {"--format"}, OtherOptions::AreErrors)),
              "[in.csv][-][-y][--long] --format=--long");

    using enum OtherOptions;
    EXPECT_EQ(UsageMessage({"a", "--format"}, AreFiles), "--format needs a value");
    EXPECT_EQ(UsageMessage({"a", "--x", "b"}, AreFiles), "no error");
    EXPECT_EQ(UsageMessage({"a", "--format"}, AreErrors), "--format needs a value");
    EXPECT_EQ(UsageMessage({"a", "--x=1", "--long=2"}, AreErrors), "unknown option --x");
    EXPECT_EQ(UsageMessage({"--long=2", "--x"}, AreErrors), "--long takes no value");
    EXPECT_EQ(UsageMessage({"a", "--long", "--format=", "b"}, AreErrors), "no error");
    EXPECT_EQ(UsageMessage({"a", "-x"}, AreErrors), "unknown option -x");
    EXPECT_EQ(UsageMessage({"a", "-x=1"}, AreErrors), "unknown option -x=1");
    EXPECT_EQ(UsageMessage({"--", "-x", "--format"}, AreErrors), "no error");
    // Strictly, a value given twice is refused; a flag twice is no harm.
    EXPECT_EQ(UsageMessage({"a", "--format=csv", "--format", "json"}, AreErrors), "--format is given twice");
    EXPECT_EQ(UsageMessage({"a", "--long", "--long"}, AreErrors), "no error");
}

TEST(ToolErrorEdge, ShowsTheCoresErrorsInUtf8WithStatusOne) {
    const std::pair<std::function<int()>, std::pair<int, std::string>> cases[] = {
        {[] { return 7; }, {7, ""}},
        {[]() -> int { throw Error(Cp932FromUtf8("ファイルが見つかりません")); },
         {1, "morvane: ファイルが見つかりません\n"}},
        {[]() -> int { throw std::bad_alloc(); }, {1, "morvane: メモリが足りません\n"}},
    };
    for (const auto& [body, expected] : cases) {
        ::testing::internal::CaptureStderr();
        const int status = RunShowingErrors(body);
        EXPECT_EQ(std::make_pair(status, ::testing::internal::GetCapturedStderr()), expected);
    }
}

}  // namespace
}  // namespace morvane::tool
