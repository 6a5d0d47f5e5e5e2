// Tasks run together: each exactly once, side by side on the threads asked
// for, in their order on one; the failure of the first task that threw comes
// back once all are done, and stops no other task.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "runtime/Together.h"

namespace morvane {
namespace {

TEST(Together, RunsEveryTaskOnceSideBySideAndThrowsTheFirstFailure) {
    // Many small tasks on up to four threads: each once.
    std::vector<std::atomic<int>> runs(300);
    std::vector<std::function<void()>> tasks;
    for (std::size_t i = 0; i < runs.size(); ++i) tasks.emplace_back([&runs, i] { ++runs[i]; });
    RunTogether(tasks, 4);
    for (const std::atomic<int>& r : runs) EXPECT_EQ(r.load(), 1);

    // Two threads: the first task waits for the second to start, which only
    // a second thread can do (a generous limit keeps a failure from hanging).
    std::mutex mutex;
    std::condition_variable started;
    bool second = false, met = false;
    const std::function<void()> pair[] = {
        [&] {
            std::unique_lock<std::mutex> lock(mutex);
            met = started.wait_for(lock, std::chrono::seconds(20), [&] { return second; });
        },
        [&] {
            std::lock_guard<std::mutex> lock(mutex);
            second = true;
            started.notify_all();
        }};
    RunTogether(pair, 2);
    EXPECT_TRUE(met) << "the two tasks did not run side by side";

    // One thread: in their order, on the calling thread.
    std::vector<int> order;
    const std::thread::id caller = std::this_thread::get_id();
    bool here = true;
    std::vector<std::function<void()>> ordered;
    for (int i = 0; i < 5; ++i)
        ordered.emplace_back([&, i] {
            order.push_back(i);
            here = here && std::this_thread::get_id() == caller;
        });
    RunTogether(ordered, 1);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(here);

    // Failures: the first in the tasks' order is thrown, after every task ran.
    std::atomic<int> done{0};
    const std::function<void()> failing[] = {
        [&] { ++done; },
        [&] {
            ++done;
            throw std::runtime_error("second");
        },
        [&] {
            ++done;
            throw std::logic_error("third");
        },
        [&] { ++done; }};
    for (const std::size_t threads : {std::size_t{1}, std::size_t{2}, std::size_t{4}}) {
        done = 0;
        try {
            RunTogether(failing, threads);
            ADD_FAILURE() << "no failure thrown on " << threads << " threads";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "second");
        }
        EXPECT_EQ(done.load(), 4) << threads << " threads";
    }
}

}  // namespace
}  // namespace morvane
