#pragma once
// The degrees of freedom of the sources of the A x B x S partition, as 64-bit
// products, so that no design can wrap them around.

#include <cstdint>

namespace morvane {

struct DegreesOfFreedom {
    std::int64_t s, within, a, as, b, bs, ab, abs, total;

    // For n subjects and na x nb cells; below one subject or one level the
    // differences are what they are (the results file prints them so).
    constexpr DegreesOfFreedom(std::int64_t n, std::int64_t na, std::int64_t nb)
        : s(n - 1),
          within((na * nb - 1) * n),
          a(na - 1),
          as((na - 1) * (n - 1)),
          b(nb - 1),
          bs((nb - 1) * (n - 1)),
          ab((na - 1) * (nb - 1)),
          abs((na - 1) * (nb - 1) * (n - 1)),
          total(na * nb * n - 1) {}
};

}  // namespace morvane
