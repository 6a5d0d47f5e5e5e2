// The one engine's model of factorial repeated-measures designs against R:
// afex's aov_ez and car's Anova (with summary(..., multivariate = TRUE)) on
// designs made for the purpose and on two of afex's published data sets; and
// the same exact figures whatever the scores' units, averaging and width.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "anova/DesignsRData.h"
#include "runtime/Errors.h"

namespace morvane::anova {
namespace {

struct Layout {
    std::vector<std::pair<std::string, std::size_t>> between, within;
};

std::vector<std::string> Words(const char* text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

int Decimals(const std::string& text) {
    const std::size_t point = text.find('.');
    return point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
}

// A decimal as an integer of units of 10^-scale (scale at least its decimals).
Int128 Units(const std::string& text, int scale) {
    Int128 u = 0;
    for (const char c : text)
        if (c >= '0' && c <= '9') u = u * 10 + (c - '0');
    for (int k = Decimals(text); k < scale; ++k) u *= 10;
    return text[0] == '-' ? -u : u;
}

long double PowerOfTen(int k) {
    long double p = 1;
    for (int i = 0; i < k; ++i) p *= 10;
    return p;
}

// The design of `rows`, exact, each cell of one row; `scaleUp` more places of
// units than the scores have (the same scores in finer units).
DesignData MakeDesign(const Layout& layout, const std::vector<SubjectRow>& rows, int scaleUp = 0) {
    DesignData d;
    for (const auto& [name, n] : layout.between) {
        DesignFactor f{name, {}};
        for (std::size_t i = 0; i < n; ++i) f.levels.push_back(name + std::to_string(i + 1));
        d.between.push_back(f);
    }
    for (const auto& [name, n] : layout.within) {
        DesignFactor f{name, {}};
        for (std::size_t i = 0; i < n; ++i) f.levels.push_back(name + std::to_string(i + 1));
        d.within.push_back(f);
    }
    int scale = 0;
    for (const SubjectRow& r : rows)
        for (const std::string& w : Words(r.scores)) scale = std::max(scale, Decimals(w));
    scale += scaleUp;
    d.exact = true;
    d.scale = scale;
    for (const SubjectRow& r : rows) {
        d.subjects.push_back(r.id);
        std::int32_t group = 0;
        for (std::size_t f = 0; f < layout.between.size(); ++f)
            group = group * static_cast<std::int32_t>(layout.between[f].second) + r.levels[f];
        d.group.push_back(group);
        const std::vector<std::string> scores = Words(r.scores);
        EXPECT_EQ(scores.size(), d.Cells()) << r.id;
        for (const std::string& w : scores) {
            d.units.push_back(Units(w, scale));
            d.rows.push_back(1);
            d.values.push_back(static_cast<long double>(d.units.back()) / PowerOfTen(scale));
        }
    }
    d.subjectsRead = static_cast<std::int64_t>(rows.size());
    return d;
}

// Within `tolerance` relative; R's NA is an absent figure.
void Near(long double expected, std::optional<Extended> actual, const std::string& what,
          long double tolerance = 1e-12L) {
    if (std::isnan(expected)) {
        EXPECT_FALSE(actual) << what;
        return;
    }
    ASSERT_TRUE(actual) << what;
    EXPECT_LE(std::fabs(*actual - expected), tolerance * std::fabs(expected))
        << what << ": " << *actual << " against " << expected;
}

void ExpectFigures(const Analysis& a, const std::vector<Figures>& expected, const std::string& name) {
    ASSERT_EQ(a.effects.size(), expected.size()) << name;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Effect& e = a.effects[i];
        const Figures& x = expected[i];
        const std::string what = name + " " + x.key;
        EXPECT_EQ(e.key, x.key) << name;
        Near(x.ss, e.effect.ss, what + " SS");
        EXPECT_EQ(e.effect.df, x.df) << what;
        Near(x.errorSs, e.error.ss, what + " error SS");
        EXPECT_EQ(e.error.df, x.errorDf) << what;
        Near(x.f, e.f, what + " F");
        Near(x.p, e.p, what + " p");
        Near(x.ss / (x.ss + x.errorSs), e.partialEtaSquared, what + " partial eta squared");
        Near(x.ges, e.generalizedEtaSquared, what + " ges");
        if (std::isnan(x.gg) && e.sphericity) {
            // Fewer error degrees of freedom than contrasts: car and afex give no
            // epsilon (and the uncorrected test); this program computes them from
            // the singular covariance, whose rank N - g bounds Greenhouse and
            // Geisser's: 1/k <= epsilon <= (N - g)/k. Mauchly's test needs N - g >= k.
            const auto k = static_cast<long double>(e.sphericity->contrasts);
            const auto nu = static_cast<long double>(e.error.df) / k;
            EXPECT_LT(nu, k) << what;
            EXPECT_FALSE(e.sphericity->mauchlyW) << what;
            ASSERT_TRUE(e.sphericity->greenhouseGeisser.epsilon) << what;
            EXPECT_GE(*e.sphericity->greenhouseGeisser.epsilon, 1 / k - 1e-18L) << what;
            EXPECT_LE(*e.sphericity->greenhouseGeisser.epsilon, nu / k + 1e-18L) << what;
        } else if (std::isnan(x.gg)) {
            EXPECT_FALSE(e.sphericity) << what;
        } else if (!e.sphericity) {
            ADD_FAILURE() << what << ": no sphericity";
        } else {
            Near(x.mauchlyW, e.sphericity->mauchlyW, what + " Mauchly's W");
            // car's p is R's, with the total of within cells in the second-order term.
            Near(x.mauchlyP, e.sphericity->pAsR, what + " Mauchly's p");
            Near(x.gg, e.sphericity->greenhouseGeisser.epsilon, what + " GG epsilon");
            Near(x.hf, e.sphericity->huynhFeldt.epsilon, what + " HF epsilon");
        }
        if (std::isnan(x.mv[0])) {
            EXPECT_TRUE(!e.multivariate || e.multivariate->status != MultivariateStatus::Tested) << what;
            continue;
        }
        ASSERT_TRUE(e.multivariate) << what;
        if (e.multivariate->variables == 1) {
            // One contrast: R's four statistics are the univariate F test, which this program names so.
            EXPECT_EQ(e.multivariate->status, MultivariateStatus::OneDf) << what;
            Near(x.mv[1], e.f, what + " multivariate F of one contrast", 1e-11L);
            continue;
        }
        EXPECT_EQ(e.multivariate->status, MultivariateStatus::Tested) << what;
        const MultivariateStatistic* stats[] = {&e.multivariate->pillai, &e.multivariate->wilks,
                                                &e.multivariate->hotellingLawley, &e.multivariate->roy};
        for (std::size_t j = 0; j < 4; ++j) {
            const std::string statistic = what + " multivariate " + std::to_string(j);
            Near(x.mv[4 * j], stats[j]->value, statistic);
            Near(x.mv[4 * j + 1], stats[j]->f, statistic + " F");
            EXPECT_EQ(stats[j]->df1, x.mv[4 * j + 2]) << statistic;
            EXPECT_EQ(stats[j]->df2, x.mv[4 * j + 3]) << statistic;
            Near(x.mvP[j], stats[j]->p, statistic + " p");
        }
    }
}

struct Case {
    const char* name;
    Layout layout;
    const std::vector<SubjectRow>* rows;
    SsType type;
    std::vector<std::string> observed;
    const std::vector<Figures>* expected;
};

TEST(DesignsRTest, AgreesWithRAcrossDesigns) {
    const Layout twoBetween{{{"G1", 2}, {"G2", 2}}, {{"W1", 3}}};
    const Layout obk{{{"treatment", 3}, {"gender", 2}}, {{"phase", 3}, {"hour", 5}}};
    const std::vector<Case> cases = {
        // aov_ez(..., within = "W1")
        {"one within", {{}, {{"W1", 4}}}, &kOneWithinData, SsType::TypeIII, {}, &kOneWithinType3},
        // aov_ez(..., within = c("W1", "W2", "W3"))
        {"three within",
         {{}, {{"W1", 2}, {"W2", 3}, {"W3", 2}}},
         &kThreeWithinData,
         SsType::TypeIII,
         {},
         &kThreeWithinType3},
        // aov_ez(..., between = "G1", within = c("W1", "W2")): groups of 3, 4 and 6
        {"one between",
         {{{"G1", 3}}, {{"W1", 3}, {"W2", 2}}},
         &kOneBetweenData,
         SsType::TypeIII,
         {},
         &kOneBetweenType3},
        // aov_ez(..., between = c("G1", "G2"), within = "W1", type = 3 or 2): cells of 2, 3, 5, 3
        {"two between III", twoBetween, &kTwoBetweenData, SsType::TypeIII, {}, &kTwoBetweenType3},
        {"two between II", twoBetween, &kTwoBetweenData, SsType::TypeII, {}, &kTwoBetweenType2},
        // the same, type 3, observed = "G2"
        {"two between observed",
         twoBetween,
         &kTwoBetweenData,
         SsType::TypeIII,
         {"G2"},
         &kTwoBetweenObservedType3},
        // aov_ez(..., between = "G1", within = "W1"): a group of one subject
        {"single subject cell",
         {{{"G1", 3}}, {{"W1", 3}}},
         &kSingleSubjectCellData,
         SsType::TypeIII,
         {},
         &kSingleSubjectCellType3},
        // aov_ez(..., between = "G1", within = "W1"): N - g = 2 below the 4 contrasts
        {"few subjects",
         {{{"G1", 2}}, {{"W1", 5}}},
         &kFewSubjectsData,
         SsType::TypeIII,
         {},
         &kFewSubjectsType3},
        // aov_ez(..., between = c("G1", "G2"), within = "W1", type = 3 or 2): 7 x 7 cells of 2 or 3
        {"many cells III",
         {{{"G1", 7}, {"G2", 7}}, {{"W1", 3}}},
         &kManyCellsData,
         SsType::TypeIII,
         {},
         &kManyCellsType3},
        {"many cells II",
         {{{"G1", 7}, {"G2", 7}}, {{"W1", 3}}},
         &kManyCellsData,
         SsType::TypeII,
         {},
         &kManyCellsType2},
        // data(obk.long, package = "afex"); aov_ez("id", "value", obk.long, between = c("treatment",
        // "gender"),
        //   within = c("phase", "hour"), observed = "gender", type = 3 or 2)
        {"obk.long III", obk, &kObkData, SsType::TypeIII, {"gender"}, &kObkType3},
        {"obk.long II", obk, &kObkData, SsType::TypeII, {"gender"}, &kObkType2},
        // data(md_12.1, package = "afex"); aov_ez("id", "rt", md_12.1, within = c("noise", "angle"))
        {"md_12.1", {{}, {{"noise", 2}, {"angle", 3}}}, &kMdData, SsType::TypeIII, {}, &kMdType3},
    };
    for (const Case& c : cases) {
        Options options;
        options.type = c.type;
        options.observed = c.observed;
        ExpectFigures(Analyse(MakeDesign(c.layout, *c.rows), options), *c.expected, c.name);
    }
    // Whether the two types agree says so: they differ with two between
    // factors of unequal cells, and do not with one.
    EXPECT_FALSE(Analyse(MakeDesign(twoBetween, kTwoBetweenData)).typesAgree);
    EXPECT_TRUE(Analyse(MakeDesign({{{"G1", 3}}, {{"W1", 3}}}, kSingleSubjectCellData)).typesAgree);
}

// Eta squared, partial omega squared and Cohen's f of every effect against R,
// figured by hand from afex's tables:
//   fit <- aov_ez("id", "dv", d, between = ..., within = ..., type = 3)
//   a <- summary(fit$Anova, multivariate = FALSE)$univariate.tests
//   sss <- a["(Intercept)", "Error SS"]; mss <- sss / a["(Intercept)", "den Df"]   # the subjects'
//   a <- a[rownames(a) != "(Intercept)", ]; N <- length(unique(d$id))
//   ss <- a[, "Sum Sq"]; df <- a[, "num Df"]; ess <- a[, "Error SS"]; mse <- ess / a[, "den Df"]
//   eta2 <- ss / sum((d$dv - mean(d$dv))^2)
//   omega2 <- (ss - df * mse) / (ss + (N - df) * mse)       # between effects
//   omega2 <- (ss - df * mse) / (ss + ess + sss + mss)      # within effects
//   f <- sqrt(ss / ess)
TEST(DesignsRTest, MoreEffectSizesAgreeWithR) {
    struct Sizes {
        const char* key;
        long double eta2, omega2, f;
    };
    // clang-format off
    const std::vector<Sizes> threeWithin = {
        {"W1", 0.28526510477988842318L, 0.616267309088129212L, 2.16042516011384311L},
        {"W2", 0.11659406382690624959L, 0.365251081795711918L, 1.28617690055958667L},
        {"W3", 0.00083201589612737876L, -0.070235285110322232L, 0.10069712968909349L},
        {"W1:W2", 0.00467660250451314066L, -0.042583798606432098L, 0.25206256313645026L},
        {"W1:W3", 0.01564454731223781023L, 0.102955217445426322L, 1.06193265499965750L},
        {"W2:W3", 0.01133616986484775775L, -0.026697279357283801L, 0.33301233857973400L},
        {"W1:W2:W3", 0.00425567741383905355L, -0.044182614619527438L, 0.24253885863915309L},
    };
    // Cells of 2, 3, 5 and 3 subjects; G2 measured, which none of the three heeds.
    const std::vector<Sizes> twoBetween = {
        {"G1", 0.09306332427694885556L, 0.0397443306659974460L, 0.413395315261199603L},
        {"G2", 0.00033831303889940011L, -0.0828287971281152363L, 0.024925027032026186L},
        {"G1:G2", 0.03225501721636558211L, -0.0372550146252634273L, 0.243374408434378048L},
        {"W1", 0.02998735104955201416L, 0.0040923870019480965L, 0.355155154944948592L},
        {"G1:W1", 0.03504415740608069624L, 0.0098292380672945229L, 0.383934272615935546L},
        {"G2:W1", 0.01006728719644040503L, -0.0191683684929354267L, 0.205781012567000182L},
        {"G1:G2:W1", 0.00226446615950222450L, -0.0285786625524453268L, 0.097595993233012795L},
    };
    // clang-format on
    const auto expect = [](const Analysis& a, const std::vector<Sizes>& sizes, const std::string& what) {
        ASSERT_EQ(a.effects.size(), sizes.size()) << what;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const Effect& e = a.effects[i];
            ASSERT_EQ(e.key, sizes[i].key) << what;
            Near(sizes[i].eta2, e.etaSquared, what + " " + e.key + " eta2", 1e-13L);
            Near(sizes[i].omega2, e.partialOmegaSquared, what + " " + e.key + " omega2", 1e-13L);
            Near(sizes[i].f, e.cohensF, what + " " + e.key + " f", 1e-13L);
            // f is partial eta squared's, whatever its rounding.
            const Extended eta = *e.partialEtaSquared;
            Near(std::sqrt(eta / (1 - eta)), e.cohensF, what + " " + e.key + " f of eta", 1e-15L);
        }
    };
    expect(Analyse(MakeDesign({{}, {{"W1", 2}, {"W2", 3}, {"W3", 2}}}, kThreeWithinData)), threeWithin,
           "three within");
    Options observed;
    observed.observed = {"G2"};
    observed.effectSizes = Options::EffectSizes::Every();
    expect(Analyse(MakeDesign({{{"G1", 2}, {"G2", 2}}, {{"W1", 3}}}, kTwoBetweenData), observed), twoBetween,
           "two between observed");

    // Without error: eta squared stands, omega squared is the effect's share
    // beside the subjects' 15 and their mean square 5, f has no divisor. One
    // subject: no error df, none.
    const std::vector<SubjectRow> additive = {
        {"s1", {}, "1 2 4.5"}, {"s2", {}, "3 4 6.5"}, {"s3", {}, "0 1 3.5"}, {"s4", {}, "2 3 5.5"}};
    const Effect e = Analyse(MakeDesign({{}, {{"W1", 3}}}, additive)).effects.at(0);
    EXPECT_EQ(e.etaSquared, 26.0L / 41.0L);  // the subjects' 15 about the grand mean beside the effect's 26
    EXPECT_EQ(e.partialOmegaSquared, 26.0L / 46.0L);
    EXPECT_FALSE(e.cohensF);
    const Effect alone = Analyse(MakeDesign({{}, {{"W1", 3}}}, {{"s1", {}, "1 2 4.5"}})).effects.at(0);
    EXPECT_FALSE(alone.etaSquared || alone.partialOmegaSquared || alone.cohensF);
}

// Every figure of the two analyses' effects, the same to the bit where
// `tolerance` is 0, else within it relative.
void Same(std::optional<Extended> a, std::optional<Extended> b, const std::string& what,
          long double tolerance) {
    ASSERT_EQ(a.has_value(), b.has_value()) << what;
    if (!a) return;
    if (tolerance == 0)
        EXPECT_EQ(*a, *b) << what;
    else
        EXPECT_LE(std::fabs(*a - *b), tolerance * std::max<long double>(std::fabs(*b), 1e-300L)) << what;
}

void SameSphericity(const std::optional<Sphericity>& a, const std::optional<Sphericity>& b,
                    const std::string& what, long double tolerance) {
    ASSERT_EQ(a.has_value(), b.has_value()) << what;
    if (!a) return;
    Same(a->mauchlyW, b->mauchlyW, what + " W", tolerance);
    Same(a->greenhouseGeisser.epsilon, b->greenhouseGeisser.epsilon, what + " GG", tolerance);
    Same(a->huynhFeldt.epsilon, b->huynhFeldt.epsilon, what + " HF", tolerance);
}

// Every figure of two analyses of the same design, to the bit where tolerance is 0.
void SameAnalysis(const Analysis& a, const Analysis& b, const std::string& what,
                  long double tolerance) {
    ASSERT_EQ(a.effects.size(), b.effects.size()) << what;
    for (std::size_t k = 0; k < a.effects.size(); ++k) {
        const Effect &x = a.effects[k], &y = b.effects[k];
        const std::string effect = what + " " + x.key;
        Same(x.effect.ss, y.effect.ss, effect + " SS", tolerance);
        Same(x.error.ss, y.error.ss, effect + " error SS", tolerance);
        Same(x.f, y.f, effect + " F", tolerance);
        Same(x.p, y.p, effect + " p", tolerance * 100);
        Same(x.generalizedEtaSquared, y.generalizedEtaSquared, effect + " ges", tolerance);
        SameSphericity(x.sphericity, y.sphericity, effect, tolerance * 100);
        ASSERT_EQ(x.multivariate.has_value(), y.multivariate.has_value()) << effect;
        if (x.multivariate)
            Same(x.multivariate->wilks.value, y.multivariate->wilks.value, effect + " Wilks",
                 tolerance * 100);
    }
}

TEST(DesignsRTest, ArithmeticsAgree) {
    const Layout layout{{{"G1", 3}}, {{"W1", 3}, {"W2", 2}}};
    const DesignData base = MakeDesign(layout, kOneBetweenData);
    const Analysis expected = Analyse(base);
    // The same scores in units of 10^-11: wider integers, the same exact figures.
    SameAnalysis(Analyse(MakeDesign(layout, kOneBetweenData, 9)), expected, "finer units", 0);
    // Each cell the mean of one to three equal rows: a common denominator, the same figures.
    DesignData averaged = base;
    for (std::size_t k = 0; k < averaged.units.size(); ++k) {
        averaged.rows[k] = static_cast<std::int32_t>(1 + k % 3);
        averaged.units[k] *= averaged.rows[k];
    }
    SameAnalysis(Analyse(averaged), expected, "averaged rows", 0);
    // Cells whose means are no decimals (a third): exact all the same, as
    // the extended scores' figures are to within rounding.
    DesignData thirds = base;
    thirds.rows.assign(thirds.rows.size(), 3);
    DesignData extended = thirds;
    extended.exact = false;
    extended.units.clear(), extended.rows.clear();
    for (long double& v : extended.values) v /= 3;
    SameAnalysis(Analyse(extended), Analyse(thirds), "extended", 1e-15L);
    // Scores too wide for integers are taken in extended precision.
    DesignData wide = base;
    for (Int128& u : wide.units) u *= static_cast<Int128>(1) << 70;
    for (long double& v : wide.values) v *= 1180591620717411303424.0L;  // 2^70
    const Analysis wideAnalysis = Analyse(wide);
    for (std::size_t k = 0; k < expected.effects.size(); ++k) {
        Same(wideAnalysis.effects[k].f, expected.effects[k].f, "wide F", 1e-15L);
        Same(wideAnalysis.effects[k].effect.ss, std::ldexp(expected.effects[k].effect.ss, 140), "wide SS",
             1e-15L);
    }
}

TEST(DesignsRTest, UndefinedFiguresAreAbsent) {
    // Scores that are each subject's level plus each cell's effect: no error
    // at all, so no F and no p, and no sphericity figures from a null
    // covariance; the sums of squares stand.
    const std::vector<SubjectRow> additive = {
        {"s1", {}, "1 2 4.5"}, {"s2", {}, "3 4 6.5"}, {"s3", {}, "0 1 3.5"}, {"s4", {}, "2 3 5.5"}};
    const Analysis a = Analyse(MakeDesign({{}, {{"W1", 3}}}, additive));
    ASSERT_EQ(a.effects.size(), 1u);
    EXPECT_EQ(a.effects[0].effect.ss,
              26.0L);  // 4 subjects times the squares of the means 1.5, 2.5, 5 about 3
    EXPECT_TRUE(a.effects[0].error.zero);
    EXPECT_FALSE(a.effects[0].f);
    EXPECT_FALSE(a.effects[0].p);
    // A between cell without subjects cannot be analysed.
    DesignData empty = MakeDesign({{{"G1", 3}}, {{"W1", 3}}}, kSingleSubjectCellData);
    for (std::int32_t& g : empty.group)
        if (g == 0) g = 1;
    EXPECT_THROW(Analyse(empty), RangeError);
}

}  // namespace
}  // namespace morvane::anova
