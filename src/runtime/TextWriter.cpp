#include "runtime/TextWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/StandardStreams.h"

namespace morvane {
TextWriter::TextWriter(const std::string& path) : path_(path) {
    buffer_.reserve(kBufferSize);  // before the file exists, so that a failure leaves nothing open
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
    if (buffer_.size() + text.size() > kBufferSize) Flush();
    if (text.size() >= kBufferSize) {
        buffer_.assign(text);
        Flush();
        return;
    }
    buffer_.append(text);
}

void TextWriter::EndLine() {
    Write("\r\n");
}

bool TextWriter::WriteOut() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            // Nothing after the gap may reach the file, so the rest is dropped.
            failure_ = io::CodeFromErrno(errno, path_);
            buffer_.clear();
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return true;
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
