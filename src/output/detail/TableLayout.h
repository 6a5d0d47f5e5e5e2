#pragma once
// The layout of a table's texts in text (columns padded to their widest cell,
// figures to the right), markdown (a table under a second-level heading) and
// CSV (the title, the header and the rows), shared by every analysis' formats.
// Private to the output room.

#include <string>

#include "output/ResultTables.h"

namespace morvane::layout {

void RenderText(const TableText& t, std::string& out);
void RenderMarkdown(const TableText& t, std::string& out);
void RenderCsv(const TableText& t, std::string& out);
// The same of a table whose rows are made when asked (`t` has none).
void RenderText(const TableText& t, const TableRows& rows, std::string& out);
void RenderMarkdown(const TableText& t, const TableRows& rows, std::string& out);
void RenderCsv(const TableText& t, const TableRows& rows, std::string& out);

}  // namespace morvane::layout
