#pragma once
// The tables of the analysis, each described once in the column model
// (output/detail/Columns.h) for every layout and reader: the model's tables
// (ModelTables.cpp) and the checks' (CheckTables.cpp). Where the data file's
// study has its own heading, key or note, the table's one function says so
// beside the design's. Private to the output room.

#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "output/OutputOptions.h"
#include "output/detail/Columns.h"
#include "report/PrecisionCheck.h"

namespace morvane::tables {

using anova::Analysis;

// A name as the layout shows it: the study's with "x" for "×" ("A x B x S").
std::string Shown(const std::string& name, OutputLayout layout);
// "factor = level" of each factor a place is at, joined by ", ".
std::string PlaceName(const Analysis& r, const anova::Place& at);

// The note of an effect whose between part's hypothesis is beyond the solve's
// limit (Effect::hypothesisOmitted), named `name`: the summary's and the paper's.
Labels HypothesisLeftOutNote(const std::string& name);

// The model's tables.
Table Summary(const Analysis& r, OutputLayout layout);
Table SphericityTests(const Analysis& r, OutputLayout layout);
Table Multivariate(const Analysis& r, OutputLayout layout);
Table CellMeans(const Analysis& r, OutputLayout layout);
// The study's: a table of each factor's levels ("MeansA"); a design's: one of every factor's.
std::vector<Table> MarginalMeans(const Analysis& r, OutputLayout layout);
Table Comparisons(const Analysis& r, OutputLayout layout);
Table SimpleEffects(const Analysis& r, OutputLayout layout);
// The planned contrasts asked for (ContrastTables.cpp).
Table PlannedContrasts(const Analysis& r, OutputLayout layout);
// The pairs of the cells of the interactions asked for (CellTables.cpp).
Table CellComparisons(const Analysis& r, OutputLayout layout);
Table SimpleInteractions(const Analysis& r, OutputLayout layout);

// The checks' tables, and the precision of the study's results file.
Table Precision(const Analysis& r, const PrecisionCheck& check);
Table Levene(const Analysis& r);
Table BoxM(const Analysis& r);
Table Residuals(const Analysis& r, OutputLayout layout);
Table CellShapes(const Analysis& r, OutputLayout layout);
Table Outlying(const Analysis& r, OutputLayout layout);
Table Friedman(const Analysis& r, OutputLayout layout);
Table AlignedRanks(const Analysis& r, OutputLayout layout);
Table AlignedRankContrasts(const Analysis& r, OutputLayout layout);

// Each effect's decision by each of its tests at the analysis' alpha.
Table Robustness(const Analysis& r, OutputLayout layout);
// Each effect's total N for power .80 and .90 (PlanningTable.cpp).
Table Planning(const Analysis& r, OutputLayout layout);
// Alpha as the notes give it: 0.05 is ".05".
std::string AlphaText(Extended alpha);

}  // namespace morvane::tables
