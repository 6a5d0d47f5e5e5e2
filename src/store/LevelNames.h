#pragma once
// A level's name as every output shows it: a blank name given the letter and
// number a new study would give it, a long one cut.

#include <cstddef>
#include <cstdint>
#include <string>

namespace morvane {

// The name of a level as the analysis shows it: its name, or for a blank one
// (nothing but spaces, full-width spaces and control characters, or empty) the
// factor's letter and the level's number, as a new study names its levels:
// "a2" for level 2 of A (`factor` 'a'), "b3" for level 3 of B.
std::string LevelLabel(const std::string& name, char factor, std::int32_t level);

// The most level name a table shows: longer names are cut to this many bytes
// (columns, in code page 932) and end in "…"; the study keeps them whole.
inline constexpr std::size_t kShownNameBytes = 64;
// `name` (code page 932) as the tables show it: whole, or cut on a character
// boundary to kShownNameBytes with "…" after it.
std::string ShownLevelName(const std::string& name);

}  // namespace morvane
