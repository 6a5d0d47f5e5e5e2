#include "Commands.h"

#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "StudyLoad.h"
#include "listing/Listing.h"
#include "report/PrecisionCheck.h"
#include "report/SumsOfSquares.h"
#include "runtime/CLocale.h"
#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/SameFile.h"
#include "runtime/StandardStreams.h"
#include "scores/ParseScores.h"
#include "store/DataFile.h"

namespace morvane::tool {
namespace {

// A value with 21 significant digits in the C locale, whatever the user's is.
std::string Scientific(Extended value) {
    return ScientificText(value, 20);
}

}  // namespace

void Copy(const std::string& dataFile, const std::string& newFile) {
    RefuseInputAsOutput(newFile, {dataFile});
    StudyStore& store = TheStudy();
    LoadStudy(store, dataFile);
    WriteDataFile(store, newFile);
}

void Sums(const std::string& dataFile, const Settings& settings) {
    RefuseInputAsOutput("", {dataFile});
    StudyStore& store = TheStudy();
    LoadStudy(store, dataFile);
    SizeCellValue(store);
    ParseAllScores(store, settings.decimalSeparator);
    const SumsOfSquares ss = ComputeSumsOfSquares(store);
    const std::pair<const char*, Extended> rows[] = {
        {"SSTotal", ss.SSTotal}, {"SSA", ss.SSA},   {"SSB", ss.SSB},   {"SSS", ss.SSS},
        {"SSAB", ss.SSAB},       {"SSAS", ss.SSAS}, {"SSBS", ss.SSBS}, {"SSABS", ss.SSABS},
    };
    // A standard output closed or open only for reading is refused as the
    // other commands refuse it, before anything is printed.
    if (!io::IsWritableStandardStream(STDOUT_FILENO)) throw InOutError(io::kNoUsableHandle);
    // Each call is checked at once, so that the error number is that of the
    // first write that failed, not whatever a later call left in errno.
    for (const auto& [name, value] : rows)
        if (std::printf("%s %s\n", name, Scientific(value).c_str()) < 0)
            throw InOutError(io::CodeFromErrno(errno, ""));
    if (std::fflush(stdout) != 0) throw InOutError(io::CodeFromErrno(errno, ""));
}

bool Report(const std::string& dataFile, const std::string& resultsFile, const Settings& settings) {
    RefuseInputAsOutput(resultsFile, {dataFile});
    StudyStore& store = TheStudy();
    LoadStudy(store, dataFile);
    // The values go only to the sums: the tool ends with the file.
    std::optional<PrecisionCheck> precision;
    RunCheckedCalculation(
        store, settings.decimalSeparator, [&] { return std::optional<std::string>(resultsFile); }, precision,
        KeepValues::No);
    return precision && !precision->summaryTableExact;
}

void Listing(const std::string& dataFile, const std::string& out) {
    RefuseInputAsOutput(out, {dataFile});
    StudyStore& store = TheStudy();
    LoadStudy(store, dataFile);
    WriteListingFile(store, out);
}

}  // namespace morvane::tool
