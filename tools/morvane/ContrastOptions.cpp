#include "ContrastOptions.h"

#include <cctype>
#include <vector>

#include "exchange/Csv.h"

namespace morvane::tool {
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

// "FACTOR=v1,v2,..." as the factor and its numbers; UsageError naming `option` otherwise.
anova::ContrastPart PartOf(const std::string& option, const std::string& text) {
    const std::size_t equals = text.rfind('=');
    if (equals == std::string::npos || equals == 0)
        throw UsageError(option + " is FACTOR=v1,v2,...: " + text);
    anova::ContrastPart part{text.substr(0, equals), {}};
    for (const std::string& value : Split(text.substr(equals + 1), ',')) {
        const std::optional<mpq_class> number = ExactNumber(value);
        if (!number)
            throw UsageError(option + " takes decimals or fractions, not \"" + value + "\": " + text);
        part.weights.push_back(*number);
    }
    return part;
}

// --contrast: "[NAME:]FACTOR=w1,...[*FACTOR=...]", named by its text without a name.
anova::ContrastRequest ContrastOf(const std::string& text) {
    anova::ContrastRequest c;
    std::string body = text;
    const std::size_t colon = text.find(':'), equals = text.find('=');
    if (colon != std::string::npos && colon < equals) {
        c.name = text.substr(0, colon);
        body = text.substr(colon + 1);
        if (c.name.empty()) throw UsageError("--contrast has an empty name: " + text);
    } else {
        c.name = text;
    }
    for (const std::string& part : Split(body, '*')) c.parts.push_back(PartOf("--contrast", part));
    return c;
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
            if (name.empty()) throw UsageError("--cells names interactions as A:B, or all: " + value);
        if (factors.size() < 2) throw UsageError("--cells " + entry + ": an interaction of two or more factors");
        options.cellInteractions.push_back(std::move(factors));
    }
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

void ReadContrastOptions(const Arguments& arguments, anova::Options& options) {
    std::vector<anova::ContrastPart> spacings;
    for (const Option& option : arguments.Options()) {
        if (option.name == "--trend") {
            for (const std::string& name : csv::SplitRecord(*option.value)) {
                if (name.empty())
                    throw UsageError("--trend names a factor with an empty name: " + *option.value);
                options.trends.push_back({name, {}});
            }
        } else if (option.name == "--spacing") {
            for (const std::string& entry : Split(*option.value, ';')) {
                anova::ContrastPart part = PartOf("--spacing", entry);
                for (const anova::ContrastPart& s : spacings)
                    if (s.factor == part.factor)
                        throw UsageError("--spacing gives " + part.factor + " twice");
                spacings.push_back(std::move(part));
            }
        } else if (option.name == "--contrast") {
            options.contrasts.push_back(ContrastOf(*option.value));
        } else if (option.name == "--cells") {
            ReadCells(*option.value, options);
        }
    }
    for (anova::ContrastPart& s : spacings) {
        bool named = false;
        for (anova::TrendRequest& t : options.trends)
            if (t.factor == s.factor) t.scores = s.weights, named = true;
        if (!named) throw UsageError("--spacing gives " + s.factor + ", which --trend does not name");
    }
}

void CheckContrastsFit(const DesignData& design, const anova::Options& options) {
    if (const std::string why = anova::ContrastsRefused(design, options); !why.empty()) throw UsageError(why);
    if (const std::string why = anova::CellsRefused(design, options); !why.empty()) throw UsageError(why);
}

}  // namespace morvane::tool
