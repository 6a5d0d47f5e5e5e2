// The printer text device's line, page and wrapping rules on a fake surface
// (10 pixels per byte, texts 30 high so text lines are 32, the font 28; pages
// 100 x 200 unless a case says otherwise).

#include <gtest/gtest.h>

#include <functional>

#include "FakeSurface.h"
#include "listing/PrinterTextDevice.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"

namespace morvane {
namespace {

using testing::FakePrintTarget;
using Log = std::vector<std::string>;

const std::string A = Cp932FromUtf8("あ"), I = Cp932FromUtf8("い");

// Opens a job, runs `write`, closes the job and returns what was drawn.
Log Print(const std::function<void(PrinterTextDevice&)>& write, int pageWidth = 100, int pageHeight = 200) {
    FakePrintTarget printer;
    printer.pageWidth = pageWidth;
    printer.pageHeight = pageHeight;
    PrinterTextDevice device(printer);
    device.Open();
    write(device);
    device.Close();
    return printer.log;
}

void Lines(PrinterTextDevice& device, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (!line.empty()) device.Write(line);
        device.EndLine();
    }
}

TEST(PrinterTextDevice, PagesBreakAfterALineEnd) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        Log expected;
    };
    const Case cases[] = {
        // 160 lies below 200 - 2 x 32 after the fifth line; the sixth starts page 2.
        {"text lines",
         {"a", "b", "c", "d", "e", "f"},
         {"draw 0,0 a", "draw 0,32 b", "draw 0,64 c", "draw 0,96 d", "draw 0,128 e", "page", "draw 0,0 f",
          "end"}},
        // When the last line end starts a new page, the job ends with it empty.
        {"empty last page",
         {"a", "b", "c", "d", "e"},
         {"draw 0,0 a", "draw 0,32 b", "draw 0,64 c", "draw 0,96 d", "draw 0,128 e", "page", "end"}},
        // Lines without text advance by the font's 28 and break only below the page height.
        {"blank lines", {"", "", "", "", "", "", "", "", "x"}, {"page", "draw 0,0 x", "end"}},
        {"text after blank lines",
         {"", "", "", "", "", "", "t", "u"},
         {"draw 0,168 t", "page", "draw 0,0 u", "end"}},
        // The tallest text of a line sets its height: 40 + 2, and the break below 200 - 84.
        {"tall texts", {"H", "aH", "H"}, {"draw 0,0 H", "draw 0,42 aH", "draw 0,84 H", "page", "end"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Print([&](PrinterTextDevice& d) { Lines(d, c.lines); }), c.expected) << c.name;

    // The tallest of several texts on one line, not the last one.
    EXPECT_EQ(Print([](PrinterTextDevice& d) {
                  d.Write("H");
                  d.Write("a");
                  d.EndLine();
                  d.Write("b");
              }),
              (Log{"draw 0,0 H", "draw 10,0 a", "draw 0,42 b", "end"}));
}

TEST(PrinterTextDevice, TextsThatDoNotFitGoOnAtTheLeftOfTheNextLine) {
    // A long text is cut before its first character that does not fit, and the
    // following texts go on where its rest ended.
    EXPECT_EQ(Print([](PrinterTextDevice& d) {
                  d.Write("0123456789ABCDE");
                  d.Write("xyz");
                  d.Write(A + I);
                  d.EndLine();
              }),
              (Log{"draw 0,0 0123456789", "draw 0,32 ABCDE", "draw 50,32 xyz", "draw 80,32 " + A,
                   "draw 0,64 " + I, "end"}));
    // A double-byte character is never split: 9 bytes fit, the lead byte after them would.
    EXPECT_EQ(Print([](PrinterTextDevice& d) { d.Write("123456789" + A + "b"); }),
              (Log{"draw 0,0 123456789", "draw 0,32 " + A + "b", "end"}));
    // A text that does not fit at all where the line stands moves whole to the next line.
    EXPECT_EQ(Print([](PrinterTextDevice& d) {
                  d.Write("123456789");
                  d.Write(A);
              }),
              (Log{"draw 0,0 123456789", "draw 0,32 " + A, "end"}));
    // The break inside a text follows the page rule.
    EXPECT_EQ(Print([](PrinterTextDevice& d) {
                  Lines(d, {"a", "b", "c", "d"});
                  d.Write("0123456789ABC");
              }),
              (Log{"draw 0,0 a", "draw 0,32 b", "draw 0,64 c", "draw 0,96 d", "draw 0,128 0123456789", "page",
                   "draw 0,0 ABC", "end"}));
    // A character wider than the whole line is drawn by itself at the left edge,
    // and the text moves on.
    EXPECT_EQ(Print(
                  [](PrinterTextDevice& d) {
                      d.Write(A + I);
                      d.Write("z");
                  },
                  15),
              (Log{"draw 0,0 " + A, "draw 0,32 " + I, "draw 0,64 z", "end"}));
}

TEST(PrinterTextDevice, ALineFeedInATextBreaksTheLineAndACarriageReturnDoesNot) {
    EXPECT_EQ(Print([](PrinterTextDevice& d) { d.Write("ab\rcd\nef\r\n"); }),
              (Log{"draw 0,0 ab", "draw 20,0 cd", "draw 0,32 ef", "end"}));
}

TEST(PrinterTextDevice, OneJobAtATime) {
    FakePrintTarget printer;
    PrinterTextDevice device(printer);
    try {
        device.Write("a");
        FAIL();
    } catch (const InOutError& error) {
        EXPECT_EQ(error.code(), 103);
    }
    device.Open();
    try {
        device.Open();
        FAIL();
    } catch (const PrinterError& error) {
        EXPECT_EQ(error.message(), messages::PrintingInProgress());
    }
    // The first job goes on untouched.
    device.Write("a");
    device.Close();
    EXPECT_EQ(printer.jobs, 1);
    EXPECT_EQ(printer.log, (Log{"draw 0,0 a", "end"}));
    EXPECT_FALSE(device.IsOpen());
    EXPECT_THROW(device.Close(), InOutError);

    // A job that cannot start leaves the device closed; the next one starts on page 1.
    printer.failure = messages::NoDefaultPrinter();
    EXPECT_THROW(device.Open(), PrinterError);
    EXPECT_FALSE(device.IsOpen());
    printer.failure.clear();
    device.Open();
    device.Write("b");
    printer.log.clear();
    device.Abort();
    EXPECT_EQ(printer.log, (Log{"abort"}));
    EXPECT_FALSE(device.IsOpen());

    // A device that goes away with its job open aborts it.
    {
        PrinterTextDevice other(printer);
        other.Open();
    }
    EXPECT_EQ(printer.log.back(), "abort");
}

}  // namespace
}  // namespace morvane
