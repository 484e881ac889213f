// Plug-in folders for the dialog cases, and the files the dialog reads and writes there.
#include "dialog_fixtures.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "../host/host_log.h"

namespace {

constexpr char kSection[] = "Ombrelo Tunnel";

void WriteFile(const std::string& path, const void* data, std::size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size) Fail("could not write %s", path.c_str());
  if (file != nullptr) std::fclose(file);
}

void Put16(std::vector<std::uint8_t>& out, unsigned value) {
  out.push_back(value & 0xFF);
  out.push_back((value >> 8) & 0xFF);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

}  // namespace

std::string MakeCaseFolder(const std::string& root, const std::string& name, const std::string& dll) {
  const std::string folder = root + "\\" + name;
  CreateDirectoryA(root.c_str(), nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA((folder + "\\TavelDat").c_str(), nullptr);
  for (const char* stale : {"\\plugin.ini", "\\TavelDat\\fade.dat", "\\TavelDat\\refrence.pal"}) {
    DeleteFileA((folder + stale).c_str());
  }
  if (!CopyFileA(dll.c_str(), (folder + "\\vis_tavelmir.dll").c_str(), FALSE)) {
    Fail("could not copy %s into %s (error %lu)", dll.c_str(), folder.c_str(), GetLastError());
  }
  return folder;
}

void WriteSettingsFile(const std::string& folder, const IniEntries& entries) {
  std::string text = std::string("[") + kSection + "]\r\n";
  for (const auto& [key, value] : entries) text += key + "=" + value + "\r\n";
  WriteFile(folder + "\\plugin.ini", text.data(), text.size());
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

long FileLength(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<long>(data.nFileSizeLow);
}

std::string StoredSetting(const std::string& folder, const char* key) {
  char value[1024] = {};
  const std::string file = folder + "\\plugin.ini";
  GetPrivateProfileStringA(kSection, key, "<missing>", value, sizeof value, file.c_str());
  return value;
}

void WriteReferencePalette(const std::string& folder) {
  std::uint8_t palette[768];
  for (int i = 0; i < 256; ++i) {
    palette[3 * i] = static_cast<std::uint8_t>(i >> 2);
    palette[3 * i + 1] = static_cast<std::uint8_t>((i * 3 >> 2) & 63);
    palette[3 * i + 2] = static_cast<std::uint8_t>(63 - (i >> 2));
  }
  WriteFile(folder + "\\TavelDat\\refrence.pal", palette, sizeof palette);
}

void WriteBitmap(const std::string& path, int width, int height, int bitsPerPixel) {
  const std::uint32_t stride = ((width * bitsPerPixel + 31) / 32) * 4;
  const std::uint32_t colours = bitsPerPixel == 8 ? 256 : 0;
  const std::uint32_t offset = 14 + 40 + colours * 4;
  const std::uint32_t imageSize = stride * height;
  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + imageSize);
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, width);
  Put32(out, height);
  Put16(out, 1);
  Put16(out, bitsPerPixel);
  Put32(out, 0);  // BI_RGB
  Put32(out, imageSize);
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, colours);
  Put32(out, 0);
  for (std::uint32_t i = 0; i < colours; ++i) Put32(out, i * 0x010101u);
  for (int y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < stride; ++x) out.push_back(static_cast<std::uint8_t>(x ^ y));
  }
  WriteFile(path, out.data(), out.size());
}
