#pragma once
// The CSV commands on files: a study's data file out to CSV and a CSV in to a
// data file. The empty name is the process's standard input or output.

#include <functional>
#include <memory>
#include <string>

#include "exchange/StudyCsv.h"

namespace morvane {

// Reads the data file as Load does and writes its CSV. Nothing is written when
// the study cannot be read or its texts cannot be converted. The notices of
// WriteStudyCsv go to `notice` once the CSV is written.
void ExportCsv(const std::string& dataFile, const std::string& csvFile, CsvLayout layout,
               const CsvNotice& notice = {});

// Reads the CSV and writes its study as Save writes a data file. Everything is
// read and checked before the data file is written, and the data file is
// replaced only once it is complete: on any failure an existing file keeps its
// bytes and a new one is not left behind.
void ImportCsv(const std::string& csvFile, const std::string& dataFile, const CsvImportOptions& options);

// The bytes of a file read whole.
// Judges the start of a file as soon as it has been read: its first line
// (its bytes up to the first line end after any content, that end included),
// or its first block when a NUL comes before any line end. Throws to refuse
// the file before more of it is read.
using HeadCheck = std::function<void(std::string_view head)>;

class FileBytes {
public:
    FileBytes() = default;
    std::string_view View() const { return {bytes_.get(), size_}; }

private:
    friend FileBytes ReadWholeFile(const std::string& path, const HeadCheck& judgeHead, bool csvText);
    std::unique_ptr<char[]> bytes_;  // not set to zero first: the file fills them
    std::size_t size_ = 0;
};

// The whole file at `path` (standard input for the empty name); InOutError
// as the data file's reader gives it, 106 among them for a line (ended by CR or
// LF), or a run of nothing but line ends, longer than TextReader's LongestLine
// allows, before more of it is read. Its memory grows within the memory
// budget, with room for three times its bytes (the text and what is made of
// it). `judgeHead`, when given, judges its start before more is read.
// With `csvText` the bytes are a CSV's: a run of NUL bytes longer than any
// text holds (a binary or sparse file, a text padded with NULs) is refused
// with a CsvError naming its line as soon as its block is read, and an input that outgrows the memory budget (an
// endless pipe) with a CsvError saying how much of it was read.
FileBytes ReadWholeFile(const std::string& path, const HeadCheck& judgeHead = {}, bool csvText = false);

}  // namespace morvane
