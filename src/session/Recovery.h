#pragma once
// Recovery files: while a study has unsaved changes, the program keeps a copy
// of it on the disk, so that a crash or a kill loses seconds of typing, not
// the hour since the last save.
//
// They live in the recovery folder, $XDG_STATE_HOME/pmorvane/ (or
// $HOME/.local/state/pmorvane/ when XDG_STATE_HOME is unset or not absolute),
// two files a running program:
//   pmorvane-PID.dat   the study, byte for byte the data file that 保存 would
//                      write, replaced whole at every write (FileReplacement);
//                      its modification time is when it was written
//   pmorvane-PID.lock  empty; the program holds an flock on it while it runs
// (pmorvane-PID-K.* when files of an earlier process with the same id are
// still there). A program that ends normally removes both. A .dat whose lock
// is free was left by a program that crashed or was killed (its lock went
// with it), and is offered at the next start. The folder and the copies are
// the user's alone (0700 and 0600).

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "store/DataFile.h"
#include "store/StudyStore.h"

namespace morvane {

// The recovery folder, from the environment (not created).
std::string RecoveryFolder();

// The recovery file of one running program. Nothing is created before the
// first Keep.
class RecoveryFile {
public:
    // `pid` names the files: the process's own id, but for the tests.
    explicit RecoveryFile(std::string folder, long pid);
    // Removes the files (Forget): a program that ends normally leaves none.
    ~RecoveryFile();
    RecoveryFile(const RecoveryFile&) = delete;
    RecoveryFile& operator=(const RecoveryFile&) = delete;

    // Writes the study as WriteDataFile does (the write-back first) in place
    // of the last copy, creating the folder and taking the lock the first
    // time. Throws InOutError, LineEndInTextError, OutOfMemoryError; the last
    // copy then stays.
    void Keep(StudyStore& store, const WriteBack& writeBack);
    // Removes the copy and the lock: the study is saved or let go.
    void Forget() noexcept;

    const std::string& Folder() const { return folder_; }
    long Pid() const { return pid_; }
    // The copy's name; empty before the first Keep and after Forget.
    const std::string& Path() const { return path_; }

private:
    void TakeNames();

    std::string folder_;
    long pid_;
    std::string path_;  // the .dat
    std::string lock_;  // the .lock
    int lockFd_ = -1;
};

// A recovery file left by a program that is gone, claimed by this one: its
// lock is held, so that no other program offers it, until this one goes.
class LeftRecovery {
public:
    LeftRecovery(std::string path, std::string lock, int lockFd, long pid, std::time_t written);
    // Releases the claim; the files stay unless Remove was called.
    ~LeftRecovery();
    LeftRecovery(const LeftRecovery&) = delete;
    LeftRecovery& operator=(const LeftRecovery&) = delete;

    const std::string& Path() const { return path_; }
    long Pid() const { return pid_; }
    // When the copy was last written (seconds since the epoch).
    std::time_t Written() const { return written_; }

    // Reads the study as a data file is read (ReadDataFile).
    void Read(StudyStore& store) const;
    // Removes the copy and its lock.
    void Remove() noexcept;

private:
    std::string path_;
    std::string lock_;
    int lockFd_;
    long pid_;
    std::time_t written_;
};

// The recovery files in `folder` left by programs that are gone (the lock
// free, whatever process has the id now), claimed, the newest first. A folder
// that does not exist has none.
std::vector<std::unique_ptr<LeftRecovery>> ClaimLeftRecoveries(const std::string& folder);

}  // namespace morvane
