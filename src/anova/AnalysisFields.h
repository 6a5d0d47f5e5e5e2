#pragma once
// Every field of the analysis (anova/Analysis.h) described once: each kind of
// row with its keys (as JSON names them), its kind and the range a figure
// keeps, in the visitor style of stats/FigureFields.h. One walk over them
// writes the JSON, applies the finiteness policy (CheckFinite below) and
// checks each figure's range in the property tests; a field added here
// reaches all three.
//
// The walk keys the fields one of two ways (Keying): a design's, and the data
// file's A x B x S study as its outputs have always keyed it. The study's keys
// are a mapping of the same fields, never a second description of a row:
// effects and strata keyed without the colons ("AB", "ABS"), levels from 1
// under the factor's letter ("a": 2) rather than by name, d as "cohenDz", the
// multivariate test as the one-sample test it is there, the design as
// "levelsA" and "levelsB", the means as "cells" and "marginalA", the checks
// under "assumptions", and the sources of the summary (S, A x S, ..., Total)
// among the effects.

#include <cctype>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "runtime/Extended.h"
#include "stats/FigureFields.h"

namespace morvane::anova {

// How the walk keys the fields.
enum class Keying {
    Design,  // any design: effects by "A:B", levels by name
    Study,   // the data file's A x B x S study, as its outputs have always keyed it
};

// The analysis whose rows are walked and how they are keyed: what a row needs
// beside itself (factor and level names) to name its keys.
struct Keys {
    const Analysis& analysis;
    Keying keying = Keying::Design;
    // Every field, whatever the keying shows: the walks of the finiteness
    // policy and of the range checks.
    bool every = false;

    bool Study() const { return keying == Keying::Study; }
    // Whether the residuals' studentized values, the cells' shapes and the
    // outlying subjects are walked: the study's; a design's once every
    // design's analysis forms them.
    bool Studentized() const { return Study() || every; }
    // The adjustments of the comparisons and contrasts walked: those chosen,
    // or every one for the walks of every field.
    AdjustmentSet Adjustments() const {
        return every ? AdjustmentSet::Every() : analysis.options.adjustments;
    }
    // The effect sizes walked beside eta squared: those chosen, or every one.
    Options::EffectSizes EffectSizes() const {
        return every ? Options::EffectSizes::Every() : analysis.options.effectSizes;
    }
    // An effect's or a stratum's key: "A:B" ("AB" in the study's keying).
    std::string Of(const std::string& key) const {
        if (!Study()) return key;
        std::string out;
        for (char c : key)
            if (c != ':') out += c;
        return out;
    }
    const std::string& FactorName(std::size_t factor) const { return analysis.FactorAt(factor).name; }
    // The name of level `level` (from 0) of factor `factor`; empty for one the design does not have.
    const std::string& LevelName(std::size_t factor, std::int32_t level) const {
        static const std::string kNone;
        const DesignFactor& f = analysis.FactorAt(factor);
        if (level < 0 || static_cast<std::size_t>(level) >= f.levels.size()) return kNone;
        return f.levels[static_cast<std::size_t>(level)];
    }
    // The key a level of the factor is given under: its name ("a", the
    // letter in lower case, in the study's keying).
    std::string LevelKey(std::size_t factor) const {
        std::string key = FactorName(factor);
        if (Study())
            for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return key;
    }
    // A level of a factor under its key: by name, or from 1 in the study's keying.
    template <class V>
    void Level(V& v, std::size_t factor, std::int32_t level) const {
        const std::string key = LevelKey(factor);
        if (Study())
            v.Integer(key.c_str(), level + 1);
        else
            v.Text(key.c_str(), LevelName(factor, level).c_str());
    }
    // Every factor of a place at a level, as {"B": "b1"} ({"b": 1}).
    template <class V>
    void Levels(V& v, const Place& at) const {
        for (std::size_t i = 0; i < at.size() && i < analysis.Factors(); ++i)
            if (at[i] != kOver) Level(v, i, at[i]);
    }
    // The place a result is at, null where it is at no level of any factor.
    template <class V>
    void At(V& v, const Place& at) const {
        bool any = false;
        for (std::int32_t level : at) any = any || level != kOver;
        if (any)
            v.Group("at", [&] { Levels(v, at); });
        else
            v.Null("at");
    }
};

// ---- the model ----

// A source of variance; `withMs` false for the total, whose mean square no reader is given.
template <ResultOf<PartitionSource> S, class V>
void ForEachSourceField(S& s, V& v, bool withMs = true) {
    if (s.belowRange)
        v.Number("SS", std::optional<Extended>{}, Range::NotNegative);
    else
        v.Number("SS", s.ss, Range::NotNegative);
    v.Integer("df", s.df);
    if (withMs) v.Number("MS", s.ms, Range::NotNegative);
}

// An effect's test, keyed under its own key by the walk of the whole.
template <ResultOf<Effect> E, class V>
void ForEachField(E& e, V& v, const Options::EffectSizes& shown = {}) {
    if (e.hypothesisOmitted) {
        v.Number("SS", std::optional<Extended>{}, Range::NotNegative);
        v.Integer("df", e.effect.df);
        v.Number("MS", e.effect.ms, Range::NotNegative);
    } else {
        ForEachSourceField(e.effect, v);
    }
    v.Number("F", e.f, Range::NotNegative);
    v.P("p", e.p, true);
    if (e.error.belowRange)
        v.Number("errorSS", std::optional<Extended>{}, Range::NotNegative);
    else
        v.Number("errorSS", e.error.ss, Range::NotNegative);
    v.Integer("errorDf", e.error.df);
    v.Number("errorMS", e.error.ms, Range::NotNegative);
    v.Number("mse", e.error.ms, Range::NotNegative);
    v.Number("partialEtaSquared", e.partialEtaSquared, Range::Probability);
    v.Limits("partialEtaSquaredCI", e.partialEtaSquaredCI, Range::Probability);
    v.Limits("partialEtaSquaredCIGG", e.partialEtaSquaredCIGG, Range::Probability);
    v.Number("generalizedEtaSquared", e.generalizedEtaSquared, Range::Probability);
    if (shown.etaSquared) v.Number("etaSquared", e.etaSquared, Range::Probability);
    // Omega squared is not clamped: below 0 where F < 1.
    if (shown.partialOmegaSquared) v.Number("partialOmegaSquared", e.partialOmegaSquared, Range::Any);
    if (shown.cohensF) v.Number("cohensF", e.cohensF, Range::NotNegative);
    if (shown.generalizedOmegaSquared) v.Number("generalizedOmegaSquared", e.generalizedOmegaSquared, Range::Any);
    if (shown.cohensFPowerPrograms) {
        v.Number("cohensFPowerPrograms", e.cohensFPowerPrograms, Range::NotNegative);
        v.Number("measuresCorrelation", e.measuresCorrelation, Range::Any);
    }
    v.Optional("sphericity", e.sphericity, [&](auto& s) { morvane::ForEachField(s, v); });
    v.Bool("sphericityOmitted", e.sphericityOmitted);
    if (e.hypothesisOmitted) v.Bool("hypothesisOmitted", e.hypothesisOmitted);
}

// A multivariate statistic with its F approximation.
template <ResultOf<MultivariateStatistic> S, class V>
void ForEachField(S& s, V& v, Range range) {
    v.Number("value", s.value, range);
    v.Number("F", s.f, Range::NotNegative);
    v.Number("df1", s.df1, Range::NotNegative);
    v.Number("df2", s.df2, Range::NotNegative);
    v.P("p", s.p, true);
}

// A within effect's multivariate test. The study's keying gives it as the
// one-sample test of the contrasts it is there: the four statistics' values,
// Hotelling's T^2 ((N - 1) times the one root) and the one F they share.
template <ResultOf<MultivariateTest> M, class V>
void ForEachField(M& m, V& v, const Keys& k) {
    const bool tested = m.status == MultivariateStatus::Tested;
    v.Text("status", fields::StatusKey(m.status));
    if (k.Study()) {
        const auto value = [&](auto& s) { return tested ? std::optional<Extended>(s.value) : std::nullopt; };
        v.Integer("contrasts", static_cast<std::int64_t>(m.variables));
        v.Number("pillai", value(m.pillai), Range::Probability);
        v.Number("wilks", value(m.wilks), Range::Probability);
        v.Number("hotellingLawley", value(m.hotellingLawley), Range::NotNegative);
        v.Number("roy", value(m.roy), Range::NotNegative);
        v.Number("hotellingT2",
                 tested ? std::optional<Extended>(m.errorDf * m.hotellingLawley.value) : std::nullopt,
                 Range::NotNegative);
        v.Number("F", m.pillai.f, Range::NotNegative);
        v.IntegerPair("df", static_cast<std::int64_t>(m.pillai.df1), static_cast<std::int64_t>(m.pillai.df2),
                      tested);
        v.P("p", m.pillai.p, true);
        return;
    }
    v.Integer("variables", static_cast<std::int64_t>(m.variables));
    v.Number("hypothesisDf", m.hypothesisDf, Range::NotNegative);
    v.Number("errorDf", m.errorDf, Range::NotNegative);
    if (!tested) return;
    v.Group("pillai", [&] { ForEachField(m.pillai, v, Range::NotNegative); });
    v.Group("wilks", [&] { ForEachField(m.wilks, v, Range::Probability); });
    v.Group("hotellingLawley", [&] { ForEachField(m.hotellingLawley, v, Range::NotNegative); });
    v.Group("roy", [&] { ForEachField(m.roy, v, Range::NotNegative); });
}

// ---- means and follow-ups ----

template <ResultOf<Mean> M, class V>
void ForEachField(M& m, V& v, const Keys& k) {
    if (k.Study()) {
        k.Levels(v, m.at);
    } else {
        v.Group("levels", [&] { k.Levels(v, m.at); });
        v.Integer("n", m.n);
    }
    v.Number("mean", m.mean, Range::Any);
    v.Number("sd", m.sd, Range::NotNegative);
    v.Number("se", m.se, Range::NotNegative);
    v.Interval("ci95", m.ci95);
    v.Interval("withinCi95", m.withinCi95);
}

template <ResultOf<Comparison> C, class V>
void ForEachField(C& c, V& v, const Keys& k) {
    v.Text("factor", k.FactorName(c.factor).c_str());
    k.At(v, c.at);
    if (k.Study())
        v.IntegerPair("levels", c.i + 1, c.j + 1, true);
    else
        v.Texts("levels", {k.LevelName(c.factor, c.i), k.LevelName(c.factor, c.j)});
    v.Number("difference", c.difference, Range::Any);
    if (!k.Study()) v.Number("se", c.se, Range::NotNegative);
    v.Number("t", c.t, Range::Any);
    v.Number("df", c.df, Range::NotNegative);
    v.P("p", c.p, true);
    ForEachAdjusted(c, v, k.Adjustments());
    v.Interval("ci95", c.ci95);
    v.Number(k.Study() ? "cohenDz" : "d", c.d, Range::Any);
    v.Limits(k.Study() ? "dzCI" : "dCI", c.dCI, Range::Any);
    v.Number("dAv", c.dAv, Range::Any);
    v.Number("gAv", c.gAv, Range::Any);
}

template <ResultOf<SimpleEffect> S, class V>
void ForEachField(S& s, V& v, const Keys& k) {
    v.Text("effect", k.FactorName(s.factor).c_str());
    k.At(v, s.at);
    if (s.ssBelowRange)
        v.Number("SS", std::optional<Extended>{}, Range::NotNegative);
    else
        v.Number("SS", s.ss, Range::NotNegative);
    if (s.errorSsBelowRange)
        v.Number("errorSS", std::optional<Extended>{}, Range::NotNegative);
    else
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

// A planned contrast: its factor and weights (an interaction contrast's
// factors, and its weights under each factor's name).
template <ResultOf<PlannedContrast> C, class V>
void ForEachField(C& c, V& v, const Keys& k) {
    v.Text("name", c.name.c_str());
    v.Text("family", c.family.c_str());
    if (c.factors.size() == 1) {
        v.Text("factor", k.FactorName(c.factors[0]).c_str());
        v.Numbers("weights", c.weights[0]);
    } else {
        std::vector<std::string> names;
        for (const std::size_t f : c.factors) names.push_back(k.FactorName(f));
        v.Texts("factors", names);
        v.Group("weights", [&] {
            for (std::size_t i = 0; i < c.factors.size() && i < c.weights.size(); ++i)
                v.Numbers(names[i].c_str(), c.weights[i]);
        });
    }
    v.Bool("orthonormal", c.orthonormal);
    v.Number("estimate", c.estimate, Range::Any);
    v.Number("se", c.se, Range::NotNegative);
    v.Number("t", c.t, Range::Any);
    v.Number("F", c.f, Range::NotNegative);
    v.Number("df", c.df, Range::NotNegative);
    v.P("p", c.p, true);
    ForEachAdjusted(c, v, k.Adjustments());
    v.Number("partialEtaSquared", c.partialEtaSquared, Range::Probability);
    v.Limits("partialEtaSquaredCI", c.partialEtaSquaredCI, Range::Probability);
}

// A pair of an interaction's cells: its family (the interaction, "A × B"),
// each cell's levels under their factors, its error and its figures.
template <ResultOf<CellComparison> C, class V>
void ForEachField(C& c, V& v, const Keys& k) {
    std::string family;
    for (const std::size_t f : c.factors) family += (family.empty() ? "" : " × ") + k.FactorName(f);
    v.Text("family", family.c_str());
    v.Group("cell1", [&] {
        for (std::size_t i = 0; i < c.factors.size() && i < c.first.size(); ++i) k.Level(v, c.factors[i], c.first[i]);
    });
    v.Group("cell2", [&] {
        for (std::size_t i = 0; i < c.factors.size() && i < c.second.size(); ++i)
            k.Level(v, c.factors[i], c.second[i]);
    });
    v.Text("error", c.error.c_str());
    auto& x = c.figures;
    v.Number("difference", x.difference, Range::Any);
    v.Number("se", x.se, Range::NotNegative);
    v.Number("t", x.t, Range::Any);
    v.Number("df", x.df, Range::NotNegative);
    v.P("p", x.p, true);
    ForEachAdjusted(x, v, k.Adjustments());
    v.Interval("ci95", x.ci95);
    v.Number("d", x.d, Range::Any);
    v.Limits("dCI", x.dCI, Range::Any);
    v.Number("dAv", x.dAv, Range::Any);
    v.Number("gAv", x.gAv, Range::Any);
}

// A simple interaction or simple-simple effect: its effect, the levels it is
// at, its error stratum in the slice and its test.
template <ResultOf<SimpleInteraction> S, class V>
void ForEachField(S& s, V& v, const Keys& k) {
    v.Text("effect", s.effect.c_str());
    k.At(v, s.at);
    v.Text("error", s.error.c_str());
    v.Number("SS", s.ss, Range::NotNegative);
    v.Number("errorSS", s.errorSs, Range::NotNegative);
    v.Number("F", s.f, Range::NotNegative);
    v.IntegerPair("df", s.df1, s.df2, true);
    v.P("p", s.p, true);
    v.Number("partialEtaSquared", s.partialEtaSquared, Range::Probability);
    v.Limits("partialEtaSquaredCI", s.partialEtaSquaredCI, Range::Probability);
}

// Whether the analysis was asked for the pairs of interactions' cells (the outputs show them only then).
inline bool CellsAsked(const Analysis& a) {
    return !a.options.cellInteractions.empty() || a.options.allCellInteractions;
}

// Whether the analysis was asked for planned contrasts (the outputs show them only then).
inline bool ContrastsAsked(const Analysis& a) {
    return !a.options.trends.empty() || !a.options.contrasts.empty();
}

// ---- the checks ----

// A stratum's residuals. The design's keying leaves out their studentized
// values, which not every design's analysis forms yet.
template <ResultOf<Stratum> S, class V>
void ForEachCheckField(S& s, V& v, const Keys& k) {
    v.Text("stratum", k.Study() ? k.Of(s.key).c_str() : s.name.c_str());
    v.Integer("residuals", s.residuals);
    v.Integer("df", s.error.df);
    v.Group("shapiroWilk", [&] {
        v.Bool("inRange", s.normality.inRange);
        v.Number("W", s.normality.w, Range::Probability);
        v.P("p", s.normality.p, true);
    });
    if (!k.Studentized()) return;
    v.Number("largestStudentized", s.largestStudentized, Range::NotNegative);
    v.Integer("beyond3", s.beyond3);
}

template <ResultOf<CellShape> C, class V>
void ForEachField(C& c, V& v, const Keys& k) {
    k.Levels(v, c.at);
    v.Number("skewness", c.skewness, Range::Any);
    v.Number("excessKurtosis", c.excessKurtosis, Range::Any);
}

// A subject by its id (in the study's keying its row, from 1) and its strata by key.
template <ResultOf<OutlyingSubject> O, class V>
void ForEachField(O& o, V& v, const Keys& k) {
    const Analysis& a = k.analysis;
    if (k.Study())
        v.Integer("subject", static_cast<std::int64_t>(o.subject) + 1);
    else
        v.Text("subject", o.subject < a.subjectIds.size() ? a.subjectIds[o.subject].c_str() : "");
    std::vector<std::string> strata;
    for (std::size_t s : o.strata)
        if (s < a.strata.size()) strata.push_back(k.Study() ? k.Of(a.strata[s].key) : a.strata[s].name);
    v.Texts("strata", strata);
    v.Number("studentized", o.largest, Range::Any);
}

template <ResultOf<LeveneTest> L, class V>
void ForEachField(L& l, V& v, const Keys& k) {
    v.Group("cell", [&] { k.Levels(v, l.at); });
    v.Text("centre", l.median ? "median" : "mean");
    v.IntegerPair("df", l.df1, l.df2, true);
    v.Number("F", l.f, Range::NotNegative);
    v.P("p", l.p, true);
}

// Why Box's M test is not defined, as JSON names it; null where it is.
inline const char* BoxMUndefinedKey(BoxMUndefined why) {
    switch (why) {
        case BoxMUndefined::FewGroups: return "fewerThanTwoGroups";
        case BoxMUndefined::SmallGroup: return "groupSmallerThanCellsPlusOne";
        case BoxMUndefined::Singular: return "singularCovariance";
        case BoxMUndefined::TooManyCells: return "tooManyWithinCells";
        case BoxMUndefined::None: break;
    }
    return nullptr;
}

template <ResultOf<BoxMTest> B, class V>
void ForEachField(B& b, V& v) {
    v.Integer("variables", static_cast<std::int64_t>(b.variables));
    v.Integer("groups", static_cast<std::int64_t>(b.groups));
    v.Number("M", b.m, Range::Any);
    v.Number("chiSquare", b.chiSquare, Range::Any);
    v.Number("dfChiSquare", b.dfChiSquare, Range::NotNegative);
    v.P("pChiSquare", b.pChiSquare, true);
    v.Number("F", b.f, Range::Any);
    v.Number("df1", b.df1, Range::NotNegative);
    v.Number("df2", b.df2, Range::NotNegative);
    v.P("pF", b.pF, true);
    if (const char* why = BoxMUndefinedKey(b.undefined))
        v.Text("undefined", why);
    else
        v.Null("undefined");
}

// ---- the rank-based tests ----

// The key of a Friedman test: its within factor's name, or for the test of
// the cells the within factors' names joined by ":" ("cells" in the study's keying).
inline std::string FriedmanKey(const FriedmanRow& f, const Keys& k) {
    const Analysis& a = k.analysis;
    if (!f.cells) return f.factor < a.within.size() ? a.within[f.factor].name : std::string();
    if (k.Study()) return "cells";
    std::string key;
    for (const DesignFactor& w : a.within) key += (key.empty() ? "" : ":") + w.name;
    return key;
}

// An ART-C contrast: its factor and levels by name (the study's: levels from 1, under their factor).
template <ResultOf<AlignedContrastRow> C, class V>
void ForEachField(C& c, V& v, const Keys& k) {
    if (k.Study()) {
        v.IntegerPair("levels", c.contrast.first, c.contrast.second, true);
    } else {
        const std::size_t f = k.analysis.between.size() + c.factor;
        v.Text("factor", k.FactorName(f).c_str());
        v.Texts("levels", {k.LevelName(f, c.contrast.first - 1), k.LevelName(f, c.contrast.second - 1)});
    }
    ForEachFigure(c.contrast, v, k.Adjustments());
}

// ---- the whole, in parts that each output orders as it has always ----

// The design as analysed: its factors, its subjects (and those removed), the
// averaged rows and the type of the sums of squares. The study's: its
// subjects, those removed (only where some were) and each factor's levels.
template <ResultOf<Analysis> R, class V>
void ForEachDesignField(R& r, V& v, const Keys& k) {
    if (k.Study()) {
        v.Integer("subjects", r.subjects);
        if (!r.removed.empty()) {
            v.Integer("subjectsRead", r.subjectsRead);
            v.Texts("subjectsRemoved", r.removed);
        }
        v.Bool("fewerThanTwoSubjects", r.NoErrorDf());
        for (std::size_t i = 0; i < r.Factors(); ++i)
            v.Texts(("levels" + k.FactorName(i)).c_str(), r.FactorAt(i).levels);
        return;
    }
    const auto factor = [&](auto& f) {
        v.Text("name", f.name.c_str());
        v.Texts("levels", f.levels);
    };
    v.List("between", r.between, factor);
    v.List("within", r.within, factor);
    v.Integer("subjects", r.subjects);
    v.Integer("subjectsRead", r.subjectsRead);
    v.Texts("subjectsRemoved", r.removed);
    v.Group("averaged", [&] {
        v.Integer("cells", r.averagedCells);
        v.Integer("rows", r.averagedRows);
    });
    if (r.rowsWithoutScore > 0) {
        v.Integer("rowsWithoutScore", r.rowsWithoutScore);
        v.Integer("commonRowsPerCell", r.commonRowsPerCell);
        v.Integer("cellsWithFewerRows", r.cellsWithFewerRows);
    }
    v.Integer("sumsOfSquaresType", r.options.type == SsType::TypeII ? 2 : 3);
    v.Bool("typesAgree", r.typesAgree);
    v.Texts("observed", r.options.observed);
}

// The effects' tests under their keys; the study's keying adds every error
// stratum's source and the total (which a design's outputs leave out: not
// every design's analysis forms the total and the subjects' stratum yet).
template <ResultOf<Analysis> R, class V>
void ForEachModelField(R& r, V& v, const Keys& k) {
    v.Group("effects", [&] {
        for (auto& e : r.effects) v.Group(k.Of(e.key).c_str(), [&] { ForEachField(e, v, k.EffectSizes()); });
        if (!k.Study() && !k.every) return;
        for (auto& s : r.strata) v.Group(k.Of(s.key).c_str(), [&] { ForEachSourceField(s.error, v); });
        v.Group("Total", [&] { ForEachSourceField(r.total, v, false); });
    });
}

// The cell and marginal means, the comparisons and the simple effects.
template <ResultOf<Analysis> R, class V>
void ForEachFollowUpField(R& r, V& v, const Keys& k) {
    const auto keyed = [&](auto& element) { ForEachField(element, v, k); };
    v.List(k.Study() ? "cells" : "cellMeans", r.cellMeans, keyed);
    const auto marginal = [&] {
        for (std::size_t i = 0; i < r.marginalMeans.size() && i < r.Factors(); ++i)
            v.List(((k.Study() ? "marginal" : "") + k.FactorName(i)).c_str(), r.marginalMeans[i], keyed);
    };
    if (k.Study())
        marginal();
    else
        v.Group("marginalMeans", marginal);
    v.List("comparisons", r.comparisons, keyed);
    v.List("simpleEffects", r.simpleEffects, keyed);
    if (ContrastsAsked(r) || k.every) v.List("contrasts", r.contrasts, keyed);
    if (CellsAsked(r) || k.every) v.List("cellComparisons", r.cellComparisons, keyed);
    if (r.options.simpleInteractions || k.every) v.List("simpleInteractions", r.simpleInteractions, keyed);
}

// The checks beside the model: the multivariate tests, Levene's tests and the
// strata's residuals (the study's under "assumptions", with the cells' shapes
// and the outlying subjects).
template <ResultOf<Analysis> R, class V>
void ForEachCheckField(R& r, V& v, const Keys& k) {
    if (r.within.empty() && !r.between.empty())
        v.Null("multivariate");  // one score per subject: no multivariate test applies
    else
        v.Group("multivariate", [&] {
            for (auto& e : r.effects)
                if (!e.within.empty())
                    v.Optional(k.Of(e.key).c_str(), e.multivariate, [&](auto& m) { ForEachField(m, v, k); });
        });
    const auto stratum = [&](auto& s) { ForEachCheckField(s, v, k); };
    const auto keyed = [&](auto& element) { ForEachField(element, v, k); };
    if (!k.Study()) {
        v.List("levene", r.levene, keyed);
        if (r.boxM || k.every) v.Optional("boxM", r.boxM, [&](auto& b) { ForEachField(b, v); });
        v.List("normality", r.strata, stratum);
        if (!k.Studentized()) return;
        v.List("cellShapes", r.cellShapes, keyed);
        v.Integer("outlyingSubjects", r.outlyingSubjects);
        v.List("outlying", r.outlying, keyed);
        return;
    }
    v.Group("assumptions", [&] {
        v.List("strata", r.strata, stratum);
        v.List("cells", r.cellShapes, keyed);
        v.Integer("outlyingSubjects", r.outlyingSubjects);
        v.List("outlying", r.outlying, keyed);
    });
}

// The rank-based tests: Friedman's keyed by factor, the aligned rank
// transform keyed by effect (the study's directly, a design's under
// "effects"), its contrasts (the study's listed under their factor).
template <ResultOf<Analysis> R, class V>
void ForEachRankField(R& r, V& v, const Keys& k) {
    auto& ranks = r.rankBased;
    const auto contrast = [&](auto& c) { ForEachField(c, v, k); };
    v.Group("rankBased", [&] {
        v.Group("friedman", [&] {
            for (auto& f : ranks.friedman)
                v.Group(FriedmanKey(f, k).c_str(), [&] { morvane::ForEachField(f.test, v); });
        });
        v.Group("alignedRankTransform", [&] {
            const auto effects = [&] {
                for (auto& e : ranks.alignedRanks)
                    v.Group(k.Of(e.key).c_str(), [&] { morvane::ForEachField(e.test, v); });
            };
            if (!k.Study()) {
                v.Group("effects", effects);
                v.List("contrasts", ranks.contrasts, contrast);
            } else {
                effects();
                v.Group("contrasts", [&] {
                    for (std::size_t w = 0; w < r.within.size(); ++w) {
                        std::vector<std::remove_reference_t<decltype(ranks.contrasts.front())>*> family;
                        for (auto& c : ranks.contrasts)
                            if (c.factor == w) family.push_back(&c);
                        v.List(r.within[w].name.c_str(), family, [&](auto* c) { contrast(*c); });
                    }
                });
            }
            v.Bool("exactAlignment", ranks.exactAlignment);
            if (ranks.alignedOmitted) v.Bool("omitted", ranks.alignedOmitted);
        });
    });
}

// ---- the robustness of the decisions ----

// The JSON names of the tests a robustness row decides by, in RobustTest's order.
inline constexpr const char* kRobustTestKeys[kRobustTests] = {
    "uncorrected", "greenhouseGeisser", "huynhFeldt", "lowerBound", "multivariate", "rankBased"};

inline const char* DecisionText(Decision d) {
    return d == Decision::Significant ? "significant" : d == Decision::NotSignificant ? "not significant" : "";
}

// Each effect's decisions under its key, as "effects" keys it: each test's
// ("significant", "not significant", null where it has none), the rank-based
// test's name, whether they agree and the sentence where they do not.
template <ResultOf<Analysis> R, class V>
void ForEachRobustnessField(R& r, V& v, const Keys& k) {
    v.Group("robustness", [&] {
        for (auto& row : r.robustness) {
            if (row.effect >= r.effects.size()) continue;
            v.Group(k.Of(r.effects[row.effect].key).c_str(), [&] {
                for (std::size_t t = 0; t < kRobustTests; ++t) {
                    if (row.decisions[t] == Decision::None)
                        v.Null(kRobustTestKeys[t]);
                    else
                        v.Text(kRobustTestKeys[t], DecisionText(row.decisions[t]));
                }
                if (row.rank == RankTest::None)
                    v.Null("rankTest");
                else
                    v.Text("rankTest", row.rank == RankTest::Friedman ? "friedman" : "alignedRankTransform");
                v.Bool("agree", row.agree);
                if (row.agree)
                    v.Null("sentence");
                else
                    v.Text("sentence", row.sentence.c_str());
            });
        }
    });
}

// ---- the planning of a replication ----

inline const char* PlannedKind(PowerEffect kind) {
    return kind == PowerEffect::Within ? "within" : kind == PowerEffect::Between ? "between" : "interaction";
}

// Each effect's planning under its key, as "effects" keys it: the power
// calculation's kind, M and K, rho and epsilon, f in the power programs'
// convention ("f") and the packages' ("fOther"), the N for .80 and .90 at the
// point estimate and at the interval's lower limit, null with the reason
// where there is none.
template <ResultOf<Analysis> R, class V>
void ForEachPlanningField(R& r, V& v, const Keys& k) {
    v.Group("planning", [&] {
        for (auto& row : r.planning) {
            if (row.effect >= r.effects.size()) continue;
            v.Group(k.Of(r.effects[row.effect].key).c_str(), [&] {
                v.Text("kind", PlannedKind(row.kind));
                v.Integer("measures", row.measures);
                v.Integer("groups", row.groups);
                v.Number("rho", row.rho, Range::Any);
                v.Number("epsilon", row.epsilon, Range::Probability);
                v.Number("f", row.f, Range::NotNegative);
                v.Number("fOther", row.fOther, Range::NotNegative);
                v.OptionalInteger("n80", row.n80);
                v.OptionalInteger("n90", row.n90);
                v.Number("fLower", row.fLower, Range::NotNegative);
                v.Number("fOtherLower", row.fOtherLower, Range::NotNegative);
                v.OptionalInteger("n80Lower", row.n80Lower);
                v.OptionalInteger("n90Lower", row.n90Lower);
                if (row.reason.empty())
                    v.Null("reason");
                else
                    v.Text("reason", row.reason.c_str());
                if (row.lowerReason.empty())
                    v.Null("lowerReason");
                else
                    v.Text("lowerReason", row.lowerReason.c_str());
            });
        }
    });
}

// ---- the finiteness policy ----

namespace detail {

// Throws OverflowError for a figure beyond the extended range (`reset` false),
// or leaves it undefined (an optional one absent, another 0).
struct KeepFinite : FigureVisitorBase {
    bool reset = false;

    void Check(std::optional<Extended>& v) const {
        if (!v || std::isfinite(*v)) return;
        if (!reset) morvane::CheckFinite(*v);
        v.reset();
    }
    void Check(Extended& v) const {
        if (std::isfinite(v)) return;
        if (!reset) morvane::CheckFinite(v);
        v = 0;
    }
    void Number(const char*, std::optional<Extended>& v, Range) { Check(v); }
    void Number(const char*, Extended& v, Range) { Check(v); }
    // A figure the walk forms from others (the study's keying's T^2): nothing to keep.
    void Number(const char*, const std::optional<Extended>&, Range) {}
    void P(const char*, std::optional<Extended>& p, bool) { Check(p); }
    void NumberPair(const char*, std::optional<Extended>& a, std::optional<Extended>& b) {
        Check(a), Check(b);
    }
    void Interval(const char*, std::optional<morvane::Interval>& i) {
        if (!i || (std::isfinite(i->low) && std::isfinite(i->high))) return;
        if (!reset) morvane::CheckFinite(std::isfinite(i->low) ? i->high : i->low);
        i.reset();
    }
    void Limits(const char*, std::optional<LevelInterval>& i, Range) {
        if (!i || (std::isfinite(i->lower) && std::isfinite(i->upper))) return;
        if (!reset) morvane::CheckFinite(std::isfinite(i->lower) ? i->upper : i->lower);
        i.reset();
    }
    void Texts(const char*, const std::vector<std::string>&) {}
};

}  // namespace detail

// The engine's last step: a figure of the model or of the means and
// follow-ups beyond the extended range is an OverflowError; one of the checks
// (the multivariate tests, the residuals, Levene's and the rank-based tests)
// is undefined there, not a reason to fail the whole analysis. What follows
// from a figure that is not finite goes with it (a stratum's Q-Q points).
inline void CheckFinite(Analysis& a) {
    const Keys keys{a, Keying::Design, true};
    detail::KeepFinite keep;
    ForEachModelField(a, keep, keys);
    ForEachFollowUpField(a, keep, keys);
    keep.reset = true;
    for (Stratum& s : a.strata)
        for (const QuantilePoint& q : s.quantiles)
            if (!std::isfinite(q.studentized) || !std::isfinite(q.normal)) {
                s.quantiles.clear();
                break;
            }
    for (AlignedRankRow& e : a.rankBased.alignedRanks)
        if (!std::isfinite(e.test.ss) || !std::isfinite(e.test.errorSs))
            e.test.ss = e.test.errorSs = 0, e.test.f.reset(), e.test.p.reset();
    for (AlignedContrastRow& c : a.rankBased.contrasts)
        if (!std::isfinite(c.contrast.difference))
            c.contrast.difference = 0, c.contrast.se.reset(), c.contrast.t.reset(), c.contrast.p.reset();
    ForEachCheckField(a, keep, keys);
    ForEachRankField(a, keep, keys);
}

}  // namespace morvane::anova
