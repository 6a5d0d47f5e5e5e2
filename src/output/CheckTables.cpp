#include <string>
#include <utility>

#include "output/Conventions.h"
#include "output/detail/AnalysisTables.h"

// The tables of the checks beside the model and of the precision of the
// study's results file, each one function: its columns with their keys,
// headings in both languages and the reader of each cell, then its rows and notes.

namespace morvane::tables {
namespace {

constexpr OutputLayout kStudy = OutputLayout::Study;

// The name of level `level` (from 0) of within factor `w`.
std::string WithinLevel(const Analysis& r, std::size_t w, std::int32_t level) {
    const auto& levels = r.within.at(w).levels;
    return level >= 0 && static_cast<std::size_t>(level) < levels.size()
               ? levels[static_cast<std::size_t>(level)]
               : std::string();
}

}  // namespace

// After the study's simple effects: each sum of squares of the results file
// against the exact one. The window tells first that the file is not exact;
// the terminal's notes end with the verdict either way.
Table Precision(const Analysis& r, const PrecisionCheck& pc) {
    using F = const PrecisionFigure&;
    const std::vector<Column<PrecisionFigure>> columns{
        {Heading{"sum", "Sum", "平方和"}.Names(), [](auto&, F f) { return Text(f.name); }},
        {{"resultsFile", "Results file", "計算結果ファイル"},
         [](auto&, F f) { return Number(f.resultsFile, Figure::Exact); }},
        {{"exact", "Exact", "正確な値"}, [](auto&, F f) { return Number(f.exact, Figure::Exact); }},
        {{"correctDigits", "Correct digits", "正しい有効桁数"},
         [](auto&, F f) {
             return Integer(f.resultsFile ? std::optional<std::int64_t>(f.correctDigits) : std::nullopt);
         }},
    };
    Table t = Tabulate(r, "Precision", {"Precision of the results file", "計算結果ファイルの精度"}, columns,
                       pc.sums);
    if (!pc.summaryTableExact)
        t.notes.push_back(
            {"The figures of the results file are not exact: where the scores share their leading digits, "
             "the results file's way of computing loses digits of the sums of squares and its summary table "
             "shows figures that differ from the exact ones. This window's figures are exact; the Precision "
             "table gives the correct digits of each sum of squares.",
             "計算結果ファイルの値は桁落ちのため正確ではありません: 得点の上の桁がそろっていると、"
             "計算結果ファイルの計算方法では平方和の桁が失われ、要約表に正確な値と違う数字が出ます。"
             "この窓の値は正確です。平方和ごとに正しい桁数を「精度」の表に示します。",
             Readers::Window});
    if (!pc.summaryTableComplete)
        t.notes.push_back(
            {"The results file cannot complete its summary table for this study (an undefined mean "
             "square or F ratio stops it); the figures before that are compared.",
             "この研究では、計算結果ファイルは要約表を最後まで書けません (定義されない平均平方か F "
             "で止まります)。"});
    t.notes.push_back(
        {pc.summaryTableExact ? "Every figure of the results file's summary table is exact."
                              : "Some figures of the results file's summary table are not exact (loss "
                                "of digits in the correction-term method); the figures above are exact.",
         pc.summaryTableExact ? "計算結果ファイルの要約表の値はすべて正確です。"
                              : "計算結果ファイルの要約表には、桁落ちのため正確でない値があります "
                                "(修正項による計算方法)。上の値は正確です。",
         Readers::Tool});
    if (!r.removed.empty())
        t.notes.push_back(
            {"No results file is written for a study with an empty score (計算 and morvane report stop on "
             "it): these are the figures of the subjects analysed.",
             "得点が空の研究の計算結果ファイルは書かれません (計算と morvane report はそこで止まります)。"
             "ここに示すのは分析した被験者の値です。"});
    if (pc.method == PartitionMethod::Centred)
        t.notes.push_back(
            {"The scores span too many decimal places for exact sums: computed from the grand mean in "
             "extended precision instead.",
             "得点の小数の桁の幅が大きすぎるため、平方和は正確な整数計算ではなく、総平均からの偏差に"
             "より拡張精度で求めました。"});
    return t;
}

// With between factors: the homogeneity of each within cell's variances across the groups.
Table Levene(const Analysis& r) {
    using L = const anova::LeveneTest&;
    const std::vector<Column<anova::LeveneTest>> columns{
        {Heading{"cell", "Cell", "セル"}.Names().Within(),
         [](auto& a, L l) { return Text(PlaceName(a, l.at)); }},
        {Heading{"centre", "Centre", "中心"}.Names(),
         [](auto&, L l) {
             return l.median ? Text("median (Brown–Forsythe)", "中央値 (Brown–Forsythe)")
                             : Text("mean", "平均");
         }},
        {{"f", "F", "F 値"}, [](auto&, L l) { return Number(l.f, Figure::Statistic); }},
        {{"df1", "df1", "df1"}, [](auto&, L l) { return Integer(l.df1); }},
        {{"df2", "df2", "df2"}, [](auto&, L l) { return Integer(l.df2); }},
        {{"p", "p", "p 値"}, [](auto&, L l) { return Number(l.p, Figure::P); }},
    };
    const Labels title = r.within.empty() ? Labels{"Levene's test of the scores across the groups",
                                                   "得点の群間の等分散性 (Levene の検定)"}
                                          : Labels{"Levene's test of each within cell across the groups",
                                                   "各被験者内セルの群間の等分散性 (Levene の検定)"};
    return TabulateBorrowed(r, "Levene", title, columns, r.levene);
}

// With between and within factors: Box's M test of the groups' covariance
// matrices over every within cell, one row; why it is not defined in a note.
Table BoxM(const Analysis& r) {
    using B = const BoxMTest&;
    const std::vector<Column<BoxMTest>> columns{
        {{"variables", "Within cells", "被験者内セル数"},
         [](auto&, B b) { return Integer(static_cast<std::int64_t>(b.variables)); }},
        {{"M", "Box's M", "Box の M"}, [](auto&, B b) { return Number(b.m, Figure::Statistic); }},
        {{"chiSquare", "χ²", "χ²"}, [](auto&, B b) { return Number(b.chiSquare, Figure::Statistic); }},
        {{"dfChiSquare", "df", "自由度"}, [](auto&, B b) { return Number(b.dfChiSquare, Figure::Statistic); }},
        {{"pChiSquare", "p (χ²)", "p 値 (χ²)"}, [](auto&, B b) { return Number(b.pChiSquare, Figure::P); }},
        {{"F", "F", "F 値"}, [](auto&, B b) { return Number(b.f, Figure::Statistic); }},
        {{"df1", "df1", "df1"}, [](auto&, B b) { return Number(b.df1, Figure::Statistic); }},
        {{"df2", "df2", "df2"}, [](auto&, B b) { return Number(b.df2, Figure::Statistic); }},
        {{"pF", "p (F)", "p 値 (F)"}, [](auto&, B b) { return Number(b.pF, Figure::P); }},
    };
    std::vector<BoxMTest> rows;
    if (r.boxM) rows.push_back(*r.boxM);
    Table t = Tabulate(r, "BoxM",
                       {"Box's M test of the groups' covariance matrices", "群の共分散行列の等質性 (Box の M 検定)"},
                       columns, rows);
    const std::string p = r.boxM ? std::to_string(r.boxM->variables) : "p";
    switch (r.boxM ? r.boxM->undefined : BoxMUndefined::None) {
        case BoxMUndefined::None: break;
        case BoxMUndefined::FewGroups:
            t.notes.push_back({"Not defined: fewer than two groups.", "定義されません: 群が 2 つ未満です。"});
            break;
        case BoxMUndefined::SmallGroup:
            t.notes.push_back({"Not defined: a group has fewer subjects than the within cells plus one (" + p +
                                   " + 1), so its covariance matrix is singular.",
                               "定義されません: 被験者数が被験者内セル数 + 1 (" + p +
                                   " + 1) に満たない群があり、その共分散行列は特異です。"});
            break;
        case BoxMUndefined::Singular:
            t.notes.push_back({"Not defined: a group's or the pooled covariance matrix is singular (its "
                               "determinant is 0).",
                               "定義されません: 群の共分散行列かプールした共分散行列が特異です (行列式が 0)。"});
            break;
        case BoxMUndefined::TooManyCells:
            t.notes.push_back({"Not computed: more than " + std::to_string(kBoxMMostVariables) + " within cells.",
                               "計算しません: 被験者内セルが " + std::to_string(kBoxMMostVariables) +
                                   " を超えます。"});
            break;
    }
    t.notes.push_back(
        {"M = (N − g) ln|S| − Σ (n_i − 1) ln|S_i| (Box 1949), S_i each group's covariance matrix of its "
         "scores in every within cell, S the pooled one on N − g df; the χ² and F approximations as the "
         "statistics packages report them. The test is sensitive to non-normality: a small p is commonly "
         "read at .001.",
         "M = (N − g) ln|S| − Σ (n_i − 1) ln|S_i| (Box 1949)。S_i は各群の全被験者内セルの得点の共分散"
         "行列、S は自由度 N − g でプールしたもの。χ² 近似と F 近似は統計パッケージの報告と同じ形です。"
         "この検定は正規性からのずれに敏感なため、p は .001 で読むのが慣例です。"});
    return t;
}

// The normality of each stratum's residuals and (the study's) their
// studentized values; why the rank-based tests are left out.
Table Residuals(const Analysis& r, OutputLayout layout) {
    using S = const anova::Stratum&;
    const std::vector<Column<anova::Stratum>> columns{
        {Heading{"stratum", "Stratum", "誤差層"}.Names(),
         [layout](auto&, S s) { return Text(Shown(s.name, layout)); }},
        {{"residuals", "Residuals", "残差の数"}, [](auto&, S s) { return Integer(s.residuals); }},
        {{"df", "df", "自由度"}, [](auto&, S s) { return Integer(s.error.df); }},
        {{"W", "Shapiro-Wilk W", "Shapiro-Wilk W"},
         [](auto&, S s) { return Number(s.normality.w, Figure::Proportion); }},
        {{"p", "p", "p 値"}, [](auto&, S s) { return Number(s.normality.p, Figure::P); }},
        {Heading{"largestStudentized", "Largest |studentized|", "最大 |スチューデント化残差|"}.In(kStudy),
         [](auto&, S s) { return Number(s.largestStudentized, Figure::Statistic); }},
        {Heading{"beyond3", "Beyond 3", "3 を超える数"}.In(kStudy),
         [](auto&, S s) { return Integer(s.beyond3); }},
    };
    Table t =
        layout == kStudy
            ? TabulateBorrowed(r, "Residuals", {"Residuals by error stratum", "誤差層ごとの残差"}, columns, r.strata)
            : TabulateBorrowed(r, "Normality",
                       {"Normality of the residuals by error stratum", "誤差層ごとの残差の正規性"}, columns,
                       r.strata);
    bool outOfRange = false;
    for (const anova::Stratum& s : r.strata) outOfRange = outOfRange || !s.normality.inRange;
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
    if (!r.rankBased.omitted.empty())
        t.notes.push_back(
            {r.rankBased.omitted,
             "順位に基づく検定は計算していません (被験者間要因のある計画では定義されません)。"});
    return t;
}

// The skewness and excess kurtosis of each cell's scores.
Table CellShapes(const Analysis& r, OutputLayout layout) {
    using C = const anova::CellShape&;
    std::vector<Column<anova::CellShape>> columns;
    for (std::size_t k = 0; k < r.Factors(); ++k) {
        const std::string& name = r.FactorAt(k).name;
        std::string id = name;
        if (layout == kStudy)
            for (char& c : id) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        columns.push_back({Heading{id, name, name}.Names(), [k](auto& a, C c) {
                               if (k >= c.at.size() || c.at[k] == anova::kOver) return Text("");
                               const auto& levels = a.FactorAt(k).levels;
                               const auto level = static_cast<std::size_t>(c.at[k]);
                               return Text(level < levels.size() ? levels[level] : std::string());
                           }});
    }
    columns.push_back({{"skewness", "Skewness (G1)", "歪度 (G1)"},
                       [](auto&, C c) { return Number(c.skewness, Figure::Statistic); }});
    columns.push_back({{"excessKurtosis", "Excess kurtosis (G2)", "超過尖度 (G2)"},
                       [](auto&, C c) { return Number(c.excessKurtosis, Figure::Statistic); }});
    return TabulateBorrowed(r, "CellShape", {"Skewness and kurtosis of the cells", "セルの歪度と尖度"}, columns,
                    r.cellShapes);
}

// The subjects with a studentized residual beyond 3: the study's by row, from 1, a design's by id.
Table Outlying(const Analysis& r, OutputLayout layout) {
    using O = const anova::OutlyingSubject&;
    const bool study = layout == kStudy;
    const std::vector<Column<anova::OutlyingSubject>> columns{
        {study ? Heading{"subject", "Subject (row)", "被験者 (行)"}
               : Heading{"subject", "Subject", "被験者"}.Names(),
         [study](auto& a, O o) {
             if (study) return Integer(static_cast<std::int64_t>(o.subject) + 1);
             return Text(o.subject < a.subjectIds.size() ? a.subjectIds[o.subject] : std::string());
         }},
        {Heading{"strata", "Strata", "誤差層"}.Names(),
         [layout](auto& a, O o) {
             std::string strata;
             for (std::size_t s : o.strata)
                 if (s < a.strata.size())
                     strata += (strata.empty() ? "" : ", ") + Shown(a.strata[s].name, layout);
             return Text(strata);
         }},
        {{"studentized", "Largest studentized", "最大のスチューデント化残差"},
         [](auto&, O o) { return Number(o.largest, Figure::Statistic); }},
    };
    Table t =
        TabulateBorrowed(r, "Outlying",
                 {"Subjects with a studentized residual beyond 3", "スチューデント化残差が 3 を超える被験者"},
                 columns, r.outlying);
    const auto all = static_cast<std::size_t>(r.outlyingSubjects), listed = r.outlying.size();
    if (all == 0)
        t.notes.push_back({"No subject has a studentized residual beyond 3 in any stratum.",
                           "どの誤差層にも、スチューデント化残差が 3 を超える被験者はいません。"});
    if (all > listed)
        t.notes.push_back(
            {"The first " + std::to_string(listed) + " of " + std::to_string(all) + " subjects.",
             std::to_string(all) + " 人のうち最初の " + std::to_string(listed) + " 人です。"});
    return t;
}

namespace {

// A row of the Friedman table: a test and its name in both languages.
struct FriedmanRow {
    std::string english, japanese;
    const FriedmanTest* test;
};

// "A" alone; "A (means over B × C)"; "A × B × C cells".
FriedmanRow FriedmanRowOf(const Analysis& r, const anova::FriedmanRow& f, OutputLayout layout) {
    std::string all, others;
    for (std::size_t w = 0; w < r.within.size(); ++w) {
        all += (all.empty() ? "" : " × ") + r.within[w].name;
        if (w != f.factor) others += (others.empty() ? "" : " × ") + r.within[w].name;
    }
    all = Shown(all, layout), others = Shown(others, layout);
    if (f.cells) return {all + " cells", all + " のセル", &f.test};
    const std::string& name = r.within.at(f.factor).name;
    if (others.empty()) return {name, name, &f.test};
    return {name + " (means over " + others + ")", name + " (" + others + " で平均)", &f.test};
}

}  // namespace

// Friedman's test of each within factor over the subjects' means of its levels, then of the cells.
Table Friedman(const Analysis& r, OutputLayout layout) {
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
        {{"chiSquareUncorrected", "Chi-square (no tie correction)", "カイ二乗 (同順位の補正なし)"},
         [](auto&, F f) { return Number(f.test->chiSquareUncorrected, Figure::Statistic); }},
        {{"pUncorrected", "p (no tie correction)", "p 値 (同順位の補正なし)"},
         [](auto&, F f) { return Number(f.test->pUncorrected, Figure::P); }},
    };
    std::vector<FriedmanRow> rows;
    for (const anova::FriedmanRow& f : r.rankBased.friedman)
        if (f.test.levels >= 2) rows.push_back(FriedmanRowOf(r, f, layout));
    Table t = Tabulate(r, "Friedman", {"Friedman tests", "Friedman 検定"}, columns, rows);
    if (!rows.empty())
        t.notes.push_back(
            {"Chi-square is tie-corrected: its divisor less the subjects' sum of (t^3 - t) over their ties; "
             "the uncorrected chi-square beside it is that chi-square times the tie correction.",
             "カイ二乗は同順位の補正をしたものです (分母から各被験者の同順位の組の (t^3 - t) "
             "の和を引きます)。"
             "補正なしのカイ二乗は、それに同順位の補正を掛けたものです。"});
    if (r.rankBased.alignedOmitted)
        t.notes.push_back(
            {"The aligned rank transform is not computed for 16,777,216 scores or more: the sums "
             "of its squared ranks would leave the exact integers.",
             "整列順位変換は得点が 16,777,216 個以上のときは計算していません "
             "(順位の平方和が正確な整数に収まらないため)。"});
    return t;
}

// The aligned rank transform of every within effect.
Table AlignedRanks(const Analysis& r, OutputLayout layout) {
    using E = const anova::AlignedRankRow&;
    const std::vector<Column<anova::AlignedRankRow>> columns{
        {Heading{"effect", "Effect", "効果"}.Names(),
         [layout](auto&, E e) { return Text(Shown(e.name, layout)); }},
        {{"SS", "SS (ranks)", "平方和 (順位)"},
         [](auto&, E e) { return Number(e.test.ss, Figure::Statistic); }},
        {{"df", "df", "自由度"}, [](auto&, E e) { return Integer(e.test.df); }},
        {{"errorSS", "Error SS", "誤差の平方和"},
         [](auto&, E e) { return Number(e.test.errorSs, Figure::Statistic); }},
        {{"errorDf", "Error df", "誤差の自由度"}, [](auto&, E e) { return Integer(e.test.errorDf); }},
        {{"F", "F", "F 値"}, [](auto&, E e) { return Number(e.test.f, Figure::Statistic); }},
        {{"p", "p", "p 値"}, [](auto&, E e) { return Number(e.test.p, Figure::P); }},
        {{"otherEffects", "Other effects", "他の効果"},
         [](auto&, E e) { return Number(e.test.otherEffects, Figure::Proportion); }},
    };
    std::vector<anova::AlignedRankRow> rows;
    for (const anova::AlignedRankRow& e : r.rankBased.alignedRanks)
        if (e.test.df >= 1) rows.push_back(e);
    Table t = Tabulate(r, "AlignedRanks", {"Aligned rank transform", "整列順位変換 (ART)"}, columns, rows);
    if (layout == kStudy)
        t.notes.push_back(
            {"Each effect's aligned responses are ranked and analysed with its own error stratum (A x S, B x "
             "S, "
             "A x B x S); Other effects: the largest estimate of the effects not aligned for in them, over "
             "their "
             "standard deviation, zero but for rounding.",
             "効果ごとに整列した応答に順位を付け、その効果の誤差層 (A x S、B x S、A x B x S) で分析します。"
             "「他の効果」は、整列で取り除いた効果の推定値のうち最大のものをその標準偏差で割った値で、丸めを"
             "除け"
             "ば 0 "
             "です。"});
    else
        t.notes.push_back(
            {"Each effect's aligned responses are ranked and analysed with its own error stratum (the effect "
             "× "
             "S); Other effects: the largest estimate of the effects not aligned for in them, over their "
             "standard "
             "deviation, zero but for rounding.",
             "効果ごとに整列した応答に順位を付け、その効果の誤差層 (効果 × S) で分析します。"
             "「他の効果」は、整列で取り除いた効果の推定値のうち最大のものをその標準偏差で割った値で、丸めを"
             "除け"
             "ば 0 です。"});
    return t;
}

// The ART-C contrasts of each within factor's levels.
Table AlignedRankContrasts(const Analysis& r, OutputLayout layout) {
    using C = const anova::AlignedContrastRow&;
    std::vector<Column<anova::AlignedContrastRow>> columns{
        {Heading{"factor", "Factor", "要因"}.Names(),
         [](auto& a, C c) { return Text(a.within.at(c.factor).name); }},
        {Heading{"first", "Level 1", "水準 1"}.Names(),
         [](auto& a, C c) { return Text(WithinLevel(a, c.factor, c.contrast.first - 1)); }},
        {Heading{"second", "Level 2", "水準 2"}.Names(),
         [](auto& a, C c) { return Text(WithinLevel(a, c.factor, c.contrast.second - 1)); }},
        {{"difference", "Difference (mean ranks)", "平均順位の差"},
         [](auto&, C c) { return Number(c.contrast.difference, Figure::Statistic); }},
        {{"se", "SE", "SE"}, [](auto&, C c) { return Number(c.contrast.se, Figure::Statistic); }},
        {{"t", "t", "t"}, [](auto&, C c) { return Number(c.contrast.t, Figure::Statistic); }},
        {{"df", "df", "自由度"}, [](auto&, C c) { return Integer(c.contrast.df); }},
        {{"p", "p", "p 値"}, [](auto&, C c) { return Number(c.contrast.p, Figure::P); }},
    };
    // The adjustments as chosen; with the choice left as it is, Holm's alone
    // (Bonferroni's is in the JSON).
    AdjustmentSet shown = r.options.adjustments;
    if (shown == AdjustmentSet{}) shown = AdjustmentSet::None(), shown.Add(Adjustment::Holm);
    AddAdjustedColumns(columns, "p", shown, [](C c) -> const AlignedRankContrast& { return c.contrast; });
    const std::string english = shown.Count() == 1 ? AdjustmentList(shown, false) + "'s adjustment"
                                                   : "the adjustments of " + AdjustmentList(shown, false),
                      japanese = AdjustmentList(shown, true);
    Table t = TabulateBorrowed(r, "AlignedRankContrasts",
                       {"Aligned rank transform contrasts (ART-C)", "整列順位変換の対比 (ART-C)"}, columns,
                       r.rankBased.contrasts);
    const std::string most = std::to_string(kContrastedLevels);
    for (const DesignFactor& f : r.within)
        if (f.levels.size() > kContrastedLevels)
            t.notes.push_back({f.name + ": more than " + most + " levels; no contrasts.",
                               f.name + ": 水準が " + most + " を超えるため、対比は計算していません。"});
    if (layout == kStudy)
        t.notes.push_back(
            {"Each pair of levels of A (of B) by their mean ranks of the responses aligned for A (for B), "
             "against the error of its stratum, A x S (B x S): t = difference / sqrt(2 MSE / (n b)) on its "
             "df; " +
                 english + " within each factor. The interaction's contrasts are not computed.",
             "A (B) の水準の対ごとに、A (B) に整列した応答の平均順位を、その誤差層 A x S (B x S) "
             "の誤差で比べます: "
             "t = 差 / √(2 MSE / (n b))、自由度はその誤差の自由度。" +
                 japanese + " の調整は要因ごと。交互作用の対比は計算しません。"});
    else
        t.notes.push_back(
            {"Each pair of levels of a within factor by their mean ranks of the responses aligned for that "
             "factor, against the error of its stratum (the factor × S): t = difference / sqrt(2 MSE / m), m "
             "the "
             "scores at a level, on its df; " +
                 english + " within each factor. The interactions' contrasts are not computed.",
             "被験者内要因の水準の対ごとに、その要因に整列した応答の平均順位を、その誤差層 (要因 × S) "
             "の誤差で比べます: t = 差 / √(2 MSE / m)、m は 1 水準の得点の数、自由度はその誤差の自由度。" +
                 japanese + " の調整は要因ごと。交互作用の対比は計算しません。"});
    return t;
}

}  // namespace morvane::tables
