// Each set analysed again and its figures compared with the published ones.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "MorvaneConfig.h"
#include "anova/Analysis.h"
#include "exchange/ExchangeFiles.h"
#include "output/OutputOptions.h"
#include "verify/Verify.h"

namespace morvane::verify {
namespace {

const anova::Effect* EffectKeyed(const anova::Analysis& analysis, const std::string& key) {
    for (const anova::Effect& effect : analysis.effects)
        if (effect.key == key) return &effect;
    return nullptr;
}

std::optional<Extended> Whole(std::int64_t value) { return static_cast<Extended>(value); }

std::optional<Extended> EffectFigure(const anova::Effect& e, const std::string& statistic) {
    if (statistic == "SS") return e.effect.ss;
    if (statistic == "df") return Whole(e.effect.df);
    if (statistic == "MS") return e.effect.ms;
    if (statistic == "errorSS") return e.error.ss;
    if (statistic == "errorDF") return Whole(e.error.df);
    if (statistic == "errorMS") return e.error.ms;
    if (statistic == "F") return e.f;
    if (statistic == "p") return e.p;
    if (statistic == "pes") return e.partialEtaSquared;
    if (statistic == "ges") return e.generalizedEtaSquared;
    if (!e.sphericity) return std::nullopt;
    const Sphericity& s = *e.sphericity;
    if (statistic == "epsGG") return s.greenhouseGeisser.epsilon;
    if (statistic == "pGG") return s.greenhouseGeisser.p;
    if (statistic == "epsHF") return s.huynhFeldt.epsilon;
    if (statistic == "pHF") return s.huynhFeldt.p;
    if (statistic == "mauchlyW") return s.mauchlyW;
    if (statistic == "mauchlyP") return s.pAsR;  // as R's mauchly.test forms it
    return std::nullopt;
}

// The one-way figures of a set whose replicates were paired as subjects: the
// treatment's sum of squares is the paired analysis's, and the within-treatment
// one pools the subjects' stratum with the treatment's error.
std::optional<Extended> OneWayFigure(const anova::Analysis& analysis, const std::string& statistic,
                                     const std::string& key) {
    if (!analysis.between.empty() || analysis.within.size() != 1 || analysis.strata.size() != 2) return std::nullopt;
    const anova::Effect* treatment = EffectKeyed(analysis, key);
    if (!treatment) return std::nullopt;
    const Extended betweenSS = treatment->effect.ss, withinSS = analysis.strata[0].error.ss + treatment->error.ss;
    const std::int64_t betweenDF = treatment->effect.df,
                       withinDF = analysis.strata[0].error.df + treatment->error.df;
    if (betweenDF < 1 || withinDF < 1) return std::nullopt;
    const Extended betweenMS = betweenSS / static_cast<Extended>(betweenDF),
                   withinMS = withinSS / static_cast<Extended>(withinDF);
    if (statistic == "betweenSS") return betweenSS;
    if (statistic == "withinSS") return withinSS;
    if (statistic == "betweenDF") return Whole(betweenDF);
    if (statistic == "withinDF") return Whole(withinDF);
    if (statistic == "betweenMS") return betweenMS;
    if (statistic == "withinMS") return withinMS;
    if (statistic == "onewayF" && withinMS > 0) return betweenMS / withinMS;
    if (statistic == "R2" && betweenSS + withinSS > 0) return betweenSS / (betweenSS + withinSS);
    if (statistic == "residualSD") return std::sqrt(withinMS);
    return std::nullopt;
}

std::optional<Extended> FriedmanFigure(const anova::Analysis& analysis, const std::string& statistic,
                                       const std::string& key) {
    for (const anova::FriedmanRow& row : analysis.rankBased.friedman) {
        if (row.cells || row.factor >= analysis.within.size() || analysis.within[row.factor].name != key)
            continue;
        if (statistic == "friedmanChi2") return row.test.chiSquare;
        if (statistic == "friedmanDF") return Whole(row.test.df);
        if (statistic == "friedmanP") return row.test.p;
    }
    return std::nullopt;
}

// The power of ten of the leading digit of x (other than zero), as x's decimal
// form of 18 significant digits shows it: a printed 1.00E-02 is of -2 whether
// its extended value falls just below or just above a hundredth.
int Exponent(Extended x) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17Le", x);
    const char* e = std::strchr(text, 'e');
    return e ? std::atoi(e + 1) : 0;
}

// The value of the last of `digits` significant digits of `published`.
Extended LastDigitUnit(Extended published, int digits) {
    const int e = published == 0 ? 0 : Exponent(published);
    return std::pow(10.0L, static_cast<Extended>(e - digits + 1));
}

Extended Parsed(const ExpectedFigure& figure, const std::string& set) {
    Extended value = 0;
    const char* end = figure.value.data() + figure.value.size();
    const auto [stop, error] = std::from_chars(figure.value.data(), end, value);
    if (error != std::errc() || stop != end)
        throw VerifyFormatError(set + ".expected: " + figure.name + " has no number: " + figure.value);
    return value;
}

}  // namespace

std::optional<Extended> PickFigure(const anova::Analysis& analysis, const std::string& name) {
    const std::size_t open = name.find('(');
    if (open == std::string::npos || !name.ends_with(")")) return std::nullopt;
    const std::string statistic = name.substr(0, open), key = name.substr(open + 1, name.size() - open - 2);
    std::optional<Extended> value;
    if (const anova::Effect* effect = EffectKeyed(analysis, key)) value = EffectFigure(*effect, statistic);
    if (!value) value = OneWayFigure(analysis, statistic, key);
    if (!value) value = FriedmanFigure(analysis, statistic, key);
    if (value && !std::isfinite(*value)) return std::nullopt;
    return value;
}

int AgreeingDigits(Extended published, Extended computed, int digits) {
    if (published == computed) return digits;
    if (published == 0) return WithinPrinted(published, computed, digits) ? digits : 0;
    const int e = Exponent(published);
    for (int k = digits; k >= 1; --k) {
        const Extended unit = std::pow(10.0L, static_cast<Extended>(e - k + 1));
        if (std::round(published / unit) == std::round(computed / unit)) return k;
    }
    return 0;
}

bool WithinPrinted(Extended published, Extended computed, int digits) {
    return std::fabs(computed - published) <= LastDigitUnit(published, digits) / 2;
}

bool SetCheck::AllWithin() const {
    for (const FigureCheck& figure : figures)
        if (!figure.within) return false;
    return true;
}

bool Verification::AllWithin() const {
    for (const SetCheck& set : sets)
        if (!set.AllWithin()) return false;
    return true;
}

std::size_t Verification::Figures() const {
    std::size_t n = 0;
    for (const SetCheck& set : sets) n += set.figures.size();
    return n;
}

SetCheck VerifyOne(const VerifySet& set) {
    SetCheck check{set.name, set.title, set.citation, set.call, set.dataPath, {}, {}, {}};
    const FileBytes data = ReadWholeFile(set.dataPath), expected = ReadWholeFile(set.expectedPath);
    check.dataSha256 = Sha256Hex(data.View());
    check.expectedSha256 = Sha256Hex(expected.View());
    anova::Options options;
    options.quantilePoints = false;
    const anova::Analysis analysis = anova::Analyse(ReadLongCsv(data.View(), set.roles), options);
    for (const ExpectedFigure& figure : set.figures) {
        FigureCheck row{figure, PickFigure(analysis, figure.name), 0, false};
        const Extended published = Parsed(figure, set.name);
        if (row.computed) {
            row.agreeingDigits = AgreeingDigits(published, *row.computed, figure.digits);
            row.within = WithinPrinted(published, *row.computed, figure.digits);
        }
        check.figures.push_back(std::move(row));
    }
    return check;
}

Verification Verify(const std::string& folder) {
    Verification verification;
    for (const VerifySet& set : LoadSets(folder)) verification.sets.push_back(VerifyOne(set));
    return verification;
}

BuildInfo ThisBuild() {
#if defined(__clang__)
    const char* compiler = "Clang " __clang_version__;
#elif defined(__GNUC__)
    const char* compiler = "GCC " __VERSION__;
#else
    const char* compiler = "unknown compiler";
#endif
    return {config::kVersion, compiler};
}

}  // namespace morvane::verify
