// The serial worker: its jobs run one after another, in the order handed over,
// each after the hand-over that started it has returned, and an exception of a
// job comes back to the thread that hands over the next or waits.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "runtime/SerialWorker.h"

namespace morvane {
namespace {

TEST(SerialWorker, RunsJobsOneAtATimeInOrderAndPassesTheirFailureOn) {
    std::vector<int> done;
    std::atomic<int> running{0};
    bool overlapped = false;
    {
        SerialWorker worker;
        for (int i = 0; i < 200; ++i)
            worker.Enqueue([&, i] {
                if (running.fetch_add(1) != 0) overlapped = true;
                if (i % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
                done.push_back(i);  // no lock: only one job runs at a time
                running.fetch_sub(1);
            });
        worker.Wait();
        ASSERT_EQ(done.size(), 200u);
        for (int i = 0; i < 200; ++i) EXPECT_EQ(done[static_cast<std::size_t>(i)], i);
        EXPECT_FALSE(overlapped);

        // The failure of a job is thrown once, by the next call that waits.
        worker.Enqueue([] { throw std::runtime_error("job failed"); });
        EXPECT_THROW(worker.Enqueue([&] { done.push_back(-1); }), std::runtime_error);
        worker.Wait();
        EXPECT_EQ(done.back(), 199) << "a job handed over after a failure is not run";
        worker.Enqueue([] { throw std::runtime_error("again"); });
        EXPECT_THROW(worker.Wait(), std::runtime_error);
        worker.Wait();

        // Going out of scope waits for the job at hand.
        worker.Enqueue([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            done.push_back(200);
        });
    }
    EXPECT_EQ(done.back(), 200);
}

}  // namespace
}  // namespace morvane
