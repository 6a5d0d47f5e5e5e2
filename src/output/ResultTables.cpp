#include "output/ResultTables.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "output/detail/Columns.h"
#include "runtime/Cp932.h"
#include "runtime/NumberText.h"

// Each table is one function below: its columns, each with a key, its headings
// in English and Japanese and the reader of its cell, then its rows and notes.
// A column or a table added there reaches every reader (output/detail/Columns.h).

namespace morvane {
namespace {

using namespace tables;

Table Summary(const FullAnalysis& r);
Table SphericityTests(const FullAnalysis& r);
Table Means(const FullAnalysis& r, const char* id, Labels title, const std::vector<MeanResult>& list,
            bool withA, bool withB);
Table Comparisons(const FullAnalysis& r);
Table SimpleEffects(const FullAnalysis& r);
Table Precision(const FullAnalysis& r);
}  // namespace

std::string LevelName(const FullAnalysis& analysis, Factor factor, std::int32_t level) {
    const auto& names = factor == Factor::A ? analysis.namesA : analysis.namesB;
    if (level < 1 || static_cast<std::size_t>(level) > names.size()) return "";
    return Utf8FromCp932(names[static_cast<std::size_t>(level - 1)]);
}

// The columns a terminal gives a UTF-8 text: two for the wide characters of East Asian scripts and the
// full-width forms, one for others.
std::size_t DisplayWidth(std::string_view text) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        length = std::min(length, text.size() - i);
        bool wide = length == 4;
        if (length == 3) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            wide = (lead >= 0xE3 && lead <= 0xE9) || (lead == 0xEF && second >= 0xBC && second <= 0xBD) ||
                   (lead == 0xEA && second >= 0xB0) || (lead >= 0xEB && lead <= 0xED);
        }
        width += wide ? 2 : 1;
        i += length;
    }
    return width;
}

std::vector<TableText> TableTexts(const FullAnalysis& r, TableReader reader, char decimalSeparator) {
    OutputOptions options;
    if (reader == TableReader::Window) options.language = OutputLanguage::Japanese;
    return TableTexts(r, reader, options, decimalSeparator);
}

std::vector<TableText> TableTexts(const FullAnalysis& r, TableReader reader, const OutputOptions& options,
                                  char decimalSeparator) {
    const Reading how{reader, decimalSeparator, options.language == OutputLanguage::Japanese,
                      options.correction};
    std::vector<TableText> texts;
    for (const Table& t :
         {Summary(r), SphericityTests(r),
          Means(r, "CellMeans", {"Cell means", "セルの平均"}, r.cells, true, true),
          Means(r, "MeansA", {"Means of the levels of A", "要因 A の水準の平均"}, r.marginalA, true, false),
          Means(r, "MeansB", {"Means of the levels of B", "要因 B の水準の平均"}, r.marginalB, false, true),
          Comparisons(r), SimpleEffects(r), Precision(r)})
        texts.push_back(Written(t, how));
    return texts;
}

namespace {

// ---- the tables ----

// A row of the summary table: a source of variance, an effect among them.
struct SourceRow {
    const char* name;
    const PartitionSource* source;
    const EffectResult* effect;  // null for a source that is not an effect
    bool withMs;
};

// A row of the sphericity table: an effect that was tested.
struct TestRow {
    const char* name;
    const Sphericity* test;
};

// The summary's MSE of an effect: the analysis' own, or its error term's mean square.
Opt ErrorMeanSquare(const EffectResult& e) {
    return e.mse ? e.mse : e.error.ms;
}

// The summary's cells of a correction of an effect: undefined without the
// sphericity test, blank for a source that is not an effect.
template <Correction Sphericity::*which, Opt Correction::*figure>
Cell Corrected(const FullAnalysis&, const SourceRow& s) {
    if (!s.effect) return Blank();
    return Number(s.effect->sphericity ? ((*s.effect->sphericity).*which).*figure : Opt{},
                  figure == &Correction::p ? Figure::P : Figure::Statistic);
}

// TableTexts, first: every source with its degrees of freedom, each effect's test and effect sizes.
Table Summary(const FullAnalysis& r) {
    using S = const SourceRow&;
    constexpr auto gg = &Sphericity::greenhouseGeisser, hf = &Sphericity::huynhFeldt,
                   lb = &Sphericity::lowerBound;
    const std::vector<Column<SourceRow>> columns{
        {Heading{"source", "Source", "変動因"}.Names(), [](auto&, S s) { return Text(s.name); }},
        {{"ss", "SS", "平方和"}, [](auto&, S s) { return Number(s.source->ss, Figure::Sum); }},
        {{"df", "df", "自由度"}, [](auto&, S s) { return Integer(s.source->df); }},
        {{"ms", "MS", "平均平方"},
         [](auto&, S s) { return s.withMs ? Number(s.source->ms, Figure::Sum) : Blank(); }},
        {{"mse", "MSE", "MSE"},
         [](auto&, S s) { return s.effect ? Number(ErrorMeanSquare(*s.effect), Figure::Sum) : Blank(); }},
        {{"f", "F", "F 値"},
         [](auto&, S s) { return s.effect ? Number(s.effect->f, Figure::Statistic) : Blank(); }},
        {{"p", "p", "p 値"}, [](auto&, S s) { return s.effect ? Number(s.effect->p, Figure::P) : Blank(); }},
        {Heading{"ggDf1", "df1 (GG)", "df1 (GG)"}.Of(DfCorrection::GreenhouseGeisser),
         &Corrected<gg, &Correction::df1>},
        {Heading{"ggDf2", "df2 (GG)", "df2 (GG)"}.Of(DfCorrection::GreenhouseGeisser),
         &Corrected<gg, &Correction::df2>},
        {Heading{"ggP", "p (GG)", "p (GG)"}.Of(DfCorrection::GreenhouseGeisser),
         &Corrected<gg, &Correction::p>},
        {Heading{"hfDf1", "df1 (HF)", "df1 (HF)"}.Of(DfCorrection::HuynhFeldt),
         &Corrected<hf, &Correction::df1>},
        {Heading{"hfDf2", "df2 (HF)", "df2 (HF)"}.Of(DfCorrection::HuynhFeldt),
         &Corrected<hf, &Correction::df2>},
        {Heading{"hfP", "p (HF)", "p (HF)"}.Of(DfCorrection::HuynhFeldt), &Corrected<hf, &Correction::p>},
        {Heading{"lbDf1", "df1 (LB)", "df1 (下限)"}.For(Readers::Window), &Corrected<lb, &Correction::df1>},
        {Heading{"lbDf2", "df2 (LB)", "df2 (下限)"}.For(Readers::Window), &Corrected<lb, &Correction::df2>},
        {Heading{"lbP", "p (LB)", "p (下限)"}.For(Readers::Window), &Corrected<lb, &Correction::p>},
        {{"partialEtaSquared", "partial eta^2", "偏 η²"},
         [](auto&, S s) {
             return s.effect ? Number(s.effect->partialEtaSquared, Figure::Proportion) : Blank();
         }},
        {Heading{"etaCiLow", "eta^2 CI low", "偏 η² CI 下限"}.JoinedAs(Join::Interval, "partial eta^2 CI",
                                                                       "偏 η² の信頼区間"),
         [](auto&, S s) {
             return s.effect ? Limit(s.effect->partialEtaSquaredCI, &LevelInterval::lower) : Blank();
         }},
        {{"etaCiHigh", "eta^2 CI high", "偏 η² CI 上限"},
         [](auto&, S s) {
             return s.effect ? Limit(s.effect->partialEtaSquaredCI, &LevelInterval::upper) : Blank();
         }},
        {Heading{"etaCiLowGG", "eta^2 CI low (GG)", "偏 η² CI 下限 (GG)"}
             .Of(DfCorrection::GreenhouseGeisser)
             .JoinedAs(Join::Interval, "partial eta^2 CI (GG)", "偏 η² の信頼区間 (GG)"),
         [](auto&, S s) {
             return s.effect ? Limit(s.effect->partialEtaSquaredCIGG, &LevelInterval::lower) : Blank();
         }},
        {Heading{"etaCiHighGG", "eta^2 CI high (GG)", "偏 η² CI 上限 (GG)"}.Of(
             DfCorrection::GreenhouseGeisser),
         [](auto&, S s) {
             return s.effect ? Limit(s.effect->partialEtaSquaredCIGG, &LevelInterval::upper) : Blank();
         }},
        {{"generalizedEtaSquared", "generalized eta^2", "一般化 η²"},
         [](auto&, S s) {
             return s.effect ? Number(s.effect->generalizedEtaSquared, Figure::Proportion) : Blank();
         }},
    };
    const std::vector<SourceRow> rows{
        {"S", &r.S, nullptr, true},           {"A", &r.A.effect, &r.A, true},
        {"A x S", &r.AS, nullptr, true},      {"B", &r.B.effect, &r.B, true},
        {"B x S", &r.BS, nullptr, true},      {"A x B", &r.AB.effect, &r.AB, true},
        {"A x B x S", &r.ABS, nullptr, true}, {"Total", &r.Total, nullptr, false},
    };
    return Tabulate(r, "Summary", {"Analysis of variance", "分散分析表"}, columns, rows);
}

// The sphericity table's epsilon of a correction.
template <Correction Sphericity::*which>
Cell Epsilon(const FullAnalysis&, const TestRow& t) {
    return Number(((*t.test).*which).epsilon, Figure::Proportion);
}

// The sphericity table's corrected p, which the window shows in its summary instead.
template <Correction Sphericity::*which>
Cell CorrectedP(const FullAnalysis&, const TestRow& t) {
    return Number(((*t.test).*which).p, Figure::P);
}

// TableTexts, second: Mauchly's test of each effect with more than one degree of freedom, and the epsilons.
Table SphericityTests(const FullAnalysis& r) {
    using T = const TestRow&;
    const std::vector<Column<TestRow>> columns{
        {Heading{"effect", "Effect", "効果"}.Names(), [](auto&, T t) { return Text(t.name); }},
        {{"mauchlyW", "W", "Mauchly の W"},
         [](auto&, T t) { return Number(t.test->mauchlyW, Figure::Statistic); }},
        {{"chiSquare", "chi^2", "χ²"},
         [](auto&, T t) {
             return t.test->chiSquareInfinite ? Text("∞") : Number(t.test->chiSquare, Figure::Statistic);
         }},
        {{"df", "df", "df"}, [](auto&, T t) { return Integer(t.test->df); }},
        {{"p", "p", "p 値"}, [](auto&, T t) { return Number(t.test->p, Figure::P); }},
        {{"ggEpsilon", "GG epsilon", "ε (GG)"}, &Epsilon<&Sphericity::greenhouseGeisser>},
        {Heading{"ggP", "p (GG)", "p (GG)"}.For(Readers::Tool), &CorrectedP<&Sphericity::greenhouseGeisser>},
        {{"hfEpsilon", "HF epsilon", "ε (HF)"}, &Epsilon<&Sphericity::huynhFeldt>},
        {Heading{"hfP", "p (HF)", "p (HF)"}.For(Readers::Tool), &CorrectedP<&Sphericity::huynhFeldt>},
        {{"lbEpsilon", "LB epsilon", "ε (下限)"}, &Epsilon<&Sphericity::lowerBound>},
        {Heading{"lbP", "p (LB)", "p (下限)"}.For(Readers::Tool), &CorrectedP<&Sphericity::lowerBound>},
    };
    std::vector<TestRow> rows;
    std::vector<Labels> notes;
    const std::pair<const char*, const EffectResult*> effects[] = {
        {"A", &r.A}, {"B", &r.B}, {"A x B", &r.AB}};
    for (const auto& [name, e] : effects) {
        if (e->sphericityOmitted)
            notes.push_back({std::string(name) + ": too many contrasts to test sphericity.",
                             std::string(name) + ": 対比が多すぎるため球面性の検定を省きました。"});
        if (e->sphericity) rows.push_back({name, &*e->sphericity});
    }
    if (rows.empty() && r.levelsA <= 2 && r.levelsB <= 2)
        notes.push_back(
            {"Every effect has at most one degree of freedom, so sphericity holds trivially (epsilon = 1).",
             "どの効果も自由度が 1 以下なので、球面性は自明に成り立ちます (ε = 1)。"});
    else if (rows.empty())
        notes.push_back({"Sphericity is not tested with fewer than two subjects.",
                         "被験者が 2 人未満のため、球面性は検定できません。"});
    else
        notes.push_back({"HF epsilon as computed; its p uses it capped at 1.",
                         "ε (HF) は公式のままの値で、1 を超えることがあります。修正した df と p には 1 "
                         "を上限として用います。"});
    Table t = Tabulate(r, "Sphericity",
                       {"Sphericity (Mauchly) and corrections", "球面性の検定 (Mauchly) と自由度の修正"},
                       columns, rows);
    t.notes = std::move(notes);
    return t;
}

// TableTexts, for the cells and for the levels of each factor: means, their
// spread and intervals. The window leaves out the column of a factor the
// means are not of.
Table Means(const FullAnalysis& r, const char* id, Labels title, const std::vector<MeanResult>& list,
            bool withA, bool withB) {
    using M = const MeanResult&;
    const std::vector<Column<MeanResult>> columns{
        {Heading{"a", "A", "A"}.Names().For(withA ? Readers::All : Readers::Tool),
         [](auto& a, M m) { return Text(LevelName(a, Factor::A, m.a)); }},
        {Heading{"b", "B", "B"}.Names().For(withB ? Readers::All : Readers::Tool),
         [](auto& a, M m) { return Text(LevelName(a, Factor::B, m.b)); }},
        {{"mean", "Mean", "平均"}, [](auto&, M m) { return Number(m.mean, Figure::Statistic); }},
        {{"sd", "SD", "SD"}, [](auto&, M m) { return Number(m.sd, Figure::Statistic); }},
        {{"se", "SE", "SE"}, [](auto&, M m) { return Number(m.se, Figure::Statistic); }},
        {Heading{"ciLow", "CI low", "95% CI 下限"}.JoinedAs(Join::Interval, "95% CI", "95% CI"),
         [](auto&, M m) { return Bound(m.ci95, &Interval::low); }},
        {{"ciHigh", "CI high", "95% CI 上限"}, [](auto&, M m) { return Bound(m.ci95, &Interval::high); }},
        {Heading{"withinCiLow", "within CI low", "被験者内 95% CI 下限"}.JoinedAs(
             Join::Interval, "within-subject 95% CI", "被験者内 95% CI"),
         [](auto&, M m) { return Bound(m.withinCi95, &Interval::low); }},
        {{"withinCiHigh", "within CI high", "被験者内 95% CI 上限"},
         [](auto&, M m) { return Bound(m.withinCi95, &Interval::high); }},
    };
    return Tabulate(r, id, std::move(title), columns, list);
}

// TableTexts, after the means: a paired t test of each two levels of a factor, over the other's levels
// and at each of them.
Table Comparisons(const FullAnalysis& r) {
    using C = const ComparisonResult&;
    const std::vector<Column<ComparisonResult>> columns{
        {Heading{"factor", "Factor", "要因"}.Names(),
         [](auto&, C c) { return Text(c.factor == Factor::A ? "A" : "B"); }},
        {Heading{"at", "At", "条件"}.Names(), [](auto& a, C c) { return At(a, Other(c.factor), c.at); }},
        {Heading{"levelI", "Level i", "水準 i"}.Names().JoinedAs(Join::Levels, "Levels", "水準"),
         [](auto& a, C c) { return Text(LevelName(a, c.factor, c.i)); }},
        {Heading{"levelJ", "Level j", "水準 j"}.Names(),
         [](auto& a, C c) { return Text(LevelName(a, c.factor, c.j)); }},
        {{"difference", "Difference", "差 (i − j)"},
         [](auto&, C c) { return Number(c.difference, Figure::Statistic); }},
        {Heading{"ciLow", "CI low", "95% CI 下限"}.JoinedAs(Join::Interval, "95% CI", "95% CI"),
         [](auto&, C c) { return Bound(c.ci95, &Interval::low); }},
        {{"ciHigh", "CI high", "95% CI 上限"}, [](auto&, C c) { return Bound(c.ci95, &Interval::high); }},
        {{"t", "t", "t"}, [](auto&, C c) { return Number(c.t, Figure::Statistic); }},
        {{"df", "df", "自由度"}, [](auto&, C c) { return Integer(c.df); }},
        {{"p", "p", "p 値"}, [](auto&, C c) { return Number(c.p, Figure::P); }},
        {{"pHolm", "p (Holm)", "p (Holm)"}, [](auto&, C c) { return Number(c.pHolm, Figure::P); }},
        {{"pBonferroni", "p (Bonferroni)", "p (Bonferroni)"},
         [](auto&, C c) { return Number(c.pBonferroni, Figure::P); }},
        {{"cohenDz", "d_z", "d_z"}, [](auto&, C c) { return Number(c.cohenDz, Figure::Proportion); }},
        {Heading{"dzCiLow", "d_z CI low", "d_z CI 下限"}.JoinedAs(Join::Interval, "d_z CI", "d_z の信頼区間"),
         [](auto&, C c) { return Limit(c.dzCI, &LevelInterval::lower); }},
        {{"dzCiHigh", "d_z CI high", "d_z CI 上限"},
         [](auto&, C c) { return Limit(c.dzCI, &LevelInterval::upper); }},
        {{"dAv", "d_av", "d_av"}, [](auto&, C c) { return Number(c.dAv, Figure::Proportion); }},
        {{"gAv", "g_av", "g_av"}, [](auto&, C c) { return Number(c.gAv, Figure::Proportion); }},
    };
    Table t = Tabulate(r, "Comparisons",
                       {"Pairwise comparisons (paired t; Holm and Bonferroni within each family)",
                        "対ごとの比較 (対応のある t 検定; Holm と Bonferroni の調整は族ごと)"},
                       columns, r.comparisons);
    const std::string most = std::to_string(kComparedLevels);
    const std::pair<const char*, bool> marginal[] = {{"A", r.compared.marginalA},
                                                     {"B", r.compared.marginalB}};
    for (const auto& [name, kept] : marginal)
        if (!kept)
            t.notes.push_back(
                {std::string(name) + ": more than " + most + " levels; no comparisons.",
                 std::string(name) + ": 水準が " + most + " を超えるため、比較は計算していません。"});
    if ((r.compared.marginalA && !r.compared.aAtB) || (r.compared.marginalB && !r.compared.bAtA))
        t.notes.push_back({"Too many pairs: the comparisons at each level of the other factor are left out.",
                           "対が多すぎるため、他方の要因の各水準での比較は省きました。"});
    return t;
}

// TableTexts, after the comparisons: each factor's one-way analysis at each level of the other.
Table SimpleEffects(const FullAnalysis& r) {
    using E = const SimpleEffectResult&;
    const std::vector<Column<SimpleEffectResult>> columns{
        {Heading{"effect", "Effect", "効果"}.Names(),
         [](auto&, E s) { return Text(s.effect == Factor::A ? "A" : "B"); }},
        {Heading{"at", "At", "条件"}.Names(), [](auto& a, E s) { return At(a, Other(s.effect), s.at); }},
        {{"ss", "SS", "平方和"}, [](auto&, E s) { return Number(s.ss, Figure::Sum); }},
        {{"errorSs", "error SS", "誤差の平方和"}, [](auto&, E s) { return Number(s.errorSs, Figure::Sum); }},
        {{"f", "F", "F 値"}, [](auto&, E s) { return Number(s.f, Figure::Statistic); }},
        {{"df1", "df1", "df1"}, [](auto&, E s) { return Integer(s.df1); }},
        {{"df2", "df2", "df2"}, [](auto&, E s) { return Integer(s.df2); }},
        {{"p", "p", "p 値"}, [](auto&, E s) { return Number(s.p, Figure::P); }},
        {{"partialEtaSquared", "partial eta^2", "偏 η²"},
         [](auto&, E s) { return Number(s.partialEtaSquared, Figure::Proportion); }},
        {Heading{"etaCiLow", "eta^2 CI low", "偏 η² CI 下限"}.JoinedAs(Join::Interval, "partial eta^2 CI",
                                                                       "偏 η² の信頼区間"),
         [](auto&, E s) { return Limit(s.partialEtaSquaredCI, &LevelInterval::lower); }},
        {{"etaCiHigh", "eta^2 CI high", "偏 η² CI 上限"},
         [](auto&, E s) { return Limit(s.partialEtaSquaredCI, &LevelInterval::upper); }},
        {{"ggEpsilon", "GG epsilon", "ε (GG)"},
         [](auto&, E s) { return Number(s.ggEpsilon, Figure::Proportion); }},
        {{"ggP", "p (GG)", "p (GG)"}, [](auto&, E s) { return Number(s.ggP, Figure::P); }},
    };
    Table t = Tabulate(r, "SimpleEffects", {"Simple main effects", "単純主効果 (各水準での 1 要因の分析)"},
                       columns, r.simpleEffects);
    if (r.simpleEffectsOmitted)
        t.notes.push_back({"Too many levels: the simple main effects are left out.",
                           "水準が多すぎるため、単純主効果は省きました。"});
    return t;
}

// TableTexts, last: each sum of squares of the results file against the exact
// one. The window tells first that the file is not exact; the terminal's notes
// end with the verdict either way.
Table Precision(const FullAnalysis& r) {
    using F = const PrecisionFigure&;
    const std::vector<Column<PrecisionFigure>> columns{
        {Heading{"sum", "Sum", "平方和"}.Names(), [](auto&, F f) { return Text(f.name); }},
        {{"resultsFile", "Results file", "計算結果ファイル"},
         [](auto&, F f) { return Number(f.resultsFile, Figure::Exact); }},
        {{"exact", "Exact", "正確な値"}, [](auto&, F f) { return Number(f.exact, Figure::Exact); }},
        {{"correctDigits", "Correct digits", "正しい有効桁数"},
         [](auto&, F f) {
             return Integer(f.resultsFile ? std::optional<std::int64_t>(f.correctDigits) : std::nullopt);
         }},
    };
    const PrecisionCheck& pc = r.precision;
    Table t = Tabulate(r, "Precision", {"Precision of the results file", "計算結果ファイルの精度"}, columns,
                       pc.sums);
    if (!pc.summaryTableExact)
        t.notes.push_back(
            {"",
             "計算結果ファイルの値は桁落ちのため正確ではありません: 得点の上の桁がそろっていると、"
             "計算結果ファイルの計算方法では平方和の桁が失われ、要約表に正確な値と違う数字が出ます。"
             "この窓の値は正確です。平方和ごとに正しい桁数を「精度」の表に示します。",
             Readers::Window});
    if (!pc.summaryTableComplete)
        t.notes.push_back(
            {"The results file cannot complete its summary table for this study (an undefined mean "
             "square or F ratio stops it); the figures before that are compared.",
             "この研究では、計算結果ファイルは要約表を最後まで書けません (定義されない平均平方か F "
             "で止まります)。"});
    t.notes.push_back(
        {pc.summaryTableExact ? "Every figure of the results file's summary table is exact."
                              : "Some figures of the results file's summary table are not exact (loss "
                                "of digits in the correction-term method); the figures above are exact.",
         pc.summaryTableExact ? "計算結果ファイルの要約表の値はすべて正確です。"
                              : "計算結果ファイルの要約表には、桁落ちのため正確でない値があります "
                                "(修正項による計算方法)。上の値は正確です。",
         Readers::Tool});
    if (!r.removed.empty())
        t.notes.push_back(
            {"No results file is written for a study with an empty score (計算 and morvane report stop on "
             "it): these are the figures of the subjects analysed.",
             "得点が空の研究の計算結果ファイルは書かれません (計算と morvane report はそこで止まります)。"
             "ここに示すのは分析した被験者の値です。"});
    if (pc.method == PartitionMethod::Centred)
        t.notes.push_back(
            {"The scores span too many decimal places for exact sums: computed from the grand mean in "
             "extended precision instead.",
             "得点の小数の桁の幅が大きすぎるため、平方和は正確な整数計算ではなく、総平均からの偏差に"
             "より拡張精度で求めました。"});
    return t;
}

}  // namespace
}  // namespace morvane
