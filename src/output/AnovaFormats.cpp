#include "output/AnovaFormats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "output/ApaOutput.h"
#include "output/Conventions.h"
#include "output/ModelCheckTables.h"
#include "runtime/NumberText.h"
#include "output/ResultTables.h"
#include "runtime/Cp932.h"

namespace morvane {
namespace {

std::string FormatJson(const FullAnalysis& r, const OutputOptions& options);
std::string Heading(const FullAnalysis& r, OutputLanguage language);
std::vector<std::string> ConventionLines(const FullAnalysis& r, const OutputOptions& options);
void RenderText(const TableText& t, std::string& out);
void RenderMarkdown(const TableText& t, std::string& out);
void RenderCsv(const TableText& t, std::string& out);
bool LooksNumeric(const std::string& cell);
std::string CsvField(const std::string& cell);

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
    if (format == AnovaFormat::Json) return FormatJson(analysis, options);
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

// RenderCsv, for the title and each cell.
std::string CsvField(const std::string& cell) {
    if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (char c : cell) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

// ---- JSON ----

// FormatJson's writer: keys, values and brackets with the commas between them.
class Json {
public:
    std::string out;

    void Key(std::string_view key) {
        Comma();
        String(key);
        out += ':';
        pending_ = false;
    }
    void Open(char c) {
        Comma();
        out += c;
        pending_ = false;
    }
    void Close(char c) {
        out += c;
        pending_ = true;
    }
    // A value outside the range of a double (which a reader would take as
    // infinite or zero) is written as a string of the same digits, and marked
    // by OutsideDoubleRange.
    void Number(std::optional<Extended> v) {
        Comma();
        const bool outside = v && (std::fabs(*v) > std::numeric_limits<double>::max() ||
                                   (*v != 0 && std::fabs(*v) < std::numeric_limits<double>::denorm_min()));
        if (outside) outside_ = true;
        out += !v ? "null" : outside ? '"' + GeneralText(*v, 17) + '"' : GeneralText(*v, 17);
        pending_ = true;
    }
    bool OutsideDoubleRange() const { return outside_; }
    void Integer(std::int64_t v) {
        Comma();
        out += std::to_string(v);
        pending_ = true;
    }
    void Bool(bool v) {
        Comma();
        out += v ? "true" : "false";
        pending_ = true;
    }
    void Null() {
        Comma();
        out += "null";
        pending_ = true;
    }
    // Members written elsewhere, keys and values.
    void Members(std::string_view members) {
        if (members.empty()) return;
        Comma();
        out += members;
        pending_ = true;
    }
    void Text(std::string_view v) {
        Comma();
        String(v);
        pending_ = true;
    }
    void Pair(const std::optional<morvane::Interval>& i) {
        if (!i) return Null();
        Open('[');
        Number(i->low);
        Number(i->high);
        Close(']');
    }
    void Limits(const std::optional<LevelInterval>& i) {
        if (!i) return Null();
        Open('{');
        Key("level"), Number(i->level);
        Key("lower"), Number(i->lower);
        Key("upper"), Number(i->upper);
        Close('}');
    }

private:
    void Comma() {
        if (pending_) out += ',';
    }
    void String(std::string_view v) {
        out += '"';
        for (char c : v) {
            const auto u = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (u < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
                out += escaped;
            } else {
                out += c;
            }
        }
        out += '"';
    }
    bool pending_ = false;
    bool outside_ = false;
};

void JsonEffect(Json& j, const char* key, const EffectResult& e);
void JsonP(Json& j, const std::string& key, std::optional<Extended> p, bool couldUnderflow = true);
void JsonConventions(Json& j, const FullAnalysis& r, const OutputOptions& options);
void JsonCorrection(Json& j, const char* key, const Correction& c);
void JsonSource(Json& j, const char* key, const PartitionSource& s, bool withMs);
void JsonMeans(Json& j, const char* key, const std::vector<MeanResult>& list, bool withA, bool withB);
void JsonAt(Json& j, Factor factor, std::int32_t at);

// FormatAnalysis, JSON: every figure of the analysis, keyed, for programs.
std::string FormatJson(const FullAnalysis& r, const OutputOptions& options) {
    Json j;
    j.Open('{');
    j.Key("subjects"), j.Integer(r.subjects);
    j.Key("fewerThanTwoSubjects"), j.Bool(r.FewerThanTwoSubjects());
    for (const auto& [key, names] : {std::pair{"levelsA", &r.namesA}, std::pair{"levelsB", &r.namesB}}) {
        j.Key(key);
        j.Open('[');
        for (const std::string& name : *names) j.Text(Utf8FromCp932(name));
        j.Close(']');
    }
    j.Key("effects");
    j.Open('{');
    JsonEffect(j, "A", r.A);
    JsonEffect(j, "B", r.B);
    JsonEffect(j, "AB", r.AB);
    JsonSource(j, "S", r.S, true);
    JsonSource(j, "AS", r.AS, true);
    JsonSource(j, "BS", r.BS, true);
    JsonSource(j, "ABS", r.ABS, true);
    JsonSource(j, "Total", r.Total, false);
    j.Close('}');
    JsonMeans(j, "cells", r.cells, true, true);
    JsonMeans(j, "marginalA", r.marginalA, true, false);
    JsonMeans(j, "marginalB", r.marginalB, false, true);
    j.Key("comparisons");
    j.Open('[');
    for (const ComparisonResult& c : r.comparisons) {
        j.Open('{');
        j.Key("factor"), j.Text(c.factor == Factor::A ? "A" : "B");
        JsonAt(j, c.factor, c.at);
        j.Key("levels");
        j.Open('[');
        j.Integer(c.i);
        j.Integer(c.j);
        j.Close(']');
        j.Key("difference"), j.Number(c.difference);
        j.Key("t"), j.Number(c.t);
        j.Key("df"), j.Integer(c.df);
        JsonP(j, "p", c.p);
        JsonP(j, "pHolm", c.pHolm);
        JsonP(j, "pBonferroni", c.pBonferroni);
        j.Key("ci95"), j.Pair(c.ci95);
        j.Key("cohenDz"), j.Number(c.cohenDz);
        j.Key("dzCI"), j.Limits(c.dzCI);
        j.Key("dAv"), j.Number(c.dAv);
        j.Key("gAv"), j.Number(c.gAv);
        j.Close('}');
    }
    j.Close(']');
    j.Key("simpleEffects");
    j.Open('[');
    for (const SimpleEffectResult& s : r.simpleEffects) {
        j.Open('{');
        j.Key("effect"), j.Text(s.effect == Factor::A ? "A" : "B");
        JsonAt(j, s.effect, s.at);
        j.Key("SS"), j.Number(s.ss);
        j.Key("errorSS"), j.Number(s.errorSs);
        j.Key("F"), j.Number(s.f);
        j.Key("df");
        j.Open('[');
        j.Integer(s.df1);
        j.Integer(s.df2);
        j.Close(']');
        JsonP(j, "p", s.p);
        j.Key("partialEtaSquared"), j.Number(s.partialEtaSquared);
        j.Key("partialEtaSquaredCI"), j.Limits(s.partialEtaSquaredCI);
        j.Key("greenhouseGeisser");
        j.Open('{');
        j.Key("epsilon"), j.Number(s.ggEpsilon);
        JsonP(j, "p", s.ggP);
        j.Close('}');
        j.Close('}');
    }
    j.Close(']');
    j.Key("precision");
    j.Open('{');
    for (const PrecisionFigure& f : r.precision.sums) {
        j.Key(f.name);
        j.Open('{');
        j.Key("resultsFile"), j.Number(f.resultsFile);
        j.Key("exact"), j.Number(f.exact);
        j.Key("correctDigits");
        if (f.resultsFile)
            j.Integer(f.correctDigits);
        else
            j.Null();
        j.Close('}');
    }
    j.Key("summaryTableExact"), j.Bool(r.precision.summaryTableExact);
    j.Key("summaryTableComplete"), j.Bool(r.precision.summaryTableComplete);
    j.Key("method"), j.Text(r.precision.method == PartitionMethod::Exact ? "exact" : "centred");
    j.Close('}');
    JsonConventions(j, r, options);
    bool checksOutside = false;
    j.Members(ModelCheckJsonMembers(r, checksOutside));
    j.Key("numbersOutsideDoubleRange"), j.Bool(j.OutsideDoubleRange() || checksOutside);
    j.Close('}');
    return j.out + "\n";
}

// FormatJson, for each effect: its test, error term, effect sizes and sphericity.
void JsonEffect(Json& j, const char* key, const EffectResult& e) {
    j.Key(key);
    j.Open('{');
    j.Key("SS"), j.Number(e.effect.ss);
    j.Key("df"), j.Integer(e.effect.df);
    j.Key("MS"), j.Number(e.effect.ms);
    j.Key("F"), j.Number(e.f);
    JsonP(j, "p", e.p);
    j.Key("errorSS"), j.Number(e.error.ss);
    j.Key("errorDf"), j.Integer(e.error.df);
    j.Key("errorMS"), j.Number(e.error.ms);
    j.Key("mse"), j.Number(e.mse);
    j.Key("partialEtaSquared"), j.Number(e.partialEtaSquared);
    j.Key("partialEtaSquaredCI"), j.Limits(e.partialEtaSquaredCI);
    j.Key("partialEtaSquaredCIGG"), j.Limits(e.partialEtaSquaredCIGG);
    j.Key("generalizedEtaSquared"), j.Number(e.generalizedEtaSquared);
    j.Key("sphericity");
    if (!e.sphericity) {
        j.Null();
    } else {
        const Sphericity& s = *e.sphericity;
        j.Open('{');
        j.Key("mauchlyW"), j.Number(s.mauchlyW);
        j.Key("chiSquare"), j.Number(s.chiSquare);
        j.Key("chiSquareInfinite"), j.Bool(s.chiSquareInfinite);
        j.Key("df"), j.Integer(s.df);
        JsonP(j, "p", s.p, !s.mauchlyW || *s.mauchlyW != 0);  // W = 0: p is 0 itself
        JsonP(j, "pAsR", s.pAsR, !s.mauchlyW || *s.mauchlyW != 0);
        JsonCorrection(j, "greenhouseGeisser", s.greenhouseGeisser);
        JsonCorrection(j, "huynhFeldt", s.huynhFeldt);
        JsonCorrection(j, "lowerBound", s.lowerBound);
        j.Close('}');
    }
    j.Key("sphericityOmitted"), j.Bool(e.sphericityOmitted);
    j.Close('}');
}

// FormatJson, for every p: a p of 0 is one below the number type's range, and
// says so beside it ("pUnderflow": true), unless `couldUnderflow` is false.
void JsonP(Json& j, const std::string& key, std::optional<Extended> p, bool couldUnderflow) {
    j.Key(key), j.Number(p);
    if (p && *p == 0 && couldUnderflow) j.Key(key + "Underflow"), j.Bool(true);
}

// FormatJson, last: the conventions of the figures by name, and their provenance.
void JsonConventions(Json& j, const FullAnalysis& r, const OutputOptions& options) {
    OutputOptions english = options;
    english.language = OutputLanguage::English;
    j.Key("conventions");
    j.Open('{');
    for (const Convention& c : Conventions(r, english))
        if (c.key != "correction") j.Key(c.key), j.Text(c.text);
    j.Key("effectSizeLevel"), j.Number(r.options.effectSizeLevel);
    j.Close('}');
    j.Key("provenance");
    j.Open('{');
    j.Key("program"), j.Text("morvane");
    j.Key("version");
    if (options.provenance.version.empty())
        j.Null();
    else
        j.Text(options.provenance.version);
    j.Key("dataSha256");
    if (options.provenance.dataSha256)
        j.Text(*options.provenance.dataSha256);
    else
        j.Null();
    j.Close('}');
}

// JsonEffect, for each correction of a tested effect.
void JsonCorrection(Json& j, const char* key, const Correction& c) {
    j.Key(key);
    j.Open('{');
    j.Key("epsilon");
    j.Number(c.epsilon);
    j.Key("df");
    if (c.df1 && c.df2) {
        j.Open('[');
        j.Number(c.df1);
        j.Number(c.df2);
        j.Close(']');
    } else {
        j.Null();
    }
    JsonP(j, "p", c.p);
    j.Close('}');
}

// FormatJson, for each source that is not an effect.
void JsonSource(Json& j, const char* key, const PartitionSource& s, bool withMs) {
    j.Key(key);
    j.Open('{');
    j.Key("SS"), j.Number(s.ss);
    j.Key("df"), j.Integer(s.df);
    if (withMs) j.Key("MS"), j.Number(s.ms);
    j.Close('}');
}

// FormatJson, for the cell means and the means of each factor's levels.
void JsonMeans(Json& j, const char* key, const std::vector<MeanResult>& list, bool withA, bool withB) {
    j.Key(key);
    j.Open('[');
    for (const MeanResult& m : list) {
        j.Open('{');
        if (withA) j.Key("a"), j.Integer(m.a);
        if (withB) j.Key("b"), j.Integer(m.b);
        j.Key("mean"), j.Number(m.mean);
        j.Key("sd"), j.Number(m.sd);
        j.Key("se"), j.Number(m.se);
        j.Key("ci95"), j.Pair(m.ci95);
        j.Key("withinCi95"), j.Pair(m.withinCi95);
        j.Close('}');
    }
    j.Close(']');
}

// FormatJson, for each comparison and simple effect: the level of the other factor, null for all.
void JsonAt(Json& j, Factor factor, std::int32_t at) {
    j.Key("at");
    if (at == 0) return j.Null();
    j.Open('{');
    j.Key(factor == Factor::A ? "b" : "a"), j.Integer(at);
    j.Close('}');
}

}  // namespace
}  // namespace morvane
