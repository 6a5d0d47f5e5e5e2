#include "runtime/TextReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "runtime/Errors.h"
#include "runtime/IntegerText.h"
#include "runtime/IoCodes.h"
#include "runtime/StandardStreams.h"

namespace morvane {
namespace {

constexpr std::size_t kMaxCountRun = 32;

// The size of the regular file open on `fd`, 0 for anything else.
std::uint64_t RegularSize(int fd) {
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace

std::uint64_t LongestLine(int fd) {
    return std::max(RegularSize(fd), kLongestStreamLine);
}

TextReader::TextReader(const std::string& path, ReadProgress* progress)
    : path_(path), buffer_(kBufferSize + kSlack), progress_(progress) {
    if (path.empty()) {
        if (io::IsUsableStandardStream(STDIN_FILENO))
            fd_ = STDIN_FILENO;
        else
            error_ = io::IoCode::Ours(io::kInvalidHandle);  // reported by the first read
    } else {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) throw InOutError(io::CodeFromErrno(errno, path));
        ownsFd_ = true;
    }
    longest_ = LongestLine(fd_);
    total_ = RegularSize(fd_);
}

TextReader::~TextReader() {
    if (ownsFd_) ::close(fd_);
}

bool TextReader::Fill() {
    if (atEnd_) return false;
    if (error_.failed()) {
        atEnd_ = true;
        return false;
    }
    for (;;) {
        ssize_t n = ::read(fd_, buffer_.data(), kBufferSize);
        if (n > 0) {
            pos_ = 0;
            end_ = static_cast<std::size_t>(n);
            done_ += static_cast<std::uint64_t>(n);
            if (progress_ != nullptr && !progress_->Continue(done_, total_)) throw ReadStopped();
            return true;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error_ = io::CodeFromErrno(errno, path_);
        atEnd_ = true;
        return false;
    }
}

const char* TextReader::TakePlainLines(const char* p, const char* stop, std::size_t most, char*& out,
                                       std::size_t& lines) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    const char* lineStart = p;
    char* to = out;
    std::uint32_t* const lengths = lengths_.data();
    std::size_t taken = lines;
    for (const char* block = p; block + 16 <= stop; block += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
        auto ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf)));
        const auto crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, cr)));
        // Each CR must stand just before an LF, in this block or as the next one's first byte.
        const unsigned beforeLf = ends >> 1 | (block + 16 < stop && block[16] == '\n' ? 0x8000u : 0u);
        if ((crs & ~beforeLf) != 0) break;
        for (; ends != 0; ends &= ends - 1) {
            if (taken == most) break;
            const char* lineEnd = block + __builtin_ctz(ends);
            auto length = static_cast<std::size_t>(lineEnd - lineStart);
            if (length != 0 && lineEnd[-1] == '\r') --length;
            // Sixteen bytes at a time: what lies past the line is overwritten
            // by the next one, or is slack.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(lineStart)));
            for (std::size_t done = 16; done < length; done += 16)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to + done),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(lineStart + done)));
            to += length;
            lengths[taken++] = static_cast<std::uint32_t>(length);
            lineStart = lineEnd + 1;
        }
        if (taken == most) break;
    }
    out = to;
    lines = taken;
    return lineStart;
#else
    static_cast<void>(stop), static_cast<void>(most), static_cast<void>(out), static_cast<void>(lines);
    return p;
#endif
}

int TextReader::Peek() {
    if (pos_ == end_ && !Fill()) return -1;
    return static_cast<unsigned char>(buffer_[pos_]);
}

void TextReader::ThrowIfFailed() {
    if (error_.failed()) throw InOutError(error_);
}

void TextReader::CheckLength(std::uint64_t taken) const {
    if (taken > longest_) throw InOutError(io::kInvalidNumber);
}

// Blank lines before a count are skipped, but not without end.
void TextReader::SkipBlanks() {
    std::uint64_t skipped = 0;
    for (;;) {
        if (pos_ == end_ && !Fill()) return;
        const char* const start = buffer_.data() + pos_;
        const char* const stop = buffer_.data() + end_;
        const char* p = start;
        while (p != stop && static_cast<unsigned char>(*p) <= 0x20) ++p;
        skipped += static_cast<std::uint64_t>(p - start);
        pos_ = static_cast<std::size_t>(p - buffer_.data());
        CheckLength(skipped);
        if (p != stop) return;
    }
}

void TextReader::SkipLine() {
    std::uint64_t skipped = 0;
    for (;;) {
        if (pos_ == end_ && !Fill()) return;
        const char* start = buffer_.data() + pos_;
        const void* lf = std::memchr(start, '\n', end_ - pos_);
        if (lf != nullptr) {
            skipped += static_cast<std::uint64_t>(static_cast<const char*>(lf) - start);
            CheckLength(skipped);
            pos_ += static_cast<std::size_t>(static_cast<const char*>(lf) - start) + 1;
            return;
        }
        skipped += end_ - pos_;
        CheckLength(skipped);
        pos_ = end_;
    }
}

std::int32_t TextReader::ReadCount() {
    SkipBlanks();
    int c = Peek();
    if (c < 0) {
        ThrowIfFailed();
        return 0;
    }
    char run[kMaxCountRun];
    std::size_t length = 0;
    while (length < kMaxCountRun && c > 0x20) {
        run[length++] = static_cast<char>(c);
        ++pos_;
        c = Peek();
    }
    auto value = ConvertCount(std::string_view(run, length));
    SkipLine();
    ThrowIfFailed();
    if (!value) throw InOutError(io::kInvalidNumber);
    return *value;
}

void TextReader::ReadLine(std::string& line) {
    line.clear();
    AppendLine(line);
}

void TextReader::AppendLine(std::string& bytes) {
    AppendRestOfLine(bytes, 0);
}

void TextReader::AppendRestOfLine(std::string& bytes, std::uint64_t taken) {
    const std::size_t first = bytes.size();
    for (;;) {
        if (pos_ == end_ && !Fill()) break;
        const char* start = buffer_.data() + pos_;
        const char* stop = buffer_.data() + end_;
        // Most lines are short: their end is found by hand, a long one's by memchr.
        const char* lf = start;
        while (lf != stop && lf - start < 16 && *lf != '\n') ++lf;
        if (lf != stop && *lf != '\n') {
            lf = static_cast<const char*>(std::memchr(lf, '\n', static_cast<std::size_t>(stop - lf)));
            if (lf == nullptr) lf = stop;
        }
        const auto take = static_cast<std::size_t>(lf - start);
        // Checked before the bytes are kept, so that a line without end costs
        // no more memory than the longest one allowed.
        taken += take;
        CheckLength(taken);
        bytes.append(start, take);
        pos_ += take;
        if (lf != stop) {
            ++pos_;
            break;
        }
    }
    ThrowIfFailed();
    // A CR before the LF belongs to the line end; any other CR is dropped too.
    if (bytes.size() > first && bytes.back() == '\r') bytes.pop_back();
    const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(first);
    if (std::find(from, bytes.end(), '\r') != bytes.end())
        bytes.erase(std::remove(from, bytes.end(), '\r'), bytes.end());
}

std::size_t TextReader::RemainingHint() const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0 || st.st_size < at) return 0;
    return static_cast<std::size_t>(st.st_size - at) + (end_ - pos_);
}

std::string_view TextReader::Ahead() {
    if (pos_ == end_ && !Fill()) return {};
    if (pos_ != 0) {  // what is left of the buffer first, so that a whole block fits after it
        std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    while (end_ < kBufferSize && !atEnd_ && !error_.failed()) {
        const ssize_t n = ::read(fd_, buffer_.data() + end_, kBufferSize - end_);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error_ = io::CodeFromErrno(errno, path_);
        if (n <= 0) break;
        end_ += static_cast<std::size_t>(n);
        done_ += static_cast<std::uint64_t>(n);
        // A slow pipe takes a while to fill a block: its progress is told as Fill tells it.
        if (progress_ != nullptr && !progress_->Continue(done_, total_)) throw ReadStopped();
    }
    return {buffer_.data() + pos_, end_ - pos_};
}

void TextReader::Close() {
    if (!ownsFd_) return;
    ownsFd_ = false;
    if (::close(fd_) != 0) throw InOutError(io::CodeFromErrno(errno, path_));
}

}  // namespace morvane
