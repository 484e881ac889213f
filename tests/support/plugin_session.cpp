// A test fixture with a plug-in folder holding everything a complete Init needs, over a fresh in-memory display.
#include "support/plugin_session.h"

#include <cstdint>

#include "plugin/lifecycle.h"

void PluginSession::SetUp() {
  folder_ = MakePluginFolder();
  module_ = folder_.module;
  module_->parent = reinterpret_cast<HWND__*>(static_cast<std::uintptr_t>(0x20000));
  module_->instance = reinterpret_cast<HINSTANCE__*>(static_cast<std::uintptr_t>(0x10000000));
  WriteEffectDataFiles(folder_.root);
}

void PluginSession::TearDown() {
  Quit(state(), module_);
  module_->parent = nullptr;
  module_->instance = nullptr;
  RemovePluginFolder(folder_);
  MemoryReset(nullptr);
  folder_.plugin.reset();
}

void PluginSession::InitOrFail() {
  ASSERT_EQ(Init(state(), module_), 0);
  ASSERT_TRUE(MemoryMessageBoxes().empty());
  MemoryClearRecords();
}
