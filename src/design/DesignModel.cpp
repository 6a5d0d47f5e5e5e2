#include "design/DesignAnalysis.h"
#include "design/detail/FollowUps.h"

namespace morvane {

DesignAnalysis AnalyseDesign(const DesignData& design, const DesignOptions& options) {
    DesignAnalysis analysis;
    analysis.between = design.between, analysis.within = design.within;
    analysis.options = options;
    design::AddFollowUps(design, analysis);
    return analysis;
}

}  // namespace morvane
