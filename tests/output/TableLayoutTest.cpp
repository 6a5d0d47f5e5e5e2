// A table long enough to be laid out in blocks on two threads comes out as
// one laid out row by row: every row once, in order, each column as wide as
// its widest cell wherever that row lies.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "output/detail/TableLayout.h"

namespace morvane {
namespace {

// 20,003 rows: two rounds of two blocks of 4,096 and a third of one block.
// The widest name lies in the second block of the second round, the widest
// figure in the last row; names hold the characters each format escapes.
TableText LongTable() {
    TableText t;
    t.title = "Long";
    t.header = {"Name", "Figure"};
    t.numeric = {false, true};
    for (int i = 0; i < 20003; ++i) {
        std::string name = "r" + std::to_string(i) + (i % 7 == 0 ? "|x,\"y\"" : "");
        if (i == 14001) name += std::string(30, 'w');
        t.rows.push_back({name, i == 20002 ? "123456789012345" : std::to_string(i % 1000)});
    }
    t.notes = {"A note."};
    return t;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(TableLayoutTest, LongTablesComeOutAsIfLaidOutRowByRow) {
    const TableText t = LongTable();
    const std::size_t nameWidth = t.rows[14001][0].size(), figureWidth = 15;

    std::string text;
    layout::RenderText(t, text);
    const std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 3 + t.rows.size() + 2);
    EXPECT_EQ(lines[2], std::string(nameWidth + 2 + figureWidth, '-'));
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        const std::string& name = t.rows[i][0];
        const std::string& figure = t.rows[i][1];
        const std::string expected =
            name + std::string(nameWidth - name.size() + 2 + figureWidth - figure.size(), ' ') + figure;
        ASSERT_EQ(lines[3 + i], expected) << "row " << i;
    }
    EXPECT_EQ(lines[lines.size() - 2], "A note.");

    std::string markdown, csv;
    layout::RenderMarkdown(t, markdown);
    layout::RenderCsv(t, csv);
    const std::vector<std::string> md = Lines(markdown), cs = Lines(csv);
    ASSERT_EQ(md.size(), 4 + t.rows.size() + 3);
    ASSERT_EQ(cs.size(), 2 + t.rows.size() + 1);
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        std::string escaped;
        for (char c : t.rows[i][0]) escaped += c == '|' ? std::string("\\|") : std::string(1, c);
        ASSERT_EQ(md[4 + i], "| " + escaped + " | " + t.rows[i][1] + " |") << "row " << i;
        std::string field = t.rows[i][0];
        if (field.find(',') != std::string::npos) {
            std::string quoted = "\"";
            for (char c : field) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
            field = quoted + "\"";
        }
        ASSERT_EQ(cs[2 + i], field + "," + t.rows[i][1]) << "row " << i;
    }

    // Rows made on demand give the same texts as rows held.
    TableText head = t;
    head.rows.clear();
    const TableRows rows{t.rows.size(), [&](std::size_t i, std::vector<std::string>& row) { row = t.rows[i]; }};
    std::string demanded;
    layout::RenderText(head, rows, demanded);
    EXPECT_EQ(demanded, text);
}

}  // namespace
}  // namespace morvane
