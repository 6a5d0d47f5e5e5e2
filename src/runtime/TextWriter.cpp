#include "runtime/TextWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/StandardStreams.h"

namespace morvane {
TextWriter::TextWriter(const std::string& path) : path_(path) {
    buffer_ = std::make_unique<char[]>(kBufferSize);  // before the file exists, so that a failure leaves nothing open
    if (path.empty()) {
        if (!io::IsUsableStandardStream(STDOUT_FILENO)) throw InOutError(io::kNoUsableHandle);
        fd_ = STDOUT_FILENO;
    } else {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) throw InOutError(io::CodeFromErrno(errno, path));
        ownsFd_ = true;
    }
    open_ = true;
}

TextWriter::~TextWriter() {
    Finish();
}

void TextWriter::Write(std::string_view text) {
    if (failure_.failed()) throw InOutError(failure_);
    if (used_ + text.size() > kBufferSize) Flush();
    if (text.size() >= kBufferSize) {
        if (!WriteAll(text.data(), text.size())) throw InOutError(failure_);
        return;
    }
    if (!text.empty()) std::memcpy(buffer_.get() + used_, text.data(), text.size());
    used_ += text.size();
}

void TextWriter::EndLine() {
    Write("\r\n");
}

bool TextWriter::WriteAll(const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd_, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            failure_ = io::CodeFromErrno(errno, path_);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool TextWriter::WriteOut() {
    // After a failure nothing after the gap may reach the file, so the rest is dropped.
    const bool written = WriteAll(buffer_.get(), used_);
    used_ = 0;
    return written;
}

void TextWriter::Flush() {
    if (failure_.failed() || !WriteOut()) throw InOutError(failure_);
}

void TextWriter::Finish() {
    if (!open_) return;
    if (!failure_.failed()) WriteOut();
    open_ = false;
    if (ownsFd_ && ::close(fd_) != 0 && !failure_.failed()) failure_ = io::CodeFromErrno(errno, path_);
}

void TextWriter::Close() {
    Finish();
    if (failure_.failed()) throw InOutError(failure_);
}

void TextWriter::CloseAfterError() {
    const bool failedBefore = failure_.failed();
    Finish();
    if (!failedBefore && failure_.failed()) throw InOutError(failure_);
}

}  // namespace morvane
