#pragma once
// Every field of the A x B x S analysis' results: its key, its kind (a
// figure, a p, an interval, a count, a name) and the range a figure keeps.
// The engine's walk over them applies its finiteness policy (an overflow for
// the univariate analysis, an undefined figure for the model checks) and the
// property tests check each figure's range; the outputs walk the one result
// (anova/AnalysisFields.h) instead. The statistics room's results are walked
// by stats/FigureFields.h, the precision check by report/PrecisionFields.h.
//
// A visitor has these members, each given the key and the field (const or not,
// as the result walked):
//   Number(key, figure, Range)         an Extended or an optional one
//   P(key, p, couldUnderflow)          a probability (couldUnderflow: a p of 0 is below the range)
//   Integer(key, value)                a count or degrees of freedom
//   OptionalInteger(key, value)        the same, or nothing
//   Bool(key, value), Text(key, text), Texts(key, texts), Names(key, cp932 names)
//   Level(key, level)                  a level from 1; 0 (all levels) leaves the field out
//   At(factor, level)                  the other factor's level a result is at, 0 for all
//   IntegerPair(key, first, second, defined)
//   NumberPair(key, first, second)     two optional figures, both or nothing
//   Interval(key, interval)            an optional Interval, low <= high
//   Limits(key, limits, Range)         an optional LevelInterval, lower <= upper, within the range
//   Group(key, walk)                   fields under a key of their own
//   Optional(key, optional, walk)      the same, or nothing
//   List(key, list, walk)              one walk an element

#include <string>
#include <vector>

#include "analysis/FullAnalysis.h"
#include "report/PrecisionFields.h"
#include "stats/FigureFields.h"

namespace morvane {

namespace fields {

inline const char* FactorKey(Factor f) {
    return f == Factor::A ? "A" : "B";
}

inline const char* StratumKey(Stratum s) {
    switch (s) {
        case Stratum::Subjects:
            return "S";
        case Stratum::AS:
            return "AS";
        case Stratum::BS:
            return "BS";
        case Stratum::ABS:
            return "ABS";
    }
    return "";
}

}  // namespace fields

// A visitor that walks into every group, optional and list and passes over
// every field that is not a figure: the base of a visitor of figures alone,
// which adds Number, P, NumberPair, Interval and Limits.
struct FigureVisitor : FigureVisitorBase {
    void Names(const char*, const std::vector<std::string>&) {}
    void Level(const char*, std::int32_t) {}
    void At(Factor, std::int32_t) {}
};

// ---- the univariate analysis ----

// A source of variance; `withMs` false for the total, whose mean square no reader is given.
template <ResultOf<PartitionSource> S, class V>
void ForEachField(S& s, V& v, bool withMs = true) {
    v.Number("SS", s.ss, Range::NotNegative);
    v.Integer("df", s.df);
    if (withMs) v.Number("MS", s.ms, Range::NotNegative);
}

template <ResultOf<EffectResult> E, class V>
void ForEachField(E& e, V& v) {
    v.Number("SS", e.effect.ss, Range::NotNegative);
    v.Integer("df", e.effect.df);
    v.Number("MS", e.effect.ms, Range::NotNegative);
    v.Number("F", e.f, Range::NotNegative);
    v.P("p", e.p, true);
    v.Number("errorSS", e.error.ss, Range::NotNegative);
    v.Integer("errorDf", e.error.df);
    v.Number("errorMS", e.error.ms, Range::NotNegative);
    v.Number("mse", e.mse, Range::NotNegative);
    v.Number("partialEtaSquared", e.partialEtaSquared, Range::Probability);
    v.Limits("partialEtaSquaredCI", e.partialEtaSquaredCI, Range::Probability);
    v.Limits("partialEtaSquaredCIGG", e.partialEtaSquaredCIGG, Range::Probability);
    v.Number("generalizedEtaSquared", e.generalizedEtaSquared, Range::Probability);
    v.Optional("sphericity", e.sphericity, [&](auto& s) { ForEachField(s, v); });
    v.Bool("sphericityOmitted", e.sphericityOmitted);
}

// A cell's mean (both levels) or a level's (the other factor's 0).
template <ResultOf<MeanResult> M, class V>
void ForEachField(M& m, V& v) {
    v.Level("a", m.a);
    v.Level("b", m.b);
    v.Number("mean", m.mean, Range::Any);
    v.Number("sd", m.sd, Range::NotNegative);
    v.Number("se", m.se, Range::NotNegative);
    v.Interval("ci95", m.ci95);
    v.Interval("withinCi95", m.withinCi95);
}

template <ResultOf<ComparisonResult> C, class V>
void ForEachField(C& c, V& v) {
    v.Text("factor", fields::FactorKey(c.factor));
    v.At(c.factor, c.at);
    v.IntegerPair("levels", c.i, c.j, true);
    v.Number("difference", c.difference, Range::Any);
    v.Number("t", c.t, Range::Any);
    v.Integer("df", c.df);
    v.P("p", c.p, true);
    v.P("pHolm", c.pHolm, true);
    v.P("pBonferroni", c.pBonferroni, true);
    v.Interval("ci95", c.ci95);
    v.Number("cohenDz", c.cohenDz, Range::Any);
    v.Limits("dzCI", c.dzCI, Range::Any);
    v.Number("dAv", c.dAv, Range::Any);
    v.Number("gAv", c.gAv, Range::Any);
}

template <ResultOf<SimpleEffectResult> S, class V>
void ForEachField(S& s, V& v) {
    v.Text("effect", fields::FactorKey(s.effect));
    v.At(s.effect, s.at);
    v.Number("SS", s.ss, Range::NotNegative);
    v.Number("errorSS", s.errorSs, Range::NotNegative);
    v.Number("F", s.f, Range::NotNegative);
    v.IntegerPair("df", s.df1, s.df2, true);
    v.P("p", s.p, true);
    v.Number("partialEtaSquared", s.partialEtaSquared, Range::Probability);
    v.Limits("partialEtaSquaredCI", s.partialEtaSquaredCI, Range::Probability);
    v.Group("greenhouseGeisser", [&] {
        v.Number("epsilon", s.ggEpsilon, Range::NotNegative);
        v.P("p", s.ggP, true);
    });
}

// The univariate analysis: the design, the partition with its tests, the
// means, comparisons, simple effects and the precision check.
template <ResultOf<FullAnalysis> R, class V>
void ForEachUnivariateField(R& r, V& v) {
    v.Integer("subjects", r.subjects);
    // Only where some were removed, so that a complete study's fields stay as they were.
    if (!r.removed.empty()) {
        v.Integer("subjectsRead", r.subjectsRead);
        v.Texts("subjectsRemoved", r.removed);
    }
    v.Bool("fewerThanTwoSubjects", r.FewerThanTwoSubjects());
    v.Names("levelsA", r.namesA);
    v.Names("levelsB", r.namesB);
    v.Group("effects", [&] {
        v.Group("A", [&] { ForEachField(r.A, v); });
        v.Group("B", [&] { ForEachField(r.B, v); });
        v.Group("AB", [&] { ForEachField(r.AB, v); });
        v.Group("S", [&] { ForEachField(r.S, v); });
        v.Group("AS", [&] { ForEachField(r.AS, v); });
        v.Group("BS", [&] { ForEachField(r.BS, v); });
        v.Group("ABS", [&] { ForEachField(r.ABS, v); });
        v.Group("Total", [&] { ForEachField(r.Total, v, false); });
    });
    const auto each = [&](auto& element) { ForEachField(element, v); };
    v.List("cells", r.cells, each);
    v.List("marginalA", r.marginalA, each);
    v.List("marginalB", r.marginalB, each);
    v.List("comparisons", r.comparisons, each);
    v.List("simpleEffects", r.simpleEffects, each);
    v.Group("precision", [&] { ForEachField(r.precision, v); });
}

// ---- the model checks ----

template <ResultOf<MultivariateEffect> M, class V>
void ForEachField(M& m, V& v) {
    v.Text("status", fields::StatusKey(m.status));
    v.Integer("contrasts", m.contrasts);
    v.Number("pillai", m.pillai, Range::Probability);
    v.Number("wilks", m.wilks, Range::Probability);
    v.Number("hotellingLawley", m.hotellingLawley, Range::NotNegative);
    v.Number("roy", m.roy, Range::NotNegative);
    v.Number("hotellingT2", m.hotellingT2, Range::NotNegative);
    v.Number("F", m.f, Range::NotNegative);
    v.IntegerPair("df", m.df1, m.df2, m.status == MultivariateStatus::Tested);
    v.P("p", m.p, true);
}

template <ResultOf<StratumCheck> S, class V>
void ForEachField(S& s, V& v) {
    v.Text("stratum", fields::StratumKey(s.stratum));
    v.Integer("residuals", static_cast<std::int64_t>(s.normality.count));
    v.Integer("df", s.df);
    v.Group("shapiroWilk", [&] {
        v.Bool("inRange", s.normality.inRange);
        v.Number("W", s.normality.w, Range::Probability);
        v.P("p", s.normality.p, true);
    });
    v.Number("largestStudentized", s.largestStudentized, Range::NotNegative);
    v.Integer("beyond3", static_cast<std::int64_t>(s.outlying));
}

template <ResultOf<CellShape> C, class V>
void ForEachField(C& c, V& v) {
    v.Integer("a", c.a);
    v.Integer("b", c.b);
    v.Number("skewness", c.skewness, Range::Any);
    v.Number("excessKurtosis", c.excessKurtosis, Range::Any);
}

template <ResultOf<OutlyingSubject> O, class V>
void ForEachField(O& o, V& v) {
    v.Integer("subject", o.subject);
    std::vector<std::string> strata;
    for (Stratum s : o.strata) strata.emplace_back(fields::StratumKey(s));
    v.Texts("strata", strata);
    v.Number("studentized", o.largest, Range::Any);
}

template <ResultOf<AlignedRankContrast> C, class V>
void ForEachField(C& c, V& v) {
    v.IntegerPair("levels", c.first, c.second, true);
    ForEachFigure(c, v);
}

// The model's checks: the multivariate tests, the assumption checks, the rank-based analysis.
template <ResultOf<FullAnalysis> R, class V>
void ForEachModelCheckField(R& r, V& v) {
    const auto each = [&](auto& element) { ForEachField(element, v); };
    v.Group("multivariate", [&] {
        v.Group("A", [&] { ForEachField(r.multivariate.A, v); });
        v.Group("B", [&] { ForEachField(r.multivariate.B, v); });
        v.Group("AB", [&] { ForEachField(r.multivariate.AB, v); });
    });
    v.Group("assumptions", [&] {
        v.List("strata", r.assumptions.strata, each);
        v.List("cells", r.assumptions.cells, each);
        v.Integer("outlyingSubjects", static_cast<std::int64_t>(r.assumptions.outlyingSubjects));
        v.List("outlying", r.assumptions.outlying, each);
    });
    auto& k = r.rankBased;
    v.Group("rankBased", [&] {
        v.Group("friedman", [&] {
            v.Group("A", [&] { ForEachField(k.A, v); });
            v.Group("B", [&] { ForEachField(k.B, v); });
            v.Group("cells", [&] { ForEachField(k.cells, v); });
        });
        v.Group("alignedRankTransform", [&] {
            v.Group("A", [&] { ForEachField(k.alignedA, v); });
            v.Group("B", [&] { ForEachField(k.alignedB, v); });
            v.Group("AB", [&] { ForEachField(k.alignedAB, v); });
            v.Group("contrasts", [&] {
                v.List("A", k.contrastsA, each);
                v.List("B", k.contrastsB, each);
            });
            v.Bool("exactAlignment", k.exactAlignment);
        });
    });
}

}  // namespace morvane
