// The CSV commands' reading of whole files. (Their writing is the text
// writer's, whose replacements tests/runtime tries.)

#include <gtest/gtest.h>

#include <filesystem>

#include "exchange/ExchangeFiles.h"
#include "exchange/ExchangeMessages.h"
#include "runtime/Cp932.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

int CodeOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const InOutError& error) {
        return error.code();
    }
    return 0;
}

TEST(ExchangeFiles, ReadsWholeFiles) {
    TempDir dir;
    const std::string big(200000, 'x');
    WriteBytes(dir.File("big.csv"), big);
    EXPECT_EQ(ReadWholeFile(dir.File("big.csv")).View(), big);
    WriteBytes(dir.File("empty.csv"), "");
    EXPECT_EQ(ReadWholeFile(dir.File("empty.csv")).View(), "");
    EXPECT_EQ(CodeOf([&] { ReadWholeFile(dir.File("missing.csv")); }), 2);
    EXPECT_EQ(CodeOf([&] { ReadWholeFile(dir.File("none/x.csv")); }), 3);
    EXPECT_EQ(CodeOf([&] { ReadWholeFile(dir.Path().string()); }), 5);
}

}  // namespace
}  // namespace morvane
