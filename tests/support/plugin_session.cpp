// A test fixture with a plug-in folder holding everything a complete Init needs, over a fresh headless platform.
#include "support/plugin_session.h"

#include "plugin/effect_state.h"
#include "plugin/lifecycle.h"
#include "platform/platform.h"
#include "support/headless_reset.h"

void PluginSession::SetUp() {
  ResetHeadlessPlatform();
  folder_ = MakePluginFolder();
  module_ = folder_.module;
  module_->parent = HeadlessHostWindow();
  module_->instance = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x10000000));
  WriteEffectDataFiles(folder_.root);
}

void PluginSession::TearDown() {
  Quit(module_);
  module_->parent = nullptr;
  module_->instance = nullptr;
  RemovePluginFolder(folder_);
  ResetHeadlessPlatform();
  ResetEffectState();
}

void PluginSession::InitOrFail() {
  ASSERT_EQ(Init(module_), 0);
  ASSERT_TRUE(HeadlessMessageBoxes().empty());
  HeadlessClearEvents();
  HeadlessClearPostedMessages();
}

std::vector<std::string> EventNames(const std::string& prefix) {
  std::vector<std::string> names;
  for (const HeadlessEvent& e : HeadlessEvents())
    if (e.call.rfind(prefix, 0) == 0) names.push_back(e.call);
  return names;
}
