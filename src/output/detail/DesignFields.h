#pragma once
// Every field of a design's analysis (design/DesignAnalysis.h) described once,
// as analysis/ResultFields.h describes those of the A x B x S analysis and with
// the same visitor: its key (as JSON names it), its kind and the range a figure
// keeps. Effects and multivariate tests are keyed by the effect's key
// ("group:A"); a mean, comparison or simple effect names its factors' levels
// by their names. Private to the output room.

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/ResultFields.h"
#include "design/DesignAnalysis.h"

namespace morvane::designfields {

// The factor of index `i` over all factors, between first.
inline const DesignFactor& FactorAt(const DesignAnalysis& a, std::size_t i) {
    return i < a.between.size() ? a.between[i] : a.within[i - a.between.size()];
}

// The name of level `level` (from 0) of factor `i`; empty for one the design does not have.
inline const std::string& LevelOf(const DesignAnalysis& a, std::size_t i, std::int32_t level) {
    static const std::string kNone;
    const DesignFactor& f = FactorAt(a, i);
    if (level < 0 || static_cast<std::size_t>(level) >= f.levels.size()) return kNone;
    return f.levels[static_cast<std::size_t>(level)];
}

// The levels a result is at, as {"factor": "level"}: every factor of `levels`
// (indices over all factors) that is not -1.
template <class V>
void Levels(const DesignAnalysis& a, const std::vector<std::int32_t>& levels, V& v) {
    for (std::size_t i = 0; i < levels.size() && i < a.between.size() + a.within.size(); ++i)
        if (levels[i] >= 0) v.Text(FactorAt(a, i).name.c_str(), LevelOf(a, i, levels[i]).c_str());
}

// An effect's test, keyed under its own key by the walk of the whole.
template <ResultOf<DesignEffect> E, class V>
void ForEachField(E& e, V& v) {
    v.Number("SS", e.effect.ss, Range::NotNegative);
    v.Integer("df", e.effect.df);
    v.Number("MS", e.effect.ms, Range::NotNegative);
    v.Number("F", e.f, Range::NotNegative);
    v.P("p", e.p, true);
    v.Number("errorSS", e.error.ss, Range::NotNegative);
    v.Integer("errorDf", e.error.df);
    v.Number("errorMS", e.error.ms, Range::NotNegative);
    v.Number("partialEtaSquared", e.partialEtaSquared, Range::Probability);
    v.Limits("partialEtaSquaredCI", e.partialEtaSquaredCI, Range::Probability);
    v.Number("generalizedEtaSquared", e.generalizedEtaSquared, Range::Probability);
    v.Optional("sphericity", e.sphericity, [&](auto& s) { morvane::ForEachField(s, v); });
}

inline const char* StatusKey(MultivariateStatus s) {
    return fields::StatusKey(s);
}

template <ResultOf<MultivariateStatistic> S, class V>
void ForEachField(S& s, V& v, Range range) {
    v.Number("value", s.value, range);
    v.Number("F", s.f, Range::NotNegative);
    v.Number("df1", s.df1, Range::NotNegative);
    v.Number("df2", s.df2, Range::NotNegative);
    v.P("p", s.p, true);
}

template <ResultOf<MultivariateTest> M, class V>
void ForEachField(M& m, V& v) {
    const bool tested = m.status == MultivariateStatus::Tested;
    v.Text("status", StatusKey(m.status));
    v.Integer("variables", static_cast<std::int64_t>(m.variables));
    v.Number("hypothesisDf", m.hypothesisDf, Range::NotNegative);
    v.Number("errorDf", m.errorDf, Range::NotNegative);
    if (!tested) return;
    v.Group("pillai", [&] { ForEachField(m.pillai, v, Range::NotNegative); });
    v.Group("wilks", [&] { ForEachField(m.wilks, v, Range::Probability); });
    v.Group("hotellingLawley", [&] { ForEachField(m.hotellingLawley, v, Range::NotNegative); });
    v.Group("roy", [&] { ForEachField(m.roy, v, Range::NotNegative); });
}

template <ResultOf<DesignMean> M, class V>
void ForEachField(M& m, V& v, const DesignAnalysis& a) {
    v.Group("levels", [&] { Levels(a, m.levels, v); });
    v.Integer("n", m.n);
    v.Number("mean", m.mean, Range::Any);
    v.Number("sd", m.sd, Range::NotNegative);
    v.Number("se", m.se, Range::NotNegative);
    v.Interval("ci95", m.ci95);
    v.Interval("withinCi95", m.withinCi95);
}

template <ResultOf<DesignComparison> C, class V>
void ForEachField(C& c, V& v, const DesignAnalysis& a) {
    v.Text("factor", FactorAt(a, c.factor).name.c_str());
    v.Texts("levels", {LevelOf(a, c.factor, c.i), LevelOf(a, c.factor, c.j)});
    v.Number("difference", c.difference, Range::Any);
    v.Number("se", c.se, Range::NotNegative);
    v.Number("t", c.t, Range::Any);
    v.Number("df", c.df, Range::NotNegative);
    v.P("p", c.p, true);
    v.P("pHolm", c.pHolm, true);
    v.P("pBonferroni", c.pBonferroni, true);
    v.Interval("ci95", c.ci95);
    v.Number("d", c.d, Range::Any);
    v.Limits("dCI", c.dCI, Range::Any);
}

template <ResultOf<DesignSimpleEffect> S, class V>
void ForEachField(S& s, V& v, const DesignAnalysis& a) {
    v.Text("effect", FactorAt(a, s.factor).name.c_str());
    v.Group("at",
            [&] { v.Text(FactorAt(a, s.atFactor).name.c_str(), LevelOf(a, s.atFactor, s.atLevel).c_str()); });
    v.Number("SS", s.ss, Range::NotNegative);
    v.Number("errorSS", s.errorSs, Range::NotNegative);
    v.Number("F", s.f, Range::NotNegative);
    v.IntegerPair("df", s.df1, s.df2, true);
    v.P("p", s.p, true);
    v.Number("partialEtaSquared", s.partialEtaSquared, Range::Probability);
}

// The levels of within cell `cell` (the last within factor fastest) as indices over all factors.
inline std::vector<std::int32_t> WithinCellLevels(const DesignAnalysis& a, std::size_t cell) {
    std::vector<std::int32_t> levels(a.between.size() + a.within.size(), -1);
    for (std::size_t k = a.within.size(); k-- > 0;) {
        const std::size_t count = a.within[k].levels.size();
        if (count == 0) break;
        levels[a.between.size() + k] = static_cast<std::int32_t>(cell % count);
        cell /= count;
    }
    return levels;
}

template <ResultOf<LeveneResult> L, class V>
void ForEachField(L& l, V& v, const DesignAnalysis& a) {
    v.Group("cell", [&] { Levels(a, WithinCellLevels(a, l.cell), v); });
    v.Text("centre", l.median ? "median" : "mean");
    v.IntegerPair("df", l.df1, l.df2, true);
    v.Number("F", l.f, Range::NotNegative);
    v.P("p", l.p, true);
}

template <ResultOf<StratumNormality> S, class V>
void ForEachField(S& s, V& v) {
    v.Text("stratum", s.stratum.c_str());
    v.Integer("n", s.n);
    v.Number("W", s.w, Range::Probability);
    v.P("p", s.p, true);
}

template <ResultOf<DesignFactor> F, class V>
void ForEachField(F& f, V& v) {
    v.Text("name", f.name.c_str());
    v.Texts("levels", f.levels);
}

// The design as analysed: its factors, its subjects (and those removed), the
// averaged rows and the type of the sums of squares.
template <ResultOf<DesignAnalysis> R, class V>
void ForEachDesignField(R& r, V& v) {
    const auto each = [&](auto& element) { ForEachField(element, v); };
    v.List("between", r.between, each);
    v.List("within", r.within, each);
    v.Integer("subjects", r.subjects);
    v.Integer("subjectsRead", r.subjectsRead);
    v.Texts("subjectsRemoved", r.removed);
    v.Group("averaged", [&] {
        v.Integer("cells", r.averagedCells);
        v.Integer("rows", r.averagedRows);
    });
    v.Integer("sumsOfSquaresType", r.options.type == SsType::TypeII ? 2 : 3);
    v.Bool("typesAgree", r.typesAgree);
    v.Texts("observed", r.options.observed);
}

// The effects' tests and the follow-ups.
template <ResultOf<DesignAnalysis> R, class V>
void ForEachResultField(R& r, V& v) {
    v.Group("effects", [&] {
        for (auto& e : r.effects) v.Group(e.key.c_str(), [&] { ForEachField(e, v); });
    });
    const auto named = [&](auto& element) { ForEachField(element, v, r); };
    v.List("cellMeans", r.cellMeans, named);
    v.Group("marginalMeans", [&] {
        for (std::size_t i = 0; i < r.marginalMeans.size() && i < r.between.size() + r.within.size(); ++i)
            v.List(FactorAt(r, i).name.c_str(), r.marginalMeans[i], named);
    });
    v.List("comparisons", r.comparisons, named);
    v.List("simpleEffects", r.simpleEffects, named);
}

// An ART-C contrast: its within factor and its two levels by name.
template <ResultOf<DesignAlignedContrast> C, class V>
void ForEachField(C& c, V& v, const DesignAnalysis& a) {
    const std::size_t f = a.between.size() + c.factor;
    v.Text("factor", FactorAt(a, f).name.c_str());
    v.Texts("levels", {LevelOf(a, f, c.contrast.first - 1), LevelOf(a, f, c.contrast.second - 1)});
    v.Number("difference", c.contrast.difference, Range::Any);
    v.Number("se", c.contrast.se, Range::NotNegative);
    v.Number("t", c.contrast.t, Range::Any);
    v.Integer("df", c.contrast.df);
    v.P("p", c.contrast.p, true);
    v.P("pHolm", c.contrast.pHolm, true);
    v.P("pBonferroni", c.contrast.pBonferroni, true);
}

// The key of a Friedman test: its within factor's name, or the within
// factors' names joined by ":" for the test of the cells.
inline std::string FriedmanKey(const DesignAnalysis& a, const DesignFriedman& f) {
    if (!f.cells) return f.factor < a.within.size() ? a.within[f.factor].name : std::string();
    std::string key;
    for (const DesignFactor& w : a.within) key += (key.empty() ? "" : ":") + w.name;
    return key;
}

// The rank-based tests of a design without between factors: Friedman's keyed
// by factor (the cells' by the within factors' key), the aligned rank
// transform keyed by effect, its contrasts.
template <ResultOf<DesignAnalysis> R, class V>
void ForEachRankField(R& r, V& v) {
    auto& k = r.rankBased;
    v.Group("rankBased", [&] {
        v.Group("friedman", [&] {
            for (auto& f : k.friedman)
                v.Group(FriedmanKey(r, f).c_str(), [&] { morvane::ForEachField(f.test, v); });
        });
        v.Group("alignedRankTransform", [&] {
            v.Group("effects", [&] {
                for (auto& e : k.alignedRanks)
                    v.Group(e.key.c_str(), [&] { morvane::ForEachField(e.test, v); });
            });
            v.List("contrasts", k.contrasts, [&](auto& c) { ForEachField(c, v, r); });
            v.Bool("exactAlignment", k.exactAlignment);
            if (k.alignedOmitted) v.Bool("omitted", k.alignedOmitted);
        });
    });
}

// The checks beside the model: the multivariate tests, Levene's and Shapiro and Wilk's.
template <ResultOf<DesignAnalysis> R, class V>
void ForEachCheckField(R& r, V& v) {
    v.Group("multivariate", [&] {
        for (auto& e : r.effects)
            if (!e.within.empty())
                v.Optional(e.key.c_str(), e.multivariate, [&](auto& m) { ForEachField(m, v); });
    });
    v.List("levene", r.levene, [&](auto& l) { ForEachField(l, v, r); });
    v.List("normality", r.normality, [&](auto& s) { ForEachField(s, v); });
}

}  // namespace morvane::designfields
