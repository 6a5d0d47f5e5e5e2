// morvane anova of a long CSV end to end: a mixed design in every format and
// language against R's figures, the same study as a data file and as a CSV,
// a data file with an empty score, and the refusals of the design's options.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>

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
const std::string kMixed = "anova " + kExamples + "/mixed-design.csv --id subject --dv score --within time";

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

// The SHA-256 of a file's bytes, as sha256sum gives it.
std::string Sha256Of(const std::string& path) {
    std::string out;
    std::FILE* pipe = ::popen(("sha256sum " + path).c_str(), "r");
    if (!pipe) return out;
    char block[128];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, pipe)) > 0;) out.append(block, got);
    ::pclose(pipe);
    return out.substr(0, 64);
}

TEST(DesignTool, AMixedDesignFromALongCsvInEveryFormatAndLanguage) {
    const std::string command = kMixed + " --between group";
    const std::pair<const char*, const char*> notes[] = {
        {"en", "N = 8 of 9 subjects; removed for a missing score: t03"},
        {"ja", "N = 8 (被験者 9 人のうち); 得点が欠けているため除いた被験者: t03"}};
    for (const char* format : {"text", "markdown", "csv"})
        for (const auto& [language, note] : notes) {
            const auto r = RunTool(command + " --format " + format + " --lang " + language);
            ASSERT_EQ(r.status, 0) << format << " " << language << ": " << r.err;
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(Count(r.out, note), 1u) << format << " " << language;
            EXPECT_LT(r.out.find(note),
                      r.out.find(language == std::string("en") ? "Analysis of variance\n" : "分散分析表\n"));
        }

    // JSON, to a file: the figures of afex's aov_ez (type 3) on the same rows.
    TempDir dir;
    const auto r = RunTool(command + " --format json " + dir.File("out.json"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const Json j = Json::parse(ReadBytes(dir.File("out.json")));
    EXPECT_EQ(j["subjects"], 8);
    EXPECT_EQ(j["subjectsRemoved"], Json::parse(R"(["t03"])"));
    const Json& e = j["effects"];
    // d <- read.csv("mixed-design.csv"); a <- aov_ez("subject", "score", d[!is.na(d$score),],
    //   between = "group", within = "time", type = 3); summary(a); a$anova_table$ges
    const std::pair<Json, double> figures[] = {
        {e["group"]["F"], 3.66168755044779},
        {e["group"]["p"], 0.104193266616686},
        {e["time"]["F"], 28.2931472081219},
        {e["time"]["p"], 2.86855670826792e-05},
        {e["group:time"]["F"], 25.9327411167513},
        {e["group:time"]["p"], 4.40038121060354e-05},
        {e["group:time"]["errorSS"], 3.94},
        {e["group"]["errorSS"], 34.6893333333334},
        {e["group:time"]["sphericity"]["greenhouseGeisser"]["epsilon"], 0.868441270733207},
        {e["group:time"]["sphericity"]["greenhouseGeisser"]["p"], 1.22433848990138e-04},
        {e["time"]["sphericity"]["huynhFeldt"]["epsilon"], 1.19140252281004},
        {e["time"]["sphericity"]["mauchlyW"], 0.84851165680355},
        {e["time"]["sphericity"]["p"], 0.663200022867942},
        {e["group"]["generalizedEtaSquared"], 0.354020025223141},
        {e["time"]["generalizedEtaSquared"], 0.324762345921789},
        {e["group:time"]["generalizedEtaSquared"], 0.305958059715347},
    };
    for (std::size_t i = 0; i < std::size(figures); ++i) {
        ASSERT_TRUE(figures[i].first.is_number()) << "figure " << i;
        EXPECT_NEAR(figures[i].first.get<double>(), figures[i].second, 1e-12 * std::fabs(figures[i].second))
            << "figure " << i;
    }
    EXPECT_EQ(j["provenance"]["dataSha256"], Sha256Of(kExamples + "/mixed-design.csv"));
    EXPECT_TRUE(
        j["conventions"]["sumsOfSquares"].get<std::string>().starts_with("Sums of squares: type III"));
    // --type 2 is said; with one between factor the two agree.
    const Json two = Json::parse(RunTool(command + " --type 2 --format json").out);
    EXPECT_EQ(two["sumsOfSquaresType"], 2);
    EXPECT_EQ(two["effects"]["group:time"]["F"], j["effects"]["group:time"]["F"]);
}

// The APA outputs of the mixed example: each sentence's F, df and p are the JSON's, under the
// correction asked; the removed subject said once, in the table's note.
TEST(DesignTool, TheApaOutputsOfAMixedDesignSayTheJsonsFigures) {
    const std::string command = kMixed + " --between group";
    const Json effects = Json::parse(RunTool(command + " --format json").out)["effects"];
    const std::pair<const char*, const char*> notes[] = {
        {"en", "Note. N = 8 of 9 subjects; removed for a missing score: t03"},
        {"ja", "注. N = 8 (被験者 9 人のうち); 得点が欠けているため除いた被験者: t03"}};
    const std::regex sentence(
        R"((group × time|group|time): F\(([0-9.]+), ([0-9.]+)\) = ([0-9.]+), p ([=<]) ([0-9.]+))");
    for (const char* format : {"apa", "html"})
        for (const auto& [language, note] : notes)
            for (const char* correction : {"gg", "hf", "none"}) {
                const std::string what = std::string(format) + " " + language + " " + correction;
                const auto r = RunTool(command + " --format " + format + " --lang " + language +
                                       " --correction " + correction);
                ASSERT_EQ(r.status, 0) << what << ": " << r.err;
                const std::string out =
                    format == std::string("html")
                        ? std::regex_replace(std::regex_replace(r.out, std::regex("<[^>]*>"), ""),
                                             std::regex("&lt;"), "<")
                        : r.out;
                EXPECT_EQ(Count(out, note), 1u) << what << "\n" << out;
                int sentences = 0;
                for (auto m = std::sregex_iterator(out.begin(), out.end(), sentence);
                     m != std::sregex_iterator(); ++m) {
                    ++sentences;
                    std::string key = (*m)[1];
                    if (key == "group × time") key = "group:time";
                    const Json& e = effects[key];
                    const std::string applied =
                        correction == std::string("gg") ? "greenhouseGeisser" : "huynhFeldt";
                    const bool corrected = correction != std::string("none") && e["sphericity"].is_object();
                    const double df1 =
                        corrected ? e["sphericity"][applied]["df"][0].get<double>() : e["df"].get<double>();
                    const double df2 = corrected ? e["sphericity"][applied]["df"][1].get<double>()
                                                 : e["errorDf"].get<double>();
                    const double p =
                        corrected ? e["sphericity"][applied]["p"].get<double>() : e["p"].get<double>();
                    EXPECT_NEAR(std::stod((*m)[2]), df1, 0.005) << what << " " << key;
                    EXPECT_NEAR(std::stod((*m)[3]), df2, 0.005) << what << " " << key;
                    EXPECT_NEAR(std::stod((*m)[4]), e["F"].get<double>(), 0.005) << what << " " << key;
                    if ((*m)[5] == "<")
                        EXPECT_TRUE((*m)[6] == ".001" && p < 0.001) << what << " " << key;
                    else
                        EXPECT_NEAR(std::stod("0" + (*m)[6].str()), p, 0.0005) << what << " " << key;
                }
                // The text gives each sentence once; the HTML document once too, the table's cells aside.
                EXPECT_EQ(sentences, 3) << what << "\n" << out;
            }
}

// One study, two inputs: the data file and its long CSV give the same figures, bit for bit.
TEST(DesignTool, TheDataFileAndItsLongCsvGiveTheSameFigures) {
    TempDir dir;
    const std::string study = kExamples + "/eight-subjects-2x3.dat", csv = dir.File("long.csv");
    ASSERT_EQ(RunTool("export " + study + " " + csv + " --long").status, 0);
    const auto fromFile = RunTool("anova " + study + " --format json");
    const auto fromCsv = RunTool("anova " + csv + " --id subject --dv score --within A,B --format json");
    ASSERT_EQ(fromCsv.status, 0) << fromCsv.err;
    const Json f = Json::parse(fromFile.out)["effects"], c = Json::parse(fromCsv.out)["effects"];
    const std::pair<const char*, const char*> effects[] = {{"A", "A"}, {"B", "B"}, {"AB", "A:B"}};
    for (const auto& [file, design] : effects)
        for (const char* key : {"SS", "df", "MS", "F", "p", "errorSS", "errorDf", "errorMS",
                                "partialEtaSquared", "generalizedEtaSquared", "sphericity"})
            EXPECT_EQ(f[file][key], c[design][key]) << design << " " << key;
}

// A data file with an empty score: that subject left out, said once; the results file still refuses it.
TEST(DesignTool, ADataFileWithAnEmptyScoreIsAnalysedWithoutItsSubject) {
    TempDir dir;
    std::string study = ReadBytes(kExamples + "/eight-subjects-2x3.dat");
    // The scores follow the 3 counts and the 2 + 3 names; the 3rd score is subject 3's in a1 b1.
    std::size_t at = 0;
    for (int line = 0; line < 3 + 5 + 2; ++line) at = study.find("\r\n", at) + 2;
    study.replace(at, study.find("\r\n", at) - at, " ");
    WriteBytes(dir.File("gap.dat"), study);
    for (const char* format : {"text", "markdown", "csv", "apa", "html"}) {
        const auto r = RunTool("anova " + dir.File("gap.dat") + " --format " + format);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Count(r.out, "N = 7 of 8 subjects; removed for a missing score: 3"), 1u) << format;
    }
    EXPECT_NE(RunTool("anova " + dir.File("gap.dat"))
                  .out.find("No results file is written for a study with an "
                            "empty score"),
              std::string::npos);
    const Json j = Json::parse(RunTool("anova " + dir.File("gap.dat") + " --format json").out);
    EXPECT_EQ(j["subjects"], 7);
    EXPECT_EQ(j["subjectsRemoved"], Json::parse(R"(["3"])"));
    const auto report = RunTool("report " + dir.File("gap.dat"));
    EXPECT_EQ(report.status, 1);
    EXPECT_EQ(report.err, "morvane: ' ' は浮動小数点数ではありません\n");
}

// --adjust shows the adjustments chosen, and only those, in the columns, the
// JSON's keys of the comparisons and contrasts and the conventions.
TEST(DesignTool, TheChosenAdjustmentsInTheTablesAndTheJson) {
    TempDir dir;
    std::string csv = "id,A,y\n";
    const int tenths[6][4] = {{9, 25, 23, 34},  {9, 24, 24, 34},  {-5, 8, 25, 13},
                              {14, 26, 28, 26}, {40, 62, 60, 59}, {2, 18, 15, 25}};
    for (int s = 0; s < 6; ++s)
        for (int l = 0; l < 4; ++l)
            csv += std::to_string(s + 1) + "," + "abcd"[l] + "," + std::to_string(tenths[s][l]) + "\n";
    WriteBytes(dir.File("four.csv"), csv);
    const std::string command = "anova " + dir.File("four.csv") + " --id id --dv y --within A";
    const auto chosen = RunTool(command + " --adjust shaffer,bh --format json");
    ASSERT_EQ(chosen.status, 0) << chosen.err;
    const Json j = Json::parse(chosen.out);
    const Json& contrasts = j["rankBased"]["alignedRankTransform"]["contrasts"];
    ASSERT_EQ(j["comparisons"].size(), 6u);
    ASSERT_EQ(contrasts.size(), 6u);
    for (const Json* rows : {&j["comparisons"], &contrasts})
        for (const Json& c : *rows) {
            EXPECT_TRUE(c.contains("pShaffer") && c.contains("pBH")) << c;
            EXPECT_FALSE(c.contains("pHolm") || c.contains("pBonferroni") || c.contains("pSidak")) << c;
            EXPECT_GE(c["pShaffer"].get<double>(), c["p"].get<double>());
        }
    EXPECT_NE(chosen.out.find("Benjamini–Hochberg and Shaffer within each factor's family. Shaffer's"),
              std::string::npos);
    const auto defaults = RunTool(command + " --format json");
    ASSERT_EQ(defaults.status, 0) << defaults.err;
    EXPECT_EQ(defaults.out.find("pShaffer"), std::string::npos);
    EXPECT_NE(defaults.out.find("pBonferroni"), std::string::npos);
    for (const char* language : {"en", "ja"}) {
        const auto text = RunTool(command + " --adjust shaffer,bh --lang " + language);
        ASSERT_EQ(text.status, 0) << text.err;
        // The comparisons' and the contrasts' tables.
        EXPECT_EQ(Count(text.out, "p (Shaffer)"), 2u) << language;
        EXPECT_EQ(Count(text.out, "p (BH)"), 2u) << language;
        EXPECT_EQ(Count(text.out, "p (Holm)"), 0u) << language;
    }
    const auto all = RunTool(command + " --adjust all --format csv");
    ASSERT_EQ(all.status, 0) << all.err;
    for (const char* heading : {"p (Holm)", "p (Bonferroni)", "p (Šidák)", "p (Holm–Šidák)", "p (Hochberg)",
                                "p (Hommel)", "p (BH)", "p (BY)", "p (Shaffer)", "p (Tukey)"})
        EXPECT_EQ(Count(all.out, heading), 2u) << heading;
    // Tukey's: of the between factor's pair over time alone (two groups: the t test's p), null elsewhere.
    const auto tukey = RunTool(kMixed + " --between group --adjust tukey --format json");
    ASSERT_EQ(tukey.status, 0) << tukey.err;
    const Json tukeys = Json::parse(tukey.out);
    std::size_t given = 0;
    for (const Json& c : tukeys["comparisons"]) {
        ASSERT_TRUE(c.contains("pTukey") && !c.contains("pHolm")) << c;
        if (c["factor"] == "group" && c["at"].is_null()) {
            ++given;
            EXPECT_NEAR(c["pTukey"].get<double>(), c["p"].get<double>(), 1e-12) << c;
        } else {
            EXPECT_TRUE(c["pTukey"].is_null()) << c;
        }
    }
    EXPECT_EQ(given, 1u);
    EXPECT_NE(tukey.out.find("Tukey within each factor's family. Tukey's HSD is given for a between factor's"),
              std::string::npos);
    for (const char* language : {"en", "ja"}) {
        const auto text = RunTool(kMixed + " --between group --adjust tukey --lang " + language);
        ASSERT_EQ(text.status, 0) << text.err;
        EXPECT_EQ(Count(text.out, "p (Tukey)"), 1u) << language;  // the comparisons (no contrasts with groups)
        EXPECT_EQ(Count(text.out, "Tukey–Kramer"), 1u) << language;
    }
}

// --effect-sizes adds the effect sizes chosen, and only those, to every
// effect: the JSON's keys, the summary's columns and the conventions, of a
// design and of a data file's study alike.
TEST(DesignTool, TheChosenEffectSizesInTheTablesAndTheJson) {
    const std::string mixed = kMixed + " --between group";
    const auto all = RunTool(mixed + " --effect-sizes all --format json");
    ASSERT_EQ(all.status, 0) << all.err;
    const Json j = Json::parse(all.out);
    ASSERT_EQ(j["effects"].size(), 3u);
    double eta2 = 0;
    for (const auto& [key, e] : j["effects"].items()) {
        const double partial = e["partialEtaSquared"].get<double>(), f = e["cohensF"].get<double>();
        EXPECT_NEAR(f, std::sqrt(partial / (1 - partial)), 1e-12) << key;
        // Each effect's eta squared at most its partial one; omega squared below eta squared's partial.
        EXPECT_LE(e["etaSquared"].get<double>(), partial) << key;
        EXPECT_LT(e["partialOmegaSquared"].get<double>(), partial) << key;
        eta2 += e["etaSquared"].get<double>();
    }
    EXPECT_LT(eta2, 1);  // the effects' shares of the total leave the errors' out
    // Generalized omega squared below generalized eta squared; the power
    // programs' f, below the analysis' f where the measures correlate
    // positively, for the effects of the within factor alone.
    for (const auto& [key, e] : j["effects"].items())
        EXPECT_LT(e["generalizedOmegaSquared"].get<double>(), e["generalizedEtaSquared"].get<double>()) << key;
    EXPECT_TRUE(j["effects"]["group"]["cohensFPowerPrograms"].is_null());
    for (const char* key : {"time", "group:time"}) {
        const Json& e = j["effects"][key];
        const double rho = e["measuresCorrelation"].get<double>();
        EXPECT_GT(rho, 0) << key;
        EXPECT_LT(e["cohensFPowerPrograms"].get<double>(), e["cohensF"].get<double>()) << key;
    }
    for (const char* key : {"\"etaSquared\":", "\"partialOmegaSquared\":", "\"cohensF\":"})
        EXPECT_NE(all.out.find(key), std::string::npos) << key;
    const auto defaults = RunTool(mixed + " --format json");
    ASSERT_EQ(defaults.status, 0) << defaults.err;
    for (const char* key : {"etaSquared\"", "OmegaSquared", "cohensF"})
        EXPECT_EQ(defaults.out.find(key), std::string::npos) << key;
    const auto one = RunTool(mixed + " --effect-sizes omega2 --format json");
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_TRUE(Json::parse(one.out)["effects"]["time"].contains("partialOmegaSquared"));
    EXPECT_EQ(one.out.find("cohensF"), std::string::npos);
    const std::pair<const char*, std::vector<const char*>> headings[] = {
        {"en", {"eta^2", "partial omega^2", "Cohen's f", "Eta squared: the effect's", "Partial omega squared:",
                "Cohen's f: from partial eta squared"}},
        {"ja", {"η²", "偏 ω²", "Cohen の f", "η²: 効果の平方和", "偏 ω²: Olejnik", "Cohen の f: 偏 η²"}},
        {"en", {"generalized omega^2", "f (power programs)", "Generalized omega squared:", "f (power programs):"}},
        {"ja", {"一般化 ω²", "f (検定力ソフト)", "一般化 ω²: Olejnik", "検定力ソフトの f:"}}};
    for (const std::string& study : {mixed, "anova " + kExamples + "/worked-example.dat"})
        for (const auto& [language, texts] : headings) {
            const bool more = std::string(texts[0]).find("omega^2") != std::string::npos ||
                              std::string(texts[0]).find("ω²") != std::string::npos;
            const auto text = RunTool(study + " --effect-sizes " + (more ? "gomega2,fconv" : "eta2,omega2,f") +
                                      " --lang " + language);
            ASSERT_EQ(text.status, 0) << text.err;
            for (const char* t : texts) EXPECT_NE(text.out.find(t), std::string::npos) << study << " " << t;
            const auto plain = RunTool(study + " --lang " + language);
            EXPECT_EQ(plain.out.find(texts[1]), std::string::npos) << study;
        }
}

TEST(DesignTool, TheDesignsOptionsAndTheirRefusals) {
    TempDir dir;
    const std::pair<std::string, std::string> usage[] = {
        {"anova x.csv --id s --dv y",
         "a long CSV needs --id, --dv and --within or --between; missing: --within or --between"},
        {"anova x.csv --dv y --between g", "a long CSV needs --id, --dv and --within or --between; missing: --id"},
        {"anova x.dat --between g", "--between is for a long CSV, read with --id, --dv and --within"},
        {"anova x.dat --decimal-comma",
         "--decimal-comma is for a long CSV, read with --id, --dv and --within"},
        {"anova x.csv --id s --dv y --within A --format pdf", "unknown format pdf"},
        {"anova x.csv --id s --dv y --within A --type 1", "--type is 3 or 2"},
        {"anova x.csv --id s --dv y --within A --between g --observed G",
         "--observed names G, which is no factor"},
        {"anova x.csv --id s --dv y --within A, --between g", "--within names a column with an empty name"},
        {"anova x.csv --id s --dv y --within A --separator :", "--separator is one of"},
        {"anova x.csv --id s --dv y --within A --adjust holm,scheffe",
         "unknown adjustment \"scheffe\": --adjust names"},
        {"anova x.dat --adjust holm,",
         "unknown adjustment \"\": --adjust names one or more of holm, bonferroni"},
        {"anova x.csv --id s --dv y --within A --effect-sizes eta2,cohen",
         "unknown effect size \"cohen\": --effect-sizes names one or more of eta2, omega2, f"},
        {"anova x.dat --alpha 1", "--alpha is a number between 0 and 1: 1"},
        {"anova x.dat --alpha 0", "--alpha is a number between 0 and 1: 0"},
        {"anova x.csv --id s --dv y --within A --alpha .05x", "--alpha is a number between 0 and 1: .05x"},
        {"anova x.dat --alpha -0.05", "--alpha is a number between 0 and 1: -0.05"},
        {"anova x.dat --alpha 0.05 --alpha 0.01", "--alpha is given twice"},
    };
    for (const auto& [arguments, message] : usage) {
        const auto r = RunTool(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_TRUE(r.err.starts_with("morvane: " + message)) << r.err;
        EXPECT_EQ(r.out, "");
    }
    // Semicolons and decimal commas as told; a score that is no number, with its place.
    WriteBytes(dir.File("eu.csv"),
               "id;g;t;y\r\n1;a;x;1,5\r\n1;a;z;2\r\n2;b;x;3,25\r\n2;b;z;3\r\n3;a;x;0,5\r\n"
               "3;a;z;1\r\n4;b;x;2\r\n4;b;z;4,5\r\n");
    const std::string eu = "anova " + dir.File("eu.csv") + " --id id --dv y --within t --between g";
    const auto told = RunTool(eu + " --separator ';' --decimal-comma --observed g --format json");
    ASSERT_EQ(told.status, 0) << told.err;
    EXPECT_EQ(Json::parse(told.out)["cellMeans"][0]["mean"], 1);
    EXPECT_EQ(Json::parse(told.out)["observed"], Json::parse(R"(["g"])"));
    WriteBytes(dir.File("bad.csv"), "id,t,y\n1,x,1\n1,z,2\n2,x,abc\n2,z,3\n");
    const auto bad = RunTool("anova " + dir.File("bad.csv") + " --id id --dv y --within t");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("abc"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("4"), std::string::npos) << bad.err;  // its line
    EXPECT_EQ(bad.out, "");
    const auto missing = RunTool("anova " + dir.File("bad.csv") + " --id id --dv score --within t");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("score"), std::string::npos) << missing.err;
    // Never written over its own input.
    const auto same = RunTool("anova " + dir.File("eu.csv") + " --id id --dv y --within t --separator ';' " +
                              dir.File("eu.csv"));
    EXPECT_EQ(same.status, 1);
    EXPECT_EQ(same.err, "morvane: 出力ファイルが入力ファイルと同じです\n");
    EXPECT_TRUE(ReadBytes(dir.File("eu.csv")).starts_with("id;g;t;y"));
}


// --alpha: the level the robustness table decides at, stated in its title,
// its notes and the JSON's conventions, of a design and of a data file's study
// (keyed as its effects are), and in the HTML document.

TEST(DesignTool, TheAlphaOfTheRobustnessTable) {
    const std::string mixed = kMixed + " --between group";
    const auto at01 = RunTool(mixed + " --alpha 0.01 --format json");
    ASSERT_EQ(at01.status, 0) << at01.err;
    const Json j = Json::parse(at01.out);
    EXPECT_DOUBLE_EQ(j["conventions"]["alpha"].get<double>(), 0.01);
    ASSERT_EQ(j["robustness"].size(), j["effects"].size());
    EXPECT_TRUE(j["robustness"]["group"]["greenhouseGeisser"].is_null());
    EXPECT_EQ(Json::parse(RunTool(mixed + " --format json").out)["conventions"]["alpha"], 0.05);
    for (const auto& [language, title] : {std::pair<std::string, std::string>{"en", "Robustness of the decisions at "
                                                                                    "α = .01"},
                                          {"ja", "α = .01 での判定の頑健性"}}) {
        const auto text = RunTool(mixed + " --alpha .01 --lang " + language);
        ASSERT_EQ(text.status, 0) << text.err;
        EXPECT_NE(text.out.find(title), std::string::npos) << language;
        EXPECT_NE(text.out.find("p < α = .01"), std::string::npos) << language;
    }
    const std::string study = "anova " + kExamples + "/worked-example.dat";
    const auto s = RunTool(study + " --alpha 0.2 --format json");
    ASSERT_EQ(s.status, 0) << s.err;
    const Json k = Json::parse(s.out);
    std::vector<std::string> keys;
    for (const auto& [key, value] : k["robustness"].items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"A", "AB", "B"}));  // the parser's order
    EXPECT_EQ(k["robustness"]["A"]["rankTest"], "alignedRankTransform");
    const auto html = RunTool(study + " --alpha 0.2 --format html");
    EXPECT_NE(html.out.find("Robustness of the decisions at α = .2</i>"), std::string::npos) << html.out;
}

}  // namespace
}  // namespace morvane

namespace morvane {
namespace {

// A title with commas above the header: found without --header-line, named by
// it, and the same figures as the file without its title; a line that holds no
// header refused with its number; import --long reads below the line given.
TEST(DesignTool, TheHeaderBelowATitleFoundOrNamedByItsLine) {
    TempDir dir;
    const std::string body = ReadBytes(kExamples + "/mixed-design.csv");
    const std::string titled = dir.File("titled.csv");
    WriteBytes(titled, "Study 1: anxiety, three times, 2025\n\n" + body);
    const std::string roles = " --id subject --dv score --within time --between group --format json";
    const auto plain = RunTool("anova " + kExamples + "/mixed-design.csv" + roles);
    ASSERT_EQ(plain.status, 0) << plain.err;
    const auto figures = [](const std::string& json) { return Json::parse(json)["effects"]; };
    for (const std::string& line : {std::string(), std::string(" --header-line 3")}) {
        const auto r = RunTool("anova " + titled + roles + line);
        ASSERT_EQ(r.status, 0) << line << ": " << r.err;
        EXPECT_EQ(figures(r.out), figures(plain.out)) << line;
    }
    for (const char* line : {"1", "2"}) {
        const auto r = RunTool("anova " + titled + roles + " --header-line " + line);
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(r.err.rfind(std::string("morvane: ") + line + " 行: ", 0), 0u) << r.err;
    }
    EXPECT_NE(RunTool("anova " + titled + roles + " --header-line 0").status, 0);
    EXPECT_NE(RunTool("anova " + titled + roles + " --header-line x").status, 0);

    // The data file's long CSV under a title: imported from the line given.
    const std::string study = dir.File("study.dat");
    ASSERT_EQ(RunTool("export " + kExamples + "/worked-example.dat " + dir.File("long.csv")).status, 0);
    WriteBytes(dir.File("long-titled.csv"), "Worked example, exported\n" + ReadBytes(dir.File("long.csv")));
    const auto imported = RunTool("import " + dir.File("long-titled.csv") + " " + study + " --header-line 2");
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(RunTool("report " + study).out, RunTool("report " + kExamples + "/worked-example.dat").out);
}

}  // namespace
}  // namespace morvane
