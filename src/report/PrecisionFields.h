#pragma once
// The fields of the precision check (report/PrecisionCheck.h) described once,
// in the visitor style of stats/FigureFields.h: the JSON of the data file's
// study writes them under "precision".

#include <cstdint>
#include <optional>

#include "report/PrecisionCheck.h"
#include "runtime/FieldRange.h"

namespace morvane {

template <ResultOf<PrecisionFigure> F, class V>
void ForEachField(F& f, V& v) {
    v.Number("resultsFile", f.resultsFile, Range::Any);
    v.Number("exact", f.exact, Range::Any);
    v.OptionalInteger("correctDigits",
                      f.resultsFile ? std::optional<std::int64_t>(f.correctDigits) : std::nullopt);
}

template <ResultOf<PrecisionCheck> P, class V>
void ForEachField(P& p, V& v) {
    for (auto& f : p.sums) v.Group(f.name, [&] { ForEachField(f, v); });
    v.Bool("summaryTableExact", p.summaryTableExact);
    v.Bool("summaryTableComplete", p.summaryTableComplete);
    v.Text("method", p.method == PartitionMethod::Exact ? "exact" : "centred");
}

}  // namespace morvane
