#pragma once
// The score texts of a study, held compactly. Seen from outside it is a
// three-dimensional array of byte strings indexed [subject][A level][B level],
// whose elements with an index 0 exist and hold the empty text. Inside, the
// texts as loaded lie end to end in one byte buffer in the data file's order
// (level of A outermost, then level of B, then the subject) and are found by
// their offsets; a text changed afterwards is held beside them until there are
// so many changes that the buffer is rebuilt with them.
//
// A text read from the array stays valid until the array is next changed.

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvane {

// The number of elements of an array of extents (n0, n1, n2), each at least
// zero; OutOfMemoryError when the product does not fit 64 bits.
std::uint64_t ElementCount(std::int64_t n0, std::int64_t n1, std::int64_t n2);

class CellTextArray;

// One element of a CellTextArray, read and assigned like a string.
class CellTextRef {
public:
    CellTextRef(CellTextArray& cells, std::int32_t s, std::int32_t a, std::int32_t b)
        : cells_(&cells), s_(s), a_(a), b_(b) {}

    CellTextRef& operator=(std::string_view text);
    CellTextRef& operator=(const CellTextRef& other) { return *this = other.View(); }
    CellTextRef(const CellTextRef&) = default;

    std::string_view View() const;
    operator std::string_view() const { return View(); }
    operator std::string() const { return std::string(View()); }
    bool empty() const { return View().empty(); }
    std::size_t size() const { return View().size(); }
    void clear() { *this = std::string_view(); }

    friend bool operator==(const CellTextRef& cell, std::string_view text) { return cell.View() == text; }
    // Two cells compare by their texts; without this C++20's reversed candidates make `x == y` ambiguous.
    friend bool operator==(const CellTextRef& x, const CellTextRef& y) { return x.View() == y.View(); }

private:
    CellTextArray* cells_;
    std::int32_t s_, a_, b_;
};

class CellTextArray {
public:
    // Gives the array the extents (n0, n1, n2), every text empty. An extent
    // below zero raises RangeError; more elements than the memory budget allows
    // (each counted at kAllowance bytes) raise OutOfMemoryError. The old texts
    // are released first.
    void Resize(std::int64_t n0, std::int64_t n1, std::int64_t n2);
    void Release();

    // What sizing sets aside for each element: its offset, its bytes and room
    // for changes, as much as one string object of its own would take.
    static constexpr std::uint64_t kAllowance = sizeof(std::string);

    std::string_view operator()(std::int32_t s, std::int32_t a, std::int32_t b) const {
        return Text(s, a, b);
    }
    CellTextRef operator()(std::int32_t s, std::int32_t a, std::int32_t b) { return {*this, s, a, b}; }

    std::string_view Text(std::int32_t s, std::int32_t a, std::int32_t b) const;
    // Stores `text` (which may be a text of this array) in element [s][a][b].
    // A text for an element with an index 0 raises RangeError, since those
    // elements hold the empty text only; memory exhausted raises OutOfMemoryError.
    void Set(std::int32_t s, std::int32_t a, std::int32_t b, std::string_view text);

    // visit(t, text) for the texts of subjects first + t, t from 0, up to
    // subject last at levels a and b (all from 1), in that order. A run of a
    // column is read straight from the buffer while the texts are all as
    // loaded (Plain()), the next run fetched ahead of its reading; the texts
    // of a column lie far apart from those of the other columns.
    template <typename Visit>
    void ForEachInColumn(std::int32_t a, std::int32_t b, std::int32_t first, std::int32_t last,
                         Visit&& visit) const;
    // Replaces the byte `from` with `to` in every text, lengths unchanged. Both
    // must be below 0x40, where no byte of a double-byte character of code
    // page 932 falls but its first, so a character is never cut; others raise
    // RangeError.
    void ReplaceByte(char from, char to);
    // Whether every text is as loaded: then nothing is held beside the buffer.
    bool Plain() const { return editSlots_.empty() && wide_.empty(); }

    std::int64_t Extent0() const { return n0_; }
    std::int64_t Extent1() const { return n1_; }
    std::int64_t Extent2() const { return n2_; }
    bool Empty() const { return n0_ == 0 || n1_ == 0 || n2_ == 0; }

    // Replaces every text with those given in the data file's order, for
    // s, a and b from 1: AppendText the bytes of a text, then EndText(). The
    // elements not reached when the filler goes (after an error, say) hold
    // the empty text.
    class Filler {
    public:
        explicit Filler(CellTextArray& cells);
        ~Filler();
        Filler(const Filler&) = delete;
        Filler& operator=(const Filler&) = delete;

        // Sets aside room for about `bytes` bytes of texts, and has a thread
        // of the filler's own map the pages of that room and of the offsets
        // while the texts are filled in, so that their page faults cost the
        // filling nothing. Only a saving: without the memory, or without a
        // thread, the texts grow as they come.
        void Reserve(std::size_t bytes);
        // Appends `part` to the text of the next element (OutOfMemoryError
        // without the memory).
        void AppendText(std::string_view part);
        // Ends the next element's text (OutOfMemoryError when its offset needs
        // memory that is not there).
        void EndText() {
            assert(next_ < cells_.cells_);
            const std::size_t end = cells_.bytes_.size();
            if (cells_.wide_.empty() && end <= kNarrowLimit)
                cells_.offsets_[++next_] = static_cast<std::uint32_t>(end);
            else
                SetOffset(end);
        }
        // Appends the texts of the next lengths.size() elements, which lie end
        // to end in `texts` (their lengths add up to its size), as appending
        // each and ending it would.
        void AppendTexts(std::string_view texts, std::span<const std::uint32_t> lengths);

    private:
        // The next element's offset where it may not fit 32 bits.
        void SetOffset(std::uint64_t end);
        // Grows the buffer by `more` bytes at least, once the mapping thread
        // is done with the room it may move.
        void MakeRoom(std::size_t more);
        // Waits for the mapping thread, before the memory it maps may move or go.
        void StopMapping();

        CellTextArray& cells_;
        std::size_t next_ = 0;  // elements ended so far
        // A thread of its own that maps the room of bytes_ and offsets_ as they stand.
        struct PageMapping;
        std::unique_ptr<PageMapping> mapping_;
    };

private:
    static constexpr std::uint64_t kNarrowLimit = UINT32_MAX;

    bool Inside(std::int64_t s, std::int64_t a, std::int64_t b) const {
        return s >= 0 && a >= 0 && b >= 0 && s < n0_ && a < n1_ && b < n2_;
    }
    // The position in file order of an element with every index from 1.
    std::size_t FileIndex(std::int32_t s, std::int32_t a, std::int32_t b) const {
        return static_cast<std::size_t>(((a - 1) * (n2_ - 1) + (b - 1)) * (n0_ - 1) + (s - 1));
    }
    std::string_view Stored(std::size_t k) const;
    // Asks the processor to fetch the texts of subjects first .. last of the
    // column whose subject 1 is element `column` in file order: the offsets,
    // and the bytes too unless `offsetsOnly`. The bytes are found through the
    // offsets, which should have been fetched this way a while before. Only a
    // hint, for a plain array.
    void Prefetch(std::size_t column, std::int64_t first, std::int64_t last, bool offsetsOnly) const;
    std::uint64_t Offset(std::size_t k) const { return wide_.empty() ? offsets_[k] : wide_[k]; }
    void SetOffset(std::size_t k, std::uint64_t offset);
    void Compact() noexcept;

    std::int64_t n0_ = 0, n1_ = 0, n2_ = 0;
    std::size_t cells_ = 0;  // the elements with every index from 1
    std::string bytes_;      // their texts as loaded, in file order

    // Offsets in 32 bits from calloc, whose fresh pages are zero without being
    // written: a loaded study's are written once, by the filler.
    class NarrowOffsets {
    public:
        NarrowOffsets() = default;
        NarrowOffsets(const NarrowOffsets& other) { *this = other; }
        NarrowOffsets& operator=(const NarrowOffsets& other);
        NarrowOffsets(NarrowOffsets&& other) noexcept { *this = std::move(other); }
        NarrowOffsets& operator=(NarrowOffsets&& other) noexcept;
        ~NarrowOffsets() { Clear(); }

        void Assign(std::size_t count);  // `count` zeros; std::bad_alloc without the memory
        void Clear();
        std::size_t size() const { return size_; }
        bool empty() const { return size_ == 0; }
        std::uint32_t* data() { return data_; }
        const std::uint32_t* data() const { return data_; }
        std::uint32_t* begin() { return data_; }
        std::uint32_t* end() { return data_ + size_; }
        std::uint32_t& operator[](std::size_t k) { return data_[k]; }
        std::uint32_t operator[](std::size_t k) const { return data_[k]; }

    private:
        std::uint32_t* data_ = nullptr;
        std::size_t size_ = 0;
    };

    // cells_ + 1 offsets into bytes_, text k from offset k to offset k + 1: in
    // 32 bits while bytes_ is shorter than 4 GiB, in 64 bits (wide_) after.
    NarrowOffsets offsets_;
    std::vector<std::uint64_t> wide_;
    // Once a text is changed, one entry per element in file order: 0, or 1 +
    // the index of its text in edits_.
    std::vector<std::uint32_t> editSlots_;
    std::vector<std::string> edits_;
};

}  // namespace morvane

#include "store/detail/CellTextsInline.h"
