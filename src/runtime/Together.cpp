#include "runtime/Together.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

namespace morvane {

void RunTogether(std::span<const std::function<void()>> tasks) {
    const std::size_t processors = std::max(1u, std::thread::hardware_concurrency());
    RunTogether(tasks, std::min(processors, kMostTogether));
}

void RunTogether(std::span<const std::function<void()>> tasks, std::size_t threads) {
    std::vector<std::exception_ptr> failures(tasks.size());
    std::atomic<std::size_t> next{0};
    // Each thread's loop: the next task not yet taken, until none is left.
    const auto work = [&] {
        for (std::size_t i = next.fetch_add(1); i < tasks.size(); i = next.fetch_add(1)) {
            try {
                tasks[i]();
            } catch (...) {
                failures[i] = std::current_exception();
            }
        }
    };
    std::vector<std::thread> beside;
    const std::size_t wanted = std::min(threads, tasks.size());
    beside.reserve(wanted);
    for (std::size_t t = 1; t < wanted; ++t) {
        try {
            beside.emplace_back(work);
        } catch (...) {
            break;  // no thread to be had: the ones there take the rest
        }
    }
    work();
    for (std::thread& t : beside) t.join();
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
}

}  // namespace morvane
