#include "output/ModelCheckTables.h"

#include <optional>
#include <string>
#include <utility>

#include "output/detail/Columns.h"

// Each table is one function below, in the column model of the analysis'
// own tables (output/detail/Columns.h): its columns with their keys, headings
// in both languages and the reader of each cell, then its rows and notes.

namespace morvane {
namespace {

using namespace tables;

Table Multivariate(const FullAnalysis& r);
Table Residuals(const FullAnalysis& r);
Table CellShapes(const FullAnalysis& r);
Table Outlying(const FullAnalysis& r);
Table Friedman(const FullAnalysis& r);
Table AlignedRanks(const FullAnalysis& r);
Table AlignedRankContrasts(const FullAnalysis& r);

}  // namespace

std::vector<TableText> ModelCheckTables(const FullAnalysis& r, TableReader reader,
                                        const OutputOptions& options, char decimalSeparator) {
    std::vector<TableText> texts;
    if (r.subjects < 1 || r.levelsA < 1 || r.levelsB < 1) return texts;
    const Reading how{reader, decimalSeparator,
                      reader == TableReader::Window || options.language == OutputLanguage::Japanese,
                      options.correction};
    for (const Table& t : {Multivariate(r), Residuals(r), CellShapes(r), Outlying(r), Friedman(r),
                           AlignedRanks(r), AlignedRankContrasts(r)})
        texts.push_back(Written(t, how));
    return texts;
}

namespace {

const char* EffectName(int i) {
    return i == 0 ? "A" : i == 1 ? "B" : "A x B";
}

const char* StratumName(Stratum s) {
    switch (s) {
        case Stratum::Subjects:
            return "S";
        case Stratum::AS:
            return "A x S";
        case Stratum::BS:
            return "B x S";
        case Stratum::ABS:
            return "A x B x S";
    }
    return "";
}

// A row of the multivariate table: one of the four statistics of an effect tested.
struct MultivariateRow {
    const char* effect;
    const char* english;
    const char* japanese;
    std::optional<Extended> value;
    const MultivariateEffect* test;
};

// Multivariate: why an effect has no test, or nothing for one tested.
Labels UntestedNote(const MultivariateEffect& e, const std::string& name, std::int64_t subjects) {
    const std::string k = std::to_string(e.contrasts);
    switch (e.status) {
        case MultivariateStatus::Tested:
        case MultivariateStatus::NoEffect:
            return {};
        case MultivariateStatus::OneDf:
            return {name + ": one degree of freedom; the multivariate test is the univariate F test.",
                    name + ": 自由度が 1 なので、多変量検定は一変量の F 検定と同じです。"};
        case MultivariateStatus::TooFewSubjects:
            return {name + ": undefined: N - 1 = " + std::to_string(subjects - 1) + " is below the " + k +
                        " contrasts.",
                    name + ": 定義されません: N - 1 = " + std::to_string(subjects - 1) + " が対比の数 " + k +
                        " より小さいためです。"};
        case MultivariateStatus::Singular:
            return {name + ": undefined: the covariance of its " + k +
                        " contrasts has no inverse (a contrast constant, or a combination of others).",
                    name + ": 定義されません: " + k +
                        " 個の対比の共分散行列に逆行列がありません (定数の対比、または他の対比の一次結合)。"};
        case MultivariateStatus::Omitted:
            return {name + ": not computed: its " + k + " contrasts are too many.",
                    name + ": 対比が " + k + " 個と多すぎるため計算していません。"};
    }
    return {};
}

// The multivariate tests: four rows of each effect tested, a note of each that is not.
Table Multivariate(const FullAnalysis& r) {
    using M = const MultivariateRow&;
    const std::vector<Column<MultivariateRow>> columns{
        {Heading{"effect", "Effect", "効果"}.Names(), [](auto&, M m) { return Text(m.effect); }},
        {Heading{"test", "Test", "検定統計量"}.Names(),
         [](auto&, M m) { return Text(m.english, m.japanese); }},
        {{"value", "Value", "値"}, [](auto&, M m) { return Number(m.value, Figure::Statistic); }},
        {{"F", "F", "F 値"}, [](auto&, M m) { return Number(m.test->f, Figure::Statistic); }},
        {{"df1", "df1", "df1"}, [](auto&, M m) { return Integer(m.test->df1); }},
        {{"df2", "df2", "df2"}, [](auto&, M m) { return Integer(m.test->df2); }},
        {{"p", "p", "p 値"}, [](auto&, M m) { return Number(m.test->p, Figure::P); }},
    };
    const MultivariateEffect* effects[] = {&r.multivariate.A, &r.multivariate.B, &r.multivariate.AB};
    std::vector<MultivariateRow> rows;
    std::vector<Labels> notes;
    for (int i = 0; i < 3; ++i) {
        const MultivariateEffect& e = *effects[i];
        if (e.status != MultivariateStatus::Tested) {
            Labels note = UntestedNote(e, EffectName(i), r.subjects);
            if (!note.english.empty()) notes.push_back(std::move(note));
            continue;
        }
        const char* name = EffectName(i);
        rows.push_back({name, "Pillai's trace", "Pillai のトレース", e.pillai, &e});
        rows.push_back({name, "Wilks' lambda", "Wilks のラムダ", e.wilks, &e});
        rows.push_back(
            {name, "Hotelling-Lawley trace", "Hotelling-Lawley のトレース", e.hotellingLawley, &e});
        rows.push_back({name, "Roy's largest root", "Roy の最大根", e.roy, &e});
    }
    if (!rows.empty())
        notes.push_back(
            {"Each effect's contrasts are tested against zero with one hypothesis degree of freedom: the "
             "four "
             "statistics give the same exact F, that of Hotelling's T^2 on (k, N - k); Roy's, in general an "
             "upper bound, is exact here.",
             "各効果の対比の平均をゼロに対して検定します。仮説の自由度が 1 なので、4 "
             "つの統計量はどれも同じ正確な "
             "F (Hotelling の T^2 の F、自由度 (k, N - k)) を与えます。Roy の最大根は一般には F "
             "の上限ですが、ここでは正確です。"});
    Table t = Tabulate(r, "Multivariate", {"Multivariate tests", "多変量検定"}, columns, rows);
    t.notes = std::move(notes);
    return t;
}

// The normality of each stratum's residuals and their studentized values.
Table Residuals(const FullAnalysis& r) {
    using S = const StratumCheck&;
    const std::vector<Column<StratumCheck>> columns{
        {Heading{"stratum", "Stratum", "誤差層"}.Names(),
         [](auto&, S s) { return Text(StratumName(s.stratum)); }},
        {{"residuals", "Residuals", "残差の数"},
         [](auto&, S s) { return Integer(static_cast<std::int64_t>(s.normality.count)); }},
        {{"df", "df", "自由度"}, [](auto&, S s) { return Integer(s.df); }},
        {{"W", "Shapiro-Wilk W", "Shapiro-Wilk W"},
         [](auto&, S s) { return Number(s.normality.w, Figure::Proportion); }},
        {{"p", "p", "p 値"}, [](auto&, S s) { return Number(s.normality.p, Figure::P); }},
        {{"largestStudentized", "Largest |studentized|", "最大 |スチューデント化残差|"},
         [](auto&, S s) { return Number(s.largestStudentized, Figure::Statistic); }},
        {{"beyond3", "Beyond 3", "3 を超える数"},
         [](auto&, S s) { return Integer(static_cast<std::int64_t>(s.outlying)); }},
    };
    Table t = Tabulate(r, "Residuals", {"Residuals by error stratum", "誤差層ごとの残差"}, columns,
                       r.assumptions.strata);
    bool outOfRange = false;
    for (const StratumCheck& s : r.assumptions.strata) outOfRange = outOfRange || !s.normality.inRange;
    if (outOfRange)
        t.notes.push_back({"Shapiro-Wilk's W is computed for 3 to 5000 residuals only.",
                           "Shapiro-Wilk の W は残差が 3〜5000 個の誤差層でだけ計算します。"});
    t.notes.push_back(
        {"These checks describe the residuals: a small p or an outlying subject says the normal model fits "
         "these scores poorly; a large p does not show that they are normal, and with many subjects slight "
         "departures, to which the F tests are robust, come out significant.",
         "これらの確認は残差を記述するだけです。p "
         "が小さいことや外れた被験者は、正規モデルがこの得点によく合わない"
         "ことを示します。p が大きくても残差が正規分布に従うとは言えず、被験者が多いと、F "
         "検定には影響の小さいわずかなずれも有意になります。"});
    return t;
}

Table CellShapes(const FullAnalysis& r) {
    using C = const CellShape&;
    const std::vector<Column<CellShape>> columns{
        {Heading{"a", "A", "A"}.Names(), [](auto& a, C c) { return Text(LevelName(a, Factor::A, c.a)); }},
        {Heading{"b", "B", "B"}.Names(), [](auto& a, C c) { return Text(LevelName(a, Factor::B, c.b)); }},
        {{"skewness", "Skewness (G1)", "歪度 (G1)"},
         [](auto&, C c) { return Number(c.skewness, Figure::Statistic); }},
        {{"excessKurtosis", "Excess kurtosis (G2)", "超過尖度 (G2)"},
         [](auto&, C c) { return Number(c.excessKurtosis, Figure::Statistic); }},
    };
    return Tabulate(r, "CellShape", {"Skewness and kurtosis of the cells", "セルの歪度と尖度"}, columns,
                    r.assumptions.cells);
}

Table Outlying(const FullAnalysis& r) {
    using O = const OutlyingSubject&;
    const std::vector<Column<OutlyingSubject>> columns{
        {{"subject", "Subject (row)", "被験者 (行)"}, [](auto&, O o) { return Integer(o.subject); }},
        {Heading{"strata", "Strata", "誤差層"}.Names(),
         [](auto&, O o) {
             std::string strata;
             for (Stratum s : o.strata) strata += (strata.empty() ? "" : ", ") + std::string(StratumName(s));
             return Text(strata);
         }},
        {{"studentized", "Largest studentized", "最大のスチューデント化残差"},
         [](auto&, O o) { return Number(o.largest, Figure::Statistic); }},
    };
    Table t =
        Tabulate(r, "Outlying",
                 {"Subjects with a studentized residual beyond 3", "スチューデント化残差が 3 を超える被験者"},
                 columns, r.assumptions.outlying);
    const std::size_t all = r.assumptions.outlyingSubjects, listed = r.assumptions.outlying.size();
    if (all == 0)
        t.notes.push_back({"No subject has a studentized residual beyond 3 in any stratum.",
                           "どの誤差層にも、スチューデント化残差が 3 を超える被験者はいません。"});
    if (all > listed)
        t.notes.push_back(
            {"The first " + std::to_string(listed) + " of " + std::to_string(all) + " subjects.",
             std::to_string(all) + " 人のうち最初の " + std::to_string(listed) + " 人です。"});
    return t;
}

// A row of the Friedman table: a test and its name.
struct FriedmanRow {
    const char* english;
    const char* japanese;
    const FriedmanTest* test;
};

Table Friedman(const FullAnalysis& r) {
    using F = const FriedmanRow&;
    const std::vector<Column<FriedmanRow>> columns{
        {Heading{"test", "Test", "検定"}.Names(), [](auto&, F f) { return Text(f.english, f.japanese); }},
        {{"k", "k", "k"}, [](auto&, F f) { return Integer(f.test->levels); }},
        {{"chiSquare", "Chi-square", "カイ二乗"},
         [](auto&, F f) { return Number(f.test->chiSquare, Figure::Statistic); }},
        {{"df", "df", "自由度"}, [](auto&, F f) { return Integer(f.test->df); }},
        {{"p", "p", "p 値"}, [](auto&, F f) { return Number(f.test->p, Figure::P); }},
        {{"kendallW", "Kendall's W", "Kendall の W"},
         [](auto&, F f) { return Number(f.test->kendallW, Figure::Proportion); }},
        {{"F", "F (Iman-Davenport)", "F (Iman-Davenport)"},
         [](auto&, F f) { return Number(f.test->imanDavenportF, Figure::Statistic); }},
        {{"df1", "df1", "df1"}, [](auto&, F f) { return Integer(f.test->df1); }},
        {{"df2", "df2", "df2"}, [](auto&, F f) { return Integer(f.test->df2); }},
        {{"pF", "p (F)", "p (F)"}, [](auto&, F f) { return Number(f.test->imanDavenportP, Figure::P); }},
        {{"tieCorrection", "Tie correction", "同順位の補正"},
         [](auto&, F f) { return Number(f.test->tieCorrection, Figure::Proportion); }},
    };
    std::vector<FriedmanRow> rows;
    for (const FriedmanRow& row : {FriedmanRow{"A (means over B)", "A (B で平均)", &r.rankBased.A},
                                   FriedmanRow{"B (means over A)", "B (A で平均)", &r.rankBased.B},
                                   FriedmanRow{"A x B cells", "A x B のセル", &r.rankBased.cells}})
        if (row.test->levels >= 2) rows.push_back(row);
    return Tabulate(r, "Friedman", {"Friedman tests", "Friedman 検定"}, columns, rows);
}

// A row of the aligned rank transform: an effect with degrees of freedom.
struct AlignedRow {
    const char* name;
    const AlignedRankEffect* effect;
};

Table AlignedRanks(const FullAnalysis& r) {
    using A = const AlignedRow&;
    const std::vector<Column<AlignedRow>> columns{
        {Heading{"effect", "Effect", "効果"}.Names(), [](auto&, A a) { return Text(a.name); }},
        {{"SS", "SS (ranks)", "平方和 (順位)"},
         [](auto&, A a) { return Number(a.effect->ss, Figure::Statistic); }},
        {{"df", "df", "自由度"}, [](auto&, A a) { return Integer(a.effect->df); }},
        {{"errorSS", "Error SS", "誤差の平方和"},
         [](auto&, A a) { return Number(a.effect->errorSs, Figure::Statistic); }},
        {{"errorDf", "Error df", "誤差の自由度"}, [](auto&, A a) { return Integer(a.effect->errorDf); }},
        {{"F", "F", "F 値"}, [](auto&, A a) { return Number(a.effect->f, Figure::Statistic); }},
        {{"p", "p", "p 値"}, [](auto&, A a) { return Number(a.effect->p, Figure::P); }},
        {{"otherEffects", "Other effects", "他の効果"},
         [](auto&, A a) { return Number(a.effect->otherEffects, Figure::Proportion); }},
    };
    std::vector<AlignedRow> rows;
    const RankBasedResults& k = r.rankBased;
    for (const AlignedRow& row :
         {AlignedRow{EffectName(0), &k.alignedA}, AlignedRow{EffectName(1), &k.alignedB},
          AlignedRow{EffectName(2), &k.alignedAB}})
        if (row.effect->df >= 1) rows.push_back(row);
    Table t = Tabulate(r, "AlignedRanks", {"Aligned rank transform", "整列順位変換 (ART)"}, columns, rows);
    t.notes.push_back(
        {"Each effect's aligned responses are ranked and analysed with its own error stratum (A x S, B x S, "
         "A x B x S); Other effects: the largest estimate of the effects not aligned for in them, over their "
         "standard deviation, zero but for rounding.",
         "効果ごとに整列した応答に順位を付け、その効果の誤差層 (A x S、B x S、A x B x S) で分析します。"
         "「他の効果」は、整列で取り除いた効果の推定値のうち最大のものをその標準偏差で割った値で、丸めを除け"
         "ば 0 "
         "です。"});
    return t;
}

// A row of the ART-C contrasts: a pair of levels of a factor.
struct ContrastRow {
    Factor factor;
    const AlignedRankContrast* contrast;
};

// The ART-C contrasts of the levels of A, then of B.
Table AlignedRankContrasts(const FullAnalysis& r) {
    using C = const ContrastRow&;
    const std::vector<Column<ContrastRow>> columns{
        {Heading{"factor", "Factor", "要因"}.Names(),
         [](auto&, C c) { return Text(c.factor == Factor::A ? "A" : "B"); }},
        {Heading{"first", "Level 1", "水準 1"}.Names(),
         [](auto& a, C c) { return Text(LevelName(a, c.factor, c.contrast->first)); }},
        {Heading{"second", "Level 2", "水準 2"}.Names(),
         [](auto& a, C c) { return Text(LevelName(a, c.factor, c.contrast->second)); }},
        {{"difference", "Difference (mean ranks)", "平均順位の差"},
         [](auto&, C c) { return Number(c.contrast->difference, Figure::Statistic); }},
        {{"se", "SE", "SE"}, [](auto&, C c) { return Number(c.contrast->se, Figure::Statistic); }},
        {{"t", "t", "t"}, [](auto&, C c) { return Number(c.contrast->t, Figure::Statistic); }},
        {{"df", "df", "自由度"}, [](auto&, C c) { return Integer(c.contrast->df); }},
        {{"p", "p", "p 値"}, [](auto&, C c) { return Number(c.contrast->p, Figure::P); }},
        {{"pHolm", "p (Holm)", "p (Holm)"}, [](auto&, C c) { return Number(c.contrast->pHolm, Figure::P); }},
    };
    std::vector<ContrastRow> rows;
    std::vector<Labels> notes;
    for (const auto& [factor, family] :
         {std::pair{Factor::A, &r.rankBased.contrastsA}, std::pair{Factor::B, &r.rankBased.contrastsB}}) {
        const std::string name = factor == Factor::A ? "A" : "B";
        const std::int32_t levels = factor == Factor::A ? r.levelsA : r.levelsB;
        const std::string most = std::to_string(kContrastedLevels);
        if (levels > static_cast<std::int32_t>(kContrastedLevels))
            notes.push_back({name + ": more than " + most + " levels; no contrasts.",
                             name + ": 水準が " + most + " を超えるため、対比は計算していません。"});
        for (const AlignedRankContrast& c : *family) rows.push_back({factor, &c});
    }
    notes.push_back(
        {"Each pair of levels of A (of B) by their mean ranks of the responses aligned for A (for B), "
         "against "
         "the error of its stratum, A x S (B x S): t = difference / sqrt(2 MSE / (n b)) on its df; Holm's "
         "adjustment within each factor. The interaction's contrasts are not computed.",
         "A (B) の水準の対ごとに、A (B) に整列した応答の平均順位を、その誤差層 A x S (B x S) "
         "の誤差で比べます: "
         "t = 差 / √(2 MSE / (n b))、自由度はその誤差の自由度。Holm "
         "の調整は要因ごと。交互作用の対比は計算しません。"});
    Table t =
        Tabulate(r, "AlignedRankContrasts",
                 {"Aligned rank transform contrasts (ART-C)", "整列順位変換の対比 (ART-C)"}, columns, rows);
    t.notes = std::move(notes);
    return t;
}

}  // namespace
}  // namespace morvane
