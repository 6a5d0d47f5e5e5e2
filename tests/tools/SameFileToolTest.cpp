// No command of the tool writes over a file that it reads, whatever name or
// link leads there; a different output of the same study is written as ever.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TempDir.h"
#include "tools/RunTool.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::RunTool;
using testing::TempDir;
using testing::WriteBytes;

TEST(MorvaneTool, NoCommandWritesOverItsOwnInput) {
    TempDir dir;
    const std::string study = ReadBytes(std::string(MORVANE_EXAMPLES) + "/worked-example.dat");
    ASSERT_FALSE(study.empty());
    const std::string data = dir.File("s.dat"), csv = dir.File("s.csv");
    WriteBytes(data, study);
    ASSERT_EQ(RunTool("export " + data + " " + csv).status, 0);
    const std::string table = ReadBytes(csv);
    // Every way to name the input again: itself, a link, a link to a link
    // through a linked folder, a second hard link.
    fs::create_symlink(data, dir.File("link.dat"));
    fs::create_directory(dir.File("sub"));
    fs::create_directory_symlink(dir.File("sub"), dir.File("via"));
    fs::create_symlink("../link.dat", dir.File("sub/deep.png"));
    fs::create_hard_link(data, dir.File("hard.dat"));
    fs::create_symlink(csv, dir.File("table.dat"));
    const std::string rows[] = {
        "copy " + data + " " + data,
        "copy " + data + " " + dir.File("link.dat"),
        "copy - " + dir.File("hard.dat") + " <" + data,
        "report " + data + " " + data,
        "report " + dir.File("hard.dat") + " " + dir.File("via/deep.png"),
        "listing " + data + " " + dir.File("link.dat"),
        "anova " + data + " " + data,
        "anova " + data + " --format csv " + dir.File("hard.dat"),
        "anova " + data + " - >>" + data,
        "sums " + dir.File("link.dat") + " >>" + data,
        "export " + data + " " + dir.File("link.dat"),
        "import " + csv + " " + dir.File("table.dat"),
        "plot " + data + " " + dir.File("via/deep.png"),
    };
    for (const std::string& row : rows) {
        const testing::ToolResult result = RunTool(row);
        EXPECT_EQ(result.status, 1) << row;
        EXPECT_EQ(result.err, "morvane: 出力ファイルが入力ファイルと同じです\n") << row;
        EXPECT_EQ(ReadBytes(data), study) << row;
        EXPECT_EQ(ReadBytes(csv), table) << row;
    }
    // Nothing was left beside them either.
    std::size_t names = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.Path())) ++names;
    EXPECT_EQ(names, 7u);
    // A copy of the study is another file, and is written.
    WriteBytes(dir.File("copy.dat"), study);
    EXPECT_EQ(RunTool("report " + data + " " + dir.File("copy.dat")).status, 0);
    EXPECT_NE(ReadBytes(dir.File("copy.dat")), study);
    EXPECT_EQ(RunTool("copy - - <" + data).out, study);
}

}  // namespace
}  // namespace morvane
