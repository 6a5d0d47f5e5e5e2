#pragma once
// The main of every benchmark program: its benchmarks registered by
// `registration`, then run as the command line asks.

#include <benchmark/benchmark.h>

namespace morvane::bench {

template <typename Registration>
int RunBenchmarks(int argc, char** argv, Registration&& registration) {
    registration();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace morvane::bench
