// morvane anova's planned contrasts end to end: the options read (--contrast
// as often as wanted, exact weights), the JSON's keys and the table, nothing
// of them unless asked, and each refusal with status 2.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <cstdio>
#include <string>

#include "tools/RunTool.h"

namespace morvane {
namespace {

using testing::RunTool;
using testing::TempDir;
using testing::WriteBytes;
using Json = nlohmann::json;

const std::string kMixed = std::string(MORVANE_EXAMPLES) + "/mixed-design.csv" +
                           " --id subject --dv score --within time --between group";

TEST(ContrastTool, OptionsKeysTablesAndRefusals) {
    const auto json = RunTool("anova " + kMixed +
                              " --trend time --spacing 'time=0,1,3' --contrast 'g:group=1,-1'"
                              " --contrast 'group=1/2,-1/2*time=-1,0,1' --adjust holm,bh --format json");
    ASSERT_EQ(json.status, 0) << json.err;
    const Json j = Json::parse(json.out);
    const Json& c = j["contrasts"];
    ASSERT_EQ(c.size(), 4u);
    // Spacing 0, 1, 3: linear -4 -1 5, quadratic 2 -3 1.
    EXPECT_EQ(c[0]["weights"], Json::parse("[-4, -1, 5]"));
    EXPECT_EQ(c[1]["weights"], Json::parse("[2, -3, 1]"));
    EXPECT_EQ(c[0]["name"], "linear");
    EXPECT_EQ(c[0]["family"], "trend of time");
    EXPECT_EQ(c[2]["name"], "g");
    EXPECT_EQ(c[2]["factor"], "group");
    EXPECT_EQ(c[2]["family"], "custom contrasts");
    // The two groups' contrast is the type III test of group, the groups weighted equally.
    EXPECT_NEAR(c[2]["F"].get<double>(), j["effects"]["group"]["F"].get<double>(), 1e-12);
    // Unnamed: by its text; an interaction contrast by its factors, between first.
    EXPECT_EQ(c[3]["name"], "group=1/2,-1/2*time=-1,0,1");
    EXPECT_EQ(c[3]["factors"], Json::parse(R"(["group", "time"])"));
    EXPECT_EQ(c[3]["weights"]["group"], Json::parse("[0.5, -0.5]"));
    for (const Json& row : c) {
        for (const char* key : {"estimate", "se", "t", "F", "df", "p", "pHolm", "pBH", "partialEtaSquared",
                                "partialEtaSquaredCI"})
            EXPECT_TRUE(row.contains(key)) << key;
        EXPECT_FALSE(row.contains("pBonferroni"));
        EXPECT_NEAR(row["F"].get<double>(), row["t"].get<double>() * row["t"].get<double>(),
                    1e-9 * row["F"].get<double>());
    }
    EXPECT_TRUE(j["conventions"].contains("contrasts"));

    const auto text = RunTool("anova " + kMixed + " --trend time --lang ja");
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("計画された対比"), std::string::npos);
    EXPECT_NE(text.out.find("time の傾向"), std::string::npos);
    const auto apa = RunTool("anova " + kMixed + " --trend time --format apa");
    ASSERT_EQ(apa.status, 0) << apa.err;
    EXPECT_NE(apa.out.find("trend of time, linear: F(1, 6) = "), std::string::npos) << apa.out;
    // Not asked: no table, no key, no sentence.
    const auto plain = RunTool("anova " + kMixed + " --format json");
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_FALSE(Json::parse(plain.out).contains("contrasts"));
    EXPECT_FALSE(Json::parse(plain.out)["conventions"].contains("contrasts"));
    EXPECT_EQ(RunTool("anova " + kMixed).out.find("Planned contrasts"), std::string::npos);
    EXPECT_EQ(RunTool("anova " + kMixed + " --format apa").out.find("trend of"), std::string::npos);
    // A data file's study by its factors A and B.
    const auto study = RunTool("anova " + std::string(MORVANE_EXAMPLES) +
                               "/eight-subjects-2x3.dat --trend B --contrast 'A=1,-1' --format json");
    ASSERT_EQ(study.status, 0) << study.err;
    EXPECT_EQ(Json::parse(study.out)["contrasts"].size(), 3u);

    const std::pair<std::string, std::string> refused[] = {
        {"--trend time --spacing 'time=0,1'", "2 values"},
        {"--trend time --spacing 'time=0,1,1'", "repeats"},
        {"--spacing 'time=0,1,2'", "--trend does not name"},
        {"--trend time --spacing 'time=0,1,2;time=1,2,3'", "twice"},
        {"--trend time --trend group", "given twice"},
        {"--trend dose", "no factor"},
        {"--contrast 'group=1,1'", "sum to 0"},
        {"--contrast 'group=1,-1,0'", "3 weights"},
        {"--contrast 'group=1,x'", "decimals or fractions"},
        {"--contrast 'group=1,-1*group=1,-1'", "twice"},
        {"--contrast 'time'", "FACTOR=v1,v2"},
    };
    for (const auto& [options, says] : refused) {
        const auto r = RunTool("anova " + kMixed + " " + options);
        EXPECT_EQ(r.status, 2) << options;
        EXPECT_NE(r.err.find(says), std::string::npos) << options << ": " << r.err;
    }
}

// --cells and --simple-interactions: the rows and keys, each format's table,
// nothing of them unless asked, the refusals with status 2.
TEST(ContrastTool, CellsAndSimpleInteractions) {
    const auto json = RunTool("anova " + kMixed + " --cells group:time --cells time:group --format json");
    ASSERT_EQ(json.status, 0) << json.err;
    const Json j = Json::parse(json.out);
    const Json& c = j["cellComparisons"];
    std::size_t cells = j["cellMeans"].size();
    ASSERT_GE(cells, 4u);
    // The interaction named twice is one family of every pair of its cells.
    ASSERT_EQ(c.size(), cells * (cells - 1) / 2);
    for (const Json& row : c) {
        EXPECT_EQ(row["family"], "group × time");
        for (const char* key : {"cell1", "cell2", "error", "difference", "se", "t", "df", "p", "pHolm",
                                "pBonferroni", "ci95", "d"})
            EXPECT_TRUE(row.contains(key)) << key;
        const bool paired = row["cell1"]["group"] == row["cell2"]["group"];
        EXPECT_EQ(row["error"], paired ? "S/G (paired)" : "S/G");
        EXPECT_EQ(row["dAv"].is_null(), !paired);
    }
    EXPECT_TRUE(j["conventions"].contains("cellComparisons"));
    EXPECT_FALSE(j.contains("simpleInteractions"));
    const auto simple = RunTool("anova " + kMixed + " --simple-interactions --format json");
    ASSERT_EQ(simple.status, 0) << simple.err;
    EXPECT_EQ(Json::parse(simple.out)["simpleInteractions"], Json::array());  // two factors: none

    for (const char* format : {"text", "markdown", "csv", "html", "apa"}) {
        const auto out = RunTool("anova " + kMixed + " --cells all --format " + format);
        ASSERT_EQ(out.status, 0) << out.err;
        EXPECT_NE(out.out.find("S/G (paired)"), std::string::npos) << format;
    }
    const auto ja = RunTool("anova " + kMixed + " --cells all --lang ja");
    EXPECT_NE(ja.out.find("交互作用のセルの対ごとの比較"), std::string::npos);
    EXPECT_NE(ja.out.find("S/G (対応あり)"), std::string::npos);
    const auto plain = RunTool("anova " + kMixed + " --format json");
    EXPECT_FALSE(Json::parse(plain.out).contains("cellComparisons"));
    EXPECT_EQ(RunTool("anova " + kMixed).out.find("interaction's cells"), std::string::npos);

    const std::pair<std::string, std::string> refused[] = {
        {"--cells group:dose", "does not have"},
        {"--cells group", "two or more factors"},
        {"--cells group:group", "twice"},
        {"--cells group:", "A:B, or all"},
    };
    for (const auto& [options, says] : refused) {
        const auto r = RunTool("anova " + kMixed + " " + options);
        EXPECT_EQ(r.status, 2) << options;
        EXPECT_NE(r.err.find(says), std::string::npos) << options << ": " << r.err;
    }
}

// The follow-ups in --format apa and html: each its own table after the
// sentences, rounded as the APA table rounds (the JSON's figures to two
// decimals, p to three without the zero), Box's M in a mixed design; Tukey's
// p of the cells of between factors alone. Without them only Box's M is added.
TEST(ContrastTool, FollowUpsInTheApaOutputs) {
    const std::string asked = " --contrast 'g:group=1,-1' --cells group:time --adjust holm,tukey";
    const auto json = RunTool("anova " + kMixed + asked + " --format json");
    const auto apa = RunTool("anova " + kMixed + asked + " --format apa");
    const auto html = RunTool("anova " + kMixed + asked + " --format html");
    ASSERT_EQ(json.status + apa.status + html.status, 0) << json.err << apa.err << html.err;
    const Json j = Json::parse(json.out);
    const auto twoDecimals = [](double x) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", x);
        return std::string(text);
    };
    const Json& contrast = j["contrasts"][0];
    const Json& pair = j["cellComparisons"][0];
    for (const std::string* out : {&apa.out, &html.out}) {
        const std::size_t sentences = out->find(out == &apa.out ? "g: F(1, " : "group × time: F(");
        const std::size_t contrasts = out->find("Planned contrasts (Holm and Tukey");
        const std::size_t cells = out->find("Pairwise comparisons of an interaction's cells");
        const std::size_t box = out->find("Box's M test of the groups' covariance matrices");
        ASSERT_NE(sentences, std::string::npos) << *out;
        EXPECT_TRUE(sentences < contrasts && contrasts < cells && cells < box && box != std::string::npos)
            << sentences << " " << contrasts << " " << cells << " " << box << "\n"
            << *out;
        for (const char* key : {"estimate", "se", "t"})
            EXPECT_NE(out->find(twoDecimals(contrast[key].get<double>()), contrasts), std::string::npos) << key;
        EXPECT_NE(out->find(twoDecimals(pair["difference"].get<double>()), cells), std::string::npos);
        // Full digits are the other formats'.
        EXPECT_EQ(out->find(contrast["t"].dump().substr(0, 8)), std::string::npos) << contrast["t"].dump();
    }
    // One HTML table each; not asked, the mixed design's HTML still has Box's M's.
    const auto tables = [](const std::string& page) {
        std::size_t n = 0;
        for (std::size_t at = 0; (at = page.find("<table", at)) != std::string::npos; ++at) ++n;
        return n;
    };
    const auto plain = RunTool("anova " + kMixed + " --format html");
    EXPECT_EQ(tables(html.out), tables(plain.out) + 2);
    EXPECT_NE(plain.out.find("<i>Box's M test of the groups' covariance matrices</i>"), std::string::npos);
    // Cells naming a within factor: no Tukey's, and the conventions say why.
    for (const Json& row : j["cellComparisons"]) EXPECT_TRUE(row["pTukey"].is_null());
    EXPECT_NE(j["conventions"]["cellComparisons"].get<std::string>().find("It is not given (—) where a within"),
              std::string::npos);

    // The cells of two between factors: Tukey's for every pair.
    TempDir dir;
    std::string csv = "id,A,B,y\n";
    for (int s = 0; s < 14; ++s)
        csv += "s" + std::to_string(s) + ",a" + std::to_string(s % 2) + ",b" + std::to_string(s % 3) + "," +
               std::to_string(10 + (s * 7) % 5 + s % 3) + "\n";
    WriteBytes(dir.File("between.csv"), csv);
    const auto between = RunTool("anova " + dir.File("between.csv") +
                                 " --id id --dv y --between A,B --cells A:B --adjust tukey --format json");
    ASSERT_EQ(between.status, 0) << between.err;
    const Json b = Json::parse(between.out);
    ASSERT_EQ(b["cellComparisons"].size(), 15u);
    for (const Json& row : b["cellComparisons"]) {
        EXPECT_GE(row["pTukey"].get<double>(), row["p"].get<double>());
        EXPECT_LE(row["pTukey"].get<double>(), 1.0);
    }
    EXPECT_FALSE(b.contains("boxM") && !b["boxM"].is_null());
}

}  // namespace
}  // namespace morvane
