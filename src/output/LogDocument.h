#pragma once
// The results window's output log as one document: each analysis it keeps
// rendered as the HTML output renders it (the APA table, its sentences and the
// tables after them), one after another under a heading that names its file,
// its time and its design, with its provenance.

#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "output/OutputOptions.h"

namespace morvane {

// One analysis of the log: what it shows and how it is named.
struct LoggedAnalysis {
    const anova::Analysis* analysis = nullptr;
    OutputOptions options;  // the language, layout and provenance of its output
    std::string name;       // the file analysed (UTF-8)
    std::string when;       // when it was analysed, as the log names it ("2026-12-11 01:52:03")
};

// The design in a few words: "2 × 3: B within, A between; N = 12"
// ("2 × 3: 被験者内 B、被験者間 A; N = 12"), each factor's levels counted.
std::string DesignInWords(const anova::Analysis& analysis, OutputLanguage language);

// The whole log as one HTML document (UTF-8) in `language`, the analyses in
// their order, each a section with its heading, its provenance and its output.
std::string OutputLogHtml(const std::vector<LoggedAnalysis>& analyses, OutputLanguage language);

}  // namespace morvane
