#include "output/DesignTables.h"

#include <optional>
#include <string>
#include <utility>

#include "output/detail/Columns.h"
#include "output/detail/DesignFields.h"

// Each table is one function below, in the column model of the A x B x S
// tables (output/detail/Columns.h) over a design's analysis: its columns with
// their keys, headings in both languages and the reader of each cell, then its
// rows and notes.

namespace morvane {
namespace {

using namespace tables;
using designfields::FactorAt;
using designfields::LevelOf;
using A = DesignAnalysis;

Table Summary(const A& r);
Table SphericityTests(const A& r);
Table Multivariate(const A& r);
Table CellMeans(const A& r);
Table MarginalMeans(const A& r);
Table Comparisons(const A& r);
Table SimpleEffects(const A& r);
Table Levene(const A& r);
Table Normality(const A& r);
Table Friedman(const A& r);
Table AlignedRanks(const A& r);
Table AlignedRankContrasts(const A& r);

}  // namespace

std::vector<TableText> DesignTableTexts(const DesignAnalysis& r, TableReader reader,
                                        const OutputOptions& options, char decimalSeparator) {
    const Reading how{reader, decimalSeparator,
                      reader == TableReader::Window || options.language == OutputLanguage::Japanese,
                      options.correction};
    std::vector<Table> tables;
    tables.push_back(Summary(r));
    tables.push_back(SphericityTests(r));
    tables.push_back(Multivariate(r));
    tables.push_back(CellMeans(r));
    tables.push_back(MarginalMeans(r));
    tables.push_back(Comparisons(r));
    tables.push_back(SimpleEffects(r));
    if (!r.between.empty()) tables.push_back(Levene(r));
    tables.push_back(Normality(r));
    if (!r.rankBased.friedman.empty()) tables.push_back(Friedman(r));
    if (!r.rankBased.alignedRanks.empty()) {
        tables.push_back(AlignedRanks(r));
        tables.push_back(AlignedRankContrasts(r));
    }
    std::vector<TableText> texts;
    for (const Table& t : tables) texts.push_back(Written(t, how));
    return texts;
}

namespace {

// The within factors of an effect by name, joined by " × ".
std::string WithinName(const A& r, const DesignEffect& e) {
    std::string name;
    for (std::size_t w : e.within) name += (name.empty() ? "" : " × ") + r.within.at(w).name;
    return name;
}

// The contrasts of an effect's within part: the product of its within factors' levels less one.
std::int64_t WithinContrasts(const A& r, const DesignEffect& e) {
    std::int64_t p = 1;
    for (std::size_t w : e.within) p *= static_cast<std::int64_t>(r.within.at(w).levels.size()) - 1;
    return p;
}

// The degrees of freedom of the error the within effects are tested on: N - g.
std::int64_t PooledDf(const A& r) {
    return r.subjects - static_cast<std::int64_t>(r.groupSizes.empty() ? 1 : r.groupSizes.size());
}

// "factor = level" of each factor at a level.
std::string CellName(const A& r, const std::vector<std::int32_t>& levels) {
    std::string name;
    for (std::size_t i = 0; i < levels.size(); ++i)
        if (levels[i] >= 0)
            name += (name.empty() ? "" : ", ") + FactorAt(r, i).name + " = " + LevelOf(r, i, levels[i]);
    return name;
}

// ---- the tables ----

// A row of the summary: an effect, or the error stratum of the effects before it.
struct SourceRow {
    std::string name;
    const PartitionSource* source;
    const DesignEffect* effect;  // null for an error row
};

template <Correction Sphericity::*which, Opt Correction::*figure>
Cell Corrected(const A&, const SourceRow& s) {
    if (!s.effect) return Blank();
    return Number(s.effect->sphericity ? ((*s.effect->sphericity).*which).*figure : Opt{},
                  figure == &Correction::p ? Figure::P : Figure::Statistic);
}

// The summary's rows: each effect, and after the last effect of an error
// stratum (the between effects; a within effect and its interactions with the
// between factors) that stratum's error.
std::vector<SourceRow> SourceRows(const A& r) {
    std::vector<SourceRow> rows;
    for (std::size_t i = 0; i < r.effects.size(); ++i) {
        const DesignEffect& e = r.effects[i];
        rows.push_back({e.name, &e.effect, &e});
        if (i + 1 < r.effects.size() && r.effects[i + 1].within == e.within) continue;
        rows.push_back({e.within.empty() ? "S" : WithinName(r, e) + " × S", &e.error, nullptr});
    }
    return rows;
}

// First: every effect with its error stratum, its test, the correction applied, and effect sizes.
Table Summary(const A& r) {
    using S = const SourceRow&;
    constexpr auto gg = &Sphericity::greenhouseGeisser, hf = &Sphericity::huynhFeldt,
                   lb = &Sphericity::lowerBound;
    const auto effectNumber = [](Opt (*of)(const DesignEffect&), Figure figure) {
        return [of, figure](const A&, S s) { return s.effect ? Number(of(*s.effect), figure) : Blank(); };
    };
    const std::vector<Column<SourceRow, A>> columns{
        {Heading{"source", "Source", "変動因"}.Names(), [](auto&, S s) { return Text(s.name); }},
        {{"ss", "SS", "平方和"}, [](auto&, S s) { return Number(s.source->ss, Figure::Sum); }},
        {{"df", "df", "自由度"}, [](auto&, S s) { return Integer(s.source->df); }},
        {{"ms", "MS", "平均平方"}, [](auto&, S s) { return Number(s.source->ms, Figure::Sum); }},
        {{"f", "F", "F 値"}, effectNumber([](const DesignEffect& e) { return e.f; }, Figure::Statistic)},
        {{"p", "p", "p 値"}, effectNumber([](const DesignEffect& e) { return e.p; }, Figure::P)},
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
         effectNumber([](const DesignEffect& e) { return e.partialEtaSquared; }, Figure::Proportion)},
        {Heading{"etaCiLow", "eta^2 CI low", "偏 η² CI 下限"}.JoinedAs(Join::Interval, "partial eta^2 CI",
                                                                       "偏 η² の信頼区間"),
         [](auto&, S s) {
             return s.effect ? Limit(s.effect->partialEtaSquaredCI, &LevelInterval::lower) : Blank();
         }},
        {{"etaCiHigh", "eta^2 CI high", "偏 η² CI 上限"},
         [](auto&, S s) {
             return s.effect ? Limit(s.effect->partialEtaSquaredCI, &LevelInterval::upper) : Blank();
         }},
        {{"generalizedEtaSquared", "generalized eta^2", "一般化 η²"},
         effectNumber([](const DesignEffect& e) { return e.generalizedEtaSquared; }, Figure::Proportion)},
    };
    return Tabulate(r, "Summary", {"Analysis of variance", "分散分析表"}, columns, SourceRows(r));
}

// A row of the sphericity table: an effect that was tested.
struct TestRow {
    std::string name;
    const Sphericity* test;
};

template <Correction Sphericity::*which>
Cell Epsilon(const A&, const TestRow& t) {
    return Number(((*t.test).*which).epsilon, Figure::Proportion);
}

template <Correction Sphericity::*which>
Cell CorrectedP(const A&, const TestRow& t) {
    return Number(((*t.test).*which).p, Figure::P);
}

// Second: Mauchly's test of each within effect of more than one degree of
// freedom and its epsilons; a note of each whose error has too few degrees of
// freedom for them.
Table SphericityTests(const A& r) {
    using T = const TestRow&;
    const std::vector<Column<TestRow, A>> columns{
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
    const std::string nu = std::to_string(PooledDf(r));
    for (const DesignEffect& e : r.effects) {
        const std::int64_t k = WithinContrasts(r, e);
        if (e.within.empty() || k < 2) continue;
        if (e.sphericity) {
            rows.push_back({e.name, &*e.sphericity});
            continue;
        }
        notes.push_back(
            {e.name + ": undefined: N − g = " + nu + " is below its " + std::to_string(k) + " contrasts.",
             e.name + ": 定義されません: N − g = " + nu + " が対比の数 " + std::to_string(k) +
                 " より小さいためです。"});
    }
    if (rows.empty() && notes.empty())
        notes.push_back(
            {"Every within effect has one degree of freedom, so sphericity holds trivially (epsilon = 1).",
             "どの被験者内効果も自由度が 1 なので、球面性は自明に成り立ちます (ε = 1)。"});
    if (!rows.empty())
        notes.push_back(
            {"HF epsilon in Lecoutre's form, as computed; its p uses it capped at 1.",
             "ε (HF) は Lecoutre の式による公式のままの値で、1 を超えることがあります。修正した df と "
             "p には 1 を上限として用います。"});
    Table t = Tabulate(r, "Sphericity",
                       {"Sphericity (Mauchly) and corrections", "球面性の検定 (Mauchly) と自由度の修正"},
                       columns, rows);
    t.notes = std::move(notes);
    return t;
}

// A row of the multivariate table: one of the four statistics of an effect tested.
struct MultivariateRow {
    std::string effect;
    const char* english;
    const char* japanese;
    const MultivariateStatistic* statistic;
};

// Multivariate: why an effect has no test.
Labels UntestedNote(const A& r, const DesignEffect& e, const MultivariateTest& m) {
    const std::string k =
        std::to_string(m.variables ? static_cast<std::int64_t>(m.variables) : WithinContrasts(r, e));
    const std::string nu = std::to_string(PooledDf(r));
    switch (m.status) {
        case MultivariateStatus::Tested:
        case MultivariateStatus::NoEffect:
        case MultivariateStatus::OneDf:
            return {};
        case MultivariateStatus::TooFewSubjects:
            return {
                e.name + ": undefined: N − g = " + nu + " is below its " + k +
                    (k == "1" ? " contrast." : " contrasts."),
                e.name + ": 定義されません: N − g = " + nu + " が対比の数 " + k + " より小さいためです。"};
        case MultivariateStatus::Singular:
            return {e.name + ": undefined: the pooled error of its " + k +
                        " contrasts has no inverse (a contrast constant within groups, or a combination of "
                        "others).",
                    e.name + ": 定義されません: " + k +
                        " 個の対比の群内で合併した誤差行列に逆行列がありません "
                        "(群内で定数の対比、または他の対比の一次結合)。"};
        case MultivariateStatus::Omitted:
            return {e.name + ": not computed: its " + k + " contrasts are too many.",
                    e.name + ": 対比が " + k + " 個と多すぎるため計算していません。"};
    }
    return {};
}

// Third: the four statistics of each within effect and its interactions with the between factors.
Table Multivariate(const A& r) {
    using M = const MultivariateRow&;
    const std::vector<Column<MultivariateRow, A>> columns{
        {Heading{"effect", "Effect", "効果"}.Names(), [](auto&, M m) { return Text(m.effect); }},
        {Heading{"test", "Test", "検定統計量"}.Names(),
         [](auto&, M m) { return Text(m.english, m.japanese); }},
        {{"value", "Value", "値"}, [](auto&, M m) { return Number(m.statistic->value, Figure::Statistic); }},
        {{"F", "F", "F 値"}, [](auto&, M m) { return Number(m.statistic->f, Figure::Statistic); }},
        {{"df1", "df1", "df1"}, [](auto&, M m) { return Number(m.statistic->df1, Figure::Statistic); }},
        {{"df2", "df2", "df2"}, [](auto&, M m) { return Number(m.statistic->df2, Figure::Statistic); }},
        {{"p", "p", "p 値"}, [](auto&, M m) { return Number(m.statistic->p, Figure::P); }},
    };
    std::vector<MultivariateRow> rows;
    std::vector<Labels> notes;
    for (const DesignEffect& e : r.effects) {
        if (!e.multivariate) continue;
        const MultivariateTest& m = *e.multivariate;
        if (m.status != MultivariateStatus::Tested) {
            Labels note = UntestedNote(r, e, m);
            if (!note.english.empty()) notes.push_back(std::move(note));
            continue;
        }
        rows.push_back({e.name, "Pillai's trace", "Pillai のトレース", &m.pillai});
        rows.push_back({e.name, "Wilks' lambda", "Wilks のラムダ", &m.wilks});
        rows.push_back({e.name, "Hotelling-Lawley trace", "Hotelling-Lawley のトレース", &m.hotellingLawley});
        rows.push_back({e.name, "Roy's largest root", "Roy の最大根", &m.roy});
    }
    if (!rows.empty())
        notes.push_back(
            {"F approximations as R's summary.manova: Rao's for Wilks' lambda; Roy's is an upper bound.",
             "F の近似は R の summary.manova と同じ: Wilks のラムダには Rao の近似、Roy の最大根の F "
             "は上限です。"});
    Table t = Tabulate(r, "Multivariate", {"Multivariate tests", "多変量検定"}, columns, rows);
    t.notes = std::move(notes);
    return t;
}

// The columns of a mean after the names of its levels.
void AddMeanColumns(std::vector<Column<DesignMean, A>>& columns) {
    using M = const DesignMean&;
    const std::vector<Column<DesignMean, A>> figures{
        {{"n", "n", "n"}, [](auto&, M m) { return Integer(m.n); }},
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
    columns.insert(columns.end(), figures.begin(), figures.end());
}

// Fourth: the mean of every between x within cell, a column for each factor's level.
Table CellMeans(const A& r) {
    std::vector<Column<DesignMean, A>> columns;
    for (std::size_t k = 0; k < r.between.size() + r.within.size(); ++k) {
        const std::string& name = FactorAt(r, k).name;
        columns.push_back({Heading{name, name, name}.Names(), [k](const A& a, const DesignMean& m) {
                               return Text(k < m.levels.size() ? LevelOf(a, k, m.levels[k]) : std::string());
                           }});
    }
    AddMeanColumns(columns);
    return Tabulate(r, "CellMeans", {"Cell means", "セルの平均"}, columns, r.cellMeans);
}

// Fifth: the estimated marginal means of each factor's levels.
Table MarginalMeans(const A& r) {
    std::vector<DesignMean> rows;  // each with its factor's level alone
    std::vector<std::size_t> factorOf;
    for (std::size_t k = 0; k < r.marginalMeans.size(); ++k)
        for (const DesignMean& m : r.marginalMeans[k]) rows.push_back(m), factorOf.push_back(k);
    std::vector<Column<DesignMean, A>> columns{
        {Heading{"factor", "Factor", "要因"}.Names(),
         [](const A& a, const DesignMean& m) {
             for (std::size_t k = 0; k < m.levels.size(); ++k)
                 if (m.levels[k] >= 0) return Text(FactorAt(a, k).name);
             return Blank();
         }},
        {Heading{"level", "Level", "水準"}.Names(),
         [](const A& a, const DesignMean& m) {
             for (std::size_t k = 0; k < m.levels.size(); ++k)
                 if (m.levels[k] >= 0) return Text(LevelOf(a, k, m.levels[k]));
             return Blank();
         }},
    };
    AddMeanColumns(columns);
    Table t = Tabulate(r, "MarginalMeans", {"Estimated marginal means", "推定周辺平均"}, columns, rows);
    t.notes.push_back({"Each level's mean weighs the other factors' cells equally.",
                       "各水準の平均は、他の要因のセルを等しい重みで平均したものです。"});
    return t;
}

// Sixth: each two levels of each factor, Holm and Bonferroni within each factor's family.
Table Comparisons(const A& r) {
    using C = const DesignComparison&;
    const std::vector<Column<DesignComparison, A>> columns{
        {Heading{"factor", "Factor", "要因"}.Names(),
         [](auto& a, C c) { return Text(FactorAt(a, c.factor).name); }},
        {Heading{"levelI", "Level i", "水準 i"}.Names().JoinedAs(Join::Levels, "Levels", "水準"),
         [](auto& a, C c) { return Text(LevelOf(a, c.factor, c.i)); }},
        {Heading{"levelJ", "Level j", "水準 j"}.Names(),
         [](auto& a, C c) { return Text(LevelOf(a, c.factor, c.j)); }},
        {{"difference", "Difference", "差 (i − j)"},
         [](auto&, C c) { return Number(c.difference, Figure::Statistic); }},
        {Heading{"ciLow", "CI low", "95% CI 下限"}.JoinedAs(Join::Interval, "95% CI", "95% CI"),
         [](auto&, C c) { return Bound(c.ci95, &Interval::low); }},
        {{"ciHigh", "CI high", "95% CI 上限"}, [](auto&, C c) { return Bound(c.ci95, &Interval::high); }},
        {{"se", "SE", "SE"}, [](auto&, C c) { return Number(c.se, Figure::Statistic); }},
        {{"t", "t", "t"}, [](auto&, C c) { return Number(c.t, Figure::Statistic); }},
        {{"df", "df", "自由度"}, [](auto&, C c) { return Number(c.df, Figure::Statistic); }},
        {{"p", "p", "p 値"}, [](auto&, C c) { return Number(c.p, Figure::P); }},
        {{"pHolm", "p (Holm)", "p (Holm)"}, [](auto&, C c) { return Number(c.pHolm, Figure::P); }},
        {{"pBonferroni", "p (Bonferroni)", "p (Bonferroni)"},
         [](auto&, C c) { return Number(c.pBonferroni, Figure::P); }},
        {{"d", "d", "d"}, [](auto&, C c) { return Number(c.d, Figure::Proportion); }},
        {Heading{"dCiLow", "d CI low", "d CI 下限"}.JoinedAs(Join::Interval, "d CI", "d の信頼区間"),
         [](auto&, C c) { return Limit(c.dCI, &LevelInterval::lower); }},
        {{"dCiHigh", "d CI high", "d CI 上限"},
         [](auto&, C c) { return Limit(c.dCI, &LevelInterval::upper); }},
    };
    return Tabulate(r, "Comparisons",
                    {"Pairwise comparisons (Holm and Bonferroni within each factor's family)",
                     "対ごとの比較 (Holm と Bonferroni の調整は要因ごとの族で)"},
                    columns, r.comparisons);
}

// Seventh: each factor at each level of each other factor, on its own error term.
Table SimpleEffects(const A& r) {
    using E = const DesignSimpleEffect&;
    const std::vector<Column<DesignSimpleEffect, A>> columns{
        {Heading{"effect", "Effect", "効果"}.Names(),
         [](auto& a, E s) { return Text(FactorAt(a, s.factor).name); }},
        {Heading{"at", "At", "条件"}.Names(),
         [](auto& a, E s) {
             return Text(FactorAt(a, s.atFactor).name + " = " + LevelOf(a, s.atFactor, s.atLevel));
         }},
        {{"ss", "SS", "平方和"}, [](auto&, E s) { return Number(s.ss, Figure::Sum); }},
        {{"errorSs", "error SS", "誤差の平方和"}, [](auto&, E s) { return Number(s.errorSs, Figure::Sum); }},
        {{"f", "F", "F 値"}, [](auto&, E s) { return Number(s.f, Figure::Statistic); }},
        {{"df1", "df1", "df1"}, [](auto&, E s) { return Integer(s.df1); }},
        {{"df2", "df2", "df2"}, [](auto&, E s) { return Integer(s.df2); }},
        {{"p", "p", "p 値"}, [](auto&, E s) { return Number(s.p, Figure::P); }},
        {{"partialEtaSquared", "partial eta^2", "偏 η²"},
         [](auto&, E s) { return Number(s.partialEtaSquared, Figure::Proportion); }},
    };
    return Tabulate(r, "SimpleEffects", {"Simple effects", "単純効果 (各水準での 1 要因の分析)"}, columns,
                    r.simpleEffects);
}

// Eighth, with between factors: the homogeneity of each within cell's variances across the groups.
Table Levene(const A& r) {
    using L = const LeveneResult&;
    const std::vector<Column<LeveneResult, A>> columns{
        {Heading{"cell", "Cell", "セル"}.Names(),
         [](auto& a, L l) { return Text(CellName(a, designfields::WithinCellLevels(a, l.cell))); }},
        {Heading{"centre", "Centre", "中心"}.Names(),
         [](auto&, L l) {
             return l.median ? Text("median (Brown–Forsythe)", "中央値 (Brown–Forsythe)")
                             : Text("mean", "平均");
         }},
        {{"f", "F", "F 値"}, [](auto&, L l) { return Number(l.f, Figure::Statistic); }},
        {{"df1", "df1", "df1"}, [](auto&, L l) { return Integer(l.df1); }},
        {{"df2", "df2", "df2"}, [](auto&, L l) { return Integer(l.df2); }},
        {{"p", "p", "p 値"}, [](auto&, L l) { return Number(l.p, Figure::P); }},
    };
    return Tabulate(r, "Levene",
                    {"Levene's test of each within cell across the groups",
                     "各被験者内セルの群間の等分散性 (Levene の検定)"},
                    columns, r.levene);
}

// Last: Shapiro and Wilk's test of each error stratum's residuals, and why the rank tests are left out.
Table Normality(const A& r) {
    using S = const StratumNormality&;
    const std::vector<Column<StratumNormality, A>> columns{
        {Heading{"stratum", "Stratum", "誤差層"}.Names(), [](auto&, S s) { return Text(s.stratum); }},
        {{"residuals", "Residuals", "残差の数"}, [](auto&, S s) { return Integer(s.n); }},
        {{"W", "Shapiro-Wilk W", "Shapiro-Wilk W"},
         [](auto&, S s) { return Number(s.w, Figure::Proportion); }},
        {{"p", "p", "p 値"}, [](auto&, S s) { return Number(s.p, Figure::P); }},
    };
    Table t =
        Tabulate(r, "Normality", {"Normality of the residuals by error stratum", "誤差層ごとの残差の正規性"},
                 columns, r.normality);
    if (!r.rankTestsOmitted.empty())
        t.notes.push_back(
            {r.rankTestsOmitted,
             "順位に基づく検定は計算していません (被験者間要因のある計画では定義されません)。"});
    return t;
}

// ---- the rank-based tests, of a design without between factors ----

// A row of the Friedman table: a test and its name in both languages.
struct FriedmanRow {
    std::string english, japanese;
    const FriedmanTest* test;
};

// "A" alone; "A (means over B × C)"; "A × B × C cells".
FriedmanRow FriedmanRowOf(const A& r, const DesignFriedman& f) {
    std::string all, others;
    for (std::size_t w = 0; w < r.within.size(); ++w) {
        all += (all.empty() ? "" : " × ") + r.within[w].name;
        if (w != f.factor) others += (others.empty() ? "" : " × ") + r.within[w].name;
    }
    if (f.cells) return {all + " cells", all + " のセル", &f.test};
    const std::string& name = r.within.at(f.factor).name;
    if (others.empty()) return {name, name, &f.test};
    return {name + " (means over " + others + ")", name + " (" + others + " で平均)", &f.test};
}

// Friedman's test of each within factor over the subjects' means of its levels, then of the cells.
Table Friedman(const A& r) {
    using F = const FriedmanRow&;
    const std::vector<Column<FriedmanRow, A>> columns{
        {Heading{"test", "Test", "検定"}.Names(), [](auto&, F f) { return Text(f.english, f.japanese); }},
        {{"k", "k", "k"}, [](auto&, F f) { return Integer(f.test->levels); }},
        {{"chiSquare", "Chi-square", "カイ二乗"},
         [](auto&, F f) { return Number(f.test->chiSquare, Figure::Statistic); }},
        {{"df", "df", "自由度"}, [](auto&, F f) { return Integer(f.test->df); }},
        {{"p", "p", "p 値"}, [](auto&, F f) { return Number(f.test->p, Figure::P); }},
        {{"kendallW", "Kendall's W", "Kendall の W"},
         [](auto&, F f) { return Number(f.test->kendallW, Figure::Proportion); }},
        {{"F", "F (Iman-Davenport)", "F (Iman-Davenport)"},
         [](auto&, F f) { return Number(f.test->imanDavenportF, Figure::Statistic); }},
        {{"df1", "df1", "df1"}, [](auto&, F f) { return Integer(f.test->df1); }},
        {{"df2", "df2", "df2"}, [](auto&, F f) { return Integer(f.test->df2); }},
        {{"pF", "p (F)", "p (F)"}, [](auto&, F f) { return Number(f.test->imanDavenportP, Figure::P); }},
        {{"tieCorrection", "Tie correction", "同順位の補正"},
         [](auto&, F f) { return Number(f.test->tieCorrection, Figure::Proportion); }},
    };
    std::vector<FriedmanRow> rows;
    for (const DesignFriedman& f : r.rankBased.friedman)
        if (f.test.levels >= 2) rows.push_back(FriedmanRowOf(r, f));
    Table t = Tabulate(r, "Friedman", {"Friedman tests", "Friedman 検定"}, columns, rows);
    if (r.rankBased.alignedOmitted)
        t.notes.push_back(
            {"The aligned rank transform is not computed for 16,777,216 scores or more: the sums "
             "of its squared ranks would leave the exact integers.",
             "整列順位変換は得点が 16,777,216 個以上のときは計算していません "
             "(順位の平方和が正確な整数に収まらないため)。"});
    return t;
}

// The aligned rank transform of every within effect.
Table AlignedRanks(const A& r) {
    using E = const DesignAlignedRank&;
    const std::vector<Column<DesignAlignedRank, A>> columns{
        {Heading{"effect", "Effect", "効果"}.Names(), [](auto&, E e) { return Text(e.name); }},
        {{"SS", "SS (ranks)", "平方和 (順位)"},
         [](auto&, E e) { return Number(e.test.ss, Figure::Statistic); }},
        {{"df", "df", "自由度"}, [](auto&, E e) { return Integer(e.test.df); }},
        {{"errorSS", "Error SS", "誤差の平方和"},
         [](auto&, E e) { return Number(e.test.errorSs, Figure::Statistic); }},
        {{"errorDf", "Error df", "誤差の自由度"}, [](auto&, E e) { return Integer(e.test.errorDf); }},
        {{"F", "F", "F 値"}, [](auto&, E e) { return Number(e.test.f, Figure::Statistic); }},
        {{"p", "p", "p 値"}, [](auto&, E e) { return Number(e.test.p, Figure::P); }},
        {{"otherEffects", "Other effects", "他の効果"},
         [](auto&, E e) { return Number(e.test.otherEffects, Figure::Proportion); }},
    };
    std::vector<DesignAlignedRank> rows;
    for (const DesignAlignedRank& e : r.rankBased.alignedRanks)
        if (e.test.df >= 1) rows.push_back(e);
    Table t = Tabulate(r, "AlignedRanks", {"Aligned rank transform", "整列順位変換 (ART)"}, columns, rows);
    t.notes.push_back(
        {"Each effect's aligned responses are ranked and analysed with its own error stratum (the effect × "
         "S); Other effects: the largest estimate of the effects not aligned for in them, over their "
         "standard "
         "deviation, zero but for rounding.",
         "効果ごとに整列した応答に順位を付け、その効果の誤差層 (効果 × S) で分析します。"
         "「他の効果」は、整列で取り除いた効果の推定値のうち最大のものをその標準偏差で割った値で、丸めを除け"
         "ば 0 です。"});
    return t;
}

// The ART-C contrasts of each within factor's levels.
Table AlignedRankContrasts(const A& r) {
    using C = const DesignAlignedContrast&;
    const auto level = [](const A& a, C c, std::int32_t l) {
        return Text(LevelOf(a, a.between.size() + c.factor, l - 1));
    };
    const std::vector<Column<DesignAlignedContrast, A>> columns{
        {Heading{"factor", "Factor", "要因"}.Names(),
         [](auto& a, C c) { return Text(a.within.at(c.factor).name); }},
        {Heading{"first", "Level 1", "水準 1"}.Names(),
         [level](auto& a, C c) { return level(a, c, c.contrast.first); }},
        {Heading{"second", "Level 2", "水準 2"}.Names(),
         [level](auto& a, C c) { return level(a, c, c.contrast.second); }},
        {{"difference", "Difference (mean ranks)", "平均順位の差"},
         [](auto&, C c) { return Number(c.contrast.difference, Figure::Statistic); }},
        {{"se", "SE", "SE"}, [](auto&, C c) { return Number(c.contrast.se, Figure::Statistic); }},
        {{"t", "t", "t"}, [](auto&, C c) { return Number(c.contrast.t, Figure::Statistic); }},
        {{"df", "df", "自由度"}, [](auto&, C c) { return Integer(c.contrast.df); }},
        {{"p", "p", "p 値"}, [](auto&, C c) { return Number(c.contrast.p, Figure::P); }},
        {{"pHolm", "p (Holm)", "p (Holm)"}, [](auto&, C c) { return Number(c.contrast.pHolm, Figure::P); }},
    };
    Table t = Tabulate(r, "AlignedRankContrasts",
                       {"Aligned rank transform contrasts (ART-C)", "整列順位変換の対比 (ART-C)"}, columns,
                       r.rankBased.contrasts);
    const std::string most = std::to_string(kContrastedLevels);
    for (const DesignFactor& f : r.within)
        if (f.levels.size() > kContrastedLevels)
            t.notes.push_back({f.name + ": more than " + most + " levels; no contrasts.",
                               f.name + ": 水準が " + most + " を超えるため、対比は計算していません。"});
    t.notes.push_back(
        {"Each pair of levels of a within factor by their mean ranks of the responses aligned for that "
         "factor, against the error of its stratum (the factor × S): t = difference / sqrt(2 MSE / m), m the "
         "scores at a level, on its df; Holm's adjustment within each factor. The interactions' contrasts "
         "are "
         "not computed.",
         "被験者内要因の水準の対ごとに、その要因に整列した応答の平均順位を、その誤差層 (要因 × S) "
         "の誤差で比べます: t = 差 / √(2 MSE / m)、m は 1 水準の得点の数、自由度はその誤差の自由度。Holm "
         "の調整は要因ごと。交互作用の対比は計算しません。"});
    return t;
}

}  // namespace
}  // namespace morvane
