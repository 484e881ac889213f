// Cases that need no display: the harness's own message-box capture, and the exported records as loaded.
#include <windows.h>

#include <cstring>

#include "host_cases.h"
#include "host_log.h"
#include "message_box_hook.h"

// The hook must see a box owned by a window of another thread, with its exact text, caption and icon;
// otherwise every Init failure check below would prove nothing.
void RunHarnessCase(const HostOptions&) {
  HostWindow host;
  if (!StartHostWindowThread(&host)) return Fail("no host window");
  CHECK_TRUE(StartCatchingMessageBoxes());
  MessageBoxA(host.window, "Harness text", "Harness caption", MB_ICONERROR);
  MessageBoxA(host.window, "Second box", "...", MB_OKCANCEL);
  // A quit message pending on the thread ends a box's modal loop at once; the hook must tell that apart.
  PostQuitMessage(0);
  MessageBoxA(host.window, "Gone at once", "...", MB_ICONERROR);
  bool quit = false;
  PumpFor(0, &quit);
  std::vector<CaughtMessageBox> boxes = TakeMessageBoxes();
  StopCatchingMessageBoxes();
  CHECK_TRUE(quit);
  CHECK_EQ_INT(boxes.size(), 3);
  if (boxes.size() == 3) {
    CHECK_TRUE(boxes[0].stayedUp && boxes[1].stayedUp);
    CHECK_TRUE(!boxes[2].stayedUp);
    boxes.pop_back();
  }
  if (boxes.size() == 2) {
    CHECK_EQ_STR(boxes[0].text, "Harness text");
    CHECK_EQ_STR(boxes[0].caption, "Harness caption");
    CHECK_TRUE(boxes[0].owner == host.window);
    CHECK_TRUE(boxes[0].errorIcon);
    CHECK_TRUE(boxes[0].onlyOkButton);
    CHECK_EQ_STR(boxes[1].caption, "...");
    CHECK_TRUE(!boxes[1].errorIcon);
    CHECK_TRUE(!boxes[1].onlyOkButton);
  }
  CheckDirectDrawCapture(host.window);
  DestroyHostWindow(&host);
}

namespace {

bool InsideImage(HMODULE library, const void* address) {
  auto* base = reinterpret_cast<const unsigned char*>(library);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  auto* p = static_cast<const unsigned char*>(address);
  return p >= base && p < base + nt->OptionalHeader.SizeOfImage;
}

}  // namespace

void RunHeaderCase(const HostOptions& options) {
  std::string path = options.pluginDir + "\\vis_tavelmir.dll";
  HMODULE library = LoadLibraryA(path.c_str());
  if (library == nullptr) return Fail("LoadLibrary(%s) failed: %lu", path.c_str(), GetLastError());
  // Loading alone does nothing: no class, no window.
  CHECK_TRUE(!DisplayClassRegistered(library));
  CHECK_TRUE(FindDisplayWindow() == nullptr);

  auto getHeader =
      reinterpret_cast<HostHeader* (*)()>(reinterpret_cast<void*>(GetProcAddress(library, "winampVisGetHeader")));
  if (getHeader == nullptr) return Fail("winampVisGetHeader is not exported");
  HostHeader* header = getHeader();
  if (header == nullptr) return Fail("no header");
  CHECK_TRUE(getHeader() == header);
  CHECK_TRUE(InsideImage(library, header));
  CHECK_EQ_INT(header->version, 0x101);
  CHECK_EQ_STR(header->description, "Tavelmir Visualization Library V1.01");
  if (header->getModule == nullptr) return Fail("no module getter");
  CHECK_TRUE(header->getModule(1) == nullptr);
  CHECK_TRUE(header->getModule(-1) == nullptr);
  HostModule* module = header->getModule(0);
  if (module == nullptr) return Fail("no module 0");
  CHECK_TRUE(header->getModule(0) == module);
  CHECK_TRUE(InsideImage(library, module));

  CHECK_EQ_STR(module->description, "Ombrelo Tunnel");
  CHECK_TRUE(module->parent == nullptr);
  CHECK_TRUE(module->instance == nullptr);
  CHECK_EQ_INT(module->sampleRate, 0);
  CHECK_EQ_INT(module->channels, 0);
  CHECK_EQ_INT(module->latencyMs, 20);
  CHECK_EQ_INT(module->delayMs, 20);
  CHECK_EQ_INT(module->spectrumChannels, 0);
  CHECK_EQ_INT(module->waveformChannels, 2);
  CHECK_TRUE(module->userData == nullptr);
  static const unsigned char zeros[kWaveBlockBytes] = {};
  CHECK_TRUE(std::memcmp(module->waveformData, zeros, kWaveBlockBytes) == 0);
  CHECK_TRUE(std::memcmp(module->spectrumData, zeros, kWaveBlockBytes) == 0);
  CHECK_TRUE(module->Config != nullptr && InsideImage(library, reinterpret_cast<void*>(module->Config)));
  CHECK_TRUE(module->Init != nullptr && InsideImage(library, reinterpret_cast<void*>(module->Init)));
  CHECK_TRUE(module->Render != nullptr && InsideImage(library, reinterpret_cast<void*>(module->Render)));
  CHECK_TRUE(module->Quit != nullptr && InsideImage(library, reinterpret_cast<void*>(module->Quit)));

  // Still nothing after the records were handed out.
  CHECK_TRUE(!DisplayClassRegistered(library));
  CHECK_TRUE(FreeLibrary(library) != 0);
}
