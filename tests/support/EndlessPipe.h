#pragma once
// A pipe that never ends, as a file name: a thread of its own writes `head`
// into it, then `fill` (a byte, or a text) over and over, until the pipe is
// closed on the other side; with a pause, one `fill` after each. It stands for
// the inputs that have no end (a pipe from a program that goes on, a character
// device), or that come slowly.

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>

namespace morvane::testing {

class EndlessPipe {
public:
    EndlessPipe(std::string head, char fill) : EndlessPipe(std::move(head), std::string(1, fill)) {}
    EndlessPipe(std::string head, std::string fill,
                std::chrono::milliseconds pause = std::chrono::milliseconds(0))
        : head_(std::move(head)), fill_(std::move(fill)), pause_(pause) {
        std::signal(SIGPIPE, SIG_IGN);  // a closed pipe ends the writer by its error instead
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        readEnd_ = fds[0];
        writeEnd_ = fds[1];
        writer_ = std::thread([this] { Write(); });
    }
    ~EndlessPipe() {
        if (readEnd_ >= 0) ::close(readEnd_);
        writer_.join();
        ::close(writeEnd_);
    }
    EndlessPipe(const EndlessPipe&) = delete;
    EndlessPipe& operator=(const EndlessPipe&) = delete;

    // A name that opens the reading end. The writer ends once both that and
    // the pipe's own reading end are closed, the latter by the destructor.
    std::string Path() const { return "/proc/self/fd/" + std::to_string(readEnd_); }
    // The bytes written so far.
    std::uint64_t Written() const { return written_; }

private:
    void Write() {
        if (!WriteAll(head_.data(), head_.size())) return;
        if (pause_.count() > 0) {
            while (WriteAll(fill_.data(), fill_.size())) std::this_thread::sleep_for(pause_);
            return;
        }
        std::string block;
        while (block.size() < (1 << 16)) block += fill_;
        while (WriteAll(block.data(), block.size())) {
        }
    }
    bool WriteAll(const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(writeEnd_, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            written_ += static_cast<std::uint64_t>(n);
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    std::string head_;
    std::string fill_;
    std::chrono::milliseconds pause_;
    int readEnd_ = -1, writeEnd_ = -1;
    std::atomic<std::uint64_t> written_{0};
    std::thread writer_;
};

}  // namespace morvane::testing
