// Counts heap allocations while whole frames run: the pipeline allocates nothing per frame.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "support/stage_record.h"
#include "support/frame_oracle.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void NoteAllocation() {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer the sanitizer owns malloc; its hooks see malloc, calloc, realloc and operator new.
// (Declared here: the sanitizer's interface headers are not installed with every compiler.)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                                         void (*free_hook)(const volatile void*));
namespace {
void MallocHook(const volatile void*, std::size_t) { NoteAllocation(); }
void FreeHook(const volatile void*) {}
void StartCountingHook() {
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(MallocHook, FreeHook) != 0;
  ASSERT_TRUE(installed);
}
}  // namespace
#else
// Otherwise malloc, calloc and realloc are interposed here and passed on unchanged to the C library's own entry
// points; operator new comes through malloc.
extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* __libc_calloc(std::size_t count, std::size_t size);
extern "C" void* __libc_realloc(void* block, std::size_t size);
extern "C" void* malloc(std::size_t size) {
  NoteAllocation();
  return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) {
  NoteAllocation();
  return __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, std::size_t size) {
  NoteAllocation();
  return __libc_realloc(block, size);
}
namespace {
void StartCountingHook() {}
}  // namespace
#endif

namespace {

long CountAllocations(void (*work)()) {
  g_allocations = 0;
  g_counting = true;
  work();
  g_counting = false;
  return g_allocations.load();
}

TEST(FrameAllocations, TheCounterSeesMallocAndNew) {
  StartCountingHook();
  const long seen = CountAllocations([] {
    void* volatile block = std::malloc(24);
    std::free(block);
    int* volatile number = new int(3);
    delete number;
  });
  EXPECT_GE(seen, 2);
}

TEST(FrameAllocations, NoneDuringFrames) {
  StartCountingHook();
  ResetStageRecord();
  AllocateFrameTables();
  FillRandomTables(17);
  FillLiteralPerspectiveTable(g_stage.Tables.PerspectiveTable);
  FillLiteralConversionTable(g_stage.Tables.ConversionTable);
  auto* palettes = static_cast<std::uint8_t*>(std::malloc(3 * 1024));
  std::memset(palettes, 0x40, 3 * 1024);
  g_stage.PaletteSet = palettes;
  g_stage.PaletteCount = 3;
  g_stage.Params.WaveGain = 2.4f;
  g_stage.Params.WaveShift = 4;
  g_stage.Params.PaletteStep = 0.02f;

  static WaveBlock module{};
  for (int i = 0; i < 576; ++i)
    module.waveformData[0][i] = module.waveformData[1][i] = static_cast<unsigned char>(i * 7);
  static int failures = 0;
  failures = 0;
  const long seen = CountAllocations([] {
    for (int frame = 0; frame < 200; ++frame) {
      failures += StepStageFrame(module.waveformData) != 0;
      AnimateStagePalette();
    }
  });
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(seen, 0);
  EXPECT_EQ(g_stage.Counters.FrameCounter, 200u);

  std::free(palettes);
  ReleaseFrameTables();
  ResetStageRecord();
}

}  // namespace
