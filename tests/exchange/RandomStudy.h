#pragma once
// Random studies for the CSV round trips: level names of kana, kanji, symbols
// and the ASCII that CSV must quote, and scores in every form the score syntax
// takes, reproducible from the engine's seed.

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "runtime/Cp932.h"
#include "store/StudyStore.h"

namespace morvane::testing {

// Characters of code page 932 that come back unchanged from UTF-8 (not the
// second codes of the vendor extensions, which come back as the first), and
// ASCII that CSV must quote.
inline const std::vector<std::string>& RoundTripCharacters() {
    static const std::vector<std::string> pool = [] {
        std::vector<std::string> characters{"a", "Z", "7", " ", ",", "\"", ";", "_", "\t", "-", "'"};
        for (int lead : {0x81, 0x82, 0x83, 0x84, 0x87, 0x88, 0x89, 0x95, 0x9f, 0xe0, 0xea, 0xed, 0xfa})
            for (int trail = 0x40; trail <= 0xfc; ++trail) {
                const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
                const auto utf8 = Utf8FromCp932Exact(bytes);
                if (utf8 && Cp932FromUtf8Exact(*utf8) == bytes) characters.push_back(bytes);
            }
        return characters;
    }();
    return pool;
}

inline std::string RandomName(std::mt19937_64& engine) {
    const auto& pool = RoundTripCharacters();
    std::string name;
    for (auto n = engine() % 6; n > 0; --n) name += pool[engine() % pool.size()];
    return name;
}

inline std::string RandomScore(std::mt19937_64& engine, char separator) {
    const auto value = std::to_string(static_cast<int>(engine() % 2000) - 1000);
    switch (engine() % 4) {
        case 0:
            return value;
        case 1:
            return value + separator + std::to_string(engine() % 100);
        case 2:
            return value + "e" + std::to_string(engine() % 5);
        default:
            return std::string(1, separator) + "5";
    }
}

// `count` names, all different when `distinct` (levels that a long CSV tells
// apart by their names).
inline std::vector<std::string> RandomNames(std::mt19937_64& engine, std::size_t count, bool distinct) {
    std::vector<std::string> names;
    while (names.size() < count) {
        std::string name = RandomName(engine);
        if (!distinct || std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

// A study of n subjects and 1 to 4 levels of each factor, every score a number.
inline StudyStore RandomStudy(std::mt19937_64& engine, std::int32_t n, bool distinctNames, char separator) {
    const auto namesA = RandomNames(engine, 1 + engine() % 4, distinctNames);
    const auto namesB = RandomNames(engine, 1 + engine() % 4, distinctNames);
    StudyStore store;
    StartNewStudy(store, namesA, namesB, std::to_string(n));
    for (std::int32_t s = 1; s <= n; ++s)
        for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
            for (std::int32_t b = 1; b <= store.LevelCountB; ++b)
                store.CellText(s, a, b) = RandomScore(engine, separator);
    return store;
}

// The level names of a store as UTF-8.
inline std::vector<std::string> NamesUtf8(const NameArray& names) {
    std::vector<std::string> utf8;
    for (std::size_t i = 1; i < names.size(); ++i) utf8.push_back(Utf8FromCp932(names[i]));
    return utf8;
}

}  // namespace morvane::testing
