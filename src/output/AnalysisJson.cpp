#include "output/AnalysisJson.h"

#include "anova/AnalysisFields.h"
#include "output/Conventions.h"
#include "output/JsonWriter.h"
#include "output/detail/JsonFields.h"
#include "report/PrecisionFields.h"

namespace morvane {
namespace {

// AnalysisJson: the conventions by name, and the figures' provenance.
void WriteConventions(JsonWriter& j, const anova::Analysis& r, const OutputOptions& options) {
    OutputOptions english = options;
    english.language = OutputLanguage::English;
    j.Key("conventions");
    j.Open('{');
    for (const Convention& c : Conventions(r, english))
        if (c.key != "correction") j.Key(c.key), j.String(c.text);
    j.Key("effectSizeLevel"), j.Number(r.options.effectSizeLevel);
    j.Key("alpha"), j.Number(r.options.alpha);
    j.Close('}');
    json::WriteProvenance(j, options.provenance);
}

}  // namespace

std::string AnalysisJson(const anova::Analysis& r, const OutputOptions& options,
                         const PrecisionCheck* precision) {
    std::string text;
    WriteAnalysisJson(r, options, precision, [&](std::string_view piece) { text += piece; });
    return text;
}

void WriteAnalysisJson(const anova::Analysis& r, const OutputOptions& options, const PrecisionCheck* precision,
                       const std::function<void(std::string_view)>& write) {
    JsonWriter j;
    j.SpillTo(write);
    json::JsonFields fields(j);
    j.Open('{');
    if (options.layout == OutputLayout::Study) {
        // The study's order: its model and follow-ups, its precision, then the checks.
        const anova::Keys keys{r, anova::Keying::Study};
        anova::ForEachDesignField(r, fields, keys);
        anova::ForEachModelField(r, fields, keys);
        anova::ForEachFollowUpField(r, fields, keys);
        if (precision) fields.Group("precision", [&] { ForEachField(*precision, fields); });
        WriteConventions(j, r, options);
        anova::ForEachCheckField(r, fields, keys);
        anova::ForEachRankField(r, fields, keys);
        anova::ForEachRobustnessField(r, fields, keys);
        anova::ForEachPlanningField(r, fields, keys);
    } else {
        const anova::Keys keys{r, anova::Keying::Design};
        anova::ForEachDesignField(r, fields, keys);
        WriteConventions(j, r, options);
        anova::ForEachModelField(r, fields, keys);
        anova::ForEachFollowUpField(r, fields, keys);
        anova::ForEachCheckField(r, fields, keys);
        if (!r.rankBased.friedman.empty() || !r.rankBased.alignedRanks.empty())
            anova::ForEachRankField(r, fields, keys);
        j.Key("rankTestsOmitted");
        if (r.rankBased.omitted.empty())
            j.Null();
        else
            j.String(r.rankBased.omitted);
        anova::ForEachRobustnessField(r, fields, keys);
        anova::ForEachPlanningField(r, fields, keys);
    }
    j.Key("numbersOutsideDoubleRange"), j.Bool(j.OutsideDoubleRange());
    j.Close('}');
    write(j.TakeLine());
}

}  // namespace morvane
