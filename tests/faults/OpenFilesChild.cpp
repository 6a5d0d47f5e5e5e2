// open_files_child FOLDER: the file operations of the core in a fresh process
// with no file descriptor left, then with exactly one. The fault tests run it so
// that nothing their own process did before (a message already converted, say)
// hides what a program needs when its first error is "too many open files".
// The results file is tried too. FOLDER holds study.dat, nan.dat, range.dat, huge.dat, nolevels.dat and a
// folder named folder; the outcomes go to standard output, one per line.

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>

#include "report/CalculateCommand.h"
#include "faults/Outcome.h"
#include "runtime/Cp932.h"
#include "support/PrePostStudy.h"
#include "runtime/Errors.h"
#include "store/DataFile.h"

namespace {

using namespace morvane;
using morvane::testing::Outcome;
using morvane::testing::PrePostStudy;

std::string Counts(const StudyStore& store) {
    return std::to_string(store.SubjectCount) + "/" + std::to_string(store.LevelCountA) + "/" +
           std::to_string(store.LevelCountB) + " " + store.LevelNamesA[1] + " " + std::string(store.CellText(2, 2, 2));
}

std::string Written(const std::string& path, const std::string& expected) {
    if (!std::filesystem::exists(path)) return "absent";
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes == expected ? "whole" : "not whole";
}

void SetOpenFiles(rlim_t count) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = count;
    setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string folder = argv[1];
    const std::string study = folder + "/study.dat", copy = folder + "/copy.dat";
    const std::string worked =
        "2\r\n2\r\n2\r\npre\r\npost\r\neasy\r\nhard\r\n12\r\n14\r\n15\r\n18\r\n9\r\n10\r\n11\r\n13\r\n";
    std::string report;

    const int lowest = dup(0);
    close(lowest);
    SetOpenFiles(static_cast<rlim_t>(lowest));
    StudyStore store = PrePostStudy();
    const std::string before = Counts(store);
    std::string outcome = Outcome([&] { ReadDataFile(store, study); });
    report += "read: " + outcome + (Counts(store) == before ? ", store kept\n" : ", store changed\n");
    bool wroteBack = false;
    outcome = Outcome([&] { WriteDataFile(store, copy, [&](StudyStore&) { wroteBack = true; }); });
    report += "write: " + outcome + (wroteBack ? ", written back, " : ", not written back, ") +
              Written(copy, worked) + "\n";
    StudyStore calculated = PrePostStudy();
    const std::string results = folder + "/results.txt";
    outcome = Outcome(
        [&] { RunCalculation(calculated, '.', [&] { return std::optional<std::string>(results); }); });
    report += "results: " + outcome +
              (calculated.CellValue(2, 2, 2) == 13 ? ", scores parsed, " : ", not parsed, ") +
              (calculated.ColumnTotals.empty() ? "nothing computed, " : "computed, ") + Written(results, "") +
              "\n";

    SetOpenFiles(static_cast<rlim_t>(lowest) + 1);
    for (const char* name : {"nan.dat", "range.dat", "huge.dat", "missing.dat", "nolevels.dat"}) {
        outcome = Outcome([&] { LoadStudyFile(store, folder + "/" + name); });
        report += std::string(name) + ": " + outcome + "\n";
    }
    outcome = Outcome([&] { ReadDataFile(store, folder + "/folder"); });
    report += "folder: " + outcome + "\n";
    outcome = Outcome([&] { WriteDataFile(PrePostStudy(), "/dev/full"); });
    report += "/dev/full: " + outcome + "\n";
    outcome = Outcome([&] {
        LoadStudyFile(store, study);
        WriteDataFile(store, copy);
    });
    report += "copy: " + outcome + ", " + Written(copy, worked) + "\n";

    std::fwrite(report.data(), 1, report.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
