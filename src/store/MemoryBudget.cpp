#include "store/MemoryBudget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

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

std::uint64_t& Budget() {
    static std::uint64_t budget = DefaultBudget();
    return budget;
}

}  // namespace

std::uint64_t MemoryBudget() { return Budget(); }

void SetMemoryBudget(std::uint64_t bytes) { Budget() = bytes; }

void EnsureAffordable(std::uint64_t count, std::uint64_t elementSize) {
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(count, elementSize, &bytes) || bytes > Budget())
        throw OutOfMemoryError();
}

}  // namespace morvane
