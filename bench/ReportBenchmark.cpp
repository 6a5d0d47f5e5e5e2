// The stages of `morvane report` on random studies of 10^5, 10^6 and 10^7
// scores (N = 10^3, 10^4, 10^5 subjects, 10 x 10 levels): reading the data file,
// parsing the scores, the one pass of parse, sweep and exact totals that the
// report makes, computing the sums of squares and writing the report.

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include "RunBenchmarks.h"
#include "StudyGenerator.h"
#include "exact/ExactTotalsBuilder.h"
#include "report/ResultsReport.h"
#include "report/SumsOfSquares.h"
#include "runtime/TextWriter.h"
#include "scores/ParseScores.h"
#include "store/DataFile.h"
#include "support/TempDir.h"

namespace morvane::bench {
namespace {

constexpr std::int32_t kLevels = 10;

// One generated study: its data file and the store loaded and parsed from it.
struct Study {
    std::string path;
    StudyStore store;
    SumsOfSquares sums;
    std::vector<Extended> cellTotals;  // as the calculation's sweep gives them to the report
};

testing::TempDir& Folder() {
    static testing::TempDir dir;
    return dir;
}

// The study of n subjects, generated on first use. Only the most recent one is
// kept, so that the largest does not share the memory with the others.
Study& StudyOf(std::int32_t n) {
    static std::unique_ptr<Study> study;
    static std::int32_t subjects = -1;
    if (subjects != n) {
        study.reset();
        study = std::make_unique<Study>();
        study->path = Folder().File("study-" + std::to_string(n) + ".dat");
        WriteRandomStudy(study->path, n, kLevels, kLevels);
        LoadStudyFile(study->store, study->path);
        SizeCellValue(study->store);
        SumsOfSquaresSweep sweep(study->store);
        ParsedBlockSink* const sinks[] = {&sweep};
        ParseAllScores(study->store, '.', sinks, KeepValues::Yes);
        study->sums = sweep.Finish(study->store);
        study->cellTotals = sweep.CellTotals();
        subjects = n;
    }
    return *study;
}

void SetScores(benchmark::State& state) {
    const auto scores = state.range(0) * kLevels * kLevels;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * scores);
    state.counters["scores"] = static_cast<double>(scores);
}

void Read(benchmark::State& state) {
    Study& study = StudyOf(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state) {
        auto store = std::make_unique<StudyStore>();
        LoadStudyFile(*store, study.path);
        SizeCellValue(*store);  // the data window sizes the values with the texts
        benchmark::DoNotOptimize(store->CellText.Extent0());
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
    SetScores(state);
}

void Parse(benchmark::State& state) {
    Study& study = StudyOf(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state) {
        ParseAllScores(study.store, '.');
        benchmark::DoNotOptimize(study.store.CellValue.Data());
    }
    SetScores(state);
}

// The pass of `morvane report` over the scores: the values parsed a block at
// a time into the sweep and the exact totals, none kept.
void OnePass(benchmark::State& state) {
    Study& study = StudyOf(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state) {
        ExactTotalsBuilder exact(study.store);
        SumsOfSquaresSweep sweep(study.store);
        ParsedBlockSink* const sinks[] = {&sweep, &exact};
        ParseAllScores(study.store, '.', sinks);
        benchmark::DoNotOptimize(sweep.Finish(study.store));
    }
    SetScores(state);
}

void Compute(benchmark::State& state) {
    Study& study = StudyOf(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state) {
        SumsOfSquares sums = ComputeSumsOfSquares(study.store);
        benchmark::DoNotOptimize(sums);
    }
    SetScores(state);
}

// Written to /dev/null: the cost of forming the lines, not of the disk.
void Report(benchmark::State& state) {
    Study& study = StudyOf(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state) {
        TextWriter file("/dev/null");
        SizeColumnTotals(study.store);
        WriteResultsReport(file, study.store, study.sums, '.', study.cellTotals);
        file.Close();
    }
    SetScores(state);
}

// Each stage at every size before the next size, so each study is generated once.
void Register() {
    for (std::int64_t n : {1000, 10000, 100000}) {
        for (auto [name, function] : {std::pair{"Read", &Read},
                                      {"Parse", &Parse},
                                      {"OnePass", &OnePass},
                                      {"Compute", &Compute},
                                      {"Report", &Report}})
            benchmark::RegisterBenchmark(name, function)
                ->Arg(n)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
    }
}

}  // namespace
}  // namespace morvane::bench

int main(int argc, char** argv) {
    return morvane::bench::RunBenchmarks(argc, argv, morvane::bench::Register);
}
