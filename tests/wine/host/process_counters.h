// Counts of the process's memory and window-system objects, for the leak check over many Init/Quit cycles.
#pragma once
#include <windows.h>

struct ProcessCounters {
  SIZE_T heapBytes;     // bytes in busy blocks of every process heap (HeapWalk)
  SIZE_T privateBytes;  // committed private memory (VirtualQuery over the address space)
  DWORD gdiObjects;     // GetGuiResources; 0 where the platform does not count them (Wine)
  DWORD userObjects;
  int gdiTableEntries;  // live entries of the process's GDI handle table, -1 where it cannot be read
  DWORD handles;        // kernel handles (GetProcessHandleCount)
  int windows;          // top-level windows of this process
};

ProcessCounters ReadProcessCounters();
// Counts the live entries of the GDI handle table that the PEB points at (Wine keeps one per process, with
// 24-byte entries whose type byte is 0 when free). Checks itself: 32 new brushes must add 32 entries, else -1.
int CountGdiTableEntries();
