#include "runtime/TextWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/StandardStreams.h"

namespace morvane {
namespace {

constexpr std::size_t kBufferSize = 1 << 16;

}  // namespace

TextWriter::TextWriter(const std::string& path) : path_(path) {
    if (path.empty()) {
        if (!io::IsUsableStandardStream(STDOUT_FILENO)) throw InOutError(io::kNoUsableHandle);
        fd_ = STDOUT_FILENO;
    } else {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) throw InOutError(io::CodeFromErrno(errno, path));
        ownsFd_ = true;
    }
    open_ = true;
    buffer_.reserve(kBufferSize);
}

TextWriter::~TextWriter() {
    if (!open_) return;
    try {
        Flush();
    } catch (const InOutError&) {
        // The command has already stopped on an earlier error; this one adds nothing.
    }
    if (ownsFd_) ::close(fd_);
}

void TextWriter::Write(std::string_view text) {
    if (buffer_.size() + text.size() > kBufferSize) Flush();
    if (text.size() >= kBufferSize) {
        buffer_.assign(text);
        Flush();
        return;
    }
    buffer_.append(text);
}

void TextWriter::EndLine() { Write("\r\n"); }

void TextWriter::Flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            buffer_.erase(0, done);
            throw InOutError(io::CodeFromErrno(errno, path_));
        }
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
}

void TextWriter::Close() {
    if (!open_) return;
    Flush();
    open_ = false;
    if (ownsFd_ && ::close(fd_) != 0) throw InOutError(io::CodeFromErrno(errno, path_));
}

}  // namespace morvane
