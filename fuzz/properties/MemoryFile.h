#pragma once
// A file that lives in memory (memfd) but has a path, so that the core's file
// operations read and write it as they would a file on disk, with no disk I/O
// and nothing to clean up.

#include <string>
#include <string_view>

namespace morvane::properties {

class MemoryFile {
public:
    MemoryFile();
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // The path under /proc/self/fd through which the core opens the file.
    const std::string& Path() const { return path_; }
    // Replaces the whole content.
    void Set(std::string_view bytes);
    std::string Get() const;

private:
    int fd_;
    std::string path_;
};

}  // namespace morvane::properties
