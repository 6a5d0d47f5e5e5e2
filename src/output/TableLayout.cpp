#include "output/detail/TableLayout.h"

#include <algorithm>

#include "output/Figures.h"
#include "runtime/CsvField.h"

namespace morvane::layout {
namespace {

bool LooksNumeric(const std::string& cell);

}  // namespace

// Text: a table of columns padded to their widest cell, figures to the right.
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

// Markdown: a table under a second-level heading, its notes after it.
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

// CSV: the title, the header and the rows; no notes.
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

namespace {

// RenderText, for each cell: whether it stands to the right of its column.
bool LooksNumeric(const std::string& cell) {
    if (cell.empty() || cell == kUndefinedText || cell == "∞") return true;
    const char c = cell[0];
    return (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '<' || c == '[';
}

}  // namespace
}  // namespace morvane::layout
