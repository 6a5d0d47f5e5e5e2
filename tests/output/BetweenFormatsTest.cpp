// A design without a within factor, analysed by the engine, in every format
// and language: nothing of the within tests is printed or left as an empty
// heading, what does not apply is said once, and the JSON gives it as null.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "output/AnovaFormats.h"

namespace morvane {
namespace {

using Json = nlohmann::json;

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

// Two between factors, groups of 3, 4, 5 and 4; one of `factors` (1: A alone).
anova::Analysis Between(std::size_t factors) {
    const std::vector<std::int32_t> groups{0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3};
    const std::vector<int> scores{12, 15, 11, 14, 18, 16, 13, 17, 20, 15, 19, 22, 25, 21, 24, 27};
    DesignData d;
    d.between = {{"A", {"a1", "a2"}}, {"B", {"b1", "b2"}}};
    d.between.resize(factors);
    d.exact = true;
    d.scale = 0;
    for (std::size_t s = 0; s < scores.size(); ++s) {
        d.subjects.push_back("s" + std::to_string(s + 1));
        d.group.push_back(factors == 2 ? groups[s] : groups[s] / 2);
        d.units.push_back(scores[s]);
        d.rows.push_back(s == 0 ? 2 : 1);
        d.values.push_back(scores[s]);
    }
    d.subjectsRead = 16;
    d.averagedCells = 1, d.averagedRows = 2;
    anova::Options options;
    options.trends = {anova::TrendRequest{factors == 2 ? "B" : "A", {}}};
    return anova::Analyse(d, options);
}

TEST(BetweenFormats, EveryFormatLeavesOutTheWithinTestsAndSaysSoOnce) {
    const std::vector<std::string> withinOnly{
        "Sphericity", "Mauchly", "Multivariate", "Greenhouse", "within-subject", "GG",     "Huynh",
        "Friedman",   "aligned", "; within:",    "d_av",       "被験者内:",
        "of a within factor on", "被験者内要因は被験者の対"};
    for (const std::size_t factors : {1u, 2u}) {
        const anova::Analysis r = Between(factors);
        for (const AnovaFormat format : {AnovaFormat::Text, AnovaFormat::Markdown, AnovaFormat::Csv,
                                         AnovaFormat::Apa, AnovaFormat::Html}) {
            for (const OutputLanguage language : {OutputLanguage::English, OutputLanguage::Japanese}) {
                OutputOptions options;
                options.language = language;
                const bool ja = language == OutputLanguage::Japanese;
                const std::string out = FormatAnalysis(r, format, options);
                SCOPED_TRACE(std::to_string(factors) + " factor(s), format " +
                             std::to_string(static_cast<int>(format)) + (ja ? " ja" : " en"));
                for (const std::string& text : withinOnly) EXPECT_EQ(Count(out, text), 0u) << text;
                // The simple effects' table only where another factor can be held at a level.
                const bool apa = format == AnovaFormat::Apa || format == AnovaFormat::Html;
                EXPECT_EQ(Count(out, ja ? "単純効果 (各水準" : "Simple effects\n") > 0, factors == 2 && !apa);
                if (apa) {
                    EXPECT_EQ(Count(out, ja ? "被験者間計画の分散分析" : "Between-Subjects Analysis of Variance"),
                              1u);
                    continue;
                }
                EXPECT_EQ(Count(out, ja ? "被験者間計画の分散分析: N = 16" : "between-subjects design: N = 16"),
                          1u);
                EXPECT_EQ(Count(out, ja ? "順位に基づく検定は当てはまらず" : "rank-based tests do not apply"),
                          1u);
                EXPECT_EQ(Count(out, ja ? "1 個のセルの得点は、2 行を平均" : "1 cell was averaged from 2 rows"),
                          1u);
                EXPECT_EQ(Count(out, ja ? "得点の群間の等分散性" : "Levene's test of the scores across the"), 2u);
            }
        }
        OutputOptions options;
        const Json j = Json::parse(FormatAnalysis(r, AnovaFormat::Json, options));
        EXPECT_TRUE(j["within"].empty());
        EXPECT_TRUE(j["multivariate"].is_null());
        EXPECT_TRUE(j["rankTestsOmitted"].is_null());
        EXPECT_EQ(j["effects"].size(), factors == 2 ? 3u : 1u);
        for (const auto& [key, effect] : j["effects"].items()) {
            EXPECT_TRUE(effect["sphericity"].is_null()) << key;
            EXPECT_EQ(effect["errorDf"], 16 - 2 * static_cast<int>(factors)) << key;
        }
        for (const auto& [key, row] : j["robustness"].items()) EXPECT_TRUE(row["greenhouseGeisser"].is_null());
        ASSERT_EQ(j["normality"].size(), 1u);
        EXPECT_EQ(j["normality"][0]["residuals"], 16);
        EXPECT_EQ(j["levene"].size(), 2u);
    }
}

}  // namespace
}  // namespace morvane
