#include "runtime/SerialWorker.h"

#include <utility>

namespace morvane {

SerialWorker::SerialWorker() : thread_([this] { Run(); }) {}

SerialWorker::~SerialWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    thread_.join();
}

void SerialWorker::Enqueue(std::function<void()> job) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    job_ = std::move(job);
    busy_ = true;
    changed_.notify_all();
}

void SerialWorker::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void SerialWorker::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return busy_ || stopping_; });
        if (!busy_) return;
        std::function<void()> job = std::move(job_);
        lock.unlock();
        std::exception_ptr failure;
        try {
            job();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure) failure_ = failure;
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace morvane
