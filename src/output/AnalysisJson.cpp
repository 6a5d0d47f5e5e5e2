#include "output/AnalysisJson.h"

#include "analysis/ResultFields.h"
#include "output/Conventions.h"
#include "output/JsonWriter.h"
#include "output/detail/JsonFields.h"

namespace morvane {
namespace {

// AnalysisJson, between the univariate figures and the checks: the conventions
// by name, and the figures' provenance.
void WriteConventions(JsonWriter& j, const FullAnalysis& r, const OutputOptions& options) {
    OutputOptions english = options;
    english.language = OutputLanguage::English;
    j.Key("conventions");
    j.Open('{');
    for (const Convention& c : Conventions(r, english))
        if (c.key != "correction") j.Key(c.key), j.String(c.text);
    j.Key("effectSizeLevel"), j.Number(r.options.effectSizeLevel);
    j.Close('}');
    json::WriteProvenance(j, options.provenance);
}

}  // namespace

std::string AnalysisJson(const FullAnalysis& r, const OutputOptions& options) {
    JsonWriter j;
    json::JsonFields fields(j);
    j.Open('{');
    ForEachUnivariateField(r, fields);
    WriteConventions(j, r, options);
    ForEachModelCheckField(r, fields);
    j.Key("numbersOutsideDoubleRange"), j.Bool(j.OutsideDoubleRange());
    j.Close('}');
    return j.Text() + "\n";
}

}  // namespace morvane
