#pragma once
// The fixed texts above the score tables, in code page 932: the results report
// and the printed listing both open with the title and head each level of A
// with its heading.

#include <string>
#include <string_view>

namespace morvane {

// "被験者内要因：Ａ、Ｂ"
const std::string& ScoreTablesTitle();

// The heading of a level of A, "要因Ａ＜" name "＞", and its two halves.
std::string LevelHeading(std::string_view levelName);
const std::string& LevelHeadingOpen();
const std::string& LevelHeadingClose();

}  // namespace morvane
