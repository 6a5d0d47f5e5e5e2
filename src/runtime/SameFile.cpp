#include "runtime/SameFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include "runtime/Errors.h"

namespace morvane {
namespace {

// The regular file behind `name` (or the standard stream `fd` for the empty
// name); false for anything else.
bool RegularFile(const std::string& name, int fd, struct stat& info) {
    const int status = name.empty() ? ::fstat(fd, &info) : ::stat(name.c_str(), &info);
    return status == 0 && S_ISREG(info.st_mode);
}

}  // namespace

void RefuseInputAsOutput(const std::string& output, std::initializer_list<std::string> inputs) {
    struct stat written {};
    if (!RegularFile(output, STDOUT_FILENO, written)) return;
    for (const std::string& input : inputs) {
        struct stat read {};
        if (RegularFile(input, STDIN_FILENO, read) && read.st_dev == written.st_dev &&
            read.st_ino == written.st_ino)
            throw SameFileError();
    }
}

}  // namespace morvane
