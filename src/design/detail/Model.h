#pragma once
// Private to the design room: the tests of the design's effects alone, by the
// general model whatever the design (AnalyseDesign takes the two-within,
// no-between study from the A x B x S analysis instead, and adds the
// follow-ups).

#include "design/DesignAnalysis.h"

namespace morvane::design {

DesignAnalysis AnalyseModel(const DesignData& design, const DesignOptions& options);

}  // namespace morvane::design
