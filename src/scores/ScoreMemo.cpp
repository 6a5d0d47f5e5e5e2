#include "scores/ScoreMemo.h"

namespace morvane {

QuickScoreMemo::QuickScoreMemo(char decimalSeparator)
    : places_(std::make_unique<Place[]>(std::size_t{1} << kPlaceBits)), separator_(decimalSeparator) {}

const QuickScoreMemo::Score* QuickScoreMemo::ReadNew(std::string_view text, Score* place, std::uint64_t key) {
    QuickScore q;
    SplitExtended value;
    if (!ReadQuickScore(text, separator_, q) || !Split(q.value, value)) return nullptr;
    // At most eight bytes: fewer than nine digits, and an exponent of the
    // fast form (within 27 of the places of the digits).
    place[1] = place[0];
    Score& score = place[0];
    score.value = value;
    score.key = key;
    score.digits = static_cast<std::uint32_t>(q.digits);
    score.exponent = static_cast<std::int8_t>(q.exponent);
    score.digitCount = static_cast<std::uint8_t>(q.digitCount);
    score.length = static_cast<std::uint8_t>(text.size());
    score.negative = q.negative;
    return &score;
}

}  // namespace morvane
