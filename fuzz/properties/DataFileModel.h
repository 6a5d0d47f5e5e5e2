#pragma once
// A second reading of the data file, straight from its bytes in memory and
// written from the format's definition alone: the oracle against which
// ReadDataFile is checked, and the writer of the bytes that WriteDataFile must
// produce for the same study.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::properties {

enum class ReadOutcome { Read, NotANumber, RangeCheck, OutOfMemory, TooFewLevels };

const char* OutcomeName(ReadOutcome outcome);

struct ModelStudy {
    ReadOutcome outcome = ReadOutcome::Read;
    int countsRead = 0;  // how many of N, na, nb were read before the outcome
    std::int32_t n = 0, na = 0, nb = 0;
    std::size_t left = 0;             // the bytes after the three counts' lines
    std::vector<std::string> namesA;  // levels 1 to na, when the study was read
    std::vector<std::string> namesB;  // levels 1 to nb
    std::vector<std::string> scores;  // N·na·nb texts in file order: A, then B, then the subject

    // The text of subject s under levels a and b (all from 1).
    const std::string& Score(std::int32_t s, std::int32_t a, std::int32_t b) const;
};

// Reads `bytes` as a data file. An array of more than `memoryBudget` bytes (its
// elements counted at the size of the store's element type) fails with
// OutOfMemory, as the store's sizing does.
ModelStudy ReadModel(std::string_view bytes, std::uint64_t memoryBudget);

// The bytes of a read study written as a data file.
std::string WriteModel(const ModelStudy& study);

}  // namespace morvane::properties
