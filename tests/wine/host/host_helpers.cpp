// Helpers the cases share: finding the full-screen window, pumping, feeding waveforms, reading files.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host_cases.h"

HWND FindDisplayWindow() { return FindWindowA("MainWndClass", nullptr); }

bool DisplayClassRegistered(HINSTANCE instance) {
  WNDCLASSA windowClass;
  return GetClassInfoA(instance, "MainWndClass", &windowClass) != 0;
}

void PumpFor(int milliseconds, bool* quitSeen, int* quitCode) {
  DWORD start = GetTickCount();
  do {
    int code = 0;
    if (PumpMessages(&code)) {
      if (quitSeen != nullptr) *quitSeen = true;
      if (quitCode != nullptr) *quitCode = code;
    }
    if (milliseconds > 0) MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  } while (GetTickCount() - start < static_cast<DWORD>(milliseconds));
}

// A sum of two tones whose pitch and loudness drift with the frame, plus a little pseudo-random noise, so the
// ripple field sees ridges of every height and both signs.
void MakeWaveBlock(int frame, signed char block[2][576]) {
  std::uint32_t noise = 0x12345u + static_cast<std::uint32_t>(frame) * 2654435761u;
  for (int channel = 0; channel < 2; ++channel) {
    for (int i = 0; i < 576; ++i) {
      noise = noise * 1103515245u + 12345u;
      int value = static_cast<int>((i * (3 + frame % 7) + frame * 11 + channel * 50) % 128) - 64;
      value += static_cast<int>((noise >> 16) % 33) - 16;
      if (frame % 50 < 5) value /= 8;  // quiet passages
      block[channel][i] = static_cast<signed char>(value < -128 ? -128 : value > 127 ? 127 : value);
    }
  }
}

int RenderBlock(HostModule* module, const signed char block[2][576]) {
  std::memcpy(module->waveformData, block, kWaveBlockBytes);
  return module->Render(module);
}

std::vector<unsigned char> ReadWholeBinaryFile(const std::string& path) {
  std::vector<unsigned char> bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  unsigned char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(file);
  return bytes;
}
