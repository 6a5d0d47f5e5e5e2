#pragma once
// The data file: one study as text lines ending in CR LF: N, na, nb, the names
// of the levels of A, those of B, then every score text with the level of A
// outermost, the level of B next and the subject innermost.

#include <functional>
#include <string>

#include "store/StudyStore.h"

namespace morvane {

class ReadProgress;

// A change made to the study between the creation of the file and its first
// line: the Save command's write-back of the shown grid.
using WriteBack = std::function<void(StudyStore&)>;

// Creates (or empties) the file at `path`, then runs `writeBack` on the store,
// then writes the study and closes the file. Throws InOutError; a file that
// cannot be created leaves the store as it was, since `writeBack` has not run.
// Any allocation that fails, here and in the readers below, gives
// OutOfMemoryError.
// A text holding a CR or LF cannot be written as one line: such a study is
// refused with LineEndInTextError before the file is created (nothing touched,
// `writeBack` not run), or, when the write-back brought the text, after it and
// before the first line, leaving the file empty, which Load refuses, rather
// than written with shifted lines, which would load as another study.
void WriteDataFile(StudyStore& store, const std::string& path, const WriteBack& writeBack);
// The same without a change: the study written as it is.
void WriteDataFile(const StudyStore& store, const std::string& path);
// The bytes WriteDataFile writes of the study as it is, in memory. Throws
// LineEndInTextError, OutOfMemoryError.
std::string DataFileBytesOf(const StudyStore& store);

// Fills the store's counts, level names and score texts from the file at `path`
// (CellValue and the tab level are not touched). Throws InOutError, or the
// RangeError and OutOfMemoryError of the sizing (or of a line longer than the
// memory left); the store then holds what was read and sized up to the failure.
// A line longer than the file could hold (TextReader's LongestLine: an endless
// device or pipe) is refused as a count that does not convert is (106).
// A file that ends early is read all the same, what it lacks empty; returns how
// many of the N·na·nb score texts it ended before (0 for a complete file).
std::int64_t ReadDataFile(StudyStore& store, const std::string& path);

// What a load tells beside the study.
struct LoadNotes {
    // The file goes on after the last score its counts ask for: that content
    // is not read, and a save does not keep it.
    bool trailingContent = false;
};

// ReadDataFile as the Load command uses it: a file with fewer than one level of
// A or of B is refused ("要因の水準数が 1 未満です") once its counts are read;
// before them, from its first block, a file whose first line ends in CR alone
// (LineEndsNotRecognised) and one of NUL and blank bytes alone (NotADataFile);
// and counts that ask for more scores than the file has bytes, and more
// memory than there is, give FileEndsEarly rather than OutOfMemoryError.
std::int64_t LoadStudyFile(StudyStore& store, const std::string& path);
std::int64_t LoadStudyFile(StudyStore& store, const std::string& path, LoadNotes& notes);
// LoadStudyFile telling `progress` of every block read; when it says stop, the
// load ends with ReadStopped.
std::int64_t LoadStudyFile(StudyStore& store, const std::string& path, ReadProgress& progress);
std::int64_t LoadStudyFile(StudyStore& store, const std::string& path, ReadProgress& progress,
                           LoadNotes& notes);

}  // namespace morvane
