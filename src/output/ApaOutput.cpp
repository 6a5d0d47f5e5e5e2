#include "output/ApaOutput.h"

#include <optional>

#include "output/AnovaFormats.h"
#include "output/Conventions.h"
#include "output/DesignTables.h"
#include "output/Figures.h"
#include "output/ResultTables.h"
#include "output/detail/ApaLayout.h"
#include "runtime/NumberText.h"

// The table is laid out once (apa::ApaTable) from either analysis; each output
// writes that one layout in its own markup (output/detail/ApaLayout.h).

namespace morvane {
namespace {

using apa::ApaTable;
using apa::EffectFigures;
using apa::Italic;
using apa::Runs;

// Partial eta squared's interval under the correction: on the corrected
// degrees of freedom for Greenhouse-Geisser where the effect was corrected,
// on the uncorrected ones otherwise (the note says which).
const std::optional<LevelInterval>& EtaInterval(const EffectResult& e, DfCorrection c) {
    return c == DfCorrection::GreenhouseGeisser && e.sphericity ? e.partialEtaSquaredCIGG
                                                                : e.partialEtaSquaredCI;
}

EffectFigures Figures(const char* name, const EffectResult& e, DfCorrection c) {
    return apa::FiguresOf(name, {e.effect, e.error, e.f, e.mse, e.p, e.partialEtaSquared,
                                 e.generalizedEtaSquared, EtaInterval(e, c), apa::Applied(e.sphericity, c)});
}

std::vector<EffectFigures> AllFigures(const FullAnalysis& r, DfCorrection c) {
    return {Figures("A", r.A, c), Figures("B", r.B, c), Figures("A × B", r.AB, c)};
}

// The heading of a summary table's column `key` in the reader's language, or the key.
std::string SummaryHeading(const TableText& summary, const std::string& key) {
    for (std::size_t i = 0; i < summary.columnIds.size(); ++i)
        if (summary.columnIds[i] == key) return summary.header[i];
    return key;
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

// LaidOut: the note under the table: the study, the correction applied, the
// symbols, the conventions and the provenance.
Runs Note(const FullAnalysis& r, const ApaOptions& options, const std::vector<EffectFigures>& figures) {
    const bool ja = options.language == OutputLanguage::Japanese;
    std::string text = r.removed.empty() ? " N = " + std::to_string(r.subjects)
                                         : " " + RemovedSubjectsNote(r.subjects, r.subjectsRead, r.removed,
                                                                     options.language);
    text += ja ? "。A の水準: " : ". Levels of A: ";
    for (std::int32_t i = 1; i <= r.levelsA; ++i) text += (i > 1 ? ", " : "") + LevelName(r, Factor::A, i);
    text += ja ? "; B の水準: " : "; of B: ";
    for (std::int32_t i = 1; i <= r.levelsB; ++i) text += (i > 1 ? ", " : "") + LevelName(r, Factor::B, i);
    text += ja ? "。" : ". ";
    const std::vector<bool> omitted{r.A.sphericityOmitted, r.B.sphericityOmitted, r.AB.sphericityOmitted};
    text += apa::CorrectionAndSymbols(figures, omitted, options, r.options.effectSizeLevel,
                                      options.correction == DfCorrection::GreenhouseGeisser);
    return NoteEnding(std::move(text), Conventions(r, options), options);
}

// Every output: the table's number, title, columns, a row an effect and the note.
ApaTable LaidOut(const FullAnalysis& r, const ApaOptions& options) {
    const bool ja = options.language == OutputLanguage::Japanese;
    ApaTable t;
    t.number = ja ? "表 1" : "Table 1";
    t.title = ja ? "2 要因被験者内分散分析" : "Two-Way Within-Subjects Analysis of Variance";
    std::vector<TableText> tables;
    if (ja) tables = TableTexts(r, TableReader::Terminal, options);
    t.columns = apa::Columns(options, r.options.effectSizeLevel,
                             [&](const char* key) { return SummaryHeading(tables.front(), key); });
    const std::vector<EffectFigures> figures = AllFigures(r, options.correction);
    apa::FillRows(t, figures);
    t.note = Note(r, options, figures);
    return t;
}

// ---- any design ----

std::vector<EffectFigures> AllFigures(const DesignAnalysis& r, DfCorrection c) {
    std::vector<EffectFigures> figures;
    for (const DesignEffect& e : r.effects)
        figures.push_back(apa::FiguresOf(
            e.name, {e.effect, e.error, e.f, std::nullopt, e.p, e.partialEtaSquared, e.generalizedEtaSquared,
                     e.partialEtaSquaredCI, apa::Applied(e.sphericity, c)}));
    return figures;
}

// The title: a design with between factors is a mixed one; without, the number of within factors.
std::string Title(const DesignAnalysis& r, bool ja) {
    if (!r.between.empty()) return ja ? "混合計画の分散分析" : "Mixed-Design Analysis of Variance";
    static const char* const ways[] = {"One", "Two", "Three", "Four"};
    const std::size_t k = r.within.size();
    if (ja) return std::to_string(k) + " 要因被験者内分散分析";
    return std::string(k >= 1 && k <= 4 ? ways[k - 1] : std::to_string(k).c_str()) +
           "-Way Within-Subjects Analysis of Variance";
}

// Note: each factor with its levels, between factors first.
std::string FactorLevels(const DesignAnalysis& r, bool ja) {
    std::string text;
    const auto add = [&](const std::vector<DesignFactor>& factors) {
        for (const DesignFactor& f : factors) {
            if (!text.empty()) text += "; ";
            text += ja ? f.name + " の水準: " : (text.empty() ? "Levels of " : "of ") + f.name + ": ";
            for (std::size_t i = 0; i < f.levels.size(); ++i) text += (i ? ", " : "") + f.levels[i];
        }
    };
    add(r.between);
    add(r.within);
    return text;
}

Runs Note(const DesignAnalysis& r, const ApaOptions& options, const std::vector<EffectFigures>& figures) {
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
    std::vector<bool> omitted;
    for (const DesignEffect& e : r.effects) omitted.push_back(e.sphericityOmitted);
    text += apa::CorrectionAndSymbols(figures, omitted, options, r.options.effectSizeLevel, false);
    return NoteEnding(std::move(text), DesignConventions(r, options), options);
}

ApaTable LaidOut(const DesignAnalysis& r, const ApaOptions& options) {
    const bool ja = options.language == OutputLanguage::Japanese;
    ApaTable t;
    t.number = ja ? "表 1" : "Table 1";
    t.title = Title(r, ja);
    std::vector<TableText> tables;
    if (ja) tables = DesignTableTexts(r, TableReader::Terminal, options);
    t.columns = apa::Columns(options, r.options.effectSizeLevel, [&](const char* key) {
        // The design's summary has no MSE column; the A x B x S table's heading is the same in both
        // languages.
        return std::string(key) == "mse" ? std::string("MSE") : SummaryHeading(tables.front(), key);
    });
    const std::vector<EffectFigures> figures = AllFigures(r, options.correction);
    apa::FillRows(t, figures);
    t.note = Note(r, options, figures);
    return t;
}

// The outputs of either analysis from its layout and figures.
template <class Analysis>
std::vector<std::string> Sentences(const Analysis& analysis, const ApaOptions& options, bool named) {
    std::vector<std::string> sentences;
    for (const EffectFigures& e : AllFigures(analysis, options.correction))
        sentences.push_back((named ? e.name + ": " : "") +
                            apa::Sentence(e, analysis.options.effectSizeLevel));
    return sentences;
}

template <class Analysis>
std::string Text(const Analysis& analysis, const ApaOptions& options) {
    std::string out = apa::TextTable(LaidOut(analysis, options)) + "\n";
    for (const std::string& sentence : Sentences(analysis, options, true)) out += sentence + "\n";
    return out;
}

template <class Analysis>
std::string HtmlDocument(const Analysis& analysis, const ApaOptions& options) {
    return apa::HtmlDocument(options, LaidOut(analysis, options), AllFigures(analysis, options.correction),
                             Sentences(analysis, options, false));
}

}  // namespace

std::string ApaText(const FullAnalysis& analysis, const ApaOptions& options) {
    return Text(analysis, options);
}
std::string ApaHtmlDocument(const FullAnalysis& analysis, const ApaOptions& options) {
    return HtmlDocument(analysis, options);
}
std::string ApaSummaryHtml(const FullAnalysis& analysis, const ApaOptions& options) {
    return apa::HtmlFragment(LaidOut(analysis, options));
}
std::string ApaSummaryRtf(const FullAnalysis& analysis, const ApaOptions& options) {
    return apa::RtfDocument(LaidOut(analysis, options));
}
std::string ApaSummaryTabs(const FullAnalysis& analysis, const ApaOptions& options) {
    return apa::TabsTable(LaidOut(analysis, options));
}
std::vector<std::string> ReadySentences(const FullAnalysis& analysis, const ApaOptions& options) {
    return Sentences(analysis, options, false);
}
std::vector<std::string> NamedSentences(const FullAnalysis& analysis, const ApaOptions& options) {
    return Sentences(analysis, options, true);
}

std::string ApaText(const DesignAnalysis& analysis, const ApaOptions& options) {
    return Text(analysis, options);
}
std::string ApaHtmlDocument(const DesignAnalysis& analysis, const ApaOptions& options) {
    return HtmlDocument(analysis, options);
}
std::string ApaSummaryHtml(const DesignAnalysis& analysis, const ApaOptions& options) {
    return apa::HtmlFragment(LaidOut(analysis, options));
}
std::string ApaSummaryRtf(const DesignAnalysis& analysis, const ApaOptions& options) {
    return apa::RtfDocument(LaidOut(analysis, options));
}
std::string ApaSummaryTabs(const DesignAnalysis& analysis, const ApaOptions& options) {
    return apa::TabsTable(LaidOut(analysis, options));
}
std::vector<std::string> ReadySentences(const DesignAnalysis& analysis, const ApaOptions& options) {
    return Sentences(analysis, options, false);
}
std::vector<std::string> NamedSentences(const DesignAnalysis& analysis, const ApaOptions& options) {
    return Sentences(analysis, options, true);
}

}  // namespace morvane
