#include "analysis/ParseScores.h"

#include <algorithm>
#include <cassert>

#include "analysis/ExactSums.h"
#include "analysis/ScoreSyntax.h"
#include "analysis/SumsOfSquares.h"
#include "runtime/Errors.h"

namespace morvane {
namespace {

// The texts of one cell lie together for consecutive subjects, and a subject's
// values lie together: a block of subjects at a time, cell by cell, reads both
// in long runs.
constexpr std::int32_t kBlockSubjects = 64;

// In the order of the message: the first bad text for s, then a, then b.
void ParseInOrder(StudyStore& store, char decimalSeparator) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    const CellTextArray& texts = store.CellText;
    for (std::int32_t s = 1; s <= n; ++s)
        for (std::int32_t a = 1; a <= na; ++a)
            for (std::int32_t b = 1; b <= nb; ++b)
                store.CellValue(s, a, b) = ScoreValue(texts(s, a, b), decimalSeparator);
}

void ParseInBlocks(StudyStore& store, char separator, ExactTotalsBuilder* exact, SumsOfSquaresSweep* sweep) {
    assert(HasItsExtents(store, StudyArrays::Texts | StudyArrays::Values));
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    const CellTextArray& texts = store.CellText;
    try {
        QuickScore q;
        for (std::int32_t first = 1; first <= n; first += kBlockSubjects) {
            const std::int32_t last = std::min(n, first + (kBlockSubjects - 1));
            if (exact) exact->BeginBlock(first - 1, last - first + 1);
            for (std::int32_t a = 1; a <= na; ++a)
                for (std::int32_t b = 1; b <= nb; ++b)
                    for (std::int32_t s = first; s <= last; ++s) {
                        const std::string_view text = texts(s, a, b);
                        if (ReadQuickScore(text, separator, q)) {
                            store.CellValue(s, a, b) = q.value;
                            if (exact) exact->Add(s - first, a - 1, b - 1, q);
                        } else {
                            store.CellValue(s, a, b) = ScoreValue(text, separator);
                            if (exact) exact->AddText(s - first, a - 1, b - 1, text, separator);
                        }
                    }
            if (exact) exact->EndBlock();
            if (sweep) sweep->AddSubjects(store, first, last);
        }
    } catch (const ConvertError&) {
        ParseInOrder(store, separator);  // throws the error of the first bad text
        throw;
    }
}

}  // namespace

void ParseAllScores(StudyStore& store, char decimalSeparator) {
    ParseInBlocks(store, decimalSeparator, nullptr, nullptr);
}

void ParseAllScores(StudyStore& store, char decimalSeparator, ExactTotalsBuilder& exact) {
    ParseInBlocks(store, decimalSeparator, &exact, nullptr);
}

void ParseAllScores(StudyStore& store, char decimalSeparator, ExactTotalsBuilder& exact,
                    SumsOfSquaresSweep& sweep) {
    ParseInBlocks(store, decimalSeparator, &exact, &sweep);
}

}  // namespace morvane
