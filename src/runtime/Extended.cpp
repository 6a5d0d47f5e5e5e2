#include "runtime/Extended.h"

#include "runtime/Errors.h"

namespace morvane {

void ThrowOverflow() { throw OverflowError(); }

Extended CheckedDiv(Extended a, Extended b) {
    if (b == 0) {
        if (a == 0 || std::isnan(a)) throw InvalidOperationError();
        throw ZeroDivideError();
    }
    return CheckFinite(a / b);
}

}  // namespace morvane
