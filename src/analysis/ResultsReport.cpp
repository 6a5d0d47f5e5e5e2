#include "analysis/ResultsReport.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/NumberFormat.h"
#include "analysis/Padding.h"
#include "analysis/ScoreSyntax.h"
#include "analysis/ScoreTableTexts.h"
#include "runtime/Cp932.h"
#include "runtime/Extended.h"

namespace morvane {
namespace {

constexpr int kMeanPrecision = 7;
constexpr int kSummaryPrecision = 9;
constexpr std::size_t kLabelWidth = 10;
constexpr std::size_t kFieldWidth = 10;  // of the score tables, as AppendPadLeft10 pads
constexpr std::size_t kNumberWidth = 15;
constexpr std::size_t kDfWidth = 10;

// The fixed texts of the report, converted to code page 932 once.
struct Literals {
    std::string title = ScoreTablesTitle() + " ";
    std::string levelOpen = LevelHeadingOpen();
    std::string levelClose = LevelHeadingClose();
    std::string mean = Cp932FromUtf8("平均");
};

const Literals& Text() {
    static const Literals literals;
    return literals;
}

// The column totals of every table, index (a - 1) * nb + (b - 1): the values
// of the texts summed over the subjects in the order the tables sum them, in
// one sweep along CellValue instead of one subject's block apart per table.
// Nothing when a total is not finite: the tables then meet the overflow where
// their running sums reach it.
std::vector<Extended> TableTotals(const StudyStore& store) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    if (n < 1 || na < 1 || nb < 1) return {};
    const auto columns = static_cast<std::size_t>(nb);
    std::vector<Extended> sums(static_cast<std::size_t>(na) * columns, 0);
    for (std::int32_t s = 1; s <= n; ++s)
        for (std::int32_t a = 1; a <= na; ++a) {
            const Extended* row = &store.CellValue(s, a, 0);
            Extended* sum = &sums[static_cast<std::size_t>(a - 1) * columns];
            for (std::size_t b = 1; b <= columns; ++b) sum[b - 1] += row[b];
        }
    return sums;
}

// The column totals when all are finite; nothing otherwise.
std::vector<Extended> FiniteTotals(std::vector<Extended> sums) {
    for (Extended sum : sums)
        if (!std::isfinite(sum)) return {};
    return sums;
}

// The subject rows of table a: text(s, b) gives the texts, which the
// rows print padded, and whose values make the column totals when the
// tables do not have them already.
template <typename Text>
void WriteScoreRows(TextWriter& file, StudyStore& store, std::int32_t a, char separator, bool summed,
                    Text&& text) {
    const std::int32_t n = store.SubjectCount, nb = store.LevelCountB;
    const auto columns = static_cast<std::size_t>(nb);
    std::vector<Extended>& totals = store.ColumnTotals;
    const CellTextArray& texts = store.CellText;
    constexpr std::int32_t kAhead = 64;
    for (std::int32_t s = 1; s <= n; ++s) {
        if (s % kAhead == 1) {
            // The columns' texts lie far apart: the next rows' bytes, and
            // the offsets of the rows after them, are fetched ahead.
            for (std::int32_t b = 1; b <= nb; ++b) {
                texts.Prefetch(s + kAhead, std::min(n, s + 2 * kAhead - 1), a, b, false);
                texts.Prefetch(s + 2 * kAhead, std::min(n, s + 3 * kAhead - 1), a, b, true);
            }
        }
        // The line's fields padded to ten bytes, laid out in one go: its
        // length first, then the fields, each text looked up again (the
        // second time in the cache) rather than kept in memory between.
        char number[24];  // more than any count has digits, so that no copy of it reads past it
        const auto digits = std::to_chars(number, number + sizeof number, s).ptr;
        const std::string_view subject(number, static_cast<std::size_t>(digits - number));
        std::size_t length = std::max(subject.size(), kFieldWidth);
        for (std::size_t b = 1; b <= columns; ++b) length += std::max(text(s, b).size(), kFieldWidth);
        if (!summed) {
            // A total leaves the range: the values of the texts, which parsed
            // without error before the report began, summed until it does.
            for (std::size_t b = 1; b <= columns; ++b)
                totals[b] = CheckedAdd(totals[b], ScoreValue(text(s, b), separator));
        }
        file.WriteLineWith(length, [&](char* out) {
            out = PutPadLeft10(out, subject);
            for (std::size_t b = 1; b <= columns; ++b) out = PutPadLeft10(out, text(s, b));
        });
    }
}

void WriteScoreTable(TextWriter& file, StudyStore& store, std::int32_t a, char separator,
                     const std::vector<Extended>& tableTotals) {
    const std::int32_t n = store.SubjectCount, nb = store.LevelCountB;
    const auto columns = static_cast<std::size_t>(nb);
    std::vector<Extended>& totals = store.ColumnTotals;
    const CellTextArray& texts = store.CellText;
    std::string line;

    file.EndLine();
    line = Text().levelOpen;
    line.append(store.LevelNamesA[static_cast<std::size_t>(a)]);
    line.append(Text().levelClose);
    file.WriteLine(line);

    line.clear();
    AppendPadLeft10(line, " ");
    for (std::size_t b = 1; b <= columns; ++b) AppendPadLeft10(line, store.LevelNamesB[b]);
    file.WriteLine(line);

    for (std::size_t b = 1; b <= columns; ++b) totals[b] = 0;
    const bool summed = !tableTotals.empty();
    if (n >= 1 && texts.Plain()) {
        std::vector<CellTextArray::PlainColumn> cells;
        for (std::int32_t b = 1; b <= nb; ++b) cells.push_back(texts.Column(a, b));
        const CellTextArray::PlainColumn* const byB = cells.data();
        WriteScoreRows(file, store, a, separator, summed, [byB](std::int32_t s, std::size_t b) {
            return byB[b - 1][static_cast<std::size_t>(s - 1)];
        });
    } else {
        WriteScoreRows(file, store, a, separator, summed, [&](std::int32_t s, std::size_t b) {
            return texts(s, a, static_cast<std::int32_t>(b));
        });
    }
    if (summed)
        for (std::size_t b = 1; b <= columns; ++b)
            totals[b] = tableTotals[static_cast<std::size_t>(a - 1) * columns + b - 1];

    line.clear();
    AppendPadLeft10(line, Text().mean);
    for (std::size_t b = 1; b <= columns; ++b)
        AppendPadLeft10(line, FormatGeneral(CheckedDiv(totals[b], n), kMeanPrecision, separator));
    file.WriteLine(line);
}

// One line of the summary table, built field by field and written whole.
class SummaryRow {
public:
    SummaryRow(std::string_view label, char separator) : separator_(separator) {
        line_ = PadRight(label, kLabelWidth);
    }
    SummaryRow& Number(Extended value) {
        line_.append(PadRight(FormatGeneral(value, kSummaryPrecision, separator_), kNumberWidth));
        return *this;
    }
    SummaryRow& Df(std::int64_t df) {
        line_.append(PadRight(std::to_string(df), kDfWidth));
        return *this;
    }
    void WriteTo(TextWriter& file) const { file.WriteLine(line_); }

private:
    std::string line_;
    char separator_;
};

// The degrees of freedom of the nine sources; products in 64 bits.
struct DegreesOfFreedom {
    std::int64_t s, withinSubjects, a, as, b, bs, ab, abs, total;

    DegreesOfFreedom(std::int64_t n, std::int64_t na, std::int64_t nb)
        : s(n - 1),
          withinSubjects((na * nb - 1) * n),
          a(na - 1),
          as((na - 1) * (n - 1)),
          b(nb - 1),
          bs((nb - 1) * (n - 1)),
          ab((na - 1) * (nb - 1)),
          abs((na - 1) * (nb - 1) * (n - 1)),
          total(na * nb * n - 1) {}
};

// A mean square: the sum of squares over its degrees of freedom, each exact in
// the extended format.
Extended MeanSquare(Extended ss, std::int64_t df) {
    return CheckedDiv(ss, static_cast<Extended>(df));
}

}  // namespace

void WriteSummaryTable(TextWriter& file, std::int32_t subjects, std::int32_t levelsA, std::int32_t levelsB,
                       const SumsOfSquares& ss, char separator) {
    const DegreesOfFreedom df(subjects, levelsA, levelsB);

    file.WriteLine(PadRight("SV", kLabelWidth) + PadRight("SS", kNumberWidth) + PadRight("df", kDfWidth) +
                   PadRight("MS", kNumberWidth) + PadRight("F", kNumberWidth));

    const Extended msS = MeanSquare(ss.SSS, df.s);
    SummaryRow("S", separator).Number(ss.SSS).Df(df.s).Number(msS).WriteTo(file);

    const Extended ssWithin = CheckedSub(ss.SSTotal, ss.SSS);
    SummaryRow("SSw.s", separator).Number(ssWithin).Df(df.withinSubjects).WriteTo(file);

    // Each effect is tested against its interaction with subjects.
    struct Effect {
        const char* label;
        Extended ss;
        std::int64_t df;
        const char* errorLabel;
        Extended errorSs;
        std::int64_t errorDf;
    };
    const Effect effects[] = {
        {"A", ss.SSA, df.a, "AS", ss.SSAS, df.as},
        {"B", ss.SSB, df.b, "BS", ss.SSBS, df.bs},
        {"AB", ss.SSAB, df.ab, "ABS", ss.SSABS, df.abs},
    };
    for (const Effect& e : effects) {
        const Extended ms = MeanSquare(e.ss, e.df);
        const Extended msError = MeanSquare(e.errorSs, e.errorDf);
        const Extended f = CheckedDiv(ms, msError);
        SummaryRow(e.label, separator).Number(e.ss).Df(e.df).Number(ms).Number(f).WriteTo(file);
        SummaryRow(e.errorLabel, separator).Number(e.errorSs).Df(e.errorDf).Number(msError).WriteTo(file);
    }

    SummaryRow("Total", separator).Number(ss.SSTotal).Df(df.total).WriteTo(file);
}

namespace {

void WriteReport(TextWriter& file, StudyStore& store, const SumsOfSquares& sums, char separator,
                 const std::vector<Extended>& tableTotals) {
    assert(HasItsExtents(store, StudyArrays::Names | StudyArrays::Texts | StudyArrays::Totals));

    file.EndLine();
    file.EndLine();
    file.WriteLine(Text().title);
    file.EndLine();
    for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
        WriteScoreTable(file, store, a, separator, tableTotals);
    file.EndLine();
    file.EndLine();
    WriteSummaryTable(file, store.SubjectCount, store.LevelCountA, store.LevelCountB, sums, separator);
}

}  // namespace

void WriteResultsReport(TextWriter& file, StudyStore& store, const SumsOfSquares& sums, char separator) {
    assert(HasItsExtents(store, StudyArrays::Values));
    WriteReport(file, store, sums, separator, FiniteTotals(TableTotals(store)));
}

void WriteResultsReport(TextWriter& file, StudyStore& store, const SumsOfSquares& sums, char separator,
                        const std::vector<Extended>& cellTotals) {
    WriteReport(file, store, sums, separator, FiniteTotals(cellTotals));
}

}  // namespace morvane
