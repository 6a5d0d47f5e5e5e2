#include "output/Conventions.h"

#include <fcntl.h>
#include <nettle/sha2.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>

#include "MorvaneConfig.h"
#include "runtime/NumberText.h"

namespace morvane {

std::vector<Convention> DesignConventions(const anova::Analysis& r, const OutputOptions& options);

std::string AdjustmentList(AdjustmentSet adjustments, bool japanese) {
    std::vector<std::string> names;
    for (const AdjustmentNames& n : kAdjustmentNames)
        if (adjustments.Has(n.adjustment)) names.emplace_back(n.name);
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) list += i + 1 < names.size() ? (japanese ? "、" : ", ") : (japanese ? " と " : " and ");
        list += names[i];
    }
    return list;
}

std::string ShafferSentence(AdjustmentSet adjustments, bool japanese) {
    if (!adjustments.Has(Adjustment::Shaffer)) return {};
    return japanese
               ? "Shaffer (1986) の調整は、j 番目に小さい p に、j − 1 個の対が異なるときになお等しくありうる"
                 "対の最大数を掛けます。p のない対がある族には Holm の乗数を用います。"
               : " Shaffer's adjustment (1986) multiplies the j-th smallest p by the most pairs that can "
                 "still "
                 "be equal once j − 1 differ; a family with a pair whose p is undefined takes Holm's "
                 "multipliers.";
}

std::string TukeySentence(AdjustmentSet adjustments, bool japanese) {
    if (!adjustments.Has(Adjustment::Tukey)) return {};
    return japanese
               ? "Tukey の HSD は被験者間要因の他の要因にわたる族の対に限り、水準数 k、"
                 "合併した誤差の自由度 N − g のスチューデント化された範囲の |t|·√2 "
                 "での上側確率です (群の大きさが異なるときは Tukey–Kramer の形)。被験者内要因の対と、"
                 "他の要因の水準ごとの族には示しません (—)。スチューデント化された範囲は族のすべての対に"
                 "共通の誤差を仮定しますが、被験者内要因の対の差はそれぞれ自身の誤差をもつためです。"
               : " Tukey's HSD is given for a between factor's pairs in its family over the other factors: "
                 "the upper tail at |t|·√2 of the studentized range of its k levels on the "
                 "pooled error's N − g df (the Tukey–Kramer form where the groups' sizes differ). It is not "
                 "given (—) for a within factor's pairs nor in the families at the other factors' levels: "
                 "the studentized range assumes one common error for every pair of the family, which a "
                 "within factor's paired differences do not share.";
}

std::vector<Convention> Conventions(const anova::Analysis& r, const OutputOptions& options) {
    if (options.layout != OutputLayout::Study) return DesignConventions(r, options);
    const bool ja = options.language == OutputLanguage::Japanese;
    const std::string adjusted = AdjustmentList(r.options.adjustments, ja),
                      shaffer = ShafferSentence(r.options.adjustments, ja) +
                                TukeySentence(r.options.adjustments, ja);
    std::vector<Convention> list{
        {"sumsOfSquares", ja ? "平方和: 完全なつり合い型の計画の平方和 (タイプ I, II, III のどれも同じ値)。"
                             : "Sums of squares: of a complete balanced design (types I, II and III agree)."},
        {"comparisons",
         ja ? "対ごとの比較: 各対の差の得点による対応のある t 検定 "
              "(誤差項を合併しない)。差がすべて等しい対には t "
              "と p がなく、その族の " +
                  adjusted + " の調整では数えません。" + shaffer
            : "Pairwise comparisons: paired t tests on each pair's own differences (no pooled error term). A "
              "pair whose differences are all equal has no t or p and is not counted in its family's " +
                  adjusted + " adjustments." + shaffer},
        {"simpleEffects",
         ja ? "単純主効果: 各水準での 1 要因の分析で、それぞれ自身の誤差項による。"
            : "Simple main effects: each on its own error term (the one-way analysis at that level)."},
        MauchlyConvention(options.language),
        {"huynhFeldt",
         ja ? "Huynh–Feldt (1976) の ε: 公式のままの値 (1 を超えることがある) を示し、修正には 1 "
              "を上限として用います。APA の表の ε の列も公式のままの値で、1 を超えるときの自由度と p "
              "は修正しない値です。"
            : "Huynh–Feldt epsilon (1976): reported as computed (it can exceed 1), applied capped at 1. The "
              "APA table's ε column shows it as computed too, beside the uncorrected df and p that an "
              "epsilon above 1 gives."},
        {"epsilonFewSubjects",
         ja ? "N − 1 が対比の数より小さいときの ε: 対比の共分散行列は特異ですが、ε "
              "はその行列から公式のまま求めます "
              "(ε を出さないプログラムや、黙って修正しない p を出すプログラムもあります)。"
            : "Epsilons when N - 1 is below an effect's contrasts: computed as the formulas give them from "
              "the "
              "contrasts' covariance, which is then singular (other programs give none, or the uncorrected p "
              "without saying so)."},
        {"withinSubjectInterval",
         ja ? "被験者内 95% 信頼区間: Cousineau の正規化に Morey の補正を加えたもの。補正 √(M / (M − 1)) の "
              "M は平均する条件の数で、セルでは a·b、A の水準では a、B の水準では b です。"
            : "Within-subject 95% intervals: Cousineau's normalisation with Morey's correction. The "
              "correction's M in sqrt(M / (M - 1)) is the number of conditions averaged over: a·b for the "
              "cells, a for the levels of A, b for those of B."},
        EffectSizeIntervalConvention(r.options.effectSizeLevel, options.language),
        CorrectionConvention(options),
    };
    for (Convention& c : MoreEffectSizeConventions(r, options.language)) list.push_back(std::move(c));
    if (std::optional<Convention> c = ContrastConvention(r, options.language)) list.push_back(std::move(*c));
    if (std::optional<Convention> c = CellConvention(r, options.language)) list.push_back(std::move(*c));
    if (std::optional<Convention> c = SimpleInteractionConvention(r, options.language)) list.push_back(std::move(*c));
    return list;
}

std::vector<Convention> MoreEffectSizeConventions(const anova::Analysis& r, OutputLanguage language) {
    const bool ja = language == OutputLanguage::Japanese;
    const anova::Options::EffectSizes& shown = r.options.effectSizes;
    std::vector<Convention> out;
    if (shown.etaSquared)
        out.push_back({"etaSquared", ja ? "η²: 効果の平方和を全体の平方和で割ったもの。"
                                        : "Eta squared: the effect's sum of squares over the total sum of "
                                          "squares."});
    if (shown.partialOmegaSquared)
        out.push_back(
            {"partialOmegaSquared",
             ja ? "偏 ω²: Olejnik と Algina (2003) のもので、効果自身の誤差項 MSE による。被験者間の効果は "
                  "(SS − df·MSE) / (SS + (N − df)·MSE) (N は被験者の数、MSE は群内の被験者)、被験者内の効果は "
                  "(SS − df·MSE) / (SS + 誤差の SS + 被験者の SS + 被験者の MS) (被験者は群内の被験者)。"
                  "0 で切り詰めません (F < 1 では負)。"
                : "Partial omega squared: Olejnik and Algina's (2003), on the effect's own error term MSE: "
                  "(SS − df·MSE) / (SS + (N − df)·MSE) for a between effect (N the subjects, MSE the "
                  "subjects within groups'), (SS − df·MSE) / (SS + error SS + subjects' SS + subjects' MS) "
                  "for a within effect (the subjects within groups'). Not clamped at 0 (negative where "
                  "F < 1)."});
    if (shown.cohensF)
        out.push_back({"cohensF", ja ? "Cohen の f: 偏 η² から √(偏 η² / (1 − 偏 η²)) (= √(SS / 誤差の SS))。"
                                     : "Cohen's f: from partial eta squared, √(η²p / (1 − η²p)) "
                                       "(= √(SS / error SS))."});
    if (shown.generalizedOmegaSquared)
        out.push_back(
            {"generalizedOmegaSquared",
             ja ? "一般化 ω²: Olejnik と Algina (2003)。一般化 η² の各分散を平均平方から推定したもの: "
                  "(SS − df·MSE) / (SS − df·MSE + 測定された要因の効果の (SS − df·MSE) の和 + 全誤差層の SS + "
                  "全効果の df·MSE の和 + 被験者の MS) (測定された要因の効果では分母の最初の項を除く)。"
                  "0 で切り詰めず、信頼区間は標準的なものがないため示しません。"
                : "Generalized omega squared: Olejnik and Algina's (2003), generalized eta squared with each "
                  "variance estimated from the mean squares: (SS − df·MSE) / (SS − df·MSE + the measured "
                  "factors' effects' (SS − df·MSE) + every stratum's SS + every effect's df·MSE + the "
                  "subjects' MS), the first term left out for an effect of a measured factor; the same "
                  "measured factors as generalized eta squared. Not clamped at 0; no interval (there is no "
                  "standard one)."});
    if (shown.cohensFPowerPrograms)
        out.push_back(
            {"cohensFPowerPrograms",
             ja ? "検定力ソフトの f: 被験者内要因 1 つの効果 (被験者間要因との交互作用を含む) の Cohen の f を、"
                  "測定間の相関 ρ (その要因の水準の得点の群内でプールした相関の平均) を除いて被験者内セルの SD "
                  "に対する大きさにしたもの: f² = 偏 η² の f² × (N − K)(M − 1)(1 − ρ) / (N M)。検定力ソフトの既定"
                  "の入力 (morvane power --convention gpower) で、偏 η² の f は「SPSS と同じ」の入力 "
                  "(--convention spss) です。ほかの効果では定義しません。"
                : "f (power programs): the Cohen's f of an effect of one within factor (and its interactions "
                  "with between factors) over the within-cell SD, the measures' correlation rho (the mean "
                  "correlation of the factor's levels pooled within the groups) taken out: f² = f² from "
                  "partial eta squared × (N − K)(M − 1)(1 − rho) / (N M). The power programs' default input "
                  "(morvane power --convention gpower); the f from partial eta squared is their \"as in "
                  "SPSS\" input (--convention spss). Not defined for other effects."});
    return out;
}

Convention MauchlyConvention(OutputLanguage language) {
    const bool ja = language == OutputLanguage::Japanese;
    return {
        "mauchly",
        ja ? "Mauchly の検定: Anderson のカイ二乗近似 (2 次の項は公表された式のまま)。R の "
             "mauchly.test は 2 次の項に対比の数の代わりにセルの数を用いるため、対比が 3 以上の効果では p "
             "が異なります (JSON にはその値も pAsR として出します)。"
           : "Mauchly's test: Anderson's chi-square approximation with its second-order term as "
             "published; R's mauchly.test has the number of cells where the term has the number of "
             "contrasts, so its p differs for three or more contrasts (JSON gives both, its as pAsR)."};
}

Convention EffectSizeIntervalConvention(Extended effectSizeLevel, OutputLanguage language) {
    const bool ja = language == OutputLanguage::Japanese;
    const std::string level = LevelPercent(effectSizeLevel);
    const std::string tail = LevelPercent((1 - effectSizeLevel) / 2);
    return {"effectSizeInterval",
            ja ? "偏 η² と d_z の " + level +
                     "% 信頼区間: 非心 F 分布と非心 t 分布の反転による。両側で、各側に " + tail + "% です。"
               : "Intervals of partial eta squared and d_z: " + level +
                     "%, by inverting the noncentral F and t distributions. Two-sided: " + tail +
                     "% in each tail."};
}

Convention CorrectionConvention(const OutputOptions& options) {
    const bool ja = options.language == OutputLanguage::Japanese;
    std::string applied;
    if (options.correction == DfCorrection::None)
        applied = ja ? "自由度の修正: なし (修正しない df と p)。"
                     : "Degrees of freedom: uncorrected (no correction applied).";
    else
        applied = ja ? "自由度の修正: " + CorrectionName(options.correction, options.language) +
                           " (1 自由度の効果には修正なし)。"
                     : "Degrees of freedom: " + CorrectionName(options.correction, options.language) +
                           " corrected (effects of one degree of freedom need none).";
    return {"correction", applied};
}

std::vector<std::string> ProvenanceLines(const Provenance& p, OutputLanguage language) {
    const bool ja = language == OutputLanguage::Japanese;
    std::vector<std::string> lines;
    if (!p.version.empty()) lines.push_back((ja ? "プログラム: morvane " : "Program: morvane ") + p.version);
    if (p.dataSha256)
        lines.push_back((ja ? "データファイルの SHA-256: " : "Data file SHA-256: ") + *p.dataSha256);
    if (p.command) lines.push_back((ja ? "同じ分析をするコマンド: " : "Command: ") + *p.command);
    return lines;
}

std::string CorrectionName(DfCorrection correction, OutputLanguage language) {
    switch (correction) {
        case DfCorrection::GreenhouseGeisser:
            return "Greenhouse–Geisser";
        case DfCorrection::HuynhFeldt:
            return "Huynh–Feldt";
        case DfCorrection::None:
            break;
    }
    return language == OutputLanguage::Japanese ? "なし" : "none";
}

std::string LevelPercent(Extended level) {
    return GeneralText(level * 100, 6);
}

namespace {

// ProvenanceOfFile and Sha256Hex: the digest of what `context` was given.
std::string DigestHex(sha256_ctx& context) {
    std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest;
    sha256_digest(&context, digest.size(), digest.data());
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (std::uint8_t byte : digest) hex += kHex[byte >> 4], hex += kHex[byte & 15];
    return hex;
}

}  // namespace

Provenance ProvenanceOfFile(const std::string& path) {
    Provenance p;
    p.version = config::kVersion;
    if (path.empty()) return p;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return p;
    sha256_ctx context;
    sha256_init(&context);
    std::array<std::uint8_t, 1 << 16> block;
    ssize_t got;
    while ((got = ::read(fd, block.data(), block.size())) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        sha256_update(&context, static_cast<std::size_t>(got), block.data());
    }
    ::close(fd);
    if (got == 0) p.dataSha256 = DigestHex(context);
    return p;
}

Provenance ProvenanceOfBytes(std::string_view bytes) {
    Provenance p;
    p.version = config::kVersion;
    p.dataSha256 = Sha256Hex(bytes);
    return p;
}

std::string Sha256Hex(std::string_view bytes) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    return DigestHex(context);
}

}  // namespace morvane
