#pragma once
// The store's memory budget set for the time of one check, the old one put back after.

#include <cstdint>

#include "runtime/MemoryBudget.h"

namespace morvane::properties {

class BudgetScope {
public:
    explicit BudgetScope(std::uint64_t bytes) : saved_(MemoryBudget()) { SetMemoryBudget(bytes); }
    ~BudgetScope() { SetMemoryBudget(saved_); }
    BudgetScope(const BudgetScope&) = delete;
    BudgetScope& operator=(const BudgetScope&) = delete;

private:
    std::uint64_t saved_;
};

}  // namespace morvane::properties
