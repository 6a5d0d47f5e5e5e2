#pragma once
// The write-back of the shown grid: the score texts of one level of A, as the
// grid holds them, stored trimmed into CellText.

#include <string>
#include <string_view>

#include "store/StudyStore.h"

namespace morvane::widgets {
class StringGridModel;
}

namespace morvane {

// `text` without its leading and trailing bytes of value 0x20 or below (spaces
// and control characters). Such a byte is never part of a double-byte
// character, so the full-width space stays.
std::string_view TrimBlanks(std::string_view text);

// CellText[s][level][b] := TrimBlanks(cell (b, s)) for s = 1..N (outer) and
// b = 1..nb (inner). Only cells inside both the grid and the store are touched.
void WriteBackGrid(StudyStore& store, std::int32_t level, const widgets::StringGridModel& grid);

// Cell (b, s) := CellText[s][level][b], as stored, for the same cells.
void LoadGrid(const StudyStore& store, std::int32_t level, widgets::StringGridModel& grid);

}  // namespace morvane
