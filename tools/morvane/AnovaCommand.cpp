#include "AnovaCommand.h"

#include <charconv>
#include <string>

#include "Arguments.h"
#include "ErrorEdge.h"
#include "StudyLoad.h"
#include "analysis/FullAnalysis.h"
#include "output/AnovaFormats.h"
#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/SameFile.h"
#include "runtime/TextWriter.h"
#include "store/DataFile.h"

namespace morvane::tool {
namespace {

// The level of the effect sizes' intervals: a decimal strictly between 0 and 1.
Extended IntervalLevel(const std::string& text) {
    Extended level = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), level);
    if (error != std::errc() || end != text.data() + text.size() || !(level > 0 && level < 1))
        throw UsageError("the interval level is a number between 0 and 1: " + text);
    return level;
}

// Anova, for --correction and --lang.
DfCorrection CorrectionNamed(const std::string& name) {
    if (name == "none") return DfCorrection::None;
    if (name == "gg") return DfCorrection::GreenhouseGeisser;
    if (name == "hf") return DfCorrection::HuynhFeldt;
    throw UsageError("unknown correction " + name);
}

OutputLanguage LanguageNamed(const std::string& name) {
    if (name == "en") return OutputLanguage::English;
    if (name == "ja") return OutputLanguage::Japanese;
    throw UsageError("unknown language " + name);
}

}  // namespace

void Anova(std::span<const std::string> words, const Settings& settings) {
    const Arguments arguments(words, {}, {"--format", "--correction", "--lang", "--ci-level"});
    AnovaFormat format = AnovaFormat::Text;
    OutputOptions options;
    AnalysisOptions analysisOptions;
    analysisOptions.keepValues = KeepValues::No;  // the tool ends with its output
    for (const Option& option : arguments.Options()) {
        if (option.name == "--correction") {
            options.correction = CorrectionNamed(*option.value);
        } else if (option.name == "--lang") {
            options.language = LanguageNamed(*option.value);
        } else if (option.name == "--ci-level") {
            analysisOptions.effectSizeLevel = IntervalLevel(*option.value);
        } else {
            const auto named = AnovaFormatNamed(*option.value);
            if (!named) throw UsageError("unknown format " + *option.value);
            format = *named;
        }
    }
    if (arguments.FileCount() < 1 || arguments.FileCount() > 2) throw UsageError("one or two file names");

    const std::string out = arguments.FileCount() == 2 ? arguments.File(1) : std::string();
    RefuseInputAsOutput(out, {arguments.File(0)});
    StudyStore& store = TheStudy();
    LoadStudy(store, arguments.File(0));
    const FullAnalysis analysis = AnalyseStudy(store, settings.decimalSeparator, analysisOptions);
    options.provenance = ProvenanceOfFile(arguments.File(0));
    const std::string text = FormatAnalysis(analysis, format, options);
    // The text file writer ends lines with CR LF; these formats end them with LF.
    TextWriter file(out);
    file.Write(text);
    file.Close();
}

void NoticeInexactReport() {
    ShowMessage(InexactResultsNotice());
}

}  // namespace morvane::tool
