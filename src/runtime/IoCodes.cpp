#include "runtime/IoCodes.h"

#include <sys/stat.h>

#include <cerrno>

namespace morvane::io {
namespace {

bool ParentFolderExists(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return true;  // the current folder
    std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

int CodeFromErrno(int err, const std::string& path) {
    switch (err) {
    case ENOENT: return ParentFolderExists(path) ? kFileNotFound : kPathNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return kPathNotFound;
    case EMFILE:
    case ENFILE: return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY: return kAccessDenied;
    case ENOSPC:
    case EDQUOT: return kDiskFull;
    default: return err;
    }
}

}  // namespace morvane::io
