// The robustness table: each effect's decision at the analysis' alpha by each
// of its tests, whether they agree, and in its notes what the columns hold
// and a sentence of each effect whose tests disagree.

#include <string>
#include <vector>

#include "output/detail/AnalysisTables.h"
#include "runtime/NumberText.h"

namespace morvane::tables {
namespace {

using anova::Decision;
using anova::RobustnessRow;
using anova::RobustTest;

// A row of the table: the effect's name as the layout shows it, and its decisions.
struct DecisionRow {
    std::string name;
    const RobustnessRow* row;
};

// A decision's cell: "—" where there is none (empty for programs, as every undefined figure).
Cell DecisionCell(Decision d) {
    if (d == Decision::Significant) return Text("significant", "有意");
    if (d == Decision::NotSignificant) return Text("not significant", "有意でない");
    return Number(std::nullopt, Figure::P);
}

template <RobustTest test>
Cell Decided(const Analysis&, const DecisionRow& d) {
    return DecisionCell(d.row->decisions[static_cast<std::size_t>(test)]);
}

// The notes: alpha, the tests the columns hold, then a sentence of each effect
// whose tests disagree or one that they all agree.
std::vector<Labels> RobustnessNotes(const Analysis& r, OutputLayout layout) {
    const std::string alpha = AlphaText(r.options.alpha);
    std::vector<Labels> notes{
        {"Significant: p < α = " + alpha + "; — where the test is not computed or undefined.",
         "有意: p < α = " + alpha + "。— は検定を計算していないか定義されないものです。"}};
    if (r.within.empty()) return notes;  // one test of each effect: nothing to agree or differ
    bool between = false, oneDf = false;
    anova::RankTest rank = anova::RankTest::None;
    for (const RobustnessRow& row : r.robustness) {
        const anova::Effect& e = r.effects.at(row.effect);
        between = between || e.within.empty();
        oneDf = oneDf || (!e.within.empty() && e.effect.df == 1);
        if (row.rank != anova::RankTest::None) rank = row.rank;
    }
    if (between)
        notes.push_back({"A between effect has one test: its corrections, multivariate and rank-based tests do "
                         "not apply (—).",
                         "被験者間効果の検定は一つです。自由度の修正、多変量検定、順位検定はありません (—)。"});
    if (oneDf)
        notes.push_back({"A within effect of one degree of freedom has epsilon 1 and its multivariate test is "
                         "its F test: they repeat its uncorrected decision.",
                         "自由度 1 の被験者内効果は ε = 1 で、多変量検定も F 検定と同じなので、補正なしの判定を"
                         "繰り返します。"});
    if (rank == anova::RankTest::Friedman)
        notes.push_back({"Rank-based: Friedman's test of the one within factor.",
                         "順位検定: 被験者内要因一つの Friedman 検定です。"});
    else if (rank == anova::RankTest::AlignedRanks)
        notes.push_back({"Rank-based: the aligned rank transform's test of each within effect.",
                         "順位検定: 被験者内効果ごとの整列順位変換による検定です。"});
    bool agree = true;
    for (const RobustnessRow& row : r.robustness)
        if (!row.agree) {
            agree = false;
            notes.push_back({Shown(row.sentence, layout), Shown(row.japanese, layout)});
        }
    if (agree && !r.robustness.empty())
        notes.push_back({"Every test reaches the same decision on every effect.",
                         "どの効果もすべての検定で判定が一致します。"});
    return notes;
}

}  // namespace

std::string AlphaText(Extended alpha) {
    std::string text = GeneralText(alpha, 6);
    if (text.size() > 1 && text[0] == '0' && text[1] == '.') text.erase(0, 1);
    return text;
}

// Last: each effect's decisions by its tests at the analysis' alpha.
Table Robustness(const Analysis& r, OutputLayout layout) {
    using D = const DecisionRow&;
    const std::vector<Column<DecisionRow>> columns{
        {Heading{"effect", "Effect", "効果"}.Names(), [](auto&, D d) { return Text(d.name); }},
        {Heading{"uncorrected", "Uncorrected", "補正なし"}.Names(), &Decided<RobustTest::Uncorrected>},
        {Heading{"greenhouseGeisser", "GG", "GG"}.Names().Within(), &Decided<RobustTest::GreenhouseGeisser>},
        {Heading{"huynhFeldt", "HF", "HF"}.Names().Within(), &Decided<RobustTest::HuynhFeldt>},
        {Heading{"lowerBound", "LB", "下限"}.Names().Within(), &Decided<RobustTest::LowerBound>},
        {Heading{"multivariate", "Multivariate (Pillai)", "多変量 (Pillai)"}.Names().Within(),
         &Decided<RobustTest::Multivariate>},
        {Heading{"rankBased", "Rank-based", "順位検定"}.Names().Within(), &Decided<RobustTest::RankBased>},
        {Heading{"agree", "Agree", "一致"}.Names().Within(),
         [](auto&, D d) { return d.row->agree ? Text("yes", "一致") : Text("no", "不一致"); }},
    };
    std::vector<DecisionRow> rows;
    for (const RobustnessRow& row : r.robustness)
        if (row.effect < r.effects.size()) rows.push_back({Shown(r.effects[row.effect].name, layout), &row});
    const std::string alpha = AlphaText(r.options.alpha);
    Table t = Tabulate(r, "Robustness",
                       {"Robustness of the decisions at α = " + alpha, "α = " + alpha + " での判定の頑健性"},
                       columns, rows);
    t.notes = RobustnessNotes(r, layout);
    return t;
}

}  // namespace morvane::tables
