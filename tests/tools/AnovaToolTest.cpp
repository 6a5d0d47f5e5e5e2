// morvane anova end to end, and the notice of `morvane report` on a results
// file whose summary table is not exact.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <regex>
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

const std::string kExamples = MORVANE_EXAMPLES;

// What `command` writes on its standard output.
std::string Output(const std::string& command) {
    std::string out;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char block[4096];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, pipe)) > 0;) out.append(block, got);
    ::pclose(pipe);
    return out;
}

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
    EXPECT_NE(csv.out.find("Source,SS,df,MS,MSE,F,p,df1 (GG),df2 (GG),p (GG),"), std::string::npos);
    EXPECT_NE(csv.out.find("\nA,432,1,432,10.761904761904762,40.14159292035398"), std::string::npos);
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
    // Every place that writes the level writes it one way: a level below the
    // range of a double is a string of its digits everywhere, and said so.
    for (const char* level : {"0.95", "4.9e-324"}) {
        const Json j = Json::parse(RunTool("anova " + study + " --ci-level=" + level + " --format json").out);
        std::vector<Json> written{j["conventions"]["effectSizeLevel"]};
        for (const char* effect : {"A", "B", "AB"})
            for (const char* interval : {"partialEtaSquaredCI", "partialEtaSquaredCIGG"})
                written.push_back(j["effects"][effect][interval]["level"]);
        for (const Json& c : j["comparisons"]) written.push_back(c["dzCI"]["level"]);
        for (const Json& s : j["simpleEffects"]) written.push_back(s["partialEtaSquaredCI"]["level"]);
        for (const Json& w : written) EXPECT_EQ(w.type(), written.front().type()) << level << " " << w;
        EXPECT_EQ(written.front().is_string(), std::string(level) != "0.95");
        EXPECT_EQ(j.value("numbersOutsideDoubleRange", false), std::string(level) != "0.95");
    }
    for (const char* arguments : {"anova", "anova x --format", "anova x --format yaml", "anova x y z",
                                  "anova x --ci-level 1", "anova x --ci-level 0", "anova x --ci-level .9x"}) {
        const auto usage = RunTool(arguments);
        EXPECT_EQ(usage.status, 2) << arguments;
        EXPECT_NE(usage.err.find("usage: morvane"), std::string::npos) << arguments;
    }
}

TEST(AnovaTool, PaperOutputsTheirCorrectionLanguageAndProvenance) {
    const std::string study = kExamples + "/eight-subjects-2x3.dat";
    const auto line = [](const std::string& text, const std::string& start) {
        const std::size_t at = text.find("\n" + start);
        return at == std::string::npos ? std::string("(none)")
                                       : text.substr(at + 1, text.find('\n', at + 1) - at - 1);
    };
    // The correction changes the df and p of the effects of more than one degree of freedom only.
    const struct {
        const char* option;
        const char *b, *ab, *column;
    } corrections[] = {
        {"", "B: F(1.14, 7.95) = 29.22, p < .001, ηp² = .81", "A × B: F(1.23, 8.63) = 17.11, p = .002",
         "df1 (GG)"},
        {" --correction gg", "B: F(1.14, 7.95) = 29.22, p < .001", "A × B: F(1.23, 8.63) = 17.11, p = .002",
         "df1 (GG)"},
        {" --correction hf", "B: F(1.21, 8.46) = 29.22, p < .001", "A × B: F(1.36, 9.54) = 17.11, p = .001",
         "df1 (HF)"},
        {" --correction none", "B: F(2, 14) = 29.22, p < .001", "A × B: F(2, 14) = 17.11, p < .001",
         "p  partial"},
    };
    for (const auto& c : corrections) {
        SCOPED_TRACE(c.option);
        const auto apa = RunTool("anova " + study + " --format apa" + c.option);
        ASSERT_EQ(apa.status, 0) << apa.err;
        EXPECT_TRUE(line(apa.out, "B: ").starts_with(c.b)) << apa.out;
        EXPECT_TRUE(line(apa.out, "A × B: ").starts_with(c.ab)) << apa.out;
        EXPECT_TRUE(line(apa.out, "A: ").starts_with("A: F(1, 7) = 40.14, p < .001, ηp² = .85")) << apa.out;
        const auto text = RunTool("anova " + study + c.option);
        EXPECT_NE(line(text.out, "Source ").find(c.column), std::string::npos) << text.out;
    }
    // Japanese on request, in every text format.
    const auto ja = RunTool("anova " + study + " --lang ja --format markdown");
    ASSERT_EQ(ja.status, 0) << ja.err;
    EXPECT_NE(ja.out.find("| 変動因 | 平方和 | 自由度 | 平均平方 | MSE | F 値 | p 値 |"), std::string::npos)
        << ja.out;
    EXPECT_NE(ja.out.find("## 計算の約束事と出所"), std::string::npos);
    const auto jaApa = RunTool("anova " + study + " --format apa --lang ja");
    EXPECT_TRUE(jaApa.out.starts_with("表 1\n")) << jaApa.out;
    const auto html = RunTool("anova " + study + " --format html --lang en");
    EXPECT_TRUE(html.out.starts_with("<!DOCTYPE html>")) << html.out;
    // The APA table, then the robustness table after the sentences.
    EXPECT_LT(html.out.find("<table"), html.out.find("Robustness of the decisions"));
    EXPECT_GT(html.out.rfind("<table"), html.out.find("Robustness of the decisions"));

    // The provenance: the version of --version and the SHA-256 of the file's bytes; none from a pipe.
    const std::string sum = Output("sha256sum " + study).substr(0, 64);
    const auto version = RunTool("--version");
    const Json j = Json::parse(RunTool("anova " + study + " --format json").out);
    EXPECT_EQ(j["provenance"]["dataSha256"], sum);
    EXPECT_EQ("morvane " + j["provenance"]["version"].get<std::string>() + "\n", version.out);
    EXPECT_TRUE(j["conventions"]["mauchly"].get<std::string>().find("pAsR") != std::string::npos);
    EXPECT_EQ(j["conventions"]["effectSizeLevel"], 0.9);
    EXPECT_TRUE(
        Json::parse(RunTool("anova - --format json <" + study).out)["provenance"]["dataSha256"].is_null());
    const auto text = RunTool("anova " + study);
    EXPECT_NE(text.out.find("\n- Data file SHA-256: " + sum + "\n"), std::string::npos);

    for (const char* arguments : {"--correction", "--correction GG", "--lang fr", "--lang"}) {
        const auto usage = RunTool("anova " + study + " " + arguments);
        EXPECT_EQ(usage.status, 2) << arguments;
        EXPECT_NE(usage.err.find("--correction none|gg|hf"), std::string::npos) << arguments;
    }
}

TEST(AnovaTool, TheHtmlTableOpensInAWordProcessorAsATable) {
    if (Output("command -v soffice").empty())
        GTEST_SKIP() << "no LibreOffice Writer (scripts/setup installs it)";
    TempDir dir;
    ASSERT_EQ(
        RunTool("anova " + kExamples + "/eight-subjects-2x3.dat --format html " + dir.File("t.html")).status,
        0);
    // Writer's own HTML import, then Word's format, as a paste into a document would keep it.
    const std::string convert = "cd " + dir.Path().string() + " && HOME=" + dir.Path().string() +
                                " soffice --headless --infilter='HTML (StarWriter)' --convert-to "
                                "'docx:MS Word 2007 XML' t.html >/dev/null 2>&1";
    ASSERT_EQ(std::system(convert.c_str()), 0);
    const std::string xml = Output("python3 -c \"import zipfile,sys; sys.stdout.write(zipfile.ZipFile('" +
                                   dir.File("t.docx") + "').read('word/document.xml').decode())\"");
    ASSERT_FALSE(xml.empty());
    const auto count = [&](const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = xml.find(what); at != std::string::npos; at = xml.find(what, at + 1)) ++n;
        return n;
    };
    // The APA table of 4 rows of 9 cells, then the robustness table's 4 rows of 8 and the planning's of 13.
    EXPECT_EQ(count("<w:tbl>"), 3u);
    EXPECT_EQ(count("<w:tc>"), 4u * 9u + 4u * 8u + 4u * 13u);
    // The cells' texts, in order.
    std::vector<std::string> cells;
    const std::regex cell(R"(<w:tc>([\s\S]*?)</w:tc>)"), text(R"(<w:t(?: [^>]*)?>([^<]*)</w:t>)");
    for (std::sregex_iterator c(xml.begin(), xml.end(), cell), end; c != end; ++c) {
        const std::string inner = (*c)[1];
        std::string joined;
        for (std::sregex_iterator t(inner.begin(), inner.end(), text); t != end; ++t) joined += (*t)[1];
        cells.push_back(joined);
    }
    ASSERT_EQ(cells.size(), 120u);
    EXPECT_EQ(std::vector<std::string>(cells.begin() + 18, cells.begin() + 24),
              (std::vector<std::string>{"B", "1.14", "7.95", "29.22", "11.50", "&lt; .001"}));
    EXPECT_EQ(cells[3], "F");
    // Rules above and below only: no cell has a border at its side.
    EXPECT_GT(count("<w:top w:val=\"single\""), 0u);
    EXPECT_EQ(count("<w:left w:val=\"single\"") + count("<w:right w:val=\"single\""), 0u);
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
