// The outputs of the two engines' results (FullAnalysis, DesignAnalysis),
// each rendered through its bridge (output/Bridges.h) by the one description
// of the analysis: the A x B x S analysis in the study's layout with its
// precision check, a design's in the general layout. The windows and the
// tests that hold those results call these; they go with the bridges.

#include <algorithm>

#include "output/AnalysisJson.h"
#include "output/AnalysisTables.h"
#include "output/AnovaFormats.h"
#include "output/ApaOutput.h"
#include "output/Bridges.h"
#include "output/DesignFormats.h"
#include "output/DesignTables.h"
#include "output/ModelCheckTables.h"
#include "output/ResultTables.h"

namespace morvane {
namespace {

OutputOptions InStudyLayout(OutputOptions options) {
    options.layout = OutputLayout::Study;
    return options;
}

OutputOptions InDesignLayout(OutputOptions options) {
    options.layout = OutputLayout::Design;
    return options;
}

// The study's tables, cut after its precision check (`first`) or from there on.
std::vector<TableText> StudyTables(const FullAnalysis& r, TableReader reader, const OutputOptions& options,
                                   char decimalSeparator, bool first) {
    std::vector<TableText> all =
        TableTexts(FromStudyAnalysis(r), reader, InStudyLayout(options), decimalSeparator, &r.precision);
    const auto precision =
        std::find_if(all.begin(), all.end(), [](const TableText& t) { return t.id == "Precision"; });
    const auto cut = precision == all.end() ? all.end() : precision + 1;
    return first ? std::vector<TableText>(all.begin(), cut) : std::vector<TableText>(cut, all.end());
}

}  // namespace

std::vector<TableText> TableTexts(const FullAnalysis& r, TableReader reader, char decimalSeparator) {
    OutputOptions options;
    if (reader == TableReader::Window) options.language = OutputLanguage::Japanese;
    return StudyTables(r, reader, options, decimalSeparator, true);
}

std::vector<TableText> TableTexts(const FullAnalysis& r, TableReader reader, const OutputOptions& options,
                                  char decimalSeparator) {
    return StudyTables(r, reader, options, decimalSeparator, true);
}

std::vector<TableText> ModelCheckTables(const FullAnalysis& r, TableReader reader,
                                        const OutputOptions& options, char decimalSeparator) {
    return StudyTables(r, reader, options, decimalSeparator, false);
}

std::string AnalysisJson(const FullAnalysis& r, const OutputOptions& options) {
    return AnalysisJson(FromStudyAnalysis(r), InStudyLayout(options), &r.precision);
}

std::string FormatAnalysis(const FullAnalysis& r, AnovaFormat format, const OutputOptions& options) {
    return FormatAnalysis(FromStudyAnalysis(r), format, InStudyLayout(options), &r.precision);
}

std::vector<TableText> DesignTableTexts(const DesignAnalysis& r, TableReader reader,
                                        const OutputOptions& options, char decimalSeparator) {
    return TableTexts(FromDesignAnalysis(r), reader, InDesignLayout(options), decimalSeparator);
}

std::string FormatDesignAnalysis(const DesignAnalysis& r, AnovaFormat format, const OutputOptions& options) {
    return FormatAnalysis(FromDesignAnalysis(r), format, InDesignLayout(options));
}

std::string ApaText(const FullAnalysis& r, const ApaOptions& o) {
    return ApaText(FromStudyAnalysis(r), InStudyLayout(o));
}
std::string ApaHtmlDocument(const FullAnalysis& r, const ApaOptions& o) {
    return ApaHtmlDocument(FromStudyAnalysis(r), InStudyLayout(o));
}
std::string ApaSummaryHtml(const FullAnalysis& r, const ApaOptions& o) {
    return ApaSummaryHtml(FromStudyAnalysis(r), InStudyLayout(o));
}
std::string ApaSummaryRtf(const FullAnalysis& r, const ApaOptions& o) {
    return ApaSummaryRtf(FromStudyAnalysis(r), InStudyLayout(o));
}
std::string ApaSummaryTabs(const FullAnalysis& r, const ApaOptions& o) {
    return ApaSummaryTabs(FromStudyAnalysis(r), InStudyLayout(o));
}
std::vector<std::string> ReadySentences(const FullAnalysis& r, const ApaOptions& o) {
    return ReadySentences(FromStudyAnalysis(r), InStudyLayout(o));
}
std::vector<std::string> NamedSentences(const FullAnalysis& r, const ApaOptions& o) {
    return NamedSentences(FromStudyAnalysis(r), InStudyLayout(o));
}
std::string ApaText(const DesignAnalysis& r, const ApaOptions& o) {
    return ApaText(FromDesignAnalysis(r), InDesignLayout(o));
}
std::string ApaHtmlDocument(const DesignAnalysis& r, const ApaOptions& o) {
    return ApaHtmlDocument(FromDesignAnalysis(r), InDesignLayout(o));
}
std::string ApaSummaryHtml(const DesignAnalysis& r, const ApaOptions& o) {
    return ApaSummaryHtml(FromDesignAnalysis(r), InDesignLayout(o));
}
std::string ApaSummaryRtf(const DesignAnalysis& r, const ApaOptions& o) {
    return ApaSummaryRtf(FromDesignAnalysis(r), InDesignLayout(o));
}
std::string ApaSummaryTabs(const DesignAnalysis& r, const ApaOptions& o) {
    return ApaSummaryTabs(FromDesignAnalysis(r), InDesignLayout(o));
}
std::vector<std::string> ReadySentences(const DesignAnalysis& r, const ApaOptions& o) {
    return ReadySentences(FromDesignAnalysis(r), InDesignLayout(o));
}
std::vector<std::string> NamedSentences(const DesignAnalysis& r, const ApaOptions& o) {
    return NamedSentences(FromDesignAnalysis(r), InDesignLayout(o));
}

}  // namespace morvane
