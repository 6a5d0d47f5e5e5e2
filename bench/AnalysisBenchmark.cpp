// The stages of `morvane anova` beside the pass the report also makes, on the
// random studies of 10 x 10 levels: the exact partition (the report's
// precision check), the study taken to a design, its scores taken to exact
// integers, then each step of the one engine on its own (the model, the
// means, the comparisons, the simple effects, the checks of the strata and
// the rank-based tests). Processor time per stage, single-threaded: what the
// bench script's ratio adds up.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "RunBenchmarks.h"
#include "StudyGenerator.h"
#include "anova/Analysis.h"
#include "anova/detail/Analyse.h"
#include "anova/detail/Steps.h"
#include "design/StudyDesign.h"
#include "exact/ExactPartition.h"
#include "store/DataFile.h"
#include "support/TempDir.h"

namespace morvane::bench {
namespace {

constexpr std::int32_t kLevels = 10;

struct Study {
    StudyStore store;
    DesignData design;
    anova::detail::Scores scores;
    anova::Options options;
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
        study->design = DesignFromStudy(study->store, '.');
        study->scores = anova::detail::IntegerScores(study->design);
        subjects = n;
    }
    return *study;
}

// Runs `stage` on the study of range(0) subjects, with the steps' inputs.
template <typename Stage>
void Run(benchmark::State& state, Stage&& stage) {
    Study& study = StudyOf(static_cast<std::int32_t>(state.range(0)));
    const anova::detail::Inputs in{study.design, study.scores, study.options};
    for (auto _ : state) stage(study, in);
    state.counters["scores"] = static_cast<double>(study.design.Subjects() * study.design.Cells());
}

void Partition(benchmark::State& state) {
    Run(state, [](Study& s, const anova::detail::Inputs&) {
        benchmark::DoNotOptimize(ComputeExactPartition(s.store, '.', KeepOffsets::No));
    });
}

void StudyToDesign(benchmark::State& state) {
    Run(state, [](Study& s, const anova::detail::Inputs&) {
        benchmark::DoNotOptimize(DesignFromStudy(s.store, '.'));
    });
}

void Scores(benchmark::State& state) {
    Run(state, [](Study& s, const anova::detail::Inputs&) {
        benchmark::DoNotOptimize(anova::detail::IntegerScores(s.design));
    });
}

// One step into a fresh result, as Analyse runs it.
template <void (*Step)(const anova::detail::Inputs&, anova::Analysis&)>
void OneStep(benchmark::State& state) {
    Run(state, [](Study&, const anova::detail::Inputs& in) {
        anova::Analysis out;
        Step(in, out);
        benchmark::DoNotOptimize(out);
    });
}

void Checks(benchmark::State& state) {
    Run(state, [](Study& s, const anova::detail::Inputs& in) {
        anova::Analysis out;
        std::vector<anova::Stratum> strata = anova::detail::StrataOf(s.design);
        anova::detail::AddChecks(in, strata, out);
        benchmark::DoNotOptimize(out);
    });
}

void RankBased(benchmark::State& state) {
    Run(state, [](Study&, const anova::detail::Inputs& in) {
        benchmark::DoNotOptimize(anova::detail::RankTestsOf(in));
    });
}

void Register() {
    for (std::int64_t n : {1000, 10000, 100000})
        for (auto [name, function] : {std::pair{"Partition", &Partition},
                                      {"StudyToDesign", &StudyToDesign},
                                      {"Scores", &Scores},
                                      {"Model", &OneStep<anova::detail::AddModel>},
                                      {"Means", &OneStep<anova::detail::AddMeans>},
                                      {"Comparisons", &OneStep<anova::detail::AddComparisons>},
                                      {"SimpleEffects", &OneStep<anova::detail::AddSimpleEffects>},
                                      {"Checks", &Checks},
                                      {"RankBased", &RankBased}})
            benchmark::RegisterBenchmark(name, function)->Arg(n)->Unit(benchmark::kMillisecond);
}

}  // namespace
}  // namespace morvane::bench

int main(int argc, char** argv) {
    return morvane::bench::RunBenchmarks(argc, argv, morvane::bench::Register);
}
