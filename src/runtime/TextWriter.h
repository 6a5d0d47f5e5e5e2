#pragma once
// A buffered text file opened for writing; every line ends with CR LF. The empty
// name writes to the process's standard output, when it is usable (code 105
// otherwise). A writer that is destroyed without Close (after an error) still
// writes out what it holds and closes the file.

#include <string>
#include <string_view>

namespace morvane {

class TextWriter {
public:
    // Creates the file, or empties an existing one; throws InOutError.
    explicit TextWriter(const std::string& path);
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    void Write(std::string_view text);
    void EndLine();
    void WriteLine(std::string_view text) {
        Write(text);
        EndLine();
    }
    // Writes out what is buffered and closes the file; throws InOutError.
    void Close();

private:
    void Flush();

    std::string path_;
    int fd_ = -1;
    bool ownsFd_ = false;
    bool open_ = false;
    std::string buffer_;
};

}  // namespace morvane
