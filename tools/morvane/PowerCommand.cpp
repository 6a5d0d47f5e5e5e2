#include "PowerCommand.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <system_error>

#include "Arguments.h"
#include "ErrorEdge.h"
#include "output/JsonWriter.h"
#include "runtime/NumberText.h"
#include "runtime/TextWriter.h"
#include "stats/Power.h"

namespace morvane::tool {
namespace {

// The largest total N the search for N goes to.
constexpr long long kLargestN = 1000000000LL;

// What the options ask: the design, the effect size or none, and N or the power or both.
struct PowerRequest {
    PowerDesign design;
    std::optional<Extended> f, eta2p, power;
    std::optional<long long> n;
    bool json = false;
};

// What was found: the test at its N, and the effect f (given or found).
enum class Solved { Power, N, F };
struct PowerOutcome {
    Solved solved = Solved::Power;
    Extended f = 0;
    PowerAtN test;
};

// A number of an option, all of its text.
Extended NumberOf(const std::string& name, const std::string& text) {
    Extended value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        throw UsageError(name + " is a number: " + text);
    return value;
}

// A whole number of an option, from `least` to kLargestN.
long long CountOf(const std::string& name, const std::string& text, long long least) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < least ||
        value > kLargestN)
        throw UsageError(name + " is a whole number from " + std::to_string(least) + " to 1000000000: " + text);
    return value;
}

PowerEffect EffectNamed(const std::string& name) {
    if (name == "within") return PowerEffect::Within;
    if (name == "between") return PowerEffect::Between;
    if (name == "interaction") return PowerEffect::Interaction;
    throw UsageError("unknown effect " + name + ": --effect is within, between or interaction");
}

PowerConvention ConventionNamed(const std::string& name) {
    if (name == "gpower") return PowerConvention::PowerPrograms;
    if (name == "spss") return PowerConvention::StatisticsPackages;
    throw UsageError("unknown convention " + name + ": --convention is gpower or spss");
}

// The options read one by one, each to its field; true for those given.
struct Given {
    bool effect = false, levels = false, rho = false, epsilon = false;
};

Given ReadOptions(const Arguments& arguments, PowerRequest& r) {
    Given given;
    for (const Option& option : arguments.Options()) {
        const std::string& name = option.name;
        const std::string& value = *option.value;
        if (name == "--effect") {
            r.design.effect = EffectNamed(value), given.effect = true;
        } else if (name == "--levels") {
            r.design.measures = static_cast<int>(CountOf(name, value, 1)), given.levels = true;
        } else if (name == "--groups") {
            r.design.groups = static_cast<int>(CountOf(name, value, 1));
        } else if (name == "--f") {
            r.f = NumberOf(name, value);
            if (*r.f < 0) throw UsageError("--f is at least 0: " + value);
        } else if (name == "--eta2p") {
            r.eta2p = NumberOf(name, value);
            if (!(*r.eta2p >= 0 && *r.eta2p < 1)) throw UsageError("--eta2p is at least 0 and below 1: " + value);
        } else if (name == "--convention") {
            r.design.convention = ConventionNamed(value);
        } else if (name == "--rho") {
            r.design.rho = NumberOf(name, value), given.rho = true;
        } else if (name == "--epsilon") {
            r.design.epsilon = NumberOf(name, value), given.epsilon = true;
        } else if (name == "--alpha") {
            r.design.alpha = NumberOf(name, value);
        } else if (name == "--n") {
            r.n = CountOf(name, value, 2);
        } else if (name == "--power") {
            r.power = NumberOf(name, value);
        } else if (name == "--format") {
            if (value != "text" && value != "json") throw UsageError("unknown format " + value + ": text or json");
            r.json = value == "json";
        }
    }
    return given;
}

// Power, first: every option read and checked against the others.
PowerRequest Request(const Arguments& arguments) {
    if (arguments.FileCount() != 0) throw UsageError("morvane power takes no file names: " + arguments.Word(0));
    PowerRequest r;
    const Given given = ReadOptions(arguments, r);
    if (!given.effect || !given.levels) throw UsageError("morvane power needs --effect and --levels");
    if (r.f && r.eta2p) throw UsageError("--f and --eta2p are two ways to give one effect size: give one");
    const bool sized = r.f || r.eta2p;
    if (sized && r.n && r.power)
        throw UsageError("give --n for the power at N or --power for the smallest N, or both without --f or "
                         "--eta2p for the smallest effect");
    if (!r.n && !r.power) throw UsageError("morvane power needs --n, --power or both");
    if (!sized && !(r.n && r.power))
        throw UsageError("morvane power needs --f or --eta2p, or both --n and --power for the smallest effect");
    if (given.rho && r.design.convention == PowerConvention::StatisticsPackages)
        throw UsageError("--rho is for the gpower convention: the spss convention's lambda has no correlation");
    if (given.epsilon && r.design.effect == PowerEffect::Between)
        throw UsageError("--epsilon is for a within or interaction effect");
    const std::string_view problem = PowerDesignProblem(r.design);
    if (!problem.empty()) throw UsageError(std::string(problem));
    if (r.power && !(*r.power > r.design.alpha && *r.power < 1))
        throw UsageError("--power is above alpha and below 1: " + GeneralText(*r.power, 17));
    if (r.n && *r.n < SmallestPlannableN(r.design))
        throw UsageError("--n is at least the groups and one more (" +
                         std::to_string(SmallestPlannableN(r.design)) + "), for an error df");
    if (r.eta2p) r.f = FFromPartialEtaSquared(*r.eta2p);
    return r;
}

// Power, second: the test at N, the smallest N or the smallest f; absent when
// no N up to kLargestN reaches the power (or Boost cannot evaluate the tail).
std::optional<PowerOutcome> Solve(const PowerRequest& r) {
    if (!r.f) {
        const std::optional<DetectableEffect> found =
            SmallestDetectableF(r.design, static_cast<Extended>(*r.n), *r.power);
        if (!found) return std::nullopt;
        return PowerOutcome{Solved::F, found->f, found->test};
    }
    const std::optional<PowerAtN> test = r.n ? PowerOfTest(r.design, *r.f, static_cast<Extended>(*r.n))
                                             : SmallestNForPower(r.design, *r.f, *r.power, kLargestN);
    if (!test) return std::nullopt;
    return PowerOutcome{r.n ? Solved::Power : Solved::N, *r.f, *test};
}

const char* EffectName(PowerEffect effect) {
    switch (effect) {
        case PowerEffect::Within: return "within";
        case PowerEffect::Between: return "between";
        case PowerEffect::Interaction: return "interaction";
    }
    return "";
}

// The noncentrality's formula in the convention, as the text and the JSON state it.
const char* LambdaFormula(const PowerDesign& d) {
    const bool between = d.effect == PowerEffect::Between;
    if (d.convention == PowerConvention::StatisticsPackages)
        return between ? "f^2 (N - K)" : "f^2 (N - K)(M - 1) epsilon";
    return between ? "f^2 N M / (1 + (M - 1) rho)" : "f^2 N M epsilon / (1 - rho)";
}

// The smallest N with equal groups: the power grows with N, so the first multiple of K at or above N.
long long EqualGroupsN(const PowerDesign& d, Extended n) {
    const auto total = static_cast<long long>(n);
    return (total + d.groups - 1) / d.groups * d.groups;
}

std::string Json(const PowerRequest& r, const PowerOutcome& o) {
    const PowerDesign& d = r.design;
    const bool packages = d.convention == PowerConvention::StatisticsPackages;
    JsonWriter j;
    j.Open('{');
    j.Key("effect"); j.String(EffectName(d.effect));
    j.Key("convention"); j.String(packages ? "spss" : "gpower");
    j.Key("lambdaFormula"); j.String(LambdaFormula(d));
    j.Key("levels"); j.Integer(d.measures);
    j.Key("groups"); j.Integer(d.groups);
    j.Key("rho"); j.Number(packages ? std::nullopt : std::optional<Extended>(d.rho));
    j.Key("epsilon"); j.Number(d.effect == PowerEffect::Between ? std::nullopt : std::optional<Extended>(d.epsilon));
    j.Key("alpha"); j.Number(d.alpha);
    j.Key("solvedFor"); j.String(o.solved == Solved::Power ? "power" : o.solved == Solved::N ? "n" : "f");
    j.Key("f"); j.Number(o.f);
    j.Key("partialEtaSquared"); j.Number(r.eta2p ? *r.eta2p : PartialEtaSquaredFromF(o.f));
    j.Key("targetPower"); j.Number(r.power);
    j.Key("n"); j.Integer(static_cast<std::int64_t>(o.test.n));
    j.Key("nEqualGroups"); j.Integer(EqualGroupsN(d, o.test.n));
    j.Key("power"); j.Number(o.test.power);
    j.Key("lambda"); j.Number(o.test.lambda);
    j.Key("df1"); j.Number(o.test.df1);
    j.Key("df2"); j.Number(o.test.df2);
    j.Key("criticalF"); j.Number(o.test.criticalF);
    j.Close('}');
    return j.Text() + "\n";
}

std::string Figure(Extended value) {
    return GeneralText(value, 7);
}

std::string Text(const PowerRequest& r, const PowerOutcome& o) {
    const PowerDesign& d = r.design;
    const bool packages = d.convention == PowerConvention::StatisticsPackages;
    const bool between = d.effect == PowerEffect::Between;
    std::string t = std::string("Power of the F test of ") +
                    (d.effect == PowerEffect::Interaction ? "an " : "a ") + EffectName(d.effect) + " effect\n";
    t += packages ? "Convention: the statistics packages' (spss): f^2 = partial eta squared / (1 - partial eta "
                    "squared)\n  as an analysis reports it, lambda = f^2 times the effect's error df:\n"
                  : "Convention: the power programs' (gpower): f is the effect's standard deviation over the "
                    "within-cell\n  standard deviation, rho the correlation among the measures:\n";
    t += std::string("  lambda = ") + LambdaFormula(d) + "\n";
    t += "Design: M = " + std::to_string(d.measures) + " measures, K = " + std::to_string(d.groups) +
         (d.groups == 1 ? " group" : " groups");
    if (!packages) t += ", rho = " + Figure(d.rho);
    if (!between) t += ", epsilon = " + Figure(d.epsilon);
    t += ", alpha = " + Figure(d.alpha) + "\n";
    const Extended eta2p = r.eta2p ? *r.eta2p : PartialEtaSquaredFromF(o.f);
    t += (o.solved == Solved::F ? "Smallest detectable effect: f = " : "Effect: f = ") + Figure(o.f) +
         ", partial eta squared = " + Figure(eta2p) + "\n";
    const auto n = static_cast<long long>(o.test.n);
    if (o.solved == Solved::N) {
        t += "Smallest total N for power " + Figure(*r.power) + ": " + std::to_string(n) +
             " (the groups need not be equal";
        t += d.groups > 1 ? "; with equal groups " + std::to_string(EqualGroupsN(d, o.test.n)) + ")\n" : ")\n";
    } else {
        t += "Total N: " + std::to_string(n) + "\n";
    }
    t += "lambda = " + Figure(o.test.lambda) + ", df = " + Figure(o.test.df1) + ", " + Figure(o.test.df2) +
         ", critical F = " + Figure(o.test.criticalF) + "\n";
    t += "Power: " + Figure(o.test.power) + "\n";
    return t;
}

}  // namespace

int Power(std::span<const std::string> words) {
    const Arguments arguments(words, {},
                              {"--effect", "--levels", "--groups", "--f", "--eta2p", "--convention", "--rho",
                               "--epsilon", "--alpha", "--n", "--power", "--format"});
    const PowerRequest request = Request(arguments);
    const std::optional<PowerOutcome> outcome = Solve(request);
    if (!outcome) {
        ShowMessage(request.f && !request.n
                        ? "no total N up to 1000000000 reaches the power " + GeneralText(*request.power, 17)
                        : "the noncentral F cannot be evaluated for these figures");
        return 2;
    }
    TextWriter out("");
    out.Write(request.json ? Json(request, *outcome) : Text(request, *outcome));
    out.Close();
    return 0;
}

}  // namespace morvane::tool
