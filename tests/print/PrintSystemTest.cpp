// Listings printed through `morvane print` and the data window's Print on the private CUPS server with its
// cups-pdf queue as the default printer: the PDF that arrives, its pages and
// their ink, and the page breaks of long studies against the page rule worked
// out from the printer's own metrics.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QPrinter>
#include <QPrinterInfo>
#include <chrono>
#include <cstdio>
#include <functional>

#include "PrintSystem.h"
#include "datawindow/DataWindow.h"
#include "listing/Listing.h"
#include "print/DefaultPrinterListing.h"
#include "print/QtPrintSurface.h"
#include "qttext/Fonts.h"
#include "runtime/Cp932.h"
#include "store/DataFile.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using namespace testing;

struct Metrics {
    int pageHeight = 0;
    int fontHeight = 0;
};

// The page and font of the default printer as the listing uses them.
Metrics DefaultPrinterMetrics() {
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    const QFontMetrics font(qttext::ProgramFont(QString::fromUtf8("ＭＳ 明朝"), kListingFontPoints),
                            &printer);
    return {printer.height(), font.height()};
}

struct Prediction {
    int pages = 1;
    bool lastPageEmpty = false;
};

// The page rule over the listing's lines, none of them wider than the page: a
// text line is font height + 2 high and breaks the page after it when the next
// line's top lies below the page height less twice that; a blank line advances
// by the font height and breaks below the page height.
Prediction Predict(const std::vector<std::string>& lines, const Metrics& m) {
    Prediction p;
    int y = 0;
    for (const std::string& line : lines) {
        const int height = line.empty() ? 0 : m.fontHeight + 2;
        y += line.empty() ? m.fontHeight : height;
        p.lastPageEmpty = y > m.pageHeight - 2 * height;
        if (p.lastPageEmpty) {
            ++p.pages;
            y = 0;
        }
    }
    return p;
}

StudyStore Study(int na, int nb, int n) {
    std::vector<std::string> namesA, namesB;
    for (int a = 1; a <= na; ++a) namesA.push_back(Cp932FromUtf8("水準") + std::to_string(a));
    for (int b = 1; b <= nb; ++b) namesB.push_back("b" + std::to_string(b));
    StudyStore store;
    StartNewStudy(store, namesA, namesB, std::to_string(n));
    for (int s = 1; s <= n; ++s)
        for (int a = 1; a <= na; ++a)
            for (int b = 1; b <= nb; ++b) store.CellText(s, a, b) = std::to_string(s * 7 % 23) + ".5";
    return store;
}

struct Printed {
    CommandResult run;
    std::string pdf;
    double submitSeconds = 0;
    double arrivalSeconds = 0;
};

// Prints `dataFile` with `morvane print` (with `environment` before it) and waits
// for its PDF when the command succeeds.
Printed PrintFile(const std::string& dataFile, const std::string& environment = "") {
    TempDir runtime;
    const std::vector<std::string> before = PrintedFiles();
    const auto start = std::chrono::steady_clock::now();
    Printed printed;
    printed.run = RunCommand("env XDG_RUNTIME_DIR=" + runtime.Path().string() + " " + environment + " " +
                             MORVANE_TOOL + " print '" + dataFile + "'");
    const auto submitted = std::chrono::steady_clock::now();
    printed.submitSeconds = std::chrono::duration<double>(submitted - start).count();
    if (printed.run.status == 0) printed.pdf = WaitForNewPdf(before);
    printed.arrivalSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - submitted).count();
    return printed;
}

Printed PrintStudy(const StudyStore& store) {
    TempDir dir;
    WriteDataFile(store, dir.File("study.dat"));
    return PrintFile(dir.File("study.dat"));
}

TEST(PrintSystem, TheWorkedExampleArrivesAsOnePageWithText) {
    const Printed printed = PrintFile(std::string(MORVANE_EXAMPLES) + "/worked-example.dat");
    ASSERT_EQ(printed.run.status, 0) << printed.run.out;
    ASSERT_NE(printed.pdf, "") << "no PDF arrived";
    EXPECT_EQ(PageCount(printed.pdf), 1);
    const std::vector<long> ink = InkPerPage(printed.pdf);
    ASSERT_EQ(ink.size(), 1u);
    EXPECT_GT(ink[0], 100) << "the page is blank";
    std::printf("worked example: 1 page, submitted in %.2f s, PDF after %.2f s more\n", printed.submitSeconds,
                printed.arrivalSeconds);
}

TEST(PrintSystem, ALongStudyBreaksPagesAsTheRulePredicts) {
    const Metrics metrics = DefaultPrinterMetrics();
    ASSERT_GT(metrics.fontHeight, 0);
    const StudyStore store = Study(2, 3, 300);
    const std::vector<std::string> lines = ListingLines(store);
    const Prediction expected = Predict(lines, metrics);
    ASSERT_GT(expected.pages, 5);  // the case must really span pages

    const Printed printed = PrintStudy(store);
    ASSERT_EQ(printed.run.status, 0) << printed.run.out;
    ASSERT_NE(printed.pdf, "") << "no PDF arrived";
    EXPECT_EQ(PageCount(printed.pdf), expected.pages);
    const std::vector<long> ink = InkPerPage(printed.pdf);
    ASSERT_EQ(ink.size(), static_cast<std::size_t>(expected.pages));
    for (std::size_t page = 0; page + (expected.lastPageEmpty ? 1 : 0) < ink.size(); ++page)
        EXPECT_GT(ink[page], 100) << "page " << page + 1 << " is blank";
    std::printf("%zu lines: %d pages (page %d px, font %d px), submitted in %.2f s, PDF after %.2f s more\n",
                lines.size(), expected.pages, metrics.pageHeight, metrics.fontHeight, printed.submitSeconds,
                printed.arrivalSeconds);
}

TEST(PrintSystem, WhenTheLastLineEndStartsAPageItArrivesEmpty) {
    const Metrics metrics = DefaultPrinterMetrics();
    // The smallest study of one level of A and B whose last line end breaks the page.
    int n = 1;
    while (!Predict(ListingLines(Study(1, 1, n)), metrics).lastPageEmpty) ASSERT_LT(++n, 1000);
    const StudyStore store = Study(1, 1, n);
    const Prediction expected = Predict(ListingLines(store), metrics);
    ASSERT_EQ(expected.pages, 2);

    const Printed printed = PrintStudy(store);
    ASSERT_EQ(printed.run.status, 0) << printed.run.out;
    ASSERT_NE(printed.pdf, "") << "no PDF arrived";
    EXPECT_EQ(PageCount(printed.pdf), 2);
    const std::vector<long> ink = InkPerPage(printed.pdf);
    ASSERT_EQ(ink.size(), 2u);
    EXPECT_GT(ink[0], 100);
    EXPECT_EQ(ink[1], 0) << "the last page should be empty";
    // One subject fewer fills the first page and stops there.
    const Printed shorter = PrintStudy(Study(1, 1, n - 1));
    ASSERT_NE(shorter.pdf, "");
    EXPECT_EQ(PageCount(shorter.pdf), 1);
    std::printf("%d subjects end on an empty page 2; %d fit on one page\n", n, n - 1);
}

TEST(PrintSystem, APrinterThatCannotBeOpenedPrintsNothing) {
    // The printer's job file cannot be made in a folder that does not exist.
    TempDir dir;
    const std::vector<std::string> before = PrintedFiles();
    const Printed printed =
        PrintFile(std::string(MORVANE_EXAMPLES) + "/worked-example.dat", "TMPDIR=" + dir.File("missing"));
    EXPECT_EQ(printed.run.status, 1);
    EXPECT_NE(printed.run.out.find("morvane: 選択したプリンタは有効ではありません\n"), std::string::npos)
        << printed.run.out;
    EXPECT_TRUE(QueueIsEmpty());
    EXPECT_EQ(PrintedFiles(), before);
}

TEST(PrintSystem, TheDataWindowPrintsWhatItWroteBack) {
    StudyStore store = Study(2, 2, 3);
    testing::QueuedDialogs dialogs;
    testing::RecordedMessages messages;
    DefaultPrinterListing printer;
    const widgets::Seams seams{&dialogs, &messages, &printer};
    QWidget owner;
    DataWindow form(&owner, store, seams, '.');
    testing::Grid(&form, "StringGrid1")->Cells().SetCell(1, 1, "  98.25  ");  // typed with blanks

    const std::vector<std::string> before = PrintedFiles();
    const auto start = std::chrono::steady_clock::now();
    form.Print();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(messages.Shown().isEmpty()) << messages.Shown().join("; ").toStdString();
    EXPECT_EQ(store.CellText(1, 1, 1), "98.25");
    const std::string pdf = WaitForNewPdf(before);
    ASSERT_NE(pdf, "") << "no PDF arrived";
    EXPECT_EQ(PageCount(pdf), 1);
    const std::vector<long> ink = InkPerPage(pdf);
    ASSERT_EQ(ink.size(), 1u);
    EXPECT_GT(ink[0], 100);

    // The same study printed by the tool, with the text as written back, looks
    // the same on paper; with the blanks kept it would not be the same listing.
    const Printed byTool = PrintStudy(store);
    ASSERT_NE(byTool.pdf, "");
    EXPECT_TRUE(RenderPages(byTool.pdf) == RenderPages(pdf)) << "the two listings differ on paper";
    store.CellText(1, 1, 1) = "  98.25  ";
    const Printed untrimmed = PrintStudy(store);
    ASSERT_NE(untrimmed.pdf, "");
    EXPECT_FALSE(RenderPages(untrimmed.pdf) == RenderPages(pdf)) << "the comparison sees no difference";
    std::printf("data window: Print returned after %.2f s\n", seconds);
}

TEST(PrintSystem, AListingStoppedFromItsProgressPrintsNothing) {
    // Stopped after 500 of its 24,000 lines, on its way to page 20 or so.
    class StopAt500 : public PrintProgress {
    public:
        bool Continue(std::int64_t lines, std::int64_t, int) override { return lines < 500; }
    } stop;
    DefaultPrinterListing printer;
    const std::vector<std::string> before = PrintedFiles();
    EXPECT_FALSE(printer.Print(Study(2, 10, 12000), stop));
    EXPECT_TRUE(QueueIsEmpty());
    // The next job prints, and it is the only one that arrives.
    NoPrintProgress unwatched;
    EXPECT_TRUE(printer.Print(Study(1, 1, 1), unwatched));
    const std::string pdf = WaitForNewPdf(before);
    ASSERT_NE(pdf, "") << "the job after the stopped one did not arrive";
    EXPECT_EQ(PageCount(pdf), 1);
    EXPECT_EQ(PrintedFiles().size(), before.size() + 1);
}

}  // namespace
}  // namespace morvane

// Without the private print server every test here is skipped, and CTest is told so.
int main(int argc, char** argv) {
    std::string whyNot;
    if (!morvane::testing::PrintSystemAvailable(whyNot)) {
        std::printf("SKIPPED: no print system for these tests: %s\n", whyNot.c_str());
        return 77;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
