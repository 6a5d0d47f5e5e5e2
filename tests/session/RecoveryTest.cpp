#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "runtime/Errors.h"
#include "store/DataFile.h"
#include "session/Recovery.h"
#include "support/PrePostStudy.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::PrePostStudy;
using testing::ReadBytes;
using testing::TempDir;

std::set<std::string> Names(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// Keeps `store` as a program with `pid` would, then dies without cleaning up,
// as a crash or SIGKILL leaves it. Returns the child's own id, now free.
long KeepAndCrash(const std::string& folder, StudyStore store) {
    const pid_t child = ::fork();
    if (child == 0) {
        RecoveryFile file(folder, static_cast<long>(::getpid()));
        file.Keep(store, nullptr);
        ::_exit(0);  // no destructor: the files stay, the lock goes with the process
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<long>(child);
}

// A copy holds what 保存 would write, byte for byte, with the write-back of the
// shown grid; it is replaced at each Keep and goes with Forget, lock and all.
TEST(Recovery, TheCopyIsTheDataFileAndGoesWithForget) {
    TempDir dir;
    const std::string folder = dir.File("state/pmorvane");  // made with its parent
    StudyStore store = PrePostStudy();
    WriteDataFile(store, dir.File("saved.dat"));
    {
        RecoveryFile file(folder, 4242);
        EXPECT_TRUE(file.Path().empty());
        EXPECT_FALSE(std::filesystem::exists(folder));  // nothing before the first Keep
        file.Keep(store, nullptr);
        EXPECT_EQ(file.Path(), folder + "/pmorvane-4242.dat");
        EXPECT_EQ(ReadBytes(file.Path()), ReadBytes(dir.File("saved.dat")));
        EXPECT_EQ(Names(folder), (std::set<std::string>{"pmorvane-4242.dat", "pmorvane-4242.lock"}));
        struct stat info;
        ASSERT_EQ(::stat(folder.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);

        file.Keep(store, [](StudyStore& shown) { shown.CellText.Set(1, 1, 1, "99"); });
        StudyStore back;
        ReadDataFile(back, file.Path());
        EXPECT_EQ(back.CellText(1, 1, 1), "99");
        file.Forget();
        EXPECT_TRUE(Names(folder).empty());
        file.Keep(store, nullptr);  // kept again after a forget
        EXPECT_EQ(Names(folder).size(), 2u);
    }
    EXPECT_TRUE(Names(folder).empty());  // the normal end leaves nothing

    // XDG_STATE_HOME when absolute, else under HOME.
    const char* oldState = std::getenv("XDG_STATE_HOME");
    const std::string kept = oldState != nullptr ? oldState : "";
    ::setenv("XDG_STATE_HOME", "/var/x", 1);
    EXPECT_EQ(RecoveryFolder(), "/var/x/pmorvane");
    ::setenv("XDG_STATE_HOME", "relative", 1);
    EXPECT_EQ(RecoveryFolder(), std::string(std::getenv("HOME")) + "/.local/state/pmorvane");
    if (oldState != nullptr)
        ::setenv("XDG_STATE_HOME", kept.c_str(), 1);
    else
        ::unsetenv("XDG_STATE_HOME");
}

// The folder and the copies are the user's alone, whatever the umask and
// whoever made the folder: a folder others may enter is mended, one of
// another user's (or a link to one) is refused.
TEST(Recovery, CopiesAreTheUsersAlone) {
    TempDir dir;
    const std::string folder = dir.File("pmorvane");
    std::filesystem::create_directory(folder);
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    const mode_t umask = ::umask(0);
    StudyStore store = PrePostStudy();
    {
        RecoveryFile file(folder, 4242);
        file.Keep(store, nullptr);
        file.Keep(store, nullptr);
        struct stat info {};
        ASSERT_EQ(::stat(file.Path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0600u);
        ASSERT_EQ(::stat(folder.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0700u);
    }
    ::umask(umask);
    auto keepFails = [&](const std::string& where) {
        RecoveryFile file(where, 4242);
        try {
            file.Keep(store, nullptr);
        } catch (const InOutError& error) {
            return error.code() == 5 && file.Path().empty();
        }
        return false;
    };
    std::filesystem::create_directory_symlink(folder, dir.File("link"));
    if (::geteuid() == 0) {
        ASSERT_EQ(::lchown(dir.File("link").c_str(), 65534, 65534), 0);
        EXPECT_TRUE(keepFails(dir.File("link")));
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        EXPECT_TRUE(keepFails(folder));
    }
    EXPECT_TRUE(Names(folder).empty());
}

// Only the copies of programs that are gone are claimed, each by one program
// at a time; a running program's copy never is.
TEST(Recovery, ProgramsDoNotTakeEachOthersFiles) {
    TempDir dir;
    const std::string folder = dir.Path().string();
    const long self = static_cast<long>(::getpid());
    StudyStore crashed = PrePostStudy();
    crashed.CellText.Set(2, 2, 2, "7.5");
    const long gone = KeepAndCrash(folder, crashed);

    // A program that runs (here, in this process, under another id) keeps its own.
    RecoveryFile running(folder, 1);  // the id of init: always running
    StudyStore mine = PrePostStudy();
    running.Keep(mine, nullptr);

    auto claimed = ClaimLeftRecoveries(folder);
    ASSERT_EQ(claimed.size(), 1u);
    EXPECT_EQ(claimed[0]->Pid(), gone);
    EXPECT_EQ(claimed[0]->Path(), folder + "/pmorvane-" + std::to_string(gone) + ".dat");
    // A second program starting meanwhile finds it claimed.
    EXPECT_TRUE(ClaimLeftRecoveries(folder).empty());
    StudyStore back;
    claimed[0]->Read(back);
    EXPECT_EQ(back.CellText(2, 2, 2), "7.5");
    claimed.clear();  // released, not removed: offered at a later start
    claimed = ClaimLeftRecoveries(folder);
    ASSERT_EQ(claimed.size(), 1u);
    claimed[0]->Remove();
    claimed.clear();
    EXPECT_EQ(Names(folder), (std::set<std::string>{"pmorvane-1.dat", "pmorvane-1.lock"}));

    // A free lock is enough, whatever process has the id now: another's
    // (after a power cut) or the killed program's own, not yet waited for.
    // An empty copy, made by a program that ended before its first write, is
    // removed with its lock.
    testing::WriteBytes(folder + "/pmorvane-1-3.dat", "1\r\n");
    testing::WriteBytes(folder + "/pmorvane-1-4.dat", "");
    claimed = ClaimLeftRecoveries(folder);
    ASSERT_EQ(claimed.size(), 1u);
    EXPECT_EQ(claimed[0]->Path(), folder + "/pmorvane-1-3.dat");
    claimed[0]->Remove();
    claimed.clear();
    EXPECT_EQ(Names(folder), (std::set<std::string>{"pmorvane-1.dat", "pmorvane-1.lock"}));
    const pid_t zombie = ::fork();
    if (zombie == 0) {
        RecoveryFile file(folder, static_cast<long>(::getpid()));
        file.Keep(crashed, nullptr);
        ::kill(::getpid(), SIGKILL);
    }
    siginfo_t ended{};
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(zombie), &ended, WEXITED | WNOWAIT), 0);  // left a zombie
    claimed = ClaimLeftRecoveries(folder);
    ASSERT_EQ(claimed.size(), 1u);
    EXPECT_EQ(claimed[0]->Pid(), zombie);
    claimed[0]->Remove();
    claimed.clear();
    ::waitpid(zombie, nullptr, 0);

    // A copy left under this process's own id, by an earlier process: claimed,
    // and this program's own copy takes the next name.
    const long again = KeepAndCrash(folder, crashed);
    std::filesystem::rename(folder + "/pmorvane-" + std::to_string(again) + ".dat",
                            folder + "/pmorvane-" + std::to_string(self) + ".dat");
    std::filesystem::rename(folder + "/pmorvane-" + std::to_string(again) + ".lock",
                            folder + "/pmorvane-" + std::to_string(self) + ".lock");
    RecoveryFile own(folder, self);
    own.Keep(mine, nullptr);
    EXPECT_EQ(own.Path(), folder + "/pmorvane-" + std::to_string(self) + "-1.dat");
    claimed = ClaimLeftRecoveries(folder);
    ASSERT_EQ(claimed.size(), 1u);
    EXPECT_EQ(claimed[0]->Path(), folder + "/pmorvane-" + std::to_string(self) + ".dat");

    // Other names are no copies; a missing folder holds none.
    testing::WriteBytes(folder + "/pmorvane-x.dat", "1\r\n");
    testing::WriteBytes(folder + "/.pmorvane-9.dat.pmorvane-9.tmp", "");
    claimed.clear();
    EXPECT_EQ(ClaimLeftRecoveries(folder).size(), 1u);
    EXPECT_TRUE(ClaimLeftRecoveries(dir.File("none")).empty());
}

}  // namespace
}  // namespace morvane
