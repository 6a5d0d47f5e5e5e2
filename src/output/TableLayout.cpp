#include "output/detail/TableLayout.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "output/Figures.h"
#include "runtime/CsvField.h"
#include "runtime/Together.h"

namespace morvane::layout {
namespace {

bool LooksNumeric(const std::string& cell);

// A long table's rows are made in blocks, kParts blocks at a time beside
// each other on as many threads.
constexpr std::size_t kBlock = 4096, kParts = 2;

// Hands each row of `rows` to each(row, part), the rows of each block in
// order, a block's rows all to the same part; start(part) before a part's
// first block of a round, end(part) after the round, parts in order.
template <class Start, class Each, class End>
void InParts(const TableRows& rows, Start&& start, Each&& each, End&& end) {
    for (std::size_t first = 0; first < rows.count; first += kBlock * kParts) {
        std::vector<std::function<void()>> tasks;
        for (std::size_t part = 0; part < kParts && first + part * kBlock < rows.count; ++part) {
            const std::size_t from = first + part * kBlock, to = std::min(rows.count, from + kBlock);
            tasks.emplace_back([&, part, from, to] {
                start(part);
                std::vector<std::string> row;
                for (std::size_t r = from; r < to; ++r) {
                    rows.fill(r, row);
                    each(row, part);
                }
            });
        }
        RunTogether(tasks);
        for (std::size_t part = 0; part < tasks.size(); ++part) end(part);
    }
}

// The lines line(row, to) writes of every row, appended to `out` in order.
template <class Line>
void WriteInParts(const TableRows& rows, std::string& out, Line&& line) {
    std::string parts[kParts];
    InParts(
        rows, [&](std::size_t part) { parts[part].clear(); },
        [&](const std::vector<std::string>& row, std::size_t part) { line(row, parts[part]); },
        [&](std::size_t part) { out += parts[part]; });
}

// A materialized table's rows handed out as a TableRows.
TableRows RowsOf(const TableText& t) {
    return {t.rows.size(), [&t](std::size_t i, std::vector<std::string>& row) { row = t.rows[i]; }};
}

}  // namespace

void RenderText(const TableText& t, std::string& out) {
    RenderText(t, RowsOf(t), out);
}
void RenderMarkdown(const TableText& t, std::string& out) {
    RenderMarkdown(t, RowsOf(t), out);
}
void RenderCsv(const TableText& t, std::string& out) {
    RenderCsv(t, RowsOf(t), out);
}

// Text: a table of columns padded to their widest cell, figures to the right.
// The rows are made twice, once to measure the columns and once to write
// them, rather than held.
void RenderText(const TableText& t, const TableRows& rows, std::string& out) {
    out += t.title + "\n";
    if (rows.count == 0) {
        for (const auto& note : t.notes) out += note + "\n";
        out += "\n";
        return;
    }
    const auto measure = [](const std::vector<std::string>& row, std::vector<std::size_t>& widths) {
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    };
    std::vector<std::size_t> widths(t.header.size(), 0);
    measure(t.header, widths);
    std::vector<std::size_t> partWidths[kParts];
    InParts(
        rows, [&](std::size_t part) { partWidths[part].assign(widths.size(), 0); },
        [&](const std::vector<std::string>& row, std::size_t part) { measure(row, partWidths[part]); },
        [&](std::size_t part) {
            for (std::size_t i = 0; i < widths.size(); ++i) widths[i] = std::max(widths[i], partWidths[part][i]);
        });
    const auto line = [&](const std::vector<std::string>& cells, bool header, std::string& to) {
        const std::size_t start = to.size();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const std::size_t pad = widths[i] - DisplayWidth(cells[i]);
            if (i > 0) to += "  ";
            const bool right = i > 0 && (header || LooksNumeric(cells[i]));
            if (right) to.append(pad, ' ');
            to += cells[i];
            if (!right) to.append(pad, ' ');
        }
        while (to.size() > start && to.back() == ' ') to.pop_back();
        to += "\n";
    };
    line(t.header, true, out);
    std::size_t total = 0;
    for (std::size_t w : widths) total += w;
    out += std::string(total + 2 * (widths.size() - 1), '-') + "\n";
    WriteInParts(rows, out, [&](const std::vector<std::string>& row, std::string& to) { line(row, false, to); });
    for (const auto& note : t.notes) out += note + "\n";
    out += "\n";
}

// Markdown: a table under a second-level heading, its notes after it.
void RenderMarkdown(const TableText& t, const TableRows& rows, std::string& out) {
    out += "## " + t.title + "\n\n";
    if (rows.count == 0) {
        for (const auto& note : t.notes) out += note + "\n";
        out += "\n";
        return;
    }
    const auto line = [](const std::vector<std::string>& cells, std::string& to) {
        to += "|";
        for (const auto& cell : cells) {
            to += ' ';
            for (char c : cell) {
                if (c == '|') to += '\\';
                to += c;
            }
            to += " |";
        }
        to += "\n";
    };
    line(t.header, out);
    out += "|";
    for (std::size_t i = 0; i < t.header.size(); ++i) out += i == 0 ? " --- |" : " ---: |";
    out += "\n";
    WriteInParts(rows, out, line);
    if (!t.notes.empty()) out += "\n";
    for (const auto& note : t.notes) out += note + "\n";
    out += "\n";
}

// CSV: the title, the header and the rows; no notes.
void RenderCsv(const TableText& t, const TableRows& rows, std::string& out) {
    out += CsvField(t.title) + "\n";
    const auto line = [](const std::vector<std::string>& cells, std::string& to) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i) to += ',';
            to += CsvField(cells[i]);
        }
        to += "\n";
    };
    line(t.header, out);
    WriteInParts(rows, out, line);
    out += "\n";
}

namespace {

// RenderText, for each cell: whether it stands to the right of its column.
bool LooksNumeric(const std::string& cell) {
    if (cell.empty() || cell == kUndefinedText || cell == "∞") return true;
    const char c = cell[0];
    return (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '<' || c == '[';
}

}  // namespace
}  // namespace morvane::layout
