#include "output/AnovaFormats.h"

#include <algorithm>
#include <vector>

#include "output/AnalysisJson.h"
#include "output/ApaOutput.h"
#include "output/Conventions.h"
#include "output/Figures.h"
#include "output/ModelCheckTables.h"
#include "output/ResultTables.h"
#include "runtime/Cp932.h"
#include "runtime/CsvField.h"

namespace morvane {
namespace {

std::string Heading(const FullAnalysis& r, OutputLanguage language);
std::vector<std::string> ConventionLines(const FullAnalysis& r, const OutputOptions& options);
void RenderText(const TableText& t, std::string& out);
void RenderMarkdown(const TableText& t, std::string& out);
void RenderCsv(const TableText& t, std::string& out);
bool LooksNumeric(const std::string& cell);

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

std::string FormatAnalysis(const FullAnalysis& analysis, AnovaFormat format, const OutputOptions& options) {
    if (format == AnovaFormat::Json) return AnalysisJson(analysis, options);
    if (format == AnovaFormat::Apa) return ApaText(analysis, options);
    if (format == AnovaFormat::Html) return ApaHtmlDocument(analysis, options);
    const TableReader reader = format == AnovaFormat::Csv ? TableReader::Program : TableReader::Terminal;
    std::string out;
    if (format == AnovaFormat::Text) out = Heading(analysis, options.language) + "\n\n";
    if (format == AnovaFormat::Markdown) out = "# " + Heading(analysis, options.language) + "\n\n";
    if (analysis.FewerThanTwoSubjects())
        out += (format == AnovaFormat::Csv ? CsvField(FewerSubjectsNote()) : FewerSubjectsNote()) + "\n\n";
    std::vector<TableText> tables = TableTexts(analysis, reader, options);
    for (TableText& t : ModelCheckTables(analysis, reader, options)) tables.push_back(std::move(t));
    for (const TableText& t : tables) {
        if (format == AnovaFormat::Text) RenderText(t, out);
        if (format == AnovaFormat::Markdown) RenderMarkdown(t, out);
        if (format == AnovaFormat::Csv) RenderCsv(t, out);
    }
    if (format != AnovaFormat::Csv) {
        const bool ja = options.language == OutputLanguage::Japanese;
        out += format == AnovaFormat::Markdown
                   ? (ja ? "## 計算の約束事と出所\n\n" : "## Conventions and provenance\n\n")
                   : (ja ? "計算の約束事と出所\n" : "Conventions and provenance\n");
        for (const std::string& line : ConventionLines(analysis, options)) out += "- " + line + "\n";
    }
    while (out.size() >= 2 && out[out.size() - 1] == '\n' && out[out.size() - 2] == '\n') out.pop_back();
    return out;
}

std::string FewerSubjectsNote() {
    return "Fewer than two subjects: every statistic that needs two subjects is undefined.";
}

std::string InexactResultsNotice() {
    return "計算結果ファイルの要約表には、桁落ちのため正確でない値があります。正確な値は "
           "morvane anova で求められます";
}

namespace {

// FormatAnalysis, text and markdown: the heading of the whole, the study's size and levels.
std::string Heading(const FullAnalysis& r, OutputLanguage language) {
    std::string text =
        (language == OutputLanguage::Japanese ? "2 要因被験者内分散分析: N = "
                                              : "Two-way within-subjects analysis of variance: N = ") +
        std::to_string(r.subjects) + "; A: ";
    for (std::size_t i = 0; i < r.namesA.size(); ++i) text += (i ? ", " : "") + Utf8FromCp932(r.namesA[i]);
    text += "; B: ";
    for (std::size_t i = 0; i < r.namesB.size(); ++i) text += (i ? ", " : "") + Utf8FromCp932(r.namesB[i]);
    return text;
}

// FormatAnalysis, text and markdown: the last note, a line a convention, then the provenance.
std::vector<std::string> ConventionLines(const FullAnalysis& r, const OutputOptions& options) {
    std::vector<std::string> lines;
    for (const Convention& c : Conventions(r, options)) lines.push_back(c.text);
    for (std::string& line : ProvenanceLines(options.provenance, options.language))
        lines.push_back(std::move(line));
    return lines;
}

// ---- the tables of text, markdown and CSV ----

// FormatAnalysis, text: a table of columns padded to their widest cell, figures to the right.
void RenderText(const TableText& t, std::string& out) {
    out += t.title + "\n";
    if (t.rows.empty()) {
        for (const auto& note : t.notes) out += note + "\n";
        out += "\n";
        return;
    }
    std::vector<std::size_t> widths(t.header.size(), 0);
    const auto measure = [&](const std::vector<std::string>& row) {
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    };
    measure(t.header);
    for (const auto& row : t.rows) measure(row);
    const auto line = [&](const std::vector<std::string>& row, bool header) {
        std::string text;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::string pad(widths[i] - DisplayWidth(row[i]), ' ');
            if (i > 0) text += "  ";
            const bool right = i > 0 && (header || LooksNumeric(row[i]));
            text += right ? pad + row[i] : row[i] + pad;
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        out += text + "\n";
    };
    line(t.header, true);
    std::size_t total = 0;
    for (std::size_t w : widths) total += w;
    out += std::string(total + 2 * (widths.size() - 1), '-') + "\n";
    for (const auto& row : t.rows) line(row, false);
    for (const auto& note : t.notes) out += note + "\n";
    out += "\n";
}

// RenderText, for each cell: whether it stands to the right of its column.
bool LooksNumeric(const std::string& cell) {
    if (cell.empty() || cell == kUndefinedText || cell == "∞") return true;
    const char c = cell[0];
    return (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '<' || c == '[';
}

// FormatAnalysis, markdown: a table under a second-level heading, its notes after it.
void RenderMarkdown(const TableText& t, std::string& out) {
    out += "## " + t.title + "\n\n";
    if (t.rows.empty()) {
        for (const auto& note : t.notes) out += note + "\n";
        out += "\n";
        return;
    }
    const auto line = [&](const std::vector<std::string>& row) {
        out += "|";
        for (const auto& cell : row) {
            std::string escaped;
            for (char c : cell) {
                if (c == '|') escaped += '\\';
                escaped += c;
            }
            out += " " + escaped + " |";
        }
        out += "\n";
    };
    line(t.header);
    out += "|";
    for (std::size_t i = 0; i < t.header.size(); ++i) out += i == 0 ? " --- |" : " ---: |";
    out += "\n";
    for (const auto& row : t.rows) line(row);
    if (!t.notes.empty()) out += "\n";
    for (const auto& note : t.notes) out += note + "\n";
    out += "\n";
}

// FormatAnalysis, CSV: the title, the header and the rows; no notes.
void RenderCsv(const TableText& t, std::string& out) {
    out += CsvField(t.title) + "\n";
    const auto line = [&](const std::vector<std::string>& row) {
        for (std::size_t i = 0; i < row.size(); ++i) out += (i ? "," : "") + CsvField(row[i]);
        out += "\n";
    };
    line(t.header);
    for (const auto& row : t.rows) line(row);
    out += "\n";
}

}  // namespace
}  // namespace morvane
