#pragma once
// A data file's study as the engine lays out its analysis, every figure zero
// or absent: the within factors A and B, the strata S, A × S, B × S and
// A × B × S, the effects A, B and A × B, each level compared. The output
// tests fill in the made-up figures they show; OutputOptions in the study's
// layout beside it.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "anova/Analysis.h"
#include "output/OutputOptions.h"

namespace morvane::testing {

inline anova::Analysis StudySkeleton(std::vector<std::string> levelsA, std::vector<std::string> levelsB,
                                     std::int64_t subjects) {
    anova::Analysis a;
    a.within = {{"A", std::move(levelsA)}, {"B", std::move(levelsB)}};
    a.subjects = a.subjectsRead = subjects;
    for (std::int64_t s = 1; s <= subjects; ++s) a.subjectIds.push_back(std::to_string(s));
    if (subjects > 0) a.groupSizes = {subjects};
    const std::vector<std::size_t> within[] = {{}, {0}, {1}, {0, 1}};
    const char* const keys[] = {"S", "A:S", "B:S", "A:B:S"};
    const char* const names[] = {"S", "A × S", "B × S", "A × B × S"};
    for (std::size_t k = 0; k < 4; ++k) {
        anova::Stratum s;
        s.within = within[k], s.key = keys[k], s.name = names[k];
        a.strata.push_back(std::move(s));
    }
    const char* const effects[] = {"A", "B", "A × B"};
    for (std::size_t k = 0; k < 3; ++k) {
        anova::Effect e;
        e.within = within[k + 1], e.name = effects[k], e.key = keys[k + 1];
        e.key.resize(e.key.size() - 2);  // without its ":S"
        e.stratum = k + 1;
        e.multivariate = MultivariateTest{};
        a.effects.push_back(std::move(e));
    }
    a.shown.compared = a.shown.comparedAtLevels = {true, true};
    return a;
}

inline OutputOptions InStudyLayout(OutputOptions options = {}) {
    options.layout = OutputLayout::Study;
    return options;
}

}  // namespace morvane::testing
