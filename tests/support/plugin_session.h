// A test fixture with a plug-in folder holding everything a complete Init needs, over a fresh headless platform.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "plugin/vis_records.h"
#include "support/plugin_folder_fixture.h"

// Resets the platform and the state record, makes a folder with the effect's data files, and gives the module
// the host's window as parent and an instance handle. Quits and cleans up at the end of each test.
class PluginSession : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Init, expected to succeed; the message boxes and events of the set-up are cleared afterwards.
  void InitOrFail();

  PluginFolder folder_{};
  VisModule* module_ = nullptr;
};

// The names of the events logged since the last clear, in order, that begin with `prefix`.
std::vector<std::string> EventNames(const std::string& prefix = "");
