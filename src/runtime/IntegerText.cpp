#include "runtime/IntegerText.h"

namespace morvane {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::int32_t> ConvertHex(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(d);
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::optional<std::int32_t> ConvertDecimal(std::string_view digits, bool negative) {
    if (digits.empty()) return std::nullopt;
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > limit) return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

}  // namespace

std::optional<std::int32_t> ConvertCount(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.starts_with("0x") || text.starts_with("0X")) return ConvertHex(text.substr(2));
    if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X'))
        return ConvertHex(text.substr(1));
    return ConvertDecimal(text, negative);
}

std::optional<std::int32_t> ConvertInteger(std::string_view text) {
    auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    return ConvertCount(text.substr(first));
}

}  // namespace morvane
