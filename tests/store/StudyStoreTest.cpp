#include <gtest/gtest.h>

#include <utility>

#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/MemoryBudget.h"
#include "store/StudyStore.h"

namespace morvane {
namespace {

TEST(StudyStore, NewStudyHasItsExtentsAndEmptyTexts) {
    StudyStore store;
    StartNewStudy(store, {"", " x "}, {"b"}, " 3");
    EXPECT_EQ(store.LevelCountA, 2);
    EXPECT_EQ(store.LevelCountB, 1);
    EXPECT_EQ(store.SubjectCount, 3);
    EXPECT_EQ(store.LevelNamesA, (NameArray{"", "", " x "}));
    EXPECT_EQ(store.LevelNamesB, (NameArray{"", "b"}));
    EXPECT_EQ(store.CellText.Extent0(), 4);
    EXPECT_EQ(store.CellText.Extent1(), 3);
    EXPECT_EQ(store.CellText.Extent2(), 2);
    store.CellText(3, 2, 1) = "last";
    EXPECT_EQ(std::as_const(store).CellText(3, 2, 1), "last");  // [subject][A][B] order
    EXPECT_EQ(store.CellText(2, 2, 1), "");
    EXPECT_EQ(store.CellText(1, 1, 1), "");

    StartNewStudy(store, {"a"}, {"b"}, "0");
    EXPECT_EQ(store.CellText.Extent0(), 1);
    StartNewStudy(store, {"a"}, {"b"}, "-1");
    EXPECT_TRUE(store.CellText.Empty());
}

TEST(StudyStore, NewStudyFailuresLeaveWhatWasAssigned) {
    StudyStore store;
    try {
        StartNewStudy(store, {"a", "b"}, {"c", "d", "e"}, "5 ");
        FAIL();
    } catch (const ConvertError& error) {
        EXPECT_EQ(error.message(), Cp932FromUtf8("'5 ' は整数ではありません"));
    }
    EXPECT_EQ(store.LevelCountA, 2);
    EXPECT_EQ(store.LevelCountB, 3);
    EXPECT_EQ(store.SubjectCount, 0);

    EXPECT_THROW(StartNewStudy(store, {"a"}, {"c"}, "-5"), RangeError);
    EXPECT_EQ(store.SubjectCount, -5);
    EXPECT_EQ(store.LevelNamesA, (NameArray{"", "a"}));
}

TEST(StudyStore, TooLargeStudiesFailWithOutOfMemory) {
    StudyStore store;
    // Extents whose product does not fit 64 bits, and one beyond physical memory.
    EXPECT_THROW(store.CellText.Resize(INT32_MAX + 1LL, INT32_MAX + 1LL, INT32_MAX + 1LL), OutOfMemoryError);
    EXPECT_THROW(StartNewStudy(store, {"a"}, {"b"}, "2147483647"), OutOfMemoryError);
    const auto saved = MemoryBudget();
    SetMemoryBudget(1 << 20);
    EXPECT_THROW(store.CellValue.Resize(1000, 11, 11), OutOfMemoryError);
    EXPECT_NO_THROW(store.CellValue.Resize(100, 11, 11));
    SetMemoryBudget(saved);
    EXPECT_EQ(store.CellValue(99, 10, 10), 0.0L);
}

TEST(StudyStore, ReleaseEmptiesArraysAndKeepsCounts) {
    StudyStore store;
    StartNewStudy(store, {"a"}, {"b"}, "2");
    SizeCellValue(store);
    SizeColumnTotals(store);
    EXPECT_EQ(store.ColumnTotals.size(), 2u);
    ReleaseStudy(store);
    EXPECT_TRUE(store.CellText.Empty());
    EXPECT_TRUE(store.CellValue.Empty());
    EXPECT_TRUE(store.LevelNamesA.empty());
    EXPECT_TRUE(store.LevelNamesB.empty());
    EXPECT_TRUE(store.ColumnTotals.empty());
    EXPECT_EQ(store.SubjectCount, 2);
}

TEST(StudyStore, EachHandOverGivesTheArraysTheExtentsOfTheCounts) {
    StudyStore store;
    EXPECT_FALSE(HasItsExtents(store, StudyArrays::Values));  // counts 0 call for extents 1
    EXPECT_FALSE(HasItsExtents(store, StudyArrays::Names));
    StartNewStudy(store, {"a1", "a2"}, {"b"}, "3");
    const StudyArrays study = StudyArrays::Names | StudyArrays::Texts;
    EXPECT_TRUE(HasItsExtents(store, study));
    EXPECT_FALSE(HasItsExtents(store, StudyArrays::Values));
    SizeStudy(store, StudyArrays::Values | StudyArrays::Totals);
    EXPECT_TRUE(HasItsExtents(store, study | StudyArrays::Values | StudyArrays::Totals));
    EXPECT_EQ(store.CellValue.Extent1(), 3);
    EXPECT_EQ(store.ColumnTotals.size(), 2u);

    store.SubjectCount = 4;  // counts that the arrays no longer match
    EXPECT_FALSE(HasItsExtents(store, StudyArrays::Texts));
    EXPECT_TRUE(HasItsExtents(store, StudyArrays::Names | StudyArrays::Totals));
    ReleaseStudy(store);
    EXPECT_FALSE(HasItsExtents(store, StudyArrays::Names));
    EXPECT_FALSE(HasItsExtents(store, StudyArrays::Totals));

    // A count below -1 has no arrays; the ones before the failure are sized.
    StudyStore copy = store;  // a study copies whole, values included
    EXPECT_TRUE(copy.CellValue.Empty());
    StartNewStudy(copy, {"a"}, {"b"}, "1");
    SizeCellValue(copy);
    copy.CellValue(1, 1, 1) = 2.5L;
    copy.CellText(1, 1, 1) = "2.5";
    store = copy;
    EXPECT_EQ(store.CellValue(1, 1, 1), 2.5L);
    EXPECT_EQ(store.CellText(1, 1, 1), "2.5");

    store.LevelCountB = -2;
    EXPECT_THROW(SizeStudy(store, StudyArrays::Names | StudyArrays::Texts), RangeError);
    EXPECT_EQ(store.LevelNamesA.size(), 2u);
    EXPECT_FALSE(HasItsExtents(store, StudyArrays::Names));
}

}  // namespace
}  // namespace morvane
