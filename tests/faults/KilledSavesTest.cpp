// `morvane copy` and `morvane import` killed (SIGKILL) at random moments while
// they write a study of a million scores over an existing data file: the file
// holds the old bytes or the new ones, never anything else, and the new file
// that a killed run leaves beside it is gone after the next run.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <thread>

#include "StudyGenerator.h"
#include "runtime/FileReplacement.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

extern char** environ;

namespace morvane {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::ReadBytes;
using testing::TempDir;

// The sanitizer build runs the tool many times slower: there a smaller study
// and fewer kills, so that its share stays short; the normal build's run is
// the one that explores the moments.
#ifdef MORVANE_SANITIZED
constexpr int kKills = 40;
constexpr int kSubjects = 300;
#else
constexpr int kKills = 200;
constexpr int kSubjects = 1000;
#endif

pid_t Start(const std::vector<std::string>& args) {
    std::vector<std::string> words{MORVANE_TOOL};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

int Finish(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// The names in `folder` other than `keep`, each with the process id in it.
std::vector<std::pair<std::string, long>> Others(const std::string& folder, const std::string& keep) {
    std::vector<std::pair<std::string, long>> others;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        long pid = 0;
        if (name != keep) others.emplace_back(name, IsReplacementName(name, pid) ? pid : 0);
    }
    return others;
}

// The bytes of a file, read at once (these are megabytes, read hundreds of times).
std::string Bytes(const std::string& path) {
    std::string bytes(fs::file_size(path), '\0');
    std::FILE* file = std::fopen(path.c_str(), "rb");
    const std::size_t read = file != nullptr ? std::fread(bytes.data(), 1, bytes.size(), file) : 0;
    if (file != nullptr) std::fclose(file);
    bytes.resize(read);
    return bytes;
}

struct Source {
    std::vector<std::string> args;  // the command without its target
    std::string written;            // the bytes it writes
};

// Waits until the run `pid` has made its new file beside `target`, or has
// ended (then false, and the run waited for).
bool WaitUntilWriting(pid_t pid, const std::string& target, int& status) {
    const fs::path path = fs::path(target).parent_path() / ("." + fs::path(target).filename().string() +
                                                            ".pmorvane-" + std::to_string(pid) + ".tmp");
    for (;;) {
        if (fs::exists(path)) return true;
        if (::waitpid(pid, &status, WNOHANG) == pid) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

// How long a whole run writes: from its new file's making to its end, the
// longest of three.
Clock::duration WritingTime(const std::vector<std::string>& args, const std::string& target) {
    Clock::duration longest{};
    for (int i = 0; i < 3; ++i) {
        const pid_t pid = Start(args);
        int status = 0;
        if (!WaitUntilWriting(pid, target, status)) continue;
        const auto start = Clock::now();
        Finish(pid);
        longest = std::max(longest, Clock::now() - start);
    }
    return longest;
}

// Kills the command kKills times at a random moment of its writing, which
// spans its new file's making to a little past its end, each time with the
// source whose bytes the target does not hold.
void KillAtRandomMoments(const Source (&sources)[2], const std::string& folder, std::mt19937& random) {
    const std::string target = folder + "/study.dat";
    auto args = [&](const Source& source) {
        std::vector<std::string> words = source.args;
        words.push_back(target);
        return words;
    };
    const auto writing = WritingTime(args(sources[0]), target);
    ASSERT_EQ(Bytes(target), sources[0].written);
    ASSERT_GT(writing.count(), 0);

    int keptOld = 0, gotNew = 0, left = 0, ended = 0;
    std::set<long> started;
    std::uniform_int_distribution<std::int64_t> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(writing).count() * 5 / 4);
    for (int i = 0; i < kKills; ++i) {
        const std::string before = Bytes(target);
        const Source& source = sources[before == sources[0].written ? 1 : 0];
        const pid_t pid = Start(args(source));
        ASSERT_GT(pid, 0);
        started.insert(pid);
        int status = 0;
        if (WaitUntilWriting(pid, target, status)) {
            std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
            ::kill(pid, SIGKILL);
            Finish(pid);
        } else {
            ++ended;  // ended before it could be seen writing
        }
        const std::string after = Bytes(target);
        if (after == source.written) ++gotNew;
        if (after == before) ++keptOld;
        ASSERT_TRUE(after == before || after == source.written)
            << "run " << i << ": " << after.size() << " bytes";
        // At most one new file is left, of the run just killed: each run
        // removes those of the runs before it before it makes its own.
        const auto others = Others(folder, "study.dat");
        ASSERT_LE(others.size(), 1u) << "run " << i;
        if (!others.empty()) {
            ASSERT_EQ(others[0].second, pid) << others[0].first;
            ++left;
        }
    }
    std::printf(
        "%d kills while writing (%lld us): the old file kept %d times, the new one in place %d times, "
        "%d new files left; %d runs ended unseen\n",
        kKills,
        static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(writing).count()),
        keptOld, gotNew, left, ended);
    // The kills fell before the rename and after it, many times each.
    EXPECT_GT(keptOld, kKills / 10);
    EXPECT_GT(gotNew, kKills / 10);
    ASSERT_EQ(Finish(Start(args(sources[0]))), 0);
    EXPECT_EQ(Bytes(target), sources[0].written);
    EXPECT_TRUE(Others(folder, "study.dat").empty());
}

TEST(KilledSaves, CopyAndImportLeaveTheOldFileOrTheNewOne) {
    TempDir dir;
    // Two studies of 10^6 scores each (3 x 10^5 under the sanitizers): subjects by 20 by 50 cells.
    const std::string one = dir.File("one.dat"), two = dir.File("two.dat");
    bench::WriteRandomStudy(one, kSubjects, 20, 50, 1);
    bench::WriteRandomStudy(two, kSubjects, 20, 50, 2);
    const std::string oneCsv = dir.File("one.csv"), twoCsv = dir.File("two.csv");
    ASSERT_EQ(Finish(Start({"export", one, oneCsv})), 0);
    ASSERT_EQ(Finish(Start({"export", two, twoCsv})), 0);
    ASSERT_EQ(Finish(Start({"import", oneCsv, dir.File("one-imported.dat")})), 0);
    ASSERT_EQ(Finish(Start({"import", twoCsv, dir.File("two-imported.dat")})), 0);

    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const Source copies[2] = {{{"copy", one}, ReadBytes(one)}, {{"copy", two}, ReadBytes(two)}};
    const Source imports[2] = {{{"import", oneCsv}, ReadBytes(dir.File("one-imported.dat"))},
                               {{"import", twoCsv}, ReadBytes(dir.File("two-imported.dat"))}};
    ASSERT_GT(copies[0].written.size(), kSubjects * 4000u);
    ASSERT_NE(copies[0].written, copies[1].written);
    ASSERT_NE(imports[0].written, imports[1].written);
    fs::create_directory(dir.File("copies"));
    fs::create_directory(dir.File("imports"));
    {
        SCOPED_TRACE("morvane copy");
        KillAtRandomMoments(copies, dir.File("copies"), random);
    }
    {
        SCOPED_TRACE("morvane import");
        KillAtRandomMoments(imports, dir.File("imports"), random);
    }
}

}  // namespace
}  // namespace morvane
