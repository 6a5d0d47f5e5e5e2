#pragma once
// The file that a save writes. A regular file is never written in place: the
// text goes to a new file beside it, which takes its place only once it is
// complete and on the disk. A failure, a full disk, a crash or a power cut at
// any moment leaves the old file or the new one, whole, under the name.
//
// The new file is named `.NAME.pmorvane-PID.tmp` (`.NAME.pmorvane-PID-K.tmp`
// when that is taken, and a name of random letters in place of K when every
// K up to 999 is), NAME cut short when the whole would not fit a name,
// and its process holds a lock on it while it writes. A process killed before
// it could remove its new file leaves it behind; the next save into that
// folder removes every such file whose process is gone and whose lock is free.

#include <string>

#include "runtime/IoCodes.h"

struct stat;

namespace morvane {

class FileReplacement {
public:
    // Opens the file to write for `path` (not empty): a new file beside the
    // file that `path` names, or beside the one its symbolic links lead to,
    // followed as opening `path` would follow them (a link that leads nowhere
    // names the file it would create). A link anywhere on the way that sits
    // in a folder everyone may write but only owners may remove from (/tmp),
    // and is neither the user's nor the folder owner's, is not followed: the
    // save fails with code 5. So does root's save through a folder of another
    // user's (not root's) that others may write to, and any save onto a FIFO,
    // device or socket in a folder that others may write to, when it is
    // neither the user's nor the folder owner's: refused before it is opened,
    // without waiting for a reader. A pipe of the user's own (/dev/fd/N) is
    // written as any. The new file gets the owner and the permission bits of
    // the file it replaces.
    //
    // Written in place are: what is not a regular file (a device, a pipe, a
    // terminal); a file mounted on its own; a file in a folder with the
    // sticky bit that only its owner may replace; and any file when the
    // folder takes no new file. Such a regular file is opened at once, so
    // that one that cannot be written fails here, but its old bytes stay
    // until Commit: the text goes to an unnamed file of its own meanwhile
    // (in $TMPDIR or /tmp, else in memory), and Commit copies it over them.
    // Throws InOutError with the code that opening `path` for writing gives.
    explicit FileReplacement(const std::string& path);
    // Abandons the new file unless it was committed.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    int Descriptor() const { return fd_; }
    // The name of the new file; empty when the file is written in place.
    const std::string& Temporary() const { return temporary_; }

    // Flushes the new file to the disk, closes it, renames it over the old one
    // and flushes the folder, so that the rename survives a power cut. The
    // code of the first failure: up to the rename the new file is then
    // removed and the old one stays as it was; a failure to flush the folder
    // comes after the rename and is reported all the same.
    io::IoCode Commit();
    // Closes the new file and removes it: the old file stays as it was (a
    // device or pipe written in place keeps what reached it).
    void Abandon() noexcept;

private:
    void Open();
    bool TryReplacement(const struct ::stat* existing);
    void OpenInPlace();
    io::IoCode CommitInPlace();

    std::string path_;       // as named, for the codes of failures
    std::string final_;      // the file replaced: path_, or where its links lead
    std::string temporary_;  // the new file, empty when written in place
    int fd_ = -1;
    int inPlace_ = -1;      // a regular file written in place, while fd_ holds its text
    bool created_ = false;  // the file written in place did not exist before
    bool regular_ = true;   // what is written is a regular file, to be flushed
};

// The parts of a name of a new file as FileReplacement names them (without
// its folder): true and the process's id for `.NAME.pmorvane-PID.tmp` and
// `.NAME.pmorvane-PID-K.tmp`.
bool IsReplacementName(const std::string& name, long& pid);

}  // namespace morvane
