#pragma once
// The properties of the data file, checked on any bytes: ReadDataFile and
// LoadStudyFile give what the model reading gives (the same outcome, the same
// counts stored, the same names and texts), and a study that was read is written
// back as the model writes it and reads back the same. A broken property throws
// Violation; anything else that escapes (std::bad_alloc, say) is a fault too.

#include <cstdint>
#include <string_view>

#include "properties/DataFileModel.h"

namespace morvane {
struct StudyStore;
}

namespace morvane::properties {

// The store's memory budget under fuzzing: small enough that a huge count fails
// with "メモリが足りません" at once instead of sizing arrays the size of the
// machine (and that each input runs fast), large enough for 2048 score texts.
inline constexpr std::uint64_t kFuzzMemoryBudget = 1 << 16;

// Runs every check on `bytes` with the store's memory budget set to
// `memoryBudget` for the time of the check. Returns the outcome of ReadDataFile.
ReadOutcome CheckDataFileBytes(std::string_view bytes, std::uint64_t memoryBudget);

// Whether a stored text is the one expected, where that is not byte for byte.
using SameText = bool (*)(std::string_view text, std::string_view expected);

// Throws Violation unless `store` holds what `model` says, as far as it was
// read: the names and texts byte for byte, or as `same` compares them.
void RequireStoreMatches(const StudyStore& store, const ModelStudy& model, SameText same = nullptr);

}  // namespace morvane::properties
