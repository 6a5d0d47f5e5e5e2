#include "AnovaCommand.h"

#include "Arguments.h"
#include "ErrorEdge.h"
#include "anova/AnovaFormats.h"
#include "anova/FullAnalysis.h"
#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/TextWriter.h"
#include "store/DataFile.h"

namespace morvane::tool {

void Anova(std::span<const std::string> words, const Settings& settings) {
    const Arguments arguments(words, {}, {"--format"});
    AnovaFormat format = AnovaFormat::Text;
    for (const Option& option : arguments.Options()) {
        const auto named = AnovaFormatNamed(*option.value);
        if (!named) throw UsageError("unknown format " + *option.value);
        format = *named;
    }
    if (arguments.FileCount() < 1 || arguments.FileCount() > 2) throw UsageError("one or two file names");

    StudyStore& store = TheStudy();
    LoadStudyFile(store, arguments.File(0));
    const FullAnalysis analysis = AnalyseStudy(store, settings.decimalSeparator);
    const std::string text = FormatAnalysis(analysis, format);
    // The text file writer ends lines with CR LF; these formats end them with LF.
    TextWriter out(arguments.FileCount() == 2 ? arguments.File(1) : std::string());
    out.Write(text);
    out.Close();
}

void NoticeInexactReport() {
    ShowMessage(InexactResultsNotice());
}

}  // namespace morvane::tool
