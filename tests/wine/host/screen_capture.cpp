// Screen capture through the screen's device context, and a minimal PNG writer for the kept frame.
#include "screen_capture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

bool CaptureWindow(HWND window, int width, int height, ScreenShot* shot) {
  return CaptureWindowAt(window, 0, 0, width, height, shot);
}

bool CaptureWindowAt(HWND window, int left, int top, int width, int height, ScreenShot* shot) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(window);
  if (screen == nullptr) return false;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(screen);
  bool copied = false;
  if (section != nullptr && memory != nullptr) {
    HGDIOBJ old = SelectObject(memory, section);
    copied = BitBlt(memory, 0, 0, width, height, screen, left, top, SRCCOPY) != 0;
    GdiFlush();
    if (copied) {
      shot->width = width;
      shot->height = height;
      shot->pixels.resize(static_cast<std::size_t>(width) * height);
      const auto* source = static_cast<const std::uint32_t*>(bits);
      for (std::size_t i = 0; i < shot->pixels.size(); ++i) shot->pixels[i] = source[i] & 0x00FFFFFFu;
    }
    SelectObject(memory, old);
  }
  if (memory != nullptr) DeleteDC(memory);
  if (section != nullptr) DeleteObject(section);
  ReleaseDC(window, screen);
  return copied;
}

namespace {

std::uint32_t Crc32(const unsigned char* data, std::size_t size, std::uint32_t crc = 0) {
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBigEndian(std::vector<unsigned char>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

void PutChunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  std::vector<unsigned char> typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  out.insert(out.end(), typed.begin(), typed.end());
  PutBigEndian(out, Crc32(typed.data(), typed.size()));
}

}  // namespace

bool WritePng(const std::string& path, const ScreenShot& shot) {
  std::vector<unsigned char> raw;  // filter byte 0, then R, G, B per pixel, for each row
  for (int y = 0; y < shot.height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < shot.width; ++x) {
      std::uint32_t pixel = shot.pixels[static_cast<std::size_t>(y) * shot.width + x];
      raw.push_back(static_cast<unsigned char>(pixel >> 16));
      raw.push_back(static_cast<unsigned char>(pixel >> 8));
      raw.push_back(static_cast<unsigned char>(pixel));
    }
  }
  std::vector<unsigned char> zlib = {0x78, 0x01};
  for (std::size_t offset = 0; offset < raw.size() || offset == 0; offset += 65535) {
    std::size_t length = std::min<std::size_t>(65535, raw.size() - offset);
    bool last = offset + length >= raw.size();
    zlib.push_back(last ? 1 : 0);
    zlib.push_back(static_cast<unsigned char>(length));
    zlib.push_back(static_cast<unsigned char>(length >> 8));
    zlib.push_back(static_cast<unsigned char>(~length));
    zlib.push_back(static_cast<unsigned char>(~length >> 8));
    zlib.insert(zlib.end(), raw.begin() + offset, raw.begin() + offset + length);
    if (last) break;
  }
  std::uint32_t a = 1, b = 0;
  for (unsigned char byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBigEndian(zlib, (b << 16) | a);

  std::vector<unsigned char> header;
  PutBigEndian(header, static_cast<std::uint32_t>(shot.width));
  PutBigEndian(header, static_cast<std::uint32_t>(shot.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter choice, no interlace
  std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", zlib);
  PutChunk(png, "IEND", {});

  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  return std::fclose(file) == 0 && written;
}
