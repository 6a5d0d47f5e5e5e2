#pragma once
// Private to the exchange room: the messages of a long CSV that cannot become a
// design (code page 932 bytes, like every message; the names they quote are
// UTF-8 and converted here). A place in the CSV leads the message as the
// import's messages have it: "3 行 2 列: ".

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::messages {

// The roles: a column named for two roles (or twice for one), no within
// factor, too many factors of a kind.
std::string ColumnInTwoRoles(std::string_view column);
std::string NoFactor();
std::string TooManyWithinFactors(std::size_t most);
std::string TooManyBetweenFactors(std::size_t most);

// The rows.
std::string EmptyId(std::int64_t line, std::int64_t column);
std::string LineEndInId(std::int64_t line, std::int64_t column);
std::string EmptyLevel(std::int64_t line, std::int64_t column);
std::string TooManyLevels(std::int64_t line, std::string_view factor);
std::string TwoBetweenLevels(std::string_view subject, std::string_view factor, std::string_view first,
                             std::int64_t firstLine, std::string_view second, std::int64_t secondLine);

// The design.
std::string OneLevel(std::string_view factor, std::string_view level);
// A between cell without subjects: each factor's name and level, and whether
// it had subjects that were all removed for a missing score.
std::string EmptyBetweenCell(const std::vector<std::string>& factors, const std::vector<std::string>& levels,
                             bool allRemoved);
std::string NoCompleteSubject(std::int64_t removed);

}  // namespace morvane::messages
