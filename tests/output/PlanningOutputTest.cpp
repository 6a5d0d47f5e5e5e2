// The planning table in every format and language, its JSON keyed by
// effect, and the reason of an N that cannot be planned: a mixed design whose
// between effect's interval reaches 0.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "exchange/LongCsv.h"
#include "output/AnalysisTables.h"
#include "output/AnovaFormats.h"

namespace morvane {
namespace {

using Json = nlohmann::json;

// Two groups of five over three levels of t (PlanningTest's mixed design:
// N 18 and 23 for g, 5 and 6 for t, 96 and 127 at g × t's lower limit, by R).
anova::Analysis Mixed() {
    const int scores[10][3] = {{12, 15, 19}, {10, 14, 15}, {14, 15, 21}, {9, 13, 14},  {11, 12, 18},
                               {15, 16, 17}, {17, 21, 20}, {13, 15, 14}, {18, 19, 22}, {16, 16, 19}};
    std::string csv = "s,g,t,y\n";
    for (int s = 0; s < 10; ++s)
        for (int t = 0; t < 3; ++t)
            csv += "s" + std::to_string(s + 1) + (s < 5 ? ",g1" : ",g2") + ",t" + std::to_string(t + 1) +
                   "," + std::to_string(scores[s][t]) + "\n";
    return anova::Analyse(ReadLongCsv(csv, LongCsvRoles{"s", "y", {"t"}, {"g"}}));
}

TEST(PlanningOutput, EveryFormatShowsTheNsAndTheJsonKeysThemByEffect) {
    const anova::Analysis r = Mixed();
    OutputOptions options;
    for (const OutputLanguage language : {OutputLanguage::English, OutputLanguage::Japanese}) {
        options.language = language;
        const bool ja = language == OutputLanguage::Japanese;
        for (const AnovaFormat format : {AnovaFormat::Text, AnovaFormat::Markdown, AnovaFormat::Csv,
                                         AnovaFormat::Apa, AnovaFormat::Html}) {
            const std::string out = FormatAnalysis(r, format, options);
            SCOPED_TRACE(out);
            EXPECT_NE(out.find(ja ? "計画: α = .05 で検出力 .80 と .90 に必要な総 N"
                                  : "Planning: total N for power .80 and .90 at α = .05"),
                      std::string::npos);
            if (format == AnovaFormat::Csv) continue;  // a table's notes are not CSV rows
            EXPECT_NE(out.find(ja ? "g (下限): — 区間の下限が 0 です"
                                  : "g, lower: — the interval's lower limit is 0"),
                      std::string::npos);
        }
    }
    // The cells for the terminal, the planning after the robustness.
    const std::vector<TableText> tables = TableTexts(r, TableReader::Terminal, {});
    ASSERT_EQ(tables.back().id, "Planning");
    const TableText& t = tables.back();
    EXPECT_EQ(t.columnIds,
              (std::vector<std::string>{"effect", "kind", "measures", "groups", "rho", "epsilon", "f",
                                        "fOther", "n80", "n90", "fLower", "n80Lower", "n90Lower"}));
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[0][0], "g");
    EXPECT_EQ(t.rows[0][1], "between");
    EXPECT_EQ(t.rows[0][8], "18");
    EXPECT_EQ(t.rows[0][9], "23");
    EXPECT_EQ(t.rows[0][12], "—");

    const Json j = Json::parse(FormatAnalysis(r, AnovaFormat::Json, {}));
    const Json& p = j.at("planning");
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p.at("t").at("kind"), "within");
    EXPECT_EQ(p.at("t").at("n80"), 5);
    EXPECT_EQ(p.at("t").at("n80Lower"), 8);
    EXPECT_NEAR(p.at("t").at("fOther").get<double>(), 2.0433519903, 1e-9);
    EXPECT_EQ(p.at("g:t").at("kind"), "interaction");
    EXPECT_EQ(p.at("g:t").at("n90Lower"), 127);
    EXPECT_TRUE(p.at("g").at("epsilon").is_null());
    EXPECT_TRUE(p.at("g").at("n80Lower").is_null());
    EXPECT_EQ(p.at("g").at("lowerReason"), "the interval's lower limit is 0: no N detects an effect of 0");
    EXPECT_TRUE(p.at("g").at("reason").is_null());
}

}  // namespace
}  // namespace morvane
