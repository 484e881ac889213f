// The plug-in's own message texts for a data set or an engine that could not be brought up: the plug-in shows
// them in message boxes, in this order; `tavelmir` prints the same texts.
#pragma once
#include <string>
#include <vector>

struct InitMessage {
  std::string text;
  std::string caption;
  bool errorIcon = true;  // the allocation message has no icon
};

// "Error loading palette (Error #<status>)", caption "PLUG-IN error".
InitMessage PaletteFailureMessage(int paletteStatus);
// For a failed Engine::Build: the allocation message (caption "...", no icon) where there is one, then
// "Error generating tables" (caption "PLUG-IN Error").
std::vector<InitMessage> BuildFailureMessages(int buildStatus);
// "caption: text" lines, one per message, as `tavelmir` prints them.
std::string MessageLines(const std::vector<InitMessage>& messages);
