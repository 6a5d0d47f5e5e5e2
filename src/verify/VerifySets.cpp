// The sets of a verification folder read from their index and expected files.

#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "MorvaneConfig.h"
#include "exchange/ExchangeFiles.h"
#include "verify/Verify.h"

namespace morvane::verify {
namespace {

constexpr std::string_view kFigureHeader = "figure,value,digits,citation";

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The file's lines, line ends (LF or CR LF) and surrounding blanks removed.
std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        lines.emplace_back(Trimmed(text.substr(at, end - at)));
        at = end + 1;
    }
    return lines;
}

std::vector<std::string> CommaList(std::string_view text) {
    std::vector<std::string> items;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find(',', at), text.size());
        const std::string_view item = Trimmed(text.substr(at, end - at));
        if (!item.empty()) items.emplace_back(item);
        at = end + 1;
    }
    return items;
}

// A figure line: name, value, digits, then the citation (which may hold commas).
ExpectedFigure FigureLine(const std::string& line, const std::string& where) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t comma = line.find(',', at);
        if (comma == std::string::npos) throw VerifyFormatError(where + ": a figure needs four fields");
        parts.emplace_back(Trimmed(std::string_view(line).substr(at, comma - at)));
        at = comma + 1;
    }
    ExpectedFigure figure{parts[0], parts[1], 0, std::string(Trimmed(std::string_view(line).substr(at)))};
    const auto [end, error] = std::from_chars(parts[2].data(), parts[2].data() + parts[2].size(), figure.digits);
    if (error != std::errc() || end != parts[2].data() + parts[2].size() || figure.digits < 1 ||
        figure.digits > 18)
        throw VerifyFormatError(where + ": digits must be a whole number from 1 to 18");
    if (figure.name.find('(') == std::string::npos || !figure.name.ends_with(")"))
        throw VerifyFormatError(where + ": a figure's name is STATISTIC(KEY)");
    return figure;
}

// One "key: value" line of the header into `set`.
void HeaderLine(const std::string& line, VerifySet& set, const std::string& where) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) throw VerifyFormatError(where + ": expected \"key: value\"");
    const std::string key(Trimmed(std::string_view(line).substr(0, colon)));
    const std::string value(Trimmed(std::string_view(line).substr(colon + 1)));
    if (key == "title") set.title = value;
    else if (key == "citation") set.citation = value;
    else if (key == "call") set.call = value;
    else if (key == "data") set.dataPath = value;
    else if (key == "id") set.roles.id = value;
    else if (key == "dv") set.roles.dv = value;
    else if (key == "within") set.roles.within = CommaList(value);
    else if (key == "between") set.roles.between = CommaList(value);
    else throw VerifyFormatError(where + ": unknown key " + key);
}

VerifySet ReadSet(const std::filesystem::path& folder, const std::string& name) {
    const std::filesystem::path path = folder / (name + ".expected");
    const FileBytes bytes = ReadWholeFile(path.string());
    VerifySet set;
    set.name = name;
    bool figures = false;
    int number = 0;
    for (const std::string& line : Lines(bytes.View())) {
        const std::string where = path.filename().string() + " line " + std::to_string(++number);
        if (line.empty() || line.starts_with("#")) continue;
        if (!figures && line == kFigureHeader) figures = true;
        else if (figures) set.figures.push_back(FigureLine(line, where));
        else HeaderLine(line, set, where);
    }
    if (set.dataPath.empty() || set.roles.id.empty() || set.roles.dv.empty() || set.roles.within.empty())
        throw VerifyFormatError(path.filename().string() + ": data, id, dv and within are needed");
    if (set.figures.empty()) throw VerifyFormatError(path.filename().string() + ": no figures");
    if (set.title.empty()) set.title = name;
    set.dataPath = (folder / set.dataPath).string();
    set.expectedPath = path.string();
    return set;
}

}  // namespace

std::vector<VerifySet> LoadSets(const std::string& folder) {
    const std::filesystem::path root(folder);
    const FileBytes index = ReadWholeFile((root / "index").string());
    std::vector<VerifySet> sets;
    for (const std::string& line : Lines(index.View()))
        if (!line.empty() && !line.starts_with("#")) sets.push_back(ReadSet(root, line));
    if (sets.empty()) throw VerifyFormatError((root / "index").string() + ": no sets");
    return sets;
}

std::string DataFolder() {
    if (const char* told = std::getenv("MORVANE_VERIFY_DATA"); told && *told) return told;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path installed = (self.parent_path() / config::kVerifyDataFromTool).lexically_normal();
    if (!error && access((installed / "index").c_str(), R_OK) == 0) return installed.string();
    return MORVANE_VERIFY_SOURCE_DATA;
}

}  // namespace morvane::verify
