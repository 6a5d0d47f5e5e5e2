#pragma once
// The reader of the tool's arguments: the words after a command's name, split
// into file names and options.

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::tool {

// A mistake in the arguments, shown with the usage (status 2).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The core's name of the file that an argument names: "-", the standard stream,
// is the empty name.
std::string FileName(std::string_view word);

// How a word that starts with "-" but is none of the command's options is read.
enum class OtherOptions {
    // As a mistake: every word of "-" and a name, or "--" and a name, is an
    // option ("--name value" or "--name=value"), and one the command does not
    // know is a usage error; "-" alone is a file name (the standard stream),
    // and after the word "--" every word is a file name.
    AreErrors,
    // As a file name: only the command's options, whole words, are options
    // (the arguments that morvane passes to its helper programs, checked already).
    AreFiles,
};

struct Option {
    std::string name;                  // with its "--"
    std::optional<std::string> value;  // none for a flag
};

class Arguments {
public:
    // Reads `words` for a command whose options are the `flags` (no value) and
    // the `valued` ones (a value each); throws UsageError for an option with a
    // value missing or one too many, or, under AreErrors, one unknown or one
    // with a value given twice (but those `repeatable`, each given as often as wanted).
    explicit Arguments(std::span<const std::string> words, std::initializer_list<std::string_view> flags = {},
                       std::initializer_list<std::string_view> valued = {},
                       OtherOptions others = OtherOptions::AreErrors,
                       std::initializer_list<std::string_view> repeatable = {});

    std::size_t FileCount() const { return files_.size(); }
    // The i-th file name as it was given.
    const std::string& Word(std::size_t i) const { return files_.at(i); }
    // The i-th file name as the core names it (FileName).
    std::string File(std::size_t i) const { return FileName(files_.at(i)); }
    // The options in the order given, each as often as given.
    const std::vector<Option>& Options() const { return options_; }

private:
    std::vector<std::string> files_;
    std::vector<Option> options_;
};

}  // namespace morvane::tool
