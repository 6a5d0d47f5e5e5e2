#include "analysis/ParseScores.h"

#include <cassert>

#include "analysis/ScoreSyntax.h"

namespace morvane {

void ParseAllScores(StudyStore& store, char decimalSeparator) {
    assert(HasItsExtents(store, StudyArrays::Texts | StudyArrays::Values));
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    const CellTextArray& texts = store.CellText;
    for (std::int32_t s = 1; s <= n; ++s)
        for (std::int32_t a = 1; a <= na; ++a)
            for (std::int32_t b = 1; b <= nb; ++b)
                store.CellValue(s, a, b) = ScoreValue(texts(s, a, b), decimalSeparator);
}

}  // namespace morvane
