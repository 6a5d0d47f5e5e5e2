#include "output/AnovaFormats.h"

#include <algorithm>
#include <vector>

#include "output/AnalysisJson.h"
#include "output/ApaOutput.h"
#include "output/Conventions.h"
#include "output/Figures.h"
#include "output/ModelCheckTables.h"
#include "output/ResultTables.h"
#include "output/detail/TableLayout.h"
#include "runtime/Cp932.h"
#include "runtime/CsvField.h"

namespace morvane {
namespace {

std::string Heading(const FullAnalysis& r, OutputLanguage language);
std::vector<std::string> ConventionLines(const FullAnalysis& r, const OutputOptions& options);

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
    if (!analysis.removed.empty()) {
        const std::string note =
            RemovedSubjectsNote(analysis.subjects, analysis.subjectsRead, analysis.removed, options.language);
        out += (format == AnovaFormat::Csv ? CsvField(note) : note) + "\n\n";
    }
    if (analysis.FewerThanTwoSubjects())
        out += (format == AnovaFormat::Csv ? CsvField(FewerSubjectsNote()) : FewerSubjectsNote()) + "\n\n";
    std::vector<TableText> tables = TableTexts(analysis, reader, options);
    for (TableText& t : ModelCheckTables(analysis, reader, options)) tables.push_back(std::move(t));
    for (const TableText& t : tables) {
        if (format == AnovaFormat::Text) layout::RenderText(t, out);
        if (format == AnovaFormat::Markdown) layout::RenderMarkdown(t, out);
        if (format == AnovaFormat::Csv) layout::RenderCsv(t, out);
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

}  // namespace
}  // namespace morvane
