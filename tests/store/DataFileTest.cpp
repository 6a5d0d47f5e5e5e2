#include <gtest/gtest.h>

#include <filesystem>

#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/MemoryBudget.h"
#include "store/DataFile.h"
#include "support/PrePostStudy.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::PrePostStudy;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

const char kWorkedExample[] =
    "2\r\n2\r\n2\r\npre\r\npost\r\neasy\r\nhard\r\n12\r\n14\r\n15\r\n18\r\n9\r\n10\r\n11\r\n13\r\n";

void ExpectSameStudy(const StudyStore& x, const StudyStore& y) {
    ASSERT_EQ(x.SubjectCount, y.SubjectCount);
    ASSERT_EQ(x.LevelCountA, y.LevelCountA);
    ASSERT_EQ(x.LevelCountB, y.LevelCountB);
    EXPECT_EQ(x.LevelNamesA, y.LevelNamesA);
    EXPECT_EQ(x.LevelNamesB, y.LevelNamesB);
    for (int s = 1; s <= x.SubjectCount; ++s)
        for (int a = 1; a <= x.LevelCountA; ++a)
            for (int b = 1; b <= x.LevelCountB; ++b)
                EXPECT_EQ(x.CellText(s, a, b), y.CellText(s, a, b)) << s << a << b;
}

StudyStore Read(const std::string& bytes) {
    TempDir dir;
    WriteBytes(dir.File("f"), bytes);
    StudyStore store;
    ReadDataFile(store, dir.File("f"));
    return store;
}

TEST(DataFile, WorkedExampleIs63BytesAndReadsBack) {
    TempDir dir;
    const StudyStore store = PrePostStudy();
    WriteDataFile(store, dir.File("f"));
    EXPECT_EQ(ReadBytes(dir.File("f")), kWorkedExample);
    EXPECT_EQ(ReadBytes(dir.File("f")).size(), 63u);
    StudyStore back;
    ReadDataFile(back, dir.File("f"));
    ExpectSameStudy(store, back);
    EXPECT_EQ(back.CellText(2, 1, 2), "18");
}

TEST(DataFile, RoundTripKeepsEveryByte) {
    TempDir dir;
    StudyStore store;
    StartNewStudy(store, {"", " ", std::string(300, 'n')}, {Cp932FromUtf8("難しい　"), "a b"}, "3");
    store.CellText(1, 1, 1) = " 12 ";
    store.CellText(2, 3, 2) = "1 2\t3";
    store.CellText(3, 2, 1) = "\x81\x40\xff\x1a";
    WriteDataFile(store, dir.File("f"));
    StudyStore back;
    ReadDataFile(back, dir.File("f"));
    ExpectSameStudy(store, back);
    EXPECT_EQ(back.LevelNamesA[3].size(), 300u);

    // Saving over a longer file leaves exactly the new length.
    WriteBytes(dir.File("g"), std::string(5000, 'x'));
    WriteDataFile(PrePostStudy(), dir.File("g"));
    EXPECT_EQ(ReadBytes(dir.File("g")), kWorkedExample);
}

TEST(DataFile, WriteRunsTheWriteBackAfterCreatingTheFile) {
    TempDir dir;
    StudyStore store = PrePostStudy();
    bool ran = false;
    EXPECT_THROW(WriteDataFile(store, dir.File("missing/f"), [&](StudyStore&) { ran = true; }), InOutError);
    EXPECT_FALSE(ran);
    WriteDataFile(store, dir.File("f"), [&](StudyStore& study) {
        ran = true;
        study.CellText(1, 1, 1) = "99";
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(ReadBytes(dir.File("f")).substr(32, 4), "99\r\n");
}

TEST(DataFile, LineEndsAndBlankLines) {
    std::string lf = kWorkedExample;
    std::erase(lf, '\r');
    ExpectSameStudy(Read(lf), PrePostStudy());
    ExpectSameStudy(Read("\r\n\r\n2\r\n\n2\r\n   \r\n2\r\n" + std::string(kWorkedExample).substr(9)),
                    PrePostStudy());

    // CR alone: one line; N is its first number, the rest of the file is skipped.
    std::string cr = kWorkedExample;
    std::erase(cr, '\n');
    StudyStore crOnly = Read(cr);
    EXPECT_EQ(crOnly.SubjectCount, 2);
    EXPECT_EQ(crOnly.LevelCountA, 0);
    EXPECT_EQ(crOnly.LevelCountB, 0);

    // A blank line after the third count is an item.
    StudyStore blank = Read("1\r\n1\r\n1\r\n\r\nb\r\n 12 \r\n");
    EXPECT_EQ(blank.LevelNamesA[1], "");
    EXPECT_EQ(blank.LevelNamesB[1], "b");
    EXPECT_EQ(blank.CellText(1, 1, 1), " 12 ");  // loaded untrimmed
}

TEST(DataFile, CountForms) {
    StudyStore twoThree = Read("2 3\r\n1 comment\r\n$10\r\n");
    EXPECT_EQ(twoThree.SubjectCount, 2);
    EXPECT_EQ(twoThree.LevelCountA, 1);
    EXPECT_EQ(twoThree.LevelCountB, 16);
    EXPECT_EQ(Read("0x10\r\n1\r\n1\r\n").SubjectCount, 16);

    try {
        Read("2x\r\n1\r\n1\r\n");
        FAIL();
    } catch (const InOutError& error) {
        EXPECT_EQ(error.code(), 106);
        EXPECT_EQ(error.message(), Cp932FromUtf8("入力値が数値ではありません"));
    }
    TempDir dir;
    WriteBytes(dir.File("f"), "-3\r\n1\r\n1\r\n");
    StudyStore store;
    EXPECT_THROW(ReadDataFile(store, dir.File("f")), RangeError);
    EXPECT_EQ(store.SubjectCount, -3);
}

TEST(DataFile, ShortAndLongFiles) {
    StudyStore countsOnly = Read("2\r\n2\r\n3\r\n");
    EXPECT_EQ(countsOnly.LevelNamesB.size(), 4u);
    EXPECT_EQ(countsOnly.LevelNamesB[3], "");
    EXPECT_EQ(countsOnly.CellText(2, 2, 3), "");

    StudyStore empty = Read("");
    EXPECT_EQ(empty.SubjectCount, 0);
    EXPECT_EQ(empty.LevelCountA, 0);

    StudyStore extra = Read(std::string(kWorkedExample) + "extra\r\nlines\r\n");
    ExpectSameStudy(extra, PrePostStudy());
    StudyStore noEnd = Read("1\r\n1\r\n1\r\na\r\nb\r\n7");
    EXPECT_EQ(noEnd.CellText(1, 1, 1), "7");
}

// A file that ends early loads all the same, and the reader says how many
// score texts it ended before: what the file lacks, not the empty texts it holds.
TEST(DataFile, TheScoresAFileEndedBeforeAreCounted) {
    const struct {
        const char* name;
        std::string bytes;
        std::int64_t missing;
    } rows[] = {
        {"complete", kWorkedExample, 0},
        {"with lines after", std::string(kWorkedExample) + "extra\r\n", 0},
        {"empty scores written out", "2\r\n1\r\n1\r\na\r\nb\r\n\r\n\r\n", 0},
        {"the last without its line end", "1\r\n1\r\n1\r\na\r\nb\r\n7", 0},
        {"the last empty without its line end", "2\r\n1\r\n1\r\na\r\nb\r\n7\r\n", 1},
        {"cut after three scores", std::string(kWorkedExample).substr(0, 44), 5},
        {"cut inside the fourth", std::string(kWorkedExample).substr(0, 45), 4},
        {"LF alone, cut after two", "2\n2\n2\npre\npost\neasy\nhard\n12\n14\n", 6},
        {"the counts alone", "2\r\n2\r\n3\r\n", 12},
        {"cut among the names", "3\r\n1\r\n2\r\nA\r\nB1\r\n", 6},
        {"no subjects", "0\r\n2\r\n2\r\n", 0},
    };
    TempDir dir;
    for (const auto& row : rows) {
        WriteBytes(dir.File("f"), row.bytes);
        StudyStore read, loaded;
        EXPECT_EQ(ReadDataFile(read, dir.File("f")), row.missing) << row.name;
        EXPECT_EQ(LoadStudyFile(loaded, dir.File("f")), row.missing) << row.name;
        ExpectSameStudy(read, loaded);
    }
    // What the file lacks is empty; what it holds is as it was.
    WriteBytes(dir.File("f"), std::string(kWorkedExample).substr(0, 45));
    StudyStore cut;
    ReadDataFile(cut, dir.File("f"));
    EXPECT_EQ(cut.CellText(2, 1, 2), "1");
    EXPECT_EQ(cut.CellText(1, 1, 2), "15");
    EXPECT_EQ(cut.CellText(2, 2, 2), "");
}

TEST(DataFile, LoadRefusesFewerThanOneLevel) {
    TempDir dir;
    StudyStore store;
    for (const char* bytes : {"3\r\n0\r\n2\r\n", "3\r\n2\r\n-1\r\n", "", "2\r"}) {
        WriteBytes(dir.File("f"), bytes);
        try {
            LoadStudyFile(store, dir.File("f"));
            FAIL() << bytes;
        } catch (const StudyError& error) {
            EXPECT_EQ(error.message(), Cp932FromUtf8("要因の水準数が 1 未満です"));
        }
    }
    WriteBytes(dir.File("f"), kWorkedExample);
    LoadStudyFile(store, dir.File("f"));
    ExpectSameStudy(store, PrePostStudy());
    try {
        LoadStudyFile(store, dir.File("missing"));
        FAIL();
    } catch (const InOutError& error) {
        EXPECT_EQ(error.code(), 2);
    }
}

// What Load says of a file that is not a study as it stands: each message
// names what is wrong, at once, without reading the file to its end.
TEST(DataFile, LoadNamesWhatIsWrongWithAFile) {
    TempDir dir;
    const std::string file = dir.File("f");
    const auto refusal = [&] {
        StudyStore store;
        try {
            LoadStudyFile(store, file);
        } catch (const Error& error) {
            return Utf8FromCp932(error.message());
        }
        return std::string("loaded");
    };
    const std::string crOnly = "データファイルの行末を認識できません (CR だけの行末は使えません)";
    const std::string nul = "データファイルではありません (NUL バイトしかありません)";
    const std::pair<std::string, std::string> rows[] = {
        {"2\r2\r2\rpre\rpost\reasy\rhard\r12\r14\r15\r18\r9\r10\r11\r13\r", crOnly},
        {"2\r", "要因の水準数が 1 未満です"},  // one line of one count: the counts of A and B are 0
        {std::string(10, '\0'), nul},
        {std::string("\r\n\0\r\n", 5), nul},
        {std::string("\0\r\n2\r\n1\r\n1\r\na\r\nb\r\n5\r\n6\r\n", 24),
         "loaded"},  // blanks before the first count
    };
    for (const auto& [bytes, message] : rows) {
        WriteBytes(file, bytes);
        EXPECT_EQ(refusal(), message) << ::testing::PrintToString(bytes);
    }
    // Gigabytes of NUL: said from the first block (reading them all takes seconds).
    WriteBytes(file, "");
    std::filesystem::resize_file(file, std::uint64_t{1} << 31);
    EXPECT_EQ(refusal(), nul);

    // Counts that ask for more scores than the file has bytes, and more memory
    // than there is: the file ends early. The reader alone still finds the memory short.
    const std::uint64_t saved = MemoryBudget();
    SetMemoryBudget(1 << 20);
    WriteBytes(file, "2147483647\r\n1\r\n2\r\na\r\nb1\r\nb2\r\n1\r\n2\r\n");
    EXPECT_EQ(refusal(), "データファイルが途中で終わっています (被験者数と水準数が求める得点がありません)");
    StudyStore store;
    EXPECT_THROW(ReadDataFile(store, file), OutOfMemoryError);
    SetMemoryBudget(saved);
}

// Content after the last score the counts ask for is noted (a save drops
// it); the study reads as the counts say all the same.
TEST(DataFile, ContentAfterTheStudyIsNoted) {
    const std::string study = "1\r\n1\r\n2\r\na\r\nb1\r\nb2\r\n5\r\n6\r\n";
    const std::pair<std::string, bool> rows[] = {
        {study, false},
        {study + "7\r\n", true},
        {study + "\r\n\r\n \t\r\n", false},
        {study + "\r\n\r\ntrailing text", true},
        {study.substr(0, study.size() - 3), false},  // ends early
    };
    TempDir dir;
    for (const auto& [bytes, trailing] : rows) {
        WriteBytes(dir.File("f"), bytes);
        StudyStore store;
        LoadNotes notes;
        LoadStudyFile(store, dir.File("f"), notes);
        EXPECT_EQ(notes.trailingContent, trailing) << bytes;
        EXPECT_EQ(store.CellText(1, 1, 1), "5");
        EXPECT_EQ(store.LevelCountB, 2);
    }
}

// A text with a line end cannot be written as one line; the writer refuses it
// rather than write a file whose later lines shift and which would load as
// another study. The refusal comes before the file is opened when the store
// holds the text, and before the first line when the write-back brings it;
// either way the old file stays.
TEST(DataFile, TextsWithLineEndsAreRefusedAndNothingShiftedIsWritten) {
    const std::string message = Cp932FromUtf8("改行を含む文字列はデータファイルに書き込めません");
    TempDir dir;
    const std::string saved = dir.File("saved.dat");
    const struct {
        const char* where;
        void (*put)(StudyStore&);
    } rows[] = {
        {"name of A", [](StudyStore& s) { s.LevelNamesA[2] = "po\nst"; }},
        {"name of B", [](StudyStore& s) { s.LevelNamesB[1] = "easy\r"; }},
        {"first score", [](StudyStore& s) { s.CellText(1, 1, 1) = "3\n99"; }},
        {"last score", [](StudyStore& s) { s.CellText(2, 2, 2) = "\r\n13"; }},
        {"lone CR", [](StudyStore& s) { s.CellText(2, 1, 2) = "1\r8"; }},
    };
    for (const auto& row : rows) {
        // In the store: refused before the file is created, so the old file stays.
        WriteBytes(saved, kWorkedExample);
        StudyStore store = PrePostStudy();
        row.put(store);
        bool wroteBack = false;
        try {
            WriteDataFile(store, saved, [&](StudyStore&) { wroteBack = true; });
            ADD_FAILURE() << row.where << " was written";
        } catch (const LineEndInTextError& error) {
            EXPECT_EQ(error.message(), message) << row.where;
        }
        EXPECT_FALSE(wroteBack) << row.where;
        EXPECT_EQ(ReadBytes(saved), kWorkedExample) << row.where;
        EXPECT_THROW(WriteDataFile(store, dir.File("new.dat")), LineEndInTextError) << row.where;
        EXPECT_FALSE(std::filesystem::exists(dir.File("new.dat"))) << row.where;

        // Brought by the write-back, after the new file was opened: no line is
        // written, the new file goes and the old one stays.
        StudyStore shown = PrePostStudy();
        EXPECT_THROW(WriteDataFile(shown, saved, [&](StudyStore&) { row.put(shown); }), LineEndInTextError)
            << row.where;
        EXPECT_EQ(ReadBytes(saved), kWorkedExample) << row.where;
        EXPECT_THROW(WriteDataFile(shown, dir.File("new.dat"), [&](StudyStore&) { row.put(shown); }),
                     LineEndInTextError)
            << row.where;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                                std::filesystem::directory_iterator()),
                  1)
            << row.where;
    }
    // Every other byte is an ordinary one, written and read back as it was.
    StudyStore store = PrePostStudy();
    store.LevelNamesA[1] = "\t\x1a\x0b\x0c\x85x";
    store.CellText(1, 2, 1) = " 9\t";
    WriteDataFile(store, saved, [&](StudyStore&) {
        store.CellText(2, 2, 2) = std::string(
            "1\0"
            "3",
            3);
    });
    StudyStore back;
    LoadStudyFile(back, saved);
    ExpectSameStudy(back, store);
}

}  // namespace
}  // namespace morvane
