#pragma once
// Independent tasks run side by side: on the calling thread and on others
// beside it, one for each further processor (up to kMostTogether threads in
// all), each thread taking the next task not yet taken. Given the longest
// first, the threads end about together.

#include <cstddef>
#include <functional>
#include <span>

namespace morvane {

inline constexpr std::size_t kMostTogether = 4;

// Runs every task once and returns when all are done. The exception of the
// first task, in their order, that threw is thrown then (the others' are
// dropped); a task's failure stops no other. Where no thread can be had, or
// the machine has one processor, the tasks run here one after another.
void RunTogether(std::span<const std::function<void()>> tasks);

// The same on at most `threads` threads in all (the calling one among them).
void RunTogether(std::span<const std::function<void()>> tasks, std::size_t threads);

}  // namespace morvane
