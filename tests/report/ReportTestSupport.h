#pragma once
// Studies built in memory and results files split into lines, for the tests of
// the report and the calculate command.

#include <string>
#include <vector>

#include "store/StudyStore.h"

namespace morvane::testing {

// A study of n subjects with the given level names; the score texts are taken
// in the order subject, level of A, level of B, repeating `scores` as needed.
inline StudyStore MakeStudy(int n, const std::vector<std::string>& namesA, const std::vector<std::string>& namesB,
                            const std::vector<std::string>& scores) {
    StudyStore store;
    StartNewStudy(store, namesA, namesB, std::to_string(n));
    SizeCellValue(store);
    std::size_t k = 0;
    for (int s = 1; s <= n; ++s)
        for (int a = 1; a <= store.LevelCountA; ++a)
            for (int b = 1; b <= store.LevelCountB; ++b) store.CellText(s, a, b) = scores[k++ % scores.size()];
    return store;
}

// The lines of a file, each without its CR LF; a final CR LF ends the last
// line, and text after it would show as one more line.
inline std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start) + "<no line end>");
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace morvane::testing
