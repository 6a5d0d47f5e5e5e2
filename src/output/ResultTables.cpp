#include "output/ResultTables.h"

#include <algorithm>

namespace morvane {

// The columns a terminal gives a UTF-8 text: two for the wide characters of East Asian scripts and the
// full-width forms, one for others.
std::size_t DisplayWidth(std::string_view text) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        length = std::min(length, text.size() - i);
        bool wide = length == 4;
        if (length == 3) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            wide = (lead >= 0xE3 && lead <= 0xE9) || (lead == 0xEF && second >= 0xBC && second <= 0xBD) ||
                   (lead == 0xEA && second >= 0xB0) || (lead >= 0xEB && lead <= 0xED);
        }
        width += wide ? 2 : 1;
        i += length;
    }
    return width;
}

TableText WithRows(TableText head, const TableRows& rows) {
    head.rows.resize(rows.count);
    for (std::size_t i = 0; i < rows.count; ++i) rows.fill(i, head.rows[i]);
    return head;
}

}  // namespace morvane
