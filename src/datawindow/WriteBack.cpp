#include "datawindow/WriteBack.h"

#include <algorithm>

#include "widgets/StringGridModel.h"

namespace morvane {
namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

// The subjects and levels of B that both the store and the grid hold for
// `level`, or nothing when the level is outside the store.
struct Extent {
    std::int32_t subjects = 0;
    std::int32_t levelsB = 0;
};

// A released store shares nothing; a grid whose sizing ran out of memory may
// be smaller than the study.
Extent Shared(const StudyStore& store, std::int32_t level, const widgets::StringGridModel& grid) {
    if (level < 1 || level > store.LevelCountA || !HasItsExtents(store, StudyArrays::Texts)) return {};
    const std::int64_t subjects =
        std::min<std::int64_t>(std::int64_t{store.SubjectCount}, std::int64_t{grid.RowCount()} - 1);
    const std::int64_t levelsB =
        std::min<std::int64_t>(std::int64_t{store.LevelCountB}, std::int64_t{grid.ColCount()} - 1);
    return {static_cast<std::int32_t>(std::max<std::int64_t>(subjects, 0)),
            static_cast<std::int32_t>(std::max<std::int64_t>(levelsB, 0))};
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

void WriteBackGrid(StudyStore& store, std::int32_t level, const widgets::StringGridModel& grid) {
    const Extent extent = Shared(store, level, grid);
    for (std::int32_t s = 1; s <= extent.subjects; ++s)
        for (std::int32_t b = 1; b <= extent.levelsB; ++b)
            store.CellText(s, level, b) = TrimBlanks(grid.Cell(b, s));
}

void LoadGrid(const StudyStore& store, std::int32_t level, widgets::StringGridModel& grid) {
    const Extent extent = Shared(store, level, grid);
    for (std::int32_t s = 1; s <= extent.subjects; ++s)
        for (std::int32_t b = 1; b <= extent.levelsB; ++b) grid.CellRef(b, s) = store.CellText(s, level, b);
    grid.CellsChanged(1, 1, extent.levelsB, extent.subjects);
}

}  // namespace morvane
