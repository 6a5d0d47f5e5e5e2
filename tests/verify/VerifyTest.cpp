// The check against published analyses: figures compared to the digits their
// source printed, a set of a temporary folder with a right and a wrong
// published value, the refusals of malformed expected files, and the tables.

#include <gtest/gtest.h>

#include <string>

#include "output/OutputOptions.h"
#include "support/TempDir.h"
#include "verify/Verify.h"

namespace morvane::verify {
namespace {

using testing::TempDir;
using testing::WriteBytes;

// Two treatments of three replicates: 1 2 3 and 4 5 6. One-way: between SS
// 13.5 on 1 df, within SS 4 on 4 df, F 13.5, R² 13.5 / 17.5, residual SD 1.
const std::string kData = "replicate,treatment,y\n1,A,1\n2,A,2\n3,A,3\n1,B,4\n2,B,5\n3,B,6\n";

std::string Expected(const std::string& figures) {
    return "# a small set\ntitle: Two <treatments> & three replicates\ndata: small.csv\nid: replicate\n"
           "dv: y\nwithin: treatment\nbetween:\ncitation: worked by hand\ncall: none\n"
           "figure,value,digits,citation\n" +
           figures;
}

struct Folder {
    TempDir dir;
    explicit Folder(const std::string& figures, const std::string& index = "# sets\nsmall\n") {
        WriteBytes(dir.File("index"), index);
        WriteBytes(dir.File("small.csv"), kData);
        WriteBytes(dir.File("small.expected"), Expected(figures));
    }
};

TEST(Verify, FiguresAgreeToTheDigitsTheirSourcePrinted) {
    // Exactly the printed value, whatever the digits.
    EXPECT_TRUE(WithinPrinted(1.68L, 1.68L, 15));
    EXPECT_EQ(AgreeingDigits(1.68L, 1.68L, 15), 15);
    // A value printed to 5 digits, computed to more: within, and all 5 agree.
    EXPECT_TRUE(WithinPrinted(11.143L, 11.142857142857142857L, 5));
    EXPECT_EQ(AgreeingDigits(11.143L, 11.142857142857142857L, 5), 5);
    // The same computed value against 6 printed digits of a wrong rounding.
    EXPECT_FALSE(WithinPrinted(11.1430L, 11.142857142857142857L, 6));
    EXPECT_EQ(AgreeingDigits(11.1430L, 11.142857142857142857L, 6), 5);
    // Half a unit of the last printed digit is within; more is not.
    EXPECT_TRUE(WithinPrinted(0.003805L, 0.0038054L, 4));
    EXPECT_FALSE(WithinPrinted(0.003805L, 0.0038056L, 4));
    EXPECT_TRUE(WithinPrinted(-2.5L, -2.54L, 2));
    EXPECT_FALSE(WithinPrinted(-2.5L, -2.56L, 2));
    // A power of ten printed: its digits count from the power itself.
    EXPECT_TRUE(WithinPrinted(1.0e-2L, 1.00000000000000049e-2L, 15));
    EXPECT_FALSE(WithinPrinted(1.0e-2L, 1.0000000000001e-2L, 15));
    EXPECT_EQ(AgreeingDigits(1.0e-2L, 1.0000000000001e-2L, 15), 13);
    // Nothing in common.
    EXPECT_EQ(AgreeingDigits(2.0L, 7.0L, 3), 0);
    // A published zero: within half a unit of its printed decimals.
    EXPECT_TRUE(WithinPrinted(0.0L, 0.0004L, 3));
    EXPECT_FALSE(WithinPrinted(0.0L, 0.02L, 3));
}

TEST(Verify, AWrongPublishedValueAndAnUnknownFigureDisagree) {
    const Folder folder(
        "betweenSS(treatment),13.5,3,hand\nwithinSS(treatment),4,1,hand\nbetweenDF(treatment),1,1,hand\n"
        "withinDF(treatment),5,1,deliberately wrong\nonewayF(treatment),13.5000000000000,15,hand\n"
        "R2(treatment),0.771428571428571,15,hand\nresidualSD(treatment),1,1,hand\n"
        "SS(treatment),13.5,3,paired\nerrorDF(treatment),2,1,paired\nSS(nothing),1,1,no such effect\n");
    const Verification verification = Verify(folder.dir.Path().string());
    ASSERT_EQ(verification.sets.size(), 1u);
    const SetCheck& set = verification.sets[0];
    // The ten of the paired reading, then the seven one-way ones read between subjects.
    ASSERT_EQ(set.figures.size(), 17u);
    EXPECT_EQ(verification.Figures(), 17u);
    for (std::size_t i = 0; i < set.figures.size(); ++i) {
        const FigureCheck& figure = set.figures[i];
        const bool wrong = i == 3 || i == 9 || i == 13;
        EXPECT_EQ(figure.reading, i < 10 ? "" : "between subjects");
        if (i >= 10) {
            // The same one-way figure from either reading, to the bit.
            EXPECT_EQ(figure.expected.name, set.figures[i - 10].expected.name);
            ASSERT_TRUE(figure.computed && set.figures[i - 10].computed) << figure.expected.name;
            EXPECT_EQ(*figure.computed, *set.figures[i - 10].computed) << figure.expected.name;
        }
        EXPECT_EQ(figure.within, !wrong) << figure.expected.name;
        if (!wrong) {
            EXPECT_EQ(figure.agreeingDigits, figure.expected.digits) << figure.expected.name;
        }
    }
    EXPECT_EQ(*set.figures[3].computed, 4.0L);
    EXPECT_EQ(set.figures[3].agreeingDigits, 0);
    EXPECT_FALSE(set.figures[9].computed.has_value());
    EXPECT_FALSE(verification.AllWithin());
    EXPECT_EQ(set.dataSha256, Sha256Hex(kData));

    const std::string text = VerificationText(verification, {"9.9", "a compiler"});
    EXPECT_NE(text.find("3 disagree with their published value"), std::string::npos) << text;
    EXPECT_NE(text.find("\nsmall (between subjects)  withinDF(treatment)"), std::string::npos) << text;
    // The set's own rows: its name padded to the widest, "small (between subjects)".
    const std::size_t row = text.find("\nsmall" + std::string(19 + 2, ' ') + "withinDF(treatment)");
    ASSERT_NE(row, std::string::npos) << text;
    const std::string line = text.substr(row + 1, text.find('\n', row + 1) - row - 1);
    EXPECT_NE(line.find("  5  "), std::string::npos) << line;
    EXPECT_NE(line.find("  4  "), std::string::npos) << line;
    EXPECT_NE(line.find(" 0 of 1 "), std::string::npos) << line;
    EXPECT_TRUE(line.ends_with("  no  deliberately wrong")) << line;
}

// The between reading's CSV: the id column renumbered by record, quotes and
// other separators kept, blank records left out; a set without a one-way
// figure is not read again.
TEST(Verify, EveryRowItsOwnSubject) {
    EXPECT_EQ(EveryRowItsOwnSubject("t;replicate;y\r\n\"a;1\";7;1,5\r\n;;\r\nb;7;2\r\n", "replicate"),
              "t;replicate;y\n\"a;1\";1;\"1,5\"\nb;2;2\n");
    EXPECT_EQ(EveryRowItsOwnSubject(kData, "replicate"),
              "replicate,treatment,y\n1,A,1\n2,A,2\n3,A,3\n4,B,4\n5,B,5\n6,B,6\n");
    const Folder paired("SS(treatment),13.5,3,paired\n");
    const Verification verification = Verify(paired.dir.Path().string());
    ASSERT_EQ(verification.Figures(), 1u);
    EXPECT_TRUE(verification.AllWithin());
}

TEST(Verify, TheHtmlPageIsWholeAndNamesTheBuildAndTheFiles) {
    const Folder folder("betweenSS(treatment),13.5,3,hand\nwithinDF(treatment),5,1,wrong\n");
    const Verification verification = Verify(folder.dir.Path().string());
    const std::string html = VerificationHtml(verification, {"9.9", "GCC 99 <test>"});
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">"));
    EXPECT_TRUE(html.ends_with("</body>\n</html>\n"));
    // Every element opened is closed, in order.
    for (const std::string tag : {"html", "head", "body", "table", "tr", "td", "th", "title", "style", "code"}) {
        std::size_t opened = 0, closed = 0, depth = 0;
        for (std::size_t at = 0; (at = html.find('<', at)) != std::string::npos; ++at) {
            if (html.compare(at + 1, tag.size(), tag) == 0 &&
                (html[at + 1 + tag.size()] == '>' || html[at + 1 + tag.size()] == ' '))
                ++opened, ++depth;
            if (html.compare(at + 1, tag.size() + 1, "/" + tag) == 0 && html[at + 2 + tag.size()] == '>') {
                ASSERT_GT(depth, 0u) << tag;
                ++closed, --depth;
            }
        }
        EXPECT_EQ(opened, closed) << tag;
        EXPECT_GT(opened, 0u) << tag;
    }
    EXPECT_NE(html.find("PMorvane 9.9"), std::string::npos);
    EXPECT_NE(html.find("GCC 99 &lt;test&gt;"), std::string::npos);
    EXPECT_NE(html.find("Two &lt;treatments&gt; &amp; three replicates"), std::string::npos);
    EXPECT_NE(html.find("<code>" + Sha256Hex(kData) + "</code>"), std::string::npos);
    EXPECT_NE(html.find("<td class=\"no\">no</td>"), std::string::npos);
    EXPECT_NE(html.find("<td class=\"yes\">yes</td>"), std::string::npos);
}

TEST(Verify, MalformedExpectedFilesAreRefusedWithTheirPlace) {
    const std::pair<std::string, std::string> cases[] = {
        {"SS(treatment),13.5,hand\n", "small.expected line 11: a figure needs four fields"},
        {"SS(treatment),13.5,many,hand\n", "small.expected line 11: digits must be a whole number"},
        {"SS(treatment),13.5,19,hand\n", "digits must be a whole number from 1 to 18"},
        {"SS treatment,13.5,3,hand\n", "a figure's name is STATISTIC(KEY)"},
        {"SS(treatment),13.5x,3,hand\n", "SS(treatment) has no number: 13.5x"},
        {"", "small.expected: no figures"},
    };
    for (const auto& [figures, message] : cases) {
        const Folder folder(figures);
        try {
            Verify(folder.dir.Path().string());
            ADD_FAILURE() << "accepted: " << figures;
        } catch (const VerifyFormatError& error) {
            EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
        }
    }
    const Folder unknownKey("SS(treatment),13.5,3,hand\n");
    WriteBytes(unknownKey.dir.File("small.expected"), "colour: red\n");
    EXPECT_THROW(LoadSets(unknownKey.dir.Path().string()), VerifyFormatError);
    const Folder emptyIndex("SS(treatment),13.5,3,hand\n", "# nothing\n");
    EXPECT_THROW(LoadSets(emptyIndex.dir.Path().string()), VerifyFormatError);
}

}  // namespace
}  // namespace morvane::verify
