#pragma once
// The column model every table of an analysis is described in: a table is
// one list of columns, each with a key, its headings in English and Japanese,
// the kind of figure it holds and the reader of its cell from a row of the
// analysis; Written turns the cells into each reader's texts. Private to the
// output room.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "anova/Analysis.h"
#include "output/OutputOptions.h"
#include "output/ResultTables.h"

namespace morvane::tables {

using Opt = std::optional<Extended>;

// How the terminal rounds a figure. A program gets kProgramDigits significant
// digits of each, the window 10 (19 of an exact figure). Rounded as an APA
// table rounds (ApaFigure), each kind has two decimals (p three), with no zero
// before the point where the figure cannot exceed 1.
enum class Figure {
    Sum,           // sums of squares and mean squares: 10 significant digits
    Statistic,     // F, t, chi-square, means, differences and intervals: 7
    Df,            // a degree of freedom that need not be whole: 7; APA: ApaDf
    Fraction,      // a statistic between 0 and 1 (Mauchly's W): 7; APA: no leading zero
    Proportion,    // effect sizes and epsilons: 4; APA: no leading zero
    Standardized,  // a standardized difference (d, g), which may exceed 1: 4
    P,             // PValueText: ".014", "< .001", "> .999"
    Exact,         // the figures of the precision check: 19, whatever the rounding
};

// One cell of a table, before it is text for a reader.
struct Cell {
    enum class Kind { Blank, Text, Integer, Number, At };
    Kind kind = Kind::Blank;              // Blank: the column does not apply to the row
    std::string text;                     // Text; At: the levels for the terminal and programs
    std::string japanese;                 // Text in Japanese where it differs; empty: the same
    std::string window;                   // At: the levels for the window
    std::optional<std::int64_t> integer;  // Integer: absent when undefined
    Opt number;                           // Number: absent when undefined
    Figure figure = Figure::Statistic;
    bool over = false;  // At: at no level of any factor (over all of them)
};

// Who sees a column or a note. Tool: the terminal and programs.
enum class Readers { All, Tool, Window };

// Two columns the terminal shows as one: an interval, or a pair of levels.
enum class Join { None, Interval, Levels };

// A column's key and headings, and how each reader shows it.
struct Heading {
    std::string id;
    std::string english;
    std::string japanese;
    bool numeric = true;
    Readers readers = Readers::All;
    Join join = Join::None;   // with the next column, for the terminal
    std::string joined = {};  // the heading of the two as one, in English
    std::string joinedJapanese = {};
    // The correction whose figures the column holds: the window shows them all,
    // the others that of their options only.
    std::optional<DfCorrection> correction = std::nullopt;
    // The one layout that shows the column; none: every layout.
    std::optional<OutputLayout> only = std::nullopt;
    // A figure of within factors only: left out of a design without one.
    bool withinOnly = false;

    Heading Names() const {
        Heading h = *this;
        h.numeric = false;
        return h;
    }
    Heading For(Readers shownTo) const {
        Heading h = *this;
        h.readers = shownTo;
        return h;
    }
    Heading JoinedAs(Join how, const char* heading, const char* japaneseHeading) const {
        Heading h = *this;
        h.join = how, h.joined = heading, h.joinedJapanese = japaneseHeading;
        return h;
    }
    Heading Of(DfCorrection c) const {
        Heading h = *this;
        h.correction = c;
        return h;
    }
    Heading Within() const {
        Heading h = *this;
        h.withinOnly = true;
        return h;
    }
    Heading In(OutputLayout layout) const {
        Heading h = *this;
        h.only = layout;
        return h;
    }
};

// A column of a table whose rows are `Row`s of a `Result`: its heading and the
// reader of its cell from a row.
template <class Row, class Result = anova::Analysis>
struct Column {
    Heading heading;
    std::function<Cell(const Result&, const Row&)> cell;
};

struct Labels {
    std::string english, japanese;  // an empty one: nothing in that language
    Readers readers = Readers::All;
};

// A table with its labels in both languages, whose cells are computed a row
// at a time when asked (as often as asked), so that a table of many rows is
// never held whole.
struct Table {
    std::string id;
    Labels title;
    std::vector<Heading> columns;
    std::size_t rowCount = 0;
    std::function<void(std::size_t, std::vector<Cell>&)> row;  // fills the cells of row i
    std::vector<Labels> notes;
};

// The reader the texts are for, the decimal separator of their figures, their
// language, the correction they apply, the layout and how the figures are rounded.
struct Reading {
    TableReader reader;
    char separator;
    bool japanese;
    DfCorrection correction;
    OutputLayout layout = OutputLayout::Design;
    TableRounding rounding = TableRounding::Reader;
    bool withinFactors = true;  // false: the design has no within factor
};

// The cells of a row, by kind.
Cell Blank();
Cell Text(std::string text, std::string japanese = {});
Cell Integer(std::optional<std::int64_t> value);
Cell Number(Opt value, Figure figure);
// The levels a result is at: `text` for the terminal and programs, `window`
// for the window; `over` at no level (every reader says so in its own way).
Cell At(std::string text, std::string window, bool over);
// One end of an interval, both undefined together.
Cell Bound(const std::optional<Interval>& i, Extended Interval::*end);
Cell Limit(const std::optional<LevelInterval>& i, Extended LevelInterval::*end,
           Figure figure = Figure::Proportion);

// A figure as an APA table gives it (output/Figures.h's rules), "—" when
// undefined, with `separator` for the point (a separator other than "." leaves
// out the groups of three digits, whose commas it would be mistaken for).
std::string ApaFigure(Opt value, Figure figure, char separator = '.');

// Each table: the cells of a row, column by column, made when the row is
// asked for, of rows the table holds (moved or copied in).
template <class Result, class Row, class Rows>
Table TabulateHeld(const Result& r, std::string id, Labels title,
                   const std::vector<Column<Row, Result>>& columns, std::shared_ptr<const Rows> rows) {
    Table t{std::move(id), std::move(title), {}, rows->size(), {}, {}};
    for (const auto& c : columns) t.columns.push_back(c.heading);
    auto cells = std::make_shared<const std::vector<Column<Row, Result>>>(columns);
    t.row = [&r, cells, rows](std::size_t i, std::vector<Cell>& out) {
        const Row& row = (*rows)[i];
        out.clear();
        for (const auto& c : *cells) out.push_back(c.cell(r, row));
    };
    return t;
}
template <class Result, class Row, class Rows>
Table Tabulate(const Result& r, std::string id, Labels title, const std::vector<Column<Row, Result>>& columns,
               Rows&& rows) {
    using Held = std::remove_cvref_t<Rows>;
    return TabulateHeld(r, std::move(id), std::move(title), columns,
                        std::shared_ptr<const Held>(std::make_shared<Held>(std::forward<Rows>(rows))));
}
// Rows the analysis holds, which outlive every table made of them: borrowed
// rather than copied.
template <class Result, class Row, class Rows>
Table TabulateBorrowed(const Result& r, std::string id, Labels title,
                       const std::vector<Column<Row, Result>>& columns, const Rows& rows) {
    return TabulateHeld(r, std::move(id), std::move(title), columns,
                        std::shared_ptr<const Rows>(std::shared_ptr<const Rows>(), &rows));
}

// The columns the reader sees, with its labels and figures.
TableText Written(const Table& t, Reading how);
// The same with the rows' texts made when asked; the rows read `t`, which
// must outlive them.
std::pair<TableText, TableRows> WrittenOnDemand(const Table& t, Reading how);

// A column of each adjustment of `shown`, keyed as the JSON, after the column
// keyed `after`; `of` gives a row's fields of the adjustments.
template <class Row, class Result, class Of>
void AddAdjustedColumns(std::vector<Column<Row, Result>>& columns, const std::string& after,
                        AdjustmentSet shown, Of of) {
    std::vector<Column<Row, Result>> adjusted;
    for (const AdjustmentNames& n : kAdjustmentNames)
        if (shown.Has(n.adjustment))
            adjusted.push_back({{n.key, n.heading, n.heading}, [of, a = n.adjustment](auto&, const Row& row) {
                                    return Number(AdjustedField(of(row), a), Figure::P);
                                }});
    auto at = columns.begin();
    while (at != columns.end() && at->heading.id != after) ++at;
    columns.insert(at == columns.end() ? at : at + 1, adjusted.begin(), adjusted.end());
}

}  // namespace morvane::tables
