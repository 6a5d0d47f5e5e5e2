#include "runtime/MemoryBudget.h"

#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "runtime/Errors.h"

namespace morvane {
namespace {

std::uint64_t DefaultBudget() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    std::uint64_t budget = pages > 0 && pageSize > 0
                               ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize)
                               : UINT64_MAX;
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        budget = std::min<std::uint64_t>(budget, limit.rlim_cur);
    return budget;
}

// The memory the system can still give without swapping or ending a process
// (MemAvailable), or nothing when it cannot be told.
std::uint64_t AvailableMemory() {
    std::FILE* meminfo = std::fopen("/proc/meminfo", "re");
    if (meminfo == nullptr) return UINT64_MAX;
    unsigned long long kib = 0;
    char line[128];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, meminfo) != nullptr)
        found = std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1;
    std::fclose(meminfo);
    return found ? static_cast<std::uint64_t>(kib) * 1024 : UINT64_MAX;
}

std::uint64_t& Budget() {
    static std::uint64_t budget = DefaultBudget();
    return budget;
}

}  // namespace

std::uint64_t MemoryBudget() {
    return Budget();
}

void SetMemoryBudget(std::uint64_t bytes) {
    Budget() = bytes;
}

void EnsureAffordable(std::uint64_t count, std::uint64_t elementSize) {
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(count, elementSize, &bytes) || bytes > Budget()) throw OutOfMemoryError();
    // An array the system cannot give now would be granted by overcommit and
    // then end the process when it is filled; refuse it while it can be refused.
    // Small arrays never need the look.
    constexpr std::uint64_t kAlwaysAffordable = std::uint64_t{64} << 20;
    if (bytes > kAlwaysAffordable && bytes > AvailableMemory()) throw OutOfMemoryError();
}

void AdviseHugePages(void* data, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHuge = std::uintptr_t{1} << 21;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (start + kHuge - 1) & ~(kHuge - 1), end = (start + bytes) & ~(kHuge - 1);
    if (end > begin) static_cast<void>(::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE));
#else
    static_cast<void>(data), static_cast<void>(bytes);
#endif
}

void ReturnLargeBlocksWhenFreed() {
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
}

void MapPagesAhead(void* data, std::size_t bytes) {
#if defined(MADV_POPULATE_WRITE)
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto from = (reinterpret_cast<std::uintptr_t>(data) + page - 1) / page * page;
    const auto to = (reinterpret_cast<std::uintptr_t>(data) + bytes) / page * page;
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
    static_cast<void>(data), static_cast<void>(bytes);
#endif
}

}  // namespace morvane
