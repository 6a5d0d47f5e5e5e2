#include "properties/DataFileModel.h"

#include <charconv>
#include <cstdio>
#include <optional>

namespace morvane::properties {
namespace {

// The form of a count: an optional sign, then decimal digits within the signed
// 32-bit range, or a hexadecimal prefix and digits within 32 bits taken as the
// bit pattern (the sign then counts for nothing). Read with std::from_chars.
std::optional<std::int32_t> CountValue(std::string_view run) {
    bool negative = false;
    if (!run.empty() && (run.front() == '+' || run.front() == '-')) {
        negative = run.front() == '-';
        run.remove_prefix(1);
    }
    for (std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
        if (!run.starts_with(prefix)) continue;
        std::string_view digits = run.substr(prefix.size());
        std::uint32_t pattern = 0;
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pattern, 16);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
            return std::nullopt;
        return static_cast<std::int32_t>(pattern);
    }
    if (run.empty() || run.front() < '0' || run.front() > '9') return std::nullopt;
    std::string text = negative ? "-" + std::string(run) : std::string(run);
    std::int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

class Cursor {
public:
    explicit Cursor(std::string_view bytes) : bytes_(bytes) {}

    // Blanks and control bytes before a count are skipped across lines; the end
    // of the file reads as 0; at most 32 bytes make the count; the rest of its
    // line is skipped.
    std::optional<std::int32_t> Count() {
        while (pos_ < bytes_.size() && static_cast<unsigned char>(bytes_[pos_]) <= 0x20) ++pos_;
        if (pos_ == bytes_.size()) return 0;
        std::size_t start = pos_;
        while (pos_ < bytes_.size() && pos_ - start < 32 && static_cast<unsigned char>(bytes_[pos_]) > 0x20)
            ++pos_;
        std::string_view run = bytes_.substr(start, pos_ - start);
        SkipPastLineFeed();
        return CountValue(run);
    }

    // The bytes up to the next LF, every CR dropped; the end of the file ends
    // the last line.
    std::string Line() {
        std::size_t start = pos_;
        SkipPastLineFeed();
        std::string line;
        for (char c : bytes_.substr(start, pos_ - start))
            if (c != '\r' && c != '\n') line.push_back(c);
        return line;
    }

private:
    void SkipPastLineFeed() {
        std::size_t lf = bytes_.find('\n', pos_);
        pos_ = lf == std::string_view::npos ? bytes_.size() : lf + 1;
    }

    std::string_view bytes_;

public:
    std::size_t Left() const { return bytes_.size() - pos_; }

private:
    std::size_t pos_ = 0;
};

constexpr long double kTextElementSize = sizeof(std::string);

}  // namespace

const char* OutcomeName(ReadOutcome outcome) {
    switch (outcome) {
        case ReadOutcome::Read:
            return "read";
        case ReadOutcome::NotANumber:
            return "not a number (106)";
        case ReadOutcome::RangeCheck:
            return "range check";
        case ReadOutcome::OutOfMemory:
            return "out of memory";
        case ReadOutcome::TooFewLevels:
            return "too few levels";
    }
    return "?";
}

const std::string& ModelStudy::Score(std::int32_t s, std::int32_t a, std::int32_t b) const {
    auto index =
        (static_cast<std::size_t>(a - 1) * static_cast<std::size_t>(nb) + static_cast<std::size_t>(b - 1)) *
            static_cast<std::size_t>(n) +
        static_cast<std::size_t>(s - 1);
    return scores.at(index);
}

ModelStudy ReadModel(std::string_view bytes, std::uint64_t memoryBudget) {
    ModelStudy study;
    Cursor file(bytes);
    for (std::int32_t* count : {&study.n, &study.na, &study.nb}) {
        auto value = file.Count();
        if (!value) {
            study.outcome = ReadOutcome::NotANumber;
            return study;
        }
        *count = *value;
        ++study.countsRead;
    }
    study.left = file.Left();

    // The arrays in the order they are sized: the names of A, of B, the texts.
    // Their sizes in long double: exact below 2^64, and far beyond any budget above.
    const long double n1 = study.n + 1.0L, na1 = study.na + 1.0L, nb1 = study.nb + 1.0L;
    const long double extents[3][3] = {{na1, 1, 1}, {nb1, 1, 1}, {n1, na1, nb1}};
    for (const auto& extent : extents) {
        if (extent[0] < 0 || extent[1] < 0 || extent[2] < 0) {
            study.outcome = ReadOutcome::RangeCheck;
            return study;
        }
        if (extent[0] * extent[1] * extent[2] * kTextElementSize > static_cast<long double>(memoryBudget)) {
            study.outcome = ReadOutcome::OutOfMemory;
            return study;
        }
    }

    for (std::int32_t a = 1; a <= study.na; ++a) study.namesA.push_back(file.Line());
    for (std::int32_t b = 1; b <= study.nb; ++b) study.namesB.push_back(file.Line());
    if (study.n > 0 && study.na > 0 && study.nb > 0) {
        auto cells = std::int64_t{study.n} * study.na * study.nb;
        for (std::int64_t i = 0; i < cells; ++i) study.scores.push_back(file.Line());
    }
    return study;
}

std::string WriteModel(const ModelStudy& study) {
    std::string bytes;
    auto line = [&bytes](std::string_view text) {
        bytes.append(text);
        bytes.append("\r\n");
    };
    for (std::int32_t count : {study.n, study.na, study.nb}) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%d", count);
        line(digits);
    }
    for (const auto& name : study.namesA) line(name);
    for (const auto& name : study.namesB) line(name);
    for (const auto& score : study.scores) line(score);
    return bytes;
}

}  // namespace morvane::properties
