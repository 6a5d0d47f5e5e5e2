#pragma once
// The precision check of a data file's results file beside the one engine's
// analysis of its study: the results file's correction-term sums against the
// exact figures the analysis formed.

#include "anova/Analysis.h"
#include <optional>
#include <string>
#include <vector>

#include "report/PrecisionCheck.h"
#include "report/SumsOfSquares.h"
#include "store/StudyStore.h"

namespace morvane::anova {

// The check of the results file of the study `analysis` analysed (its
// subjects with every score: the results file of a study with an empty score
// is never written, and the check is of the study of the subjects analysed).
// Every score of those subjects is a score.
PrecisionCheck CheckStudyResultsFile(const StudyStore& store, char decimalSeparator, const Analysis& analysis);

// The same in two steps, the first of which may run beside the analysis: the
// results file's sums of the study without the `removed` subjects (their
// numbers, as DesignFromStudy names them; none where it cannot compute
// them), then the check of those sums.
std::optional<SumsOfSquares> StudyResultsFileSums(const StudyStore& store, char decimalSeparator,
                                                  const std::vector<std::string>& removed);
PrecisionCheck CheckStudyResultsFile(const StudyStore& store, char decimalSeparator, const Analysis& analysis,
                                     const std::optional<SumsOfSquares>& sums);

// The results file's sums from a sweep that took every block of the parse of
// the study's scores (DesignFromStudy's, say); none where it cannot compute them.
std::optional<SumsOfSquares> SweptSums(const SumsOfSquaresSweep& sweep, const StudyStore& store);

}  // namespace morvane::anova
