#include "report/PrecisionCheck.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "exact/ExactTotalsBuilder.h"
#include "report/NumberFormat.h"
#include "runtime/Errors.h"
#include "scores/ParseScores.h"

namespace morvane {
namespace {

PrecisionCheck Check(const std::optional<SumsOfSquares>& file, const ExactPartition& exact, char separator);

}  // namespace

SumsOfSquares ExactSums(const ExactPartition& exact) {
    SumsOfSquares sums;
    sums.SSTotal = exact.Total.ss;
    sums.SSA = exact.A.ss;
    sums.SSB = exact.B.ss;
    sums.SSS = exact.S.ss;
    sums.SSAB = exact.AB.ss;
    sums.SSAS = exact.AS.ss;
    sums.SSBS = exact.BS.ss;
    sums.SSABS = exact.ABS.ss;
    return sums;
}

PrecisionCheck CheckResultsFile(const SumsOfSquares& resultsFile, const ExactPartition& exact,
                                char separator) {
    return Check(resultsFile, exact, separator);
}

PrecisionCheck CheckResultsFile(const std::optional<SumsOfSquares>& resultsFile, const ExactPartition& exact,
                                char separator) {
    return Check(resultsFile, exact, separator);
}

PrecisionCheck CheckResultsFile(StudyStore& store, char separator) {
    if (!HasItsExtents(store, StudyArrays::Values)) SizeStudy(store, StudyArrays::Values);
    ParseAllScores(store, separator);
    std::optional<SumsOfSquares> file;
    try {
        file = ComputeSumsOfSquares(store);
    } catch (const InvalidOperationError&) {  // no subjects: the results file has no sums
    } catch (const OverflowError&) {          // scores beyond the results file's range
    }
    return Check(file, ComputeExactPartition(store, separator, KeepOffsets::No), separator);
}

CalculationOutcome RunCheckedCalculation(StudyStore& store, char separator,
                                         const ChooseResultsFile& chooseResultsFile,
                                         std::optional<PrecisionCheck>& precision, KeepValues keep) {
    ExactTotalsBuilder exact(store);
    SumsOfSquares sums;
    const CalculationOutcome outcome =
        RunCalculation(store, separator, chooseResultsFile, {keep, &exact, &sums});
    if (outcome == CalculationOutcome::Written)
        precision = Check(sums, exact.Finish(store, separator, KeepOffsets::No), separator);
    return outcome;
}

namespace {

constexpr int kAllDigits = 19;        // an extended value has 19 significant decimal digits
constexpr int kSummaryPrecision = 9;  // the summary table's figures

// The leading significant digits that the two values share as the check
// prints them, to kAllDigits: two values whose printed exponents or signs
// differ share none.
int CorrectDigits(Extended approximate, Extended exact) {
    if (approximate == exact) return kAllDigits;
    if (exact == 0 || approximate == 0) return 0;
    char a[64], e[64];
    std::snprintf(a, sizeof a, "%.*Le", kAllDigits - 1, approximate);
    std::snprintf(e, sizeof e, "%.*Le", kAllDigits - 1, exact);
    const char* ea = std::strchr(a, 'e');
    const char* ee = std::strchr(e, 'e');
    if (!ea || !ee || std::strcmp(ea, ee) != 0) return 0;
    int digits = 0;
    for (const char *x = a, *y = e; x < ea && *x == *y; ++x, ++y)
        if (*x >= '0' && *x <= '9') ++digits;
    return digits;
}

// The figures of the summary table in the order the results file writes them,
// each as the results file forms it (or absent past the arithmetic error that
// stops the file) and as the exact partition gives it.
class SummaryComparison {
public:
    explicit SummaryComparison(char separator) : separator_(separator) {}

    // One figure: `file` computes the results file's value and may throw its
    // arithmetic error, which ends the file there.
    void Figure(const std::function<Extended()>& file, std::optional<Extended> exact) {
        if (stopped_) return;
        std::optional<std::string> fileText;
        try {
            fileText = Text(file());
        } catch (const InvalidOperationError&) {
            stopped_ = true;
        } catch (const ZeroDivideError&) {
            stopped_ = true;
        } catch (const OverflowError&) {
            stopped_ = true;
        }
        if (stopped_) return;
        if (!exact || Text(*exact) != *fileText) exact_ = false;
    }
    bool Exact() const { return exact_; }
    bool Complete() const { return !stopped_; }

private:
    std::string Text(Extended v) const { return FormatGeneral(v, kSummaryPrecision, separator_); }

    char separator_;
    bool stopped_ = false;
    bool exact_ = true;
};

// Runs for every check: the eight sums, then the summary table's figures in
// the order the results file writes them.
PrecisionCheck Check(const std::optional<SumsOfSquares>& file, const ExactPartition& exact, char separator) {
    PrecisionCheck check;
    check.method = exact.method;
    const SumsOfSquares sums = ExactSums(exact);
    const std::pair<const char*, Extended SumsOfSquares::*> fields[] = {
        {"SSTotal", &SumsOfSquares::SSTotal}, {"SSA", &SumsOfSquares::SSA},
        {"SSB", &SumsOfSquares::SSB},         {"SSS", &SumsOfSquares::SSS},
        {"SSAB", &SumsOfSquares::SSAB},       {"SSAS", &SumsOfSquares::SSAS},
        {"SSBS", &SumsOfSquares::SSBS},       {"SSABS", &SumsOfSquares::SSABS},
    };
    for (std::size_t i = 0; i < check.sums.size(); ++i) {
        PrecisionFigure& figure = check.sums[i];
        figure.name = fields[i].first;
        figure.exact = sums.*fields[i].second;
        if (file) {
            figure.resultsFile = (*file).*fields[i].second;
            figure.correctDigits = CorrectDigits(*figure.resultsFile, figure.exact);
        }
    }
    if (!file) {
        check.summaryTableExact = false;
        check.summaryTableComplete = false;
        return check;
    }

    // The results file's mean squares and F ratios, formed as it forms them.
    const SumsOfSquares& f = *file;
    const auto ms = [](Extended ss, std::int64_t df) { return CheckedDiv(ss, static_cast<Extended>(df)); };
    SummaryComparison table(separator);
    // A row is formed whole before it is written: a mean square or F ratio that
    // fails keeps its whole row, and every row after it, out of the file.
    table.Figure(
        [&] {
            ms(f.SSS, exact.S.df);
            return f.SSS;
        },
        exact.S.ss);
    table.Figure([&] { return ms(f.SSS, exact.S.df); }, exact.S.ms);
    table.Figure([&] { return CheckedSub(f.SSTotal, f.SSS); }, exact.Within.ss);
    struct Row {
        Extended ss, errorSs;
        const PartitionSource &effect, &error;
        std::optional<Extended> f;
    };
    const Row rows[] = {
        {f.SSA, f.SSAS, exact.A, exact.AS, exact.fA},
        {f.SSB, f.SSBS, exact.B, exact.BS, exact.fB},
        {f.SSAB, f.SSABS, exact.AB, exact.ABS, exact.fAB},
    };
    for (const Row& row : rows) {
        table.Figure(
            [&] {
                CheckedDiv(ms(row.ss, row.effect.df), ms(row.errorSs, row.error.df));
                return row.ss;
            },
            row.effect.ss);
        table.Figure([&] { return ms(row.ss, row.effect.df); }, row.effect.ms);
        table.Figure([&] { return CheckedDiv(ms(row.ss, row.effect.df), ms(row.errorSs, row.error.df)); },
                     row.f);
        table.Figure([&] { return row.errorSs; }, row.error.ss);
        table.Figure([&] { return ms(row.errorSs, row.error.df); }, row.error.ms);
    }
    table.Figure([&] { return f.SSTotal; }, exact.Total.ss);
    check.summaryTableExact = table.Exact();
    check.summaryTableComplete = table.Complete();
    return check;
}

}  // namespace
}  // namespace morvane
