#pragma once
// A command never writes over a file that it reads: the output is compared
// with every input by device and inode, whatever names or links lead to them.

#include <initializer_list>
#include <string>

namespace morvane {

// Throws SameFileError when `output` is one of `inputs`, each followed
// through its links as opening it would; the empty name stands for the
// standard output (an output) or input (an input). Only regular files are
// compared: a terminal or pipe may well be both ends of a command. A name
// that does not exist yet is no input. Runs before the output is opened, so
// that nothing is written.
void RefuseInputAsOutput(const std::string& output, std::initializer_list<std::string> inputs);

}  // namespace morvane
