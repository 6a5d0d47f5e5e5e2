#include "output/JsonWriter.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "output/Figures.h"

namespace morvane {

void JsonWriter::Key(std::string_view key) {
    Comma();
    Escaped(key);
    out_ += ':';
    pending_ = false;
}

void JsonWriter::Open(char bracket) {
    Comma();
    out_ += bracket;
    pending_ = false;
}

void JsonWriter::Close(char bracket) {
    out_ += bracket;
    pending_ = true;
    if (sink_ && out_.size() >= std::size_t{1} << 20) {
        sink_(out_);
        out_.clear();
    }
}

void JsonWriter::Number(std::optional<Extended> value) {
    Comma();
    pending_ = true;
    // Not a number is no JSON number: null, as an absent figure.
    if (!value || std::isnan(*value)) {
        out_ += "null";
        return;
    }
    const Extended magnitude = std::fabs(*value);
    const bool outside = magnitude > std::numeric_limits<double>::max() ||
                         (magnitude != 0 && magnitude < std::numeric_limits<double>::denorm_min());
    outside_ = outside_ || outside;
    out_ += outside ? '"' + ProgramNumber(*value) + '"' : ProgramNumber(*value);
}

void JsonWriter::P(std::string_view key, std::optional<Extended> p, bool couldUnderflow) {
    Key(key);
    Number(p);
    if (p && *p == 0 && couldUnderflow) {
        Key(std::string(key) + "Underflow");
        Bool(true);
    }
}

void JsonWriter::Integer(std::int64_t value) {
    Comma();
    out_ += std::to_string(value);
    pending_ = true;
}

void JsonWriter::Bool(bool value) {
    Comma();
    out_ += value ? "true" : "false";
    pending_ = true;
}

void JsonWriter::Null() {
    Comma();
    out_ += "null";
    pending_ = true;
}

void JsonWriter::String(std::string_view text) {
    Comma();
    Escaped(text);
    pending_ = true;
}

void JsonWriter::IntegerPair(std::int64_t first, std::int64_t second, bool defined) {
    if (!defined) return Null();
    Open('[');
    Integer(first);
    Integer(second);
    Close(']');
}

// Before every key and value: the comma after the one before.
void JsonWriter::Comma() {
    if (pending_) out_ += ',';
}

// Key and String: the text in quotes, quotes and backslashes escaped, control characters as \u00XX.
void JsonWriter::Escaped(std::string_view text) {
    out_ += '"';
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out_ += '\\';
            out_ += c;
        } else if (u < 0x20 || u == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out_ += escaped;
        } else {
            out_ += c;
        }
    }
    out_ += '"';
}

}  // namespace morvane
