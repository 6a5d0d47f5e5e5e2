// The stages of `morvane anova` beside the pass the report also makes, on the
// random studies of 10 x 10 levels: the exact partition with its offsets, the
// one pass over the subjects, the comparisons and simple effects with their intervals, and the model's
// checks one by one (assumptions, Friedman's tests, the rank-based analysis).
// Processor time per stage, single-threaded: what the bench script's ratio adds up.

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>

#include "RunBenchmarks.h"
#include "StudyGenerator.h"
#include "analysis/detail/ModelCheckSteps.h"
#include "analysis/detail/AnalysisSteps.h"
#include "analysis/FullAnalysis.h"
#include "stats/Distributions.h"
#include "analysis/detail/SubjectPass.h"
#include "analysis/AssumptionChecks.h"
#include "exact/ExactPartition.h"
#include "analysis/RankTests.h"
#include "store/DataFile.h"
#include "support/TempDir.h"

namespace morvane::bench {
namespace {

constexpr std::int32_t kLevels = 10;

struct Study {
    StudyStore store;
    ExactPartition part;
    std::optional<ValueCounts> counts;
    CellScores scores;
};

// The study of n subjects, generated on first use; only the latest is kept.
Study& StudyOf(std::int32_t n) {
    static testing::TempDir folder;
    static std::unique_ptr<Study> study;
    static std::int32_t subjects = -1;
    if (subjects != n) {
        study.reset();
        study = std::make_unique<Study>();
        const std::string path = folder.File("study-" + std::to_string(n) + ".dat");
        WriteRandomStudy(path, n, kLevels, kLevels);
        LoadStudyFile(study->store, path);
        study->part = ComputeExactPartition(study->store, '.', KeepOffsets::Yes);
        CellScores& s = study->scores;
        s.n = static_cast<std::size_t>(n), s.na = kLevels, s.nb = kLevels;
        s.integers = study->part.integerOffsets.data();
        s.scale = study->part.offsetScale;
        s.bound = study->part.offsetBound;
        // Counted by value as the analysis counts them (the count is timed on its own).
        study->counts = CountValues(s);
        if (study->counts) s.counts = &*study->counts;
        subjects = n;
    }
    return *study;
}

template <typename Stage>
void Run(benchmark::State& state, Stage&& stage) {
    Study& study = StudyOf(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state) stage(study);
    state.counters["scores"] = static_cast<double>(study.scores.Count());
}

void Partition(benchmark::State& state) {
    Run(state, [](Study& s) { benchmark::DoNotOptimize(ComputeExactPartition(s.store, '.', KeepOffsets::Yes)); });
}

void SubjectPass(benchmark::State& state) {
    Run(state, [](Study& s) {
        const analysis::Layout layout(s.scores.n, s.scores.na, s.scores.nb);
        benchmark::DoNotOptimize(analysis::SummariseSubjects(s.part, layout));
    });
}

void Comparisons(benchmark::State& state) {
    // The paired comparisons and simple effects with their exact figures and
    // intervals (d_z's most of all), from the pass's moments.
    Study& study = StudyOf(static_cast<std::int32_t>(state.range(0)));
    const analysis::Layout layout(study.scores.n, study.scores.na, study.scores.nb);
    const analysis::PassMoments moments = analysis::SummariseSubjects(study.part, layout);
    const std::optional<Extended> tq = TQuantile975(static_cast<Extended>(layout.n) - 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(analysis::PairedComparisons(moments, layout, tq, 0.9L));
        benchmark::DoNotOptimize(analysis::SimpleEffects(moments, layout, 0.9L));
    }
}

void Assumptions(benchmark::State& state) {
    Run(state, [](Study& s) { benchmark::DoNotOptimize(CheckAssumptions(s.scores)); });
}

void FriedmanOfCells(benchmark::State& state) {
    Run(state, [](Study& s) {
        benchmark::DoNotOptimize(Friedman(s.scores.integers, s.scores.n, s.scores.na * s.scores.nb));
    });
}

void CountByValue(benchmark::State& state) {
    Run(state, [](Study& s) { benchmark::DoNotOptimize(CountValues(s.scores)); });
}

void RankBased(benchmark::State& state) {
    Run(state, [](Study& s) { benchmark::DoNotOptimize(RankBasedAnalysis(s.scores)); });
}

void Register() {
    for (std::int64_t n : {1000, 10000, 100000})
        for (auto [name, function] : {std::pair{"Partition", &Partition},
                                      {"SubjectPass", &SubjectPass},
                                      {"Comparisons", &Comparisons},
                                      {"Assumptions", &Assumptions},
                                      {"FriedmanOfCells", &FriedmanOfCells},
                                      {"CountByValue", &CountByValue},
                                      {"RankBased", &RankBased}})
            benchmark::RegisterBenchmark(name, function)->Arg(n)->Unit(benchmark::kMillisecond);
}

}  // namespace
}  // namespace morvane::bench

int main(int argc, char** argv) {
    return morvane::bench::RunBenchmarks(argc, argv, morvane::bench::Register);
}
