// The exported header and the module record.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/vis_records.h"

TEST(Records, HeaderDescribesTheLibrary) {
  VisHeader* header = winampVisGetHeader();
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->version, 0x101);
  EXPECT_STREQ(header->description, "Tavelmir Visualization Library V1.01");
}

TEST(Records, GetterReturnsTheModuleForIndexZeroOnly) {
  VisHeader* header = winampVisGetHeader();
  VisModule* module = header->getModule(0);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(header->getModule(0), module);
  EXPECT_EQ(header->getModule(1), nullptr);
  EXPECT_EQ(header->getModule(-1), nullptr);
  EXPECT_STREQ(module->description, "Ombrelo Tunnel");
  EXPECT_EQ(module->latencyMs, 20);
  EXPECT_EQ(module->delayMs, 20);
  EXPECT_EQ(module->spectrumChannels, 0);
  EXPECT_EQ(module->waveformChannels, 2);
  EXPECT_EQ(module->userData, nullptr);
  EXPECT_NE(module->Init, nullptr);
  EXPECT_NE(module->Render, nullptr);
  EXPECT_NE(module->Quit, nullptr);
  EXPECT_NE(module->Config, nullptr);
}
