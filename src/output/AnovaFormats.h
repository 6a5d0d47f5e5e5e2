#pragma once
// The analysis as UTF-8 text: aligned tables for a terminal, markdown
// tables, CSV tables and JSON for programs, and the APA table as text and as
// HTML, in the options' layout (a design's, or the data file's study's). Undefined statistics show as "—" in
// text and markdown, an empty field in CSV and null in JSON; CSV and JSON numbers carry 17 significant
// digits. Text, markdown, the APA outputs and JSON name the conventions the figures follow and their
// provenance.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "anova/Analysis.h"
#include "output/OutputOptions.h"
#include "report/PrecisionCheck.h"

namespace morvane {

enum class AnovaFormat { Text, Markdown, Csv, Json, Apa, Html };

// "text", "markdown", "csv", "json", "apa" or "html"; nothing for any other name.
std::optional<AnovaFormat> AnovaFormatNamed(std::string_view name);

// In English with the Greenhouse-Geisser correction unless `options` say
// otherwise; JSON has every correction and is in English whatever they say.
// The study's text, markdown, CSV and JSON show the precision of its results
// file where `precision` is given. A design's text, markdown and CSV start
// with what was analysed, what reading it did and the conventions; the
// study's end with the conventions.
std::string FormatAnalysis(const anova::Analysis& analysis, AnovaFormat format,
                           const OutputOptions& options = {}, const PrecisionCheck* precision = nullptr);
// The same handed to `write` in pieces, JSON's as it is made, so that a long
// one is never held whole.
void WriteFormattedAnalysis(const anova::Analysis& analysis, AnovaFormat format, const OutputOptions& options,
                            const PrecisionCheck* precision, const std::function<void(std::string_view)>& write);

// The note at the top of each format of an analysis of fewer than two subjects (UTF-8).
std::string FewerSubjectsNote();

// The note at the top of each format of an analysis from which subjects were
// removed for a missing score (UTF-8): "N = 23 of 25 subjects; removed for a
// missing score: s04, s17", the ids as given.
std::string RemovedSubjectsNote(std::int64_t analysed, std::int64_t read,
                                const std::vector<std::string>& removed,
                                OutputLanguage language = OutputLanguage::English);

// The note at the top of each format of a design read with rows that had no
// score (UTF-8): how many were ignored and how many cells were left with
// fewer rows than the most common count; empty where every row had a score.
std::string UnscoredRowsNote(const anova::Analysis& analysis,
                             OutputLanguage language = OutputLanguage::English);

// What to tell the user after writing a results file whose summary table is
// not exact (UTF-8).
std::string InexactResultsNotice();

}  // namespace morvane
