#pragma once
// What prints the score listing of a study to its end: the data window's print
// command asks it, the default printer (print/) and the tests' recorder answer.
// A long listing reports its progress as it goes, and can be stopped there.

#include <cstdint>

namespace morvane {

struct StudyStore;

class PrintProgress {
public:
    virtual ~PrintProgress() = default;
    // Called after each line of the listing: `lines` of `totalLines` are
    // written and the job is on page `page`. False stops the job.
    virtual bool Continue(std::int64_t lines, std::int64_t totalLines, int page) = 0;
};

// Progress nobody watches: the job always goes on.
class NoPrintProgress final : public PrintProgress {
public:
    bool Continue(std::int64_t, std::int64_t, int) override { return true; }
};

class ListingPrinter {
public:
    virtual ~ListingPrinter() = default;
    // Prints the score listing of `store` on the default printer, to its end;
    // throws PrinterError (or InOutError) on failure, leaving no job open.
    // False when `progress` stopped it: the job was aborted, nothing printed.
    virtual bool Print(const StudyStore& store, PrintProgress& progress) = 0;
};

}  // namespace morvane
