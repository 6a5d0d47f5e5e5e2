// morvane export and import end to end: round trips through files and the
// standard streams, Python's csv module on what is written, and refusals and
// failed writes that leave no data file behind.

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <filesystem>

#include "exchange/RandomStudy.h"
#include "runtime/Cp932.h"
#include "store/DataFile.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::ChildResult;
using testing::ReadBytes;
using testing::RunProgram;
using testing::TempDir;
using testing::ToolOptions;
using testing::WriteBytes;

const std::string kExamples = MORVANE_EXAMPLES;
const std::string kPython = "/usr/bin/python3";

ChildResult Morvane(const std::vector<std::string>& args, const ToolOptions& options = {}) {
    return RunProgram(MORVANE_TOOL, args, options);
}

ToolOptions Input(const std::string& path) {
    ToolOptions options;
    options.input = path;
    return options;
}

// The names as one CSV record, for --levels-a and --levels-b.
std::string LevelList(const std::vector<std::string>& namesUtf8) {
    std::string list;
    for (std::size_t i = 0; i < namesUtf8.size(); ++i) {
        const std::string& name = namesUtf8[i];
        if (i > 0) list += ",";
        if (name.find_first_of(",\"\r\n") == std::string::npos) {
            list += name;
            continue;
        }
        list += "\"";
        for (char c : name) list += c == '"' ? std::string("\"\"") : std::string(1, c);
        list += "\"";
    }
    return list;
}

std::vector<std::string> WideOptions(const StudyStore& store) {
    return {"--wide", "--levels-a", LevelList(testing::NamesUtf8(store.LevelNamesA)), "--levels-b",
            LevelList(testing::NamesUtf8(store.LevelNamesB))};
}

std::vector<std::string> Join(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Exports the data file and imports it again in both layouts, through files and
// through the standard streams; each data file must equal the original.
void ExpectRoundTrips(const std::string& dataFile) {
    TempDir dir;
    const std::string original = ReadBytes(dataFile);
    StudyStore store;
    LoadStudyFile(store, dataFile);
    for (const bool wide : {false, true}) {
        const std::vector<std::string> layout =
            wide ? WideOptions(store) : std::vector<std::string>{"--long"};
        const std::string csv = dir.File("study.csv"), back = dir.File("back.dat");
        ChildResult r = Morvane({"export", dataFile, csv, wide ? "--wide" : "--long"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        r = Morvane(Join({"import", csv, back}, layout));
        ASSERT_EQ(r.exitCode, 0) << r.err << ReadBytes(csv);
        EXPECT_EQ(ReadBytes(back), original) << dataFile << (wide ? " wide\n" : " long\n") << ReadBytes(csv);

        // Standard output, then standard input to standard output.
        r = Morvane({"export", "-", "-", wide ? "--wide" : "--long"}, Input(dataFile));
        EXPECT_EQ(r.out, ReadBytes(csv));
        r = Morvane(Join({"import", "-", "-"}, layout), Input(csv));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, original);
    }
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"back.dat", "study.csv"}));
}

TEST(ExchangeTool, ExamplesAndRandomStudiesComeBackByteForByte) {
    ExpectRoundTrips(kExamples + "/worked-example.dat");
    ExpectRoundTrips(kExamples + "/pre-post.dat");
    EXPECT_EQ(Morvane({"export", kExamples + "/pre-post.dat", "-"}).out,
              "subject,A,B,score\r\n1,pre,easy,12\r\n1,pre,hard,15\r\n1,post,easy,9\r\n1,post,hard,11\r\n"
              "2,pre,easy,14\r\n2,pre,hard,18\r\n2,post,easy,10\r\n2,post,hard,13\r\n");

    TempDir dir;
    std::mt19937_64 engine(1414);
    for (int i = 0; i < 8; ++i) {
        const StudyStore store =
            testing::RandomStudy(engine, static_cast<std::int32_t>(1 + engine() % 9), true, '.');
        WriteDataFile(store, dir.File("random.dat"));
        ExpectRoundTrips(dir.File("random.dat"));
    }
}

// A study whose names need every kind of quoting.
StudyStore QuotingStudy() {
    StudyStore store;
    StartNewStudy(store, {Cp932FromUtf8("前, 後"), "say \"hi\"", ""},
                  {" ", "a;b", "tab\there", Cp932FromUtf8("難")}, "3");
    int k = 0;
    for (std::int32_t s = 1; s <= 3; ++s)
        for (std::int32_t a = 1; a <= 3; ++a)
            for (std::int32_t b = 1; b <= 4; ++b, ++k)
                store.CellText(s, a, b) = (k % 5 == 0 ? " " : "") + std::to_string(k);
    return store;
}

// Python reads each CSV with its csv module, prints every row as the hex of
// its fields, and writes the rows again with its own csv writer.
const char* const kPythonReader = R"(
import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8') as f:
    rows = list(csv.reader(f))
for row in rows:
    print(' '.join('x' + field.encode('utf-8').hex() for field in row))
with open(sys.argv[2], 'w', newline='', encoding='utf-8') as f:
    csv.writer(f).writerows(rows)
)";

std::string Hex(const std::vector<std::vector<std::string>>& rows) {
    std::string text;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            text += i > 0 ? " x" : "x";
            for (const char byte : row[i]) {
                const auto c = static_cast<unsigned char>(byte);
                const char* digits = "0123456789abcdef";
                text += digits[c >> 4];
                text += digits[c & 15];
            }
        }
        text += "\n";
    }
    return text;
}

TEST(ExchangeTool, PythonsCsvModuleReadsTheExportUnchanged) {
    ASSERT_TRUE(fs::exists(kPython)) << "python3 is installed by scripts/setup";
    TempDir dir;
    const StudyStore store = QuotingStudy();
    WriteDataFile(store, dir.File("study.dat"));
    WriteBytes(dir.File("reader.py"), kPythonReader);
    const auto namesA = testing::NamesUtf8(store.LevelNamesA), namesB = testing::NamesUtf8(store.LevelNamesB);
    const auto score = [&](std::int32_t s, std::int32_t a, std::int32_t b) {
        std::string text(store.CellText(s, a, b));
        return text.substr(text.find_first_not_of(' '));
    };

    std::vector<std::vector<std::string>> longRows{{"subject", "A", "B", "score"}}, wideRows;
    std::vector<std::string> header{"subject"};
    for (const auto& a : namesA)
        for (const auto& b : namesB) header.push_back(a + "_" + b);
    wideRows.push_back(header);
    for (std::int32_t s = 1; s <= 3; ++s) {
        std::vector<std::string> wideRow{std::to_string(s)};
        for (std::int32_t a = 1; a <= 3; ++a)
            for (std::int32_t b = 1; b <= 4; ++b) {
                longRows.push_back({std::to_string(s), namesA[static_cast<std::size_t>(a - 1)],
                                    namesB[static_cast<std::size_t>(b - 1)], score(s, a, b)});
                wideRow.push_back(score(s, a, b));
            }
        wideRows.push_back(wideRow);
    }

    for (const bool wide : {false, true}) {
        const std::string csv = dir.File("study.csv"), again = dir.File("python.csv"),
                          back = dir.File("back.dat");
        ASSERT_EQ(Morvane({"export", dir.File("study.dat"), csv, wide ? "--wide" : "--long"}).exitCode, 0);
        const ChildResult python = RunProgram(kPython, {dir.File("reader.py"), csv, again});
        ASSERT_EQ(python.exitCode, 0) << python.err;
        EXPECT_EQ(python.out, Hex(wide ? wideRows : longRows)) << ReadBytes(csv);
        // And what Python's writer makes of the rows comes in as the same study.
        const ChildResult r =
            Morvane(Join({"import", again, back}, wide ? WideOptions(store) : std::vector<std::string>{}));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        StudyStore trimmed = QuotingStudy();
        for (std::int32_t s = 1; s <= 3; ++s)
            for (std::int32_t a = 1; a <= 3; ++a)
                for (std::int32_t b = 1; b <= 4; ++b) trimmed.CellText(s, a, b) = score(s, a, b);
        WriteDataFile(trimmed, dir.File("trimmed.dat"));
        EXPECT_EQ(ReadBytes(back), ReadBytes(dir.File("trimmed.dat")));
    }
}

TEST(ExchangeTool, ImportsASpreadsheetsCsvWithItsOptions) {
    TempDir dir;
    // Code page 932, semicolons, CR LF, quoted names with a separator, other
    // column names, a blank row at the end.
    WriteBytes(dir.File("sheet.csv"),
               Cp932FromUtf8("被験者;条件;課題;得点\r\n"
                             "1;\"前; 朝\";易;12\r\n1;\"前; 朝\";難;15\r\n1;後;易;9\r\n"
                             "1;後;難;11\r\n2;\"前; 朝\";易;14\r\n2;\"前; 朝\";難;18\r\n"
                             "2;後;易;10\r\n2;後;難;13\r\n;;;\r\n"));
    const std::vector<std::string> columns{"--subject", "被験者",  "--a=条件", "--b",
                                           "課題",      "--score", "得点"};
    ChildResult r = Morvane(Join({"import", dir.File("sheet.csv"), dir.File("a.dat")}, columns));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string expected = Cp932FromUtf8(
        "2\r\n2\r\n2\r\n前; 朝\r\n後\r\n易\r\n難\r\n12\r\n14\r\n15\r\n18\r\n9\r\n10\r\n11\r\n13\r\n");
    EXPECT_EQ(ReadBytes(dir.File("a.dat")), expected);
    r = Morvane(Join({"import", dir.File("sheet.csv"), dir.File("b.dat"), "--encoding", "cp932",
                      "--separator", ";", "--long"},
                     columns));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir.File("b.dat")), expected);

    // Wide, UTF-8 with a byte-order mark and tabs, without a header.
    WriteBytes(dir.File("wide.tsv"),
               "\xEF\xBB\xBF"
               "s1\t12\t15\t9\t11\r\ns2\t14\t18\t10\t13\r\n\r\n");
    r = Morvane({"import", dir.File("wide.tsv"), dir.File("c.dat"), "--wide", "--no-header", "--separator",
                 "tab", "--levels-a", "\"前; 朝\",後", "--levels-b=易,難"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir.File("c.dat")), expected);
}

TEST(ExchangeTool, RefusalsGiveTheirMessageAndLeaveNoDataFile) {
    TempDir dir;
    const std::string old = dir.File("old.dat"), fresh = dir.File("new.dat");
    const std::string oldBytes = ReadBytes(kExamples + "/pre-post.dat");
    WriteBytes(old, oldBytes);
    const std::string head = "subject,A,B,score\r\n";
    const std::vector<std::string> wide{"--wide", "--levels-a", "a", "--levels-b", "x,y"};
    struct Case {
        std::string csv;
        std::vector<std::string> options;
        std::string message;
    };
    const Case cases[] = {
        {head + "1,a,x,1\r\n1,a,y,1O\r\n", {}, "3 行 4 列: '1O' は浮動小数点数ではありません"},
        {head + "1,a,x,1\r\n1,a,y,2\r\n2,a,x,3\r\n", {}, "被験者 '2'、A 'a'、B 'y' の得点がありません"},
        {head + "1,\xe2\x85\xb0\xe2\x98\x83,x,1\r\n",
         {},
         "2 行 2 列: 'ⅰ?' にはシフト JIS で表せない文字があります"},
        {"s,a_x,a_y\r\n1,2,3\r\n1,4,5\r\n", wide, "3 行 1 列: 被験者 '1' は 2 行にもあります"},
        {"", {}, "CSV が空です"},
    };
    for (const Case& c : cases) {
        WriteBytes(dir.File("bad.csv"), c.csv);
        for (const std::string& target : {old, fresh}) {
            const ChildResult r = Morvane(Join({"import", dir.File("bad.csv"), target}, c.options));
            EXPECT_EQ(r.exitCode, 1) << c.csv;
            EXPECT_EQ(r.err, "morvane: " + c.message + "\n") << c.csv;
        }
        EXPECT_EQ(ReadBytes(old), oldBytes) << c.csv;
        EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"bad.csv", "old.dat"})) << c.csv;
    }

    // Files that cannot be read or written: the messages of the data file's commands.
    WriteBytes(dir.File("good.csv"), "subject,A,B,score\r\n1,a,b,1\r\n");
    const std::pair<std::vector<std::string>, std::string> files[] = {
        {{"import", dir.File("missing.csv"), fresh}, "ファイルが見つかりません"},
        {{"import", dir.File("good.csv"), dir.File("none/x.dat")}, "不正なファイル名です"},
        {{"import", dir.File("good.csv"), "/dev/full"}, "ディスクがいっぱいです"},
        {{"import", dir.File("good.csv"), dir.Path().string()}, "ファイルへのアクセスが拒否されました"},
        {{"import", "-", fresh}, "I/O エラー (6)"},  // standard input is a folder below
        {{"export", dir.File("missing.dat"), dir.File("x.csv")}, "ファイルが見つかりません"},
        {{"export", old, dir.File("none/x.csv")}, "不正なファイル名です"},
        {{"export", old, "/dev/full"}, "ディスクがいっぱいです"},
        {{"export", old, dir.Path().string()}, "ファイルへのアクセスが拒否されました"},
    };
    for (const auto& [args, message] : files) {
        const ChildResult r = Morvane(args, Input(dir.Path().string()));
        EXPECT_EQ(r.exitCode, 1) << args[1] << " " << args[2];
        EXPECT_EQ(r.err, "morvane: " + message + "\n") << args[1] << " " << args[2];
    }
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"bad.csv", "good.csv", "old.dat"}));
}

TEST(ExchangeTool, UsageErrorsExitWithTwo) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"export", "a.dat"}, "export: two file names are needed"},
        {{"export", "a.dat", "b.csv", "--wide", "--long"}, "export: --long and --wide exclude each other"},
        {{"export", "a.dat", "b.csv", "--levels-a", "x"}, "export: unknown option --levels-a"},
        {{"import", "a.csv", "b.dat", "--wide"}, "import: --wide needs --levels-a and --levels-b"},
        {{"import", "a.csv", "b.dat", "--levels-a", "x"}, "import: --levels-a is for --wide"},
        {{"import", "a.csv", "b.dat", "--wide", "--score", "x"}, "import: --score is for --long"},
        {{"import", "a.csv", "b.dat", "--separator", "|"}, "import: --separator is one of , ; tab"},
        {{"import", "a.csv", "b.dat", "--encoding", "latin1"}, "import: --encoding is utf-8 or cp932"},
        {{"import", "a.csv", "b.dat", "--subject"}, "import: --subject needs a value"},
        {{"import", "a.csv", "b.dat", "--long=yes"}, "import: --long takes no value"},
    };
    for (const auto& [args, message] : cases) {
        const ChildResult r = Morvane(args);
        EXPECT_EQ(r.exitCode, 2) << message;
        EXPECT_TRUE(r.err.starts_with("morvane: " + message + "\nusage: morvane export")) << r.err;
    }
}

// A data file of about 20 KB, as CSV.
std::string LargeCsv() {
    std::string csv = "subject,A,B,score\r\n";
    for (int s = 1; s <= 1000; ++s)
        for (const char* a : {"a1", "a2"})
            csv += std::to_string(s) + "," + a + ",b," + std::to_string(s % 97) + "\r\n";
    return csv;
}

// Writes that fail half way, at a limit on the file size and on a full disk:
// the old file keeps its bytes and no new or temporary file is left.
TEST(ExchangeTool, AWriteThatFailsLeavesTheOldFile) {
    TempDir dir;
    const std::string oldBytes = ReadBytes(kExamples + "/pre-post.dat");
    WriteBytes(dir.File("old.dat"), oldBytes);
    WriteBytes(dir.File("old.csv"), "old csv");
    WriteBytes(dir.File("large.csv"), LargeCsv());
    ASSERT_EQ(Morvane({"import", dir.File("large.csv"), dir.File("large.dat")}).exitCode, 0);
    ToolOptions limited;
    limited.beforeExec = [] {
        std::signal(SIGXFSZ, SIG_IGN);
        testing::SetSoftLimit(RLIMIT_FSIZE, 4096);
    };
    ChildResult r = Morvane({"import", dir.File("large.csv"), dir.File("old.dat")}, limited);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "morvane: I/O エラー (27)\n");
    r = Morvane({"export", dir.File("large.dat"), dir.File("old.csv")}, limited);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "morvane: I/O エラー (27)\n");
    EXPECT_EQ(ReadBytes(dir.File("old.dat")), oldBytes);
    EXPECT_EQ(ReadBytes(dir.File("old.csv")), "old csv");
    EXPECT_EQ(Listing(dir.Path()),
              (std::vector<std::string>{"large.csv", "large.dat", "old.csv", "old.dat"}));

    // A tmpfs of 8 KiB in a mount namespace of the child's own.
    const std::string disk = dir.File("disk");
    fs::create_directory(disk);
    const ChildResult child = testing::RunInChild([&]() -> std::string {
        if (unshare(CLONE_NEWNS) != 0) return std::string("skip: unshare refused: ") + std::strerror(errno);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("skip: private mounts refused: ") + std::strerror(errno);
        if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=8k") != 0)
            return std::string("skip: mounting a tmpfs refused: ") + std::strerror(errno);
        WriteBytes(disk + "/old.dat", oldBytes);
        std::string report = Morvane({"import", dir.File("large.csv"), disk + "/old.dat"}).err;
        report += Morvane({"export", dir.File("large.dat"), disk + "/new.csv"}).err;
        report += ReadBytes(disk + "/old.dat") == oldBytes ? "old kept" : "old changed";
        for (const std::string& name : Listing(disk)) report += " " + name;
        return report;
    });
    if (child.out.starts_with("skip:")) GTEST_SKIP() << child.out;
    EXPECT_EQ(child.out,
              "morvane: ディスクがいっぱいです\nmorvane: ディスクがいっぱいです\nold kept old.dat");
}

}  // namespace
}  // namespace morvane
