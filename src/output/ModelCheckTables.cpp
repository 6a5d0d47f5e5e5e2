#include "output/ModelCheckTables.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <optional>
#include <utility>

#include "runtime/NumberText.h"

namespace morvane {
namespace {

using Opt = std::optional<Extended>;

// How the terminal rounds a figure; programs get 17 significant digits.
enum class Figure { Statistic, Proportion, P };

struct Writer {
    TableReader reader;
    bool japanese = false;
    char separator = '.';

    // The label in the reader's language.
    const char* L(const char* english, const char* inJapanese) const {
        return japanese ? inJapanese : english;
    }
    std::string Undefined() const { return reader == TableReader::Program ? "" : kUndefinedText; }
    std::string Number(Opt v, Figure figure = Figure::Statistic) const {
        if (!v) return Undefined();
        if (figure == Figure::P && *v == 0) return std::string("< ") + separator + "001";  // underflowed
        if (reader == TableReader::Program) return GeneralText(*v, 17, separator);
        if (reader == TableReader::Window) return GeneralText(*v, 10, separator);
        if (figure == Figure::Statistic) return GeneralText(*v, 7, separator);
        if (figure == Figure::Proportion) return GeneralText(*v, 4, separator);
        if (*v < 0.001L) return std::string("< ") + separator + "001";
        const std::string text = FixedText(*v, 3, separator);
        return text[0] == '0' ? text.substr(1) : text;
    }
    std::string Integer(std::int64_t v) const { return std::to_string(v); }
};

TableText Start(const char* id, const char* title, std::vector<std::string> ids,
                std::vector<std::string> header) {
    TableText t;
    t.id = id;
    t.title = title;
    t.columnIds = std::move(ids);
    t.header = std::move(header);
    t.numeric.assign(t.header.size(), true);
    t.numeric[0] = false;
    return t;
}

// The headings of a table in the reader's language, English and Japanese in turn.
std::vector<std::string> Header(const Writer& w,
                                std::initializer_list<std::pair<const char*, const char*>> labels) {
    std::vector<std::string> header;
    for (const auto& [english, japanese] : labels) header.emplace_back(w.L(english, japanese));
    return header;
}

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

const char* StratumKey(Stratum s) {
    switch (s) {
        case Stratum::Subjects:
            return "S";
        case Stratum::AS:
            return "AS";
        case Stratum::BS:
            return "BS";
        case Stratum::ABS:
            return "ABS";
    }
    return "";
}

// Multivariate: why an effect has no test, or nothing for one tested.
std::string UntestedNote(const MultivariateEffect& e, const std::string& name, std::int64_t subjects,
                         const Writer& w) {
    const std::string k = std::to_string(e.contrasts);
    switch (e.status) {
        case MultivariateStatus::Tested:
        case MultivariateStatus::NoEffect:
            return {};
        case MultivariateStatus::OneDf:
            return name + w.L(": one degree of freedom; the multivariate test is the univariate F test.",
                              ": 自由度が 1 なので、多変量検定は一変量の F 検定と同じです。");
        case MultivariateStatus::TooFewSubjects:
            return w.japanese ? name + ": 定義されません: N - 1 = " + std::to_string(subjects - 1) +
                                    " が対比の数 " + k + " より小さいためです。"
                              : name + ": undefined: N - 1 = " + std::to_string(subjects - 1) +
                                    " is below the " + k + " contrasts.";
        case MultivariateStatus::Singular:
            return w.japanese
                       ? name + ": 定義されません: " + k +
                             " 個の対比の共分散行列に逆行列がありません "
                             "(定数の対比、または他の対比の一次結合)。"
                       : name + ": undefined: the covariance of its " + k +
                             " contrasts has no inverse (a contrast constant, or a combination of others).";
        case MultivariateStatus::Omitted:
            return w.japanese ? name + ": 対比が " + k + " 個と多すぎるため計算していません。"
                              : name + ": not computed: its " + k + " contrasts are too many.";
    }
    return {};
}

// The multivariate tests: four rows of each effect tested, a note of each that is not.
TableText Multivariate(const FullAnalysis& r, const Writer& w) {
    TableText t = Start("Multivariate", w.L("Multivariate tests", "多変量検定"),
                        {"effect", "test", "value", "F", "df1", "df2", "p"},
                        Header(w, {{"Effect", "効果"},
                                   {"Test", "検定統計量"},
                                   {"Value", "値"},
                                   {"F", "F 値"},
                                   {"df1", "df1"},
                                   {"df2", "df2"},
                                   {"p", "p 値"}}));
    t.numeric[1] = false;
    const MultivariateEffect* effects[] = {&r.multivariate.A, &r.multivariate.B, &r.multivariate.AB};
    bool tested = false;
    for (int i = 0; i < 3; ++i) {
        const MultivariateEffect& e = *effects[i];
        if (e.status != MultivariateStatus::Tested) {
            const std::string note = UntestedNote(e, EffectName(i), r.subjects, w);
            if (!note.empty()) t.notes.push_back(note);
            continue;
        }
        tested = true;
        const std::pair<const char*, Opt> rows[] = {
            {w.L("Pillai's trace", "Pillai のトレース"), e.pillai},
            {w.L("Wilks' lambda", "Wilks のラムダ"), e.wilks},
            {w.L("Hotelling-Lawley trace", "Hotelling-Lawley のトレース"), e.hotellingLawley},
            {w.L("Roy's largest root", "Roy の最大根"), e.roy}};
        for (const auto& [test, value] : rows)
            t.rows.push_back({EffectName(i), test, w.Number(value), w.Number(e.f), w.Integer(e.df1),
                              w.Integer(e.df2), w.Number(e.p, Figure::P)});
    }
    if (tested)
        t.notes.push_back(w.L(
            "Each effect's contrasts are tested against zero with one hypothesis degree of freedom: the four "
            "statistics give the same exact F, that of Hotelling's T^2 on (k, N - k); Roy's, in general an "
            "upper "
            "bound, is exact here.",
            "各効果の対比の平均をゼロに対して検定します。仮説の自由度が 1 なので、4 "
            "つの統計量はどれも同じ正確な F "
            "(Hotelling の T^2 の F、自由度 (k, N - k)) を与えます。Roy の最大根は一般には F "
            "の上限ですが、ここでは正確"
            "です。"));
    return t;
}

// The normality of each stratum's residuals and their studentized values.
TableText Residuals(const FullAnalysis& r, const Writer& w) {
    TableText t = Start("Residuals", w.L("Residuals by error stratum", "誤差層ごとの残差"),
                        {"stratum", "residuals", "df", "W", "p", "largestStudentized", "beyond3"},
                        Header(w, {{"Stratum", "誤差層"},
                                   {"Residuals", "残差の数"},
                                   {"df", "自由度"},
                                   {"Shapiro-Wilk W", "Shapiro-Wilk W"},
                                   {"p", "p 値"},
                                   {"Largest |studentized|", "最大 |スチューデント化残差|"},
                                   {"Beyond 3", "3 を超える数"}}));
    bool outOfRange = false;
    for (const StratumCheck& s : r.assumptions.strata) {
        outOfRange = outOfRange || !s.normality.inRange;
        t.rows.push_back({StratumName(s.stratum), std::to_string(s.normality.count), w.Integer(s.df),
                          w.Number(s.normality.w, Figure::Proportion), w.Number(s.normality.p, Figure::P),
                          w.Number(s.largestStudentized), std::to_string(s.outlying)});
    }
    if (outOfRange)
        t.notes.push_back(w.L("Shapiro-Wilk's W is computed for 3 to 5000 residuals only.",
                              "Shapiro-Wilk の W は残差が 3〜5000 個の誤差層でだけ計算します。"));
    t.notes.push_back(
        w.L("These checks describe the residuals: a small p or an outlying subject says the normal model "
            "fits these "
            "scores poorly; a large p does not show that they are normal, and with many subjects slight "
            "departures, "
            "to which the F tests are robust, come out significant.",
            "これらの確認は残差を記述するだけです。p "
            "が小さいことや外れた被験者は、正規モデルがこの得点によく合わないこと"
            "を示します。p が大きくても残差が正規分布に従うとは言えず、被験者が多いと、F "
            "検定には影響の小さいわずかな"
            "ずれも有意になります。"));
    return t;
}

TableText CellShapes(const FullAnalysis& r, const Writer& w) {
    TableText t = Start("CellShape", w.L("Skewness and kurtosis of the cells", "セルの歪度と尖度"),
                        {"a", "b", "skewness", "excessKurtosis"},
                        Header(w, {{"A", "A"},
                                   {"B", "B"},
                                   {"Skewness (G1)", "歪度 (G1)"},
                                   {"Excess kurtosis (G2)", "超過尖度 (G2)"}}));
    t.numeric[1] = false;
    for (const CellShape& c : r.assumptions.cells)
        t.rows.push_back({LevelName(r, Factor::A, c.a), LevelName(r, Factor::B, c.b), w.Number(c.skewness),
                          w.Number(c.excessKurtosis)});
    return t;
}

TableText Outlying(const FullAnalysis& r, const Writer& w) {
    TableText t =
        Start("Outlying",
              w.L("Subjects with a studentized residual beyond 3", "スチューデント化残差が 3 を超える被験者"),
              {"subject", "strata", "studentized"},
              Header(w, {{"Subject (row)", "被験者 (行)"},
                         {"Strata", "誤差層"},
                         {"Largest studentized", "最大のスチューデント化残差"}}));
    t.numeric[0] = true;
    t.numeric[1] = false;
    for (const OutlyingSubject& s : r.assumptions.outlying) {
        std::string strata;
        for (Stratum st : s.strata) strata += (strata.empty() ? "" : ", ") + std::string(StratumName(st));
        t.rows.push_back({std::to_string(s.subject), strata, w.Number(s.largest)});
    }
    const std::size_t all = r.assumptions.outlyingSubjects, listed = r.assumptions.outlying.size();
    if (all == 0)
        t.notes.push_back(w.L("No subject has a studentized residual beyond 3 in any stratum.",
                              "どの誤差層にも、スチューデント化残差が 3 を超える被験者はいません。"));
    if (all > listed)
        t.notes.push_back(
            w.japanese ? std::to_string(all) + " 人のうち最初の " + std::to_string(listed) + " 人です。"
                       : "The first " + std::to_string(listed) + " of " + std::to_string(all) + " subjects.");
    return t;
}

TableText Friedman(const FullAnalysis& r, const Writer& w) {
    TableText t =
        Start("Friedman", w.L("Friedman tests", "Friedman 検定"),
              {"test", "k", "chiSquare", "df", "p", "kendallW", "F", "df1", "df2", "pF", "tieCorrection"},
              Header(w, {{"Test", "検定"},
                         {"k", "k"},
                         {"Chi-square", "カイ二乗"},
                         {"df", "自由度"},
                         {"p", "p 値"},
                         {"Kendall's W", "Kendall の W"},
                         {"F (Iman-Davenport)", "F (Iman-Davenport)"},
                         {"df1", "df1"},
                         {"df2", "df2"},
                         {"p (F)", "p (F)"},
                         {"Tie correction", "同順位の補正"}}));
    const std::pair<const char*, const FriedmanTest*> rows[] = {
        {w.L("A (means over B)", "A (B で平均)"), &r.rankBased.A},
        {w.L("B (means over A)", "B (A で平均)"), &r.rankBased.B},
        {w.L("A x B cells", "A x B のセル"), &r.rankBased.cells}};
    for (const auto& [name, f] : rows) {
        if (f->levels < 2) continue;
        t.rows.push_back({name, w.Integer(f->levels), w.Number(f->chiSquare), w.Integer(f->df),
                          w.Number(f->p, Figure::P), w.Number(f->kendallW, Figure::Proportion),
                          w.Number(f->imanDavenportF), w.Integer(f->df1), w.Integer(f->df2),
                          w.Number(f->imanDavenportP, Figure::P),
                          w.Number(f->tieCorrection, Figure::Proportion)});
    }
    return t;
}

TableText AlignedRanks(const FullAnalysis& r, const Writer& w) {
    TableText t = Start("AlignedRanks", w.L("Aligned rank transform", "整列順位変換 (ART)"),
                        {"effect", "SS", "df", "errorSS", "errorDf", "F", "p", "otherEffects"},
                        Header(w, {{"Effect", "効果"},
                                   {"SS (ranks)", "平方和 (順位)"},
                                   {"df", "自由度"},
                                   {"Error SS", "誤差の平方和"},
                                   {"Error df", "誤差の自由度"},
                                   {"F", "F 値"},
                                   {"p", "p 値"},
                                   {"Other effects", "他の効果"}}));
    const AlignedRankEffect* effects[] = {&r.rankBased.alignedA, &r.rankBased.alignedB,
                                          &r.rankBased.alignedAB};
    for (int i = 0; i < 3; ++i) {
        const AlignedRankEffect& e = *effects[i];
        if (e.df < 1) continue;
        t.rows.push_back({EffectName(i), w.Number(e.ss), w.Integer(e.df), w.Number(e.errorSs),
                          w.Integer(e.errorDf), w.Number(e.f), w.Number(e.p, Figure::P),
                          w.Number(e.otherEffects, Figure::Proportion)});
    }
    t.notes.push_back(w.L(
        "Each effect's aligned responses are ranked and analysed with its own error stratum (A x S, B x S, "
        "A x B x S); Other effects: the largest estimate of the effects not aligned for in them, over their "
        "standard deviation, zero but for rounding.",
        "効果ごとに整列した応答に順位を付け、その効果の誤差層 (A x S、B x S、A x B x S) "
        "で分析します。「他の効果」は、"
        "整列で取り除いた効果の推定値のうち最大のものをその標準偏差で割った値で、丸めを除けば 0 です。"));
    return t;
}

// The ART-C contrasts of the levels of A, then of B.
TableText AlignedRankContrasts(const FullAnalysis& r, const Writer& w) {
    TableText t = Start("AlignedRankContrasts",
                        w.L("Aligned rank transform contrasts (ART-C)", "整列順位変換の対比 (ART-C)"),
                        {"factor", "first", "second", "difference", "se", "t", "df", "p", "pHolm"},
                        Header(w, {{"Factor", "要因"},
                                   {"Level 1", "水準 1"},
                                   {"Level 2", "水準 2"},
                                   {"Difference (mean ranks)", "平均順位の差"},
                                   {"SE", "SE"},
                                   {"t", "t"},
                                   {"df", "自由度"},
                                   {"p", "p 値"},
                                   {"p (Holm)", "p (Holm)"}}));
    t.numeric[1] = t.numeric[2] = false;
    const std::pair<Factor, const std::vector<AlignedRankContrast>*> families[] = {
        {Factor::A, &r.rankBased.contrastsA}, {Factor::B, &r.rankBased.contrastsB}};
    for (const auto& [factor, family] : families) {
        const char* name = factor == Factor::A ? "A" : "B";
        const std::int32_t levels = factor == Factor::A ? r.levelsA : r.levelsB;
        if (levels > static_cast<std::int32_t>(kContrastedLevels))
            t.notes.push_back(w.japanese
                                  ? std::string(name) + ": 水準が " + std::to_string(kContrastedLevels) +
                                        " を超えるため、対比は計算していません。"
                                  : std::string(name) + ": more than " + std::to_string(kContrastedLevels) +
                                        " levels; no contrasts.");
        for (const AlignedRankContrast& c : *family)
            t.rows.push_back({name, LevelName(r, factor, c.first), LevelName(r, factor, c.second),
                              w.Number(c.difference), w.Number(c.se), w.Number(c.t), w.Integer(c.df),
                              w.Number(c.p, Figure::P), w.Number(c.pHolm, Figure::P)});
    }
    t.notes.push_back(
        w.L("Each pair of levels of A (of B) by their mean ranks of the responses aligned for A (for B), "
            "against the "
            "error of its stratum, A x S (B x S): t = difference / sqrt(2 MSE / (n b)) on its df; Holm's "
            "adjustment "
            "within each factor. The interaction's contrasts are not computed.",
            "A (B) の水準の対ごとに、A (B) に整列した応答の平均順位を、その誤差層 A x S (B x S) "
            "の誤差で比べます: "
            "t = 差 / √(2 MSE / (n b))、自由度はその誤差の自由度。Holm "
            "の調整は要因ごと。交互作用の対比は計算しません。"));
    return t;
}

// ---- JSON ----

struct Json {
    std::string out;
    bool pending = false;
    bool outside = false;  // a number beyond a double's range was written

    void Comma() {
        if (pending) out += ',';
    }
    void Key(const char* key) {
        Comma();
        out += '"';
        out += key;
        out += "\":";
        pending = false;
    }
    void Open(char c) {
        Comma();
        out += c;
        pending = false;
    }
    void Close(char c) {
        out += c;
        pending = true;
    }
    void Number(Opt v) {
        Comma();
        const bool beyond = v && (std::fabs(*v) > std::numeric_limits<double>::max() ||
                                  (*v != 0 && std::fabs(*v) < std::numeric_limits<double>::denorm_min()));
        outside = outside || beyond;
        out += !v ? "null" : beyond ? '"' + GeneralText(*v, 17) + '"' : GeneralText(*v, 17);
        pending = true;
    }
    void Integer(std::int64_t v) {
        Comma();
        out += std::to_string(v);
        pending = true;
    }
    // A p-value under `key`; one too small for the number type, 0, is said so beside it.
    void P(const char* key, Opt v) {
        Key(key), Number(v);
        if (v && *v == 0) Key((std::string(key) + "Underflow").c_str()), Bool(true);
    }
    void Text(const char* v) {
        Comma();
        out += '"';
        out += v;
        out += '"';
        pending = true;
    }
    void Bool(bool v) {
        Comma();
        out += v ? "true" : "false";
        pending = true;
    }
    void Df(std::int64_t df1, std::int64_t df2, bool defined) {
        if (!defined) return Comma(), out += "null", void(pending = true);
        Open('[');
        Integer(df1);
        Integer(df2);
        Close(']');
    }
};

const char* StatusKey(MultivariateStatus s) {
    switch (s) {
        case MultivariateStatus::Tested:
            return "tested";
        case MultivariateStatus::OneDf:
            return "oneDf";
        case MultivariateStatus::TooFewSubjects:
            return "tooFewSubjects";
        case MultivariateStatus::Singular:
            return "singular";
        case MultivariateStatus::Omitted:
            return "omitted";
        case MultivariateStatus::NoEffect:
            return "noEffect";
    }
    return "";
}

void JsonMultivariate(Json& j, const FullAnalysis& r) {
    j.Key("multivariate");
    j.Open('{');
    const std::pair<const char*, const MultivariateEffect*> effects[] = {
        {"A", &r.multivariate.A}, {"B", &r.multivariate.B}, {"AB", &r.multivariate.AB}};
    for (const auto& [key, e] : effects) {
        j.Key(key);
        j.Open('{');
        j.Key("status"), j.Text(StatusKey(e->status));
        j.Key("contrasts"), j.Integer(e->contrasts);
        j.Key("pillai"), j.Number(e->pillai);
        j.Key("wilks"), j.Number(e->wilks);
        j.Key("hotellingLawley"), j.Number(e->hotellingLawley);
        j.Key("roy"), j.Number(e->roy);
        j.Key("hotellingT2"), j.Number(e->hotellingT2);
        j.Key("F"), j.Number(e->f);
        j.Key("df"), j.Df(e->df1, e->df2, e->status == MultivariateStatus::Tested);
        j.P("p", e->p);
        j.Close('}');
    }
    j.Close('}');
}

void JsonAssumptions(Json& j, const FullAnalysis& r) {
    const AssumptionChecks& a = r.assumptions;
    j.Key("assumptions");
    j.Open('{');
    j.Key("strata");
    j.Open('[');
    for (const StratumCheck& s : a.strata) {
        j.Open('{');
        j.Key("stratum"), j.Text(StratumKey(s.stratum));
        j.Key("residuals"), j.Integer(static_cast<std::int64_t>(s.normality.count));
        j.Key("df"), j.Integer(s.df);
        j.Key("shapiroWilk");
        j.Open('{');
        j.Key("inRange"), j.Bool(s.normality.inRange);
        j.Key("W"), j.Number(s.normality.w);
        j.P("p", s.normality.p);
        j.Close('}');
        j.Key("largestStudentized"), j.Number(s.largestStudentized);
        j.Key("beyond3"), j.Integer(static_cast<std::int64_t>(s.outlying));
        j.Close('}');
    }
    j.Close(']');
    j.Key("cells");
    j.Open('[');
    for (const CellShape& c : a.cells) {
        j.Open('{');
        j.Key("a"), j.Integer(c.a);
        j.Key("b"), j.Integer(c.b);
        j.Key("skewness"), j.Number(c.skewness);
        j.Key("excessKurtosis"), j.Number(c.excessKurtosis);
        j.Close('}');
    }
    j.Close(']');
    j.Key("outlyingSubjects"), j.Integer(static_cast<std::int64_t>(a.outlyingSubjects));
    j.Key("outlying");
    j.Open('[');
    for (const OutlyingSubject& s : a.outlying) {
        j.Open('{');
        j.Key("subject"), j.Integer(s.subject);
        j.Key("strata");
        j.Open('[');
        for (Stratum st : s.strata) j.Text(StratumKey(st));
        j.Close(']');
        j.Key("studentized"), j.Number(s.largest);
        j.Close('}');
    }
    j.Close(']');
    j.Close('}');
}

void JsonRanks(Json& j, const FullAnalysis& r) {
    const RankBasedResults& k = r.rankBased;
    j.Key("rankBased");
    j.Open('{');
    j.Key("friedman");
    j.Open('{');
    const std::pair<const char*, const FriedmanTest*> tests[] = {
        {"A", &k.A}, {"B", &k.B}, {"cells", &k.cells}};
    for (const auto& [key, f] : tests) {
        j.Key(key);
        j.Open('{');
        j.Key("levels"), j.Integer(f->levels);
        j.Key("chiSquare"), j.Number(f->chiSquare);
        j.Key("df"), j.Integer(f->df);
        j.P("p", f->p);
        j.Key("kendallW"), j.Number(f->kendallW);
        j.Key("imanDavenport");
        j.Open('{');
        j.Key("F"), j.Number(f->imanDavenportF);
        j.Key("df"), j.Df(f->df1, f->df2, f->levels > 1);
        j.P("p", f->imanDavenportP);
        j.Close('}');
        j.Key("tieCorrection"), j.Number(f->tieCorrection);
        j.Close('}');
    }
    j.Close('}');
    j.Key("alignedRankTransform");
    j.Open('{');
    const std::pair<const char*, const AlignedRankEffect*> effects[] = {
        {"A", &k.alignedA}, {"B", &k.alignedB}, {"AB", &k.alignedAB}};
    for (const auto& [key, e] : effects) {
        j.Key(key);
        j.Open('{');
        j.Key("SS"), j.Number(e->ss);
        j.Key("df"), j.Integer(e->df);
        j.Key("errorSS"), j.Number(e->errorSs);
        j.Key("errorDf"), j.Integer(e->errorDf);
        j.Key("F"), j.Number(e->f);
        j.P("p", e->p);
        j.Key("otherEffects"), j.Number(e->otherEffects);
        j.Close('}');
    }
    j.Key("contrasts");
    j.Open('{');
    const std::pair<const char*, const std::vector<AlignedRankContrast>*> families[] = {{"A", &k.contrastsA},
                                                                                        {"B", &k.contrastsB}};
    for (const auto& [key, family] : families) {
        j.Key(key);
        j.Open('[');
        for (const AlignedRankContrast& c : *family) {
            j.Open('{');
            j.Key("levels"), j.Df(c.first, c.second, true);
            j.Key("difference"), j.Number(c.difference);
            j.Key("se"), j.Number(c.se);
            j.Key("t"), j.Number(c.t);
            j.Key("df"), j.Integer(c.df);
            j.P("p", c.p);
            j.P("pHolm", c.pHolm);
            j.P("pBonferroni", c.pBonferroni);
            j.Close('}');
        }
        j.Close(']');
    }
    j.Close('}');
    j.Key("exactAlignment"), j.Bool(k.exactAlignment);
    j.Close('}');
    j.Close('}');
}

}  // namespace

std::vector<TableText> ModelCheckTables(const FullAnalysis& r, TableReader reader,
                                        const OutputOptions& options, char decimalSeparator) {
    std::vector<TableText> tables;
    if (r.subjects < 1 || r.levelsA < 1 || r.levelsB < 1) return tables;
    const Writer w{reader, reader == TableReader::Window || options.language == OutputLanguage::Japanese,
                   decimalSeparator};
    tables.push_back(Multivariate(r, w));
    tables.push_back(Residuals(r, w));
    tables.push_back(CellShapes(r, w));
    tables.push_back(Outlying(r, w));
    tables.push_back(Friedman(r, w));
    tables.push_back(AlignedRanks(r, w));
    tables.push_back(AlignedRankContrasts(r, w));
    return tables;
}

std::string ModelCheckJsonMembers(const FullAnalysis& r, bool& outsideDoubleRange) {
    Json j;
    JsonMultivariate(j, r);
    JsonAssumptions(j, r);
    JsonRanks(j, r);
    outsideDoubleRange = j.outside;
    return j.out;
}

}  // namespace morvane
