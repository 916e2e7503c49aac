// The live mappings, in a fixed table that a fault handler reads without locks or
// allocation; shared by both systems' MappedFile. A slot is free (0), being filled (1),
// live (2), or in a state of the system's own above that.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace platform::mappings {

constexpr int kSlots = 64;
struct Slot {
  std::atomic<int> state{0};
  std::uintptr_t start = 0;
  std::size_t size = 0;
};
extern Slot table[kSlots];

// Takes a free slot for the mapping; -1 when all are taken (the mapping goes unguarded).
int add(const void* start, std::size_t size);

// Counts a page (or view) replaced by zeros. Safe in a fault handler.
void countReplaced();

}  // namespace platform::mappings
