#include "output/AnalysisOptionWords.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

#include "exchange/Csv.h"

namespace morvane {
namespace {

// The parts of `text` between each `separator`.
std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return parts;
        from = at + 1;
    }
}

bool Digits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// "FACTOR=v1,v2,..." as the factor and its numbers; the error names `option` otherwise.
anova::ContrastPart PartOf(const std::string& option, const std::string& text) {
    const std::size_t equals = text.rfind('=');
    if (equals == std::string::npos || equals == 0)
        throw OptionValueError(option + " is FACTOR=v1,v2,...: " + text);
    anova::ContrastPart part{text.substr(0, equals), {}};
    for (const std::string& value : Split(text.substr(equals + 1), ',')) {
        const std::optional<mpq_class> number = ExactNumber(value);
        if (!number)
            throw OptionValueError(option + " takes decimals or fractions, not \"" + value + "\": " + text);
        part.weights.push_back(*number);
    }
    return part;
}

// The column names of --trend and --observed, parted by commas (quoted as CSV to hold one).
std::vector<std::string> Names(const std::string& option, const std::string& value) {
    std::vector<std::string> names = csv::SplitRecord(value);
    for (const std::string& name : names)
        if (name.empty()) throw OptionValueError(option + " names a factor with an empty name: " + value);
    return names;
}

// --cells: interactions "A:B" parted by commas, or all (every two-factor one).
void ReadCells(const std::string& value, anova::Options& options) {
    for (const std::string& entry : csv::SplitRecord(value)) {
        if (entry == "all") {
            options.allCellInteractions = true;
            continue;
        }
        std::vector<std::string> factors = Split(entry, ':');
        for (const std::string& name : factors)
            if (name.empty()) throw OptionValueError("--cells names interactions as A:B, or all: " + value);
        if (factors.size() < 2)
            throw OptionValueError("--cells " + entry + ": an interaction of two or more factors");
        options.cellInteractions.push_back(std::move(factors));
    }
}

// A level in its shortest decimal that reads back as the same number.
std::string LevelText(Extended level) {
    std::array<char, 64> text{};
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), level);
    return error == std::errc() ? std::string(text.data(), end) : std::string("0.05");
}

// Names parted by commas, each quoted as a CSV field where it needs to be.
std::string NameList(const std::vector<std::string>& names, char joint = ',') {
    std::string list;
    for (const std::string& name : names) {
        if (!list.empty()) list += joint;
        csv::AppendField(list, name);
    }
    return list;
}

std::string NumberList(const std::vector<mpq_class>& numbers) {
    std::string list;
    for (const mpq_class& n : numbers) list += (list.empty() ? "" : ",") + n.get_str();
    return list;
}

// --contrast's text of `c`: its parts, its name before them unless it is their text.
std::string ContrastText(const anova::ContrastRequest& c) {
    std::string body;
    for (const anova::ContrastPart& part : c.parts)
        body += (body.empty() ? "" : "*") + part.factor + "=" + NumberList(part.weights);
    return c.name == body ? body : c.name + ":" + body;
}

}  // namespace

std::optional<mpq_class> ExactNumber(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    mpq_class value;
    if (const std::size_t slash = text.find('/'); slash != std::string_view::npos) {
        const std::string_view num = text.substr(0, slash), den = text.substr(slash + 1);
        if (!Digits(num) || !Digits(den)) return std::nullopt;
        const mpz_class d{std::string(den)};
        if (d == 0) return std::nullopt;
        value = mpq_class(mpz_class(std::string(num)), d);
        value.canonicalize();
    } else {
        const std::size_t point = text.find('.');
        const std::string_view whole = text.substr(0, point), fraction = point == std::string_view::npos
                                                                             ? std::string_view()
                                                                             : text.substr(point + 1);
        if (!(Digits(whole) || (whole.empty() && !fraction.empty())) ||
            (point != std::string_view::npos && !Digits(fraction)))
            return std::nullopt;
        mpz_class scale = 1;
        for (std::size_t i = 0; i < fraction.size(); ++i) scale *= 10;
        value = mpq_class(mpz_class(std::string(whole.empty() ? "0" : whole) + std::string(fraction)), scale);
        value.canonicalize();
    }
    return negative ? mpq_class(-value) : value;
}

AdjustmentSet AdjustmentsNamed(const std::string& value) {
    if (value == "all") return AdjustmentSet::Every();
    AdjustmentSet chosen = AdjustmentSet::None();
    for (const std::string& name : Split(value, ',')) {
        const auto named = std::find_if(kAdjustmentNames.begin(), kAdjustmentNames.end(),
                                        [&](const AdjustmentNames& n) { return name == n.option; });
        if (named == kAdjustmentNames.end()) {
            std::string names;
            for (const AdjustmentNames& n : kAdjustmentNames) names += std::string(n.option) + ", ";
            throw OptionValueError("unknown adjustment \"" + name + "\": --adjust names one or more of " +
                                   names + "parted by commas, or all");
        }
        chosen.Add(named->adjustment);
    }
    return chosen;
}

anova::Options::EffectSizes EffectSizesNamed(const std::string& value) {
    if (value == "all") return anova::Options::EffectSizes::Every();
    anova::Options::EffectSizes chosen;
    for (const std::string& name : Split(value, ',')) {
        const auto named = std::find_if(kEffectSizeNames.begin(), kEffectSizeNames.end(),
                                        [&](const EffectSizeName& n) { return name == n.name; });
        if (named == kEffectSizeNames.end())
            throw OptionValueError("unknown effect size \"" + name +
                                   "\": --effect-sizes names one or more of eta2, omega2, f, gomega2, fconv, "
                                   "parted by commas, or all");
        chosen.*(named->chosen) = true;
    }
    return chosen;
}

// `text` as a number strictly between 0 and 1; refused with `refusal` and the text.
static Extended Proportion(const std::string& text, const char* refusal) {
    Extended value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value > 0 && value < 1))
        throw OptionValueError(refusal + text);
    return value;
}

Extended AlphaLevel(const std::string& text) {
    return Proportion(text, "--alpha is a number between 0 and 1: ");
}

Extended IntervalLevel(const std::string& text) {
    return Proportion(text, "the interval level is a number between 0 and 1: ");
}

anova::ContrastRequest ContrastOf(const std::string& text) {
    anova::ContrastRequest c;
    std::string body = text;
    const std::size_t colon = text.find(':'), equals = text.find('=');
    if (colon != std::string::npos && colon < equals) {
        c.name = text.substr(0, colon);
        body = text.substr(colon + 1);
        if (c.name.empty()) throw OptionValueError("--contrast has an empty name: " + text);
    } else {
        c.name = text;
    }
    for (const std::string& part : Split(body, '*')) c.parts.push_back(PartOf("--contrast", part));
    return c;
}

anova::ContrastPart SpacingOf(const std::string& text) {
    return PartOf("--spacing", text);
}

bool AnalysisOptionReader::Read(std::string_view name, const std::optional<std::string>& value) {
    const std::string v = value.value_or(std::string());
    if (name == "--adjust") {
        options_.adjustments = AdjustmentsNamed(v);
    } else if (name == "--effect-sizes") {
        options_.effectSizes = EffectSizesNamed(v);
    } else if (name == "--alpha") {
        options_.alpha = AlphaLevel(v);
    } else if (name == "--ci-level") {
        options_.effectSizeLevel = IntervalLevel(v);
    } else if (name == "--simple-interactions") {
        options_.simpleInteractions = true;
    } else if (name == "--observed") {
        options_.observed = Names("--observed", v);
    } else if (name == "--trend") {
        for (std::string& factor : Names("--trend", v)) options_.trends.push_back({std::move(factor), {}});
    } else if (name == "--spacing") {
        for (const std::string& entry : Split(v, ';')) {
            anova::ContrastPart part = SpacingOf(entry);
            for (const anova::ContrastPart& s : spacings_)
                if (s.factor == part.factor)
                    throw OptionValueError("--spacing gives " + part.factor + " twice");
            spacings_.push_back(std::move(part));
        }
    } else if (name == "--contrast") {
        options_.contrasts.push_back(ContrastOf(v));
    } else if (name == "--cells") {
        ReadCells(v, options_);
    } else {
        return false;
    }
    return true;
}

void AnalysisOptionReader::Finish() {
    for (anova::ContrastPart& s : spacings_) {
        bool named = false;
        for (anova::TrendRequest& t : options_.trends)
            if (t.factor == s.factor) t.scores = s.weights, named = true;
        if (!named) throw OptionValueError("--spacing gives " + s.factor + ", which --trend does not name");
    }
    spacings_.clear();
}

std::vector<OptionWord> OptionWordsOf(const anova::Options& options) {
    const anova::Options defaults;
    std::vector<OptionWord> words;
    if (!options.observed.empty()) words.push_back({"--observed", NameList(options.observed)});
    if (options.effectSizeLevel != defaults.effectSizeLevel)
        words.push_back({"--ci-level", LevelText(options.effectSizeLevel)});
    if (options.alpha != defaults.alpha) words.push_back({"--alpha", LevelText(options.alpha)});
    if (!(options.adjustments == defaults.adjustments)) {
        std::string names;
        for (const AdjustmentNames& n : kAdjustmentNames)
            if (options.adjustments.Has(n.adjustment))
                names += (names.empty() ? "" : ",") + std::string(n.option);
        // No adjustment at all has no name: the tool's least choice is one.
        if (!names.empty()) words.push_back({"--adjust", names});
    }
    if (!(options.effectSizes == defaults.effectSizes)) {
        std::string names;
        for (const EffectSizeName& n : kEffectSizeNames)
            if (options.effectSizes.*(n.chosen)) names += (names.empty() ? "" : ",") + std::string(n.name);
        words.push_back({"--effect-sizes", names});
    }
    std::vector<std::string> trends;
    std::string spacing;
    for (const anova::TrendRequest& t : options.trends) {
        trends.push_back(t.factor);
        if (!t.scores.empty())
            spacing += (spacing.empty() ? "" : ";") + t.factor + "=" + NumberList(t.scores);
    }
    if (!trends.empty()) words.push_back({"--trend", NameList(trends)});
    if (!spacing.empty()) words.push_back({"--spacing", spacing});
    for (const anova::ContrastRequest& c : options.contrasts)
        words.push_back({"--contrast", ContrastText(c)});
    std::vector<std::string> cells;
    if (options.allCellInteractions) cells.emplace_back("all");
    for (const std::vector<std::string>& interaction : options.cellInteractions) {
        std::string joined;
        for (const std::string& f : interaction) joined += (joined.empty() ? "" : ":") + f;
        cells.push_back(std::move(joined));
    }
    if (!cells.empty()) words.push_back({"--cells", NameList(cells)});
    if (options.simpleInteractions) words.push_back({"--simple-interactions", std::nullopt});
    return words;
}

std::vector<std::string> CommandWordsOf(const anova::Options& options) {
    std::vector<std::string> words;
    for (OptionWord& w : OptionWordsOf(options)) {
        words.push_back(std::move(w.name));
        if (w.value) words.push_back(std::move(*w.value));
    }
    return words;
}

std::string OptionsRefused(const std::vector<DesignFactor>& between, const std::vector<DesignFactor>& within,
                           const anova::Options& options) {
    DesignData factors;
    factors.between = between;
    factors.within = within;
    if (std::string why = anova::ContrastsRefused(factors, options); !why.empty()) return why;
    return anova::CellsRefused(factors, options);
}

}  // namespace morvane
