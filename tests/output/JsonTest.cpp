// The analysis as JSON: the one writer's strings, numbers beyond a double and
// p-values below the number type, and every field of the results under the
// key its description gives it, in order.

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/LongCsv.h"
#include "output/AnalysisJson.h"
#include "output/AnovaFormats.h"
#include "output/JsonWriter.h"
#include "support/StudySkeleton.h"

namespace morvane {
namespace {

TEST(Json, TheWriterEscapesEveryControlCharacterAndMarksWhatADoubleCannotHold) {
    JsonWriter j;
    j.Open('{');
    j.Key("name\"\\");
    j.String(std::string("a\x01\tb\n\x7F\0c", 8) + "é");
    j.Key("values");
    j.Open('[');
    j.Number(0.1L);
    j.Number(std::nullopt);
    j.Number(1.5e-20L);
    j.Close(']');
    j.P("p", 0.5L);
    j.P("q", 0);
    j.P("r", 0, false);
    j.Key("df"), j.IntegerPair(1, 7, false);
    j.Close('}');
    EXPECT_EQ(j.Text(),
              "{\"name\\\"\\\\\":\"a\\u0001\\u0009b\\u000a\\u007f\\u0000cé\","
              "\"values\":[0.1,null,1.5e-20],"
              "\"p\":0.5,\"q\":0,\"qUnderflow\":true,\"r\":0,\"df\":null}");
    EXPECT_FALSE(j.OutsideDoubleRange());

    // Beyond a double's range either way: the same digits as a string, and the flag.
    for (Extended v : {Extended{1e400L}, Extended{-1e400L}, Extended{1e-400L}}) {
        JsonWriter k;
        k.Number(v);
        EXPECT_EQ(k.Text().front(), '"') << k.Text();
        EXPECT_TRUE(k.OutsideDoubleRange());
    }
    JsonWriter edge;
    edge.Number(static_cast<Extended>(std::numeric_limits<double>::max()));
    edge.Number(static_cast<Extended>(std::numeric_limits<double>::denorm_min()));
    EXPECT_FALSE(edge.OutsideDoubleRange()) << edge.Text();
}

TEST(Json, EachResultFieldGoesUnderItsKeyInOrder) {
    anova::Analysis r = testing::StudySkeleton({"a\"1", "a2"}, {"b1", "b2"}, 3);
    r.effects[0].effect.ss = 4, r.effects[0].effect.df = 1, r.effects[0].effect.ms = 4;
    r.effects[0].f = 2, r.effects[0].p = 0;
    r.effects[1].f = 1e4000L;  // beyond a double
    anova::Mean level;
    level.at = {1, anova::kOver}, level.mean = 1.5L;
    r.marginalMeans = {{level}, {}};
    anova::Comparison pair;
    pair.factor = 1, pair.at = {1, anova::kOver}, pair.i = 0, pair.j = 1, pair.df = 2;
    r.comparisons = {pair};
    MultivariateTest& m = *r.effects[0].multivariate;
    m.status = MultivariateStatus::Tested;
    for (MultivariateStatistic* statistic : {&m.pillai, &m.wilks, &m.hotellingLawley, &m.roy})
        statistic->df1 = 1, statistic->df2 = 2;
    r.outlying = {{2, {1, 3}, -3.5L}};
    r.outlyingSubjects = 1;
    const PrecisionCheck precision;
    const std::string json = AnalysisJson(r, testing::InStudyLayout(), &precision);
    const auto at = [&](const std::string& text) { return json.find(text); };
    for (const char* piece :
         {"{\"subjects\":3,\"fewerThanTwoSubjects\":false,\"levelsA\":[\"a\\\"1\",\"a2\"]",
          "\"effects\":{\"A\":{\"SS\":4,\"df\":1,\"MS\":4,\"F\":2,\"p\":0,\"pUnderflow\":true,\"errorSS\":0",
          "\"sphericity\":null,\"sphericityOmitted\":false}", "\"F\":\"1e+4000\"",
          "\"Total\":{\"SS\":0,\"df\":0}", "\"marginalA\":[{\"a\":2,\"mean\":1.5,\"sd\":null",
          "\"comparisons\":[{\"factor\":\"B\",\"at\":{\"a\":2},\"levels\":[1,2],\"difference\":0",
          "\"multivariate\":{\"A\":{\"status\":\"tested\",\"contrasts\":0",
          "\"df\":[1,2],\"p\":null},\"B\":{\"status\":\"",
          "\"outlying\":[{\"subject\":3,\"strata\":[\"AS\",\"ABS\"],\"studentized\":-3.5}]",
          "\"exactAlignment\":false}},\"robustness\":{},\"planning\":{},\"numbersOutsideDoubleRange\":true}\n"})
        EXPECT_NE(at(piece), std::string::npos) << piece << "\n" << json;
    // The conventions and provenance between the univariate figures and the checks.
    EXPECT_LT(at("\"precision\":"), at("\"conventions\":"));
    EXPECT_LT(at("\"provenance\":"), at("\"multivariate\":"));
}

// A long analysis goes out in pieces of a megabyte or more as it is made,
// which together are the JSON made whole; the other formats in one piece.
TEST(Json, ALongAnalysisIsHandedOverInPiecesThatMakeTheWhole) {
    std::string csv = "id,A,y\n";
    for (int s = 1; s <= 3; ++s)
        for (int a = 1; a <= 10000; ++a)
            csv += "s" + std::to_string(s) + ",a" + std::to_string(a) + "," + std::to_string((a * 7 + s * 3) % 50) + "\n";
    const anova::Analysis r = anova::Analyse(ReadLongCsv(csv, {"id", "y", {"A"}, {}}));
    const std::string whole = AnalysisJson(r, {});
    ASSERT_GT(whole.size(), std::size_t{3} << 20);
    std::vector<std::string> pieces;
    WriteFormattedAnalysis(r, AnovaFormat::Json, {}, nullptr,
                           [&](std::string_view piece) { pieces.emplace_back(piece); });
    ASSERT_GE(pieces.size(), 3u);
    std::string joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i + 1 < pieces.size()) {
            EXPECT_GE(pieces[i].size(), std::size_t{1} << 20) << "piece " << i;
        }
        joined += pieces[i];
    }
    EXPECT_EQ(joined, whole);
    EXPECT_EQ(whole.substr(whole.size() - 2), "}\n");

    pieces.clear();
    WriteFormattedAnalysis(r, AnovaFormat::Text, {}, nullptr,
                           [&](std::string_view piece) { pieces.emplace_back(piece); });
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0], FormatAnalysis(r, AnovaFormat::Text));
}

}  // namespace
}  // namespace morvane
