#pragma once
// morvane verify: the published analyses shipped with the program run again on
// it, every figure compared with its published value.

#include <span>
#include <string>

namespace morvane::tool {

// Runs `verify [--format text|html] [OUTFILE|-]` from the arguments after the
// command's name: status 0 when every figure agrees, 1 when one does not (or a
// set cannot be read); UsageError for other arguments.
int Verify(std::span<const std::string> words);

}  // namespace morvane::tool
