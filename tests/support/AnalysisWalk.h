#pragma once
// The tests' record of an analysis: every field its one
// description (anova/AnalysisFields.h) walks, a line "path=value" each with
// every figure in hexadecimal, so that two analyses compare to the last bit
// and a difference names its field.

#include <cstdio>
#include <string>
#include <vector>

#include "anova/AnalysisFields.h"

namespace morvane::anova {

// Every field walked, as "path=value" with each figure in hexadecimal.
class Recorder {
public:
    std::vector<std::string> lines;

    void Number(const char* key, const std::optional<Extended>& v, Range) { Put(key, v ? Hex(*v) : "null"); }
    void Number(const char* key, Extended v, Range) { Put(key, Hex(v)); }
    void P(const char* key, const std::optional<Extended>& p, bool) { Number(key, p, Range::Any); }
    void Integer(const char* key, std::int64_t v) { Put(key, std::to_string(v)); }
    void OptionalInteger(const char* key, std::optional<std::int64_t> v) {
        Put(key, v ? std::to_string(*v) : "null");
    }
    void Bool(const char* key, bool v) { Put(key, v ? "true" : "false"); }
    void Text(const char* key, const char* text) { Put(key, text); }
    void Texts(const char* key, const std::vector<std::string>& texts) {
        std::string all;
        for (const std::string& t : texts) all += t + "|";
        Put(key, all);
    }
    void Numbers(const char* key, const std::vector<Extended>& numbers) {
        std::string all;
        for (const Extended x : numbers) all += Hex(x) + "|";
        Put(key, all);
    }
    void Null(const char* key) { Put(key, "null"); }
    void IntegerPair(const char* key, std::int64_t a, std::int64_t b, bool defined) {
        Put(key, defined ? std::to_string(a) + "," + std::to_string(b) : "null");
    }
    void NumberPair(const char* key, const std::optional<Extended>& a, const std::optional<Extended>& b) {
        Put(key, a && b ? Hex(*a) + "," + Hex(*b) : "null");
    }
    void Interval(const char* key, const std::optional<morvane::Interval>& i) {
        Put(key, i ? Hex(i->low) + "," + Hex(i->high) : "null");
    }
    void Limits(const char* key, const std::optional<LevelInterval>& i, Range) {
        Put(key, i ? Hex(i->level) + "," + Hex(i->lower) + "," + Hex(i->upper) : "null");
    }
    template <class Walk>
    void Group(const char* key, Walk walk) {
        Enter(key);
        walk();
        path_.pop_back();
    }
    template <class T, class Walk>
    void Optional(const char* key, T& value, Walk walk) {
        if (!value) return Null(key);
        Group(key, [&] { walk(*value); });
    }
    template <class T, class Walk>
    void List(const char* key, T& list, Walk walk) {
        for (std::size_t i = 0; i < list.size(); ++i)
            Group((std::string(key) + "[" + std::to_string(i) + "]").c_str(), [&] { walk(list[i]); });
        Put(key, std::to_string(list.size()));
    }

private:
    static std::string Hex(Extended v) {
        char text[64];
        std::snprintf(text, sizeof text, "%La", v);
        return text;
    }
    void Enter(const std::string& key) { path_.push_back(key); }
    void Put(const char* key, const std::string& value) {
        std::string line;
        for (const std::string& p : path_) line += p + "/";
        lines.push_back(line + key + "=" + value);
    }
    std::vector<std::string> path_;
};

// Every field of the analysis walked by its one description, the design's
// own fields with `design`, and the Q-Q points and the part within the
// subjects, which no description walks.
inline std::vector<std::string> Walked(const Analysis& a, bool design = true) {
    Recorder r;
    const Keys keys{a, Keying::Design, true};
    if (design) ForEachDesignField(a, r, keys);
    ForEachModelField(a, r, keys);
    ForEachFollowUpField(a, r, keys);
    ForEachCheckField(a, r, keys);
    ForEachRankField(a, r, keys);
    for (const Stratum& s : a.strata)
        for (const QuantilePoint& q : s.quantiles)
            r.Number(s.key.c_str(), q.normal + 1000 * q.studentized, Range::Any);
    r.Number("withinSubjects", a.withinSubjects.ss, Range::Any);
    return r.lines;
}

}  // namespace morvane::anova
