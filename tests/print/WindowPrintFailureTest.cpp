// The data window's Print when the print system has no default printer (CTest
// points CUPS_SERVER at a server that is not there): the message, and the
// write-back of the shown level that came before it.

#include <gtest/gtest.h>

#include <QApplication>

#include "datawindow/DataWindow.h"
#include "print/DefaultPrinterListing.h"
#include "runtime/Cp932.h"
#include "support/Components.h"
#include "support/FakeSeams.h"

namespace morvane {
namespace {

TEST(WindowPrint, WithoutADefaultPrinterTheShownLevelIsWrittenBackAndTheMessageShown) {
    StudyStore store;
    StartNewStudy(store, {"a1", "a2"}, {"b1", "b2"}, "2");
    store.CellText(1, 2, 1) = " as loaded ";
    testing::QueuedDialogs dialogs;
    testing::RecordedMessages messages;
    DefaultPrinterListing printer;
    const widgets::Seams seams{&dialogs, &messages, &printer};
    QWidget owner;
    DataWindow form(&owner, store, seams, '.');

    // Level a1 shown, its texts typed with blanks around them.
    testing::Grid(&form, "StringGrid1")->Cells().SetCell(1, 1, "  12.5 ");
    testing::Grid(&form, "StringGrid1")->Cells().SetCell(2, 2, Cp932FromUtf8("\t全角　"));
    form.Print();

    EXPECT_TRUE(dialogs.Calls().empty());
    EXPECT_EQ(messages.Shown(), QStringList{QString::fromUtf8("デフォルト プリンタが存在しません.")});
    EXPECT_EQ(store.CellText(1, 1, 1), "12.5");
    EXPECT_EQ(store.CellText(2, 1, 2), Cp932FromUtf8("全角　"));  // the full-width space stays
    EXPECT_EQ(store.CellText(1, 2, 1), " as loaded ");            // a level never shown is as stored
    EXPECT_EQ(testing::Grid(&form, "StringGrid1")->Cells().Cell(1, 1),
              "  12.5 ");  // the grid keeps what was typed

    // The job never started, so the next Print meets the same failure, not "現在印刷中です".
    form.Print();
    EXPECT_EQ(messages.Shown().size(), 2);
    EXPECT_EQ(messages.Shown().back(), QString::fromUtf8("デフォルト プリンタが存在しません."));
}

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
