#include "output/detail/ApaLayout.h"

#include <algorithm>
#include <cstdint>

#include "output/Conventions.h"
#include "output/Figures.h"
#include "output/ResultTables.h"
#include "output/detail/Columns.h"
#include "runtime/NumberText.h"

namespace morvane::apa {

Run Plain(std::string text) {
    return {std::move(text), Run::Style::Plain};
}
Run Italic(std::string text) {
    return {std::move(text), Run::Style::Italic};
}

namespace {

using tables::ApaFigure;
using Kind = tables::Figure;

}  // namespace

const Correction* Applied(const std::optional<Sphericity>& sphericity, DfCorrection c) {
    if (!sphericity || c == DfCorrection::None) return nullptr;
    return c == DfCorrection::GreenhouseGeisser ? &sphericity->greenhouseGeisser : &sphericity->huynhFeldt;
}

EffectFigures FiguresOf(std::string name, const EffectTest& e) {
    EffectFigures out;
    out.name = std::move(name);
    out.f = ApaFigure(e.f, Kind::Statistic);
    out.mse = ApaFigure(e.error.ms, Kind::Sum);
    out.eta = ApaFigure(e.partialEtaSquared, Kind::Proportion);
    out.generalized = ApaFigure(e.generalizedEtaSquared, Kind::Proportion);
    if (const std::optional<LevelInterval>& ci = e.partialEtaSquaredCI)
        out.etaCi = "[" + ApaFigure(ci->lower, Kind::Proportion) + ", " + ApaFigure(ci->upper, Kind::Proportion) +
                    "]";
    out.etaWithCi =
        e.partialEtaSquared ? out.eta + " " + (out.etaCi.empty() ? "[—, —]" : out.etaCi) : out.eta;
    if (const Correction* applied = e.applied) {
        out.df1 = ApaFigure(applied->df1, Kind::Df), out.df2 = ApaFigure(applied->df2, Kind::Df);
        out.p = ApaFigure(applied->p, Kind::P);
        out.epsilon = ApaFigure(applied->epsilon, Kind::Proportion);
    } else {
        out.df1 = std::to_string(e.effect.df), out.df2 = std::to_string(e.error.df);
        out.p = ApaFigure(e.p, Kind::P);
        out.epsilon = kUndefinedText;
    }
    return out;
}

std::vector<ApaColumn> Columns(const OutputOptions& options, Extended effectSizeLevel,
                               const std::function<std::string(const char*)>& heading) {
    const std::string level = LevelPercent(effectSizeLevel) + "% CI]";
    using F = EffectFigures;
    std::vector<ApaColumn> columns;
    if (options.language == OutputLanguage::Japanese) {
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

void FillRows(ApaTable& table, const std::vector<EffectFigures>& figures) {
    for (const EffectFigures& e : figures) {
        std::vector<std::string> row;
        for (const ApaColumn& c : table.columns) row.push_back(e.*c.cell);
        table.rows.push_back(std::move(row));
    }
}

std::string CorrectionAndSymbols(const std::vector<EffectFigures>& figures,
                                 const std::vector<Uncorrected>& uncorrected, const OutputOptions& options,
                                 Extended effectSizeLevel, bool correctedInterval) {
    const bool ja = options.language == OutputLanguage::Japanese;
    std::string text;
    const std::string correction = CorrectionName(options.correction, options.language);
    const std::string level = LevelPercent(effectSizeLevel);
    if (options.correction == DfCorrection::None) {
        text += ja ? "自由度と p は修正していません。" : "Degrees of freedom and p are uncorrected. ";
    } else {
        // Between effects are tested against the subjects within groups: no sphericity to correct.
        const bool between =
            std::find(uncorrected.begin(), uncorrected.end(), Uncorrected::Between) != uncorrected.end();
        text += ja ? std::string(between ? "被験者内の" : "") + "2 以上の自由度の効果の自由度と p は " +
                         correction + " の修正によります (ε はその値)。"
                   : std::string("Degrees of freedom and p of ") + (between ? "within " : "") +
                         "effects with more than one degree of freedom are " + correction +
                         " corrected (ε: its epsilon). ";
        for (std::size_t i = 0; i < figures.size() && i < uncorrected.size(); ++i) {
            if (uncorrected[i] == Uncorrected::Omitted)
                text += figures[i].name + (ja ? ": 対比が多すぎるため修正していません。"
                                              : ": too many contrasts to test sphericity; uncorrected. ");
            if (uncorrected[i] == Uncorrected::Undefined)
                text += figures[i].name + (ja ? ": ε が定義されないため修正していません。"
                                              : ": its epsilon is undefined; uncorrected. ");
        }
    }
    text += ja ? "偏 η² の " + level + "% 信頼区間は" + (correctedInterval ? "修正した" : "修正しない") +
                     "自由度の非心 F 分布によります。MSE は誤差項の平均平方です。"
               : "ηp² = partial eta squared with its " + level +
                     "% confidence interval (noncentral F on the " +
                     (correctedInterval ? "corrected" : "uncorrected") +
                     " df); ηG² = generalized eta squared; MSE = the error term's mean square. ";
    return text;
}

std::string Sentence(const EffectFigures& e, Extended effectSizeLevel) {
    std::string s = "F(" + e.df1 + ", " + e.df2 + ") = " + e.f + ", p " +
                    (e.p.starts_with("<") || e.p.starts_with(">") ? e.p : "= " + e.p) + ", ηp² = " + e.eta;
    if (!e.etaCi.empty()) s += ", " + LevelPercent(effectSizeLevel) + "% CI " + e.etaCi;
    return s;
}

namespace {

// The rules of the table are the cells' borders, which word processors keep when pasting.
constexpr const char* kRule = "1px solid #000";
constexpr const char* kFont = "font-family:'Times New Roman',Times,serif;font-size:12pt;";

}  // namespace

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

namespace {

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

}  // namespace

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

namespace {

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

std::string RtfDocument(const ApaTable& t) {
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

std::string TabsTable(const ApaTable& t) {
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

std::string HtmlTable(const TableText& t) {
    std::string out = std::string("<p style=\"margin:12pt 0 6pt 0;") + kFont + "\"><i>" + HtmlEscaped(t.title) +
                      "</i></p>\n<table style=\"border-collapse:collapse;" + kFont + "\">\n<thead>\n<tr>";
    for (std::size_t i = 0; i < t.header.size(); ++i)
        out += std::string("<th style=\"border-top:") + kRule + ";border-bottom:" + kRule +
               ";padding:2pt 6pt;" + kFont + "font-weight:normal;text-align:" + (i ? "center" : "left") +
               "\">" + HtmlEscaped(t.header[i]) + "</th>";
    out += "</tr>\n</thead>\n<tbody>\n";
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        out += "<tr>";
        const std::string bottom = r + 1 == t.rows.size() ? std::string("border-bottom:") + kRule + ";" : "";
        for (std::size_t i = 0; i < t.rows[r].size(); ++i)
            out += "<td style=\"" + bottom + "padding:2pt 6pt;" + kFont + "text-align:" + (i ? "center" : "left") +
                   "\">" + HtmlEscaped(t.rows[r][i]) + "</td>";
        out += "</tr>\n";
    }
    out += "</tbody>\n</table>\n";
    for (const std::string& note : t.notes)
        out += std::string("<p style=\"margin:6pt 0 0 0;") + kFont + "\">" + HtmlEscaped(note) + "</p>\n";
    return out;
}

std::string HtmlDocument(const OutputOptions& options, const ApaTable& t,
                         const std::vector<EffectFigures>& figures, const std::vector<std::string>& sentences,
                         const std::string& after) {
    const bool ja = options.language == OutputLanguage::Japanese;
    std::string out = std::string("<!DOCTYPE html>\n<html lang=\"") + (ja ? "ja" : "en") +
                      "\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                      (ja ? "分散分析の結果" : "Analysis of variance") + "</title>\n</head>\n<body>\n" +
                      HtmlFragment(t);
    for (std::size_t i = 0; i < sentences.size(); ++i)
        out += std::string("<p style=\"") + kFont + "\">" + HtmlEscaped(figures[i].name) + ": " +
               HtmlEscaped(sentences[i]) + "</p>\n";
    return out + after + "</body>\n</html>\n";
}

}  // namespace morvane::apa
