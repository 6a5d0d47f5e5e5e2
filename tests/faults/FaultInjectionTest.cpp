// Faults injected into the file commands: full disks, missing and misnamed
// folders, too many open files, too little memory, a limit on the file size,
// broken pipes, and files that vanish or shrink between runs. Each must give
// its message, leave the store as the commands promise, and never pass off a
// file that was not written whole as a success.

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <filesystem>

#include "report/CalculateCommand.h"
#include "properties/DataFileModel.h"
#include "faults/Outcome.h"
#include "runtime/Cp932.h"
#include "support/PrePostStudy.h"
#include "runtime/Errors.h"
#include "store/DataFile.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::ChildResult;
using testing::Outcome;
using testing::PrePostStudy;
using testing::ReadBytes;
using testing::RunInChild;
using testing::RunProgram;
using testing::SetSoftLimit;
using testing::TempDir;
using testing::ToolOptions;
using testing::WriteBytes;

const std::string kWorkedExample =
    "2\r\n2\r\n2\r\npre\r\npost\r\neasy\r\nhard\r\n12\r\n14\r\n15\r\n18\r\n9\r\n10\r\n11\r\n13\r\n";

ChildResult RunMorvane(const std::vector<std::string>& args, const ToolOptions& options = {}) {
    return RunProgram(MORVANE_TOOL, args, options);
}

// A study of one cell whose data file is `bytes` long (17 at least), and its file.
StudyStore StudyOfSize(std::size_t bytes) {
    StudyStore store;
    StartNewStudy(store, {std::string(bytes - 17, 'n')}, {"b"}, "1");
    store.CellText(1, 1, 1) = "7";
    return store;
}
std::string FileOfSize(std::size_t bytes) {
    return "1\r\n1\r\n1\r\n" + std::string(bytes - 17, 'n') + "\r\nb\r\n7\r\n";
}

// A study of 300 subjects whose results file is about 20 KB.
std::string LargeStudyFile() {
    std::string bytes = "300\r\n2\r\n2\r\na1\r\na2\r\nb1\r\nb2\r\n";
    for (int i = 0; i < 1200; ++i) bytes += std::to_string(i % 7 + i / 300) + "\r\n";
    return bytes;
}

// The results file of the study in `dataFile`, written without any fault.
std::string ResultsOf(const std::string& dataFile) {
    TempDir dir;
    StudyStore store;
    LoadStudyFile(store, dataFile);
    RunCalculation(store, '.', [&] { return std::optional<std::string>(dir.File("results.txt")); });
    return ReadBytes(dir.File("results.txt"));
}

// The store in a line, to show that a failed command left it as it was.
std::string Summary(const StudyStore& store) {
    std::string summary =
        std::to_string(store.SubjectCount) + "/" + std::to_string(store.LevelCountA) + "/" +
        std::to_string(store.LevelCountB) + " names " + std::to_string(store.LevelNamesA.size()) + "+" +
        std::to_string(store.LevelNamesB.size()) + " cells " + std::to_string(store.CellText.Extent0()) +
        "x" + std::to_string(store.CellText.Extent1()) + "x" + std::to_string(store.CellText.Extent2());
    if (store.LevelNamesA.size() > 1) summary += " A1 '" + store.LevelNamesA[1].substr(0, 8) + "'";
    if (!store.CellText.Empty() && store.CellText.Extent0() > 1 && store.CellText.Extent1() > 1 &&
        store.CellText.Extent2() > 1)
        summary += " cell '" + std::string(store.CellText(1, 1, 1)) + "'";
    return summary;
}

// "whole", "prefix of N bytes", "absent" or "other": what became of a file that
// was to hold `expected`.
std::string Written(const std::string& path, const std::string& expected) {
    if (!fs::exists(path)) return "absent";
    std::string bytes = ReadBytes(path);
    if (bytes == expected) return "whole";
    if (bytes.size() < expected.size() && expected.compare(0, bytes.size(), bytes) == 0)
        return "prefix of " + std::to_string(bytes.size()) + " bytes";
    return "other (" + std::to_string(bytes.size()) + " bytes)";
}

std::string Describe(const ChildResult& r) {
    return "exit " + std::to_string(r.exitCode) + " signal " + std::to_string(r.signal) + ": " + r.err;
}

struct Folders {
    TempDir dir;
    std::string folder = dir.File("folder"), plain = dir.File("plain");
    Folders() {
        fs::create_directory(folder);
        WriteBytes(plain, "plain file");
    }
};

TEST(Faults, WritesThatCannotStartLeaveTheStoreAndReportTheirError) {
    Folders f;
    const struct {
        std::string path, message;
        bool created;  // the file was created, so the write-back ran
    } rows[] = {
        {f.dir.File("nofolder/x.dat"), "不正なファイル名です", false},
        {f.folder, "ファイルへのアクセスが拒否されました", false},
        {f.plain + "/x.dat", "不正なファイル名です", false},
        {"/dev/full", "ディスクがいっぱいです", true},
    };
    for (const auto& row : rows) {
        StudyStore store = PrePostStudy();
        const std::string before = Summary(store);
        bool wroteBack = false;
        std::string outcome = Outcome([&] {
            WriteDataFile(store, row.path, [&](StudyStore& study) {
                wroteBack = true;
                study.CellText(1, 1, 1) = "99";
            });
        });
        EXPECT_EQ(outcome, row.message) << row.path;
        EXPECT_EQ(wroteBack, row.created) << row.path;
        if (!row.created) {
            EXPECT_EQ(Summary(store), before) << row.path;
        }
    }
    EXPECT_FALSE(fs::exists(f.dir.File("nofolder")));
    EXPECT_TRUE(fs::is_directory(f.folder));
    EXPECT_EQ(ReadBytes(f.plain), "plain file");
}

TEST(Faults, ReadsThatFailLeaveTheStoreAsItWas) {
    Folders f;
    const std::pair<std::string, std::string> rows[] = {
        {f.dir.File("missing.dat"), "ファイルが見つかりません"},
        {f.dir.File("nofolder/x.dat"), "不正なファイル名です"},
        {f.folder, "ファイルへのアクセスが拒否されました"},  // opens, then fails at the first read
        {f.plain + "/x.dat", "不正なファイル名です"},
    };
    for (const auto& [path, message] : rows) {
        for (auto read : {&ReadDataFile, &LoadStudyFile}) {
            StudyStore store = PrePostStudy();
            const std::string before = Summary(store);
            EXPECT_EQ(Outcome([&, &file = path] { read(store, file); }), message) << path;
            EXPECT_EQ(Summary(store), before) << path;
        }
    }
}

// A tmpfs of 8 KiB in a mount namespace of the child's own: a real full disk,
// then a read-only one.
TEST(Faults, FullAndReadOnlyDiskOnASmallTmpfs) {
    TempDir dir;
    const std::string disk = dir.File("disk"), big = dir.File("big.dat"), large = dir.File("large.dat");
    fs::create_directory(disk);
    WriteBytes(big, FileOfSize(20000));
    WriteBytes(large, LargeStudyFile());
    const std::string expectedResults = ResultsOf(large);
    ASSERT_GT(expectedResults.size(), 16000u);
    ChildResult child = RunInChild([&]() -> std::string {
        if (unshare(CLONE_NEWNS) != 0) return std::string("skip: unshare refused: ") + std::strerror(errno);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("skip: private mounts refused: ") + std::strerror(errno);
        if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=8k") != 0)
            return std::string("skip: mounting a tmpfs refused: ") + std::strerror(errno);
        std::string report;
        const std::string fit = disk + "/fit.dat", over = disk + "/over.dat", tool = disk + "/tool.dat";

        std::string outcome = Outcome([&] { WriteDataFile(StudyOfSize(8192), fit); });
        report += "8192 bytes: " + outcome + ", " + Written(fit, FileOfSize(8192)) + "\n";
        fs::remove(fit);

        bool wroteBack = false;
        outcome = Outcome([&] {
            StudyStore study = StudyOfSize(8193);
            WriteDataFile(study, over, [&](StudyStore&) { wroteBack = true; });
        });
        report += "8193 bytes: " + outcome +
                  (wroteBack ? " after the write-back, " : " before the write-back, ") +
                  Written(over, FileOfSize(8193)) + "\n";
        fs::remove(over);

        ChildResult r = RunMorvane({"copy", big, tool});
        report += "tool: exit " + std::to_string(r.exitCode) + ", " + r.err + "  " +
                  Written(tool, FileOfSize(20000)) + "\n";
        fs::remove(tool);

        const std::string results = disk + "/results.txt";
        StudyStore store;
        outcome = Outcome([&] {
            LoadStudyFile(store, large);
            RunCalculation(store, '.', [&] { return std::optional<std::string>(results); });
        });
        report += "results: " + outcome + ", " + Written(results, expectedResults) + "\n";
        fs::remove(results);
        r = RunMorvane({"report", large, results});
        report += "tool report: exit " + std::to_string(r.exitCode) + ", " + r.err + "  " +
                  Written(results, expectedResults) + "\n";
        fs::remove(results);

        if (mount("tmpfs", disk.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=8k") != 0)
            return report + "remount read-only refused";
        wroteBack = false;
        outcome = Outcome([&] {
            StudyStore study = PrePostStudy();
            WriteDataFile(study, over, [&](StudyStore&) { wroteBack = true; });
        });
        report += "read-only: " + outcome +
                  (wroteBack ? " after the write-back, " : " before the write-back, ") + Written(over, "") +
                  "\n";
        report += "left on the disk:";
        for (const auto& entry : fs::directory_iterator(disk))
            report += " " + entry.path().filename().string();
        return report + (fs::is_empty(disk) ? " nothing\n" : "\n");
    });
    if (child.out.starts_with("skip:")) GTEST_SKIP() << child.out;
    EXPECT_EQ(child.exitCode, 0) << Describe(child);
    // What did not fit is removed: a full disk leaves no file that is not whole.
    EXPECT_EQ(child.out,
              "8192 bytes: ok, whole\n"
              "8193 bytes: ディスクがいっぱいです after the write-back, absent\n"
              "tool: exit 1, morvane: ディスクがいっぱいです\n  absent\n"
              "results: ディスクがいっぱいです, absent\n"
              "tool report: exit 1, morvane: ディスクがいっぱいです\n  absent\n"
              "read-only: ファイルへのアクセスが拒否されました before the write-back, absent\n"
              "left on the disk: nothing\n");
}

// A results file that cannot be replaced (here: a file mounted on its own,
// which no rename may take the place of) is written in place; a calculation
// that stops (F = 0/0) leaves its old bytes, as a full one replaces them whole.
TEST(Faults, AFileWrittenInPlaceKeepsItsBytesUntilTheWholeTextIsThere) {
    TempDir dir;
    const std::string disk = dir.File("disk"), out = dir.File("out"), large = dir.File("large.dat");
    const std::string flat = dir.File("flat.dat"), results = out + "/results.txt";
    fs::create_directory(disk);
    fs::create_directory(out);
    WriteBytes(results, "");
    WriteBytes(large, LargeStudyFile());
    // Every score the same: each F ratio is 0/0.
    std::string bytes = "2\r\n2\r\n2\r\na1\r\na2\r\nb1\r\nb2\r\n";
    for (int i = 0; i < 8; ++i) bytes += "1\r\n";
    WriteBytes(flat, bytes);
    const std::string expected = ResultsOf(large);
    ChildResult child = RunInChild([&]() -> std::string {
        if (unshare(CLONE_NEWNS) != 0) return std::string("skip: unshare refused: ") + std::strerror(errno);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("skip: private mounts refused: ") + std::strerror(errno);
        if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0)
            return std::string("skip: mounting a tmpfs refused: ") + std::strerror(errno);
        WriteBytes(disk + "/results.txt", "old results");
        if (mount((disk + "/results.txt").c_str(), results.c_str(), nullptr, MS_BIND, nullptr) != 0)
            return std::string("skip: a bind mount refused: ") + std::strerror(errno);
        std::string report;
        StudyStore store;
        std::string outcome = Outcome([&] {
            LoadStudyFile(store, flat);
            RunCalculation(store, '.', [&] { return std::optional<std::string>(results); });
        });
        report += "stopped: " + outcome + ", " + ReadBytes(results) + "\n";
        ChildResult r = RunMorvane({"report", flat, results});
        report += "tool stopped: exit " + std::to_string(r.exitCode) + ", " + ReadBytes(results) + "\n";
        r = RunMorvane({"report", large, results});
        report += "tool: exit " + std::to_string(r.exitCode) + ", " + Written(results, expected) + "\n";
        StudyStore pre = PrePostStudy();
        outcome = Outcome([&] { WriteDataFile(pre, results); });
        StudyStore back;
        LoadStudyFile(back, results);
        report += "saved: " + outcome + ", " + Summary(back) + "\n";
        report += "beside it:";
        for (const auto& entry : fs::directory_iterator(out))
            report += " " + entry.path().filename().string();
        return report + "\n";
    });
    if (child.out.starts_with("skip:")) GTEST_SKIP() << child.out;
    EXPECT_EQ(child.exitCode, 0) << Describe(child);
    EXPECT_EQ(child.out,
              "stopped: 不正な浮動小数点数演算命令, old results\n"
              "tool stopped: exit 1, old results\n"
              "tool: exit 0, whole\n"
              "saved: ok, " +
                  Summary(PrePostStudy()) +
                  "\n"
                  "beside it: results.txt\n");
}

// With no descriptor left every open fails at once; with exactly one left a run
// of commands that fail in every way still works, so none of them leaves its
// file open. It runs in a fresh process (open_files_child), whose first errors
// come with no descriptor left.
TEST(Faults, TooManyOpenFilesAndNoDescriptorLeftOpen) {
    Folders f;
    WriteBytes(f.dir.File("study.dat"), kWorkedExample);
    WriteBytes(f.dir.File("nan.dat"), "2x\r\n1\r\n1\r\n");
    WriteBytes(f.dir.File("range.dat"), "-3\r\n1\r\n1\r\n");
    WriteBytes(f.dir.File("huge.dat"), "2147483647\r\n2147483647\r\n2147483647\r\n");
    WriteBytes(f.dir.File("nolevels.dat"), "3\r\n0\r\n2\r\n");
    ChildResult child = RunProgram(OPEN_FILES_CHILD, {f.dir.Path().string()});
    EXPECT_EQ(child.exitCode, 0) << Describe(child);
    EXPECT_EQ(child.out,
              "read: オープンしたファイルが多すぎます, store kept\n"
              "write: オープンしたファイルが多すぎます, not written back, absent\n"
              "results: オープンしたファイルが多すぎます, scores parsed, nothing computed, absent\n"
              "nan.dat: 入力値が数値ではありません\n"
              "range.dat: 範囲チェックエラー\n"
              "huge.dat: メモリが足りません\n"
              "missing.dat: ファイルが見つかりません\n"
              "nolevels.dat: 要因の水準数が 1 未満です\n"
              "folder: ファイルへのアクセスが拒否されました\n"
              "/dev/full: ディスクがいっぱいです\n"
              "copy: ok, whole\n");
}

ToolOptions AddressSpace(rlim_t bytes) {
    ToolOptions options;
    options.beforeExec = [bytes] { SetSoftLimit(RLIMIT_AS, bytes); };
    return options;
}

// Counts too large for the address space, refused before anything is sized or
// failing in the sizing, and a line longer than the memory left.
TEST(Faults, TooLittleMemoryGivesItsMessageAndNoCrash) {
    if (testing::kAddressSanitizer)
        GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space: the address-space limit is "
                        "tested in the normal build only";
    TempDir dir;
    const std::string huge = dir.File("huge.dat"), tight = dir.File("tight.dat"), line = dir.File("line.dat");
    const std::string out = dir.File("out.dat");
    WriteBytes(huge, "100000000\r\n2\r\n2\r\n");
    // 60 MB of level names fit; the 300 MB of offsets of 75 million score texts
    // then do not fit the address space that is left (the tool's budget of
    // 256 MB refuses them at once).
    WriteBytes(tight, "1\r\n1874999\r\n40\r\n");
    WriteBytes(line, "1\r\n1\r\n1\r\n" + std::string(48 << 20, 'n') + "\r\nb\r\n7\r\n");
    // 100 MB of names (and no score texts) fit under 192 MB; the 100 MB of score
    // values that sums sizes do not. The report sizes none: it gets as far as
    // the 0 / 0 of a study with no subjects.
    const std::string values = dir.File("values.dat");
    WriteBytes(values, "0\r\n3099999\r\n1\r\n");
    const struct {
        std::vector<std::string> args;
        rlim_t limit;
    } rows[] = {
        {{"copy", huge, out}, 256 << 20}, {{"sums", huge}, 256 << 20},   {{"copy", tight, out}, 256 << 20},
        {{"copy", line, out}, 64 << 20},  {{"sums", values}, 192 << 20},
    };
    for (const auto& row : rows) {
        ChildResult r = RunMorvane(row.args, AddressSpace(row.limit));
        EXPECT_EQ(r.exitCode, 1) << row.args[1] << " " << Describe(r);
        EXPECT_EQ(r.err, "morvane: メモリが足りません\n") << row.args[1];
        EXPECT_FALSE(fs::exists(out)) << row.args[1];
    }
    const ChildResult noSubjects = RunMorvane({"report", values, out}, AddressSpace(192 << 20));
    EXPECT_EQ(noSubjects.err, "morvane: 不正な浮動小数点数演算命令\n") << Describe(noSubjects);
    fs::remove(out);

    // In the core: the counts are kept, the arrays sized before the failure too.
    // The limits leave the test process 256 MB, then 40 MB, beyond what it uses.
    ChildResult child = RunInChild([&]() -> std::string {
        std::string report;
        for (const auto& [path, room] : {std::pair{huge, 256 << 20}, {tight, 256 << 20}, {line, 40 << 20}}) {
            SetSoftLimit(RLIMIT_AS, testing::AddressSpaceInUse() + static_cast<rlim_t>(room));
            StudyStore store;
            std::string outcome = Outcome([&, &file = path] { LoadStudyFile(store, file); });
            report += outcome + ": " + Summary(store) + "\n";
        }
        return report;
    });
    EXPECT_EQ(child.exitCode, 0) << Describe(child);
    EXPECT_EQ(
        child.out,
        "メモリが足りません: 100000000/2/2 names 3+3 cells 0x0x0 A1 ''\n"
        "メモリが足りません: 1/1874999/40 names 1875000+41 cells 0x0x0 A1 ''\n"
        "メモリが足りません: 1/1/1 names 2+2 cells 2x2x2 A1 'nnnnnnnn' cell ''\n");  // read up to the failure
}

// A limit on the file size and a pipe that nobody reads: the write stops with
// the platform's error when the signal is ignored, and the tool is killed by it
// otherwise; neither is ever a success.
TEST(Faults, FileSizeLimitAndBrokenPipeAreNeverASuccess) {
    TempDir dir;
    const std::string big = dir.File("big.dat"), out = dir.File("out.dat");
    WriteBytes(big, FileOfSize(10000));
    auto fileSize = [](bool ignoreSignal) {
        ToolOptions options;
        options.beforeExec = [ignoreSignal] {
            if (ignoreSignal) std::signal(SIGXFSZ, SIG_IGN);
            SetSoftLimit(RLIMIT_FSIZE, 4096);
        };
        return options;
    };
    ChildResult r = RunMorvane({"copy", big, out}, fileSize(true));
    EXPECT_EQ(r.exitCode, 1) << Describe(r);
    EXPECT_EQ(r.err, "morvane: I/O エラー (27)\n");
    EXPECT_EQ(Written(out, FileOfSize(10000)), "absent");
    r = RunMorvane({"copy", big, out}, fileSize(false));
    EXPECT_EQ(r.signal, SIGXFSZ) << Describe(r);
    const std::string large = dir.File("large.dat"), results = dir.File("results.txt");
    WriteBytes(large, LargeStudyFile());
    r = RunMorvane({"report", large, results}, fileSize(true));
    EXPECT_EQ(r.exitCode, 1) << Describe(r);
    EXPECT_EQ(r.err, "morvane: I/O エラー (27)\n");
    EXPECT_EQ(Written(results, ResultsOf(large)), "absent");
    // The copy killed by the signal left its new file; the report after it
    // removed that, and its own.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);  // big, large

    auto brokenPipe = [](bool ignoreSignal) {
        ToolOptions options;
        options.beforeExec = [ignoreSignal] {
            if (ignoreSignal) std::signal(SIGPIPE, SIG_IGN);
            int fds[2];
            if (pipe(fds) != 0) throw std::runtime_error("pipe");
            ::close(fds[0]);
            dup2(fds[1], 1);
            ::close(fds[1]);
        };
        return options;
    };
    r = RunMorvane({"copy", big, "-"}, brokenPipe(true));
    EXPECT_EQ(r.exitCode, 1) << Describe(r);
    EXPECT_EQ(r.err, "morvane: I/O エラー (32)\n");
    r = RunMorvane({"copy", big, "-"}, brokenPipe(false));
    EXPECT_EQ(r.signal, SIGPIPE) << Describe(r);
    r = RunMorvane({"report", large, "-"}, brokenPipe(true));
    EXPECT_EQ(r.exitCode, 1) << Describe(r);
    EXPECT_EQ(r.err, "morvane: I/O エラー (32)\n");
}

TEST(Faults, FilesThatVanishBetweenRuns) {
    TempDir dir;
    const std::string study = dir.File("study.dat"), out = dir.File("out.dat");
    const std::string inner = dir.File("sub/study.dat");
    WriteBytes(study, kWorkedExample);
    ChildResult r = RunMorvane({"copy", study, out});
    ASSERT_EQ(r.exitCode, 0) << Describe(r);
    EXPECT_EQ(ReadBytes(out), kWorkedExample);

    fs::remove(study);
    for (const char* command : {"copy", "sums"}) {
        r = command == std::string("copy") ? RunMorvane({command, study, out}) : RunMorvane({command, study});
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_EQ(r.err, "morvane: ファイルが見つかりません\n") << command;
    }
    EXPECT_EQ(ReadBytes(out), kWorkedExample);  // the earlier copy is not touched

    fs::create_directory(dir.File("sub"));
    WriteBytes(inner, kWorkedExample);
    fs::remove_all(dir.File("sub"));
    r = RunMorvane({"copy", inner, out});
    EXPECT_EQ(r.err, "morvane: 不正なファイル名です\n");
    r = RunMorvane({"copy", study, inner});
    EXPECT_EQ(r.err, "morvane: ファイルが見つかりません\n");  // the read fails first
    r = RunMorvane({"copy", out, inner});
    EXPECT_EQ(r.err, "morvane: 不正なファイル名です\n");
    r = RunMorvane({"report", out, inner});
    EXPECT_EQ(r.err, "morvane: 不正なファイル名です\n");
    EXPECT_EQ(r.exitCode, 1);
}

// An error number without a code of its own is shown as itself, even when it
// equals one of our codes: /proc/self/mem fails at offset 0 with EIO, 5, which
// is not a refused access. (Written in place, it gets its bytes once they are
// all there: the study here is one whose report goes to its end.)
TEST(Faults, ErrorNumbersWithoutACodeOfTheirOwnShowAsThemselves) {
    TempDir dir;
    const std::string study = dir.File("study.dat"), out = dir.File("out.dat");
    WriteBytes(study, LargeStudyFile());
    const std::vector<std::string> commands[] = {
        {"copy", "/proc/self/mem", out},     {"sums", "/proc/self/mem"},
        {"report", "/proc/self/mem", out},   {"copy", study, "/proc/self/mem"},
        {"report", study, "/proc/self/mem"}, {"listing", study, "/proc/self/mem"},
    };
    for (const auto& args : commands) {
        ChildResult r = RunMorvane(args);
        EXPECT_EQ(r.exitCode, 1) << args[0] << " " << args[1];
        EXPECT_EQ(r.err, "morvane: I/O エラー (5)\n") << args[0] << " " << args[1];
    }
    EXPECT_FALSE(fs::exists(out));

    StudyStore store = PrePostStudy();
    const std::string before = Summary(store);
    EXPECT_EQ(Outcome([&] { ReadDataFile(store, "/proc/self/mem"); }), "I/O エラー (5)");
    EXPECT_EQ(Summary(store), before);
    EXPECT_EQ(Outcome([&] { WriteDataFile(store, "/proc/self/mem"); }), "I/O エラー (5)");
}

// The first failure is the one reported. With N = 1 the summary table stops at
// its first row, but the lines before it were written first: on a full disk
// that write is what failed, whatever the buffer still held at the stop.
TEST(Faults, AFullDiskIsReportedBeforeALaterStop) {
    TempDir dir;
    const std::string single = dir.File("single.dat"), results = dir.File("results.txt");
    WriteBytes(single, "1\r\n2\r\n2\r\na1\r\na2\r\nb1\r\nb2\r\n1\r\n2\r\n3\r\n4\r\n");
    auto calculate = [&](const std::string& path) {
        return Outcome([&] {
            StudyStore store;
            LoadStudyFile(store, single);
            RunCalculation(store, '.', [&] { return std::optional<std::string>(path); });
        });
    };
    // With room on the disk the stop is the arithmetic one, after the summary
    // heading: the unfinished file goes, the standard output keeps the lines.
    EXPECT_EQ(calculate(results), "不正な浮動小数点数演算命令");
    EXPECT_FALSE(fs::exists(results));
    ChildResult printed = RunMorvane({"report", single});
    EXPECT_EQ(printed.err, "morvane: 不正な浮動小数点数演算命令\n");
    EXPECT_TRUE(printed.out.ends_with(
        "\r\n\r\nSV        SS             df        MS             F              \r\n"));
    EXPECT_EQ(calculate("/dev/full"), "ディスクがいっぱいです");
    ChildResult r = RunMorvane({"report", single, "/dev/full"});
    EXPECT_EQ(r.exitCode, 1) << Describe(r);
    EXPECT_EQ(r.err, "morvane: ディスクがいっぱいです\n");

    // Every other writer of the program says so too, the tool's sums on its standard output included.
    for (const char* command : {"copy", "listing"}) {
        r = RunMorvane({command, single, "/dev/full"});
        EXPECT_EQ(r.exitCode, 1) << command << " " << Describe(r);
        EXPECT_EQ(r.err, "morvane: ディスクがいっぱいです\n") << command;
    }
    ToolOptions full;
    full.beforeExec = [] {
        const int fd = ::open("/dev/full", O_WRONLY);
        if (fd < 0 || dup2(fd, 1) < 0) throw std::runtime_error("/dev/full");
        ::close(fd);
    };
    WriteBytes(dir.File("study.dat"), kWorkedExample);
    r = RunMorvane({"sums", dir.File("study.dat")}, full);
    EXPECT_EQ(r.exitCode, 1) << Describe(r);
    EXPECT_EQ(r.err, "morvane: ディスクがいっぱいです\n");
}

// The worked example cut at every byte: a study that is short of its levels is
// refused, any other loads with what is missing read as empty and 0, and the
// copy then holds the whole study as it was loaded.
TEST(Faults, FilesTruncatedBetweenRuns) {
    TempDir dir;
    const std::string study = dir.File("study.dat"), out = dir.File("out.dat");
    int refused = 0, copied = 0;
    for (std::size_t length = 0; length <= kWorkedExample.size(); ++length) {
        const std::string cut = kWorkedExample.substr(0, length);
        WriteBytes(study, cut);
        fs::remove(out);
        const auto model = properties::ReadModel(cut, UINT64_MAX);
        ChildResult r = RunMorvane({"copy", study, out});
        if (model.na < 1 || model.nb < 1) {
            EXPECT_EQ(r.exitCode, 1) << length;
            EXPECT_EQ(r.err, "morvane: 要因の水準数が 1 未満です\n") << length;
            EXPECT_FALSE(fs::exists(out)) << length;
            ++refused;
        } else {
            EXPECT_EQ(r.exitCode, 0) << length << " " << r.err;
            EXPECT_EQ(ReadBytes(out), properties::WriteModel(model)) << length;
            ++copied;
        }
    }
    EXPECT_EQ(refused, 7);  // cut inside "2\r\n2\r\n2": N or na or nb missing
    EXPECT_EQ(copied, 57);
}

}  // namespace
}  // namespace morvane
