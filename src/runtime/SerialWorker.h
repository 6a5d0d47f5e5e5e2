#pragma once
// A thread of its own that runs jobs one after another, while the thread that
// hands them over goes on with the next: at most one job at a time, and the
// next handed over only once the last is done.

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace morvane {

class SerialWorker {
public:
    // Throws std::system_error when no thread can be had.
    SerialWorker();
    // Waits for the job at hand, then ends the thread; an exception of that
    // job is dropped (Wait reports it).
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // Waits until the last job is done, then starts `job`; rethrows the
    // exception of an earlier job instead, if one threw.
    void Enqueue(std::function<void()> job);
    // Waits until the last job is done; rethrows its exception, if it threw.
    void Wait();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;  // empty when none waits
    bool busy_ = false;          // a job waits or runs
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace morvane
