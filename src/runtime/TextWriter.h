#pragma once
// A buffered text file opened for writing; every line ends with CR LF. The empty
// name writes to the process's standard output, when it is usable (code 105
// otherwise).
//
// A named file is written as a FileReplacement: a regular file keeps its old
// bytes until Close has put the whole new file on the disk in its place, and
// a writer that stops in any other way (CloseAfterError, the destructor)
// removes what it wrote and leaves the old file as it was.
//
// The buffer holds up to 64 KiB, so a write that fails may show only when the
// buffer is written out, long after the line was handed over; a file longer
// than that is written by a thread of the writer's own, a buffer at a time,
// while the next buffer fills, and a failure shows when a later buffer or the
// close is handed over. The first failure
// is the one reported: once a write has failed, every later call throws that
// same error, and a file closed on the path of another error (WriteTextFile,
// CloseAfterError) throws the failure of writing out what it held, since that
// text was written before the other error arose.

#include <memory>
#include <string>
#include <string_view>

#include "runtime/Errors.h"
#include "runtime/FileReplacement.h"
#include "runtime/IoCodes.h"

namespace morvane {

class TextWriter {
public:
    // Opens the file to write (see FileReplacement); throws InOutError.
    explicit TextWriter(const std::string& path);
    // A writer still open here (its user stopped without closing it) removes
    // what it wrote to a named file, which keeps its old bytes, and writes out
    // what it holds to the standard output; it can report no failure: every
    // command of the program closes its files through Close or WriteTextFile.
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    void Write(std::string_view text);
    void EndLine();
    void WriteLine(std::string_view text) {
        Write(text);
        EndLine();
    }
    // WriteLine of a text of `size` bytes that fill(out) lays out at `out`,
    // straight into the buffer when it fits there.
    template <typename Fill>
    void WriteLineWith(std::size_t size, Fill&& fill);
    // Writes out what is buffered and closes the file, which then takes the
    // place of the old one; throws InOutError, the writer's first failure if
    // it had one before, and the old file then stays.
    void Close();
    // Close on the path of an error that stops the command: writes out what is
    // buffered, so that a failure of the text written before the error shows,
    // then removes the unfinished file (the old one stays) or, on the
    // standard output, leaves what was written there. Throws the InOutError
    // of that write, which came first; returns quietly when the writer had
    // already failed, since that failure, already thrown, is the first.
    void CloseAfterError();

private:
    static constexpr std::size_t kBufferSize = 1 << 16;
    // The buffers of a long file, fewer hand-overs between the threads.
    static constexpr std::size_t kLongBufferSize = 1 << 19;

    // Hands the buffer on to be written (throws the writer's first failure).
    void Flush();
    // Writes out what is buffered, and waits for what was handed on; false
    // when the writer has failed (failure_ then holds the first failure).
    bool WriteOut();
    // How a writer ends: its file put in place, its text written out before the
    // file is removed, or the file removed at once.
    enum class Ending { Keep, AfterError, Discard };
    void Finish(Ending ending);  // keeps the first failure

    // A file longer than a buffer is written by a thread of its own, a buffer
    // at a time, while the next one fills.
    class Background;
    std::unique_ptr<Background> background_;

    std::string path_;
    std::unique_ptr<FileReplacement> file_;  // none for the standard output
    int fd_ = -1;
    bool open_ = false;
    io::IoCode failure_;  // the first failed write or close
    std::unique_ptr<char[]> buffer_;  // capacity_ bytes, used_ of them taken
    std::size_t capacity_ = kBufferSize;
    std::size_t used_ = 0;
};

template <typename Fill>
void TextWriter::WriteLineWith(std::size_t size, Fill&& fill) {
    if (size + 2 >= kBufferSize) {
        std::string line(size, ' ');
        fill(line.data());
        WriteLine(line);
        return;
    }
    if (failure_.failed()) throw InOutError(failure_);
    if (used_ + size + 2 > capacity_) Flush();
    char* out = buffer_.get() + used_;
    fill(out);
    out[size] = '\r';
    out[size + 1] = '\n';
    used_ += size + 2;
}

// Opens the file at `path`, runs `write` on it and closes it, putting it in
// place. When `write` throws, the unfinished file is removed (the old one
// stays), and a failure to write out what it held takes the place of that
// error, having come before it.
template <typename Write>
void WriteTextFile(const std::string& path, Write&& write) {
    TextWriter file(path);
    try {
        write(file);
    } catch (...) {
        file.CloseAfterError();
        throw;
    }
    file.Close();
}

}  // namespace morvane
