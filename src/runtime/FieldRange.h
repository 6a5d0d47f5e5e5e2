#pragma once
// The vocabulary of the walks over results' fields (stats/FigureFields.h,
// anova/AnalysisFields.h, report/PrecisionFields.h): the range a figure keeps,
// and the concept that takes a result const or not.

#include <concepts>
#include <type_traits>

namespace morvane {

// The values a figure keeps, which the property tests check.
enum class Range {
    Any,          // any finite value
    NotNegative,  // 0 and up
    Probability,  // from 0 to 1
};

template <class T, class U>
concept ResultOf = std::same_as<std::remove_const_t<T>, U>;

}  // namespace morvane
