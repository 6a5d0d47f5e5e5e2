#pragma once
// Private to the parse of the scores: the quick scores of the short texts
// already read.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "runtime/Extended.h"
#include "scores/QuickScore.h"

namespace morvane {

// The quick scores of short texts, remembered: a study's scores repeat (a few
// thousand different texts among millions of scores is usual), and a text met
// before is not read again. Two texts a place, the one last read first, so
// that a study of ever new texts costs two looks and a store per score and no
// more; a place is one cache line.
class QuickScoreMemo {
public:
    // The quick score of a text of at most eight bytes, packed: its value as
    // a pair of doubles and its digits x 10^exponent (digits below 10^8).
    struct alignas(32) Score {
        SplitExtended value;
        std::uint64_t key;  // the text, as Key makes it
        std::uint32_t digits;
        std::int8_t exponent;
        std::uint8_t digitCount;
        std::uint8_t length;  // of the text; 0: an empty place
        bool negative;

        Extended Value() const { return Join(value); }
    };
    static_assert(sizeof(Score) == 32);

    explicit QuickScoreMemo(char decimalSeparator);

    // The quick score of `text` when it is of 1 to 8 bytes and of the quick
    // form (ReadQuickScore reads it) and its value splits into two doubles,
    // else nullptr: the text is longer, or may still be a score that
    // ParseScore reads. Valid until the next call.
    const Score* Read(std::string_view text);

private:
    static constexpr int kPlaceBits = 11;
    static std::uint64_t Key(const char* bytes, std::size_t length) {
        // Two overlapping words hold every byte of 4 to 8; the first, middle
        // and last byte every byte of 1 to 3. With the length, the text.
        std::uint32_t first, last;
        if (length >= 4) {
            std::memcpy(&first, bytes, 4);
            std::memcpy(&last, bytes + length - 4, 4);
        } else {
            first = std::uint32_t{static_cast<unsigned char>(bytes[0])} |
                    std::uint32_t{static_cast<unsigned char>(bytes[length / 2])} << 8;
            last = static_cast<unsigned char>(bytes[length - 1]);
        }
        return first | std::uint64_t{last} << 32;
    }
    // Two scores, the one read last first, in one cache line.
    struct alignas(64) Place {
        Score scores[2];
    };
    const Score* ReadNew(std::string_view text, Score* place, std::uint64_t key);

    std::unique_ptr<Place[]> places_;
    char separator_;
};

[[gnu::always_inline]] inline const QuickScoreMemo::Score* QuickScoreMemo::Read(std::string_view text) {
    const std::size_t length = text.size();
    if (length - 1 >= 8) return nullptr;
    const std::uint64_t key = Key(text.data(), length);
    Score* place = places_[((key + length) * 0x9E3779B97F4A7C15u) >> (64 - kPlaceBits)].scores;
    if (place[0].key == key && place[0].length == length) return &place[0];
    if (place[1].key == key && place[1].length == length) return &place[1];
    return ReadNew(text, place, key);
}

}  // namespace morvane
