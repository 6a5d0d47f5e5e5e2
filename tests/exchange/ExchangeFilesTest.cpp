// The CSV commands on real files: whole reads, whole replacements, and no data
// file made or changed by a refusal or a failed write.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::vector<std::string> Names(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int CodeOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const InOutError& error) {
        return error.code();
    }
    return 0;
}

TEST(ExchangeFiles, ReplacesAFileWholeOrNotAtAll) {
    TempDir dir;
    const std::string file = dir.File("f.dat");
    const auto writeBytes = [](const std::string& bytes) {
        return [bytes](const std::string& path) { WriteBytes(path, bytes); };
    };

    WriteWholeFile(file, writeBytes("first"));
    EXPECT_EQ(ReadBytes(file), "first");
    ::chmod(file.c_str(), 0640);
    WriteWholeFile(file, writeBytes("second, longer"));
    EXPECT_EQ(ReadBytes(file), "second, longer");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);  // the permissions of the file replaced

    // A write that fails leaves the old file and nothing else.
    EXPECT_THROW(WriteWholeFile(file,
                                [](const std::string& path) {
                                    WriteBytes(path, "half");
                                    throw InOutError(101);
                                }),
                 InOutError);
    EXPECT_EQ(ReadBytes(file), "second, longer");
    EXPECT_THROW(WriteWholeFile(dir.File("new.dat"),
                                [](const std::string& path) {
                                    WriteBytes(path, "half");
                                    throw CsvError("x");
                                }),
                 CsvError);
    EXPECT_EQ(Names(dir), std::vector<std::string>{"f.dat"});

    // Through a symbolic link the file it leads to is replaced, the link stays.
    std::filesystem::create_symlink(file, dir.File("link.dat"));
    WriteWholeFile(dir.File("link.dat"), writeBytes("third"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.dat")));
    EXPECT_EQ(ReadBytes(file), "third");

    // A device is written in place; a folder, a missing folder and a file that
    // may not be written fail as writing them in place would.
    WriteWholeFile("/dev/null", writeBytes("gone"));
    EXPECT_EQ(CodeOf([&] { WriteWholeFile(dir.File("none/x.dat"), writeBytes("x")); }), 3);
    EXPECT_EQ(CodeOf([&] {
                  WriteWholeFile(dir.Path().string(), [](const std::string& path) {
                      EXPECT_EQ(path.find(".morvane-"), std::string::npos);
                      throw InOutError(5);
                  });
              }),
              5);
    if (::geteuid() != 0) {
        ::chmod(file.c_str(), 0440);
        EXPECT_EQ(CodeOf([&] { WriteWholeFile(file, writeBytes("x")); }), 5);
        EXPECT_EQ(ReadBytes(file), "third");
    }
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"f.dat", "link.dat"}));
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
