#include "output/detail/Columns.h"

#include <utility>

#include "output/Figures.h"
#include "runtime/NumberText.h"

namespace morvane::tables {
namespace {

bool Shows(Readers readers, TableReader reader);
bool Shows(const Heading& h, Reading how);
std::string CellText(const Cell& c, Reading how);
std::string JoinedText(Join join, const Cell& first, const Cell& second, Reading how);

}  // namespace

// ---- cells ----

Cell Blank() {
    return {};
}

Cell Text(std::string text, std::string japanese) {
    Cell c;
    c.kind = Cell::Kind::Text;
    c.text = std::move(text);
    c.japanese = std::move(japanese);
    return c;
}

Cell Integer(std::optional<std::int64_t> value) {
    Cell c;
    c.kind = Cell::Kind::Integer;
    c.integer = value;
    return c;
}

Cell Number(Opt value, Figure figure) {
    Cell c;
    c.kind = Cell::Kind::Number;
    c.number = value;
    c.figure = figure;
    return c;
}

Cell At(std::string text, std::string window, bool over) {
    Cell c;
    c.kind = Cell::Kind::At;
    c.text = std::move(text);
    c.window = std::move(window);
    c.over = over;
    return c;
}

Cell Limit(const std::optional<LevelInterval>& i, Extended LevelInterval::*end, Figure figure) {
    return Number(i ? Opt((*i).*end) : std::nullopt, figure);
}

Cell Bound(const std::optional<Interval>& i, Extended Interval::*end) {
    return Number(i ? Opt((*i).*end) : std::nullopt, Figure::Statistic);
}

// ---- texts for a reader ----

std::string ApaFigure(Opt value, Figure figure, char separator) {
    if (!value) return kUndefinedText;
    const Extended v = *value;
    if (figure == Figure::P) return PValueText(v, separator);
    std::string text;
    switch (figure) {
        case Figure::Df:
            text = ApaDf(v);
            break;
        case Figure::Fraction:
        case Figure::Proportion:
            text = ApaNumber(v, 2, false);
            break;
        case Figure::Exact:
            text = GeneralText(v, kExtendedDigits);
            break;
        default:  // sums, statistics and standardized differences
            text = ApaNumber(v, 2, true);
    }
    if (separator == '.') return text;
    std::erase(text, ',');
    for (char& c : text)
        if (c == '.') c = separator;
    return text;
}

TableText Written(const Table& t, Reading how) {
    auto [head, rows] = WrittenOnDemand(t, how);
    return WithRows(std::move(head), rows);
}

std::pair<TableText, TableRows> WrittenOnDemand(const Table& t, Reading how) {
    const bool japanese = how.japanese;
    TableText out;
    out.id = t.id;
    out.title = japanese ? t.title.japanese : t.title.english;
    std::vector<std::size_t> shown;
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const Heading& h = t.columns[i];
        if (!Shows(h, how)) continue;
        const bool joined = how.reader == TableReader::Terminal && h.join != Join::None;
        out.columnIds.push_back(h.id);
        out.header.push_back(joined     ? (japanese ? h.joinedJapanese : h.joined)
                             : japanese ? h.japanese
                                        : h.english);
        out.numeric.push_back(h.numeric);
        shown.push_back(i);
        if (joined) ++i;  // its partner shows in the same column
    }
    for (const Labels& note : t.notes) {
        if (!Shows(note.readers, how.reader)) continue;
        const std::string& text = japanese ? note.japanese : note.english;
        if (!text.empty()) out.notes.push_back(text);
    }
    // Rows may be asked for from several threads at once. Each thread keeps
    // its row's cells between calls, so that a long table is written without
    // an allocation per row for them.
    TableRows rows{t.rowCount, [&t, how, shown = std::move(shown)](std::size_t r, std::vector<std::string>& texts) {
                       thread_local std::vector<Cell> cells;
                       t.row(r, cells);
                       const std::vector<Cell>& row = cells;
                       texts.resize(shown.size());
                       for (std::size_t k = 0; k < shown.size(); ++k) {
                           const std::size_t i = shown[k];
                           const Join join = how.reader == TableReader::Terminal ? t.columns[i].join : Join::None;
                           texts[k] = join == Join::None ? CellText(row[i], how)
                                                         : JoinedText(join, row[i], row[i + 1], how);
                       }
                   }};
    return {std::move(out), std::move(rows)};
}

namespace {

// Written, for each column and note.
bool Shows(Readers readers, TableReader reader) {
    if (readers == Readers::All) return true;
    return (readers == Readers::Window) == (reader == TableReader::Window);
}

// Written, for each column: its readers', and a correction's only where it applies.
bool Shows(const Heading& h, Reading how) {
    if (!Shows(h.readers, how.reader)) return false;
    if (h.only && *h.only != how.layout) return false;
    if ((h.withinOnly || h.correction) && !how.withinFactors) return false;
    return !h.correction || how.reader == TableReader::Window || *h.correction == how.correction;
}

// Written, for each cell that is not joined to the next.
std::string CellText(const Cell& c, Reading how) {
    const std::string undefined = how.reader == TableReader::Program ? "" : kUndefinedText;
    switch (c.kind) {
        case Cell::Kind::Blank:
            return "";
        case Cell::Kind::Text:
            return how.japanese && !c.japanese.empty() ? c.japanese : c.text;
        case Cell::Kind::Integer:
            return c.integer ? std::to_string(*c.integer) : undefined;
        case Cell::Kind::At:
            if (how.reader == TableReader::Window)
                return !c.over ? c.window : how.japanese ? "全体" : "(all)";
            if (how.reader == TableReader::Program) return !c.over ? c.text : "";
            return !c.over ? c.text : how.japanese ? "全体" : "(all)";
        case Cell::Kind::Number:
            break;
    }
    if (!c.number) return undefined;
    const Extended v = *c.number;
    // A p of 0 is below the number type's range: a bound to every reader.
    if (c.figure == Figure::P && v == 0) return PValueText(v, how.separator);
    if (how.reader == TableReader::Program) return ProgramNumber(v, how.separator);
    if (how.rounding == TableRounding::Apa && c.figure != Figure::Exact)
        return ApaFigure(v, c.figure, how.separator);
    if (how.reader == TableReader::Window)
        return GeneralText(v, c.figure == Figure::Exact ? kExtendedDigits : 10, how.separator);
    switch (c.figure) {
        case Figure::Sum:
            return GeneralText(v, 10, how.separator);
        case Figure::Statistic:
        case Figure::Df:
        case Figure::Fraction:
            return GeneralText(v, 7, how.separator);
        case Figure::Proportion:
        case Figure::Standardized:
            return GeneralText(v, 4, how.separator);
        case Figure::Exact:
            return GeneralText(v, kExtendedDigits, how.separator);
        case Figure::P:
            break;
    }
    return PValueText(v, how.separator);
}

// Written, for the terminal: an interval as "[low, high]", two levels as "i - j".
std::string JoinedText(Join join, const Cell& first, const Cell& second, Reading how) {
    if (join == Join::Levels) return CellText(first, how) + " - " + CellText(second, how);
    if (first.kind == Cell::Kind::Blank) return {};
    if (!first.number) return kUndefinedText;
    return "[" + CellText(first, how) + ", " + CellText(second, how) + "]";
}

}  // namespace
}  // namespace morvane::tables
