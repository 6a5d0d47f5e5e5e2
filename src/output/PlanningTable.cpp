// The planning table: for each effect the power calculation's kind, M and K,
// the measured correlation and epsilon, f in both conventions and the total N
// for power .80 and .90 at the analysis' alpha, at the point estimate of
// partial eta squared and at its interval's lower limit; in its notes the
// convention and mapping, and the reason of each N that is absent.

#include <string>
#include <vector>

#include "output/detail/AnalysisTables.h"
#include "runtime/NumberText.h"

namespace morvane::tables {
namespace {

using anova::PlanningRow;

struct PlannedRow {
    std::string name;
    const PlanningRow* row;
};

Cell KindCell(const PlanningRow& row) {
    if (row.kind == PowerEffect::Between) return Text("between", "被験者間");
    if (row.kind == PowerEffect::Within) return Text("within", "被験者内");
    return Text("interaction", "交互作用");
}

// The notes: what the N are planned in, how the effects map, and each absent N's reason.
std::vector<Labels> PlanningNotes(const Analysis& r, OutputLayout layout) {
    const std::string alpha = AlphaText(r.options.alpha);
    const std::string level = GeneralText(r.options.effectSizeLevel * 100, 6) + " %";
    std::vector<Labels> notes{
        {"Total N for power .80 and .90 at α = " + alpha +
             ", in the power programs' convention: λ = f² N M ε / (1 − ρ) for within and interaction "
             "effects, "
             "f² N M / (1 + (M − 1) ρ) for between effects (as morvane power).",
         "α = " + alpha +
             " で検出力 .80 と .90 に必要な総 N。検出力計算プログラムの流儀: 被験者内効果と交互作用は λ = f² "
             "N M ε / "
             "(1 − ρ)、被験者間効果は f² N M / (1 + (M − 1) ρ) (morvane power と同じ)。"},
        {"f: of the power programs, from partial eta squared at this study's N, M, K, ρ and ε; f (other): "
         "the "
         "statistics packages', √(ηp² / (1 − ηp²)). Lower: at the lower limit of partial eta squared's " +
             level + " interval.",
         "f: 検出力計算プログラムの f (偏 η² からこの研究の N, M, K, ρ, ε で換算)。f (他方): "
         "統計パッケージの f、"
         "√(ηp² / (1 − ηp²))。下限: 偏 η² の " +
             level + " 区間の下限での値。"},
        {"ρ: the mean correlation among the stratum's measures pooled within the groups; ε: "
         "Greenhouse–Geisser's. "
         "K is the design's between cells (an effect of some of several between factors is planned as the "
         "test "
         "among all of them); M of a within effect is its df + 1 (its levels for one factor: an interaction "
         "of "
         "within factors keeps its df), of a between effect the within cells.",
         "ρ: その誤差層の測定間の平均相関 (群内でプール)。ε: Greenhouse–Geisser の ε。K は被験者間のセル数 "
         "(複数の被験者間要因の一部の効果は全セル間の検定として計画)。被験者内効果の M は自由度 + 1 "
         "(要因一つなら"
         "水準数。被験者内要因の交互作用は自由度を保つ)、被験者間効果の M は被験者内のセル数。"}};
    if (r.within.empty())
        // No within factor: no measures to correlate and no correction of the df.
        notes = {{"Total N for power .80 and .90 at α = " + alpha +
                      ", in the power programs' convention: λ = f² N (as morvane power for between effects).",
                  "α = " + alpha + " で検出力 .80 と .90 に必要な総 N。検出力計算プログラムの流儀: λ = f² N "
                                   "(morvane power の被験者間効果と同じ)。"},
                 {"f: of the power programs, from partial eta squared at this study's N and K; f (other): the "
                  "statistics packages', √(ηp² / (1 − ηp²)). Lower: at the lower limit of partial eta squared's " +
                      level + " interval.",
                  "f: 検出力計算プログラムの f (偏 η² からこの研究の N, K で換算)。f (他方): 統計パッケージの f、"
                  "√(ηp² / (1 − ηp²))。下限: 偏 η² の " +
                      level + " 区間の下限での値。"},
                 {"K is the design's between cells (an effect of some of several between factors is planned as "
                  "the test among all of them).",
                  "K は被験者間のセル数 (複数の被験者間要因の一部の効果は全セル間の検定として計画)。"}};
    for (const PlanningRow& row : r.planning) {
        if (row.effect >= r.effects.size()) continue;
        const std::string name = Shown(r.effects[row.effect].name, layout);
        if (!row.reason.empty())
            notes.push_back({name + ": — " + row.reason + ".", name + ": — " + row.reasonJapanese + "。"});
        if (!row.lowerReason.empty() && row.lowerReason != row.reason)
            notes.push_back({name + ", lower: — " + row.lowerReason + ".",
                             name + " (下限): — " + row.lowerReasonJapanese + "。"});
    }
    return notes;
}

}  // namespace

// Last but one: the N a study like this one would need for each effect.
Table Planning(const Analysis& r, OutputLayout layout) {
    using D = const PlannedRow&;
    const auto number = [](const std::optional<Extended>& v) { return Number(v, Figure::Proportion); };
    const std::vector<Column<PlannedRow>> columns{
        {Heading{"effect", "Effect", "効果"}.Names(), [](auto&, D d) { return Text(d.name); }},
        {Heading{"kind", "Planned as", "計画の種類"}.Names(), [](auto&, D d) { return KindCell(*d.row); }},
        {Heading{"measures", "M", "M"}.Names().Within(), [](auto&, D d) { return Integer(d.row->measures); }},
        {Heading{"groups", "K", "K"}.Names(), [](auto&, D d) { return Integer(d.row->groups); }},
        {Heading{"rho", "ρ", "ρ"}.Names().Within(), [=](auto&, D d) { return number(d.row->rho); }},
        {Heading{"epsilon", "ε (GG)", "ε (GG)"}.Names().Within(), [=](auto&, D d) { return number(d.row->epsilon); }},
        {Heading{"f", "f", "f"}.Names(), [=](auto&, D d) { return number(d.row->f); }},
        {Heading{"fOther", "f (other)", "f (他方)"}.Names(),
         [=](auto&, D d) { return number(d.row->fOther); }},
        {Heading{"n80", "N .80", "N .80"}.Names(), [](auto&, D d) { return Integer(d.row->n80); }},
        {Heading{"n90", "N .90", "N .90"}.Names(), [](auto&, D d) { return Integer(d.row->n90); }},
        {Heading{"fLower", "f lower", "f 下限"}.Names(), [=](auto&, D d) { return number(d.row->fLower); }},
        {Heading{"n80Lower", "N .80 lower", "N .80 下限"}.Names(),
         [](auto&, D d) { return Integer(d.row->n80Lower); }},
        {Heading{"n90Lower", "N .90 lower", "N .90 下限"}.Names(),
         [](auto&, D d) { return Integer(d.row->n90Lower); }},
    };
    std::vector<PlannedRow> rows;
    for (const PlanningRow& row : r.planning)
        if (row.effect < r.effects.size()) rows.push_back({Shown(r.effects[row.effect].name, layout), &row});
    const std::string alpha = AlphaText(r.options.alpha);
    Table t = Tabulate(r, "Planning",
                       {"Planning: total N for power .80 and .90 at α = " + alpha,
                        "計画: α = " + alpha + " で検出力 .80 と .90 に必要な総 N"},
                       columns, rows);
    t.notes = PlanningNotes(r, layout);
    return t;
}

}  // namespace morvane::tables
