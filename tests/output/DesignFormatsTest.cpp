// Any design's analysis in every format and language: what is said once at
// the top, the summary's error strata and correction, undefined figures, the
// JSON's keys, and the Japanese labels.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "output/AnalysisTables.h"
#include "output/AnovaFormats.h"

namespace morvane {
namespace {

using Json = nlohmann::json;

// How often `part` occurs in `text`.
std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

PartitionSource Source(Extended ss, std::int64_t df) {
    return {ss, df, df > 0 ? std::optional<Extended>(ss / static_cast<Extended>(df)) : std::nullopt, ss == 0};
}

Correction Corrected(Extended epsilon, Extended df1, Extended df2, Extended p) {
    return {epsilon, df1, df2, p};
}

MultivariateStatistic Statistic(Extended value, Extended f, Extended df1, Extended df2, Extended p) {
    return {value, f, p, df1, df2};
}

constexpr std::int32_t O = anova::kOver;

// A mixed design by hand: group (control, patient) between, A (a1, a2, a3)
// within; 23 of 25 subjects, two removed; the interaction's F undefined.
anova::Analysis Mixed() {
    anova::Analysis r;
    r.between = {{"group", {"control", "patient"}}};
    r.within = {{"A", {"a1", "a2", "a3"}}};
    r.subjects = 23, r.subjectsRead = 25;
    r.removed = {"s04", "s17"};
    r.averagedCells = 4, r.averagedRows = 9;
    r.groupSizes = {12, 11};
    r.typesAgree = true;

    anova::Effect group;
    group.between = {0}, group.name = "group", group.key = "group", group.stratum = 0;
    group.effect = Source(12.5L, 1), group.error = Source(84, 21);
    group.f = 3.125L, group.p = 0.0916L, group.partialEtaSquared = 0.1295L,
    group.generalizedEtaSquared = 0.07L;
    group.partialEtaSquaredCI = LevelInterval{0.9L, 0, 0.35L};

    anova::Effect a;
    a.within = {0}, a.name = "A", a.key = "A", a.stratum = 1;
    a.effect = Source(30, 2), a.error = Source(42, 42);
    a.f = 15, a.p = 1.1e-5L, a.partialEtaSquared = 0.4167L, a.generalizedEtaSquared = 0.2L;
    Sphericity s;
    s.contrasts = 2, s.mauchlyW = 0.81L, s.chiSquare = 4.2L, s.df = 2, s.p = 0.122L, s.pAsR = 0.122L;
    s.greenhouseGeisser = Corrected(0.84L, 1.68L, 35.28L, 4.6e-5L);
    s.huynhFeldt = Corrected(1.0312L, 2, 42, 1.1e-5L);
    s.lowerBound = Corrected(0.5L, 1, 21, 8.7e-4L);
    a.sphericity = s;
    MultivariateTest m;
    m.status = MultivariateStatus::Tested, m.variables = 2, m.hypothesisDf = 1, m.errorDf = 21;
    m.pillai = Statistic(0.55L, 12.2L, 2, 20, 3.4e-4L);
    m.wilks = Statistic(0.45L, 12.2L, 2, 20, 3.4e-4L);
    m.hotellingLawley = Statistic(1.22L, 12.2L, 2, 20, 3.4e-4L);
    m.roy = Statistic(1.22L, 12.2L, 2, 20, 3.4e-4L);
    a.multivariate = m;

    anova::Effect ga = a;
    ga.between = {0}, ga.name = "group × A", ga.key = "group:A";
    ga.effect = Source(0, 2), ga.f = std::nullopt, ga.p = std::nullopt;
    ga.multivariate->status = MultivariateStatus::Singular;
    r.effects = {group, a, ga};
    r.strata.resize(2);
    r.strata[0].name = r.strata[0].key = "S", r.strata[0].error = group.error;
    r.strata[0].residuals = 23, r.strata[0].normality = {23, true, 0.97L, 0.66L};
    r.strata[1].within = {0}, r.strata[1].name = "A × S", r.strata[1].key = "A:S", r.strata[1].error = a.error;

    anova::Mean cell;
    cell.at = {1, 2}, cell.n = 11, cell.mean = 7.25L, cell.sd = 1.5L, cell.se = 0.45L;
    cell.ci95 = Interval{6.24L, 8.26L};
    r.cellMeans = {cell};
    anova::Mean level;
    level.at = {O, 0}, level.n = 23, level.mean = 5.5L;
    r.marginalMeans = {{}, {level}};
    anova::Comparison c;
    c.factor = 1, c.at = {O, O}, c.i = 0, c.j = 2, c.difference = -1.75L, c.df = 21, c.se = 0.4L,
    c.t = -4.375L, c.p = 2.6e-4L;
    c.pHolm = 7.8e-4L, c.pBonferroni = 7.8e-4L, c.d = -0.91L;
    r.comparisons = {c};
    anova::SimpleEffect se;
    se.factor = 1, se.at = {1, O}, se.ss = 20, se.errorSs = 22, se.df1 = 2, se.df2 = 20;
    se.f = 9.09L, se.p = 0.0016L;
    r.simpleEffects = {se};
    r.shown.compared = r.shown.comparedAtLevels = {true, true};
    r.levene = {{{O, 2}, false, 1, 21, 0.8L, 0.38L}, {{O, 2}, true, 1, 21, 0.6L, 0.45L}};
    r.rankBased.omitted = "they are defined for designs without between factors.";
    return r;
}

// The first field of each line of a CSV table, from its title to the blank line after it.
std::vector<std::string> FirstColumn(const std::string& csv, const std::string& title) {
    std::istringstream in(csv.substr(csv.find(title + "\n")));
    std::vector<std::string> fields;
    for (std::string line; std::getline(in, line) && !line.empty();)
        fields.push_back(line.substr(0, line.find(',')));
    return fields;
}

TEST(DesignFormats, EveryFormatSaysTheDesignOnceAtTheTopAndLaysOutEachStratum) {
    const anova::Analysis r = Mixed();
    OutputOptions options;
    options.provenance = {"9.9", std::string(64, 'a'), std::nullopt};
    const std::string removed = "N = 23 of 25 subjects; removed for a missing score: s04, s17";
    for (AnovaFormat format : {AnovaFormat::Text, AnovaFormat::Markdown, AnovaFormat::Csv}) {
        for (OutputLanguage language : {OutputLanguage::English, OutputLanguage::Japanese}) {
            options.language = language;
            const std::string out = FormatAnalysis(r, format, options);
            const bool ja = language == OutputLanguage::Japanese;
            SCOPED_TRACE(out.substr(0, 300));
            // Each note once, before the first table.
            const std::size_t firstTable = out.find(ja ? "分散分析表" : "Analysis of variance\n");
            ASSERT_NE(firstTable, std::string::npos);
            const std::string note =
                ja ? "N = 23 (被験者 25 人のうち); 得点が欠けているため除いた被験者: s04, s17" : removed;
            EXPECT_EQ(Count(out, note), 1u);
            EXPECT_LT(out.find(note), firstTable);
            EXPECT_EQ(Count(out, ja ? "4 個のセルの得点は、9 行を平均したものです。"
                                    : "4 cells were averaged from 9 rows."),
                      1u);
            EXPECT_EQ(Count(out, std::string(64, 'a')), 1u);
            EXPECT_LT(out.find(std::string(64, 'a')), firstTable);
            EXPECT_EQ(Count(out, ja ? "types II" : "types II and III agree for this design"), ja ? 0u : 1u);
            // Japanese throughout: no English title of a table.
            for (const char* title :
                 {"Cell means\n", "Multivariate tests\n", "Simple effects\n", "Estimated marginal means\n"})
                EXPECT_EQ(Count(out, title), ja ? 0u : 1u) << title;
        }
    }

    // The summary's rows: the between effect with the subjects within groups,
    // then the within effect and its interaction with their stratum; the
    // correction asked for alone; an undefined F empty.
    options.language = OutputLanguage::English;
    options.correction = DfCorrection::HuynhFeldt;
    const std::string csv = FormatAnalysis(r, AnovaFormat::Csv, options);
    EXPECT_EQ(FirstColumn(csv, "Analysis of variance"),
              (std::vector<std::string>{"Analysis of variance", "Source", "group", "S", "A", "group × A",
                                        "A × S"}));
    const std::string header =
        csv.substr(csv.find("Source,"), csv.find('\n', csv.find("Source,")) - csv.find("Source,"));
    EXPECT_NE(header.find("p (HF)"), std::string::npos);
    EXPECT_EQ(header.find("p (GG)"), std::string::npos);
    // Source, SS, df, MS, then the MSE of its stratum and the undefined F and p.
    EXPECT_TRUE(std::regex_search(csv, std::regex("\ngroup × A,0,2,0,[0-9.]+,,,"))) << csv;
    const std::string text = FormatAnalysis(r, AnovaFormat::Text, options);
    EXPECT_NE(text.find("group × A  "), std::string::npos);
    EXPECT_NE(text.find("—"), std::string::npos);
    // The interaction's multivariate test is undefined, and says why.
    EXPECT_NE(text.find("group × A: undefined: the pooled error of its 2 contrasts has no inverse"),
              std::string::npos);
    EXPECT_EQ(Count(text, "Roy's largest root"), 1u);
    EXPECT_NE(text.find("A = a3"), std::string::npos);  // Levene's cell
    EXPECT_NE(text.find("median (Brown–Forsythe)"), std::string::npos);
    // The APA table: its row of the interaction, undefined where the analysis is.
    const std::string apa = FormatAnalysis(r, AnovaFormat::Apa, options);
    EXPECT_NE(apa.find("Note. N = 23 of 25 subjects; removed for a missing score: s04, s17"),
              std::string::npos)
        << apa;
    EXPECT_NE(apa.find("group × A: F("), std::string::npos) << apa;
}

TEST(DesignFormats, JsonKeysEffectsByTheirFactorsAndNamesLevelsByName) {
    OutputOptions options;
    options.language = OutputLanguage::Japanese;  // JSON is English whatever is asked
    options.provenance = {"9.9", std::string(64, 'b'), std::nullopt};
    const Json j = Json::parse(FormatAnalysis(Mixed(), AnovaFormat::Json, options));
    EXPECT_EQ(j["subjects"], 23);
    EXPECT_EQ(j["subjectsRead"], 25);
    EXPECT_EQ(j["subjectsRemoved"], Json::parse(R"(["s04","s17"])"));
    EXPECT_EQ(j["sumsOfSquaresType"], 3);
    EXPECT_EQ(j["between"][0]["levels"], Json::parse(R"(["control","patient"])"));
    EXPECT_EQ(j["within"][0]["name"], "A");
    const Json& e = j["effects"];
    EXPECT_EQ(e["group"]["errorDf"], 21);
    EXPECT_DOUBLE_EQ(e["A"]["MS"].get<double>(), 15);
    EXPECT_DOUBLE_EQ(e["A"]["sphericity"]["huynhFeldt"]["epsilon"].get<double>(), 1.0312);
    EXPECT_EQ(e["A"]["sphericity"]["huynhFeldt"]["df"], Json::parse("[2,42]"));
    EXPECT_DOUBLE_EQ(e["A"]["sphericity"]["pAsR"].get<double>(), 0.122);
    EXPECT_TRUE(e["group:A"]["F"].is_null());
    EXPECT_TRUE(e["group"]["sphericity"].is_null());
    EXPECT_DOUBLE_EQ(e["group"]["partialEtaSquaredCI"]["upper"].get<double>(), 0.35);
    const Json& m = j["multivariate"];
    EXPECT_FALSE(m.contains("group"));
    EXPECT_DOUBLE_EQ(m["A"]["wilks"]["value"].get<double>(), 0.45);
    EXPECT_DOUBLE_EQ(m["A"]["roy"]["df2"].get<double>(), 20);
    EXPECT_EQ(m["group:A"]["status"], "singular");
    EXPECT_FALSE(m["group:A"].contains("pillai"));
    EXPECT_EQ(j["cellMeans"][0]["levels"], Json::parse(R"({"group":"patient","A":"a3"})"));
    EXPECT_EQ(j["marginalMeans"]["A"][0]["levels"], Json::parse(R"({"A":"a1"})"));
    EXPECT_EQ(j["marginalMeans"]["group"], Json::array());
    EXPECT_EQ(j["comparisons"][0]["levels"], Json::parse(R"(["a1","a3"])"));
    EXPECT_EQ(j["simpleEffects"][0]["at"], Json::parse(R"({"group":"patient"})"));
    EXPECT_EQ(j["levene"][1]["centre"], "median");
    EXPECT_EQ(j["levene"][1]["cell"], Json::parse(R"({"A":"a3"})"));
    EXPECT_EQ(j["provenance"]["dataSha256"], std::string(64, 'b'));
    EXPECT_TRUE(
        j["conventions"]["sumsOfSquares"].get<std::string>().starts_with("Sums of squares: type III"));
    EXPECT_FALSE(j["numbersOutsideDoubleRange"]);
}

// A design without between factors, A (a1, a2, a3) x B (b1, b2), with its
// rank-based tests by hand (their figures are the engine's to test).
anova::Analysis WithinOnly() {
    anova::Analysis r;
    r.within = {{"A", {"a1", "a2", "a3"}}, {"B", {"b1", "b2"}}};
    r.subjects = r.subjectsRead = 10;
    r.groupSizes = {10};
    r.strata.resize(1);
    r.strata[0].name = r.strata[0].key = "S";
    r.shown.compared = r.shown.comparedAtLevels = {true, true};
    FriedmanTest f;
    f.levels = 3, f.chiSquare = 6.2L, f.df = 2, f.p = 0.045L, f.kendallW = 0.31L;
    f.imanDavenportF = 4.04L, f.df1 = 2, f.df2 = 18, f.imanDavenportP = 0.0355L, f.tieCorrection = 1;
    FriedmanTest b = f, cells = f;
    b.levels = 2, b.chiSquare = 0.4L, b.df = 1, b.p = 0.527L;
    cells.levels = 6, cells.chiSquare = 17.25L, cells.df = 5, cells.p = 0.00405L;
    r.rankBased.friedman = {{0, false, f}, {1, false, b}, {0, true, cells}};
    AlignedRankEffect e{1200, 2400, 2, 18, 4.5L, 0.0259L, 0};
    AlignedRankEffect ab{300.5L, 2900, 2, 18, 0.9326L, 0.4117L, 1e-19L};
    r.rankBased.alignedRanks = {{{0}, "A", "A", e}, {{1}, "B", "B", e}, {{0, 1}, "A × B", "A:B", ab}};
    AlignedRankContrast c{1, 3, -9.5L, 3.65L, -2.6L, 0.018L, 0.054L, 0.054L, 18};
    r.rankBased.contrasts = {{0, c}, {1, {1, 2, 4.25L, 2.1L, 2.02L, 0.058L, 0.058L, 0.058L, 9}}};
    r.rankBased.exactAlignment = true;
    return r;
}

// The rank-based tests reach every format and the window's tables where they
// are defined; a design with between factors keeps its note alone.
TEST(DesignFormats, RankBasedTestsWithoutBetweenFactorsOnly) {
    OutputOptions options;
    const anova::Analysis within = WithinOnly();
    for (OutputLanguage language : {OutputLanguage::English, OutputLanguage::Japanese}) {
        options.language = language;
        const bool ja = language == OutputLanguage::Japanese;
        for (AnovaFormat format : {AnovaFormat::Text, AnovaFormat::Markdown, AnovaFormat::Csv}) {
            const std::string out = FormatAnalysis(within, format, options);
            SCOPED_TRACE(out);
            for (const char* part : {"Friedman", "Iman-Davenport", "ART-C"}) EXPECT_GE(Count(out, part), 1u);
            EXPECT_EQ(Count(out, ja ? "A (B で平均)" : "A (means over B)"), 1u);
            EXPECT_EQ(Count(out, ja ? "A × B のセル" : "A × B cells"), 1u);
            EXPECT_GE(Count(out, ja ? "整列順位変換 (ART)" : "Aligned rank transform"), 1u);
            EXPECT_NE(out.find(ja ? "平均順位の差" : "Difference (mean ranks)"), std::string::npos);
            EXPECT_NE(out.find("a3"), std::string::npos);
            const std::string mixed = FormatAnalysis(Mixed(), format, options);
            EXPECT_EQ(Count(mixed, "Friedman"), 0u);
            EXPECT_EQ(Count(mixed, "ART"), 0u);
        }
    }
    std::vector<std::string> ids;
    for (const TableText& t : TableTexts(within, TableReader::Window, options)) ids.push_back(t.id);
    ASSERT_GE(ids.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(ids.end() - 3, ids.end()),
              (std::vector<std::string>{"Friedman", "AlignedRanks", "AlignedRankContrasts"}));
    for (const TableText& t : TableTexts(Mixed(), TableReader::Window, options))
        EXPECT_TRUE(t.id != "Friedman" && t.id != "AlignedRanks") << t.id;

    const Json j = Json::parse(FormatAnalysis(within, AnovaFormat::Json, options));
    const Json& k = j["rankBased"];
    EXPECT_DOUBLE_EQ(k["friedman"]["A"]["chiSquare"].get<double>(), 6.2);
    EXPECT_EQ(k["friedman"]["B"]["levels"], 2);
    EXPECT_DOUBLE_EQ(k["friedman"]["A:B"]["p"].get<double>(), 0.00405);
    EXPECT_EQ(k["friedman"]["A"]["imanDavenport"]["df"], Json::parse("[2,18]"));
    EXPECT_DOUBLE_EQ(k["alignedRankTransform"]["effects"]["A:B"]["F"].get<double>(), 0.9326);
    EXPECT_EQ(k["alignedRankTransform"]["effects"]["A"]["errorDf"], 18);
    const Json& contrasts = k["alignedRankTransform"]["contrasts"];
    ASSERT_EQ(contrasts.size(), 2u);
    EXPECT_EQ(contrasts[0]["factor"], "A");
    EXPECT_EQ(contrasts[0]["levels"], Json::parse(R"(["a1","a3"])"));
    EXPECT_EQ(contrasts[1]["levels"], Json::parse(R"(["b1","b2"])"));
    EXPECT_TRUE(k["alignedRankTransform"]["exactAlignment"]);
    EXPECT_TRUE(j["rankTestsOmitted"].is_null());
    const Json m = Json::parse(FormatAnalysis(Mixed(), AnovaFormat::Json, options));
    EXPECT_FALSE(m.contains("rankBased"));
    EXPECT_TRUE(m["rankTestsOmitted"].is_string());

    // A study too large to align keeps its Friedman tests and says why the rest is missing.
    anova::Analysis large = WithinOnly();
    large.rankBased.alignedRanks.clear();
    large.rankBased.contrasts.clear();
    large.rankBased.alignedOmitted = true;
    options.language = OutputLanguage::English;
    EXPECT_EQ(Count(FormatAnalysis(large, AnovaFormat::Text, options), "not computed for 16,777,216"),
              1u);
    const Json l = Json::parse(FormatAnalysis(large, AnovaFormat::Json, options));
    EXPECT_TRUE(l["rankBased"]["alignedRankTransform"]["omitted"]);
    EXPECT_FALSE(k["alignedRankTransform"].contains("omitted"));
}

// Box's M test reaches every format and the window's checks where a design
// has groups and within factors, with its reason where it is undefined; the
// chosen effect sizes beside generalized eta squared are columns, JSON keys
// and conventions; a design without groups has no Box's M at all.
TEST(DesignFormats, BoxsMAndTheChosenEffectSizesInEveryFormat) {
    anova::Analysis r = Mixed();
    BoxMTest box;
    box.variables = 3, box.groups = 2, box.m = 14.25L, box.chiSquare = 12.5L, box.dfChiSquare = 6;
    box.pChiSquare = 0.052L, box.f = 1.93L, box.df1 = 6, box.df2 = 3074.5L, box.pF = 0.072L;
    r.boxM = box;
    r.options.effectSizes.generalizedOmegaSquared = r.options.effectSizes.cohensFPowerPrograms = true;
    r.effects[1].generalizedOmegaSquared = 0.1875L, r.effects[1].cohensFPowerPrograms = 0.4375L;
    r.effects[1].measuresCorrelation = 0.625L;
    anova::Analysis undefined = r;
    undefined.boxM = BoxMTest{3, 2, BoxMUndefined::SmallGroup, {}, {}, {}, {}, {}, {}, {}, {}};
    OutputOptions options;
    for (OutputLanguage language : {OutputLanguage::English, OutputLanguage::Japanese}) {
        options.language = language;
        const bool ja = language == OutputLanguage::Japanese;
        for (AnovaFormat format : {AnovaFormat::Text, AnovaFormat::Markdown, AnovaFormat::Csv}) {
            const std::string out = FormatAnalysis(r, format, options);
            SCOPED_TRACE(out);
            EXPECT_EQ(Count(out, ja ? "群の共分散行列の等質性 (Box の M 検定)"
                                    : "Box's M test of the groups' covariance matrices"), 1u);
            for (const char* figure : {"14.25", "12.5", "3074.5", ".052", ".072", ".1875", ".4375", ".625"})
                EXPECT_NE(out.find(figure), std::string::npos) << figure;
            EXPECT_GE(Count(out, ja ? "一般化 ω²" : "generalized omega^2"), 1u);
            EXPECT_GE(Count(out, ja ? "f (検定力ソフト)" : "f (power programs)"), 1u);
            // The reason in the notes (CSV has the tables alone).
            const std::string none = FormatAnalysis(undefined, format, options);
            const std::size_t reason = Count(none, ja ? "被験者内セル数 + 1 (3 + 1) に満たない群"
                                                      : "fewer subjects than the within cells plus one (3 + 1)");
            EXPECT_EQ(reason, format == AnovaFormat::Csv ? 0u : 1u);
            EXPECT_EQ(Count(none, "14.25"), 0u);
            EXPECT_EQ(Count(FormatAnalysis(WithinOnly(), format, options), "Box"), 0u);
        }
    }
    std::vector<std::string> ids;
    for (const TableText& t : TableTexts(r, TableReader::Window, options)) ids.push_back(t.id);
    const auto levene = std::find(ids.begin(), ids.end(), "Levene");
    ASSERT_NE(levene, ids.end());
    EXPECT_EQ(*(levene + 1), "BoxM");

    const Json j = Json::parse(FormatAnalysis(r, AnovaFormat::Json, options));
    EXPECT_DOUBLE_EQ(j["boxM"]["M"].get<double>(), 14.25);
    EXPECT_DOUBLE_EQ(j["boxM"]["dfChiSquare"].get<double>(), 6);
    EXPECT_DOUBLE_EQ(j["boxM"]["df2"].get<double>(), 3074.5);
    EXPECT_DOUBLE_EQ(j["boxM"]["pF"].get<double>(), 0.072);
    EXPECT_TRUE(j["boxM"]["undefined"].is_null());
    EXPECT_DOUBLE_EQ(j["effects"]["A"]["generalizedOmegaSquared"].get<double>(), 0.1875);
    EXPECT_DOUBLE_EQ(j["effects"]["A"]["cohensFPowerPrograms"].get<double>(), 0.4375);
    EXPECT_DOUBLE_EQ(j["effects"]["A"]["measuresCorrelation"].get<double>(), 0.625);
    EXPECT_TRUE(j["effects"]["group"]["cohensFPowerPrograms"].is_null());
    EXPECT_TRUE(j["conventions"].contains("boxM") && j["conventions"].contains("generalizedOmegaSquared") &&
                j["conventions"].contains("cohensFPowerPrograms"));
    const Json u = Json::parse(FormatAnalysis(undefined, AnovaFormat::Json, options));
    EXPECT_EQ(u["boxM"]["undefined"], "groupSmallerThanCellsPlusOne");
    EXPECT_TRUE(u["boxM"]["M"].is_null() && u["boxM"]["pF"].is_null());
    const Json w = Json::parse(FormatAnalysis(WithinOnly(), AnovaFormat::Json, options));
    EXPECT_FALSE(w.contains("boxM"));
    EXPECT_FALSE(w["conventions"].contains("boxM"));
}

}  // namespace
}  // namespace morvane
