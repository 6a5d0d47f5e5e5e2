#include "anova/detail/Steps.h"

namespace morvane::anova::detail {

void AddChecks(const Inputs&, std::vector<Stratum>&, Analysis&) {}

}  // namespace morvane::anova::detail
