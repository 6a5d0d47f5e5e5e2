#pragma once
// The analysis of a general design (DesignAnalysis) as UTF-8 text: aligned
// tables for a terminal, markdown, CSV and JSON, in English or Japanese,
// rendered from one description of each result's fields and each table's
// columns, as the A x B x S analysis is.

#include <string>

#include "design/DesignAnalysis.h"
#include "output/AnovaFormats.h"
#include "output/OutputOptions.h"

namespace morvane {

// Through the bridge (output/Bridges.h), in the general layout.
std::string FormatDesignAnalysis(const DesignAnalysis& analysis, AnovaFormat format,
                                 const OutputOptions& options = {});

}  // namespace morvane
