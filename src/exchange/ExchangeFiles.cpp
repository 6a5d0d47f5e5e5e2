#include "exchange/ExchangeFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "exchange/ExchangeMessages.h"
#include "exchange/HeaderRow.h"
#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/MemoryBudget.h"
#include "runtime/Messages.h"
#include "runtime/StandardStreams.h"
#include "runtime/TextReader.h"
#include "runtime/TextWriter.h"
#include "store/DataFile.h"

namespace morvane {
namespace {

constexpr std::size_t kReadSize = 1 << 16;

// What a reader of a whole file watches so that an input without end is
// refused at once: the start of its last line, and the end of its last byte
// that is not a line end, as bytes come in.
class LineWatch {
public:
    explicit LineWatch(std::uint64_t longest) : longest_(longest) {}

    // Takes in the bytes [from, to) of `bytes`, and throws InOutError 106 for
    // a line, or a run of line ends (of empty records), longer than a line of
    // the input may be.
    void See(const char* bytes, std::size_t from, std::size_t to) {
        bool lineFound = false, contentFound = false;
        for (std::size_t i = to; i > from && !(lineFound && contentFound); --i) {
            const bool end = bytes[i - 1] == '\n' || bytes[i - 1] == '\r';
            if (end && !lineFound) lineStart_ = i, lineFound = true;
            if (!end && !contentFound) contentEnd_ = i, contentFound = true;
        }
        if (to - lineStart_ > longest_ || to - contentEnd_ > longest_) throw InOutError(io::kInvalidNumber);
    }

private:
    std::uint64_t longest_;
    std::size_t lineStart_ = 0, contentEnd_ = 0;
};

// What ReadWholeFile hands to its HeadCheck: once, the first line as soon
// as it is whole (or the first block, NULs and no line end in it).
class HeadWatch {
public:
    explicit HeadWatch(const HeadCheck& judge) : judge_(judge) {}

    // After each read: `size` bytes of `bytes` read so far, those before
    // scanned_ looked at already.
    void See(const char* bytes, std::size_t size) {
        if (!judge_ || judged_) return;
        const std::string_view text(bytes, size);
        if (content_ == std::string_view::npos) content_ = text.find_first_not_of("\r\n \t", scanned_);
        const std::size_t from = std::max(scanned_, content_);
        const std::size_t end = content_ == std::string_view::npos ? content_ : text.find('\n', from);
        if (end != std::string_view::npos) return Judge(text.substr(0, end + 1));
        nul_ = nul_ || text.find('\0', scanned_) != std::string_view::npos;
        scanned_ = size;
        if (size >= kReadSize && nul_) Judge(text);
    }

    // Whether the head is still to be judged.
    bool Waiting() const { return judge_ && !judged_; }

private:
    void Judge(std::string_view head) {
        judged_ = true;
        judge_(head);
    }

    const HeadCheck& judge_;
    bool judged_ = false, nul_ = false;
    std::size_t scanned_ = 0, content_ = std::string_view::npos;
};

// What ReadWholeFile watches in a CSV's bytes as they come: the lines begun
// so far, and no run of NUL bytes longer than a text holds (a NUL alone, in a
// name, is shown as U+FFFD as any byte a reader cannot take).
class CsvWatch {
public:
    explicit CsvWatch(bool on) : on_(on) {}

    // Takes in the bytes [from, to) of `bytes`; throws CsvError on the line
    // where a run of kLongestNulRun NULs ends.
    void See(const char* bytes, std::size_t from, std::size_t to) {
        if (!on_) return;
        for (std::size_t i = from; i < to;) {
            if (run_ == 0) {
                const void* nul = std::memchr(bytes + i, '\0', to - i);
                const std::size_t at = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes) : to;
                lines_ += static_cast<std::uint64_t>(std::count(bytes + i, bytes + at, '\n'));
                i = at;
                if (i == to) break;
            }
            while (i < to && bytes[i] == '\0') ++run_, ++i;
            if (run_ >= kLongestNulRun) throw CsvError(messages::NulInCsv(static_cast<std::int64_t>(lines_ + 1)));
            if (i < to) run_ = 0;
        }
    }

    // The memory to grow the bytes to `count`, or a CsvError that says how much was read.
    void EnsureRoom(std::uint64_t count, std::uint64_t read) const {
        try {
            EnsureAffordable(count, 2 * 3);
        } catch (const OutOfMemoryError&) {
            if (!on_) throw;
            throw CsvError(messages::CsvBeyondMemory(read, lines_));
        }
    }

private:
    static constexpr std::uint64_t kLongestNulRun = 1024;
    bool on_;
    std::uint64_t lines_ = 0, run_ = 0;
};

}  // namespace

FileBytes ReadWholeFile(const std::string& path, const HeadCheck& judgeHead, bool csvText) {
    int fd = STDIN_FILENO;
    if (path.empty()) {
        if (!io::IsUsableStandardStream(STDIN_FILENO)) throw InOutError(io::kInvalidHandle);
    } else {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) throw InOutError(io::CodeFromErrno(errno, path));
    }
    struct Closer {
        int fd;
        bool owns;
        ~Closer() {
            if (owns) ::close(fd);
        }
    } closer{fd, !path.empty()};

    std::size_t capacity = kReadSize;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        capacity = static_cast<std::size_t>(info.st_size) + 1;  // the last read then finds the end at once
        EnsureAffordable(capacity, 3);
    }
    LineWatch watch(LongestLine(fd));
    HeadWatch head(judgeHead);
    CsvWatch csv(csvText);
    FileBytes file;
    file.bytes_.reset(new char[capacity]);
    AdviseHugePages(file.bytes_.get(), capacity);
    for (;;) {
        if (file.size_ == capacity) {
            csv.EnsureRoom(capacity, file.size_);
            std::unique_ptr<char[]> larger(new char[capacity * 2]);
            AdviseHugePages(larger.get(), capacity * 2);
            std::memcpy(larger.get(), file.bytes_.get(), file.size_);
            file.bytes_ = std::move(larger);
            capacity *= 2;
        }
        // A block at a time until the head is judged, so that a refused file costs a block.
        const std::size_t room = capacity - file.size_;
        const ssize_t n =
            ::read(fd, file.bytes_.get() + file.size_, head.Waiting() ? std::min(room, kReadSize) : room);
        if (n > 0) {
            watch.See(file.bytes_.get(), file.size_, file.size_ + static_cast<std::size_t>(n));
            csv.See(file.bytes_.get(), file.size_, file.size_ + static_cast<std::size_t>(n));
            file.size_ += static_cast<std::size_t>(n);
            head.See(file.bytes_.get(), file.size_);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            throw InOutError(io::CodeFromErrno(errno, path));
        }
    }
    closer.owns = false;
    if (!path.empty() && ::close(fd) != 0) throw InOutError(io::CodeFromErrno(errno, path));
    return file;
}

void ExportCsv(const std::string& dataFile, const std::string& csvFile, CsvLayout layout,
               const CsvNotice& notice) {
    StudyStore store;
    LoadNotes notes;
    LoadStudyFile(store, dataFile, notes);
    // Said as soon as the study is read, before the CSV's own notices.
    if (notes.trailingContent && notice) notice(messages::TrailingContent());
    std::vector<std::string> notices;
    WriteTextFile(csvFile, [&](TextWriter& out) {
        notices.clear();
        WriteStudyCsv(
            store, layout, [&](std::string_view piece) { out.Write(piece); },
            [&](const std::string& text) { notices.push_back(text); });
    });
    if (notice)
        for (const std::string& text : notices) notice(text);
}

void ImportCsv(const std::string& csvFile, const std::string& dataFile, const CsvImportOptions& options) {
    // A file whose header the import would refuse is refused from its first
    // line; one whose header is further down, once it is read.
    const bool headerBelow = options.layout == CsvLayout::Long && options.headerLine > 1;
    const FileBytes text = ReadWholeFile(
        csvFile, [&](std::string_view head) {
            if (!headerBelow) CheckCsvHead(head, options);
        },
        true);
    CsvImportOptions reading = options;
    if (options.layout == CsvLayout::Long && options.headerLine > 0) {
        LongCsvOptions csv;
        csv.encoding = options.encoding;
        csv.separator = options.separator;
        reading.recordsBeforeHeader = HeaderRowAtLine(text.View(), csv, options.headerLine).recordsBefore;
    }
    StudyStore store;
    ReadStudyCsv(text.View(), reading, store);
    WriteDataFile(store, dataFile);
}

}  // namespace morvane
