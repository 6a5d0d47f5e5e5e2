#include "store/StudyStore.h"

#include <cstring>
#include <iterator>
#include <new>

#include "runtime/Errors.h"
#include "runtime/IntegerText.h"
#include "runtime/MemoryBudget.h"
#include "runtime/Messages.h"

namespace morvane {

template <typename T>
void ScoreArray<T>::Resize(std::int64_t n0, std::int64_t n1, std::int64_t n2) {
    if (n0 < 0 || n1 < 0 || n2 < 0) throw RangeError();
    std::uint64_t count = ElementCount(n0, n1, n2);
    Release();
    EnsureAffordable(count, sizeof(T));
    if (count > 0) {
        data_.reset(static_cast<T*>(std::calloc(static_cast<std::size_t>(count), sizeof(T))));
        if (data_ == nullptr) throw OutOfMemoryError();
    }
    n0_ = n0;
    n1_ = n1;
    n2_ = n2;
}

template <typename T>
ScoreArray<T>::ScoreArray(const ScoreArray& other) {
    *this = other;
}

template <typename T>
ScoreArray<T>& ScoreArray<T>::operator=(const ScoreArray& other) {
    if (this == &other) return *this;
    Resize(other.n0_, other.n1_, other.n2_);
    if (other.data_ != nullptr)
        std::memcpy(data_.get(), other.data_.get(),
                    static_cast<std::size_t>(ElementCount(n0_, n1_, n2_)) * sizeof(T));
    return *this;
}

template <typename T>
void ScoreArray<T>::Release() {
    data_.reset();
    n0_ = n1_ = n2_ = 0;
}

template class ScoreArray<Extended>;

StudyStore& TheStudy() {
    static StudyStore store;
    return store;
}

void SizeNames(NameArray& names, std::int64_t extent) {
    if (extent < 0) throw RangeError();
    NameArray().swap(names);
    EnsureAffordable(static_cast<std::uint64_t>(extent), sizeof(std::string));
    try {
        names.resize(static_cast<std::size_t>(extent));
    } catch (const std::bad_alloc&) {
        NameArray().swap(names);
        throw OutOfMemoryError();
    }
}

namespace {

bool Has(StudyArrays set, StudyArrays member) {
    return (static_cast<unsigned>(set) & static_cast<unsigned>(member)) != 0;
}

// An extent of count + 1, in 64 bits so that no count wraps it around.
std::int64_t ExtentOf(std::int32_t count) {
    return std::int64_t{count} + 1;
}

void SizeTotals(std::vector<Extended>& totals, std::int64_t extent) {
    if (extent < 0) throw RangeError();
    EnsureAffordable(static_cast<std::uint64_t>(extent), sizeof(Extended));
    try {
        totals.assign(static_cast<std::size_t>(extent), 0.0L);
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    }
}

template <typename Array>
bool HasExtents(const Array& array, std::int64_t n0, std::int64_t n1, std::int64_t n2) {
    return array.Extent0() == n0 && array.Extent1() == n1 && array.Extent2() == n2;
}

}  // namespace

void SizeStudy(StudyStore& store, StudyArrays arrays) {
    const std::int64_t n = ExtentOf(store.SubjectCount), na = ExtentOf(store.LevelCountA),
                       nb = ExtentOf(store.LevelCountB);
    if (Has(arrays, StudyArrays::Names)) {
        SizeNames(store.LevelNamesA, na);
        SizeNames(store.LevelNamesB, nb);
    }
    if (Has(arrays, StudyArrays::Texts)) store.CellText.Resize(n, na, nb);
    if (Has(arrays, StudyArrays::Values)) store.CellValue.Resize(n, na, nb);
    if (Has(arrays, StudyArrays::Totals)) SizeTotals(store.ColumnTotals, nb);
}

bool HasItsExtents(const StudyStore& store, StudyArrays arrays) {
    const std::int64_t n = ExtentOf(store.SubjectCount), na = ExtentOf(store.LevelCountA),
                       nb = ExtentOf(store.LevelCountB);
    // A negative extent is never sized; such a count has no arrays to match.
    if (n < 0 || na < 0 || nb < 0) return false;
    if (Has(arrays, StudyArrays::Names) &&
        (std::ssize(store.LevelNamesA) != na || std::ssize(store.LevelNamesB) != nb))
        return false;
    if (Has(arrays, StudyArrays::Texts) && !HasExtents(store.CellText, n, na, nb)) return false;
    if (Has(arrays, StudyArrays::Values) && !HasExtents(store.CellValue, n, na, nb)) return false;
    if (Has(arrays, StudyArrays::Totals) && std::ssize(store.ColumnTotals) != nb) return false;
    return true;
}

void SizeCellText(StudyStore& store) {
    SizeStudy(store, StudyArrays::Texts);
}

void SizeCellValue(StudyStore& store) {
    SizeStudy(store, StudyArrays::Values);
}

void SizeColumnTotals(StudyStore& store) {
    SizeStudy(store, StudyArrays::Totals);
}

void StartNewStudy(StudyStore& store, const std::vector<std::string>& namesA,
                   const std::vector<std::string>& namesB, const std::string& subjectText) {
    store.LevelCountA = static_cast<std::int32_t>(namesA.size());
    store.LevelCountB = static_cast<std::int32_t>(namesB.size());
    auto subjects = ConvertInteger(subjectText);
    if (!subjects) throw ConvertError(messages::NotAnInteger(subjectText));
    store.SubjectCount = *subjects;
    SizeStudy(store, StudyArrays::Names);
    for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
        store.LevelNamesA[static_cast<std::size_t>(a)] = namesA[static_cast<std::size_t>(a - 1)];
    for (std::int32_t b = 1; b <= store.LevelCountB; ++b)
        store.LevelNamesB[static_cast<std::size_t>(b)] = namesB[static_cast<std::size_t>(b - 1)];
    // Sizing gives every score text the empty string.
    SizeStudy(store, StudyArrays::Texts);
}

void ReleaseStudy(StudyStore& store) {
    store.CellValue.Release();
    store.CellText.Release();
    NameArray().swap(store.LevelNamesA);
    NameArray().swap(store.LevelNamesB);
    std::vector<Extended>().swap(store.ColumnTotals);
}

}  // namespace morvane
