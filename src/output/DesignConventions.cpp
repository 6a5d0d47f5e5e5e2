#include "output/Conventions.h"

#include <algorithm>

// The conventions of any design's analysis: each is where programs differ, so
// each says which program's figures these are meant to match.

namespace morvane {
namespace {

// DesignConventions, first: which sums of squares, and whether the other type would differ.
Convention SumsOfSquaresConvention(const anova::Analysis& r, bool ja) {
    if (r.between.empty())
        return {"sumsOfSquares",
                ja ? "平方和: 被験者間要因のない計画の平方和 (タイプ II と III は同じ値)。"
                   : "Sums of squares: of a design without between factors (types II and III "
                     "agree)."};
    const bool two = r.options.type == anova::SsType::TypeII;
    std::string text =
        ja ? std::string("平方和: タイプ ") + (two ? "II" : "III (被験者間要因は和がゼロの符号化)")
           : std::string("Sums of squares: type ") +
                 (two ? "II" : "III (sum-to-zero coding of the between factors)");
    if (r.typesAgree)
        text += ja ? "。この計画ではタイプ II と III は同じ値です。"
                   : "; types II and III agree for this design.";
    else
        text += ja ? "。群の大きさが等しくないため、タイプ II と III は異なります (--type で選びます)。"
                   : "; types II and III differ for this design (unequal group sizes; --type chooses).";
    return {"sumsOfSquares", text};
}

// DesignConventions, for the between factors: the error terms of each stratum.
Convention ErrorTermsConvention(bool ja) {
    return {
        "errorTerms",
        ja ? "誤差項: 被験者内効果とその被験者間要因との交互作用は、その効果の対比の群内で合併した積和行列 "
             "(自由度 N − g、g は被験者間のセルの数) で検定し、被験者間効果は群内の被験者で検定します "
             "(R の car::Anova、afex、SPSS GLM と同じ)。"
           : "Error terms: each within effect and its interactions with the between factors are tested "
             "against the pooled within-group cross products of the effect's contrasts on N − g degrees of "
             "freedom (g the number of between cells); the between effects against the subjects within "
             "groups (as R's car::Anova, afex and SPSS GLM)."};
}

// DesignConventions, last, for a design without a within factor: the sentences
// of within effects left out, those of the error, the averaged rows and Levene's
// test said of one score per subject, and once what does not apply.
std::vector<Convention> BetweenOnly(std::vector<Convention> list, bool ja) {
    static const std::vector<std::string> withinOnly{
        "missingScores", "mauchly", "huynhFeldt", "epsilonFewSubjects", "multivariate",
        "withinSubjectInterval", "correction"};
    std::vector<Convention> out;
    for (Convention& c : list) {
        if (std::find(withinOnly.begin(), withinOnly.end(), c.key) != withinOnly.end()) continue;
        if (c.key == "errorTerms")
            c.text = ja ? "誤差項: 各効果を群内の被験者 (自由度 N − g、g は被験者間のセルの数) で検定します "
                          "(R の car::Anova、afex と同じ)。"
                        : "Error terms: every effect is tested against the subjects within groups on N − g "
                          "degrees of freedom (g the number of between cells), as R's car::Anova and afex.";
        // The comparisons' sentence from its between factors' part on.
        const std::string betweenPart = ja ? "被験者間要因は" : "of a between factor";
        if (c.key == "comparisons" && c.text.find(betweenPart) != std::string::npos)
            c.text = (ja ? "対ごとの比較: " : "Pairwise comparisons: ") + c.text.substr(c.text.find(betweenPart));
        if (c.key == "averagedRows")
            c.text = ja ? "一つの被験者に複数の行があるときは、その平均 (正確な値) を得点とします。"
                        : "Several rows of one subject are averaged, exactly, into its score.";
        if (c.key == "levene")
            c.text = ja ? "Levene の検定: 得点の群間の等分散性。平均を中心とするもの (SPSS、JASP、car の "
                          "leveneTest(center = mean)) と中央値を中心とするもの (Brown–Forsythe、car の既定)。"
                        : "Levene's test of the scores across the between cells, centred on the mean (as SPSS, "
                          "JASP and car's leveneTest(center = mean)) and on the median (Brown–Forsythe, car's "
                          "default).";
        out.push_back(std::move(c));
        if (out.back().key == "errorTerms")
            out.push_back(
                {"notApplicable",
                 ja ? "被験者内要因がないため、各被験者の得点は一つです。球面性の検定、自由度の修正、多変量検定、"
                      "順位に基づく検定は当てはまらず、示しません。"
                    : "Without a within factor each subject has one score: sphericity, the corrected tests, "
                      "the multivariate tests and the rank-based tests do not apply and are not given."});
    }
    return out;
}

}  // namespace

// Conventions, in a design's layout.
std::vector<Convention> DesignConventions(const anova::Analysis& r, const OutputOptions& options) {
    const OutputLanguage language = options.language;
    const bool ja = language == OutputLanguage::Japanese;
    std::string observed;
    for (const std::string& name : r.options.observed) observed += (observed.empty() ? "" : ", ") + name;
    std::vector<Convention> list{
        SumsOfSquaresConvention(r, ja),
        ErrorTermsConvention(ja),
        {"missingScores",
         ja ? "欠けた得点: ある被験者内セルに得点のない被験者は、分析全体から除きます (リストワイズ)。"
            : "Missing scores: a subject without a score in some within cell is removed from the whole "
              "analysis (listwise)."},
        {"averagedRows",
         ja ? "一つの被験者と被験者内セルに複数の行があるときは、その平均 (正確な値) を得点とします。"
            : "Several rows of one subject in one within cell are averaged, exactly, into its score."},
        MauchlyConvention(language),
        {"huynhFeldt",
         ja ? "Huynh–Feldt の ε: Lecoutre (1991) の式 ((ν + 1) p ε − 2) / (p (ν − p ε)) (R、car、afex "
              "と同じ。"
              "群が一つなら Huynh と Feldt の式) で、公式のままの値 (1 を超えることがある) を示し、修正には "
              "1 "
              "を上限として用います。"
            : "Huynh–Feldt epsilon in Lecoutre's (1991) form ((ν + 1) p ε − 2) / (p (ν − p ε)), as R, car "
              "and "
              "afex compute it (Huynh and Feldt's with one group): reported as computed (it can exceed 1), "
              "applied capped at 1."},
        {"epsilonFewSubjects",
         ja ? "N − g が対比の数より小さいときの ε: 対比の共分散行列は特異ですが、ε "
              "はその行列から公式のまま求めます (Greenhouse–Geisser の ε は (N − g) / 対比の数 以下になり、"
              "修正は強くなります。ε を出さないプログラムや、黙って修正しない p を出すプログラムもあります)。"
              "Mauchly の検定と多変量検定は N − g が対比の数以上でなければ定義されません。"
            : "Epsilons when N − g is below an effect's contrasts: computed as the formulas give them from "
              "the "
              "contrasts' covariance, which is then singular (the Greenhouse–Geisser epsilon is then at most "
              "(N − g) / k, a strong correction; other programs give none, or the uncorrected p without "
              "saying "
              "so); Mauchly's test and the multivariate tests need N − g at least the contrasts and are "
              "undefined there."},
        {"multivariate",
         ja ? "多変量検定: Pillai、Wilks、Hotelling–Lawley、Roy の統計量と R の F 近似 (Roy の F は上限)。"
            : "Multivariate tests: Pillai, Wilks, Hotelling–Lawley and Roy with R's F approximations (Roy's "
              "an "
              "upper bound)."},
        {"marginalMeans",
         ja ? "周辺平均: 他の要因のセルを等しい重みで平均した推定周辺平均 (emmeans と同じ)。"
            : "Marginal means: estimated marginal means, the other factors' cells weighted equally (as "
              "emmeans)."},
        {"comparisons",
         ja ? "対ごとの比較: 被験者内要因は被験者の対の差により、混合計画では群を等しい重みで平均し、自由度 "
              "N − g "
              "の合併した共分散を用います (emmeans "
              "の多変量モデルと同じ)。被験者間要因は被験者の平均により、自由度 "
              "N − g の合併した誤差を用います。" +
                  AdjustmentList(r.options.adjustments, true) + " の調整は要因ごとの族で行います。" +
                  ShafferSentence(r.options.adjustments, true) + TukeySentence(r.options.adjustments, true)
            : "Pairwise comparisons: of a within factor on the subjects' paired differences, in a mixed "
              "design "
              "weighted equally over the groups with the pooled covariance on N − g df (as emmeans' "
              "multivariate model); of a between factor on the subjects' means with the pooled error on N − "
              "g "
              "df. " +
                  AdjustmentList(r.options.adjustments, false) + " within each factor's family." +
                  ShafferSentence(r.options.adjustments, false) +
                  TukeySentence(r.options.adjustments, false)},
        {"simpleEffects",
         ja ? "単純効果: 他の要因の各水準での 1 要因の分析で、それぞれ自身の誤差項による。"
            : "Simple effects: each on its own error term (the one-way analysis at that level)."},
        {"withinSubjectInterval",
         ja ? "被験者内 95% 信頼区間: Cousineau の正規化に Morey の補正を加えたもの (被験者間のセルごと)。"
            : "Within-subject 95% intervals: Cousineau's normalisation with Morey's correction, within each "
              "between cell."},
        {"generalizedEtaSquared",
         ja ? "一般化 η²: Olejnik と Algina (2003)。測定された要因: " +
                  (observed.empty() ? "なし" : observed) + "。"
            : "Generalized eta squared: Olejnik and Algina (2003); measured (observed) factors: " +
                  (observed.empty() ? "none" : observed) + "."},
    };
    if (!r.between.empty())
        list.push_back(
            {"levene",
             ja ? "Levene の検定: 各被験者内セルの得点の群間の等分散性。平均を中心とするもの (SPSS、JASP) "
                  "と中央値を中心とするもの (Brown–Forsythe、car の leveneTest の既定)。"
                : "Levene's test of each within cell across the between cells, centred on the mean "
                  "(as SPSS and JASP) and on the median (Brown–Forsythe, car's leveneTest default)."});
    if (r.boxM)
        list.push_back(
            {"boxM",
             ja ? "Box の M 検定 (Box 1949): 全被験者内セルにわたる群の共分散行列の等質性。χ² 近似と、Box の "
                  "c1、c2 による F 近似 (SPSS と同じ)。群の被験者数がセル数 + 1 に満たないか行列が特異なら"
                  "定義されません。"
                : "Box's M test (Box 1949) of the groups' covariance matrices over every within cell: the χ² "
                  "approximation and the F approximation from Box's c1 and c2 (as SPSS reports them); not "
                  "defined where a group has fewer subjects than the cells plus one or a matrix is singular."});
    list.push_back(EffectSizeIntervalConvention(r.options.effectSizeLevel, language));
    list.push_back(CorrectionConvention(options));
    for (Convention& c : MoreEffectSizeConventions(r, language)) list.push_back(std::move(c));
    if (std::optional<Convention> c = ContrastConvention(r, language)) list.push_back(std::move(*c));
    if (std::optional<Convention> c = CellConvention(r, language)) list.push_back(std::move(*c));
    if (std::optional<Convention> c = SimpleInteractionConvention(r, language)) list.push_back(std::move(*c));
    return r.within.empty() ? BetweenOnly(std::move(list), ja) : list;
}

}  // namespace morvane
