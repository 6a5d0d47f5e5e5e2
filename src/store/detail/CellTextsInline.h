#pragma once
// Private to the store: the inline reading of the texts that CellTexts.h
// declares, with its hints to the processor to fetch a column's next texts.

#include <algorithm>
#include <cassert>

#include "store/CellTexts.h"

namespace morvane {

inline std::string_view CellTextArray::Stored(std::size_t k) const {
    if (!editSlots_.empty())
        if (const std::uint32_t slot = editSlots_[k]; slot != 0) return edits_[slot - 1];
    const std::uint64_t begin = Offset(k), end = Offset(k + 1);
    return {bytes_.data() + begin, static_cast<std::size_t>(end - begin)};
}

template <typename Visit>
void CellTextArray::ForEachInColumn(std::int32_t a, std::int32_t b, std::int32_t first, std::int32_t last,
                                    Visit&& visit) const {
    if (first > last) return;
    assert(first >= 1 && a >= 1 && b >= 1 && Inside(last, a, b));
    if (!Plain()) {
        for (std::int32_t s = first; s <= last; ++s)
            visit(static_cast<std::size_t>(s - first), Text(s, a, b));
        return;
    }
    // The next run's texts, and the offsets of the run after it, are fetched
    // while this one is read: a reader of one column after another comes back
    // to this one only after reading the others.
    const std::int64_t run = std::int64_t{last} - first + 1, subjects = n0_ - 1;
    const std::size_t column = FileIndex(1, a, b);
    Prefetch(column, last + 1, std::min(subjects, last + run), false);
    Prefetch(column, last + run + 1, std::min(subjects, last + 2 * run), true);
    const char* const bytes = bytes_.data();
    const std::uint32_t* const offsets = offsets_.data() + FileIndex(first, a, b);
    const auto count = static_cast<std::size_t>(run);
    for (std::size_t t = 0; t < count; ++t)
        visit(t, std::string_view(bytes + offsets[t], offsets[t + 1] - offsets[t]));
}

inline void CellTextArray::Prefetch(std::size_t column, std::int64_t first, std::int64_t last,
                                    bool offsetsOnly) const {
    if (first > last) return;
    constexpr std::size_t kLine = 64;
    const std::uint32_t* const begin = offsets_.data() + column + static_cast<std::size_t>(first - 1);
    const std::uint32_t* const end = offsets_.data() + column + static_cast<std::size_t>(last);
    const char* const to = reinterpret_cast<const char*>(end) + sizeof(std::uint32_t);
    for (const char* p = reinterpret_cast<const char*>(begin); p < to; p += kLine) __builtin_prefetch(p);
    if (offsetsOnly) return;
    const char* const bytes = bytes_.data();
    for (std::size_t p = *begin; p < *end; p += kLine) __builtin_prefetch(bytes + p);
}

inline std::string_view CellTextArray::Text(std::int32_t s, std::int32_t a, std::int32_t b) const {
    assert(Inside(s, a, b));
    if (s < 1 || a < 1 || b < 1) return {};
    return Stored(FileIndex(s, a, b));
}

inline std::string_view CellTextRef::View() const {
    return cells_->Text(s_, a_, b_);
}

inline CellTextRef& CellTextRef::operator=(std::string_view text) {
    cells_->Set(s_, a_, b_, text);
    return *this;
}

}  // namespace morvane
