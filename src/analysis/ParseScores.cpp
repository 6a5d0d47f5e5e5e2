#include "analysis/ParseScores.h"

#include "analysis/ScoreSyntax.h"

namespace morvane {

void ParseAllScores(StudyStore& store, char decimalSeparator) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    for (std::int32_t s = 1; s <= n; ++s)
        for (std::int32_t a = 1; a <= na; ++a)
            for (std::int32_t b = 1; b <= nb; ++b)
                store.CellValue(s, a, b) = ScoreValue(store.CellText(s, a, b), decimalSeparator);
}

}  // namespace morvane
