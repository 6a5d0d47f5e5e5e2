#pragma once
// The level grids of the levels window: one row per level under a heading row,
// the level's heading ("a1 ==>") in column 0 and its name in column 1. The
// number of levels is the row count less one and is kept nowhere else.

#include <string>
#include <vector>

namespace morvane::widgets {
class StringGrid;
}

namespace morvane {

// Two columns, one level with an empty name, the headings of `letter`
// ("要因Ａ" or "要因Ｂ" over "a1 ==>" or "b1 ==>"), the name cell current.
void SetUpLevelGrid(widgets::StringGrid& grid, char letter);

// Inserts a level named by one space after the current one (appended when the
// current row is a heading or the last level); the current cell stays.
void AddLevel(widgets::StringGrid& grid, char letter);

// Removes the current level, the later ones moving up; the last level is never
// removed. The headings are numbered again.
void DeleteLevel(widgets::StringGrid& grid, char letter);

// The names in column 1, level 1 first, as typed (code page 932 bytes).
std::vector<std::string> LevelNames(const widgets::StringGrid& grid);

}  // namespace morvane
