// morvane verify end to end: the shipped sets all agree, the HTML page, a
// deliberately wrong published value in a folder of its own, and the refusals.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/TempDir.h"
#include "tools/RunTool.h"

namespace morvane {
namespace {

using testing::ReadBytes;
using testing::RunTool;
using testing::TempDir;
using testing::WriteBytes;

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

// The rows of the text table: the lines between the rule and the sources.
std::vector<std::string> Rows(const std::string& text) {
    std::vector<std::string> rows;
    const std::size_t start = text.find("\n---"), end = text.find("\n\nSources\n");
    if (start == std::string::npos || end == std::string::npos) return rows;
    for (std::size_t at = text.find('\n', start + 1) + 1; at < end;) {
        const std::size_t stop = text.find('\n', at);
        rows.push_back(text.substr(at, stop - at));
        at = stop + 1;
    }
    return rows;
}

TEST(VerifyTool, EveryShippedFigureAgreesInTextAndHtml) {
    const auto text = RunTool("verify");
    ASSERT_EQ(text.status, 0) << text.err << text.out;
    EXPECT_EQ(text.err, "");
    const std::vector<std::string> rows = Rows(text.out);
    ASSERT_GT(rows.size(), 300u) << text.out;
    std::size_t nist = 0, between = 0;
    for (const std::string& row : rows) {
        between += row.find(" (between subjects)  ") != std::string::npos ? 1u : 0u;
        // Every row within its printed precision, and the certified ones to every digit.
        EXPECT_NE(row.find("  yes  "), std::string::npos) << row;
        if (row.find("certified") != std::string::npos) {
            ++nist;
            EXPECT_TRUE(row.find(" 15 of 15 ") != std::string::npos || row.find("DF(") != std::string::npos) << row;
        }
    }
    // Each NIST set read twice: replicates paired, and every row its own subject.
    EXPECT_EQ(nist, 2u * 11u * 9u);
    EXPECT_EQ(between, 11u * 9u);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                            [](const std::string& row) {
                                return row.starts_with("SmLs09 (between subjects) ") &&
                                       row.find(" residualSD(treatment) ") != std::string::npos;
                            }),
              1);
    for (const char* set : {"SiRstv", "AtmWtAg", "SmLs09", "obk", "md_12.1", "md_15.1", "sk2011.1", "friedman-ties",
                            "mixed-missing"})
        EXPECT_NE(text.out.find(std::string("\n") + set + " "), std::string::npos) << set;
    EXPECT_NE(text.out.find("every figure agrees"), std::string::npos);

    TempDir dir;
    const auto html = RunTool("verify --format html " + dir.File("check.html"));
    ASSERT_EQ(html.status, 0) << html.err;
    const std::string page = ReadBytes(dir.File("check.html"));
    EXPECT_TRUE(page.starts_with("<!DOCTYPE html>")) << page.substr(0, 100);
    EXPECT_TRUE(page.ends_with("</html>\n"));
    EXPECT_EQ(Count(page, "<table>"), 2u);
    EXPECT_EQ(Count(page, "<tr>"), Count(page, "</tr>"));
    EXPECT_EQ(Count(page, "<td class=\"yes\">yes</td>"), rows.size());
    EXPECT_EQ(Count(page, "<td class=\"no\">"), 0u);
    // Each file's SHA-256: 17 sets, their CSV and expected file.
    EXPECT_EQ(Count(page, "<td><code>"), 2u * 17u);
    EXPECT_NE(page.find("Compiler: "), std::string::npos);
}

TEST(VerifyTool, AWrongPublishedValueFailsAndBadArgumentsAreRefused) {
    TempDir dir;
    WriteBytes(dir.File("index"), "pair\n");
    WriteBytes(dir.File("pair.csv"), "s,t,y\n1,a,1\n2,a,2\n3,a,3\n1,b,4\n2,b,5\n3,b,6\n");
    WriteBytes(dir.File("pair.expected"),
               "data: pair.csv\nid: s\ndv: y\nwithin: t\nfigure,value,digits,citation\n"
               "betweenSS(t),13.5,3,by hand\nwithinSS(t),4.01,3,deliberately wrong\n");
    const auto wrong = RunTool("verify", "MORVANE_VERIFY_DATA=" + dir.Path().string());
    EXPECT_EQ(wrong.status, 1) << wrong.err;
    EXPECT_NE(wrong.out.find("1 data set, 4 figures: 2 disagree"), std::string::npos) << wrong.out;
    const std::vector<std::string> rows = Rows(wrong.out);
    ASSERT_EQ(rows.size(), 4u) << wrong.out;
    for (std::size_t i : {0u, 2u}) EXPECT_NE(rows[i].find("  yes  by hand"), std::string::npos) << rows[i];
    for (std::size_t i : {1u, 3u})
        EXPECT_NE(rows[i].find("  no  deliberately wrong"), std::string::npos) << rows[i];
    EXPECT_TRUE(rows[2].starts_with("pair (between subjects)  betweenSS(t)")) << rows[2];

    WriteBytes(dir.File("pair.expected"), "data: pair.csv\nfigure,value,digits,citation\nSS(t),1,1,x\n");
    const auto malformed = RunTool("verify", "MORVANE_VERIFY_DATA=" + dir.Path().string());
    EXPECT_EQ(malformed.status, 1);
    EXPECT_NE(malformed.err.find("data, id, dv and within are needed"), std::string::npos) << malformed.err;
    const auto missing = RunTool("verify", "MORVANE_VERIFY_DATA=" + dir.File("none"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("morvane: "), std::string::npos);

    EXPECT_EQ(RunTool("verify --format pdf").status, 2);
    EXPECT_EQ(RunTool("verify a b").status, 2);
    const auto help = RunTool("verify --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("usage: morvane verify [--format text|html] [OUTFILE|-]\n")) << help.out;
}

}  // namespace
}  // namespace morvane
