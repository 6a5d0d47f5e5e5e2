#include "session/Recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "runtime/Errors.h"
#include "runtime/IoCodes.h"

namespace morvane {
namespace {

constexpr const char kPrefix[] = "pmorvane-";
constexpr const char kData[] = ".dat";
constexpr const char kLock[] = ".lock";

// The name without its ending: pmorvane-PID or pmorvane-PID-K.
std::string Stem(long pid, int k) {
    std::string stem = kPrefix + std::to_string(pid);
    if (k > 0) stem += "-" + std::to_string(k);
    return stem;
}

bool AllDigits(std::string_view text) {
    return !text.empty() && text.size() <= 18 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The process id of a copy's name pmorvane-PID.dat or pmorvane-PID-K.dat; -1
// for any other name. Returns the stem in `stem`.
long PidOfCopy(const std::string& name, std::string& stem) {
    const std::string_view view(name);
    const std::size_t prefix = sizeof kPrefix - 1, ending = sizeof kData - 1;
    if (view.size() <= prefix + ending || !view.starts_with(kPrefix) || !view.ends_with(kData)) return -1;
    std::string_view middle = view.substr(prefix, view.size() - prefix - ending);
    const std::size_t dash = middle.find('-');
    const std::string_view pid = middle.substr(0, dash);
    if (!AllDigits(pid) || (dash != std::string_view::npos && !AllDigits(middle.substr(dash + 1)))) return -1;
    stem = std::string(view.substr(0, view.size() - ending));
    return std::strtol(std::string(pid).c_str(), nullptr, 10);
}

bool Exists(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

// Opens and locks `path` (created when missing) without waiting; -1 when
// another holds it or it cannot be opened.
int TakeLock(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Creates `folder` and the folders above it that are missing, for this user
// alone; throws InOutError with the code of the first that fails. The
// recovery folder itself is the user's alone, whoever made it: one that
// others may enter has its mode mended, one that is someone else's (or
// reached through someone else's link) is refused with code 5.
void MakeFolder(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            throw InOutError(io::CodeFromErrno(errno, part));
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) throw InOutError(io::CodeFromErrno(errno, folder));
    // The user's own link to a folder of the user's is followed.
    if (S_ISLNK(info.st_mode) && info.st_uid == ::geteuid()) ::stat(folder.c_str(), &info);
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        throw InOutError(io::CodeFromErrno(EACCES, folder));
    if ((info.st_mode & 07777) != 0700 && ::chmod(folder.c_str(), 0700) != 0)
        throw InOutError(io::CodeFromErrno(errno, folder));
}

// Makes the copy empty and for this user alone before its first write, which
// keeps those bits (FileReplacement): no copy is ever readable by others.
void MakeCopy(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) throw InOutError(io::CodeFromErrno(errno, path));
    // The umask may have taken bits; none are added beyond the user's.
    const bool made = ::fchmod(fd, 0600) == 0;
    const int error = errno;
    ::close(fd);
    if (!made) {
        ::unlink(path.c_str());
        throw InOutError(io::CodeFromErrno(error, path));
    }
}

}  // namespace

std::string RecoveryFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/pmorvane";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.local/state/pmorvane";
}

RecoveryFile::RecoveryFile(std::string folder, long pid) : folder_(std::move(folder)), pid_(pid) {}

RecoveryFile::~RecoveryFile() {
    Forget();
}

void RecoveryFile::Keep(StudyStore& store, const WriteBack& writeBack) {
    if (lockFd_ < 0) TakeNames();
    WriteDataFile(store, path_, writeBack);
}

// Runs at the first Keep: the first pair of names that no earlier process
// left, the lock taken before any copy exists, so that no copy of a running
// program is ever seen without its lock held.
void RecoveryFile::TakeNames() {
    MakeFolder(folder_);
    for (int k = 0;; ++k) {
        const std::string stem = folder_ + "/" + Stem(pid_, k);
        const std::string data = stem + kData, lock = stem + kLock;
        if (Exists(data) || Exists(lock)) continue;
        const int fd = TakeLock(lock);
        if (fd < 0) {
            if (!Exists(lock)) throw InOutError(io::CodeFromErrno(errno, lock));
            continue;
        }
        try {
            MakeCopy(data);
        } catch (...) {
            ::unlink(lock.c_str());
            ::close(fd);
            throw;
        }
        path_ = data;
        lock_ = lock;
        lockFd_ = fd;
        return;
    }
}

void RecoveryFile::Forget() noexcept {
    if (lockFd_ < 0) return;
    // The copy goes before its lock, so that a free lock never stands for a
    // running program's copy.
    ::unlink(path_.c_str());
    ::unlink(lock_.c_str());
    ::close(lockFd_);
    lockFd_ = -1;
    path_.clear();
    lock_.clear();
}

LeftRecovery::LeftRecovery(std::string path, std::string lock, int lockFd, long pid, std::time_t written)
    : path_(std::move(path)), lock_(std::move(lock)), lockFd_(lockFd), pid_(pid), written_(written) {}

LeftRecovery::~LeftRecovery() {
    if (lockFd_ >= 0) ::close(lockFd_);
}

void LeftRecovery::Read(StudyStore& store) const {
    ReadDataFile(store, path_);
}

void LeftRecovery::Remove() noexcept {
    ::unlink(path_.c_str());
    ::unlink(lock_.c_str());
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
}

std::vector<std::unique_ptr<LeftRecovery>> ClaimLeftRecoveries(const std::string& folder) {
    std::vector<std::unique_ptr<LeftRecovery>> left;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return left;
    while (const dirent* entry = ::readdir(dir)) {
        std::string stem;
        const long pid = PidOfCopy(entry->d_name, stem);
        if (pid < 0) continue;
        const std::string data = folder + "/" + stem + kData, lock = folder + "/" + stem + kLock;
        const int fd = TakeLock(lock);
        if (fd < 0) continue;  // its program runs, or another program offers it
        // A free lock is the whole sign of a program gone, whatever process
        // has its id now (a zombie, or another after a power cut). A copy
        // removed meanwhile went with its program's normal end; an empty one
        // was made by a program that ended before its first write.
        struct stat info;
        if (::lstat(data.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0) {
            if (!Exists(data) || (S_ISREG(info.st_mode) && info.st_size == 0)) {
                ::unlink(data.c_str());
                ::unlink(lock.c_str());
            }
            ::close(fd);
            continue;
        }
        left.push_back(std::make_unique<LeftRecovery>(data, lock, fd, pid, info.st_mtime));
    }
    ::closedir(dir);
    std::stable_sort(left.begin(), left.end(),
                     [](const auto& x, const auto& y) { return x->Written() > y->Written(); });
    return left;
}

}  // namespace morvane
