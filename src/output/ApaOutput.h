#pragma once
// The analysis as a paper reports it (APA 7): the summary table as plain
// text, as HTML, as RTF and as tab-separated text (the three a clipboard
// carries so that a word processor pastes a real table), and a ready sentence
// for each effect. Every output names the correction applied and the
// conventions the figures follow. A row an effect in the design's order, with
// the correction applied to the within effects of more than one degree of
// freedom; the note names the subjects removed, the group sizes, each
// factor's levels, the cells averaged, the sums of squares and the provenance.

#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "output/Figures.h"
#include "output/OutputOptions.h"

namespace morvane {

// The correction applied (Greenhouse-Geisser unless told), the language, the
// layout and the provenance the note names when it is known.
using ApaOptions = OutputOptions;

// morvane anova --format apa: the table, its note and the sentences, in plain text.
std::string ApaText(const anova::Analysis& analysis, const ApaOptions& options);
// morvane anova --format html: a whole document with the table and the sentences.
std::string ApaHtmlDocument(const anova::Analysis& analysis, const ApaOptions& options);
// The summary table alone, for a clipboard: an HTML fragment, RTF, and
// tab-separated text (a row a line), each with the table's number, title and note.
std::string ApaSummaryHtml(const anova::Analysis& analysis, const ApaOptions& options);
std::string ApaSummaryRtf(const anova::Analysis& analysis, const ApaOptions& options);
std::string ApaSummaryTabs(const anova::Analysis& analysis, const ApaOptions& options);
// One sentence an effect, in the summary's order:
// "F(1.14, 7.95) = 29.22, p < .001, ηp² = .81, 90% CI [.49, .90]".
std::vector<std::string> ReadySentences(const anova::Analysis& analysis, const ApaOptions& options);
// The same, each after its effect's name: "B: F(1.14, 7.95) = 29.22, ...".
std::vector<std::string> NamedSentences(const anova::Analysis& analysis, const ApaOptions& options);

}  // namespace morvane
