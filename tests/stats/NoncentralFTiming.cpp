// The time of one interval of the noncentral F (both limits at level .9), the
// median of 21, at F df1 = 10^6 (the series alone), just above it and at 10^8,
// 10^9 and 10^12 (the integral beyond lambda = 10^6), for df1 = 2 and several
// error df. Run by hand on a quiet machine:
//   cmake --build build --target noncentral_f_timing
//   build/tests/stats/noncentral_f_timing

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "stats/Distributions.h"

int main() {
    using Clock = std::chrono::steady_clock;
    constexpr int kRuns = 21;
    std::printf("%10s %8s %12s\n", "F df1", "df2", "median ms");
    for (const long double fd : {1e6L, 1.000001e6L, 1e8L, 1e9L, 1e12L}) {
        for (const long double df2 : {1.0L, 14.0L, 1000.0L, 1e6L}) {
            std::vector<double> times;
            bool found = true;
            for (int run = 0; run < kRuns; ++run) {
                const Clock::time_point start = Clock::now();
                found = found && morvane::NoncentralFLimits(fd / 2, 2, df2, 0.9L).has_value();
                times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
            std::nth_element(times.begin(), times.begin() + kRuns / 2, times.end());
            std::printf("%10.7Lg %8Lg %12.3f%s\n", fd, df2, times[kRuns / 2], found ? "" : "  (no interval)");
        }
    }
    return 0;
}
