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

IoCode CodeFromErrno(int err, const std::string& path) {
    switch (err) {
    case ENOENT: return IoCode::Ours(ParentFolderExists(path) ? kFileNotFound : kPathNotFound);
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return IoCode::Ours(kPathNotFound);
    case EMFILE:
    case ENFILE: return IoCode::Ours(kTooManyOpenFiles);
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY: return IoCode::Ours(kAccessDenied);
    case ENOSPC:
    case EDQUOT: return IoCode::Ours(kDiskFull);
    default: return IoCode::System(err);
    }
}

}  // namespace morvane::io
