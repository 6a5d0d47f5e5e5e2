// The one engine on 10^6 scores: 10^4 subjects x 10 x 10 within cells with
// two decimals, in one group (a data file's study) and in three of unequal
// size, with effects of every factor; and the random study of the other
// benchmarks (scores 0.0 to 99.9, no effects). The means, comparisons and
// simple effects alone, each
// strategy, and the whole analysis (the model on one thread, the rest beside
// it): wall time, and the processor time of both threads.

#include <benchmark/benchmark.h>


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
    static const DesignData study = LargeDesign(false), mixed = LargeDesign(true),
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

// One of the three steps alone (0 means, 1 comparisons, 2 simple effects).
void OneStep(benchmark::State& state, Kind kind, int step) {
    const DesignData& design = Design(kind);
    const anova::detail::Scores scores = anova::detail::IntegerScores(design, anova::detail::Strategy::Quick);
    const anova::Options options;
    const anova::detail::Inputs in{design, scores, options};
    for (auto _ : state) {
        anova::Analysis out;
        if (step == 0) anova::detail::AddMeans(in, out);
        if (step == 1) anova::detail::AddComparisons(in, out);
        if (step == 2) anova::detail::AddSimpleEffects(in, out);
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
    for (const auto& [kind, name] : {std::pair{Kind::Study, "study"}, std::pair{Kind::Groups, "groups"}})
        for (const auto& [step, what] : {std::pair{0, "means"}, std::pair{1, "comparisons"}, std::pair{2, "simple"}})
            benchmark::RegisterBenchmark((std::string("Step/") + name + "/" + what).c_str(), OneStep, kind, step)
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
