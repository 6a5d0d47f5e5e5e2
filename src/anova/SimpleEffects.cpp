#include "anova/detail/Steps.h"

namespace morvane::anova::detail {

void AddSimpleEffects(const Inputs&, Analysis&) {}

}  // namespace morvane::anova::detail
