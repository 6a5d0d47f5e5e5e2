// The one engine on 10^6 scores: 10^4 subjects in three between groups of
// unequal size, or the same in one (a data file's study of A x B x S), 10 x
// 10 within cells, scores of two decimal places; and a data file's study of
// 10^6 scores taken to a design and analysed. Processor time of the calling
// thread (the engine runs its follow-ups on a second one), the data file's in
// wall time.

#include <benchmark/benchmark.h>


#include "RunBenchmarks.h"
#include "StudyGenerator.h"
#include "anova/Analysis.h"
#include "design/StudyDesign.h"
#include "store/DataFile.h"

namespace morvane::bench {
namespace {

const DesignData& LargeMixed() {
    static const DesignData design = LargeDesign(true);
    return design;
}

const DesignData& LargeStudy() {
    static const DesignData design = LargeDesign(false);
    return design;
}

// The whole analysis of either design.
void OneEngine(benchmark::State& state) {
    const DesignData& design = state.range(0) ? LargeMixed() : LargeStudy();
    for (auto _ : state) benchmark::DoNotOptimize(anova::Analyse(design));
}

void StudyFile(benchmark::State& state) {
    static const std::string path = [] {
        const std::string p = "/tmp/morvane-bench-study.dat";
        WriteRandomStudy(p, 10000, 10, 10);
        return p;
    }();
    StudyStore store;
    ReadDataFile(store, path);
    for (auto _ : state) benchmark::DoNotOptimize(anova::Analyse(DesignFromStudy(store, '.')));
}

void Register() {
    benchmark::RegisterBenchmark("Anova/study/1e6", OneEngine)->Arg(0)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Anova/design/1e6", OneEngine)->Arg(1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Anova/datafile/1e6", StudyFile)->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace
}  // namespace morvane::bench

int main(int argc, char** argv) {
    return morvane::bench::RunBenchmarks(argc, argv, morvane::bench::Register);
}
