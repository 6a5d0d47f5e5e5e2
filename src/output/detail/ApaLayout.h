#pragma once
// The APA table of any analysis, laid out once (its number, title, headings as
// runs of italic, subscript and superscript text, a row an effect and its
// note), and the writers that give that one layout as plain text, HTML, RTF and
// tab-separated text. ApaOutput.cpp fills it from the analysis.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "exact/ExactPartition.h"
#include "output/OutputOptions.h"
#include "output/ResultTables.h"
#include "stats/EffectSizes.h"
#include "stats/Sphericity.h"

namespace morvane::apa {

// A piece of a heading or note in one style.
struct Run {
    std::string text;
    enum class Style { Plain, Italic, Sub, Super } style = Style::Plain;
};
using Runs = std::vector<Run>;

Run Plain(std::string text);
Run Italic(std::string text);

// What the table and the sentence show of one effect under the options' correction.
struct EffectFigures {
    std::string name, df1, df2, f, mse, p, epsilon, eta, etaCi, etaWithCi, generalized;
};

// The figures of an effect tested on (effect.df, error.df), with `applied`
// (null for none) the correction of its degrees of freedom and p.
struct EffectTest {
    const PartitionSource& effect;
    const PartitionSource& error;
    std::optional<Extended> f, p, partialEtaSquared, generalizedEtaSquared;
    const std::optional<LevelInterval>& partialEtaSquaredCI;
    const Correction* applied;
};
EffectFigures FiguresOf(std::string name, const EffectTest& test);

// The correction `c` asks of an effect with that sphericity, or null.
const Correction* Applied(const std::optional<Sphericity>& sphericity, DfCorrection c);

// A column of the table: the summary table's column it shows (by key), its
// heading, its cell of an effect and its width in RTF.
struct ApaColumn {
    std::string key;
    Runs heading;
    std::string EffectFigures::*cell;
    int twips;
};

struct ApaTable {
    std::string number, title;
    std::vector<ApaColumn> columns;
    std::vector<std::vector<std::string>> rows;
    Runs note;
};

// The table's columns: in Japanese with the analysis' own summary headings
// (`heading` of a summary column's key); the epsilon only where a correction applies.
std::vector<ApaColumn> Columns(const OutputOptions& options, Extended effectSizeLevel,
                               const std::function<std::string(const char*)>& heading);

// The rows of `figures` under the table's columns.
void FillRows(ApaTable& table, const std::vector<EffectFigures>& figures);

// Why an effect's row is not corrected though its degrees of freedom are more than one.
enum class Uncorrected {
    No,           // corrected, or one degree of freedom (which needs no correction)
    Omitted,      // its contrasts too many to test sphericity
    Undefined,    // the correction's epsilon is undefined for it
    Between,      // a between effect, which no sphericity concerns
};

// The note's middle, after what was analysed: the correction applied (and
// each effect whose row it leaves uncorrected, with the reason), the symbols,
// and on which degrees of freedom the eta interval was found.
std::string CorrectionAndSymbols(const std::vector<EffectFigures>& figures,
                                 const std::vector<Uncorrected>& uncorrected, const OutputOptions& options,
                                 Extended effectSizeLevel, bool correctedInterval);

// One sentence: "F(1.14, 7.95) = 29.22, p < .001, ηp² = .81, 90% CI [.49, .90]".
std::string Sentence(const EffectFigures& e, Extended effectSizeLevel);

std::string PlainRuns(const Runs& runs);
std::string HtmlEscaped(const std::string& text);

// The writers of one layout.
std::string TextTable(const ApaTable& t);
std::string HtmlFragment(const ApaTable& t);
std::string RtfDocument(const ApaTable& t);
std::string TabsTable(const ApaTable& t);
// A table of the analysis in the same style: its title, its cells and its notes.
std::string HtmlTable(const TableText& t);
// The whole HTML document: the fragment, then each effect's named sentence,
// then `after` (HTML).
std::string HtmlDocument(const OutputOptions& options, const ApaTable& t,
                         const std::vector<EffectFigures>& figures, const std::vector<std::string>& sentences,
                         const std::string& after = {});

}  // namespace morvane::apa
