// Heap blocks placed at chosen addresses modulo 4096: over-allocated, with the allocator's own pointer kept
// just below the block for the release.
#include "core/table_placement.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
constexpr std::uintptr_t kSpan = 4096;
constexpr std::uintptr_t kHeader = 16;  // room for the allocator's pointer, keeping the block 16-byte aligned
}  // namespace

void* AllocatePlacedBlock(void* (*allocate)(std::size_t), std::size_t bytes, const void* reference, std::size_t phase) {
  void* raw = allocate(bytes + kSpan + kHeader);
  if (raw == nullptr) return nullptr;
  const std::uintptr_t wanted = ((reinterpret_cast<std::uintptr_t>(reference) & ~std::uintptr_t{15}) + phase) % kSpan;
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(raw) + kHeader;
  auto* block = static_cast<unsigned char*>(raw) + kHeader + (wanted - first) % kSpan;
  std::memcpy(block - sizeof raw, &raw, sizeof raw);
  return block;
}

void ReleasePlacedBlock(void* block) {
  if (block == nullptr) return;
  void* raw;
  std::memcpy(&raw, static_cast<unsigned char*>(block) - sizeof raw, sizeof raw);
  std::free(raw);
}
