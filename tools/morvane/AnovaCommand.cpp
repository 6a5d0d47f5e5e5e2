#include "AnovaCommand.h"

#include <cerrno>
#include <cstdio>
#include <optional>

#include "anova/AnovaFormats.h"
#include "anova/FullAnalysis.h"
#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/TextWriter.h"
#include "store/DataFile.h"

namespace morvane::tool {

bool Anova(const std::vector<std::string>& args, const Settings& settings) {
    std::optional<std::string> dataFile, outFile;
    AnovaFormat format = AnovaFormat::Text;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--format") {
            if (i + 1 == args.size()) return false;
            const auto named = AnovaFormatNamed(args[++i]);
            if (!named) return false;
            format = *named;
        } else if (!dataFile) {
            dataFile = args[i];
        } else if (!outFile) {
            outFile = args[i];
        } else {
            return false;
        }
    }
    if (!dataFile) return false;
    const auto name = [](const std::string& arg) { return arg == "-" ? std::string() : arg; };

    StudyStore& store = TheStudy();
    LoadStudyFile(store, name(*dataFile));
    const FullAnalysis analysis = AnalyseStudy(store, settings.decimalSeparator);
    const std::string text = FormatAnalysis(analysis, format);
    // The text file writer ends lines with CR LF; these formats end them with LF.
    TextWriter out(outFile ? name(*outFile) : std::string());
    out.Write(text);
    out.Close();
    return true;
}

void NoticeInexactReport() {
    std::fprintf(stderr, "morvane: %s\n", InexactResultsNotice().c_str());
}

}  // namespace morvane::tool
