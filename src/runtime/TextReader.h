#pragma once
// A buffered text file opened for reading. Lines end with LF or CR LF; a CR that
// is not followed by LF does not end a line. The empty name reads the process's
// standard input, when it is usable; otherwise the first read fails with code 6.
//
// No item is read without bound: a line, or the blanks before a count, longer
// than LongestLine allows for the file is refused with code 106, the code of a
// data file that is not one, before more than that is taken; so an endless
// input (a character device, a pipe that never ends) fails at once instead of
// filling the memory or reading forever.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/IoCodes.h"

namespace morvane {

// The most bytes one line of an input that cannot be measured may hold (a
// pipe, a character device, a file that gives no size): far beyond any level
// name or score text typed or pasted, and little enough memory to take at once.
inline constexpr std::uint64_t kLongestStreamLine = std::uint64_t{64} << 20;

// The most bytes one line of the input open on `fd` may hold: its size for a
// regular file that has one (kLongestStreamLine if that is more, for a file
// that grows while it is read), kLongestStreamLine for anything else.
std::uint64_t LongestLine(int fd);

// What a long read reports as it goes: Continue after each block read, with
// the bytes read so far and the size of the file (0 when it cannot be told).
// A false return stops the read, which then throws ReadStopped.
class ReadProgress {
public:
    virtual ~ReadProgress() = default;
    virtual bool Continue(std::uint64_t done, std::uint64_t total) = 0;
};

class TextReader {
public:
    // Opens an existing file; throws InOutError when it cannot be opened.
    // `progress`, when given, hears of every block read.
    explicit TextReader(const std::string& path, ReadProgress* progress = nullptr);
    ~TextReader();
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    // Reads a count: skips bytes of value 0x20 or below across lines, takes the
    // run of at most 32 bytes above 0x20 that follows, converts it and skips the
    // rest of its line. The end of the file gives 0. Throws InOutError 106 when
    // the run does not convert, or when the blanks before it or the rest of its
    // line are longer than a line may be; or the error of a failed read.
    std::int32_t ReadCount();

    // Reads a text line into `line`: every byte up to the next LF, with every CR
    // dropped. The end of the file ends the line too (nothing read: empty). A
    // line longer than LongestLine (its CRs counted) throws InOutError 106.
    void ReadLine(std::string& line);
    // ReadLine, the line appended to `bytes`.
    void AppendLine(std::string& bytes);
    // AppendLine `count` times, calling endLine() after each line: a run of
    // short lines is taken from the buffer without a call per byte run.
    template <typename EndLine>
    void AppendLines(std::string& bytes, std::int64_t count, EndLine&& endLine);
    // Reads `count` lines as AppendLines does, handing them over in runs:
    // run(texts, lengths) takes lengths.size() lines lying end to end in
    // `texts` (their lengths add up to its size), and a line that goes on past
    // the buffer comes in parts, part(bytes) for each, and is ended by
    // endLine(). The complete lines of the buffer are made into a run where
    // they lie, without a call per line. Returns how many of the lines the
    // file ended before (each handed over as an empty line).
    template <typename Run, typename Part, typename EndLine>
    std::int64_t AppendLineRuns(std::int64_t count, Run&& run, Part&& part, EndLine&& endLine);
    // The bytes of the file still to read, as far as they can be told (0 for a pipe).
    std::size_t RemainingHint() const;
    // The next bytes, not taken: a whole block of them, or all that is left
    // when that is less (short reads of a pipe are topped up first, each
    // told to the progress, which may stop the read).
    std::string_view Ahead();

    // Closes the file; throws InOutError when closing fails.
    void Close();

private:
    bool Fill();  // false at the end of the file or after a failed read
    int Peek();   // the next byte, or -1
    void SkipBlanks();
    void SkipLine();
    // AppendLine for a line of which `taken` bytes were taken already.
    void AppendRestOfLine(std::string& bytes, std::uint64_t taken);
    // Refuses an item of `taken` bytes that is longer than a line may be.
    void CheckLength(std::uint64_t taken) const;
    void ThrowIfFailed();
    // Takes whole lines from `p` on while their only CR comes just before their
    // LF, until lines lines have been taken in all, with their texts copied to
    // `out` and their lengths put in lengths_; returns the first byte not
    // taken, the start of a line.
    const char* TakePlainLines(const char* p, const char* stop, std::size_t most, char*& out,
                               std::size_t& lines);

    static constexpr std::size_t kBufferSize = std::size_t{1} << 16;
    // Bytes beyond the end of each buffer that a copy a word at a time may
    // read or write: their content is of no account.
    static constexpr std::size_t kSlack = 16;

    std::string path_;
    int fd_ = -1;
    bool ownsFd_ = false;
    std::vector<char> buffer_;            // what was read, and kSlack bytes
    std::vector<char> texts_;             // the lines of one run, and kSlack bytes
    std::vector<std::uint32_t> lengths_;  // of the lines of one run, at most a buffer's bytes
    std::string rest_;                    // the rest of a line that goes on past the buffer
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
    io::IoCode error_;                            // the code of the first failed read
    std::uint64_t longest_ = kLongestStreamLine;  // LongestLine of the file
    ReadProgress* progress_ = nullptr;
    std::uint64_t done_ = 0;   // the bytes read so far
    std::uint64_t total_ = 0;  // the size of the file, 0 when it cannot be told
};

template <typename EndLine>
void TextReader::AppendLines(std::string& bytes, std::int64_t count, EndLine&& endLine) {
    while (count > 0) {
        const char* start = buffer_.data() + pos_;
        const void* found = pos_ < end_ ? std::memchr(start, '\n', end_ - pos_) : nullptr;
        if (found == nullptr) {  // the line goes on past the buffer, or the buffer is used up
            AppendLine(bytes);
        } else {
            const char* lf = static_cast<const char*>(found);
            const char* stop = lf;
            // A CR before the LF belongs to the line end; any other CR is dropped too.
            if (stop != start && stop[-1] == '\r') --stop;
            const auto length = static_cast<std::size_t>(stop - start);
            if (std::memchr(start, '\r', length) == nullptr) {
                bytes.append(start, length);
                pos_ += static_cast<std::size_t>(lf - start) + 1;
            } else {
                AppendLine(bytes);
            }
        }
        endLine();
        --count;
    }
}

template <typename Run, typename Part, typename EndLine>
std::int64_t TextReader::AppendLineRuns(std::int64_t count, Run&& run, Part&& part, EndLine&& endLine) {
    std::int64_t missing = 0;
    if (texts_.empty()) {
        texts_.resize(kBufferSize + kSlack);
        lengths_.resize(kBufferSize);
    }
    while (count > 0) {
        if (pos_ == end_ && !Fill()) {  // the end of the file: empty lines, or the failure of the read
            ReadLine(rest_);
            part(std::string_view(rest_));
            endLine();
            --count;
            ++missing;
            continue;
        }
        // The lines are copied to texts_, every CR and LF dropped: first the
        // plain ones a block at a time, then the rest a byte at a time.
        char* const texts = texts_.data();
        const char* const stop = buffer_.data() + end_;
        char* out = texts;
        const std::size_t most =
            static_cast<std::size_t>(std::min<std::int64_t>(count, static_cast<std::int64_t>(end_ - pos_)));
        std::size_t lines = 0;
        const char* p = TakePlainLines(buffer_.data() + pos_, stop, most, out, lines);
        char* lineStart = out;
        const char* rawStart = p;  // where the line being copied starts in the buffer
        bool inLine = false;
        while (p != stop && lines < most) {
            const char c = *p++;
            if (c == '\n') {
                lengths_[lines++] = static_cast<std::uint32_t>(out - lineStart);
                lineStart = out;
                rawStart = p;
                inLine = false;
            } else {
                inLine = true;
                if (c != '\r') *out++ = c;
            }
        }
        pos_ = static_cast<std::size_t>(p - buffer_.data());
        if (lines != 0) {
            run(std::string_view(texts, static_cast<std::size_t>(lineStart - texts)),
                std::span<const std::uint32_t>(lengths_.data(), lines));
            count -= static_cast<std::int64_t>(lines);
        }
        if (inLine) {  // the rest of the line, CRs dropped so far, then what the next reads bring
            part(std::string_view(lineStart, static_cast<std::size_t>(out - lineStart)));
            rest_.clear();
            AppendRestOfLine(rest_, static_cast<std::uint64_t>(p - rawStart));
            part(std::string_view(rest_));
            endLine();
            --count;
        }
    }
    return missing;
}

}  // namespace morvane
