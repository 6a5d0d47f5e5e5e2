#include "runtime/StandardStreams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::io {

bool IsUsableStandardStream(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    if (S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode)) return true;
    return S_ISCHR(info.st_mode) && isatty(fd) == 1;
}

bool IsWritableStandardStream(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) return false;
    return S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) || S_ISCHR(info.st_mode);
}

}  // namespace morvane::io
