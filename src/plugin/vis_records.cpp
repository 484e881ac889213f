// The host's entry points: the static header and module records, the library's only export, and the one static
// record of the plug-in's state that the module's functions work on.
#include "plugin/vis_records.h"

#include <cstddef>

#include "plugin/lifecycle.h"
#include "plugin/plugin_state.h"
#include "plugin/render.h"

// Constant-initialised, so that loading the library runs no code; it lives as long as the library is loaded.
constinit Plugin g_state;

namespace {

VisModule* GetModule(int index);

void ModuleConfig(VisModule* module) { Config(g_state, module); }
int ModuleInit(VisModule* module) { return Init(g_state, module); }
int ModuleRender(VisModule* module) { return Render(g_state, module); }
void ModuleQuit(VisModule* module) { Quit(g_state, module); }

VisModule g_module = {
    .description = kModuleDescription,
    .parent = nullptr,
    .instance = nullptr,
    .sampleRate = 0,
    .channels = 0,
    .latencyMs = 20,
    .delayMs = 20,
    .spectrumChannels = 0,
    .waveformChannels = 2,
    .spectrumData = {},
    .waveformData = {},
    .Config = ModuleConfig,
    .Init = ModuleInit,
    .Render = ModuleRender,
    .Quit = ModuleQuit,
    .userData = nullptr,
};

VisHeader g_header = {0x101, kLibraryDescription, GetModule};

VisModule* GetModule(int index) { return index == 0 ? &g_module : nullptr; }

}  // namespace

#if defined(_WIN32)
static_assert(sizeof(void*) == 4);
static_assert(offsetof(VisHeader, description) == 4 && offsetof(VisHeader, getModule) == 8 && sizeof(VisHeader) == 12);
static_assert(offsetof(VisModule, parent) == 4 && offsetof(VisModule, instance) == 8);
static_assert(offsetof(VisModule, sampleRate) == 12 && offsetof(VisModule, channels) == 16);
static_assert(offsetof(VisModule, latencyMs) == 20 && offsetof(VisModule, delayMs) == 24);
static_assert(offsetof(VisModule, spectrumChannels) == 28 && offsetof(VisModule, waveformChannels) == 32);
static_assert(offsetof(VisModule, spectrumData) == 36 && offsetof(VisModule, waveformData) == 1188);
static_assert(offsetof(VisModule, Config) == 2340 && offsetof(VisModule, Init) == 2344);
static_assert(offsetof(VisModule, Render) == 2348 && offsetof(VisModule, Quit) == 2352);
static_assert(offsetof(VisModule, userData) == 2356 && sizeof(VisModule) == 2360);

#else
// With 8-byte pointers the integers and sample blocks keep their order and sizes; only pointer members widen.
static_assert(offsetof(VisModule, waveformData) - offsetof(VisModule, spectrumData) == 1152);
static_assert(offsetof(VisModule, waveformData) - offsetof(VisModule, sampleRate) == 1176);
static_assert(sizeof(VisModule::waveformData) == 1152);
#endif

extern "C" VisHeader* winampVisGetHeader(void) { return &g_header; }
