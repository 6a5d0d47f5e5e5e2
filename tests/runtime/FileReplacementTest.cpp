// Saves that cannot destroy the old file: the new file beside it, put in its
// place only whole; what it keeps of the old one (permission bits, owner), how
// it follows links, what it writes in place, and the leftovers of processes
// that were killed.

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/FileReplacement.h"
#include "runtime/TextWriter.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::RunInChild;
using testing::TempDir;
using testing::WriteBytes;

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// "ok", or the code of the InOutError (or the message of another error).
std::string Save(const std::string& path, const std::string& text) {
    try {
        WriteTextFile(path, [&](TextWriter& file) { file.Write(text); });
        return "ok";
    } catch (const InOutError& error) {
        return std::to_string(error.code());
    } catch (const Error& error) {
        return Utf8FromCp932(error.message());
    }
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

std::string TemporaryOf(const std::string& name, int k = 0) {
    return "." + name + ".pmorvane-" + std::to_string(::getpid()) + (k > 0 ? "-" + std::to_string(k) : "") +
           ".tmp";
}

TEST(FileReplacement, TheOldFileStaysUntilTheNewOneIsWhole) {
    TempDir dir;
    const std::string file = dir.File("f.dat");
    WriteBytes(file, "old");
    {
        TextWriter writer(file);
        writer.WriteLine(std::string(300000, 'n'));  // past the first buffer: the writer's thread at work
        EXPECT_EQ(ReadBytes(file), "old");
        EXPECT_EQ(Names(dir.Path()), Sorted({TemporaryOf("f.dat"), "f.dat"}));
        // A second save of the same file meanwhile takes another name; the last closed wins.
        TextWriter second(file);
        EXPECT_EQ(Names(dir.Path()), Sorted({TemporaryOf("f.dat"), TemporaryOf("f.dat", 1), "f.dat"}));
        second.WriteLine("second");
        second.Close();
        EXPECT_EQ(ReadBytes(file), "second\r\n");
        writer.Close();
    }
    EXPECT_EQ(ReadBytes(file), std::string(300000, 'n') + "\r\n");
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"f.dat"});

    // Every way of stopping short leaves the old file and nothing else: an
    // error in the middle (with megabytes handed to the thread), a writer
    // destroyed unclosed, and the same for a file that did not exist.
    for (const std::string& name : {std::string("f.dat"), std::string("new.dat")}) {
        const std::string path = dir.File(name);
        EXPECT_THROW(WriteTextFile(path,
                                   [](TextWriter& writer) {
                                       for (int i = 0; i < 400000; ++i) writer.WriteLine("half");
                                       throw InvalidOperationError();
                                   }),
                     InvalidOperationError);
        {
            TextWriter unclosed(path);
            unclosed.WriteLine("unclosed");
        }
        EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"f.dat"}) << name;
    }
    EXPECT_EQ(ReadBytes(file), std::string(300000, 'n') + "\r\n");

    // A name as long as a name may be: the new file's name is cut to fit.
    const std::string longest = dir.File(std::string(255, 'L'));
    EXPECT_EQ(Save(longest, "long"), "ok");
    EXPECT_EQ(ReadBytes(longest), "long");
    EXPECT_EQ(Names(dir.Path()).size(), 2u);
}

TEST(FileReplacement, KeepsPermissionBitsAndOwnerAndFollowsLinks) {
    TempDir dir;
    const std::string file = dir.File("f.dat");
    for (const mode_t mode : std::initializer_list<mode_t>{0600, 0640, 0604, 0755, 02664}) {
        WriteBytes(file, "old");
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        EXPECT_EQ(Save(file, "new"), "ok");
        EXPECT_EQ(ReadBytes(file), "new");
        EXPECT_EQ(ModeOf(file), mode) << std::oct << mode;
    }
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
        EXPECT_EQ(Save(file, "owned"), "ok");
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
        EXPECT_EQ(info.st_mode & 07777, 02664u);
    }

    // Links, absolute and relative and in a chain: the file at their end is
    // replaced and keeps its bits; the links stay links.
    fs::create_directory(dir.File("sub"));
    const std::string inner = dir.File("sub/inner.dat");
    WriteBytes(inner, "inner");
    ::chmod(inner.c_str(), 0640);
    fs::create_symlink("inner.dat", dir.File("sub/near"));
    fs::create_symlink("sub/near", dir.File("chain"));
    fs::create_symlink(inner, dir.File("absolute"));
    EXPECT_EQ(Save(dir.File("chain"), "through the chain"), "ok");
    EXPECT_EQ(ReadBytes(inner), "through the chain");
    EXPECT_EQ(Save(dir.File("absolute"), "through the absolute link"), "ok");
    EXPECT_EQ(ReadBytes(inner), "through the absolute link");
    EXPECT_TRUE(fs::is_symlink(dir.File("chain")) && fs::is_symlink(dir.File("sub/near")) &&
                fs::is_symlink(dir.File("absolute")));
    EXPECT_EQ(ModeOf(inner), 0640u);
    EXPECT_EQ(Names(dir.File("sub")), (std::vector<std::string>{"inner.dat", "near"}));

    // A link that leads nowhere yet: the file it names is created, as opening
    // it would; into a folder that is missing: what opening it gives.
    fs::create_symlink("sub/made.dat", dir.File("dangling"));
    EXPECT_EQ(Save(dir.File("dangling"), "made"), "ok");
    EXPECT_TRUE(fs::is_symlink(dir.File("dangling")));
    EXPECT_EQ(ReadBytes(dir.File("sub/made.dat")), "made");
    fs::create_symlink("nowhere/x.dat", dir.File("lost"));
    EXPECT_EQ(Save(dir.File("lost"), "x"), "2");
    fs::create_symlink("loop", dir.File("loop"));
    EXPECT_EQ(Save(dir.File("loop"), "x"), "3");

    // A hard link: the name saved gets the new file, the other keeps the old.
    ASSERT_EQ(::link(inner.c_str(), dir.File("hard").c_str()), 0);
    EXPECT_EQ(Save(inner, "after the link"), "ok");
    EXPECT_EQ(ReadBytes(dir.File("hard")), "through the absolute link");

    // Devices are written in place (nothing is made in /dev); names that
    // cannot be written give the codes of writing them in place.
    EXPECT_EQ(Save("/dev/null", "gone"), "ok");
    EXPECT_EQ(Save("/dev/full", "x"), "101");
    EXPECT_EQ(Save(dir.File("none/x.dat"), "x"), "3");
    EXPECT_EQ(Save(dir.File("sub"), "x"), "5");
    EXPECT_EQ(Save(inner + "/x.dat", "x"), "3");
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"absolute", "chain", "dangling", "f.dat", "hard",
                                                           "loop", "lost", "sub"}));
}

// As a user without root's rights: a file that may not be written is
// refused, a folder that takes no new file has its file written in place,
// and someone else's link in a shared folder is not followed.
TEST(FileReplacement, WithoutRootsRights) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to become another user";
    TempDir dir;
    const uid_t nobody = 65534;
    const std::string mine = dir.File("mine"), locked = dir.File("locked"), shared = dir.File("shared");
    for (const auto& [folder, owner, mode] :
         {std::tuple{mine, nobody, 0755}, {locked, 0u, 0755}, {shared, 0u, 01777}}) {
        fs::create_directory(folder);
        ASSERT_EQ(::chown(folder.c_str(), owner, owner), 0);
        ASSERT_EQ(::chmod(folder.c_str(), static_cast<mode_t>(mode)), 0);
    }
    ::chmod(dir.Path().c_str(), 0755);
    auto made = [&](const std::string& path, uid_t owner, mode_t mode) {
        WriteBytes(path, "old");
        ASSERT_EQ(::chown(path.c_str(), owner, owner), 0);
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    };
    made(mine + "/ro.dat", nobody, 0444);
    made(mine + "/target.dat", nobody, 0644);
    made(locked + "/open.dat", nobody, 0644);
    made(shared + "/roots.dat", 0, 0666);
    // A link of a third user's, neither the folder's owner nor the one saving.
    fs::create_symlink(mine + "/target.dat", shared + "/others-link");
    ASSERT_EQ(::lchown((shared + "/others-link").c_str(), 65533, 65533), 0);
    fs::create_symlink(mine + "/target.dat", shared + "/own-link");
    ASSERT_EQ(::lchown((shared + "/own-link").c_str(), nobody, nobody), 0);
    // Links to the folder, the third user's and the user's own; and a link of
    // the user's that leads through the third user's folder link.
    fs::create_directory_symlink(mine, shared + "/others-folder");
    ASSERT_EQ(::lchown((shared + "/others-folder").c_str(), 65533, 65533), 0);
    fs::create_directory_symlink(mine, shared + "/own-folder");
    ASSERT_EQ(::lchown((shared + "/own-folder").c_str(), nobody, nobody), 0);
    fs::create_symlink("../shared/others-folder/new.dat", mine + "/through");
    ASSERT_EQ(::lchown((mine + "/through").c_str(), nobody, nobody), 0);

    const testing::ChildResult child = RunInChild([&]() -> std::string {
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            return "setuid refused";
        std::string report;
        // Saved first, then read back: the operands of + come in no set order.
        auto saved = [&](const char* label, const std::string& path, const std::string& shows) {
            const std::string outcome = Save(path, "new");
            report +=
                std::string(report.empty() ? "" : ", ") + label + " " + outcome + " " + ReadBytes(shows);
        };
        saved("ro", mine + "/ro.dat", mine + "/ro.dat");
        saved("locked", locked + "/open.dat", locked + "/open.dat");
        saved("others-link", shared + "/others-link", mine + "/target.dat");
        saved("own-link", shared + "/own-link", mine + "/target.dat");
        saved("others-folder", shared + "/others-folder/target.dat", mine + "/target.dat");
        saved("others-folder new", shared + "/./others-folder/../others-folder/new.dat", mine + "/new.dat");
        saved("through", mine + "/through", mine + "/new.dat");
        saved("own-folder", shared + "/own-folder/target.dat", mine + "/target.dat");
        // Root's file in the shared folder cannot be renamed over: it is
        // written in place, as far as opening it in place goes.
        const int probe = ::open((shared + "/roots.dat").c_str(), O_WRONLY | O_APPEND);
        const std::string inPlace = probe >= 0 ? "ok" : "5";
        if (probe >= 0) ::close(probe);
        report += ", roots.dat " +
                  std::string(Save(shared + "/roots.dat", "new") == inPlace ? "as in place" : "other");
        return report;
    });
    EXPECT_EQ(child.out,
              "ro 5 old, locked ok new, others-link 5 old, own-link ok new, others-folder 5 new, "
              "others-folder new 5 , through 5 , own-folder ok new, roots.dat as in place");
    // Root, whom another user would lead onto a file of anyone's, is held back too.
    EXPECT_EQ(Save(shared + "/others-folder/target.dat", "root's"), "5");
    EXPECT_EQ(Save(shared + "/others-folder/made.dat", "root's"), "5");
    EXPECT_EQ(ReadBytes(mine + "/target.dat"), "new");
    EXPECT_EQ(Names(mine), (std::vector<std::string>{"ro.dat", "target.dat", "through"}));
    EXPECT_EQ(Names(locked), std::vector<std::string>{"open.dat"});
    EXPECT_EQ(Names(shared), (std::vector<std::string>{"others-folder", "others-link", "own-folder",
                                                       "own-link", "roots.dat"}));
}

// Root does not write through another user's folder that others may write to
// (nor anything beneath it); anyone's FIFO or device in a shared folder is
// refused at once unless it is the user's or the folder owner's; a pipe the
// user opened stays an output.
TEST(FileReplacement, RootsSavesAndOtherUsersSpecialFiles) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to give files to other users";
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);
    const std::string open = dir.File("open"), closed = dir.File("closed"), shared = dir.File("shared");
    for (const auto& [folder, owner, mode] :
         {std::tuple{open, 65533u, 0777}, {closed, 65533u, 0755}, {shared, 0u, 01777}}) {
        fs::create_directory(folder);
        ASSERT_EQ(::chown(folder.c_str(), owner, owner), 0);
        ASSERT_EQ(::chmod(folder.c_str(), static_cast<mode_t>(mode)), 0);
    }
    fs::create_directory(open + "/sub");
    ASSERT_EQ(::mkfifo((shared + "/others-fifo").c_str(), 0666), 0);
    ASSERT_EQ(::chown((shared + "/others-fifo").c_str(), 65533, 65533), 0);
    const bool device = ::mknod((shared + "/others-device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    if (device) {
        ASSERT_EQ(::chown((shared + "/others-device").c_str(), 65533, 65533), 0);
    }
    fs::create_symlink(shared + "/others-fifo", dir.File("to-fifo"));

    EXPECT_EQ(Save(open + "/new.dat", "root's"), "5");
    EXPECT_EQ(Save(open + "/sub/new.dat", "root's"), "5");
    EXPECT_EQ(Save(closed + "/new.dat", "root's"), "ok");
    EXPECT_EQ(Names(open), std::vector<std::string>{"sub"});
    // Without a reader, the FIFO would hold the save up for good.
    EXPECT_EQ(Save(shared + "/others-fifo", "root's"), "5");
    EXPECT_EQ(Save(dir.File("to-fifo"), "root's"), "5");
    if (device) {
        EXPECT_EQ(Save(shared + "/others-device", "root's"), "5");
    }
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    EXPECT_EQ(Save("/dev/fd/" + std::to_string(ends[1]), "piped"), "ok");
    ::close(ends[1]);
    char got[16] = {};
    EXPECT_EQ(::read(ends[0], got, sizeof got), 5);
    ::close(ends[0]);
    EXPECT_EQ(std::string(got), "piped");
}

// Someone who plants every numbered name of this process's new file (here as
// folders, which no save removes) cannot make a save fail.
TEST(FileReplacement, PlantedNamesNeverStopASave) {
    TempDir dir;
    for (int k = 0; k < 1000; ++k) fs::create_directory(dir.File(TemporaryOf("t.dat", k)));
    WriteBytes(dir.File("t.dat"), "old");
    EXPECT_EQ(Save(dir.File("t.dat"), "new"), "ok");
    EXPECT_EQ(ReadBytes(dir.File("t.dat")), "new");
    EXPECT_EQ(Names(dir.Path()).size(), 1001u);
}

// The id of a process that has ended and been waited for.
pid_t EndedProcess() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return pid;
}

TEST(FileReplacement, LeftoversOfProcessesThatAreGoneAreRemoved) {
    long pid = 0;
    const std::pair<const char*, long> names[] = {
        {".f.dat.pmorvane-123.tmp", 123},
        {".f.dat.pmorvane-123-45.tmp", 123},
        {"..pmorvane-7.tmp", 7},
        {".a.pmorvane-1.pmorvane-9.tmp", 9},
        {"f.dat.pmorvane-123.tmp", 0},
        {".f.pmorvane-.tmp", 0},
        {".f.pmorvane-12x.tmp", 0},
        {".f.pmorvane-1-.tmp", 0},
        {".f.pmorvane-1-2345.tmp", 0},
        {".f.pmorvane-0.tmp", 0},
        {".f.pmorvane-99999999999.tmp", 0},
        {".pmorvane-5.tmp", 0},
        {".f.pmorvane-5.tmpx", 0},
    };
    for (const auto& [name, expected] : names) {
        pid = 0;
        EXPECT_EQ(IsReplacementName(name, pid), expected != 0) << name;
        EXPECT_EQ(pid, expected) << name;
    }

    TempDir dir;
    const pid_t ended = EndedProcess();
    const std::string self = std::to_string(::getpid()), gone = std::to_string(ended);
    // A process alive, but not locking its file (it might be in its first moment).
    int hold[2];
    ASSERT_EQ(::pipe(hold), 0);
    const pid_t alive = ::fork();
    if (alive == 0) {
        char c;
        ::close(hold[1]);
        while (::read(hold[0], &c, 1) < 0) {
        }
        ::_exit(0);
    }
    ::close(hold[0]);
    const std::vector<std::string> leftovers = {
        ".a.dat.pmorvane-" + gone + ".tmp", ".b.dat.pmorvane-" + gone + "-3.tmp",
        ".c.dat.pmorvane-" + self + "-7.tmp",  // this process's id, unlocked: an earlier process's
    };
    const std::vector<std::string> kept = {
        ".d.dat.pmorvane-" + self + "-8.tmp",                 // locked: being written here
        ".e.dat.pmorvane-" + std::to_string(alive) + ".tmp",  // its process is alive
        ".f.dat.pmorvane-x.tmp",
        "g.dat.pmorvane-" + gone + ".tmp",
        "other.dat",
    };
    for (const auto& name : leftovers) WriteBytes(dir.File(name), "left");
    for (const auto& name : kept) WriteBytes(dir.File(name), "kept");
    fs::create_directory(dir.File(".h.dat.pmorvane-" + gone + ".tmp"));  // not a file
    const int locked = ::open(dir.File(kept[0]).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(locked, LOCK_EX), 0);

    EXPECT_EQ(Save(dir.File("saved.dat"), "saved"), "ok");
    std::vector<std::string> expected = kept;
    expected.push_back("saved.dat");
    expected.push_back(".h.dat.pmorvane-" + gone + ".tmp");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(dir.Path()), expected);

    ::close(locked);
    ::close(hold[1]);
    ::waitpid(alive, nullptr, 0);
    // Once its process is gone and its lock free, the next save takes it too.
    EXPECT_EQ(Save(dir.File("saved.dat"), "again"), "ok");
    EXPECT_FALSE(fs::exists(dir.File(kept[1])));
    EXPECT_FALSE(fs::exists(dir.File(kept[0])));
}

}  // namespace
}  // namespace morvane
