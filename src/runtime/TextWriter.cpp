#include "runtime/TextWriter.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/StandardStreams.h"

namespace morvane {
TextWriter::TextWriter(const std::string& path) : path_(path) {
    // Before the file exists, so that a failure leaves nothing open.
    buffer_ = std::make_unique<char[]>(kBufferSize);
    if (path.empty()) {
        if (!io::IsWritableStandardStream(STDOUT_FILENO)) throw InOutError(io::kNoUsableHandle);
        fd_ = STDOUT_FILENO;
    } else {
        file_ = std::make_unique<FileReplacement>(path);
        fd_ = file_->Descriptor();
    }
    open_ = true;
}

namespace {

// Writes size bytes to fd; the code of the failure, if one comes.
io::IoCode WriteAll(int fd, const std::string& path, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return io::CodeFromErrno(errno, path);
        done += static_cast<std::size_t>(n);
    }
    return {};
}

}  // namespace

// The buffers handed over, written in turn by a thread while the writer fills
// the next. After a failure nothing more is written: nothing after a gap may
// reach the file.
class TextWriter::Background {
public:
    // Every buffer is made here, so that handing one over allocates nothing
    // and cannot fail half way; the writer takes the first with Take.
    Background(int fd, const std::string& path) : fd_(fd), path_(path) {
        for (std::size_t i = 0; i < kBuffers; ++i)
            free_[freeCount_++] = std::make_unique<char[]>(kLongBufferSize);
        thread_ = std::thread([this] { Run(); });
    }
    std::unique_ptr<char[]> Take() {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::move(free_[--freeCount_]);
    }
    ~Background() { Stop(); }

    // Queues `size` bytes of `buffer` and gives it an empty buffer instead,
    // waiting for one when all are queued; the first failure so far.
    io::IoCode Put(std::unique_ptr<char[]>& buffer, std::size_t size) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return freeCount_ != 0; });
        Queued& slot = queued_[(first_ + queuedCount_++) % kBuffers];
        slot.bytes = std::move(buffer);
        slot.size = size;
        buffer = std::move(free_[--freeCount_]);
        changed_.notify_all();
        return failure_;
    }
    // Waits until every queued buffer is written; the first failure.
    io::IoCode Drain() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return queuedCount_ == 0 && !writing_; });
        return failure_;
    }
    // Drains and ends the thread; the first failure.
    io::IoCode Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            changed_.notify_all();
        }
        if (thread_.joinable()) thread_.join();
        return failure_;
    }

private:
    static constexpr std::size_t kBuffers = 4;

    struct Queued {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
    };

    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return queuedCount_ != 0 || stopping_; });
            if (queuedCount_ == 0) return;
            Queued next = std::move(queued_[first_]);
            first_ = (first_ + 1) % kBuffers;
            --queuedCount_;
            writing_ = true;
            const bool failed = failure_.failed();
            lock.unlock();
            io::IoCode written;
            if (!failed) written = WriteAll(fd_, path_, next.bytes.get(), next.size);
            lock.lock();
            if (written.failed()) failure_ = written;
            writing_ = false;
            free_[freeCount_++] = std::move(next.bytes);
            changed_.notify_all();
        }
    }

    const int fd_;
    const std::string path_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::array<Queued, kBuffers> queued_;  // a ring: queuedCount_ from first_
    std::size_t first_ = 0, queuedCount_ = 0;
    std::array<std::unique_ptr<char[]>, kBuffers> free_;
    std::size_t freeCount_ = 0;
    bool writing_ = false;
    bool stopping_ = false;
    io::IoCode failure_;
    std::thread thread_;
};

TextWriter::~TextWriter() {
    Finish(Ending::Discard);
}

void TextWriter::Write(std::string_view text) {
    if (failure_.failed()) throw InOutError(failure_);
    if (text.size() >= capacity_) {
        // Too long for a buffer: written here, after everything before it.
        if (used_ != 0) Flush();
        if (background_) failure_ = background_->Drain();
        if (!failure_.failed()) failure_ = WriteAll(fd_, path_, text.data(), text.size());
        if (failure_.failed()) throw InOutError(failure_);
        return;
    }
    if (used_ + text.size() > capacity_) Flush();
    if (!text.empty()) std::memcpy(buffer_.get() + used_, text.data(), text.size());
    used_ += text.size();
}

void TextWriter::EndLine() {
    Write("\r\n");
}

bool TextWriter::WriteOut() {
    if (!failure_.failed() && used_ != 0) failure_ = WriteAll(fd_, path_, buffer_.get(), used_);
    used_ = 0;
    return !failure_.failed();
}

void TextWriter::Flush() {
    if (failure_.failed()) throw InOutError(failure_);
    if (!background_) {
        // The first full buffer, written here: from now on a thread writes
        // them, in larger buffers. Without one (no thread or memory to be
        // had) this one goes on writing them itself.
        if (!WriteOut()) throw InOutError(failure_);
        try {
            background_ = std::make_unique<Background>(fd_, path_);
            buffer_ = background_->Take();
            capacity_ = kLongBufferSize;
        } catch (const std::system_error&) {
        } catch (const std::bad_alloc&) {
        }
        return;
    }
    const io::IoCode failure = background_->Put(buffer_, used_);
    used_ = 0;
    if (failure.failed()) {
        failure_ = failure;
        throw InOutError(failure_);
    }
}

void TextWriter::Finish(Ending ending) {
    if (!open_) return;
    open_ = false;
    if (background_) {
        // What was handed on first, then the rest, in order.
        const io::IoCode failure = background_->Stop();
        background_.reset();
        if (!failure_.failed()) failure_ = failure;
    }
    if (!file_) {
        WriteOut();  // the standard output keeps what was written, and stays open
        return;
    }
    if (ending != Ending::Discard) WriteOut();
    if (ending == Ending::Keep && !failure_.failed()) {
        const io::IoCode committed = file_->Commit();
        if (committed.failed()) failure_ = committed;
    } else {
        file_->Abandon();
    }
}

void TextWriter::Close() {
    Finish(Ending::Keep);
    if (failure_.failed()) throw InOutError(failure_);
}

void TextWriter::CloseAfterError() {
    const bool failedBefore = failure_.failed();
    Finish(Ending::AfterError);
    if (!failedBefore && failure_.failed()) throw InOutError(failure_);
}

}  // namespace morvane
