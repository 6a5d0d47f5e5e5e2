#include "exchange/ExchangeFiles.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/StandardStreams.h"
#include "runtime/TextWriter.h"
#include "store/DataFile.h"
#include "runtime/MemoryBudget.h"

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
    FileBytes file;
    file.bytes_.reset(new char[capacity]);
    AdviseHugePages(file.bytes_.get(), capacity);
    for (;;) {
        if (file.size_ == capacity) {
            std::unique_ptr<char[]> larger(new char[capacity * 2]);
            AdviseHugePages(larger.get(), capacity * 2);
            std::memcpy(larger.get(), file.bytes_.get(), file.size_);
            file.bytes_ = std::move(larger);
            capacity *= 2;
        }
        const ssize_t n = ::read(fd, file.bytes_.get() + file.size_, capacity - file.size_);
        if (n > 0) {
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

void ExportCsv(const std::string& dataFile, const std::string& csvFile, CsvLayout layout) {
    StudyStore store;
    LoadStudyFile(store, dataFile);
    WriteTextFile(csvFile, [&](TextWriter& out) {
        WriteStudyCsv(store, layout, [&](std::string_view piece) { out.Write(piece); });
    });
}

void ImportCsv(const std::string& csvFile, const std::string& dataFile, const CsvImportOptions& options) {
    const FileBytes text = ReadWholeFile(csvFile);
    StudyStore store;
    ReadStudyCsv(text.View(), options, store);
    WriteDataFile(store, dataFile);
}

}  // namespace morvane
