// Reading the process's heap, committed memory, GDI/USER object, handle and window counts.
#include "process_counters.h"

#include <cstddef>
#include <vector>

namespace {

SIZE_T BusyHeapBytes() {
  std::vector<HANDLE> heaps(64);
  DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
  if (count > heaps.size()) {
    heaps.resize(count);
    count = GetProcessHeaps(count, heaps.data());
  }
  SIZE_T busy = 0;
  for (DWORD i = 0; i < count && i < heaps.size(); ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heaps[i], &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += entry.cbData;
    }
    HeapUnlock(heaps[i]);
  }
  return busy;
}

SIZE_T CommittedPrivateBytes() {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION info;
  const char* address = nullptr;
  while (VirtualQuery(address, &info, sizeof info) == sizeof info) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return total;
}

BOOL CALLBACK CountOwnWindow(HWND window, LPARAM counter) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId()) ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

constexpr int kGdiTableSize = 0x10000;
constexpr std::size_t kGdiEntryBytes = 24;
constexpr std::size_t kGdiEntryTypeOffset = 14;
constexpr std::size_t kPebGdiSharedHandleTable = 0x94;  // 32-bit PEB

int CountLiveGdiEntries() {
  const unsigned char* peb = nullptr;
  asm("movl %%fs:0x30, %0" : "=r"(peb));
  const auto* table = *reinterpret_cast<const unsigned char* const*>(peb + kPebGdiSharedHandleTable);
  if (table == nullptr) return -1;
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(table, &info, sizeof info) != sizeof info || info.State != MEM_COMMIT) return -1;
  const auto* end = static_cast<const unsigned char*>(info.BaseAddress) + info.RegionSize;
  int live = 0;
  for (int i = 0; i < kGdiTableSize; ++i) {
    const unsigned char* entry = table + i * kGdiEntryBytes;
    if (entry + kGdiEntryBytes > end) break;
    if (entry[kGdiEntryTypeOffset] != 0) ++live;
  }
  return live;
}

}  // namespace

int CountGdiTableEntries() {
  int before = CountLiveGdiEntries();
  if (before < 0) return -1;
  HBRUSH brushes[32];
  for (HBRUSH& brush : brushes) brush = CreateSolidBrush(RGB(1, 2, 3));
  int during = CountLiveGdiEntries();
  for (HBRUSH brush : brushes) DeleteObject(brush);
  int after = CountLiveGdiEntries();
  return during == before + 32 && after == before ? after : -1;
}

ProcessCounters ReadProcessCounters() {
  ProcessCounters counters{};
  counters.heapBytes = BusyHeapBytes();
  counters.privateBytes = CommittedPrivateBytes();
  counters.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  counters.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  counters.gdiTableEntries = CountGdiTableEntries();
  GetProcessHandleCount(GetCurrentProcess(), &counters.handles);
  EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&counters.windows));
  return counters;
}
