#pragma once
// The precision check of the results file: its correction-term sums of
// squares, and the figures of its summary table as printed, against the exact
// partition.

#include <array>
#include <optional>

#include "exact/ExactPartition.h"
#include "report/CalculateCommand.h"
#include "report/SumsOfSquares.h"
#include "runtime/Extended.h"
#include "store/StudyStore.h"

namespace morvane {

// A sum of squares of the results file against the exact one.
struct PrecisionFigure {
    const char* name = "";
    std::optional<Extended> resultsFile;  // absent when the results file cannot compute it
    Extended exact = 0;
    int correctDigits = 0;  // significant digits of the results file's value that are right (19: all)
};

struct PrecisionCheck {
    std::array<PrecisionFigure, 8> sums;  // SSTotal, SSA, SSB, SSS, SSAB, SSAS, SSBS, SSABS
    bool summaryTableExact = true;        // every printed figure equals the exact one printed the same way
    bool summaryTableComplete = true;     // false: the results file stops at an undefined mean square or F
    PartitionMethod method = PartitionMethod::Exact;
};

// The exact partition's eight sums in the results file's order and names.
SumsOfSquares ExactSums(const ExactPartition& exact);

// The check of the results file written with `resultsFile`.
PrecisionCheck CheckResultsFile(const SumsOfSquares& resultsFile, const ExactPartition& exact,
                                char decimalSeparator);

// The same where the results file's sums may not be there: absent when the
// results file cannot compute them (no subjects, or scores beyond its range).
PrecisionCheck CheckResultsFile(const std::optional<SumsOfSquares>& resultsFile, const ExactPartition& exact,
                                char decimalSeparator);

// Parses every score, then checks the results file of the store.
PrecisionCheck CheckResultsFile(StudyStore& store, char decimalSeparator);

// RunCalculation, and when the file is written, the precision check of its
// summary table in `precision`, from exact totals gathered while the scores
// are parsed.
CalculationOutcome RunCheckedCalculation(StudyStore& store, char decimalSeparator,
                                         const ChooseResultsFile& chooseResultsFile,
                                         std::optional<PrecisionCheck>& precision,
                                         KeepValues keep = KeepValues::Yes);

}  // namespace morvane
