#pragma once
// Random studies of the kinds of scores a study holds, and some it rarely does,
// for the tests of the parse, the sums of squares and the exact partition.

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "runtime/Extended.h"
#include "store/StudyStore.h"

namespace morvane::testing {

// Whether two extended values are the same 80 bits (the padding after them is
// not part of the value).
inline bool SameBits(Extended x, Extended y) {
    return std::memcmp(&x, &y, 10) == 0;
}

// A random score text of the kinds a study holds, and some it rarely does.
inline std::string RandomScore(std::mt19937_64& random, char separator, int kind) {
    std::uniform_int_distribution<int> pick(0, 99);
    std::string text;
    if (pick(random) < 5) text += "  ";
    if (pick(random) < 30) text += pick(random) < 80 ? "-" : "+";
    const int integer = kind == 0 ? 1 + pick(random) % 3 : pick(random) % 22;
    const int fraction = kind == 0 ? pick(random) % 3 : pick(random) % 22;
    for (int i = 0; i < integer; ++i) text += static_cast<char>('0' + pick(random) % 10);
    if (fraction > 0 || pick(random) < 10) {
        text += separator;
        for (int i = 0; i < fraction; ++i)
            text += static_cast<char>('0' + (pick(random) < 30 ? 0 : pick(random) % 10));
    }
    if (integer == 0 && fraction == 0) text += "7";
    if (kind != 0 && pick(random) < 25) {
        text += pick(random) < 50 ? "e" : "E";
        if (pick(random) < 50) text += pick(random) < 60 ? "-" : "+";
        text += std::to_string(pick(random) % (kind == 2 ? 40 : 12));
    }
    if (pick(random) < 5) text += " ";
    return text;
}

// A study of n subjects and na x nb cells of scores of one kind: 0, one
// decimal; 1, the smallest place moving down now and then; 2, offset data of
// nineteen digits, some far longer; 3, a span of places no 128-bit total
// holds; 4, far beyond, for the centred method; 5, the edges of the 64-bit sums;
// 6, plain decimals whose places grow in later subjects.
inline StudyStore RandomStudy(std::mt19937_64& random, int n, int na, int nb, int kind) {
    StudyStore store;
    std::vector<std::string> namesA, namesB;
    for (int a = 1; a <= na; ++a) namesA.push_back("a" + std::to_string(a));
    for (int b = 1; b <= nb; ++b) namesB.push_back("b" + std::to_string(b));
    StartNewStudy(store, namesA, namesB, std::to_string(n));
    SizeCellValue(store);
    std::uniform_int_distribution<int> pick(0, 999);
    for (int s = 1; s <= n; ++s)
        for (int a = 1; a <= na; ++a)
            for (int b = 1; b <= nb; ++b) {
                std::string text;
                switch (kind) {
                    case 0:  // one decimal, as measurements are typed
                        text = std::to_string(pick(random) % 100) + "." + std::to_string(pick(random) % 10);
                        break;
                    case 1:  // the smallest place moves down now and then: the totals are rescaled
                        text =
                            std::to_string(pick(random)) + "e-" + std::to_string(pick(random) % (1 + s / 16));
                        if (pick(random) < 50) text = "0.000";
                        break;
                    case 2:  // offset data of nineteen digits, some scores long past the fast form
                        text = "123456789012345" + std::to_string(1000 + pick(random) % 9000);
                        if (pick(random) < 20) text += ".5000000000000000000001";
                        break;
                    case 3:  // a span of places no 128-bit total holds
                        text = std::to_string(1 + pick(random)) + (pick(random) < 500 ? "e25" : "e-25");
                        break;
                    case 5:  // the edges of the 64-bit sums: nine places and ten, and late a
                             // smaller place, which narrows them while sums are pending
                        text = (pick(random) < 500 ? "-" : "") +
                               std::string(pick(random) < 100 ? "1999999999" : "999999999");
                        if (s > n / 2 && pick(random) < 10) text = "0.5";
                        break;
                    case 6:  // whole numbers, then one place and two: what was kept is rescaled
                        text = (pick(random) < 300 ? "-" : "") + std::to_string(pick(random));
                        if (s > n / 3) text += "." + std::to_string(pick(random) % 10);
                        if (s > 2 * n / 3 && pick(random) < 500) text += std::to_string(pick(random) % 10);
                        if (pick(random) < 20) text = s % 2 ? "0.000" : "0";
                        break;
                    default:  // far beyond: the centred method
                        text = std::to_string(1 + pick(random)) + (pick(random) < 500 ? "e2000" : "e-2000");
                        break;
                }
                store.CellText(s, a, b) = text;
            }
    return store;
}

// Studies of every kind, small and of more blocks than the parse's pipeline
// takes in a batch (its thread then takes them).
struct RandomStudyCase {
    int n, na, nb, kind;
};
inline constexpr RandomStudyCase kRandomStudies[] = {
    {1, 1, 1, 0},   {3, 2, 3, 0},   {64, 2, 2, 0}, {65, 3, 2, 0},  {200, 4, 3, 0}, {150, 3, 3, 1},
    {130, 2, 5, 1}, {70, 2, 2, 2},  {90, 3, 2, 3}, {40, 2, 3, 4},  {700, 2, 2, 0}, {600, 3, 2, 1},
    {500, 2, 3, 3}, {400, 2, 2, 4}, {60, 3, 2, 5}, {700, 2, 3, 5}, {30, 2, 2, 6},  {900, 3, 2, 6}};

}  // namespace morvane::testing
