#pragma once
// The fields of the statistics room's results described once for every walk
// over an analysis: each with its key (as JSON names it), its kind and the
// range a figure keeps. The walks of the analyses' results (anova/AnalysisFields.h)
// call these for the sphericity test and its corrections, Friedman's test and
// the aligned rank transform's effects.
//
// A visitor has these members, each given the key and the field (const or not,
// as the result walked):
//   Number(key, figure, Range)         an Extended or an optional one
//   P(key, p, couldUnderflow)          a probability (couldUnderflow: a p of 0 is below the range)
//   Integer(key, value)                a count or degrees of freedom
//   OptionalInteger(key, value)        the same, or nothing
//   Bool(key, value), Text(key, text), Texts(key, texts), Null(key)
//   IntegerPair(key, first, second, defined)
//   NumberPair(key, first, second)     two optional figures, both or nothing
//   Interval(key, interval)            an optional Interval, low <= high
//   Limits(key, limits, Range)         an optional LevelInterval, lower <= upper, within the range
//   Group(key, walk)                   fields under a key of their own
//   Optional(key, optional, walk)      the same, or nothing
//   List(key, list, walk)              one walk an element

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/FieldRange.h"
#include "stats/Adjustments.h"
#include "stats/AlignedRanks.h"
#include "stats/Friedman.h"
#include "stats/MultivariateTests.h"
#include "stats/Sphericity.h"

namespace morvane {

// A visitor that walks into every group, optional and list and passes over
// every field that is not a figure: the base of a visitor of figures alone,
// which adds Number, P, NumberPair, Interval and Limits.
struct FigureVisitorBase {
    void Integer(const char*, std::int64_t) {}
    void OptionalInteger(const char*, std::optional<std::int64_t>) {}
    void Bool(const char*, bool) {}
    void Text(const char*, const char*) {}
    void Texts(const char*, const std::vector<std::string>&) {}
    // Numbers that are no figure of the result (a contrast's weights, as asked).
    void Numbers(const char*, const std::vector<Extended>&) {}
    void Null(const char*) {}
    void IntegerPair(const char*, std::int64_t, std::int64_t, bool) {}
    template <class Walk>
    void Group(const char*, Walk walk) {
        walk();
    }
    template <class T, class Walk>
    void Optional(const char*, T& value, Walk walk) {
        if (value) walk(*value);
    }
    template <class T, class Walk>
    void List(const char*, T& list, Walk walk) {
        for (auto& element : list) walk(element);
    }
};

namespace fields {

inline const char* StatusKey(MultivariateStatus s) {
    switch (s) {
        case MultivariateStatus::Tested:
            return "tested";
        case MultivariateStatus::OneDf:
            return "oneDf";
        case MultivariateStatus::TooFewSubjects:
            return "tooFewSubjects";
        case MultivariateStatus::Singular:
            return "singular";
        case MultivariateStatus::Omitted:
            return "omitted";
        case MultivariateStatus::NoEffect:
            return "noEffect";
    }
    return "";
}

}  // namespace fields

template <ResultOf<Correction> C, class V>
void ForEachField(C& c, V& v, Range epsilon = Range::NotNegative) {
    v.Number("epsilon", c.epsilon, epsilon);
    v.NumberPair("df", c.df1, c.df2);
    v.P("p", c.p, true);
}

template <ResultOf<Sphericity> S, class V>
void ForEachField(S& s, V& v) {
    const bool zeroW = s.mauchlyW && *s.mauchlyW == 0;  // then p is 0 itself
    v.Number("mauchlyW", s.mauchlyW, Range::Probability);
    v.Number("chiSquare", s.chiSquare, Range::NotNegative);
    v.Bool("chiSquareInfinite", s.chiSquareInfinite);
    v.Integer("df", s.df);
    v.P("p", s.p, !zeroW);
    v.P("pAsR", s.pAsR, !zeroW);
    v.Group("greenhouseGeisser", [&] { ForEachField(s.greenhouseGeisser, v); });
    // Huynh and Feldt's epsilon as its formula gives it: above 1, and below 0 with few subjects.
    v.Group("huynhFeldt", [&] { ForEachField(s.huynhFeldt, v, Range::Any); });
    v.Group("lowerBound", [&] { ForEachField(s.lowerBound, v); });
}

template <ResultOf<FriedmanTest> F, class V>
void ForEachField(F& f, V& v) {
    v.Integer("levels", f.levels);
    v.Number("chiSquare", f.chiSquare, Range::NotNegative);
    v.Integer("df", f.df);
    v.P("p", f.p, true);
    v.Number("kendallW", f.kendallW, Range::Probability);
    v.Group("imanDavenport", [&] {
        v.Number("F", f.imanDavenportF, Range::NotNegative);
        v.IntegerPair("df", f.df1, f.df2, f.levels > 1);
        v.P("p", f.imanDavenportP, true);
    });
    v.Number("tieCorrection", f.tieCorrection, Range::Probability);
    v.Number("chiSquareUncorrected", f.chiSquareUncorrected, Range::NotNegative);
    v.P("pUncorrected", f.pUncorrected, true);
}

template <ResultOf<AlignedRankEffect> A, class V>
void ForEachField(A& a, V& v) {
    v.Number("SS", a.ss, Range::NotNegative);
    v.Integer("df", a.df);
    v.Number("errorSS", a.errorSs, Range::NotNegative);
    v.Integer("errorDf", a.errorDf);
    v.Number("F", a.f, Range::NotNegative);
    v.P("p", a.p, true);
    v.Number("otherEffects", a.otherEffects, Range::Any);
}

// A row's adjusted p-values (a comparison's, a contrast's), those of `shown` alone.
template <class Row, class V>
void ForEachAdjusted(Row& row, V& v, AdjustmentSet shown) {
    for (const AdjustmentNames& n : kAdjustmentNames)
        if (shown.Has(n.adjustment)) v.P(n.key, AdjustedField(row, n.adjustment), true);
}

// An aligned rank contrast's figures, after its levels (which its walk names);
// the adjustments of `shown`.
template <ResultOf<AlignedRankContrast> C, class V>
void ForEachFigure(C& c, V& v, AdjustmentSet shown) {
    v.Number("difference", c.difference, Range::Any);
    v.Number("se", c.se, Range::NotNegative);
    v.Number("t", c.t, Range::Any);
    v.Integer("df", c.df);
    v.P("p", c.p, true);
    ForEachAdjusted(c, v, shown);
}

}  // namespace morvane
