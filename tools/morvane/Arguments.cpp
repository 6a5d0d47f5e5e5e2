#include "Arguments.h"

#include <algorithm>

namespace morvane::tool {

std::string FileName(std::string_view word) {
    return word == "-" ? std::string() : std::string(word);
}

Arguments::Arguments(std::span<const std::string> words, std::initializer_list<std::string_view> flags,
                     std::initializer_list<std::string_view> valued, OtherOptions others,
                     std::initializer_list<std::string_view> repeatable) {
    const auto among = [](std::initializer_list<std::string_view> names, std::string_view name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    const bool strict = others == OtherOptions::AreErrors;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (strict && !optionsEnded && word == "--") {
            optionsEnded = true;
            continue;
        }
        // Loosely read, "--name=value" is a file's name like any word that is no option.
        const std::size_t equals = strict && word.starts_with("--") ? word.find('=') : std::string::npos;
        std::string name = word.substr(0, equals);
        const bool flag = !optionsEnded && among(flags, name),
                   withValue = !optionsEnded && among(valued, name);
        const bool optionLike = strict && !optionsEnded && word.size() >= 2 && word[0] == '-';
        if (!flag && !withValue && !optionLike) {
            files_.push_back(word);
        } else if (!flag && !withValue) {
            throw UsageError("unknown option " + name);
        } else if (flag) {
            if (equals != std::string::npos) throw UsageError(name + " takes no value");
            options_.push_back({std::move(name), std::nullopt});
        } else {
            // A value given twice would silently give way to the later one
            // (--id subject --id group analysing the groups as subjects).
            if (strict && !among(repeatable, name) && std::any_of(options_.begin(), options_.end(),
                                      [&](const Option& o) { return o.name == name; }))
                throw UsageError(name + " is given twice");
            if (equals != std::string::npos) {
                options_.push_back({std::move(name), word.substr(equals + 1)});
            } else if (i + 1 < words.size()) {
                options_.push_back({std::move(name), words[++i]});
            } else {
                throw UsageError(name + " needs a value");
            }
        }
    }
}

}  // namespace morvane::tool
