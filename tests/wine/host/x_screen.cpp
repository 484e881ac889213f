// Capture of the X root window through xwd, and the reading of xwd's file (its Z pixmap at 24 or 32 bits per
// pixel).
#include "x_screen.h"

#include <windows.h>

#include <cstdint>
#include <vector>

#include "host_cases.h"
#include "host_log.h"

namespace {

constexpr char kXwdProgram[] = "/usr/bin/xwd";

// The header of an xwd file: 25 big-endian 32-bit fields, the window's name, then the colour map.
enum XwdField {
  kHeaderSize = 0,
  kVersion = 1,
  kFormat = 2,
  kWidth = 4,
  kHeight = 5,
  kByteOrder = 7,
  kBitsPerPixel = 11,
  kBytesPerLine = 12,
  kRedMask = 14,
  kGreenMask = 15,
  kBlueMask = 16,
  kColours = 19,
  kFieldCount = 25,
};
constexpr std::uint32_t kXwdVersion = 7;
constexpr std::uint32_t kZPixmap = 2;
constexpr std::size_t kXwdColourBytes = 12;

std::uint32_t BigEndian(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The 8-bit value of one colour channel given by its mask.
std::uint32_t Channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1u) == 0) ++shift;
  std::uint32_t value = (pixel & mask) >> shift, top = mask >> shift;
  return top == 255 ? value : value * 255 / top;
}

bool ParseXwd(const std::vector<unsigned char>& file, int left, int top, int width, int height, ScreenShot* shot) {
  if (file.size() < kFieldCount * 4) return Fail("xwd file too short"), false;
  std::uint32_t field[kFieldCount];
  for (int i = 0; i < kFieldCount; ++i) field[i] = BigEndian(&file[4 * i]);
  const std::uint32_t bytesPerPixel = field[kBitsPerPixel] / 8;
  if (field[kVersion] != kXwdVersion || field[kFormat] != kZPixmap || field[kBitsPerPixel] % 8 != 0 ||
      bytesPerPixel < 3 || bytesPerPixel > 4)
    return Fail("xwd file of version %u, format %u, %u bits per pixel", field[kVersion], field[kFormat],
                field[kBitsPerPixel]),
           false;
  const std::size_t data = field[kHeaderSize] + std::size_t{field[kColours]} * kXwdColourBytes;
  const std::size_t pitch = field[kBytesPerLine];
  if (left < 0 || top < 0 || static_cast<std::uint32_t>(left + width) > field[kWidth] ||
      static_cast<std::uint32_t>(top + height) > field[kHeight] || data + pitch * field[kHeight] > file.size())
    return Fail("xwd picture of %u x %u does not hold the rectangle asked for", field[kWidth], field[kHeight]), false;
  const bool mostSignificantFirst = field[kByteOrder] != 0;
  shot->width = width;
  shot->height = height;
  shot->pixels.resize(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned char* p = &file[data + (top + y) * pitch + bytesPerPixel * static_cast<std::size_t>(left + x)];
      std::uint32_t pixel = 0;
      for (std::uint32_t b = 0; b < bytesPerPixel; ++b)
        pixel |= std::uint32_t{p[mostSignificantFirst ? b : bytesPerPixel - 1 - b]} << (8 * (bytesPerPixel - 1 - b));
      shot->pixels[static_cast<std::size_t>(y) * width + x] = (Channel(pixel, field[kRedMask]) << 16) |
                                                              (Channel(pixel, field[kGreenMask]) << 8) |
                                                              Channel(pixel, field[kBlueMask]);
    }
  }
  return true;
}

// "Z:\a\b" -> "/a/b": the drive Wine maps to the Unix root.
bool UnixPath(const std::string& windowsPath, std::string* unix) {
  if (windowsPath.size() < 3 || (windowsPath[0] != 'Z' && windowsPath[0] != 'z') || windowsPath[1] != ':') return false;
  *unix = windowsPath.substr(2);
  for (char& c : *unix)
    if (c == '\\') c = '/';
  return true;
}

}  // namespace

bool CaptureXScreen(const std::string& scratch, int left, int top, int width, int height, ScreenShot* shot) {
  std::string unixScratch;
  if (!UnixPath(scratch, &unixScratch)) return Fail("%s is not on drive Z:", scratch.c_str()), false;
  DeleteFileA(scratch.c_str());
  std::string command = std::string(kXwdProgram) + " -root -silent -out " + unixScratch;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(kXwdProgram, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return Fail("could not run %s (error %lu)", kXwdProgram, GetLastError()), false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // Wine's handle of a Unix program never signals: the file is complete once its size holds still.
  std::vector<unsigned char> file;
  bool settled = false;
  for (int tries = 0; tries < 100 && !settled; ++tries) {
    Sleep(100);
    const std::size_t size = file.size();
    file = ReadWholeBinaryFile(scratch);
    settled = file.size() >= kFieldCount * 4 && file.size() == size;
  }
  if (!settled) return Fail("xwd wrote no complete file %s", scratch.c_str()), false;
  DeleteFileA(scratch.c_str());
  return ParseXwd(file, left, top, width, height, shot);
}
