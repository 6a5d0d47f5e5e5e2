#pragma once
// The commands of the morvane tool. Each throws the core's errors; main shows them.

#include <string>

namespace morvane::tool {

struct Settings {
    char decimalSeparator = '.';
};

// Reads DATAFILE and writes the same study to NEWFILE ("" for standard output).
void Copy(const std::string& dataFile, const std::string& newFile);

// Reads DATAFILE, parses every score and prints the eight sums of squares.
void Sums(const std::string& dataFile, const Settings& settings);

// Reads DATAFILE and runs the calculate command on it, writing the results file
// to RESULTSFILE ("" for standard output); true when the file's summary table
// is not all exact.
bool Report(const std::string& dataFile, const std::string& resultsFile, const Settings& settings);

// Reads DATAFILE and writes the lines of its printed listing to OUT ("" for
// standard output).
void Listing(const std::string& dataFile, const std::string& out);

}  // namespace morvane::tool
