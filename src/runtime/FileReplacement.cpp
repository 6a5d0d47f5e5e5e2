#include "runtime/FileReplacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string_view>
#include <vector>

#include "runtime/Errors.h"

namespace morvane {
namespace {

constexpr std::string_view kMark = ".pmorvane-";
constexpr std::string_view kEnd = ".tmp";
constexpr int kMostLinks = 40;    // as many as the kernel follows
constexpr int kMostNames = 1000;  // K up to three digits, as IsReplacementName reads them
constexpr int kMostRandomNames = 100;

// The creation of a new file with its lock, and the removal of leftovers, one
// at a time in the process: a leftover is told from a file being written by
// its lock, which its writer takes right after creating it.
std::mutex& Claims() {
    static std::mutex claims;
    return claims;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string InFolder(const std::string& folder, const std::string& name) {
    if (folder == ".") return name;
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// `.BASE.pmorvane-PID[-K].tmp`, or with `-SUFFIX` for K.
std::string TemporaryName(std::string base, long pid, int k, const std::string& suffix = {}) {
    std::string tail = std::string(kMark) + std::to_string(pid);
    if (k > 0) tail += "-" + std::to_string(k);
    if (!suffix.empty()) tail += "-" + suffix;
    tail += kEnd;
    const std::size_t room = NAME_MAX - 1 - tail.size();
    if (base.size() > room) base.resize(room);
    return "." + base + tail;
}

bool ReadLink(const std::string& path, std::string& target) {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0) return false;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            target = std::move(buffer);
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// A link in a folder that everyone may write but only owners may remove from
// (/tmp) is followed only when it is the user's or the folder owner's, as the
// kernel follows it for an open: no one else's link there may lead a save
// onto a file of the user's.
bool MayFollow(const struct stat& link, const std::string& folder) {
    struct stat around {};
    if (::stat(folder.c_str(), &around) != 0) return true;
    const bool shared = (around.st_mode & S_ISVTX) != 0 && (around.st_mode & S_IWOTH) != 0;
    return !shared || link.st_uid == ::geteuid() || link.st_uid == around.st_uid;
}

// A folder that root does not write through: another user's (not root's) that
// others may write to, where its owner or anyone could put a link or a file
// of their choosing in the place of what root means to write.
bool RootMayNotWriteThrough(const struct stat& folder) {
    return ::geteuid() == 0 && S_ISDIR(folder.st_mode) && folder.st_uid != 0 && (folder.st_mode & S_IWOTH) != 0;
}

// A FIFO, device or socket in a folder that others may write to is written
// only when it is the user's or the folder owner's: anyone else's there could
// hold a save up forever or take its text somewhere else.
bool MayWriteSpecial(const struct stat& file, const std::string& folder) {
    if (!S_ISFIFO(file.st_mode) && !S_ISCHR(file.st_mode) && !S_ISBLK(file.st_mode) && !S_ISSOCK(file.st_mode))
        return true;
    struct stat around {};
    if (::stat(folder.c_str(), &around) != 0 || (around.st_mode & S_IWOTH) == 0) return true;
    return file.st_uid == ::geteuid() || file.st_uid == around.st_uid;
}

// Follows the symbolic links that `name` ends in, as opening it would: the
// file they lead to, which may not exist. 0, or the error number of a loop or
// of a link that may not be followed.
int FollowLinks(std::string& name) {
    for (int links = 0;; ++links) {
        struct stat link {};
        if (::lstat(name.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return 0;
        if (links == kMostLinks) return ELOOP;
        const std::string folder = FolderOf(name);
        if (!MayFollow(link, folder)) return EACCES;
        std::string target;
        if (!ReadLink(name, target)) return errno;
        if (target.empty()) return ENOENT;
        name = target.front() == '/' ? target : InFolder(folder, target);
    }
}

// The folders that `folder` names, walked as the kernel walks them: EACCES
// when a link on the way may not be followed (MayFollow) or root's save would
// go through a folder of another user's that others may write to
// (RootMayNotWriteThrough), ELOOP after too
// many links, else 0 (a folder missing or unreadable is for the open itself
// to report).
int CheckFolderLinks(const std::string& folder) {
    std::vector<std::string> ahead;  // the components still to walk, the next one last
    auto push = [&ahead](const std::string& path) {
        std::vector<std::string> parts;
        for (std::size_t at = 0; at <= path.size();) {
            const std::size_t slash = std::min(path.find('/', at), path.size());
            if (slash > at) parts.push_back(path.substr(at, slash - at));
            at = slash + 1;
        }
        ahead.insert(ahead.end(), parts.rbegin(), parts.rend());
    };
    std::string done = folder.starts_with('/') ? "/" : ".";
    struct stat start {};
    if (::stat(done.c_str(), &start) == 0 && RootMayNotWriteThrough(start)) return EACCES;
    push(folder);
    for (int links = 0; !ahead.empty();) {
        const std::string part = std::move(ahead.back());
        ahead.pop_back();
        if (part == ".") continue;
        if (part == ".." && done != "." && !done.ends_with("..")) {
            done = FolderOf(done);
            continue;
        }
        const std::string next = InFolder(done, part);
        struct stat link {};
        if (::lstat(next.c_str(), &link) != 0) return 0;
        if (!S_ISLNK(link.st_mode)) {
            if (RootMayNotWriteThrough(link)) return EACCES;
            done = next;
            continue;
        }
        if (++links > kMostLinks) return ELOOP;
        if (!MayFollow(link, done)) return EACCES;
        std::string target;
        if (!ReadLink(next, target)) return 0;
        if (target.starts_with('/')) done = "/";
        push(target);
    }
    return 0;
}

// A name for the new file that no one has taken, made of random letters: for
// when every numbered name is (planted by someone in a shared folder).
std::string RandomName(const std::string& base, long pid, std::mt19937_64& random) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix;
    for (int i = 0; i < 12; ++i) suffix += kLetters[random() % (sizeof kLetters - 1)];
    return TemporaryName(base, pid, 0, suffix);
}

// Removes the new files in `folder` left by processes that are gone (or by
// this one, under an earlier process's id): those whose lock is free.
void RemoveLeftovers(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    std::vector<std::string> leftovers;
    const long self = ::getpid();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        long pid = 0;
        if (!IsReplacementName(name, pid)) continue;
        if (pid == self || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH))
            leftovers.push_back(name);
    }
    ::closedir(dir);
    // One descriptor at a time, the folder's closed first.
    for (const std::string& name : leftovers) {
        const std::string path = InFolder(folder, name);
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.c_str());
        ::close(fd);
    }
}

// A file with no name that holds the text of a file written in place until
// its commit: on a disk where the system has one, else in memory; -1 when
// neither can be had.
int UnnamedFile() {
    const char* folder = std::getenv("TMPDIR");
    if (folder == nullptr || folder[0] != '/') folder = "/tmp";
    int fd = ::open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) fd = ::memfd_create("pmorvane", MFD_CLOEXEC);
    return fd;
}

bool FullOrOutOfHandles(int error) {
    return error == ENOSPC || error == EDQUOT || error == EMFILE || error == ENFILE || error == ENOMEM;
}

// Flushes the folder's entries, the rename among them. A folder that cannot be
// opened for reading, or a file system that flushes no folder, is passed by.
io::IoCode SyncFolder(const std::string& folder, const std::string& path) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return {};
    io::IoCode failure;
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) failure = io::CodeFromErrno(errno, path);
    ::close(fd);
    return failure;
}

}  // namespace

bool IsReplacementName(const std::string& name, long& pid) {
    if (name.size() < 1 + kMark.size() + 1 + kEnd.size() || name.front() != '.' || !name.ends_with(kEnd))
        return false;
    const std::size_t end = name.size() - kEnd.size();
    const std::size_t mark = name.rfind(kMark, end - kMark.size());
    if (mark == std::string::npos || mark == 0) return false;
    std::size_t at = mark + kMark.size();
    std::int64_t value = 0;
    std::size_t digits = 0;
    for (; at < end && name[at] >= '0' && name[at] <= '9' && digits < 10; ++at, ++digits)
        value = value * 10 + (name[at] - '0');
    if (digits == 0 || value == 0 || value > INT_MAX) return false;
    if (at < end && name[at] == '-') {
        std::size_t k = 0;
        for (++at; at < end && name[at] >= '0' && name[at] <= '9'; ++at) ++k;
        if (k == 0 || k > 3) return false;
    }
    if (at != end) return false;
    pid = static_cast<long>(value);
    return true;
}

FileReplacement::FileReplacement(const std::string& path) : path_(path), final_(path) {
    Open();
}

FileReplacement::~FileReplacement() {
    Abandon();
}

void FileReplacement::Open() {
    // No one else's link on the way to the folder, as none at its end.
    if (const int linkError = CheckFolderLinks(FolderOf(path_)))
        throw InOutError(io::CodeFromErrno(linkError, path_));
    struct stat named {};
    if (::stat(path_.c_str(), &named) != 0) {
        const int error = errno;
        if (error != ENOENT) throw InOutError(io::CodeFromErrno(error, path_));
        // Missing, or a link that leads to a file not there yet.
        if (const int linkError = FollowLinks(final_)) throw InOutError(io::CodeFromErrno(linkError, path_));
        if (const int linkError = CheckFolderLinks(FolderOf(final_)))
            throw InOutError(io::CodeFromErrno(linkError, path_));
        if (!TryReplacement(nullptr)) OpenInPlace();
        return;
    }
    if (!S_ISREG(named.st_mode)) {
        // Someone else's FIFO or device is refused before it is opened.
        std::string target = path_;
        if (const int linkError = FollowLinks(target)) throw InOutError(io::CodeFromErrno(linkError, path_));
        if (!MayWriteSpecial(named, FolderOf(target))) throw InOutError(io::CodeFromErrno(EACCES, path_));
        return OpenInPlace();
    }
    if (const int linkError = FollowLinks(final_)) throw InOutError(io::CodeFromErrno(linkError, path_));
    if (const int linkError = CheckFolderLinks(FolderOf(final_)))
        throw InOutError(io::CodeFromErrno(linkError, path_));
    // The links followed must lead to the file itself (the kernel's own links
    // under /proc need not).
    struct stat info {};
    if (::stat(final_.c_str(), &info) != 0 || info.st_dev != named.st_dev || info.st_ino != named.st_ino)
        return OpenInPlace();
    // Writing it in place would be refused; so is replacing it.
    if (::faccessat(AT_FDCWD, final_.c_str(), W_OK, AT_EACCESS) != 0)
        throw InOutError(io::CodeFromErrno(errno, path_));
    if (!TryReplacement(&info)) OpenInPlace();
}

// Creates the new file beside final_; false when it is to be written in place.
bool FileReplacement::TryReplacement(const struct stat* existing) {
    const std::string folder = FolderOf(final_);
    if (existing != nullptr) {
        struct stat around {};
        if (::stat(folder.c_str(), &around) != 0) return false;
        // A file mounted on its own cannot be renamed over.
        if (around.st_dev != existing->st_dev) return false;
        // Under the sticky bit only the file's owner or the folder's may.
        const uid_t user = ::geteuid();
        if ((around.st_mode & S_ISVTX) != 0 && user != 0 && existing->st_uid != user && around.st_uid != user)
            return false;
    }
    const std::lock_guard<std::mutex> claim(Claims());
    RemoveLeftovers(folder);
    const mode_t mode = existing != nullptr ? (existing->st_mode & 0777) : 0666;
    std::mt19937_64 random;
    for (int k = 0; k < kMostNames + kMostRandomNames && fd_ < 0; ++k) {
        if (k == kMostNames) random.seed(std::random_device()());
        const std::string base = BaseOf(final_);
        const std::string name = InFolder(folder, k < kMostNames ? TemporaryName(base, ::getpid(), k)
                                                                 : RandomName(base, ::getpid(), random));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            fd_ = fd;
            temporary_ = name;
        } else if (errno != EEXIST) {
            // A folder that takes no new file may still let the file itself be written.
            if (FullOrOutOfHandles(errno)) throw InOutError(io::CodeFromErrno(errno, path_));
            return false;
        }
    }
    if (fd_ < 0) throw InOutError(io::CodeFromErrno(EEXIST, path_));
    // Without locks on this file system the leftover of a process that is
    // gone stays; nothing that is being written is ever taken for one.
    static_cast<void>(::flock(fd_, LOCK_EX | LOCK_NB));
    if (existing != nullptr) {
        // The owner where it may be given (by root), else the group where the user has it.
        if ((existing->st_uid != ::geteuid() || existing->st_gid != ::getegid()) &&
            ::fchown(fd_, existing->st_uid, existing->st_gid) != 0 &&
            ::fchown(fd_, static_cast<uid_t>(-1), existing->st_gid) != 0) {
        }
        if (::fchmod(fd_, existing->st_mode & 07777) != 0) {
            const int error = errno;
            Abandon();
            throw InOutError(io::CodeFromErrno(error, path_));
        }
    }
    return true;
}

void FileReplacement::OpenInPlace() {
    final_ = path_;
    std::string target = path_;
    if (FollowLinks(target) != 0) target = path_;
    const std::string folder = FolderOf(target);
    // Opened as it is, or made when missing, without emptying it yet; a FIFO
    // without a reader waits for one only once it is known to be the user's.
    fd_ = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0 && errno == ENXIO) {
        struct stat named {};
        if (::stat(path_.c_str(), &named) == 0 && !MayWriteSpecial(named, folder))
            throw InOutError(io::CodeFromErrno(EACCES, path_));
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    }
    if (fd_ < 0 && errno == ENOENT) {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
        created_ = fd_ >= 0;
    }
    if (fd_ < 0) throw InOutError(io::CodeFromErrno(errno, path_));
    struct stat info {};
    const bool known = ::fstat(fd_, &info) == 0;
    if (known && !MayWriteSpecial(info, folder)) {
        ::close(fd_);
        fd_ = -1;
        throw InOutError(io::CodeFromErrno(EACCES, path_));
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) static_cast<void>(::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK));
    regular_ = known && S_ISREG(info.st_mode);
    if (!regular_) return;
    const int text = UnnamedFile();
    if (text >= 0) {
        inPlace_ = fd_;
        fd_ = text;
    } else if (::ftruncate(fd_, 0) != 0 && errno != EINVAL) {
        const int error = errno;
        Abandon();
        throw InOutError(io::CodeFromErrno(error, path_));
    }
}

// Runs at the commit of a regular file written in place: its old bytes give
// way to the whole text at once, and are never left half replaced by a
// command that stopped.
io::IoCode FileReplacement::CommitInPlace() {
    io::IoCode failure;
    // As O_TRUNC would, files that cannot be emptied (under /proc) are written over.
    if (::ftruncate(inPlace_, 0) != 0 && errno != EINVAL) failure = io::CodeFromErrno(errno, path_);
    std::vector<char> buffer(1 << 20);
    for (off_t at = 0; !failure.failed();) {
        const ssize_t n = ::pread(fd_, buffer.data(), buffer.size(), at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failure = io::CodeFromErrno(errno, path_);
        if (n <= 0) break;
        at += n;
        for (ssize_t done = 0; done < n && !failure.failed();) {
            const ssize_t w = ::write(inPlace_, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0)
                failure = io::CodeFromErrno(errno, path_);
            else
                done += w;
        }
    }
    if (!failure.failed() && ::fsync(inPlace_) != 0 && errno != EINVAL)
        failure = io::CodeFromErrno(errno, path_);
    ::close(fd_);
    fd_ = -1;
    if (::close(inPlace_) != 0 && errno != EINTR && !failure.failed())
        failure = io::CodeFromErrno(errno, path_);
    inPlace_ = -1;
    return failure;
}

io::IoCode FileReplacement::Commit() {
    io::IoCode failure;
    if (fd_ < 0) return failure;
    if (inPlace_ >= 0) {
        failure = CommitInPlace();
        if (!failure.failed()) created_ = false;
        return failure;
    }
    if (regular_ && ::fsync(fd_) != 0 && errno != EINVAL) failure = io::CodeFromErrno(errno, path_);
    if (::close(fd_) != 0 && errno != EINTR && !failure.failed()) failure = io::CodeFromErrno(errno, path_);
    fd_ = -1;
    if (temporary_.empty()) {
        if (!failure.failed()) created_ = false;
        return failure;
    }
    if (!failure.failed() && ::rename(temporary_.c_str(), final_.c_str()) != 0)
        failure = io::CodeFromErrno(errno, path_);
    if (failure.failed()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
        return failure;
    }
    temporary_.clear();
    return SyncFolder(FolderOf(final_), path_);
}

void FileReplacement::Abandon() noexcept {
    // Removed before its lock goes with the descriptor.
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (inPlace_ >= 0) ::close(inPlace_);
    inPlace_ = -1;
    // A file made to be written in place goes again, unless it was written.
    if (created_ && regular_) ::unlink(path_.c_str());
    created_ = false;
}

}  // namespace morvane
