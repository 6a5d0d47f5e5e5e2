#pragma once
// The study: the design's counts, the level names, the score texts and values.
// Levels and subjects are numbered from 1; element 0 of every array exists but
// is never used. Score arrays are indexed [subject][A level][B level].

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "runtime/Extended.h"
#include "store/CellTexts.h"

namespace morvane {

// A three-dimensional array of numbers with extents fixed by Resize.
template <typename T>
class ScoreArray {
    static_assert(std::is_trivially_copyable_v<T>, "zero bytes are the value zero");

public:
    ScoreArray() = default;
    ScoreArray(ScoreArray&&) noexcept = default;
    ScoreArray& operator=(ScoreArray&&) noexcept = default;
    ScoreArray(const ScoreArray& other);
    ScoreArray& operator=(const ScoreArray& other);

    // Gives the array the extents (n0, n1, n2), every element value-initialised.
    // An extent below zero raises RangeError; more elements than memory allows
    // raise OutOfMemoryError. The old elements are released first.
    void Resize(std::int64_t n0, std::int64_t n1, std::int64_t n2);
    void Release();

    T& operator()(std::int32_t s, std::int32_t a, std::int32_t b) { return data_.get()[Index(s, a, b)]; }
    const T& operator()(std::int32_t s, std::int32_t a, std::int32_t b) const {
        return data_.get()[Index(s, a, b)];
    }

    std::int64_t Extent0() const { return n0_; }
    std::int64_t Extent1() const { return n1_; }
    std::int64_t Extent2() const { return n2_; }
    bool Empty() const { return data_ == nullptr; }
    // The elements in index order: [s][a][b] with b fastest.
    T* Data() { return data_.get(); }
    const T* Data() const { return data_.get(); }

private:
    std::size_t Index(std::int32_t s, std::int32_t a, std::int32_t b) const {
        return static_cast<std::size_t>((s * n1_ + a) * n2_ + b);
    }

    struct Free {
        void operator()(T* elements) const { std::free(elements); }
    };
    // From calloc, whose fresh pages are zero without being written.
    std::unique_ptr<T, Free> data_;
    std::int64_t n0_ = 0, n1_ = 0, n2_ = 0;
};

using NameArray = std::vector<std::string>;

struct StudyStore {
    std::int32_t LevelCountA = 0;        // na
    std::int32_t LevelCountB = 0;        // nb
    std::int32_t SubjectCount = 0;       // N
    NameArray LevelNamesA;               // na + 1
    NameArray LevelNamesB;               // nb + 1
    CellTextArray CellText;              // (N + 1, na + 1, nb + 1)
    ScoreArray<Extended> CellValue;      // (N + 1, na + 1, nb + 1)
    std::int32_t CurrentTabLevel = 0;    // the level of A the data grid shows
    std::vector<Extended> ColumnTotals;  // nb + 1, used by the results report
};

// The one study of the process, shared by both windows.
StudyStore& TheStudy();

// The arrays of a study, sized and checked together.
enum class StudyArrays : unsigned {
    Names = 1,   // LevelNamesA (na + 1) and LevelNamesB (nb + 1)
    Texts = 2,   // CellText (N + 1, na + 1, nb + 1)
    Values = 4,  // CellValue (N + 1, na + 1, nb + 1)
    Totals = 8,  // ColumnTotals (nb + 1)
};
constexpr StudyArrays operator|(StudyArrays x, StudyArrays y) {
    return static_cast<StudyArrays>(static_cast<unsigned>(x) | static_cast<unsigned>(y));
}

// The one place where a study's arrays get the extents of its counts: each of
// `arrays` is sized anew, in the order names of A, names of B, texts, values,
// totals, with empty names and texts and zero values. A count below -1 raises
// RangeError, more than memory allows OutOfMemoryError; the arrays sized
// before the failure keep their new extents. Every hand-over of a study runs
// it: a new study, a loaded study, the data window's numeric store and the
// calculation's totals; ReleaseStudy undoes it.
void SizeStudy(StudyStore& store, StudyArrays arrays);

// Whether each of `arrays` has the extents of the store's counts: what the
// commands that read a handed-over study rely on. A released study has none.
bool HasItsExtents(const StudyStore& store, StudyArrays arrays);

// Sizes a name array to `extent` elements, all empty (RangeError below zero).
void SizeNames(NameArray& names, std::int64_t extent);
// SizeStudy of CellText, CellValue or ColumnTotals alone.
void SizeCellText(StudyStore& store);
void SizeCellValue(StudyStore& store);
void SizeColumnTotals(StudyStore& store);

// A new study from the levels window: na and nb are the sizes of the name lists,
// N is converted from `subjectText` ("'%s' は整数ではありません" when it does not
// convert), in the order A, B, N; then the names are copied untrimmed and every
// score text is empty.
void StartNewStudy(StudyStore& store, const std::vector<std::string>& namesA,
                   const std::vector<std::string>& namesB, const std::string& subjectText);

// Releases CellValue, CellText, LevelNamesA, LevelNamesB and ColumnTotals, in
// that order; the counts keep their values.
void ReleaseStudy(StudyStore& store);

}  // namespace morvane
