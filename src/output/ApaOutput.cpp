#include "output/ApaOutput.h"

#include <optional>

#include "anova/AnalysisFields.h"
#include "output/AnalysisTables.h"
#include "output/AnovaFormats.h"
#include "output/Conventions.h"
#include "output/detail/AnalysisTables.h"
#include "output/detail/ApaLayout.h"
#include "output/detail/TableLayout.h"

// The table is laid out once (apa::ApaTable) from the analysis; each output
// writes that one layout in its own markup (output/detail/ApaLayout.h).

namespace morvane {
namespace {

using anova::Analysis;
using apa::ApaTable;
using apa::EffectFigures;
using apa::Italic;
using apa::Runs;

// Whether partial eta squared's interval is the one on the degrees of freedom
// Greenhouse and Geisser's epsilon corrects, where that correction applies:
// the study's always, a design's where its analysis has those intervals.
bool CorrectedInterval(const Analysis& r, const ApaOptions& options) {
    if (options.correction != DfCorrection::GreenhouseGeisser) return false;
    if (options.layout == OutputLayout::Study) return true;
    for (const anova::Effect& e : r.effects)
        if (e.partialEtaSquaredCIGG) return true;
    return false;
}

std::vector<EffectFigures> AllFigures(const Analysis& r, const ApaOptions& options) {
    const bool corrected = CorrectedInterval(r, options);
    std::vector<EffectFigures> figures;
    for (const anova::Effect& e : r.effects)
        figures.push_back(apa::FiguresOf(
            e.name, {e.effect, e.error, e.f, e.p, e.partialEtaSquared, e.generalizedEtaSquared,
                     corrected && e.sphericity ? e.partialEtaSquaredCIGG : e.partialEtaSquaredCI,
                     apa::Applied(e.sphericity, options.correction)}));
    return figures;
}

// The heading of a summary table's column `key` in the reader's language, or the key.
std::string SummaryHeading(const TableText& summary, const std::string& key) {
    for (std::size_t i = 0; i < summary.columnIds.size(); ++i)
        if (summary.columnIds[i] == key) return summary.header[i];
    return key;
}

// The title: a design of between factors alone, or with within factors a mixed
// one; without between factors, the number of within factors.
std::string Title(const Analysis& r, bool ja) {
    if (r.within.empty()) return ja ? "被験者間計画の分散分析" : "Between-Subjects Analysis of Variance";
    if (!r.between.empty()) return ja ? "混合計画の分散分析" : "Mixed-Design Analysis of Variance";
    static const char* const ways[] = {"One", "Two", "Three", "Four"};
    const std::size_t k = r.within.size();
    if (ja) return std::to_string(k) + " 要因被験者内分散分析";
    return std::string(k >= 1 && k <= 4 ? ways[k - 1] : std::to_string(k).c_str()) +
           "-Way Within-Subjects Analysis of Variance";
}

// Note: each factor with its levels, between factors first.
std::string FactorLevels(const Analysis& r, bool ja) {
    std::string text;
    for (std::size_t k = 0; k < r.Factors(); ++k) {
        const DesignFactor& f = r.FactorAt(k);
        if (!text.empty()) text += "; ";
        text += ja ? f.name + " の水準: " : (text.empty() ? "Levels of " : "of ") + f.name + ": ";
        for (std::size_t i = 0; i < f.levels.size(); ++i) text += (i ? ", " : "") + f.levels[i];
    }
    return text;
}

// Either note's end: of the conventions, those of the figures in the table (a
// reader of the paper needs no more; the rest, and the names programs read
// them by, are in the other outputs), then the provenance.
Runs NoteEnding(std::string text, const std::vector<Convention>& conventions, const ApaOptions& options) {
    const bool ja = options.language == OutputLanguage::Japanese;
    for (const Convention& c : conventions)
        if (c.key == "sumsOfSquares" ||
            (c.key == "huynhFeldt" && options.correction == DfCorrection::HuynhFeldt))
            text += c.text + (ja ? "" : " ");
    for (const std::string& line : ProvenanceLines(options.provenance, options.language))
        text += line + (ja ? "。" : ". ");
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return {Italic(ja ? "注." : "Note."), apa::Plain(text)};
}

// LaidOut: the note under the table: what was analysed, the correction
// applied, the symbols, the conventions and the provenance.
Runs Note(const Analysis& r, const ApaOptions& options, const std::vector<EffectFigures>& figures) {
    const bool ja = options.language == OutputLanguage::Japanese;
    std::string text = r.removed.empty() ? " N = " + std::to_string(r.subjects)
                                         : " " + RemovedSubjectsNote(r.subjects, r.subjectsRead, r.removed,
                                                                     options.language);
    if (!r.between.empty()) {
        text += ja ? " (群の大きさ: " : " (group sizes: ";
        for (std::size_t i = 0; i < r.groupSizes.size(); ++i)
            text += (i ? ", " : "") + std::to_string(r.groupSizes[i]);
        text += ")";
    }
    text += (ja ? "。" : ". ") + FactorLevels(r, ja) + (ja ? "。" : ". ");
    if (r.averagedCells > 0)
        text += ja ? std::to_string(r.averagedCells) + " 個のセルの得点は、" +
                         std::to_string(r.averagedRows) + " 行を平均したものです。"
                   : std::to_string(r.averagedCells) + (r.averagedCells == 1 ? " cell was" : " cells were") +
                         " averaged from " + std::to_string(r.averagedRows) + " rows. ";
    if (r.rowsWithoutScore > 0) text += UnscoredRowsNote(r, options.language) + (ja ? "" : " ");
    for (const anova::Effect& e : r.effects)
        if (e.hypothesisOmitted) {
            const tables::Labels note = tables::HypothesisLeftOutNote(e.name);
            text += ja ? note.japanese : note.english + " ";
        }
    std::vector<apa::Uncorrected> uncorrected;
    for (const anova::Effect& e : r.effects) {
        const Correction* applied = apa::Applied(e.sphericity, options.correction);
        uncorrected.push_back(e.effect.df <= 1              ? apa::Uncorrected::No
                              : e.within.empty()            ? apa::Uncorrected::Between
                              : e.sphericityOmitted         ? apa::Uncorrected::Omitted
                              : applied && applied->df1     ? apa::Uncorrected::No
                                                            : apa::Uncorrected::Undefined);
    }
    text += apa::CorrectionAndSymbols(figures, uncorrected, options, r.options.effectSizeLevel,
                                      CorrectedInterval(r, options));
    return NoteEnding(std::move(text), Conventions(r, options), options);
}

// Every output: the table's number, title, columns, a row an effect and the note;
// a design without a within factor has no correction to apply or name.
ApaTable LaidOut(const Analysis& r, ApaOptions options) {
    if (r.within.empty()) options.correction = DfCorrection::None;
    const bool ja = options.language == OutputLanguage::Japanese;
    ApaTable t;
    t.number = ja ? "表 1" : "Table 1";
    t.title = Title(r, ja);
    std::vector<TableText> tables;
    if (ja) tables = TableTexts(r, TableReader::Terminal, options);
    t.columns = apa::Columns(options, r.options.effectSizeLevel,
                             [&](const char* key) { return SummaryHeading(tables.front(), key); });
    const std::vector<EffectFigures> figures = AllFigures(r, options);
    apa::FillRows(t, figures);
    t.note = Note(r, options, figures);
    return t;
}

// The robustness of the decisions, after the table and its sentences, as the
// terminal reads it; its effects named as the APA table names them, in either layout.
TableText RobustnessText(const Analysis& r, const ApaOptions& options) {
    const tables::Reading how{TableReader::Terminal, '.',
                              options.language == OutputLanguage::Japanese,
                              options.correction, OutputLayout::Design, TableRounding::Reader,
                              !r.within.empty()};
    return tables::Written(tables::Robustness(r, OutputLayout::Design), how);
}

// The planning of each effect, after the robustness, read the same way.
TableText PlanningText(const Analysis& r, const ApaOptions& options) {
    const tables::Reading how{TableReader::Terminal, '.', options.language == OutputLanguage::Japanese,
                              options.correction, OutputLayout::Design, TableRounding::Reader,
                              !r.within.empty()};
    return tables::Written(tables::Planning(r, OutputLayout::Design), how);
}

// The follow-ups asked for and Box's M test, after the sentences, as the
// terminal reads them and rounded as the APA table is: the planned
// contrasts, the pairs of the interactions' cells, the simple interactions,
// and with between and within factors Box's M.
std::vector<TableText> FollowUpTexts(const Analysis& r, const ApaOptions& options) {
    const tables::Reading how{TableReader::Terminal, '.', options.language == OutputLanguage::Japanese,
                              options.correction, OutputLayout::Design, TableRounding::Apa,
                              !r.within.empty()};
    std::vector<TableText> texts;
    if (anova::ContrastsAsked(r))
        texts.push_back(tables::Written(tables::PlannedContrasts(r, OutputLayout::Design), how));
    if (anova::CellsAsked(r))
        texts.push_back(tables::Written(tables::CellComparisons(r, OutputLayout::Design), how));
    if (r.options.simpleInteractions)
        texts.push_back(tables::Written(tables::SimpleInteractions(r, OutputLayout::Design), how));
    if (r.boxM) texts.push_back(tables::Written(tables::BoxM(r), how));
    return texts;
}

// The tables after the sentences, as HTML: the follow-ups and Box's M, the robustness and the planning.
std::string TablesAfterHtml(const Analysis& r, const ApaOptions& options) {
    std::string html;
    for (const TableText& t : FollowUpTexts(r, options)) html += apa::HtmlTable(t);
    if (!r.robustness.empty()) html += apa::HtmlTable(RobustnessText(r, options));
    if (!r.planning.empty()) html += apa::HtmlTable(PlanningText(r, options));
    return html;
}

std::vector<std::string> Sentences(const Analysis& analysis, const ApaOptions& options, bool named) {
    std::vector<std::string> sentences;
    for (const EffectFigures& e : AllFigures(analysis, options))
        sentences.push_back((named ? e.name + ": " : "") +
                            apa::Sentence(e, analysis.options.effectSizeLevel));
    return sentences;
}

}  // namespace

std::string ApaText(const Analysis& analysis, const ApaOptions& options) {
    std::string out = apa::TextTable(LaidOut(analysis, options)) + "\n";
    for (const std::string& sentence : Sentences(analysis, options, true)) out += sentence + "\n";
    // The planned contrasts asked for, each as the F of one degree of freedom it is.
    for (const anova::PlannedContrast& c : analysis.contrasts) {
        PartitionSource effect, error;
        effect.df = 1, error.df = static_cast<std::int64_t>(c.df);
        const apa::EffectTest test{effect, error, c.f, c.p, c.partialEtaSquared, std::nullopt,
                                   c.partialEtaSquaredCI, nullptr};
        out += c.family + ", " + c.name + ": " +
               apa::Sentence(apa::FiguresOf(c.name, test), analysis.options.effectSizeLevel) + "\n";
    }
    for (const TableText& t : FollowUpTexts(analysis, options)) {
        out += "\n";
        layout::RenderText(t, out);
    }
    if (analysis.robustness.empty()) return out;
    out += "\n";
    layout::RenderText(RobustnessText(analysis, options), out);
    if (!analysis.planning.empty()) {
        out += "\n";
        layout::RenderText(PlanningText(analysis, options), out);
    }
    while (out.size() >= 2 && out[out.size() - 1] == '\n' && out[out.size() - 2] == '\n') out.pop_back();
    return out;
}
std::string ApaHtmlDocument(const Analysis& analysis, const ApaOptions& options) {
    return apa::HtmlDocument(
        options, LaidOut(analysis, options), AllFigures(analysis, options), Sentences(analysis, options, false),
        TablesAfterHtml(analysis, options));
}
std::string ApaSummaryHtml(const Analysis& analysis, const ApaOptions& options) {
    return apa::HtmlFragment(LaidOut(analysis, options));
}
std::string ApaSummaryRtf(const Analysis& analysis, const ApaOptions& options) {
    return apa::RtfDocument(LaidOut(analysis, options));
}
std::string ApaSummaryTabs(const Analysis& analysis, const ApaOptions& options) {
    return apa::TabsTable(LaidOut(analysis, options));
}
std::vector<std::string> ReadySentences(const Analysis& analysis, const ApaOptions& options) {
    return Sentences(analysis, options, false);
}
std::vector<std::string> NamedSentences(const Analysis& analysis, const ApaOptions& options) {
    return Sentences(analysis, options, true);
}

}  // namespace morvane
