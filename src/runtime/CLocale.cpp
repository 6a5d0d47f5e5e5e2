#include "runtime/CLocale.h"

#include <cstdio>

namespace morvane {

locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

std::string ScientificText(Extended value, int fractionDigits) {
    const locale_t previous = uselocale(CLocale());
    char text[128];
    const int length = std::snprintf(text, sizeof text, "%.*Le", fractionDigits, value);
    uselocale(previous);
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

}  // namespace morvane
