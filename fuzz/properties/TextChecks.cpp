#include "properties/TextChecks.h"

#include <cstdint>

namespace morvane::properties {

bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int more = 0;
        std::uint32_t code = 0, least = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if ((lead & 0xE0) == 0xC0) {
            more = 1, code = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2, code = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            more = 3, code = lead & 0x07, least = 0x10000;
        } else {
            return false;  // a continuation byte, or a lead of five bytes or more
        }
        if (text.size() - i <= static_cast<std::size_t>(more)) return false;
        for (int k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) return false;
            code = code << 6 | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return false;
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

namespace {

// A recursive descent over the grammar of RFC 8259. Nesting is bounded so that
// a fault in a writer cannot exhaust the stack here.
class JsonChecker {
public:
    explicit JsonChecker(std::string_view text) : text_(text) {}

    std::optional<std::string> Check() {
        Blank();
        if (!Value(0)) return fault_;
        Blank();
        if (pos_ != text_.size()) Fail("text after the value");
        return fault_;
    }

private:
    bool Value(int depth) {
        if (depth > 64) return Fail("nested too deep");
        if (pos_ == text_.size()) return Fail("a value expected");
        switch (text_[pos_]) {
            case '{':
                return Object(depth);
            case '[':
                return Array(depth);
            case '"':
                return String();
            case 't':
                return Word("true");
            case 'f':
                return Word("false");
            case 'n':
                return Word("null");
            default:
                return Number();
        }
    }

    bool Object(int depth) {
        ++pos_;
        Blank();
        if (Take('}')) return true;
        for (;;) {
            Blank();
            if (pos_ == text_.size() || text_[pos_] != '"') return Fail("a key expected");
            if (!String()) return false;
            Blank();
            if (!Take(':')) return Fail("':' expected");
            Blank();
            if (!Value(depth + 1)) return false;
            Blank();
            if (Take('}')) return true;
            if (!Take(',')) return Fail("',' or '}' expected");
        }
    }

    bool Array(int depth) {
        ++pos_;
        Blank();
        if (Take(']')) return true;
        for (;;) {
            Blank();
            if (!Value(depth + 1)) return false;
            Blank();
            if (Take(']')) return true;
            if (!Take(',')) return Fail("',' or ']' expected");
        }
    }

    bool String() {
        const std::size_t start = ++pos_;
        for (;;) {
            if (pos_ == text_.size()) return Fail("a string not closed");
            const auto c = static_cast<unsigned char>(text_[pos_]);
            if (c == '"') break;
            if (c < 0x20) return Fail("a control character in a string");
            if (c == '\\') {
                if (++pos_ == text_.size()) return Fail("an escape not finished");
                const char e = text_[pos_];
                if (e == 'u') {
                    for (int k = 0; k < 4; ++k)
                        if (++pos_ == text_.size() || !IsHex(text_[pos_])) return Fail("a bad \\u escape");
                } else if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos) {
                    return Fail("an unknown escape");
                }
            }
            ++pos_;
        }
        if (!IsUtf8(text_.substr(start, pos_ - start))) return Fail("a string that is not UTF-8");
        ++pos_;
        return true;
    }

    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    bool Number() {
        Take('-');
        if (Take('0')) {
        } else if (!Digits()) {
            return Fail("not a value (a number, string, array, object, true, false or null)");
        }
        if (Take('.') && !Digits()) return Fail("no digit after the point");
        if (Take('e') || Take('E')) {
            if (!Take('+')) Take('-');
            if (!Digits()) return Fail("no digit in the exponent");
        }
        return true;
    }

    bool Digits() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
        return pos_ > start;
    }

    bool Word(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return Fail("not a value");
        pos_ += word.size();
        return true;
    }

    bool Take(char c) {
        if (pos_ == text_.size() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }

    void Blank() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
    }

    static bool IsHex(char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }

    bool Fail(const char* what) {
        if (!fault_) fault_ = "at byte " + std::to_string(pos_) + ": " + what;
        return false;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::optional<std::string> fault_;
};

}  // namespace

std::optional<std::string> JsonFault(std::string_view text) {
    return JsonChecker(text).Check();
}

}  // namespace morvane::properties
