#include "exchange/Csv.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "exchange/ExchangeMessages.h"
#include "runtime/CsvField.h"

namespace morvane::csv {

Reader::Reader(std::string_view text, char separator)
    : text_(text.data()), size_(text.size()), separator_(separator) {
    for (char c : {separator, '\r', '\n'}) ends_[static_cast<unsigned char>(c)] = true;
}

void Reader::EndOfLine() {
    if (text_[pos_] == '\r' && pos_ + 1 < size_ && text_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    ++line_;
}

bool Reader::Next() {
    if (NextPlain()) return true;
    fields_.clear();
    lines_.clear();
    spans_ = false;
    recordLine_ = line_;
    if (pos_ >= size_) return false;
    for (;;) {
        const std::int64_t fieldLine = line_;
        const auto column = static_cast<std::int64_t>(fields_.size()) + 1;
        if (pos_ < size_ && text_[pos_] == '"') {
            const std::size_t start = ++pos_;
            std::string* copy = nullptr;  // made at the first doubled quote
            for (;;) {
                if (pos_ >= size_) throw CsvError(messages::UnclosedQuote(fieldLine, column));
                const char c = text_[pos_];
                if (c == '"') {
                    if (pos_ + 1 < size_ && text_[pos_ + 1] == '"') {
                        if (copy == nullptr) copy = &unquoted_.emplace_back(text_ + start, pos_ - start);
                        copy->push_back('"');
                        pos_ += 2;
                        continue;
                    }
                    ++pos_;
                    break;
                }
                if (c == '\n' || (c == '\r' && !(pos_ + 1 < size_ && text_[pos_ + 1] == '\n'))) {
                    ++line_;
                    if (!spans_) lines_.assign(fields_.size(), recordLine_);  // from now on one line each
                    spans_ = true;
                }
                if (copy != nullptr) copy->push_back(c);
                ++pos_;
            }
            if (copy != nullptr)
                fields_.emplace_back(*copy);
            else
                fields_.emplace_back(text_ + start, pos_ - 1 - start);
            if (pos_ < size_ && text_[pos_] != separator_ && text_[pos_] != '\r' && text_[pos_] != '\n')
                throw CsvError(messages::TextAfterQuote(line_, column));
        } else {
            const char* const start = text_ + pos_;
            const char* const end = text_ + size_;
            const char* p = start;
            while (p != end && !ends_[static_cast<unsigned char>(*p)]) ++p;
            pos_ = static_cast<std::size_t>(p - text_);
            fields_.emplace_back(start, static_cast<std::size_t>(p - start));
        }
        if (spans_) lines_.push_back(fieldLine);
        if (pos_ >= size_) return true;
        if (text_[pos_] == separator_) {
            ++pos_;
            continue;
        }
        EndOfLine();
        return true;
    }
}

bool Reader::NextIf(std::span<const std::optional<std::string_view>> pattern) {
    const char* p = text_ + pos_;
    const char* const end = text_ + size_;
    if (p == end || pattern.empty()) return false;
    // The fields go straight where Field finds them; a record that does not
    // match leaves them to Next, which starts again.
    fields_.resize(pattern.size());
    bool blank = true;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (i > 0) {
            if (p == end || *p != separator_) return false;
            ++p;
        }
        if (p != end && *p == '"') return false;
        const char* const start = p;
        if (pattern[i]) {
            // The field must be the pattern's text, then end: compared in place
            // rather than found first. A text that holds an end itself matches
            // no unquoted field.
            const std::string_view key = *pattern[i];
            if (static_cast<std::size_t>(end - p) < key.size()) return false;
            bool ends = false;
            for (std::size_t k = 0; k < key.size(); ++k) {
                if (p[k] != key[k]) return false;
                ends |= ends_[static_cast<unsigned char>(p[k])];
            }
            p += key.size();
            if (ends || (p != end && !ends_[static_cast<unsigned char>(*p)])) return false;
        } else {
            while (p != end && !ends_[static_cast<unsigned char>(*p)]) ++p;
        }
        const std::string_view field(start, static_cast<std::size_t>(p - start));
        blank = blank && field.empty();
        fields_[i] = field;
    }
    if (blank) return false;
    const std::int64_t line = line_;
    if (p != end) {
        if (*p == separator_) return false;  // more fields (before a line end: the separator may be one)
        if (*p == '\n')
            ++p;
        else if (*p == '\r' && p + 1 != end && p[1] == '\n')
            p += 2;
        else
            return false;  // a CR alone
        ++line_;
    }
    lines_.clear();
    spans_ = false;
    recordLine_ = line;
    pos_ = static_cast<std::size_t>(p - text_);
    return true;
}

// Reads the next record as Next would when none of its fields is quoted;
// otherwise (or at the end of the text) false, with nothing read.
bool Reader::NextPlain() {
    const char* p = text_ + pos_;
    const char* const end = text_ + size_;
    if (p == end || *p == '"') return false;
    fields_.clear();
    for (;;) {
        const char* fieldEnd = p;
        while (fieldEnd != end && !ends_[static_cast<unsigned char>(*fieldEnd)]) ++fieldEnd;
        fields_.emplace_back(p, static_cast<std::size_t>(fieldEnd - p));
        if (fieldEnd != end && *fieldEnd == separator_) {
            p = fieldEnd + 1;
            if (p != end && *p == '"') return false;
            continue;
        }
        lines_.clear();
        spans_ = false;
        recordLine_ = line_;
        pos_ = static_cast<std::size_t>(fieldEnd - text_);
        if (fieldEnd != end) EndOfLine();
        return true;
    }
}

namespace {

// The LF bytes from `p` to `end`, eight at a time: a byte of a word is LF when
// it is zero after the word is xor-ed with eight LFs.
std::size_t CountLineFeeds(const char* p, const char* end) {
    constexpr std::uint64_t kLineFeeds = 0x0A0A0A0A0A0A0A0Aull, kLow7 = 0x7F7F7F7F7F7F7F7Full;
    std::size_t count = 0;
    while (end - p >= 8) {
        // Up to 255 words counted byte-wise in one word, then summed.
        std::uint64_t counts = 0;
        for (int i = 0; i < 255 && end - p >= 8; ++i, p += 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            const std::uint64_t x = word ^ kLineFeeds;
            // The high bit of each byte that is zero in x, and no other bit.
            const std::uint64_t zero = ~(((x & kLow7) + kLow7) | x | kLow7);
            counts += zero >> 7;
        }
        // Byte pairs summed into four 16-bit lanes, and the lanes into the top one.
        constexpr std::uint64_t kEvenBytes = 0x00FF00FF00FF00FFull, kLanes = 0x0001000100010001ull;
        const std::uint64_t pairs = (counts & kEvenBytes) + ((counts >> 8) & kEvenBytes);
        count += static_cast<std::size_t>((pairs * kLanes) >> 48);
    }
    for (; p != end; ++p) count += *p == '\n';
    return count;
}

}  // namespace

std::size_t Reader::LineFeedsLeft() const {
    return CountLineFeeds(text_ + pos_, text_ + size_);
}

std::size_t Reader::RecordsLeftOf(std::size_t fields) const {
    const std::size_t bytes = size_ - pos_;
    return std::min(LineFeedsLeft() + 1, bytes / std::max<std::size_t>(fields, 1));
}

std::size_t Reader::RecordsLeftAtMost() const {
    std::size_t end = size_;
    while (end > pos_ && (text_[end - 1] == '\r' || text_[end - 1] == '\n' || text_[end - 1] == separator_))
        --end;
    if (end == pos_) return 0;
    return 1 + CountLineFeeds(text_ + pos_, text_ + end);
}

char DetectSeparator(std::string_view text) {
    std::size_t commas = 0, semicolons = 0, tabs = 0;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;  // a doubled quote toggles twice
        } else if (!quoted) {
            if (c == '\r' || c == '\n') break;
            commas += c == ',';
            semicolons += c == ';';
            tabs += c == '\t';
        }
    }
    if (commas >= semicolons && commas >= tabs) return ',';
    return semicolons >= tabs ? ';' : '\t';
}

void AppendField(std::string& out, std::string_view field) {
    AppendCsvField(out, field);
}

std::vector<std::string> SplitRecord(std::string_view text, char separator) {
    Reader reader(text, separator);
    if (!reader.Next()) return {std::string()};
    std::vector<std::string> fields;
    for (std::size_t i = 0; i < reader.Size(); ++i) fields.emplace_back(reader.Field(i));
    if (reader.Next()) throw CsvError(messages::LineEndInList());
    return fields;
}

bool IsValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = p + text.size();
    while (p < end) {
        // Eight ASCII bytes at a time.
        while (end - p >= 8) {
            std::uint64_t block;
            std::memcpy(&block, p, 8);
            if ((block & 0x8080808080808080ull) != 0) break;
            p += 8;
        }
        if (p >= end) break;
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int length;
        std::uint32_t low;  // the smallest code point of that length
        std::uint32_t code;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, low = 0x80, code = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, low = 0x800, code = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, low = 0x10000, code = lead & 0x07u;
        } else {
            return false;
        }
        if (end - p < length) return false;
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            code = (code << 6) | (p[i] & 0x3Fu);
        }
        if (code < low || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        p += length;
    }
    return true;
}

}  // namespace morvane::csv
