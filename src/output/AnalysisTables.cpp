#include "output/AnalysisTables.h"

#include <functional>
#include <utility>

#include "anova/AnalysisFields.h"
#include "output/detail/AnalysisTables.h"

namespace morvane {
namespace {

using namespace tables;

// Takes each table as it is made.
using Put = std::function<void(Table&&)>;

void StudyTables(const anova::Analysis& r, const PrecisionCheck* precision, const Put& put);
void DesignTables(const anova::Analysis& r, TableReader reader, const Put& put);

}  // namespace

std::vector<TableText> TableTexts(const anova::Analysis& r, TableReader reader, const OutputOptions& options,
                                  char decimalSeparator, const PrecisionCheck* precision) {
    std::vector<TableText> texts;
    EachTableText(r, reader, options, decimalSeparator, precision,
                  [&](const TableText& head, const TableRows& rows) { texts.push_back(WithRows(head, rows)); });
    return texts;
}

void EachTableText(const anova::Analysis& r, TableReader reader, const OutputOptions& options,
                   char decimalSeparator, const PrecisionCheck* precision,
                   const std::function<void(const TableText&, const TableRows&)>& each) {
    const Reading how{reader,          decimalSeparator, options.language == OutputLanguage::Japanese,
                      options.correction, options.layout, options.rounding, !r.within.empty()};
    const Put put = [&](Table&& t) {
        const auto [head, rows] = WrittenOnDemand(t, how);
        each(head, rows);
    };
    if (options.layout == OutputLayout::Study)
        StudyTables(r, precision, put);
    else
        DesignTables(r, reader, put);
}

namespace {

// TableTexts, the study's order: the model, its means and follow-ups, the
// precision check, and the checks where there are subjects and levels to check,
// the robustness of the decisions and the planning last.
void StudyTables(const anova::Analysis& r, const PrecisionCheck* precision, const Put& put) {
    constexpr OutputLayout study = OutputLayout::Study;
    put(Summary(r, study));
    put(SphericityTests(r, study));
    put(CellMeans(r, study));
    for (Table& t : MarginalMeans(r, study)) put(std::move(t));
    put(Comparisons(r, study));
    put(SimpleEffects(r, study));
    if (anova::ContrastsAsked(r)) put(PlannedContrasts(r, study));
    if (anova::CellsAsked(r)) put(CellComparisons(r, study));
    if (r.options.simpleInteractions) put(SimpleInteractions(r, study));
    if (precision) put(Precision(r, *precision));
    bool levels = r.Factors() > 0;
    for (std::size_t k = 0; k < r.Factors(); ++k) levels = levels && !r.FactorAt(k).levels.empty();
    if (r.subjects < 1 || !levels) return;
    for (Table t :
         {Multivariate(r, study), Residuals(r, study), CellShapes(r, study), Outlying(r, study),
          Friedman(r, study), AlignedRanks(r, study), AlignedRankContrasts(r, study), Robustness(r, study),
          Planning(r, study)})
        put(std::move(t));
}

// TableTexts, a design's order: the model and its checks, the means and
// follow-ups, the checks of the residuals (for the window also the outlying
// subjects and the cells' shapes), the rank-based tests and the robustness of
// the decisions.
void DesignTables(const anova::Analysis& r, TableReader reader, const Put& put) {
    constexpr OutputLayout design = OutputLayout::Design;
    // Without a within factor there is no sphericity and no multivariate test.
    put(Summary(r, design));
    if (!r.within.empty()) {
        put(SphericityTests(r, design));
        put(Multivariate(r, design));
    }
    put(CellMeans(r, design));
    for (Table& t : MarginalMeans(r, design)) put(std::move(t));
    put(Comparisons(r, design));
    // A one-factor between design has no other factor to hold at a level.
    if (!r.within.empty() || !r.simpleEffects.empty()) put(SimpleEffects(r, design));
    if (anova::ContrastsAsked(r)) put(PlannedContrasts(r, design));
    if (anova::CellsAsked(r)) put(CellComparisons(r, design));
    if (r.options.simpleInteractions) put(SimpleInteractions(r, design));
    if (!r.between.empty()) put(Levene(r));
    if (r.boxM) put(BoxM(r));
    put(Residuals(r, design));
    if (reader == TableReader::Window) {
        put(Outlying(r, design));
        put(CellShapes(r, design));
    }
    if (!r.rankBased.friedman.empty()) put(Friedman(r, design));
    if (!r.rankBased.alignedRanks.empty()) {
        put(AlignedRanks(r, design));
        put(AlignedRankContrasts(r, design));
    }
    if (!r.robustness.empty()) put(Robustness(r, design));
    if (!r.planning.empty()) put(Planning(r, design));
}

}  // namespace
}  // namespace morvane
