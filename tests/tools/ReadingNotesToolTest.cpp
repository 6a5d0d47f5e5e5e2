// morvane anova on long CSVs whose reading must be told or cleaned: rows
// without a score said at the top of every format, names of any bytes
// written as every reader accepts them, Friedman's statistic beside its
// uncorrected form.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "tools/RunTool.h"

namespace morvane {
namespace {

using testing::ReadBytes;
using testing::RunTool;
using testing::TempDir;
using testing::WriteBytes;
using Json = nlohmann::json;

const std::vector<std::string> kFormats = {"text", "markdown", "csv", "json", "apa", "html"};

// Trials of two conditions, ten a subject and condition: every seventh trial
// without a score (NA or empty), s5 none in "incongruent", so it is removed.
std::string StroopLike() {
    std::string csv = "subject,condition,rt\n";
    int row = 0;
    for (int s = 1; s <= 5; ++s)
        for (const char* condition : {"congruent", "incongruent"})
            for (int t = 0; t < 10; ++t, ++row) {
                const bool none = row % 7 == 3 || (s == 5 && condition[0] == 'i');
                csv += "s" + std::to_string(s) + "," + condition + "," +
                       (none ? (row % 2 ? "NA" : "")
                             : std::to_string(400 + 13 * s + 7 * t + (condition[0] == 'i') * 60)) +
                       "\n";
            }
    return csv;
}

// The text before the first table: where the notes of reading are.
std::string Top(const std::string& out) {
    return out.substr(0, out.find("Analysis of variance\n"));
}

TEST(ReadingNotes, RowsWithoutAScoreAreSaidInEveryFormat) {
    TempDir dir;
    WriteBytes(dir.File("stroop.csv"), StroopLike());
    const std::string roles = " --id subject --dv rt --within condition";
    // 100 rows: rows 3, 10, 17, ..., 94 have none (13), and s5's ten "incongruent" ones. The analysed
    // cells of s1-s4 keep 9, 8, 9, 8, 9, 8, 9, 9 rows: 9 the most common, three below it.
    const std::string english =
        "23 rows without a score (empty or NA) were ignored; 3 cells were left with fewer than 9 rows, the "
        "most common count of a cell's rows.";
    const std::string japanese =
        "得点のない行 (空または NA) 23 行を無視しました。行の数が、セルの行の数で最も多い 9 "
        "行より少ないセルは 3 個です。";
    for (const std::string& format : kFormats)
        for (const std::string lang : {"en", "ja"}) {
            const auto r = RunTool("anova " + dir.File("stroop.csv") + roles + " --format " + format +
                                   " --lang " + lang);
            ASSERT_EQ(r.status, 0) << format << r.err;
            if (format == "json") {
                const Json j = Json::parse(r.out);
                EXPECT_EQ(j["rowsWithoutScore"], 23);
                EXPECT_EQ(j["commonRowsPerCell"], 9);
                EXPECT_EQ(j["cellsWithFewerRows"], 3);
                EXPECT_EQ(j["subjectsRemoved"], Json::array({"s5"}));
                continue;
            }
            const std::string& note = lang == "en" ? english : japanese;
            const bool top = format != "apa" && format != "html";  // the paper's outputs: in the note
            EXPECT_NE((top ? Top(r.out) : r.out).find(note), std::string::npos) << format << lang << "\n"
                                                                                << r.out;
        }
    // A file whose every row has a score says nothing of it, and JSON has no such key.
    WriteBytes(dir.File("full.csv"),
               "subject,condition,rt\ns1,a,1\ns1,b,2\ns2,a,3\ns2,b,5\ns3,a,4\ns3,b,4\n");
    const std::string full = "anova " + dir.File("full.csv") + roles;
    EXPECT_EQ(RunTool(full).out.find("(empty or NA)"), std::string::npos);
    const Json j = Json::parse(RunTool(full + " --format json").out);
    EXPECT_FALSE(j.contains("rowsWithoutScore"));
    EXPECT_FALSE(j.contains("cellsWithFewerRows"));
}

// A name's NUL, ESC, other control characters and bytes that are not UTF-8
// go out as U+FFFD in every format and in a message: no output holds a byte
// a terminal takes as a command, or that cuts a C string short.
TEST(ReadingNotes, NamesOfAnyBytesGoOutAsReadersAcceptThem) {
    TempDir dir;
    std::string csv = std::string("id,c\x1b[2Jond,score\n");
    const std::string levels[] = {std::string("a\0b", 3), "c\x1b[31md", "e\x01\x7f", "f\x07"};
    const std::string ids[] = {"s\x1b]0;x\x07", "t", "u\x0e"};
    for (int s = 0; s < 3; ++s)
        for (int l = 0; l < 4; ++l)
            csv += ids[s] + "," + levels[l] + "," + std::to_string(s * 3 + l * l + (s == 1 && l == 2)) + "\n";
    WriteBytes(dir.File("names.csv"), csv);
    const std::string roles = std::string(" --id id --dv score --within ") + "'c\x1b[2Jond'";
    const std::string replacement = "\xEF\xBF\xBD";
    for (const std::string& format : kFormats) {
        const auto r = RunTool("anova " + dir.File("names.csv") + roles + " --format " + format);
        ASSERT_EQ(r.status, 0) << format << r.err;
        for (const char c : r.out)
            EXPECT_TRUE((static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) || c == '\n' || c == '\r')
                << format << ": byte " << static_cast<int>(static_cast<unsigned char>(c));
        EXPECT_NE(r.out.find("a" + replacement + "b"), std::string::npos) << format;
        EXPECT_NE(r.out.find("c" + replacement + "[31md"), std::string::npos) << format;
        EXPECT_NE(r.out.find("c" + replacement + "[2Jond"), std::string::npos) << format;
        if (format == "json") {
            EXPECT_TRUE(Json::accept(r.out)) << r.out;
        }
    }
    // A message naming a level: the same rule on the standard error.
    WriteBytes(dir.File("one.csv"), "id,cond,score\ns1,x\x1b[1m,1\ns2,x\x1b[1m,2\n");
    const auto refused = RunTool("anova " + dir.File("one.csv") + " --id id --dv score --within cond");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err.find('\x1b'), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("x" + replacement + "[1m"), std::string::npos) << refused.err;
}

// Friedman's chi-square is tie-corrected; the uncorrected one is beside it,
// the corrected times the tie correction.
TEST(ReadingNotes, FriedmanGivesTheUncorrectedStatisticBeside) {
    TempDir dir;
    // Ties within s1 and s3: rank sums 7.5, 6.5, 10 against 8 each.
    // R: friedman.test(matrix(c(1,1,2, 3,1,2, 2,2,2, 1,2,3), 4, byrow = TRUE))
    //   chi-squared = 2.36363636363636 (78 / 33), p-value = 0.30672055757656;
    // without the ties' term 12 * 6.5 / (4 * 3 * 4) = 1.625: pchisq(78/48, 2, lower.tail = FALSE) =
    // 0.4437473100810797.
    WriteBytes(dir.File("f.csv"),
               "id,c,y\ns1,a,1\ns1,b,1\ns1,c,2\ns2,a,3\ns2,b,1\ns2,c,2\ns3,a,2\ns3,b,2\ns3,c,2\n"
               "s4,a,1\ns4,b,2\ns4,c,3\n");
    const auto r = RunTool("anova " + dir.File("f.csv") + " --id id --dv y --within c --format json");
    ASSERT_EQ(r.status, 0) << r.err;
    const Json f = Json::parse(r.out)["rankBased"]["friedman"]["c"];
    EXPECT_NEAR(f["chiSquare"].get<double>(), 2.36363636363636, 1e-12);
    EXPECT_NEAR(f["p"].get<double>(), 0.30672055757656, 1e-12);
    EXPECT_NEAR(f["chiSquareUncorrected"].get<double>(), 1.625, 1e-12);
    EXPECT_NEAR(f["chiSquareUncorrected"].get<double>(),
                f["chiSquare"].get<double>() * f["tieCorrection"].get<double>(), 1e-12);
    EXPECT_NEAR(f["pUncorrected"].get<double>(), 0.4437473100810797, 1e-12);
    // Every subject's values all equal: no test, corrected or not.
    WriteBytes(dir.File("tied.csv"), "id,c,y\ns1,a,1\ns1,b,1\ns2,a,2\ns2,b,2\ns3,a,4\ns3,b,4\n");
    const auto tied = RunTool("anova " + dir.File("tied.csv") + " --id id --dv y --within c --format json");
    const Json t = Json::parse(tied.out)["rankBased"]["friedman"]["c"];
    EXPECT_TRUE(t["chiSquare"].is_null() && t["chiSquareUncorrected"].is_null() && t["pUncorrected"].is_null());
    // The table names the convention beside the two statistics.
    const auto text = RunTool("anova " + dir.File("f.csv") + " --id id --dv y --within c");
    EXPECT_NE(text.out.find("Chi-square (no tie correction)"), std::string::npos);
    EXPECT_NE(text.out.find("Chi-square is tie-corrected"), std::string::npos);
}

}  // namespace
}  // namespace morvane
