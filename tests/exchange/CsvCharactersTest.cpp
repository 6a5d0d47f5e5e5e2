// Every character of code page 932 out to CSV and back: the characters held
// under two codes are said as the CSV is written, every other one comes back
// byte for byte, and a NUL goes out as U+FFFD.

#include <gtest/gtest.h>

#include "exchange/ExchangeFiles.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/StudyCsv.h"
#include "properties/MemoryFile.h"
#include "runtime/Cp932.h"
#include "store/DataFile.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::ReadBytes;
using testing::TempDir;

std::string DataFileBytes(const StudyStore& store) {
    properties::MemoryFile file;
    WriteDataFile(store, file.Path());
    return file.Get();
}

// Every valid character of two bytes.
std::vector<std::string> DoubleByteCharacters() {
    std::vector<std::string> characters;
    for (int lead = 0x81; lead <= 0xFC; ++lead)
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
            if (Utf8FromCp932Exact(bytes)) characters.push_back(bytes);
        }
    return characters;
}

// A level of A named after each character (and its number, so that two
// characters that come back alike still name two levels): the long CSV
// written, read back, gives the study with exactly the 398 characters of the
// vendors' second codes changed to their first, each told by a notice.
TEST(CsvCharacters, TheSecondCodesAreToldAndEveryOtherCharacterComesBack) {
    const std::vector<std::string> characters = DoubleByteCharacters();
    std::vector<std::string> names, expected;
    std::size_t respelled = 0;
    for (std::size_t i = 0; i < characters.size(); ++i) {
        names.push_back(characters[i] + std::to_string(i));
        const auto respelling = FirstRespelling(names.back());
        respelled += respelling.has_value();
        expected.push_back((respelling ? respelling->comesBackAs : characters[i]) + std::to_string(i));
    }
    EXPECT_EQ(respelled, 398u);
    StudyStore store, back, wanted;
    StartNewStudy(store, names, {"b"}, "1");
    StartNewStudy(wanted, expected, {"b"}, "1");
    for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
        store.CellText(1, a, 1) = wanted.CellText(1, a, 1) = "1";

    std::string csv;
    std::vector<std::string> notices;
    WriteStudyCsv(
        store, CsvLayout::Long, [&](std::string_view piece) { csv.append(piece); },
        [&](const std::string& notice) { notices.push_back(Utf8FromCp932(notice)); });
    ASSERT_EQ(notices.size(), 398u);
    ReadStudyCsv(csv, {}, back);
    EXPECT_TRUE(DataFileBytes(back) == DataFileBytes(wanted));

    // The notice names the level, the character, its bytes and those that come back.
    const auto first = std::find_if(names.begin(), names.end(),
                                    [](const std::string& name) { return name.starts_with("\xFA\x4A"); });
    const auto level = std::to_string(first - names.begin() + 1);
    EXPECT_NE(std::find(notices.begin(), notices.end(),
                        "A の水準 " + level + " の名前の 'Ⅰ' (FA 4A) は CSV から読み込むと 87 54 になります"),
              notices.end());
    EXPECT_EQ(FirstRespelling("\xEE\xEF")->comesBackAs, "\xFA\x40");
    EXPECT_EQ(FirstRespelling("ab\x82\x60\xFA\x4A\xFA\x4B")->character, "\xFA\x4A");
    for (const std::string text : {"", "ascii", "\x87\x54", "\xFA\x40", "\xFF"})
        EXPECT_FALSE(FirstRespelling(text));

    // A NUL goes out as U+FFFD, which no import takes back: told as well.
    StudyStore nul;
    StartNewStudy(nul,
                  {"a1", std::string("a\0"
                                     "2",
                                     3)},
                  {"b"}, "1");
    notices.clear();
    WriteStudyCsv(
        nul, CsvLayout::Long, [](std::string_view) {},
        [&](const std::string& notice) { notices.push_back(Utf8FromCp932(notice)); });
    EXPECT_EQ(notices,
              std::vector<std::string>{"A の水準 2 の名前の NUL は CSV では U+FFFD になり、読み込めません"});
}

// Scores: one notice, for the first in the order of the rows (subject, then A,
// then B, not the store's order), with how many others there are; in either
// layout, and from the file commands once the CSV is written.
TEST(CsvCharacters, ScoresWithSecondCodesMakeOneNotice) {
    StudyStore store;
    StartNewStudy(store, {"a1", "a2"}, {"b1", "b2"}, "2");
    for (std::int32_t s = 1; s <= 2; ++s)
        for (std::int32_t a = 1; a <= 2; ++a)
            for (std::int32_t b = 1; b <= 2; ++b) store.CellText(s, a, b) = "1";
    store.CellText(2, 1, 1) = "\xEE\xEF";    // first in the store's order
    store.CellText(1, 2, 2) = " 2\xFA\x4A";  // first in the rows'
    store.CellText(2, 2, 1) = "\x87\x54";    // comes back as it is
    const std::string notice =
        "被験者 1、A の水準 2、B の水準 2 の得点の 'Ⅰ' (FA 4A) は CSV から読み込むと 87 54 "
        "になります (ほかに 1 個の得点にもこのような文字があります)";
    for (const CsvLayout layout : {CsvLayout::Long, CsvLayout::Wide}) {
        std::vector<std::string> notices;
        WriteStudyCsv(
            store, layout, [](std::string_view) {},
            [&](const std::string& text) { notices.push_back(Utf8FromCp932(text)); });
        EXPECT_EQ(notices, std::vector<std::string>{notice});
    }
    TempDir dir;
    WriteDataFile(store, dir.File("study.dat"));
    std::vector<std::string> told;
    ExportCsv(dir.File("study.dat"), dir.File("study.csv"), CsvLayout::Long,
              [&](const std::string& text) { told.push_back(Utf8FromCp932(text)); });
    EXPECT_EQ(told, std::vector<std::string>{notice});
    EXPECT_NE(ReadBytes(dir.File("study.csv")).find("1,a2,b2,2Ⅰ\r\n"), std::string::npos);
    // Without such characters there is nothing to tell.
    store.CellText(2, 1, 1) = "\x87\x54";
    store.CellText(1, 2, 2) = "2";
    WriteStudyCsv(
        store, CsvLayout::Wide, [](std::string_view) {}, [](const std::string& text) { FAIL() << text; });
}

// A NUL goes out as U+FFFD, in names, headers and scores, and nowhere else;
// the study keeps its bytes.
TEST(CsvCharacters, ANulGoesOutAsTheReplacementCharacter) {
    using namespace std::string_literals;
    StudyStore store;
    StartNewStudy(store, {"x\0y"s, "\x82\x60\0"s}, {"b\0"s}, "1");
    store.CellText(1, 1, 1) = "1\0"s;
    store.CellText(1, 2, 1) = " \0 2"s;
    const auto csvOf = [&](CsvLayout layout) {
        std::string csv;
        WriteStudyCsv(store, layout, [&](std::string_view piece) { csv.append(piece); });
        return csv;
    };
    EXPECT_EQ(csvOf(CsvLayout::Long),
              "subject,A,B,score\r\n1,x\uFFFDy,b\uFFFD,1\uFFFD\r\n1,Ａ\uFFFD,b\uFFFD,\uFFFD 2\r\n");
    EXPECT_EQ(csvOf(CsvLayout::Wide), "subject,x\uFFFDy_b\uFFFD,Ａ\uFFFD_b\uFFFD\r\n1,1\uFFFD,\uFFFD 2\r\n");
    EXPECT_EQ(store.LevelNamesA[1], "x\0y"s);
    EXPECT_EQ(store.CellText(1, 2, 1), " \0 2"s);
}

}  // namespace
}  // namespace morvane
