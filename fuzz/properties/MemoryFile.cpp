#include "properties/MemoryFile.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace morvane::properties {
namespace {

[[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string("memory file: ") + what + ": " + std::strerror(errno));
}

}  // namespace

MemoryFile::MemoryFile() : fd_(memfd_create("morvane-property", MFD_CLOEXEC)) {
    if (fd_ < 0) Fail("memfd_create");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() {
    ::close(fd_);
}

void MemoryFile::Set(std::string_view bytes) {
    if (ftruncate(fd_, 0) != 0) Fail("ftruncate");
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail("pwrite");
        done += static_cast<std::size_t>(n);
    }
}

std::string MemoryFile::Get() const {
    struct stat info {};
    if (fstat(fd_, &info) != 0) Fail("fstat");
    std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail("pread");
        done += static_cast<std::size_t>(n);
    }
    return bytes;
}

}  // namespace morvane::properties
