#include "anova/detail/Steps.h"

namespace morvane::anova::detail {

void AddMeans(const Inputs&, Analysis&) {}

}  // namespace morvane::anova::detail
