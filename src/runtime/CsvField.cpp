#include "runtime/CsvField.h"

#include <array>

namespace morvane {

void AppendCsvField(std::string& out, std::string_view field) {
    static constexpr auto kQuoted = [] {
        std::array<bool, 256> quoted{};
        for (char c : {',', ';', '\t', '"', '\r', '\n'}) quoted[static_cast<unsigned char>(c)] = true;
        return quoted;
    }();
    bool quote = false;
    for (char c : field) quote |= kQuoted[static_cast<unsigned char>(c)];
    if (!quote) {
        out.append(field);
        return;
    }
    out.push_back('"');
    for (char c : field) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

std::string CsvField(std::string_view field) {
    std::string out;
    AppendCsvField(out, field);
    return out;
}

}  // namespace morvane
