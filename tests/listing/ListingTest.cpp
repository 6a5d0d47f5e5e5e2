// The printed listing's lines and the print command's calls of the device.

#include <gtest/gtest.h>

#include <algorithm>

#include "FakeSurface.h"
#include "listing/Listing.h"
#include "listing/PrinterTextDevice.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using Lines = std::vector<std::string>;

std::string S(const char* utf8) {
    return Cp932FromUtf8(utf8);
}

// A study whose score text for (s, a, b) is `text(s, a, b)`.
StudyStore Study(const std::vector<std::string>& namesA, const std::vector<std::string>& namesB, int n,
                 const std::function<std::string(int, int, int)>& text) {
    StudyStore store;
    StartNewStudy(store, namesA, namesB, std::to_string(n));
    for (int s = 1; s <= n; ++s)
        for (int a = 1; a <= store.LevelCountA; ++a)
            for (int b = 1; b <= store.LevelCountB; ++b) store.CellText(s, a, b) = text(s, a, b);
    return store;
}

// Records every call the listing makes.
struct CallRecorder : TextDevice {
    std::vector<std::string> calls;
    void Write(std::string_view text) override { calls.push_back("[" + std::string(text) + "]"); }
    void EndLine() override { calls.push_back("|"); }
};

TEST(Listing, TitleThenPerLevelHeadingNamesAndSubjects) {
    const StudyStore store = Study({"a1", "a2"}, {"b1", "b2", "b3"}, 2,
                                   [](int s, int a, int b) { return std::to_string(100 * s + 10 * a + b); });
    const Lines lines = ListingLines(store);
    ASSERT_EQ(lines.size(), 14u);  // 4 + 2 x (3 + 2)
    EXPECT_EQ(lines, (Lines{
                         "",
                         "",
                         S("被験者内要因：Ａ、Ｂ"),
                         "",
                         "",
                         S("要因Ａ＜a1＞"),
                         "                  b1        b2        b3",
                         "         1       111       112       113",
                         "         2       211       212       213",
                         "",
                         S("要因Ａ＜a2＞"),
                         "                  b1        b2        b3",
                         "         1       121       122       123",
                         "         2       221       222       223",
                     }));
    EXPECT_EQ(lines[2].size(), 20u);

    // Each field is handed over by itself.
    CallRecorder recorder;
    WriteListing(store, recorder);
    const std::vector<std::string> levelOne(recorder.calls.begin() + 5, recorder.calls.begin() + 20);
    EXPECT_EQ(levelOne, (std::vector<std::string>{"|", "[" + S("要因Ａ＜a1＞") + "]", "|", "[          ]",
                                                  "[        b1]", "[        b2]", "[        b3]", "|",
                                                  "[         1]", "[       111]", "[       112]",
                                                  "[       113]", "|", "[         2]", "[       211]"}));
}

TEST(Listing, FieldsAreRightJustifiedInTenBytesAndNeverCut) {
    // Two levels of B, scores 3 and 12.5: 9 spaces and 1, 9 spaces and 3, 6 spaces and 12.5.
    StudyStore store = Study({"a"}, {"x", "y"}, 1, [](int, int, int b) { return b == 1 ? "3" : "12.5"; });
    Lines lines = ListingLines(store);
    EXPECT_EQ(lines[7], "         1         3      12.5");
    EXPECT_EQ(lines[7].size(), 30u);
    EXPECT_EQ(lines[6], "                   x         y");

    // Five double-byte characters fill a field, six push what follows 2 bytes on;
    // the A name is printed as stored, and texts that are not numbers as typed.
    store =
        Study({S(" 長い名前の水準Ａ ")}, {S("五文字名前"), S("六文字の名前"), "z"}, 1, [](int, int, int b) {
            return b == 1 ? "abc" : b == 2 ? "" : "0123456789xyz";
        });
    lines = ListingLines(store);
    EXPECT_EQ(lines[5], S("要因Ａ＜ 長い名前の水準Ａ ＞"));
    EXPECT_EQ(lines[6], "          " + S("五文字名前") + S("六文字の名前") + "         z");
    EXPECT_EQ(lines[7], "         1       abc          0123456789xyz");
}

TEST(Listing, NoSubjectsListsHeadingsAndNamesOnly) {
    for (int n : {0, -1}) {
        StudyStore store = Study({"p", "q"}, {"r"}, n, [](int, int, int) { return ""; });
        EXPECT_EQ(ListingLines(store),
                  (Lines{"", "", S("被験者内要因：Ａ、Ｂ"), "", "", S("要因Ａ＜p＞"), "                   r",
                         "", S("要因Ａ＜q＞"), "                   r"}))
            << n;
    }
}

TEST(Listing, AReleasedStudyIsRefusedBeforeAnyLine) {
    StudyStore store = Study({"a"}, {"b"}, 2, [](int, int, int) { return "1"; });
    ReleaseStudy(store);
    CallRecorder recorder;
    EXPECT_THROW(WriteListing(store, recorder), RangeError);
    EXPECT_TRUE(recorder.calls.empty());

    // The print command then leaves no job open.
    testing::FakePrintTarget printer;
    PrinterTextDevice device(printer);
    EXPECT_THROW(PrintListing(store, device), RangeError);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(printer.log, (std::vector<std::string>{"font " + S("ＭＳ 明朝") + " 16", "abort"}));
}

TEST(Listing, PrintSetsTheFontFirstAndDrawsEveryFieldWhereTheLastEnded) {
    const StudyStore store =
        Study({"a"}, {"b1", "b2"}, 1, [](int, int, int b) { return b == 1 ? "3" : "12.5"; });
    testing::FakePrintTarget printer;
    printer.pageWidth = 1000;
    printer.pageHeight = 2000;
    PrinterTextDevice device(printer);
    PrintListing(store, device);
    // Blank lines advance by the font's 28, text lines by 32.
    EXPECT_EQ(printer.log, (std::vector<std::string>{
                               "font " + S("ＭＳ 明朝") + " 16",
                               "draw 0,56 " + S("被験者内要因：Ａ、Ｂ"),
                               "draw 0,144 " + S("要因Ａ＜a＞"),
                               "draw 0,176           ",
                               "draw 100,176         b1",
                               "draw 200,176         b2",
                               "draw 0,208          1",
                               "draw 100,208          3",
                               "draw 200,208       12.5",
                               "end",
                           }));
    EXPECT_FALSE(device.IsOpen());
}

TEST(Listing, TheTextFileHasTheLinesWithCrLf) {
    testing::TempDir dir;
    const StudyStore store = Study({"a"}, {"b"}, 1, [](int, int, int) { return "7"; });
    WriteListingFile(store, dir.File("listing.txt"));
    EXPECT_EQ(testing::ReadBytes(dir.File("listing.txt")),
              "\r\n\r\n" + S("被験者内要因：Ａ、Ｂ") + "\r\n\r\n\r\n" + S("要因Ａ＜a＞") +
                  "\r\n                   b\r\n         1         7\r\n");
    EXPECT_THROW(WriteListingFile(store, dir.File("missing/listing.txt")), InOutError);
}

}  // namespace
TEST(Listing, PrintTellsItsProgressAfterEveryLineAndAStopPrintsNothing) {
    // N = 30 on pages of 200 pixels: 4 + 3 + 30 = 37 lines over several pages.
    const StudyStore store = Study({"a"}, {"b"}, 30, [](int, int, int) { return "7"; });
    struct Recorded : PrintProgress {
        std::vector<std::int64_t> lines;
        std::vector<int> pages;
        std::int64_t total = 0;
        std::int64_t stopAt = -1;
        bool Continue(std::int64_t line, std::int64_t totalLines, int page) override {
            lines.push_back(line);
            pages.push_back(page);
            total = totalLines;
            return line != stopAt;
        }
    };
    testing::FakePrintTarget printer;
    PrinterTextDevice device(printer);
    Recorded all;
    EXPECT_TRUE(PrintListing(store, device, all));
    EXPECT_EQ(ListingLineCount(store), 37);
    EXPECT_EQ(all.total, 37);
    ASSERT_EQ(all.lines.size(), 37u);
    for (std::size_t i = 0; i < all.lines.size(); ++i)
        EXPECT_EQ(all.lines[i], static_cast<std::int64_t>(i) + 1);
    EXPECT_EQ(all.pages.front(), 1);
    EXPECT_TRUE(std::is_sorted(all.pages.begin(), all.pages.end()));
    EXPECT_EQ(all.pages.back(), 1 + std::count(printer.log.begin(), printer.log.end(), "page"));
    EXPECT_GT(all.pages.back(), 1);
    EXPECT_EQ(printer.log.back(), "end");

    // Stopped at line 20: the job is aborted, never ended, and can be begun again.
    printer.log.clear();
    Recorded stopped;
    stopped.stopAt = 20;
    EXPECT_FALSE(PrintListing(store, device, stopped));
    EXPECT_EQ(stopped.lines.size(), 20u);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(printer.log.back(), "abort");
    EXPECT_EQ(std::count(printer.log.begin(), printer.log.end(), "end"), 0);
    EXPECT_TRUE(PrintListing(store, device, all));
}

}  // namespace morvane
