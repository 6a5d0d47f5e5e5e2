#pragma once
// The follow-up analyses asked for in words, as morvane anova takes them and
// the results window's analysis settings give them: --adjust, --effect-sizes,
// --alpha, --ci-level, --trend, --spacing, --contrast, --cells,
// --simple-interactions and --observed. One reader turns the words into
// anova::Options (the tool's options and the dialog's fields both), one writer
// turns Options back into the words that ask for them, so that the command a
// window names gives its tables.

#include <gmpxx.h>

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "anova/Analysis.h"
#include "design/Design.h"

namespace morvane {

// A value these options refuse, with the sentence the tool shows.
struct OptionValueError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An option as given: its name with "--" and its value (none for a flag).
struct OptionWord {
    std::string name;
    std::optional<std::string> value;
    bool operator==(const OptionWord&) const = default;
};

// The effect sizes by the names --effect-sizes takes, in its usage's order.
struct EffectSizeName {
    const char* name;
    bool anova::Options::EffectSizes::*chosen;
};
inline constexpr std::array<EffectSizeName, 5> kEffectSizeNames{{
    {"eta2", &anova::Options::EffectSizes::etaSquared},
    {"omega2", &anova::Options::EffectSizes::partialOmegaSquared},
    {"f", &anova::Options::EffectSizes::cohensF},
    {"gomega2", &anova::Options::EffectSizes::generalizedOmegaSquared},
    {"fconv", &anova::Options::EffectSizes::cohensFPowerPrograms},
}};

// A decimal ("-0.25", "3") or a fraction of integers ("-1/3") exactly; none for any other text.
std::optional<mpq_class> ExactNumber(std::string_view text);

// Reads the options one by one into `options`; Finish, once all are read,
// gives the spacings to their trends.
class AnalysisOptionReader {
public:
    explicit AnalysisOptionReader(anova::Options& options) : options_(options) {}
    // Whether `name` is one of these options; where it is, its value read
    // into the options (OptionValueError where it does not parse).
    bool Read(std::string_view name, const std::optional<std::string>& value);
    // OptionValueError for a spacing of a factor no --trend names.
    void Finish();

private:
    anova::Options& options_;
    std::vector<anova::ContrastPart> spacings_;
};

// The words each option is read from.
AdjustmentSet AdjustmentsNamed(const std::string& value);
anova::Options::EffectSizes EffectSizesNamed(const std::string& value);
Extended AlphaLevel(const std::string& text);
Extended IntervalLevel(const std::string& text);
// --contrast's "[NAME:]FACTOR=w1,...[*FACTOR=...]", named by its text without a name.
anova::ContrastRequest ContrastOf(const std::string& text);
// --spacing's "FACTOR=v1,v2,..." (one factor's).
anova::ContrastPart SpacingOf(const std::string& text);

// The words that ask for what `options` holds beyond the defaults, each
// valued option once (--contrast as often as there are contrasts), in the
// order the tool's usage lists them.
std::vector<OptionWord> OptionWordsOf(const anova::Options& options);
// The same as words of a command line: each name followed by its value.
std::vector<std::string> CommandWordsOf(const anova::Options& options);

// Why the trends, contrasts or cell interactions of `options` do not fit a
// design of these factors (the sentence the tool gives); empty where they fit.
std::string OptionsRefused(const std::vector<DesignFactor>& between, const std::vector<DesignFactor>& within,
                           const anova::Options& options);

}  // namespace morvane
