// Each set analysed again and its figures compared with the published ones.

#include <algorithm>
#include <charconv>
#include <iterator>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "MorvaneConfig.h"
#include "anova/Analysis.h"
#include "exchange/Csv.h"
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

// The one-way figures of a set: read as a within design pairing its
// replicates as subjects, the treatment's sum of squares is the paired
// analysis's and the within-treatment one pools the subjects' stratum with the
// treatment's error; read as a between design, they are the treatment's and
// its S/G error's.
std::optional<Extended> OneWayFigure(const anova::Analysis& analysis, const std::string& statistic,
                                     const std::string& key) {
    const bool paired = analysis.between.empty() && analysis.within.size() == 1 && analysis.strata.size() == 2;
    const bool between = analysis.within.empty() && analysis.between.size() == 1;
    const anova::Effect* treatment = EffectKeyed(analysis, key);
    if ((!paired && !between) || !treatment) return std::nullopt;
    Extended betweenSS = treatment->effect.ss, withinSS = treatment->error.ss;
    const std::int64_t betweenDF = treatment->effect.df;
    std::int64_t withinDF = treatment->error.df;
    if (paired) withinSS += analysis.strata[0].error.ss, withinDF += analysis.strata[0].error.df;
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

// Whether a figure is one of the one-way design's.
bool OneWayNamed(const std::string& name) {
    static const char* const names[] = {"betweenSS(", "withinSS(", "betweenDF(", "withinDF(", "betweenMS(",
                                        "withinMS(",  "onewayF(",  "R2(",        "residualSD("};
    return std::any_of(std::begin(names), std::end(names), [&](const char* n) { return name.starts_with(n); });
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

namespace {

// The rows of `figures` (those `keep` takes) computed from `analysis`.
template <class Keep>
void Compare(const anova::Analysis& analysis, const VerifySet& set, const std::string& reading, Keep keep,
             SetCheck& check) {
    for (const ExpectedFigure& figure : set.figures) {
        if (!keep(figure)) continue;
        FigureCheck row{figure, PickFigure(analysis, figure.name), 0, false, reading};
        const Extended published = Parsed(figure, set.name);
        if (row.computed) {
            row.agreeingDigits = AgreeingDigits(published, *row.computed, figure.digits);
            row.within = WithinPrinted(published, *row.computed, figure.digits);
        }
        check.figures.push_back(std::move(row));
    }
}

}  // namespace

std::string EveryRowItsOwnSubject(std::string_view text, const std::string& id) {
    const char separator = csv::DetectSeparator(text);
    csv::Reader reader(text, separator);
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    std::size_t column = 0, record = 0;
    for (bool header = true; reader.Next(); header = false) {
        if (header) {
            while (column < reader.Size() && reader.Field(column) != id) ++column;
        } else if (reader.Blank()) {
            continue;
        }
        for (std::size_t i = 0; i < reader.Size(); ++i) {
            if (i > 0) out += separator;
            if (i == column && !header) out += std::to_string(++record);
            else csv::AppendField(out, reader.Field(i));
        }
        out += '\n';
    }
    return out;
}

SetCheck VerifyOne(const VerifySet& set) {
    SetCheck check{set.name, set.title, set.citation, set.call, set.dataPath, {}, {}, {}};
    const FileBytes data = ReadWholeFile(set.dataPath), expected = ReadWholeFile(set.expectedPath);
    check.dataSha256 = Sha256Hex(data.View());
    check.expectedSha256 = Sha256Hex(expected.View());
    anova::Options options;
    options.quantilePoints = false;
    Compare(anova::Analyse(ReadLongCsv(data.View(), set.roles), options), set, {},
            [](const ExpectedFigure&) { return true; }, check);
    // A one-way set read again as its source analysed it: the rows between subjects.
    const bool oneWay = std::any_of(set.figures.begin(), set.figures.end(),
                                    [](const ExpectedFigure& f) { return OneWayNamed(f.name); });
    if (!oneWay || !set.roles.between.empty() || set.roles.within.size() != 1) return check;
    LongCsvRoles roles = set.roles;
    roles.between = roles.within, roles.within.clear();
    const anova::Analysis between = anova::Analyse(ReadLongCsv(EveryRowItsOwnSubject(data.View(), roles.id), roles),
                                                   options);
    Compare(between, set, "between subjects", [](const ExpectedFigure& f) { return OneWayNamed(f.name); }, check);
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
