#include "LongCsvRequest.h"

#include <algorithm>
#include <charconv>

#include "ExchangeCommands.h"
#include "exchange/Csv.h"
#include "exchange/HeaderRow.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"

namespace morvane::tool {

char SeparatorOption(const std::string& value) {
    if (value == "," || value == "comma") return ',';
    if (value == ";" || value == "semicolon") return ';';
    if (value == "\t" || value == "tab") return '\t';
    throw UsageError("--separator is one of , ; tab");
}

CsvEncoding EncodingOption(std::string value) {
    for (char& c : value) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (value == "utf-8" || value == "utf8") return CsvEncoding::Utf8;
    if (value == "cp932" || value == "shift_jis" || value == "sjis") return CsvEncoding::Cp932;
    throw UsageError("--encoding is utf-8 or cp932");
}

// --header-line's line: a whole number from 1.
std::int64_t HeaderLineOption(const std::string& value) {
    std::int64_t line = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), line);
    if (error != std::errc() || end != value.data() + value.size() || line < 1)
        throw UsageError("--header-line is a line number from 1: " + value);
    return line;
}

namespace {

// The column names of --within, --between and --observed, parted by commas (quoted as CSV to hold one).
std::vector<std::string> Names(const std::string& option, const std::string& value) {
    std::vector<std::string> names = csv::SplitRecord(value);
    for (const std::string& name : names)
        if (name.empty()) throw UsageError(option + " names a column with an empty name: " + value);
    return names;
}

// The refusal of a long CSV's roles given in part: what is missing, by option.
std::string MissingRoles(bool id, bool dv, bool factor) {
    std::vector<std::string> missing;
    if (!id) missing.emplace_back("--id");
    if (!dv) missing.emplace_back("--dv");
    if (!factor) missing.emplace_back("--within or --between");
    std::string list;
    for (std::size_t i = 0; i < missing.size(); ++i)
        list += (i == 0 ? "" : i + 1 == missing.size() ? " and " : ", ") + missing[i];
    return "a long CSV needs --id, --dv and --within or --between; missing: " + list;
}

}  // namespace

void ReadLongCsvRequest(const Arguments& arguments, const Settings& settings, LongCsvRequest& request) {
    LongCsvRoles roles;
    bool id = false, dv = false, within = false, between = false;
    std::string designOption;  // the first option that only a long CSV takes
    request.csv.decimalSeparator = settings.decimalSeparator;
    for (const auto& [name, value] : arguments.Options()) {
        if (name == "--id") roles.id = *value, id = true;
        if (name == "--dv") roles.dv = *value, dv = true;
        if (name == "--within") roles.within = Names(name, *value), within = true;
        const bool forCsv = name == "--between" || name == "--type" || name == "--observed" ||
                            name == "--encoding" || name == "--separator" || name == "--decimal-comma" ||
                            name == "--header-line";
        if (forCsv && designOption.empty()) designOption = name;
        if (name == "--between") roles.between = Names(name, *value), between = true;
        if (name == "--observed") request.analysis.observed = Names(name, *value);
        if (name == "--encoding") request.csv.encoding = EncodingOption(*value);
        if (name == "--separator") request.csv.separator = SeparatorOption(*value);
        if (name == "--decimal-comma") request.csv.decimalSeparator = ',';
        if (name == "--header-line") request.headerLine = HeaderLineOption(*value);
        if (name == "--type" && *value != "2" && *value != "3") throw UsageError("--type is 3 or 2");
        if (name == "--type") request.analysis.type = *value == "2" ? anova::SsType::TypeII : anova::SsType::TypeIII;
    }
    if (!id && !dv && !within) {
        if (!designOption.empty())
            throw UsageError(designOption + " is for a long CSV, read with --id, --dv and --within");
        return;
    }
    if (!(id && dv && (within || between))) throw UsageError(MissingRoles(id, dv, within || between));
    // A measured factor misspelt would change every generalized eta squared without a word.
    for (const std::string& name : request.analysis.observed)
        if (std::find(roles.within.begin(), roles.within.end(), name) == roles.within.end() &&
            std::find(roles.between.begin(), roles.between.end(), name) == roles.between.end())
            throw UsageError("--observed names " + name + ", which is no factor of --within or --between");
    request.roles = std::move(roles);
}

void RefuseEmptyFile(const std::string& path, std::string_view bytes) {
    if (path == "-" || !bytes.empty()) return;
    throw Error(Cp932FromUtf8("'" + path + "' は空です (0 バイト)。出力先にも同じファイルを名指すと (> " +
                              path + ")、シェルはコマンドが読む前にそれを空にします / '" + path +
                              "' is empty (0 bytes): a shell empties a file named as the output too (> " +
                              path + ") before the command reads it"));
}

}  // namespace morvane::tool

namespace morvane::tool {

LongCsvOptions ReadingOf(std::string_view bytes, const LongCsvRequest& request) {
    LongCsvOptions options = request.csv;
    options.recordsBeforeHeader = (request.headerLine > 0 ? HeaderRowAtLine(bytes, options, request.headerLine)
                                                          : FindHeaderRow(bytes, options))
                                      .recordsBefore;
    return options;
}

}  // namespace morvane::tool
