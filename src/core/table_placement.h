// Heap blocks placed at chosen addresses modulo 4096, for the frame buffers that one loop reads and writes.
#pragma once
#include <cstddef>

// The processor checks a load against earlier stores by the low 12 address bits first: a load from one buffer
// that lands a few bytes above a store just made to another waits for it as if they overlapped. The field's
// ripple reads the previous wave buffer around each cell while it writes the current one, and the height map is
// written while both are read; malloc gives blocks this large the same address modulo 4096 (page aligned plus
// its header), which puts every such load on top of the last store. Each buffer therefore sits a quarter page
// from the others, counted from the LandscapeImage, which the landscape writes while it reads the height map.
constexpr std::size_t kWaveBufferPhase[2] = {1024, 2048};
constexpr std::size_t kHeightMapPhase = 3072;

// A block of `bytes` from `allocate` (a malloc-like function), at an address `phase` bytes (a multiple of 16)
// above `reference` modulo 4096 and 16-byte aligned; null when the allocation fails. Only ReleasePlacedBlock
// may free it.
void* AllocatePlacedBlock(void* (*allocate)(std::size_t), std::size_t bytes, const void* reference, std::size_t phase);
// Frees a block from AllocatePlacedBlock through std::free; null is ignored.
void ReleasePlacedBlock(void* block);
