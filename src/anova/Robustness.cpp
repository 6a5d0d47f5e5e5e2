// The robustness of each effect's decision: whether its tests, uncorrected,
// corrected, multivariate and rank-based, reach the same decision at the
// analysis' alpha, from the p values the analysis already holds, and a
// sentence in each language where they do not.

#include <string>
#include <vector>

#include "anova/Analysis.h"

namespace morvane::anova {
namespace {

Decision Decide(const std::optional<Extended>& p, Extended alpha) {
    if (!p) return Decision::None;
    return *p < alpha ? Decision::Significant : Decision::NotSignificant;
}

// The rank-based test of the effect, and its p: Friedman's of the one within
// factor of a design without groups, else the aligned rank transform's of the effect.
std::optional<Extended> RankP(const Analysis& r, const Effect& e, RankTest& which) {
    which = RankTest::None;
    if (!e.between.empty() || !r.between.empty()) return std::nullopt;
    if (r.within.size() == 1) {
        for (const FriedmanRow& f : r.rankBased.friedman)
            if (!f.cells && f.factor == 0) {
                which = RankTest::Friedman;
                return f.test.p;
            }
        return std::nullopt;
    }
    for (const AlignedRankRow& a : r.rankBased.alignedRanks)
        if (a.key == e.key) {
            which = RankTest::AlignedRanks;
            return a.test.p;
        }
    return std::nullopt;
}

// An effect's decisions by each test (see Decision).
RobustnessRow RowOf(const Analysis& r, std::size_t index, Extended alpha) {
    const Effect& e = r.effects[index];
    RobustnessRow row;
    row.effect = index;
    auto& d = row.decisions;
    const auto at = [&](RobustTest t) -> Decision& { return d[static_cast<std::size_t>(t)]; };
    at(RobustTest::Uncorrected) = Decide(e.p, alpha);
    if (e.within.empty()) return row;
    if (e.sphericity) {
        at(RobustTest::GreenhouseGeisser) = Decide(e.sphericity->greenhouseGeisser.p, alpha);
        at(RobustTest::HuynhFeldt) = Decide(e.sphericity->huynhFeldt.p, alpha);
        at(RobustTest::LowerBound) = Decide(e.sphericity->lowerBound.p, alpha);
    } else if (e.effect.df == 1) {
        at(RobustTest::GreenhouseGeisser) = at(RobustTest::HuynhFeldt) = at(RobustTest::LowerBound) =
            at(RobustTest::Uncorrected);
    }
    if (e.multivariate && e.multivariate->status == MultivariateStatus::Tested)
        at(RobustTest::Multivariate) = Decide(e.multivariate->pillai.p, alpha);
    else if (e.multivariate && e.multivariate->status == MultivariateStatus::OneDf)
        at(RobustTest::Multivariate) = at(RobustTest::Uncorrected);
    at(RobustTest::RankBased) = Decide(RankP(r, e, row.rank), alpha);
    return row;
}

// A test as a sentence lists it: the word it shares with the test before it
// ("with", "by") said once.
struct Phrase {
    const char* lead;
    const char* english;
    const char* japanese;
};

Phrase PhraseOf(RobustTest test, RankTest rank) {
    switch (test) {
        case RobustTest::Uncorrected:
            return {"", "uncorrected", "補正なし"};
        case RobustTest::GreenhouseGeisser:
            return {"with ", "Greenhouse–Geisser", "Greenhouse–Geisser"};
        case RobustTest::HuynhFeldt:
            return {"with ", "Huynh–Feldt", "Huynh–Feldt"};
        case RobustTest::LowerBound:
            return {"with ", "the lower bound", "下限"};
        case RobustTest::Multivariate:
            return {"by ", "the multivariate test", "多変量検定"};
        case RobustTest::RankBased:
            break;
    }
    if (rank == RankTest::Friedman) return {"by ", "Friedman's test", "Friedman 検定"};
    return {"by ", "the aligned rank test", "整列順位検定"};
}

bool Latin(char c) {
    return static_cast<unsigned char>(c) < 0x80 && c != ' ';
}

// "a and b", "a, b and c" ("or" for `last` "or"); in Japanese "a と b", "a、b と c".
std::string Listed(const std::vector<Phrase>& phrases, bool japanese, const char* last) {
    std::string out;
    const char* lead = nullptr;
    for (std::size_t i = 0; i < phrases.size(); ++i) {
        const Phrase& p = phrases[i];
        if (i > 0) {
            const bool final = i + 1 == phrases.size();
            if (japanese) {
                const std::string joiner = final ? "と" : "、";
                const std::string next = p.japanese;
                out += (final && Latin(out.back()) ? " " : "") + joiner + (final && Latin(next[0]) ? " " : "");
            } else {
                out += final ? std::string(" ") + last + " " : ", ";
            }
        }
        if (japanese) {
            out += p.japanese;
            continue;
        }
        if (lead == nullptr || std::string(lead) != p.lead) out += p.lead;
        lead = p.lead;
        out += p.english;
    }
    return out;
}

// The sentence of an effect whose tests disagree, in each language.
void Say(const Analysis& r, RobustnessRow& row) {
    std::vector<Phrase> significant, not_;
    for (std::size_t t = 0; t < kRobustTests; ++t) {
        const Decision d = row.decisions[t];
        if (d == Decision::None) continue;
        (d == Decision::Significant ? significant : not_).push_back(PhraseOf(static_cast<RobustTest>(t), row.rank));
    }
    const std::string& name = r.effects[row.effect].name;
    row.sentence =
        name + ": significant " + Listed(significant, false, "and") + ", not " + Listed(not_, false, "or") + ".";
    const std::string sig = Listed(significant, true, ""), non = Listed(not_, true, "");
    row.japanese = name + ": " + sig + (Latin(sig.back()) ? " " : "") + "では有意、" + non +
                   (Latin(non.back()) ? " " : "") + "では有意でない。";
}

}  // namespace

std::vector<RobustnessRow> Robustness(const Analysis& analysis, Extended alpha) {
    std::vector<RobustnessRow> rows;
    for (std::size_t i = 0; i < analysis.effects.size(); ++i) {
        RobustnessRow row = RowOf(analysis, i, alpha);
        Decision first = Decision::None;
        for (const Decision d : row.decisions) {
            if (d == Decision::None) continue;
            if (first == Decision::None) first = d;
            row.agree = row.agree && d == first;
        }
        if (!row.agree) Say(analysis, row);
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace morvane::anova
