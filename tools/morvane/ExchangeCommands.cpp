#include "ExchangeCommands.h"

#include <cstdio>
#include <optional>
#include <stdexcept>

#include "exchange/Csv.h"
#include "exchange/ExchangeFiles.h"

namespace morvane::tool {

const char* const kExchangeUsage =
    "       morvane export DATAFILE OUT.csv [--long | --wide]\n"
    "                                       write the study as CSV (UTF-8; long: subject,A,B,score)\n"
    "       morvane import IN.csv DATAFILE [--long | --wide] [options]\n"
    "                                       write the study of a CSV as a data file; options:\n"
    "                                       long: --subject COL --a COL --b COL --score COL\n"
    "                                       wide: --levels-a NAME,... --levels-b NAME,... [--no-header]\n"
    "                                       --encoding utf-8|cp932  --separator ,|;|tab\n";

namespace {

// A mistake in the arguments, shown with the usage.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

int ShowUsage(const char* command, const UsageError& error) {
    std::fprintf(stderr, "morvane: %s: %s\n", command, error.what());
    std::fputs("usage: ", stderr);
    std::fputs(kExchangeUsage + 7, stderr);  // its first line without the blanks under "usage: "
    return 2;
}

// "-" names the standard stream, which the core calls the empty name.
std::string FileArgument(const std::string& arg) {
    return arg == "-" ? "" : arg;
}

// The arguments split into names and options, "--name value" or "--name=value".
class Arguments {
public:
    Arguments(const std::vector<std::string>& args, std::initializer_list<const char*> flags,
              std::initializer_list<const char*> valued) {
        for (std::size_t i = 1; i < args.size(); ++i) {
            const std::string& arg = args[i];
            if (arg.size() < 3 || !arg.starts_with("--")) {
                files_.push_back(arg);
                continue;
            }
            const auto equals = arg.find('=');
            std::string name = arg.substr(0, equals);
            bool known = false;
            for (const char* flag : flags) {
                if (name != flag) continue;
                if (equals != std::string::npos) throw UsageError(name + " takes no value");
                options_.emplace_back(name, std::nullopt);
                known = true;
            }
            for (const char* option : valued) {
                if (name != option) continue;
                if (equals != std::string::npos) {
                    options_.emplace_back(name, arg.substr(equals + 1));
                } else if (i + 1 < args.size()) {
                    options_.emplace_back(name, args[++i]);
                } else {
                    throw UsageError(name + " needs a value");
                }
                known = true;
            }
            if (!known) throw UsageError("unknown option " + name);
        }
        if (files_.size() != 2) throw UsageError("two file names are needed");
    }

    const std::string& File(std::size_t i) const { return files_[i]; }
    const std::vector<std::pair<std::string, std::optional<std::string>>>& Options() const {
        return options_;
    }

    CsvLayout Layout() const {
        std::optional<CsvLayout> layout;
        for (const auto& [name, value] : options_) {
            if (name != "--long" && name != "--wide") continue;
            const CsvLayout chosen = name == "--long" ? CsvLayout::Long : CsvLayout::Wide;
            if (layout && *layout != chosen) throw UsageError("--long and --wide exclude each other");
            layout = chosen;
        }
        return layout.value_or(CsvLayout::Long);
    }

private:
    std::vector<std::string> files_;
    std::vector<std::pair<std::string, std::optional<std::string>>> options_;
};

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

CsvImportOptions ImportOptions(const Arguments& arguments, const Settings& settings) {
    CsvImportOptions options;
    options.layout = arguments.Layout();
    options.decimalSeparator = settings.decimalSeparator;
    const bool wide = options.layout == CsvLayout::Wide;
    bool levelsA = false, levelsB = false;
    for (const auto& [name, value] : arguments.Options()) {
        const bool forLong = name == "--subject" || name == "--a" || name == "--b" || name == "--score";
        const bool forWide = name == "--levels-a" || name == "--levels-b" || name == "--no-header";
        if ((forLong && wide) || (forWide && !wide))
            throw UsageError(name + (wide ? " is for --long" : " is for --wide"));
        if (name == "--subject") options.subjectColumn = *value;
        if (name == "--a") options.aColumn = *value;
        if (name == "--b") options.bColumn = *value;
        if (name == "--score") options.scoreColumn = *value;
        if (name == "--levels-a") options.levelsA = csv::SplitRecord(*value), levelsA = true;
        if (name == "--levels-b") options.levelsB = csv::SplitRecord(*value), levelsB = true;
        if (name == "--no-header") options.header = false;
        if (name == "--encoding") options.encoding = EncodingOption(*value);
        if (name == "--separator") options.separator = SeparatorOption(*value);
    }
    if (wide && !(levelsA && levelsB)) throw UsageError("--wide needs --levels-a and --levels-b");
    return options;
}

}  // namespace

int Export(const std::vector<std::string>& args) {
    CsvLayout layout;
    std::string dataFile, csvFile;
    try {
        const Arguments arguments(args, {"--long", "--wide"}, {});
        layout = arguments.Layout();
        dataFile = FileArgument(arguments.File(0));
        csvFile = FileArgument(arguments.File(1));
    } catch (const UsageError& error) {
        return ShowUsage("export", error);
    }
    ExportCsv(dataFile, csvFile, layout);
    return 0;
}

int Import(const std::vector<std::string>& args, const Settings& settings) {
    CsvImportOptions options;
    std::string csvFile, dataFile;
    try {
        const Arguments arguments(
            args, {"--long", "--wide", "--no-header"},
            {"--subject", "--a", "--b", "--score", "--levels-a", "--levels-b", "--encoding", "--separator"});
        options = ImportOptions(arguments, settings);
        csvFile = FileArgument(arguments.File(0));
        dataFile = FileArgument(arguments.File(1));
    } catch (const UsageError& error) {
        return ShowUsage("import", error);
    }
    ImportCsv(csvFile, dataFile, options);
    return 0;
}

}  // namespace morvane::tool
