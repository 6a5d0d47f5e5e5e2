#include "AnovaCommand.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <future>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "Arguments.h"
#include "ContrastOptions.h"
#include "ErrorEdge.h"
#include "ExchangeCommands.h"
#include "LongCsvRequest.h"
#include "StudyLoad.h"
#include "anova/Analysis.h"
#include "anova/StudyPrecision.h"
#include "design/StudyDesign.h"
#include "exchange/Csv.h"
#include "exchange/ExchangeFiles.h"
#include "exchange/LongCsv.h"
#include "output/AnovaFormats.h"
#include "report/SumsOfSquares.h"
#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/SameFile.h"
#include "runtime/TextWriter.h"
#include "stats/Adjustments.h"
#include "store/DataFile.h"

namespace morvane::tool {
namespace {

// What the command's options ask, whichever input it reads.
struct AnovaRequest : LongCsvRequest {
    AnovaFormat format = AnovaFormat::Text;
    OutputOptions output;
};

AnovaRequest Request(const Arguments& arguments, const Settings& settings);
std::future<Provenance> ProvenanceBeside(const std::string& in);
void WriteOut(const std::string& out, const anova::Analysis& analysis, const AnovaRequest& request,
              const PrecisionCheck* precision);

}  // namespace

void Anova(std::span<const std::string> words, const Settings& settings) {
    const Arguments arguments(words, {"--decimal-comma", "--simple-interactions"},
                              {"--format", "--correction", "--lang", "--ci-level", "--id", "--dv", "--within",
                               "--between", "--type", "--observed", "--encoding", "--separator", "--adjust",
                               "--effect-sizes", "--alpha", "--header-line", "--trend", "--spacing", "--contrast",
                               "--cells"},
                              OtherOptions::AreErrors, {"--contrast", "--cells"});
    AnovaRequest request = Request(arguments, settings);
    if (arguments.FileCount() < 1 || arguments.FileCount() > 2) throw UsageError("one or two file names");

    const std::string in = arguments.File(0);
    const std::string out = arguments.FileCount() == 2 ? arguments.File(1) : std::string();
    RefuseInputAsOutput(out, {in});
    if (request.roles) {
        // A long CSV: read whole within the memory budget, its bytes the
        // provenance, and let go of before the analysis.
        std::optional<DesignData> design;
        {
            const FileBytes bytes = ReadWholeFile(in, {}, true);
            RefuseEmptyFile(in, bytes.View());
            // The bytes' SHA-256 is taken on a second thread while they are read.
            std::future<Provenance> provenance =
                std::async(std::launch::async, [&bytes] { return ProvenanceOfBytes(bytes.View()); });
            try {
                design = ReadLongCsv(bytes.View(), *request.roles, ReadingOf(bytes.View(), request));
            } catch (...) {
                provenance.wait();  // it reads the bytes: not beyond their life
                throw;
            }
            request.output.provenance = provenance.get();
        }
        CheckContrastsFit(*design, request.analysis);
        const anova::Analysis analysis = anova::Analyse(*design, request.analysis);
        WriteOut(out, analysis, request, nullptr);
        return;
    }
    StudyStore& store = TheStudy();
    // A file that can be read twice has its SHA-256 taken beside the load.
    std::future<Provenance> provenance = ProvenanceBeside(in);
    LoadStudy(store, in);
    // A data file's study: the subjects with every score, analysed as a design
    // and laid out as its outputs always were, its results file's precision
    // beside. The parse of the scores sweeps the results file's sums too.
    const char separator = settings.decimalSeparator;
    SumsOfSquaresSweep sweep(store);
    ParsedBlockSink* const beside[] = {&sweep};
    const DesignData design = DesignFromStudy(store, separator, beside);
    CheckContrastsFit(design, request.analysis);
    // With a subject removed, the sums are those of the study without it, taken beside the analysis.
    std::future<std::optional<SumsOfSquares>> sums =
        design.removed.empty()
            ? std::async(std::launch::deferred, [&] { return anova::SweptSums(sweep, store); })
            : std::async(std::launch::async,
                         [&] { return anova::StudyResultsFileSums(store, separator, design.removed); });
    std::optional<anova::Analysis> analysed;
    try {
        analysed.emplace(anova::Analyse(design, request.analysis));
    } catch (...) {
        sums.wait();  // it reads the study: not beyond its life
        throw;
    }
    const anova::Analysis& analysis = *analysed;
    const PrecisionCheck precision = anova::CheckStudyResultsFile(store, separator, analysis, sums.get());
    request.output.provenance = provenance.get();
    request.output.layout = OutputLayout::Study;
    WriteOut(out, analysis, request, &precision);
}

void NoticeInexactReport() {
    ShowMessage(InexactResultsNotice());
}

namespace {

// Request, for --correction and --lang.
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

// Anova, first: every option read and checked before any file is.
AnovaRequest Request(const Arguments& arguments, const Settings& settings) {
    AnovaRequest request;
    for (const Option& option : arguments.Options()) {
        if (option.name == "--correction") {
            request.output.correction = CorrectionNamed(*option.value);
        } else if (option.name == "--lang") {
            request.output.language = LanguageNamed(*option.value);
        } else if (option.name == "--format") {
            const auto named = AnovaFormatNamed(*option.value);
            if (!named) throw UsageError("unknown format " + *option.value);
            request.format = *named;
        }
    }
    ReadFollowUpOptions(arguments, request.analysis);
    request.analysis.quantilePoints = false;  // the plots' data: no format shows them
    ReadLongCsvRequest(arguments, settings, request);
    return request;
}

// Anova, for a data file: its provenance, taken on a thread of its own where
// the file is a regular one (which the load does not use up) and a thread
// can be had, else when asked for.
std::future<Provenance> ProvenanceBeside(const std::string& in) {
    struct stat status {};
    if (!in.empty() && ::stat(in.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        try {
            return std::async(std::launch::async, [in] { return ProvenanceOfFile(in); });
        } catch (const std::system_error&) {  // no thread: as below
        }
    }
    return std::async(std::launch::deferred, [in] { return ProvenanceOfFile(in); });
}

// Anova, last: the analysis in its format to OUTFILE ("" for standard
// output), a piece at a time as the format hands it over.
void WriteOut(const std::string& out, const anova::Analysis& analysis, const AnovaRequest& request,
              const PrecisionCheck* precision) {
    // The text file writer ends lines with CR LF; these formats end them with LF.
    TextWriter file(out);
    try {
        WriteFormattedAnalysis(analysis, request.format, request.output, precision,
                               [&](std::string_view piece) { file.Write(piece); });
    } catch (...) {
        file.CloseAfterError();
        throw;
    }
    file.Close();
}

}  // namespace
}  // namespace morvane::tool
