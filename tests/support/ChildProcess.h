#pragma once
// Code or a program (the morvane tool, say) run in a child process: under limits that would harm
// the test process itself (address space, open files, file size), with signals
// ignored, or in a mount namespace of its own.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace morvane::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

struct ChildResult {
    int exitCode = -1;  // -1 when the child was killed
    int signal = 0;     // the signal that killed it
    std::string out, err;
};

// Reads everything from `fd` and closes it.
inline std::string ReadAll(int fd) {
    std::string bytes;
    char chunk[4096];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

inline ChildResult Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ChildResult result;
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

// Runs `body` in a forked child and returns, as `out`, the text it returned (or
// "exception: ..." for an exception that escaped it). The child ends with _exit,
// so nothing of the test runs twice.
inline ChildResult RunInChild(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::close(pipeFds[0]);
        std::string report;
        try {
            report = body();
        } catch (const std::exception& error) {
            report = std::string("exception: ") + error.what();
        }
        const char* data = report.data();
        std::size_t left = report.size();
        while (left > 0) {
            ssize_t n = ::write(pipeFds[1], data, left);
            if (n <= 0) break;
            data += n;
            left -= static_cast<std::size_t>(n);
        }
        _exit(0);
    }
    ::close(pipeFds[1]);
    std::string out = ReadAll(pipeFds[0]);
    ChildResult result = Wait(pid);
    result.out = std::move(out);
    return result;
}

// Sets the soft limit of `resource` (the hard limit stays); for use in a child.
inline void SetSoftLimit(int resource, rlim_t value) {
    rlimit limit{};
    getrlimit(resource, &limit);
    limit.rlim_cur = value;
    if (setrlimit(resource, &limit) != 0)
        throw std::runtime_error(std::string("setrlimit: ") + std::strerror(errno));
}

// The bytes of address space the process has mapped now.
inline rlim_t AddressSpaceInUse() {
    std::string statm = ReadBytes("/proc/self/statm");
    return static_cast<rlim_t>(std::stoull(statm)) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

struct ToolOptions {
    std::string input = "/dev/null";  // the tool's standard input
    // Runs in the child after the redirections, just before the tool starts:
    // limits, ignored signals (both survive the exec), other standard streams.
    std::function<void()> beforeExec;
};

// Runs the program at `path` with `args`, its standard output and error captured.
inline ChildResult RunProgram(const std::string& path, const std::vector<std::string>& args,
                              const ToolOptions& options = {}) {
    TempDir dir;
    const std::string outPath = dir.File("out"), errPath = dir.File("err");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int in = ::open(options.input.c_str(), O_RDONLY);
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        ::close(in);
        ::close(out);
        ::close(err);
        try {
            if (options.beforeExec) options.beforeExec();
        } catch (const std::exception&) {
            _exit(125);
        }
        std::vector<std::string> words{path};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    ChildResult result = Wait(pid);
    result.out = ReadBytes(outPath);
    result.err = ReadBytes(errPath);
    return result;
}

}  // namespace morvane::testing
