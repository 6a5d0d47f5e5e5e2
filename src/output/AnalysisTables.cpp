#include "output/AnalysisTables.h"

#include <utility>

#include "anova/AnalysisFields.h"
#include "output/detail/AnalysisTables.h"

namespace morvane {
namespace {

using namespace tables;

std::vector<Table> StudyTables(const anova::Analysis& r, const PrecisionCheck* precision);
std::vector<Table> DesignTables(const anova::Analysis& r, TableReader reader);

}  // namespace

std::vector<TableText> TableTexts(const anova::Analysis& r, TableReader reader, const OutputOptions& options,
                                  char decimalSeparator, const PrecisionCheck* precision) {
    const Reading how{reader,          decimalSeparator, options.language == OutputLanguage::Japanese,
                      options.correction, options.layout, options.rounding, !r.within.empty()};
    std::vector<TableText> texts;
    for (const Table& t :
         options.layout == OutputLayout::Study ? StudyTables(r, precision) : DesignTables(r, reader))
        texts.push_back(Written(t, how));
    return texts;
}

namespace {

// TableTexts, the study's order: the model, its means and follow-ups, the
// precision check, and the checks where there are subjects and levels to check,
// the robustness of the decisions and the planning last.
std::vector<Table> StudyTables(const anova::Analysis& r, const PrecisionCheck* precision) {
    constexpr OutputLayout study = OutputLayout::Study;
    std::vector<Table> tables{Summary(r, study), SphericityTests(r, study), CellMeans(r, study)};
    for (Table& t : MarginalMeans(r, study)) tables.push_back(std::move(t));
    tables.push_back(Comparisons(r, study));
    tables.push_back(SimpleEffects(r, study));
    if (anova::ContrastsAsked(r)) tables.push_back(PlannedContrasts(r, study));
    if (anova::CellsAsked(r)) tables.push_back(CellComparisons(r, study));
    if (r.options.simpleInteractions) tables.push_back(SimpleInteractions(r, study));
    if (precision) tables.push_back(Precision(r, *precision));
    bool levels = r.Factors() > 0;
    for (std::size_t k = 0; k < r.Factors(); ++k) levels = levels && !r.FactorAt(k).levels.empty();
    if (r.subjects < 1 || !levels) return tables;
    for (const Table& t :
         {Multivariate(r, study), Residuals(r, study), CellShapes(r, study), Outlying(r, study),
          Friedman(r, study), AlignedRanks(r, study), AlignedRankContrasts(r, study), Robustness(r, study),
          Planning(r, study)})
        tables.push_back(t);
    return tables;
}

// TableTexts, a design's order: the model and its checks, the means and
// follow-ups, the checks of the residuals (for the window also the outlying
// subjects and the cells' shapes), the rank-based tests and the robustness of
// the decisions.
std::vector<Table> DesignTables(const anova::Analysis& r, TableReader reader) {
    constexpr OutputLayout design = OutputLayout::Design;
    // Without a within factor there is no sphericity and no multivariate test.
    std::vector<Table> tables{Summary(r, design)};
    if (!r.within.empty()) {
        tables.push_back(SphericityTests(r, design));
        tables.push_back(Multivariate(r, design));
    }
    tables.push_back(CellMeans(r, design));
    for (Table& t : MarginalMeans(r, design)) tables.push_back(std::move(t));
    tables.push_back(Comparisons(r, design));
    // A one-factor between design has no other factor to hold at a level.
    if (!r.within.empty() || !r.simpleEffects.empty()) tables.push_back(SimpleEffects(r, design));
    if (anova::ContrastsAsked(r)) tables.push_back(PlannedContrasts(r, design));
    if (anova::CellsAsked(r)) tables.push_back(CellComparisons(r, design));
    if (r.options.simpleInteractions) tables.push_back(SimpleInteractions(r, design));
    if (!r.between.empty()) tables.push_back(Levene(r));
    if (r.boxM) tables.push_back(BoxM(r));
    tables.push_back(Residuals(r, design));
    if (reader == TableReader::Window) {
        tables.push_back(Outlying(r, design));
        tables.push_back(CellShapes(r, design));
    }
    if (!r.rankBased.friedman.empty()) tables.push_back(Friedman(r, design));
    if (!r.rankBased.alignedRanks.empty()) {
        tables.push_back(AlignedRanks(r, design));
        tables.push_back(AlignedRankContrasts(r, design));
    }
    if (!r.robustness.empty()) tables.push_back(Robustness(r, design));
    if (!r.planning.empty()) tables.push_back(Planning(r, design));
    return tables;
}

}  // namespace
}  // namespace morvane
