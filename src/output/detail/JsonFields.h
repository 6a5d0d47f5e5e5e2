#pragma once
// The visitor of a result's fields (stats/FigureFields.h describes the
// members) that writes each as JSON, under the key its description gives it.
// Private to the output room.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "output/JsonWriter.h"
#include "output/OutputOptions.h"
#include "stats/FigureFields.h"

namespace morvane::json {

// The visitor of the results' fields that writes each as JSON.
class JsonFields {
public:
    explicit JsonFields(JsonWriter& j) : j_(j) {}

    void Number(const char* key, const std::optional<Extended>& v, Range) { j_.Key(key), j_.Number(v); }
    void Number(const char* key, Extended v, Range) { j_.Key(key), j_.Number(v); }
    void P(const char* key, const std::optional<Extended>& p, bool couldUnderflow) {
        j_.P(key, p, couldUnderflow);
    }
    void Integer(const char* key, std::int64_t v) { j_.Key(key), j_.Integer(v); }
    void OptionalInteger(const char* key, std::optional<std::int64_t> v) {
        j_.Key(key);
        if (v)
            j_.Integer(*v);
        else
            j_.Null();
    }
    void Bool(const char* key, bool v) { j_.Key(key), j_.Bool(v); }
    void Text(const char* key, const char* text) { j_.Key(key), j_.String(text); }
    void Texts(const char* key, const std::vector<std::string>& texts) {
        j_.Key(key);
        j_.Open('[');
        for (const std::string& t : texts) j_.String(t);
        j_.Close(']');
    }
    void Numbers(const char* key, const std::vector<Extended>& numbers) {
        j_.Key(key);
        j_.Open('[');
        for (const Extended x : numbers) j_.Number(x);
        j_.Close(']');
    }
    void Null(const char* key) { j_.Key(key), j_.Null(); }
    void IntegerPair(const char* key, std::int64_t first, std::int64_t second, bool defined) {
        j_.Key(key), j_.IntegerPair(first, second, defined);
    }
    void NumberPair(const char* key, const std::optional<Extended>& first,
                    const std::optional<Extended>& second) {
        j_.Key(key);
        if (!first || !second) return j_.Null();
        j_.Open('[');
        j_.Number(first);
        j_.Number(second);
        j_.Close(']');
    }
    void Interval(const char* key, const std::optional<morvane::Interval>& i) {
        j_.Key(key);
        if (!i) return j_.Null();
        j_.Open('[');
        j_.Number(i->low);
        j_.Number(i->high);
        j_.Close(']');
    }
    void Limits(const char* key, const std::optional<LevelInterval>& i, Range) {
        j_.Key(key);
        if (!i) return j_.Null();
        j_.Open('{');
        j_.Key("level"), j_.Number(i->level);
        j_.Key("lower"), j_.Number(i->lower);
        j_.Key("upper"), j_.Number(i->upper);
        j_.Close('}');
    }
    template <class Walk>
    void Group(const char* key, Walk walk) {
        j_.Key(key);
        j_.Open('{');
        walk();
        j_.Close('}');
    }
    template <class T, class Walk>
    void Optional(const char* key, const std::optional<T>& value, Walk walk) {
        if (!value) return j_.Key(key), j_.Null();
        j_.Key(key);
        j_.Open('{');
        walk(*value);
        j_.Close('}');
    }
    template <class T, class Walk>
    void List(const char* key, const std::vector<T>& list, Walk walk) {
        j_.Key(key);
        j_.Open('[');
        for (const T& element : list) {
            j_.Open('{');
            walk(element);
            j_.Close('}');
        }
        j_.Close(']');
    }

private:
    JsonWriter& j_;
};

// The figures' provenance under "provenance": the program, its version, the
// data's SHA-256 and, for a window's analysis, the command that repeats it.
inline void WriteProvenance(JsonWriter& j, const Provenance& provenance) {
    j.Key("provenance");
    j.Open('{');
    j.Key("program"), j.String("morvane");
    j.Key("version");
    if (provenance.version.empty())
        j.Null();
    else
        j.String(provenance.version);
    j.Key("dataSha256");
    if (provenance.dataSha256)
        j.String(*provenance.dataSha256);
    else
        j.Null();
    if (provenance.command) j.Key("command"), j.String(*provenance.command);
    j.Close('}');
}

}  // namespace morvane::json
