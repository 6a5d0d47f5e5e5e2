#pragma once
// The small study of the data file's worked example: two subjects, levels
// pre/post of A and easy/hard of B; its data file is 63 bytes.

#include "store/StudyStore.h"

namespace morvane::testing {

inline StudyStore PrePostStudy() {
    StudyStore store;
    StartNewStudy(store, {"pre", "post"}, {"easy", "hard"}, "2");
    // In the data file's order: level of A, then of B, then subject.
    const char* scores[] = {"12", "14", "15", "18", "9", "10", "11", "13"};
    int i = 0;
    for (int a = 1; a <= 2; ++a)
        for (int b = 1; b <= 2; ++b)
            for (int s = 1; s <= 2; ++s) store.CellText(s, a, b) = scores[i++];
    return store;
}

}  // namespace morvane::testing
