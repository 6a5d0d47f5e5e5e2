#include "store/StudyStore.h"

#include <new>

#include "runtime/Errors.h"
#include "runtime/IntegerText.h"
#include "runtime/MemoryBudget.h"
#include "runtime/Messages.h"

namespace morvane {
namespace {

std::uint64_t ElementCount(std::int64_t n0, std::int64_t n1, std::int64_t n2) {
    std::uint64_t count = 0;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(n0), static_cast<std::uint64_t>(n1), &count) ||
        __builtin_mul_overflow(count, static_cast<std::uint64_t>(n2), &count))
        throw OutOfMemoryError();
    return count;
}

}  // namespace

template <typename T>
void ScoreArray<T>::Resize(std::int64_t n0, std::int64_t n1, std::int64_t n2) {
    if (n0 < 0 || n1 < 0 || n2 < 0) throw RangeError();
    std::uint64_t count = ElementCount(n0, n1, n2);
    Release();
    EnsureAffordable(count, sizeof(T));
    try {
        data_.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        Release();
        throw OutOfMemoryError();
    }
    n0_ = n0;
    n1_ = n1;
    n2_ = n2;
}

template <typename T>
void ScoreArray<T>::Release() {
    std::vector<T>().swap(data_);
    n0_ = n1_ = n2_ = 0;
}

template class ScoreArray<std::string>;
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

void SizeCellText(StudyStore& store) {
    store.CellText.Resize(std::int64_t{store.SubjectCount} + 1, std::int64_t{store.LevelCountA} + 1,
                          std::int64_t{store.LevelCountB} + 1);
}

void SizeCellValue(StudyStore& store) {
    store.CellValue.Resize(std::int64_t{store.SubjectCount} + 1, std::int64_t{store.LevelCountA} + 1,
                           std::int64_t{store.LevelCountB} + 1);
}

void SizeColumnTotals(StudyStore& store) {
    std::int64_t extent = std::int64_t{store.LevelCountB} + 1;
    if (extent < 0) throw RangeError();
    EnsureAffordable(static_cast<std::uint64_t>(extent), sizeof(Extended));
    try {
        store.ColumnTotals.assign(static_cast<std::size_t>(extent), 0.0L);
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    }
}

void StartNewStudy(StudyStore& store, const std::vector<std::string>& namesA,
                   const std::vector<std::string>& namesB, const std::string& subjectText) {
    store.LevelCountA = static_cast<std::int32_t>(namesA.size());
    store.LevelCountB = static_cast<std::int32_t>(namesB.size());
    auto subjects = ConvertInteger(subjectText);
    if (!subjects) throw ConvertError(messages::NotAnInteger(subjectText));
    store.SubjectCount = *subjects;
    SizeNames(store.LevelNamesA, std::int64_t{store.LevelCountA} + 1);
    SizeNames(store.LevelNamesB, std::int64_t{store.LevelCountB} + 1);
    for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
        store.LevelNamesA[static_cast<std::size_t>(a)] = namesA[static_cast<std::size_t>(a - 1)];
    for (std::int32_t b = 1; b <= store.LevelCountB; ++b)
        store.LevelNamesB[static_cast<std::size_t>(b)] = namesB[static_cast<std::size_t>(b - 1)];
    // Resizing gives every score text the empty string.
    SizeCellText(store);
}

void ReleaseStudy(StudyStore& store) {
    store.CellValue.Release();
    store.CellText.Release();
    NameArray().swap(store.LevelNamesA);
    NameArray().swap(store.LevelNamesB);
    std::vector<Extended>().swap(store.ColumnTotals);
}

}  // namespace morvane
