#pragma once
// The printed listing of the score tables: two blank lines, the title
// "被験者内要因：Ａ、Ｂ" and a blank line, then for every level of A a blank line,
// the heading "要因Ａ＜name＞", the row of the names of B after an empty corner,
// and one row per subject: its number and its score texts as stored. Every entry
// of a row is one field, right-justified in 10 bytes (longer texts whole), and
// is handed to the device by itself. That is 4 + na x (3 + N) lines.

#include <string>
#include <vector>

#include "listing/ListingPrinter.h"
#include "listing/TextDevice.h"
#include "store/StudyStore.h"

namespace morvane {

class PrinterTextDevice;

// The font of the printed listing: "ＭＳ 明朝", 16 points.
const std::string& ListingFontName();
constexpr int kListingFontPoints = 16;

// Writes the listing's lines to `device`, field by field. A store whose arrays
// are smaller than its counts say (a released study) raises RangeError before
// anything is written.
void WriteListing(const StudyStore& store, TextDevice& device);

// The listing's lines, without line ends.
std::vector<std::string> ListingLines(const StudyStore& store);

// Writes the listing's lines to the text file at `path` ("" for standard
// output), each ending in CR LF; throws InOutError.
void WriteListingFile(const StudyStore& store, const std::string& path);

// The print command after the write-back: opens a job on `printer`, selects the
// listing's font, writes the listing and closes the job so that it is printed.
// On any failure no job is left open.
void PrintListing(const StudyStore& store, PrinterTextDevice& printer);
// The same, telling `progress` of every line; false when it stopped the job,
// which is then aborted so that nothing is printed.
bool PrintListing(const StudyStore& store, PrinterTextDevice& printer, PrintProgress& progress);

// The number of lines of the listing: 4 + na x (3 + N).
std::int64_t ListingLineCount(const StudyStore& store);

}  // namespace morvane
