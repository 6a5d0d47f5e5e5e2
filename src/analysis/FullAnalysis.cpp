#include "analysis/FullAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <system_error>

#include "analysis/ResultFields.h"
#include "analysis/detail/AnalysisSteps.h"
#include "analysis/detail/ExactMoments.h"
#include "analysis/detail/SubjectPass.h"
#include "exact/ExactTotalsBuilder.h"
#include "report/SumsOfSquares.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/SerialWorker.h"
#include "scores/ParseScores.h"
#include "stats/Distributions.h"

namespace morvane {
namespace {

using analysis::Layout;
using analysis::Moment;
using analysis::PassMoments;

ExactPartition PartitionStudy(StudyStore& store, char separator, FullAnalysis& out);
void NoNegativeSources(ExactPartition& part);
void TestEffects(FullAnalysis& out, const ExactPartition& part, const PassMoments* moments,
                 const Layout* layout);
void DescribeMeans(FullAnalysis& out, const PassMoments& moments, const Layout& layout, Extended reference,
                   std::optional<Extended> tq);
MeanResult Describe(std::int32_t a, std::int32_t b, Extended reference, const Moment& raw,
                    const Moment& normalised, std::size_t n, std::size_t conditions,
                    std::optional<Extended> tq, int scale);
void CheckAllFinite(const FullAnalysis& r);

}  // namespace

ComparedFamilies FamiliesCompared(std::int64_t levelsA, std::int64_t levelsB) {
    ComparedFamilies families;
    families.marginalA = levelsA <= kComparedLevels;
    families.marginalB = levelsB <= kComparedLevels;
    const auto pairs = [](std::int64_t levels) { return levels > 1 ? levels * (levels - 1) / 2 : 0; };
    // Each marginal family, and one like it at each level of the other factor.
    const std::int64_t all =
        (families.marginalA ? pairs(levelsA) * (1 + std::max<std::int64_t>(levelsB, 0)) : 0) +
        (families.marginalB ? pairs(levelsB) * (1 + std::max<std::int64_t>(levelsA, 0)) : 0);
    families.aAtB = families.marginalA && all <= kMostComparisons;
    families.bAtA = families.marginalB && all <= kMostComparisons;
    return families;
}

FullAnalysis AnalyseStudy(StudyStore& store, char separator, const AnalysisOptions& options) {
    FullAnalysis out;
    out.options = options;
    const ExactPartition part = PartitionStudy(store, separator, out);
    if (out.subjects < 1 || out.levelsA < 1 || out.levelsB < 1) {
        TestEffects(out, part, nullptr, nullptr);
        return out;
    }
    const Layout layout(static_cast<std::size_t>(out.subjects), static_cast<std::size_t>(out.levelsA),
                        static_cast<std::size_t>(out.levelsB), options.meansOnly);
    out.compared = layout.compared;

    // One pass over the subjects, each subject's scores at hand: the moments
    // of every mean, difference and set of contrasts. The rest follows from them.
    const PassMoments moments = analysis::SummariseSubjects(part, layout);
    if (options.meansOnly) {
        TestEffects(out, part, nullptr, nullptr);
        DescribeMeans(out, moments, layout, part.reference,
                      TQuantile975(static_cast<Extended>(layout.n) - 1));
        CheckAllFinite(out);
        return out;
    }
    // The model's checks write members of their own, on a thread of their own
    // where one can be had, beside the effects, means, comparisons and
    // simple effects.
    std::optional<SerialWorker> beside;
    try {
        beside.emplace();
    } catch (const std::system_error&) {
        // no thread: one after the other
    }
    const auto check = [&] { analysis::CheckTheModel(out, moments, layout, part); };
    if (beside) beside->Enqueue(check);
    TestEffects(out, part, &moments, &layout);
    const std::optional<Extended> tq = TQuantile975(static_cast<Extended>(layout.n) - 1);
    DescribeMeans(out, moments, layout, part.reference, tq);
    out.comparisons = analysis::PairedComparisons(moments, layout, tq, options.effectSizeLevel);
    if (layout.simpleCovariances)
        out.simpleEffects = analysis::SimpleEffects(moments, layout, options.effectSizeLevel);
    else
        out.simpleEffectsOmitted = true;
    if (beside)
        beside->Wait();
    else
        check();
    CheckAllFinite(out);
    return out;
}

namespace {

// First: parses the scores, partitions them exactly (keeping their offsets),
// checks the results file and fills the study's sizes, sources and effects.
ExactPartition PartitionStudy(StudyStore& store, char separator, FullAnalysis& out) {
    if (out.options.keepValues == KeepValues::Yes && !HasItsExtents(store, StudyArrays::Values))
        SizeStudy(store, StudyArrays::Values);
    ExactTotalsBuilder exact(store, KeepOffsets::Yes);
    SumsOfSquaresSweep sweep(store);
    ParsedBlockSink* const sinks[] = {&exact, &sweep};
    ParseAllScores(store, separator, sinks, out.options.keepValues);

    out.subjects = store.SubjectCount;
    out.levelsA = store.LevelCountA;
    out.levelsB = store.LevelCountB;
    // Every line that names a level repeats its name: a long one is cut here, once.
    for (std::int32_t a = 1; a <= out.levelsA; ++a)
        out.namesA.push_back(
            ShownLevelName(LevelLabel(store.LevelNamesA[static_cast<std::size_t>(a)], 'a', a)));
    for (std::int32_t b = 1; b <= out.levelsB; ++b)
        out.namesB.push_back(
            ShownLevelName(LevelLabel(store.LevelNamesB[static_cast<std::size_t>(b)], 'b', b)));

    ExactPartition part = exact.Finish(store, separator, KeepOffsets::Yes);
    // The results file's sums, swept while parsing; where they fail, as the
    // results file would, the check finds the same failure.
    std::optional<SumsOfSquares> fileSums;
    try {
        fileSums = sweep.Finish(store);
    } catch (const InvalidOperationError&) {
    } catch (const OverflowError&) {
    }
    out.precision = CheckResultsFile(fileSums, part, separator);
    NoNegativeSources(part);
    out.S = part.S;
    out.AS = part.AS;
    out.BS = part.BS;
    out.ABS = part.ABS;
    out.Total = part.Total;
    return part;
}

// After the partition: below one subject its degrees of freedom are the
// differences of the counts, negative; the analysis has none there, and the
// results file, which prints them as they are, is checked on its own sums.
void NoNegativeSources(ExactPartition& part) {
    for (PartitionSource* s :
         {&part.S, &part.A, &part.AS, &part.B, &part.BS, &part.AB, &part.ABS, &part.Total, &part.Within}) {
        if (s->df < 0) s->df = 0;
        if (s->ss < 0) s->ss = 0;
        if (s->df == 0) s->ms.reset();
    }
}

// After the pass: A, B and AB, each tested whole from the partition and,
// where its contrasts are more than one, their covariance (no pass: no
// subjects or levels, and no sphericity to test).
void TestEffects(FullAnalysis& out, const ExactPartition& part, const PassMoments* moments,
                 const Layout* layout) {
    analysis::EffectInputs in;
    in.errors = part.S.ss + part.AS.ss + part.BS.ss + part.ABS.ss;
    in.enoughSubjects = !out.FewerThanTwoSubjects();
    in.level = out.options.effectSizeLevel;
    if (layout) in.subjects = layout->n, in.cells = layout->cells;
    const auto test = [&](const PartitionSource& effect, const PartitionSource& error,
                          std::optional<Extended> f, const SquareMatrix* covariance, bool omitted) {
        in.effect = effect, in.error = error, in.f = f, in.covariance = covariance,
        in.sphericityOmitted = omitted;
        return analysis::TestEffect(in);
    };
    const bool tested = moments && layout;
    out.A = test(part.A, part.AS, part.fA, tested && layout->na > 2 ? &moments->a : nullptr, false);
    out.B = test(part.B, part.BS, part.fB, tested && layout->nb > 2 ? &moments->b : nullptr, false);
    const bool omitted =
        tested && layout->n > 1 && layout->interactionContrasts > 1 && !layout->interactionSphericity;
    out.AB = test(part.AB, part.ABS, part.fAB,
                  tested && layout->interactionSphericity ? &moments->ab : nullptr, omitted);
}

// After the pass: the cells' means, then the marginal means of A and of B.
void DescribeMeans(FullAnalysis& out, const PassMoments& moments, const Layout& layout, Extended reference,
                   std::optional<Extended> tq) {
    const std::size_t n = layout.n, nb = layout.nb;
    for (std::size_t c = 0; c < layout.cells; ++c)
        out.cells.push_back(Describe(static_cast<std::int32_t>(c / nb + 1),
                                     static_cast<std::int32_t>(c % nb + 1), reference, moments.cellRaw[c],
                                     moments.cellNormal[c], n, layout.cells, tq, moments.scale));
    for (std::size_t a = 0; a < layout.na; ++a)
        out.marginalA.push_back(Describe(static_cast<std::int32_t>(a + 1), 0, reference, moments.aRaw[a],
                                         moments.aNormal[a], n, layout.na, tq, moments.scale));
    for (std::size_t b = 0; b < nb; ++b)
        out.marginalB.push_back(Describe(0, static_cast<std::int32_t>(b + 1), reference, moments.bRaw[b],
                                         moments.bNormal[b], n, nb, tq, moments.scale));
}

// For each mean: its SD, SE and two intervals, from the moments of the
// subjects' values (offsets from `reference`) and of their values less the
// subject's mean (Cousineau's normalisation; Morey's correction over
// `conditions`), exactly from the integer sums where the pass has them.
MeanResult Describe(std::int32_t a, std::int32_t b, Extended reference, const Moment& raw,
                    const Moment& normalised, std::size_t n, std::size_t conditions,
                    std::optional<Extended> tq, int scale) {
    MeanResult m;
    m.a = a;
    m.b = b;
    const bool exact = raw.exact && normalised.exact && n > 1;
    m.mean = exact ? analysis::ExactMean(*raw.exact, n, scale) : reference + raw.mean;
    if (n < 2) return m;
    const auto N = static_cast<Extended>(n);
    m.sd = exact ? analysis::ExactSd(*raw.exact, n, scale) : std::sqrt(raw.m2 / (N - 1));
    m.se = exact ? analysis::ExactSe(*raw.exact, n, scale) : *m.sd / std::sqrt(N);
    if (tq) m.ci95 = Interval{m.mean - *tq * *m.se, m.mean + *tq * *m.se};
    if (conditions < 2 || !tq) return m;
    const auto C = static_cast<Extended>(conditions);
    const Extended se = exact ? analysis::ExactWithinSe(*normalised.exact, n, conditions, scale)
                              : std::sqrt(normalised.m2 / (N - 1) * C / (C - 1) / N);
    m.withinCi95 = Interval{m.mean - *tq * se, m.mean + *tq * se};
    return m;
}

// Last: every statistic follows from sums of squares that fit the extended
// format, but a product on the way (a cross product, a square of an offset)
// can still leave it for scores near the format's limits: that is an
// overflow, not a value to show.
struct ThrowUnlessFinite : FigureVisitor {
    static void Check(const std::optional<Extended>& v) {
        if (v) CheckFinite(*v);
    }
    void Number(const char*, const std::optional<Extended>& v, Range) { Check(v); }
    void Number(const char*, Extended v, Range) { CheckFinite(v); }
    void P(const char*, const std::optional<Extended>& p, bool) { Check(p); }
    void NumberPair(const char*, const std::optional<Extended>& a, const std::optional<Extended>& b) {
        Check(a), Check(b);
    }
    void Interval(const char*, const std::optional<morvane::Interval>& i) {
        if (i) CheckFinite(i->low), CheckFinite(i->high);
    }
    void Limits(const char*, const std::optional<LevelInterval>& i, Range) {
        if (i) CheckFinite(i->lower), CheckFinite(i->upper);
    }
};

void CheckAllFinite(const FullAnalysis& r) {
    ThrowUnlessFinite check;
    ForEachUnivariateField(r, check);
}

}  // namespace
FullAnalysis AnalyseScores(const ScoreTable& table, const AnalysisOptions& options) {
    std::vector<std::string> namesA, namesB;
    for (std::int32_t a = 1; a <= table.levelsA; ++a) namesA.push_back(std::to_string(a));
    for (std::int32_t b = 1; b <= table.levelsB; ++b) namesB.push_back(std::to_string(b));
    StudyStore store;
    StartNewStudy(store, namesA, namesB, std::to_string(table.scores.size()));
    const auto cells = static_cast<std::size_t>(table.levelsA) * static_cast<std::size_t>(table.levelsB);
    for (std::size_t s = 0; s < table.scores.size(); ++s) {
        const std::vector<std::string>& row = table.scores[s];
        if (row.size() != cells) throw RangeError();
        for (std::int32_t a = 0; a < table.levelsA; ++a)
            for (std::int32_t b = 0; b < table.levelsB; ++b)
                store.CellText.Set(static_cast<std::int32_t>(s + 1), a + 1, b + 1,
                                   row[static_cast<std::size_t>(a * table.levelsB + b)]);
    }
    return AnalyseStudy(store, '.', options);
}

}  // namespace morvane
