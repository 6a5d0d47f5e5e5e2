// The one description of the analysis' rows: a study's and a design's JSON,
// tables and APA table from the same walk, the study's keys and order as a
// mapping of the design's, the finiteness policy, and figures beyond a double.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "anova/AnalysisFields.h"
#include "output/AnalysisJson.h"
#include "output/AnalysisTables.h"
#include "output/ApaOutput.h"
#include "anova/StudyPrecision.h"
#include "design/StudyDesign.h"
#include "output/Conventions.h"
#include "runtime/Errors.h"

namespace morvane {
namespace {

using Json = nlohmann::ordered_json;

// A 2 x 3 study of six subjects, its levels named by their numbers, as the
// engine analyses it, with the precision check of its results file.
struct StudyAnalysis {
    anova::Analysis analysis;
    PrecisionCheck precision;
};

const StudyAnalysis& Study() {
    static const StudyAnalysis r = [] {
        const char* const scores[6][6] = {{"3", "5", "9", "4", "6", "11"}, {"2", "6", "7", "3", "8", "12"},
                                          {"4", "4", "8", "5", "7", "10"}, {"3", "7", "10", "6", "9", "13"},
                                          {"5", "5", "9", "4", "6", "14"}, {"1", "6", "8", "2", "7", "11"}};
        StudyStore store;
        StartNewStudy(store, {"1", "2"}, {"1", "2", "3"}, "6");
        for (int s = 1; s <= 6; ++s)
            for (int c = 0; c < 6; ++c) store.CellText.Set(s, c / 3 + 1, c % 3 + 1, scores[s - 1][c]);
        StudyAnalysis out{anova::Analyse(DesignFromStudy(store, '.')), {}};
        out.precision = anova::CheckStudyResultsFile(store, '.', out.analysis);
        return out;
    }();
    return r;
}

OutputOptions In(OutputLayout layout) {
    OutputOptions o;
    o.layout = layout;
    return o;
}

std::vector<std::string> Keys(const Json& object) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : object.items()) keys.push_back(key);
    return keys;
}

const TableText& Named(const std::vector<TableText>& tables, const std::string& id) {
    for (const TableText& t : tables)
        if (t.id == id) return t;
    throw std::out_of_range(id);
}

std::vector<std::string> Column(const TableText& t, const std::string& id) {
    std::vector<std::string> cells;
    for (std::size_t c = 0; c < t.columnIds.size(); ++c)
        if (t.columnIds[c] == id)
            for (const auto& row : t.rows) cells.push_back(row[c]);
    return cells;
}

TEST(OneDescription, TheStudysJsonIsAMappingOfTheDesignsKeys) {
    const anova::Analysis& a = Study().analysis;
    const Json study = Json::parse(AnalysisJson(a, In(OutputLayout::Study), &Study().precision));
    const Json design = Json::parse(AnalysisJson(a, In(OutputLayout::Design)));
    EXPECT_EQ(Keys(study),
              (std::vector<std::string>{"subjects", "fewerThanTwoSubjects", "levelsA", "levelsB", "effects",
                                        "cells", "marginalA", "marginalB", "comparisons", "simpleEffects",
                                        "precision", "conventions", "provenance", "multivariate",
                                        "assumptions", "rankBased", "robustness", "planning",
                                        "numbersOutsideDoubleRange"}));
    EXPECT_EQ(Keys(design), (std::vector<std::string>{"between",           "within",
                                                      "subjects",          "subjectsRead",
                                                      "subjectsRemoved",   "averaged",
                                                      "sumsOfSquaresType", "typesAgree",
                                                      "observed",          "conventions",
                                                      "provenance",        "effects",
                                                      "cellMeans",         "marginalMeans",
                                                      "comparisons",       "simpleEffects",
                                                      "multivariate",      "levene",
                                                      "normality",         "rankBased",
                                                      "rankTestsOmitted",  "robustness",
                                                      "planning",          "numbersOutsideDoubleRange"}));
    // The robustness keyed as the effects, each layout its own way; the same decisions.
    EXPECT_EQ(Keys(study["robustness"]), (std::vector<std::string>{"A", "B", "AB"}));
    EXPECT_EQ(study["robustness"]["AB"], design["robustness"]["A:B"]);
    EXPECT_EQ(study["planning"]["AB"], design["planning"]["A:B"]);
    EXPECT_EQ(Keys(study["effects"]),
              (std::vector<std::string>{"A", "B", "AB", "S", "AS", "BS", "ABS", "Total"}));
    EXPECT_EQ(Keys(design["effects"]), (std::vector<std::string>{"A", "B", "A:B"}));
    // One walk: every field of an effect under the same key in both, the same figures.
    EXPECT_EQ(study["effects"]["AB"], design["effects"]["A:B"]);
    EXPECT_EQ(Keys(study["effects"]["Total"]), (std::vector<std::string>{"SS", "df"}));

    // A mean: levels from 1 under the factor's letter, or by name with its subjects.
    EXPECT_EQ(study["cells"][4].dump().substr(0, 14), R"({"a":2,"b":2,")");
    EXPECT_EQ(design["cellMeans"][4]["levels"], Json::parse(R"({"A":"2","B":"2"})"));
    EXPECT_EQ(design["cellMeans"][4]["n"], 6);
    EXPECT_EQ(study["cells"][4]["mean"], design["cellMeans"][4]["mean"]);
    EXPECT_EQ(Keys(study["marginalA"][1]).front(), "a");  // the other factor's level left out
    EXPECT_EQ(Keys(design["marginalMeans"]), (std::vector<std::string>{"A", "B"}));

    // A comparison at a level of the other factor, and the study's d_z.
    const auto at = [](const Json& list) {
        for (const Json& c : list)
            if (!c["at"].is_null()) return c;
        return Json();
    };
    const Json s = at(study["comparisons"]), d = at(design["comparisons"]);
    EXPECT_EQ(s["at"], Json::parse(R"({"b":1})"));
    EXPECT_EQ(d["at"], Json::parse(R"({"B":"1"})"));  // the levels named by their numbers
    EXPECT_EQ(s["levels"], Json::parse("[1,2]"));
    EXPECT_EQ(d["levels"], Json::parse(R"(["1","2"])"));
    EXPECT_EQ(s["cohenDz"], d["d"]);
    EXPECT_EQ(s["dzCI"], d["dCI"]);
    EXPECT_FALSE(s.contains("se"));
    EXPECT_TRUE(d.contains("se"));
    EXPECT_EQ(study["simpleEffects"][0]["at"], Json::parse(R"({"b":1})"));

    // The multivariate test: the study's one-sample shape, the design's four statistics.
    EXPECT_EQ(Keys(study["multivariate"]["B"]),
              (std::vector<std::string>{"status", "contrasts", "pillai", "wilks", "hotellingLawley", "roy",
                                        "hotellingT2", "F", "df", "p"}));
    EXPECT_EQ(study["multivariate"]["B"]["pillai"], design["multivariate"]["B"]["pillai"]["value"]);
    EXPECT_EQ(study["multivariate"]["B"]["F"], design["multivariate"]["B"]["roy"]["F"]);
    // The checks: the study's under "assumptions", strata and rank tests keyed without colons.
    EXPECT_EQ(study["assumptions"]["strata"][3]["stratum"], "ABS");
    EXPECT_EQ(design["normality"][3]["stratum"], "A × B × S");
    EXPECT_EQ(study["assumptions"]["strata"][3]["shapiroWilk"], design["normality"][3]["shapiroWilk"]);
    EXPECT_FALSE(design["normality"][3].contains("beyond3"));
    EXPECT_EQ(Keys(study["rankBased"]["friedman"]), (std::vector<std::string>{"A", "B", "cells"}));
    EXPECT_EQ(Keys(design["rankBased"]["friedman"]), (std::vector<std::string>{"A", "B", "A:B"}));
    EXPECT_EQ(Keys(study["rankBased"]["alignedRankTransform"]),
              (std::vector<std::string>{"A", "B", "AB", "contrasts", "exactAlignment"}));
    EXPECT_EQ(study["rankBased"]["alignedRankTransform"]["contrasts"]["B"][2]["levels"],
              Json::parse("[2,3]"));
    EXPECT_EQ(design["rankBased"]["alignedRankTransform"]["contrasts"][3]["levels"],
              Json::parse(R"(["2","3"])"));
    EXPECT_EQ(study["rankBased"]["alignedRankTransform"]["AB"],
              design["rankBased"]["alignedRankTransform"]["effects"]["A:B"]);
}

TEST(OneDescription, EachLayoutHasTheSameRowsInItsOwnTables) {
    const anova::Analysis& a = Study().analysis;
    const auto study = TableTexts(a, TableReader::Program, In(OutputLayout::Study), '.', &Study().precision);
    const auto design = TableTexts(a, TableReader::Program, In(OutputLayout::Design));
    std::vector<std::string> ids;
    for (const TableText& t : study) ids.push_back(t.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"Summary", "Sphericity", "CellMeans", "MeansA", "MeansB",
                                             "Comparisons", "SimpleEffects", "Precision", "Multivariate",
                                             "Residuals", "CellShape", "Outlying", "Friedman", "AlignedRanks",
                                             "AlignedRankContrasts", "Robustness", "Planning"}));
    ids.clear();
    for (const TableText& t : design) ids.push_back(t.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"Summary", "Sphericity", "Multivariate", "CellMeans",
                                             "MarginalMeans", "Comparisons", "SimpleEffects", "Normality",
                                             "Friedman", "AlignedRanks", "AlignedRankContrasts", "Robustness", "Planning"}));
    // The summary: the study's every source in ASCII, a design's strata that test effects.
    EXPECT_EQ(Column(Named(study, "Summary"), "source"),
              (std::vector<std::string>{"S", "A", "A x S", "B", "B x S", "A x B", "A x B x S", "Total"}));
    EXPECT_EQ(Column(Named(design, "Summary"), "source"),
              (std::vector<std::string>{"A", "A × S", "B", "B × S", "A × B", "A × B × S"}));
    EXPECT_EQ(Named(study, "Summary").columnIds, Named(design, "Summary").columnIds);
    EXPECT_EQ(Column(Named(study, "Summary"), "f")[5], Column(Named(design, "Summary"), "f")[4]);
    // The comparisons: the study's d_z without the SE, a design's d with it.
    const TableText &sc = Named(study, "Comparisons"), &dc = Named(design, "Comparisons");
    EXPECT_EQ(sc.columnIds.size() + 1, dc.columnIds.size());
    EXPECT_EQ(Column(sc, "se"), std::vector<std::string>{});
    EXPECT_EQ(Column(sc, "cohenDz"), Column(dc, "d"));
    // At a level: the study's names the level alone, a design's "factor = level".
    const std::vector<std::string> sa = Column(sc, "at"), da = Column(dc, "at");
    std::size_t i = 0;
    while (i < sa.size() && sa[i].empty()) ++i;
    ASSERT_LT(i, sa.size());
    EXPECT_TRUE(da[i].ends_with(" = " + sa[i])) << da[i];
    EXPECT_EQ(da[0], "");
    // The means: a design's have n; the study's the columns of both factors.
    EXPECT_EQ(Named(study, "MeansB").columnIds.front(), "a");
    EXPECT_EQ(Column(Named(design, "CellMeans"), "n").front(), "6");
    EXPECT_EQ(Column(Named(study, "CellMeans"), "n"), std::vector<std::string>{});
    EXPECT_EQ(Column(Named(study, "Residuals"), "W"), Column(Named(design, "Normality"), "W"));
    EXPECT_EQ(Column(Named(study, "Friedman"), "test").back(), "A x B cells");
    EXPECT_EQ(Column(Named(design, "Friedman"), "test").back(), "A × B cells");
}

TEST(OneDescription, TheApaTableIsTheSameInEitherLayoutButForItsConventions) {
    const anova::Analysis& a = Study().analysis;
    for (OutputLanguage language : {OutputLanguage::English, OutputLanguage::Japanese}) {
        OutputOptions study = In(OutputLayout::Study), design = In(OutputLayout::Design);
        study.language = design.language = language;
        std::string s = ApaText(a, study);
        const std::string d = ApaText(a, design);
        // The sums of squares are the one convention the note names whose words differ.
        const auto words = [&](const OutputOptions& o) {
            for (const Convention& c : Conventions(a, o))
                if (c.key == "sumsOfSquares") return c.text;
            return std::string();
        };
        ASSERT_NE(s.find(words(study)), std::string::npos);
        s.replace(s.find(words(study)), words(study).size(), words(design));
        EXPECT_EQ(s, d);
    }
    // Greenhouse and Geisser's interval where the analysis has it, else the uncorrected one.
    const std::string ci = ReadySentences(a, In(OutputLayout::Design))[1];
    anova::Analysis uncorrected = a;
    for (anova::Effect& e : uncorrected.effects) e.partialEtaSquaredCIGG.reset();
    const std::string plain = ReadySentences(uncorrected, In(OutputLayout::Design))[1];
    ASSERT_TRUE(a.effects[1].partialEtaSquaredCIGG && a.effects[1].partialEtaSquaredCI);
    EXPECT_NE(ci, plain);
    EXPECT_NE(ApaText(uncorrected, In(OutputLayout::Design)).find("noncentral F on the uncorrected df"),
              std::string::npos);
    EXPECT_NE(ApaText(a, In(OutputLayout::Design)).find("noncentral F on the corrected df"),
              std::string::npos);
    OutputOptions none = In(OutputLayout::Study);
    none.correction = DfCorrection::None;
    EXPECT_EQ(ReadySentences(a, none)[1], ReadySentences(uncorrected, none)[1]);
}

TEST(OneDescription, CheckFiniteFailsTheModelAndLeavesTheChecksUndefined) {
    const anova::Analysis& base = Study().analysis;
    const Extended inf = std::numeric_limits<Extended>::infinity();
    {
        anova::Analysis a = base;
        EXPECT_NO_THROW(anova::CheckFinite(a));
        EXPECT_EQ(AnalysisJson(a, In(OutputLayout::Study)), AnalysisJson(base, In(OutputLayout::Study)));
    }
    // The model, the means and the follow-ups: an overflow.
    const std::vector<void (*)(anova::Analysis&)> overflows{
        [](anova::Analysis& a) { a.effects[1].f = std::numeric_limits<Extended>::infinity(); },
        [](anova::Analysis& a) { a.strata[0].error.ss = std::numeric_limits<Extended>::infinity(); },
        [](anova::Analysis& a) { a.total.ss = std::numeric_limits<Extended>::quiet_NaN(); },
        [](anova::Analysis& a) { a.cellMeans[2].mean = -std::numeric_limits<Extended>::infinity(); },
        [](anova::Analysis& a) {
            a.marginalMeans[1][0].ci95->high = std::numeric_limits<Extended>::infinity();
        },
        [](anova::Analysis& a) { a.comparisons[0].dCI->lower = -std::numeric_limits<Extended>::infinity(); },
        [](anova::Analysis& a) { a.simpleEffects[0].ss = std::numeric_limits<Extended>::infinity(); },
        [](anova::Analysis& a) {
            a.effects[1].sphericity->huynhFeldt.df2 = std::numeric_limits<Extended>::infinity();
        },
    };
    for (std::size_t i = 0; i < overflows.size(); ++i) {
        anova::Analysis a = base;
        overflows[i](a);
        EXPECT_THROW(anova::CheckFinite(a), OverflowError) << i;
    }
    // The checks: undefined, and what follows from them goes with them.
    ASSERT_FALSE(base.strata[3].quantiles.empty());
    anova::Analysis a = base;
    a.strata[2].normality.w = inf;
    a.strata[3].largestStudentized = inf;
    a.strata[3].quantiles.front().studentized = inf;
    a.cellShapes[0].excessKurtosis = inf;
    a.outlying.push_back({0, {1}, inf});
    a.effects[2].multivariate->wilks.value = inf;
    a.rankBased.friedman[0].test.chiSquare = inf;
    a.rankBased.alignedRanks[0].test.errorSs = inf;
    a.rankBased.contrasts[0].contrast.difference = inf;
    a.levene.push_back({{anova::kOver, 0}, false, 1, 4, inf, 0.5L});
    ASSERT_NO_THROW(anova::CheckFinite(a));
    EXPECT_FALSE(a.strata[2].normality.w);
    EXPECT_FALSE(a.strata[3].largestStudentized);
    EXPECT_TRUE(a.strata[3].quantiles.empty());
    EXPECT_FALSE(a.cellShapes[0].excessKurtosis);
    EXPECT_EQ(a.outlying.back().largest, 0);
    EXPECT_EQ(a.effects[2].multivariate->wilks.value, 0);
    EXPECT_FALSE(a.rankBased.friedman[0].test.chiSquare);
    EXPECT_EQ(a.rankBased.alignedRanks[0].test.ss, 0);
    EXPECT_FALSE(a.rankBased.alignedRanks[0].test.f || a.rankBased.alignedRanks[0].test.p);
    EXPECT_FALSE(a.rankBased.contrasts[0].contrast.t || a.rankBased.contrasts[0].contrast.p);
    EXPECT_FALSE(a.levene.back().f);
    EXPECT_EQ(a.levene.back().p, 0.5L);
    EXPECT_EQ(a.effects[1].f, base.effects[1].f);  // the model untouched
}

TEST(OneDescription, FiguresBeyondADoubleAreStringsInEitherLayout) {
    const anova::Analysis& a = Study().analysis;
    for (OutputLayout layout : {OutputLayout::Study, OutputLayout::Design}) {
        EXPECT_NE(AnalysisJson(a, In(layout)).find(R"("numbersOutsideDoubleRange":false})"),
                  std::string::npos);
        anova::Analysis big = a;
        big.cellMeans[0].mean = 1e400L;
        big.comparisons[1].dAv = -2e-400L;
        const Json j = Json::parse(AnalysisJson(big, In(layout)));
        EXPECT_TRUE(j["numbersOutsideDoubleRange"]);
        const Json& cell = j[layout == OutputLayout::Study ? "cells" : "cellMeans"][0];
        EXPECT_TRUE(cell["mean"].is_string());
        EXPECT_TRUE(j["comparisons"][1]["dAv"].is_string());
        EXPECT_EQ(j["comparisons"][0]["dAv"],
                  Json::parse(AnalysisJson(a, In(layout)))["comparisons"][0]["dAv"]);
    }
}

}  // namespace
}  // namespace morvane
