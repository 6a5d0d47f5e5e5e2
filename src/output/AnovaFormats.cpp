#include "output/AnovaFormats.h"

#include <vector>

#include "output/AnalysisJson.h"
#include "output/AnalysisTables.h"
#include "output/ApaOutput.h"
#include "output/Conventions.h"
#include "output/detail/TableLayout.h"
#include "runtime/CsvField.h"

namespace morvane {
namespace {

using anova::Analysis;

std::string StudyText(const Analysis& r, AnovaFormat format, const OutputOptions& options,
                      const PrecisionCheck* precision);
std::string DesignText(const Analysis& r, AnovaFormat format, const OutputOptions& options);
void RenderTable(const TableText& t, const TableRows& rows, AnovaFormat format, std::string& out);
std::vector<std::string> ConventionLines(const Analysis& r, const OutputOptions& options);

}  // namespace

std::optional<AnovaFormat> AnovaFormatNamed(std::string_view name) {
    if (name == "text") return AnovaFormat::Text;
    if (name == "markdown") return AnovaFormat::Markdown;
    if (name == "csv") return AnovaFormat::Csv;
    if (name == "json") return AnovaFormat::Json;
    if (name == "apa") return AnovaFormat::Apa;
    if (name == "html") return AnovaFormat::Html;
    return std::nullopt;
}

std::string FormatAnalysis(const Analysis& analysis, AnovaFormat format, const OutputOptions& options,
                           const PrecisionCheck* precision) {
    if (format == AnovaFormat::Json) return AnalysisJson(analysis, options, precision);
    if (format == AnovaFormat::Apa) return ApaText(analysis, options);
    if (format == AnovaFormat::Html) return ApaHtmlDocument(analysis, options);
    std::string out = options.layout == OutputLayout::Study ? StudyText(analysis, format, options, precision)
                                                            : DesignText(analysis, format, options);
    while (out.size() >= 2 && out[out.size() - 1] == '\n' && out[out.size() - 2] == '\n') out.pop_back();
    return out;
}

void WriteFormattedAnalysis(const Analysis& analysis, AnovaFormat format, const OutputOptions& options,
                            const PrecisionCheck* precision, const std::function<void(std::string_view)>& write) {
    if (format == AnovaFormat::Json)
        WriteAnalysisJson(analysis, options, precision, write);
    else
        write(FormatAnalysis(analysis, format, options, precision));
}

std::string FewerSubjectsNote() {
    return "Fewer than two subjects: every statistic that needs two subjects is undefined.";
}

std::string RemovedSubjectsNote(std::int64_t analysed, std::int64_t read,
                                const std::vector<std::string>& removed, OutputLanguage language) {
    std::string ids;
    for (const std::string& id : removed) ids += (ids.empty() ? "" : ", ") + id;
    if (language == OutputLanguage::Japanese)
        return "N = " + std::to_string(analysed) + " (被験者 " + std::to_string(read) +
               " 人のうち); 得点が欠けているため除いた被験者: " + ids;
    return "N = " + std::to_string(analysed) + " of " + std::to_string(read) +
           " subjects; removed for a missing score: " + ids;
}

std::string UnscoredRowsNote(const Analysis& r, OutputLanguage language) {
    if (r.rowsWithoutScore <= 0) return {};
    const std::string rows = std::to_string(r.rowsWithoutScore), cells = std::to_string(r.cellsWithFewerRows),
                      common = std::to_string(r.commonRowsPerCell);
    const bool none = r.cellsWithFewerRows == 0;
    if (language == OutputLanguage::Japanese)
        return "得点のない行 (空または NA) " + rows + " 行を無視しました。行の数が、セルの行の数で最も多い " +
               common +
               (none ? " 行より少ないセルはありません。" : " 行より少ないセルは " + cells + " 個です。");
    return rows + (r.rowsWithoutScore == 1 ? " row" : " rows") + " without a score (empty or NA) " +
           (r.rowsWithoutScore == 1 ? "was" : "were") + " ignored; " +
           (none ? std::string("no cell was")
                 : cells + (r.cellsWithFewerRows == 1 ? " cell was" : " cells were")) +
           " left with fewer than " + common + (r.commonRowsPerCell == 1 ? " row" : " rows") +
           ", the most common count of a cell's rows.";
}

std::string InexactResultsNotice() {
    return "計算結果ファイルの要約表には、桁落ちのため正確でない値があります。正確な値は "
           "morvane anova で求められます";
}

namespace {

// FormatAnalysis, the study's text, markdown and CSV: its heading, the notes
// of the subjects, the tables, and at the end the conventions.
std::string StudyText(const Analysis& r, AnovaFormat format, const OutputOptions& options,
                      const PrecisionCheck* precision) {
    const bool ja = options.language == OutputLanguage::Japanese, csv = format == AnovaFormat::Csv;
    std::string heading =
        (ja ? "2 要因被験者内分散分析: N = " : "Two-way within-subjects analysis of variance: N = ") +
        std::to_string(r.subjects);
    for (std::size_t k = 0; k < r.Factors(); ++k) {
        heading += "; " + r.FactorAt(k).name + ": ";
        for (std::size_t i = 0; i < r.FactorAt(k).levels.size(); ++i)
            heading += (i ? ", " : "") + r.FactorAt(k).levels[i];
    }
    std::string out;
    if (format == AnovaFormat::Text) out = heading + "\n\n";
    if (format == AnovaFormat::Markdown) out = "# " + heading + "\n\n";
    if (!r.removed.empty()) {
        const std::string note = RemovedSubjectsNote(r.subjects, r.subjectsRead, r.removed, options.language);
        out += (csv ? CsvField(note) : note) + "\n\n";
    }
    if (r.NoErrorDf()) out += (csv ? CsvField(FewerSubjectsNote()) : FewerSubjectsNote()) + "\n\n";
    EachTableText(r, csv ? TableReader::Program : TableReader::Terminal, options, '.', precision,
                  [&](const TableText& t, const TableRows& rows) { RenderTable(t, rows, format, out); });
    if (!csv) {
        out += format == AnovaFormat::Markdown
                   ? (ja ? "## 計算の約束事と出所\n\n" : "## Conventions and provenance\n\n")
                   : (ja ? "計算の約束事と出所\n" : "Conventions and provenance\n");
        for (const std::string& line : ConventionLines(r, options)) out += "- " + line + "\n";
    }
    return out;
}

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

// FormatAnalysis, a design's text, markdown and CSV: once at the top what was
// analysed, what reading the design did, the conventions and the provenance;
// then the tables.
std::string DesignText(const Analysis& r, AnovaFormat format, const OutputOptions& options) {
    const bool ja = options.language == OutputLanguage::Japanese;
    const bool csv = format == AnovaFormat::Csv, markdown = format == AnovaFormat::Markdown;
    std::string heading =
        r.within.empty()
            ? (ja ? "被験者間計画の分散分析: N = " : "Analysis of variance of a between-subjects design: N = ")
            : (ja ? "反復測定計画の分散分析: N = " : "Analysis of variance of a repeated-measures design: N = ");
    heading += std::to_string(r.subjects);
    if (!r.between.empty()) heading += (ja ? "; 被験者間: " : "; between: ") + FactorList(r.between);
    if (!r.within.empty()) heading += (ja ? "; 被験者内: " : "; within: ") + FactorList(r.within);
    std::string out = (markdown ? "# " : "") + (csv ? CsvField(heading) : heading) + "\n\n";
    std::vector<std::string> notes;
    if (!r.removed.empty())
        notes.push_back(RemovedSubjectsNote(r.subjects, r.subjectsRead, r.removed, options.language));
    if (r.averagedCells > 0)
        notes.push_back(ja ? std::to_string(r.averagedCells) + " 個のセルの得点は、" +
                                 std::to_string(r.averagedRows) + " 行を平均したものです。"
                           : std::to_string(r.averagedCells) +
                                 (r.averagedCells == 1 ? " cell was" : " cells were") + " averaged from " +
                                 std::to_string(r.averagedRows) + " rows.");
    if (r.rowsWithoutScore > 0) notes.push_back(UnscoredRowsNote(r, options.language));
    for (const std::string& note : notes) out += (csv ? CsvField(note) : note) + (markdown ? "\n\n" : "\n");
    if (!notes.empty() && !markdown) out += "\n";
    const std::string title = ja ? "計算の約束事と出所" : "Conventions and provenance";
    out += markdown ? "## " + title + "\n\n" : (csv ? CsvField(title) : title) + "\n";
    for (const std::string& line : ConventionLines(r, options))
        out += csv ? CsvField(line) + "\n" : "- " + line + "\n";
    out += "\n";
    EachTableText(r, csv ? TableReader::Program : TableReader::Terminal, options, '.', nullptr,
                  [&](const TableText& t, const TableRows& rows) { RenderTable(t, rows, format, out); });
    return out;
}

// A table in the format's layout.
void RenderTable(const TableText& t, const TableRows& rows, AnovaFormat format, std::string& out) {
    if (format == AnovaFormat::Text) layout::RenderText(t, rows, out);
    if (format == AnovaFormat::Markdown) layout::RenderMarkdown(t, rows, out);
    if (format == AnovaFormat::Csv) layout::RenderCsv(t, rows, out);
}

// A line a convention, then the provenance.
std::vector<std::string> ConventionLines(const Analysis& r, const OutputOptions& options) {
    std::vector<std::string> lines;
    for (const Convention& c : Conventions(r, options)) lines.push_back(c.text);
    for (std::string& line : ProvenanceLines(options.provenance, options.language))
        lines.push_back(std::move(line));
    return lines;
}

}  // namespace
}  // namespace morvane
