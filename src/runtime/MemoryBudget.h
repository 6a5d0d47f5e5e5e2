#pragma once
// The most memory the store may ask for at once. Asking for more fails with
// "メモリが足りません" before anything is allocated, so that a huge count in a
// data file or in the N box never exhausts the machine.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "runtime/Errors.h"

namespace morvane {

// Bytes the store may allocate for one array: the physical memory, or the
// process's address-space limit when that is lower, unless set otherwise.
std::uint64_t MemoryBudget();
void SetMemoryBudget(std::uint64_t bytes);

// Throws OutOfMemoryError when `count` elements of `elementSize` bytes exceed
// the budget, the multiplication included, or (above 64 MiB) the memory the
// system has available now.
void EnsureAffordable(std::uint64_t count, std::uint64_t elementSize);

// Has every block of 4 MiB or more mapped apart and given back to the system
// when freed. The C library's default raises that threshold to the largest
// block freed, after which the big arrays an analysis of many cells makes
// and frees stay in the heap, a hundred megabytes and more it no longer
// uses; smaller blocks, mapped apart, would cost the time of mapping them
// afresh. Called once, at a program's start.
void ReturnLargeBlocksWhenFreed();

// Maps the pages of [data, data + bytes), memory just allocated that is about
// to be written whole, in one call instead of one fault per page as the writes
// reach them. Only a saving: where the system cannot, the faults come later.
void MapPagesAhead(void* data, std::size_t bytes);

// Asks for huge pages under [data, data + bytes), memory just allocated and
// not yet written, which its first writes then fault in a few large pages at
// a time instead of thousands of small ones. Only advice: without it the
// memory works the same.
void AdviseHugePages(void* data, std::size_t bytes);

// Room in `items` (empty) for `count` items, a large array's memory advised
// to take huge pages before it is written.
template <typename Items>
void ReserveLarge(Items& items, std::size_t count) {
    items.reserve(count);
    AdviseHugePages(items.data(), count * sizeof(typename Items::value_type));
}

// `items` made `count` copies of `value`, as ReserveLarge advises.
template <typename Items>
void AssignLarge(Items& items, std::size_t count, const typename Items::value_type& value) {
    items.clear();
    ReserveLarge(items, count);
    items.assign(count, value);
}

// An allocator for large arrays of one owner's own (no other code frees
// them), which it fills whole after sizing them: one of 2 MiB or more lies on
// huge-page boundaries, advised to take huge pages; a smaller one is an
// ordinary allocation. Items made without a value are left unset (the
// system gives its pages zeroed, and the owner writes them anyway).
template <typename T>
struct HugePageAllocator {
    using value_type = T;
    HugePageAllocator() = default;
    template <typename U>
    HugePageAllocator(const HugePageAllocator<U>&) {}
    template <typename U>
    struct rebind {
        using other = HugePageAllocator<U>;
    };

    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        if constexpr (sizeof...(Args) == 0)
            ::new (static_cast<void*>(p)) U;
        else
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    T* allocate(std::size_t n) {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kHugePage) return std::allocator<T>{}.allocate(n);
        void* p = std::aligned_alloc(kHugePage, Rounded(bytes));
        if (p == nullptr) throw std::bad_alloc();
        AdviseHugePages(p, Rounded(bytes));
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) {
        if (n * sizeof(T) < kHugePage) return std::allocator<T>{}.deallocate(p, n);
        std::free(p);
    }
    friend bool operator==(const HugePageAllocator&, const HugePageAllocator&) { return true; }

private:
    static constexpr std::size_t kHugePage = std::size_t{1} << 21;
    static std::size_t Rounded(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }
};

// A vector of a large array of one owner's own on huge pages; resize leaves
// the new items of a trivial type unset.
template <typename T>
using LargeVector = std::vector<T, HugePageAllocator<T>>;

// Grows `items` to hold `more` items beyond its size, twice its capacity as a
// rule, within the memory budget (OutOfMemoryError beyond it).
template <typename Items>
void MakeRoom(Items& items, std::size_t more) {
    if (more <= items.capacity() - items.size()) return;
    std::size_t room = std::max(items.size() + more, 2 * items.capacity());
    try {
        EnsureAffordable(room, sizeof(typename Items::value_type));
    } catch (const OutOfMemoryError&) {
        room = items.size() + more;
        EnsureAffordable(room, sizeof(typename Items::value_type));
    }
    items.reserve(room);
}

}  // namespace morvane
