#pragma once
// The score syntax: spaces, an optional sign, digits with an optional decimal
// separator and fraction, an optional exponent, spaces, and nothing else. The
// value is the decimal number rounded to the extended format.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "runtime/Extended.h"

namespace morvane {

// The parts of a well-formed score text: its value is
// (integerDigits.fractionDigits) x 10^exponent, negated when `negative`.
struct ScoreParts {
    bool negative = false;
    std::string_view integerDigits;
    std::string_view fractionDigits;
    int exponent = 0;  // below 5000 in magnitude
};

// The parts of `text`, or nothing when it is malformed or its exponent is 5000
// or more in magnitude (its value may still lie beyond the extended range).
std::optional<ScoreParts> ScanScore(std::string_view text, char decimalSeparator);

// The value of `text`, or nothing when it is not a score: malformed, an
// exponent of 5000 or more in magnitude, or a value beyond the extended range.
// A value too small for the format becomes a denormal or zero.
std::optional<Extended> ParseScore(std::string_view text, char decimalSeparator);

// Whether `text` is a score: ParseScore(...).has_value(), without working out
// the value of a number that is surely within range.
bool IsScore(std::string_view text, char decimalSeparator);

// A score in its common form (at most 19 significant digits and a power of ten
// that one exact operation applies), read in one go. `digits` x 10^`exponent`
// is its exact value without trailing zeros (digits 0 for a zero score), and
// `value` is what ParseScore gives.
struct QuickScore {
    Extended value = 0;
    std::uint64_t digits = 0;
    int exponent = 0;
    int digitCount = 0;  // of `digits`
    bool negative = false;
};

// Reads `text` when it is a score of the common form; false otherwise (the text
// may still be a score, which ParseScore reads). Inline: it runs once a score.
inline bool ReadQuickScore(std::string_view text, char decimalSeparator, QuickScore& out);

namespace quick {

constexpr int kExponentLimit = 5000;  // as the score syntax allows

constexpr bool Digit(char c) {
    return c >= '0' && c <= '9';
}

// 10^k for 0 <= k <= 19.
constexpr auto kPowers64 = [] {
    std::array<std::uint64_t, 20> powers{};
    powers[0] = 1;
    for (std::size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
    return powers;
}();

// 10^k for 0 <= k <= 27, each exact in the extended format.
constexpr auto kExactPowers = [] {
    std::array<Extended, 28> powers{};
    powers[0] = 1;
    for (std::size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
    return powers;
}();

}  // namespace quick

// The same steps as ScanScore and FastValue, without their intermediate parts.
[[gnu::always_inline]] inline bool ReadQuickScore(std::string_view text, char separator, QuickScore& out) {
    using namespace quick;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end && *p == ' ') ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    std::uint64_t mantissa = 0;
    int significant = 0, trailingZeros = 0;
    std::size_t runs = 0;  // digits in the integer and fraction runs
    int fraction = 0;
    const auto digit = [&](char c) {
        ++runs;
        if (significant == 0 && c == '0') return true;
        if (++significant > 19) return false;
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
        trailingZeros = c == '0' ? trailingZeros + 1 : 0;
        return true;
    };
    while (p != end && Digit(*p))
        if (!digit(*p++)) return false;
    if (p != end && *p == separator) {
        ++p;
        const char* start = p;
        while (p != end && Digit(*p))
            if (!digit(*p++)) return false;
        fraction = static_cast<int>(p - start);
    }
    if (runs == 0) return false;
    int exponent = 0;
    if (p != end && (*p == 'E' || *p == 'e')) {
        ++p;
        bool negativeExponent = false;
        if (p != end && (*p == '+' || *p == '-')) negativeExponent = *p++ == '-';
        if (p == end || !Digit(*p)) return false;
        while (p != end && Digit(*p)) {
            exponent = exponent * 10 + (*p++ - '0');
            if (exponent >= kExponentLimit) return false;
        }
        if (negativeExponent) exponent = -exponent;
    }
    while (p != end && *p == ' ') ++p;
    if (p != end) return false;
    out.negative = negative;
    if (mantissa == 0) {
        out.value = negative ? -Extended{0} : Extended{0};
        out.digits = 0;
        out.exponent = 0;
        out.digitCount = 0;
        return true;
    }
    const int scale = exponent - fraction;
    auto value = static_cast<Extended>(mantissa);
    if (scale >= 0 && scale <= 27)
        value *= kExactPowers[static_cast<std::size_t>(scale)];
    else if (scale < 0 && scale >= -27)
        value /= kExactPowers[static_cast<std::size_t>(-scale)];
    else
        return false;
    out.value = negative ? -value : value;
    out.digits = trailingZeros == 0 ? mantissa : mantissa / kPowers64[static_cast<std::size_t>(trailingZeros)];
    out.exponent = scale + trailingZeros;
    out.digitCount = significant - trailingZeros;
    return true;
}

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

// ParseScore, with "'%s' は浮動小数点数ではありません" for a text that is not a score.
Extended ScoreValue(std::string_view text, char decimalSeparator);

}  // namespace morvane
