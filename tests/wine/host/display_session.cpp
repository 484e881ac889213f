// A plug-in session in the test host and the comparison of its screen with the native build's frames.
#include "display_session.h"

#include <algorithm>
#include <cstring>

#include "host_log.h"
#include "message_box_hook.h"
#include "shown_colour.h"

bool LoadNativeRun(const HostOptions& options, NativeRun* run) {
  run->wave = ReadWholeBinaryFile(options.waveform);
  run->dump = ReadWholeBinaryFile(options.dump);
  run->frames = options.frames;
  if (run->frames < 2 || run->wave.size() < run->frames * kWaveBlockBytes)
    return Fail("waveform file too short: %zu bytes", run->wave.size()), false;
  if (run->dump.size() != run->frames * kDumpRecord)
    return Fail("native frame dump has %zu bytes, expected %zu", run->dump.size(), run->frames * kDumpRecord), false;
  return true;
}

Placement FourThirdsIn(int width, int height) {
  int w = width, h = width * 3 / 4;
  if (h > height) {
    h = height;
    w = height * 4 / 3;
  }
  return {width, height, (width - w) / 2, (height - h) / 2, w, h};
}

Placement FourThirdsInClient(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return FourThirdsIn(client.right, client.bottom);
}

void ExpectedScreen(const NativeRun& run, int n, const Placement& p, ScreenShot* shot) {
  const unsigned char* indices = &run.dump[(n - 2) * kDumpRecord];
  const unsigned char* rgb = &run.dump[(n - 1) * kDumpRecord + kFramePixels];
  PALETTEENTRY palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = PALETTEENTRY{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], 0};
  shot->width = p.captureWidth;
  shot->height = p.captureHeight;
  shot->pixels.assign(static_cast<std::size_t>(p.captureWidth) * p.captureHeight, 0);
  for (int y = 0; y < p.height; ++y) {
    const int sy = (2 * y + 1) * kScreenHeight / (2 * p.height);
    for (int x = 0; x < p.width; ++x) {
      const int sx = (2 * x + 1) * kScreenWidth / (2 * p.width);
      shot->pixels[static_cast<std::size_t>(p.top + y) * p.captureWidth + p.left + x] =
          ShownColour(palette, indices[sy * kScreenWidth + sx]);
    }
  }
}

int DifferingPixels(const NativeRun& run, int n, const Placement& p, const ScreenShot& shot) {
  ScreenShot expected;
  ExpectedScreen(run, n, p, &expected);
  if (shot.pixels.size() != expected.pixels.size()) return static_cast<int>(expected.pixels.size());
  int wrong = 0;
  for (std::size_t i = 0; i < shot.pixels.size(); ++i) wrong += shot.pixels[i] != expected.pixels[i];
  return wrong;
}

void RenderAndCompare(HostModule* module, HWND window, const NativeRun& run, int first, int last, const Placement& p,
                      bool pump, Comparison* result, bool afterNewDisplay) {
  for (int n = first; n <= last; ++n) {
    std::memcpy(module->waveformData, &run.wave[(n - 1) * kWaveBlockBytes], kWaveBlockBytes);
    int status = module->Render(module);
    if (status != 0) Fail("Render %d returned %d", n, status);
    if (pump) PumpMessages(nullptr);
    if (n < 2 || (afterNewDisplay && n == first)) continue;
    ScreenShot shot, expected;
    if (!CaptureWindow(window, p.captureWidth, p.captureHeight, &shot)) {
      Fail("frame %d could not be captured", n);
      return;
    }
    ExpectedScreen(run, n, p, &expected);
    int wrong = 0;
    for (std::size_t i = 0; i < shot.pixels.size(); ++i) {
      if (shot.pixels[i] == expected.pixels[i]) continue;
      if (wrong++ == 0 && result->badFrames < 3)
        Fail("after Render %d pixel (%zu, %zu) is %06x, expected %06x", n, i % p.captureWidth, i / p.captureWidth,
             shot.pixels[i], expected.pixels[i]);
    }
    ++result->frames;
    if (wrong > 0) {
      ++result->badFrames;
      result->badPixels += wrong;
    }
    result->lastShot = std::move(shot);
  }
}

bool LoadHdRun(const std::string& path, int width, int height, HdRun* run) {
  run->rgb = ReadWholeBinaryFile(path);
  run->width = width;
  run->height = height;
  const std::size_t frameBytes = static_cast<std::size_t>(width) * height * 3;
  run->frames = static_cast<int>(run->rgb.size() / frameBytes);
  if (run->rgb.empty() || run->rgb.size() % frameBytes != 0)
    return Fail("%s has %zu bytes, not whole %dx%d frames", path.c_str(), run->rgb.size(), width, height), false;
  return true;
}

int DifferingHdPixels(const HdRun& hd, int n, const ScreenShot& shot) {
  if (n < 1 || n > hd.frames) return Fail("no smooth frame %d (%d in the run)", n, hd.frames), -1;
  if (shot.width != hd.width || shot.height != hd.height) return hd.width * hd.height;
  const unsigned char* rgb = &hd.rgb[static_cast<std::size_t>(n - 1) * hd.width * hd.height * 3];
  int wrong = 0;
  for (std::size_t i = 0; i < shot.pixels.size(); ++i, rgb += 3) {
    const std::uint32_t expected = (std::uint32_t{rgb[0]} << 16) | (std::uint32_t{rgb[1]} << 8) | rgb[2];
    if (shot.pixels[i] == expected) continue;
    if (wrong++ == 0)
      LogLine("smooth frame %d: pixel (%zu, %zu) is %06x, expected %06x", n, i % hd.width, i / hd.width, shot.pixels[i],
              expected);
  }
  return wrong;
}

void RenderAndCompareHd(HostModule* module, HWND window, const NativeRun& run, const HdRun& hd, int first, int last,
                        Comparison* result) {
  for (int n = first; n <= last; ++n) {
    std::memcpy(module->waveformData, &run.wave[(n - 1) * kWaveBlockBytes], kWaveBlockBytes);
    const int status = module->Render(module);
    if (status != 0) Fail("Render %d returned %d", n, status);
    PumpMessages(nullptr);
    ScreenShot shot;
    if (!CaptureWindow(window, hd.width, hd.height, &shot)) return Fail("frame %d could not be captured", n);
    const int wrong = DifferingHdPixels(hd, n, shot);
    ++result->frames;
    if (wrong != 0) {
      ++result->badFrames;
      result->badPixels += wrong;
    }
    result->lastShot = std::move(shot);
  }
}

void Report(const char* label, const Comparison& c) {
  LogLine("%s: compared %d frames, %d differ (%lld pixels)", label, c.frames, c.badFrames, c.badPixels);
  CHECK_EQ_INT(c.badFrames, 0);
  CHECK_TRUE(c.frames > 0);
}

void SaveCapture(const HostOptions& options, const char* suffix, const ScreenShot& shot) {
  if (options.artifact.empty() || shot.pixels.empty()) return;
  std::string path = options.artifact.substr(0, options.artifact.size() - 4) + suffix + ".png";
  CHECK_TRUE(WritePng(path, shot));
  LogLine("capture kept as %s", path.c_str());
}

DWORD WINAPI RenderInBursts(void* parameter) {
  auto* d = static_cast<DecoderThread*>(parameter);
  for (int first = d->first; first <= d->last; first += 5) {
    RenderAndCompare(d->module, d->display, *d->run, first, std::min(first + 4, d->last), d->placement, false,
                     &d->result);
    Sleep(60);
  }
  return 0;
}

void RenderFromDecoderThread(DecoderThread* d) {
  HANDLE thread = CreateThread(nullptr, 0, RenderInBursts, d, 0, nullptr);
  if (thread == nullptr) return Fail("no decoder thread");
  while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) PumpFor(10);
  CloseHandle(thread);
}

bool BeginSession(const HostOptions& options, bool hostOnOwnThread, Session* s, HWND (*findDisplay)()) {
  bool hostReady = hostOnOwnThread ? StartHostWindowThread(&s->host) : CreateHostWindowHere(&s->host);
  if (!hostReady) return Fail("no host window"), false;
  if (!LoadPlugin(options.pluginDir, s->host.window, &s->plugin)) return false;
  StartCatchingMessageBoxes();
  int result = s->plugin.module->Init(s->plugin.module);
  CHECK_EQ_INT(result, 0);
  for (const CaughtMessageBox& box : TakeMessageBoxes())
    Fail("Init showed \"%s\" / \"%s\"", box.text.c_str(), box.caption.c_str());
  PumpFor(100);
  s->display = findDisplay != nullptr ? findDisplay() : FindDisplayWindow();
  if (s->display == nullptr) Fail("no window of class MainWndClass");
  return result == 0 && s->display != nullptr;
}

void EndSession(Session* s) {
  if (s->plugin.module != nullptr) {
    s->plugin.module->Quit(s->plugin.module);
    PumpFor(20);
    CHECK_TRUE(FindDisplayWindow() == nullptr);
    CHECK_TRUE(s->display == nullptr || IsWindow(s->display) == 0);
    for (const CaughtMessageBox& box : TakeMessageBoxes()) Fail("a box \"%s\" appeared", box.text.c_str());
  }
  StopCatchingMessageBoxes();
  UnloadPlugin(&s->plugin);
  DestroyHostWindow(&s->host);
}

IniKey::IniKey(const std::string& pluginDir, const char* key, const char* value)
    : path_(pluginDir + "\\plugin.ini"), key_(key) {
  hadFile_ = GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
  WritePrivateProfileStringA("Ombrelo Tunnel", key, value, path_.c_str());
}

IniKey::~IniKey() {
  if (hadFile_)
    WritePrivateProfileStringA("Ombrelo Tunnel", key_.c_str(), nullptr, path_.c_str());
  else
    DeleteFileA(path_.c_str());
}
