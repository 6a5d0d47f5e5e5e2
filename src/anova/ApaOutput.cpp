#include "anova/ApaOutput.h"

namespace morvane {

// Placeholders until the tables are written.
std::string ApaText(const FullAnalysis&, const ApaOptions&) { return {}; }
std::string ApaHtmlDocument(const FullAnalysis&, const ApaOptions&) { return {}; }
std::string ApaSummaryHtml(const FullAnalysis&, const ApaOptions&) { return "<table></table>"; }
std::string ApaSummaryRtf(const FullAnalysis&, const ApaOptions&) { return "{\\rtf1 }"; }
std::string ApaSummaryTabs(const FullAnalysis&, const ApaOptions&) { return "Effect\n"; }
std::vector<std::string> ReadySentences(const FullAnalysis&, const ApaOptions&) { return {}; }

}  // namespace morvane
