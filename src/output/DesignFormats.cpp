#include "output/DesignFormats.h"

#include <vector>

#include "output/ApaOutput.h"
#include "output/Conventions.h"
#include "output/DesignTables.h"
#include "output/JsonWriter.h"
#include "output/detail/DesignFields.h"
#include "output/detail/JsonFields.h"
#include "output/detail/TableLayout.h"
#include "runtime/CsvField.h"

namespace morvane {
namespace {

std::string Heading(const DesignAnalysis& r, bool ja);
std::vector<std::string> TopNotes(const DesignAnalysis& r, OutputLanguage language);
std::vector<std::string> ConventionLines(const DesignAnalysis& r, const OutputOptions& options);
std::string DesignJson(const DesignAnalysis& r, const OutputOptions& options);

}  // namespace

std::string FormatDesignAnalysis(const DesignAnalysis& analysis, AnovaFormat format,
                                 const OutputOptions& options) {
    if (format == AnovaFormat::Json) return DesignJson(analysis, options);
    if (format == AnovaFormat::Apa) return ApaText(analysis, options);
    if (format == AnovaFormat::Html) return ApaHtmlDocument(analysis, options);
    const bool ja = options.language == OutputLanguage::Japanese;
    const bool csv = format == AnovaFormat::Csv, markdown = format == AnovaFormat::Markdown;
    // Once at the top: what was analysed, what reading the design did, the conventions and the provenance.
    std::string out =
        (markdown ? "# " : "") + (csv ? CsvField(Heading(analysis, ja)) : Heading(analysis, ja)) + "\n\n";
    const std::vector<std::string> notes = TopNotes(analysis, options.language);
    for (const std::string& note : notes) out += (csv ? CsvField(note) : note) + (markdown ? "\n\n" : "\n");
    if (!notes.empty() && !markdown) out += "\n";
    const std::string title = ja ? "計算の約束事と出所" : "Conventions and provenance";
    out += markdown ? "## " + title + "\n\n" : (csv ? CsvField(title) : title) + "\n";
    for (const std::string& line : ConventionLines(analysis, options))
        out += csv ? CsvField(line) + "\n" : "- " + line + "\n";
    out += "\n";
    const TableReader reader = csv ? TableReader::Program : TableReader::Terminal;
    for (const TableText& t : DesignTableTexts(analysis, reader, options)) {
        if (format == AnovaFormat::Text) layout::RenderText(t, out);
        if (markdown) layout::RenderMarkdown(t, out);
        if (csv) layout::RenderCsv(t, out);
    }
    while (out.size() >= 2 && out[out.size() - 1] == '\n' && out[out.size() - 2] == '\n') out.pop_back();
    return out;
}

namespace {

// The factors of a side with their levels: "group (control, patient), age (young, old)".
std::string FactorList(const std::vector<DesignFactor>& factors) {
    std::string text;
    for (const DesignFactor& f : factors) {
        text += (text.empty() ? "" : ", ") + f.name + " (";
        for (std::size_t i = 0; i < f.levels.size(); ++i) text += (i ? ", " : "") + f.levels[i];
        text += ")";
    }
    return text;
}

// FormatDesignAnalysis, first: the design analysed, its subjects and its factors with their levels.
std::string Heading(const DesignAnalysis& r, bool ja) {
    std::string text =
        (ja ? "反復測定計画の分散分析: N = " : "Analysis of variance of a repeated-measures design: N = ") +
        std::to_string(r.subjects);
    if (!r.between.empty()) text += (ja ? "; 被験者間: " : "; between: ") + FactorList(r.between);
    text += (ja ? "; 被験者内: " : "; within: ") + FactorList(r.within);
    return text;
}

// FormatDesignAnalysis, after the heading: the subjects removed and the rows averaged, a line each.
std::vector<std::string> TopNotes(const DesignAnalysis& r, OutputLanguage language) {
    std::vector<std::string> notes;
    if (!r.removed.empty())
        notes.push_back(RemovedSubjectsNote(r.subjects, r.subjectsRead, r.removed, language));
    if (r.averagedCells > 0)
        notes.push_back(language == OutputLanguage::Japanese
                            ? std::to_string(r.averagedCells) + " 個のセルの得点は、" +
                                  std::to_string(r.averagedRows) + " 行を平均したものです。"
                            : std::to_string(r.averagedCells) +
                                  (r.averagedCells == 1 ? " cell was" : " cells were") + " averaged from " +
                                  std::to_string(r.averagedRows) + " rows.");
    return notes;
}

// FormatDesignAnalysis, the note: a line a convention, then the provenance.
std::vector<std::string> ConventionLines(const DesignAnalysis& r, const OutputOptions& options) {
    std::vector<std::string> lines;
    for (const Convention& c : DesignConventions(r, options)) lines.push_back(c.text);
    for (std::string& line : ProvenanceLines(options.provenance, options.language))
        lines.push_back(std::move(line));
    return lines;
}

// FormatDesignAnalysis, JSON: the design, the conventions by name and the
// provenance, the effects and follow-ups, then the checks; in English.
std::string DesignJson(const DesignAnalysis& r, const OutputOptions& options) {
    JsonWriter j;
    json::JsonFields fields(j);
    j.Open('{');
    designfields::ForEachDesignField(r, fields);
    OutputOptions english = options;
    english.language = OutputLanguage::English;
    j.Key("conventions");
    j.Open('{');
    for (const Convention& c : DesignConventions(r, english))
        if (c.key != "correction") j.Key(c.key), j.String(c.text);
    j.Key("effectSizeLevel"), j.Number(r.options.effectSizeLevel);
    j.Close('}');
    json::WriteProvenance(j, options.provenance);
    designfields::ForEachResultField(r, fields);
    designfields::ForEachCheckField(r, fields);
    if (!r.rankBased.friedman.empty() || !r.rankBased.alignedRanks.empty())
        designfields::ForEachRankField(r, fields);
    j.Key("rankTestsOmitted");
    if (r.rankTestsOmitted.empty())
        j.Null();
    else
        j.String(r.rankTestsOmitted);
    j.Key("numbersOutsideDoubleRange"), j.Bool(j.OutsideDoubleRange());
    j.Close('}');
    return j.Text() + "\n";
}

}  // namespace
}  // namespace morvane
