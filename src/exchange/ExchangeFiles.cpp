#include "exchange/ExchangeFiles.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/StandardStreams.h"
#include "runtime/TextWriter.h"
#include "runtime/MemoryBudget.h"
#include "runtime/TextReader.h"
#include "store/DataFile.h"

namespace morvane {
namespace {

constexpr std::size_t kReadSize = 1 << 16;

// Asks for huge pages under a large buffer, which the first write into it then
// faults in a few at a time instead of thousands of small ones. Only advice:
// without it the buffer works the same.
void AdviseHugePages(char* buffer, std::size_t size) {
    constexpr std::uintptr_t kHuge = std::uintptr_t{1} << 21;
    const auto start = reinterpret_cast<std::uintptr_t>(buffer);
    const std::uintptr_t begin = (start + kHuge - 1) & ~(kHuge - 1), end = (start + size) & ~(kHuge - 1);
    if (end > begin) static_cast<void>(::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE));
}

// The file a name stands for: the name itself, or where its symbolic links lead.
std::string FinalName(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

// A new file beside `target` that no other name holds; its descriptor is
// returned, or -1 with errno set.
int CreateBeside(const std::string& target, std::string& name) {
    const auto slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    auto seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                (static_cast<std::uint64_t>(::getpid()) << 32);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        name = folder + ".morvane-" + std::to_string(seed >> 16);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

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

}  // namespace

FileBytes ReadWholeFile(const std::string& path) {
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
        EnsureAffordable(capacity, 1);
    }
    LineWatch watch(LongestLine(fd));
    FileBytes file;
    file.bytes_.reset(new char[capacity]);
    AdviseHugePages(file.bytes_.get(), capacity);
    for (;;) {
        if (file.size_ == capacity) {
            EnsureAffordable(capacity, 2);
            std::unique_ptr<char[]> larger(new char[capacity * 2]);
            AdviseHugePages(larger.get(), capacity * 2);
            std::memcpy(larger.get(), file.bytes_.get(), file.size_);
            file.bytes_ = std::move(larger);
            capacity *= 2;
        }
        const ssize_t n = ::read(fd, file.bytes_.get() + file.size_, capacity - file.size_);
        if (n > 0) {
            watch.See(file.bytes_.get(), file.size_, file.size_ + static_cast<std::size_t>(n));
            file.size_ += static_cast<std::size_t>(n);
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

void WriteWholeFile(const std::string& path, const std::function<void(const std::string&)>& write) {
    if (path.empty()) return write(path);
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) return write(path);
    // Writing in place would be refused; so is the replacement.
    if (exists && ::access(path.c_str(), W_OK) != 0) throw InOutError(io::CodeFromErrno(errno, path));

    const std::string target = exists ? FinalName(path) : path;
    std::string temporary;
    const int fd = CreateBeside(target, temporary);
    if (fd < 0) {
        const int error = errno;
        // A folder that takes no new file may still let the file itself be written.
        if (error == EACCES || error == EPERM) return write(path);
        throw InOutError(io::CodeFromErrno(error, path));
    }
    if (exists && ::fchmod(fd, info.st_mode & 07777) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        throw InOutError(io::CodeFromErrno(error, temporary));
    }
    ::close(fd);  // opened only to claim the name; the writer opens it again
    try {
        write(temporary);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw InOutError(io::CodeFromErrno(error, path));
    }
}

void ExportCsv(const std::string& dataFile, const std::string& csvFile, CsvLayout layout,
               const CsvNotice& notice) {
    StudyStore store;
    LoadStudyFile(store, dataFile);
    std::vector<std::string> notices;
    WriteWholeFile(csvFile, [&](const std::string& path) {
        notices.clear();
        TextWriter out(path);
        WriteStudyCsv(
            store, layout, [&](std::string_view piece) { out.Write(piece); },
            [&](const std::string& text) { notices.push_back(text); });
        out.Close();
    });
    if (notice)
        for (const std::string& text : notices) notice(text);
}

void ImportCsv(const std::string& csvFile, const std::string& dataFile, const CsvImportOptions& options) {
    const FileBytes text = ReadWholeFile(csvFile);
    StudyStore store;
    ReadStudyCsv(text.View(), options, store);
    WriteWholeFile(dataFile, [&](const std::string& path) { WriteDataFile(store, path); });
}

}  // namespace morvane
