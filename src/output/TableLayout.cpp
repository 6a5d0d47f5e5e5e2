#include "output/detail/TableLayout.h"

#include <algorithm>

#include "output/Figures.h"
#include "runtime/CsvField.h"

namespace morvane::layout {
namespace {

bool LooksNumeric(const std::string& cell);

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
    std::vector<std::size_t> widths(t.header.size(), 0);
    const auto measure = [&](const std::vector<std::string>& row) {
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    };
    measure(t.header);
    std::vector<std::string> row;
    for (std::size_t r = 0; r < rows.count; ++r) {
        rows.fill(r, row);
        measure(row);
    }
    const auto line = [&](const std::vector<std::string>& cells, bool header) {
        const std::size_t start = out.size();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const std::size_t pad = widths[i] - DisplayWidth(cells[i]);
            if (i > 0) out += "  ";
            const bool right = i > 0 && (header || LooksNumeric(cells[i]));
            if (right) out.append(pad, ' ');
            out += cells[i];
            if (!right) out.append(pad, ' ');
        }
        while (out.size() > start && out.back() == ' ') out.pop_back();
        out += "\n";
    };
    line(t.header, true);
    std::size_t total = 0;
    for (std::size_t w : widths) total += w;
    out += std::string(total + 2 * (widths.size() - 1), '-') + "\n";
    for (std::size_t r = 0; r < rows.count; ++r) {
        rows.fill(r, row);
        line(row, false);
    }
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
    const auto line = [&](const std::vector<std::string>& cells) {
        out += "|";
        for (const auto& cell : cells) {
            out += ' ';
            for (char c : cell) {
                if (c == '|') out += '\\';
                out += c;
            }
            out += " |";
        }
        out += "\n";
    };
    line(t.header);
    out += "|";
    for (std::size_t i = 0; i < t.header.size(); ++i) out += i == 0 ? " --- |" : " ---: |";
    out += "\n";
    std::vector<std::string> row;
    for (std::size_t r = 0; r < rows.count; ++r) {
        rows.fill(r, row);
        line(row);
    }
    if (!t.notes.empty()) out += "\n";
    for (const auto& note : t.notes) out += note + "\n";
    out += "\n";
}

// CSV: the title, the header and the rows; no notes.
void RenderCsv(const TableText& t, const TableRows& rows, std::string& out) {
    out += CsvField(t.title) + "\n";
    const auto line = [&](const std::vector<std::string>& cells) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i) out += ',';
            out += CsvField(cells[i]);
        }
        out += "\n";
    };
    line(t.header);
    std::vector<std::string> row;
    for (std::size_t r = 0; r < rows.count; ++r) {
        rows.fill(r, row);
        line(row);
    }
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
