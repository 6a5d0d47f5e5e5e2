// The one engine on 10^6 scores: 10^4 subjects in three between groups of
// unequal size, or the same in one (a data file's study of A x B x S), 10 x
// 10 within cells, scores of two decimal places; and a data file's study of
// 10^6 scores taken to a design and analysed. Processor time of the calling
// thread (the engine runs its follow-ups on a second one), the data file's in
// wall time.

#include <benchmark/benchmark.h>

#include <random>

#include "RunBenchmarks.h"
#include "StudyGenerator.h"
#include "anova/Analysis.h"
#include "design/StudyDesign.h"
#include "store/DataFile.h"

namespace morvane::bench {
namespace {

// Three groups, or with `groups` false the same 10^4 subjects in one (a study
// of A x B x S).
DesignData MakeLargeDesign(bool groups) {
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

const DesignData& LargeDesign() {
    static const DesignData design = MakeLargeDesign(true);
    return design;
}

const DesignData& LargeStudy() {
    static const DesignData design = MakeLargeDesign(false);
    return design;
}

// The whole analysis of either design.
void OneEngine(benchmark::State& state) {
    const DesignData& design = state.range(0) ? LargeDesign() : LargeStudy();
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
