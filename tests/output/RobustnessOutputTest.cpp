// The robustness table in every format and language, and its JSON: a factor
// whose corrections disagree with its uncorrected test, a mixed design's
// between row, and an alpha other than .05.

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

// Six subjects, t (three levels) whose third level's differences are far
// wider than the second's: p = .0253 uncorrected, .0652 with
// Greenhouse-Geisser (R: afex::aov_ez); the first three subjects in g1.
anova::Analysis Violated(bool groups, Extended alpha = 0.05L) {
    const int scores[6][3] = {{20, 23, 26}, {29, 30, 42}, {11, 12, 19}, {24, 25, 40}, {23, 24, 18}, {28, 31, 36}};
    std::string csv = "s,g,t,y\n";
    for (int s = 0; s < 6; ++s)
        for (int t = 0; t < 3; ++t)
            csv += "s" + std::to_string(s + 1) + (s < 3 ? ",g1" : ",g2") + ",t" + std::to_string(t + 1) + "," +
                   std::to_string(scores[s][t]) + "\n";
    anova::Options options;
    options.alpha = alpha;
    const LongCsvRoles roles{"s", "y", {"t"}, groups ? std::vector<std::string>{"g"} : std::vector<std::string>{}};
    return anova::Analyse(ReadLongCsv(csv, roles), options);
}

TEST(RobustnessOutput, EveryFormatShowsTheDecisionsAndSaysWhereTheyDisagree) {
    const anova::Analysis r = Violated(false);
    const std::string english =
        "t: significant uncorrected, by the multivariate test and Friedman's test, not with Greenhouse–Geisser, "
        "Huynh–Feldt or the lower bound.";
    const std::string japanese =
        "t: 補正なし、多変量検定と Friedman 検定では有意、Greenhouse–Geisser、Huynh–Feldt と下限では有意でない。";
    OutputOptions options;
    for (const OutputLanguage language : {OutputLanguage::English, OutputLanguage::Japanese}) {
        options.language = language;
        const bool ja = language == OutputLanguage::Japanese;
        for (const AnovaFormat format :
             {AnovaFormat::Text, AnovaFormat::Markdown, AnovaFormat::Csv, AnovaFormat::Apa, AnovaFormat::Html}) {
            const std::string out = FormatAnalysis(r, format, options);
            SCOPED_TRACE(out);
            EXPECT_NE(out.find(ja ? "α = .05 での判定の頑健性" : "Robustness of the decisions at α = .05"),
                      std::string::npos);
            EXPECT_NE(out.find(ja ? "有意でない" : "not significant"), std::string::npos);
            if (format == AnovaFormat::Csv) continue;  // a table's notes are not CSV rows
            EXPECT_NE(out.find(ja ? japanese : english), std::string::npos);
            EXPECT_NE(out.find(ja ? "順位検定: 被験者内要因一つの Friedman 検定です。"
                                  : "Rank-based: Friedman's test of the one within factor."),
                      std::string::npos);
            EXPECT_EQ(out.find(ja ? "どの効果もすべての検定で" : "Every test reaches"), std::string::npos);
        }
    }
    // The table's cells for the terminal in English and the window in Japanese, column by column.
    for (const TableReader reader : {TableReader::Terminal, TableReader::Window}) {
        OutputOptions shown;
        if (reader == TableReader::Window) shown.language = OutputLanguage::Japanese;
        const std::vector<TableText> tables = TableTexts(r, reader, shown);
        ASSERT_GE(tables.size(), 2u);
        ASSERT_EQ(tables[tables.size() - 2].id, "Robustness");  // before the planning
        const TableText& t = tables[tables.size() - 2];
        EXPECT_EQ(t.columnIds, (std::vector<std::string>{"effect", "uncorrected", "greenhouseGeisser", "huynhFeldt",
                                                         "lowerBound", "multivariate", "rankBased", "agree"}));
        ASSERT_EQ(t.rows.size(), 1u);
        if (reader == TableReader::Terminal)
            EXPECT_EQ(t.rows[0], (std::vector<std::string>{"t", "significant", "not significant", "not significant",
                                                           "not significant", "significant", "significant", "no"}));
        else
            EXPECT_EQ(t.rows[0], (std::vector<std::string>{"t", "有意", "有意でない", "有意でない", "有意でない",
                                                           "有意", "有意", "不一致"}));
    }
}

TEST(RobustnessOutput, TheJsonKeysTheDecisionsByEffectAndStatesAlpha) {
    const Json j = Json::parse(FormatAnalysis(Violated(false), AnovaFormat::Json, {}));
    EXPECT_DOUBLE_EQ(j["conventions"]["alpha"].get<double>(), 0.05);
    const Json& t = j["robustness"]["t"];
    std::vector<std::string> keys;
    for (const auto& [key, value] : t.items()) keys.push_back(key);
    EXPECT_EQ(keys.size(), 9u);
    EXPECT_EQ(t["uncorrected"], "significant");
    EXPECT_EQ(t["greenhouseGeisser"], "not significant");
    EXPECT_EQ(t["huynhFeldt"], "not significant");
    EXPECT_EQ(t["lowerBound"], "not significant");
    EXPECT_EQ(t["multivariate"], "significant");
    EXPECT_EQ(t["rankBased"], "significant");
    EXPECT_EQ(t["rankTest"], "friedman");
    EXPECT_EQ(t["agree"], false);
    EXPECT_TRUE(t["sentence"].get<std::string>().starts_with("t: significant uncorrected"));

    // A mixed design: the between effect's one test, no rank-based tests; at .10 only the lower bound
    // leaves t not significant. R: t's p .0484512 uncorrected, .0982170 (GG), .0959407 (HF);
    // pf(4.52577, 1, 4, lower.tail = FALSE) = .1005030 (the lower bound); car's Pillai p .0704287.
    const anova::Analysis mixed = Violated(true, 0.10L);
    const Json m = Json::parse(FormatAnalysis(mixed, AnovaFormat::Json, {}));
    EXPECT_DOUBLE_EQ(m["conventions"]["alpha"].get<double>(), 0.1);
    ASSERT_EQ(m["robustness"].size(), 3u);
    const Json& g = m["robustness"]["g"];
    EXPECT_EQ(g["uncorrected"], "not significant");
    for (const char* key : {"greenhouseGeisser", "huynhFeldt", "lowerBound", "multivariate", "rankBased", "rankTest",
                            "sentence"})
        EXPECT_TRUE(g[key].is_null()) << key;
    EXPECT_EQ(g["agree"], true);
    EXPECT_EQ(m["robustness"]["t"]["greenhouseGeisser"], "significant");
    EXPECT_EQ(m["robustness"]["t"]["lowerBound"], "not significant");
    EXPECT_EQ(m["robustness"]["t"]["agree"], false);
    EXPECT_EQ(m["robustness"]["t"]["sentence"],
              "t: significant uncorrected, with Greenhouse–Geisser, Huynh–Feldt and by the multivariate test, not "
              "with the lower bound.");
    EXPECT_EQ(m["robustness"]["g:t"]["agree"], true);
    EXPECT_TRUE(m["robustness"]["g:t"]["rankBased"].is_null());
    const std::string text = FormatAnalysis(mixed, AnovaFormat::Text, {});
    for (const char* part : {"Robustness of the decisions at α = .1\n", "Significant: p < α = .1;",
                             "A between effect has one test", "not with the lower bound."})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    EXPECT_EQ(text.find("Rank-based:"), std::string::npos);
    EXPECT_EQ(text.find("Every test reaches"), std::string::npos);
    // Programs get an empty cell where a test has no decision, as for every undefined figure.
    const std::string csv = FormatAnalysis(mixed, AnovaFormat::Csv, {});
    EXPECT_NE(csv.find("\ng,not significant,,,,,,yes\n"), std::string::npos) << csv;
}

}  // namespace
}  // namespace morvane
