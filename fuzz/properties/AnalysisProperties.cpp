#include "properties/AnalysisProperties.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "anova/Analysis.h"
#include "anova/AnalysisFields.h"
#include "anova/StudyPrecision.h"
#include "design/StudyDesign.h"
#include "output/AnovaFormats.h"
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

// The checks of every figure of the results, each in the range its
// description gives it (anova/AnalysisFields.h), named by its path when it fails.
class RangeChecks : public FigureVisitorBase {
public:
    void Number(const char* key, const std::optional<Extended>& v, Range range) {
        if (v) Check(key, *v, range);
    }
    void Number(const char* key, Extended v, Range range) { Check(key, v, range); }
    void P(const char* key, const std::optional<Extended>& p, bool) { Number(key, p, Range::Probability); }
    void NumberPair(const char* key, const std::optional<Extended>& first,
                    const std::optional<Extended>& second) {
        Number(key, first, Range::NotNegative);
        Number(key, second, Range::NotNegative);
    }
    void Interval(const char* key, const std::optional<morvane::Interval>& i) {
        if (!i) return;
        Check(key, i->low, Range::Any);
        Check(key, i->high, Range::Any);
        if (!(i->low <= i->high)) Fail(key, i->low, "has its low end above its high end");
    }
    void Limits(const char* key, const std::optional<LevelInterval>& i, Range range) {
        if (!i) return;
        Check(key, i->lower, range);
        Check(key, i->upper, range);
        if (!(i->lower <= i->upper)) Fail(key, i->lower, "has its lower end above its upper end");
    }
    // No degrees of freedom or counts are negative, a study without subjects's too.
    void Integer(const char* key, std::int64_t v) {
        if (v < 0) Fail(key, static_cast<Extended>(v), "is negative");
    }
    void IntegerPair(const char* key, std::int64_t first, std::int64_t second, bool defined) {
        if (defined) Integer(key, first), Integer(key, second);
    }
    template <class Walk>
    void Group(const char* key, Walk walk) {
        Within(key, walk);
    }
    template <class T, class Walk>
    void Optional(const char* key, const std::optional<T>& value, Walk walk) {
        if (value) Within(key, [&] { walk(*value); });
    }
    template <class T, class Walk>
    void List(const char* key, const std::vector<T>& list, Walk walk) {
        for (std::size_t i = 0; i < list.size(); ++i)
            Within(std::string(key) + "[" + std::to_string(i) + "]", [&] { walk(list[i]); });
    }

private:
    template <class Walk>
    void Within(const std::string& key, Walk walk) {
        const std::size_t size = path_.size();
        path_ += (path_.empty() ? "" : ".") + key;
        walk();
        path_.resize(size);
    }
    void Check(const char* key, Extended v, Range range) {
        if (!std::isfinite(v)) Fail(key, v, "is not finite");
        if (range == Range::NotNegative && !(v >= 0)) Fail(key, v, "is negative");
        if (range == Range::Probability && !(v >= 0 && v <= 1)) Fail(key, v, "lies outside [0, 1]");
    }
    [[noreturn]] void Fail(const char* key, Extended v, const char* what) const {
        char text[64];
        std::snprintf(text, sizeof text, "%.21Lg", v);
        throw Violation((path_.empty() ? "" : path_ + ".") + key + " = " + text + " " + what);
    }
    std::string path_;
};

// Beside the ranges: what a figure says about another.
void RequireConsistentSphericity(const anova::Analysis& a) {
    for (const anova::Effect& e : a.effects) {
        if (!e.sphericity) continue;
        const Sphericity& s = *e.sphericity;
        if (s.chiSquareInfinite && (s.chiSquare || s.mauchlyW != Extended{0} || s.p != Extended{0}))
            throw Violation(e.key + ": an infinite chi-square without W = 0 and p = 0");
    }
}

void RequireSoundPrecision(const PrecisionCheck& precision) {
    for (const PrecisionFigure& f : precision.sums)
        if (f.correctDigits < 0 || f.correctDigits > 19)
            throw Violation(std::string("precision ") + f.name + ": " + std::to_string(f.correctDigits) +
                            " correct digits");
}

// A mean for every between x within cell and for every level of every factor.
void RequireEveryMean(const anova::Analysis& a) {
    if (a.subjects < 1) return;
    std::size_t cells = 1;
    for (std::size_t f = 0; f < a.Factors(); ++f) cells *= a.FactorAt(f).levels.size();
    Require(a.cellMeans.size() == cells, "a mean for each cell");
    Require(a.marginalMeans.size() == a.Factors(), "the marginal means of each factor");
    for (std::size_t f = 0; f < a.Factors() && f < a.marginalMeans.size(); ++f)
        Require(a.marginalMeans[f].size() == a.FactorAt(f).levels.size(), "a mean for each level");
}

void RequireSoundOutputs(const anova::Analysis& analysis, const PrecisionCheck& precision) {
    OutputOptions options;
    options.layout = OutputLayout::Study;
    for (AnovaFormat format : {AnovaFormat::Text, AnovaFormat::Markdown, AnovaFormat::Csv, AnovaFormat::Json,
                               AnovaFormat::Apa, AnovaFormat::Html}) {
        const std::string out = FormatAnalysis(analysis, format, options, &precision);
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

void RequireSoundFigures(const anova::Analysis& a) {
    RangeChecks check;
    const anova::Keys keys{a, anova::Keying::Design, true};
    anova::ForEachModelField(a, check, keys);
    anova::ForEachFollowUpField(a, check, keys);
    anova::ForEachCheckField(a, check, keys);
    anova::ForEachRankField(a, check, keys);
    RequireConsistentSphericity(a);
    RequireEveryMean(a);
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
        std::optional<anova::Analysis> analysis;
        std::optional<PrecisionCheck> precision;
        try {
            analysis = anova::Analyse(DesignFromStudy(store, separator));
            precision = anova::CheckStudyResultsFile(store, separator, *analysis);
        } catch (const ConvertError&) {
            continue;
        } catch (const OverflowError&) {
            continue;
        } catch (const OutOfMemoryError&) {
            continue;  // the design's arrays beyond the budget the store's were within
        } catch (const Error& error) {
            throw Violation("the analysis failed with " + Quote(error.message()) + " for " + Quote(bytes));
        }
        const auto subjects = static_cast<std::int64_t>(std::max(store.SubjectCount, 0));
        Require(analysis->subjectsRead == subjects && analysis->within.size() == 2 &&
                    analysis->within[0].levels.size() == static_cast<std::size_t>(std::max(store.LevelCountA, 0)) &&
                    analysis->within[1].levels.size() == static_cast<std::size_t>(std::max(store.LevelCountB, 0)),
                "the analysis has another design than the study");
        RequireSoundFigures(*analysis);
        RequireSoundPrecision(*precision);
        RequireSoundOutputs(*analysis, *precision);
        ++analyses;
    }
    return analyses;
}

}  // namespace morvane::properties
