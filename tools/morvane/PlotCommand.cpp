#include "PlotCommand.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "HelperProgram.h"

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

bool Plot(const std::vector<std::string>& args) {
    std::optional<std::string> dataFile, outFile;
    int width = kPlotDefaultWidth, height = kPlotDefaultHeight;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--width" || args[i] == "--height") {
            if (i + 1 == args.size()) return false;
            const int side = PlotSide(args[i + 1]);
            if (side == 0) return false;
            (args[i] == "--width" ? width : height) = side;
            ++i;
        } else if (!dataFile) {
            dataFile = args[i];
        } else if (!outFile) {
            outFile = args[i];
        } else {
            return false;
        }
    }
    if (!outFile || !PlotFileName(*outFile)) return false;
    RunHelper("morvane-plot", {*dataFile, *outFile, std::to_string(width), std::to_string(height)});
}

}  // namespace morvane::tool
