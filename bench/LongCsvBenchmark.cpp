// Reading a long CSV into a design: 10^6 scores of a mixed design (three
// groups of 2,500, 3,300 and 4,200 subjects x 10 x 10 within cells; columns
// id, group, A, B, score) in the order experiment software writes them, the
// same rows shuffled, and trial rows (four a cell, 10^6 rows, a quarter of the
// subjects); 10^7 rows on request; a file of those columns on request
// (bench/design-vs-anova.sh reads its CSVs so). Wall time of ReadLongCsv alone
// (on two threads for a long text): the CSV is made or read into memory once.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "RunBenchmarks.h"
#include "exchange/LongCsv.h"

namespace morvane::bench {
namespace {

// The rows of `subjects` subjects (split 25:33:42 into three groups), each
// cell `trials` times, scores of two decimals around the subject's level.
std::string MixedCsv(int subjects, int trials, bool shuffled) {
    std::mt19937_64 random(7);
    std::vector<std::string> rows;
    std::string text = "id,group,A,B,score\n";
    const int first = subjects / 4, second = first + subjects * 33 / 100;
    char row[96];
    for (int s = 0; s < subjects; ++s) {
        const int group = s < first ? 1 : s < second ? 2 : 3;
        const auto base = static_cast<int>(random() % 2000);
        for (int a = 1; a <= 10; ++a)
            for (int b = 1; b <= 10; ++b)
                for (int t = 0; t < trials; ++t) {
                    const int score = base + static_cast<int>(random() % 1000) + 10 * a + group * b;
                    std::snprintf(row, sizeof row, "s%06d,g%d,a%d,b%d,%d.%02d\n", s + 1, group, a, b,
                                  score / 100, score % 100);
                    if (shuffled)
                        rows.emplace_back(row);
                    else
                        text += row;
                }
    }
    std::shuffle(rows.begin(), rows.end(), random);
    for (const std::string& r : rows) text += r;
    return text;
}

void Read(benchmark::State& state, const std::string& text) {
    const LongCsvRoles roles{"id", "score", {"A", "B"}, {"group"}};
    for (auto _ : state) benchmark::DoNotOptimize(ReadLongCsv(text, roles));
    state.counters["rows"] = static_cast<double>(std::count(text.begin(), text.end(), '\n') - 1);
}

void InOrder(benchmark::State& state) {
    static const std::string text = MixedCsv(10000, 1, false);
    Read(state, text);
}

void Shuffled(benchmark::State& state) {
    static const std::string text = MixedCsv(10000, 1, true);
    Read(state, text);
}

void TrialRows(benchmark::State& state) {
    static const std::string text = MixedCsv(2500, 4, false);
    Read(state, text);
}

// 10^7 rows (10^5 subjects), only when MORVANE_BENCH_LARGE is set: the
// memory it takes is the point (run it alone under /usr/bin/time).
void TenMillionRows(benchmark::State& state) {
    static const std::string text = MixedCsv(100000, 1, false);
    Read(state, text);
}

// The file MORVANE_BENCH_CSV names, of the columns id, group, A, B and score.
void File(benchmark::State& state) {
    static const std::string text = [] {
        std::ifstream in(std::getenv("MORVANE_BENCH_CSV"), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }();
    Read(state, text);
}

}  // namespace
}  // namespace morvane::bench

int main(int argc, char** argv) {
    using namespace morvane::bench;
    return RunBenchmarks(argc, argv, [] {
        for (auto* b : {benchmark::RegisterBenchmark("LongCsv/InOrder", InOrder),
                        benchmark::RegisterBenchmark("LongCsv/Shuffled", Shuffled),
                        benchmark::RegisterBenchmark("LongCsv/TrialRows", TrialRows)})
            b->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
        if (std::getenv("MORVANE_BENCH_CSV") != nullptr)
            benchmark::RegisterBenchmark("LongCsv/File", File)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Repetitions(5)
                ->ReportAggregatesOnly(true);
        if (std::getenv("MORVANE_BENCH_LARGE") != nullptr)
            benchmark::RegisterBenchmark("LongCsv/TenMillionRows", TenMillionRows)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Iterations(1)
                ->Repetitions(5)
                ->ReportAggregatesOnly(true);
    });
}
