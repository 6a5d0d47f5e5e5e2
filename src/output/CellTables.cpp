#include <cstdint>
#include <string>
#include <vector>

#include "anova/AnalysisFields.h"
#include "output/Conventions.h"
#include "output/detail/AnalysisTables.h"

// The table of the pairs of interactions' cells and the sentence of their
// conventions: shown only where the analysis was asked for them.

namespace morvane::tables {
namespace {

// A cell as "A = a1, B = b2".
std::string CellName(const Analysis& r, const anova::CellComparison& c, const std::vector<std::int32_t>& levels) {
    anova::Place at(r.Factors(), anova::kOver);
    for (std::size_t i = 0; i < c.factors.size() && i < levels.size(); ++i)
        if (c.factors[i] < at.size()) at[c.factors[i]] = levels[i];
    return PlaceName(r, at);
}

std::string FamilyName(const Analysis& r, const anova::CellComparison& c) {
    std::string out;
    for (const std::size_t f : c.factors) out += (out.empty() ? "" : " × ") + r.FactorAt(f).name;
    return out;
}

// The error's name, in Japanese "(対応あり)" for "(paired)".
Cell ErrorCell(const anova::CellComparison& c) {
    std::string ja = c.error;
    if (const std::size_t at = ja.find(" (paired)"); at != std::string::npos) ja = ja.substr(0, at) + " (対応あり)";
    return Text(c.error, ja);
}

}  // namespace

// Every pair of the cells of each interaction asked for, the chosen adjustments within each.
Table CellComparisons(const Analysis& r, OutputLayout layout) {
    using C = const anova::CellComparison&;
    std::vector<Column<anova::CellComparison>> columns{
        {Heading{"family", "Interaction", "交互作用"}.Names(),
         [layout](auto& a, C c) { return Text(Shown(FamilyName(a, c), layout)); }},
        {Heading{"cell1", "Cell i", "セル i"}.Names().JoinedAs(Join::Levels, "Cells", "セル"),
         [](auto& a, C c) { return Text(CellName(a, c, c.first)); }},
        {Heading{"cell2", "Cell j", "セル j"}.Names(), [](auto& a, C c) { return Text(CellName(a, c, c.second)); }},
        {Heading{"error", "Error", "誤差"}.Names(), [](auto&, C c) { return ErrorCell(c); }},
        {{"difference", "Difference", "差 (i − j)"},
         [](auto&, C c) { return Number(c.figures.difference, Figure::Statistic); }},
        {Heading{"ciLow", "CI low", "95% CI 下限"}.JoinedAs(Join::Interval, "95% CI", "95% CI"),
         [](auto&, C c) { return Bound(c.figures.ci95, &Interval::low); }},
        {{"ciHigh", "CI high", "95% CI 上限"}, [](auto&, C c) { return Bound(c.figures.ci95, &Interval::high); }},
        {{"se", "SE", "SE"}, [](auto&, C c) { return Number(c.figures.se, Figure::Statistic); }},
        {{"t", "t", "t"}, [](auto&, C c) { return Number(c.figures.t, Figure::Statistic); }},
        {{"df", "df", "自由度"}, [](auto&, C c) { return Integer(static_cast<std::int64_t>(c.figures.df)); }},
        {{"p", "p", "p 値"}, [](auto&, C c) { return Number(c.figures.p, Figure::P); }},
        {{"d", "d", "d"}, [](auto&, C c) { return Number(c.figures.d, Figure::Standardized); }},
    };
    const AdjustmentSet adjustments = r.options.adjustments;
    AddAdjustedColumns(columns, "p", adjustments, [](C c) -> const anova::Comparison& { return c.figures; });
    return TabulateBorrowed(r, "CellComparisons",
                    Labels{"Pairwise comparisons of an interaction's cells (" + AdjustmentList(adjustments, false) +
                               " within each interaction)",
                           "交互作用のセルの対ごとの比較 (" + AdjustmentList(adjustments, true) +
                               " の調整は交互作用ごと)"},
                    columns, r.cellComparisons);
}

// The simple interactions and simple-simple effects, each on its slice's own error.
Table SimpleInteractions(const Analysis& r, OutputLayout layout) {
    using S = const anova::SimpleInteraction&;
    std::vector<Column<anova::SimpleInteraction>> columns{
        {Heading{"effect", "Effect", "効果"}.Names(), [layout](auto&, S s) { return Text(Shown(s.effect, layout)); }},
        {Heading{"at", "At", "条件"}.Names(), [](auto& a, S s) { return Text(PlaceName(a, s.at)); }},
        {Heading{"error", "Error", "誤差"}.Names(), [layout](auto&, S s) { return Text(Shown(s.error, layout)); }},
        {{"ss", "SS", "平方和"}, [](auto&, S s) { return Number(s.ss, Figure::Sum); }},
        {{"errorSs", "error SS", "誤差の平方和"}, [](auto&, S s) { return Number(s.errorSs, Figure::Sum); }},
        {{"f", "F", "F 値"}, [](auto&, S s) { return Number(s.f, Figure::Statistic); }},
        {{"df1", "df1", "df1"}, [](auto&, S s) { return Integer(s.df1); }},
        {{"df2", "df2", "df2"}, [](auto&, S s) { return Integer(s.df2); }},
        {{"p", "p", "p 値"}, [](auto&, S s) { return Number(s.p, Figure::P); }},
        {{"partialEtaSquared", "partial eta^2", "偏 η²"},
         [](auto&, S s) { return Number(s.partialEtaSquared, Figure::Proportion); }},
        {Heading{"etaCiLow", "eta^2 CI low", "偏 η² CI 下限"}.JoinedAs(Join::Interval, "partial eta^2 CI",
                                                                       "偏 η² の信頼区間"),
         [](auto&, S s) { return Limit(s.partialEtaSquaredCI, &LevelInterval::lower); }},
        {{"etaCiHigh", "eta^2 CI high", "偏 η² CI 上限"},
         [](auto&, S s) { return Limit(s.partialEtaSquaredCI, &LevelInterval::upper); }},
    };
    return TabulateBorrowed(r, "SimpleInteractions",
                    Labels{"Simple interactions and simple-simple effects (each slice's own error)",
                           "単純交互作用と単純・単純効果 (各条件の分析の誤差)"},
                    columns, r.simpleInteractions);
}

}  // namespace morvane::tables

namespace morvane {

namespace {

// Where Tukey's HSD is chosen: which interactions' cells have it and why the others do not.
std::string CellsTukeySentence(const anova::Analysis& r, bool japanese) {
    if (!r.options.adjustments.Has(Adjustment::Tukey)) return {};
    return japanese
               ? "Tukey の HSD は被験者間要因だけの交互作用のセルに限り、セル数 k、合併した誤差の自由度 N − g の"
                 "スチューデント化された範囲の |t|·√2 での上側確率です (群の大きさが異なるときは Tukey–Kramer の形)。"
                 "被験者内要因を含む交互作用には示しません (—): その対の差はそれぞれ自身の誤差をもち、"
                 "スチューデント化された範囲が仮定する共通の誤差がないためです。"
               : " Tukey's HSD is given for the cells of an interaction of between factors alone: the upper "
                 "tail at |t|·√2 of the studentized range of its k cells on the pooled error's N − g df (the "
                 "Tukey–Kramer form where the groups' sizes differ). It is not given (—) where a within factor "
                 "is named: those pairs each have their own error, not the one common error the studentized "
                 "range assumes.";
}

}  // namespace

std::optional<Convention> CellConvention(const anova::Analysis& r, OutputLanguage language) {
    if (!anova::CellsAsked(r)) return std::nullopt;
    const std::string tukey = CellsTukeySentence(r, language == OutputLanguage::Japanese);
    if (language == OutputLanguage::Japanese)
        return Convention{
            "cellComparisons",
            "交互作用のセルの対ごとの比較: 名前のない要因は等しい重みで平均します。被験者間の水準が同じセルの対は"
            "各被験者の差により、その分散を群内で合併して (自由度 N − g) 検定します (誤差 “(対応あり)”)。"
            "被験者間の水準が異なる対は二つのセルの値により、それぞれの分散を群内で合併し、各セルの群の数と大きさ"
            "で差の分散にします (自由度 N − g)。調整は交互作用ごとの全対を族とし、Shaffer の調整は Holm の乗数を"
            "用います。" + tukey};
    return Convention{
        "cellComparisons",
        "Pairwise comparisons of an interaction's cells: the factors it does not name averaged over with "
        "equal weights. Two cells of the same between levels are compared on each subject's difference, its "
        "variance pooled within the groups on N − g df (error \"(paired)\"); two of different between levels "
        "on the two cells' values, each one's variance pooled within the groups and taken to the "
        "difference's by its own groups' sizes, on N − g df (as emmeans' multivariate model). Each "
        "interaction's pairs are one family; Shaffer's adjustment takes Holm's multipliers there." + tukey};
}

std::optional<Convention> SimpleInteractionConvention(const anova::Analysis& r, OutputLanguage language) {
    if (!r.options.simpleInteractions) return std::nullopt;
    if (language == OutputLanguage::Japanese)
        return Convention{"simpleInteractions",
                          "単純交互作用と単純・単純効果: 3 要因以上の計画で、2 要因の交互作用を第 3 の要因の各水準で、"
                          "1 要因の効果を他の 2 要因の各水準の組で検定します。それぞれ、その条件の被験者とセルだけの"
                          "計画を同じ方法で分析した検定で、誤差はその分析の誤差です (被験者内の条件ではその水準の"
                          "得点、被験者間の条件ではその水準の群)。"};
    return Convention{"simpleInteractions",
                      "Simple interactions and simple-simple effects: in a design of three or more factors, each "
                      "two factors' interaction at each level of a third, and each factor at each level "
                      "combination of two others, each tested as the design of that slice's subjects and cells "
                      "alone is (a within level: the scores at it; a between level: the groups at it), on that "
                      "analysis' own error term."};
}

}  // namespace morvane
