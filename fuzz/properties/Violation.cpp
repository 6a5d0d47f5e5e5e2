#include "properties/Violation.h"

#include <cstdio>

namespace morvane::properties {

std::string Quote(std::string_view bytes, std::size_t limit) {
    std::string quoted = "\"";
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            quoted.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            quoted.append(hex);
        }
    }
    if (bytes.size() > limit) quoted.append("...");
    quoted.push_back('"');
    return quoted;
}

}  // namespace morvane::properties
