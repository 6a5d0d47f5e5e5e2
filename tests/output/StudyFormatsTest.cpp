// A data file's study, analysed by the engine, in every format of morvane
// anova in the study's layout: names escaped and columns aligned, no NaN or
// infinity whatever the study leaves undefined, what is said once at the top
// (fewer than two subjects, subjects removed), the notes of a singular
// covariance, of trivial sphericity, of undefined multivariate tests and of
// the bounds on the work, figures beyond a double, and the checks' tables in
// each reader's language and separator.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "anova/StudyPrecision.h"
#include "design/StudyDesign.h"
#include "output/AnalysisJson.h"
#include "output/AnalysisTables.h"
#include "output/AnovaFormats.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "store/DataFile.h"
#include "support/RationalArithmetic.h"
#include "support/StudySkeleton.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::InStudyLayout;
using testing::Study;

// A NaN or an infinity as printf writes them, as a word of its own ("provenance" is none).
const std::regex kNotANumber(R"(\b(nan|inf)\b)", std::regex::icase);

// The study analysed as morvane anova analyses a data file's, with its results file's check.
struct Analysed {
    anova::Analysis analysis;
    PrecisionCheck precision;

    explicit Analysed(const StudyStore& store)
        : analysis(anova::Analyse(DesignFromStudy(store, '.'))),
          precision(anova::CheckStudyResultsFile(store, '.', analysis)) {}
    std::string Format(AnovaFormat format, OutputOptions options = {}) const {
        return FormatAnalysis(analysis, format, InStudyLayout(options), &precision);
    }
};

StudyStore EightSubjects() {
    StudyStore store;
    LoadStudyFile(store, MORVANE_EXAMPLES "/eight-subjects-2x3.dat");
    return store;
}

TEST(StudyFormats, NamesAreEscapedAndColumnsAligned) {
    StudyStore store = Study(4, 2, 3, [](int s, int a, int b) { return std::to_string(s * 2 + a * b + (s * b) % 3); });
    store.LevelNamesA[1] = "x|y";
    store.LevelNamesA[2] = "say \"hi\", then";
    store.LevelNamesB[1] = Cp932FromUtf8("前後");
    const Analysed r(store);

    EXPECT_NE(r.Format(AnovaFormat::Markdown).find("| x\\|y | 前後 |"), std::string::npos);
    const std::string csv = r.Format(AnovaFormat::Csv);
    EXPECT_NE(csv.find("\"say \"\"hi\"\", then\""), std::string::npos);
    EXPECT_NE(csv.find("A,,"), std::string::npos);  // the marginal comparison has no level of B
    const std::string json = r.Format(AnovaFormat::Json);
    EXPECT_NE(json.find("\"levelsA\":[\"x|y\",\"say \\\"hi\\\", then\"]"), std::string::npos);
    EXPECT_NE(json.find("\"levelsB\":[\"前後\",\"b2\",\"b3\"]"), std::string::npos);

    // In the text, every row of the cell means table ends at the same column
    // (the two-byte characters take two columns each).
    const std::string text = r.Format(AnovaFormat::Text);
    const std::size_t start = text.find("Cell means\n");
    ASSERT_NE(start, std::string::npos);
    std::vector<std::size_t> widths;
    std::size_t line = text.find('\n', start) + 1;
    for (int row = 0; row < 8; ++row) {
        const std::size_t end = text.find('\n', line);
        widths.push_back(DisplayWidth(text.substr(line, end - line)));
        line = end + 1;
    }
    for (std::size_t w : widths) EXPECT_EQ(w, widths.front());
    EXPECT_NE(text.find("前後"), std::string::npos);
}

TEST(StudyFormats, UndefinedStatisticsAreNeverNaNInAnyFormat) {
    const auto varied = [](int s, int a, int b) { return std::to_string((s * 7 + a * 3 + b * b * s) % 11) + ".5"; };
    const std::function<std::string(int, int, int)> scores[] = {
        varied, varied, [](int, int, int) { return std::string("4.5"); },
        [](int s, int a, int b) { return std::to_string(3 * s + 5 * a + 7 * b); }, varied, varied, varied};
    const int shapes[][3] = {{1, 2, 3}, {4, 1, 1}, {5, 3, 3}, {5, 3, 3}, {3, 3, 3}, {0, 2, 2}, {2, 2, 2}};
    for (std::size_t i = 0; i < std::size(shapes); ++i) {
        SCOPED_TRACE(i);
        const Analysed r(Study(shapes[i][0], shapes[i][1], shapes[i][2], scores[i]));
        for (AnovaFormat f : {AnovaFormat::Text, AnovaFormat::Markdown, AnovaFormat::Csv, AnovaFormat::Json,
                              AnovaFormat::Apa, AnovaFormat::Html})
            EXPECT_FALSE(std::regex_search(r.Format(f), kNotANumber));
    }
    // Scores near the format's limits.
    try {
        const Analysed huge(Study(5, 3, 3, [](int s, int a, int b) {
            return s == 1 && a == 1 && b == 1 ? std::string("1") : std::to_string(s * a + b * b % 7) + "e1300";
        }));
        for (AnovaFormat f : {AnovaFormat::Text, AnovaFormat::Json})
            EXPECT_FALSE(std::regex_search(huge.Format(f), kNotANumber));
    } catch (const OverflowError&) {
    }
    // Every score the same: the multivariate tests singular.
    const Analysed constant(Study(6, 3, 3, [](int, int, int) { return "7.25"; }));
    EXPECT_NE(constant.Format(AnovaFormat::Json).find("\"multivariate\":{\"A\":{\"status\":\"singular\""),
              std::string::npos);
    // Fewer subjects than contrasts: the multivariate test says why it has none.
    const Analysed few(Study(3, 4, 3, [](int s, int a, int b) {
        return std::to_string((s * s * 7 + a * b * b * 3 + s * b * 5 + a) % 13);
    }));
    EXPECT_NE(few.Format(AnovaFormat::Text).find("A: undefined: N - 1 = 2 is below the 3 contrasts."),
              std::string::npos);
}

TEST(StudyFormats, SphericityOfASingularCovarianceAndOfOneDegreeOfFreedom) {
    // Three levels of B whose differences are collinear across the subjects:
    // W = 0, p = 0, chi-square infinite, in every format.
    const Analysed singular(
        Study(6, 2, 3, [](int s, int a, int b) { return std::to_string(b == 3 ? 2 * s + a : b * s + a * s); }));
    EXPECT_NE(singular.Format(AnovaFormat::Json)
                  .find(R"("mauchlyW":0,"chiSquare":null,"chiSquareInfinite":true,"df":2,"p":0,"pAsR":0)"),
              std::string::npos);
    const std::string text = singular.Format(AnovaFormat::Text);
    const std::size_t table = text.find("Sphericity"), row = text.find("\nB ", table);
    ASSERT_NE(row, std::string::npos);
    const std::string line = text.substr(row + 1, text.find('\n', row + 1) - row - 1);
    EXPECT_TRUE(line.find(" 0 ") != std::string::npos && line.find("∞") != std::string::npos &&
                line.find("< .001") != std::string::npos)
        << line;
    // a = b = 2: sphericity holds trivially, whatever the number of subjects.
    const Analysed square(Study(12, 2, 2, [](int s, int a, int b) { return std::to_string(s % 5 + a * b); }));
    EXPECT_NE(square.Format(AnovaFormat::Text)
                  .find("Every effect has at most one degree of freedom, so sphericity holds trivially"),
              std::string::npos);
    EXPECT_NE(square.Format(AnovaFormat::Json).find("\"sphericity\":null"), std::string::npos);
}

TEST(StudyFormats, FewerThanTwoSubjectsAndFiguresBeyondADouble) {
    testing::TempDir dir;
    for (const int n : {1, 0, -1}) {
        SCOPED_TRACE(n);
        StudyStore store;
        if (n >= 0) {
            store = Study(n, 4, 3, [](int s, int a, int b) { return std::to_string(s + a * b); });
        } else {
            // As `morvane import --wide` writes a CSV of a header only.
            std::ofstream(dir.File("none.dat")) << "-1\n4\n3\na1\na2\na3\na4\nb1\nb2\nb3\n";
            LoadStudyFile(store, dir.File("none.dat"));
        }
        const Analysed r(store);
        for (const anova::Effect& e : r.analysis.effects)
            EXPECT_FALSE(e.partialEtaSquared || e.generalizedEtaSquared || e.partialEtaSquaredCI || e.error.ms);
        for (const anova::SimpleEffect& s : r.analysis.simpleEffects) EXPECT_FALSE(s.partialEtaSquared);
        const std::string note = FewerSubjectsNote();
        for (AnovaFormat f : {AnovaFormat::Text, AnovaFormat::Markdown, AnovaFormat::Csv}) {
            const std::string text = r.Format(f);
            const std::size_t at = text.find(note);
            EXPECT_TRUE(at != std::string::npos && at < text.find("\n\n") + 3) << text;
            EXPECT_EQ(text.find(note, at + 1), std::string::npos);
        }
        const std::string json = r.Format(AnovaFormat::Json);
        EXPECT_NE(json.find(R"("fewerThanTwoSubjects":true)"), std::string::npos);
        for (const char* negative : {R"("df":-)", R"("errorDf":-)", R"("df":[-)", R"(SS":-)"})
            EXPECT_EQ(json.find(negative), std::string::npos) << negative;
    }

    // Sums of squares near 10^600: strings in JSON, flagged; nothing else changes.
    const std::string json =
        Analysed(Study(4, 2, 2, [](int s, int a, int b) { return std::to_string(s * s + a * 3 + b) + "e300"; }))
            .Format(AnovaFormat::Json);
    EXPECT_NE(json.find(R"("numbersOutsideDoubleRange":true)"), std::string::npos);
    EXPECT_NE(json.find(R"("SS":"1.)"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("F":)"), json.find(R"("F":")"));
    // Every bare number reads as a finite double, and as zero only when it is zero.
    for (std::size_t i = 0; i < json.size(); ++i) {
        if (json[i] == '"') {
            i = json.find('"', i + 1);
            continue;
        }
        if (!(json[i] == '-' || std::isdigit(static_cast<unsigned char>(json[i])))) continue;
        char* end = nullptr;
        const double v = std::strtod(json.c_str() + i, &end);
        const std::string token(json.c_str() + i, static_cast<const char*>(end));
        EXPECT_TRUE(std::isfinite(v) && (v != 0 || token.find_first_of("123456789") == std::string::npos ||
                                         token.find('e') < token.find_first_of("123456789")))
            << token;
        i = static_cast<std::size_t>(end - json.c_str()) - 1;
    }
    EXPECT_NE(Analysed(EightSubjects()).Format(AnovaFormat::Json).find(R"("numbersOutsideDoubleRange":false)"),
              std::string::npos);
}

TEST(StudyFormats, WhatTheAnalysisLeftOutOrRemovedIsSaid) {
    // Subjects with an empty score: named once at the top.
    const auto score = [](int s, int a, int b) { return std::to_string((s * 7 + a * 3 + b * b) % 11) + ".5"; };
    const Analysed gaps(Study(7, 2, 3, [&](int s, int a, int b) {
        return (s == 2 && a == 1 && b == 3) || (s == 5 && a == 2 && b == 1) ? std::string() : score(s, a, b);
    }));
    EXPECT_NE(gaps.Format(AnovaFormat::Text).find("\n\nN = 5 of 7 subjects; removed for a missing score: 2, 5\n"),
              std::string::npos);
    EXPECT_EQ(Analysed(Study(7, 2, 3, score)).Format(AnovaFormat::Json).find("subjectsRemoved"), std::string::npos);

    // A factor of more than 100 levels has no comparisons, its long names cut.
    std::mt19937_64 random(3);
    StudyStore wide = Study(3, 2, 101, [&](int, int a, int b) {
        return std::to_string(random() % 40 + static_cast<unsigned>(a + b));
    });
    wide.LevelNamesA[1] = std::string(70, 'x') + Cp932FromUtf8("名前");
    const std::string text = Analysed(wide).Format(AnovaFormat::Text);
    EXPECT_NE(text.find("B: more than 100 levels; no comparisons."), std::string::npos);
    EXPECT_EQ(text.find(std::string(65, 'x')), std::string::npos);
    // Simple effects too many to compute.
    anova::Analysis omitted = testing::StudySkeleton({"a1", "a2"}, {"b1", "b2"}, 3);
    omitted.shown.simpleEffectsOmitted = true;
    const PrecisionCheck precision;
    EXPECT_NE(FormatAnalysis(omitted, AnovaFormat::Markdown, InStudyLayout(), &precision)
                  .find("the simple main effects are left out"),
              std::string::npos);

    // Scores two thousand decimal places apart: the results file's check from the grand mean.
    StudyStore centred = Study(4, 2, 3, [](int s, int a, int b) {
        return std::to_string(s * 3 + a * b * b + (a == 2 && b == 3 ? s * s : 0)) + "e1600";
    });
    centred.CellText(1, 1, 1) = "1e-400";
    const Analysed r(centred);
    EXPECT_NE(r.Format(AnovaFormat::Text).find("from the grand mean"), std::string::npos);
    EXPECT_NE(r.Format(AnovaFormat::Json).find("\"method\":\"centred\""), std::string::npos);
}

TEST(StudyFormats, TheChecksTablesInTheReadersLanguageAndSeparator) {
    const Analysed r(EightSubjects());
    OutputOptions japanese;
    japanese.language = OutputLanguage::Japanese;
    const auto after = [](std::vector<TableText> all) {
        std::vector<TableText> checks;
        bool past = false;
        for (TableText& t : all) {
            if (past) checks.push_back(std::move(t));
            past = past || t.id == "Precision";
        }
        return checks;
    };
    const std::vector<TableText> window =
        after(TableTexts(r.analysis, TableReader::Window, InStudyLayout(japanese), ',', &r.precision));
    const std::vector<TableText> terminal =
        after(TableTexts(r.analysis, TableReader::Terminal, InStudyLayout(), '.', &r.precision));
    ASSERT_EQ(window.size(), 9u);
    ASSERT_EQ(terminal.size(), 9u);
    const char* titles[] = {"多変量検定",
                            "誤差層ごとの残差",
                            "セルの歪度と尖度",
                            "スチューデント化残差が 3 を超える被験者",
                            "Friedman 検定",
                            "整列順位変換 (ART)",
                            "整列順位変換の対比 (ART-C)",
                            "α = .05 での判定の頑健性",
                            "計画: α = .05 で検出力 .80 と .90 に必要な総 N"};
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(window[i].title, titles[i]);
        EXPECT_EQ(window[i].id, terminal[i].id);
        EXPECT_EQ(window[i].columnIds, terminal[i].columnIds);
        EXPECT_EQ(window[i].rows.size(), terminal[i].rows.size());
        EXPECT_EQ(window[i].notes.size(), terminal[i].notes.size());
        for (const auto& row : window[i].rows)
            for (const std::string& cell : row) EXPECT_EQ(cell.find('.'), std::string::npos) << cell;
    }
    // The window's 10 digits with its separator: W of the A x B x S stratum.
    EXPECT_EQ(window[1].rows[3][3].substr(0, 7), "0,94622");
    EXPECT_EQ(terminal[1].rows[3][3], "0.9462");
    EXPECT_NE(r.Format(AnovaFormat::Text, japanese).find("Friedman 検定"), std::string::npos);
    // A p too small for the number type is 0 in JSON, said so beside it, as the analysis' own.
    anova::Analysis underflowed = r.analysis;
    underflowed.rankBased.friedman[1].test.p = 0;
    underflowed.rankBased.contrasts[2].contrast.pHolm = 0;
    const std::string json = AnalysisJson(underflowed, InStudyLayout(), &r.precision);
    const std::size_t checks = json.find("\"multivariate\":");
    EXPECT_NE(json.find("\"df\":2,\"p\":0,\"pUnderflow\":true,\"kendallW\"", checks), std::string::npos) << json;
    EXPECT_NE(json.find("\"pHolm\":0,\"pHolmUnderflow\":true", checks), std::string::npos);
    const std::string plain = AnalysisJson(r.analysis, InStudyLayout(), &r.precision);
    EXPECT_EQ(plain.find("Underflow", plain.find("\"multivariate\":")), std::string::npos);

    // The outlying subject by its row.
    const Analysed outlying(Study(12, 2, 2, [](int s, int a, int b) {
        const int v = 10 * a + 3 * b + (s * 7 + a * 5 + b * 3) % 5;
        return std::to_string(s == 5 && a == 2 && b == 1 ? v + 40 : v);
    }));
    EXPECT_NE(outlying.Format(AnovaFormat::Json).find("\"outlyingSubjects\":1,\"outlying\":[{\"subject\":5,\"strata\":["),
              std::string::npos);
}

}  // namespace
}  // namespace morvane
