#include "runtime/DecimalSeparator.h"

#include <clocale>
#include <cstring>

namespace morvane {

char DecimalSeparatorFromLocale() {
    std::setlocale(LC_ALL, "");
    const std::lconv* conventions = std::localeconv();
    const char* point = conventions != nullptr ? conventions->decimal_point : nullptr;
    if (point == nullptr || std::strlen(point) != 1) return '.';
    return point[0];
}

}  // namespace morvane
