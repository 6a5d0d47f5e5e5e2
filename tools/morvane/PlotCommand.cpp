#include "PlotCommand.h"

#include <algorithm>
#include <cctype>

#include "Arguments.h"
#include "ErrorEdge.h"
#include "HelperProgram.h"
#include "LongCsvRequest.h"
#include "runtime/SameFile.h"

namespace morvane::tool {
namespace {

bool PlotFileName(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return false;
    std::string suffix = name.substr(dot + 1);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return suffix == "png" || suffix == "svg" || suffix == "pdf";
}

}  // namespace

int PlotSide(const std::string& text) {
    if (text.empty() || text.size() > 5) return 0;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return value >= kPlotMinimumSide && value <= kPlotMaximumSide ? value : 0;
}

bool PlotErrorBars(const std::string& text) {
    return text == "within" || text == "ci95" || text == "se";
}

bool PlotArrangementOption(const std::string& name) {
    return name == "--x" || name == "--lines" || name == "--panels" || name == "--subjects";
}

// Checks one of the arrangement's options as far as it can without the
// design (the helper refuses the names the design does not have).
void CheckArrangementOption(const Option& option) {
    const std::string& value = *option.value;
    if (option.name == "--subjects" && value != "none" && value != "lines" && value != "points")
        throw UsageError("--subjects is lines, points or none");
    if (option.name == "--panels" && (value.empty() || value.front() == ',' || value.back() == ',' ||
                                      value.find(",,") != std::string::npos))
        throw UsageError("--panels names a factor with an empty name: " + value);
    if ((option.name == "--x" || option.name == "--lines") && value.empty())
        throw UsageError(option.name + " names no factor");
}

void Plot(std::span<const std::string> words) {
    const Arguments arguments(
        words, {"--qq", "--decimal-comma"},
        {"--width", "--height", "--error-bars", "--id", "--dv", "--within", "--between", "--encoding",
         "--separator", "--header-line", "--x", "--lines", "--panels", "--subjects"});
    int width = kPlotDefaultWidth, height = kPlotDefaultHeight;
    std::string bars = "within";
    bool quantiles = false, barsGiven = false;
    std::string arranged;  // the first option of the interaction plot's arrangement given
    // The long CSV's options go to the helper as they were given, once checked here.
    std::vector<std::string> csvWords;
    for (const Option& option : arguments.Options()) {
        if (PlotArrangementOption(option.name)) {
            CheckArrangementOption(option);
            if (arranged.empty()) arranged = option.name;
        }
        if (option.name != "--qq" && option.name != "--error-bars" && option.name != "--width" &&
            option.name != "--height") {
            csvWords.push_back(option.name);
            if (option.value) csvWords.push_back(*option.value);
            continue;
        }
        if (option.name == "--qq") {
            quantiles = true;
            continue;
        }
        if (option.name == "--error-bars") {
            if (!PlotErrorBars(*option.value)) throw UsageError("--error-bars is within, ci95 or se");
            bars = *option.value;
            barsGiven = true;
            continue;
        }
        const int side = PlotSide(*option.value);
        if (side == 0) throw UsageError(option.name + " is out of range");
        (option.name == "--width" ? width : height) = side;
    }
    if (arguments.FileCount() != 2 || !PlotFileName(arguments.Word(1)))
        throw UsageError("a data file and a plot file are needed");
    if (quantiles && barsGiven) {
        // Said before the usage: the usage alone would not tell what is wrong.
        ShowMessage("plot: --error-bars is for the interaction plot; the Q-Q plots (--qq) have none");
        throw UsageError("--qq with --error-bars");
    }
    if (quantiles && !arranged.empty()) {
        ShowMessage("plot: " + arranged +
                    " is for the interaction plot; the Q-Q plots (--qq) have no factors to place");
        throw UsageError("--qq with " + arranged);
    }
    LongCsvRequest csv;
    ReadLongCsvRequest(arguments, Settings{}, csv);
    RefuseInputAsOutput(arguments.File(1), {arguments.File(0)});
    // The helper reads "-" as standard input itself.
    std::vector<std::string> helperWords{arguments.Word(0), arguments.Word(1), std::to_string(width),
                                         std::to_string(height), quantiles ? "qq" : bars};
    helperWords.insert(helperWords.end(), csvWords.begin(), csvWords.end());
    RunHelper("morvane-plot", helperWords);
}

}  // namespace morvane::tool
