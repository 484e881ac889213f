// The module's entry points Config, Init and Quit, on the plug-in's state, and the release of the table set.
#pragma once
#include "core/engine.h"
#include "plugin/vis_records.h"

struct Plugin;

// Every block of the effect's tables comes from this allocator (std::malloc unless replaced); tests swap it to
// fail one chosen allocation. Blocks go back through std::free.
extern EngineAllocator TableAllocator;
void* DefaultTableAllocator(std::size_t bytes);

// Locates the plug-in's folder and runs the modal settings dialog. Needs no display; callable at any time.
void Config(Plugin& plugin, VisModule* module);
// Opens the display and builds everything, in a fixed order. 0 = ready for Render; 1 = failed, the user has been
// told in a message box and (unless the class could not be registered) everything was torn down again.
int Init(Plugin& plugin, VisModule* module);
// Tears down whatever Init built, whatever the state; also Init's own clean-up on failure.
void Quit(Plugin& plugin, VisModule* module);
