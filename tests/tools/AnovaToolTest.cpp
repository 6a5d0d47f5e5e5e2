// morvane anova end to end, and the notice of `morvane report` on a results
// file whose summary table is not exact.

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "support/TempDir.h"
#include "tools/RunTool.h"

namespace morvane {
namespace {

using testing::ReadBytes;
using testing::RunTool;
using testing::TempDir;
using testing::WriteBytes;
using Json = nlohmann::json;

const std::string kExamples = MORVANE_EXAMPLES;

TEST(AnovaTool, JsonOfTheEightSubjectStudyAgreesWithThePublishedFigures) {
    const auto r = RunTool("anova " + kExamples + "/eight-subjects-2x3.dat --format json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const Json j = Json::parse(r.out);
    const Json& e = j["effects"];
    const std::pair<Json, double> figures[] = {
        {e["A"]["F"], 40.141592920354},
        {e["A"]["p"], 0.000390526338119925},
        {e["B"]["F"], 29.2173913043478},
        {e["B"]["p"], 1.00754887486423e-05},
        {e["B"]["sphericity"]["mauchlyW"], 0.23876393657652},
        {e["B"]["sphericity"]["p"], 0.0136115064059063},
        {e["B"]["sphericity"]["greenhouseGeisser"]["epsilon"], 0.567783059163691},
        {e["B"]["sphericity"]["greenhouseGeisser"]["p"], 0.000533260776130144},
        {e["B"]["sphericity"]["huynhFeldt"]["epsilon"], 0.604024965543516},
        {e["B"]["sphericity"]["huynhFeldt"]["p"], 0.000380944153179853},
        {e["AB"]["F"], 17.1054545454546},
        {e["AB"]["p"], 0.00017413216664976},
        {e["AB"]["sphericity"]["mauchlyW"], 0.377295867768595},
        {e["AB"]["sphericity"]["p"], 0.0537088862013275},
        {e["AB"]["sphericity"]["greenhouseGeisser"]["epsilon"], 0.616255286553615},
        {e["AB"]["sphericity"]["greenhouseGeisser"]["p"], 0.00204614204429811},
        {e["AB"]["sphericity"]["huynhFeldt"]["epsilon"], 0.681413003395175},
        {e["AB"]["sphericity"]["huynhFeldt"]["p"], 0.00134114071845174},
        {e["A"]["generalizedEtaSquared"], 0.532019704433497},
        {e["B"]["generalizedEtaSquared"], 0.638783269961977},
        {e["AB"]["generalizedEtaSquared"], 0.370860927152318},
        {e["A"]["partialEtaSquared"], 0.851511169513798},
        {e["B"]["partialEtaSquared"], 0.80672268907563},
        {e["AB"]["partialEtaSquared"], 0.70960929250264},
        {j["comparisons"][0]["t"], -6.33573933494379},
    };
    for (std::size_t i = 0; i < std::size(figures); ++i) {
        ASSERT_TRUE(figures[i].first.is_number()) << "figure " << i;
        const double value = figures[i].first.get<double>(), expected = figures[i].second;
        EXPECT_LE(std::fabs(value - expected), 1e-10 * std::fabs(expected)) << "figure " << i;
    }
    // The shape of the document.
    EXPECT_EQ(j["subjects"], 8);
    EXPECT_EQ(j["levelsA"], Json::parse(R"(["a1","a2"])"));
    EXPECT_EQ(j["levelsB"], Json::parse(R"(["b1","b2","b3"])"));
    EXPECT_TRUE(e["A"]["sphericity"].is_null());
    EXPECT_EQ(e["S"]["df"], 7);
    EXPECT_EQ(e["ABS"]["df"], 14);
    EXPECT_EQ(e["Total"]["SS"], 1708);
    EXPECT_EQ(j["cells"].size(), 6u);
    EXPECT_EQ(j["cells"][5]["mean"], 23);
    EXPECT_EQ(j["cells"][5]["withinCi95"].size(), 2u);
    EXPECT_EQ(j["marginalA"].size(), 2u);
    EXPECT_EQ(j["marginalB"].size(), 3u);
    EXPECT_EQ(j["comparisons"].size(), 1u + 3u + 3u + 2u * 3u);
    EXPECT_TRUE(j["comparisons"][0]["at"].is_null());
    EXPECT_EQ(j["comparisons"][4]["at"]["b"], 1);
    EXPECT_EQ(j["comparisons"][4]["levels"], Json::parse("[1,2]"));
    EXPECT_EQ(j["simpleEffects"].size(), 5u);
    EXPECT_EQ(j["simpleEffects"][3]["at"]["a"], 1);
    EXPECT_EQ(j["simpleEffects"][3]["df"], Json::parse("[2,14]"));
    EXPECT_EQ(j["precision"]["summaryTableExact"], true);
    EXPECT_EQ(j["precision"]["method"], "exact");
    EXPECT_EQ(j["precision"]["SSA"]["exact"], 432);
}

TEST(AnovaTool, FormatsOutputsAndErrors) {
    TempDir dir;
    const std::string study = kExamples + "/eight-subjects-2x3.dat";
    const auto text = RunTool("anova " + study);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("Analysis of variance"), std::string::npos);
    EXPECT_NE(text.out.find("< .001"), std::string::npos);
    EXPECT_EQ(RunTool("anova --format text " + study + " -").out, text.out);
    ASSERT_EQ(RunTool("anova " + study + " --format markdown " + dir.File("out.md")).status, 0);
    const std::string markdown = ReadBytes(dir.File("out.md"));
    EXPECT_NE(markdown.find("| Source | SS | df |"), std::string::npos);
    const auto csv = RunTool("anova - --format csv <" + study);
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_NE(csv.out.find("Source,SS,df,MS,F,p"), std::string::npos);
    EXPECT_NE(csv.out.find("\nA,432,1,432,40.14159292035398"), std::string::npos);
    EXPECT_EQ(csv.out.find('\r'), std::string::npos);

    // Level names in code page 932 come out as UTF-8.
    WriteBytes(dir.File("names.dat"),
               "2\r\n1\r\n2\r\n\x97\x76\x88\xf6\r\npre\r\npost\r\n1\r\n2\r\n4\r\n3\r\n");
    const auto names = RunTool("anova " + dir.File("names.dat") + " --format json");
    ASSERT_EQ(names.status, 0) << names.err;
    EXPECT_EQ(Json::parse(names.out)["levelsA"][0], "要因");

    WriteBytes(dir.File("bad.dat"), "2\r\n1\r\n2\r\na\r\nb\r\nc\r\n1\r\n1,5\r\n2\r\n3\r\n");
    const auto bad = RunTool("anova " + dir.File("bad.dat"));
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "morvane: '1,5' は浮動小数点数ではありません\n");
    const auto missing = RunTool("anova " + dir.File("missing.dat"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "morvane: ファイルが見つかりません\n");
    const auto full = RunTool("anova " + study + " /dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "morvane: ディスクがいっぱいです\n");
    // The effect sizes' intervals at a level asked for, and levels refused.
    const Json wide = Json::parse(RunTool("anova " + study + " --ci-level 0.95 --format json").out);
    EXPECT_EQ(wide["effects"]["B"]["partialEtaSquaredCI"]["level"].get<double>(), 0.95);
    EXPECT_EQ(wide["comparisons"][0]["dzCI"]["level"].get<double>(), 0.95);
    for (const char* arguments : {"anova", "anova x --format", "anova x --format yaml", "anova x y z",
                                  "anova x --ci-level 1", "anova x --ci-level 0", "anova x --ci-level .9x"}) {
        const auto usage = RunTool(arguments);
        EXPECT_EQ(usage.status, 2) << arguments;
        EXPECT_NE(usage.err.find("usage: morvane"), std::string::npos) << arguments;
    }
}

TEST(AnovaTool, ReportTellsWhenTheSummaryTableIsNotExact) {
    TempDir dir;
    // Scores near 10^7 with one decimal: the correction-term method loses about
    // ten digits of the sums of squares to cancellation.
    std::string study = "6\r\n2\r\n3\r\na1\r\na2\r\nb1\r\nb2\r\nb3\r\n";
    unsigned state = 7;
    for (int i = 0; i < 36; ++i) {
        state = state * 1103515245u + 12345u;
        const unsigned tenths = (state >> 8) % 1000 + static_cast<unsigned>(i / 6) * 37;
        study += std::to_string(10000000 + tenths / 10) + "." + std::to_string(tenths % 10) + "\r\n";
    }
    WriteBytes(dir.File("offset.dat"), study);
    const auto report = RunTool("report " + dir.File("offset.dat") + " " + dir.File("results.txt"));
    EXPECT_EQ(report.status, 0);
    EXPECT_NE(report.err.find("morvane: 計算結果ファイルの要約表には、桁落ちのため正確でない値があります"),
              std::string::npos)
        << report.err;
    // The file's bytes are those the report writes anyway.
    EXPECT_EQ(ReadBytes(dir.File("results.txt")), RunTool("report " + dir.File("offset.dat")).out);
    const Json j = Json::parse(RunTool("anova " + dir.File("offset.dat") + " --format json").out);
    EXPECT_EQ(j["precision"]["summaryTableExact"], false);
    EXPECT_LT(j["precision"]["SSABS"]["correctDigits"].get<int>(), 9);

    const auto worked = RunTool("report " + kExamples + "/worked-example.dat " + dir.File("worked.txt"));
    EXPECT_EQ(worked.status, 0);
    EXPECT_EQ(worked.err, "");
}

}  // namespace
}  // namespace morvane
