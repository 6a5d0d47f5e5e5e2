// morvane-genstudy: writes a random study as a data file, for timing the
// morvane tool on studies of any size.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "StudyGenerator.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::fputs("usage: morvane-genstudy N NA NB DATAFILE [SEED]\n", stderr);
        return 2;
    }
    const auto count = [](const char* text) { return static_cast<std::int32_t>(std::strtol(text, nullptr, 10)); };
    const std::uint64_t seed = argc == 6 ? std::strtoull(argv[5], nullptr, 10) : 1;
    try {
        morvane::bench::WriteRandomStudy(argv[4], count(argv[1]), count(argv[2]), count(argv[3]), seed);
    } catch (const morvane::Error& error) {
        std::fprintf(stderr, "morvane-genstudy: %s\n", morvane::Utf8FromCp932(error.message()).c_str());
        return 1;
    }
    return 0;
}
