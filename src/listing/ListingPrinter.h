#pragma once
// What prints the score listing of a study to its end: the data window's print
// command asks it, the default printer (print/) and the tests' recorder answer.

namespace morvane {

struct StudyStore;

class ListingPrinter {
public:
    virtual ~ListingPrinter() = default;
    // Prints the score listing of `store` on the default printer, to its end;
    // throws PrinterError (or InOutError) on failure, leaving no job open.
    virtual void Print(const StudyStore& store) = 0;
};

}  // namespace morvane
