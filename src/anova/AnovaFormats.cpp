#include "anova/AnovaFormats.h"

#include <locale.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "runtime/CLocale.h"
#include "runtime/Cp932.h"

namespace morvane {
namespace {

using Opt = std::optional<Extended>;
const char* const kUndefined = "—";

// printf's "%.*Lg" in the C locale.
std::string General(Extended v, int digits) {
    const locale_t previous = uselocale(CLocale());
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%.*Lg", digits, v);
    uselocale(previous);
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// printf's "%.*Lf" in the C locale.
std::string Fixed(Extended v, int decimals) {
    const locale_t previous = uselocale(CLocale());
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%.*Lf", decimals, v);
    uselocale(previous);
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// ---- the tables of text, markdown and CSV ----

struct Table {
    std::string title;
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> notes;
};

// Columns a terminal gives a UTF-8 text: two for the wide characters of East
// Asian scripts and the full-width forms, one for others.
std::size_t DisplayWidth(std::string_view text) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        length = std::min(length, text.size() - i);
        bool wide = length == 4;
        if (length == 3) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            wide = (lead >= 0xE3 && lead <= 0xE9) || (lead == 0xEF && second >= 0xBC && second <= 0xBD) ||
                   (lead == 0xEA && second >= 0xB0) || (lead >= 0xEB && lead <= 0xED);
        }
        width += wide ? 2 : 1;
        i += length;
    }
    return width;
}

bool LooksNumeric(const std::string& cell) {
    if (cell.empty() || cell == kUndefined) return true;
    const char c = cell[0];
    return (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '<' || c == '[';
}

void RenderText(const Table& t, std::string& out) {
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

void RenderMarkdown(const Table& t, std::string& out) {
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

std::string CsvField(const std::string& cell) {
    if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (char c : cell) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

void RenderCsv(const Table& t, std::string& out) {
    out += CsvField(t.title) + "\n";
    const auto line = [&](const std::vector<std::string>& row) {
        for (std::size_t i = 0; i < row.size(); ++i) out += (i ? "," : "") + CsvField(row[i]);
        out += "\n";
    };
    line(t.header);
    for (const auto& row : t.rows) line(row);
    out += "\n";
}

// How the cells of one format show numbers.
class Style {
public:
    explicit Style(bool machine) : machine_(machine) {}
    std::string Number(Opt v, int digits = 7) const {
        if (!v) return machine_ ? "" : kUndefined;
        return General(*v, machine_ ? 17 : digits);
    }
    std::string P(Opt v) const {
        if (!v) return machine_ ? "" : kUndefined;
        if (machine_) return General(*v, 17);
        if (*v < 0.001L) return "< .001";
        const std::string text = Fixed(*v, 3);  // "0.014", "1.000"
        return text[0] == '0' ? text.substr(1) : text;
    }
    std::string Interval(const std::optional<morvane::Interval>& i) const {
        if (!i) return machine_ ? "" : kUndefined;
        if (machine_) return General(i->low, 17) + ";" + General(i->high, 17);
        return "[" + General(i->low, 7) + ", " + General(i->high, 7) + "]";
    }
    std::string Integer(std::int64_t v) const { return std::to_string(v); }
    bool Machine() const { return machine_; }

private:
    bool machine_;
};

std::string LevelName(const FullAnalysis& r, Factor f, std::int32_t level) {
    const auto& names = f == Factor::A ? r.namesA : r.namesB;
    if (level < 1 || static_cast<std::size_t>(level) > names.size()) return "";
    return Utf8FromCp932(names[static_cast<std::size_t>(level - 1)]);
}

std::vector<Table> Tables(const FullAnalysis& r, const Style& st) {
    std::vector<Table> tables;
    const bool csv = st.Machine();

    Table summary{"Analysis of variance",
                  {"Source", "SS", "df", "MS", "F", "p", "partial eta^2", "generalized eta^2"},
                  {},
                  {}};
    const auto source = [&](const char* name, const PartitionSource& s) {
        summary.rows.push_back(
            {name, st.Number(s.ss, 10), st.Integer(s.df), st.Number(s.ms, 10), "", "", "", ""});
    };
    const auto effect = [&](const char* name, const EffectResult& e) {
        summary.rows.push_back({name, st.Number(e.effect.ss, 10), st.Integer(e.effect.df),
                                st.Number(e.effect.ms, 10), st.Number(e.f), st.P(e.p),
                                st.Number(e.partialEtaSquared, 4), st.Number(e.generalizedEtaSquared, 4)});
    };
    source("S", r.S);
    effect("A", r.A);
    source("AS", r.AS);
    effect("B", r.B);
    source("BS", r.BS);
    effect("AB", r.AB);
    source("ABS", r.ABS);
    summary.rows.push_back({"Total", st.Number(r.Total.ss, 10), st.Integer(r.Total.df), "", "", "", "", ""});
    tables.push_back(summary);

    Table sphericity{"Sphericity (Mauchly) and corrections",
                     {"Effect", "W", "chi^2", "df", "p", "GG epsilon", "p (GG)", "HF epsilon", "p (HF)",
                      "LB epsilon", "p (LB)"},
                     {},
                     {}};
    const std::pair<const char*, const EffectResult*> effects[] = {{"A", &r.A}, {"B", &r.B}, {"AB", &r.AB}};
    for (const auto& [name, e] : effects) {
        if (e->sphericityOmitted)
            sphericity.notes.push_back(std::string(name) + ": too many contrasts to test sphericity.");
        if (!e->sphericity) continue;
        const Sphericity& s = *e->sphericity;
        sphericity.rows.push_back({name, st.Number(s.mauchlyW), st.Number(s.chiSquare), st.Integer(s.df),
                                   st.P(s.p), st.Number(s.greenhouseGeisser.epsilon, 4),
                                   st.P(s.greenhouseGeisser.p), st.Number(s.huynhFeldt.epsilon, 4),
                                   st.P(s.huynhFeldt.p), st.Number(s.lowerBound.epsilon, 4),
                                   st.P(s.lowerBound.p)});
    }
    if (sphericity.rows.empty() && !csv)
        sphericity.notes.push_back("No effect has more than one degree of freedom with enough subjects.");
    else if (!csv)
        sphericity.notes.push_back("HF epsilon as computed; its p uses it capped at 1.");
    tables.push_back(sphericity);

    const auto means = [&](const char* title, const std::vector<MeanResult>& list) {
        Table t{title, {"A", "B", "Mean", "SD", "SE", "95% CI", "within-subject 95% CI"}, {}, {}};
        if (csv)
            t.header = {"A", "B", "Mean", "SD", "SE", "CI low", "CI high", "within CI low", "within CI high"};
        for (const MeanResult& m : list) {
            std::vector<std::string> row{m.a ? LevelName(r, Factor::A, m.a) : "",
                                         m.b ? LevelName(r, Factor::B, m.b) : "", st.Number(m.mean),
                                         st.Number(m.sd), st.Number(m.se)};
            if (csv) {
                for (const auto& i : {m.ci95, m.withinCi95}) {
                    row.push_back(i ? st.Number(i->low) : "");
                    row.push_back(i ? st.Number(i->high) : "");
                }
            } else {
                row.push_back(st.Interval(m.ci95));
                row.push_back(st.Interval(m.withinCi95));
            }
            t.rows.push_back(row);
        }
        tables.push_back(t);
    };
    means("Cell means", r.cells);
    means("Means of the levels of A", r.marginalA);
    means("Means of the levels of B", r.marginalB);

    Table comparisons{"Pairwise comparisons (paired t; Holm and Bonferroni within each family)",
                      {"Factor", "At", "Levels", "Difference", "95% CI", "t", "df", "p", "p (Holm)",
                       "p (Bonferroni)", "d_z"},
                      {},
                      {}};
    if (csv)
        comparisons.header = {"Factor", "At", "Level i", "Level j",  "Difference",     "CI low", "CI high",
                              "t",      "df", "p",       "p (Holm)", "p (Bonferroni)", "d_z"};
    for (const ComparisonResult& c : r.comparisons) {
        const Factor other = c.factor == Factor::A ? Factor::B : Factor::A;
        std::vector<std::string> row{c.factor == Factor::A ? "A" : "B",
                                     c.at ? LevelName(r, other, c.at) : ""};
        if (csv) {
            row.push_back(LevelName(r, c.factor, c.i));
            row.push_back(LevelName(r, c.factor, c.j));
            row.push_back(st.Number(c.difference));
            row.push_back(c.ci95 ? st.Number(c.ci95->low) : "");
            row.push_back(c.ci95 ? st.Number(c.ci95->high) : "");
        } else {
            if (!c.at) row[1] = "(all)";
            row.push_back(LevelName(r, c.factor, c.i) + " - " + LevelName(r, c.factor, c.j));
            row.push_back(st.Number(c.difference));
            row.push_back(st.Interval(c.ci95));
        }
        for (const std::string& cell : {st.Number(c.t), st.Integer(c.df), st.P(c.p), st.P(c.pHolm),
                                        st.P(c.pBonferroni), st.Number(c.cohenDz, 4)})
            row.push_back(cell);
        comparisons.rows.push_back(row);
    }
    tables.push_back(comparisons);

    Table simple{
        "Simple main effects",
        {"Effect", "At", "SS", "error SS", "F", "df1", "df2", "p", "partial eta^2", "GG epsilon", "p (GG)"},
        {},
        {}};
    for (const SimpleEffectResult& s : r.simpleEffects) {
        const Factor other = s.effect == Factor::A ? Factor::B : Factor::A;
        simple.rows.push_back({s.effect == Factor::A ? "A" : "B", LevelName(r, other, s.at),
                               st.Number(s.ss, 10), st.Number(s.errorSs, 10), st.Number(s.f),
                               st.Integer(s.df1), st.Integer(s.df2), st.P(s.p),
                               st.Number(s.partialEtaSquared, 4), st.Number(s.ggEpsilon, 4), st.P(s.ggP)});
    }
    tables.push_back(simple);

    const PrecisionCheck& pc = r.precision;
    Table precision{
        "Precision of the results file", {"Sum", "Results file", "Exact", "Correct digits"}, {}, {}};
    for (const PrecisionFigure& f : pc.sums)
        precision.rows.push_back({f.name, st.Number(f.resultsFile, 19), st.Number(f.exact, 19),
                                  f.resultsFile ? std::to_string(f.correctDigits) : (csv ? "" : kUndefined)});
    if (!csv) {
        if (!pc.summaryTableComplete)
            precision.notes.push_back(
                "The results file cannot complete its summary table for this study (an undefined mean square "
                "or F ratio stops it); the figures before that are compared.");
        precision.notes.push_back(
            pc.summaryTableExact ? "Every figure of the results file's summary table is exact."
                                 : "Some figures of the results file's summary table are not exact (loss of "
                                   "digits in the correction-term method); the figures above are exact.");
        if (pc.method == PartitionMethod::Centred)
            precision.notes.push_back(
                "The scores span too many decimal places for exact sums: computed from the "
                "grand mean in extended precision instead.");
    }
    tables.push_back(precision);
    return tables;
}

// ---- JSON ----

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
    void Number(Opt v) {
        Comma();
        out += v ? General(*v, 17) : "null";
        pending_ = true;
    }
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
};

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
    j.Key("p");
    j.Number(c.p);
    j.Close('}');
}

void JsonEffect(Json& j, const char* key, const EffectResult& e) {
    j.Key(key);
    j.Open('{');
    j.Key("SS"), j.Number(e.effect.ss);
    j.Key("df"), j.Integer(e.effect.df);
    j.Key("MS"), j.Number(e.effect.ms);
    j.Key("F"), j.Number(e.f);
    j.Key("p"), j.Number(e.p);
    j.Key("errorSS"), j.Number(e.error.ss);
    j.Key("errorDf"), j.Integer(e.error.df);
    j.Key("errorMS"), j.Number(e.error.ms);
    j.Key("partialEtaSquared"), j.Number(e.partialEtaSquared);
    j.Key("generalizedEtaSquared"), j.Number(e.generalizedEtaSquared);
    j.Key("sphericity");
    if (!e.sphericity) {
        j.Null();
    } else {
        const Sphericity& s = *e.sphericity;
        j.Open('{');
        j.Key("mauchlyW"), j.Number(s.mauchlyW);
        j.Key("chiSquare"), j.Number(s.chiSquare);
        j.Key("df"), j.Integer(s.df);
        j.Key("p"), j.Number(s.p);
        JsonCorrection(j, "greenhouseGeisser", s.greenhouseGeisser);
        JsonCorrection(j, "huynhFeldt", s.huynhFeldt);
        JsonCorrection(j, "lowerBound", s.lowerBound);
        j.Close('}');
    }
    j.Key("sphericityOmitted"), j.Bool(e.sphericityOmitted);
    j.Close('}');
}

void JsonSource(Json& j, const char* key, const PartitionSource& s, bool withMs) {
    j.Key(key);
    j.Open('{');
    j.Key("SS"), j.Number(s.ss);
    j.Key("df"), j.Integer(s.df);
    if (withMs) j.Key("MS"), j.Number(s.ms);
    j.Close('}');
}

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

void JsonAt(Json& j, Factor factor, std::int32_t at) {
    j.Key("at");
    if (at == 0) return j.Null();
    j.Open('{');
    j.Key(factor == Factor::A ? "b" : "a"), j.Integer(at);
    j.Close('}');
}

std::string FormatJson(const FullAnalysis& r) {
    Json j;
    j.Open('{');
    j.Key("subjects"), j.Integer(r.subjects);
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
        j.Key("p"), j.Number(c.p);
        j.Key("pHolm"), j.Number(c.pHolm);
        j.Key("pBonferroni"), j.Number(c.pBonferroni);
        j.Key("ci95"), j.Pair(c.ci95);
        j.Key("cohenDz"), j.Number(c.cohenDz);
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
        j.Key("p"), j.Number(s.p);
        j.Key("partialEtaSquared"), j.Number(s.partialEtaSquared);
        j.Key("greenhouseGeisser");
        j.Open('{');
        j.Key("epsilon"), j.Number(s.ggEpsilon);
        j.Key("p"), j.Number(s.ggP);
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
    j.Close('}');
    return j.out + "\n";
}

std::string Heading(const FullAnalysis& r) {
    std::string text =
        "Two-way within-subjects analysis of variance: N = " + std::to_string(r.subjects) + "; A: ";
    for (std::size_t i = 0; i < r.namesA.size(); ++i) text += (i ? ", " : "") + Utf8FromCp932(r.namesA[i]);
    text += "; B: ";
    for (std::size_t i = 0; i < r.namesB.size(); ++i) text += (i ? ", " : "") + Utf8FromCp932(r.namesB[i]);
    return text;
}

}  // namespace

std::optional<AnovaFormat> AnovaFormatNamed(std::string_view name) {
    if (name == "text") return AnovaFormat::Text;
    if (name == "markdown") return AnovaFormat::Markdown;
    if (name == "csv") return AnovaFormat::Csv;
    if (name == "json") return AnovaFormat::Json;
    return std::nullopt;
}

std::string FormatAnalysis(const FullAnalysis& analysis, AnovaFormat format) {
    if (format == AnovaFormat::Json) return FormatJson(analysis);
    const Style style(format == AnovaFormat::Csv);
    std::string out;
    if (format == AnovaFormat::Text) out = Heading(analysis) + "\n\n";
    if (format == AnovaFormat::Markdown) out = "# " + Heading(analysis) + "\n\n";
    for (const Table& t : Tables(analysis, style)) {
        if (format == AnovaFormat::Text) RenderText(t, out);
        if (format == AnovaFormat::Markdown) RenderMarkdown(t, out);
        if (format == AnovaFormat::Csv) RenderCsv(t, out);
    }
    while (out.size() >= 2 && out[out.size() - 1] == '\n' && out[out.size() - 2] == '\n') out.pop_back();
    return out;
}

std::string InexactResultsNotice() {
    return "計算結果ファイルの要約表には、桁落ちのため正確でない値があります。正確な値は "
           "morvane anova で求められます";
}

}  // namespace morvane
