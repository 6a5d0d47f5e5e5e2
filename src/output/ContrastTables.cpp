#include <cmath>
#include <cstdio>
#include <string>

#include "anova/AnalysisFields.h"
#include "output/Conventions.h"
#include "output/detail/AnalysisTables.h"
#include "stats/Polynomials.h"

// The planned contrasts' table and the sentence of their conventions: shown
// only where the analysis was asked for them.

namespace morvane::tables {
namespace {

// A weight as short text: an integer as one, another to 7 significant digits.
std::string WeightText(Extended w) {
    char text[48];
    if (std::fabs(w) < 1e15L && w == std::trunc(w))
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(w));
    else
        std::snprintf(text, sizeof text, "%.7Lg", w);
    return text;
}

// A contrast's weights: "-1 0 1", an interaction contrast's per factor ("A: 1 -1 × B: -1 0 1").
std::string WeightsText(const Analysis& r, const anova::PlannedContrast& c) {
    std::string out;
    for (std::size_t i = 0; i < c.factors.size() && i < c.weights.size(); ++i) {
        if (i > 0) out += " × ";
        if (c.factors.size() > 1) out += r.FactorAt(c.factors[i]).name + ": ";
        for (std::size_t l = 0; l < c.weights[i].size(); ++l)
            out += (l > 0 ? " " : "") + WeightText(c.weights[i][l]);
    }
    return out;
}

std::string FactorsText(const Analysis& r, const anova::PlannedContrast& c) {
    std::string out;
    for (const std::size_t f : c.factors) out += (out.empty() ? "" : " × ") + r.FactorAt(f).name;
    return out;
}

// A contrast's family, in Japanese too: "trend of time" as "time の傾向".
Cell FamilyCell(const Analysis& r, const anova::PlannedContrast& c) {
    if (c.family.starts_with("trend of ") && !c.factors.empty())
        return Text(c.family, r.FactorAt(c.factors[0]).name + " の傾向");
    return Text(c.family, "指定した対比");
}

// A whole number of degrees of freedom as an integer, another as a figure.
Cell WholeDf(Extended df) {
    const auto whole = static_cast<std::int64_t>(df);
    return static_cast<Extended>(whole) == df ? Integer(whole) : Number(df, Figure::Df);
}

}  // namespace

// Each planned contrast asked for, family by family, the chosen adjustments within each.
Table PlannedContrasts(const Analysis& r, OutputLayout layout) {
    using C = const anova::PlannedContrast&;
    std::vector<Column<anova::PlannedContrast>> columns{
        {Heading{"family", "Family", "族"}.Names(), [](auto& a, C c) { return FamilyCell(a, c); }},
        {Heading{"factor", "Factor", "要因"}.Names(),
         [layout](auto& a, C c) { return Text(Shown(FactorsText(a, c), layout)); }},
        {Heading{"contrast", "Contrast", "対比"}.Names(), [](auto&, C c) { return Text(c.name); }},
        {Heading{"weights", "Weights", "重み"}.Names(),
         [layout](auto& a, C c) { return Text(Shown(WeightsText(a, c), layout)); }},
        {{"estimate", "Estimate", "推定値"},
         [](auto&, C c) { return Number(c.estimate, Figure::Statistic); }},
        {{"se", "SE", "SE"}, [](auto&, C c) { return Number(c.se, Figure::Statistic); }},
        {{"t", "t", "t"}, [](auto&, C c) { return Number(c.t, Figure::Statistic); }},
        {{"f", "F", "F 値"}, [](auto&, C c) { return Number(c.f, Figure::Statistic); }},
        {{"df", "df", "自由度"}, [](auto&, C c) { return WholeDf(c.df); }},
        {{"p", "p", "p 値"}, [](auto&, C c) { return Number(c.p, Figure::P); }},
        {{"partialEtaSquared", "partial eta^2", "偏 η²"},
         [](auto&, C c) { return Number(c.partialEtaSquared, Figure::Proportion); }},
        {Heading{"etaCiLow", "eta^2 CI low", "偏 η² CI 下限"}.JoinedAs(Join::Interval, "partial eta^2 CI",
                                                                       "偏 η² の信頼区間"),
         [](auto&, C c) { return Limit(c.partialEtaSquaredCI, &LevelInterval::lower); }},
        {{"etaCiHigh", "eta^2 CI high", "偏 η² CI 上限"},
         [](auto&, C c) { return Limit(c.partialEtaSquaredCI, &LevelInterval::upper); }},
    };
    const AdjustmentSet adjustments = r.options.adjustments;
    AddAdjustedColumns(columns, "p", adjustments, [](C c) -> C { return c; });
    return TabulateBorrowed(
        r, "Contrasts",
        Labels{"Planned contrasts (" + AdjustmentList(adjustments, false) + " within each family)",
               "計画された対比 (" + AdjustmentList(adjustments, true) + " の調整は族ごと)"},
        columns, r.contrasts);
}

}  // namespace morvane::tables

namespace morvane {

std::optional<Convention> ContrastConvention(const anova::Analysis& r, OutputLanguage language) {
    if (!anova::ContrastsAsked(r)) return std::nullopt;
    const bool ja = language == OutputLanguage::Japanese;
    const std::string bound = std::to_string(kPolynomialIntegersUpTo);
    return Convention{
        "contrasts",
        ja ? "計画された対比: 被験者内要因を含む対比は各被験者の対比得点により、群を等しい重みで平均し、"
             "その分散は群内で合併して自由度 N − g (emmeans の多変量モデルと同じ)。被験者間要因だけの対比は"
             "被験者の被験者内セルの平均により、群内で合併した誤差 (自由度 N − g) で検定します。名前のない"
             "要因は等しい重みで平均します。傾向の重みは与えた間隔 (既定は等間隔) の直交多項式で、最小の"
             "整数 (絶対値 " +
                 bound +
                 " 以下のとき) で示し、そうでなければ長さ 1 に正規化した値で示します。"
                 "F = t²、偏 η² = t² / (t² + 自由度)。"
           : "Planned contrasts: one involving a within factor on each subject's contrast score, the groups "
             "weighted equally, its variance pooled within the groups on N − g df (as emmeans' multivariate "
             "model); one of between factors alone on the subjects' means over the within cells with the "
             "error pooled within the groups on N − g df. Factors a contrast does not name are averaged over "
             "with equal weights. Trend weights are the orthogonal polynomials of the spacing given (equal "
             "unless told), shown as their smallest integers where these stay within " +
                 bound +
                 ", else normalised to unit length (R's contr.poly). F = t², partial eta squared t² / (t² + "
                 "df)."};
}

}  // namespace morvane
