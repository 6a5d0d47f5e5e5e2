#include "design/detail/FollowUps.h"

namespace morvane::design {

void AddFollowUps(const DesignData&, DesignAnalysis&) {}

}  // namespace morvane::design
