#pragma once
// The precision check of a data file's results file beside the one engine's
// analysis of its study: the results file's correction-term sums against the
// exact figures the analysis formed.

#include "anova/Analysis.h"
#include "report/PrecisionCheck.h"
#include "store/StudyStore.h"

namespace morvane::anova {

// The check of the results file of the study `analysis` analysed (its
// subjects with every score: the results file of a study with an empty score
// is never written, and the check is of the study of the subjects analysed).
// Every score of those subjects is a score.
PrecisionCheck CheckStudyResultsFile(const StudyStore& store, char decimalSeparator, const Analysis& analysis);

}  // namespace morvane::anova
