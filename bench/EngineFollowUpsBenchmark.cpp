// The one engine on 10^6 scores: 10^4 subjects x 10 x 10 within cells with
// two decimals, in one group (a data file's study) and in three of unequal
// size, with effects of every factor; and the random study of the other
// benchmarks (scores 0.0 to 99.9, no effects). The means, comparisons and
// simple effects alone, each
// strategy, and the whole analysis (the model on one thread, the rest beside
// it): wall time, and the processor time of both threads.

#include <benchmark/benchmark.h>

#include <random>

#include "RunBenchmarks.h"
#include "StudyGenerator.h"
#include "anova/Analysis.h"
#include "anova/detail/Analyse.h"
#include "anova/detail/Steps.h"
#include "design/StudyDesign.h"
#include "store/DataFile.h"
#include "support/TempDir.h"

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

// The random study of 10^4 subjects x 10 x 10, loaded once.
StudyStore& RandomStudy() {
    static testing::TempDir folder;
    static StudyStore store;
    if (store.SubjectCount == 0) {
        const std::string path = folder.File("study.dat");
        WriteRandomStudy(path, 10000, 10, 10);
        LoadStudyFile(store, path);
    }
    return store;
}

enum class Kind { Study, Groups, Random };

const DesignData& Design(Kind kind) {
    static const DesignData study = MakeDesign(false), mixed = MakeDesign(true),
                            random = DesignFromStudy(RandomStudy(), '.');
    return kind == Kind::Study ? study : kind == Kind::Groups ? mixed : random;
}

// The three steps on scores taken to integers once, outside the timing.
void FollowUps(benchmark::State& state, Kind kind, anova::detail::Strategy strategy) {
    const DesignData& design = Design(kind);
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

void Whole(benchmark::State& state, Kind kind, anova::detail::Strategy strategy) {
    const DesignData& design = Design(kind);
    for (auto _ : state) benchmark::DoNotOptimize(anova::detail::AnalyseWith(design, {}, strategy));
}

void Register() {
    using anova::detail::Strategy;
    const auto ms = benchmark::kMillisecond;
    benchmark::RegisterBenchmark("FollowUps/study/quick", FollowUps, Kind::Study, Strategy::Quick)->Unit(ms);
    benchmark::RegisterBenchmark("FollowUps/study/sure", FollowUps, Kind::Study, Strategy::Sure)->Unit(ms);
    benchmark::RegisterBenchmark("FollowUps/groups/quick", FollowUps, Kind::Groups, Strategy::Quick)
        ->Unit(ms);
    benchmark::RegisterBenchmark("FollowUps/random/quick", FollowUps, Kind::Random, Strategy::Quick)
        ->Unit(ms);
    for (const auto& [name, kind] :
         {std::pair{"Engine/study", Kind::Study}, std::pair{"Engine/groups", Kind::Groups},
          std::pair{"Engine/random", Kind::Random}})
        benchmark::RegisterBenchmark(name, Whole, kind, Strategy::Quick)
            ->Unit(ms)
            ->MeasureProcessCPUTime()
            ->UseRealTime();
    benchmark::RegisterBenchmark("Engine/study/sure", Whole, Kind::Study, Strategy::Sure)
        ->Unit(ms)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
}

}  // namespace
}  // namespace morvane::bench

int main(int argc, char** argv) {
    return morvane::bench::RunBenchmarks(argc, argv, morvane::bench::Register);
}
