#include "output/DesignFormats.h"

namespace morvane {

std::string FormatDesignAnalysis(const DesignAnalysis&, AnovaFormat, const OutputOptions&) {
    return {};
}

}  // namespace morvane
