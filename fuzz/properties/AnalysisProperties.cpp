#include "properties/AnalysisProperties.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>

#include "output/AnovaFormats.h"
#include "analysis/FullAnalysis.h"
#include "properties/BudgetScope.h"
#include "properties/CsvModel.h"
#include "properties/MemoryFile.h"
#include "properties/TextChecks.h"
#include "properties/Violation.h"
#include "runtime/Errors.h"
#include "store/DataFile.h"
#include "store/StudyStore.h"

namespace morvane::properties {
namespace {

// The checks of one figure, each naming the figure when it fails.
class Figures {
public:
    void Finite(const std::string& name, std::optional<Extended> v) {
        if (v && !std::isfinite(*v)) Fail(name, *v, "is not finite");
    }
    void Probability(const std::string& name, std::optional<Extended> v) {
        Finite(name, v);
        if (v && !(*v >= 0 && *v <= 1)) Fail(name, *v, "lies outside [0, 1]");
    }
    void NotNegative(const std::string& name, std::optional<Extended> v) {
        Finite(name, v);
        if (v && !(*v >= 0)) Fail(name, *v, "is negative");
    }
    void Range(const std::string& name, const std::optional<Interval>& i) {
        if (!i) return;
        Finite(name + ".low", i->low);
        Finite(name + ".high", i->high);
        if (!(i->low <= i->high)) Fail(name, i->low, "has its low end above its high end");
    }
    // No degrees of freedom are negative, a study without subjects's too.
    void Source(const std::string& name, const PartitionSource& s) {
        NotNegative(name + ".ss", s.ss);
        NotNegative(name + ".ms", s.ms);
        if (s.df < 0) Fail(name + ".df", static_cast<Extended>(s.df), "is negative");
    }
    // An effect size's interval: ordered, within [low, high] when given.
    void Limits(const std::string& name, const std::optional<LevelInterval>& i, Extended low = 0,
                Extended high = 1) {
        if (!i) return;
        Finite(name + ".lower", i->lower);
        Finite(name + ".upper", i->upper);
        if (!(i->lower <= i->upper)) Fail(name, i->lower, "has its lower end above its upper end");
        if (!(i->lower >= low && i->upper <= high)) Fail(name, i->lower, "leaves its range");
    }

private:
    [[noreturn]] static void Fail(const std::string& name, Extended v, const char* what) {
        char text[64];
        std::snprintf(text, sizeof text, "%.21Lg", v);
        throw Violation(name + " = " + text + " " + what);
    }
};

// Huynh and Feldt's epsilon is kept as its formula gives it, below zero too
// with few subjects (and then applied to nothing).
void Corrected(Figures& check, const std::string& name, const Correction& c, bool anySign = false) {
    if (anySign)
        check.Finite(name + ".epsilon", c.epsilon);
    else
        check.NotNegative(name + ".epsilon", c.epsilon);
    check.NotNegative(name + ".df1", c.df1);
    check.NotNegative(name + ".df2", c.df2);
    check.Probability(name + ".p", c.p);
}

void Effect(Figures& check, const std::string& name, const EffectResult& e) {
    check.Source(name, e.effect);
    check.Source(name + " error", e.error);
    check.NotNegative(name + ".F", e.f);
    check.Probability(name + ".p", e.p);
    check.Probability(name + ".partialEtaSquared", e.partialEtaSquared);
    check.Probability(name + ".generalizedEtaSquared", e.generalizedEtaSquared);
    check.NotNegative(name + ".mse", e.mse);
    check.Limits(name + ".partialEtaSquaredCI", e.partialEtaSquaredCI);
    check.Limits(name + ".partialEtaSquaredCIGG", e.partialEtaSquaredCIGG);
    if (!e.sphericity) return;
    const Sphericity& s = *e.sphericity;
    check.Probability(name + ".mauchlyW", s.mauchlyW);
    check.NotNegative(name + ".chiSquare", s.chiSquare);
    if (s.chiSquareInfinite && (s.chiSquare || s.mauchlyW != Extended{0} || s.p != Extended{0}))
        throw Violation(name + ": an infinite chi-square without W = 0 and p = 0");
    check.Probability(name + ".sphericity.p", s.p);
    check.Probability(name + ".sphericity.pAsR", s.pAsR);
    Corrected(check, name + ".greenhouseGeisser", s.greenhouseGeisser);
    Corrected(check, name + ".huynhFeldt", s.huynhFeldt, true);
    Corrected(check, name + ".lowerBound", s.lowerBound);
}

void Means(Figures& check, const char* list, const std::vector<MeanResult>& means) {
    for (const MeanResult& m : means) {
        const std::string name =
            std::string(list) + "[" + std::to_string(m.a) + "][" + std::to_string(m.b) + "]";
        check.Finite(name + ".mean", m.mean);
        check.NotNegative(name + ".sd", m.sd);
        check.NotNegative(name + ".se", m.se);
        check.Range(name + ".ci95", m.ci95);
        check.Range(name + ".withinCi95", m.withinCi95);
    }
}

void RequireSoundOutputs(const FullAnalysis& analysis) {
    for (AnovaFormat format : {AnovaFormat::Text, AnovaFormat::Markdown, AnovaFormat::Csv, AnovaFormat::Json,
                               AnovaFormat::Apa, AnovaFormat::Html}) {
        const std::string out = FormatAnalysis(analysis, format);
        const char* name = format == AnovaFormat::Text       ? "text"
                           : format == AnovaFormat::Markdown ? "markdown"
                           : format == AnovaFormat::Csv      ? "csv"
                           : format == AnovaFormat::Json     ? "json"
                           : format == AnovaFormat::Apa      ? "apa"
                                                             : "html";
        if (!IsUtf8(out))
            throw Violation(std::string("the ") + name + " output is not UTF-8: " + Quote(out, 400));
        if (format == AnovaFormat::Csv && !CsvRecords(out, ','))
            throw Violation("the csv output does not split into records: " + Quote(out, 400));
        if (format == AnovaFormat::Json) {
            if (auto fault = JsonFault(out))
                throw Violation("the json output is not JSON, " + *fault + ": " + Quote(out, 400));
        }
    }
}

}  // namespace

void RequireSoundFigures(const FullAnalysis& r) {
    Figures check;
    Effect(check, "A", r.A);
    Effect(check, "B", r.B);
    Effect(check, "AB", r.AB);
    for (auto [name, source] : {std::pair{"S", &r.S}, std::pair{"AS", &r.AS}, std::pair{"BS", &r.BS},
                                std::pair{"ABS", &r.ABS}, std::pair{"Total", &r.Total}})
        check.Source(name, *source);
    if (r.subjects >= 1 && r.levelsA >= 1 && r.levelsB >= 1) {
        Require(r.cells.size() == static_cast<std::size_t>(r.levelsA) * static_cast<std::size_t>(r.levelsB),
                "a mean for each cell");
        Require(r.marginalA.size() == static_cast<std::size_t>(r.levelsA), "a mean for each level of A");
        Require(r.marginalB.size() == static_cast<std::size_t>(r.levelsB), "a mean for each level of B");
    }
    Means(check, "cells", r.cells);
    Means(check, "marginalA", r.marginalA);
    Means(check, "marginalB", r.marginalB);
    for (const ComparisonResult& c : r.comparisons) {
        const std::string name = std::string("comparison ") + (c.factor == Factor::A ? "A" : "B") +
                                 std::to_string(c.i) + "-" + std::to_string(c.j) + " at " +
                                 std::to_string(c.at);
        check.Finite(name + ".difference", c.difference);
        check.Finite(name + ".t", c.t);
        check.Probability(name + ".p", c.p);
        check.Probability(name + ".pHolm", c.pHolm);
        check.Probability(name + ".pBonferroni", c.pBonferroni);
        check.Finite(name + ".cohenDz", c.cohenDz);
        check.Range(name + ".ci95", c.ci95);
        const Extended huge = std::numeric_limits<Extended>::max();
        check.Limits(name + ".dzCI", c.dzCI, -huge, huge);
        check.Finite(name + ".dAv", c.dAv);
        check.Finite(name + ".gAv", c.gAv);
    }
    for (const SimpleEffectResult& s : r.simpleEffects) {
        const std::string name = std::string("simple effect ") + (s.effect == Factor::A ? "A" : "B") +
                                 " at " + std::to_string(s.at);
        check.NotNegative(name + ".ss", s.ss);
        check.NotNegative(name + ".errorSs", s.errorSs);
        check.NotNegative(name + ".F", s.f);
        check.Probability(name + ".p", s.p);
        check.Probability(name + ".partialEtaSquared", s.partialEtaSquared);
        check.Limits(name + ".partialEtaSquaredCI", s.partialEtaSquaredCI);
        check.NotNegative(name + ".ggEpsilon", s.ggEpsilon);
        check.Probability(name + ".ggP", s.ggP);
    }
    for (const PrecisionFigure& f : r.precision.sums) {
        check.Finite(std::string("precision ") + f.name + ".resultsFile", f.resultsFile);
        check.Finite(std::string("precision ") + f.name + ".exact", f.exact);
        if (f.correctDigits < 0 || f.correctDigits > 19)
            throw Violation(std::string("precision ") + f.name + ": " + std::to_string(f.correctDigits) +
                            " correct digits");
    }
}

int CheckAnalysisBytes(std::string_view bytes, std::uint64_t memoryBudget) {
    static MemoryFile file;
    BudgetScope budget(memoryBudget);
    file.Set(bytes);
    StudyStore store;
    try {
        LoadStudyFile(store, file.Path());
    } catch (const Error&) {
        return 0;  // the data file's own target checks how it fails
    }
    int analyses = 0;
    for (char separator : {'.', ','}) {
        if (separator == ',' && bytes.find(',') == std::string_view::npos) continue;
        std::optional<FullAnalysis> analysis;
        try {
            analysis = AnalyseStudy(store, separator);
        } catch (const ConvertError&) {
            continue;
        } catch (const OverflowError&) {
            continue;
        } catch (const Error& error) {
            throw Violation("AnalyseStudy failed with " + Quote(error.message()) + " for " + Quote(bytes));
        }
        Require(analysis->subjects == store.SubjectCount && analysis->levelsA == store.LevelCountA &&
                    analysis->levelsB == store.LevelCountB,
                "the analysis has another design than the study");
        RequireSoundFigures(*analysis);
        RequireSoundOutputs(*analysis);
        ++analyses;
    }
    return analyses;
}

}  // namespace morvane::properties
