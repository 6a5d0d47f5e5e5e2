#pragma once
// What the parse of the scores hands on: a block of consecutive subjects at a
// time, with the values of their scores and the decimal digits of the short
// ones, to sinks it knows only by this interface (the sums of squares and the
// exact totals are two).

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/Extended.h"
#include "store/CellTexts.h"

namespace morvane {

// A short score as digits x 10^exponent, as the parse read it, or not present:
// the sink then reads the score's text itself.
struct ScoreDigits {
    std::uint32_t digits;
    std::int8_t exponent;
    std::uint8_t digitCount;
    bool negative;
    bool present;
};

// The subjects first .. first + count - 1 (from 1) of a study of levelsA x
// levelsB cells. Their values and digits lie [a][b][t] (a, b and t from 0),
// each cell's `count` values in a row, as At gives the place. Valid until the
// sink's Take returns.
struct ParsedBlock {
    std::int32_t first = 1, count = 0;
    std::int32_t levelsA = 0, levelsB = 0;
    // The values, each as the exact sum of two doubles (runtime/Extended.h), or, when
    // null because some value does not split, as extended numbers.
    const SplitExtended* pairs = nullptr;
    const Extended* values = nullptr;
    const ScoreDigits* digits = nullptr;
    bool everyDigitPresent = true;
    const CellTextArray* texts = nullptr;
    char decimalSeparator = '.';  // of the texts

    std::size_t At(std::int32_t a, std::int32_t b, std::int32_t t) const {
        return (static_cast<std::size_t>(a) * static_cast<std::size_t>(levelsB) +
                static_cast<std::size_t>(b)) *
                   static_cast<std::size_t>(count) +
               static_cast<std::size_t>(t);
    }
    Extended Value(std::size_t at) const { return pairs ? Join(pairs[at]) : values[at]; }
    // The text of the score at levels a, b of subject t (all from 0).
    std::string_view Text(std::int32_t a, std::int32_t b, std::int32_t t) const {
        return texts->Text(first + t, a + 1, b + 1);
    }
};

class ParsedBlockSink {
public:
    virtual ~ParsedBlockSink() = default;
    // Each block once, in the order of the subjects; maybe on a thread other
    // than the parse's, but one block at a time.
    virtual void Take(const ParsedBlock& block) = 0;
};

}  // namespace morvane
