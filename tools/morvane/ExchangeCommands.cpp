#include "ExchangeCommands.h"

#include <cstdio>
#include <optional>

#include "Arguments.h"
#include "ErrorEdge.h"
#include "exchange/Csv.h"
#include "exchange/ExchangeFiles.h"
#include "runtime/Cp932.h"
#include "runtime/SameFile.h"

namespace morvane::tool {

const char* const kExchangeUsage =
    "       morvane export DATAFILE OUT.csv [--long | --wide]\n"
    "                                       write the study as CSV (UTF-8; long: subject,A,B,score)\n"
    "       morvane import IN.csv DATAFILE [--long | --wide] [options]\n"
    "                                       write the study of a CSV as a data file; options:\n"
    "                                       long: --subject COL --a COL --b COL --score COL\n"
    "                                       [--header-line N]\n"
    "                                       wide: --levels-a NAME,... --levels-b NAME,... [--no-header]\n"
    "                                       --encoding utf-8|cp932  --separator ,|;|tab\n";

namespace {

int ShowUsage(const char* command, const UsageError& error) {
    ShowMessage(std::string(command) + ": " + error.what());
    std::fputs("usage: ", stderr);
    std::fputs(kExchangeUsage + 7, stderr);  // its first line without the blanks under "usage: "
    return 2;
}

// The one layout that the options choose, long unless told.
CsvLayout Layout(const std::vector<Option>& options) {
    std::optional<CsvLayout> layout;
    for (const auto& [name, value] : options) {
        if (name != "--long" && name != "--wide") continue;
        const CsvLayout chosen = name == "--long" ? CsvLayout::Long : CsvLayout::Wide;
        if (layout && *layout != chosen) throw UsageError("--long and --wide exclude each other");
        layout = chosen;
    }
    return layout.value_or(CsvLayout::Long);
}

// The command's arguments: its options, then exactly two file names.
Arguments ExchangeArguments(std::span<const std::string> words, std::initializer_list<std::string_view> flags,
                            std::initializer_list<std::string_view> valued) {
    Arguments arguments(words, flags, valued);
    if (arguments.FileCount() != 2) throw UsageError("two file names are needed");
    return arguments;
}

CsvImportOptions ImportOptions(const Arguments& arguments, const Settings& settings) {
    CsvImportOptions options;
    options.layout = Layout(arguments.Options());
    options.decimalSeparator = settings.decimalSeparator;
    const bool wide = options.layout == CsvLayout::Wide;
    bool levelsA = false, levelsB = false;
    for (const auto& [name, value] : arguments.Options()) {
        const bool forLong = name == "--subject" || name == "--a" || name == "--b" || name == "--score" ||
                             name == "--header-line";
        const bool forWide = name == "--levels-a" || name == "--levels-b" || name == "--no-header";
        if ((forLong && wide) || (forWide && !wide))
            throw UsageError(name + (wide ? " is for --long" : " is for --wide"));
        if (name == "--subject") options.subjectColumn = *value;
        if (name == "--a") options.aColumn = *value;
        if (name == "--b") options.bColumn = *value;
        if (name == "--score") options.scoreColumn = *value;
        if (name == "--header-line") options.headerLine = HeaderLineOption(*value);
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

int Export(std::span<const std::string> words) {
    CsvLayout layout;
    std::string dataFile, csvFile;
    try {
        const Arguments arguments = ExchangeArguments(words, {"--long", "--wide"}, {});
        layout = Layout(arguments.Options());
        dataFile = arguments.File(0);
        csvFile = arguments.File(1);
    } catch (const UsageError& error) {
        return ShowUsage("export", error);
    }
    RefuseInputAsOutput(csvFile, {dataFile});
    // A text that will not come back from the CSV as it is, said once the CSV is written.
    ExportCsv(dataFile, csvFile, layout,
              [](const std::string& notice) { ShowMessage(Utf8FromCp932(notice)); });
    return 0;
}

int Import(std::span<const std::string> words, const Settings& settings) {
    CsvImportOptions options;
    std::string csvFile, dataFile;
    try {
        const Arguments arguments = ExchangeArguments(
            words, {"--long", "--wide", "--no-header"},
            {"--subject", "--a", "--b", "--score", "--levels-a", "--levels-b", "--encoding", "--separator",
             "--header-line"});
        options = ImportOptions(arguments, settings);
        csvFile = arguments.File(0);
        dataFile = arguments.File(1);
    } catch (const UsageError& error) {
        return ShowUsage("import", error);
    }
    RefuseInputAsOutput(dataFile, {csvFile});
    ImportCsv(csvFile, dataFile, options);
    return 0;
}

}  // namespace morvane::tool
