// The one engine on 10^6 scores: 10^4 subjects x 10 x 10 within cells with
// two decimals, in one group (a data file's study) and in three of unequal
// size. The means, comparisons and simple effects alone, each strategy, and
// the whole analysis (the model on one thread, the rest beside it): wall
// time, and the processor time of both threads.

#include <benchmark/benchmark.h>

#include <random>

#include "RunBenchmarks.h"
#include "anova/Analysis.h"
#include "anova/detail/Analyse.h"
#include "anova/detail/Steps.h"

namespace morvane::bench {
namespace {

DesignData MakeDesign(bool groups) {
    DesignData d;
    if (groups) d.between.push_back({"group", {"g1", "g2", "g3"}});
    for (const char* name : {"A", "B"}) {
        DesignFactor f{name, {}};
        for (int l = 1; l <= 10; ++l) f.levels.push_back(name + std::to_string(l));
        d.within.push_back(f);
    }
    const int sizes[] = {2900, 3300, 3800};
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int> subject(-2000, 2000), noise(-3000, 3000);
    d.exact = true;
    d.scale = 2;
    for (int g = 0; g < 3; ++g)
        for (int s = 0; s < sizes[g]; ++s) {
            d.subjects.push_back("s" + std::to_string(d.subjects.size() + 1));
            d.group.push_back(groups ? g : 0);
            const int level = subject(random) + 5000;
            for (int c = 0; c < 100; ++c) {
                const Int128 units = level + 40 * (c % 10) + 25 * g * (c / 10) + noise(random);
                d.units.push_back(units);
                d.rows.push_back(1);
                d.values.push_back(static_cast<long double>(units) / 100);
            }
        }
    d.subjectsRead = static_cast<std::int64_t>(d.subjects.size());
    return d;
}

const DesignData& Design(bool groups) {
    static const DesignData study = MakeDesign(false), mixed = MakeDesign(true);
    return groups ? mixed : study;
}

// The three steps on scores taken to integers once, outside the timing.
void FollowUps(benchmark::State& state, bool groups, anova::detail::Strategy strategy) {
    const DesignData& design = Design(groups);
    const anova::detail::Scores scores = anova::detail::IntegerScores(design, strategy);
    const anova::Options options;
    const anova::detail::Inputs in{design, scores, options};
    for (auto _ : state) {
        anova::Analysis out;
        anova::detail::AddMeans(in, out);
        anova::detail::AddComparisons(in, out);
        anova::detail::AddSimpleEffects(in, out);
        benchmark::DoNotOptimize(out);
    }
}

void Whole(benchmark::State& state, bool groups) {
    const DesignData& design = Design(groups);
    for (auto _ : state)
        benchmark::DoNotOptimize(anova::detail::AnalyseWith(design, {}, anova::detail::Strategy::Quick));
}

void Register() {
    using anova::detail::Strategy;
    benchmark::RegisterBenchmark("FollowUps/study/quick", FollowUps, false, Strategy::Quick)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("FollowUps/study/sure", FollowUps, false, Strategy::Sure)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("FollowUps/groups/quick", FollowUps, true, Strategy::Quick)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Engine/study", Whole, false)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
    benchmark::RegisterBenchmark("Engine/groups", Whole, true)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
}

}  // namespace
}  // namespace morvane::bench

int main(int argc, char** argv) {
    return morvane::bench::RunBenchmarks(argc, argv, morvane::bench::Register);
}
