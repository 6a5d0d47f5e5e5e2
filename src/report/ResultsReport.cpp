#include "report/ResultsReport.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "exact/DegreesOfFreedom.h"
#include "report/NumberFormat.h"
#include "report/Padding.h"
#include "report/ScoreTableTexts.h"
#include "runtime/Cp932.h"
#include "runtime/Extended.h"
#include "scores/ScoreSyntax.h"

namespace morvane {
namespace {

constexpr int kMeanPrecision = 7;
constexpr int kSummaryPrecision = 9;
constexpr std::size_t kLabelWidth = 10;
constexpr std::size_t kFieldWidth = 10;  // of the score tables, as AppendPadLeft10 pads
constexpr std::size_t kNumberWidth = 15;
constexpr std::size_t kDfWidth = 10;
// The score rows are written a chunk of subjects at a time, of at most this
// many subjects and (unless one row has more) texts.
constexpr std::int32_t kChunkSubjects = 64;
constexpr std::int64_t kChunkTexts = 4096;

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

// A mean square: the sum of squares over its degrees of freedom, each exact in
// the extended format.
Extended MeanSquare(Extended ss, std::int64_t df) {
    return CheckedDiv(ss, static_cast<Extended>(df));
}

std::vector<Extended> FiniteTotals(std::vector<Extended> sums);
void WriteScoreRows(TextWriter& file, StudyStore& store, std::int32_t a, char separator, bool summed);
void WriteScoreTable(TextWriter& file, StudyStore& store, std::int32_t a, char separator,
                     const std::vector<Extended>& tableTotals);

}  // namespace

void WriteResultsReport(TextWriter& file, StudyStore& store, const SumsOfSquares& sums, char separator,
                        const std::vector<Extended>& cellTotals) {
    assert(HasItsExtents(store, StudyArrays::Names | StudyArrays::Texts | StudyArrays::Totals));
    const std::vector<Extended> tableTotals = FiniteTotals(cellTotals);
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

void WriteSummaryTable(TextWriter& file, std::int32_t subjects, std::int32_t levelsA, std::int32_t levelsB,
                       const SumsOfSquares& ss, char separator) {
    const DegreesOfFreedom df(subjects, levelsA, levelsB);

    file.WriteLine(PadRight("SV", kLabelWidth) + PadRight("SS", kNumberWidth) + PadRight("df", kDfWidth) +
                   PadRight("MS", kNumberWidth) + PadRight("F", kNumberWidth));

    const Extended msS = MeanSquare(ss.SSS, df.s);
    SummaryRow("S", separator).Number(ss.SSS).Df(df.s).Number(msS).WriteTo(file);

    const Extended ssWithin = CheckedSub(ss.SSTotal, ss.SSS);
    SummaryRow("SSw.s", separator).Number(ssWithin).Df(df.within).WriteTo(file);

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

// The column totals when all are finite; nothing otherwise, and the tables
// then meet the overflow where their running sums reach it.
std::vector<Extended> FiniteTotals(std::vector<Extended> sums) {
    for (Extended sum : sums)
        if (!std::isfinite(sum)) return {};
    return sums;
}

// Runs for each level of A: its heading, the row of B's names, the subject
// rows and the means of the columns.
void WriteScoreTable(TextWriter& file, StudyStore& store, std::int32_t a, char separator,
                     const std::vector<Extended>& tableTotals) {
    const std::int32_t n = store.SubjectCount, nb = store.LevelCountB;
    const auto columns = static_cast<std::size_t>(nb);
    std::vector<Extended>& totals = store.ColumnTotals;
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
    WriteScoreRows(file, store, a, separator, summed);
    if (summed)
        for (std::size_t b = 1; b <= columns; ++b)
            totals[b] = tableTotals[static_cast<std::size_t>(a - 1) * columns + b - 1];

    line.clear();
    AppendPadLeft10(line, Text().mean);
    for (std::size_t b = 1; b <= columns; ++b)
        AppendPadLeft10(line, FormatGeneral(CheckedDiv(totals[b], n), kMeanPrecision, separator));
    file.WriteLine(line);
}

// Runs for each score table: its subject rows, a chunk of subjects at a time.
// Each column's texts of a chunk are looked up once (the store fetching the
// next chunk's meanwhile) and each row is laid out from them; their values
// make the column totals when the tables do not have them already.
void WriteScoreRows(TextWriter& file, StudyStore& store, std::int32_t a, char separator, bool summed) {
    const std::int32_t n = store.SubjectCount, nb = store.LevelCountB;
    const auto columns = static_cast<std::size_t>(nb);
    std::vector<Extended>& totals = store.ColumnTotals;
    const auto chunk =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(kChunkTexts / nb, 1, kChunkSubjects));
    std::vector<std::string_view> texts(static_cast<std::size_t>(chunk) * columns);  // [t][b]
    for (std::int32_t first = 1; first <= n; first += chunk) {
        const std::int32_t last = std::min(n, first + (chunk - 1));
        for (std::size_t b = 0; b < columns; ++b)
            store.CellText.ForEachInColumn(
                a, static_cast<std::int32_t>(b + 1), first, last,
                [&](std::size_t t, std::string_view text) { texts[t * columns + b] = text; });
        for (std::int32_t s = first; s <= last; ++s) {
            const std::string_view* const row = &texts[static_cast<std::size_t>(s - first) * columns];
            // The line's fields padded to ten bytes, laid out in one go: its
            // length first, then the fields.
            char number[24];  // more than any count has digits, so that no copy of it reads past it
            const auto digits = std::to_chars(number, number + sizeof number, s).ptr;
            const std::string_view subject(number, static_cast<std::size_t>(digits - number));
            std::size_t length = std::max(subject.size(), kFieldWidth);
            for (std::size_t b = 0; b < columns; ++b) length += std::max(row[b].size(), kFieldWidth);
            if (!summed) {
                // A total leaves the range: the values of the texts, which parsed
                // without error before the report began, summed until it does.
                for (std::size_t b = 0; b < columns; ++b)
                    totals[b + 1] = CheckedAdd(totals[b + 1], ScoreValue(row[b], separator));
            }
            file.WriteLineWith(length, [&](char* out) {
                out = PutPadLeft10(out, subject);
                for (std::size_t b = 0; b < columns; ++b) out = PutPadLeft10(out, row[b]);
            });
        }
    }
}

}  // namespace
}  // namespace morvane
