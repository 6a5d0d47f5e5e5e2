// The compact score texts: the array seen from outside, through loads, edits,
// the rebuilding of the buffer, release, and texts of any bytes and length.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "runtime/Errors.h"
#include "store/CellTexts.h"
#include "store/DataFile.h"
#include "store/StudyStore.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

std::string Name(int s, int a, int b) {
    return std::to_string(s) + "/" + std::to_string(a) + "/" + std::to_string(b);
}

// Extents (n + 1, na + 1, nb + 1) filled in file order with the texts Name(s, a, b).
void FillByName(CellTextArray& cells, int n, int na, int nb) {
    cells.Resize(n + 1, na + 1, nb + 1);
    CellTextArray::Filler filler(cells);
    for (int a = 1; a <= na; ++a)
        for (int b = 1; b <= nb; ++b)
            for (int s = 1; s <= n; ++s) {
                filler.AppendText(Name(s, a, b));
                filler.EndText();
            }
}

// The number of elements whose text is not Name(s, a, b), outside `skip`.
int Mismatches(const CellTextArray& cells, int n, int na, int nb, std::pair<int, int> skip = {0, 0}) {
    int wrong = 0;
    for (int s = 1; s <= n; ++s)
        for (int a = 1; a <= na; ++a)
            for (int b = 1; b <= nb; ++b)
                if (std::pair{s, a} != skip && cells(s, a, b) != Name(s, a, b)) ++wrong;
    return wrong;
}

TEST(CellTexts, LoadedInFileOrderReadInIndexOrderAndEditedCellByCell) {
    CellTextArray cells;
    FillByName(cells, 3, 2, 4);
    EXPECT_EQ(Mismatches(cells, 3, 2, 4), 0);
    EXPECT_EQ(cells(0, 1, 1), "");  // the elements with an index 0 are empty
    EXPECT_EQ(cells(3, 0, 4), "");

    CellTextRef cell = cells(2, 1, 3);
    cell = "edited";
    EXPECT_EQ(std::as_const(cells)(2, 1, 3), "edited");
    cell = "again, longer than any short string";
    EXPECT_EQ(cell.View(), "again, longer than any short string");
    cells(1, 2, 4) = cells(2, 1, 3);  // from a text of the same array
    cells(3, 2, 1) = cells(3, 2, 1);
    EXPECT_EQ(cells(1, 2, 4), "again, longer than any short string");
    cells(3, 1, 1).clear();
    EXPECT_TRUE(cells(3, 1, 1).empty());
    EXPECT_EQ(cells(3, 1, 2).size(), 5u);
    EXPECT_EQ(std::string(cells(3, 2, 1)), "3/2/1");

    // Only the edited elements changed.
    int changed = 0;
    for (int s = 1; s <= 3; ++s)
        for (int a = 1; a <= 2; ++a)
            for (int b = 1; b <= 4; ++b) changed += cells(s, a, b) != Name(s, a, b);
    EXPECT_EQ(changed, 3);

    // Index 0 holds the empty text only; outside the extents nothing is held.
    EXPECT_NO_THROW(cells(0, 1, 1) = "");
    EXPECT_THROW(cells(0, 1, 1) = "x", RangeError);
    EXPECT_THROW(cells(4, 1, 1) = "x", RangeError);
    EXPECT_THROW(cells.Set(1, 3, 1, ""), RangeError);
}

TEST(CellTexts, ManyEditsAreFoldedIntoTheBufferAndAReloadDropsThem) {
    const int n = 1000, na = 4, nb = 50;  // 200,000 texts
    CellTextArray cells;
    FillByName(cells, n, na, nb);
    // Every text of level 1 and 2 of A replaced: more changes than half the
    // texts, so the buffer is rebuilt on the way; then level 3 again.
    for (int round = 0; round < 2; ++round)
        for (int a = 1; a <= 3; ++a)
            for (int s = 1; s <= n; ++s)
                for (int b = 1; b <= nb; ++b) cells(s, a, b) = "#" + Name(s, a, b) + std::to_string(round);
    for (int s = 1; s <= n; ++s)
        for (int b = 1; b <= nb; ++b) {
            ASSERT_EQ(cells(s, 1, b), "#" + Name(s, 1, b) + "1") << s << " " << b;
            ASSERT_EQ(cells(s, 4, b), Name(s, 4, b)) << s << " " << b;
        }

    FillByName(cells, n, na, nb);
    EXPECT_EQ(Mismatches(cells, n, na, nb), 0);

    // A load that stops early: the element being read keeps the bytes read, the
    // others are empty.
    cells.Resize(3, 2, 2);
    {
        CellTextArray::Filler filler(cells);
        filler.AppendText("first");
        filler.EndText();
        filler.AppendText("cut");
    }
    EXPECT_EQ(cells(1, 1, 1), "first");
    EXPECT_EQ(cells(2, 1, 1), "cut");
    EXPECT_EQ(cells(2, 1, 1), "cut");
    EXPECT_EQ(cells(1, 1, 1), "first");

    cells.Release();
    EXPECT_TRUE(cells.Empty());
    EXPECT_EQ(cells.Extent0(), 0);
    cells.Resize(2, 0, 5);
    EXPECT_TRUE(cells.Empty());
    EXPECT_THROW(cells.Resize(2, -1, 5), RangeError);
}

TEST(CellTexts, RunsOfTextsEndToEndFillAsTheirTextsOneByOne) {
    // Filled by runs of every length (none, one, some, the rest) and by texts
    // one by one, with empty texts among them: the same array.
    const int n = 7, na = 3, nb = 5;
    std::vector<std::string> texts;
    for (std::size_t k = 0; k < std::size_t{n * na * nb}; ++k)
        texts.push_back(k % 4 == 0 ? "" : std::string(k % 9, static_cast<char>('a' + k % 26)));
    CellTextArray runs, single;
    runs.Resize(n + 1, na + 1, nb + 1);
    single.Resize(n + 1, na + 1, nb + 1);
    {
        CellTextArray::Filler byRun(runs), byText(single);
        std::size_t k = 0;
        for (const std::size_t length : {0u, 1u, 0u, 3u, 17u, 2u, 40u}) {
            std::string run;
            std::vector<std::uint32_t> lengths;
            for (std::size_t i = 0; i < length && k < texts.size(); ++i, ++k) {
                run += texts[k];
                lengths.push_back(static_cast<std::uint32_t>(texts[k].size()));
                byText.AppendText(texts[k]);
                byText.EndText();
            }
            byRun.AppendTexts(run, lengths);
        }
        // The rest one by one after the runs.
        for (; k < texts.size(); ++k) {
            byRun.AppendText(texts[k]);
            byRun.EndText();
            byText.AppendText(texts[k]);
            byText.EndText();
        }
    }
    const CellTextArray &byRun = runs, &byText = single;
    int k = 0, wrong = 0;
    for (int a = 1; a <= na; ++a)
        for (int b = 1; b <= nb; ++b)
            for (int s = 1; s <= n; ++s, ++k)
                wrong +=
                    byRun(s, a, b) != texts[static_cast<std::size_t>(k)] || byText(s, a, b) != byRun(s, a, b);
    EXPECT_EQ(wrong, 0);
}

TEST(CellTexts, AnyBytesAndLengthsSurviveLoadEditAndSave) {
    testing::TempDir dir;
    const std::string big(3 << 20, '\x82');  // 3 MB of lead bytes with no trail byte
    const std::string odd[] = {std::string("\x00\x01", 2),
                               "\x81",
                               "\xFF\xFE\x80",
                               "\x82\xA0\x20\x09",
                               "",
                               big,
                               "\x1A",
                               " \x81\x40 "};
    std::string file = "4\r\n1\r\n2\r\na\r\nb1\r\nb2\r\n";
    for (const std::string& text : odd) file += text + "\r\n";
    testing::WriteBytes(dir.File("odd.dat"), file);

    StudyStore store;
    LoadStudyFile(store, dir.File("odd.dat"));
    for (int k = 0; k < 8; ++k) EXPECT_TRUE(store.CellText(k % 4 + 1, 1, k / 4 + 1) == odd[k]) << k;

    // Written back byte for byte, before and after edits and a reload.
    WriteDataFile(std::as_const(store), dir.File("same.dat"));
    EXPECT_EQ(testing::ReadBytes(dir.File("same.dat")), file);
    store.CellText(2, 1, 2) = odd[0];
    store.CellText(1, 1, 1) = big + "\xE0";
    WriteDataFile(std::as_const(store), dir.File("edited.dat"));
    LoadStudyFile(store, dir.File("edited.dat"));
    EXPECT_TRUE(store.CellText(1, 1, 1) == big + "\xE0");
    EXPECT_EQ(store.CellText(2, 1, 2), odd[0]);
    EXPECT_EQ(store.CellText(2, 1, 1), odd[1]);
    store.CellText(2, 1, 2) = odd[5];
    WriteDataFile(std::as_const(store), dir.File("again.dat"));
    EXPECT_EQ(testing::ReadBytes(dir.File("again.dat")).size(), file.size() + 1 + big.size() - 2);
}

// A loaded array's columns read the buffer where the texts lie; copies and
// moved-to arrays keep their own offsets, and an edit makes an array read
// cell by cell, leaving its copies as they were.
TEST(CellTexts, ColumnsAndCopiesOfALoadedArray) {
    const int n = 9, na = 2, nb = 3;
    CellTextArray loaded;
    FillByName(loaded, n, na, nb);
    const auto columnsMatch = [&](const CellTextArray& cells) {
        int wrong = 0;
        for (int a = 1; a <= na; ++a)
            for (int b = 1; b <= nb; ++b) {
                // In runs of every length, as readers of a block of subjects take them.
                for (int first = 1, run = 1; first <= n; first += run, ++run)
                    cells.ForEachInColumn(a, b, first, std::min(n, first + run - 1),
                                          [&](std::size_t t, std::string_view text) {
                                              wrong += text != Name(first + static_cast<int>(t), a, b);
                                          });
            }
        return wrong;
    };
    ASSERT_TRUE(loaded.Plain());
    EXPECT_EQ(columnsMatch(loaded), 0);

    CellTextArray copy = loaded, assigned;
    FillByName(assigned, 2, 2, 2);
    assigned = copy;
    loaded(4, 2, 3) = "edited";
    EXPECT_FALSE(loaded.Plain());
    EXPECT_EQ(columnsMatch(loaded), 1);  // read cell by cell: the edited text
    ASSERT_TRUE(copy.Plain() && assigned.Plain());
    EXPECT_EQ(columnsMatch(copy), 0);
    EXPECT_EQ(columnsMatch(assigned), 0);

    CellTextArray moved = std::move(copy);
    assigned = std::move(moved);
    EXPECT_EQ(columnsMatch(assigned), 0);
    EXPECT_EQ(Mismatches(loaded, n, na, nb, {4, 2}), 0);
    EXPECT_EQ(loaded(4, 2, 3), "edited");
    assigned.Release();
    EXPECT_TRUE(assigned.Empty());
    EXPECT_EQ(Mismatches(loaded, n, na, nb, {4, 2}), 0);
}

}  // namespace
}  // namespace morvane
