#include "anova/detail/Steps.h"

namespace morvane::anova::detail {

void AddComparisons(const Inputs&, Analysis&) {}

}  // namespace morvane::anova::detail
