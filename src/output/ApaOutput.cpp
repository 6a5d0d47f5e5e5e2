#include "output/ApaOutput.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "output/AnovaFormats.h"
#include "output/Conventions.h"
#include "output/Figures.h"
#include "output/ResultTables.h"
#include "runtime/NumberText.h"

// The table is laid out once (ApaTable: its number, title, headings as runs of
// italic, subscript and superscript text, its cells and its note); each output
// below writes that one layout in its own markup.

namespace morvane {
namespace {

using Opt = std::optional<Extended>;

// A piece of a heading or note in one style.
struct Run {
    std::string text;
    enum class Style { Plain, Italic, Sub, Super } style = Style::Plain;
};
using Runs = std::vector<Run>;

// What the table and the sentence show of one effect under the options' correction.
struct EffectFigures {
    std::string name, df1, df2, f, mse, p, epsilon, eta, etaCi, etaWithCi, generalized;
};

// A column of the table: the summary table's column it shows (by key), its
// heading, its cell of an effect and its width in RTF.
struct ApaColumn {
    std::string key;
    Runs heading;
    std::string EffectFigures::*cell;
    int twips;
};

struct ApaTable {
    std::string number, title;
    std::vector<ApaColumn> columns;
    std::vector<std::vector<std::string>> rows;
    Runs note;
};

std::string Figure(const Opt& v, int decimals, bool leadingZero) {
    return v ? ApaNumber(*v, decimals, leadingZero) : kUndefinedText;
}

std::string CorrectedDf(const Opt& df) {
    return df ? ApaDf(*df) : kUndefinedText;
}

const Correction* Applied(const EffectResult& e, DfCorrection c) {
    if (!e.sphericity || c == DfCorrection::None) return nullptr;
    return c == DfCorrection::GreenhouseGeisser ? &e.sphericity->greenhouseGeisser
                                                : &e.sphericity->huynhFeldt;
}

// Partial eta squared's interval under the correction: on the corrected
// degrees of freedom for Greenhouse-Geisser where the effect was corrected,
// on the uncorrected ones otherwise (the note says which).
const std::optional<LevelInterval>& EtaInterval(const EffectResult& e, DfCorrection c) {
    return c == DfCorrection::GreenhouseGeisser && e.sphericity ? e.partialEtaSquaredCIGG
                                                                : e.partialEtaSquaredCI;
}

EffectFigures Figures(const char* name, const EffectResult& e, DfCorrection c) {
    EffectFigures out;
    out.name = name;
    out.f = Figure(e.f, 2, true);
    out.mse = Figure(e.mse ? e.mse : e.error.ms, 2, true);
    out.eta = Figure(e.partialEtaSquared, 2, false);
    out.generalized = Figure(e.generalizedEtaSquared, 2, false);
    if (const std::optional<LevelInterval>& ci = EtaInterval(e, c))
        out.etaCi = "[" + ApaNumber(ci->lower, 2, false) + ", " + ApaNumber(ci->upper, 2, false) + "]";
    out.etaWithCi =
        e.partialEtaSquared ? out.eta + " " + (out.etaCi.empty() ? "[—, —]" : out.etaCi) : out.eta;
    if (const Correction* applied = Applied(e, c)) {
        out.df1 = CorrectedDf(applied->df1), out.df2 = CorrectedDf(applied->df2);
        out.p = applied->p ? ApaP(*applied->p) : kUndefinedText;
        out.epsilon = Figure(applied->epsilon, 2, false);
    } else {
        out.df1 = std::to_string(e.effect.df), out.df2 = std::to_string(e.error.df);
        out.p = e.p ? ApaP(*e.p) : kUndefinedText;
        out.epsilon = kUndefinedText;
    }
    return out;
}

std::vector<EffectFigures> AllFigures(const FullAnalysis& r, DfCorrection c) {
    return {Figures("A", r.A, c), Figures("B", r.B, c), Figures("A × B", r.AB, c)};
}

Run Plain(std::string text) {
    return {std::move(text), Run::Style::Plain};
}
Run Italic(std::string text) {
    return {std::move(text), Run::Style::Italic};
}

// The heading of the summary's column `key` in the reader's language, as the analysis' tables name it.
std::string SummaryHeading(const std::vector<TableText>& tables, const std::string& key) {
    const TableText& summary = tables.front();
    for (std::size_t i = 0; i < summary.columnIds.size(); ++i)
        if (summary.columnIds[i] == key) return summary.header[i];
    return key;
}

// The table's columns: in Japanese with the summary table's headings; the
// epsilon only where a correction applies.
std::vector<ApaColumn> Columns(const FullAnalysis& r, const ApaOptions& options) {
    const std::string level = LevelPercent(r.options.effectSizeLevel) + "% CI]";
    using F = EffectFigures;
    std::vector<ApaColumn> columns;
    if (options.language == OutputLanguage::Japanese) {
        const auto tables = TableTexts(r, TableReader::Terminal, options);
        const auto heading = [&](const char* key) { return SummaryHeading(tables, key); };
        columns = {
            {"source", {Plain(heading("source"))}, &F::name, 1200},
            {"df", {Plain(heading("df"))}, &F::df1, 950},
            {"errorDf", {Plain("誤差の" + heading("df"))}, &F::df2, 950},
            {"f", {Plain(heading("f"))}, &F::f, 950},
            {"mse", {Italic(heading("mse"))}, &F::mse, 950},
            {"p", {Plain(heading("p"))}, &F::p, 950},
            {"epsilon", {Italic("ε")}, &F::epsilon, 950},
            {"partialEtaSquared", {Plain(heading("partialEtaSquared") + " [" + level)}, &F::etaWithCi, 1900},
            {"generalizedEtaSquared", {Plain(heading("generalizedEtaSquared"))}, &F::generalized, 950}};
    } else {
        columns = {{"source", {Plain("Effect")}, &F::name, 1200},
                   {"df", {Italic("df")}, &F::df1, 950},
                   {"errorDf", {Plain("Error "), Italic("df")}, &F::df2, 950},
                   {"f", {Italic("F")}, &F::f, 950},
                   {"mse", {Italic("MSE")}, &F::mse, 950},
                   {"p", {Italic("p")}, &F::p, 950},
                   {"epsilon", {Italic("ε")}, &F::epsilon, 950},
                   {"partialEtaSquared",
                    {Italic("η"), {"p", Run::Style::Sub}, {"2", Run::Style::Super}, Plain(" [" + level)},
                    &F::etaWithCi,
                    1900},
                   {"generalizedEtaSquared",
                    {Italic("η"), {"G", Run::Style::Sub}, {"2", Run::Style::Super}},
                    &F::generalized,
                    950}};
    }
    if (options.correction == DfCorrection::None)
        std::erase_if(columns, [](const ApaColumn& c) { return c.key == "epsilon"; });
    return columns;
}

Runs Note(const FullAnalysis& r, const ApaOptions& options, const std::vector<EffectFigures>& figures);

// Every output: the table's number, title, columns, a row an effect and the note.
ApaTable LaidOut(const FullAnalysis& r, const ApaOptions& options) {
    const bool ja = options.language == OutputLanguage::Japanese;
    ApaTable t;
    t.number = ja ? "表 1" : "Table 1";
    t.title = ja ? "2 要因被験者内分散分析" : "Two-Way Within-Subjects Analysis of Variance";
    t.columns = Columns(r, options);
    const std::vector<EffectFigures> figures = AllFigures(r, options.correction);
    for (const EffectFigures& e : figures) {
        std::vector<std::string> row;
        for (const ApaColumn& c : t.columns) row.push_back(e.*c.cell);
        t.rows.push_back(std::move(row));
    }
    t.note = Note(r, options, figures);
    return t;
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
    const std::string correction = CorrectionName(options.correction, options.language);
    const std::string level = LevelPercent(r.options.effectSizeLevel);
    const bool ggInterval = options.correction == DfCorrection::GreenhouseGeisser;
    if (options.correction == DfCorrection::None) {
        text += ja ? "自由度と p は修正していません。" : "Degrees of freedom and p are uncorrected. ";
    } else {
        text += ja ? "2 以上の自由度の効果の自由度と p は " + correction + " の修正によります (ε はその値)。"
                   : "Degrees of freedom and p of effects with more than one degree of freedom are " +
                         correction + " corrected (ε: its epsilon). ";
    }
    for (std::size_t i = 0; i < figures.size(); ++i) {
        const EffectResult& e = i == 0 ? r.A : i == 1 ? r.B : r.AB;
        if (e.sphericityOmitted && options.correction != DfCorrection::None)
            text += figures[i].name + (ja ? ": 対比が多すぎるため修正していません。"
                                          : ": too many contrasts to test sphericity; uncorrected. ");
    }
    text += ja ? "偏 η² の " + level + "% 信頼区間は" + (ggInterval ? "修正した" : "修正しない") +
                     "自由度の非心 F 分布によります。MSE は誤差項の平均平方です。"
               : "ηp² = partial eta squared with its " + level +
                     "% confidence interval (noncentral F on the " +
                     (ggInterval ? "corrected" : "uncorrected") +
                     " df); ηG² = generalized eta squared; MSE = the error term's mean square. ";
    // Of the conventions, those of the figures in the table: a reader of the
    // paper needs no more (the rest, and the names programs read them by, are
    // in the other outputs).
    for (const Convention& c : Conventions(r, options))
        if (c.key == "sumsOfSquares" ||
            (c.key == "huynhFeldt" && options.correction == DfCorrection::HuynhFeldt))
            text += c.text + (ja ? "" : " ");
    for (const std::string& line : ProvenanceLines(options.provenance, options.language))
        text += line + (ja ? "。" : ". ");
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return {Italic(ja ? "注." : "Note."), Plain(text)};
}

// ---- the outputs ----

std::string PlainRuns(const Runs& runs) {
    std::string out;
    for (const Run& run : runs) out += run.style == Run::Style::Super && run.text == "2" ? "²" : run.text;
    return out;
}

// ApaText: the table in columns padded to their widest cell, rules above and below the header and below it
// all.
std::string TextTable(const ApaTable& t) {
    std::vector<std::vector<std::string>> lines{{}};
    for (const ApaColumn& c : t.columns) lines[0].push_back(PlainRuns(c.heading));
    lines.insert(lines.end(), t.rows.begin(), t.rows.end());
    std::vector<std::size_t> widths(t.columns.size(), 0);
    for (const auto& line : lines)
        for (std::size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(line[i]));
    std::size_t total = 0;
    for (std::size_t w : widths) total += w;
    const std::string rule(total + 2 * (widths.size() - 1), '-');
    std::string out = t.number + "\n" + t.title + "\n" + rule + "\n";
    for (std::size_t l = 0; l < lines.size(); ++l) {
        std::string text;
        for (std::size_t i = 0; i < lines[l].size(); ++i) {
            const std::string pad(widths[i] - DisplayWidth(lines[l][i]), ' ');
            text += (i ? "  " : "") + (i ? pad + lines[l][i] : lines[l][i] + pad);
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        out += text + "\n";
        if (l == 0) out += rule + "\n";
    }
    return out + rule + "\n" + PlainRuns(t.note) + "\n";
}

std::string HtmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string HtmlRuns(const Runs& runs) {
    std::string out;
    for (const Run& run : runs) {
        const std::string text = HtmlEscaped(run.text);
        switch (run.style) {
            case Run::Style::Plain:
                out += text;
                break;
            case Run::Style::Italic:
                out += "<i>" + text + "</i>";
                break;
            case Run::Style::Sub:
                out += "<sub>" + text + "</sub>";
                break;
            case Run::Style::Super:
                out += "<sup>" + text + "</sup>";
                break;
        }
    }
    return out;
}

// The rules of the table are the cells' borders, which word processors keep when pasting.
constexpr const char* kRule = "1px solid #000";
constexpr const char* kFont = "font-family:'Times New Roman',Times,serif;font-size:12pt;";

std::string HtmlFragment(const ApaTable& t) {
    std::string out = std::string("<p style=\"margin:0;") + kFont + "\"><b>" + HtmlEscaped(t.number) +
                      "</b></p>\n<p style=\"margin:0 0 6pt 0;" + kFont + "\"><i>" + HtmlEscaped(t.title) +
                      "</i></p>\n<table style=\"border-collapse:collapse;" + kFont + "\">\n<thead>\n<tr>";
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        out += std::string("<th style=\"border-top:") + kRule + ";border-bottom:" + kRule +
               ";padding:2pt 6pt;" + kFont + "font-weight:normal;text-align:" + (i ? "center" : "left") +
               "\">" + HtmlRuns(t.columns[i].heading) + "</th>";
    out += "</tr>\n</thead>\n<tbody>\n";
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        out += "<tr>";
        const std::string bottom = r + 1 == t.rows.size() ? std::string("border-bottom:") + kRule + ";" : "";
        for (std::size_t i = 0; i < t.rows[r].size(); ++i)
            out += "<td style=\"" + bottom + "padding:2pt 6pt;" + kFont +
                   "text-align:" + (i ? "center" : "left") + "\">" + HtmlEscaped(t.rows[r][i]) + "</td>";
        out += "</tr>\n";
    }
    return out + "</tbody>\n</table>\n<p style=\"margin:6pt 0 0 0;" + kFont + "\">" + HtmlRuns(t.note) +
           "</p>\n";
}

// RTF: ASCII, with every other character as \uN? (UTF-16 units, signed) and the specials escaped.
std::string RtfEscaped(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::uint32_t code = lead;
        std::size_t length = 1;
        if (lead >= 0xF0)
            code = lead & 0x07, length = 4;
        else if (lead >= 0xE0)
            code = lead & 0x0F, length = 3;
        else if (lead >= 0xC0)
            code = lead & 0x1F, length = 2;
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        if (code == '\\' || code == '{' || code == '}') {
            out += '\\';
            out += static_cast<char>(code);
        } else if (code >= 0x20 && code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x20) {
            out += ' ';
        } else {
            const auto unit = [&](std::uint32_t u) {
                out += "\\u" + std::to_string(static_cast<std::int16_t>(static_cast<std::uint16_t>(u))) + "?";
            };
            if (code >= 0x10000) {
                unit(0xD800 + ((code - 0x10000) >> 10));
                unit(0xDC00 + ((code - 0x10000) & 0x3FF));
            } else {
                unit(code);
            }
        }
    }
    return out;
}

std::string RtfRuns(const Runs& runs) {
    std::string out;
    for (const Run& run : runs) {
        const std::string text = RtfEscaped(run.text);
        switch (run.style) {
            case Run::Style::Plain:
                out += text;
                break;
            case Run::Style::Italic:
                out += "{\\i " + text + "}";
                break;
            case Run::Style::Sub:
                out += "{\\sub " + text + "}";
                break;
            case Run::Style::Super:
                out += "{\\super " + text + "}";
                break;
        }
    }
    return out;
}

// ApaSummaryRtf, for the header and each row: one row of the table, with
// rules above, below or both.
std::string RtfRow(const std::vector<ApaColumn>& columns, const std::vector<std::string>& cells, bool top,
                   bool bottom) {
    std::string out = "\\trowd\\trgaph80\\trleft0";
    int right = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (top) out += "\\clbrdrt\\brdrs\\brdrw10";
        if (bottom) out += "\\clbrdrb\\brdrs\\brdrw10";
        right += columns[i].twips;
        out += "\\cellx" + std::to_string(right);
    }
    out += "\n";
    for (std::size_t i = 0; i < cells.size(); ++i)
        out += std::string("\\pard\\intbl") + (i ? "\\qc " : "\\ql ") + cells[i] + "\\cell\n";
    return out + "\\row\n";
}

}  // namespace

std::string ApaText(const FullAnalysis& analysis, const ApaOptions& options) {
    std::string out = TextTable(LaidOut(analysis, options)) + "\n";
    for (const std::string& sentence : NamedSentences(analysis, options)) out += sentence + "\n";
    return out;
}

std::string ApaHtmlDocument(const FullAnalysis& analysis, const ApaOptions& options) {
    const bool ja = options.language == OutputLanguage::Japanese;
    std::string out = std::string("<!DOCTYPE html>\n<html lang=\"") + (ja ? "ja" : "en") +
                      "\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                      (ja ? "分散分析の結果" : "Analysis of variance") + "</title>\n</head>\n<body>\n" +
                      ApaSummaryHtml(analysis, options);
    const std::vector<EffectFigures> figures = AllFigures(analysis, options.correction);
    const std::vector<std::string> sentences = ReadySentences(analysis, options);
    for (std::size_t i = 0; i < sentences.size(); ++i)
        out += std::string("<p style=\"") + kFont + "\">" + HtmlEscaped(figures[i].name) + ": " +
               HtmlEscaped(sentences[i]) + "</p>\n";
    return out + "</body>\n</html>\n";
}

std::string ApaSummaryHtml(const FullAnalysis& analysis, const ApaOptions& options) {
    return HtmlFragment(LaidOut(analysis, options));
}

std::string ApaSummaryRtf(const FullAnalysis& analysis, const ApaOptions& options) {
    const ApaTable t = LaidOut(analysis, options);
    std::string out =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\froman Times New Roman;}}\n"
        "\\pard\\plain\\f0\\fs24\\sa0{\\b " +
        RtfEscaped(t.number) + "}\\par\n\\pard\\plain\\f0\\fs24\\sa120{\\i " + RtfEscaped(t.title) +
        "}\\par\n";
    std::vector<std::string> header;
    for (const ApaColumn& c : t.columns) header.push_back(RtfRuns(c.heading));
    out += RtfRow(t.columns, header, true, true);
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        std::vector<std::string> cells;
        for (const std::string& c : t.rows[r]) cells.push_back(RtfEscaped(c));
        out += RtfRow(t.columns, cells, false, r + 1 == t.rows.size());
    }
    return out + "\\pard\\plain\\f0\\fs24\\sb120 " + RtfRuns(t.note) + "\\par\n}";
}

std::string ApaSummaryTabs(const FullAnalysis& analysis, const ApaOptions& options) {
    const ApaTable t = LaidOut(analysis, options);
    std::string out = t.number + "\n" + t.title + "\n";
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        out += (i ? "\t" : "") + PlainRuns(t.columns[i].heading);
    out += "\n";
    for (const auto& row : t.rows) {
        for (std::size_t i = 0; i < row.size(); ++i) out += (i ? "\t" : "") + row[i];
        out += "\n";
    }
    return out + PlainRuns(t.note) + "\n";
}

std::vector<std::string> ReadySentences(const FullAnalysis& analysis, const ApaOptions& options) {
    std::vector<std::string> sentences;
    for (const EffectFigures& e : AllFigures(analysis, options.correction)) {
        std::string s = "F(" + e.df1 + ", " + e.df2 + ") = " + e.f + ", p " +
                        (e.p.starts_with("<") || e.p.starts_with(">") ? e.p : "= " + e.p) +
                        ", ηp² = " + e.eta;
        if (!e.etaCi.empty()) s += ", " + LevelPercent(analysis.options.effectSizeLevel) + "% CI " + e.etaCi;
        sentences.push_back(std::move(s));
    }
    return sentences;
}

std::vector<std::string> NamedSentences(const FullAnalysis& analysis, const ApaOptions& options) {
    const std::vector<EffectFigures> figures = AllFigures(analysis, options.correction);
    std::vector<std::string> sentences = ReadySentences(analysis, options);
    for (std::size_t i = 0; i < sentences.size(); ++i) sentences[i] = figures[i].name + ": " + sentences[i];
    return sentences;
}

}  // namespace morvane
