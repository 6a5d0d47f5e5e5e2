#include <string>
#include <utility>

#include "output/Conventions.h"
#include "output/detail/AnalysisTables.h"

// The model's tables, each one function: its columns with their keys,
// headings in both languages and the reader of each cell, then its rows and
// notes. A column or a table added here reaches every reader and layout.

namespace morvane::tables {
namespace {

using anova::Effect;
using anova::Mean;
using anova::Place;

constexpr OutputLayout kStudy = OutputLayout::Study, kDesign = OutputLayout::Design;

// The contrasts of an effect's within part: the product of its within factors' levels less one.
std::int64_t WithinContrasts(const Analysis& r, const Effect& e) {
    std::int64_t p = 1;
    for (std::size_t w : e.within) p *= static_cast<std::int64_t>(r.within.at(w).levels.size()) - 1;
    return p;
}

// The degrees of freedom of the error the within effects are tested on: N - g.
std::int64_t PooledDf(const Analysis& r) {
    return r.subjects - static_cast<std::int64_t>(r.groupSizes.empty() ? 1 : r.groupSizes.size());
}

// A whole number of degrees of freedom as an integer, another as a figure.
Cell Df(Extended df) {
    const auto whole = static_cast<std::int64_t>(df);
    return static_cast<Extended>(whole) == df ? Integer(whole) : Number(df, Figure::Df);
}

// The place a comparison or simple effect is at: the study names the level
// alone on the terminal ("b2"), and "B = b2" in the window.
Cell AtCell(const Analysis& r, const Place& at, OutputLayout layout) {
    bool over = true;
    std::string levels;
    for (std::size_t i = 0; i < at.size() && i < r.Factors(); ++i)
        if (at[i] != anova::kOver) {
            over = false;
            const auto& names = r.FactorAt(i).levels;
            const auto level = static_cast<std::size_t>(at[i]);
            levels += (levels.empty() ? "" : ", ") + (level < names.size() ? names[level] : std::string());
        }
    const std::string named = PlaceName(r, at);
    return At(layout == kStudy ? levels : named, named, over);
}

}  // namespace

std::string Shown(const std::string& name, OutputLayout layout) {
    if (layout != kStudy) return name;
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name.compare(i, 2, "×") == 0) {
            out += 'x';
            ++i;
            continue;
        }
        out += name[i];
    }
    return out;
}

std::string PlaceName(const Analysis& r, const anova::Place& at) {
    std::string name;
    for (std::size_t i = 0; i < at.size() && i < r.Factors(); ++i)
        if (at[i] != anova::kOver) {
            const auto& f = r.FactorAt(i);
            const auto level = static_cast<std::size_t>(at[i]);
            name += (name.empty() ? "" : ", ") + f.name + " = " +
                    (level < f.levels.size() ? f.levels[level] : std::string());
        }
    return name;
}

namespace {

// A row of the summary: an effect, or an error stratum (the total among them).
struct SourceRow {
    std::string name;
    const PartitionSource* source;
    const Effect* effect;  // null for an error row
    bool withMs;
};

template <Correction Sphericity::*which, Opt Correction::*figure>
Cell Corrected(const Analysis&, const SourceRow& s) {
    if (!s.effect) return Blank();
    return Number(s.effect->sphericity ? ((*s.effect->sphericity).*which).*figure : Opt{},
                  figure == &Correction::p ? Figure::P : Figure::Df);
}

// The summary's rows: each stratum's effects and then its error. A design's
// leaves out a stratum that tests no effect and the total; the study's has
// every source.
std::vector<SourceRow> SourceRows(const Analysis& r, OutputLayout layout) {
    std::vector<SourceRow> rows;
    for (std::size_t s = 0; s < r.strata.size(); ++s) {
        bool any = false;
        for (const Effect& e : r.effects)
            if (e.stratum == s) rows.push_back({Shown(e.name, layout), &e.effect, &e, true}), any = true;
        if (any || layout == kStudy)
            rows.push_back({Shown(r.strata[s].name, layout), &r.strata[s].error, nullptr, true});
    }
    if (layout == kStudy) rows.push_back({"Total", &r.total, nullptr, false});
    return rows;
}

// Whether a source's sum of squares is too near 0 to be shown.
bool AnySumBelowRange(const Analysis& r) {
    for (const Effect& e : r.effects)
        if (e.effect.belowRange || e.error.belowRange) return true;
    for (const anova::Stratum& s : r.strata)
        if (s.error.belowRange) return true;
    return r.total.belowRange;
}

}  // namespace

Labels HypothesisLeftOutNote(const std::string& name) {
    const std::string most = std::to_string(anova::kMostBetweenContrasts);
    return {name + ": its hypothesis takes more than " + most +
                " contrasts of unequal between cells; its SS, F, p and effect sizes are left out.",
            name + ": 被験者間のセルの大きさが等しくなく、仮説の対比が上限 " + most +
                " を超えるため、平方和、F 値、p 値、効果量を省きました。"};
}

// First: every effect with its error stratum, its test, the correction applied, and effect sizes.
Table Summary(const Analysis& r, OutputLayout layout) {
    using S = const SourceRow&;
    constexpr auto gg = &Sphericity::greenhouseGeisser, hf = &Sphericity::huynhFeldt,
                   lb = &Sphericity::lowerBound;
    const auto ofEffect = [](Opt (*of)(const Effect&), Figure figure) {
        return
            [of, figure](const Analysis&, S s) { return s.effect ? Number(of(*s.effect), figure) : Blank(); };
    };
    const auto limit = [](std::optional<LevelInterval> Effect::*which, Extended LevelInterval::*end) {
        return [which, end](const Analysis&, S s) {
            return s.effect ? Limit((*s.effect).*which, end) : Blank();
        };
    };
    std::vector<Column<SourceRow>> columns{
        {Heading{"source", "Source", "変動因"}.Names(), [](auto&, S s) { return Text(s.name); }},
        {{"ss", "SS", "平方和"},
         [](auto&, S s) {
             return Number(s.effect && s.effect->hypothesisOmitted ? std::nullopt : s.source->ShownSs(),
                           Figure::Sum);
         }},
        {{"df", "df", "自由度"}, [](auto&, S s) { return Integer(s.source->df); }},
        {{"ms", "MS", "平均平方"},
         [](auto&, S s) { return s.withMs ? Number(s.source->ms, Figure::Sum) : Blank(); }},
        {{"mse", "MSE", "MSE"}, ofEffect([](const Effect& e) { return e.error.ms; }, Figure::Sum)},
        {{"f", "F", "F 値"}, ofEffect([](const Effect& e) { return e.f; }, Figure::Statistic)},
        {{"p", "p", "p 値"}, ofEffect([](const Effect& e) { return e.p; }, Figure::P)},
        {Heading{"ggDf1", "df1 (GG)", "df1 (GG)"}.Of(DfCorrection::GreenhouseGeisser),
         &Corrected<gg, &Correction::df1>},
        {Heading{"ggDf2", "df2 (GG)", "df2 (GG)"}.Of(DfCorrection::GreenhouseGeisser),
         &Corrected<gg, &Correction::df2>},
        {Heading{"ggP", "p (GG)", "p (GG)"}.Of(DfCorrection::GreenhouseGeisser),
         &Corrected<gg, &Correction::p>},
        {Heading{"hfDf1", "df1 (HF)", "df1 (HF)"}.Of(DfCorrection::HuynhFeldt),
         &Corrected<hf, &Correction::df1>},
        {Heading{"hfDf2", "df2 (HF)", "df2 (HF)"}.Of(DfCorrection::HuynhFeldt),
         &Corrected<hf, &Correction::df2>},
        {Heading{"hfP", "p (HF)", "p (HF)"}.Of(DfCorrection::HuynhFeldt), &Corrected<hf, &Correction::p>},
        {Heading{"lbDf1", "df1 (LB)", "df1 (下限)"}.For(Readers::Window), &Corrected<lb, &Correction::df1>},
        {Heading{"lbDf2", "df2 (LB)", "df2 (下限)"}.For(Readers::Window), &Corrected<lb, &Correction::df2>},
        {Heading{"lbP", "p (LB)", "p (下限)"}.For(Readers::Window), &Corrected<lb, &Correction::p>},
        {{"partialEtaSquared", "partial eta^2", "偏 η²"},
         ofEffect([](const Effect& e) { return e.partialEtaSquared; }, Figure::Proportion)},
        {Heading{"etaCiLow", "eta^2 CI low", "偏 η² CI 下限"}.JoinedAs(Join::Interval, "partial eta^2 CI",
                                                                       "偏 η² の信頼区間"),
         limit(&Effect::partialEtaSquaredCI, &LevelInterval::lower)},
        {{"etaCiHigh", "eta^2 CI high", "偏 η² CI 上限"},
         limit(&Effect::partialEtaSquaredCI, &LevelInterval::upper)},
        {Heading{"etaCiLowGG", "eta^2 CI low (GG)", "偏 η² CI 下限 (GG)"}
             .Of(DfCorrection::GreenhouseGeisser)
             .JoinedAs(Join::Interval, "partial eta^2 CI (GG)", "偏 η² の信頼区間 (GG)"),
         limit(&Effect::partialEtaSquaredCIGG, &LevelInterval::lower)},
        {Heading{"etaCiHighGG", "eta^2 CI high (GG)", "偏 η² CI 上限 (GG)"}.Of(
             DfCorrection::GreenhouseGeisser),
         limit(&Effect::partialEtaSquaredCIGG, &LevelInterval::upper)},
        {{"generalizedEtaSquared", "generalized eta^2", "一般化 η²"},
         ofEffect([](const Effect& e) { return e.generalizedEtaSquared; }, Figure::Proportion)},
    };
    // The effect sizes chosen beside them, after generalized eta squared.
    const anova::Options::EffectSizes& shown = r.options.effectSizes;
    if (shown.etaSquared)
        columns.push_back({{"etaSquared", "eta^2", "η²"},
                           ofEffect([](const Effect& e) { return e.etaSquared; }, Figure::Proportion)});
    if (shown.partialOmegaSquared)
        columns.push_back({{"partialOmegaSquared", "partial omega^2", "偏 ω²"},
                           ofEffect([](const Effect& e) { return e.partialOmegaSquared; }, Figure::Proportion)});
    if (shown.cohensF)
        columns.push_back({{"cohensF", "Cohen's f", "Cohen の f"},
                           ofEffect([](const Effect& e) { return e.cohensF; }, Figure::Statistic)});
    if (shown.generalizedOmegaSquared)
        columns.push_back(
            {{"generalizedOmegaSquared", "generalized omega^2", "一般化 ω²"},
             ofEffect([](const Effect& e) { return e.generalizedOmegaSquared; }, Figure::Proportion)});
    if (shown.cohensFPowerPrograms) {
        columns.push_back({{"cohensFPowerPrograms", "f (power programs)", "f (検定力ソフト)"},
                           ofEffect([](const Effect& e) { return e.cohensFPowerPrograms; }, Figure::Statistic)});
        columns.push_back({{"measuresCorrelation", "rho", "ρ"},
                           ofEffect([](const Effect& e) { return e.measuresCorrelation; }, Figure::Proportion)});
    }
    Table t = Tabulate(r, "Summary", {"Analysis of variance", "分散分析表"}, columns, SourceRows(r, layout));
    if (AnySumBelowRange(r))
        t.notes.push_back({"SS and MS shown as —: not zero, but nearer 0 than the number type reaches (about "
                           "1e-4951); F, p and the effect sizes are formed from the exact sums.",
                           "— の平方和と平均平方は 0 ではありませんが、数値型の範囲 (約 1e-4951) より 0 "
                           "に近い値です。F 値、p 値、効果量は正確な和から求めています。"});
    for (const Effect& e : r.effects)
        if (e.hypothesisOmitted) t.notes.push_back(HypothesisLeftOutNote(Shown(e.name, layout)));
    return t;
}

namespace {

// A row of the sphericity table: an effect that was tested.
struct TestRow {
    std::string name;
    const Sphericity* test;
};

template <Correction Sphericity::*which>
Cell Epsilon(const Analysis&, const TestRow& t) {
    return Number(((*t.test).*which).epsilon, Figure::Proportion);
}

// The sphericity table's corrected p, which the window shows in its summary instead.
template <Correction Sphericity::*which>
Cell CorrectedP(const Analysis&, const TestRow& t) {
    return Number(((*t.test).*which).p, Figure::P);
}

// The sphericity table's notes: an effect left out, the effects that have no
// test, and what the table's Huynh-Feldt epsilon is.
std::vector<Labels> SphericityNotes(const Analysis& r, OutputLayout layout, bool tested) {
    std::vector<Labels> notes;
    const std::string nu = std::to_string(PooledDf(r));
    bool oneDf = true;
    for (const DesignFactor& f : r.within) oneDf = oneDf && f.levels.size() <= 2;
    for (const Effect& e : r.effects) {
        const std::string name = Shown(e.name, layout);
        const std::int64_t k = WithinContrasts(r, e);
        if (e.sphericityOmitted)
            notes.push_back({name + ": too many contrasts to test sphericity.",
                             name + ": 対比が多すぎるため球面性の検定を省きました。"});
        else if (layout == kDesign && !e.within.empty() && k >= 2 && !e.sphericity)
            notes.push_back(
                {name + ": undefined: N − g = " + nu + " is below its " + std::to_string(k) + " contrasts.",
                 name + ": 定義されません: N − g = " + nu + " が対比の数 " + std::to_string(k) +
                     " より小さいためです。"});
    }
    if (layout == kStudy) {
        if (!tested && oneDf)
            notes.push_back(
                {"Every effect has at most one degree of freedom, so sphericity holds trivially (epsilon = "
                 "1).",
                 "どの効果も自由度が 1 以下なので、球面性は自明に成り立ちます (ε = 1)。"});
        else if (!tested)
            notes.push_back({"Sphericity is not tested with fewer than two subjects.",
                             "被験者が 2 人未満のため、球面性は検定できません。"});
        else
            notes.push_back({"HF epsilon as computed; its p uses it capped at 1.",
                             "ε (HF) は公式のままの値で、1 を超えることがあります。修正した df と p には 1 "
                             "を上限として用います。"});
        return notes;
    }
    if (!tested && notes.empty())
        notes.push_back(
            {"Every within effect has one degree of freedom, so sphericity holds trivially (epsilon = 1).",
             "どの被験者内効果も自由度が 1 なので、球面性は自明に成り立ちます (ε = 1)。"});
    if (tested)
        notes.push_back(
            {"HF epsilon in Lecoutre's form, as computed; its p uses it capped at 1.",
             "ε (HF) は Lecoutre の式による公式のままの値で、1 を超えることがあります。修正した df と "
             "p には 1 を上限として用います。"});
    return notes;
}

}  // namespace

// Second: Mauchly's test of each within effect of more than one degree of freedom, and its epsilons.
Table SphericityTests(const Analysis& r, OutputLayout layout) {
    using T = const TestRow&;
    const std::vector<Column<TestRow>> columns{
        {Heading{"effect", "Effect", "効果"}.Names(), [](auto&, T t) { return Text(t.name); }},
        {{"mauchlyW", "W", "Mauchly の W"},
         [](auto&, T t) { return Number(t.test->mauchlyW, Figure::Fraction); }},
        {{"chiSquare", "chi^2", "χ²"},
         [](auto&, T t) {
             return t.test->chiSquareInfinite ? Text("∞") : Number(t.test->chiSquare, Figure::Statistic);
         }},
        {{"df", "df", "df"}, [](auto&, T t) { return Integer(t.test->df); }},
        {{"p", "p", "p 値"}, [](auto&, T t) { return Number(t.test->p, Figure::P); }},
        {{"ggEpsilon", "GG epsilon", "ε (GG)"}, &Epsilon<&Sphericity::greenhouseGeisser>},
        {Heading{"ggP", "p (GG)", "p (GG)"}.For(Readers::Tool), &CorrectedP<&Sphericity::greenhouseGeisser>},
        {{"hfEpsilon", "HF epsilon", "ε (HF)"}, &Epsilon<&Sphericity::huynhFeldt>},
        {Heading{"hfP", "p (HF)", "p (HF)"}.For(Readers::Tool), &CorrectedP<&Sphericity::huynhFeldt>},
        {{"lbEpsilon", "LB epsilon", "ε (下限)"}, &Epsilon<&Sphericity::lowerBound>},
        {Heading{"lbP", "p (LB)", "p (下限)"}.For(Readers::Tool), &CorrectedP<&Sphericity::lowerBound>},
    };
    std::vector<TestRow> rows;
    for (const Effect& e : r.effects)
        if (e.sphericity) rows.push_back({Shown(e.name, layout), &*e.sphericity});
    Table t = Tabulate(r, "Sphericity",
                       {"Sphericity (Mauchly) and corrections", "球面性の検定 (Mauchly) と自由度の修正"},
                       columns, rows);
    t.notes = SphericityNotes(r, layout, !rows.empty());
    return t;
}

namespace {

// A row of the multivariate table: one of the four statistics of an effect tested.
struct MultivariateRow {
    std::string effect;
    const char* english;
    const char* japanese;
    const MultivariateStatistic* statistic;
};

// Multivariate: why an effect has no test. The study's is the one-sample test
// of its contrasts on N - 1 degrees of freedom; a design's pools the groups' on N - g.
Labels UntestedNote(const Analysis& r, const Effect& e, const MultivariateTest& m, OutputLayout layout) {
    const bool study = layout == kStudy;
    const std::string name = Shown(e.name, layout);
    const std::string k =
        std::to_string(m.variables || study ? static_cast<std::int64_t>(m.variables) : WithinContrasts(r, e));
    const std::string nu =
        study ? "N - 1 = " + std::to_string(r.subjects - 1) : "N − g = " + std::to_string(PooledDf(r));
    switch (m.status) {
        case MultivariateStatus::Tested:
        case MultivariateStatus::NoEffect:
            return {};
        case MultivariateStatus::OneDf:
            if (!study) return {};
            return {name + ": one degree of freedom; the multivariate test is the univariate F test.",
                    name + ": 自由度が 1 なので、多変量検定は一変量の F 検定と同じです。"};
        case MultivariateStatus::TooFewSubjects:
            return {name + ": undefined: " + nu + " is below " + (study ? "the " : "its ") + k +
                        (k == "1" && !study ? " contrast." : " contrasts."),
                    name + ": 定義されません: " + nu + " が対比の数 " + k + " より小さいためです。"};
        case MultivariateStatus::Singular:
            if (study)
                return {
                    name + ": undefined: the covariance of its " + k +
                        " contrasts has no inverse (a contrast constant, or a combination of others).",
                    name + ": 定義されません: " + k +
                        " 個の対比の共分散行列に逆行列がありません (定数の対比、または他の対比の一次結合)。"};
            return {name + ": undefined: the pooled error of its " + k +
                        " contrasts has no inverse (a contrast constant within groups, or a combination of "
                        "others).",
                    name + ": 定義されません: " + k +
                        " 個の対比の群内で合併した誤差行列に逆行列がありません "
                        "(群内で定数の対比、または他の対比の一次結合)。"};
        case MultivariateStatus::Omitted:
            return {name + ": not computed: its " + k + " contrasts are too many.",
                    name + ": 対比が " + k + " 個と多すぎるため計算していません。"};
    }
    return {};
}

// Multivariate, under the rows: how the statistics' F are found.
Labels FNote(OutputLayout layout) {
    if (layout == kStudy)
        return {
            "Each effect's contrasts are tested against zero with one hypothesis degree of freedom: the "
            "four "
            "statistics give the same exact F, that of Hotelling's T^2 on (k, N - k); Roy's, in general an "
            "upper bound, is exact here.",
            "各効果の対比の平均をゼロに対して検定します。仮説の自由度が 1 なので、4 "
            "つの統計量はどれも同じ正確な "
            "F (Hotelling の T^2 の F、自由度 (k, N - k)) を与えます。Roy の最大根は一般には F "
            "の上限ですが、ここでは正確です。"};
    return {"F approximations as R's summary.manova: Rao's for Wilks' lambda; Roy's is an upper bound.",
            "F の近似は R の summary.manova と同じ: Wilks のラムダには Rao の近似、Roy の最大根の F "
            "は上限です。"};
}

}  // namespace

// Then: the four statistics of each within effect tested, a note of each that is not.
Table Multivariate(const Analysis& r, OutputLayout layout) {
    using M = const MultivariateRow&;
    const std::vector<Column<MultivariateRow>> columns{
        {Heading{"effect", "Effect", "効果"}.Names(), [](auto&, M m) { return Text(m.effect); }},
        {Heading{"test", "Test", "検定統計量"}.Names(),
         [](auto&, M m) { return Text(m.english, m.japanese); }},
        {{"value", "Value", "値"}, [](auto&, M m) { return Number(m.statistic->value, Figure::Statistic); }},
        {{"F", "F", "F 値"}, [](auto&, M m) { return Number(m.statistic->f, Figure::Statistic); }},
        {{"df1", "df1", "df1"}, [](auto&, M m) { return Df(m.statistic->df1); }},
        {{"df2", "df2", "df2"}, [](auto&, M m) { return Df(m.statistic->df2); }},
        {{"p", "p", "p 値"}, [](auto&, M m) { return Number(m.statistic->p, Figure::P); }},
    };
    std::vector<MultivariateRow> rows;
    std::vector<Labels> notes;
    for (const Effect& e : r.effects) {
        if (!e.multivariate) continue;
        const MultivariateTest& m = *e.multivariate;
        if (m.status != MultivariateStatus::Tested) {
            Labels note = UntestedNote(r, e, m, layout);
            if (!note.english.empty()) notes.push_back(std::move(note));
            continue;
        }
        const std::string name = Shown(e.name, layout);
        rows.push_back({name, "Pillai's trace", "Pillai のトレース", &m.pillai});
        rows.push_back({name, "Wilks' lambda", "Wilks のラムダ", &m.wilks});
        rows.push_back({name, "Hotelling-Lawley trace", "Hotelling-Lawley のトレース", &m.hotellingLawley});
        rows.push_back({name, "Roy's largest root", "Roy の最大根", &m.roy});
    }
    if (!rows.empty()) notes.push_back(FNote(layout));
    Table t = Tabulate(r, "Multivariate", {"Multivariate tests", "多変量検定"}, columns, rows);
    t.notes = std::move(notes);
    return t;
}

namespace {

// The columns of a mean after the names of its levels; a design's have the subjects it is of.
std::vector<Column<Mean>> MeanFigures() {
    using M = const Mean&;
    return {
        {Heading{"n", "n", "n"}.In(kDesign), [](auto&, M m) { return Integer(m.n); }},
        {{"mean", "Mean", "平均"}, [](auto&, M m) { return Number(m.mean, Figure::Statistic); }},
        {{"sd", "SD", "SD"}, [](auto&, M m) { return Number(m.sd, Figure::Statistic); }},
        {{"se", "SE", "SE"}, [](auto&, M m) { return Number(m.se, Figure::Statistic); }},
        {Heading{"ciLow", "CI low", "95% CI 下限"}.JoinedAs(Join::Interval, "95% CI", "95% CI"),
         [](auto&, M m) { return Bound(m.ci95, &Interval::low); }},
        {{"ciHigh", "CI high", "95% CI 上限"}, [](auto&, M m) { return Bound(m.ci95, &Interval::high); }},
        {Heading{"withinCiLow", "within CI low", "被験者内 95% CI 下限"}
             .JoinedAs(Join::Interval, "within-subject 95% CI", "被験者内 95% CI")
             .Within(),
         [](auto&, M m) { return Bound(m.withinCi95, &Interval::low); }},
        {Heading{"withinCiHigh", "within CI high", "被験者内 95% CI 上限"}.Within(),
         [](auto&, M m) { return Bound(m.withinCi95, &Interval::high); }},
    };
}

// A column of each factor's level, keyed by its name (the study's by its letter
// in lower case); the window shows only those of `shown` (null: every factor).
std::vector<Column<Mean>> LevelColumns(const Analysis& r, OutputLayout layout, const std::size_t* shown) {
    std::vector<Column<Mean>> columns;
    for (std::size_t k = 0; k < r.Factors(); ++k) {
        const std::string& name = r.FactorAt(k).name;
        std::string id = name;
        if (layout == kStudy)
            for (char& c : id) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const Readers readers = !shown || *shown == k ? Readers::All : Readers::Tool;
        columns.push_back(
            {Heading{id, name, name}.Names().For(readers), [k](const Analysis& a, const Mean& m) {
                 if (k >= m.at.size() || m.at[k] == anova::kOver) return Text("");
                 const auto level = static_cast<std::size_t>(m.at[k]);
                 const auto& levels = a.FactorAt(k).levels;
                 return Text(level < levels.size() ? levels[level] : std::string());
             }});
    }
    for (auto& c : MeanFigures()) columns.push_back(std::move(c));
    return columns;
}

}  // namespace

// The mean of every between x within cell, a column for each factor's level.
Table CellMeans(const Analysis& r, OutputLayout layout) {
    return TabulateBorrowed(r, "CellMeans", {"Cell means", "セルの平均"}, LevelColumns(r, layout, nullptr),
                            r.cellMeans);
}

// The estimated marginal means of each factor's levels: the study's a table
// of each factor, whose other factors' columns the window leaves out; a
// design's one table, its rows named by factor and level.
std::vector<Table> MarginalMeans(const Analysis& r, OutputLayout layout) {
    std::vector<Table> tables;
    if (layout == kStudy) {
        for (std::size_t k = 0; k < r.marginalMeans.size() && k < r.Factors(); ++k) {
            const std::string& name = r.FactorAt(k).name;
            tables.push_back(TabulateBorrowed(r, "Means" + name,
                                      {"Means of the levels of " + name, "要因 " + name + " の水準の平均"},
                                      LevelColumns(r, layout, &k), r.marginalMeans[k]));
        }
        return tables;
    }
    std::vector<Mean> rows;
    for (const std::vector<Mean>& means : r.marginalMeans)
        rows.insert(rows.end(), means.begin(), means.end());
    // The one factor a marginal mean is at.
    const auto factorOf = [](const Mean& m) {
        for (std::size_t k = 0; k < m.at.size(); ++k)
            if (m.at[k] != anova::kOver) return k;
        return m.at.size();
    };
    std::vector<Column<Mean>> columns{
        {Heading{"factor", "Factor", "要因"}.Names(),
         [factorOf](const Analysis& a, const Mean& m) {
             const std::size_t k = factorOf(m);
             return k < a.Factors() ? Text(a.FactorAt(k).name) : Blank();
         }},
        {Heading{"level", "Level", "水準"}.Names(),
         [factorOf](const Analysis& a, const Mean& m) {
             const std::size_t k = factorOf(m);
             if (k >= a.Factors()) return Blank();
             const auto& levels = a.FactorAt(k).levels;
             const auto level = static_cast<std::size_t>(m.at[k]);
             return Text(level < levels.size() ? levels[level] : std::string());
         }},
    };
    for (auto& c : MeanFigures()) columns.push_back(std::move(c));
    Table t = Tabulate(r, "MarginalMeans", {"Estimated marginal means", "推定周辺平均"}, columns,
                       std::move(rows));
    t.notes.push_back({"Each level's mean weighs the other factors' cells equally.",
                       "各水準の平均は、他の要因のセルを等しい重みで平均したものです。"});
    tables.push_back(std::move(t));
    return tables;
}

// Each two levels of each factor, over the others and at their levels; the
// chosen adjustments within each family. The study's d is d_z, its tests paired t tests.
Table Comparisons(const Analysis& r, OutputLayout layout) {
    using C = const anova::Comparison&;
    const bool study = layout == kStudy;
    const auto level = [](const Analysis& a, std::size_t factor, std::int32_t l) {
        const auto& levels = a.FactorAt(factor).levels;
        return Text(l >= 0 && static_cast<std::size_t>(l) < levels.size()
                        ? levels[static_cast<std::size_t>(l)]
                        : std::string());
    };
    std::vector<Column<anova::Comparison>> columns{
        {Heading{"factor", "Factor", "要因"}.Names(),
         [](auto& a, C c) { return Text(a.FactorAt(c.factor).name); }},
        {Heading{"at", "At", "条件"}.Names(), [layout](auto& a, C c) { return AtCell(a, c.at, layout); }},
        {Heading{"levelI", "Level i", "水準 i"}.Names().JoinedAs(Join::Levels, "Levels", "水準"),
         [level](auto& a, C c) { return level(a, c.factor, c.i); }},
        {Heading{"levelJ", "Level j", "水準 j"}.Names(),
         [level](auto& a, C c) { return level(a, c.factor, c.j); }},
        {{"difference", "Difference", "差 (i − j)"},
         [](auto&, C c) { return Number(c.difference, Figure::Statistic); }},
        {Heading{"ciLow", "CI low", "95% CI 下限"}.JoinedAs(Join::Interval, "95% CI", "95% CI"),
         [](auto&, C c) { return Bound(c.ci95, &Interval::low); }},
        {{"ciHigh", "CI high", "95% CI 上限"}, [](auto&, C c) { return Bound(c.ci95, &Interval::high); }},
        {Heading{"se", "SE", "SE"}.In(kDesign), [](auto&, C c) { return Number(c.se, Figure::Statistic); }},
        {{"t", "t", "t"}, [](auto&, C c) { return Number(c.t, Figure::Statistic); }},
        {{"df", "df", "自由度"}, [](auto&, C c) { return Df(c.df); }},
        {{"p", "p", "p 値"}, [](auto&, C c) { return Number(c.p, Figure::P); }},
        {study ? Heading{"cohenDz", "d_z", "d_z"} : Heading{"d", "d", "d"},
         [](auto&, C c) { return Number(c.d, Figure::Standardized); }},
        {(study
              ? Heading{"dzCiLow", "d_z CI low", "d_z CI 下限"}.JoinedAs(Join::Interval, "d_z CI",
                                                                         "d_z の信頼区間")
              : Heading{"dCiLow", "d CI low", "d CI 下限"}.JoinedAs(Join::Interval, "d CI", "d の信頼区間")),
         [](auto&, C c) { return Limit(c.dCI, &LevelInterval::lower, Figure::Standardized); }},
        {study ? Heading{"dzCiHigh", "d_z CI high", "d_z CI 上限"}
               : Heading{"dCiHigh", "d CI high", "d CI 上限"},
         [](auto&, C c) { return Limit(c.dCI, &LevelInterval::upper, Figure::Standardized); }},
        {Heading{"dAv", "d_av", "d_av"}.Within(), [](auto&, C c) { return Number(c.dAv, Figure::Standardized); }},
        {Heading{"gAv", "g_av", "g_av"}.Within(), [](auto&, C c) { return Number(c.gAv, Figure::Standardized); }},
    };
    const AdjustmentSet adjustments = r.options.adjustments;
    AddAdjustedColumns(columns, "p", adjustments, [](C c) -> C { return c; });
    const std::string english = AdjustmentList(adjustments, false),
                      japanese = AdjustmentList(adjustments, true);
    Table t = TabulateBorrowed(r, "Comparisons",
                       study ? Labels{"Pairwise comparisons (paired t; " + english + " within each family)",
                                      "対ごとの比較 (対応のある t 検定; " + japanese + " の調整は族ごと)"}
                             : Labels{"Pairwise comparisons (" + english + " within each factor's family)",
                                      "対ごとの比較 (" + japanese + " の調整は要因ごとの族で)"},
                       columns, r.comparisons);
    const std::string most = std::to_string(anova::kComparedLevels);
    bool atLevelsLeftOut = false;
    for (std::size_t k = 0; k < r.Factors(); ++k) {
        const bool compared = k >= r.shown.compared.size() || r.shown.compared[k];
        const std::string& name = r.FactorAt(k).name;
        if (!compared)
            t.notes.push_back({name + ": more than " + most + " levels; no comparisons.",
                               name + ": 水準が " + most + " を超えるため、比較は計算していません。"});
        atLevelsLeftOut = atLevelsLeftOut ||
                          (compared && r.Factors() > 1 && k < r.shown.comparedAtLevels.size() &&
                           !r.shown.comparedAtLevels[k]);
    }
    if (atLevelsLeftOut)
        t.notes.push_back(
            study ? Labels{"Too many pairs: the comparisons at each level of the other factor are "
                           "left out.",
                           "対が多すぎるため、他方の要因の各水準での比較は省きました。"}
                  : Labels{"Too many pairs: the comparisons at the levels of the other factors are "
                           "left out.",
                           "対が多すぎるため、他の要因の各水準での比較は省きました。"});
    return t;
}

// Each factor's analysis at each level of each other factor, on its own error term.
Table SimpleEffects(const Analysis& r, OutputLayout layout) {
    using E = const anova::SimpleEffect&;
    const bool study = layout == kStudy;
    const std::vector<Column<anova::SimpleEffect>> columns{
        {Heading{"effect", "Effect", "効果"}.Names(),
         [](auto& a, E s) { return Text(a.FactorAt(s.factor).name); }},
        {Heading{"at", "At", "条件"}.Names(), [layout](auto& a, E s) { return AtCell(a, s.at, layout); }},
        {{"ss", "SS", "平方和"}, [](auto&, E s) { return Number(s.ssBelowRange ? Opt{} : Opt(s.ss), Figure::Sum); }},
        {{"errorSs", "error SS", "誤差の平方和"},
         [](auto&, E s) { return Number(s.errorSsBelowRange ? Opt{} : Opt(s.errorSs), Figure::Sum); }},
        {{"f", "F", "F 値"}, [](auto&, E s) { return Number(s.f, Figure::Statistic); }},
        {{"df1", "df1", "df1"}, [](auto&, E s) { return Integer(s.df1); }},
        {{"df2", "df2", "df2"}, [](auto&, E s) { return Integer(s.df2); }},
        {{"p", "p", "p 値"}, [](auto&, E s) { return Number(s.p, Figure::P); }},
        {{"partialEtaSquared", "partial eta^2", "偏 η²"},
         [](auto&, E s) { return Number(s.partialEtaSquared, Figure::Proportion); }},
        {Heading{"etaCiLow", "eta^2 CI low", "偏 η² CI 下限"}.JoinedAs(Join::Interval, "partial eta^2 CI",
                                                                       "偏 η² の信頼区間"),
         [](auto&, E s) { return Limit(s.partialEtaSquaredCI, &LevelInterval::lower); }},
        {{"etaCiHigh", "eta^2 CI high", "偏 η² CI 上限"},
         [](auto&, E s) { return Limit(s.partialEtaSquaredCI, &LevelInterval::upper); }},
        {Heading{"ggEpsilon", "GG epsilon", "ε (GG)"}.Within(),
         [](auto&, E s) { return Number(s.ggEpsilon, Figure::Proportion); }},
        {Heading{"ggP", "p (GG)", "p (GG)"}.Within(), [](auto&, E s) { return Number(s.ggP, Figure::P); }},
    };
    Table t = TabulateBorrowed(r, "SimpleEffects",
                       study ? Labels{"Simple main effects", "単純主効果 (各水準での 1 要因の分析)"}
                             : Labels{"Simple effects", "単純効果 (各水準での 1 要因の分析)"},
                       columns, r.simpleEffects);
    for (const anova::SimpleEffect& s : r.simpleEffects)
        if (s.ssBelowRange || s.errorSsBelowRange) {
            t.notes.push_back({"SS shown as —: not zero, but nearer 0 than the number type reaches (about "
                               "1e-4951); F, p and partial eta squared are formed from the exact sums.",
                               "— の平方和は 0 ではありませんが、数値型の範囲 (約 1e-4951) より 0 "
                               "に近い値です。F 値、p 値、偏 η² は正確な和から求めています。"});
            break;
        }
    if (r.shown.simpleEffectsOmitted)
        t.notes.push_back(study ? Labels{"Too many levels: the simple main effects are left out.",
                                         "水準が多すぎるため、単純主効果は省きました。"}
                                : Labels{"Too many levels: the simple effects are left out.",
                                         "水準が多すぎるため、単純効果は省きました。"});
    return t;
}

}  // namespace morvane::tables
