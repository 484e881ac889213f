// A test fixture with a plug-in folder holding everything a complete Init needs, over a fresh in-memory display.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "device/memory_display.h"
#include "plugin/plugin_state.h"
#include "plugin/vis_records.h"
#include "support/plugin_folder_fixture.h"

// Resets the device, makes a fresh state and a folder with the effect's data files, and gives the module a host
// window and an instance handle. Quits and cleans up at the end of each test.
class PluginSession : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Init, expected to succeed; the records of the set-up are cleared afterwards.
  void InitOrFail();
  Plugin& state() { return *folder_.plugin; }
  Screen& screen() { return folder_.plugin->Screen; }

  PluginFolder folder_{};
  VisModule* module_ = nullptr;
};
